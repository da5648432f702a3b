#include "library/ImagesBankItem.h"

#include "framework/model/VRDrawableObject.h"

QString ImagesBankItem::imageTitle() const
{
    return _element ? _element->stringForKey(QStringLiteral("TITLE")) : QString();
}

void ImagesBankItem::setImageTitle(const QString &title)
{
    if (_element)
        _element->setString(title, QStringLiteral("TITLE"));
}
