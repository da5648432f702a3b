#pragma once

#include <QPageLayout>
#include <QRectF>

// The page set-up a drawing paginates and enlarges by: the default printer's layout when
// there is one, else A4 portrait with 18-point margins.
class VRPrintInfo
{
public:
    VRPrintInfo();
    explicit VRPrintInfo(const QPageLayout &layout)
        : m_layout(layout)
    {
    }

    static VRPrintInfo defaultPrintInfo();
    QPageLayout pageLayout() const { return m_layout; }
    void setPageLayout(const QPageLayout &layout) { m_layout = layout; }
    // Printable area of one page in points, relative to the page's top-left corner.
    QRectF imageablePageBounds() const;
    QSizeF paperSize() const;

private:
    QPageLayout m_layout;
};
