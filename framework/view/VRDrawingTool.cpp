#include "framework/view/VRDrawingTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/view/VRViewController.h"

#include <QHash>
#include <QKeyEvent>

VR_ROOT_CLASS_IMPL(VRDrawingTool, nullptr)

VRDrawingTool::~VRDrawingTool() = default;

VRDrawingTool *VRDrawingTool::drawingToolWithName(const QString &name)
{
    return VRToolRegistry::sharedToolRegistry().drawingToolWithName(name);
}

void VRDrawingTool::registerDrawingTool(std::shared_ptr<VRDrawingTool> tool,
                                        const QString &withName)
{
    VRToolRegistry::sharedToolRegistry().registerDrawingTool(std::move(tool), withName);
}

QStringList VRDrawingTool::toolNames()
{
    return VRToolRegistry::sharedToolRegistry().toolNames();
}

QString VRDrawingTool::registeredName() const
{
    return VRToolRegistry::sharedToolRegistry().nameOfTool(this);
}

QString VRDrawingTool::title() const
{
    return m_title.isEmpty() ? registeredName() : m_title;
}

void VRDrawingTool::set()
{
    if (VRViewController *controller = VRViewController::current())
        controller->setDrawingTool(this);
}

int VRDrawingTool::qtKey() const
{
    return qtKeyForKeyCode(m_keyCode);
}

int VRDrawingTool::qtKeyForKeyCode(int keyCode)
{
    // Codes of the original platform's keyboard (ANSI layout), as stored in the user's shortcut
    // settings.
    static const QHash<int, int> table{
        {0, Qt::Key_A},  {1, Qt::Key_S},  {2, Qt::Key_D},  {3, Qt::Key_F},  {4, Qt::Key_H},
        {5, Qt::Key_G},  {6, Qt::Key_Z},  {7, Qt::Key_X},  {8, Qt::Key_C},  {9, Qt::Key_V},
        {11, Qt::Key_B}, {12, Qt::Key_Q}, {13, Qt::Key_W}, {14, Qt::Key_E}, {15, Qt::Key_R},
        {16, Qt::Key_Y}, {17, Qt::Key_T}, {18, Qt::Key_1}, {19, Qt::Key_2}, {20, Qt::Key_3},
        {21, Qt::Key_4}, {22, Qt::Key_6}, {23, Qt::Key_5}, {25, Qt::Key_9}, {26, Qt::Key_7},
        {28, Qt::Key_8}, {29, Qt::Key_0}, {31, Qt::Key_O}, {32, Qt::Key_U}, {34, Qt::Key_I},
        {35, Qt::Key_P}, {37, Qt::Key_L}, {38, Qt::Key_J}, {40, Qt::Key_K}, {45, Qt::Key_N},
        {46, Qt::Key_M},
    };
    return table.value(keyCode, 0);
}

void VRDrawingTool::mousePressed(VRDrawingView &, const VRToolEvent &)
{
}
void VRDrawingTool::mouseDragged(VRDrawingView &, const VRToolEvent &)
{
}
void VRDrawingTool::mouseReleased(VRDrawingView &, const VRToolEvent &)
{
}
void VRDrawingTool::mouseMoved(VRDrawingView &, const VRToolEvent &)
{
}
void VRDrawingTool::mouseDoubleClicked(VRDrawingView &, const VRToolEvent &)
{
}
bool VRDrawingTool::keyPressed(VRDrawingView &, QKeyEvent *)
{
    return false;
}
void VRDrawingTool::paintOverlay(VRDrawingView &, QPainter &) const
{
}
QCursor VRDrawingTool::cursor() const
{
    return QCursor(Qt::CrossCursor);
}
void VRDrawingTool::toolDidBecomeCurrent(VRDrawingView &)
{
}
void VRDrawingTool::toolWillResign(VRDrawingView &)
{
}

void VRDrawingTool::finishedUse(VRDrawingView &view)
{
    VRViewController *controller = view.controller();
    if (!isSelectionTool() && controller->autoRevert())
        controller->setDrawingTool(nullptr);
}
