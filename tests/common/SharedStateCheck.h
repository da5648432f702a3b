#pragma once

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace qnt::test {

// Fails a test that leaves behind what every later test of a program with a Qt application
// sees: the values the user set in the standard user defaults (named by key), the shared
// colour panel (whether it offers opacity, its colour, its target, whether it is open) and the
// application's palette, font, style sheet, locale, override cursor and names. It only
// reports: a test puts back what it changed itself (tests/common/SharedStateKeepers.h), so a
// leak shows where it happens instead of being hidden. runQtTestProgram installs it.
class SharedStateCheck : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo &test) override;
    void OnTestEnd(const testing::TestInfo &test) override;

    struct State {
        QVariantMap defaults;
        bool panelShowsAlpha = false;
        QColor panelColour;
        QPointer<QObject> panelTarget;
        bool panelVisible = false;
        QPalette palette;
        QFont font;
        QString styleSheet;
        QLocale locale;
        bool overrideCursor = false;
        QString applicationName;
        QString organizationName;
        bool quitOnLastWindowClosed = false;
    };
    static State current();
    // What differs between the two states, as "; "-separated phrases; empty when nothing.
    static std::string changes(const State &before, const State &after);

private:
    State m_before;
};

} // namespace qnt::test
