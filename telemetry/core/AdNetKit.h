#pragma once

#include "PLNKit.h"

// Placeholder kit that the start adds for the Beacon Mobile Ads SDK when that SDK is present.
// Initialising it does nothing.
class AdNetKit : public PLNKit
{
public:
    static const AdNetKit &shared();

    std::string className() const override { return "AdNetKit"; }
    std::string bundleIdentifier() const override { return "com.beacon.adnet.ios"; }
    std::string kitDisplayVersion() const override { return "0.0.0"; }
};
