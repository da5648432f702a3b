#include "app/window/CXCollapsibleView.h"

#include "app/window/CXAnimatingOutlineView.h"
#include "app/window/CXCollapsibleDetailView.h"
#include "app/window/CXDisclosureBar.h"
#include "platform/NotificationCenter.h"

#include <QEvent>
#include <QToolButton>

const QString CXCollapsibleView::kDetailViewDidChangeFrameNotification =
    QStringLiteral("CXCollapsibleViewDetailViewDidChangeFrameNotification");

namespace {

constexpr int kBarHeight = int(CXDisclosureBar::kBarHeight);
constexpr int kAnimationMs = 250;

CXCollapsibleDetailView *detailInterface(QWidget *view)
{
    return dynamic_cast<CXCollapsibleDetailView *>(view);
}

} // namespace

CXCollapsibleView::CXCollapsibleView(const QRect &frame, QWidget *detailView, bool expanded,
                                     QWidget *parent)
    : QWidget(parent)
{
    setGeometry(frame);
    m_disclosureBar = new CXDisclosureBar(QRect(0, 0, frame.width(), kBarHeight), expanded, this);
    const int detailHeight = detailView ? detailView->height() : 0;
    if (detailView) {
        detailView->setParent(this);
        detailView->setGeometry(0, expanded ? kBarHeight : kBarHeight - detailHeight, frame.width(),
                                detailHeight);
        detailView->show();
    }
    setDetailView(detailView);
    resize(frame.width(), expanded ? kBarHeight + detailHeight : kBarHeight);
    // The bar lies above the detail view, which hides behind it when collapsed.
    m_disclosureBar->raise();
    connect(m_disclosureBar, &CXDisclosureBar::toggled, this,
            &CXCollapsibleView::toggleExpansionState);
}

CXCollapsibleView::~CXCollapsibleView() = default;

void CXCollapsibleView::setDetailView(QWidget *view)
{
    if (m_detailView == view)
        return;
    if (m_detailView)
        m_detailView->removeEventFilter(this);
    m_detailView = view;
    if (view)
        view->installEventFilter(this);
}

bool CXCollapsibleView::expanded() const
{
    if (!m_detailView)
        return true;
    return m_detailView->y() >= m_disclosureBar->geometry().y() + m_disclosureBar->height();
}

bool CXCollapsibleView::hasDisclosureButton() const
{
    return m_disclosureBar->hasDisclosureButton();
}

void CXCollapsibleView::setHasDisclosureButton(bool has)
{
    m_disclosureBar->setHasDisclosureButton(has);
}

std::optional<CXCollapsibleView::AnimationInfo> CXCollapsibleView::expandAnimationInfo() const
{
    if (!m_detailView || expanded())
        return std::nullopt;
    if (auto *detail = detailInterface(m_detailView); detail && !detail->canExpand())
        return std::nullopt;
    const QRect bar = m_disclosureBar->geometry();
    QRect detailEnd = m_detailView->geometry();
    detailEnd.moveTop(bar.y() + bar.height());
    QRect sectionEnd = geometry();
    sectionEnd.setHeight(bar.height() + m_detailView->height());
    return AnimationInfo{{const_cast<CXCollapsibleView *>(this), geometry(), sectionEnd},
                         {m_detailView, m_detailView->geometry(), detailEnd},
                         ExpandAnimation};
}

std::optional<CXCollapsibleView::AnimationInfo> CXCollapsibleView::collapseAnimationInfo() const
{
    if (!m_detailView || !expanded())
        return std::nullopt;
    if (auto *detail = detailInterface(m_detailView); detail && !detail->canCollapse())
        return std::nullopt;
    const QRect bar = m_disclosureBar->geometry();
    QRect detailEnd = m_detailView->geometry();
    detailEnd.moveTop(bar.y() + bar.height() - m_detailView->height());
    QRect sectionEnd = geometry();
    sectionEnd.setHeight(bar.height());
    return AnimationInfo{{const_cast<CXCollapsibleView *>(this), geometry(), sectionEnd},
                         {m_detailView, m_detailView->geometry(), detailEnd},
                         CollapseAnimation};
}

void CXCollapsibleView::toggleExpansionState()
{
    auto *outline = qobject_cast<CXAnimatingOutlineView *>(parentWidget());
    const bool wasExpanded = expanded();
    if (outline) {
        if (wasExpanded)
            outline->collapseItem(this);
        else
            outline->expandItem(this);
        return;
    }
    if (wasExpanded)
        collapse();
    else
        expand();
}

void CXCollapsibleView::expand()
{
    const auto info = expandAnimationInfo();
    if (!info)
        return;
    if (auto *detail = detailInterface(m_detailView))
        detail->viewWillExpand();
    runOwnAnimation(*info);
}

void CXCollapsibleView::collapse()
{
    const auto info = collapseAnimationInfo();
    if (!info)
        return;
    if (auto *detail = detailInterface(m_detailView))
        detail->viewWillCollapse();
    runOwnAnimation(*info);
}

void CXCollapsibleView::runOwnAnimation(const AnimationInfo &info)
{
    auto *animation = new CXViewAnimation({info.section, info.detailView}, kAnimationMs, this);
    if (info.type == ExpandAnimation)
        m_expandAnimation = animation;
    else
        m_collapseAnimation = animation;
    m_animating = true;
    connect(animation, &QAbstractAnimation::finished, this, [this, animation] {
        m_animating = false;
        m_disclosureBar->setDisclosureState(expanded());
        animation->deleteLater();
    });
    animation->run();
}

bool CXCollapsibleView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_detailView && event->type() == QEvent::Resize)
        detailViewDidResize();
    return QWidget::eventFilter(watched, event);
}

void CXCollapsibleView::detailViewDidResize()
{
    // A collapsed section keeps its height; the next expansion uses the new one.
    if (!expanded() || m_animating)
        return;
    const int wanted = m_disclosureBar->height() + m_detailView->height();
    if (height() == wanted)
        return;
    resize(width(), wanted);
    NotificationCenter::defaultCenter().post(
        kDetailViewDidChangeFrameNotification, this,
        {{QStringLiteral("NSObject"), QVariant::fromValue(this)}});
}

void CXCollapsibleView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Bar and detail view follow the section's width.
    m_disclosureBar->resize(width(), m_disclosureBar->height());
    if (m_detailView && m_detailView->width() != width())
        m_detailView->resize(width(), m_detailView->height());
}
