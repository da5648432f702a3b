#include "library/QntStencilImport.h"

#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>

#include <thread>

QntStencilImport::QntStencilImport(QObject *parent)
    : QObject(parent)
{
}

QntStencilImport::~QntStencilImport()
{
    delete m_dialog.data();
}

QntStencilImport::Result QntStencilImport::run(const QString &path,
                                               const std::function<bool(int percent)> &progress)
{
    Result result;
    auto goOn = [&](int percent) { return !progress || progress(percent); };
    auto cancelled = [&] {
        result.outcome = Result::Outcome::Cancelled;
        return result;
    };
    auto failed = [&](const QString &why) {
        result.outcome = Result::Outcome::Failed;
        result.error = why;
        return result;
    };
    if (!goOn(0))
        return cancelled();
    QntImportFromGraffle reader;
    QntImportFromGraffle::setImportedFilepath(path);
    const VRResult<QVariantMap> stencil = reader.readStencil();
    if (!stencil)
        return failed(stencil.errorMessage());
    if (!goOn(10))
        return cancelled();

    VRObjectList objects;
    if (stencil->contains(QStringLiteral("Sheets"))) {
        const QVariantList sheets = stencil->value(QStringLiteral("Sheets")).toList();
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            objects.append(reader.all(sheets.at(i).toMap()));
            if (!goOn(10 + int(30 * (i + 1) / sheets.size())))
                return cancelled();
        }
    } else {
        objects = reader.all(*stencil);
    }
    if (objects.isEmpty())
        return failed(QObject::tr("The file holds no shapes."));
    if (!goOn(40))
        return cancelled();
    const VRObjectList elements = reader.all2Elements(objects);
    if (!goOn(45))
        return cancelled();
    const QByteArray icon = reader.imageData(objects);
    if (!goOn(50))
        return cancelled();

    result.name = stencil->value(QStringLiteral("LastImportedFilename")).toString();
    qsizetype calls = 0;
    bool stopped = false;
    const VRResult<QString> database = QntNotation::importIntoDB(
        result.name + QStringLiteral(".db"), elements, icon, QString(),
        [&](qsizetype done, qsizetype total) {
            // One call per element, then one more right before the file takes its place.
            const bool last = ++calls > total;
            const bool more =
                goOn(last ? 100 : 50 + int(49 * done / std::max<qsizetype>(total, 1)));
            stopped = !more;
            return more;
        });
    if (stopped)
        return cancelled();
    if (!database)
        return failed(database.errorMessage());
    result.database = *database;
    result.elements = elements;
    result.outcome = Result::Outcome::Imported;
    return result;
}

QntStencilImport::Result QntStencilImport::exec(const QString &path, QWidget *window)
{
    m_running = true;
    delete m_dialog.data();
    auto *dialog = new QProgressDialog(tr("Importing “%1”…").arg(QFileInfo(path).fileName()),
                                       tr("Cancel"), 0, 100, window);
    dialog->setObjectName(QStringLiteral("stencilImportProgress"));
    dialog->setWindowTitle(tr("Import Stencil"));
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setValue(0);
    m_dialog = dialog;
    connect(dialog, &QProgressDialog::canceled, this, &QntStencilImport::cancel);
    connect(this, &QntStencilImport::progressed, dialog, [dialog](int percent) {
        if (!dialog->wasCanceled())
            dialog->setValue(percent);
    });
    dialog->show();

    QEventLoop loop;
    Result result;
    std::thread worker([this, path, &result, &loop] {
        result = run(path, [this](int percent) {
            if (percent >= 100) {
                // The point of no return: a cancel from now on comes too late.
                int expected = Running;
                return m_state.compare_exchange_strong(expected, Committing);
            }
            emit progressed(percent);
            return m_state.load() == Running;
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    m_running = false;
    if (result.outcome == Result::Outcome::Imported) {
        // The caller adds the shapes to the library next; the dialog says so until finish().
        dialog->setLabelText(
            tr("Adding the shapes of “%1” to the shape library…").arg(QFileInfo(path).fileName()));
        dialog->setCancelButton(nullptr);
        dialog->setValue(100);
        dialog->repaint();
    } else {
        finish();
    }
    return result;
}

void QntStencilImport::finish()
{
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
    }
}

void QntStencilImport::cancel()
{
    int expected = Running;
    if (m_state.compare_exchange_strong(expected, Cancelled) && m_dialog)
        m_dialog->setLabelText(tr("Cancelling…"));
}
