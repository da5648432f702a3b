#pragma once

#include "app/launch/QntDocumentController.h"
#include "app/window/DIDizeZoziDocument.h"
#include "common/SharedStateKeepers.h"

namespace qnt::test {

// Puts back, when it ends, what launching the application delegate and quitting it change for
// the whole process: the user's defaults (launch reads and writes some, quitting stores the
// drawing's and the window's settings), the drawing quality new documents get, the colour
// panel's state (launch makes it offer opacity), and the start-up window, hidden. A test that
// launches keeps one from before the launch until after its delegates are gone, so the tests after
// it find the windows as a fresh process draws them.
class LaunchSettingsKeeper
{
public:
    LaunchSettingsKeeper()
        : m_qualityModulation(DIDizeZoziDocument::defaultQualityModulation())
    {
    }
    ~LaunchSettingsKeeper()
    {
        m_defaults.restore();
        DIDizeZoziDocument::setDefaultQualityModulation(m_qualityModulation);
        QntDocumentController::orderOutStartUpWindow();
    }
    LaunchSettingsKeeper(const LaunchSettingsKeeper &) = delete;
    LaunchSettingsKeeper &operator=(const LaunchSettingsKeeper &) = delete;

private:
    UserDefaultsKeeper m_defaults;
    ColorPanelKeeper m_colourPanel;
    bool m_qualityModulation;
};

} // namespace qnt::test
