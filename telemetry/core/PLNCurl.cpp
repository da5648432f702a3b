#include "telemetry/core/PLNCurl.h"

#include "telemetry/platform/SharedLibrary.h"

const PLNCurl &PLNCurl::shared()
{
    static const PLNCurl curl = [] {
        PLNCurl api;
        static tel::SharedLibrary library("libcurl.so.4");
#define PLN_CURL_RESOLVE(name) library.resolve(api.name, #name);
        PLN_CURL_FUNCTIONS(PLN_CURL_RESOLVE)
#undef PLN_CURL_RESOLVE
        api.loaded = library.isLoaded();
        api.error = library.error();
        if (api.loaded)
            api.curl_global_init(CURL_GLOBAL_DEFAULT);
        return api;
    }();
    return curl;
}
