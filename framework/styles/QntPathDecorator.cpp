#include "framework/styles/QntPathDecorator.h"

#include "framework/model/QntElement.h"
#include "framework/archive/VRArchiver.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonDocument>
#include <QPainter>

VR_CLASS_IMPL(QntPathDecorator, VRPathDecorator)

QntPathDecorator::QntPathDecorator(std::shared_ptr<QntElement> element)
    : m_element(std::move(element))
{
}

void QntPathDecorator::setElement(const std::shared_ptr<QntElement> &element)
{
    changeProperty(m_element, element, "setElement:", &QntPathDecorator::setElement);
}

QSizeF QntPathDecorator::motifSize() const
{
    if (!m_element)
        return VRPathDecorator::motifSize();
    return m_element->logicalBounds().size() * scale();
}

void QntPathDecorator::drawMotif(QPainter &painter, double scale) const
{
    if (!m_element) {
        VRPathDecorator::drawMotif(painter, scale);
        return;
    }
    const QRectF bounds = m_element->logicalBounds();
    painter.scale(scale, scale);
    painter.translate(-bounds.center());
    m_element->render(painter);
}

void QntPathDecorator::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRPathDecorator::writeProperties(record, images);
    // The element travels as an objects record of its own, with its styles and images.
    record.insert("element",
                  m_element ? QJsonDocument::fromJson(VRArchiver::objectData(m_element)).object()
                            : QJsonValue(QJsonValue::Null));
}

void QntPathDecorator::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRPathDecorator::readProperties(record, coding);
    const QJsonValue value = record.value(QStringLiteral("element"));
    m_element.reset();
    if (value.isUndefined() || value.isNull())
        return;
    if (!value.isObject()) {
        coding.fail(QStringLiteral("element"),
                    QStringLiteral("expected an objects record or null"));
        return;
    }
    auto objects =
        VRArchiver::objectsFromData(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (!objects) {
        coding.fail(QStringLiteral("element"), objects.errorMessage());
        return;
    }
    if (objects.value().size() != 1 || !objects.value().first()->isKindOf<QntElement>()) {
        coding.fail(QStringLiteral("element"), QStringLiteral("expected exactly one element"));
        return;
    }
    m_element = std::static_pointer_cast<QntElement>(objects.value().first());
}
