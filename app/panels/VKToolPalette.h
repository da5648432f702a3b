#pragma once

#include "framework/document/VRInspectorBase.h"
#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QPointer>

#include <vector>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QLabel;
class QMenu;
class QToolButton;
class VRDrawingTool;

// The floating tool palette: buttons for the drawing tools, a preview of the style that new
// objects get and a menu of the library styles to choose it from. It follows the current tool
// of the frontmost drawing.
class VKToolPalette : public VRInspectorBase
{
    Q_OBJECT
public:
    static constexpr int kPreviewSize = 112;

    explicit VKToolPalette(QObject *parent = nullptr);
    ~VKToolPalette() override;

    static QString toolName2ButtonTitle(const QString &toolName);
    static QString buttonTitle2ToolName(const QString &buttonTitle);
    // The button titles of the matrix, row by row; an empty title is a disabled cell.
    static QStringList buttonTitles();

    void selectToolWithName(const QString &toolName);
    void toolButtonMatrixAction(QAbstractButton *button);
    void toolDoubleClick(QAbstractButton *button);
    void libraryItemAction(QAction *item);
    void populatePopUpButtonWithLibraryStyles();
    void updateStylePreviewWithStyle(const VRStyleRef &style);
    void styleRegistryChanged(const Notification &notification);
    void toolChangedNotification(const Notification &notification);
    // Check marks of the style menu: the item of the style for created objects is checked.
    void validateMenuItems();

    QList<QToolButton *> toolButtons() const { return m_buttons; }
    QToolButton *selectedButton() const;
    QToolButton *stylePopUpButton() const { return mStylePopUpButton; }
    QLabel *stylePreviewView() const { return mStylePreviewView; }
    VRDrawingTool *toolOfButton(const QAbstractButton *button) const;

protected:
    QWidget *createWindow() override;
    void windowDidLoad() override;
    void documentDidChange(const Notification &notification) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QToolButton *> m_buttons;
    QButtonGroup *mToolMatrix = nullptr;
    QToolButton *mStylePopUpButton = nullptr;
    QLabel *mStylePreviewView = nullptr;
    QPointer<QMenu> m_styleMenu;
    std::vector<NotificationToken> m_observers;
};
