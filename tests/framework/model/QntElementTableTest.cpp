#include "framework/model/QntElementTable.h"

#include <gtest/gtest.h>

TEST(QntElementTable, CommandsFollowTheirPreconditions)
{
    auto table = QntElementTable::tableWithRows(2, 2, QSizeF(40, 20));
    EXPECT_TRUE(table->validateAction("addRow:"));
    EXPECT_TRUE(table->validateAction("removeColumn:"));
    EXPECT_FALSE(table->validateAction("joinCells:"));
    const VRObjectList cells = table->cells();
    table->selectCells({cells.at(0), cells.at(3)}); // diagonal: not a rectangle
    EXPECT_FALSE(table->validateAction("joinCells:"));
    table->selectCells({cells.at(0), cells.at(1), cells.at(2), cells.at(3)});
    EXPECT_TRUE(table->validateAction("joinCells:"));
    table->joinCells();
    EXPECT_EQ(table->cells().size(), 1);
    EXPECT_TRUE(table->validateAction("splitCells:"));
    table->splitCells();
    EXPECT_EQ(table->cells().size(), 4);
    table->selectCells({});
    table->removeRow();
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_FALSE(table->validateAction("removeRow:"));
    EXPECT_EQ(table->size(), QSizeF(80, 20));
}
