#include "inspectors/QntElementTextEditor.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntTextFieldCell.h"

#include "library/PaletteTestSupport.h"

#include "common/ButtonColumn.h"
#include "common/PopUpChoice.h"
#include "common/TwoColourText.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntContextTextEditorView.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Puts the text-bar defaults a test changes back to their registered values.
struct DefaultsGuard {
    ~DefaultsGuard()
    {
        for (const QString &key :
             {QntContextTextEditorSaveTextProperties, QntContextTextEditorFontFamily,
              QntContextTextEditorFontSize, QntContextTextEditorAlign, QntContextTextEditorFontBold,
              QntContextTextEditorFontItalic, QntContextTextEditorFontUnderline,
              kQntContextTextEditorEnableBlackBackground, kQntEnableInlineEditor})
            UserDefaults::standardUserDefaults().removeObjectForKey(key);
    }
};

struct Harness {
    Harness()
        : palette(kSkinNotation)
    {
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector =
            std::make_unique<QntElementModeInspector>(QStringLiteral("ElementModeInspector"));
    }
    ~Harness()
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        flushEvents();
    }
    std::shared_ptr<QntElement> placeElement(QPointF at)
    {
        return std::static_pointer_cast<QntElement>(add(palette.shapeCopy(at)));
    }
    VRObjectRef add(const VRObjectRef &object)
    {
        palette.layer()->addObject(object);
        palette.layer()->replaceSelectionWithObject(object);
        undo()->closeOpenGroups();
        return object;
    }
    void rightClick(const VRObjectRef &object)
    {
        NotificationCenter::defaultCenter().post(
            kQntElementRightMouseUpNotification, object.get(),
            {{QStringLiteral("object"), QVariant::fromValue(object)}});
    }
    // The text bar opened as "t" opens it.
    QntElementTextEditor *openBar(const VRObjectRef &object)
    {
        NotificationCenter::defaultCenter().post(
            kQntShowTextEditorNotification, palette.view.get(),
            {{QStringLiteral("object"), QVariant::fromValue(object)}});
        return inspector->elementTextEditor();
    }
    QStringList columnTitles() const { return qnt::test::columnTitles(*inspector->toolMatrix()); }
    void clickColumn(const QString &title)
    {
        qnt::test::clickColumn(*inspector->toolMatrix(), title);
    }
    // Each character as one keystroke in its own turn of the event loop.
    void type(QTextEdit *edit, const QString &text)
    {
        for (const QChar ch : text) {
            QTextCursor cursor = edit->textCursor();
            cursor.insertText(QString(ch));
            edit->setTextCursor(cursor);
            undo()->closeOpenGroups();
        }
    }
    static void typeIn(QntTextFieldCell *field, const QString &text)
    {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
        emit field->returnPressed();
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }

    DefaultsGuard defaults;
    PaletteHarness palette;
    std::unique_ptr<QntElementModeInspector> inspector;
};

void selectRange(QTextEdit *edit, int from, int to)
{
    QTextCursor cursor(edit->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
}

// The alignment a block is laid out with.
Qt::Alignment effectiveAlignment(const QTextBlock &block)
{
    const Qt::Alignment own = block.blockFormat().hasProperty(QTextFormat::BlockAlignment)
                                  ? block.blockFormat().alignment()
                                  : block.document()->defaultTextOption().alignment();
    return own & Qt::AlignHorizontal_Mask;
}

// Whether the characters [from, to) of a fragment's text are bold.
QList<bool> boldness(const QTextDocumentFragment &fragment)
{
    QTextDocument document;
    QTextCursor(&document).insertFragment(fragment);
    QList<bool> result;
    for (int i = 0; i < document.characterCount() - 1; ++i) {
        QTextCursor at(&document);
        at.setPosition(i + 1);
        result << (at.charFormat().fontWeight() >= QFont::Bold);
    }
    return result;
}

} // namespace

TEST(QntElementTextEditorTest, TAndASecondRightClickOpenTheBarAndOkKeepsTextAndNotes)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    h.rightClick(element);
    EXPECT_TRUE(h.columnTitles().contains(QStringLiteral("Text Editor")));
    h.rightClick(element);
    QntElementTextEditor *bar = h.inspector->elementTextEditor();
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->attachedWindow(), nullptr);
    // The column gives way to the bar.
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
    QTextEdit *text = bar->editorView()->textEditingView();
    h.type(text, QStringLiteral("Start"));
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("Start"));
    bar->notesTextField()->setPlainText(QStringLiteral("first step"));
    bar->okAction();
    EXPECT_EQ(bar->attachedWindow(), nullptr);
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("Start"));
    EXPECT_EQ(element->stringForKey(QStringLiteral("Notes")), QStringLiteral("first step"));
    // The text is the shape's own: it goes with a copy.
    const VRObjectRef copy = element->copy();
    EXPECT_EQ(copy->textContent().toPlainText(), QStringLiteral("Start"));
}

TEST(QntElementTextEditorTest, NotesSlideInOverTheControlsAndBack)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    h.rightClick(element);
    h.rightClick(element);
    QntElementTextEditor *bar = h.inspector->elementTextEditor();
    ASSERT_NE(bar, nullptr);
    AXAttachedWindow *window = bar->attachedWindow();
    ASSERT_NE(window, nullptr);
    QWidget *notesView = bar->view2();
    ASSERT_NE(notesView, nullptr);
    auto *notesButton = bar->view()->findChild<QntButtonWhiteCell *>(QStringLiteral("notesButton"));
    auto *back = notesView->findChild<QntButtonWhiteCell *>(QStringLiteral("notesBackButton"));
    ASSERT_NE(notesButton, nullptr);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(notesView->isHidden());

    notesButton->click();
    ASSERT_TRUE(window->isSliding());
    window->finishSlide();
    EXPECT_TRUE(notesView->isVisible());
    EXPECT_EQ(notesView->geometry(), bar->view()->geometry());
    EXPECT_TRUE(bar->notesTextField()->isVisible());
    bar->notesTextField()->setPlainText(QStringLiteral("check the supplier"));
    back->click();
    window->finishSlide();
    EXPECT_TRUE(notesView->isHidden());
    EXPECT_EQ(bar->view()->graphicsEffect(), nullptr);

    // Kept by OK from the notes view; the bar opens again on its controls.
    notesButton->click();
    bar->okAction();
    EXPECT_EQ(element->stringForKey(QStringLiteral("Notes")), QStringLiteral("check the supplier"));
    flushEvents();
    QntElementTextEditor *again = h.openBar(element);
    ASSERT_NE(again, nullptr);
    ASSERT_NE(again->attachedWindow(), nullptr);
    EXPECT_TRUE(again->view2()->isHidden());
    EXPECT_EQ(again->view()->graphicsEffect(), nullptr);
    EXPECT_EQ(again->notesTextField()->toPlainText(), QStringLiteral("check the supplier"));
    again->cancelAction();
}

TEST(QntElementTextEditorTest, BoldOnOneWordIsOneUndoStepThatTheEditorFollows)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    QTextEdit *text = bar->editorView()->textEditingView();
    h.type(text, QStringLiteral("Hello big world"));
    // A whole run of typing is one step.
    const auto stepsBefore = h.undo()->undoStack().size();
    selectRange(text, 6, 9);
    bar->typefaceCell(QntContextTextEditor::kBoldCell)->setChecked(true);
    bar->fontTypefaceAction();
    h.undo()->closeOpenGroups();
    EXPECT_EQ(h.undo()->undoStack().size(), stepsBefore + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Changing text attributes"));
    const QList<bool> bold = boldness(element->textContent());
    ASSERT_EQ(bold.size(), 15);
    for (int i = 0; i < bold.size(); ++i)
        EXPECT_EQ(bold.at(i), i >= 6 && i < 9) << i;

    h.undo()->undo();
    EXPECT_FALSE(boldness(element->textContent()).contains(true));
    // The editor shows what the undo left.
    EXPECT_FALSE(boldness(QTextDocumentFragment(text->document())).contains(true));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("Hello big world"));
    EXPECT_FALSE(bar->typefaceCell(QntContextTextEditor::kBoldCell)->isChecked());
    EXPECT_EQ(effectiveAlignment(text->document()->begin()), Qt::AlignHCenter);
    // And the typing is one step more.
    h.undo()->undo();
    EXPECT_TRUE(element->textContent().toPlainText().isEmpty());
    bar->cancelAction();
}

TEST(QntElementTextEditorTest, CancelDiscardsEveryChangeSinceTheBarOpened)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    element->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Before")));
    h.undo()->closeOpenGroups();
    const auto steps = h.undo()->undoStack().size();
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    QTextEdit *text = bar->editorView()->textEditingView();
    text->moveCursor(QTextCursor::End);
    h.type(text, QStringLiteral(" and after"));
    text->selectAll();
    bar->typefaceCell(QntContextTextEditor::kItalicCell)->setChecked(true);
    bar->fontTypefaceAction();
    h.undo()->closeOpenGroups();
    bar->cancelAction();
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("Before"));
    EXPECT_EQ(h.undo()->undoStack().size(), steps);
    EXPECT_EQ(bar->attachedWindow(), nullptr);
}

TEST(QntElementTextEditorTest, NewTextStartsFromTheSavedPropertiesOrTheBuiltInOnes)
{
    Harness h;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(qint64(1), QntContextTextEditorAlign);
    defaults.setObject(20.5, QntContextTextEditorFontSize);
    for (const bool save : {true, false}) {
        defaults.setBool(save, QntContextTextEditorSaveTextProperties);
        const auto element = h.placeElement({200, 150});
        QntElementTextEditor *bar = h.openBar(element);
        ASSERT_NE(bar, nullptr);
        QTextEdit *text = bar->editorView()->textEditingView();
        h.type(text, QStringLiteral("x"));
        const QTextBlock block = text->document()->begin();
        EXPECT_EQ(effectiveAlignment(block), save ? Qt::AlignRight : Qt::AlignHCenter);
        EXPECT_DOUBLE_EQ(text->currentCharFormat().font().pointSizeF(), save ? 20.5 : 14.0);
        EXPECT_EQ(bar->fontSizeTextField()->text(), QLocale().toString(save ? 20.5 : 14.0));
        EXPECT_TRUE(bar->alignCell(save ? 2 : 1)->isChecked());
        bar->cancelAction();
    }
}

TEST(QntElementTextEditorTest, TurningSavingOffPutsBackOnlyWhatWasRead)
{
    Harness h;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, QntContextTextEditorSaveTextProperties);
    defaults.setObject(18.0, QntContextTextEditorFontSize);
    const auto element = h.placeElement({200, 150});
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    h.type(bar->editorView()->textEditingView(), QStringLiteral("abc"));
    Harness::typeIn(bar->fontSizeTextField(), QStringLiteral("30"));
    EXPECT_DOUBLE_EQ(defaults.doubleForKey(QntContextTextEditorFontSize), 30.0);
    bar->saveTextPropertiesCheckbox()->setChecked(false);
    bar->saveTextPropertiesCheckboxAction();
    EXPECT_FALSE(defaults.boolForKey(QntContextTextEditorSaveTextProperties));
    EXPECT_DOUBLE_EQ(defaults.doubleForKey(QntContextTextEditorFontSize), 18.0);
    bar->cancelAction();

    // A bar that read nothing writes nothing back: the stored size stays.
    defaults.setObject(22.0, QntContextTextEditorFontSize);
    QntElementTextEditor fresh;
    fresh.saveTextPropertiesCheckbox()->setChecked(false);
    fresh.saveTextPropertiesCheckboxAction();
    EXPECT_DOUBLE_EQ(defaults.doubleForKey(QntContextTextEditorFontSize), 22.0);
}

TEST(QntElementTextEditorTest, FontSizeKeepsFractionsAndRefusesWords)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    QTextEdit *text = bar->editorView()->textEditingView();
    h.type(text, QStringLiteral("size"));
    text->selectAll();
    Harness::typeIn(bar->fontSizeTextField(), QLocale().toString(10.5));
    QTextCursor at(text->document());
    at.setPosition(2);
    EXPECT_DOUBLE_EQ(at.charFormat().fontPointSize(), 10.5);
    h.undo()->closeOpenGroups();
    const auto steps = h.undo()->undoStack().size();
    Harness::typeIn(bar->fontSizeTextField(), QStringLiteral("big"));
    h.undo()->closeOpenGroups();
    EXPECT_EQ(h.undo()->undoStack().size(), steps);
    EXPECT_EQ(bar->fontSizeTextField()->text(), QLocale().toString(10.5));
    bar->cancelAction();
}

TEST(QntElementTextEditorTest, SizeButtonPopsTheSizesUpOverItselfAndAppliesTheChoice)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    // The inspector knows its document, as once the document window has had the focus: the
    // pop-up taking the focus then changes nothing.
    h.inspector->mainDocumentMayHaveChanged();
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    QTextEdit *text = bar->editorView()->textEditingView();
    h.type(text, QStringLiteral("size"));
    text->selectAll();
    {
        qnt::test::PopUpChoice choice(QStringLiteral("18"));
        bar->fontSizeMenuButton()->click();
        // The button waits for the choice: the size is in place when the click returns.
        ASSERT_TRUE(choice.opened());
        EXPECT_NE(choice.menu(), bar->fontSizeMenu());
        EXPECT_EQ(choice.actions(), bar->fontSizeMenu()->actions());
        EXPECT_EQ(choice.title(), bar->fontSizeMenu()->title());
        EXPECT_FALSE(choice.anyActive());
        EXPECT_EQ(bar->fontSizeTextField()->text(), QStringLiteral("18"));
        EXPECT_TRUE(bar->editorView()->isVisible());
        QTextCursor at(text->document());
        at.setPosition(2);
        EXPECT_DOUBLE_EQ(at.charFormat().fontPointSize(), 18);
    }
    EXPECT_FALSE(bar->fontSizeMenu()->isVisible());
    bar->cancelAction();
}

TEST(QntElementTextEditorTest, PaddingBoxesFollowThePaddingModeBothWays)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    Harness::typeIn(bar->topBottomPaddingTextbox(), QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(element->paddingTopBottom(), 0.12);
    EXPECT_EQ(bar->topBottomPaddingTextbox()->text(), QStringLiteral("12"));
    bar->setPaddingMode(1);
    Harness::typeIn(bar->leftRightPaddingTextbox(), QStringLiteral("0.3"));
    EXPECT_DOUBLE_EQ(element->paddingLeftRight(), 0.3);
    EXPECT_EQ(bar->leftRightPaddingTextbox()->text(), QLocale().toString(0.3));
    bar->cancelAction();
}

TEST(QntElementTextEditorTest, TableColumnCellColoursAndPaddings)
{
    Harness h;
    auto table = QntElementTable::tableWithRows(1, 2, QSizeF(80, 40));
    table->setLocation({300, 200});
    h.add(table);
    h.rightClick(table);
    QStringList titles = h.columnTitles();
    EXPECT_TRUE(titles.contains(QStringLiteral("Add Row")));
    EXPECT_FALSE(titles.contains(QStringLiteral("Remove Row")));
    h.clickColumn(QStringLiteral("Add Row"));
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_TRUE(h.columnTitles().contains(QStringLiteral("Remove Row")));

    const VRObjectList cells = table->cells();
    table->selectCells({cells.at(0)});
    h.clickColumn(QStringLiteral("Cell Style"));
    ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    const auto &c = h.inspector->tableControls();
    // The notation's table colours, then clear and white; a swatch fills the selected cell only.
    ASSERT_NE(c.cellsColorMatrix, nullptr);
    const QList<QntColorMatrix::Cell> swatches = c.cellsColorMatrix->cells();
    ASSERT_GE(swatches.size(), 2);
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    const qsizetype colours = notation->tableColors().size();
    EXPECT_EQ(swatches.at(colours).representedObject.value<QColor>().alpha(), 0);
    EXPECT_EQ(swatches.at(colours + 1).representedObject.value<QColor>(), QColor(Qt::white));
    c.cellsColorMatrix->performClickOnCell(0, 0);
    const QColor first = swatches.at(0).representedObject.value<QColor>();
    EXPECT_EQ(static_cast<QntTextCell *>(cells.at(0).get())->fillColour(), first);
    EXPECT_NE(static_cast<QntTextCell *>(cells.at(1).get())->fillColour(), first);
    h.inspector->tableCellsColorAction(QColor(255, 0, 0));
    EXPECT_EQ(static_cast<QntTextCell *>(cells.at(0).get())->fillColour(), QColor(255, 0, 0));
    EXPECT_NE(static_cast<QntTextCell *>(cells.at(1).get())->fillColour(), QColor(255, 0, 0));
    c.applyToAllCells->setChecked(true);
    h.inspector->tableCellsColorAction(QColor(0, 0, 255));
    for (const VRObjectRef &cell : table->cells())
        EXPECT_EQ(static_cast<QntTextCell *>(cell.get())->fillColour(), QColor(0, 0, 255));
    c.applyToAllCells->setChecked(false);

    // 25 % of the 40-point-high cell, then 6 points.
    table->selectCells({cells.at(0)});
    Harness::typeIn(c.topBottomPaddingTextbox, QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(static_cast<QntTextCell *>(cells.at(0).get())->paddingTopBottom(), 10.0);
    EXPECT_EQ(c.topBottomPaddingTextbox->text(), QStringLiteral("25"));
    c.percentPaddings->click();
    EXPECT_EQ(h.inspector->paddingMode(), 1);
    Harness::typeIn(c.leftRightPaddingTextbox, QStringLiteral("6"));
    EXPECT_DOUBLE_EQ(static_cast<QntTextCell *>(cells.at(0).get())->paddingLeftRight(), 6.0);
    EXPECT_EQ(c.leftRightPaddingTextbox->text(), QStringLiteral("6"));
    // Only the picked cell.
    EXPECT_DOUBLE_EQ(static_cast<QntTextCell *>(cells.at(1).get())->paddingLeftRight(), 5.0);
    EXPECT_DOUBLE_EQ(static_cast<QntTextCell *>(cells.at(1).get())->paddingTopBottom(), 5.0);
    h.inspector->setPaddingMode(0);
}

TEST(QntElementTextEditorTest, ImageShapeCornerRadiusShowsForRectanglesOnly)
{
    Harness h;
    auto picture = std::make_shared<QntImageShape>();
    picture->restoreGeometry({QPointF(100, 100), QSizeF(64, 48), QSizeF(0, 0), 0.0, {}});
    picture->setShowContour(true);
    picture->setContourType(1);
    h.add(picture);
    h.rightClick(picture);
    h.clickColumn(QStringLiteral("Image Shape Style"));
    ASSERT_NE(h.inspector->attachedImageShapeStyleWindow(), nullptr);
    const auto &c = h.inspector->imageControls();
    EXPECT_TRUE(c.cornerRadiusView->isHidden());
    h.inspector->imageContourTypeAction(0);
    EXPECT_EQ(picture->contourType(), 0);
    EXPECT_FALSE(c.cornerRadiusView->isHidden());
    // Reopened on a rectangle after another type, the control is there.
    h.inspector->imageContourTypeAction(2);
    h.inspector->closeAttachedWindows();
    picture->setContourType(0);
    h.rightClick(picture);
    h.clickColumn(QStringLiteral("Image Shape Style"));
    EXPECT_FALSE(c.cornerRadiusView->isHidden());
    Harness::typeIn(c.contourWidthTextbox, QStringLiteral("2"));
    EXPECT_NEAR(picture->contourWidth(), h.palette.drawing()->convertLengthFromDrawingToBase(2.0),
                1e-9);
}

TEST(QntElementTextEditorTest, RotationBoxTurnsTheElement)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Contour Style"));
    ASSERT_NE(h.inspector->angleTextbox(), nullptr);
    Harness::typeIn(h.inspector->angleTextbox(), QStringLiteral("90"));
    EXPECT_NEAR(element->angle(), M_PI / 2, 1e-9);
    EXPECT_DOUBLE_EQ(h.inspector->angleSlider()->doubleValue(), 90.0);
}

TEST(QntElementTextEditorTest, PaletteSchemeRecoloursTheElementAndItsButton)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Color Palette"));
    AXAttachedWindow *popover = h.inspector->attachedWindowMatrixbar();
    ASSERT_NE(popover, nullptr);
    auto *grid = popover->findChild<QntColorMatrix *>();
    ASSERT_NE(grid, nullptr);
    const QList<QntColorMatrix::Cell> cells = grid->cells();
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    const QList<QntColorSchemeData> schemes = notation->colorSchemesList();
    ASSERT_GE(schemes.size(), 2);
    const qint64 before = element->colorSchemeId();
    const int pick = schemes.at(0).schemeId == before ? 1 : 0;
    grid->performClickOnCell(pick / grid->numberOfColumns(), pick % grid->numberOfColumns());
    EXPECT_EQ(element->colorSchemeId(), schemes.at(pick).schemeId);
    // The placeholders filling the last line do nothing.
    if (cells.size() > schemes.size()) {
        const int last = int(cells.size()) - 1;
        grid->performClickOnCell(last / grid->numberOfColumns(), last % grid->numberOfColumns());
        EXPECT_EQ(element->colorSchemeId(), schemes.at(pick).schemeId);
    }
    // A colour value is not a scheme: an element ignores it.
    h.inspector->applyColorValue(QVariant::fromValue(QColor(Qt::red)));
    EXPECT_EQ(element->colorSchemeId(), schemes.at(pick).schemeId);
}

TEST(QntElementTextEditorTest, TextColourComesFromTheSchemePopover)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    element->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("tint")));
    QntElementTextEditor *bar = h.openBar(element);
    ASSERT_NE(bar, nullptr);
    ASSERT_FALSE(bar->showColorMatrixButton()->isHidden());
    bar->editorView()->textEditingView()->selectAll();
    bar->showColorMatrixButton()->click();
    AXAttachedWindow *popover = bar->attachedWindowMatrixbar();
    ASSERT_NE(popover, nullptr);
    auto *grid = popover->findChild<QntColorMatrix *>();
    ASSERT_NE(grid, nullptr);
    grid->performClickOnCell(0, 0);
    const QColor chosen = grid->cells().first().representedObject.value<QColor>();
    QTextDocument document;
    QTextCursor(&document).insertFragment(element->textContent());
    QTextCursor at(&document);
    at.setPosition(2);
    EXPECT_EQ(at.charFormat().foreground().color(), chosen);
    EXPECT_EQ(bar->appliedColor(), chosen);
    bar->okAction();
}

TEST(QntElementTextEditorTest, SeveralObjectsColourReachesRunsWithAColourOfTheirOwnInOneStep)
{
    Harness h;
    const QTextDocumentFragment fragment = qnt::test::helloRedWorld();
    const auto first = h.placeElement({200, 150});
    const auto second = h.placeElement({400, 150});
    auto connector = std::make_shared<QntConnector>();
    connector->setEnds(first->location(), second->location());
    h.palette.layer()->addObject(connector);
    VRObjectList objects{first, second, connector};
    for (const VRObjectRef &object : objects)
        object->setTextContent(fragment);
    h.palette.layer()->exchangeSelectionWithObjectsFromArray(objects);
    h.undo()->closeOpenGroups();
    const auto colours = [](const VRObjectRef &object) {
        QTextDocument document;
        QTextCursor(&document).insertFragment(object->textContent());
        QStringList names;
        for (int i = 1; i < document.characterCount(); ++i) {
            QTextCursor at(&document);
            at.setPosition(i);
            const QTextCharFormat format = at.charFormat();
            names << (format.hasProperty(QTextFormat::ForegroundBrush)
                          ? format.foreground().color().name()
                          : QStringLiteral("-"));
        }
        return names;
    };
    QStringList before;
    for (const VRObjectRef &object : objects)
        before << colours(object);
    ASSERT_TRUE(before.contains(QColor(Qt::red).name()));

    QntElementTextEditor editor;
    editor.setMultipleSelectionMode(1);
    editor.setObjectsClasses(
        {VRClassInfo::byName(u"QntElement"), VRClassInfo::byName(u"QntConnector")});
    const int depth = int(h.undo()->undoStack().size());
    const QColor blue(20, 40, 200);
    editor.colorMatrixAction(blue);
    h.undo()->closeOpenGroups();
    EXPECT_EQ(int(h.undo()->undoStack().size()), depth + 1);
    for (const VRObjectRef &object : objects) {
        SCOPED_TRACE(object->className().toStdString());
        for (const QString &name : colours(object))
            EXPECT_EQ(name, blue.name());
    }
    EXPECT_EQ(first->text()->textColour(), blue);
    EXPECT_EQ(connector->textColour(), blue);
    h.undo()->undo();
    QStringList after;
    for (const VRObjectRef &object : objects)
        after << colours(object);
    EXPECT_EQ(after, before);
}

TEST(QntElementTextEditorTest, CellToolbarStaysOpenForAllCellsAndShowsTheCellsFaces)
{
    Harness h;
    auto table = QntElementTable::tableWithRows(1, 2, QSizeF(80, 40));
    table->setLocation({300, 200});
    h.add(table);
    const VRObjectList cells = table->cells();
    for (const VRObjectRef &cell : cells)
        static_cast<QntTextCell *>(cell.get())->setString(QStringLiteral("Cell"));
    const auto italic = [&cells](int k) {
        const QFont font = static_cast<QntTextCell *>(cells.at(k).get())->textBlock().font();
        QTextDocument document;
        document.setDefaultFont(font);
        QTextCursor cursor(&document);
        cursor.insertFragment(static_cast<QntTextCell *>(cells.at(k).get())->textContent());
        cursor.setPosition(1);
        return cursor.charFormat().hasProperty(QTextFormat::FontItalic)
                   ? cursor.charFormat().fontItalic()
                   : font.italic();
    };
    h.rightClick(table);
    table->selectCells({cells.at(0)});
    h.clickColumn(QStringLiteral("Cell Style"));
    ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    const auto &c = h.inspector->tableControls();
    EXPECT_FALSE(c.typeface[1]->isChecked());
    // "I" for every cell: the toolbar stays open and shows "I" lit.
    c.applyToAllCells->setChecked(true);
    c.typeface[1]->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    EXPECT_TRUE(c.typeface[1]->isChecked());
    EXPECT_TRUE(italic(0));
    EXPECT_TRUE(italic(1));
    c.applyToAllCells->setChecked(false);
    // Opened again on an italic cell, "I" is lit; "I" then makes that cell upright, and opened
    // again on it "I" is not lit.
    for (const bool italicCell : {true, false}) {
        SCOPED_TRACE(italicCell ? "italic" : "upright");
        h.inspector->closeAttachedWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        h.rightClick(table);
        table->selectCells({cells.at(1)});
        h.clickColumn(QStringLiteral("Cell Style"));
        ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
        EXPECT_EQ(c.typeface[1]->isChecked(), italicCell);
        EXPECT_FALSE(c.typeface[0]->isChecked());
        if (italicCell) {
            c.typeface[1]->click();
            EXPECT_FALSE(italic(1));
            EXPECT_TRUE(italic(0));
        }
    }
}

TEST(QntElementTextEditorTest, CellColourForAllCellsKeepsTheToolbarAndItShowsTheCellsFont)
{
    Harness h;
    auto table = QntElementTable::tableWithRows(2, 2, QSizeF(80, 40));
    table->setLocation({300, 200});
    h.add(table);
    const VRObjectList cells = table->cells();
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(13);
    for (const VRObjectRef &cell : cells) {
        auto *text = static_cast<QntTextCell *>(cell.get());
        VRTextBlock block = text->textBlock();
        block.setFont(font);
        text->setTextBlock(block);
    }
    table->selectCells({});
    h.rightClick(table);
    h.clickColumn(QStringLiteral("Cell Style"));
    ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    const auto &c = h.inspector->tableControls();
    // No cell picked: the bar names the cells' font, not a built-in one.
    EXPECT_EQ(c.fontFamilyPopUpButton->text(),
              static_cast<QntTextCell *>(cells.at(0).get())->textBlock().font().family());
    EXPECT_EQ(c.fontSizeTextField->text(), QStringLiteral("13"));

    // A swatch for every cell leaves the toolbar and the column (with its text button) open.
    h.inspector->closeAttachedWindows();
    table->selectCells({cells.at(0)});
    h.rightClick(table);
    h.clickColumn(QStringLiteral("Cell Style"));
    ASSERT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    c.applyToAllCells->setChecked(true);
    ASSERT_NE(c.cellsColorMatrix, nullptr);
    c.cellsColorMatrix->performClickOnCell(0, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QColor first = c.cellsColorMatrix->cells().at(0).representedObject.value<QColor>();
    for (const VRObjectRef &cell : cells)
        EXPECT_EQ(static_cast<QntTextCell *>(cell.get())->fillColour(), first);
    EXPECT_NE(h.inspector->attachedCellStyleWindow(), nullptr);
    EXPECT_NE(h.inspector->attachedWindow(), nullptr);
    EXPECT_TRUE(h.columnTitles().contains(QStringLiteral("Text Editor")));
    c.applyToAllCells->setChecked(false);
    h.inspector->closeAttachedWindows();
}

TEST(QntElementTextEditorTest, PaletteSchemeShowsInTheOpenContourToolbar)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Contour Style"));
    ASSERT_NE(h.inspector->attachedSimpleStyleWindow(), nullptr);
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    const auto shownStroke = [&] { return c.contourColorWell->color().toRgb(); };
    const auto stroke = [&] { return element->contourObject()->style()->strokeColour().toRgb(); };
    EXPECT_EQ(shownStroke(), stroke());
    h.clickColumn(QStringLiteral("Color Palette"));
    AXAttachedWindow *popover = h.inspector->attachedWindowMatrixbar();
    ASSERT_NE(popover, nullptr);
    auto *grid = popover->findChild<QntColorMatrix *>();
    ASSERT_NE(grid, nullptr);
    const QList<QntColorSchemeData> schemes =
        h.palette.drawing()->currentNotation()->colorSchemesList();
    const QColor before = stroke();
    // The first scheme that draws the contour in another colour.
    bool recoloured = false;
    for (int pick = 0; pick < schemes.size() && !recoloured; ++pick) {
        grid->performClickOnCell(pick / grid->numberOfColumns(), pick % grid->numberOfColumns());
        recoloured = stroke() != before;
    }
    ASSERT_TRUE(recoloured);
    ASSERT_NE(h.inspector->attachedSimpleStyleWindow(), nullptr);
    EXPECT_EQ(shownStroke(), stroke());
    // A transparency change shows there too.
    h.inspector->applyTransparency(0.5);
    EXPECT_EQ(shownStroke(), stroke());
    h.inspector->closeAttachedWindows();
}

TEST(QntElementTextEditorTest, StickySpotToolbarKeepsItsToolCurrentWhileOpen)
{
    Harness h;
    const auto element = h.placeElement({200, 150});
    VRViewController *controller = h.palette.view->controller();
    ASSERT_TRUE(controller->autoRevert());
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Sticky Spot"));
    QWidget *window = nullptr;
    for (QWidget *widget : QApplication::allWidgets())
        if (widget->objectName() == QStringLiteral("stickyPointWindow") && widget->isVisible())
            window = widget;
    ASSERT_NE(window, nullptr);
    // Several spots in a row: the tool does not revert to Select while the toolbar is open.
    EXPECT_FALSE(controller->autoRevert());
    auto *insert = window->findChild<QntButtonCell *>(QStringLiteral("Insert Sticky Spot"));
    ASSERT_NE(insert, nullptr);
    insert->click();
    ASSERT_NE(controller->drawingTool(), nullptr);
    EXPECT_EQ(controller->drawingTool(),
              VRDrawingTool::drawingToolWithName(QStringLiteral("Insert Sticky Spot")));
    EXPECT_TRUE(element->isHighlightedForConnectorSnapping());
    // The button toggles the toolbar; closing it restores the reverting, once.
    h.clickColumn(QStringLiteral("Sticky Spot"));
    EXPECT_TRUE(controller->autoRevert());
    h.inspector->closeAttachedWindows();
    EXPECT_TRUE(controller->autoRevert());
    // Opened again and closed with every other window.
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Sticky Spot"));
    EXPECT_FALSE(controller->autoRevert());
    h.inspector->closeAttachedWindows();
    EXPECT_TRUE(controller->autoRevert());
}

TEST(QntElementTextEditorTest, HighlightInAGroupElementMovesTheBarsEditing)
{
    Harness h;
    const auto left = h.palette.shapeCopy({150, 150});
    const auto right = h.palette.shapeCopy({300, 150});
    left->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("left")));
    right->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("right")));
    const QRectF frame = left->bounds().united(right->bounds());
    const auto group =
        QntElement::createWithObjects({left, right}, QStringLiteral("composite"), frame.size());
    h.add(group);
    ASSERT_EQ(group->allElements().size(), 2);
    QntElementTextEditor *bar = h.openBar(group);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->attachedWindow(), nullptr);
    VRDrawingView &view = *h.palette.view;
    const auto doubleClick = [&view](QPointF drawingPoint) {
        const QPointF at = view.mapFromDrawing(drawingPoint);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(&view, &event);
        }
    };
    QTextEdit *text = bar->editorView()->textEditingView();
    // A double-click on a member moves the editing there; what was typed stays where it was typed.
    doubleClick(left->bounds().center());
    ASSERT_EQ(view.highlightedObject(), left);
    ASSERT_NE(bar->attachedWindow(), nullptr);
    EXPECT_EQ(bar->editorView()->editedObject(), left);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("left"));
    text->selectAll();
    text->textCursor().insertText(QStringLiteral("typed"));
    // The click in the drawing makes its window the active one; the double-click gives the
    // keyboard back to the bar, so typing goes to the member and not to the tool keys.
    view.window()->show();
    view.window()->activateWindow();
    view.setFocus(Qt::MouseFocusReason);
    flushEvents();
    ASSERT_EQ(QApplication::activeWindow(), view.window());
    doubleClick(right->bounds().center());
    flushEvents();
    EXPECT_EQ(QApplication::activeWindow(), bar->attachedWindow());
    EXPECT_EQ(QApplication::focusWidget(), text);
    EXPECT_EQ(view.highlightedObject(), right);
    ASSERT_NE(bar->attachedWindow(), nullptr);
    EXPECT_EQ(bar->editorView()->editedObject(), right);
    EXPECT_EQ(text->toPlainText(), QStringLiteral("right"));
    EXPECT_EQ(left->textContent().toPlainText(), QStringLiteral("typed"));
    // Losing the highlight (a press outside the group) closes the bar.
    const QPointF away = view.mapFromDrawing(QPointF(600, 500));
    QMouseEvent press(QEvent::MouseButtonPress, away, view.mapToGlobal(away), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, away, view.mapToGlobal(away), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &release);
    EXPECT_EQ(view.highlightedObject(), nullptr);
    EXPECT_EQ(bar->attachedWindow(), nullptr);
}

TEST(QntElementTextEditorTest, EscapeCancelsAndControlReturnKeepsTheTyping)
{
    DefaultsGuard guard;
    Harness h;
    const auto element = h.placeElement({200, 150});
    element->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Before")));
    h.undo()->closeOpenGroups();
    const auto press = [](QWidget *to, int key, Qt::KeyboardModifiers mods) {
        QKeyEvent down(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(to, &down);
        QKeyEvent up(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(to, &up);
    };
    struct Case {
        const char *name;
        int key;
        Qt::KeyboardModifiers mods;
        QString kept;
    } cases[] = {{"Escape", Qt::Key_Escape, Qt::NoModifier, QStringLiteral("Before")},
                 {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier, QStringLiteral("After")}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        element->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Before")));
        h.undo()->closeOpenGroups();
        const qsizetype steps = h.undo()->undoStack().size();
        QntElementTextEditor *bar = h.openBar(element);
        ASSERT_NE(bar, nullptr);
        ASSERT_NE(bar->attachedWindow(), nullptr);
        QTextEdit *text = bar->editorView()->textEditingView();
        text->selectAll();
        h.type(text, QStringLiteral("After"));
        press(text, c.key, c.mods);
        EXPECT_EQ(bar->attachedWindow(), nullptr);
        EXPECT_EQ(element->textContent().toPlainText(), c.kept);
        h.undo()->closeOpenGroups();
        if (c.key == Qt::Key_Escape)
            EXPECT_EQ(h.undo()->undoStack().size(), steps); // no step of its own
        else
            EXPECT_GT(h.undo()->undoStack().size(), steps);
        h.inspector->closeAttachedWindows();
    }
    // Escape from any control of the bar cancels too.
    QntElementTextEditor *bar = h.openBar(element);
    h.type(bar->editorView()->textEditingView(), QStringLiteral("!"));
    press(bar->fontSizeTextField(), Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(bar->attachedWindow(), nullptr);
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("After"));
}

TEST(QntElementTextEditorTest, BarOnAGroupElementShowsTheFontItsTextsUse)
{
    Harness h;
    const auto left = h.palette.shapeCopy({150, 150});
    const auto right = h.palette.shapeCopy({300, 150});
    left->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("left")));
    right->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("right")));
    for (const VRObjectRef &member : {left, right}) {
        auto &element = static_cast<QntElement &>(*member);
        QFont font = element.text()->font();
        font.setFamily(QStringLiteral("Serif Of The Stencil"));
        font.setPointSizeF(17);
        element.text()->setFont(font);
    }
    const QRectF frame = left->bounds().united(right->bounds());
    const auto group =
        QntElement::createWithObjects({left, right}, QStringLiteral("panelIMPORTED"), frame.size());
    h.add(group);
    struct Case {
        const char *name;
        bool ownText;
    } cases[] = {{"members' texts only", false}, {"a title of its own", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.ownText) {
            group->addTextShape();
            QFont font = group->text()->font();
            font.setFamily(QStringLiteral("Serif Of The Stencil"));
            font.setPointSizeF(17);
            group->text()->setFont(font);
        }
        QntElementTextEditor *bar = h.openBar(group);
        ASSERT_NE(bar, nullptr);
        ASSERT_NE(bar->attachedWindow(), nullptr);
        EXPECT_EQ(bar->fontFamilyPopUpButton()->text(), QStringLiteral("Serif Of The Stencil"));
        EXPECT_EQ(bar->fontSizeTextField()->text(), QLocale().toString(17.0, 'g', 6));
        // What is typed there is written in that font.
        EXPECT_EQ(bar->editorView()->textEditingView()->currentCharFormat().font().family(),
                  QStringLiteral("Serif Of The Stencil"));
        bar->cancelAction();
    }
    // A plain shape keeps the bar's own font for a new text.
    const auto plain = h.placeElement({200, 400});
    QntElementTextEditor *bar = h.openBar(plain);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->fontFamilyPopUpButton()->text(), QStringLiteral("Helvetica"));
    bar->cancelAction();
}

TEST(QntElementTextEditorTest, OkAndCancelEndTheHighlightOfAGroupMember)
{
    Harness h;
    const auto left = h.palette.shapeCopy({150, 150});
    const auto right = h.palette.shapeCopy({300, 150});
    left->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("left")));
    right->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("right")));
    const QRectF frame = left->bounds().united(right->bounds());
    const auto group =
        QntElement::createWithObjects({left, right}, QStringLiteral("composite"), frame.size());
    h.add(group);
    VRDrawingView &view = *h.palette.view;
    const QPointF at = view.mapFromDrawing(left->bounds().center());
    struct Case {
        const char *name;
        bool ok;
        QString kept;
    } cases[] = {{"OK", true, QStringLiteral("typed")}, {"Cancel", false, QStringLiteral("typed")}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QntElementTextEditor *bar = h.openBar(group);
        ASSERT_NE(bar, nullptr);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(&view, &event);
        }
        ASSERT_EQ(view.highlightedObject(), left);
        ASSERT_EQ(bar->editorView()->editedObject(), left);
        QTextEdit *text = bar->editorView()->textEditingView();
        text->selectAll();
        text->textCursor().insertText(c.ok ? QStringLiteral("typed") : QStringLiteral("dropped"));
        if (c.ok)
            bar->okAction();
        else
            bar->cancelAction();
        EXPECT_EQ(bar->attachedWindow(), nullptr);
        EXPECT_EQ(view.highlightedObject(), nullptr);
        EXPECT_EQ(left->textContent().toPlainText(), c.kept);
    }
}
