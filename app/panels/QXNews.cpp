#include "app/panels/QXNews.h"

QXNews &QXNews::sharedNews()
{
    static QXNews *news = new QXNews; // lives for the process, like the window it stands for
    return *news;
}

void QXNews::setDelegate(QXNewsDelegate *delegate)
{
    m_delegate = delegate;
}

QXNewsDelegate *QXNews::delegate() const
{
    return m_delegate;
}
