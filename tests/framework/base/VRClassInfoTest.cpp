#include "framework/base/VRClassInfo.h"

#include "framework/model/QntElement.h"
#include "framework/styles/VRRasterizer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

// Every class the framework's sources define is on the allow-list, whether or not anything in
// the program refers to it: a file may name any of them.
TEST(VRClassInfo, EveryFrameworkClassIsFoundByName)
{
    const QString framework = QDir::cleanPath(QStringLiteral(QNT_TEST_DATA_DIR "/../../framework"));
    const QRegularExpression definition(
        QStringLiteral(
            R"(^VR_(?:CLASS_IMPL|ABSTRACT_CLASS_IMPL|ROOT_CLASS_IMPL|CLASS_IMPL_WITH)\(\s*(\w+))"),
        QRegularExpression::MultilineOption);
    QStringList defined;
    QDirIterator it(framework, {QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = definition.globalMatch(text); match.hasNext();)
            defined << match.next().captured(1);
    }
    ASSERT_GT(defined.size(), 50);
    for (const QString &name : std::as_const(defined)) {
        const VRClassInfo *info = VRClassInfo::byName(name);
        ASSERT_NE(info, nullptr) << name.toStdString();
        EXPECT_EQ(info->className(), name);
    }
    defined.sort();
    EXPECT_EQ(VRClassInfo::registeredClassNames(), defined);
}

TEST(VRClassInfo, NamesOutsideTheFrameworkAreRefused)
{
    for (const char16_t *name : {u"QProcess", u"", u"vrstyle", u"VRStyle "})
        EXPECT_EQ(VRClassInfo::byName(name), nullptr);
    EXPECT_EQ(VRClassInfo::byName(u"QntElement"), &QntElement::staticClass());
    EXPECT_TRUE(VRClassInfo::byName(u"VRRoughStroke")->isSubclassOf(VRRasterizer::staticClass()));
}
