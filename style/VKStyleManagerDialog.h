#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRStyleMergeDelegate.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QWidget;
class VRStyleRegistry;

// The style library's window: the registry's categories (with a check box telling whether the
// selected style is filed there), the styles of the selected category as a grid of swatches
// and as a list, and commands to add, rename and delete categories, take a style out of the
// registry, clear the registry, and save the registry to or merge it from a .styles file. The
// default category can be neither renamed nor deleted, and its members are not edited here.
class VKStyleManagerDialog : public QObject, public VRStyleMergeDelegate
{
    Q_OBJECT
public:
    static constexpr int kGridColumns = 4;

    explicit VKStyleManagerDialog(QObject *parent = nullptr);
    ~VKStyleManagerDialog() override;

    QString windowNibName() const { return QStringLiteral("StyleManager"); }
    // Made on first use; opening selects the default category.
    QWidget *window();
    void showWindow();
    VRStyleRegistry &styles() const;

    void addCategoryAction();
    void deleteCategoryAction();
    void styleIconMatrixAction(int row, int column);
    void styleDeleteAction();
    void registryResetAction();
    void saveStylesToFileAction();
    void loadStylesFromFileAction();
    // The end of the remove ("remove") and clear ("reset") questions: 1 acts, 0 cancels.
    void alertDidEnd(const QString &context, int returnCode);
    // Writes or merges the library; a failure is reported in a message and changes nothing.
    bool saveStylesToFile(const QString &path);
    bool loadStylesFromFile(const QString &path);

    void populateMatrixWithStyleInCategory(const QString &category);
    void updateUIForCategory(const QString &category);
    void updateUIForStyle(const VRStyleRef &style);
    void reloadCategories();
    // Renaming and filing from the category table.
    void renameCategory(int row, const QString &name);
    void setStyleInCategory(int row, bool inCategory);

    QString selectedCategory() const { return mSelectedCategory; }
    VRStyleRef selectedStyle() const;

    // How the questions are asked: true for the default button. Tests answer them.
    using Question = std::function<bool(const QString &message, const QString &context)>;
    void setQuestion(Question question) { m_question = std::move(question); }
    // The last failure message shown (save or load).
    QString lastErrorMessage() const { return m_lastError; }

    QTableWidget *categoryList() const { return mStyleCategoryList; }
    QTableWidget *iconMatrix() const { return mStyleIconMatrix; }
    QTableWidget *browserList() const { return mStyleBrowserList; }
    QTabWidget *listTabView() const { return mStyleListTabView; }
    QPushButton *addCategoryButton() const { return mAddCategoryButton; }
    QPushButton *deleteCategoryButton() const { return mDeleteCategoryButton; }
    QPushButton *deleteStyleButton() const { return mDeleteStyleButton; }
    QLineEdit *styleNameField() const { return mStyleNameTextField; }

    static int newCategoryCounter();

private:
    void createWindow();
    void reloadStyleList();
    void ask(const QString &message, const QString &informative, const QString &defaultTitle,
             const QString &context);
    void reportError(const QString &title, const QString &message);
    int rowOfCategory(const QString &category) const;
    void registryChangedElsewhere();

    QPointer<QWidget> m_window;
    QPushButton *mAddCategoryButton = nullptr;
    QPushButton *mDeleteCategoryButton = nullptr;
    QTableWidget *mStyleCategoryList = nullptr;
    QTableWidget *mStyleIconMatrix = nullptr;
    QLineEdit *mStyleNameTextField = nullptr;
    QLabel *mPreviewImageWell = nullptr;
    QTabWidget *mStyleListTabView = nullptr;
    QTableWidget *mStyleBrowserList = nullptr;
    QPushButton *mDeleteStyleButton = nullptr;
    // The selected style by its registry key: a style removed meanwhile is simply not found.
    QString mSelectedStyleKey;
    QString mSelectedCategory;
    Question m_question;
    QString m_lastError;
    bool m_updating = false;
    bool m_refreshPending = false;
    NotificationToken m_registryToken;
};
