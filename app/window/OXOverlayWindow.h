#pragma once

#include <QRegion>
#include <QWidget>

class OXOverlayView;

// The borderless, transparent child window that carries an overlay bezel above its parent
// window. Its view is centred in it with a fixed size, or fills it less a margin.
class OXOverlayWindow : public QWidget
{
    Q_OBJECT
public:
    explicit OXOverlayWindow(const QRect &contentRect, QWidget *parentWindow = nullptr);

    OXOverlayView *overlayView() const { return m_overlayView; }
    // Centre the bezel at a fixed size.
    void pinCentred(const QSizeF &size);
    // Fill the window less the margin on every side.
    void pinWithOffset(double offset);

    // Whether the window blends its pixels with what lies beneath (decided when it is made).
    bool isTranslucent() const { return m_translucent; }
    // The shape the window is cut to: nothing where its pixels are blended (the transparent
    // surround is invisible), else the bezel's rounded rectangle, so no unblended pixel around
    // the bezel shows.
    static QRegion maskFor(const QRect &bezel, double radius, bool translucency);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeView();
    void updateMask();

    OXOverlayView *m_overlayView = nullptr;
    bool m_centred = true;
    QSizeF m_size;
    double m_offset = 0.0;
    bool m_translucent = true;
};
