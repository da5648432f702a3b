#include "style/QntColorSchemeEditor.h"

#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/FMDatabase.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/notations/QntNotation.h"
#include "style/QntFlippedView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A private copy of a shipped notation database with 4 schemes and 5 Fill colours.
class ColorSchemeEditor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_path = m_folder.filePath("Editor.db");
        ASSERT_TRUE(QFile::copy(
            QntNotation::bundleNotationsFolderPath() + "/CommandDriven/CommandDriven.db", m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        m_editor.setConfirmation([](const QString &) { return true; });
        m_editor.setAlert([this](const QString &text) { alerts << text; });
        ASSERT_TRUE(m_editor.openNotationAtPath(m_path));
    }
    QString hexAt(const QString &type, int row, int column) const
    {
        return m_editor.cell(type, row, column)->toolTip();
    }

    QTemporaryDir m_folder;
    QString m_path;
    QntColorSchemeEditor m_editor;
    QStringList alerts;
};

TEST_F(ColorSchemeEditor, ThreeSchemesOfFourFillColoursMakeA284By181Matrix)
{
    EXPECT_EQ(m_editor.columnCount("Fill"), 5); // comments + 4 schemes
    EXPECT_EQ(m_editor.rowCount("Fill"), 6);    // header + 5 colours
    // Remove the last scheme and the last Fill colour through their editors.
    m_editor.schemeMatrixAction(m_editor.cell("Fill", 0, 4));
    m_editor.removeSchemeAction();
    m_editor.schemeItemMatrixAction(m_editor.cell("Fill", 5, 0));
    m_editor.removeSchemeItemAction();
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join(' ').toStdString();
    ASSERT_TRUE(m_editor.matrix("Fill"));
    EXPECT_EQ(m_editor.matrix("Fill")->size(), QSize(284, 181));
    // Its rows start at the top of a flipped host.
    EXPECT_EQ(m_editor.matrix("Fill")->pos(), QPoint(0, 0));
    auto *host = qobject_cast<QntFlippedView *>(m_editor.matrix("Fill")->parentWidget());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->size(), QSize(284, 181));
    EXPECT_EQ(m_editor.colorSchemes().size(), 3);
    EXPECT_EQ(m_editor.colorSchemesTableView()->count(), 3);
}

TEST_F(ColorSchemeEditor, AnAppliedColourIsKeptInTheDatabaseAndAColourTwiceInASchemeIsRefused)
{
    const QString used = hexAt("Fill", 1, 1);
    m_editor.colorMatrixAction(m_editor.cell("Fill", 3, 1));
    ASSERT_TRUE(m_editor.attachedEditorWindow());
    m_editor.colorHexTextField()->setText(used);
    m_editor.applyColorAction();
    EXPECT_EQ(m_editor.status(), "Color exists");

    m_editor.colorHexTextField()->setText("#FF8800");
    m_editor.applyColorAction();
    EXPECT_EQ(m_editor.status(), "Updated");
    EXPECT_FALSE(m_editor.attachedEditorWindow());
    // Picked again: read from the database.
    ASSERT_TRUE(m_editor.openNotationAtPath(m_path));
    EXPECT_EQ(hexAt("Fill", 3, 1), "#FF8800");
    EXPECT_TRUE(alerts.isEmpty());

    // The schemes in a new order: the first dropped onto the third row.
    const QString first = m_editor.colorSchemesTableView()->item(0)->text();
    const QString second = m_editor.colorSchemesTableView()->item(1)->text();
    m_editor.moveScheme(0, 2);
    m_editor.rebuild();
    EXPECT_EQ(m_editor.colorSchemesTableView()->item(0)->text(), second);
    EXPECT_EQ(m_editor.colorSchemesTableView()->item(2)->text(), first);
}

TEST_F(ColorSchemeEditor, ADatabaseThatCannotBeWrittenIsReportedAndLeftWhole)
{
    const QString before = hexAt("Fill", 2, 2);
    // Another program holds the database for writing.
    FMDatabase other(m_path);
    ASSERT_TRUE(other.open());
    ASSERT_TRUE(other.executeStatements("BEGIN EXCLUSIVE"));
    m_editor.colorMatrixAction(m_editor.cell("Fill", 2, 2));
    m_editor.colorHexTextField()->setText("#123456");
    m_editor.applyColorAction();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith("The notation database was not changed"));
    EXPECT_NE(m_editor.status(), "Updated");
    EXPECT_TRUE(m_editor.attachedEditorWindow()); // the editor stays open for another try
    ASSERT_TRUE(other.executeStatements("ROLLBACK"));
    ASSERT_TRUE(m_editor.openNotationAtPath(m_path));
    EXPECT_EQ(hexAt("Fill", 2, 2), before);

    // The export beside the database; a place that cannot take the file is reported.
    m_editor.exportAction();
    EXPECT_TRUE(QFile::exists(m_folder.filePath("nColorSchemeInfo.xml")));
    EXPECT_EQ(alerts.size(), 1);
    ASSERT_TRUE(QFile::remove(m_folder.filePath("nColorSchemeInfo.xml")));
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("nColorSchemeInfo.xml"));
    m_editor.exportAction();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts.last().startsWith("The colour schemes could not be exported"));
}

TEST_F(ColorSchemeEditor, ThePreviewShowsEachTestShapeInEverySchemeRowByRow)
{
    VRDrawing *drawing = m_editor.previewDrawing();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const int schemes = int(m_editor.notation()->colorSchemesList().size());
    const QList<QntElementRecord> shapes = m_editor.notation()->shapeElementsList();
    ASSERT_GE(shapes.size(), 2);
    m_editor.numberTestShapesPopupButton()->setCurrentText("2");
    EXPECT_EQ(int(layer->objects().size()), 2 * schemes);
    // Five asked of a list of three: three rows, the last one 200 below the first.
    const QList<QntElementRecord> three = shapes.mid(0, 3);
    const QPointF end = m_editor.put(5, three, QPointF(100, 1000), false);
    EXPECT_DOUBLE_EQ(end.y(), 1000 + 100.0 * (int(three.size()) - 1));
    EXPECT_EQ(m_editor.put(0, three, QPointF(7, 9), false), QPointF(7, 9));
    EXPECT_EQ(drawing->undoManager()->canUndo(), false);
    m_editor.shapesCheckbox()->setChecked(false);
    EXPECT_TRUE(layer->objects().empty());
}

} // namespace
