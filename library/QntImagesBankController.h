#pragma once

#include "library/ImageBrowserView.h"
#include "library/QntImageCellTitleEditor.h"

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class FMDatabase;
class ImagesBankItem;
class QWidget;

// The image bank: the pictures the user keeps as diagram elements in "imagebank.db" (the
// shape library's Custom group) and, optionally, the elements of the imported notations. The
// controller owns the database file's creation and its rows' changes (the store) and the
// window that browses, searches, renames, reorders, adds, removes and drags the pictures out.
class QntImagesBankController : public QObject, public ImageBrowserDataSource
{
    Q_OBJECT
public:
    using ItemRef = std::shared_ptr<ImagesBankItem>;

    // Pictures larger than this are refused (their pixels would not fit in memory comfortably).
    static constexpr qint64 kMaximumPixels = qint64(50) * 1000 * 1000;
    static constexpr int kMaximumSide = 16384;
    // The browser's pictures are made once, at most this size.
    static constexpr int kThumbnailSide = 256;

    explicit QntImagesBankController(const QString &windowNibName, QObject *parent = nullptr);
    ~QntImagesBankController() override;

    QString windowNibName() const;
    // The window, made on first use.
    QWidget *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    bool isWindowVisible() const;
    void showWindow();

    // ---- folders ----
    static QString imageBankFolderPath();
    static QString imageBankFilePath();
    static QString importedFolderPath();
    static QString templatePath();

    // ---- store ----
    // Makes "imagebank.db" when it is missing or empty; an existing file is never changed.
    // False (after logging why) when the file cannot be made or is no readable notation.
    bool initImageBank();
    // The same for anyone who stores into the bank (the shape library's Custom group).
    static bool ensureImageBank(QString *problem = nullptr);
    // The problem initImageBank met last; empty after success.
    QString imageBankProblem() const { return m_imageBankProblem; }
    // A new entry for a picture file, identified by its file name made unique among the entries,
    // the image bank's rows and the registered tools; null when the file is no usable picture
    // (whyNot says why).
    ItemRef elementWithPath(const QString &path, QString *whyNot = nullptr);
    bool existsItemWithId(const QString &identifier) const;
    // Adds one picture file (names beginning with "." are skipped): the entry joins the list
    // only when its row was stored. False when nothing was added; whyNot says why.
    bool addElementWithPath(const QString &path, QString *whyNot = nullptr);
    // Every entry of a folder, or the file itself; then the browser reloads and the user is told
    // which files were refused. The number of pictures added.
    int addImagesFromDirectory(const QString &path);
    int addImagesFromPaths(const QStringList &paths, int atIndex = -1);
    void addImageWithPath(const QString &path);
    void cleanImages();
    bool addElementToImageBankDB(const VRObjectRef &element);
    // Removes the entry's row from the database it came from.
    bool removeElementFromImageBankDB(const ImagesBankItem &item);
    bool updateElementInImageBankDB(const ImagesBankItem &item);

    // ---- loading ----
    void addImportedFromDirectory(const QString &path);
    void addImportedWithPath(const QString &path);
    // The entries of the database file at the path, through a connection opened on it (skipped,
    // as a file that cannot be opened, when it is no readable notation).
    void addImportedFromDatabase(FMDatabase &db, const QString &path);
    void setupBrowsing();
    void finishLoading();
    // The entries shown, or null before the first setup (and after a drop of the list).
    const QList<ItemRef> *images() const { return m_images ? &*m_images : nullptr; }
    QList<ItemRef> filteredOutImages() const { return m_filteredOutImages; }
    // How many pictures of entries have been made from elements (each entry's once).
    static qint64 thumbnailRenderCount();
    // A picture of the object, at most side × side, drawn at once at that scale.
    static QImage thumbnailOfObject(const VRDrawableObject &object, int side);

    // ---- actions ----
    void addImageButtonClicked();
    // Asks first; the removal itself is imageBrowserRemoveItemsAtIndexes.
    void removeImageButtonClicked();
    void zoomSliderDidChange(int value);
    void searchFieldChanged();
    void showAllImportedCheckboxAction();
    void showCustomCheckboxAction();
    void elementAddedToImageBankNotification(const Notification &notification);
    static bool keywordMatchSearch(const QString &keyword, const QString &search);
    void openImageTitleEditorForCellAtIndex(int index) override;
    void sheetDidEnd(int returnCode);
    bool imageBrowserRemoveItemsAtIndexes(const QList<int> &indexes);

    // ---- ImageBrowserDataSource ----
    int numberOfItemsInImageBrowser() const override;
    ItemRef imageBrowserItemAtIndex(int index) const override;
    bool imageBrowserMoveItemsAtIndexes(const QList<int> &indexes, int toIndex) override;
    int imageBrowserWriteItemsAtIndexes(const QList<int> &indexes, QMimeData *data) override;
    Qt::DropAction draggingEntered(const QMimeData *data, bool fromBrowser) override;
    bool performDragOperation(const QMimeData *data, int dropIndex, bool fromBrowser) override;
    void imageBrowserSelectionDidChange() override;
    void removeSelectedItems() override { removeImageButtonClicked(); }

    // ---- the window's parts (made with the window) ----
    ImageBrowserView *imageBrowser() const { return m_imageBrowser; }
    QCheckBox *showAllImportedCheckbox() const { return m_showAllImportedCheckbox; }
    QCheckBox *showCustomCheckbox() const { return m_showCustomCheckbox; }
    QLineEdit *searchField() const { return _searchField; }
    QSlider *zoomSlider() const { return m_zoomSlider; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *removeButton() const { return m_removeButton; }
    QntImageCellTitleEditor *titleEditController() const { return _titleEditController; }
    QFileDialog *openPanel() const { return m_openPanel; }
    // The last question or message shown, while it is open.
    QMessageBox *alert() const { return m_alert; }
    // The identifier of the entry being renamed; empty when no rename is open.
    QString editedItemId() const { return m_editedId; }

private:
    void loadWindow();
    void showRefusals(const QStringList &refusals);
    void updateCount();
    void storeOrder();
    void showMessage(const QString &text, const QString &informative);
    void postCustomSubgroupReload();
    std::optional<QImage> readPicture(const QString &path, QString *whyNot) const;
    QString uniqueIdentifier(const QString &base) const;
    ItemRef itemForElement(const VRObjectRef &element, const QString &identifier) const;
    int indexOfItem(const QString &identifier, const QString &sourceDatabase) const;
    static bool imageBankFileIsUsable(QString *problem);
    void forgetUnloadedRows();
    // Lets go of the rows this bank kept (when it goes).
    void forgetLoadedRows();

    QString m_windowNibName;
    QPointer<QWidget> m_window;
    QPointer<ImageBrowserView> m_imageBrowser;
    QPointer<QCheckBox> m_showAllImportedCheckbox;
    QPointer<QCheckBox> m_showCustomCheckbox;
    QPointer<QLineEdit> _searchField;
    QPointer<QSlider> m_zoomSlider;
    QPointer<QPushButton> m_addButton;
    QPointer<QPushButton> m_removeButton;
    QPointer<QLabel> m_countLabel;
    QPointer<QntImageCellTitleEditor> _titleEditController;
    QPointer<QProgressDialog> _progressPanel;
    QPointer<QFileDialog> m_openPanel;
    QPointer<QMessageBox> m_alert;

    std::optional<QList<ItemRef>> m_images;
    QList<ItemRef> m_filteredOutImages;
    QList<int> m_filteredOutIndexes;
    bool m_searchMade = false;
    // The entry being renamed, by identity and database: the list may be rebuilt meanwhile.
    QString m_editedId;
    QString m_editedDatabase;
    QString m_imageBankProblem;
    bool m_loading = false;
    bool m_reloadPending = false;
    bool m_storing = false;
    // The rows the last setup loaded; the kept pictures of other rows are let go.
    QSet<QByteArray> m_loadedKeys;
    std::vector<NotificationToken> m_observers;
};
