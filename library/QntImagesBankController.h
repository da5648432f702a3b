#pragma once

#include <QObject>
#include <QString>

// The image bank's window controller. Made once at launch and kept for the image-bank
// commands; not shown until asked.
class QntImagesBankController : public QObject
{
    Q_OBJECT
public:
    explicit QntImagesBankController(const QString &windowNibName, QObject *parent = nullptr);

    QString windowNibName() const;

private:
    QString m_windowNibName;
};
