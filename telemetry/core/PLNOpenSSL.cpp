#include "telemetry/core/PLNOpenSSL.h"

#include "telemetry/platform/SharedLibrary.h"

const PLNOpenSSL &PLNOpenSSL::shared()
{
    static const PLNOpenSSL openSSL = [] {
        PLNOpenSSL api;
        static tel::SharedLibrary crypto("libcrypto.so.3");
        static tel::SharedLibrary ssl("libssl.so.3");
#define PLN_CRYPTO_RESOLVE(name) crypto.resolve(api.name, #name);
        PLN_CRYPTO_FUNCTIONS(PLN_CRYPTO_RESOLVE)
#undef PLN_CRYPTO_RESOLVE
#define PLN_SSL_RESOLVE(name) ssl.resolve(api.name, #name);
        PLN_SSL_FUNCTIONS(PLN_SSL_RESOLVE)
#undef PLN_SSL_RESOLVE
        api.loaded = crypto.isLoaded() && ssl.isLoaded();
        api.error = !crypto.isLoaded() ? crypto.error() : ssl.error();
        return api;
    }();
    return openSSL;
}
