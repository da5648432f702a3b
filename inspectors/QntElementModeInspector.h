#pragma once

#include "inspectors/QntContextMenu.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QntElement;
class VRDrawingDocument;

// The inspector of a single selected element. Made once at launch; a right mouse-up on an
// element shows the element's tool column beside it, whose buttons open the attached toolbars.
class QntElementModeInspector : public QntContextMenu
{
    Q_OBJECT
public:
    explicit QntElementModeInspector(const QString &windowNibName, QObject *parent = nullptr);
    QntElementModeInspector(VREmbedded, QWidget *hostWindow);
    ~QntElementModeInspector() override;

    QString windowNibName() const { return windowName(); }

    VRObjectRef contextObject() const override { return _contextObject; }
    std::shared_ptr<QntElement> contextElement() const override;
    void setContextObject(const VRObjectRef &object) override;
    const VRClassInfo *contextObjectClass() const override;
    QString contextObjectID() const override;
    QPointF menuPosition() override;
    void createVerticalToolbarAtPoint(QPointF point) override;
    void contextMenuDidClose() override;
    void closeAttachedWindows() override;
    void closeAttachedWindowsWithKind(int mask) override;
    VRObjectList selectedObjectForCurrentTarget() const override;
    void populateToolMatrix() override;
    void populateMatrix(QntButtonMatrix *matrix);
    void toolButtonMatrixAction(QntButtonMatrix *matrix) override;

    void rightMouseUpOnElement(const Notification &notification);
    void openStylePropertiesPanel(const Notification &notification);
    void closeAction();

    // The contour and fill controls of the document window's inspector column: the simple-style
    // controls of an inspector embedded in the section, following the document's single
    // selected element.
    static QWidget *makeSimpleStyleSection(VRDrawingDocument *document);
    // Reads the single selected element of the document into the section's controls.
    void followSelection(VRDrawingDocument *document);

protected:
    void onlyContourModeAction() override;

private:
    VRObjectRef _contextObject;
    std::vector<NotificationToken> m_elementObservers;
    QPointer<VRDrawingDocument> m_followedDocument;
    bool m_refreshPending = false;
};
