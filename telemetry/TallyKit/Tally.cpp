#include "Tally.h"

#include "TLYCrashEvent.h"
#include "TLYCustomEvent.h"
#include "TLYLogger.h"
#include "TLYTallyController.h"

#include "telemetry/core/Plinth.h"
#include "telemetry/platform/SystemLog.h"

namespace {

class TallyClass : public PLNKit
{
public:
    std::string className() const override { return "Tally"; }
    std::string bundleIdentifier() const override { return Tally::kBundleIdentifier; }
    std::string kitDisplayVersion() const override { return Tally::kDisplayVersion; }
    std::optional<std::string> kitBuildVersion() const override { return Tally::kBuildVersion; }
    bool respondsToInitializeIfNeeded() const override { return true; }
    void initializeIfNeeded() override { Tally::initializeIfNeeded(); }
};

// Registered when the kit is linked in, so that the client's start finds it by name.
[[maybe_unused]] const bool g_registered = (Tally::metaClass(), true);

} // namespace

const PLNKit &Tally::metaClass()
{
    static const TallyClass *kit = [] {
        auto *k = new TallyClass;
        PLNKit::registerClass(k);
        return k;
    }();
    return *kit;
}

Tally &Tally::sharedInstance()
{
    static Tally *shared = new Tally;
    return *shared;
}

void Tally::startWithBetaToken(const std::optional<std::string> &betaToken)
{
    sharedInstance().start(betaToken);
}

void Tally::start(const std::optional<std::string> &betaToken)
{
    std::call_once(m_started, [this, &betaToken] {
        TLYLogger::sharedLogger().setDebugMode(Plinth::sharedSDK().debug());
        TLYLogger::sharedLogger().log("Initialized");
        setTallyController(TLYTallyController::create(betaToken));
    });
}

void Tally::initializeIfNeeded()
{
    const PLNKit *faultline = PLNKit::classNamed("Faultline");
    if (faultline && faultline->conformsToPLNKit()) {
        const_cast<PLNKit *>(faultline)->initializeIfNeeded();
        return;
    }
    startWithBetaToken(std::nullopt);
}

std::shared_ptr<TLYTallyController> Tally::tallyController() const
{
    std::lock_guard lock(m_mutex);
    return m_tallyController;
}

std::shared_ptr<TLYTallyController>
Tally::setTallyController(std::shared_ptr<TLYTallyController> controller)
{
    std::lock_guard lock(m_mutex);
    std::swap(m_tallyController, controller);
    return controller;
}

bool Tally::unavailableInHearthMode(const char *method)
{
    if (!Plinth::sharedSDK().hearthMode())
        return false;
    TLYLogger::sharedLogger().log(std::string(method)
                                  + " is not supported when using Faultline through Hearth.");
    return true;
}

void Tally::record(TLYEventPointer event)
{
    if (const auto controller = sharedInstance().tallyController())
        controller->logEvent(std::move(event));
}

void Tally::logSignUpWithMethod(Text method, std::optional<bool> success,
                                const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logSignUpWithMethod:success:customAttributes:"))
        return;
    record(TLYPredefinedEvent::signUpEventWithMethod(std::move(method), success, customAttributes));
}

void Tally::logLoginWithMethod(Text method, std::optional<bool> success,
                               const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logLoginWithMethod:success:customAttributes:"))
        return;
    record(TLYPredefinedEvent::loginEventWithMethod(std::move(method), success, customAttributes));
}

void Tally::logShareWithMethod(Text method, Text contentName, Text contentType, Text contentId,
                               const Attributes &customAttributes)
{
    if (unavailableInHearthMode(
            "logShareWithMethod:contentName:contentType:contentId:customAttributes:"))
        return;
    record(TLYPredefinedEvent::shareEventWithMethod(std::move(method), std::move(contentName),
                                                    std::move(contentType), std::move(contentId),
                                                    customAttributes));
}

void Tally::logInviteWithMethod(Text method, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logInviteWithMethod:customAttributes:"))
        return;
    record(TLYPredefinedEvent::inviteEventWithMethod(std::move(method), customAttributes));
}

void Tally::logPurchaseWithPrice(std::optional<TLYDecimal> price, Text currency,
                                 std::optional<bool> success, Text itemName, Text itemType,
                                 Text itemId, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logPurchaseWithPrice:currency:success:itemName:itemType:itemId:"
                                "customAttributes:"))
        return;
    record(TLYPredefinedEvent::purchaseEventWithPrice(
        std::move(price), std::move(currency), success, std::move(itemName), std::move(itemType),
        std::move(itemId), customAttributes));
}

void Tally::logLevelStart(Text levelName, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logLevelStart:customAttributes:"))
        return;
    record(
        TLYPredefinedEvent::levelStartEventWithLevelName(std::move(levelName), customAttributes));
}

void Tally::logLevelEnd(Text levelName, const Value &score, std::optional<bool> success,
                        const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logLevelEnd:score:success:customAttributes:"))
        return;
    record(TLYPredefinedEvent::levelEndEventWithLevelName(std::move(levelName), score, success,
                                                          customAttributes));
}

void Tally::logAddToCartWithPrice(std::optional<TLYDecimal> price, Text currency, Text itemName,
                                  Text itemType, Text itemId, const Attributes &customAttributes)
{
    if (unavailableInHearthMode(
            "logAddToCartWithPrice:currency:itemName:itemType:itemId:customAttributes:"))
        return;
    record(TLYPredefinedEvent::addToCartEventWithPrice(std::move(price), std::move(currency),
                                                       std::move(itemName), std::move(itemType),
                                                       std::move(itemId), customAttributes));
}

void Tally::logStartCheckoutWithPrice(std::optional<TLYDecimal> price, Text currency,
                                      const Value &itemCount, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logStartCheckoutWithPrice:currency:itemCount:customAttributes:"))
        return;
    record(TLYPredefinedEvent::startCheckoutEventWithPrice(std::move(price), std::move(currency),
                                                           itemCount, customAttributes));
}

void Tally::logRating(const Value &rating, Text contentName, Text contentType, Text contentId,
                      const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logRating:contentName:contentType:contentId:customAttributes:"))
        return;
    record(TLYPredefinedEvent::ratingEventWithRating(rating, std::move(contentName),
                                                     std::move(contentType), std::move(contentId),
                                                     customAttributes));
}

void Tally::logContentViewWithName(Text contentName, Text contentType, Text contentId,
                                   const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logContentViewWithName:contentType:contentId:customAttributes:"))
        return;
    record(TLYPredefinedEvent::contentViewEventWithName(
        std::move(contentName), std::move(contentType), std::move(contentId), customAttributes));
}

void Tally::logSearchWithQuery(Text query, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logSearchWithQuery:customAttributes:"))
        return;
    record(TLYPredefinedEvent::searchEventWithQuery(std::move(query), customAttributes));
}

void Tally::logCustomEventWithName(const std::string &name, const Attributes &customAttributes)
{
    if (unavailableInHearthMode("logCustomEventWithName:customAttributes:"))
        return;
    record(std::make_shared<TLYCustomEvent>(name, customAttributes));
}

void Tally::logPreviousSessionCrashedOnDate(
    std::optional<std::chrono::system_clock::time_point> date)
{
    if (!date)
        return;
    if (const auto controller = sharedInstance().tallyController())
        controller->logCrashEvent(std::make_shared<TLYCrashEvent>(*date, 0));
}

void Tally::waitUntilRecorded()
{
    if (const auto controller = sharedInstance().tallyController())
        controller->waitUntilIdle();
}
