#include "inspectors/QntGroupModeInspector.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRTextBlock.h"

#include <QCheckBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <cmath>

// The text panes of elements, connectors and tables.

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
    return false;
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
    return false;
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
    form->addRow(tr("Size"), size);
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
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return setFontSizeOf(o, size, true, true);
    });
}

void QntGroupModeInspector::elementFontTypefaceAction(bool bold, bool italic, bool underlined)
{
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
        return false;
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

void QntGroupModeInspector::tableFontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    changeSelection(tr("Changing text attributes"), [&family](const VRObjectRef &o) {
        return o->isKindOf<QntElementTable>() && setFamilyOf(o, family, true, false);
    });
}

bool QntGroupModeInspector::tableFontSizeAction(const QString &typed)
{
    double size = 0;
    if (!readFontSize(typed, &size)) {
        refuse(tr("\"%1\" is not a font size.").arg(typed));
        return false;
    }
    return changeSelection(tr("Changing text attributes"), [size](const VRObjectRef &o) {
        return o->isKindOf<QntElementTable>() && setFontSizeOf(o, size, true, false);
    });
}
