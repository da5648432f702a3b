#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <QFileDialog>
class QWidget;

// The one that imports what the dialog chose.
class QntImportOptionsDelegate
{
public:
    virtual ~QntImportOptionsDelegate() = default;
    virtual bool performImportFilepath(const QString &path, const QVariantMap &options) = 0;
};

// The stencil import dialog of one document: a file panel for one stencil file ("plist",
// "gstencil" or "graffle") whose path goes to the delegate with the import options.
class QntImportOptionsController : public QObject
{
    Q_OBJECT
public:
    explicit QntImportOptionsController(QObject *parent = nullptr);
    ~QntImportOptionsController() override;

    // Runs the panel, modal to the application; the window is accepted and not used.
    void beginImportDialogWithParentWindow(QWidget *window, QntImportOptionsDelegate *delegate);
    // The end of the panel: on 1 (confirmed) the delegate gets the first chosen path.
    void importPanelDidEnd(QFileDialog *panel, int returnCode);

    QFileDialog *openPanel() const { return mOpenPanel; }
    QntImportOptionsDelegate *delegate() const { return mDelegate; }
    QVariantMap options() const { return mOptionsDict; }
    // The folder the panel starts in.
    static QString startFolder();

private:
    QPointer<QFileDialog> mOpenPanel;
    QntImportOptionsDelegate *mDelegate = nullptr; // not owned
    QVariantMap mOptionsDict;
    bool m_hasOptions = false;
};
