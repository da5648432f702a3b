// Every element a user can pick from a built-in notation's palette lists can be placed with its
// creation tool: it lands at the click, of its stored class, selected, and undo takes it away.

#include "framework/ViewTestSupport.h"
#include "common/ScopedCreationTools.h"

#include "framework/notations/QntNotation.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/model/VRDrawableObject.h"

#include <QDirIterator>

#include <gtest/gtest.h>

namespace {

QStringList builtInNotations()
{
    QStringList paths;
    QDirIterator it(QStringLiteral(QNT_BIN_DIR "/../share/quintora/Notations"), {"*.db"},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

} // namespace

TEST(NotationPlacement, EveryPaletteElementOfEveryBuiltInNotationCanBePlaced)
{
    const QStringList paths = builtInNotations();
    ASSERT_FALSE(paths.isEmpty()) << "the notation databases are missing";
    const QStringList lists{"Shapes", "FlowChart",  "Text",  "ShortArrows",
                            "Arrows", "Separators", "Tables"};
    int placed = 0;
    for (const QString &path : paths) {
        QntNotationRef notation = QntNotation::notationWithPath(path);
        ASSERT_NE(notation, nullptr) << path.toStdString();
        ViewHarness h(QSize(700, 500));
        for (const QString &list : lists) {
            for (const QntElementRecord &record : notation->elementsList(list)) {
                if (!record.prototype)
                    continue;
                const qnt::test::ScopedCreationTools tools({record.prototype});
                const QString tool = tools.names().value(0);
                ASSERT_FALSE(tool.isEmpty()) << record.elementId.toStdString();
                const int before = h.layer()->countOfObjects();
                h.useTool(tool);
                h.click(QPointF(300, 250));
                ASSERT_EQ(h.layer()->countOfObjects(), before + 1)
                    << path.toStdString() << " " << record.elementId.toStdString();
                VRObjectRef made = h.layer()->objects().last();
                EXPECT_EQ(h.layer()->singleSelection(), made);
                EXPECT_EQ(made->className(), record.prototype->className())
                    << record.elementId.toStdString();
                EXPECT_FALSE(made->isPrototype());
                // The object's box (not its outline, which may be lopsided) is centred on the
                // click.
                const QPointF centre = made->transformIncludingParent().map(QPointF(0, 0));
                EXPECT_NEAR(centre.x(), 300, 1) << record.elementId.toStdString();
                EXPECT_NEAR(centre.y(), 250, 1) << record.elementId.toStdString();
                h.undoStep();
                EXPECT_EQ(h.layer()->countOfObjects(), before) << record.elementId.toStdString();
                ++placed;
            }
        }
    }
    EXPECT_GT(placed, 50);
}
