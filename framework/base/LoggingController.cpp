#include "framework/base/LoggingController.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPointer>

namespace {
constexpr int kMaximumMessages = 2000;
QtMessageHandler g_previousHandler = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool ours = (context.category && qstrcmp(context.category, "vr") == 0)
                      || message.startsWith(QLatin1String("vr:"));
    if (ours && QCoreApplication::instance()) {
        QPointer<LoggingController> controller(&LoggingController::sharedLoggingController());
        // Messages may come from any thread; the list lives on the GUI thread.
        QMetaObject::invokeMethod(
            controller,
            [controller, message] {
                if (controller)
                    controller->appendMessage(message);
            },
            Qt::QueuedConnection);
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

LoggingController::LoggingController()
{
    g_previousHandler = qInstallMessageHandler(handler);
}

LoggingController &LoggingController::sharedLoggingController()
{
    static LoggingController *controller = new LoggingController;
    return *controller;
}

void LoggingController::appendMessage(const QString &message)
{
    m_messages.append(message);
    while (m_messages.size() > kMaximumMessages)
        m_messages.removeFirst();
    if (m_window)
        m_window->appendPlainText(message);
}

void LoggingController::showLoggingWindow()
{
    if (!m_window) {
        m_window = new QPlainTextEdit;
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setReadOnly(true);
        m_window->setWindowTitle(QStringLiteral("Log"));
        m_window->setPlainText(m_messages.join(QLatin1Char('\n')));
        m_window->resize(600, 400);
    }
    m_window->show();
    m_window->raise();
}
