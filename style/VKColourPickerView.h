#pragma once

#include "style/VKWindowMenu.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class VKInfoFloater;

// The small colour chooser shown in a window menu: a 16 x 16 grid of web colours (mode 0) or a
// colour wheel whose brightness the scroll wheel changes (mode 1). Every change of the picked
// colour is sent to the action at once, so callers preview colours live. y grows downwards.
class VKColourPickerView : public QWidget, public VKWindowMenuContent
{
    Q_OBJECT
public:
    enum Mode { SwatchMode = 0, WheelMode = 1 };
    using Action = std::function<void(VKColourPickerView &picker)>;

    explicit VKColourPickerView(const QRect &frame = QRect(0, 0, 161, 161),
                                QWidget *parent = nullptr);
    ~VKColourPickerView() override;

    void setMode(int mode);
    int mode() const { return mMode; }
    // The action runs while the target lives (any target when none is given).
    void setTarget(QObject *target);
    void setAction(Action action) { mSelector = std::move(action); }
    void setShowsInfo(bool shows) { mShowsInfo = shows; }
    bool showsInfo() const { return mShowsInfo; }
    // The colour shown and answered while nothing is picked; also sets the brightness.
    void setColorForUndefinedSelection(const QColor &colour);
    QColor colorForUndefinedSelection() const { return mNonSelectColour; }
    void setBrightness(double brightness);
    double brightness() const { return mBright; }

    QColor color() const;
    QPointF selection() const { return mSel; }
    virtual QColor colorForSwatchX(int x, int y) const;
    // The swatch grid: 16 x 16 here; pickers of fewer colours use fewer.
    virtual int gridColumns() const { return 16; }
    virtual int gridRows() const { return 16; }

    // Geometry.
    QPointF swatchAtPoint(QPointF point) const;
    QRectF rectForSwatch(QPointF swatch) const;
    QColor colorForSpectrumPoint(QPointF point) const;
    QPointF pointForSpectrumColor(const QColor &colour) const;
    static QRectF rectForSpectrumPoint(QPointF point);
    bool pointIsInColourwheel(QPointF point) const;

    void sendToTarget();
    void updateInfoAtPoint(QPointF point);
    VKInfoFloater *infoFloater() const { return mInfoWin.get(); }

    void flagsChanged(Qt::KeyboardModifiers modifiers) override;

    // The web colours of the swatches (216, repeated to fill the grid).
    static const QList<QColor> &swatchColours();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void drawSwatches(QPainter &painter, const QRect &dirty);
    void drawSpectrum(QPainter &painter, const QRect &dirty);
    void dragTo(QPointF point);
    void updateRectForSelection();
    QRectF wheelRect() const;

    QColor mNonSelectColour = Qt::gray;
    std::unique_ptr<VKInfoFloater> mInfoWin;
    QPointer<QObject> mTargetRef;
    bool mHasTarget = false;
    int mMode = WheelMode;
    QPointF mSel{-1, -1};
    Action mSelector;
    double mBright = 1.0;
    bool mShowsInfo = true;
};
