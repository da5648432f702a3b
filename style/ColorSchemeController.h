#pragma once

#include "framework/model/VRDrawing.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;
class QntNotation;
class VRDrawing;
class ColorSchemeTreeNode;

extern const QString kQntReloadColorSchemeOutlineNotification;
// The user's copies of the notations' colour schemes in the user defaults.
extern const QString kQntColorSchemesKey; // "ColorSchemes"

// The "Color Scheme" section of a document window: the user's copy of the colour schemes of the
// window's notation as scheme > group > colour rows, with in-place colour editing through the
// colour panel, the selected colour's comment, opacity and flags, and New, Remove, Restore
// Defaults and Apply. Every change is saved at once; the other windows of the same notation
// reload. The copies of all notations live in one process-wide live copy that every section
// shares; saving merges it into the stored value, so the customisations of notations not opened
// in this run are kept. GUI thread only.
class ColorSchemeController : public QWidget
{
    Q_OBJECT
public:
    explicit ColorSchemeController(QWidget *parent = nullptr);
    ~ColorSchemeController() override;

    // Loads the tree of the drawing's notation; nothing when the notation has no name.
    void setupWithDrawing(VRDrawing *drawing);
    VRDrawing *drawing() const { return m_drawing; }
    QString notationName() const;

    // ---- the store ----
    // The live copy (notation name → root dictionary), created empty on first use.
    static QVariantMap &liveCopy();
    static bool hasLiveCopy();
    static void releaseLiveCopy();
    // The notation's root dictionary: from the live copy, else from the user defaults, else the
    // notation's built-in schemes; put into the live copy and handed to the framework.
    static QVariantMap rootDictionaryForNotation(const QntNotation &notation);

    std::unique_ptr<ColorSchemeTreeNode> treeNodeFromDictionary(const QVariantMap &dictionary);
    std::unique_ptr<ColorSchemeTreeNode>
    cleanedTreeNodeFromDictionary(const QVariantMap &dictionary, bool doCleanHexColor);
    // Path [scheme Id] or [scheme Id, group name, colour Id]; true when a dictionary changed.
    bool updateKey(const QVariantList &path, const QString &key, const QVariant &value);
    // Writes the live copy into the user defaults (merged with the entries of other notations
    // stored there), refreshes the framework's scheme cache and tells the other sections.
    void saveColorSchemesRegistry();
    bool disableSaving() const { return m_disableSaving; }
    ColorSchemeTreeNode *currentNode() const { return m_currentNode; }
    ColorSchemeTreeNode *currentRootNode() const { return m_currentRootNode; }
    ColorSchemeTreeNode *rootNode() const { return m_rootNode.get(); }
    // Removes the first scheme with that Id from the notation's list in the live copy.
    bool removeColorSchemeWithId(qint64 schemeId);

    // ---- actions ----
    void newColorSchemeAction();
    void removeColorSchemeAction();
    void restoreDefaultsAction();
    void applyToSelectionAction();
    void commentTextFieldAction();
    void alphaSliderAction();
    void alphaTextboxAction();
    void useAsDefaultColorSchemeCheckboxAction();
    void useAsTableCellBackgroundCheckboxAction();
    void useAsTableGridColorCheckboxAction();
    // In-place colour editing of a row: the colour panel comes up with the row's colour and
    // every colour picked is written to it. Groups and default schemes only show a note.
    void editColourOfNode(ColorSchemeTreeNode *node);
    // A colour picked in the colour panel for the row being edited.
    void colorWellAction(const QColor &colour);
    ColorSchemeTreeNode *editedNode() const { return m_editedNode; }
    void setNote(const QString &note);

    // Selects the row of a node (null clears the selection).
    void selectNode(const ColorSchemeTreeNode *node);
    ColorSchemeTreeNode *nodeOfItem(const QTreeWidgetItem *item) const;
    QTreeWidgetItem *itemOfNode(const ColorSchemeTreeNode *node) const;

    // Destructive actions ask first; tests answer for the user.
    using Confirmation = std::function<bool(const QString &question)>;
    void setConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }

    QTreeWidget *outlineView() const { return _outlineView; }
    QLabel *selectionOutput() const { return selectionOutput_; }
    QLabel *noteLabel() const { return noteLabel_; }
    QLineEdit *commentTextField() const { return commentTextField_; }
    QSlider *alphaSlider() const { return alphaSlider_; }
    QLineEdit *alphaTextbox() const { return alphaTextbox_; }
    QCheckBox *useAsDefaultColorSchemeCheckbox() const { return useAsDefaultColorSchemeCheckbox_; }
    QCheckBox *useAsTableCellBackgroundCheckbox() const
    {
        return useAsTableCellBackgroundCheckbox_;
    }
    QCheckBox *useAsTableGridColorCheckbox() const { return useAsTableGridColorCheckbox_; }
    QPushButton *addNewColorSchemeButton() const { return addNewColorSchemeButton_; }
    QPushButton *removeColorSchemeButton() const { return removeColorSchemeButton_; }
    QPushButton *restoreDefaultsButton() const { return restoreDefaultsButton_; }
    QPushButton *applyButton() const { return applyButton_; }

private:
    void reloadNotification(const Notification &notification);
    void outlineViewSelectionDidChange();
    void reloadOutline();
    void addItems(QTreeWidgetItem *parentItem, ColorSchemeTreeNode *node);
    void refreshItem(QTreeWidgetItem *item);
    QString formattedAlpha(double alpha) const;
    bool confirm(const QString &question);
    static void handLiveCopyToFramework();

    QPointer<VRDrawing> m_drawing;
    std::unique_ptr<ColorSchemeTreeNode> m_rootNode;
    ColorSchemeTreeNode *m_currentNode = nullptr;
    ColorSchemeTreeNode *m_currentRootNode = nullptr;
    ColorSchemeTreeNode *m_editedNode = nullptr;
    bool m_disableSaving = false;
    Confirmation m_confirm;
    NotificationToken m_reloadToken;

    QTreeWidget *_outlineView = nullptr;
    QLabel *selectionOutput_ = nullptr;
    QLabel *noteLabel_ = nullptr;
    QLineEdit *commentTextField_ = nullptr;
    QSlider *alphaSlider_ = nullptr;
    QLineEdit *alphaTextbox_ = nullptr;
    QCheckBox *useAsDefaultColorSchemeCheckbox_ = nullptr;
    QCheckBox *useAsTableCellBackgroundCheckbox_ = nullptr;
    QCheckBox *useAsTableGridColorCheckbox_ = nullptr;
    QPushButton *addNewColorSchemeButton_ = nullptr;
    QPushButton *removeColorSchemeButton_ = nullptr;
    QPushButton *restoreDefaultsButton_ = nullptr;
    QPushButton *applyButton_ = nullptr;
};
