#include "platform/ReadingProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <algorithm>

namespace {
// The dialog repaints and answers Cancel this often at most: often enough to feel at once,
// seldom enough to cost the reading nothing to speak of.
constexpr qint64 kTurnEveryMs = 30;
constexpr int kSteps = 1000;
} // namespace

ReadingProgress::ReadingProgress(const QString &fileName, QWidget *parent)
    : m_fileName(fileName)
    , m_parent(parent)
{
    m_clock.start();
}

ReadingProgress::~ReadingProgress() = default;

bool ReadingProgress::update(double fraction)
{
    if (m_cancelled)
        return false;
    const qint64 now = m_clock.elapsed();
    if (!m_dialog) {
        if (now < m_showAfterMs)
            return true;
        show();
    } else if (m_dialog->wasCanceled()) {
        m_cancelled = true;
        return false;
    } else if (now - m_lastTurn < kTurnEveryMs) {
        return true;
    }
    m_lastTurn = now;
    m_dialog->setValue(int(std::clamp(fraction, 0.0, 1.0) * kSteps));
    QCoreApplication::processEvents();
    if (m_dialog->wasCanceled())
        m_cancelled = true;
    return !m_cancelled;
}

void ReadingProgress::show()
{
    m_dialog = std::make_unique<QProgressDialog>(
        QCoreApplication::translate("ReadingProgress", "Opening “%1”…").arg(m_fileName),
        QCoreApplication::translate("ReadingProgress", "Cancel"), 0, kSteps, m_parent);
    m_dialog->setWindowTitle(QCoreApplication::translate("ReadingProgress", "Opening"));
    // Nothing else may change while the document is half read.
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setValue(0);
    m_dialog->show();
    QCoreApplication::processEvents();
}
