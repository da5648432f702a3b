#pragma once

#include "telemetry/core/FLTURLSessionTask.h"
#include "telemetry/core/PLNCertificatePinner.h"

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qnt::test {

// A certificate authority made for one test, and a certificate for 127.0.0.1 signed by it.
struct TestCertificates {
    std::string caFile;
    std::string certificateFile;
    std::string keyFile;
    PLNCertificate caDER;
};

// Makes the files under `folder` with the openssl tool; `name` tells several sets apart.
TestCertificates makeTestCertificates(const std::string &folder, const std::string &name);

// The DER bytes of a PEM certificate file.
PLNCertificate certificateDER(const std::string &pemFile);

// Pins the client to the given certificates instead of its built-in set for as long as it
// lives; then the built-in set is back.
class ScopedPinnedCertificates
{
public:
    explicit ScopedPinnedCertificates(std::vector<PLNCertificate> certificates)
    {
        PLNCertificatePinner::setPinnedCertificatesForTesting(std::move(certificates));
    }
    ~ScopedPinnedCertificates()
    {
        PLNCertificatePinner::setPinnedCertificatesForTesting(std::nullopt);
    }
    ScopedPinnedCertificates(const ScopedPinnedCertificates &) = delete;
    ScopedPinnedCertificates &operator=(const ScopedPinnedCertificates &) = delete;
};

// What a data task's completion block was given, and how often it was called.
struct Outcome {
    std::mutex mutex;
    std::atomic<int> calls{0};
    std::optional<std::string> data;
    std::optional<FLTHTTPURLResponse> response;
    std::optional<tel::TelemetryError> error;

    FLTURLSessionTask::DataCompletion block()
    {
        return [this](std::optional<std::string> d, std::optional<FLTHTTPURLResponse> r,
                      std::optional<tel::TelemetryError> e) {
            std::lock_guard lock(mutex);
            data = std::move(d);
            response = std::move(r);
            error = std::move(e);
            ++calls;
        };
    }
};

// One part of a multipart/form-data body, as the test server reads it.
struct FormPart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

// Parses a multipart body in its order of parts. Empty when it cannot be parsed.
std::vector<FormPart> parseMultipart(const std::string &contentType, const std::string &body);

struct RecordedRequest {
    std::string method;
    std::string target; // path and query as sent
    std::string path;
    httplib::Headers headers;
    std::string body;
    // For a multipart body: its parts in order, and whether the whole body parsed.
    std::vector<FormPart> parts;
    bool partsParsed = false;

    std::string header(const std::string &name) const
    {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    bool hasHeader(const std::string &name) const { return headers.count(name) > 0; }
};

// An HTTPS server on 127.0.0.1 with a free port, for the length of one test. Every request is
// recorded (with its raw body) before the handler answers it.
class NetTestServer
{
public:
    using Handler = std::function<void(const RecordedRequest &, httplib::Response &)>;

    explicit NetTestServer(const TestCertificates &certificates);
    ~NetTestServer();

    // Handlers are matched by method and regular expression on the path; register before start().
    void on(const std::string &method, const std::string &pattern, Handler handler);
    void start();

    int port() const { return m_port; }
    std::string baseURL() const { return "https://127.0.0.1:" + std::to_string(m_port); }
    std::vector<RecordedRequest> requests() const;
    size_t requestCount() const;

private:
    void record(const RecordedRequest &request);

    httplib::SSLServer m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<RecordedRequest> m_requests;
};

} // namespace qnt::test
