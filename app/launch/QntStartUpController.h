#pragma once

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class Document;
class FileSystemItem;
class QWidget;
class QntNotation;
class VRDrawing;

// The start-up window: every new document begins here. The notation groups (folders of the
// user's Notations folder, "Imported" last), the notations of the chosen group, the recent
// documents, opening an existing file, and importing a stencil file as a new notation.
// Made once, by the document controller, and kept for the process.
class QntStartUpController : public QObject
{
    Q_OBJECT
public:
    using OpenPanel = std::function<QString(QWidget *parent, const QString &folder)>;
    using Confirmation = std::function<bool(QWidget *parent, const QString &question)>;

    explicit QntStartUpController(QObject *parent = nullptr);
    ~QntStartUpController() override;

    QWidget *window() const;

    // The notation the OK action chose, set only while its document is being made.
    static std::shared_ptr<QntNotation> selectedNotation();
    static void setSelectedNotation(std::shared_ptr<QntNotation> notation);
    // The shapes of the last stencil import, until the next new document takes them.
    static std::optional<VRObjectList> importedShapes();
    static void setImportedShapes(std::optional<VRObjectList> shapes);
    static void cleanImportedShapes();

    void beginStartUpDialog(VRDrawing *drawing);
    // Reloads the groups, selects "Misc" and the recent documents, and brings the window up.
    void populateControls();
    // Lists the notation groups and the chosen group's notations afresh, as on screen.
    void reloadNotations();
    void populateRecentMenu();

    QList<std::shared_ptr<QntNotation>> notationsItems() const { return m_notationsItems; }
    // Group rows as shown, with their folders.
    QStringList groupTitles() const;
    QTreeWidget *groupsOutline() const { return mNotationsGroups; }
    QListWidget *notationsItemsView() const { return m_notationsItemsView; }
    bool selectGroupNamed(const QString &name);
    bool selectNotationNamed(const QString &name);

    void outlineViewAction();
    void okAction();
    void cancelAction();
    void openExistingFileAction();
    // Grows the new document's window out of the chosen notation's cell.
    void startNewDocumentWindowAnimation(Document *document);
    // A window finished growing: the start-up window goes, and the current document shows its
    // shape library and takes the keyboard.
    void newDocumentWindowAnimationFinished(const Notification &notification);
    void openRecentAction(int index);
    void importStencil();
    // Imports a stencil file as a notation on a worker thread; the window's progress sheet
    // shows meanwhile. The chosen path is remembered as the last folder.
    void importStencilFromPath(const QString &path);
    bool isImporting() const { return m_importing; }
    bool isOpeningExistingFile() const { return _isOpeningExistingFile; }
    QString progressLabelText() const;

    // Whether the selected notation may be deleted: exactly one, inside the Imported folder.
    bool canDeleteSelectedCollectionItem() const;
    // Moves the selected imported notation to the trash after the user confirms.
    void deleteSelectedCollectionItem();

    // Replaceable open panel for the stencil import and confirmation (tests, headless use).
    static void setOpenPanel(OpenPanel panel);
    static void setConfirmation(Confirmation confirmation);
    // How long a failure message stays up before the sheet closes (seconds).
    static void setFailureMessageDelay(double seconds);
    static double failureMessageDelay();
    // The box that says why the last stencil import was refused, while it is up.
    QMessageBox *importErrorAlert() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ImportResult;
    // After the user closed or cancelled the window: quits when no document is open.
    void windowWasPutAway();
    // Gives back the picture the window was drawn into, while it is hidden.
    void releaseHiddenWindowPicture();
    void buildWindow();
    void updateButtons();
    void addGroupItems(QTreeWidgetItem *parent, FileSystemItem *node);
    void showMessageAndFinish(const QString &message);
    void finishImport();
    void endProgressSheet();

    QPointer<QWidget> m_window;
    QIcon m_folderIcon;
    VRDrawing *mDrawing = nullptr;
    QTreeWidget *mNotationsGroups = nullptr;
    QListWidget *m_notationsItemsView = nullptr;
    QComboBox *_openRecentPopupButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QList<std::shared_ptr<QntNotation>> m_notationsItems;
    bool _isOpeningExistingFile = false;
    // Times the window was shown: a window that began to grow out of it before its last
    // showing neither hides it nor takes the keyboard (-1: no growing of ours under way).
    int m_showings = 0;
    int m_showingsWhenGrown = -1;
    QString _lastImportedFilename;
    QPointer<QWidget> _progressPanel;
    QPointer<QProgressBar> _progressPanelIndicator;
    QPointer<QLabel> _progressPanelLabel;
    bool m_importing = false;
    // Why the running import was refused, until the box says it.
    QString m_importError;
    QPointer<QMessageBox> m_importErrorAlert;
    NotificationToken m_animationObserver;
};
