#pragma once

// libcurl, opened on the first transfer rather than linked: a launch that uploads nothing maps
// neither curl nor the TLS, LDAP, SSH and Kerberos libraries it pulls in.

#include <curl/curl.h>

#include <string>

#define PLN_CURL_FUNCTIONS(F)                                                                      \
    F(curl_global_init)                                                                            \
    F(curl_easy_init)                                                                              \
    F(curl_easy_cleanup)                                                                           \
    F(curl_easy_setopt)                                                                            \
    F(curl_easy_getinfo)                                                                           \
    F(curl_easy_strerror)                                                                          \
    F(curl_slist_append)                                                                           \
    F(curl_slist_free_all)                                                                         \
    F(curl_url)                                                                                    \
    F(curl_url_set)                                                                                \
    F(curl_url_get)                                                                                \
    F(curl_url_cleanup)                                                                            \
    F(curl_free)                                                                                   \
    F(curl_multi_init)                                                                             \
    F(curl_multi_cleanup)                                                                          \
    F(curl_multi_add_handle)                                                                       \
    F(curl_multi_remove_handle)                                                                    \
    F(curl_multi_perform)                                                                          \
    F(curl_multi_info_read)                                                                        \
    F(curl_multi_poll)                                                                             \
    F(curl_multi_wakeup)

// The functions of libcurl the client calls, resolved once. Every member is set when loaded().
struct PLNCurl {
#define PLN_CURL_MEMBER(name) decltype(&::name) name = nullptr;
    PLN_CURL_FUNCTIONS(PLN_CURL_MEMBER)
#undef PLN_CURL_MEMBER

    bool loaded = false;
    std::string error; // why it is not loaded

    // Opens libcurl and initialises it, once per process; thread-safe. Never from a signal
    // handler.
    static const PLNCurl &shared();
};
