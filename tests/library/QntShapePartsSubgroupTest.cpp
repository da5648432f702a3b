#include "PaletteTestSupport.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntShapePartsSubgroup.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"

#include <QPainterPath>

#include <gtest/gtest.h>

TEST(QntShapePartsSubgroup, AStraightLinePartStillGetsAPicture)
{
    auto box = std::make_shared<VRDrawableShape>();
    box->setSize(QSizeF(100, 60));
    QPainterPath line;
    line.moveTo(0, 30);
    line.lineTo(100, 30);
    auto rule = std::make_shared<VRDrawablePath>(line);
    auto element =
        QntElement::createWithObjects({box, rule}, QStringLiteral("parts.test"), QSizeF(100, 60));
    ASSERT_TRUE(element);
    QntShapePartsSubgroup group(QStringLiteral("Parts"), element);
    ASSERT_EQ(group.children().size(), element->groupObjects().size());
    for (const auto &item : group.children()) {
        EXPECT_FALSE(item->image().isNull());
        EXPECT_TRUE(item->title().isEmpty());
        EXPECT_EQ(item->drawingTool(), nullptr);
        EXPECT_TRUE(item->tooltip().isEmpty());
        EXPECT_TRUE(item->representedObject());
    }
}

TEST(QntShapePartsSubgroup, ArrowPartsListLongStateThenShortState)
{
    preparePaletteEnvironment();
    const QntNotationRef notation =
        QntNotation::notationWithPath(notationFile(QStringLiteral("FlowChart/FlowChart.db")));
    ASSERT_TRUE(notation && notation->isValid());
    VRObjectRef arrow;
    for (const QntElementRecord &record :
         notation->arrowElementsList() + notation->shortArrowElementsList())
        if (record.prototype && record.prototype->isKindOf<QntElementArrow>()) {
            arrow = record.prototype;
            break;
        }
    ASSERT_TRUE(arrow) << "the notation has no element arrows";
    QntShapePartsSubgroup group(QStringLiteral("Parts"), arrow);
    EXPECT_FALSE(group.children().isEmpty());
    bool seenShort = false;
    for (const auto &item : group.children()) {
        if (item->tooltip() == QLatin1String("Part of the arrow in short state"))
            seenShort = true;
        else
            EXPECT_FALSE(seenShort) << "long-state parts come first";
        EXPECT_TRUE(item->tooltip() == QLatin1String("Part of the arrow in long state")
                    || item->tooltip() == QLatin1String("Part of the arrow in short state"));
    }
}
