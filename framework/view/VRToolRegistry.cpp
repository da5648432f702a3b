#include "framework/view/VRToolRegistry.h"

#include "framework/view/QntConnectorTool.h"
#include "framework/view/QntStickySpotInsertDeleteTool.h"
#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRPanTool.h"
#include "framework/view/VRPathEditTool.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "framework/view/VRZoomTool.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/VRStyle.h"
#include "framework/model/VRTextShape.h"
#include "platform/NotificationCenter.h"

#include <QPainterPath>
#include <QtMath>

#include <algorithm>

namespace {

QPainterPath roundedUnitRect(double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(-0.5, -0.5, 1, 1), radius, radius);
    return path;
}

QPainterPath regularPolygon(int corners)
{
    QPainterPath path;
    for (int k = 0; k < corners; ++k) {
        const double a = -M_PI / 2 + 2 * M_PI * k / corners;
        const QPointF p(0.5 * std::cos(a), 0.5 * std::sin(a));
        if (k == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

VRObjectRef shapePrototype(const QPainterPath &unitPath, QSizeF size)
{
    auto shape = VRDrawableShape::shapeWithRect(QRectF(QPointF(), size), unitPath);
    shape->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1.0));
    return shape;
}

VRObjectRef pathPrototype()
{
    QPainterPath line(QPointF(0, 0));
    line.lineTo(100, 0);
    VRObjectRef path = VRDrawablePath::drawablePathWithBezierPath(line);
    path->setStyle(VRStyle::styleWithFillColour(Qt::transparent, Qt::black, 1.0));
    return path;
}

} // namespace

VRToolRegistry::VRToolRegistry() = default;

VRToolRegistry &VRToolRegistry::sharedToolRegistry()
{
    static VRToolRegistry *registry = [] {
        auto *r = new VRToolRegistry;
        r->registerStandardTools();
        return r;
    }();
    return *registry;
}

void VRToolRegistry::registerStandardTools()
{
    auto add = [this](std::shared_ptr<VRDrawingTool> tool, const QString &name) {
        m_tools.insert(name, std::move(tool));
    };
    for (const QString &name : {kVRSelectToolName, QStringLiteral("Text Editor"),
                                QStringLiteral("Replace Element"), QStringLiteral("Contour Style")})
        add(std::make_shared<VRSelectAndEditTool>(), name);
    add(std::make_shared<QntConnectorTool>(QntConnectorTool::Kind::Plain), kVRQntConnectorToolName);
    add(std::make_shared<QntConnectorTool>(QntConnectorTool::Kind::DoubleText),
        kVRQntDoubleTextConnectorToolName);
    add(std::make_shared<QntConnectorTool>(QntConnectorTool::Kind::Sequence),
        kVRQntUMLSequenceConnectorToolName);
    using SpotMode = QntStickySpotInsertDeleteTool::Mode;
    add(std::make_shared<QntStickySpotInsertDeleteTool>(SpotMode::Select),
        kVRQntSelectStickySpotToolName);
    add(std::make_shared<QntStickySpotInsertDeleteTool>(SpotMode::Insert),
        QStringLiteral("Insert Sticky Spot"));
    add(std::make_shared<QntStickySpotInsertDeleteTool>(SpotMode::InsertOne),
        QStringLiteral("Insert Only One Sticky Spot"));
    add(std::make_shared<QntStickySpotInsertDeleteTool>(SpotMode::Delete),
        QStringLiteral("Delete Sticky Spot"));
    add(std::make_shared<VRZoomTool>(false), kVRStandardZoomToolName);
    add(std::make_shared<VRZoomTool>(true), kVRQntStandardZoomOutToolName);
    add(std::make_shared<VRPanTool>(), QStringLiteral("Pan"));
    add(std::make_shared<QntStyleCopyingTool>(), QStringLiteral("Style Copy Tool"));
    add(std::make_shared<VRPathEditTool>(true), QStringLiteral("Insert Path Point"));
    add(std::make_shared<VRPathEditTool>(false), QStringLiteral("Delete Path Point"));

    using Gesture = VRObjectCreationTool::Gesture;
    const QSizeF box(100, 60);
    add(std::make_shared<VRObjectCreationTool>(
            shapePrototype(VRDrawableShape::unitRectAtOrigin(), box)),
        QStringLiteral("Rectangle"));
    add(std::make_shared<VRObjectCreationTool>(
            shapePrototype(VRDrawableShape::unitOvalAtOrigin(), box)),
        QStringLiteral("Oval"));
    add(std::make_shared<VRObjectCreationTool>(shapePrototype(roundedUnitRect(0.12), box)),
        QStringLiteral("Round Rectangle"));
    add(std::make_shared<VRObjectCreationTool>(shapePrototype(roundedUnitRect(0.5), box)),
        QStringLiteral("Round End Rectangle"));
    add(std::make_shared<VRObjectCreationTool>(shapePrototype(regularPolygon(6), QSizeF(80, 80))),
        QStringLiteral("Polygon"));
    add(std::make_shared<VRObjectCreationTool>(pathPrototype(), Gesture::Line),
        QStringLiteral("Line"));
    add(std::make_shared<VRObjectCreationTool>(pathPrototype(), Gesture::Freehand),
        QStringLiteral("Freehand"));
    add(std::make_shared<VRObjectCreationTool>(pathPrototype(), Gesture::Polyline),
        QStringLiteral("Path"));

    // Free text: a text shape typed into right after it is placed.
    auto textPrototype = std::make_shared<VRTextShape>();
    textPrototype->setSize(QSizeF(120, 30));
    auto text = std::make_shared<VRObjectCreationTool>(textPrototype);
    text->setEditsTextAfterCreation(true);
    add(text, QStringLiteral("Text"));
}

VRDrawingTool *VRToolRegistry::drawingToolWithName(const QString &name) const
{
    return m_tools.value(name).get();
}

std::shared_ptr<VRDrawingTool> VRToolRegistry::toolRefWithName(const QString &name) const
{
    return m_tools.value(name);
}

void VRToolRegistry::registerDrawingTool(std::shared_ptr<VRDrawingTool> tool,
                                         const QString &withName)
{
    if (!tool || withName.isEmpty())
        return;
    VRDrawingTool *raw = tool.get();
    // A replaced tool stays alive while a view still holds it as current.
    if (auto old = m_tools.value(withName))
        m_retired.push_back(old);
    m_tools.insert(withName, std::move(tool));
    QVariantMap info{{QStringLiteral("name"), withName}};
    NotificationCenter::defaultCenter().post(kVRDrawingToolWasRegisteredNotification, raw, info);
}

void VRToolRegistry::unregisterDrawingTool(const QString &name)
{
    if (auto old = m_tools.take(name))
        m_retired.push_back(old);
}

QStringList VRToolRegistry::toolNames() const
{
    QStringList names = m_tools.keys();
    std::sort(names.begin(), names.end());
    return names;
}

QString VRToolRegistry::nameOfTool(const VRDrawingTool *tool) const
{
    if (!tool)
        return {};
    // Several names may share one tool object; the first in sorted order is stable.
    QString found;
    for (auto it = m_tools.cbegin(); it != m_tools.cend(); ++it) {
        if (it.value().get() == tool && (found.isEmpty() || it.key() < found))
            found = it.key();
    }
    return found;
}

QStringList VRToolRegistry::registerCreationToolsForPrototypes(const VRObjectList &prototypes)
{
    QStringList names;
    for (const VRObjectRef &prototype : prototypes) {
        if (!prototype)
            continue;
        const QString id = prototype->ID();
        if (id.isEmpty())
            continue;
        // Plain lines are drawn end to end; every notation element (arrows and separators
        // included) is placed whole and may be stretched by dragging.
        const auto gesture = prototype->isMemberOf<VRDrawablePath>()
                                 ? VRObjectCreationTool::Gesture::Line
                                 : VRObjectCreationTool::Gesture::Box;
        registerDrawingTool(std::make_shared<VRObjectCreationTool>(prototype, gesture), id);
        names.push_back(id);
    }
    return names;
}

void VRToolRegistry::setPrototypesForGroup(const QString &group, const VRObjectList &prototypes)
{
    m_groups.insert(group, prototypes);
    registerCreationToolsForPrototypes(prototypes);
}

VRObjectList VRToolRegistry::prototypesForGroup(const QString &group) const
{
    return m_groups.value(group);
}

void VRToolRegistry::removeGroup(const QString &group)
{
    const VRObjectList prototypes = m_groups.take(group);
    for (const VRObjectRef &prototype : prototypes) {
        const QString id = prototype ? prototype->ID() : QString();
        auto tool = m_tools.value(id);
        auto *creation = dynamic_cast<VRObjectCreationTool *>(tool.get());
        if (creation && creation->prototype() == prototype)
            unregisterDrawingTool(id);
    }
}

namespace {

QString groupKeyForNotation(const QntNotation &notation)
{
    return QStringLiteral("notation:") + notation.absolutePath();
}

VRObjectList prototypesOf(const QList<QntElementRecord> &elements)
{
    VRObjectList prototypes;
    for (const QntElementRecord &record : elements) {
        if (!record.prototype)
            continue;
        // Tools are found by the record's element id.
        if (record.prototype->ID().isEmpty() && !record.elementId.isEmpty())
            record.prototype->setID(record.elementId);
        prototypes.push_back(record.prototype);
    }
    return prototypes;
}

} // namespace

void VRToolRegistry::registerImportedToolsForNotation(const QntNotation &notation,
                                                      const QList<QntElementRecord> &elements)
{
    registerImportedToolsForGroupName(groupKeyForNotation(notation), elements);
}

void VRToolRegistry::registerImportedToolsForGroupName(const QString &groupName,
                                                       const QList<QntElementRecord> &elements)
{
    VRToolRegistry &registry = sharedToolRegistry();
    registry.removeGroup(groupName);
    registry.m_records.insert(groupName, elements);
    registry.setPrototypesForGroup(groupName, prototypesOf(elements));
}

void VRToolRegistry::removeNotationFromRegistered(const QntNotation &notation)
{
    VRToolRegistry &registry = sharedToolRegistry();
    const QString key = groupKeyForNotation(notation);
    registry.removeGroup(key);
    registry.m_records.remove(key);
}

QList<QntElementRecord>
VRToolRegistry::importedElementsForNotation(const QntNotation &notation) const
{
    return m_records.value(groupKeyForNotation(notation));
}
