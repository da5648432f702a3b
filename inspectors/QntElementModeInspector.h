#pragma once

#include <QObject>
#include <QString>

// The inspector of a single selected element. Made once at launch; it shows no window of
// its own until an element asks for it.
class QntElementModeInspector : public QObject
{
    Q_OBJECT
public:
    explicit QntElementModeInspector(const QString &windowNibName, QObject *parent = nullptr);

    QString windowNibName() const;

private:
    QString m_windowNibName;
};
