#pragma once

#include "framework/model/QntElement.h"

#include <QList>

// An element drawn by code from a list of component colours instead of scheme-coloured parts:
// a rounded body split into one band per colour.
class QntDirectlyDrawedElement : public QntElement
{
    VR_CLASS(QntDirectlyDrawedElement)
public:
    QntDirectlyDrawedElement() = default;

    QList<QColor> colors() const { return m_colours; }
    void setColors(const QList<QColor> &colours);
    // Index checked; undoable.
    void setColor(const QColor &colour, int atIndex);

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;

private:
    QList<QColor> m_colours;
};
