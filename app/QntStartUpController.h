#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QComboBox;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QWidget;

// The start-up window: the notation groups (folders of the user's Notations folder), the
// notations of the chosen group, the recent documents and the way to open an existing file.
// Made once, by the document controller, and kept for the process.
class QntStartUpController : public QObject
{
    Q_OBJECT
public:
    explicit QntStartUpController(QObject *parent = nullptr);
    ~QntStartUpController() override;

    QWidget *window() const;

    // Reloads the groups and the recent documents and brings the window to the front.
    void populateControls();
    void populateRecentMenu();

    // The notations (their paths) of the selected group, in the library's order.
    QStringList notationsItems() const;
    QStringList groupPaths() const;
    static QString notationsRootFolder();

    void outlineViewAction();
    void okAction();
    void cancelAction();
    void openExistingFileAction();
    void openRecentAction(int index);

private:
    void buildWindow();
    void updateButtons();

    QPointer<QWidget> m_window;
    QTreeWidget *mNotationsGroups = nullptr;
    QListWidget *notationsItemsView = nullptr;
    QComboBox *_openRecentPopupButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QStringList m_notationsItems;
};
