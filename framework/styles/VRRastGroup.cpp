#include "framework/styles/VRRastGroup.h"

#include "framework/styles/VRStyle.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonArray>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

VR_CLASS_IMPL(VRRastGroup, VRRasterizer)

namespace {
constexpr int kMaxRenderers = 4096;
}

VRRastGroup::~VRRastGroup()
{
    for (const VRRendererRef &r : std::as_const(m_renderers))
        r->m_container = nullptr;
}

VRRastGroup::SharedRenderers VRRastGroup::shareRenderers()
{
    if (!m_shared) {
        for (const VRRendererRef &r : std::as_const(m_renderers))
            r->m_container = nullptr;
        m_shared = std::make_shared<const QList<VRRendererRef>>(std::move(m_renderers));
        m_renderers.clear();
    }
    return m_shared;
}

void VRRastGroup::useSharedRenderers(SharedRenderers renderers)
{
    if (m_shared || !m_renderers.isEmpty() || !renderers)
        return;
    m_shared = std::move(renderers);
}

QList<VRRendererRef> VRRastGroup::replaceBySharedRenderers(SharedRenderers renderers)
{
    if (m_shared || !renderers)
        return {};
    QList<VRRendererRef> own = std::move(m_renderers);
    m_renderers.clear();
    for (const VRRendererRef &r : std::as_const(own))
        r->m_container = nullptr;
    m_shared = std::move(renderers);
    return own;
}

void VRRastGroup::detach() const
{
    if (!m_shared)
        return;
    const SharedRenderers shared = std::move(m_shared);
    m_shared.reset();
    auto *self = const_cast<VRRastGroup *>(this);
    m_renderers.reserve(shared->size());
    // The last holder takes the renderers themselves; the others take copies.
    const bool last = shared.use_count() == 1;
    for (const VRRendererRef &r : *shared) {
        VRRendererRef own = last ? r : r->copy();
        if (!own)
            own = r;
        own->m_container = self;
        m_renderers.append(own);
    }
}

QList<VRRendererRef> VRRastGroup::renderList() const
{
    detach();
    return m_renderers;
}

VRRendererRef VRRastGroup::rendererAtIndex(int index) const
{
    detach();
    if (index < 0 || index >= m_renderers.size())
        return nullptr;
    return m_renderers.at(index);
}

void VRRastGroup::addRenderer(VRRendererRef renderer)
{
    insertRenderer(std::move(renderer), countOfRenderList());
}

void VRRastGroup::insertRenderer(VRRendererRef renderer, int index)
{
    if (!renderer || renderer.get() == this || renderer->isKindOf<VRStyle>())
        return;
    // A group may not end up inside itself.
    for (const VRRasterizer *node = this; node; node = node->container()) {
        if (node == renderer.get())
            return;
    }
    if (VRRastGroup *old = renderer->container())
        old->removeRenderer(renderer.get());
    detach();
    index = std::clamp(index, 0, countOfRenderList());
    std::weak_ptr<VRRasterizer> weakSelf = weak_from_this();
    std::weak_ptr<VRRasterizer> weakRenderer = renderer;
    registerUndo("addRenderer:", [weakSelf, weakRenderer] {
        auto self = std::static_pointer_cast<VRRastGroup>(weakSelf.lock());
        auto r = weakRenderer.lock();
        if (self && r)
            self->removeRenderer(r.get());
    });
    willChange();
    attach(renderer, index);
    didChange();
}

void VRRastGroup::attach(const VRRendererRef &renderer, int index)
{
    renderer->m_container = this;
    m_renderers.insert(index, renderer);
}

void VRRastGroup::removeRenderer(VRRasterizer *renderer)
{
    detach();
    const int index = indexOfRenderer(renderer);
    if (index < 0)
        return;
    VRRendererRef kept = m_renderers.at(index);
    std::weak_ptr<VRRasterizer> weakSelf = weak_from_this();
    registerUndo("removeRenderer:", [weakSelf, kept, index] {
        if (auto self = std::static_pointer_cast<VRRastGroup>(weakSelf.lock()))
            self->insertRenderer(kept, index);
    });
    willChange();
    m_renderers.removeAt(index);
    kept->m_container = nullptr;
    didChange();
}

void VRRastGroup::moveRendererAtIndex(int from, int to)
{
    const int count = countOfRenderList();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    detach();
    std::weak_ptr<VRRasterizer> weakSelf = weak_from_this();
    registerUndo("moveRendererAtIndex:toIndex:", [weakSelf, from, to] {
        if (auto self = std::static_pointer_cast<VRRastGroup>(weakSelf.lock()))
            self->moveRendererAtIndex(to, from);
    });
    willChange();
    m_renderers.move(from, to);
    didChange();
}

int VRRastGroup::indexOfRenderer(const VRRasterizer *renderer) const
{
    const QList<VRRendererRef> &renderers = members();
    for (int i = 0; i < renderers.size(); ++i) {
        if (renderers.at(i).get() == renderer)
            return i;
    }
    return -1;
}

QList<VRRendererRef> VRRastGroup::renderersOfClass(const VRClassInfo &classInfo) const
{
    detach();
    QList<VRRendererRef> result;
    for (const VRRendererRef &r : m_renderers) {
        if (r->isKindOfClass(classInfo))
            result.append(r);
        if (r->isKindOf<VRRastGroup>())
            result.append(static_cast<const VRRastGroup &>(*r).renderersOfClass(classInfo));
    }
    return result;
}

void VRRastGroup::removeRenderersOfClass(const VRClassInfo &classInfo, bool inSubgroups)
{
    detach();
    const QList<VRRendererRef> members = m_renderers;
    for (const VRRendererRef &r : members) {
        if (r->isKindOfClass(classInfo))
            removeRenderer(r.get());
        else if (inSubgroups && r->isKindOf<VRRastGroup>())
            static_cast<VRRastGroup &>(*r).removeRenderersOfClass(classInfo, true);
    }
}

void VRRastGroup::render(QPainter &painter, const VRRenderContext &context) const
{
    renderChildren(painter, context);
}

void VRRastGroup::renderChildren(QPainter &painter, const VRRenderContext &context) const
{
    for (const VRRendererRef &r : members()) {
        if (r->isEnabled())
            r->render(painter, context);
    }
}

QImage VRRastGroup::renderChildrenOffscreen(QPainter &painter, const VRRenderContext &context,
                                            QRect *deviceRect) const
{
    static constexpr int kMaxSide = 4096;
    const double extra = VRRastGroup::extraSpace() + 2.0;
    const QRectF logical =
        context.path.boundingRect().united(context.bounds).adjusted(-extra, -extra, extra, extra);
    const QTransform world = painter.worldTransform();
    QRect area = world.mapRect(logical).toAlignedRect();
    if (QPaintDevice *device = painter.device();
        device && device->width() > 0 && device->height() > 0)
        area = area.intersected(QRect(0, 0, device->width(), device->height()));
    if (area.isEmpty())
        return {};
    area.setWidth(std::min(area.width(), kMaxSide));
    area.setHeight(std::min(area.height(), kMaxSide));
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(painter.renderHints());
        p.setTransform(world * QTransform::fromTranslate(-area.left(), -area.top()));
        renderChildren(p, context);
    }
    *deviceRect = area;
    return image;
}

double VRRastGroup::extraSpace() const
{
    double extra = 0.0;
    for (const VRRendererRef &r : members()) {
        if (r->isEnabled())
            extra = std::max(extra, r->extraSpace());
    }
    return extra;
}

bool VRRastGroup::isFill() const
{
    const QList<VRRendererRef> &renderers = members();
    return std::any_of(renderers.cbegin(), renderers.cend(),
                       [](const VRRendererRef &r) { return r->isEnabled() && r->isFill(); });
}

void VRRastGroup::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.beginArray("renderers");
    for (const VRRendererRef &r : members())
        r->writeRecord(record, images);
    record.end();
}

void VRRastGroup::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    const QJsonValue value = record.value(QStringLiteral("renderers"));
    if (value.isUndefined())
        return;
    if (!value.isArray() || value.toArray().size() > kMaxRenderers) {
        coding.fail(
            QStringLiteral("renderers"),
            QStringLiteral("expected a list of at most %1 renderer records").arg(kMaxRenderers));
        return;
    }
    const QJsonArray list = value.toArray();
    for (qsizetype i = 0; i < list.size() && coding.ok(); ++i) {
        VRStyleCoding child =
            coding.child(QStringLiteral("renderers[") + QString::number(i) + QLatin1Char(']'));
        if (!list.at(i).isObject()) {
            child.fail(QString(), QStringLiteral("expected a renderer record"));
            coding.setError(child.error());
            return;
        }
        VRRendererRef r = VRRasterizer::fromJson(list.at(i).toObject(), child);
        coding.setError(child.error());
        if (r)
            attach(r, countOfRenderList());
    }
}
