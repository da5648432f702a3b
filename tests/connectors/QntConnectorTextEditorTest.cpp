#include "connectors/QntConnectorTextEditor.h"

#include "connectors/QntConnectorModeInspector.h"

#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntTextFieldCell.h"

#include "library/PaletteTestSupport.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntContextTextEditorView.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "common/SharedStateKeepers.h"

#include <QComboBox>
#include <QLabel>
#include <QCoreApplication>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Harness {
    Harness()
        : palette(QStringLiteral("FlowChart/FlowChart.db"))
    {
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector = std::make_unique<QntConnectorModeInspector>(
            QStringLiteral("QntConnectorModeInspector"));
        for (QPointF at : {QPointF(100, 200), QPointF(500, 200)})
            elements.push_back(palette.placeShape(at));
        connector = std::make_shared<QntConnector>();
        palette.layer()->addObject(connector);
        elements.at(0)->connectToTargetElement(elements.at(1).get(), connector);
        connector->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("yes")));
        palette.layer()->replaceSelectionWithObject(connector);
        palette.drawing()->undoManager()->closeOpenGroups();
    }
    ~Harness()
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        flushEvents();
    }
    // Opened as "t" or a double-click on the connector opens it.
    QntConnectorTextEditor *open()
    {
        NotificationCenter::defaultCenter().post(
            kQntShowTextEditorNotification, palette.view.get(),
            {{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(connector))}});
        bar = inspector->connectorTextEditor();
        return bar;
    }
    static void typeIn(QntTextFieldCell *field, const QString &text)
    {
        field->setText(text);
        emit field->returnPressed();
    }
    void chooseMode(int mode)
    {
        bar->textLayoutMode()->setCurrentIndex(bar->textLayoutMode()->findData(mode));
        bar->textLayoutModeAction();
    }

    // First, so it ends last: the bar saves its text settings as the user's when it closes.
    qnt::test::UserDefaultsKeeper defaults;
    PaletteHarness palette;
    std::unique_ptr<QntConnectorModeInspector> inspector;
    std::vector<std::shared_ptr<QntElement>> elements;
    std::shared_ptr<QntConnector> connector;
    QntConnectorTextEditor *bar = nullptr;
};

} // namespace

TEST(QntConnectorTextEditorTest, TwentyFiveInModeOneSitsThreeQuartersAlong)
{
    Harness h;
    QntConnectorTextEditor *bar = h.open();
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->attachedWindow(), nullptr);
    EXPECT_EQ(bar->textXOffsetLeftLabel()->text(), QStringLiteral("Start"));
    Harness::typeIn(bar->textXOffsetTextbox(), QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(bar->textXOffset()->doubleValue(), 0.25);
    EXPECT_DOUBLE_EQ(h.connector->textXOffset(), 0.25);
    // Three quarters of the way from the start, on the connector itself.
    const QPainterPath path = h.connector->renderingPath();
    const QPointF expected = path.pointAtPercent(path.percentAtLength(path.length() * 0.75));
    const QPointF at = h.connector->labelPosition();
    EXPECT_NEAR(at.x(), expected.x(), 1.0);
    EXPECT_NEAR(std::abs(at.y() - expected.y()), std::abs(h.connector->textYOffset()), 1.0);
    bar->okAction();
    EXPECT_DOUBLE_EQ(h.connector->textXOffset(), 0.25);
    EXPECT_EQ(h.connector->textContent().toPlainText(), QStringLiteral("yes"));
}

TEST(QntConnectorTextEditorTest, OpeningTheBarMovesNothing)
{
    Harness h;
    UserDefaults::standardUserDefaults().setObject(0.3, QntConnectorTextXOffset);
    UserDefaults::standardUserDefaults().setObject(12.0, QntConnectorTextYOffset);
    const double x = h.connector->textXOffset();
    const double y = h.connector->textYOffset();
    const auto steps = h.palette.drawing()->undoManager()->undoStack().size();
    QntConnectorTextEditor *bar = h.open();
    h.palette.drawing()->undoManager()->closeOpenGroups();
    EXPECT_DOUBLE_EQ(h.connector->textXOffset(), x);
    EXPECT_DOUBLE_EQ(h.connector->textYOffset(), y);
    EXPECT_EQ(h.palette.drawing()->undoManager()->undoStack().size(), steps);
    bar->cancelAction();
}

TEST(QntConnectorTextEditorTest, ModeChangesRepositionTheSlidersWhenSaving)
{
    Harness h;
    UserDefaults::standardUserDefaults().setBool(true, QntContextTextEditorSaveTextProperties);
    h.connector->setLayoutMode(QntConnectorTextEditor::kAlongMirroredMode);
    h.connector->setTextReferencePointRelative(0.3);
    QntConnectorTextEditor *bar = h.open();
    h.chooseMode(QntConnectorTextEditor::kAlongMode);
    EXPECT_NEAR(bar->textXOffset()->doubleValue(), 0.2, 1e-9);
    EXPECT_EQ(bar->textXOffsetTextbox()->text(), QStringLiteral("20"));
    EXPECT_EQ(
        UserDefaults::standardUserDefaults().integerForKey(QntConnectorTextEditorTextPosition),
        QntConnectorTextEditor::kAlongMode);
    h.chooseMode(QntConnectorTextEditor::kAtPointMode);
    EXPECT_DOUBLE_EQ(bar->textXOffset()->doubleValue(), 30.0);
    EXPECT_DOUBLE_EQ(bar->textYOffset()->doubleValue(), 30.0);
    EXPECT_EQ(h.connector->offsetForPointForTextLayout(), QSizeF(30, 30));
    EXPECT_EQ(bar->textXOffsetLeftLabel()->text(), QStringLiteral("To the left"));
    bar->cancelAction();
    // Cancel takes the whole session back.
    EXPECT_EQ(h.connector->layoutMode(), QntConnectorTextEditor::kAlongMirroredMode);
}

TEST(QntConnectorTextEditorTest, CancelDiscardsTheLabelText)
{
    Harness h;
    QntConnectorTextEditor *bar = h.open();
    QTextEdit *text = bar->editorView()->textEditingView();
    text->selectAll();
    text->insertPlainText(QStringLiteral("no"));
    EXPECT_EQ(h.connector->textContent().toPlainText(), QStringLiteral("no"));
    bar->cancelAction();
    EXPECT_EQ(h.connector->textContent().toPlainText(), QStringLiteral("yes"));
}

TEST(QntConnectorTextEditorTest, TheColumnHasATextEditorButtonThatOpensTheBar)
{
    Harness h;
    NotificationCenter::defaultCenter().post(
        kQntConnectorRightMouseUpNotification, h.connector.get(),
        {{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(h.connector))}});
    const QList<QntButtonMatrix::Cell> cells = h.inspector->toolMatrix()->cells();
    int row = -1;
    for (int i = 0; i < cells.size(); ++i)
        if (cells.at(i).title == QStringLiteral("Text Editor"))
            row = i;
    ASSERT_GE(row, 0);
    h.inspector->toolMatrix()->performClickOnRow(row);
    ASSERT_NE(h.inspector->connectorTextEditor(), nullptr);
    EXPECT_NE(h.inspector->connectorTextEditor()->attachedWindow(), nullptr);
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
    EXPECT_FALSE(h.inspector->canShowAttachedWindow());
    h.inspector->closeAttachedWindows();
    EXPECT_TRUE(h.inspector->canShowAttachedWindow());
}
