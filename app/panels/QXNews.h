#pragma once

#include <QObject>

class QXNewsDelegate;

// The news window and feed, one per process. The delegate supplies the request options.
class QXNews : public QObject
{
    Q_OBJECT
public:
    static QXNews &sharedNews();

    // Not owned.
    void setDelegate(QXNewsDelegate *delegate);
    QXNewsDelegate *delegate() const;

private:
    QXNews() = default;

    QXNewsDelegate *m_delegate = nullptr;
};
