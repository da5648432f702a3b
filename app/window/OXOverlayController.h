#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>

class OXOverlayWindow;

// Shows a short message in a rounded overlay over a view of a document window, for example
// the progress of a diagram import. One overlay at a time: beginning another ends the first.
class OXOverlayController : public QObject
{
    Q_OBJECT
public:
    explicit OXOverlayController(QObject *parent = nullptr);
    ~OXOverlayController() override;

    // A bezel of the given size centred over the view.
    void beginOverlayToView(QWidget *view, const QString &label, double radius, const QSizeF &size);
    // A bezel covering the view less the margin on every side.
    void beginOverlayToView(QWidget *view, const QString &label, double radius, double offset);
    void endOverlay();
    bool isOverlay() const;
    OXOverlayWindow *overlayWindow() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginOverlayToView(QWidget *view, const QString &label, double radius);
    void followView();

    QPointer<OXOverlayWindow> _overlayWindow;
    QPointer<QWidget> _targetView;
    QSizeF _size;
};
