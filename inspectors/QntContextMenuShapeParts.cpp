// QntContextMenu: the shape-parts window, the parts of the selected element or connector as
// picture rows; choosing a part opens the simple-style toolbar for that part alone. Also the
// arrowhead menu shared by the connector toolbars.
#include "inspectors/QntContextMenu.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntEscapedView.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRArrowStroke.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntShapePartsSubgroup.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QPointer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {
constexpr int kPartOutlineWidth = 112;
constexpr int kPartItemRole = Qt::UserRole + 8;

QColor partsBackgroundColour()
{
    const QColor colour = UserDefaults::standardUserDefaults()
                              .objectForKey(QStringLiteral("QntPaletteBackgroundColorKey"))
                              .value<QColor>();
    return colour.isValid() ? colour : QColor::fromRgbF(0.8359375f, 0.86328125f, 0.89453125f);
}
} // namespace

QTreeWidget *QntContextMenu::shapePartsOutline() const
{
    return _shapePartsOutline;
}

void QntContextMenu::openShapePartsToolbar(BWTransparentButton *)
{
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->closePopover();
    createShapePartsToolbar(mToolMatrix);
}

void QntContextMenu::createShapePartsToolbar(QntButtonMatrix *sender)
{
    if (_attachedShapePartsWindow || !sender)
        return;
    populateShapePartsToolbar();
    _attachedShapePartsWindow = openToolbarBesideSelectedCell(sender, _viewShapeParts);
    if (_attachedShapePartsWindow)
        _attachedShapePartsWindow->setObjectName(QStringLiteral("shapePartsWindow"));
}

void QntContextMenu::populateShapePartsToolbar()
{
    if (!_viewShapeParts) {
        auto *view = new QntEscapedView;
        view->setObjectName(QStringLiteral("shapePartsView"));
        auto *layout = new QVBoxLayout(view);
        layout->setContentsMargins(4, 4, 4, 4);
        _viewShapeParts = view;
    }
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    const VRObjectRef object = layer ? layer->singleSelection() : nullptr;
    if (!object || !(object->isKindOf<QntElement>() || object->isKindOf<QntConnector>()))
        return;
    if (_shapePartsOutline)
        delete _shapePartsOutline;
    auto *outline = new QTreeWidget(_viewShapeParts);
    outline->setObjectName(QStringLiteral("shapePartsOutline"));
    outline->setHeaderHidden(true);
    outline->setIndentation(0);
    outline->setRootIsDecorated(false);
    outline->setIconSize(QSize(kPartOutlineWidth - 12, 44));
    outline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = outline->palette();
    palette.setColor(QPalette::Base, partsBackgroundColour());
    outline->setPalette(palette);
    outline->setStyleSheet(QStringLiteral("QTreeWidget { border: none; }"));
    _viewShapeParts->layout()->addWidget(outline);
    _shapePartsOutline = outline;
    _shapePartsSubgroup.reset();

    const int count = object->isKindOf<QntElement>()
                          ? int(static_cast<const QntElement &>(*object).groupObjects().size())
                          : int(object->parts().size());
    int height = 0;
    if (count != 0) {
        auto parts = std::make_unique<QntShapePartsSubgroup>(tr("Parts"), object);
        QntShapePartsSubgroup *partsGroup = parts.get();
        _shapePartsSubgroup = std::move(parts);
        QFont groupFont = outline->font();
        groupFont.setBold(true);
        auto *groupItem = new QTreeWidgetItem(outline, {_shapePartsSubgroup->title()});
        groupItem->setFlags(Qt::ItemIsEnabled);
        groupItem->setFont(0, groupFont);
        height += outline->fontMetrics().height() + 8;
        for (const QntNotationSubgroup::ItemRef &child : _shapePartsSubgroup->children()) {
            auto *row = new QTreeWidgetItem(groupItem);
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (!child->image().isNull())
                row->setIcon(0, QIcon(QPixmap::fromImage(child->image())));
            row->setToolTip(0, child->tooltip());
            const int rowHeight = std::max(24, int(child->size().height()));
            row->setSizeHint(0, QSize(kPartOutlineWidth, rowHeight));
            row->setData(0, kPartItemRole, QVariant::fromValue(static_cast<void *>(child.get())));
            height += rowHeight;
        }
        outline->expandAll();
        // A part restyled through the simple-style toolbar shows its new look in its row.
        partsGroup->setItemImageHandler(
            [outline = QPointer<QTreeWidget>(outline)](QntNotationSubGroupItem *item) {
                if (!outline || item->image().isNull())
                    return;
                for (QTreeWidgetItemIterator it(outline); *it; ++it)
                    if ((*it)->data(0, kPartItemRole).value<void *>() == item)
                        (*it)->setIcon(0, QIcon(QPixmap::fromImage(item->image())));
            });
    }
    connect(outline, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem *item) {
        if (!shapePartsShouldSelectItem(item) && item)
            item->setSelected(false);
    });
    _notationOutlineHeight = height;
    outline->setFixedSize(kPartOutlineWidth, std::clamp(height + 6, 40, 380));
    _viewShapeParts->resize(_viewShapeParts->sizeHint());
}

bool QntContextMenu::shapePartsShouldSelectItem(QTreeWidgetItem *item)
{
    if (!item)
        return false;
    auto *entry =
        static_cast<QntNotationSubGroupItem *>(item->data(0, kPartItemRole).value<void *>());
    if (!entry || entry->drawingTool() || !entry->representedObject())
        return false;
    VRDrawing *drawing = currentDrawing();
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (!layer || !layer->singleSelection())
        return true;
    closeAttachedSimpleStyleWindow();
    setShapePartsEditingMode(1);
    setContextObject(entry->representedObject());
    createSimpleStyleToolbarBesideRow(item->treeWidget(), item);
    return true;
}

void QntContextMenu::createSimpleStyleToolbarBesideRow(QTreeWidget *outline, QTreeWidgetItem *row)
{
    if (_attachedSimpleStyleWindow || !outline || !row)
        return;
    populateSimpleStyleToolbar();
    QWidget *viewport = outline->viewport();
    const QRect rect = outline->visualItemRect(row);
    const QPoint rightMiddle(viewport->width(), rect.center().y());
    const QPointF point = AXScreen::fromGlobal(QPointF(viewport->mapToGlobal(rightMiddle)));
    QWidget *content = simpleStyleView();
    content->resize(content->sizeHint());
    AXAttachedWindow *window =
        AXAttachedWindow::create(content, point, AXAttachedWindow::kRight, 0.0);
    if (!window)
        return;
    window->setAttachedToolbarLook(10.0);
    window->addToParentWindow(attachedWindowsHost());
    placeAttachedWindowInScreenFrame(window, point, AXAttachedWindow::kRight);
    window->orderFront(true);
    _attachedSimpleStyleWindow = window;
}

void QntContextMenu::closeAttachedShapePartsWindow()
{
    closeAttachedSimpleStyleWindow();
    if (!_attachedShapePartsWindow)
        return;
    if (_viewShapeParts) {
        _viewShapeParts->hide();
        _viewShapeParts->setParent(nullptr);
    }
    _attachedShapePartsWindow->hide();
    _attachedShapePartsWindow->deleteLater();
    _attachedShapePartsWindow = nullptr;
    if (_shapePartsOutline)
        _shapePartsOutline->disconnect(this);
}

int QntContextMenu::populateMenuWithArrowheads(QComboBox *popUp)
{
    if (!popUp)
        return 0;
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool uml = notation && notation->notationName().startsWith(QStringLiteral("UML"));
    const QList<int> kinds =
        uml ? VRArrowStroke::registeredUMLArrowheads() : VRArrowStroke::registeredArrowheads();
    popUp->clear();
    for (int kind : kinds)
        popUp->addItem(QIcon(QPixmap::fromImage(VRArrowStroke::standardArrowheadSwatchImage(kind))),
                       QString(), kind);
    return popUp->count();
}
