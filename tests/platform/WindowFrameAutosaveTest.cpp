#include "platform/WindowFrameAutosave.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class WindowFrameAutosaveTest : public testing::Test
{
protected:
    QString path() const { return m_dir.path() + "/Prefs.plist"; }
    QRect screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    QTemporaryDir m_dir;
};

const QString kKey = QStringLiteral("NSWindow Frame Panel");

} // namespace

TEST_F(WindowFrameAutosaveTest, AMovedWindowComesBackWhereTheUserLeftItAtTheNextLaunch)
{
    const QPoint place = screen().topLeft() + QPoint(120, 80);
    {
        UserDefaults defaults(path());
        QWidget window(nullptr, Qt::Window);
        window.resize(300, 200);
        WindowFrameAutosave *autosave = WindowFrameAutosave::attach(&window, "Panel", &defaults);
        EXPECT_FALSE(autosave->restore()); // nothing kept yet
        window.show();
        window.move(place);
        window.resize(320, 210);
        QApplication::processEvents();
        window.hide();
        EXPECT_EQ(defaults.stringForKey(kKey),
                  QStringLiteral("%1 %2 320 210").arg(place.x()).arg(place.y()));
        EXPECT_TRUE(defaults.synchronize());
    }
    UserDefaults defaults(path());
    QWidget window(nullptr, Qt::Window);
    window.resize(100, 100);
    EXPECT_TRUE(WindowFrameAutosave::attach(&window, "Panel", &defaults)->restore());
    EXPECT_EQ(window.pos(), place);
    EXPECT_EQ(window.size(), QSize(320, 210));
    // Putting it back writes nothing of its own.
    EXPECT_EQ(defaults.stringForKey(kKey),
              QStringLiteral("%1 %2 320 210").arg(place.x()).arg(place.y()));
}

TEST_F(WindowFrameAutosaveTest, AKeptFrameOffEveryScreenOrUnreadableLeavesTheWindowWhereItIs)
{
    const QRect s = screen();
    struct Case {
        const char *name;
        QString kept;
        WindowFrameAutosave::Restore what;
        bool restored;
        QRect frame; // where the window is afterwards
    };
    const QRect usual(s.topLeft() + QPoint(30, 40), QSize(200, 150));
    const auto frame = [](int x, int y, int w, int h) {
        return QStringLiteral("%1 %2 %3 %4").arg(x).arg(y).arg(w).arg(h);
    };
    const Case cases[] = {
        {"on the screen", frame(s.x() + 10, s.y() + 20, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, true, QRect(s.x() + 10, s.y() + 20, 300, 100)},
        {"place only", frame(s.x() + 10, s.y() + 20, 300, 100),
         WindowFrameAutosave::Restore::PlaceOnly, true,
         QRect(QPoint(s.x() + 10, s.y() + 20), usual.size())},
        {"beyond the right edge", frame(s.right() + 500, s.y() + 20, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, false, usual},
        {"below the screen", frame(s.x() + 10, s.bottom() + 5, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, false, usual},
        {"only a sliver on the left", frame(s.x() - 290, s.y() + 20, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, false, usual},
        {"title bar reachable on the left", frame(s.x() - 250, s.y() + 20, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, true,
         QRect(s.x() - 250, s.y() + 20, 300, 100)},
        {"title bar above the screen", frame(s.x() + 10, s.y() - 50, 300, 100),
         WindowFrameAutosave::Restore::PlaceAndSize, false, usual},
        {"no size", frame(s.x() + 10, s.y() + 20, 0, 0), WindowFrameAutosave::Restore::PlaceAndSize,
         false, usual},
        {"not numbers", QStringLiteral("left top wide high"),
         WindowFrameAutosave::Restore::PlaceAndSize, false, usual},
        {"three numbers", QStringLiteral("1 2 3"), WindowFrameAutosave::Restore::PlaceAndSize,
         false, usual},
    };
    for (const Case &c : cases) {
        UserDefaults defaults(path());
        defaults.setObject(c.kept, kKey);
        QWidget window(nullptr, Qt::Window);
        window.setGeometry(usual);
        window.move(usual.topLeft());
        EXPECT_EQ(WindowFrameAutosave::attach(&window, "Panel", &defaults)->restore(c.what),
                  c.restored)
            << c.name;
        EXPECT_EQ(QRect(window.pos(), window.size()), c.frame) << c.name;
        EXPECT_EQ(defaults.stringForKey(kKey), c.kept) << c.name;
    }
}

TEST_F(WindowFrameAutosaveTest, AFrameKeptByEarlierVersionsIsPutBack)
{
    QByteArray earlier;
    {
        QWidget window(nullptr, Qt::Window);
        window.setGeometry(QRect(screen().topLeft() + QPoint(60, 70), QSize(260, 180)));
        earlier = window.saveGeometry();
    }
    UserDefaults defaults(path());
    defaults.setObject(earlier, kKey);
    QWidget window(nullptr, Qt::Window);
    window.resize(100, 100);
    EXPECT_TRUE(WindowFrameAutosave::attach(&window, "Panel", &defaults)->restore());
    EXPECT_EQ(window.size(), QSize(260, 180));
}
