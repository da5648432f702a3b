#pragma once

#include "inspectors/QntButtonMatrix.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Header-only: the test mains of this folder do not link the application.
namespace qnt::test {

// The titles of a context column's buttons, top to bottom.
inline QStringList columnTitles(const QntButtonMatrix &column)
{
    QStringList titles;
    for (const QntButtonMatrix::Cell &cell : column.cells())
        titles << cell.title;
    return titles;
}

// Clicks the column's button with the title; a failure when there is none.
inline void clickColumn(QntButtonMatrix &column, const QString &title)
{
    const QList<QntButtonMatrix::Cell> cells = column.cells();
    for (int row = 0; row < cells.size(); ++row) {
        if (cells.at(row).title == title) {
            column.performClickOnRow(row);
            return;
        }
    }
    ADD_FAILURE() << "no button " << title.toStdString();
}

} // namespace qnt::test
