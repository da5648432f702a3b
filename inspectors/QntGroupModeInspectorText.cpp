#include "inspectors/QntGroupModeInspector.h"

#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRTextBlock.h"
#include "framework/model/VRTextShape.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntContextMenu.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntTextFieldCell.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QToolButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>

// The text panes of elements, connectors, tables and free texts.

namespace {

// Every run of a cell's text takes the changed format, and the block its font.
void changeCellText(QntTextCell &cell, const std::function<void(QFont &)> &changeFont)
{
    VRTextBlock block = cell.textBlock();
    QFont font = block.font();
    changeFont(font);
    block.setFont(font);
    if (!block.isEmpty()) {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertFragment(block.fragment());
        cursor.select(QTextCursor::Document);
        QTextCharFormat format;
        format.setFontFamilies(QStringList{font.family()});
        format.setFontPointSize(font.pointSizeF());
        cursor.mergeCharFormat(format);
        block.setFragment(QTextDocumentFragment(&document));
    }
    cell.setTextBlock(block);
}

// Every run of a text takes `format` over its own; a run's own size or family would otherwise
// hide a change of the text's font.
void mergeRuns(VRTextBlock &block, const QTextCharFormat &format)
{
    if (block.isEmpty())
        return;
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertFragment(block.fragment());
    cursor.select(QTextCursor::Document);
    cursor.mergeCharFormat(format);
    block.setFragment(QTextDocumentFragment(&document));
}

void mergeTextRuns(const VRObjectRef &object, const QTextCharFormat &format)
{
    if (object->isKindOf<QntElement>()) {
        if (QntTextShape *text = static_cast<QntElement &>(*object).text()) {
            VRTextBlock block = text->textBlock();
            mergeRuns(block, format);
            text->setTextBlock(block);
        }
    } else if (object->isKindOf<QntConnector>()) {
        auto &connector = static_cast<QntConnector &>(*object);
        VRTextBlock block = connector.label();
        mergeRuns(block, format);
        connector.setLabel(block);
    }
}

// A free text made with the Text tool has no style: a change goes to its own text, every run
// included. False for any other object.
bool changeFreeText(const VRObjectRef &object, const std::function<void(VRTextBlock &)> &change)
{
    if (!object || !object->isKindOf<VRTextShape>())
        return false;
    auto &text = static_cast<VRTextShape &>(*object);
    VRTextBlock block = text.textBlock();
    change(block);
    text.setTextBlock(block);
    return true;
}

// The free texts among the objects.
VRObjectList freeTextsAmong(const VRObjectList &objects)
{
    VRObjectList texts;
    for (const VRObjectRef &object : objects)
        if (object && object->isKindOf<VRTextShape>())
            texts << object;
    return texts;
}

// Every paragraph of a text takes the alignment (the framework's value), as the text does.
void alignFreeText(VRTextBlock &block, int alignment)
{
    if (!block.isEmpty()) {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertFragment(block.fragment());
        cursor.select(QTextCursor::Document);
        QTextBlockFormat format;
        format.setAlignment(VRTextBlock::qtAlignment(alignment));
        cursor.mergeBlockFormat(format);
        block.setFragment(QTextDocumentFragment(&document));
    }
    block.setAlignment(alignment);
}

bool setFontSizeOf(const VRObjectRef &object, double size, bool elements, bool connectors)
{
    if (elements && object->isKindOf<QntElementTable>()) {
        auto &table = static_cast<QntElementTable &>(*object);
        for (const VRObjectRef &cell : table.cells())
            changeCellText(static_cast<QntTextCell &>(*cell),
                           [size](QFont &f) { f.setPointSizeF(size); });
        return true;
    }
    QTextCharFormat format;
    format.setFontPointSize(size);
    if (elements && object->isKindOf<QntElement>()) {
        static_cast<QntElement &>(*object).setTextFontSize(size);
        mergeTextRuns(object, format);
        return true;
    }
    if (connectors && object->isKindOf<QntConnector>()) {
        auto &c = static_cast<QntConnector &>(*object);
        c.setFontSize(size);
        mergeTextRuns(object, format);
        c.textDidChange();
        return true;
    }
    return elements && changeFreeText(object, [size, &format](VRTextBlock &block) {
               QFont font = block.font();
               font.setPointSizeF(size);
               block.setFont(font);
               mergeRuns(block, format);
           });
}

bool setFamilyOf(const VRObjectRef &object, const QString &family, bool elements, bool connectors)
{
    if (elements && object->isKindOf<QntElementTable>()) {
        auto &table = static_cast<QntElementTable &>(*object);
        for (const VRObjectRef &cell : table.cells())
            changeCellText(static_cast<QntTextCell &>(*cell),
                           [family](QFont &f) { f.setFamily(family); });
        return true;
    }
    QTextCharFormat format;
    format.setFontFamilies(QStringList{family});
    if (elements && object->isKindOf<QntElement>()) {
        static_cast<QntElement &>(*object).setTextFontFamily(family);
        mergeTextRuns(object, format);
        return true;
    }
    if (connectors && object->isKindOf<QntConnector>()) {
        static_cast<QntConnector &>(*object).setTextFontFamily(family);
        mergeTextRuns(object, format);
        return true;
    }
    return elements && changeFreeText(object, [&family, &format](VRTextBlock &block) {
               QFont font = block.font();
               font.setFamily(family);
               block.setFont(font);
               mergeRuns(block, format);
           });
}

int traitMask(bool bold, bool italic)
{
    // Bold 2 / unbold 4, italic 1 / unitalic 16777216: the font manager's trait bits.
    return (bold ? 0x2 : 0x4) | (italic ? 0x1 : 0x01000000);
}

QTextCharFormat typefaceFormat(bool bold, bool italic, bool underlined)
{
    QTextCharFormat format;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(italic);
    format.setFontUnderline(underlined);
    return format;
}

bool readFontSize(const QString &typed, double *size)
{
    bool ok = false;
    double v = QLocale().toDouble(typed.trimmed(), &ok);
    if (!ok)
        v = QLocale::c().toDouble(typed.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return false;
    *size = std::clamp(v, 1.0, 1000.0);
    return true;
}

// The embedded text editor set to change every selected object of the named classes.
QntElementTextEditor *prepareEditor(QntElementTextEditor *editor,
                                    std::initializer_list<QStringView> classNames, bool allCells)
{
    QList<const VRClassInfo *> classes;
    for (QStringView name : classNames)
        classes << VRClassInfo::byName(name);
    editor->setContextObject(nullptr);
    editor->setMultipleSelectionMode(1);
    editor->setObjectsClasses(classes);
    editor->setMultipleTextCellsSelectionMode(allCells ? 1 : 0);
    return editor;
}

// The alignment picture in a dark ink, for the light buttons of the panes.
QIcon alignmentPicture(int column)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
    const double widths[4] = {24, 16, 24, 12};
    for (int line = 0; line < 4; ++line) {
        const double w = widths[line];
        const double x = column == 0 ? 4 : column == 1 ? 16 - w / 2 : 28 - w;
        p.drawLine(QPointF(x, 7 + line * 6), QPointF(x + w, 7 + line * 6));
    }
    return QIcon(pixmap);
}

void checkOnly(QToolButton *const buttons[3], int column)
{
    for (int c = 0; c < 3; ++c)
        if (buttons[c])
            buttons[c]->setChecked(c == column);
}

void showColour(QntButtonCell *button, QntColorWell *well, const QColor &colour)
{
    if (!colour.isValid())
        return;
    if (button) {
        button->setIcon(QIcon());
        button->setQntBackgroundColor(colour);
        button->update();
    }
    if (well)
        well->setColor(colour);
}

} // namespace

QWidget *QntGroupModeInspector::buildTextPane(const QString &name, bool connectors)
{
    auto *pane = new QWidget;
    pane->setObjectName(name);
    auto *form = new QFormLayout(pane);
    form->setContentsMargins(12, 8, 12, 8);
    auto *family = new QFontComboBox(pane);
    family->setObjectName(connectors ? QStringLiteral("connFontFamily")
                                     : QStringLiteral("elemFontFamily"));
    auto *size = new QLineEdit(pane);
    size->setObjectName(connectors ? QStringLiteral("connFontSize")
                                   : QStringLiteral("elemFontSize"));
    size->setMaximumWidth(80);
    form->addRow(tr("Font"), family);
    auto *sizeRow = new QWidget(pane);
    auto *sizeLayout = new QHBoxLayout(sizeRow);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->addWidget(size);
    auto *sizeMenuButton = new QToolButton(sizeRow);
    sizeMenuButton->setObjectName(connectors ? QStringLiteral("connFontSizeMenuButton")
                                             : QStringLiteral("elemFontSizeMenuButton"));
    sizeMenuButton->setToolTip(tr("Font Size"));
    sizeMenuButton->setPopupMode(QToolButton::InstantPopup);
    sizeMenuButton->setArrowType(Qt::DownArrow);
    auto *sizeMenu = new QMenu(sizeMenuButton);
    for (int points : {8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 36, 48, 64, 72}) {
        QAction *item = sizeMenu->addAction(QString::number(points));
        connect(item, &QAction::triggered, this, [this, connectors, points, size] {
            size->setText(QString::number(points));
            if (connectors)
                connectorFontSizeMenuAction(points);
            else
                elementFontSizeMenuAction(points);
        });
    }
    sizeMenuButton->setMenu(sizeMenu);
    sizeLayout->addWidget(sizeMenuButton);
    sizeLayout->addStretch();
    form->addRow(tr("Size"), sizeRow);
    auto *faces = new QWidget(pane);
    auto *row = new QHBoxLayout(faces);
    row->setContentsMargins(0, 0, 0, 0);
    QCheckBox **boxes = connectors ? _connTypeface : _elemTypeface;
    const QString faceTitles[] = {tr("Bold"), tr("Italic"), tr("Underline")};
    for (int k = 0; k < 3; ++k) {
        boxes[k] = new QCheckBox(faceTitles[k], faces);
        boxes[k]->setObjectName((connectors ? QStringLiteral("conn") : QStringLiteral("elem"))
                                + faceTitles[k]);
        row->addWidget(boxes[k]);
    }
    form->addRow(tr("Typeface"), faces);
    const QString prefix = connectors ? QStringLiteral("conn") : QStringLiteral("elem");
    auto *aligns = new QWidget(pane);
    auto *alignRow = new QHBoxLayout(aligns);
    alignRow->setContentsMargins(0, 0, 0, 0);
    QToolButton **alignButtons = connectors ? _connAlign : _elemAlign;
    const QString alignNames[] = {QStringLiteral("AlignLeft"), QStringLiteral("AlignCenter"),
                                  QStringLiteral("AlignRight")};
    const QString alignTips[] = {tr("Align Left"), tr("Centre"), tr("Align Right")};
    for (int column = 0; column < 3; ++column) {
        auto *button = new QToolButton(aligns);
        button->setObjectName(prefix + alignNames[column]);
        button->setToolTip(alignTips[column]);
        button->setIcon(alignmentPicture(column));
        button->setCheckable(true);
        alignButtons[column] = button;
        alignRow->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, connectors, column] {
            if (connectors)
                connectorAlignAction(column);
            else
                elementAlignAction(column);
        });
    }
    alignRow->addStretch();
    form->addRow(tr("Alignment"), aligns);
    auto *colours = new QWidget(pane);
    auto *colourRow = new QHBoxLayout(colours);
    colourRow->setContentsMargins(0, 0, 0, 0);
    auto *colourButton = new QntButtonCell(colours);
    colourButton->setObjectName(prefix + QStringLiteral("TextColorButton"));
    colourButton->setToolTip(tr("Text Colour"));
    colourButton->setBordered(true);
    colourButton->setFixedSize(40, 20);
    colourButton->setQntBackgroundColor(Qt::black);
    auto *colourWell = new QntColorWell(colours);
    colourWell->setObjectName(prefix + QStringLiteral("TextColorWell"));
    colourWell->setFixedSize(40, 20);
    colourWell->setColor(Qt::black);
    colourWell->hide();
    colourRow->addWidget(colourButton);
    colourRow->addWidget(colourWell);
    colourRow->addStretch();
    form->addRow(tr("Colour"), colours);
    if (connectors) {
        _connTextColorButton = colourButton;
        _simpleConnectorTextColorWell = colourWell;
    } else {
        _elemTextColorButton = colourButton;
        _simpleElementTextColorWell = colourWell;
    }
    connect(colourButton, &QntButtonCell::clicked, this, [this, connectors, colourButton] {
        if (connectors)
            connectorShowColorMatrixAction(colourButton);
        else
            elementShowColorMatrixAction(colourButton);
    });
    connect(colourWell, &QntColorWell::colorChanged, this, [this, connectors](const QColor &c) {
        if (connectors)
            connectorTextColorAction(c);
        else
            simpleElementTextColorWellAction(c);
    });
    if (!connectors)
        form->addRow(buildPaddingView(pane));
    if (connectors) {
        _connFontFamilyPopUpButton = family;
        _connFontSizeTextField = size;
        connect(family, &QFontComboBox::textActivated, this,
                [this](const QString &f) { connectorFontFamilyAction(f); });
        connect(size, &QLineEdit::returnPressed, this,
                [this, size] { connectorFontSizeAction(size->text()); });
    } else {
        _elemFontFamilyPopUpButton = family;
        _elemFontSizeTextField = size;
        connect(family, &QFontComboBox::textActivated, this,
                [this](const QString &f) { elementFontFamilyAction(f); });
        connect(size, &QLineEdit::returnPressed, this,
                [this, size] { elementFontSizeAction(size->text()); });
    }
    for (int k = 0; k < 3; ++k) {
        connect(boxes[k], &QCheckBox::clicked, this, [this, boxes, connectors] {
            const bool b = boxes[0]->isChecked(), i = boxes[1]->isChecked(),
                       u = boxes[2]->isChecked();
            if (connectors)
                connectorFontTypefaceAction(b, i, u);
            else
                elementFontTypefaceAction(b, i, u);
        });
    }
    return pane;
}

void QntGroupModeInspector::elementFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        editor->fontFamilyAction(family);
        return;
    }
    if (singleTable()) {
        tableFontFamilyAction(family);
        return;
    }
    changeSelection(tr("Changing text attributes"),
                    [&family](const VRObjectRef &o) { return setFamilyOf(o, family, true, true); });
}

bool QntGroupModeInspector::elementFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        editor->fontSizeTextField()->setText(QLocale().toString(size, 'g', 6));
        editor->fontSizeTextFieldAction();
        return true;
    }
    if (singleTable())
        return tableFontSizeAction(typed);
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, true, true);
    });
}

void QntGroupModeInspector::elementFontTypefaceAction(bool bold, bool italic, bool underlined)
{
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        const bool faces[3] = {bold, italic, underlined};
        for (int k = 0; k < 3; ++k)
            editor->typefaceCell(k)->setChecked(faces[k]);
        editor->fontTypefaceAction();
        return;
    }
    if (singleTable()) {
        tableFontTypefaceAction(bold, italic, underlined);
        return;
    }
    const int mask = traitMask(bold, italic);
    const QTextCharFormat format = typefaceFormat(bold, italic, underlined);
    changeSelection(tr("Changing text attributes"), [=](const VRObjectRef &o) {
        if (o->isKindOf<QntElement>() && !o->isKindOf<QntElementTable>()) {
            static_cast<QntElement &>(*o).setTextFontTypeface(mask, underlined);
            mergeTextRuns(o, format);
            return true;
        }
        if (o->isKindOf<QntConnector>()) {
            static_cast<QntConnector &>(*o).setTextFontTypeface(mask, underlined);
            mergeTextRuns(o, format);
            return true;
        }
        return changeFreeText(o, [=](VRTextBlock &block) {
            block.setFont(VRTextBlock::fontWithTraits(block.font(), mask, underlined));
            mergeRuns(block, format);
        });
    });
}

void QntGroupModeInspector::connectorFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    changeSelection(tr("Changing text attributes"), [&family](const VRObjectRef &o) {
        return setFamilyOf(o, family, false, true);
    });
}

bool QntGroupModeInspector::connectorFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, false, true);
    });
}

void QntGroupModeInspector::connectorFontTypefaceAction(bool bold, bool italic, bool underlined)
{
    const int mask = traitMask(bold, italic);
    const QTextCharFormat format = typefaceFormat(bold, italic, underlined);
    changeSelection(tr("Changing text attributes"), [=](const VRObjectRef &o) {
        if (!o->isKindOf<QntConnector>())
            return false;
        static_cast<QntConnector &>(*o).setTextFontTypeface(mask, underlined);
        mergeTextRuns(o, format);
        return true;
    });
}

QntElementModeInspector *QntGroupModeInspector::tableTextInspector()
{
    mainView();
    // A table with no picked cells takes the change in all of them (with none picked the
    // change would otherwise reach no cell at all).
    for (const VRObjectRef &object : selection()) {
        if (object && object->isKindOf<QntElementTable>()) {
            auto &table = static_cast<QntElementTable &>(*object);
            if (table.selectedCells().isEmpty())
                table.selectAllTextCells();
        }
    }
    QntElementModeInspector *inspector = tableInspector(false);
    inspector->setTableApplyToAllCellsCheckboxValue(
        _tableApplyToAllCellsCheckbox && _tableApplyToAllCellsCheckbox->isChecked() ? 1 : 0);
    return inspector;
}

void QntGroupModeInspector::tableFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    QntElementModeInspector *inspector = tableTextInspector();
    inOneStep(tr("Changing text attributes"),
              [inspector, &family] { inspector->tableFontFamilyAction(family); });
    inspector->setContextObject(nullptr);
}

bool QntGroupModeInspector::tableFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return tableFontSizeMenuAction(size);
}

bool QntGroupModeInspector::tableFontSizeMenuAction(double size)
{
    if (!std::isfinite(size) || size <= 0)
        return false;
    QntElementModeInspector *inspector = tableTextInspector();
    inspector->tableControls().fontSizeTextField->setText(
        QLocale().toString(std::min(size, 1000.0), 'g', 6));
    inOneStep(tr("Changing text attributes"),
              [inspector] { inspector->tableFontSizeTextFieldAction(); });
    inspector->setContextObject(nullptr);
    return true;
}

void QntGroupModeInspector::tableFontTypefaceAction(bool bold, bool italic, bool underlined)
{
    QntElementModeInspector *inspector = tableTextInspector();
    const bool faces[3] = {bold, italic, underlined};
    for (int k = 0; k < 3; ++k)
        inspector->tableControls().typeface[k]->setChecked(faces[k]);
    inOneStep(tr("Changing text attributes"),
              [inspector] { inspector->tableFontTypefaceAction(); });
    inspector->setContextObject(nullptr);
}

void QntGroupModeInspector::tableAlignAction(int column)
{
    if (column < 0 || column > 2)
        return;
    QntElementModeInspector *inspector = tableTextInspector();
    inOneStep(tr("Changing text attributes"),
              [inspector, column] { inspector->tableAlignAction(column); });
    inspector->setContextObject(nullptr);
}

bool QntGroupModeInspector::tableTextColorAction(const QColor &colour)
{
    if (!colour.isValid())
        return false;
    showColour(_elemTextColorButton, _simpleElementTextColorWell, colour);
    QntElementModeInspector *inspector = tableTextInspector();
    inOneStep(tr("Changing text attributes"),
              [inspector, colour] { inspector->tableTextColorAction(colour); });
    inspector->setContextObject(nullptr);
    return true;
}

// ---------------------------------------------------------------- text edited in place

VRObjectRef QntGroupModeInspector::objectEditedInline() const
{
    if (!UserDefaults::standardUserDefaults().boolForKey(kQntEnableInlineEditor))
        return nullptr;
    const VRObjectList objects = selection();
    if (objects.size() != 1 || !objects.first())
        return nullptr;
    const VRObjectRef &single = objects.first();
    VRDrawingDocument *document = currentDocument();
    const VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!view || !view->inlineEditor() || view->drawing() != targetDrawing())
        return nullptr;
    const VRObjectRef edited = view->inlineEditedObject();
    if (!edited)
        return nullptr;
    if (single->isKindOf<QntElement>() && !single->isKindOf<QntElementTable>()) {
        const QntTextShape *text = static_cast<const QntElement &>(*single).text();
        if (edited == single || (text && edited.get() == text))
            return single;
    } else if ((single->isKindOf<QntConnector>() || single->isKindOf<VRTextShape>())
               && edited == single) {
        return single;
    }
    return nullptr;
}

namespace {
// Whether the text edited in place belongs to the object: the object itself, the text part of
// an element or a cell of a table.
bool holdsEditedText(const VRObjectRef &object, const VRObjectRef &edited)
{
    if (!object || !edited)
        return false;
    if (object == edited)
        return true;
    if (object->isKindOf<QntElementTable>()) {
        for (const VRObjectRef &cell : static_cast<const QntElementTable &>(*object).cells()) {
            if (cell == edited)
                return true;
        }
        return false;
    }
    if (object->isKindOf<QntElement>()) {
        const QntTextShape *text = static_cast<const QntElement &>(*object).text();
        return text && edited.get() == text;
    }
    return false;
}
} // namespace

void QntGroupModeInspector::finishEditingInPlaceAmongSeveral()
{
    // The one object edited in place takes the text changes in the editor itself.
    if (objectEditedInline())
        return;
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *view = document ? document->mainView() : nullptr;
    if (!view || !view->inlineEditor() || view->drawing() != targetDrawing())
        return;
    const VRObjectRef edited = view->inlineEditedObject();
    for (const VRObjectRef &object : selection()) {
        if (holdsEditedText(object, edited)) {
            // The typing stays a step of its own, apart from the change that follows, unless
            // a step is being gathered already.
            VRUndoManager *undo = undoManager();
            const bool apart = undo && undo->groupingLevel() == 0;
            view->endInlineEditing(true);
            if (apart)
                undo->closeOpenGroups();
            return;
        }
    }
}

QntElementTextEditor *QntGroupModeInspector::inlineTextEditor()
{
    const VRObjectRef edited = objectEditedInline();
    if (!edited)
        return nullptr;
    QntElementTextEditor *editor = elementTextEditor();
    editor->setContextObject(edited);
    editor->setMultipleSelectionMode(0);
    editor->setMultipleTextCellsSelectionMode(0);
    return editor;
}

void QntGroupModeInspector::inlineEditingStartedNotification(const Notification &)
{
    if (!_elemFontSizeTextField || !inlineTextEditor())
        return;
    VRDrawingDocument *document = currentDocument();
    QTextEdit *text =
        document && document->mainView() ? document->mainView()->inlineEditor() : nullptr;
    if (!text)
        return;
    // The in-place editor is made anew for each edit, and these go with it.
    connect(text, &QTextEdit::cursorPositionChanged, this, [this] { showInlineTextAttributes(); });
    connect(text, &QTextEdit::selectionChanged, this, [this] { showInlineTextAttributes(); });
    showInlineTextAttributes();
}

void QntGroupModeInspector::showInlineTextAttributes()
{
    if (QntElementTextEditor *editor = inlineTextEditor())
        showTextAttributesOf(editor);
}

void QntGroupModeInspector::showTextAttributesOf(QntElementTextEditor *editor)
{
    if (!editor || !_elemFontSizeTextField)
        return;
    editor->updateTextAttributesControls();
    const QSignalBlocker quietFamily(_elemFontFamilyPopUpButton);
    const QString family = editor->fontFamilyPopUpButton()->text();
    if (!family.isEmpty())
        _elemFontFamilyPopUpButton->setCurrentFont(QFont(family));
    _elemFontSizeTextField->setText(editor->fontSizeTextField()->text());
    for (int k = 0; k < 3; ++k)
        _elemTypeface[k]->setChecked(editor->typefaceCell(k)->isChecked());
    int column = -1;
    for (int c = 0; c < 3; ++c)
        if (editor->alignCell(c)->isChecked())
            column = c;
    checkOnly(_elemAlign, column);
    const QSignalBlocker quietWell(_simpleElementTextColorWell);
    showColour(_elemTextColorButton, _simpleElementTextColorWell, editor->colorWell()->color());
}

namespace {
// How a free text looks where it starts: its font, colour and alignment (the framework's value)
// as its first character and first paragraph have them.
struct TextLook {
    QFont font;
    QColor colour;
    int alignment = 2;
};

TextLook lookOfFirstCharacter(const VRTextBlock &block)
{
    TextLook look{block.font(), block.colour(), block.alignment()};
    if (block.isEmpty())
        return look;
    QTextDocument document;
    QTextCursor(&document).insertFragment(block.fragment());
    QTextCursor first(&document);
    first.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat run = first.charFormat();
    const QStringList families = run.fontFamilies().toStringList();
    if (!families.isEmpty())
        look.font.setFamily(families.constFirst());
    if (run.hasProperty(QTextFormat::FontPointSize) && run.fontPointSize() > 0)
        look.font.setPointSizeF(run.fontPointSize());
    if (run.hasProperty(QTextFormat::FontWeight))
        look.font.setWeight(QFont::Weight(run.fontWeight()));
    if (run.hasProperty(QTextFormat::FontItalic))
        look.font.setItalic(run.fontItalic());
    if (run.hasProperty(QTextFormat::TextUnderlineStyle))
        look.font.setUnderline(run.fontUnderline());
    if (run.hasProperty(QTextFormat::ForegroundBrush))
        look.colour = run.foreground().color();
    const QTextBlockFormat paragraph = document.begin().blockFormat();
    if (paragraph.hasProperty(QTextFormat::BlockAlignment)) {
        look.alignment = VRTextBlock::alignmentFromQt(paragraph.alignment());
    }
    return look;
}
} // namespace

void QntGroupModeInspector::showTextAttributesOf(const VRTextShapeBase &text)
{
    if (!_elemFontSizeTextField)
        return;
    const TextLook look = lookOfFirstCharacter(text.textBlock());
    {
        const QSignalBlocker quietFamily(_elemFontFamilyPopUpButton);
        _elemFontFamilyPopUpButton->setCurrentFont(QFont(look.font.family()));
    }
    _elemFontSizeTextField->setText(QLocale().toString(look.font.pointSizeF(), 'g', 4));
    const bool faces[3] = {look.font.bold(), look.font.italic(), look.font.underline()};
    for (int k = 0; k < 3; ++k)
        _elemTypeface[k]->setChecked(faces[k]);
    // Columns: left, centre, right; a justified text shows none.
    const int column = look.alignment == 0   ? 0
                       : look.alignment == 2 ? 1
                       : look.alignment == 1 ? 2
                                             : -1;
    checkOnly(_elemAlign, column);
    const QSignalBlocker quietWell(_simpleElementTextColorWell);
    showColour(_elemTextColorButton, _simpleElementTextColorWell, look.colour);
}

void QntGroupModeInspector::elementAlignAction(int column)
{
    if (column < 0 || column > 2)
        return;
    checkOnly(_elemAlign, column);
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        editor->alignAction(column);
        return;
    }
    if (singleTable()) {
        tableAlignAction(column);
        return;
    }
    // Tables align the text of all their cells; every paragraph of a free text takes the
    // alignment.
    QntElementTextEditor *editor = prepareEditor(
        elementTextEditor(), {u"QntElement", u"QntConnector", u"QntElementTable"}, true);
    const VRObjectList freeTexts = freeTextsAmong(selection());
    const int alignment = column == 0 ? 0 : column == 1 ? 2 : 1;
    inOneStep(tr("Changing text attributes"), [&] {
        editor->alignAction(column);
        for (const VRObjectRef &text : freeTexts)
            changeFreeText(text, [alignment](VRTextBlock &b) { alignFreeText(b, alignment); });
    });
}

void QntGroupModeInspector::connectorAlignAction(int column)
{
    if (column < 0 || column > 2)
        return;
    checkOnly(_connAlign, column);
    QntElementTextEditor *editor = prepareEditor(elementTextEditor(), {u"QntConnector"}, false);
    inOneStep(tr("Changing text attributes"), [editor, column] { editor->alignAction(column); });
}

bool QntGroupModeInspector::elementFontSizeMenuAction(double size)
{
    if (!std::isfinite(size) || size <= 0)
        return false;
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        editor->fontSizeTextField()->setText(QLocale().toString(std::min(size, 1000.0), 'g', 6));
        editor->fontSizeTextFieldAction();
        return true;
    }
    if (singleTable())
        return tableFontSizeMenuAction(size);
    // The menu's sizes go to elements, free texts and connector labels; tables keep theirs.
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return !o->isKindOf<QntElementTable>() && setFontSizeOf(o, size, true, true);
    });
}

bool QntGroupModeInspector::connectorFontSizeMenuAction(double size)
{
    if (!std::isfinite(size) || size <= 0)
        return false;
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, false, true);
    });
}

bool QntGroupModeInspector::elementTextColorAction(const QColor &colour)
{
    if (!colour.isValid())
        return false;
    showColour(_elemTextColorButton, _simpleElementTextColorWell, colour);
    if (QntElementTextEditor *editor = inlineTextEditor()) {
        editor->colorMatrixAction(colour);
        return true;
    }
    if (singleTable())
        return tableTextColorAction(colour);
    QTextCharFormat format;
    format.setForeground(colour);
    // Runs with a colour of their own take the new one too.
    return changeSelection(tr("Changing text attributes"), [&](const VRObjectRef &o) {
        if (o->isKindOf<QntElementTable>())
            return false;
        if (o->isKindOf<QntElement>()) {
            static_cast<QntElement &>(*o).setTextColor(colour);
            mergeTextRuns(o, format);
            return true;
        }
        if (o->isKindOf<QntConnector>()) {
            auto &c = static_cast<QntConnector &>(*o);
            c.setTextColour(colour);
            mergeTextRuns(o, format);
            c.textDidChange();
            return true;
        }
        return changeFreeText(o, [&](VRTextBlock &block) {
            block.setColour(colour);
            mergeRuns(block, format);
        });
    });
}

bool QntGroupModeInspector::simpleElementTextColorWellAction(const QColor &colour)
{
    if (!colour.isValid())
        return false;
    if (inlineTextEditor() || singleTable())
        return elementTextColorAction(colour);
    showColour(_elemTextColorButton, _simpleElementTextColorWell, colour);
    // The text editor colours every selected element's and connector's text, runs with a colour
    // of their own included; free texts take the colour in the same step.
    const bool styled = !objectsInSelectionOfClasses({VRClassInfo::byName(u"QntElement"),
                                                      VRClassInfo::byName(u"QntConnector")})
                             .isEmpty();
    const VRObjectList freeTexts = freeTextsAmong(selection());
    if (!styled && freeTexts.isEmpty())
        return false;
    QntElementTextEditor *editor =
        prepareEditor(elementTextEditor(), {u"QntElement", u"QntConnector"}, false);
    QTextCharFormat format;
    format.setForeground(colour);
    inOneStep(tr("Changing text attributes"), [&] {
        if (styled)
            editor->colorMatrixAction(colour);
        for (const VRObjectRef &text : freeTexts) {
            changeFreeText(text, [&](VRTextBlock &block) {
                block.setColour(colour);
                mergeRuns(block, format);
            });
        }
    });
    return true;
}

bool QntGroupModeInspector::connectorTextColorAction(const QColor &colour)
{
    if (!colour.isValid())
        return false;
    showColour(_connTextColorButton, _simpleConnectorTextColorWell, colour);
    QTextCharFormat format;
    format.setForeground(colour);
    return changeSelection(tr("Changing text attributes"), [&](const VRObjectRef &o) {
        if (!o->isKindOf<QntConnector>())
            return false;
        auto &c = static_cast<QntConnector &>(*o);
        c.setTextColour(colour);
        mergeTextRuns(o, format);
        c.textDidChange();
        return true;
    });
}

void QntGroupModeInspector::elementShowColorMatrixAction(QWidget *from)
{
    if (singleTable() && !inlineTextEditor()) {
        tableShowColorMatrixAction(from);
        return;
    }
    showTextColourSwatches(from, TextTarget::Elements);
}

void QntGroupModeInspector::connectorShowColorMatrixAction(QWidget *from)
{
    showTextColourSwatches(from, TextTarget::Connectors);
}

void QntGroupModeInspector::tableShowColorMatrixAction(QWidget *from)
{
    showTextColourSwatches(from, TextTarget::TableCells);
}

void QntGroupModeInspector::showTextColourSwatches(QWidget *from, TextTarget target)
{
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!from || !notation)
        return;
    QList<QColor> colours = notation->colorSchemesColors();
    colours << QColor(Qt::black) << QColor(Qt::white);
    QntColorMatrix *grid = populateColorMatrix(
        colours, 1, QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f), [this, target](QntColorMatrix *m) {
            const QntColorMatrix::Cell *cell = m ? m->selectedCell() : nullptr;
            if (!cell || cell->representedObject.metaType() != QMetaType::fromType<QColor>())
                return;
            const QColor colour = cell->representedObject.value<QColor>();
            if (colour.alpha() == 0)
                return;
            switch (target) {
            case TextTarget::Connectors: connectorTextColorAction(colour); break;
            case TextTarget::TableCells: tableTextColorAction(colour); break;
            case TextTarget::Elements: elementTextColorAction(colour); break;
            }
        });
    grid->sizeToCells();
    // The panel survives losing the focus to the popover.
    if (_attachedWindow)
        _attachedWindow->setCloseOnResignKeyWindow(false);
    AXAttachedWindow *popover =
        createMatrixbarAtPoint(attachPointOfWidget(from, AXAttachedWindow::kAbove), grid, m_waiting,
                               AXAttachedWindow::kAbove, false);
    if (!popover || popover->isReleased()) {
        if (_attachedWindow && !m_waiting)
            _attachedWindow->setCloseOnResignKeyWindow(true);
        return;
    }
    // Text being edited in place stays in its editor while a colour is picked for it.
    popover->setProperty(VRDrawingView::kKeepsInlineEditingProperty, true);
    popover->orderFront(true);
    waitForPopover(popover);
}

void QntGroupModeInspector::updateTextColorButton()
{
    showColour(_elemTextColorButton, _simpleElementTextColorWell, Qt::black);
    showColour(_connTextColorButton, _simpleConnectorTextColorWell, Qt::black);
    checkOnly(_elemAlign, -1);
    checkOnly(_connAlign, -1);
}

void QntGroupModeInspector::populateTextColorButtons()
{
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool custom = notation && notation->isCustomizable();
    for (QntButtonCell *button : {_elemTextColorButton, _connTextColorButton})
        if (button)
            button->setVisible(!custom);
    for (QntColorWell *well : {_simpleElementTextColorWell, _simpleConnectorTextColorWell})
        if (well)
            well->setVisible(custom);
    const VRObjectList objects = selection();
    if (objects.size() != 1 || !objects.first())
        return;
    const VRObjectRef &object = objects.first();
    if (object->isKindOf<QntConnector>()) {
        showColour(_connTextColorButton, _simpleConnectorTextColorWell,
                   static_cast<const QntConnector &>(*object).textColour());
    } else if (object->isKindOf<QntElement>() && !object->isKindOf<QntElementTable>()) {
        if (const QntTextShape *text = static_cast<const QntElement &>(*object).text())
            showColour(_elemTextColorButton, _simpleElementTextColorWell,
                       text->textBlock().colour());
    }
}
