#pragma once

#include "platform/ColorPanel.h"
#include "platform/UserDefaults.h"

#include <QColor>
#include <QVariantMap>

namespace qnt::test {

// Keeps the values the user set in the standard user defaults as they are now and puts them
// back when it ends: keys added since are removed, changed and removed ones get their old
// values. A test (or its fixture) that saves settings as the user would keeps one.
class UserDefaultsKeeper
{
public:
    UserDefaultsKeeper()
        : m_values(UserDefaults::standardUserDefaults().persistentDomain())
    {
    }
    ~UserDefaultsKeeper() { restore(); }
    UserDefaultsKeeper(const UserDefaultsKeeper &) = delete;
    UserDefaultsKeeper &operator=(const UserDefaultsKeeper &) = delete;

    void restore() const
    {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        const QVariantMap now = defaults.persistentDomain();
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!m_values.contains(it.key()))
                defaults.removeObjectForKey(it.key());
        for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
            if (now.value(it.key()) != it.value())
                defaults.setObject(it.value(), it.key());
    }

private:
    QVariantMap m_values;
};

// Keeps the shared colour panel's state and puts it back when it ends: whether it offers
// opacity, its colour, whether it is open, and no target when it had none.
class ColorPanelKeeper
{
public:
    ColorPanelKeeper()
        : m_showsAlpha(panel().showsAlpha())
        , m_colour(panel().color())
        , m_hadTarget(panel().target() != nullptr)
        , m_visible(panel().isVisible())
    {
    }
    ~ColorPanelKeeper()
    {
        ColorPanel &p = panel();
        p.setShowsAlpha(m_showsAlpha);
        p.setColor(m_colour);
        if (!m_hadTarget)
            p.setTarget(nullptr, {});
        if (!m_visible)
            p.orderOut();
    }
    ColorPanelKeeper(const ColorPanelKeeper &) = delete;
    ColorPanelKeeper &operator=(const ColorPanelKeeper &) = delete;

    static ColorPanel &panel() { return ColorPanel::sharedColorPanel(); }

private:
    bool m_showsAlpha;
    QColor m_colour;
    bool m_hadTarget;
    bool m_visible;
};

} // namespace qnt::test
