#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationCompiler.h"

#include "CompiledNotations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(QntNotationCompilerTest, EveryShippedSourceCompiles)
{
    QTemporaryDir out;
    const auto written = QntNotationCompiler::compileAll(notationSourceFolder(), out.path());
    ASSERT_TRUE(written.ok()) << written.errorMessage().toStdString();
    const QStringList expected{QStringLiteral("Misc/CustomizableStyle.db"),
                               QStringLiteral("FlowChart/FlowChart.db"),
                               QStringLiteral("UML/UMLClass.db"),
                               QStringLiteral("UML/UMLUseCase.db"),
                               QStringLiteral("UML/UMLSequence.db"),
                               QStringLiteral("Network/Network.db"),
                               QStringLiteral("Misc/ExtraCisco.db"),
                               QStringLiteral("Misc/ExtraPeople.db"),
                               QStringLiteral("Office/Office.db"),
                               QStringLiteral("Misc/Misc.db"),
                               QStringLiteral("Misc/BuiltinLibraries.db"),
                               QStringLiteral("CommandDriven/CommandDriven.db")};
    for (const QString &file : expected) {
        const QString path = out.filePath(file);
        ASSERT_TRUE(QFile::exists(path)) << file.toStdString();
        QntNotation notation(path);
        ASSERT_TRUE(notation.isValid()) << notation.errorMessage().toStdString();
        EXPECT_FALSE(notation.colorSchemesList().isEmpty()) << file.toStdString();
        EXPECT_TRUE(notation.existElementWithId(QStringLiteral("e100TABLE"))) << file.toStdString();
        EXPECT_TRUE(notation.existElementWithId(QStringLiteral("e52"))) << file.toStdString();
        EXPECT_EQ(notation.connectorsList(2).value(0).connectorId,
                  QStringLiteral("VRStyledConnector"));
        EXPECT_FALSE(notation.defaultConnectorId().isEmpty());
    }
    EXPECT_EQ(QntNotation(out.filePath(QStringLiteral("UML/UMLSequence.db"))).notationName(),
              QStringLiteral("UML Sequence Diagram"));
    EXPECT_EQ(
        QntNotation(out.filePath(QStringLiteral("CommandDriven/CommandDriven.db"))).notationName(),
        QStringLiteral("Command Driven Style"));
    EXPECT_TRUE(
        QntNotation(out.filePath(QStringLiteral("Misc/CustomizableStyle.db"))).isCustomizable());
    EXPECT_FALSE(
        QntNotation(out.filePath(QStringLiteral("FlowChart/FlowChart.db"))).isCustomizable());
}

TEST(QntNotationCompilerTest, BrokenSourcesAreRefusedWithTheirPlace)
{
    QTemporaryDir src;
    QTemporaryDir out;
    ASSERT_TRUE(QDir().mkpath(src.filePath(QStringLiteral("lib"))));
    for (const char *name : {"shapes.json", "schemes.json", "common.json"})
        ASSERT_TRUE(
            QFile::copy(notationSourceFolder() + QStringLiteral("/lib/") + QLatin1String(name),
                        src.filePath(QStringLiteral("lib/") + QLatin1String(name))));
    struct Case {
        const char *json;
        const char *expected;
    };
    const Case cases[] = {
        {"{", "not a JSON object"},
        {R"({"file":"A/A.db","name":"A","prefix":"a","schemes":["Nope"]})",
         "unknown colour scheme"},
        {R"({"file":"A/A.db","name":"A","prefix":"a","schemes":["Ocean"],
             "elements":[{"id":"{P}X","shape":"nope"}]})",
         "unknown shape"},
        {R"({"file":"A/A.db","name":"A","prefix":"a","schemes":["Ocean"],
             "elements":[{"id":"{P}X","parts":[{"id":"body","d":"M0 0H1V1Z"}]}]})",
         "must be contour"},
        {R"({"file":"A/A.db","name":"A","prefix":"a","schemes":["Ocean"],
             "elements":[{"id":"{P}X","parts":[{"id":"contour","d":"M0 0 Q"}]}]})",
         "path data"},
        {R"({"file":"A/A.db","name":"A","prefix":"a","schemes":["Ocean"],
             "elements":[{"id":"{P}X","shape":"rect","fill":9}]})",
         "colour the schemes do not have"},
        {R"({"file":"../A.db","name":"A","prefix":"a","schemes":["Ocean"]})", "needs \"file\""},
    };
    for (const Case &c : cases) {
        QFile f(src.filePath(QStringLiteral("a.json")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.json);
        f.close();
        const auto written = QntNotationCompiler::compileAll(src.path(), out.path());
        EXPECT_FALSE(written.ok()) << c.json;
        const QString error = written.errorMessage();
        EXPECT_TRUE(error.contains(QLatin1String(c.expected))) << error.toStdString();
        EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("A/A.db"))));
    }
}

} // namespace
