#pragma once

#include <QIcon>
#include <QString>

// Line-art icons of the document window's toolbar, drawn at any size so they stay crisp.
namespace ToolbarIcons {

// "Select", "Text", "Rectangle", "Oval", "Line", "Pan", "Zoom" or "Inspector".
QIcon icon(const QString &name);

} // namespace ToolbarIcons
