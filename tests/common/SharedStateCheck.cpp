#include "common/SharedStateCheck.h"

#include "platform/ColorPanel.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QStringList>

namespace qnt::test {

SharedStateCheck::State SharedStateCheck::current()
{
    State state;
    state.defaults = UserDefaults::standardUserDefaults().persistentDomain();
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    state.panelShowsAlpha = panel.showsAlpha();
    state.panelColour = panel.color();
    state.panelTarget = panel.target();
    state.panelVisible = panel.isVisible();
    state.palette = QApplication::palette();
    state.font = QApplication::font();
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        state.styleSheet = app->styleSheet();
    state.locale = QLocale();
    state.overrideCursor = QGuiApplication::overrideCursor() != nullptr;
    state.applicationName = QCoreApplication::applicationName();
    state.organizationName = QCoreApplication::organizationName();
    state.quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
    return state;
}

std::string SharedStateCheck::changes(const State &before, const State &after)
{
    QStringList found;
    QStringList keys;
    for (auto it = before.defaults.cbegin(); it != before.defaults.cend(); ++it) {
        if (!after.defaults.contains(it.key()))
            keys << it.key() + QStringLiteral(" (removed)");
        else if (after.defaults.value(it.key()) != it.value())
            keys << it.key() + QStringLiteral(" (changed)");
    }
    for (auto it = after.defaults.cbegin(); it != after.defaults.cend(); ++it)
        if (!before.defaults.contains(it.key()))
            keys << it.key() + QStringLiteral(" (added)");
    if (!keys.isEmpty())
        found << QStringLiteral("user defaults ") + keys.join(QStringLiteral(", "));
    if (after.panelShowsAlpha != before.panelShowsAlpha)
        found << (after.panelShowsAlpha ? QStringLiteral("colour panel now offers opacity")
                                        : QStringLiteral("colour panel no longer offers opacity"));
    if (after.panelColour != before.panelColour)
        found << QStringLiteral("colour panel's colour %1 (was %2)")
                     .arg(after.panelColour.name(QColor::HexArgb),
                          before.panelColour.name(QColor::HexArgb));
    if (after.panelTarget != before.panelTarget)
        found << QStringLiteral("colour panel's target");
    if (after.panelVisible != before.panelVisible)
        found << (after.panelVisible ? QStringLiteral("colour panel left open")
                                     : QStringLiteral("colour panel closed"));
    if (after.palette != before.palette)
        found << QStringLiteral("application palette");
    if (after.font != before.font)
        found << QStringLiteral("application font");
    if (after.styleSheet != before.styleSheet)
        found << QStringLiteral("application style sheet");
    if (after.locale != before.locale)
        found << QStringLiteral("default locale");
    if (after.overrideCursor != before.overrideCursor)
        found << QStringLiteral("override cursor");
    if (after.applicationName != before.applicationName
        || after.organizationName != before.organizationName)
        found << QStringLiteral("application or organisation name");
    if (after.quitOnLastWindowClosed != before.quitOnLastWindowClosed)
        found << QStringLiteral("quit on last window closed");
    return found.join(QStringLiteral("; ")).toStdString();
}

void SharedStateCheck::OnTestStart(const testing::TestInfo &)
{
    m_before = current();
}

void SharedStateCheck::OnTestEnd(const testing::TestInfo &test)
{
    const std::string found = changes(m_before, current());
    if (!found.empty())
        ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                      << " left shared state changed: " << found;
}

} // namespace qnt::test
