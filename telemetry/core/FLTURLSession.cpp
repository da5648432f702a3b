#include "telemetry/core/FLTURLSession.h"

#include "telemetry/core/FLTURLSessionCore.h"
#include "telemetry/core/PLNCurl.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/ThreadStartHook.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace flt::detail {

namespace {

// Only called once a transfer has begun, that is once libcurl is loaded.
const PLNCurl &curl()
{
    return PLNCurl::shared();
}

} // namespace

struct Transfer {
    std::shared_ptr<FLTURLSessionTask> task;
    SessionCore *core = nullptr;
    CURL *easy = nullptr;
    curl_slist *headers = nullptr;
    FILE *bodyFile = nullptr;
    std::string body;
    std::string data;
    bool gotData = false;
    FLTHTTPHeaderFields responseHeaders;
    bool responseAnnounced = false;
    bool trustCancelled = false;
    std::optional<tel::TelemetryError> writeError;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Transfer()
    {
        if (easy)
            curl().curl_easy_cleanup(easy);
        if (headers)
            curl().curl_slist_free_all(headers);
        if (bodyFile)
            std::fclose(bodyFile);
    }

    bool writeToDownloadFile(const char *buffer, size_t length)
    {
        auto *download = static_cast<FLTURLSessionDownloadTask *>(task.get());
        size_t written = 0;
        while (written < length) {
            const ssize_t n = ::write(download->m_fd, buffer + written, length - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            written += static_cast<size_t>(n);
        }
        return true;
    }

    FLTHTTPURLResponse makeResponse() const
    {
        FLTHTTPURLResponse response;
        curl().curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &response.statusCode);
        char *effective = nullptr;
        curl().curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
        response.URL = effective ? effective : task->originalRequest().URL;
        response.allHeaderFields = responseHeaders;
        return response;
    }
};

namespace {

std::int64_t urlErrorCodeForCurlCode(CURLcode code)
{
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return FLTURLErrorTimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return FLTURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT: return FLTURLErrorCannotConnectToHost;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return FLTURLErrorNetworkConnectionLost;
    case CURLE_PEER_FAILED_VERIFICATION: return FLTURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED: return FLTURLErrorSecureConnectionFailed;
    case CURLE_URL_MALFORMAT: return FLTURLErrorBadURL;
    case CURLE_UNSUPPORTED_PROTOCOL: return FLTURLErrorUnsupportedURL;
    case CURLE_TOO_MANY_REDIRECTS: return FLTURLErrorHTTPTooManyRedirects;
    case CURLE_WRITE_ERROR: return FLTURLErrorCannotWriteToFile;
    case CURLE_ABORTED_BY_CALLBACK: return FLTURLErrorCancelled;
    case CURLE_WEIRD_SERVER_REPLY: return FLTURLErrorBadServerResponse;
    default: return FLTURLErrorUnknown;
    }
}

tel::TelemetryError urlError(std::int64_t code, const std::string &url,
                             const std::string &description)
{
    return PLNMakeError(
        kFLTURLErrorDomain, code,
        {{kFLTURLErrorFailingURLStringErrorKey, url}, {kFLTLocalizedDescriptionKey, description}});
}

bool isTransferOf(const Transfer *transfer, const std::shared_ptr<FLTURLSessionTask> &task)
{
    return transfer->task == task;
}

size_t headerCallback(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<Transfer *>(userData);
    const size_t length = size * count;
    std::string line(buffer, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response (after a redirect or an interim reply) replaces the fields.
        transfer->responseHeaders.clear();
        return length;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos)
        return length;
    std::string name = line.substr(0, colon);
    std::string value = line.substr(colon + 1);
    const auto first = value.find_first_not_of(" \t");
    value = first == std::string::npos ? std::string() : value.substr(first);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.pop_back();
    transfer->responseHeaders.emplace_back(std::move(name), std::move(value));
    return length;
}

void announceResponse(Transfer *transfer)
{
    if (transfer->responseAnnounced)
        return;
    transfer->responseAnnounced = true;
    if (!transfer->task->invokesDelegate())
        return;
    if (auto delegate = transfer->core->currentDelegate()) {
        const FLTHTTPURLResponse response = transfer->makeResponse();
        std::unique_lock lock(transfer->core->mutex);
        FLTURLSession *owner = transfer->core->owner;
        lock.unlock();
        delegate->URLSessionDidReceiveResponse(owner, transfer->task.get(), response);
    }
}

size_t writeCallback(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<Transfer *>(userData);
    const size_t length = size * count;
    announceResponse(transfer);
    if (transfer->task->kind() == FLTURLSessionTask::Kind::Download) {
        if (!transfer->writeToDownloadFile(buffer, length)) {
            transfer->writeError = PLNMakeError("FLTURLSessionDownloadTaskError", -1);
            return 0;
        }
        transfer->gotData = true;
        return length;
    }
    transfer->data.append(buffer, length);
    transfer->gotData = true;
    if (transfer->task->invokesDelegate()) {
        if (auto delegate = transfer->core->currentDelegate()) {
            std::unique_lock lock(transfer->core->mutex);
            FLTURLSession *owner = transfer->core->owner;
            lock.unlock();
            delegate->URLSessionDidReceiveData(owner, transfer->task.get(),
                                               std::string(buffer, length));
        }
    }
    return length;
}

size_t readCallback(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<Transfer *>(userData);
    const size_t n = std::fread(buffer, 1, size * count, transfer->bodyFile);
    if (n == 0 && std::ferror(transfer->bodyFile))
        return CURL_READFUNC_ABORT;
    return n;
}

CURLcode sslContextCallback(CURL *, void *sslContext, void *userData)
{
    auto *transfer = static_cast<Transfer *>(userData);
    SessionCore *core = transfer->core;
    std::shared_ptr<FLTURLSessionDelegate> trust;
    FLTURLSession *owner = nullptr;
    {
        std::lock_guard lock(core->mutex);
        trust = core->trustDelegate;
        owner = core->owner;
    }
    FLTURLAuthenticationChallenge challenge;
    challenge.sslContext = sslContext;
    CURLU *url = curl().curl_url();
    if (url
        && curl().curl_url_set(url, CURLUPART_URL, transfer->task->originalRequest().URL.c_str(), 0)
               == CURLUE_OK) {
        char *host = nullptr;
        if (curl().curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host) {
            challenge.host = host;
            curl().curl_free(host);
        }
    }
    curl().curl_url_cleanup(url);
    const auto disposition = trust ? trust->URLSessionDidReceiveChallenge(owner, challenge)
                                   : FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    switch (disposition) {
    case FLTURLSessionAuthChallengeDisposition::UseCredential:
    case FLTURLSessionAuthChallengeDisposition::TrustSystemAuthorities: return CURLE_OK;
    case FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling: {
        auto pinner =
            std::make_unique<PLNCertificatePinner>(PLNCertificatePinner::pinnedCertificates());
        const bool installed = pinner->handleChallenge(challenge);
        std::lock_guard lock(core->mutex);
        core->defaultPinners.push_back(std::move(pinner));
        if (installed)
            return CURLE_OK;
        break;
    }
    case FLTURLSessionAuthChallengeDisposition::CancelAuthenticationChallenge: break;
    }
    transfer->trustCancelled = true;
    return CURLE_SSL_CERTPROBLEM;
}

} // namespace

SessionCore::SessionCore() = default;

SessionCore::~SessionCore()
{
    running.clear();
    if (void *handle = multi.load())
        curl().curl_multi_cleanup(static_cast<CURLM *>(handle));
}

std::shared_ptr<FLTURLSessionDelegate> SessionCore::currentDelegate()
{
    std::lock_guard lock(mutex);
    return delegate;
}

void SessionCore::wake()
{
    if (void *handle = multi.load())
        curl().curl_multi_wakeup(static_cast<CURLM *>(handle));
    else
        wakeCondition.notify_all();
}

void *SessionCore::openTransfers()
{
    const PLNCurl &api = PLNCurl::shared();
    if (!api.loaded)
        return nullptr;
    void *handle = api.curl_multi_init();
    multi.store(handle);
    return handle;
}

void SessionCore::start(const std::shared_ptr<FLTURLSessionTask> &task)
{
    {
        std::lock_guard lock(mutex);
        toStart.push_back(task);
    }
    wake();
}

void SessionCore::cancel(const std::shared_ptr<FLTURLSessionTask> &task)
{
    {
        std::lock_guard lock(mutex);
        toCancel.push_back(task);
    }
    wake();
}

void SessionCore::post(std::function<void()> call)
{
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
    wake();
}

void SessionCore::beginTransfer(const std::shared_ptr<FLTURLSessionTask> &task)
{
    {
        std::lock_guard lock(task->m_mutex);
        if (task->m_completed)
            return;
    }
    const FLTURLRequest &request = task->originalRequest();
    auto transfer = std::make_unique<Transfer>();
    transfer->task = task;
    transfer->core = this;
    transfer->easy = curl().curl_easy_init();
    CURL *easy = transfer->easy;
    if (!easy) {
        complete(task, std::nullopt, std::nullopt,
                 urlError(FLTURLErrorUnknown, request.URL, "Could not make a transfer"));
        return;
    }
    curl().curl_easy_setopt(easy, CURLOPT_URL, request.URL.c_str());
    curl().curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl().curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl().curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl().curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 16L);
    curl().curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A secure request is never redirected to a plain connection.
    const bool secure = request.URL.rfind("https:", 0) == 0 || request.URL.rfind("HTTPS:", 0) == 0;
    curl().curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl().curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl().curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl().curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // A resumed TLS session would skip the trust decision of this session's delegate.
    curl().curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl().curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, sslContextCallback);
    curl().curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, transfer.get());
    curl().curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerCallback);
    curl().curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
    curl().curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeCallback);
    curl().curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    const double timeout = request.timeoutInterval > 0 ? request.timeoutInterval : 60.0;
    curl().curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout * 1000));
    // The request time-out is an idle time, as for the platform's sessions.
    curl().curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl().curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>(timeout)));

    const std::string &method =
        request.HTTPMethod.empty() ? std::string("GET") : request.HTTPMethod;
    if (!request.HTTPBodyFile.empty()) {
        transfer->bodyFile = std::fopen(request.HTTPBodyFile.c_str(), "rb");
        if (!transfer->bodyFile) {
            complete(task, std::nullopt, std::nullopt,
                     urlError(-1100, request.URL, "The body file could not be opened"));
            return;
        }
        std::fseek(transfer->bodyFile, 0, SEEK_END);
        const long size = std::ftell(transfer->bodyFile);
        std::fseek(transfer->bodyFile, 0, SEEK_SET);
        curl().curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl().curl_easy_setopt(easy, CURLOPT_READFUNCTION, readCallback);
        curl().curl_easy_setopt(easy, CURLOPT_READDATA, transfer.get());
        curl().curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
        curl().curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "GET" && request.HTTPBody.empty()) {
        curl().curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl().curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        transfer->body = request.HTTPBody;
        curl().curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                                static_cast<curl_off_t>(transfer->body.size()));
        curl().curl_easy_setopt(easy, CURLOPT_POSTFIELDS, transfer->body.data());
        if (method != "POST")
            curl().curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist *headers = nullptr;
    for (const auto &[name, value] : request.allHTTPHeaderFields) {
        // "Name;" is how an empty field is sent.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        headers = curl().curl_slist_append(headers, line.c_str());
    }
    // Send only the fields the request names: no default Accept, form type or 100-continue.
    if (!request.valueForHTTPHeaderField("Accept"))
        headers = curl().curl_slist_append(headers, "Accept:");
    if (!request.valueForHTTPHeaderField("Content-Type"))
        headers = curl().curl_slist_append(headers, "Content-Type:");
    headers = curl().curl_slist_append(headers, "Expect:");
    transfer->headers = headers;
    curl().curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    if (curl().curl_multi_add_handle(static_cast<CURLM *>(multi), easy) != CURLM_OK) {
        complete(task, std::nullopt, std::nullopt,
                 urlError(FLTURLErrorUnknown, request.URL, "Could not start the transfer"));
        return;
    }
    running[easy] = std::move(transfer);
}

void SessionCore::finishTransfer(Transfer *transfer, int curlCode)
{
    const auto code = static_cast<CURLcode>(curlCode);
    std::optional<FLTHTTPURLResponse> response;
    long status = 0;
    curl().curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status > 0)
        response = transfer->makeResponse();
    std::optional<tel::TelemetryError> error;
    const std::string &url = transfer->task->originalRequest().URL;
    if (transfer->writeError) {
        error = transfer->writeError;
    } else if (transfer->trustCancelled) {
        error = urlError(FLTURLErrorServerCertificateUntrusted, url,
                         "The server's certificate is not trusted");
    } else if (code != CURLE_OK) {
        std::string description =
            transfer->errorBuffer[0] ? transfer->errorBuffer : curl().curl_easy_strerror(code);
        error = urlError(urlErrorCodeForCurlCode(code), url, description);
    }
    if (response && !error)
        announceResponse(transfer);
    std::optional<std::string> data;
    if (transfer->gotData)
        data = std::move(transfer->data);
    auto task = transfer->task;
    curl().curl_multi_remove_handle(static_cast<CURLM *>(multi), transfer->easy);
    running.erase(transfer->easy);
    complete(task, std::move(data), std::move(response), std::move(error));
}

void SessionCore::complete(const std::shared_ptr<FLTURLSessionTask> &task,
                           std::optional<std::string> data,
                           std::optional<FLTHTTPURLResponse> response,
                           std::optional<tel::TelemetryError> error)
{
    {
        std::lock_guard lock(task->m_mutex);
        if (task->m_completed)
            return;
        task->m_completed = true;
        task->m_response = response;
        task->m_error = error;
    }
    FLTURLSession *sessionOwner = nullptr;
    {
        std::lock_guard lock(mutex);
        sessionOwner = owner;
    }
    auto delegate = task->invokesDelegate() ? currentDelegate() : nullptr;
    if (task->kind() == FLTURLSessionTask::Kind::Download) {
        auto *download = static_cast<FLTURLSessionDownloadTask *>(task.get());
        std::optional<std::string> location;
        if (!error && !download->publishFile())
            error = PLNMakeError("FLTURLSessionDownloadTaskError", -1);
        if (!error)
            location = download->targetURL();
        if (task->m_downloadCompletionHandler)
            task->m_downloadCompletionHandler(location, response, error);
        if (!error && delegate)
            delegate->URLSessionDidFinishDownloadingToURL(sessionOwner, task.get(),
                                                          download->targetURL());
        // The file lives only while the block or the delegate call runs.
        download->discardFile();
    } else if (task->m_completionHandler) {
        task->m_completionHandler(std::move(data), response, error);
    }
    // Completion blocks hold what they captured; drop them once they have run.
    task->m_completionHandler = nullptr;
    task->m_downloadCompletionHandler = nullptr;
    if (delegate)
        delegate->URLSessionDidCompleteWithError(sessionOwner, task.get(), error);
    std::lock_guard lock(mutex);
    taskSet.erase(std::remove(taskSet.begin(), taskSet.end(), task), taskSet.end());
}

void SessionCore::run()
{
    // libcurl is opened by the first transfer, on this thread: a session that never transfers
    // anything never maps it.
    CURLM *multiHandle = nullptr;
    for (;;) {
        tel::ThreadStartHook::prepareCurrentThread();
        std::deque<std::shared_ptr<FLTURLSessionTask>> starting;
        std::vector<std::shared_ptr<FLTURLSessionTask>> cancelling;
        std::deque<std::function<void()>> pending;
        // The transfers are handled under the gate; the wait for the network is not.
        std::optional<tel::ExitGate::Pass> pass;
        pass.emplace();
        {
            std::lock_guard lock(mutex);
            if (stopping)
                break;
            starting.swap(toStart);
            cancelling.swap(toCancel);
            pending.swap(calls);
        }
        for (const auto &task : cancelling) {
            // A task cancelled before it ran never starts.
            starting.erase(std::remove(starting.begin(), starting.end(), task), starting.end());
            auto it = std::find_if(running.begin(), running.end(), [&](const auto &entry) {
                return isTransferOf(entry.second.get(), task);
            });
            if (it != running.end()) {
                Transfer *transfer = it->second.get();
                transfer->writeError.reset();
                transfer->trustCancelled = false;
                auto keep = transfer->task;
                curl().curl_multi_remove_handle(multiHandle, transfer->easy);
                std::optional<std::string> data;
                if (transfer->gotData)
                    data = std::move(transfer->data);
                running.erase(it);
                complete(keep, std::move(data), std::nullopt,
                         urlError(FLTURLErrorCancelled, keep->originalRequest().URL, "cancelled"));
                continue;
            }
            complete(task, std::nullopt, std::nullopt,
                     urlError(FLTURLErrorCancelled, task->originalRequest().URL, "cancelled"));
        }
        if (!starting.empty() && !multiHandle)
            multiHandle = static_cast<CURLM *>(openTransfers());
        for (const auto &task : starting) {
            if (multiHandle)
                beginTransfer(task);
            else
                complete(
                    task, std::nullopt, std::nullopt,
                    urlError(FLTURLErrorUnknown, task->originalRequest().URL,
                             "The network library is not available: " + PLNCurl::shared().error));
        }
        for (auto &call : pending)
            call();
        if (!multiHandle) {
            pass.reset();
            std::unique_lock lock(mutex);
            wakeCondition.wait_for(lock, std::chrono::seconds(1), [this] {
                return stopping || !toStart.empty() || !toCancel.empty() || !calls.empty();
            });
            continue;
        }

        int stillRunning = 0;
        curl().curl_multi_perform(multiHandle, &stillRunning);
        int queued = 0;
        while (CURLMsg *message = curl().curl_multi_info_read(multiHandle, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            auto it = running.find(message->easy_handle);
            if (it != running.end())
                finishTransfer(it->second.get(), message->data.result);
        }
        pass.reset();
        curl().curl_multi_poll(multiHandle, nullptr, 0, 1000, nullptr);
    }
    for (auto &[easy, transfer] : running)
        curl().curl_multi_remove_handle(multiHandle, static_cast<CURL *>(easy));
    running.clear();
}

} // namespace flt::detail

using flt::detail::SessionCore;

FLTURLSessionDownloadTask::FLTURLSessionDownloadTask(FLTURLRequest request)
    : FLTURLSessionDataTask(Kind::Download, std::move(request))
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/FLTURLSessionDownload-XXXXXX";
    // The name is reserved now, but the body goes to a file without a name until the transfer
    // has finished: a process that ends mid-transfer leaves nothing behind.
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named < 0)
        return;
    ::close(named);
    const std::string folder = pattern.substr(0, pattern.rfind('/'));
    m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0) {
        ::unlink(pattern.c_str());
    } else {
        // No unnamed files in this folder: write the named one directly.
        m_fd = ::open(pattern.c_str(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            ::unlink(pattern.c_str());
            return;
        }
        m_published = true;
    }
    m_targetURL = pattern;
}

FLTURLSessionDownloadTask::~FLTURLSessionDownloadTask()
{
    discardFile();
}

bool FLTURLSessionDownloadTask::publishFile()
{
    if (m_published)
        return true;
    if (m_fd < 0)
        return false;
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_targetURL.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return false;
    m_published = true;
    return true;
}

void FLTURLSessionDownloadTask::discardFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_published) {
        ::unlink(m_targetURL.c_str());
        m_published = false;
    }
}

FLTURLSession::FLTURLSession(const FLTURLSessionConfiguration &configuration,
                             std::shared_ptr<FLTURLSessionDelegate> delegate)
    : m_configuration(configuration)
    , m_core(std::make_shared<SessionCore>())
{
    m_core->owner = this;
    m_core->delegate = delegate;
    m_core->trustDelegate = std::move(delegate);
    auto core = m_core;
    m_core->thread = std::thread([core] { core->run(); });
}

std::unique_ptr<FLTURLSession> FLTURLSession::sessionWithConfiguration(
    const std::optional<FLTURLSessionConfiguration> &configuration,
    std::shared_ptr<FLTURLSessionDelegate> delegate)
{
    if (!configuration)
        return nullptr;
    return std::unique_ptr<FLTURLSession>(new FLTURLSession(*configuration, std::move(delegate)));
}

FLTURLSession::~FLTURLSession()
{
    {
        std::lock_guard lock(m_core->mutex);
        m_core->owner = nullptr;
        m_core->stopping = true;
    }
    m_core->wake();
    // Once the process is exiting, the session's thread may wait at the closed gate for good.
    if (m_core->thread.get_id() == std::this_thread::get_id() || tel::ExitGate::isClosed())
        m_core->thread.detach();
    else if (m_core->thread.joinable())
        m_core->thread.join();
}

void FLTURLSession::configureTask(const std::shared_ptr<FLTURLSessionTask> &task)
{
    for (const auto &[name, value] : m_configuration.HTTPAdditionalHeaders())
        task->m_originalRequest.addValue(value, name);
    task->m_session = m_core;
    std::lock_guard lock(m_core->mutex);
    m_core->taskSet.push_back(task);
}

std::shared_ptr<FLTURLSessionDataTask>
FLTURLSession::dataTaskWithRequest(const FLTURLRequest &request,
                                   FLTURLSessionTask::DataCompletion completionHandler)
{
    if (isInvalidated())
        return nullptr;
    auto task = std::make_shared<FLTURLSessionDataTask>(request);
    if (completionHandler) {
        task->m_completionHandler = std::move(completionHandler);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<FLTURLSessionUploadTask>
FLTURLSession::uploadTaskWithRequest(const FLTURLRequest &request, const std::string &fromFile,
                                     FLTURLSessionTask::DataCompletion completionHandler)
{
    if (isInvalidated())
        return nullptr;
    FLTURLRequest streamed = request;
    streamed.HTTPBody.clear();
    streamed.HTTPBodyFile = fromFile;
    auto task = std::make_shared<FLTURLSessionUploadTask>(streamed);
    if (completionHandler) {
        task->m_completionHandler = std::move(completionHandler);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<FLTURLSessionDownloadTask>
FLTURLSession::downloadTaskWithRequest(const FLTURLRequest &request,
                                       FLTURLSessionTask::DownloadCompletion completionHandler)
{
    if (isInvalidated())
        return nullptr;
    auto task = std::make_shared<FLTURLSessionDownloadTask>(request);
    if (task->targetURL().empty())
        return nullptr;
    if (completionHandler) {
        task->m_downloadCompletionHandler = std::move(completionHandler);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<FLTURLSessionDownloadTask>
FLTURLSession::downloadTaskWithURL(const std::string &url)
{
    return downloadTaskWithRequest(FLTURLRequest(url));
}

void FLTURLSession::invalidateAndCancel()
{
    std::vector<std::shared_ptr<FLTURLSessionTask>> live;
    std::shared_ptr<FLTURLSessionDelegate> dropped;
    {
        std::lock_guard lock(m_core->mutex);
        m_core->invalidated = true;
        live = m_core->taskSet;
        dropped = std::move(m_core->delegate);
    }
    for (const auto &task : live)
        m_core->cancel(task);
}

void FLTURLSession::finishTasksAndInvalidate()
{
    std::shared_ptr<FLTURLSessionDelegate> dropped;
    std::lock_guard lock(m_core->mutex);
    m_core->invalidated = true;
    dropped = std::move(m_core->delegate);
}

bool FLTURLSession::isInvalidated() const
{
    std::lock_guard lock(m_core->mutex);
    return m_core->invalidated;
}

void FLTURLSession::getTasksWithCompletionHandler(
    std::function<void(std::vector<std::shared_ptr<FLTURLSessionTask>>,
                       std::vector<std::shared_ptr<FLTURLSessionTask>>,
                       std::vector<std::shared_ptr<FLTURLSessionTask>>)>
        completionHandler)
{
    auto core = m_core;
    m_core->post([core, completionHandler = std::move(completionHandler)] {
        std::vector<std::shared_ptr<FLTURLSessionTask>> live;
        {
            std::lock_guard lock(core->mutex);
            live = core->taskSet;
        }
        std::vector<std::shared_ptr<FLTURLSessionTask>> data, upload, download;
        for (const auto &task : live) {
            switch (task->kind()) {
            case FLTURLSessionTask::Kind::Data: data.push_back(task); break;
            case FLTURLSessionTask::Kind::Upload: upload.push_back(task); break;
            case FLTURLSessionTask::Kind::Download: download.push_back(task); break;
            }
        }
        completionHandler(std::move(data), std::move(upload), std::move(download));
    });
}

std::shared_ptr<FLTURLSessionDelegate> FLTURLSession::delegate() const
{
    return m_core->currentDelegate();
}

std::string FLTURLSession::sessionDescription() const
{
    std::lock_guard lock(m_core->mutex);
    return m_core->sessionDescription;
}

void FLTURLSession::setSessionDescription(const std::string &description)
{
    std::lock_guard lock(m_core->mutex);
    m_core->sessionDescription = description;
}
