#pragma once

#include <QColor>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace qnt::test {

// "Hello world": "Hello " in the text's own colour, "world" in a red of its own.
inline QTextDocumentFragment helloRedWorld()
{
    QTextDocument text;
    QTextCursor cursor(&text);
    cursor.insertText(QStringLiteral("Hello "));
    QTextCharFormat red;
    red.setForeground(QColor(Qt::red));
    cursor.insertText(QStringLiteral("world"), red);
    return QTextDocumentFragment(&text);
}

} // namespace qnt::test
