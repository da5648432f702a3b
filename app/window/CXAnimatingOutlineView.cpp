#include "app/window/CXAnimatingOutlineView.h"

#include "app/window/CXAnimatingOutlineViewDelegate.h"
#include "app/window/CXCollapsibleDetailView.h"
#include "app/window/CXCollapsibleView.h"
#include "app/window/CXDisclosureBar.h"
#include "framework/base/VRConstants.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QChildEvent>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

const QString CXAnimatingOutlineView::kItemWillExpandNotification =
    QStringLiteral("CXAnimatingOutlineViewItemWillExpandNotification");
const QString CXAnimatingOutlineView::kItemDidExpandNotification =
    QStringLiteral("CXAnimatingOutlineViewItemDidExpandNotification");
const QString CXAnimatingOutlineView::kItemWillCollapseNotification =
    QStringLiteral("CXAnimatingOutlineViewItemWillCollapseNotification");
const QString CXAnimatingOutlineView::kItemDidCollapseNotification =
    QStringLiteral("CXAnimatingOutlineViewItemDidCollapseNotification");

namespace {

constexpr int kInsertExpandMs = 250;
constexpr int kRemovalMs = 400;

CXCollapsibleDetailView *detailInterface(QWidget *view)
{
    return dynamic_cast<CXCollapsibleDetailView *>(view);
}

bool isValueControl(const QObject *object)
{
    return qobject_cast<const QComboBox *>(object) || qobject_cast<const QAbstractSpinBox *>(object)
           || qobject_cast<const QAbstractSlider *>(object);
}

// A wheel turned over a combo box, spin box or slider of the column that the user has not
// clicked into scrolls the column instead of changing the value. Watches every widget that
// comes into the column, and the value controls take the focus only from a click or a tab.
class WheelGuard : public QObject
{
public:
    using QObject::QObject;

    void guard(QWidget *root)
    {
        watch(root);
        for (QWidget *child : root->findChildren<QWidget *>())
            watch(child);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ChildAdded:
            // A widget still being made is watched now and set up when it is polished.
            if (QObject *child = static_cast<QChildEvent *>(event)->child();
                child && child->isWidgetType())
                guard(static_cast<QWidget *>(child));
            break;
        case QEvent::Polish: takeFocusOnlyFromClicks(static_cast<QWidget *>(watched)); break;
        case QEvent::Wheel:
            if (isValueControl(watched) && !static_cast<QWidget *>(watched)->hasFocus()) {
                // Not taken: the event goes on to the column's scroll area.
                event->ignore();
                return true;
            }
            break;
        default: break;
        }
        return false;
    }

private:
    void watch(QWidget *widget)
    {
        widget->removeEventFilter(this);
        widget->installEventFilter(this);
        takeFocusOnlyFromClicks(widget);
    }
    static void takeFocusOnlyFromClicks(QWidget *widget)
    {
        if (isValueControl(widget) && widget->focusPolicy() == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
    }
};

} // namespace

CXAnimatingOutlineView::CXAnimatingOutlineView(const QRect &frame, QWidget *parent)
    : QWidget(parent)
{
    setGeometry(frame);
    auto *guard = new WheelGuard(this);
    installEventFilter(guard);
}

CXAnimatingOutlineView::~CXAnimatingOutlineView()
{
    m_delegateTokens.clear();
    m_sectionTokens.clear();
}

void CXAnimatingOutlineView::setDelegate(CXAnimatingOutlineViewDelegate *delegate)
{
    if (delegate == m_delegate)
        return;
    m_delegateTokens.clear();
    m_delegate = delegate;
    if (!delegate)
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_delegateTokens.push_back(
        center.addObserver(kItemWillExpandNotification, this, [this](const Notification &n) {
            if (m_delegate)
                m_delegate->outlineViewItemWillExpand(n);
        }));
    m_delegateTokens.push_back(
        center.addObserver(kItemDidExpandNotification, this, [this](const Notification &n) {
            if (m_delegate)
                m_delegate->outlineViewItemDidExpand(n);
        }));
    m_delegateTokens.push_back(
        center.addObserver(kItemWillCollapseNotification, this, [this](const Notification &n) {
            if (m_delegate)
                m_delegate->outlineViewItemWillCollapse(n);
        }));
    m_delegateTokens.push_back(
        center.addObserver(kItemDidCollapseNotification, this, [this](const Notification &n) {
            if (m_delegate)
                m_delegate->outlineViewItemDidCollapse(n);
        }));
}

double CXAnimatingOutlineView::separation() const
{
    return m_delegate ? m_delegate->rowSeparation() : 0.0;
}

QList<CXCollapsibleView *> CXAnimatingOutlineView::items() const
{
    QList<CXCollapsibleView *> list;
    for (const auto &section : m_sections) {
        if (section)
            list.append(section);
    }
    return list;
}

CXCollapsibleView *CXAnimatingOutlineView::makeSection(QWidget *view, const QRect &frame,
                                                       const QIcon &image, const QString &label,
                                                       bool expanded)
{
    auto *section = new CXCollapsibleView(frame, view, expanded, this);
    section->disclosureBar()->setLabel(label);
    section->disclosureBar()->setLeftImage(image);
    section->show();
    return section;
}

void CXAnimatingOutlineView::observeSection(CXCollapsibleView *section)
{
    m_sectionTokens.emplace_back(section,
                                 NotificationCenter::defaultCenter().addObserver(
                                     CXCollapsibleView::kDetailViewDidChangeFrameNotification,
                                     section, [this](const Notification &) { layoutSections(); }));
}

CXCollapsibleView *CXAnimatingOutlineView::addView(QWidget *view, const QIcon &image,
                                                   const QString &label, bool expanded,
                                                   bool animate)
{
    if (!view)
        return nullptr;
    const double gap = separation();
    const QList<CXCollapsibleView *> sections = items();
    const int y =
        sections.isEmpty() ? int(gap) : int(sections.last()->geometry().bottom() + 1 + gap);
    CXCollapsibleView *section =
        makeSection(view, QRect(0, y, width(), view->height()), image, label, expanded);
    m_sections.append(section);
    if (animate) {
        growTemporarily();
        const QRect frame = section->geometry();
        runAnimation(new CXViewAnimation({{section, frame, frame}}, kInsertExpandMs, this), false);
    } else {
        layoutSections();
    }
    observeSection(section);
    return section;
}

CXCollapsibleView *CXAnimatingOutlineView::addView(QWidget *view)
{
    return addView(view, QIcon(), QString(), true, false);
}

CXCollapsibleView *CXAnimatingOutlineView::insertView(QWidget *view, int row, const QIcon &image,
                                                      const QString &label, bool expanded,
                                                      bool animate)
{
    if (!view)
        return nullptr;
    if (row < 0)
        row = 0;
    if (row >= numberOfRows())
        return addView(view, image, label, expanded, false);
    CXCollapsibleView *displaced = itemAtRow(row);
    const int y = int(displaced->y() + separation());
    CXCollapsibleView *section =
        makeSection(view, QRect(0, y, width(), view->height()), image, label, expanded);
    m_sections.insert(row, section);
    if (animate) {
        QList<CXViewAnimation::Entry> entries{{section, section->geometry(), section->geometry()}};
        entries += slideEntriesBelow(row, section->geometry());
        growTemporarily();
        runAnimation(new CXViewAnimation(entries, kInsertExpandMs, this), false);
    } else {
        layoutSections();
    }
    observeSection(section);
    return section;
}

void CXAnimatingOutlineView::removeItem(CXCollapsibleView *item, bool animate)
{
    const int row = rowForItem(item);
    if (row == kNotFound)
        return;
    for (auto it = m_sectionTokens.begin(); it != m_sectionTokens.end(); ++it) {
        if (it->first == item) {
            m_sectionTokens.erase(it);
            break;
        }
    }
    if (!animate) {
        m_sections.removeAt(row);
        item->hide();
        item->deleteLater();
        layoutSections();
        return;
    }
    QRect target = item->geometry();
    target.setHeight(0);
    QList<CXViewAnimation::Entry> entries{{item, item->geometry(), target}};
    entries += slideEntriesBelow(row, target);
    runAnimation(new CXViewAnimation(entries, kRemovalMs, this), true);
}

void CXAnimatingOutlineView::removeItemAtRow(int row, bool animate)
{
    if (CXCollapsibleView *item = itemAtRow(row))
        removeItem(item, animate);
}

QList<CXViewAnimation::Entry> CXAnimatingOutlineView::slideEntriesBelow(int row,
                                                                        const QRect &target) const
{
    QList<CXViewAnimation::Entry> entries;
    const double gap = separation();
    int previousBottom = target.y() + target.height();
    for (int i = row + 1; i < m_sections.size(); ++i) {
        CXCollapsibleView *section = m_sections.at(i);
        if (!section)
            continue;
        QRect end = section->geometry();
        end.moveTop(int(previousBottom + gap));
        entries.append({section, section->geometry(), end});
        previousBottom = end.y() + end.height();
    }
    return entries;
}

void CXAnimatingOutlineView::growTemporarily()
{
    // Inside a scroll area, a growing section must not be clipped while it animates.
    auto *scroll =
        qobject_cast<QScrollArea *>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    if (!scroll)
        return;
    resize(width(), std::max(scroll->viewport()->height(), height()));
}

void CXAnimatingOutlineView::expandItem(CXCollapsibleView *item)
{
    changeExpansion(item, true);
}

void CXAnimatingOutlineView::collapseItem(CXCollapsibleView *item)
{
    changeExpansion(item, false);
}

void CXAnimatingOutlineView::changeExpansion(CXCollapsibleView *item, bool expand)
{
    const int row = rowForItem(item);
    if (row == kNotFound || m_animating)
        return;
    if (m_delegate) {
        const bool allowed = expand ? m_delegate->outlineViewShouldExpandItem(this, item)
                                    : m_delegate->outlineViewShouldCollapseItem(this, item);
        if (!allowed)
            return;
    }
    const auto info = expand ? item->expandAnimationInfo() : item->collapseAnimationInfo();
    if (!info)
        return;
    postItemNotification(expand ? kItemWillExpandNotification : kItemWillCollapseNotification,
                         item);
    if (auto *detail = detailInterface(item->detailView())) {
        if (expand)
            detail->viewWillExpand();
        else
            detail->viewWillCollapse();
    }
    QList<CXViewAnimation::Entry> entries{info->section, info->detailView};
    entries += slideEntriesBelow(row, info->section.endFrame);
    if (info->type == CXCollapsibleView::ExpandAnimation)
        growTemporarily();
    runAnimation(new CXViewAnimation(entries, kInsertExpandMs, this), false);
}

void CXAnimatingOutlineView::expandItemAtRow(int row)
{
    if (CXCollapsibleView *item = itemAtRow(row))
        expandItem(item);
}

void CXAnimatingOutlineView::collapseItemAtRow(int row)
{
    if (CXCollapsibleView *item = itemAtRow(row))
        collapseItem(item);
}

bool CXAnimatingOutlineView::isItemExpanded(CXCollapsibleView *item) const
{
    return item && item->expanded();
}

void CXAnimatingOutlineView::runAnimation(CXViewAnimation *animation, bool removal)
{
    if (removal)
        m_removalAnimation = animation;
    else
        m_insertionAnimation = animation;
    m_animating = true;
    for (CXCollapsibleView *section : items())
        section->setAnimating(true);
    connect(animation, &QAbstractAnimation::finished, this,
            [this, animation, removal] { animationDidEnd(animation, removal); });
    animation->run();
}

void CXAnimatingOutlineView::animationDidEnd(CXViewAnimation *animation, bool removal)
{
    m_animating = false;
    for (CXCollapsibleView *section : items())
        section->setAnimating(false);
    auto *changed = qobject_cast<CXCollapsibleView *>(animation->firstTarget());
    animation->deleteLater();
    if (changed) {
        if (removal) {
            m_sections.removeAll(changed);
            changed->hide();
            changed->deleteLater();
        } else {
            const bool nowExpanded = changed->expanded();
            if (m_delegate)
                postItemNotification(nowExpanded ? kItemDidExpandNotification
                                                 : kItemDidCollapseNotification,
                                     changed);
            if (auto *detail = detailInterface(changed->detailView())) {
                if (nowExpanded)
                    detail->viewDidExpand();
                else
                    detail->viewDidCollapse();
            }
            changed->disclosureBar()->setDisclosureState(nowExpanded);
        }
    }
    layoutSections();
}

void CXAnimatingOutlineView::postItemNotification(const QString &name, CXCollapsibleView *item)
{
    NotificationCenter::defaultCenter().post(
        name, this, {{QStringLiteral("NSObject"), QVariant::fromValue(item)}});
}

void CXAnimatingOutlineView::layoutSections()
{
    adjustOrigins();
    updateBarBorders();
    sizeToFit();
}

void CXAnimatingOutlineView::adjustOrigins()
{
    double bottom = 0.0;
    bool first = true;
    for (CXCollapsibleView *section : items()) {
        const double gap = separation();
        const double y = first ? gap : bottom + gap;
        section->setGeometry(0, int(y), width(), section->height());
        bottom = y + section->height();
        first = false;
    }
}

void CXAnimatingOutlineView::updateBarBorders()
{
    const QList<CXCollapsibleView *> sections = items();
    if (sections.size() < 2 || separation() > 0.0)
        return;
    // Without gaps neighbouring bars share one line instead of drawing two.
    sections.first()->disclosureBar()->setBorderSidesMask(CXGradientView::MinYEdge);
    for (int i = 1; i < sections.size(); ++i) {
        const bool aboveExpanded = sections.at(i - 1)->expanded();
        sections.at(i)->disclosureBar()->setBorderSidesMask(
            aboveExpanded ? (CXGradientView::MinYEdge | CXGradientView::MaxYEdge)
                          : CXGradientView::MinYEdge);
    }
}

void CXAnimatingOutlineView::sizeToFit()
{
    const QList<CXCollapsibleView *> sections = items();
    if (sections.isEmpty())
        return;
    double total = 0.0;
    for (CXCollapsibleView *section : sections)
        total += separation() + section->height();
    resize(width(), int(std::lround(total)));
}

CXCollapsibleView *CXAnimatingOutlineView::itemAtRow(int row) const
{
    if (row < 0 || row >= m_sections.size())
        return nullptr;
    return m_sections.at(row);
}

QWidget *CXAnimatingOutlineView::detailViewAtRow(int row) const
{
    CXCollapsibleView *item = itemAtRow(row);
    return item ? item->detailView() : nullptr;
}

CXCollapsibleView *CXAnimatingOutlineView::itemWithViewID(qint64 viewID) const
{
    for (CXCollapsibleView *section : items()) {
        if (section->viewID() == viewID)
            return section;
    }
    return nullptr;
}

int CXAnimatingOutlineView::rowForItem(const CXCollapsibleView *item) const
{
    for (int i = 0; i < m_sections.size(); ++i) {
        if (m_sections.at(i) == item)
            return i;
    }
    return kNotFound;
}

int CXAnimatingOutlineView::rowForDetailView(const QWidget *view) const
{
    for (int i = 0; i < m_sections.size(); ++i) {
        if (m_sections.at(i) && m_sections.at(i)->detailView() == view)
            return i;
    }
    return kNotFound;
}

void CXAnimatingOutlineView::wheelEvent(QWheelEvent *event)
{
    QWidget::wheelEvent(event);
    // Attached pop-overs would point at the wrong place once the column scrolls.
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification, this);
}

void CXAnimatingOutlineView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    for (CXCollapsibleView *section : items()) {
        if (section->width() != width())
            section->resize(width(), section->height());
    }
}
