#pragma once

#include "app/launch/QntDocumentController.h"
#include "app/window/DIDizeZoziDocument.h"
#include "platform/ColorPanel.h"
#include "platform/UserDefaults.h"

#include <QVariantMap>

namespace qnt::test {

// Puts back, when it ends, what launching the application delegate and quitting it change for
// the whole process: the user's defaults (launch reads and writes some, quitting stores the
// drawing's and the window's settings), the drawing quality new documents get, whether the
// colour panel offers opacity, and the start-up window, hidden. A test that launches keeps one
// from before the launch until after its delegates are gone, so the tests after it find the
// windows as a fresh process draws them.
class LaunchSettingsKeeper
{
public:
    LaunchSettingsKeeper()
        : m_defaults(UserDefaults::standardUserDefaults().persistentDomain())
        , m_qualityModulation(DIDizeZoziDocument::defaultQualityModulation())
        , m_colourPanelShowsAlpha(ColorPanel::sharedColorPanel().showsAlpha())
    {
    }
    ~LaunchSettingsKeeper()
    {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        const QVariantMap now = defaults.persistentDomain();
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!m_defaults.contains(it.key()))
                defaults.removeObjectForKey(it.key());
        for (auto it = m_defaults.cbegin(); it != m_defaults.cend(); ++it)
            if (now.value(it.key()) != it.value())
                defaults.setObject(it.value(), it.key());
        DIDizeZoziDocument::setDefaultQualityModulation(m_qualityModulation);
        ColorPanel::sharedColorPanel().setShowsAlpha(m_colourPanelShowsAlpha);
        QntDocumentController::orderOutStartUpWindow();
    }
    LaunchSettingsKeeper(const LaunchSettingsKeeper &) = delete;
    LaunchSettingsKeeper &operator=(const LaunchSettingsKeeper &) = delete;

private:
    QVariantMap m_defaults;
    bool m_qualityModulation;
    bool m_colourPanelShowsAlpha;
};

} // namespace qnt::test
