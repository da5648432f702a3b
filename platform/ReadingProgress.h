#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

// The progress of reading one document, shown to the user only when it takes a while: a
// progress dialog with a Cancel button comes up once the reading has gone on for half a second
// (a document that opens quicker shows nothing). The reader calls update() as it goes; while the
// dialog is up, each call lets the dialog repaint and answer its Cancel button.
// GUI thread only.
class ReadingProgress
{
public:
    static constexpr int kShowAfterMs = 500;

    explicit ReadingProgress(const QString &fileName, QWidget *parent = nullptr);
    ~ReadingProgress();
    ReadingProgress(const ReadingProgress &) = delete;
    ReadingProgress &operator=(const ReadingProgress &) = delete;

    // How far the reading is, from 0 to 1. False once the user has cancelled: the reader then
    // stops and reads nothing more.
    bool update(double fraction);
    bool wasCancelled() const { return m_cancelled; }

    // The dialog; null until it has come up.
    QProgressDialog *dialog() const { return m_dialog.get(); }
    // For tests: how long the reading goes on before the dialog comes up.
    void setShowAfter(int milliseconds) { m_showAfterMs = milliseconds; }

private:
    void show();

    QString m_fileName;
    QWidget *m_parent = nullptr;
    int m_showAfterMs = kShowAfterMs;
    QElapsedTimer m_clock;
    qint64 m_lastTurn = 0; // when the dialog last had its events handled
    bool m_cancelled = false;
    std::unique_ptr<QProgressDialog> m_dialog;
};
