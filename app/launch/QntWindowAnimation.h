#pragma once

#include <QObject>
#include <QRect>

class QWidget;

// Grows a window out of a small rectangle (the start-up window's chosen notation) into its
// own frame, fading in from 0.4 to full opacity over half a second; then posts
// "NSWindowAnimationFromFrameDidFinished" with the window as object.
namespace QntWindowAnimation {

extern const QString kAnimationFromFrameDidFinishedNotification;

void animateFromFrame(QWidget *window, const QRect &fromFrame, const QRect &toFrame);
// Scales the duration; 0 finishes at once (tests).
void setTimeScale(double scale);

} // namespace QntWindowAnimation
