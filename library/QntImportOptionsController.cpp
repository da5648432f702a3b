#include "library/QntImportOptionsController.h"

#include "framework/base/VRConstants.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QntImportOptionsController::QntImportOptionsController(QObject *parent)
    : QObject(parent)
{
}

QntImportOptionsController::~QntImportOptionsController()
{
    delete mOpenPanel.data();
}

QString QntImportOptionsController::startFolder()
{
    const QVariant stored =
        UserDefaults::standardUserDefaults().objectForKey(kQntLastFolderForInsertingImage);
    if (stored.isValid() && !stored.toString().isEmpty())
        return stored.toString();
    return QDir::homePath();
}

void QntImportOptionsController::beginImportDialogWithParentWindow(
    QWidget *, QntImportOptionsDelegate *delegate)
{
    mDelegate = delegate;
    m_hasOptions = true;
    delete mOpenPanel.data();
    auto *panel = new QFileDialog(nullptr, tr("Import stencil"), startFolder());
    panel->setObjectName(QStringLiteral("importStencilPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setNameFilter(tr("Stencils (*.plist *.gstencil *.graffle)"));
    panel->setLabelText(QFileDialog::Accept, tr("Import"));
    panel->setWindowModality(Qt::ApplicationModal);
    mOpenPanel = panel;
    connect(panel, &QFileDialog::finished, this,
            [this, panel](int result) { importPanelDidEnd(panel, result); });
    panel->open();
}

void QntImportOptionsController::importPanelDidEnd(QFileDialog *panel, int returnCode)
{
    if (returnCode != 1 || !mDelegate || !panel)
        return;
    const QStringList chosen = panel->selectedFiles();
    if (chosen.isEmpty())
        return;
    // The panel closes before the import starts, so the import's progress is what shows.
    const QString path = chosen.first();
    QntImportOptionsDelegate *delegate = mDelegate;
    const QVariantMap options = mOptionsDict;
    QMetaObject::invokeMethod(
        this, [delegate, path, options] { delegate->performImportFilepath(path, options); },
        Qt::QueuedConnection);
}
