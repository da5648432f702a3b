#pragma once

#include "framework/styles/VRRasterizer.h"

#include <QList>

// A renderer made of renderers, drawn in order (first = bottom).
//
// Groups read from equal records may share one list of renderers (implicitly shared): drawing,
// measuring and writing use the shared list, and every access that hands out a renderer or
// changes the list first gives the group its own copy. Shared renderers have no container.
class VRRastGroup : public VRRasterizer
{
    VR_CLASS(VRRastGroup)

public:
    VRRastGroup() = default;
    ~VRRastGroup() override;

    static QString UIName() { return QStringLiteral("Group"); }
    QString uiName() const override { return UIName(); }

    int countOfRenderList() const { return static_cast<int>(members().size()); }
    // Null for an index out of range.
    VRRendererRef rendererAtIndex(int index) const;
    QList<VRRendererRef> renderList() const;
    // The renderers as they are drawn, measured and written, shared or not: for reading only.
    // Every other accessor gives the group its own renderers first.
    const QList<VRRendererRef> &members() const { return m_shared ? *m_shared : m_renderers; }
    // Appends; the renderer leaves its old group first.
    void addRenderer(VRRendererRef renderer);
    void insertRenderer(VRRendererRef renderer, int index);
    void removeRenderer(VRRasterizer *renderer);
    void moveRendererAtIndex(int from, int to);
    // −1 when not a member.
    int indexOfRenderer(const VRRasterizer *renderer) const;
    // Every renderer of the class (kind-of), depth first, in drawing order.
    QList<VRRendererRef> renderersOfClass(const VRClassInfo &classInfo) const;
    template <class T> QList<std::shared_ptr<T>> renderersOfClass() const
    {
        QList<std::shared_ptr<T>> result;
        for (const VRRendererRef &r : renderersOfClass(T::staticClass()))
            result.append(std::static_pointer_cast<T>(r));
        return result;
    }
    void removeRenderersOfClass(const VRClassInfo &classInfo, bool inSubgroups);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;
    bool isFill() const override;

    using SharedRenderers = std::shared_ptr<const QList<VRRendererRef>>;
    // This group's renderers as a list other groups may share; from now on it uses them
    // shared too.
    SharedRenderers shareRenderers();
    // Uses a shared list for a group that has no renderers yet.
    void useSharedRenderers(SharedRenderers renderers);
    bool sharesRenderers() const { return m_shared != nullptr; }
    // Uses a shared list instead of its own renderers, which it answers.
    QList<VRRendererRef> replaceBySharedRenderers(SharedRenderers renderers);

protected:
    // Draws the enabled children in order.
    void renderChildren(QPainter &painter, const VRRenderContext &context) const;
    // Draws the children into a transparent image in device pixels; *deviceRect tells where it
    // belongs on the painter's device. Null when nothing can show.
    QImage renderChildrenOffscreen(QPainter &painter, const VRRenderContext &context,
                                   QRect *deviceRect) const;
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    void attach(const VRRendererRef &renderer, int index);
    // Gives the group its own renderers: copies of the shared ones, or the shared ones
    // themselves when no other group holds them any more.
    void detach() const;

    // Copy on write from const accessors that hand out renderers.
    mutable SharedRenderers m_shared;
    mutable QList<VRRendererRef> m_renderers;
};
