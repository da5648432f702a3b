#include "library/QntImportOptionsController.h"

#include "framework/base/VRConstants.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : QntImportOptionsDelegate {
    bool performImportFilepath(const QString &path, const QVariantMap &options) override
    {
        calls.push_back({path, options});
        return true;
    }
    QList<std::pair<QString, QVariantMap>> calls;
};

} // namespace

TEST(QntImportOptionsController, TheChosenStencilGoesToTheDelegateAndCancelCallsNothing)
{
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntLastFolderForInsertingImage);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Kit.gstencil"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QntImportOptionsController controller;
    RecordingDelegate delegate;
    controller.beginImportDialogWithParentWindow(nullptr, &delegate);
    QFileDialog *panel = controller.openPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->windowTitle(), "Import stencil");
    EXPECT_EQ(panel->labelText(QFileDialog::Accept), "Import");
    EXPECT_EQ(panel->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(panel->nameFilters().join(' '), "Stencils (*.plist *.gstencil *.graffle)");
    EXPECT_EQ(QDir(panel->directory()).canonicalPath(), QDir(QDir::homePath()).canonicalPath());
    panel->reject();
    QApplication::processEvents();
    EXPECT_TRUE(delegate.calls.isEmpty());

    // The stored folder is where the panel starts; the dialog never writes it.
    UserDefaults::standardUserDefaults().setObject(folder.path(), kQntLastFolderForInsertingImage);
    controller.beginImportDialogWithParentWindow(nullptr, &delegate);
    panel = controller.openPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(QDir(panel->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
    panel->selectFile(path);
    static_cast<QDialog *>(panel)->accept();
    QApplication::processEvents();
    ASSERT_EQ(delegate.calls.size(), 1);
    EXPECT_EQ(QFileInfo(delegate.calls.first().first).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());
    EXPECT_TRUE(delegate.calls.first().second.isEmpty());
    EXPECT_EQ(UserDefaults::standardUserDefaults().objectForKey(kQntLastFolderForInsertingImage),
              QVariant(folder.path()));
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntLastFolderForInsertingImage);

    // Without a delegate nothing is called.
    controller.beginImportDialogWithParentWindow(nullptr, nullptr);
    controller.openPanel()->selectFile(path);
    static_cast<QDialog *>(controller.openPanel())->accept();
    QApplication::processEvents();
    EXPECT_EQ(delegate.calls.size(), 1);
}
