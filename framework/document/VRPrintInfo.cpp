#include "framework/document/VRPrintInfo.h"

#include <QPageSize>

VRPrintInfo::VRPrintInfo()
    : m_layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 18),
               QPageLayout::Point)
{
}

VRPrintInfo VRPrintInfo::defaultPrintInfo()
{
    // No printer is consulted: printing set-up belongs to the print dialog, and a fixed page
    // keeps "enlarge by one page" the same on every machine.
    return VRPrintInfo();
}

QRectF VRPrintInfo::imageablePageBounds() const
{
    return m_layout.paintRect(QPageLayout::Point);
}

QSizeF VRPrintInfo::paperSize() const
{
    return m_layout.fullRect(QPageLayout::Point).size();
}
