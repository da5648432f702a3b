#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>

class QCheckBox;
class QLabel;
class QPropertyAnimation;
class TransparentPanel;

// The help-message panel: slides up onto the bottom edge of the current document window
// with a message while help messages are on, and goes away when the window moves or the
// user closes it. One per process.
class QntInfoPanelController : public QObject
{
    Q_OBJECT
public:
    static QntInfoPanelController &sharedController();

    // kQntShowInfoPanelNotification: userInfo "msg" is the text; "avoidRect" (global
    // coordinates), when present, is a window the panel keeps clear of.
    void openInfoPanel(const Notification &notification);
    void hideInfoPanel(const Notification &notification);
    void closeInfoPanel();
    // The check box's action: checked means "don't show again".
    void dontShowAgainInfoPanel(bool checked);

    TransparentPanel *panel() const;
    QLabel *textView() const;
    QCheckBox *dontShowCheckbox() const;
    // The frame the panel slides to for a document window frame and a text height.
    static QRect finalFrame(const QRect &documentWindowFrame, int panelWidth, int textHeight,
                            int margin);
    // The same frame moved off a window it must not cover (the text bar whose hint it shows, with
    // its OK and Cancel buttons): to the document window's top edge, else just above or below
    // that window, whichever stays on the screen.
    static QRect frameAvoiding(const QRect &frame, const QRect &documentWindowFrame,
                               const QRect &avoid, const QRect &screen);

private:
    explicit QntInfoPanelController(QObject *parent = nullptr);
    void buildPanel();

    QPointer<TransparentPanel> _infoPanel;
    QPointer<QLabel> _infoPanelText;
    QPointer<QCheckBox> _infoPanelDontShowCheckbox;
    QPointer<QPropertyAnimation> m_slide;
};
