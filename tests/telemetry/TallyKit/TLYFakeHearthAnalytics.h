#pragma once

#include "telemetry/TallyKit/TLYHearthAnalyticsBridge.h"

#include <mutex>
#include <vector>

namespace qnt::test {

// Stands in for the Hearth library: remembers every call.
class TLYFakeHearthAnalytics : public TLYHearthAnalytics
{
public:
    struct Call {
        std::string origin;
        std::string name;
        nlohmann::ordered_json parameters;
    };
    void logInternalEventWithOrigin(const std::string &origin, const std::string &name,
                                    const nlohmann::ordered_json &parameters) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({origin, name, parameters});
    }
    std::vector<Call> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};

} // namespace qnt::test
