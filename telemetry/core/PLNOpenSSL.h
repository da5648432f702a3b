#pragma once

// The OpenSSL functions certificate pinning calls, opened on first use rather than linked: they
// are needed only by a TLS handshake, when libcurl has brought OpenSSL in anyway.

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <string>

#define PLN_CRYPTO_FUNCTIONS(F)                                                                    \
    F(d2i_X509)                                                                                    \
    F(X509_free)                                                                                   \
    F(X509_verify_cert)                                                                            \
    F(X509_STORE_new)                                                                              \
    F(X509_STORE_free)                                                                             \
    F(X509_STORE_set_flags)                                                                        \
    F(X509_STORE_add_cert)                                                                         \
    F(X509_STORE_CTX_new)                                                                          \
    F(X509_STORE_CTX_free)                                                                         \
    F(X509_STORE_CTX_init)                                                                         \
    F(X509_STORE_CTX_set_purpose)                                                                  \
    F(X509_STORE_CTX_get_error)                                                                    \
    F(X509_STORE_CTX_set_error)                                                                    \
    F(X509_STORE_CTX_get0_cert)                                                                    \
    F(X509_STORE_CTX_get0_untrusted)                                                               \
    F(OPENSSL_sk_new_null)                                                                         \
    F(OPENSSL_sk_push)                                                                             \
    F(OPENSSL_sk_pop_free)

#define PLN_SSL_FUNCTIONS(F)                                                                       \
    F(SSL_CTX_set_verify)                                                                          \
    F(SSL_CTX_set_cert_verify_callback)

// The functions, resolved once from libcrypto and libssl. Every member is set when loaded().
struct PLNOpenSSL {
#define PLN_OPENSSL_MEMBER(name) decltype(&::name) name = nullptr;
    PLN_CRYPTO_FUNCTIONS(PLN_OPENSSL_MEMBER)
    PLN_SSL_FUNCTIONS(PLN_OPENSSL_MEMBER)
#undef PLN_OPENSSL_MEMBER

    bool loaded = false;
    std::string error; // why it is not loaded

    // Opens the libraries once per process; thread-safe. Never from a signal handler.
    static const PLNOpenSSL &shared();
};
