#include "telemetry/core/PLNCertificatePinner.h"

#include "telemetry/core/PLNOpenSSL.h"

#include <memory>
#include <mutex>

namespace {

std::mutex g_overrideMutex;
std::optional<std::vector<PLNCertificate>> g_override;

const PLNOpenSSL &ssl()
{
    return PLNOpenSSL::shared();
}

X509 *parseCertificate(const PLNCertificate &der)
{
    if (!ssl().loaded)
        return nullptr;
    const unsigned char *cursor = der.data();
    return ssl().d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
}

void freeCertificate(X509 *certificate)
{
    ssl().X509_free(certificate);
}

void freeStoreContext(X509_STORE_CTX *context)
{
    ssl().X509_STORE_CTX_free(context);
}

PLNTrustResult trustResultForVerifyError(int error)
{
    switch (error) {
    case X509_V_OK: return PLNTrustResult::Unspecified;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID: return PLNTrustResult::RecoverableTrustFailure;
    default: return PLNTrustResult::FatalTrustFailure;
    }
}

} // namespace

PLNCertificatePinner::PLNCertificatePinner(std::vector<PLNCertificate> certificates)
    : m_certificates(std::move(certificates))
{
}

PLNCertificatePinner::~PLNCertificatePinner()
{
    if (m_store)
        ssl().X509_STORE_free(static_cast<X509_STORE *>(m_store));
}

void *PLNCertificatePinner::store() const
{
    // Made on first use: OpenSSL is opened only once a server's chain is to be checked.
    std::call_once(m_storeOnce, [this] {
        if (!ssl().loaded)
            return;
        X509_STORE *store = ssl().X509_STORE_new();
        if (!store)
            return;
        // Any pinned certificate is an anchor, whether or not it is self-signed.
        ssl().X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
        for (const PLNCertificate &der : m_certificates) {
            if (X509 *certificate = parseCertificate(der)) {
                ssl().X509_STORE_add_cert(store, certificate);
                freeCertificate(certificate);
            }
        }
        m_store = store;
    });
    return m_store;
}

std::optional<PLNCertificate>
PLNCertificatePinner::createCertificationWithData(const unsigned char *bytes, std::size_t length)
{
    if (!bytes || length == 0)
        return std::nullopt;
    PLNCertificate der(bytes, bytes + length);
    X509 *certificate = parseCertificate(der);
    if (!certificate)
        return std::nullopt;
    freeCertificate(certificate);
    return der;
}

std::vector<PLNCertificate> PLNCertificatePinner::pinnedCertificates()
{
    {
        std::lock_guard lock(g_overrideMutex);
        if (g_override)
            return *g_override;
    }
    static const std::vector<PLNCertificate> builtIn = builtInCertificates();
    return builtIn;
}

void PLNCertificatePinner::setPinnedCertificatesForTesting(
    std::optional<std::vector<PLNCertificate>> set)
{
    std::lock_guard lock(g_overrideMutex);
    g_override = std::move(set);
}

int PLNCertificatePinner::evaluateTrust(const std::vector<PLNCertificate> &chain,
                                        PLNTrustResult &result) const
{
    result = PLNTrustResult::Invalid;
    if (m_certificates.empty())
        return 0;
    if (!store()) {
        result = PLNTrustResult::FatalTrustFailure;
        return 0;
    }
    if (chain.empty())
        return -1;
    std::unique_ptr<X509, void (*)(X509 *)> leaf(parseCertificate(chain.front()), freeCertificate);
    if (!leaf)
        return -1;
    std::unique_ptr<OPENSSL_STACK, void (*)(OPENSSL_STACK *)> untrusted(
        ssl().OPENSSL_sk_new_null(), [](OPENSSL_STACK *stack) {
            ssl().OPENSSL_sk_pop_free(stack,
                                      reinterpret_cast<OPENSSL_sk_freefunc>(ssl().X509_free));
        });
    for (size_t i = 1; i < chain.size(); ++i) {
        if (X509 *certificate = parseCertificate(chain[i]))
            ssl().OPENSSL_sk_push(untrusted.get(), certificate);
    }
    std::unique_ptr<X509_STORE_CTX, void (*)(X509_STORE_CTX *)> context(ssl().X509_STORE_CTX_new(),
                                                                        freeStoreContext);
    if (!context
        || ssl().X509_STORE_CTX_init(context.get(), static_cast<X509_STORE *>(m_store), leaf.get(),
                                     reinterpret_cast<STACK_OF(X509) *>(untrusted.get()))
               != 1)
        return -1;
    ssl().X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    const int verified = ssl().X509_verify_cert(context.get());
    result = verified == 1
                 ? PLNTrustResult::Unspecified
                 : trustResultForVerifyError(ssl().X509_STORE_CTX_get_error(context.get()));
    return 0;
}

int PLNCertificatePinner::verifyServerChain(void *storeContext, void *pinnerPointer)
{
    auto *handshake = static_cast<X509_STORE_CTX *>(storeContext);
    const auto *pinner = static_cast<const PLNCertificatePinner *>(pinnerPointer);
    if (!pinner->store() || pinner->m_certificates.empty()) {
        ssl().X509_STORE_CTX_set_error(handshake, X509_V_ERR_CERT_UNTRUSTED);
        return 0;
    }
    // Verify the chain the server sent against our anchors alone, ignoring whatever
    // store the TLS library was given.
    X509 *leaf = ssl().X509_STORE_CTX_get0_cert(handshake);
    STACK_OF(X509) *untrusted = ssl().X509_STORE_CTX_get0_untrusted(handshake);
    std::unique_ptr<X509_STORE_CTX, void (*)(X509_STORE_CTX *)> context(ssl().X509_STORE_CTX_new(),
                                                                        freeStoreContext);
    if (!context
        || ssl().X509_STORE_CTX_init(context.get(), static_cast<X509_STORE *>(pinner->m_store),
                                     leaf, untrusted)
               != 1) {
        ssl().X509_STORE_CTX_set_error(handshake, X509_V_ERR_UNSPECIFIED);
        return 0;
    }
    ssl().X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    const int verified = ssl().X509_verify_cert(context.get());
    ssl().X509_STORE_CTX_set_error(
        handshake, verified == 1 ? X509_V_OK : ssl().X509_STORE_CTX_get_error(context.get()));
    return verified == 1 ? 1 : 0;
}

bool PLNCertificatePinner::handleChallenge(FLTURLAuthenticationChallenge &challenge) const
{
    if (!challenge.sslContext || m_certificates.empty() || !store())
        return false;
    auto *context = static_cast<SSL_CTX *>(challenge.sslContext);
    ssl().SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    ssl().SSL_CTX_set_cert_verify_callback(
        context,
        [](X509_STORE_CTX *storeContext, void *argument) {
            return verifyServerChain(storeContext, argument);
        },
        const_cast<PLNCertificatePinner *>(this));
    return true;
}
