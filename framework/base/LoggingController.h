#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QPlainTextEdit;

// A window listing the framework's log messages (category "vr"), a debugging aid.
class LoggingController : public QObject
{
    Q_OBJECT
public:
    static LoggingController &sharedLoggingController();
    void showLoggingWindow();
    QStringList messages() const { return m_messages; }
    void appendMessage(const QString &message);

private:
    LoggingController();

    QStringList m_messages;
    QPointer<QPlainTextEdit> m_window;
};
