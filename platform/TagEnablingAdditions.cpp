#include "platform/TagEnablingAdditions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {

const char kTagProperty[] = "qntTag";

QList<QWidget *> childWidgets(QWidget *view)
{
    return view->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

void TagEnablingAdditions::setTag(QWidget *view, int tag)
{
    if (view)
        view->setProperty(kTagProperty, tag);
}

int TagEnablingAdditions::tag(const QWidget *view)
{
    return view ? view->property(kTagProperty).toInt() : 0;
}

bool TagEnablingAdditions::isControl(const QWidget *view)
{
    return qobject_cast<const QAbstractButton *>(view)
           || qobject_cast<const QAbstractSlider *>(view)
           || qobject_cast<const QAbstractSpinBox *>(view) || qobject_cast<const QComboBox *>(view)
           || qobject_cast<const QLineEdit *>(view) || qobject_cast<const QAbstractItemView *>(view)
           || qobject_cast<const QTextEdit *>(view) || qobject_cast<const QPlainTextEdit *>(view);
}

void TagEnablingAdditions::setSubviewsWithTag(QWidget *view, int tag, bool hidden)
{
    if (!view)
        return;
    if (TagEnablingAdditions::tag(view) == tag) {
        view->setHidden(hidden);
        return;
    }
    for (QWidget *child : childWidgets(view))
        setSubviewsWithTag(child, tag, hidden);
}

void TagEnablingAdditions::setSubviewsWithTagEnabled(QWidget *view, int tag, bool enabled)
{
    if (!view)
        return;
    if (TagEnablingAdditions::tag(view) == tag && isControl(view)) {
        view->setEnabled(enabled);
        return;
    }
    for (QWidget *child : childWidgets(view))
        setSubviewsWithTagEnabled(child, tag, enabled);
}
