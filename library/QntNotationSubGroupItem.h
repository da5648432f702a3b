#pragma once

#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>

class QntNotation;
class QntNotationSubgroup;
class VRDrawingTool;

// One shape-library item: the tool that creates the shape (its prototype is the shape), the
// shape's picture, title (the element identifier), tooltip, row size and the group holding it.
class QntNotationSubGroupItem
{
public:
    static constexpr double kItemHeight = 52.0;

    explicit QntNotationSubGroupItem(QntNotationSubgroup *parent);
    QntNotationSubGroupItem(const QntNotationSubGroupItem &) = delete;
    QntNotationSubGroupItem &operator=(const QntNotationSubGroupItem &) = delete;

    QImage image() const { return _icon; }
    void setImage(const QImage &image) { _icon = image; }
    QString title() const { return _title; }
    void setTitle(const QString &title);
    QString tooltip() const { return _tooltip; }
    void setTooltip(const QString &tooltip);
    VRObjectRef representedObject() const { return _representedObject; }
    void setRepresentedObject(VRObjectRef object) { _representedObject = std::move(object); }
    QSizeF size() const { return _size; }
    void setSize(QSizeF size) { _size = size; }
    QntNotationSubgroup *parent() const { return _parent; }
    VRDrawingTool *drawingTool() const { return _tool.get(); }

    // Keeps the tool and takes its cached picture, or renders the picture once and gives it to
    // the tool, so every item of that tool shares one picture. Nothing happens for the same tool.
    void setDrawingTool(std::shared_ptr<VRDrawingTool> tool, const QntNotation *notation);
    // Renders the tool's shape off-screen and makes it the item's picture. Null (and the picture
    // left as it was) without a creation tool or when the shape draws nothing.
    QImage updateImageWithNotation(const QntNotation *notation);

    // How many pictures have been rendered in this process (the cache's effect is measurable).
    static qint64 renderedImageCount();

    // An item of a parts group draws its part again when the inspectors restyle that part
    // (kQntUpdateSubGroupItemNotification with the part as object): as it now looks inside the
    // current document's single selection. Items of other groups, other objects, no selection
    // or a selected plain connector leave the picture as it is.
    void updateImageNotification(const Notification &notification);
    // Starts (or stops) following the restyling of the represented object.
    void observeRepresentedObjectRestyling(bool observe);

private:
    std::shared_ptr<VRDrawingTool> _tool;
    VRObjectRef _representedObject;
    QImage _icon;
    QString _title;
    QString _tooltip;
    QSizeF _size{0, 0};
    QntNotationSubgroup *_parent = nullptr;
    NotificationToken m_restyleObserver;
};
