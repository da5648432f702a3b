#pragma once

#include "TLYPredefinedEvent.h"

#include "telemetry/core/PLNKit.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class TLYTallyController;

// The usage-analytics kit: the application's way to record usage events. Each call builds its
// event on the calling thread (attributes checked and cut to the limits) and hands it to the
// analytics controller, which writes, rolls over and uploads the event logs on its own queue.
// Events are dropped until the kit has started (the crash kit starts it at launch) and while
// the client runs in Hearth mode. All members are thread-safe.
class Tally : public PLNKitInstance
{
public:
    static constexpr const char *kBundleIdentifier = "io.plinth.tally.mac";
    static constexpr const char *kDisplayVersion = "1.3.7";
    static constexpr const char *kBuildVersion = "30";

    // The kit's class object, registered under the name "Tally".
    static const PLNKit &metaClass();
    static Tally &sharedInstance();
    const PLNKit &kitClass() const override { return metaClass(); }

    // Once per process; later calls, whatever their token, change nothing.
    static void startWithBetaToken(const std::optional<std::string> &betaToken);
    // The kit hook of the client's start: the crash kit, when linked in, starts this kit with
    // its own beta token; otherwise the kit starts without one.
    static void initializeIfNeeded();

    using Text = TLYText;
    using Value = TLYValue;
    using Attributes = nlohmann::ordered_json;

    static void logSignUpWithMethod(Text method, std::optional<bool> success,
                                    const Attributes &customAttributes = {});
    static void logLoginWithMethod(Text method, std::optional<bool> success,
                                   const Attributes &customAttributes = {});
    static void logShareWithMethod(Text method, Text contentName, Text contentType, Text contentId,
                                   const Attributes &customAttributes = {});
    static void logInviteWithMethod(Text method, const Attributes &customAttributes = {});
    static void logPurchaseWithPrice(std::optional<TLYDecimal> price, Text currency,
                                     std::optional<bool> success, Text itemName, Text itemType,
                                     Text itemId, const Attributes &customAttributes = {});
    static void logLevelStart(Text levelName, const Attributes &customAttributes = {});
    static void logLevelEnd(Text levelName, const Value &score, std::optional<bool> success,
                            const Attributes &customAttributes = {});
    static void logAddToCartWithPrice(std::optional<TLYDecimal> price, Text currency, Text itemName,
                                      Text itemType, Text itemId,
                                      const Attributes &customAttributes = {});
    static void logStartCheckoutWithPrice(std::optional<TLYDecimal> price, Text currency,
                                          const Value &itemCount,
                                          const Attributes &customAttributes = {});
    static void logRating(const Value &rating, Text contentName, Text contentType, Text contentId,
                          const Attributes &customAttributes = {});
    static void logContentViewWithName(Text contentName, Text contentType, Text contentId,
                                       const Attributes &customAttributes = {});
    static void logSearchWithQuery(Text query, const Attributes &customAttributes = {});
    static void logCustomEventWithName(const std::string &name,
                                       const Attributes &customAttributes = {});
    // The previous launch's crash (state unknown); nothing without a date.
    static void
    logPreviousSessionCrashedOnDate(std::optional<std::chrono::system_clock::time_point> date);

    // For the host's quit: waits until the events recorded so far are written.
    static void waitUntilRecorded();

    std::shared_ptr<TLYTallyController> tallyController() const;
    // Replaces the controller (tests); answers the one it replaced.
    std::shared_ptr<TLYTallyController>
    setTallyController(std::shared_ptr<TLYTallyController> controller);

private:
    Tally() = default;
    void start(const std::optional<std::string> &betaToken);
    static bool unavailableInHearthMode(const char *method);
    static void record(TLYEventPointer event);

    mutable std::mutex m_mutex;
    std::once_flag m_started;
    std::shared_ptr<TLYTallyController> m_tallyController;
};
