#include "app/common/Geometrics.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QTextOption>

#include <limits>

namespace Geometrics {

QSizeF sizeForWidth(const QString &text, double width, double height, const QFont &font)
{
    if (text.isEmpty())
        return {};
    QTextDocument document;
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setPlainText(text);
    if (width < std::numeric_limits<double>::max() / 2)
        document.setTextWidth(width);
    QSizeF size = document.size();
    if (width < std::numeric_limits<double>::max() / 2)
        size.setWidth(std::min(width, document.idealWidth()));
    else
        size.setWidth(document.idealWidth());
    size.setHeight(std::min(size.height(), height));
    return size;
}

double heightForWidth(const QString &text, double width, const QFont &font)
{
    return sizeForWidth(text, width, std::numeric_limits<double>::max(), font).height();
}

double widthForHeight(const QString &text, double height, const QFont &font)
{
    return sizeForWidth(text, std::numeric_limits<double>::max(), height, font).width();
}

} // namespace Geometrics
