#pragma once

#include <QObject>
#include <QString>

// The inspector of a single selected connector. Made once at launch; it shows no window of
// its own until a connector asks for it.
class QntConnectorModeInspector : public QObject
{
    Q_OBJECT
public:
    explicit QntConnectorModeInspector(const QString &windowNibName, QObject *parent = nullptr);

    QString windowNibName() const;

private:
    QString m_windowNibName;
};
