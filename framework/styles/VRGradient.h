#pragma once

#include "framework/base/VRTypes.h"

#include <QColor>
#include <QGradient>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>

#include <functional>
#include <memory>

class QPainter;
class QPainterPath;
class QRectF;
class VRColorStop;
class VRGradient;
class VRKeyedCoder;
using VRGradientRef = std::shared_ptr<VRGradient>;

// Geometry of the elliptical gradient kind: the circle is scaled, moved (fractions of the
// rectangle) and turned (degrees) before it is drawn.
struct QntEllipticalGradientParams {
    double scaleX = 1.0;
    double scaleY = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    double angle = 0.0;
    bool operator==(const QntEllipticalGradientParams &) const = default;
};

// A colour gradient (linear, radial, sweep, elliptical) with ordered colour stops, drawing itself
// into rectangles and paths. Points are relative to the rectangle drawn into: (0, 0) is its
// centre, ±0.5 its edges; radii are fractions of its width.
class VRGradient : public QObject, public std::enable_shared_from_this<VRGradient>
{
    Q_OBJECT

public:
    enum Type { Linear = 0, Radial = 1, Sweep = 2, Elliptical = 4 };
    enum Blending { RGB = 0, HSV = 1 };
    enum Interpolation { LinearInterpolation = 0, Quadratic = 2, Cubic = 3, Sinusoidal = 4 };

    VRGradient();
    ~VRGradient() override;

    static VRGradientRef create();
    VRGradientRef copy() const;
    bool isEqual(const VRGradient &other) const;

    // Stops. Adding and removing post the kVRNotificationGradient…ColorStop notifications
    // (object: the gradient; userInfo "stop" and "object").
    QList<std::shared_ptr<VRColorStop>> colorStops() const { return m_stops; }
    int countOfColorStops() const { return static_cast<int>(m_stops.size()); }
    std::shared_ptr<VRColorStop> addColor(const QColor &color, double at);
    void removeColorStop(const std::shared_ptr<VRColorStop> &stop);
    void removeAllColorStops();
    // Replaces every stop at once (readers, swatches): one change, no per-stop notifications,
    // so it is safe on the worker threads that read files.
    void setColorStops(const QList<std::pair<double, QColor>> &stops);
    void sortColorStops();
    void reverseColorStops();
    QColor colorAtValue(double value) const;

    // Kind.
    int gradientType() const { return m_type; }
    void setGradientType(int type);
    int gradientBlending() const { return m_blending; }
    void setGradientBlending(int blending);
    int gradientInterpolation() const { return m_interpolation; }
    void setGradientInterpolation(int interpolation);

    // Axis of linear and sweep gradients.
    double angle() const;
    void setAngle(double radians);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double degrees);
    double manualAngleInDegrees() const { return m_angleInDegrees; }

    // Explicit linear end points replace the angle while set.
    bool hasLinearPoints() const { return m_hasLinearPoints; }
    QPointF linearStartingPoint() const { return m_linearStart; }
    QPointF linearEndingPoint() const { return m_linearEnd; }
    void setLinearStartingPoint(const QPointF &point);
    void setLinearEndingPoint(const QPointF &point);
    void clearLinearPoints();

    QPointF radialStartingPoint() const { return m_radialStart; }
    void setRadialStartingPoint(const QPointF &point);
    QPointF radialEndingPoint() const { return m_radialEnd; }
    void setRadialEndingPoint(const QPointF &point);
    double radialStartingRadius() const { return m_radialStartRadius; }
    void setRadialStartingRadius(double radius);
    double radialEndingRadius() const { return m_radialEndRadius; }
    void setRadialEndingRadius(double radius);

    QntEllipticalGradientParams ellipticalGradientParams() const { return m_elliptical; }
    void setQntEllipticalGradientParams(const QntEllipticalGradientParams &params);

    QPointF mapPointFromRect(const QPointF &point, const QRectF &rect) const;
    QPointF mapPointToRect(const QPointF &point, const QRectF &rect) const;

    // Drawing.
    void fillRect(QPainter &painter, const QRectF &rect) const;
    void fillPath(QPainter &painter, const QPainterPath &path, QPointF startingAtPoint,
                  double startRadius, QPointF endingAtPoint, double endRadius) const;
    // Fills the path with this gradient laid out over rect (radial radii × multiplier).
    void fillPathInRect(QPainter &painter, const QPainterPath &path, const QRectF &rect,
                        double radialMultiplier = 1.0) const;
    // A brush of this gradient laid out over rect.
    QBrush brushForRect(const QRectF &rect, double radialMultiplier = 1.0) const;
    QImage swatchImageWithSize(const QSizeF &size, bool withBorder) const;

    VRGradientRef gradientByColorizingWithColor(const QColor &color) const;

    // Observers are called after every change of the gradient or one of its stops.
    void setUpKVOForObserver(QObject *observer, std::function<void()> onChange);
    void tearDownKVOForObserver(QObject *observer);

    // Dictionary coding (.gradient files and other property-list exchanges).
    void encodeWithCoder(VRKeyedCoder &coder) const;
    // Fails with the reason when the values are not a sound gradient; never null on success.
    static VRResult<VRGradientRef> decodeWithCoder(const VRKeyedCoder &coder);
    static bool supportsSimpleDictionaryKeyValueCoding() { return true; }

    // .gradient files: an XML property list of the coded gradient under "isa" = "VRGradient".
    QByteArray fileRepresentation() const;
    VRResult<void> writeToFile(const QString &path) const;
    static VRResult<VRGradientRef> gradientWithPlist(const QVariantMap &plist);
    static VRResult<VRGradientRef> gradientWithContentsOfFile(const QString &path);
    QVariantMap plistRepresentation() const;

    // Stock looks.
    static VRGradientRef defaultGradient();
    static VRGradientRef aquaNormalGradient();
    static VRGradientRef aquaPressedGradient();
    static VRGradientRef aquaSelectedGradient();
    static VRGradientRef sourceListSelectedGradient();
    static VRGradientRef gradientWithStartingColor(const QColor &start, const QColor &endingColor);
    static VRGradientRef gradientWithStartingColor(const QColor &start, const QColor &endingColor,
                                                   int type, double angle);

signals:
    void changed();

private:
    friend class VRColorStop;
    void stopDidChange();
    void notifyChange();
    void postStopNotification(const QString &name, const std::shared_ptr<VRColorStop> &stop);
    QGradientStops qtStops(bool reversed = false) const;
    QBrush brushFor(const QRectF &rect, QPointF start, double startRadius, QPointF end,
                    double endRadius, bool explicitGeometry) const;

    QList<std::shared_ptr<VRColorStop>> m_stops;
    int m_type = Linear;
    int m_blending = RGB;
    int m_interpolation = LinearInterpolation;
    double m_angleInDegrees = 0.0;
    bool m_hasLinearPoints = false;
    QPointF m_linearStart{-0.5, 0.0};
    QPointF m_linearEnd{0.5, 0.0};
    QPointF m_radialStart{0.0, 0.0};
    QPointF m_radialEnd{0.0, 0.0};
    double m_radialStartRadius = 0.0;
    double m_radialEndRadius = 0.5;
    QntEllipticalGradientParams m_elliptical;
    QHash<QObject *, QMetaObject::Connection> m_observers;
};
