#include "platform/PasteGuard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Puts data on the clipboard for one test and gives the clipboard back as it found it.
class ScopedClipboard
{
public:
    explicit ScopedClipboard(QMimeData *data)
    {
        if (const QMimeData *before = QGuiApplication::clipboard()->mimeData()) {
            m_before = std::make_unique<QMimeData>();
            for (const QString &format : before->formats())
                m_before->setData(format, before->data(format));
        }
        QGuiApplication::clipboard()->setMimeData(data);
    }
    ~ScopedClipboard()
    {
        if (m_before)
            QGuiApplication::clipboard()->setMimeData(m_before.release());
        else
            QGuiApplication::clipboard()->clear();
    }
    ScopedClipboard(const ScopedClipboard &) = delete;
    ScopedClipboard &operator=(const ScopedClipboard &) = delete;

private:
    std::unique_ptr<QMimeData> m_before;
};

QMimeData *textData(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    return data;
}

struct Field {
    const char *name;
    std::function<QWidget *()> make;
    std::function<QString(QWidget *)> text;
};

const Field kFields[] = {
    {"rich", [] { return new QTextEdit; },
     [](QWidget *w) { return static_cast<QTextEdit *>(w)->toPlainText(); }},
    {"plain", [] { return new QPlainTextEdit; },
     [](QWidget *w) { return static_cast<QPlainTextEdit *>(w)->toPlainText(); }},
};

class PasteGuardKeys : public testing::TestWithParam<Field>
{
protected:
    void SetUp() override { qApp->installEventFilter(&m_guard); }
    void TearDown() override { qApp->removeEventFilter(&m_guard); }

    PasteGuard m_guard;
};

} // namespace

TEST(PasteGuard, PasteableDataNeedsDataWithAFormat)
{
    QMimeData empty;
    QMimeData objects;
    objects.setData(QStringLiteral("application/x-something"), QByteArray("x"));
    QMimeData text;
    text.setText(QStringLiteral("abc"));
    EXPECT_FALSE(PasteGuard::hasPasteableData(nullptr));
    EXPECT_FALSE(PasteGuard::hasPasteableData(&empty));
    EXPECT_TRUE(PasteGuard::hasPasteableData(&objects));
    EXPECT_TRUE(PasteGuard::hasPasteableData(&text));
}

// Without the guard, Qt's text views crash on the paste key when the clipboard holds data with
// no format, as an X clipboard does once its owner has gone.
TEST_P(PasteGuardKeys, PasteKeyWithAnEmptyClipboardDoesNothing)
{
    std::unique_ptr<QWidget> field(GetParam().make());
    ScopedClipboard clipboard(new QMimeData);
    field->show();
    field->setFocus();
    QTest::keyClicks(field.get(), QStringLiteral("kept"));
    QTest::keyClick(field.get(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(field.get(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(GetParam().text(field.get()), QStringLiteral("kept"));
}

TEST_P(PasteGuardKeys, PasteKeyWithTextStillPastes)
{
    std::unique_ptr<QWidget> field(GetParam().make());
    ScopedClipboard clipboard(textData(QStringLiteral("pasted")));
    field->show();
    field->setFocus();
    QTest::keyClick(field.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(GetParam().text(field.get()), QStringLiteral("pasted"));
}

TEST_P(PasteGuardKeys, ReadOnlyViewsAndOtherKeysPassThrough)
{
    std::unique_ptr<QWidget> field(GetParam().make());
    ScopedClipboard clipboard(new QMimeData);
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_V, Qt::NoModifier, QStringLiteral("v"));
    EXPECT_TRUE(m_guard.eventFilter(field.get(), &paste));
    EXPECT_FALSE(m_guard.eventFilter(field.get(), &letter));
    field->setProperty("readOnly", true);
    EXPECT_FALSE(m_guard.eventFilter(field.get(), &paste));
}

INSTANTIATE_TEST_SUITE_P(Fields, PasteGuardKeys, testing::ValuesIn(kFields),
                         [](const testing::TestParamInfo<Field> &info) {
                             return std::string(info.param.name);
                         });
