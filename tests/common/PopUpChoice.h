#pragma once

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>

// Header-only: the test mains of this folder do not link the application.
namespace qnt::test {

// Waits for the next pop-up menu to open and chooses its item with the given title as a user
// would (highlight, then Return), or closes it when there is no such item. What the menu was
// is kept for the test to look at. A menu still open when the chooser goes is closed.
class PopUpChoice
{
public:
    explicit PopUpChoice(const QString &itemTitle)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, itemTitle] { choose(itemTitle); });
        m_timer.start();
    }
    ~PopUpChoice()
    {
        if (QWidget *popUp = QApplication::activePopupWidget())
            popUp->close();
    }
    PopUpChoice(const PopUpChoice &) = delete;
    PopUpChoice &operator=(const PopUpChoice &) = delete;

    bool opened() const { return m_opened; }
    QMenu *menu() const { return m_menu; } // null once the menu is gone
    QString title() const { return m_title; }
    QPoint position() const { return m_position; }
    QList<QAction *> actions() const { return m_actions; }
    bool anyActive() const { return m_anyActive; } // an item was highlighted on opening

private:
    void choose(const QString &itemTitle)
    {
        auto *popUp = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popUp)
            return;
        m_timer.stop();
        m_opened = true;
        m_menu = popUp;
        m_title = popUp->title();
        m_position = popUp->pos();
        m_actions = popUp->actions();
        m_anyActive = popUp->activeAction() != nullptr;
        for (QAction *item : popUp->actions()) {
            if (item->text() == itemTitle) {
                popUp->setActiveAction(item);
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(popUp, &press);
                return;
            }
        }
        popUp->close();
    }

    QTimer m_timer;
    bool m_opened = false;
    QPointer<QMenu> m_menu;
    QString m_title;
    QPoint m_position;
    QList<QAction *> m_actions;
    bool m_anyActive = false;
};

} // namespace qnt::test
