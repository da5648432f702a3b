#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QVariantAnimation>
#include <QWidget>

// Moves and resizes several widgets together from start to end frames over one eased
// animation. The inspector column's sections slide with it.
class CXViewAnimation : public QVariantAnimation
{
    Q_OBJECT
public:
    struct Entry {
        QPointer<QWidget> target;
        QRect startFrame;
        QRect endFrame;
    };

    CXViewAnimation(QList<Entry> entries, int durationMs, QObject *parent = nullptr);

    const QList<Entry> &entries() const { return m_entries; }
    QWidget *firstTarget() const;

    // Starts the animation; with a zero time scale it jumps to the end at once, still
    // emitting finished().
    void run();

    // Scales every animation's duration; 0 makes animations end at once (tests).
    static void setTimeScale(double scale);
    static double timeScale();

private:
    void apply(double progress);

    QList<Entry> m_entries;
};
