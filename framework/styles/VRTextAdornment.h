#pragma once

#include "framework/styles/VRRasterizer.h"

#include <QColor>
#include <QFont>
#include <QVariantMap>

#include <functional>

// Draws a text: its own label or, without one, the object's text; in the frame, along the
// path, flowed in the shape or at a point.
class VRTextAdornment : public VRRasterizer
{
    VR_CLASS(VRTextAdornment)

public:
    enum LayoutMode {
        InBounds = 0,
        AlongPath = 1,
        AlongMirroredPath = 2,
        FlowedInShape = 3,
        AtPoint = 40
    };

    VRTextAdornment();

    static QString UIName() { return QStringLiteral("Text"); }
    QString uiName() const override { return UIName(); }
    // How far text laid along a path sits from it, in points.
    static double defaultMaximumVerticalOffset() { return 8.0; }

    QString string() const { return m_label; }
    void setLabel(const QString &label);
    int layoutMode() const { return m_layoutMode; }
    void setLayoutMode(int mode);
    // 0 left, 1 right, 2 centre, 3 justified.
    int alignment() const { return m_alignment; }
    void setAlignment(int alignment);
    // 0 top, 1 middle, 2 bottom.
    int verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(int alignment);
    bool wrapsLines() const { return m_wrapsLines; }
    void setWrapsLines(bool wraps);
    bool clipping() const { return m_clipping; }
    void setClipping(bool clipping);
    bool appliesObjectAngle() const { return m_appliesObjectAngle; }
    void setAppliesObjectAngle(bool applies);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);
    double flowedTextPathInset() const { return m_flowedTextPathInset; }
    void setFlowedTextPathInset(double inset);
    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    // "font", "colour", "underline" override the plain properties when present.
    QVariantMap textAttributes() const { return m_textAttributes; }
    void setTextAttributes(const QVariantMap &attributes);

    // An adornment that is an object's own text renderer (a text shape's, a cell's, a
    // connector label's) hands changes of its font, colour, alignments and angle to that
    // object, which keeps them (and records them for undo). Loading the adornment from the
    // object is done with the handing-on switched off.
    void setOwnerChangeHandler(std::function<void(const VRTextAdornment &)> handler);
    void setNotifiesOwner(bool notifies) { m_notifiesOwner = notifies; }

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;

protected:
    void writeProperties(QJsonObject &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QFont effectiveFont() const;
    QColor effectiveColour() const;
    void renderInFrame(QPainter &painter, const VRRenderContext &context,
                       const QString &text) const;
    void renderAlongPath(QPainter &painter, const VRRenderContext &context,
                         const QString &text) const;

    QString m_label;
    int m_layoutMode = InBounds;
    int m_alignment = 2;
    int m_verticalAlignment = 1;
    bool m_wrapsLines = true;
    bool m_clipping = false;
    bool m_appliesObjectAngle = true;
    double m_angleInDegrees = 0.0;
    double m_flowedTextPathInset = 0.0;
    QColor m_colour = Qt::black;
    QFont m_font;
    QVariantMap m_textAttributes;
    std::function<void(const VRTextAdornment &)> m_ownerChanged;
    bool m_notifiesOwner = true;

    void notifyOwner() const;
};
