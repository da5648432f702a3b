#pragma once

#include "framework/base/VRTypes.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>

class QProgressDialog;
class QWidget;

// One stencil import: the file read, its shapes made into notation elements and written to a
// new Imported notation database. The work runs on a worker thread while a progress dialog
// with Cancel shows on the window; the caller applies the result on the GUI thread. A cancelled
// import leaves no database behind.
class QntStencilImport : public QObject
{
    Q_OBJECT
public:
    struct Result {
        enum class Outcome { Imported, Failed, Cancelled };
        Outcome outcome = Outcome::Failed;
        QString name;     // the notation's name (the drawing's key)
        QString database; // the new database
        VRObjectList elements;
        QString error; // why it failed
    };

    explicit QntStencilImport(QObject *parent = nullptr);
    ~QntStencilImport() override;

    // The whole import on the calling thread. progress is told the percentage done and answers
    // false to stop; its last call (100) comes right before the database takes its place.
    static Result run(const QString &path, const std::function<bool(int percent)> &progress);

    // Runs the import on a worker thread while the progress dialog shows on the window, and
    // returns its result once the worker is done (the window's events keep flowing meanwhile).
    // One import per object; a cancel before it starts stops it at once.
    Result exec(const QString &path, QWidget *window);
    // Closes the progress dialog (kept open after a successful import while the caller adds
    // the shapes).
    void finish();
    // Asks the running import to stop; too late once the database is being put in place.
    void cancel();
    bool isRunning() const { return m_running; }
    QProgressDialog *progressDialog() const { return m_dialog; }

signals:
    void progressed(int percent);

private:
    enum State { Running, Cancelled, Committing };
    std::atomic<int> m_state{Running};
    QPointer<QProgressDialog> m_dialog;
    bool m_running = false;
};
