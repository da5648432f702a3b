#pragma once

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeView();

    OXOverlayView *m_overlayView = nullptr;
    bool m_centred = true;
    QSizeF m_size;
    double m_offset = 0.0;
};
