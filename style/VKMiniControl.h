#pragma once

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

class QPainter;
class QPainterPath;
class VKInfoFloater;
class VKMiniControl;
class VKMiniControlCluster;

// Who hears of a mini control's changes (every operation optional).
class VKMiniControlDelegate
{
public:
    virtual ~VKMiniControlDelegate() = default;
    // The old (will) or new (did) value; invalid for centre and radius changes.
    virtual void miniControlWillChangeValue(VKMiniControl &, const QVariant &) {}
    virtual void miniControlDidChangeValue(VKMiniControl &, const QVariant &) {}
    // The value the read-out shows for the offered one.
    virtual double miniControlWillUpdateInfoWindow(VKMiniControl &, double value) { return value; }
    // Redraws for controls without a view.
    virtual void setNeedsDisplayInRect(const QRectF &) {}
};

// A light-weight control drawn by its host view inside its own frame and fed the host's mouse
// and modifier events; it tells its delegate of value changes. Geometry is in the host view's
// coordinates. The base draws nothing.
class VKMiniControl
{
public:
    // Part codes of hit tests.
    enum Part {
        NoPart = 0,
        InBounds = -1,
        KnobPart = 2,
        IrisRingPart = 17,
        IrisTabPart = 18,
        TargetPart = 24
    };
    enum InfoWindowMode { NoInfoWindow = 0, InfoNearMouse = 1, InfoCentred = 2 };

    // Joins the cluster (which then owns it) when one is given.
    VKMiniControl(const QRectF &bounds, VKMiniControlCluster *cluster);
    virtual ~VKMiniControl();
    VKMiniControl(const VKMiniControl &) = delete;
    VKMiniControl &operator=(const VKMiniControl &) = delete;

    virtual void draw(QPainter &painter);
    virtual int hitTestPoint(QPointF point) const;
    virtual bool mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers modifiers);
    virtual bool mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers);
    virtual void mouseUpAt(QPointF point, int part, Qt::KeyboardModifiers modifiers);
    virtual void flagsChanged(Qt::KeyboardModifiers modifiers);
    virtual void setBounds(const QRectF &bounds) { mBounds = bounds; }
    virtual QRectF bounds() const { return mBounds; }

    void setCluster(VKMiniControlCluster *cluster) { mClusterRef = cluster; }
    VKMiniControlCluster *cluster() const { return mClusterRef; }
    virtual QWidget *view() const;
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const QRectF &rect);
    void setDelegate(VKMiniControlDelegate *delegate) { mDelegateRef = delegate; }
    virtual VKMiniControlDelegate *delegate() const;
    void setIdentifier(const QString &identifier);
    QString identifier() const { return mIdent; }

    virtual void setValue(double value);
    double value() const { return mValue; }
    void setMinValue(double value);
    void setMaxValue(double value);
    double minValue() const { return mMinValue; }
    double maxValue() const { return mMaxValue; }

    static QColor miniControlThemeColor(int index, double alpha);
    QColor themeColour(int index) const;
    // Fills the path under a soft shadow, as every control draws its body.
    void fillWithShadow(QPainter &painter, const QPainterPath &path, const QColor &colour) const;

    void setInfoWindowMode(int mode) { mInfoWMode = mode; }
    int infoWindowMode() const { return mInfoWMode; }
    void setInfoWindowFormat(const QString &format);
    void setInfoWindowValue(double value);
    void setupInfoWindowAtPoint(QPointF point, double value, const QString &format);
    void updateInfoWindowAtPoint(QPointF point, double value);
    void hideInfoWindow();
    VKInfoFloater *infoWindow() const { return mInfoWin.get(); }

    void notifyDelegateWillChange(const QVariant &value);
    void notifyDelegateDidChange(const QVariant &value);

protected:
    QRectF mBounds;
    VKMiniControlCluster *mClusterRef = nullptr;
    QString mIdent;
    VKMiniControlDelegate *mDelegateRef = nullptr;
    std::unique_ptr<VKInfoFloater> mInfoWin;
    double mValue = 0.0;
    double mMinValue = 0.0;
    double mMaxValue = 1.0;
    int mInfoWMode = NoInfoWindow;
    bool mApplyShadow = true;
};
