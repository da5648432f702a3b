#include "inspectors/QntGroupModeInspector.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"

#include <QComboBox>
#include <QFormLayout>

// The connector style pane: arrowheads and routing of the selected connectors.

namespace {

QString arrowIdAt(const QntConnector &connector, bool start)
{
    const QntConnectorEndPoint *end = start ? connector.startEndPoint() : connector.endEndPoint();
    const QntConnectorArrow *arrow = end ? end->arrow() : nullptr;
    return arrow ? arrow->ID() : QString();
}

bool isThinPlainConnector(const VRObjectRef &object)
{
    if (!object || !object->isKindOf<QntConnector>())
        return false;
    const auto &c = static_cast<const QntConnector &>(*object);
    return c.mode() == 0 && !c.ID().endsWith(QStringLiteral("Thick"))
           && (object->isMemberOfClass(QntConnector::staticClass())
               || object->isKindOf<QntFreeConnector>());
}

} // namespace

QWidget *QntGroupModeInspector::buildConnectorStylePane()
{
    auto *pane = new QWidget;
    pane->setObjectName(paneName(ConnectorStyle));
    auto *form = new QFormLayout(pane);
    _thinStartArrowheadPopupButton = new QComboBox(pane);
    _thinStartArrowheadPopupButton->setObjectName(QStringLiteral("thinStartArrowhead"));
    _thinEndArrowheadPopupButton = new QComboBox(pane);
    _thinEndArrowheadPopupButton->setObjectName(QStringLiteral("thinEndArrowhead"));
    form->addRow(tr("Start arrowhead"), _thinStartArrowheadPopupButton);
    form->addRow(tr("End arrowhead"), _thinEndArrowheadPopupButton);
    connect(_thinStartArrowheadPopupButton, &QComboBox::activated, this, [this](int index) {
        startArrowheadAction(_thinStartArrowheadPopupButton->itemData(index).toString());
    });
    connect(_thinEndArrowheadPopupButton, &QComboBox::activated, this, [this](int index) {
        endArrowheadAction(_thinEndArrowheadPopupButton->itemData(index).toString());
    });
    _connectorTypePopupButton = new QComboBox(pane);
    _connectorTypePopupButton->setObjectName(QStringLiteral("connectorType"));
    _connectorTypePopupButton->addItem(tr("Choose…"), 0);
    _connectorTypePopupButton->addItem(tr("Zig-zag"), 1);
    _connectorTypePopupButton->addItem(tr("Curve"), 2);
    _connectorTypePopupButton->addItem(tr("Orthogonal"), 3);
    _connectorTypePopupButton->addItem(tr("Straight"), 4);
    _connectorTypePopupButton->addItem(tr("Smart polyline"), 11);
    _connectorTypePopupButton->addItem(tr("Smart orthogonal"), 13);
    form->addRow(tr("Routing"), _connectorTypePopupButton);
    connect(_connectorTypePopupButton, &QComboBox::activated, this, [this](int index) {
        changeConnectorTypeAction(_connectorTypePopupButton->itemData(index).toInt());
        _connectorTypePopupButton->setCurrentIndex(0);
    });
    return pane;
}

void QntGroupModeInspector::fillArrowheadMenus()
{
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    VRObjectRef first;
    for (const VRObjectRef &object : selection()) {
        if (isThinPlainConnector(object)) {
            first = object;
            break;
        }
    }
    for (QComboBox *menu : {_thinStartArrowheadPopupButton.data(), _thinEndArrowheadPopupButton}) {
        const bool start = menu == _thinStartArrowheadPopupButton;
        menu->clear();
        menu->addItem(tr("None"), QString());
        if (!notation || !first)
            continue;
        const auto &connector = static_cast<const QntConnector &>(*first);
        const QString body =
            connector.ID().isEmpty() ? notation->defaultConnectorId() : connector.ID();
        for (const QntArrowheadRecord &record : notation->arrowheadsList(body)) {
            if (!record.present)
                continue;
            if (record.placement
                == (start ? QStringLiteral("EndOnly") : QStringLiteral("StartOnly")))
                continue;
            menu->addItem(record.elementId, record.elementId);
        }
        const int current = menu->findData(arrowIdAt(connector, start));
        menu->setCurrentIndex(std::max(0, current));
    }
}

QString QntGroupModeInspector::bodyIdOf(const QntConnector &connector) const
{
    if (!connector.ID().isEmpty())
        return connector.ID();
    VRDrawing *drawing = targetDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    return notation ? notation->defaultConnectorId() : QString();
}

void QntGroupModeInspector::arrowheadAction(const QString &arrowId, bool start)
{
    changeSelection(arrowId.isEmpty() ? tr("Remove Arrowhead") : tr("Change Arrowhead"),
                    [&](const VRObjectRef &o) {
                        if (!isThinPlainConnector(o))
                            return false;
                        auto &c = static_cast<QntConnector &>(*o);
                        QVariantMap options = c.skinOptions();
                        if (!options.contains(QStringLiteral("bodyID")))
                            options.insert(QStringLiteral("bodyID"), bodyIdOf(c));
                        options.insert(QStringLiteral("startArrowheadId"),
                                       start ? arrowId : arrowIdAt(c, true));
                        options.insert(QStringLiteral("endArrowheadId"),
                                       start ? arrowIdAt(c, false) : arrowId);
                        options.insert(QStringLiteral("colorSchemeId"), c.colorSchemeId());
                        if (!arrowId.isEmpty()) {
                            options.insert(QStringLiteral("startArrowheadSize"), QSizeF(0, 0));
                            options.insert(QStringLiteral("endArrowheadSize"), QSizeF(0, 0));
                        }
                        c.addSkin(options);
                        c.updateStyle();
                        return true;
                    });
}

void QntGroupModeInspector::startArrowheadAction(const QString &arrowId)
{
    arrowheadAction(arrowId, true);
}

void QntGroupModeInspector::endArrowheadAction(const QString &arrowId)
{
    arrowheadAction(arrowId, false);
}

void QntGroupModeInspector::changeConnectorTypeAction(int tag)
{
    if (tag != 1 && tag != 2 && tag != 3 && tag != 4 && tag != 11 && tag != 13)
        return;
    changeSelection(tr("Change Connector Type"), [tag](const VRObjectRef &o) {
        if (!isThinPlainConnector(o))
            return false;
        auto &c = static_cast<QntConnector &>(*o);
        switch (tag) {
        case 1: c.makeZigZag(); break;
        case 2: c.makeCurve(); break;
        case 3: c.routeOrthogonal(); break;
        case 4: c.makeStraight(); break;
        case 11: c.makeRoutingColaPolyline(); break;
        default: c.makeRoutingColaOrthogonal(); break;
        }
        return true;
    });
}
