#include "framework/styles/QntConnectorStyle.h"

#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/styles/VRStyle.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>

VR_CLASS_IMPL(QntConnectorStyle, VRRasterizer)

void QntConnectorStyle::setShaft(std::shared_ptr<QntConnectorStylizedPath> shaft)
{
    willChange();
    m_shaft = std::move(shaft);
    didChange();
}

void QntConnectorStyle::setStartArrow(std::shared_ptr<QntConnectorArrow> arrow)
{
    willChange();
    m_startArrow = std::move(arrow);
    didChange();
}

void QntConnectorStyle::setEndArrow(std::shared_ptr<QntConnectorArrow> arrow)
{
    willChange();
    m_endArrow = std::move(arrow);
    didChange();
}

void QntConnectorStyle::render(QPainter &painter, const VRRenderContext &) const
{
    // The shaft's style may be (a copy of) the style this renderer sits in; drawing the shaft
    // then reaches a connector renderer again, which must draw nothing or it would recurse.
    static thread_local int depth = 0;
    if (depth > 0)
        return;
    ++depth;
    struct Leave {
        ~Leave() { --depth; }
    } leave;
    // The parts carry their own geometry, placed by the connector along its route. A shaft
    // without a style of its own is drawn by the renderers before this one.
    if (m_shaft && m_shaft->style() && m_shaft->style().get() != style())
        m_shaft->render(painter);
    if (m_startArrow)
        m_startArrow->render(painter);
    if (m_endArrow)
        m_endArrow->render(painter);
}

double QntConnectorStyle::extraSpace() const
{
    double extra = 0.0;
    if (m_shaft && m_shaft->style() && m_shaft->style().get() != style())
        extra = m_shaft->style()->extraSpace();
    for (const auto *arrow : {m_startArrow.get(), m_endArrow.get()}) {
        if (arrow)
            extra = std::max(extra, std::max(arrow->size().width(), arrow->size().height()));
    }
    return extra;
}

void QntConnectorStyle::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    const VRStyleRef shaftStyle = m_shaft ? m_shaft->style() : nullptr;
    record.insert("shaftStyle",
                  shaftStyle ? QJsonValue(shaftStyle->uniqueKey()) : QJsonValue(QJsonValue::Null));
}
