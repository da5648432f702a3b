#pragma once

class QAction;
class QComboBox;
class QMenu;
class QPoint;
class QWidget;

// Operations on menus that several editors share. Menu items carry an integer tag, kept as a
// property of the action, the way controls and items are told apart by number.
class MenuAdditions
{
public:
    static void setTag(QAction *item, int tag);
    static int tag(const QAction *item); // 0 when none was set

    // Disables every item whose tag equals the given tag.
    static void disableItemsWithTag(QMenu *menu, int tag);
    // Removes the items from the last to the first.
    static void removeAllItems(QMenu *menu);
    // The same for the item list of a pop-up button.
    static void removeAllItems(QComboBox *popUp);
    // Sets every item's state to off.
    static void uncheckAllItems(QMenu *menu);

    // A copy of the menu for popping up over a view: the same title and the same actions, so
    // choosing an item triggers the original and the original menu reports it. The caller
    // owns the copy.
    static QMenu *menuForPopUp(QMenu *menu, QWidget *parent);
    // Where the copy appears: below the view for a pull-down, over it otherwise (global).
    static QPoint popUpPosition(QWidget *view, bool pullsDown);
    // Pops a copy of the menu up over the view and waits for the choice; the chosen action
    // or null.
    static QAction *popUpMenu(QMenu *menu, QWidget *view, bool pullsDown);
};
