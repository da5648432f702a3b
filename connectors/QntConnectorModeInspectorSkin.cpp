// QntConnectorModeInspector: the connector-style window of skin notations (shaft pop-up with
// dashes and thick-line bodies, arrowhead matrices, arrowhead lengths, routing), the dash action
// and the last-applied skin settings shared by every instance.
#include "connectors/QntConnectorModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/BWTransparentButton.h"
#include "inspectors/BWTransparentSlider.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntTextFieldCell.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>

#include <numbers>
#include <optional>

namespace {
constexpr int kTagRole = Qt::UserRole;
constexpr int kDashIndexRole = Qt::UserRole + 1;
constexpr int kConnectorIdRole = Qt::UserRole + 2;

struct LastApplied {
    QString adornmentId;
    QString startArrowheadId;
    QString endArrowheadId;
    qint64 startSchemeId = 0;
    qint64 endSchemeId = 0;
    QSizeF startSize{0, 0};
    QSizeF endSize{0, 0};
    VRDashRef dash;
    int dashTag = QntContextMenu::kSolidLineTag;
};
LastApplied &lastApplied()
{
    static LastApplied settings;
    return settings;
}

QHash<QString, QImage> &arrowheadImageCache()
{
    static QHash<QString, QImage> cache;
    return cache;
}

QVariant idOrNull(const QString &id)
{
    return id.isNull() ? QVariant::fromValue(VRNull{}) : QVariant(id);
}

QString startArrowId(const QntConnector &connector)
{
    const QntConnectorArrow *arrow = connector.startEndPoint()->arrow();
    return arrow ? arrow->ID() : QString();
}

QString endArrowId(const QntConnector &connector)
{
    const QntConnectorArrow *arrow = connector.endEndPoint()->arrow();
    return arrow ? arrow->ID() : QString();
}

// The style the shaft is drawn with: the skin's own, else the connector's.
VRStyleRef shaftStyleOf(const QntConnector &connector)
{
    return connector.shaftStyle();
}

// Holds one undo group open while an action changes each of its connectors, so that a change
// of several connectors at once is one undo step.
class OneUndoStep
{
public:
    explicit OneUndoStep(VRUndoManager *undo)
        : m_undo(undo)
    {
        if (m_undo)
            m_undo->beginUndoGrouping();
    }
    ~OneUndoStep()
    {
        if (m_undo)
            m_undo->endUndoGrouping();
    }
    OneUndoStep(const OneUndoStep &) = delete;
    OneUndoStep &operator=(const OneUndoStep &) = delete;

private:
    QPointer<VRUndoManager> m_undo;
};

void setComboItemHidden(QComboBox *popUp, int tag, bool hidden)
{
    const int index = popUp->findData(tag, kTagRole);
    if (auto *view = qobject_cast<QListView *>(popUp->view()); view && index >= 0)
        view->setRowHidden(index, hidden);
}
} // namespace

// ---------------------------------------------------------------- last-applied settings

void QntConnectorModeInspector::setLastAppliedAdornmentId(const QString &id)
{
    lastApplied().adornmentId = id;
}

void QntConnectorModeInspector::setLastAppliedStartArrowheadId(const QString &id)
{
    lastApplied().startArrowheadId = id;
}

void QntConnectorModeInspector::setLastAppliedEndArrowheadId(const QString &id)
{
    lastApplied().endArrowheadId = id;
}

QVariant QntConnectorModeInspector::lastAppliedAdornmentId()
{
    return idOrNull(lastApplied().adornmentId);
}

QVariant QntConnectorModeInspector::lastAppliedStartArrowheadId()
{
    return idOrNull(lastApplied().startArrowheadId);
}

QVariant QntConnectorModeInspector::lastAppliedEndArrowheadId()
{
    return idOrNull(lastApplied().endArrowheadId);
}

QSizeF QntConnectorModeInspector::lastStartArrowheadSize()
{
    return lastApplied().startSize;
}

QSizeF QntConnectorModeInspector::lastEndArrowheadSize()
{
    return lastApplied().endSize;
}

void QntConnectorModeInspector::resetLastAppliedSettings()
{
    lastApplied() = LastApplied();
}

QVariantMap QntConnectorModeInspector::lastAppliedSettings()
{
    const LastApplied &last = lastApplied();
    QVariantMap settings{
        {QStringLiteral("lastColorSchemeIdStartArrow"), last.startSchemeId},
        {QStringLiteral("lastColorSchemeIdEndArrow"), last.endSchemeId},
        {QStringLiteral("lastStrokeDashTag"), last.dashTag},
        {QStringLiteral("lastSizeStartArrow"), last.startSize},
        {QStringLiteral("lastSizeEndArrow"), last.endSize},
    };
    if (!last.adornmentId.isNull())
        settings.insert(QStringLiteral("lastAppliedAdornmentId"), last.adornmentId);
    if (!last.startArrowheadId.isNull())
        settings.insert(QStringLiteral("lastAppliedStartArrowheadId"), last.startArrowheadId);
    if (!last.endArrowheadId.isNull())
        settings.insert(QStringLiteral("lastAppliedEndArrowheadId"), last.endArrowheadId);
    if (last.dash) {
        const int index = int(VRStrokeDash::registeredDashes().indexOf(last.dash));
        if (index >= 0)
            settings.insert(QStringLiteral("lastStrokeDash"), index);
    }
    return settings;
}

void QntConnectorModeInspector::setLastAppliedSettings(const QVariantMap &settings)
{
    LastApplied &last = lastApplied();
    const auto id = [&settings](const char *key) {
        const QVariant v = settings.value(QLatin1String(key));
        return v.metaType().id() == QMetaType::QString ? v.toString() : QString();
    };
    last.adornmentId = id("lastAppliedAdornmentId");
    last.startArrowheadId = id("lastAppliedStartArrowheadId");
    last.endArrowheadId = id("lastAppliedEndArrowheadId");
    last.startSchemeId = settings.value(QStringLiteral("lastColorSchemeIdStartArrow")).toLongLong();
    last.endSchemeId = settings.value(QStringLiteral("lastColorSchemeIdEndArrow")).toLongLong();
    last.dashTag =
        settings.value(QStringLiteral("lastStrokeDashTag"), int(QntContextMenu::kSolidLineTag))
            .toInt();
    last.startSize = settings.value(QStringLiteral("lastSizeStartArrow")).toSizeF();
    last.endSize = settings.value(QStringLiteral("lastSizeEndArrow")).toSizeF();
    last.dash.reset();
    const QVariant dash = settings.value(QStringLiteral("lastStrokeDash"));
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    if (dash.isValid() && dash.toInt() >= 0 && dash.toInt() < dashes.size())
        last.dash = dashes.at(dash.toInt());
}

// ---------------------------------------------------------------- the window

const QntConnectorModeInspector::SkinControls &QntConnectorModeInspector::skinControls()
{
    if (!_viewConnectorStyleHorizontal)
        buildConnectorStyleView();
    return m_skin;
}

void QntConnectorModeInspector::useSkinControls(QntEscapedView *view, const SkinControls &controls)
{
    _viewConnectorStyleHorizontal = view;
    m_skin = controls;
}

QComboBox *QntConnectorModeInspector::makeSkinDashMenu(QWidget *parent, const QString &name)
{
    auto *menu = new QComboBox(parent);
    menu->setObjectName(name);
    menu->setIconSize(QSize(80, 12));
    menu->setMinimumWidth(130);
    return menu;
}

QntButtonCell *QntConnectorModeInspector::makeArrowheadButton(QWidget *parent, const QString &name,
                                                              const QString &toolTip)
{
    QntButtonCell *button = QntButtonCell::bordered(parent, name, toolTip, QSize(54, 30));
    button->setIconSize(QSize(40, 22));
    return button;
}

QntButtonCell *QntConnectorModeInspector::makeSkinColourButton(QWidget *parent, const QString &name,
                                                               const QString &toolTip)
{
    return QntButtonCell::bordered(parent, name, toolTip, QSize(30, 22));
}

void QntConnectorModeInspector::buildConnectorStyleView()
{
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("connectorStyleView"));
    view->setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: white; }")
                        + QntEscapedView::darkPopUpStyleSheet());
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    SkinControls &c = m_skin;

    c.strokeDashPopUpButton = makeSkinDashMenu(view, QStringLiteral("strokeDashPopUpButton"));
    grid->addWidget(new QLabel(tr("Line"), view), 0, 0);
    grid->addWidget(c.strokeDashPopUpButton, 0, 1, 1, 3);

    c.connectorTypePopupButton = new QComboBox(view);
    c.connectorTypePopupButton->setObjectName(QStringLiteral("connectorTypePopupButton"));
    c.connectorTypePopupButton->addItem(tr("Zig-zag"), kZigZagRouting);
    c.connectorTypePopupButton->addItem(tr("Curve"), kCurveRouting);
    c.connectorTypePopupButton->addItem(tr("Orthogonal"), kOrthogonalRouting);
    c.connectorTypePopupButton->addItem(tr("Straight"), kStraightRouting);
    c.connectorTypePopupButton->addItem(tr("Smart polyline"), kAutomaticPolylineRouting);
    c.connectorTypePopupButton->addItem(tr("Smart orthogonal"), kAutomaticOrthogonalRouting);
    grid->addWidget(new QLabel(tr("Routing"), view), 0, 4);
    grid->addWidget(c.connectorTypePopupButton, 0, 5, 1, 3);

    const auto lengthRow = [view, grid](int row, const QString &title, QntDoubleSlider *&slider,
                                        QntTextFieldCell *&field, QLabel *&unit,
                                        const QString &name) {
        slider = QntDoubleSlider::create(view, name + QStringLiteral("Slider"), 0.0, 60.0, 100);
        field = QntTextFieldCell::numberField(view, name + QStringLiteral("Textbox"));
        unit = new QLabel(QStringLiteral("pt"), view);
        grid->addWidget(slider, row, 2);
        grid->addWidget(field, row, 3);
        grid->addWidget(unit, row, 4);
        Q_UNUSED(title);
    };
    c.startArrowheadPopupButton = makeArrowheadButton(
        view, QStringLiteral("startArrowheadPopupButton"), tr("Start arrowhead"));
    c.endArrowheadPopupButton =
        makeArrowheadButton(view, QStringLiteral("endArrowheadPopupButton"), tr("End arrowhead"));
    grid->addWidget(new QLabel(tr("Start"), view), 1, 0);
    grid->addWidget(c.startArrowheadPopupButton, 1, 1);
    lengthRow(1, tr("Start"), c.startArrowheadLengthSlider, c.startArrowheadLengthTextbox,
              c.startArrowheadLengthTextboxLabel, QStringLiteral("startArrowheadLength"));
    grid->addWidget(new QLabel(tr("End"), view), 2, 0);
    grid->addWidget(c.endArrowheadPopupButton, 2, 1);
    lengthRow(2, tr("End"), c.endArrowheadLengthSlider, c.endArrowheadLengthTextbox,
              c.endArrowheadLengthTextboxLabel, QStringLiteral("endArrowheadLength"));
    c.applyLengthToBothArrowsCheckbox = new QCheckBox(tr("Same length at both ends"), view);
    c.applyLengthToBothArrowsCheckbox->setObjectName(
        QStringLiteral("applyLengthToBothArrowsCheckbox"));
    grid->addWidget(c.applyLengthToBothArrowsCheckbox, 1, 5, 1, 3);
    c.applyColorsToBothArrowsCheckbox = new QCheckBox(tr("Colours to both ends"), view);
    c.applyColorsToBothArrowsCheckbox->setObjectName(
        QStringLiteral("applyColorsToBothArrowsCheckbox"));
    grid->addWidget(c.applyColorsToBothArrowsCheckbox, 2, 5, 1, 3);
    c.showColorMatrixStartArrowButton = makeSkinColourButton(
        view, QStringLiteral("showColorMatrixStartArrowButton"), tr("Start arrowhead colour"));
    c.showColorMatrixEndArrowButton = makeSkinColourButton(
        view, QStringLiteral("showColorMatrixEndArrowButton"), tr("End arrowhead colour"));
    c.showColorMatrixConnectorButton = makeSkinColourButton(
        view, QStringLiteral("showColorMatrixConnectorButton"), tr("Line colour"));
    auto *colours = new QHBoxLayout;
    colours->setSpacing(4);
    colours->addWidget(new QLabel(tr("Colours"), view));
    colours->addWidget(c.showColorMatrixStartArrowButton);
    colours->addWidget(c.showColorMatrixConnectorButton);
    colours->addWidget(c.showColorMatrixEndArrowButton);
    colours->addStretch(1);
    grid->addLayout(colours, 3, 0, 1, 8);
    for (QntButtonCell *button :
         {c.showColorMatrixStartArrowButton, c.showColorMatrixEndArrowButton})
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { showColorMatrixAction(button); });
    connect(c.showColorMatrixConnectorButton, &QAbstractButton::clicked, this,
            [this] { showConnectorColorMatrixAction(m_skin.showColorMatrixConnectorButton); });

    connect(c.strokeDashPopUpButton, &QComboBox::activated, this,
            [this] { menuItemSkinStrokeDashAction(m_skin.strokeDashPopUpButton); });
    connect(c.connectorTypePopupButton, &QComboBox::activated, this,
            [this] { changeConnectorTypeAction(m_skin.connectorTypePopupButton); });
    connect(c.startArrowheadPopupButton, &QAbstractButton::clicked, this,
            [this] { showStartArrowheadMatrixAction(m_skin.startArrowheadPopupButton); });
    connect(c.endArrowheadPopupButton, &QAbstractButton::clicked, this,
            [this] { showEndArrowheadMatrixAction(m_skin.endArrowheadPopupButton); });
    for (QntDoubleSlider *slider : {c.startArrowheadLengthSlider, c.endArrowheadLengthSlider}) {
        const bool start = slider == c.startArrowheadLengthSlider;
        connect(slider, &QntDoubleSlider::doubleValueChanged, this, [this, start] {
            if (m_filling)
                return;
            if (start)
                startArrowheadLengthAction();
            else
                endArrowheadLengthAction();
        });
        connect(slider, &QSlider::sliderPressed, this, [this] { beginContinuousChange(); });
        connect(slider, &QSlider::sliderReleased, this, [this] { endContinuousChange(); });
    }
    for (QntTextFieldCell *field : {c.startArrowheadLengthTextbox, c.endArrowheadLengthTextbox}) {
        const bool start = field == c.startArrowheadLengthTextbox;
        connect(field, &QLineEdit::editingFinished, this, [this, field, start] {
            if (!field->isModified())
                return;
            field->setModified(false);
            if (start)
                startArrowheadLengthTextboxAction();
            else
                endArrowheadLengthTextboxAction();
        });
    }
    grid->addWidget(makeDefaultsPopUp(view), 4, 0, 1, 8, Qt::AlignLeft);
    _viewConnectorStyleHorizontal = view;
}

void QntConnectorModeInspector::createConnectorStyleToolbar(QntButtonMatrix *anchor)
{
    if (_attachedConnectorStyleWindow || !anchor)
        return;
    skinControls();
    populateConnectorSkinToolbar();
    const QRect cell = anchor->cellFrameAtRow(std::max(0, anchor->selectedRow()));
    const QPoint rightMiddle(cell.x() + cell.width(), cell.y() + cell.height() / 2);
    const QPointF point = AXScreen::fromGlobal(QPointF(anchor->mapToGlobal(rightMiddle)));
    QWidget *content = _viewConnectorStyleHorizontal;
    content->resize(content->sizeHint());
    AXAttachedWindow *window =
        AXAttachedWindow::create(content, point, AXAttachedWindow::kRight, 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("connectorStyleWindow"));
    window->setAttachedToolbarLook(10.0);
    window->addToParentWindow(attachedWindowsHost());
    placeAttachedWindowInScreenFrame(window, point, AXAttachedWindow::kRight);
    window->orderFront(true);
    _attachedConnectorStyleWindow = window;
}

void QntConnectorModeInspector::enableLengthControls(const QntConnector &connector)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    SkinControls &c = m_skin;
    const auto enable = [&c](bool start, bool on) {
        for (QWidget *w :
             start ? QList<QWidget *>{c.startArrowheadLengthSlider, c.startArrowheadLengthTextbox,
                                      c.startArrowheadLengthTextboxLabel}
                   : QList<QWidget *>{c.endArrowheadLengthSlider, c.endArrowheadLengthTextbox,
                                      c.endArrowheadLengthTextboxLabel})
            w->setEnabled(on);
        if (!on)
            c.applyLengthToBothArrowsCheckbox->setChecked(false);
    };
    const QString start = startArrowId(connector), end = endArrowId(connector);
    enable(true, !(start.isEmpty() || (notation && notation->lengthKindForArrowId(start) == 0)));
    enable(false, !(end.isEmpty() || (notation && notation->lengthKindForArrowId(end) == 0)));
}

void QntConnectorModeInspector::showLengths(const QntConnector &connector)
{
    SkinControls &c = m_skin;
    VRDrawing *drawing = currentDrawing();
    // Each end's own element bounds its arrowhead; a free connector, half its length.
    double maximum = connector.path().length() / 2;
    for (const QntConnectorEndPoint *end : {connector.startEndPoint(), connector.endEndPoint()}) {
        if (const std::shared_ptr<QntElement> element = end->targetElement())
            maximum =
                std::max(maximum, std::max(element->size().width(), element->size().height()));
    }
    maximum = std::max(maximum, 1.0);
    m_filling = true;
    for (bool start : {true, false}) {
        QntDoubleSlider *slider = start ? c.startArrowheadLengthSlider : c.endArrowheadLengthSlider;
        QntTextFieldCell *field =
            start ? c.startArrowheadLengthTextbox : c.endArrowheadLengthTextbox;
        QLabel *unit =
            start ? c.startArrowheadLengthTextboxLabel : c.endArrowheadLengthTextboxLabel;
        const QntConnectorArrow *arrow =
            (start ? connector.startEndPoint() : connector.endEndPoint())->arrow();
        slider->setMaxValue(maximum);
        const double height = arrow ? arrow->size().height() : 0.0;
        slider->setDoubleValue(height);
        field->setText(formattedNumber(drawing ? drawing->convertLength(height) : height));
        field->setModified(false);
        unit->setText(drawing ? drawing->abbreviatedDrawingUnits() : QStringLiteral("pt"));
    }
    m_filling = false;
}

void QntConnectorModeInspector::populateConnectorSkinToolbar()
{
    skinControls();
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!connector || connector->state() == 4)
        return;
    SkinControls &c = m_skin;
    populateMenuWithDashes(c.strokeDashPopUpButton);
    updateMenuWithDashes(c.strokeDashPopUpButton);
    if (connector->skinOptions().value(QStringLiteral("bodyID")).metaType().id()
        == QMetaType::QString) {
        setLastAppliedAdornmentId(connector->ID());
        setLastAppliedStartArrowheadId(startArrowId(*connector));
        setLastAppliedEndArrowheadId(endArrowId(*connector));
    } else {
        // A connector not drawn from a skin yet starts from the notation's default skin.
        VRDrawing *drawing = currentDrawing();
        const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
        const QString body = notation ? notation->defaultConnectorId() : QString();
        setLastAppliedAdornmentId(body);
        setLastAppliedStartArrowheadId(notation ? notation->defaultArrowIdAsStart(true, body)
                                                : QString());
        setLastAppliedEndArrowheadId(notation ? notation->defaultArrowIdAsStart(false, body)
                                              : QString());
    }
    updateSelectArrowheadButton(c.startArrowheadPopupButton, lastApplied().startArrowheadId);
    updateSelectArrowheadButton(c.endArrowheadPopupButton, lastApplied().endArrowheadId);
    c.applyLengthToBothArrowsCheckbox->setEnabled(true);
    enableLengthControls(*connector);
    showLengths(*connector);
    const bool thick = isThick(*connector);
    setComboItemHidden(c.connectorTypePopupButton, kCurveRouting, thick);
    setComboItemHidden(c.connectorTypePopupButton, kOrthogonalRouting, thick);
    selectRoutingTag(c.connectorTypePopupButton, routingTagForConnector(*connector));
    updateSelectColorButton();
}

// ---------------------------------------------------------------- shaft menu

int QntConnectorModeInspector::populateMenuWithDashes(QComboBox *popUp)
{
    int i = QntContextMenu::populateMenuWithDashes(popUp);
    if (!popUp)
        return i;
    // A dash the menu does not list shows as "Other dash" and is left alone when chosen.
    popUp->addItem(tr("Other dash"), kLeaveDashAloneTag);
    ++i;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const QList<QntConnectorRecord> thick =
        notation ? notation->connectorsList(1) : QList<QntConnectorRecord>();
    int tag = kFirstThickLineTag;
    for (const QntConnectorRecord &record : thick) {
        if (tag == kFirstThickLineTag) {
            popUp->insertSeparator(i);
            ++i;
        }
        popUp->addItem(record.title.isEmpty() ? tr("Thick Line")
                                              : tr("Thick Line: %1").arg(record.title),
                       tag++);
        popUp->setItemData(popUp->count() - 1, record.connectorId, kConnectorIdRole);
        ++i;
    }
    setComboItemHidden(popUp, kLeaveDashAloneTag, true);
    return i;
}

void QntConnectorModeInspector::updateMenuWithDashes(QComboBox *popUp)
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!popUp || !connector)
        return;
    if (isThick(*connector)) {
        const int index = popUp->findData(connector->ID(), kConnectorIdRole);
        if (index >= 0)
            popUp->setCurrentIndex(index);
        if (m_skin.applyColorsToBothArrowsCheckbox) {
            m_skin.applyColorsToBothArrowsCheckbox->setChecked(true);
            m_skin.applyColorsToBothArrowsCheckbox->setEnabled(false);
        }
        return;
    }
    if (m_skin.applyColorsToBothArrowsCheckbox)
        m_skin.applyColorsToBothArrowsCheckbox->setEnabled(true);
    const VRStyleRef shaft = shaftStyleOf(*connector);
    const VRStroke *stroke = shaft ? shaft->stroke() : nullptr;
    popUp->setCurrentIndex(0);
    if (!stroke || !stroke->dash())
        return;
    const int index = menuItemIndexWithDash(popUp, stroke);
    if (index >= 0) {
        popUp->setCurrentIndex(index);
        return;
    }
    const int other = popUp->findData(kLeaveDashAloneTag, kTagRole);
    if (other >= 0)
        popUp->setCurrentIndex(other);
}

int QntConnectorModeInspector::menuItemIndexWithDash(QComboBox *popUp, const VRStroke *stroke) const
{
    if (!popUp || !contextConnector())
        return -1;
    const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
    for (int i = 0; i < popUp->count(); ++i) {
        const QVariant index = popUp->itemData(i, kDashIndexRole);
        if (!index.isValid() || index.toInt() < 0 || index.toInt() >= dashes.size())
            continue;
        if (hasStroke(stroke, dashes.at(index.toInt()).get()))
            return i;
    }
    return -1;
}

VRObjectList QntConnectorModeInspector::connectorsForShaftAction() const
{
    if (multipleSelectionMode() != 1)
        return connectorsInSelectionOfKind(kPlainConnectors);
    const int tag = m_skin.strokeDashPopUpButton
                        ? m_skin.strokeDashPopUpButton->currentData().toInt()
                        : kSolidLineTag;
    return connectorsInSelectionOfKind(tag < kFirstThickLineTag ? kThinConnectors
                                                                : kThickConnectors);
}

void QntConnectorModeInspector::strokeDashMenuAction(QComboBox *sender)
{
    LastApplied &last = lastApplied();
    int tag = last.dashTag;
    VRDashRef dash;
    if (sender && sender->currentIndex() >= 0) {
        tag = sender->currentData(kTagRole).toInt();
        last.dashTag = tag;
        const QVariant index = sender->currentData(kDashIndexRole);
        const QList<VRDashRef> &dashes = VRStrokeDash::registeredDashes();
        if (index.isValid() && index.toInt() >= 0 && index.toInt() < dashes.size()) {
            dash = dashes.at(index.toInt());
            last.dash = dash;
        }
    } else {
        dash = last.dash;
    }
    // Thick bodies draw no stroke of their own, and an unknown dash is left as it is.
    if (tag >= kFirstThickLineTag || tag == kLeaveDashAloneTag)
        return;
    if (tag != kSolidLineTag && tag != kAutomaticDashTag && !dash)
        return;
    const VRObjectRef remembered = _contextPath;
    const OneUndoStep step(currentUndoManager());
    for (const VRObjectRef &object : connectorsForShaftAction()) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        const VRStyleRef current = shaftStyleOf(*connector);
        VRUndoManager *undo = connector->undoManager();
        if (undo)
            undo->beginUndoGrouping();
        if (current) {
            VRStyleRef copy = current->copy();
            if (tag == kAutomaticDashTag) {
                if (VRStroke *stroke = copy->stroke())
                    stroke->setAutoDash();
            } else if (tag == kSolidLineTag) {
                if (VRStroke *stroke = copy->stroke())
                    stroke->setDash(nullptr);
            } else {
                if (!copy->hasStroke())
                    copy->setStrokeColour(Qt::black);
                if (VRStroke *stroke = copy->stroke())
                    stroke->setDash(dash);
            }
            QVariantMap options = connector->skinOptions();
            options.insert(QStringLiteral("shaftStyle"), QVariant::fromValue(copy));
            connector->addSkin(options);
        }
        if (undo) {
            undo->endUndoGrouping();
            undo->setActionName(tr("Apply Connector Dash Style"));
        }
        connector->notifyVisualChange();
    }
    setContextObject(remembered);
}

void QntConnectorModeInspector::menuItemSkinStrokeDashAction(QComboBox *sender)
{
    if (!sender)
        return;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const int tag = sender->currentData(kTagRole).toInt();
    const bool thickItem = tag >= kFirstThickLineTag;
    LastApplied &last = lastApplied();
    SkinControls &c = m_skin;
    const VRObjectList list = multipleSelectionMode() == 1
                                  ? connectorsInSelectionOfKind(connectorKindToWork())
                                  : connectorsInSelectionOfKind(kPlainConnectors);
    std::optional<OneUndoStep> step;
    step.emplace(currentUndoManager());
    for (const VRObjectRef &object : list) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        VRUndoManager *undo = connector->undoManager();
        if (undo)
            undo->beginUndoGrouping();
        QVariantMap options = connector->skinOptions();
        if (!thickItem) {
            if (last.adornmentId.endsWith(QStringLiteral("Thick")) || isThick(*connector)) {
                const QString body = notation ? notation->defaultConnectorId() : QString();
                last.adornmentId = body;
                last.startArrowheadId =
                    notation ? notation->defaultArrowIdAsStart(true, body) : QString();
                last.endArrowheadId =
                    notation ? notation->defaultArrowIdAsStart(false, body) : QString();
                last.startSize = last.endSize = QSizeF(0, 0);
                last.dash.reset();
                last.startSchemeId = last.endSchemeId = 0;
                c.startArrowheadPopupButton->setIcon(QIcon());
                c.endArrowheadPopupButton->setIcon(QIcon());
            }
            options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
            options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
            options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
            options.insert(QStringLiteral("colorSchemeId"), connector->colorSchemeId());
            for (const auto &[key, size] :
                 {std::pair{QStringLiteral("startArrowheadSize"), last.startSize},
                  std::pair{QStringLiteral("endArrowheadSize"), last.endSize}}) {
                if (size.isEmpty())
                    options.remove(key);
                else
                    options.insert(key, size);
            }
            if (!last.dash)
                options.remove(QStringLiteral("shaftStyle"));
            connector->addSkin(options);
            extractStyleForObject(object);
            strokeDashMenuAction(sender);
        } else {
            const QString body = sender->currentData(kConnectorIdRole).toString();
            last.adornmentId = body;
            last.startArrowheadId =
                notation ? notation->defaultArrowIdAsStart(true, body) : QString();
            last.endArrowheadId =
                notation ? notation->defaultArrowIdAsStart(false, body) : QString();
            last.startSchemeId = last.endSchemeId = 0;
            options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
            options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
            options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
            options.insert(QStringLiteral("colorSchemeId"), connector->colorSchemeId());
            options.remove(QStringLiteral("shaftStyle"));
            options.remove(QStringLiteral("startArrowheadSize"));
            options.remove(QStringLiteral("endArrowheadSize"));
            connector->addSkin(options);
            connector->makeStraight();
            updateMenuWithDashes(sender);
            c.applyColorsToBothArrowsCheckbox->setChecked(true);
        }
        c.applyColorsToBothArrowsCheckbox->setEnabled(!thickItem);
        connector->updateStyle();
        if (undo) {
            undo->endUndoGrouping();
            undo->setActionName(thickItem ? tr("Thick Line") : tr("Apply Connector Dash Style"));
        }
        connector->notifyVisualChange();
    }
    step.reset();
    updateSelectColorButton();
    updateSelectArrowheadButton(c.startArrowheadPopupButton, QString());
    updateSelectArrowheadButton(c.endArrowheadPopupButton, QString());
    if (const std::shared_ptr<QntConnector> connector = contextConnector()) {
        enableLengthControls(*connector);
        showLengths(*connector);
        setComboItemHidden(c.connectorTypePopupButton, kCurveRouting, thickItem);
        setComboItemHidden(c.connectorTypePopupButton, kOrthogonalRouting, thickItem);
        selectRoutingTag(c.connectorTypePopupButton, routingTagForConnector(*connector));
    }
}

void QntConnectorModeInspector::extractStyleForObject(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return;
    const auto *connector = static_cast<const QntConnector *>(object.get());
    const QntConnectorStyle *renderer = connector->connectorStyle();
    if (renderer && renderer->adornment())
        setStyle(shaftStyleOf(*connector));
}

void QntConnectorModeInspector::setStyle(const std::shared_ptr<VRStyle> &style)
{
    if (style == mStyle)
        return;
    mStyle = style;
    mSelectedRendererRef = nullptr;
    if (mStyle) {
        const auto strokes = mStyle->renderersOfClass(VRStroke::staticClass());
        if (!strokes.isEmpty())
            mSelectedRendererRef = static_cast<VRStroke *>(strokes.first().get());
    }
}

void QntConnectorModeInspector::updateSelectColorButton()
{
    if (!_viewConnectorStyleHorizontal)
        return;
    updateSelectColorButton(m_skin.showColorMatrixStartArrowButton);
    updateSelectColorButton(m_skin.showColorMatrixEndArrowButton);
    updateSelectColorButton(m_skin.showColorMatrixConnectorButton);
}

void QntConnectorModeInspector::updateSelectColorButton(QntButtonCell *button)
{
    if (!button)
        return;
    if (multipleSelectionMode() == 1) {
        const int tag = m_skin.strokeDashPopUpButton
                            ? m_skin.strokeDashPopUpButton->currentData(kTagRole).toInt()
                            : kSolidLineTag;
        setContextObject(firstConnectorInSelectionOfKind(
            tag < kFirstThickLineTag ? kThinConnectors : kThickConnectors));
    }
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!connector)
        return;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    LastApplied &last = lastApplied();
    if (button == m_skin.showColorMatrixStartArrowButton) {
        last.startSchemeId = connector->colorSchemeIdArrowKind(1);
        button->setQntBackgroundColor(notation ? schemeIconColour(*notation, last.startSchemeId)
                                               : QColor());
    } else if (button == m_skin.showColorMatrixEndArrowButton) {
        last.endSchemeId = connector->colorSchemeIdArrowKind(2);
        button->setQntBackgroundColor(notation ? schemeIconColour(*notation, last.endSchemeId)
                                               : QColor());
    } else if (button == m_skin.showColorMatrixConnectorButton) {
        const VRStyleRef shaft = connector->shaftStyle();
        const QColor colour = connector->shaftColor().isValid() ? connector->shaftColor()
                              : shaft && shaft->hasStroke()     ? shaft->strokeColour()
                                                                : QColor();
        button->setQntBackgroundColor(colour);
    } else {
        button->setIcon(QIcon());
        return;
    }
    button->setIcon(QIcon());
    button->update();
}

// ---------------------------------------------------------------- colour popovers

void QntConnectorModeInspector::showColorMatrixAction(QntButtonCell *button)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!button || !notation)
        return;
    _lastClickedShowColorMatrixButton = button;
    m_elementArrowMatrix = false;
    QntColorMatrix *matrix = populateColorMatrixWithSchemeValues(notation->colorSchemesList(), 1, 6,
                                                                 QColor::fromRgbF(0, 0, 0, 0.5));
    const QPointF point = attachPointOfWidget(button, AXAttachedWindow::kBelow);
    _attachedWindowMatrixbar = createMatrixbarAtPoint(point, matrix, _attachedWindowMatrixbar,
                                                      AXAttachedWindow::kBelow, true);
    if (_attachedWindowMatrixbar) {
        if (_partOfGroupModeInspector) {
            for (BWTransparentButton *edit :
                 _attachedWindowMatrixbar->findChildren<BWTransparentButton *>()) {
                if (edit->tag() == kEditButtonTag)
                    edit->hide();
            }
        }
        _attachedWindowMatrixbar->orderFront(true);
    }
}

void QntConnectorModeInspector::showConnectorColorMatrixAction(QntButtonCell *button)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!button || !notation)
        return;
    _lastClickedShowColorMatrixButton = button;
    m_elementArrowMatrix = false;
    QntColorMatrix *matrix =
        populateColorMatrix(notation->connectorColors(), 1, QColor::fromRgbF(0, 0, 0, 0.5));
    const QPointF point = attachPointOfWidget(button, AXAttachedWindow::kBelow);
    _attachedWindowMatrixbar = createMatrixbarAtPoint(point, matrix, _attachedWindowMatrixbar,
                                                      AXAttachedWindow::kBelow, false);
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->orderFront(true);
}

void QntConnectorModeInspector::colorMatrixAction(QntColorMatrix *sender)
{
    if (m_elementArrowMatrix) {
        colorElementArrowMatrixAction(sender);
        return;
    }
    const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
    if (!cell)
        return;
    const QVariant represented = cell->representedObject;
    if (represented.canConvert<QntColorSchemeData>()
        && represented.metaType() == QMetaType::fromType<QntColorSchemeData>()) {
        const QntColorSchemeData scheme = represented.value<QntColorSchemeData>();
        if (isPlaceholderSchemeValue(scheme))
            return;
        applyColorValue(QVariant::fromValue(scheme.schemeId), false);
    } else if (represented.metaType() == QMetaType::fromType<QColor>()) {
        applyColorValue(represented, false);
    }
}

void QntConnectorModeInspector::applyColorValue(const QVariant &value, bool fromNumber)
{
    if (!value.isValid())
        return;
    const bool isColour = value.metaType() == QMetaType::fromType<QColor>();
    const qint64 scheme = isColour ? 1 : value.toLongLong();
    SkinControls &c = m_skin;
    const int tag = c.strokeDashPopUpButton ? c.strokeDashPopUpButton->currentData(kTagRole).toInt()
                                            : kSolidLineTag;
    const VRObjectList list = multipleSelectionMode() == 1
                                  ? connectorsInSelectionOfKind(
                                      tag < kFirstThickLineTag ? kThinConnectors : kThickConnectors)
                                  : connectorsInSelectionOfKind(kAllConnectors);
    const VRObjectRef remembered = _contextPath;
    // Which end the scheme goes to: the button that opened the popover; none clicked yet, the
    // whole connector.
    int arrowKind = 3;
    if (_lastClickedShowColorMatrixButton == c.showColorMatrixStartArrowButton)
        arrowKind = 1;
    else if (_lastClickedShowColorMatrixButton == c.showColorMatrixEndArrowButton)
        arrowKind = 2;
    const bool both =
        c.applyColorsToBothArrowsCheckbox && c.applyColorsToBothArrowsCheckbox->isChecked();
    std::optional<OneUndoStep> step;
    step.emplace(currentUndoManager());
    for (const VRObjectRef &object : list) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        VRUndoManager *undo = connector->undoManager();
        if (undo)
            undo->beginUndoGrouping();
        if (isColour) {
            if (!isThick(*connector))
                connector->setShaftColor(value.value<QColor>());
        } else if (!isThick(*connector) && !both && !fromNumber && arrowKind != 3) {
            connector->replaceColorScheme(scheme, arrowKind);
        } else {
            connector->replaceColorScheme(scheme);
        }
        connector->updateStyle();
        if (undo) {
            undo->endUndoGrouping();
            undo->setActionName(tr("Change Colour"));
        }
        connector->notifyVisualChange();
        updateSelectColorButton();
        if (!isColour && (both || arrowKind == 1 || arrowKind == 3))
            updateSelectArrowheadButton(c.startArrowheadPopupButton, QString());
        if (!isColour && (both || arrowKind == 2 || arrowKind == 3))
            updateSelectArrowheadButton(c.endArrowheadPopupButton, QString());
        if (multipleSelectionMode() != 1)
            break;
    }
    step.reset();
    setContextObject(remembered);
    if (_attachedConnectorStyleWindow)
        _attachedConnectorStyleWindow->orderFront(true);
}

void QntConnectorModeInspector::colorElementArrowMatrixAction(QntColorMatrix *sender)
{
    const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
    if (!cell || cell->representedObject.metaType() != QMetaType::fromType<QntColorSchemeData>())
        return;
    const QntColorSchemeData scheme = cell->representedObject.value<QntColorSchemeData>();
    if (isPlaceholderSchemeValue(scheme))
        return;
    const VRObjectList objects = multipleSelectionMode() == 1
                                     ? selectedObjectForCurrentTarget()
                                     : (_contextPath ? VRObjectList{_contextPath} : VRObjectList{});
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        object->replaceColorScheme(scheme.schemeId);
        object->notifyVisualChange();
    }
    updateElementArrowSelectColorButton();
}

void QntConnectorModeInspector::transparencyAction(BWTransparentSlider *sender)
{
    if (!sender)
        return;
    const double coefficient = sender->doubleValue();
    const VRObjectList objects = multipleSelectionMode() == 1
                                     ? selectedObjectForCurrentTarget()
                                     : (_contextPath ? VRObjectList{_contextPath} : VRObjectList{});
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        object->changeTransparencyWithCoef(coefficient);
        object->notifyVisualChange();
    }
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->redisplayLater();
}

void QntConnectorModeInspector::createColorToolbar(QntButtonMatrix *sender)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!sender || !notation)
        return;
    m_elementArrowMatrix = true;
    QntColorMatrix *matrix = populateColorMatrixWithSchemeValues(notation->colorSchemesList(), 1, 6,
                                                                 QColor::fromRgbF(0, 0, 0, 0.5));
    QPointF point;
    int side = AXAttachedWindow::kRight;
    attachPointBesideSelectedCell(sender, &point, &side);
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
    const bool slider = !(single && single->isMemberOf<QntDecoratedSeparator>());
    _attachedWindowMatrixbar =
        createMatrixbarAtPoint(point, matrix, _attachedWindowMatrixbar, side, slider);
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->orderFront(true);
}

void QntConnectorModeInspector::updateElementArrowSelectColorButton()
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || !_contextPath)
        return;
    const QImage image = imageForColor(schemeIconColour(*notation, _contextPath->colorSchemeId()));
    for (const QntButtonMatrix::Cell &cell : mToolMatrix->cells()) {
        if (cell.title.isEmpty() || cell.title == QStringLiteral("Color Palette")) {
            cell.button->setIcon(QIcon(QPixmap::fromImage(image)));
            cell.button->setText(QString());
            cell.button->setQntBackgroundColor(QColor::fromRgbF(0, 0, 0, 0.5));
            cell.button->update();
        }
    }
}

// ---------------------------------------------------------------- arrowheads

QImage QntConnectorModeInspector::arrowheadImage(const QString &arrowId, bool start,
                                                 qint64 schemeId)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || arrowId.isEmpty())
        return {};
    const QString key = QStringLiteral("%1.%2.%3.%4")
                            .arg(notation->notationName(), arrowId)
                            .arg(schemeId)
                            .arg(start ? QStringLiteral("start") : QStringLiteral("end"));
    QHash<QString, QImage> &cache = arrowheadImageCache();
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return *found;
    const VRObjectRef object = QntElement::createWithElementId(arrowId, notation->notationPath());
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!object || !object->isKindOf<QntElement>() || !layer)
        return {};
    auto &element = static_cast<QntElement &>(*object);
    if (!element.originalSizeWithoutScale().isEmpty())
        element.setSize(element.originalSizeWithoutScale());
    // Pointing down for the start, up for the end: the way they hang below their buttons.
    element.setAngle(start ? std::numbers::pi / 2 : -std::numbers::pi / 2);
    element.replaceColorScheme(schemeId);
    const QImage image = layer->imageOfObject(element);
    cache.insert(key, image);
    return image;
}

void QntConnectorModeInspector::updateSelectArrowheadButton(QntButtonCell *button,
                                                            const QString &givenId)
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    if (!button || !connector)
        return;
    const bool start = button == m_skin.startArrowheadPopupButton;
    if (!start && button != m_skin.endArrowheadPopupButton)
        return;
    QString id = givenId;
    if (id.isEmpty())
        id = start ? startArrowId(*connector) : endArrowId(*connector);
    if (id.isEmpty()) {
        button->setIcon(QIcon());
        button->setText(tr("None"));
        return;
    }
    button->setText(QString());
    const QImage image =
        arrowheadImage(id, start, connector->colorSchemeIdArrowKind(start ? 1 : 2));
    button->setIcon(QIcon(QPixmap::fromImage(image)));
}

void QntConnectorModeInspector::showStartArrowheadMatrixAction(QntButtonCell *button)
{
    showArrowheadMatrix(button, true);
}

void QntConnectorModeInspector::showEndArrowheadMatrixAction(QntButtonCell *button)
{
    showArrowheadMatrix(button, false);
}

void QntConnectorModeInspector::showArrowheadMatrix(QntButtonCell *button, bool start)
{
    const std::shared_ptr<QntConnector> connector = contextConnector();
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!button || !connector || !notation)
        return;
    if (m_arrowheadMatrixWindow) {
        m_arrowheadMatrixWindow->hide();
        m_arrowheadMatrixWindow->deleteLater();
        m_arrowheadMatrixWindow = nullptr;
    }
    QString body = connectorId();
    if (body.isEmpty())
        body = connector->ID();
    // A connector not drawn from a skin yet offers the heads of the notation's default skin.
    if (body.isEmpty())
        body = notation->defaultConnectorId();
    const QString defaultId = notation->defaultArrowIdAsStart(true, body);
    const QString current = start ? startArrowId(*connector) : endArrowId(*connector);
    m_matrixIds.clear();
    // A thin connector can go without an arrowhead: the first cell says so.
    if (!isThick(*connector))
        m_matrixIds.append(QString());
    for (const QntArrowheadRecord &record : notation->arrowheadsList(body)) {
        if (!record.present)
            continue;
        if (start && record.placement == QStringLiteral("EndOnly"))
            continue;
        if (!start && record.placement == QStringLiteral("StartOnly"))
            continue;
        m_matrixIds.append(record.elementId);
    }
    auto *content = new QntEscapedView;
    content->setObjectName(start ? QStringLiteral("startArrowheadMatrix")
                                 : QStringLiteral("endArrowheadMatrix"));
    auto *row = new QHBoxLayout(content);
    row->setContentsMargins(5, 5, 5, 5);
    row->setSpacing(2);
    const qint64 scheme = connector->colorSchemeIdArrowKind(start ? 1 : 2);
    for (const QString &id : std::as_const(m_matrixIds)) {
        auto *cell = new QntButtonCell(content);
        cell->setObjectName(id.isEmpty() ? QStringLiteral("none") : id);
        cell->setBordered(true);
        cell->setFixedSize(40, 40);
        cell->setIconSize(QSize(30, 30));
        cell->setCheckable(true);
        cell->setChecked(id == current);
        cell->setProperty("qntTag", id == defaultId && !id.isEmpty() ? -1 : 0);
        if (id.isEmpty()) {
            cell->setText(tr("None"));
            cell->setToolTip(tr("No arrowhead"));
        } else {
            cell->setIcon(QIcon(QPixmap::fromImage(arrowheadImage(id, start, scheme))));
            cell->setToolTip(id);
        }
        row->addWidget(cell);
        connect(cell, &QAbstractButton::clicked, this, [this, id, start] {
            if (start)
                menuItemSkinStartArrowheadAction(id);
            else
                menuItemSkinEndArrowheadAction(id);
        });
    }
    content->resize(content->sizeHint());
    const QPoint bottomMiddle(button->width() / 2, button->height());
    const QPointF point = AXScreen::fromGlobal(QPointF(button->mapToGlobal(bottomMiddle)));
    AXAttachedWindow *window =
        AXAttachedWindow::create(content, point, AXAttachedWindow::kBelow, 0.0);
    if (!window)
        return;
    window->setObjectName(QStringLiteral("arrowheadMatrixWindow"));
    window->setAttachedToolbarLook(10.0);
    window->addToParentWindow(attachedWindowsHost());
    placeAttachedWindowInScreenFrame(window, point, AXAttachedWindow::kBelow);
    window->setCloseOnResignKeyWindow(true);
    window->orderFront(true);
    m_arrowheadMatrixWindow = window;
}

void QntConnectorModeInspector::menuItemSkinStartArrowheadAction(const QString &arrowId)
{
    skinArrowheadAction(arrowId, true);
}

void QntConnectorModeInspector::menuItemSkinEndArrowheadAction(const QString &arrowId)
{
    skinArrowheadAction(arrowId, false);
}

void QntConnectorModeInspector::skinArrowheadAction(const QString &arrowId, bool start)
{
    LastApplied &last = lastApplied();
    SkinControls &c = m_skin;
    const VRObjectList list = connectorsForShaftAction();
    std::optional<OneUndoStep> step;
    step.emplace(currentUndoManager());
    for (const VRObjectRef &object : list) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        if (multipleSelectionMode() == 1) {
            last.adornmentId = connector->ID();
            last.startArrowheadId = startArrowId(*connector);
            last.endArrowheadId = endArrowId(*connector);
        }
        last.startSchemeId = connector->colorSchemeIdArrowKind(1);
        last.endSchemeId = connector->colorSchemeIdArrowKind(2);
        (start ? last.startArrowheadId : last.endArrowheadId) = arrowId;
        VRUndoManager *undo = connector->undoManager();
        if (undo)
            undo->beginUndoGrouping();
        QVariantMap options = connector->skinOptions();
        options.insert(QStringLiteral("bodyID"), lastAppliedAdornmentId());
        options.insert(QStringLiteral("startArrowheadId"), lastAppliedStartArrowheadId());
        options.insert(QStringLiteral("endArrowheadId"), lastAppliedEndArrowheadId());
        options.insert(QStringLiteral("colorSchemeId"), connector->colorSchemeId());
        if (!arrowId.isEmpty()) {
            options.insert(QStringLiteral("startArrowheadSize"), QSizeF(0, 0));
            options.insert(QStringLiteral("endArrowheadSize"), QSizeF(0, 0));
        }
        connector->addSkin(options);
        connector->updateStyle();
        if (undo) {
            undo->endUndoGrouping();
            undo->setActionName(arrowId.isEmpty() ? tr("Remove Arrowhead")
                                                  : tr("Change Arrowhead"));
        }
        connector->notifyVisualChange();
        updateSelectArrowheadButton(start ? c.startArrowheadPopupButton : c.endArrowheadPopupButton,
                                    arrowId);
    }
    step.reset();
    if (const std::shared_ptr<QntConnector> connector = contextConnector()) {
        enableLengthControls(*connector);
        showLengths(*connector);
    }
    if (m_arrowheadMatrixWindow) {
        m_arrowheadMatrixWindow->hide();
        m_arrowheadMatrixWindow->deleteLater();
        m_arrowheadMatrixWindow = nullptr;
    }
    if (_attachedConnectorStyleWindow)
        _attachedConnectorStyleWindow->orderFront(true);
}

// ---------------------------------------------------------------- lengths

QSizeF QntConnectorModeInspector::sizeArrowhead(QSizeF size, double length)
{
    const double h = length == 0 ? size.height() : length;
    const double ratio = size.height() > 0 ? size.width() / size.height() : 0.0;
    return {ratio * h, h};
}

void QntConnectorModeInspector::startArrowheadSetLength(double length)
{
    setArrowheadLength(length, true);
}

void QntConnectorModeInspector::endArrowheadSetLength(double length)
{
    setArrowheadLength(length, false);
}

void QntConnectorModeInspector::setArrowheadLength(double length, bool start)
{
    if (!std::isfinite(length) || length < 0)
        return;
    skinControls();
    LastApplied &last = lastApplied();
    SkinControls &c = m_skin;
    VRDrawing *drawing = currentDrawing();
    const VRObjectRef remembered = _contextPath;
    const bool both = start && c.applyLengthToBothArrowsCheckbox->isChecked();
    const OneUndoStep step(currentUndoManager());
    for (const VRObjectRef &object : connectorsForShaftAction()) {
        if (!object || !object->isKindOf<QntConnector>())
            continue;
        auto *connector = static_cast<QntConnector *>(object.get());
        setContextObject(object);
        QVariantMap options = connector->skinOptions();
        for (bool atStart : both ? QList<bool>{true, false} : QList<bool>{start}) {
            const QntConnectorArrow *arrow =
                (atStart ? connector->startEndPoint() : connector->endEndPoint())->arrow();
            const QSizeF size = sizeArrowhead(arrow ? arrow->size() : QSizeF(), length);
            (atStart ? last.startSize : last.endSize) = size;
            options.insert(atStart ? QStringLiteral("startArrowheadSize")
                                   : QStringLiteral("endArrowheadSize"),
                           size);
        }
        connector->addSkin(options);
        connector->updateStyle();
        connector->notifyVisualChange();
        m_filling = true;
        for (bool atStart : {true, false}) {
            const QntConnectorArrow *arrow =
                (atStart ? connector->startEndPoint() : connector->endEndPoint())->arrow();
            const double height = arrow ? arrow->size().height() : 0.0;
            (atStart ? c.startArrowheadLengthSlider : c.endArrowheadLengthSlider)
                ->setDoubleValue(height);
            QntTextFieldCell *field =
                atStart ? c.startArrowheadLengthTextbox : c.endArrowheadLengthTextbox;
            field->setText(formattedNumber(drawing ? drawing->convertLength(height) : height));
            field->setModified(false);
        }
        m_filling = false;
    }
    setContextObject(remembered);
    redisplayToolColumnLater();
}

void QntConnectorModeInspector::startArrowheadLengthAction()
{
    startArrowheadSetLength(m_skin.startArrowheadLengthSlider->doubleValue());
}

void QntConnectorModeInspector::endArrowheadLengthAction()
{
    endArrowheadSetLength(m_skin.endArrowheadLengthSlider->doubleValue());
}

void QntConnectorModeInspector::lengthTextboxAction(bool start)
{
    skinControls();
    SkinControls &c = m_skin;
    QntDoubleSlider *slider = start ? c.startArrowheadLengthSlider : c.endArrowheadLengthSlider;
    QntTextFieldCell *field = start ? c.startArrowheadLengthTextbox : c.endArrowheadLengthTextbox;
    VRDrawing *drawing = currentDrawing();
    const double previous = slider->doubleValue();
    const std::optional<double> typed =
        numberFromField(field, drawing ? drawing->convertLength(previous) : previous);
    if (!typed)
        return;
    if (*typed < 0) {
        field->setText(formattedNumber(drawing ? drawing->convertLength(previous) : previous));
        return;
    }
    const double base = drawing ? drawing->convertLengthFromDrawingToBase(*typed) : *typed;
    if (base > slider->maxValue())
        slider->setMaxValue(base);
    setArrowheadLength(base, start);
}

void QntConnectorModeInspector::startArrowheadLengthTextboxAction()
{
    lengthTextboxAction(true);
}

void QntConnectorModeInspector::endArrowheadLengthTextboxAction()
{
    lengthTextboxAction(false);
}
