#include "platform/MenuAdditions.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>
#include <QWidget>

namespace {

const char kTagProperty[] = "qntTag";

} // namespace

void MenuAdditions::setTag(QAction *item, int tag)
{
    if (item)
        item->setProperty(kTagProperty, tag);
}

int MenuAdditions::tag(const QAction *item)
{
    return item ? item->property(kTagProperty).toInt() : 0;
}

void MenuAdditions::disableItemsWithTag(QMenu *menu, int tag)
{
    if (!menu)
        return;
    for (QAction *item : menu->actions()) {
        if (MenuAdditions::tag(item) == tag)
            item->setEnabled(false);
    }
}

void MenuAdditions::removeAllItems(QMenu *menu)
{
    if (!menu)
        return;
    const QList<QAction *> items = menu->actions();
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        menu->removeAction(items[i]);
        if (items[i]->parent() == menu)
            delete items[i];
    }
}

void MenuAdditions::removeAllItems(QComboBox *popUp)
{
    if (!popUp)
        return;
    for (int i = popUp->count() - 1; i >= 0; --i)
        popUp->removeItem(i);
}

void MenuAdditions::uncheckAllItems(QMenu *menu)
{
    if (!menu)
        return;
    for (QAction *item : menu->actions())
        item->setChecked(false);
}

QMenu *MenuAdditions::menuForPopUp(QMenu *menu, QWidget *parent)
{
    auto *copy = new QMenu(parent);
    if (menu) {
        copy->setTitle(menu->title());
        copy->addActions(menu->actions());
    }
    return copy;
}

QPoint MenuAdditions::popUpPosition(QWidget *view, bool pullsDown)
{
    if (!view)
        return {};
    return view->mapToGlobal(pullsDown ? QPoint(0, view->height()) : QPoint(0, 0));
}

QAction *MenuAdditions::popUpMenu(QMenu *menu, QWidget *view, bool pullsDown)
{
    if (!menu || !view)
        return nullptr;
    QPointer<QMenu> copy = menuForPopUp(menu, view);
    copy->setMinimumWidth(view->width());
    QAction *chosen = copy->exec(popUpPosition(view, pullsDown));
    delete copy;
    return chosen;
}
