// DIDizeZoziDocument: the sequence pane's layout action and the Sequence Diagram section.
#include "app/window/DIDizeZoziDocument.h"

#include "app/window/OXOverlayController.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/sequence/QntSequenceLayoutManager.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/MenuAdditions.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kConnectorIdKey = QStringLiteral("SEQUENCE_DIAGRAM_CONNECTOR_ID");
const QString kTimelineIdKey = QStringLiteral("SEQUENCE_DIAGRAM_TIMELINE_ID");
const QString kElementIdKey = QStringLiteral("SEQUENCE_DIAGRAM_ELEMENT_ID");
const QString kGeneratedKey = QStringLiteral("SEQ");
const QString kFontSizeMenuTitle = QStringLiteral("QntSeqFontSizeMenu");

// The leading decimal integer of a text; 0 when there is none.
int leadingInteger(const QString &text)
{
    const QString trimmed = text.trimmed();
    int end = 0;
    if (end < trimmed.size()
        && (trimmed[end] == QLatin1Char('-') || trimmed[end] == QLatin1Char('+')))
        ++end;
    while (end < trimmed.size() && trimmed[end].isDigit() && end < 10)
        ++end;
    bool ok = false;
    const int value = trimmed.left(end).toInt(&ok);
    return ok ? value : 0;
}

QVariant styleVariant(const VRStyleRef &style)
{
    return QVariant::fromValue(style);
}

} // namespace

QWidget *DIDizeZoziDocument::makeSequenceSectionView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("sectionSequenceDiagram"));
    auto *form = new QFormLayout(view);
    form->setContentsMargins(12, 8, 12, 8);
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(6);
    form->setLabelAlignment(Qt::AlignRight);
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const auto caption = [view](const QString &text) {
        auto *label = new QLabel(text, view);
        label->setStyleSheet(QStringLiteral("QLabel { color: #444444; }"));
        return label;
    };
    const auto field = [&](const QString &key, const QString &title) {
        auto *edit = new QLineEdit(view);
        edit->setObjectName(key);
        edit->setValidator(new QIntValidator(1, 5000, edit));
        edit->setText(QString::number(defaults.integerForKey(key)));
        edit->setMaximumWidth(80);
        form->addRow(caption(title), edit);
        m_sequenceParameterFields.insert(key, edit);
        return edit;
    };
    field(QntSeqMinEntityWidthKey, tr("Entity width"));
    field(QntSeqMinEntityHeightKey, tr("Entity height"));
    field(QntSeqPaddingLeftKey, tr("Left padding"));
    field(QntSeqPaddingTopKey, tr("Top padding"));
    field(QntSeqContainerMarginKey, tr("Container margin"));
    field(QntSeqContainerLedgeKey, tr("Container ledge"));

    _fontFamilyPopUp = new QComboBox(view);
    _fontFamilyPopUp->setObjectName(QStringLiteral("fontFamilyPopUp"));
    _fontFamilyPopUp->setMaximumWidth(170);
    _fontFamilyPopUp->addItems(QFontDatabase::families());
    // A family the system only substitutes (Helvetica on Linux) is still offered by its name.
    const QString family = defaults.stringForKey(QntSeqFontNameKey);
    if (!family.isEmpty() && _fontFamilyPopUp->findText(family) < 0)
        _fontFamilyPopUp->insertItem(0, family);
    _fontFamilyPopUp->setCurrentIndex(_fontFamilyPopUp->findText(family));
    connect(_fontFamilyPopUp, &QComboBox::activated, this,
            [this](int index) { fontFamilyAction(_fontFamilyPopUp->itemText(index)); });
    form->addRow(caption(tr("Font")), _fontFamilyPopUp);

    auto *sizeRow = new QWidget(view);
    auto *sizeLayout = new QHBoxLayout(sizeRow);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    sizeLayout->setSpacing(2);
    _fontSizeTextField = new QLineEdit(sizeRow);
    _fontSizeTextField->setObjectName(QntSeqFontSizeKey);
    _fontSizeTextField->setValidator(new QIntValidator(1, 200, _fontSizeTextField));
    _fontSizeTextField->setMaximumWidth(56);
    _fontSizeTextField->setText(QString::number(defaults.integerForKey(QntSeqFontSizeKey)));
    m_sequenceParameterFields.insert(QntSeqFontSizeKey, _fontSizeTextField);
    connect(_fontSizeTextField, &QLineEdit::returnPressed, this,
            &DIDizeZoziDocument::fontSizeTextFieldAction);
    _fontSizeMenu = new QMenu(kFontSizeMenuTitle, sizeRow);
    _fontSizeMenu->setObjectName(QStringLiteral("fontSizeMenu"));
    for (int size : {9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 36, 48})
        _fontSizeMenu->addAction(QString::number(size));
    // The menu belongs to this document alone: a size chosen here changes only this field.
    connect(_fontSizeMenu, &QMenu::triggered, this, &DIDizeZoziDocument::fontSizeMenuItemChanged);
    _fontSizeMenuButton = new QToolButton(sizeRow);
    _fontSizeMenuButton->setObjectName(QStringLiteral("fontSizeMenuButton"));
    _fontSizeMenuButton->setArrowType(Qt::DownArrow);
    _fontSizeMenuButton->setToolTip(tr("Font sizes"));
    connect(_fontSizeMenuButton, &QToolButton::clicked, this,
            &DIDizeZoziDocument::fontSizeMenuAction);
    sizeLayout->addWidget(_fontSizeTextField);
    sizeLayout->addWidget(_fontSizeMenuButton);
    sizeLayout->addStretch(1);
    form->addRow(caption(tr("Font size")), sizeRow);
    view->resize(int(kInspectorWidth), 250);
    return view;
}

QLineEdit *DIDizeZoziDocument::sequenceParameterField(const QString &optionKey) const
{
    return m_sequenceParameterFields.value(optionKey);
}

namespace {
int fieldValue(const QHash<QString, QLineEdit *> &fields, const QString &key)
{
    const QLineEdit *field = fields.value(key);
    return field ? leadingInteger(field->text()) : 0;
}
} // namespace

int DIDizeZoziDocument::entityWidth() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqMinEntityWidthKey);
}

int DIDizeZoziDocument::entityHeight() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqMinEntityHeightKey);
}

int DIDizeZoziDocument::paddingLeft() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqPaddingLeftKey);
}

int DIDizeZoziDocument::paddingTop() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqPaddingTopKey);
}

int DIDizeZoziDocument::containerMargin() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqContainerMarginKey);
}

int DIDizeZoziDocument::containerLedge() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqContainerLedgeKey);
}

int DIDizeZoziDocument::fontSize() const
{
    return fieldValue(m_sequenceParameterFields, QntSeqFontSizeKey);
}

QString DIDizeZoziDocument::fontName() const
{
    if (!_fontFamilyPopUp || _fontFamilyPopUp->currentIndex() < 0)
        return QStringLiteral("Helvetica");
    return _fontFamilyPopUp->currentText();
}

void DIDizeZoziDocument::fontFamilyAction(const QString &family)
{
    if (family.isEmpty())
        return;
    if (_fontFamilyPopUp && _fontFamilyPopUp->currentText() != family)
        _fontFamilyPopUp->setCurrentIndex(_fontFamilyPopUp->findText(family));
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(family, QntSeqFontNameKey);
    defaults.synchronize();
}

void DIDizeZoziDocument::fontSizeTextFieldAction()
{
    if (!_fontSizeTextField)
        return;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(qint64(leadingInteger(_fontSizeTextField->text())), QntSeqFontSizeKey);
    defaults.synchronize();
}

void DIDizeZoziDocument::fontSizeMenuAction()
{
    if (!_fontSizeMenu || !_fontSizeMenuButton)
        return;
    // The chosen size reaches fontSizeMenuItemChanged through the menu's own signal.
    MenuAdditions::popUpMenu(_fontSizeMenu, _fontSizeMenuButton, false);
}

void DIDizeZoziDocument::fontSizeMenuItemChanged(QAction *item)
{
    // Only the field's text changes: the next layout uses the size, the defaults keep theirs.
    if (!item || !_fontSizeTextField || !_fontSizeMenu || !_fontSizeMenu->actions().contains(item)
        || _fontSizeMenu->title() != kFontSizeMenuTitle)
        return;
    _fontSizeTextField->setText(item->text());
}

void DIDizeZoziDocument::onTreeNodeDeleted(QntSeqTreeNode &node)
{
    const QString id = node.representedObject()->ID();
    if (!id.isEmpty())
        drawing()->sequenceStyleDic().remove(id);
}

void DIDizeZoziDocument::onTableColumnDeleted(const QString &columnIdentifier)
{
    if (!columnIdentifier.isEmpty())
        drawing()->sequenceStyleDic().remove(columnIdentifier);
}

void DIDizeZoziDocument::sequenceLayoutAction()
{
    QntSequenceDiagramController *controller = m_sequenceController;
    VRDrawing *d = drawing();
    if (!controller || !d)
        return;
    if (!controller->canBuildSeqDiagram()) {
        // The looks the user gave stay: they are kept for the next diagram that can be built.
        showOverlayMessage(controller->numberOfColumns()
                                   <= QntSequenceDiagramController::kFixedColumns
                               ? tr("Add a timeline first")
                               : tr("Add a message first"));
        QPointer<OXOverlayController> overlay = overlayController();
        QTimer::singleShot(1500, this, [overlay] {
            if (overlay)
                overlay->endOverlay();
        });
        return;
    }
    auto *layer = d->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return;
    VRUndoManager *undo = d->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer->deselectAll();

    // Remember the looks of the objects the last layout made, then take those objects away.
    QVariantMap &looks = d->sequenceStyleDic();
    VRObjectList generated;
    for (const VRObjectRef &object : layer->objects()) {
        const QString c = object->stringForKey(kConnectorIdKey);
        if (!c.isEmpty()) {
            const QString p = c + QStringLiteral("-CONNECTOR_PROPERTIES");
            const QVariant oldStyle = looks.value(c);
            const bool hadProperties = looks.contains(p);
            const QVariantMap oldProperties = looks.value(p).toMap();
            if (oldStyle.metaType().id() == QMetaType::QString) {
                // The kind changed since: the new connector starts from the defaults.
                looks.remove(c);
                looks.remove(p);
            } else if (object->isKindOf<QntConnector>()) {
                const auto &connector = static_cast<const QntConnector &>(*object);
                // A connector drawn with a notation's skin keeps its own style beside the
                // skin; without one, its shaft style is its look.
                const QVariantMap skin = connector.skinOptions();
                looks.insert(c, styleVariant(skin.isEmpty()
                                                 ? QntSequenceLayoutManager::shaftStyle(connector)
                                                 : connector.style()));
                QVariantMap label{{QStringLiteral("LayoutMode"), connector.layoutMode()},
                                  {QStringLiteral("TextYOffset"), connector.textYOffset()},
                                  {QStringLiteral("TextXOffset"), connector.textXOffset()},
                                  {QStringLiteral("TextAlign"), connector.alignment()},
                                  {QStringLiteral("OffsetForPointForTextLayoutX"),
                                   connector.offsetForPointForTextLayout().width()},
                                  {QStringLiteral("OffsetForPointForTextLayoutY"),
                                   connector.offsetForPointForTextLayout().height()}};
                // A role change since dropped the placement: it is made afresh once.
                if (hadProperties && !oldProperties.contains(QStringLiteral("LayoutMode")))
                    label.clear();
                if (!skin.isEmpty())
                    label.insert(QStringLiteral("SkinOptions"), skin);
                if (label.isEmpty())
                    looks.remove(p);
                else
                    looks.insert(p, label);
            }
            generated << object;
        }
        const QString t = object->stringForKey(kTimelineIdKey);
        if (!t.isEmpty()) {
            if (object->isKindOf<QntConnector>())
                looks.insert(t, styleVariant(QntSequenceLayoutManager::shaftStyle(
                                    static_cast<const QntConnector &>(*object))));
            if (!generated.contains(object))
                generated << object;
            continue;
        }
        const QString e = object->stringForKey(kElementIdKey);
        if (!e.isEmpty()) {
            if (object->isKindOf<QntElement>()) {
                const auto &element = static_cast<const QntElement &>(*object);
                if (VRObjectRef contour = element.contourObject())
                    looks.insert(e, styleVariant(contour->style()));
                looks.insert(
                    e + QStringLiteral("_PROPERTIES"),
                    QVariantMap{{QStringLiteral("PaddingLeftRight"), element.paddingLeftRight()},
                                {QStringLiteral("PaddingTopBottom"), element.paddingTopBottom()}});
            }
            if (!generated.contains(object))
                generated << object;
            continue;
        }
        if (object->hasMetadataForKey(kGeneratedKey) && !generated.contains(object))
            generated << object;
    }
    layer->removeObjectsInArray(generated);

    const std::shared_ptr<ISDiagram> diagram = controller->sequenceDiagram();
    controller->saveSequenceToDrawing(d);
    const QVariantMap options{{QntSeqMinEntityWidthKey, entityWidth()},
                              {QntSeqMinEntityHeightKey, entityHeight()},
                              {QntSeqPaddingLeftKey, paddingLeft()},
                              {QntSeqPaddingTopKey, paddingTop()},
                              {QntSeqContainerMarginKey, containerMargin()},
                              {QntSeqContainerLedgeKey, containerLedge()},
                              {QntSeqFontNameKey, fontName()},
                              {QntSeqFontSizeKey, fontSize()}};
    {
        QntSequenceLayoutManager manager;
        manager.setDiagram(diagram);
        manager.performDrawingOnDrawing(d, controller->timelineIdentifiersAndNames(), options);
    }
    if (undo) {
        undo->setActionName(tr("Sequence Layout"));
        undo->endUndoGrouping();
    }
}
