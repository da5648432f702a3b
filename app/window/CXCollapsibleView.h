#pragma once

#include "app/common/CXViewAnimation.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class CXDisclosureBar;

// One section of the inspector column: a disclosure bar above a detail view. Whether it is
// expanded follows from the geometry: the detail view lies below the bar, or hidden behind it.
class CXCollapsibleView : public QWidget
{
    Q_OBJECT
public:
    enum AnimationType { ExpandAnimation = 1, CollapseAnimation = 2 };
    struct AnimationInfo {
        CXViewAnimation::Entry section;
        CXViewAnimation::Entry detailView;
        AnimationType type;
    };

    static const QString
        kDetailViewDidChangeFrameNotification; // "CXCollapsibleViewDetailViewDidChangeFrameNotification"

    CXCollapsibleView(const QRect &frame, QWidget *detailView, bool expanded,
                      QWidget *parent = nullptr);
    ~CXCollapsibleView() override;

    CXDisclosureBar *disclosureBar() const { return m_disclosureBar; }
    QWidget *detailView() const { return m_detailView; }
    void setDetailView(QWidget *view);
    bool expanded() const;
    bool isAnimating() const { return m_animating; }
    void setAnimating(bool animating) { m_animating = animating; }
    qint64 viewID() const { return m_viewID; }
    void setViewID(qint64 id) { m_viewID = id; }
    bool hasDisclosureButton() const;
    void setHasDisclosureButton(bool has);

    // The frames an expansion (collapse) moves to; nothing when already in that state or the
    // detail view refuses.
    std::optional<AnimationInfo> expandAnimationInfo() const;
    std::optional<AnimationInfo> collapseAnimationInfo() const;

    // The disclosure button's action: asks the enclosing column, or animates alone.
    void toggleExpansionState();
    // Animates this section alone (outside a column).
    void expand();
    void collapse();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void runOwnAnimation(const AnimationInfo &info);
    void detailViewDidResize();

    CXDisclosureBar *m_disclosureBar = nullptr;
    QPointer<QWidget> m_detailView;
    QPointer<CXViewAnimation> m_expandAnimation;
    QPointer<CXViewAnimation> m_collapseAnimation;
    qint64 m_viewID = 0;
    bool m_animating = false;
};
