#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <QTextCharFormat>

// How much room a text needs: the height for a given width, or the width for a given height.
// An empty text needs none.
namespace Geometrics {

QSizeF sizeForWidth(const QString &text, double width, double height, const QFont &font);
double heightForWidth(const QString &text, double width, const QFont &font);
double widthForHeight(const QString &text, double height, const QFont &font);

} // namespace Geometrics
