#include "style/VKSpecialColorWell.h"

#include "platform/ColorPanel.h"
#include "platform/NotificationCenter.h"

#include <QPainter>
#include <QPointer>

const QString kVRColorWellWillActivate = QStringLiteral("kVRColorWellWillActivate");
const QString kVRColorWellDidActivate = QStringLiteral("kVRColorWellDidActivate");
const QString kVRColorWellWillDeactivate = QStringLiteral("kVRColorWellWillDeactivate");
const QString kVRColorWellDidDeactivate = QStringLiteral("kVRColorWellDidDeactivate");

namespace {
QPointer<VKSpecialColorWell> g_currentWell;
} // namespace

VKSpecialColorWell::VKSpecialColorWell(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        // An active well gives the panel up; one whose colour panel was closed opens it again.
        const bool reopen = isActive() && !ColorPanel::sharedColorPanel().isVisible();
        if (isActive())
            deactivate();
        else
            activate(true);
        if (reopen)
            activate(true);
    });
}

VKSpecialColorWell::~VKSpecialColorWell()
{
    if (ColorPanel::sharedColorPanel().target() == this)
        ColorPanel::sharedColorPanel().setTarget(nullptr, {});
}

void VKSpecialColorWell::setColor(const QColor &colour)
{
    m_color = colour.isValid() ? colour : QColor(Qt::gray);
    if (isActive())
        ColorPanel::sharedColorPanel().setColor(m_color);
    update();
}

void VKSpecialColorWell::setShowsAlpha(bool shows)
{
    m_showsAlpha = shows;
    if (isActive())
        ColorPanel::sharedColorPanel().setShowsAlpha(shows);
}

bool VKSpecialColorWell::isActive() const
{
    return g_currentWell == this && ColorPanel::sharedColorPanel().target() == this;
}

VKSpecialColorWell *VKSpecialColorWell::currentWell()
{
    return g_currentWell;
}

void VKSpecialColorWell::activate(bool exclusive)
{
    if (isActive())
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(kVRColorWellWillActivate, this);
    QPointer<VKSpecialColorWell> previous = g_currentWell;
    if (exclusive && previous && previous != this)
        previous->deactivate();
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(m_showsAlpha);
    panel.setColor(m_color);
    panel.setTarget(this, [this](const QColor &colour) {
        m_color = colour;
        update();
        emit colorChanged(colour);
    });
    panel.orderFrontBeside(this);
    g_currentWell = this;
    if (previous && previous != this)
        previous->update();
    update();
    center.post(kVRColorWellDidActivate, this);
}

void VKSpecialColorWell::deactivate()
{
    if (!isActive())
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(kVRColorWellWillDeactivate, this);
    g_currentWell = nullptr;
    ColorPanel::sharedColorPanel().setTarget(nullptr, {});
    update();
    center.post(kVRColorWellDidDeactivate, this);
}

void VKSpecialColorWell::deactivateCurrentWell()
{
    if (VKSpecialColorWell *well = g_currentWell)
        well->deactivate();
    g_currentWell = nullptr;
}

void VKSpecialColorWell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillRect(rect(), isActive() ? palette().highlight() : palette().button());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(r);
    const QRectF inside = r.adjusted(4, 4, -4, -4);
    painter.fillRect(inside, m_color);
    painter.drawRect(inside);
}
