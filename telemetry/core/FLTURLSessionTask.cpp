#include "telemetry/core/FLTURLSessionTask.h"

#include "telemetry/core/FLTURLSessionCore.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>

namespace {

bool equalsIgnoringCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
                  return std::tolower(x) == std::tolower(y);
              });
}

std::uint64_t nextTaskIdentifier()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

} // namespace

std::string PLNErrorDescription(const tel::TelemetryError &error)
{
    const std::string text = PLNErrorString(error, kFLTLocalizedDescriptionKey);
    if (!text.empty())
        return text;
    return error.domain + " error " + std::to_string(error.code);
}

std::string PLNErrorString(const tel::TelemetryError &error, const std::string &key)
{
    const auto it = error.userInfo.find(key);
    if (it == error.userInfo.end())
        return {};
    return it->second.description();
}

std::optional<std::int64_t> PLNErrorInteger(const tel::TelemetryError &error,
                                            const std::string &key)
{
    const auto it = error.userInfo.find(key);
    if (it == error.userInfo.end())
        return std::nullopt;
    if (it->second.isNumber())
        return it->second.toInteger();
    const std::string text = it->second.toString();
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

tel::TelemetryError PLNMakeError(std::string domain, std::int64_t code,
                                 tel::PlistValue::Dictionary userInfo)
{
    tel::TelemetryError error;
    error.domain = std::move(domain);
    error.code = code;
    error.userInfo = std::move(userInfo);
    return error;
}

std::optional<std::string> FLTHeaderValue(const FLTHTTPHeaderFields &fields,
                                          const std::string &name)
{
    for (const auto &[field, value] : fields) {
        if (equalsIgnoringCase(field, name))
            return value;
    }
    return std::nullopt;
}

std::optional<std::string> FLTURLRequest::valueForHTTPHeaderField(const std::string &field) const
{
    return FLTHeaderValue(allHTTPHeaderFields, field);
}

void FLTURLRequest::setValue(const std::string &value, const std::string &field)
{
    auto &fields = allHTTPHeaderFields;
    fields.erase(
        std::remove_if(fields.begin(), fields.end(),
                       [&](const auto &entry) { return equalsIgnoringCase(entry.first, field); }),
        fields.end());
    fields.emplace_back(field, value);
}

void FLTURLRequest::addValue(const std::string &value, const std::string &field)
{
    for (auto &entry : allHTTPHeaderFields) {
        if (equalsIgnoringCase(entry.first, field)) {
            entry.second += "," + value;
            return;
        }
    }
    allHTTPHeaderFields.emplace_back(field, value);
}

FLTURLSessionTask::FLTURLSessionTask(Kind kind, FLTURLRequest request)
    : m_kind(kind)
    , m_identifier(nextTaskIdentifier())
    , m_originalRequest(std::move(request))
{
}

FLTURLSessionTask::~FLTURLSessionTask() = default;

std::optional<FLTHTTPURLResponse> FLTURLSessionTask::response() const
{
    std::lock_guard lock(m_mutex);
    return m_response;
}

std::optional<tel::TelemetryError> FLTURLSessionTask::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

std::string FLTURLSessionTask::taskDescription() const
{
    std::lock_guard lock(m_mutex);
    return m_taskDescription;
}

void FLTURLSessionTask::setTaskDescription(const std::string &description)
{
    std::lock_guard lock(m_mutex);
    m_taskDescription = description;
}

void FLTURLSessionTask::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_resumed)
            return;
        m_resumed = true;
    }
    if (auto session = m_session.lock())
        session->start(shared_from_this());
}

void FLTURLSessionTask::cancel()
{
    if (auto session = m_session.lock())
        session->cancel(shared_from_this());
}
