#pragma once

#include "framework/styles/VRPathDecorator.h"

#include <memory>

class QntElement;

// A path decorator whose motif is a diagram element, drawn repeatedly along the path
// (decorated separators).
class QntPathDecorator : public VRPathDecorator
{
    VR_CLASS(QntPathDecorator)

public:
    QntPathDecorator() = default;
    explicit QntPathDecorator(std::shared_ptr<QntElement> element);

    static QString UIName() { return QStringLiteral("Element Decorator"); }
    QString uiName() const override { return UIName(); }

    std::shared_ptr<QntElement> element() const { return m_element; }
    void setElement(const std::shared_ptr<QntElement> &element);

protected:
    void drawMotif(QPainter &painter, double scale) const override;
    QSizeF motifSize() const override;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    std::shared_ptr<QntElement> m_element;
};
