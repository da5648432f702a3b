#pragma once

#include "telemetry/core/FLTURLSessionDelegate.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A certificate as its DER bytes.
using PLNCertificate = std::vector<unsigned char>;

// Outcome of a trust evaluation (the platform's trust result values).
enum class PLNTrustResult {
    Invalid = 0,
    Proceed = 1,
    Deny = 3,
    Unspecified = 4,
    RecoverableTrustFailure = 5,
    FatalTrustFailure = 6,
    OtherError = 7,
};

// Trusts a server only when its chain ends in one of a fixed set of certificates, which are
// the only anchors: the system's certificate authorities play no part. Host names are still
// checked by the session. Thread-safe once made.
class PLNCertificatePinner
{
public:
    explicit PLNCertificatePinner(std::vector<PLNCertificate> certificates);
    ~PLNCertificatePinner();
    PLNCertificatePinner(const PLNCertificatePinner &) = delete;
    PLNCertificatePinner &operator=(const PLNCertificatePinner &) = delete;

    const std::vector<PLNCertificate> &certificates() const { return m_certificates; }

    // The DER bytes when they parse as a certificate.
    static std::optional<PLNCertificate> createCertificationWithData(const unsigned char *bytes,
                                                                     std::size_t length);
    // The pinned set of every client: the public roots built into the program, or the set a
    // test put in their place.
    static std::vector<PLNCertificate> pinnedCertificates();
    // Test hook: replaces the pinned set for the process (nullopt restores the built-in one).
    static void setPinnedCertificatesForTesting(std::optional<std::vector<PLNCertificate>> set);

    // Evaluates a server chain (leaf first) against the pinned anchors only. Answers 0 when the
    // evaluation ran (its verdict is in `result`), non-zero when it could not run.
    int evaluateTrust(const std::vector<PLNCertificate> &chain, PLNTrustResult &result) const;
    // Installs the pinned evaluation on the challenge's TLS context. Answers false (the
    // challenge is to be cancelled) when there is nothing to pin to or no context.
    bool handleChallenge(FLTURLAuthenticationChallenge &challenge) const;

private:
    static std::vector<PLNCertificate> builtInCertificates();
    // Runs the pinned verification for one handshake (OpenSSL's certificate verify hook).
    static int verifyServerChain(void *storeContext, void *pinner);

    // The X509_STORE holding only the pinned anchors, made on first use; null when OpenSSL
    // cannot be opened.
    void *store() const;

    std::vector<PLNCertificate> m_certificates;
    mutable std::once_flag m_storeOnce;
    mutable void *m_store = nullptr;
};
