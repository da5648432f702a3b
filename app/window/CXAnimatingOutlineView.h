#pragma once

#include "app/common/CXViewAnimation.h"
#include "platform/NotificationCenter.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <vector>

class CXAnimatingOutlineViewDelegate;
class CXCollapsibleView;

// A vertical stack of titled, collapsible sections (the inspector column). Sections are
// added, inserted and removed with or without animation and slide open and closed; the
// sections below move with them. Row i is the i-th section from the top.
class CXAnimatingOutlineView : public QWidget
{
    Q_OBJECT
public:
    static const QString
        kItemWillExpandNotification; // "CXAnimatingOutlineViewItemWillExpandNotification"
    static const QString
        kItemDidExpandNotification; // "CXAnimatingOutlineViewItemDidExpandNotification"
    static const QString
        kItemWillCollapseNotification; // "CXAnimatingOutlineViewItemWillCollapseNotification"
    static const QString
        kItemDidCollapseNotification; // "CXAnimatingOutlineViewItemDidCollapseNotification"
    static constexpr int kNotFound = -1;

    explicit CXAnimatingOutlineView(const QRect &frame = QRect(), QWidget *parent = nullptr);
    ~CXAnimatingOutlineView() override;

    CXAnimatingOutlineViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(CXAnimatingOutlineViewDelegate *delegate);
    bool isAnimating() const { return m_animating; }
    bool allowsSingleSubviewExpansion() const { return m_allowsSingleSubviewExpansion; }
    void setAllowsSingleSubviewExpansion(bool allows) { m_allowsSingleSubviewExpansion = allows; }

    CXCollapsibleView *addView(QWidget *view, const QIcon &image, const QString &label,
                               bool expanded, bool animate = false);
    CXCollapsibleView *addView(QWidget *view);
    CXCollapsibleView *insertView(QWidget *view, int row, const QIcon &image, const QString &label,
                                  bool expanded, bool animate = false);
    void removeItem(CXCollapsibleView *item, bool animate = false);
    void removeItemAtRow(int row, bool animate = false);

    void expandItem(CXCollapsibleView *item);
    void collapseItem(CXCollapsibleView *item);
    void expandItemAtRow(int row);
    void collapseItemAtRow(int row);
    bool isItemExpanded(CXCollapsibleView *item) const;

    int numberOfRows() const { return int(m_sections.size()); }
    CXCollapsibleView *itemAtRow(int row) const;
    QWidget *detailViewAtRow(int row) const;
    CXCollapsibleView *itemWithViewID(qint64 viewID) const;
    int rowForItem(const CXCollapsibleView *item) const;
    int rowForDetailView(const QWidget *view) const;
    QList<CXCollapsibleView *> items() const;

    // Places the sections one below the other and sizes the view to hold them.
    void layoutSections();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double separation() const;
    CXCollapsibleView *makeSection(QWidget *view, const QRect &frame, const QIcon &image,
                                   const QString &label, bool expanded);
    void observeSection(CXCollapsibleView *section);
    QList<CXViewAnimation::Entry> slideEntriesBelow(int row, const QRect &target) const;
    void growTemporarily();
    void runAnimation(CXViewAnimation *animation, bool removal);
    void animationDidEnd(CXViewAnimation *animation, bool removal);
    void postItemNotification(const QString &name, CXCollapsibleView *item);
    void adjustOrigins();
    void updateBarBorders();
    void sizeToFit();
    void changeExpansion(CXCollapsibleView *item, bool expand);

    CXAnimatingOutlineViewDelegate *m_delegate = nullptr;
    bool m_animating = false;
    bool m_allowsSingleSubviewExpansion = false;
    QPointer<CXViewAnimation> m_insertionAnimation;
    QPointer<CXViewAnimation> m_removalAnimation;
    QList<QPointer<CXCollapsibleView>> m_sections;
    std::vector<NotificationToken> m_delegateTokens;
    std::vector<std::pair<const void *, NotificationToken>> m_sectionTokens;
};
