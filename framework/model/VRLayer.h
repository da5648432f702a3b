#pragma once

#include "framework/base/VRClassInfo.h"
#include "framework/base/VRTypes.h"

#include <QString>
#include <QVariant>

#include <memory>

class QPainter;

// A layer of a drawing: name, visibility, lock and printing.
class VRLayer : public std::enable_shared_from_this<VRLayer>
{
    VR_ROOT_CLASS(VRLayer)
public:
    VRLayer() = default;
    virtual ~VRLayer() = default;
    VRLayer(const VRLayer &) = delete;
    VRLayer &operator=(const VRLayer &) = delete;

    QString name() const { return m_name; }
    void setName(const QString &name);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    bool isLocked() const { return m_locked; }
    void setLocked(bool locked);
    bool shouldDrawToPrinter() const { return m_print; }
    void setShouldDrawToPrinter(bool print);
    // Changes printing for one export or print run (no undo).
    void setShouldDrawToPrinterSilently(bool print) { m_print = print; }

    virtual bool layerMayBeDeleted() const { return false; }

    // Key-value access for the layers palette; unknown keys give invalid / false.
    virtual QVariant valueForKey(const QString &key) const;
    virtual bool setValueForKey(const QVariant &value, const QString &key);

    VRDrawing *drawing() const { return m_drawing; }
    void setDrawing(VRDrawing *drawing) { m_drawing = drawing; }
    VRUndoManager *undoManager() const;

    // Draws the layer's content in drawing coordinates; `printing` leaves out what is not printed.
    virtual void render(QPainter &painter, bool printing) const;

protected:
    // Records the inverse of a change. `target` identifies the change for coalescing (default:
    // the layer); changes that must never merge name the object they concern.
    void recordLayerUndo(const char *selector, const QString &actionName,
                         std::function<void(VRLayer &)> inverse, const void *target = nullptr);
    void setNeedsDisplay() const;

private:
    QString m_name;
    VRDrawing *m_drawing = nullptr;
    bool m_visible = true;
    bool m_locked = false;
    bool m_print = true;
};
