#include "framework/view/VRViewAdditions.h"

#include "framework/styles/VRGradient.h"

#include <QDrag>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

Qt::DropAction VRViewAdditions::dragStandardSwatchGradient(QWidget *view,
                                                           const VRGradient &gradient, bool,
                                                           QMimeData *data)
{
    if (!view || !data) {
        delete data;
        return Qt::IgnoreAction;
    }
    auto *drag = new QDrag(view);
    drag->setMimeData(data);
    const QPixmap picture = QPixmap::fromImage(gradient.swatchImageWithSize(QSizeF(48, 48), true));
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(picture.width() / 2, picture.height() / 2));
    return drag->exec(Qt::CopyAction, Qt::CopyAction);
}
