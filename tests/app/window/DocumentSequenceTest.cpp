#include "app/window/DIDizeZoziDocument.h"

#include "app/TestDocumentController.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "app/window/OXOverlayController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/undo/VRUndoManager.h"
#include "library/QntSeqOutlineView.h"
#include "platform/UserDefaults.h"
#include "style/VKStyleInspector.h"
#include "common/PopUpChoice.h"
#include "common/SharedStateKeepers.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

QntDocumentController &controller()
{
    return testDocumentController();
}

class DocumentSequence : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the settings the test's windows save go back after them.
    qnt::test::UserDefaultsKeeper m_defaults;
    void SetUp() override
    {
        static bool copied = false;
        if (!copied) {
            ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
            copied = true;
        }
        controller();
    }
    void TearDown() override
    {
        for (Document *document : controller().documents()) {
            controller().removeDocument(document);
            delete document;
        }
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.removeObjectForKey(QntSeqFontNameKey);
        defaults.removeObjectForKey(QntSeqFontSizeKey);
        defaults.removeObjectForKey("QntLastNotationItem");
    }

    DIDizeZoziDocument *sequenceDocument()
    {
        controller().newDocument();
        QntStartUpController *startUp = QntDocumentController::startUpController();
        if (!startUp || !startUp->selectGroupNamed("UML"))
            return nullptr;
        startUp->outlineViewAction();
        if (!startUp->selectNotationNamed("UML Sequence Diagram"))
            return nullptr;
        startUp->okAction();
        return qobject_cast<DIDizeZoziDocument *>(controller().documents().last());
    }

    // Two timelines, a call from the first to the second and the response back.
    static void callAndResponse(DIDizeZoziDocument &document)
    {
        QntSequenceDiagramController &c = *document.sequenceDiagramController();
        c.addTimeline();
        c.addTimeline();
        c.setTimelineTitle(3, "Client");
        c.setTimelineTitle(4, "Server");
        c.outlineView()->clearSelection();
        c.addMessage();
        c.outlineView()->clearSelection();
        c.addResponse();
        QntSeqTreeNode &call = *c.rootNode()->childNodes()[0];
        QntSeqTreeNode &reply = *c.rootNode()->childNodes()[1];
        c.setText(call, "ask()");
        c.setText(reply, "answer");
        const QStringList t = c.timelineIdentifiersOrdered();
        c.setRole(call, t[0], SimpleNodeData::Source);
        c.setRole(call, t[1], SimpleNodeData::Target);
        c.setRole(reply, t[1], SimpleNodeData::Source);
        c.setRole(reply, t[0], SimpleNodeData::Target);
        document.undoManager()->closeOpenGroups();
    }

    static VRObjectDrawingLayer *layer(DIDizeZoziDocument &document)
    {
        return document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    static std::shared_ptr<QntConnector> tagged(DIDizeZoziDocument &document, const QString &key,
                                                const QString &id)
    {
        for (const VRObjectRef &o : layer(document)->objects())
            if (o->stringForKey(key) == id)
                return std::dynamic_pointer_cast<QntConnector>(o);
        return nullptr;
    }
    static QString idOf(DIDizeZoziDocument &document, int row)
    {
        return document.sequenceDiagramController()
            ->rootNode()
            ->childNodes()[row]
            ->representedObject()
            ->ID();
    }
    static void build(DIDizeZoziDocument &document)
    {
        document.sequenceDiagramController()
            ->outlineView()
            ->window()
            ->findChild<QPushButton *>("buildSequenceButton")
            ->click();
        document.undoManager()->closeOpenGroups();
    }
};

} // namespace

TEST_F(DocumentSequence, BuildsLifelinesACallAndADashedResponse)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    // A drawing of the user's own stays through every build.
    auto own = VRDrawableShape::shapeWithRect(QRectF(600, 600, 40, 40));
    layer(*document)->addObject(own);
    build(*document);

    const QStringList timelines =
        document->sequenceDiagramController()->timelineIdentifiersOrdered();
    for (const QString &t : timelines)
        EXPECT_NE(tagged(*document, "SEQUENCE_DIAGRAM_TIMELINE_ID", t), nullptr);
    auto call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", idOf(*document, 0));
    auto reply = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", idOf(*document, 1));
    ASSERT_NE(call, nullptr);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(call->label().plainText(), "ask()");
    const auto *replyStroke = dynamic_cast<VRArrowStroke *>(reply->style()->stroke());
    ASSERT_NE(replyStroke, nullptr);
    EXPECT_NE(replyStroke->dash(), nullptr);
    EXPECT_EQ(replyStroke->arrowHeadAtEnd(), 11);
    EXPECT_EQ(document->undoManager()->undoActionName(), "Sequence Layout");

    const int count = int(layer(*document)->objects().size());
    build(*document);
    EXPECT_EQ(int(layer(*document)->objects().size()), count);
    EXPECT_TRUE(layer(*document)->objects().contains(own));
    EXPECT_NE(tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", idOf(*document, 0)), call);
    // Undo brings the first build's objects back in one step.
    document->undoManager()->undo();
    EXPECT_EQ(int(layer(*document)->objects().size()), count);
    EXPECT_EQ(tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", idOf(*document, 0)), call);
}

TEST_F(DocumentSequence, RestyledMessagesKeepTheirLookUntilTheirKindOrRolesChange)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    build(*document);
    const QString id = idOf(*document, 0);
    auto call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    ASSERT_NE(call, nullptr);
    call->style()->setStrokeColour(Qt::red);
    call->setTextXOffset(0.3);
    auto line = tagged(*document, "SEQUENCE_DIAGRAM_TIMELINE_ID",
                       document->sequenceDiagramController()->timelineIdentifiersOrdered()[0]);
    line->style()->setStrokeColour(Qt::blue);
    build(*document);
    call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    EXPECT_EQ(call->style()->strokeColour(), QColor(Qt::red));
    EXPECT_EQ(call->textXOffset(), 0.3);
    line = tagged(*document, "SEQUENCE_DIAGRAM_TIMELINE_ID",
                  document->sequenceDiagramController()->timelineIdentifiersOrdered()[0]);
    EXPECT_EQ(line->style()->strokeColour(), QColor(Qt::blue));

    // A new source: the line keeps its look, the label its default place, once.
    QntSequenceDiagramController &c = *document->sequenceDiagramController();
    QntSeqTreeNode &node = *c.rootNode()->childNodes()[0];
    const QStringList t = c.timelineIdentifiersOrdered();
    c.setRole(node, t[1], SimpleNodeData::Source);
    c.setRole(node, t[0], SimpleNodeData::Target);
    build(*document);
    call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    EXPECT_EQ(call->style()->strokeColour(), QColor(Qt::red));
    EXPECT_EQ(call->textXOffset(), 0.0);
    call->setTextXOffset(-0.2);
    build(*document);
    EXPECT_EQ(tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id)->textXOffset(), -0.2);

    // A new kind: everything starts from the defaults.
    c.setKind(node, SimpleNodeData::Response);
    build(*document);
    call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    EXPECT_NE(call->style()->strokeColour(), QColor(Qt::red));
    EXPECT_EQ(call->textXOffset(), 0.0);
}

TEST_F(DocumentSequence, ASkinnedMessageKeepsItsBodyArrowheadAndDashThroughRebuildsAndFiles)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    build(*document);
    const QString id = idOf(*document, 0);
    auto call = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    ASSERT_NE(call, nullptr);
    // What the connector inspector does when a dash is chosen for a notation's connector.
    VRStyleRef dashed = call->shaftStyle()->copy();
    dashed->stroke()->setDash(VRStrokeDash::create({12, 4, 4, 4}));
    call->addSkin({{"bodyID", "usqMessage"},
                   {"endArrowheadId", "usqHeadFilled"},
                   {"shaftStyle", QVariant::fromValue(dashed)}});
    ASSERT_NE(call->endEndPoint()->arrow(), nullptr);
    const QRectF head = call->endEndPoint()->arrow()->bounds();

    const auto expectSkinned = [&id](DIDizeZoziDocument &d) {
        auto rebuilt = tagged(d, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
        ASSERT_NE(rebuilt, nullptr);
        EXPECT_EQ(rebuilt->skinOptions().value("bodyID").toString(), "usqMessage");
        EXPECT_EQ(rebuilt->skinOptions().value("endArrowheadId").toString(), "usqHeadFilled");
        const VRDashRef dash = rebuilt->shaftStyle()->stroke()->dash();
        ASSERT_NE(dash, nullptr);
        EXPECT_EQ(dash->dashPattern(), QList<double>({12, 4, 4, 4}));
        EXPECT_NE(rebuilt->endEndPoint()->arrow(), nullptr);
    };
    build(*document);
    auto rebuilt = tagged(*document, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id);
    expectSkinned(*document);
    // The arrowhead is made from the notation, as drawn before the rebuild.
    EXPECT_EQ(rebuilt->endEndPoint()->arrow()->bounds().size(), head.size());
    // The old connector, kept by undo, does not share the new one's shaft style.
    EXPECT_NE(rebuilt->shaftStyle(), dashed);

    QTemporaryDir dir;
    const QString path = dir.filePath("Skinned.quintora");
    ASSERT_TRUE(document->saveToPath(path));
    controller().removeDocument(document);
    delete document;
    QString error;
    auto *reopened = qobject_cast<DIDizeZoziDocument *>(
        controller().openDocumentWithContentsOfURL(path, true, &error));
    ASSERT_NE(reopened, nullptr) << error.toStdString();
    build(*reopened);
    expectSkinned(*reopened);

    // A new kind starts from the defaults: no skin.
    QntSequenceDiagramController &c = *reopened->sequenceDiagramController();
    c.setKind(*c.rootNode()->childNodes()[0], SimpleNodeData::Response);
    build(*reopened);
    EXPECT_TRUE(tagged(*reopened, "SEQUENCE_DIAGRAM_CONNECTOR_ID", id)->skinOptions().isEmpty());
}

TEST_F(DocumentSequence, RestyledHeadersAndFramesKeepTheirLookThroughRebuildsAndFiles)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    // An option around one more call.
    QntSequenceDiagramController &c = *document->sequenceDiagramController();
    c.outlineView()->clearSelection();
    c.addOptionContainer();
    QntSeqTreeNode *option = c.rootNode()->childNodes()[2].get();
    QItemSelectionModel *rows = c.outlineView()->selectionModel();
    rows->select(c.indexForNode(option), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    c.addMessage();
    QntSeqTreeNode &inner = *option->childNodes()[0];
    const QStringList t = c.timelineIdentifiersOrdered();
    c.setRole(inner, t[0], SimpleNodeData::Source);
    c.setRole(inner, t[1], SimpleNodeData::Target);
    document->undoManager()->closeOpenGroups();
    build(*document);

    const auto element = [](DIDizeZoziDocument &d, const QString &id) {
        for (const VRObjectRef &o : layer(d)->objects())
            if (o->stringForKey("SEQUENCE_DIAGRAM_ELEMENT_ID") == id)
                return std::dynamic_pointer_cast<QntElement>(o);
        return std::shared_ptr<QntElement>();
    };
    const QString first = t[0] + "-TIMELINE_HEADER", second = t[1] + "-TIMELINE_HEADER";
    const QString frameId = option->representedObject()->ID();
    auto header = element(*document, first);
    ASSERT_NE(header, nullptr);
    // The Style section shows a selected header's look, which is its contour's style.
    layer(*document)->exchangeSelectionWithObjectsFromArray({header});
    QApplication::processEvents();
    VKStyleInspector *styles = document->styleInspector();
    ASSERT_NE(styles, nullptr);
    ASSERT_NE(styles->style(), nullptr);
    EXPECT_EQ(styles->style(), header->contourObject()->style());
    styles->style()->setFillColour(Qt::red);
    // A copy of the look made for the second header only.
    layer(*document)->exchangeSelectionWithObjectsFromArray({element(*document, second)});
    QApplication::processEvents();
    styles->cloneStyleAction();
    ASSERT_NE(element(*document, second)->editableStyle(), nullptr);
    element(*document, second)->editableStyle()->setFillColour(Qt::green);
    EXPECT_EQ(header->editableStyle()->fillColour(), QColor(Qt::red));
    auto frame = element(*document, frameId);
    ASSERT_NE(frame, nullptr);
    frame->editableStyle()->setStrokeColour(Qt::blue);

    const auto expectLooks = [&](DIDizeZoziDocument &d) {
        ASSERT_NE(element(d, first), nullptr);
        ASSERT_NE(element(d, second), nullptr);
        ASSERT_NE(element(d, frameId), nullptr);
        EXPECT_EQ(element(d, first)->editableStyle()->fillColour(), QColor(Qt::red));
        EXPECT_EQ(element(d, second)->editableStyle()->fillColour(), QColor(Qt::green));
        EXPECT_EQ(element(d, frameId)->editableStyle()->strokeColour(), QColor(Qt::blue));
    };
    build(*document);
    expectLooks(*document);

    QTemporaryDir dir;
    const QString path = dir.filePath("Restyled.quintora");
    ASSERT_TRUE(document->saveToPath(path));
    controller().removeDocument(document);
    delete document;
    QString error;
    auto *reopened = qobject_cast<DIDizeZoziDocument *>(
        controller().openDocumentWithContentsOfURL(path, true, &error));
    ASSERT_NE(reopened, nullptr) << error.toStdString();
    expectLooks(*reopened);
    build(*reopened);
    expectLooks(*reopened);
    // A look changed in place after reopening is the one the next build keeps.
    element(*reopened, first)->editableStyle()->setFillColour(Qt::yellow);
    build(*reopened);
    EXPECT_EQ(element(*reopened, first)->editableStyle()->fillColour(), QColor(Qt::yellow));
}

TEST_F(DocumentSequence, DeleteInTheOutlineRemovesEntitiesNotDrawingObjects)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    build(*document);
    const int objects = int(layer(*document)->objects().size());
    layer(*document)->selectAll();
    QntSequenceDiagramController &c = *document->sequenceDiagramController();
    QntSeqOutlineView *outline = c.outlineView();
    document->window()->show();
    QApplication::setActiveWindow(document->window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(document->window()));
    outline->setFocus();
    outline->selectionModel()->select(c.indexForNode(c.rootNode()->childNodes()[0].get()),
                                      QItemSelectionModel::ClearAndSelect
                                          | QItemSelectionModel::Rows);
    QTest::keyClick(outline, Qt::Key_Delete);
    EXPECT_EQ(c.rowCount(), 1);
    EXPECT_EQ(int(layer(*document)->objects().size()), objects);
    document->undoManager()->closeOpenGroups();
    document->undoManager()->undo();
    EXPECT_EQ(c.rowCount(), 2);
}

TEST_F(DocumentSequence, AnOutlineThatCannotBuildKeepsTheDrawingAndItsLooks)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    document->drawing()->sequenceStyleDic().insert("kept", "look");
    document->sequenceDiagramController()->addMessage();
    build(*document);
    EXPECT_TRUE(layer(*document)->objects().isEmpty());
    EXPECT_TRUE(document->drawing()->sequenceStyleDic().contains("kept"));
    EXPECT_TRUE(document->overlayController()->isOverlay());
}

TEST_F(DocumentSequence, TheOutlineComesBackWithTheDrawing)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    callAndResponse(*document);
    QntSequenceDiagramController &c = *document->sequenceDiagramController();
    const QVariantMap outline = c.sequenceDictionary();
    QTemporaryDir dir;
    const QString path = dir.filePath("Sequence.quintora");
    // Saved without a build: the outline is in the drawing all the same.
    ASSERT_TRUE(document->saveToPath(path));
    controller().removeDocument(document);
    delete document;

    QString error;
    auto *reopened = qobject_cast<DIDizeZoziDocument *>(
        controller().openDocumentWithContentsOfURL(path, true, &error));
    ASSERT_NE(reopened, nullptr) << error.toStdString();
    QntSequenceDiagramController &again = *reopened->sequenceDiagramController();
    EXPECT_EQ(again.sequenceDictionary(), outline);
    EXPECT_EQ(again.timelineTitle(3), "Client");
    EXPECT_EQ(again.timelineTitle(4), "Server");
    EXPECT_EQ(again.rowCount(), 2);
}

TEST_F(DocumentSequence, SizeButtonPopsTheSizesUpOverItselfAndWaitsForTheChoice)
{
    DIDizeZoziDocument *document = sequenceDocument();
    ASSERT_NE(document, nullptr);
    QMenu *sizes = document->fontSizeMenu();
    {
        qnt::test::PopUpChoice choice(QStringLiteral("24"));
        document->fontSizeMenuButton()->click();
        ASSERT_TRUE(choice.opened());
        EXPECT_NE(choice.menu(), sizes);
        EXPECT_EQ(choice.title(), sizes->title());
        EXPECT_EQ(choice.actions(), sizes->actions());
        EXPECT_FALSE(choice.anyActive());
        EXPECT_EQ(document->fontSizeTextField()->text(), "24");
    }
    // Dismissing the sizes leaves the field as it was.
    qnt::test::PopUpChoice dismissed(QStringLiteral("no such size"));
    document->fontSizeMenuButton()->click();
    EXPECT_TRUE(dismissed.opened());
    EXPECT_EQ(document->fontSizeTextField()->text(), "24");
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(QntSeqFontSizeKey), 14);
}

TEST_F(DocumentSequence, FontChoicesGoToTheDefaultsAndMenuSizesStayInTheirWindow)
{
    DIDizeZoziDocument *first = sequenceDocument();
    DIDizeZoziDocument *second = sequenceDocument();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(first->fontName(), "Helvetica");
    EXPECT_EQ(first->fontSize(), 14);

    first->fontFamilyAction("DejaVu Serif");
    EXPECT_EQ(defaults.stringForKey(QntSeqFontNameKey), "DejaVu Serif");
    EXPECT_EQ(first->fontName(), "DejaVu Serif");

    QAction *size = first->fontSizeMenu()->actions().at(3);
    size->trigger();
    EXPECT_EQ(first->fontSizeTextField()->text(), size->text());
    EXPECT_EQ(second->fontSizeTextField()->text(), "14");
    EXPECT_EQ(defaults.integerForKey(QntSeqFontSizeKey), 14);

    first->fontSizeTextField()->setText("22");
    first->fontSizeTextFieldAction();
    EXPECT_EQ(defaults.integerForKey(QntSeqFontSizeKey), 22);
    first->sequenceParameterField(QntSeqMinEntityWidthKey)->setText("200px");
    EXPECT_EQ(first->entityWidth(), 200);
    first->sequenceParameterField(QntSeqMinEntityWidthKey)->setText("wide");
    EXPECT_EQ(first->entityWidth(), 0);
}
