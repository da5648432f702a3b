#pragma once

#include "framework/model/VRObjectOwnerLayer.h"

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QStringList>
#include <QVariantMap>

// The object layer users draw in: selection (with undo), duplication, alignment and
// distribution, pictures of objects and drag support.
class VRObjectDrawingLayer : public VRObjectOwnerLayer
{
    VR_CLASS(VRObjectDrawingLayer)
public:
    VRObjectDrawingLayer() = default;

    // Selection, in selection order.
    const VRObjectList &selection() const { return m_selection; }
    VRObjectRef singleSelection() const;
    int countOfSelection() const { return int(m_selection.size()); }
    VRObjectList selectedAvailableObjects() const;
    bool isSelectedObject(const VRDrawableObject &object) const;
    QRectF selectionBounds() const;

    void addObjectToSelection(VRObjectRef object);
    void addObjectsToSelectionFromArray(const VRObjectList &objects);
    void removeObjectFromSelection(const VRObjectRef &object);
    void exchangeSelectionWithObjectsFromArray(const VRObjectList &objects);
    void replaceSelectionWithObject(VRObjectRef object);
    void deselectAll();
    void selectAll();
    bool isSelectionVisible() const { return m_selectionVisible; }
    void setSelectionVisible(bool visible);
    void deleteSelection(QObject *sender = nullptr);

    void recordSelectionForUndo();
    void commitSelectionUndoWithActionName(const QString &actionName);
    static void setDefaultSelectionChangesAreUndoable(bool undoable);
    static bool defaultSelectionChangesAreUndoable();

    // Duplication: copies are returned, not added (the caller adds them). At most
    // kMaximumCopies copies of each object, and kMaximumObjectsMade objects in all unless it is
    // one copy of each, are made at once; more would hold the program up for long and fill its
    // memory. Asked for more, the functions make none.
    static constexpr int kMaximumCopies = 1000;
    static constexpr int kMaximumObjectsMade = 20000;
    static bool makesTooManyObjects(qsizetype objects, int numberOfCopies);
    // How many copies autoPolarDuplicate() would put around the centre: 0 when none fit,
    // kMaximumCopies + 1 when more than kMaximumCopies would.
    static int autoPolarCopyCount(const VRDrawableObject &object, QPointF centre);
    VRObjectList polarDuplicate(const VRObjectList &objects, QPointF centre, int numberOfCopies,
                                double incrementAngle, bool rotateCopies) const;
    VRObjectList autoPolarDuplicate(const VRObjectRef &object, QPointF centre) const;
    VRObjectList linearDuplicate(const VRObjectList &objects, QSizeF offset,
                                 int numberOfCopies) const;

    // Alignment of the selected available objects to the selection's bounds; undo "Align".
    enum class Alignment {
        LeftEdges,
        HorizontalCentres,
        RightEdges,
        TopEdges,
        VerticalCentres,
        BottomEdges
    };
    bool alignSelection(Alignment alignment);
    // Equal gaps between the selected available objects, ordered by position; undo "Distribute".
    bool distributeSelection(Qt::Orientation orientation);

    // Stacking order of the selected available objects, each one named undo step ("Bring to
    // Front", "Bring Forward", "Send Backward", "Send to Back"); the selection keeps its own
    // order. Forward and backward pass the nearest unselected object the moved one overlaps.
    // False when nothing moved.
    enum class Restacking { ToFront, Forward, Backward, ToBack };
    bool restackSelection(Restacking restacking);
    // Locks or unlocks the selected visible objects; one undo step "Lock" / "Unlock". False when
    // none changed.
    bool setSelectionLocked(bool locked);

    int sequenceSelectionCount() const;
    QImage imageOfObject(const VRDrawableObject &object) const;
    QStringList pasteboardTypesForOperation(int operation) const;

    void setDragPendingObjects(const VRObjectList &objects) { m_dragPending = objects; }
    VRObjectList dragPendingObjects() const { return m_dragPending; }
    void removeDragPendingObjects();
    void restoreAfterRemovingPengingDrag();

    QVariantMap &layoutParams() { return m_layoutParams; }
    const QVariantMap &layoutParams() const { return m_layoutParams; }
    void setLayoutParams(const QVariantMap &params) { m_layoutParams = params; }
    // Automatic layered layout of the connected elements (VRAutomaticLayout), one undo step;
    // false when nothing was laid out.
    bool layout(QObject *sender = nullptr);

    // Null = the view's default selection colour.
    QColor selectionColour() const { return m_selectionColour; }
    // Undoable; the drawing redraws its selection in the new colour.
    void setSelectionColour(const QColor &colour);
    static QColor defaultSelectionColour() { return QColor(40, 110, 220); }

    QVariant valueForKey(const QString &key) const override;
    bool setValueForKey(const QVariant &value, const QString &key) override;
    bool layerMayBeDeleted() const override;

protected:
    void objectsWillBeRemoved(const VRObjectList &objects) override;

private:
    // Replaces the selection; when undoable, records the old one under the action name.
    void changeSelection(const VRObjectList &selection, bool undoable, const QString &actionName);
    void postSelectionChanged();
    // The batches of copies made, one after the other, with what the copies hold kept to
    // their own batch.
    VRObjectList copiesKeptApart(const QList<VRObjectList> &batches) const;

    VRObjectList m_selection;
    VRObjectList m_recordedSelection;
    VRObjectList m_dragPending;
    QList<QPair<int, VRObjectRef>> m_removedDragPending;
    QVariantMap m_layoutParams;
    QColor m_selectionColour;
    bool m_selectionVisible = true;
    bool m_selectionRecorded = false;
};
