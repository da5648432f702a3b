#include "framework/svg/SVGKImage.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

// Pictures the pinned Mermaid drew from the .mmd texts beside them.
QByteArray picture(const QString &name)
{
    QFile file(QStringLiteral(QNT_TEST_DATA_DIR "/mermaid/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

std::unique_ptr<VRObjectOwnerLayer> treeOf(const QByteArray &svg)
{
    const auto image = SVGKImage::imageWithData(svg);
    EXPECT_TRUE(image.ok()) << image.errorMessage().toStdString();
    return image ? (*image)->newVRTree() : std::make_unique<VRObjectOwnerLayer>();
}

std::shared_ptr<QntElement> element(const VRObjectOwnerLayer &layer, const QString &name)
{
    for (const VRObjectRef &object : layer.objects()) {
        if (object->isMemberOf<QntElement>() && object->stringForKey("name") == name)
            return std::static_pointer_cast<QntElement>(object);
    }
    return nullptr;
}

std::shared_ptr<QntConnector> edge(const VRObjectOwnerLayer &layer, const QString &from,
                                   const QString &to)
{
    for (const VRObjectRef &object : layer.objects()) {
        if (object->isKindOf<QntConnector>() && object->stringForKey("from") == from
            && object->stringForKey("to") == to)
            return std::static_pointer_cast<QntConnector>(object);
    }
    return nullptr;
}

// The share of an outline's bounding box that the outline encloses, sampled on a grid: 1 for a
// rectangle, pi/4 for a circle, 1/2 for a rhombus.
double fillRatio(const QPainterPath &path)
{
    const QRectF box = path.boundingRect();
    int inside = 0;
    constexpr int n = 60;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (path.contains(QPointF(box.left() + (i + 0.5) * box.width() / n,
                                      box.top() + (j + 0.5) * box.height() / n)))
                ++inside;
        }
    }
    return double(inside) / (n * n);
}

QPainterPath contourOf(const QntElement &element)
{
    const VRObjectRef contour = element.contourObject();
    return contour ? contour->renderingPath() : QPainterPath();
}

QString labelOf(const QntElement &element)
{
    return element.text() ? element.text()->string() : QString();
}

class FlowchartDirections : public ::testing::TestWithParam<const char *>
{
};

} // namespace

TEST_P(FlowchartDirections, NodesEdgesAndSubgraphsKeepTheirKinds)
{
    const auto tree = treeOf(picture(QStringLiteral("flow-%1.svg").arg(GetParam())));
    struct NodeCase {
        const char *name;
        const char *label;
        double minRatio, maxRatio; // share of the box the outline fills
    };
    const NodeCase nodes[] = {{"A", "Rectangle", 0.99, 1.01},  {"B", "Round", 0.95, 0.999},
                              {"C", "Stadium", 0.80, 0.97},    {"D", "Circle", 0.75, 0.82},
                              {"E", "Rhombus", 0.46, 0.54},    {"F", "Hexagon", 0.70, 0.95},
                              {"G", "Subroutine", 0.99, 1.01}, {"H", "Database", 0.75, 0.99}};
    for (const NodeCase &c : nodes) {
        SCOPED_TRACE(c.name);
        const auto node = element(*tree, c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(labelOf(*node), QString::fromUtf8(c.label));
        const double ratio = fillRatio(contourOf(*node));
        EXPECT_GE(ratio, c.minRatio);
        EXPECT_LE(ratio, c.maxRatio);
        EXPECT_FALSE(node->stickySpots().isEmpty());
    }
    // The subroutine's side bars and the database's rim are parts too.
    EXPECT_GE(element(*tree, "G")->groupObjects().size(), 1);

    struct EdgeCase {
        const char *from, *to;
        bool arrow;
        bool dashed;
        bool thick;
        const char *label;
    };
    const EdgeCase edges[] = {
        {"A", "B", true, false, false, ""},    {"B", "C", false, false, false, ""},
        {"C", "D", true, true, false, ""},     {"D", "E", true, false, true, ""},
        {"E", "F", true, false, false, "yes"}, {"E", "G", true, false, false, "no"},
        {"G", "H", true, false, false, ""},    {"F", "H", true, true, false, "later"}};
    int connectors = 0;
    for (const VRObjectRef &object : tree->objects())
        connectors += object->isKindOf<QntConnector>() ? 1 : 0;
    EXPECT_EQ(connectors, int(std::size(edges)));
    for (const EdgeCase &c : edges) {
        SCOPED_TRACE(std::string(c.from) + "->" + c.to);
        const auto connector = edge(*tree, c.from, c.to);
        ASSERT_NE(connector, nullptr);
        const QVariant head = connector->skinOptions().value("endArrowheadId");
        EXPECT_EQ(head.metaType().id() == QMetaType::QString, c.arrow);
        ASSERT_NE(connector->style(), nullptr);
        const VRStroke *stroke = connector->style()->stroke();
        ASSERT_NE(stroke, nullptr);
        EXPECT_EQ(stroke->dash() != nullptr && !stroke->dash()->dashPattern().isEmpty(), c.dashed);
        EXPECT_EQ(stroke->width() > 2.0, c.thick);
        EXPECT_EQ(connector->label().plainText(), QString::fromUtf8(c.label));
    }

    // The subgraph is a box of class "cluster" titled "Storage" around its node.
    const auto cluster = element(*tree, "S1");
    ASSERT_NE(cluster, nullptr);
    EXPECT_TRUE(cluster->stringForKey("class").startsWith("cluster"));
    EXPECT_EQ(labelOf(*cluster), "Storage");
    EXPECT_TRUE(cluster->logicalBounds().contains(element(*tree, "H")->logicalBounds()));
}

INSTANTIATE_TEST_SUITE_P(SVGKImage, FlowchartDirections, ::testing::Values("TD", "LR", "BT", "RL"));

TEST(SVGKImage, LabelsArriveIntact)
{
    const auto tree = treeOf(picture("labels.svg"));
    const std::pair<const char *, QString> cases[] = {
        {"Q", QStringLiteral("She said \"hi\"")},
        {"R", QStringLiteral("Fish & Chips")},
        {"J", QString::fromUtf8("日本語 テキスト")},
        {"L", QStringLiteral("first line\nsecond line")},
        // Markup in a label is text, never markup.
        {"X", QStringLiteral("<img src=\"x\"> <b> bold\n</b>")}};
    for (const auto &[name, label] : cases) {
        SCOPED_TRACE(name);
        const auto node = element(*tree, name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(labelOf(*node), label);
    }
}

namespace {

struct ExpectedText {
    QString first; // the first row
    QPointF anchor;
    QString anchorKind;
    bool central = false;
};

// Where the picture puts each text, worked out on its own: Mermaid's plain diagrams place
// texts with translations, x and y, dy on the text or its first row, text-anchor and
// dominant-baseline.
QList<ExpectedText> expectedTexts(const QByteArray &svg)
{
    QList<ExpectedText> result;
    QXmlStreamReader reader(svg);
    QList<QPointF> offsets;
    QList<bool> inDefs{false, false};
    static const QRegularExpression translate(
        QStringLiteral("translate\\(\\s*([-0-9.e]+)[,\\s]*([-0-9.e]*)\\s*\\)"));
    ExpectedText *open = nullptr;
    bool firstRowTaken = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto a = reader.attributes();
            if (offsets.isEmpty()) {
                // The view box's corner is the origin.
                const QStringList box = a.value("viewBox").toString().split(' ');
                offsets.append(box.size() == 4 ? -QPointF(box[0].toDouble(), box[1].toDouble())
                                               : QPointF());
            }
            QPointF offset = offsets.last();
            const auto m = translate.match(a.value("transform").toString());
            if (m.hasMatch())
                offset += QPointF(m.captured(1).toDouble(), m.captured(2).toDouble());
            offsets.append(offset);
            inDefs.append(inDefs.last() || reader.name() == u"defs" || reader.name() == u"marker");
            const QString style = a.value("style").toString();
            auto property = [&](const char *name) {
                const QRegularExpression re(QStringLiteral("%1\\s*:\\s*([^;]+)").arg(name));
                const auto found = re.match(style);
                return found.hasMatch() ? found.captured(1).trimmed()
                                        : a.value(QString::fromLatin1(name)).toString();
            };
            if (reader.name() == u"text" && !inDefs.last()) {
                ExpectedText text;
                const double em = 16.0;
                auto length = [em](QString v) {
                    if (v.endsWith("em")) {
                        v.chop(2);
                        return v.toDouble() * em;
                    }
                    v.remove("px");
                    return v.toDouble();
                };
                text.anchor =
                    offset
                    + QPointF(length(a.value("x").toString()),
                              length(a.value("y").toString()) + length(a.value("dy").toString()));
                text.anchorKind = property("text-anchor");
                const QString baseline = property("dominant-baseline");
                text.central = baseline == "central" || baseline == "middle";
                result.append(text);
                open = &result.last();
                firstRowTaken = false;
            } else if (reader.name() == u"tspan" && open && !firstRowTaken
                       && (a.hasAttribute("x") || a.hasAttribute("dy"))) {
                auto length = [](QString v) {
                    if (v.endsWith("em")) {
                        v.chop(2);
                        return v.toDouble() * 16.0;
                    }
                    return v.toDouble();
                };
                QPointF anchor = open->anchor;
                if (a.hasAttribute("x"))
                    anchor.setX(offset.x() + length(a.value("x").toString()));
                if (a.hasAttribute("y"))
                    anchor.setY(offset.y() + length(a.value("y").toString()));
                anchor.ry() += length(a.value("dy").toString());
                open->anchor = anchor;
                firstRowTaken = true;
            }
        } else if (reader.isEndElement()) {
            offsets.removeLast();
            inDefs.removeLast();
            if (reader.name() == u"text")
                open = nullptr;
            else if (reader.name() == u"tspan" && open && !open->first.isEmpty())
                firstRowTaken = true;
        } else if (reader.isCharacters() && open && open->first.isEmpty()
                   && !reader.text().trimmed().isEmpty()) {
            open->first = reader.text().toString().trimmed();
        }
    }
    result.erase(std::remove_if(result.begin(), result.end(),
                                [](const ExpectedText &t) { return t.first.isEmpty(); }),
                 result.end());
    return result;
}

class PlainDiagrams : public ::testing::TestWithParam<const char *>
{
};

} // namespace

TEST_P(PlainDiagrams, EveryTextLandsWhereThePictureHasIt)
{
    const QByteArray svg = picture(QStringLiteral("%1.svg").arg(GetParam()));
    const auto tree = treeOf(svg);
    const QList<ExpectedText> expected = expectedTexts(svg);
    ASSERT_GE(expected.size(), 3);
    QList<std::shared_ptr<QntText>> texts;
    int lines = 0;
    for (const VRObjectRef &object : tree->objects()) {
        if (object->isMemberOf<QntText>())
            texts.append(std::static_pointer_cast<QntText>(object));
        lines += object->isMemberOf<VRDrawablePath>() ? 1 : 0;
    }
    EXPECT_GT(lines + int(tree->objects().size()), int(expected.size()));
    for (const ExpectedText &want : expected) {
        SCOPED_TRACE(want.first.toStdString());
        double best = 1e9;
        for (const auto &text : std::as_const(texts)) {
            if (!text->text() || !text->text()->string().startsWith(want.first))
                continue;
            const QRectF box = text->logicalBounds();
            const QFontMetricsF metrics(text->text()->font());
            double x = box.left();
            if (want.anchorKind == "middle")
                x = box.center().x();
            else if (want.anchorKind == "end")
                x = box.right();
            const double y = want.central ? box.top() + (metrics.ascent() + metrics.descent()) / 2
                                          : box.top() + metrics.ascent();
            // The frame has a point of slack on each side.
            const double dx = std::abs(x - want.anchor.x()) - (want.anchorKind == "middle" ? 0 : 1);
            best = std::min(best, std::max(dx, std::abs(y - want.anchor.y())));
        }
        EXPECT_LE(best, 2.0) << "at " << want.anchor.x() << "," << want.anchor.y();
    }
}

// Pictures whose nodes the page did not name come in as they are drawn.
INSTANTIATE_TEST_SUITE_P(SVGKImage, PlainDiagrams, ::testing::Values("class", "state"));

// A text asks for families in turn; one that is missing is drawn in an installed family of the
// same widths, as the web page that laid the picture out draws it, before the next is tried.
TEST(SVGKImage, ATextTakesTheFirstFamilyItsWidthsCanBeHadIn)
{
    const auto either = [](const QString &family, const QString &standIn) {
        return QFontDatabase::hasFamily(family) ? family : standIn;
    };
    const struct {
        const char *families;
        QString drawnIn;
    } cases[] = {
        {"\"trebuchet ms\", verdana, arial, sans-serif",
         QFontDatabase::hasFamily("Trebuchet MS") ? QString("Trebuchet MS")
         : QFontDatabase::hasFamily("Verdana")    ? QString("Verdana")
                                                  : either("Arial", "Liberation Sans")},
        {"'Times New Roman', serif", either("Times New Roman", "Liberation Serif")},
        {"Courier New, monospace", either("Courier New", "Liberation Mono")},
        {"DejaVu Sans, arial", "DejaVu Sans"},
        {"no such family, sans-serif", QFontInfo(QFont("sans-serif")).family()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.families);
        const QByteArray svg = QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                          "viewBox=\"0 0 200 50\"><text x=\"10\" y=\"30\" "
                                          "font-family='")
                               + QByteArray(c.families).replace('\'', "&apos;")
                               + "'>Words</text></svg>";
        const auto tree = treeOf(svg);
        ASSERT_EQ(tree->objects().size(), 1);
        const auto text = std::dynamic_pointer_cast<QntText>(tree->objects().first());
        ASSERT_TRUE(text && text->text());
        EXPECT_EQ(QFontInfo(text->text()->font()).family(), c.drawnIn);
    }
}

TEST(SVGKImage, StylesFollowAttributesSheetAndInlineInThatOrder)
{
    const QByteArray svg =
        R"svg(<svg xmlns="http://www.w3.org/2000/svg" id="p" viewBox="-10 -20 200 100">
  <style>#p .box{fill:#00ff00;stroke:#0000ff;stroke-width:3px}#p rect.plain{fill:#123456}
    @keyframes dash{to{stroke-dashoffset:0;}} #p g > .odd{fill:rgb(255, 0, 0)!important}</style>
  <rect class="box" x="0" y="0" width="10" height="10" fill="#ffffff"/>
  <rect class="box" x="20" y="0" width="10" height="10" style="fill:#ff00ff"/>
  <rect class="plain" x="40" y="0" width="10" height="10" stroke="black"/>
  <g fill="#abcdef"><rect class="odd" x="60" y="0" width="10" height="10" style="fill:#000000"/>
    <rect x="80" y="0" width="10" height="10" stroke="#000"/></g>
  <rect x="100" y="0" width="10" height="10" fill="none" stroke="none"/>
  <rect x="120" y="0" width="10" height="10" display="none"/>
</svg>)svg";
    const auto tree = treeOf(svg);
    ASSERT_EQ(tree->countOfObjects(), 5);
    const VRObjectList objects = tree->objects();
    auto fill = [&](int i) { return objects.at(i)->style()->fillColour().name(); };
    EXPECT_EQ(fill(0), "#00ff00"); // the sheet beats the attribute
    EXPECT_EQ(objects.at(0)->style()->stroke()->width(), 3.0);
    EXPECT_EQ(fill(1), "#ff00ff"); // inline beats the sheet
    EXPECT_EQ(fill(2), "#123456");
    EXPECT_EQ(fill(3), "#ff0000"); // important beats inline
    EXPECT_EQ(fill(4), "#abcdef"); // inherited from the group
    // The view box's corner is the origin.
    EXPECT_EQ(objects.at(0)->logicalBounds().topLeft(), QPointF(10, 20));
}

TEST(SVGKImage, RefusesWhatIsNotAnSvgPicture)
{
    QByteArray deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
    for (int i = 0; i < 300; ++i)
        deep += "<g>";
    const QByteArray cases[] = {
        "",
        "plain text",
        "<html><body/></html>",
        "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"1\"",
        deep,
        "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaa\">]><svg>&a;&b;</svg>",
    };
    for (const QByteArray &data : cases) {
        SCOPED_TRACE(data.left(60).toStdString());
        const auto image = SVGKImage::imageWithData(data);
        EXPECT_FALSE(image.ok());
        EXPECT_FALSE(image.errorMessage().isEmpty());
    }
}

TEST(SVGKImage, BrokenShapesAreLeftOutAndTheRestStays)
{
    const QByteArray svg = R"svg(<svg xmlns="http://www.w3.org/2000/svg">
  <rect width="-5" height="10"/><circle r="0"/><path d="M 0 0 L zz"/><polygon points="1"/>
  <path d="M 0 0 L 10 10" stroke="black" transform="matrix(1 0 0 1 5 5) rotate(nonsense)"/>
  <text x="3" y="20">kept</text>
</svg>)svg";
    const auto tree = treeOf(svg);
    ASSERT_EQ(tree->countOfObjects(), 2);
    EXPECT_TRUE(tree->objects().at(0)->isMemberOf<VRDrawablePath>());
    EXPECT_TRUE(tree->objects().at(1)->isMemberOf<QntText>());
}

// A sequence diagram: each participant one element with its lifeline, each message a
// connector between the lifelines at its own height, which follows a participant that moves.
// The picture comes from a Mermaid that did not name a message's ends: the lifeline under
// each end names it.
TEST(SVGKImage, SequenceParticipantsCarryTheirLifelinesAndMessages)
{
    const auto tree = treeOf(picture("sequence.svg"));
    const auto alice = element(*tree, "Alice");
    const auto bob = element(*tree, "Bob");
    ASSERT_TRUE(alice && bob);
    // Its name at the top in its spans' colour, not in its box's fill; the box, the lifeline
    // and the box at the bottom (with the name again) are its parts.
    for (const auto &participant : {alice, bob}) {
        EXPECT_EQ(labelOf(*participant), participant->stringForKey("name"));
        EXPECT_LT(participant->text()->textColour().lightness(), 80);
        EXPECT_GE(participant->parts().size(), 4);
        EXPECT_GT(participant->size().height(), 300);
    }
    QList<std::shared_ptr<QntConnector>> messages;
    int notes = 0, frames = 0;
    for (const VRObjectRef &object : tree->objects()) {
        if (object->isKindOf<QntConnector>())
            messages.append(std::static_pointer_cast<QntConnector>(object));
        notes += object->stringForKey("class") == "note" ? 1 : 0;
        frames += object->stringForKey("class").startsWith("cluster") ? 1 : 0;
    }
    EXPECT_EQ(notes, 1);
    EXPECT_EQ(frames, 1);
    ASSERT_EQ(messages.size(), 3);
    QStringList ends;
    QList<double> heights;
    for (const auto &message : messages) {
        EXPECT_EQ(message->skinOptions().value("endArrowheadId").toString(), "cdHeadFilled");
        ends.append(message->stringForKey("from") + ">" + message->stringForKey("to"));
        const auto from = element(*tree, message->stringForKey("from"));
        const auto to = element(*tree, message->stringForKey("to"));
        ASSERT_TRUE(from && to);
        const QPointF start = message->startEndPoint()->location();
        from->connectToTargetElement(to.get(), message);
        EXPECT_TRUE(message->isAttachedTo(from.get()) && message->isAttachedTo(to.get()));
        EXPECT_NEAR(message->startEndPoint()->location().y(), start.y(), 0.01);
        heights.append(start.y());
    }
    EXPECT_EQ(ends, QStringList({"Alice>Bob", "Bob>Alice", "Alice>Bob"}));
    EXPECT_EQ(
        QStringList({messages.at(0)->label().plainText(), messages.at(1)->label().plainText()}),
        QStringList({"Hello Bob", "Hi Alice"}));
    // Bob moves right and down: the messages' ends on his lifeline go with him, Alice's stay.
    const QPointF aliceEnd = messages.at(0)->startEndPoint()->location();
    const QPointF bobEnd = messages.at(0)->endEndPoint()->location();
    bob->setLocation(bob->location() + QPointF(120, 10));
    EXPECT_EQ(messages.at(0)->startEndPoint()->location(), aliceEnd);
    EXPECT_NEAR(messages.at(0)->endEndPoint()->location().x(), bobEnd.x() + 120, 0.01);
    EXPECT_NEAR(messages.at(0)->endEndPoint()->location().y(), bobEnd.y() + 10, 0.01);
}

TEST(SVGKImage, AnOutlineOverlappingItselfKeepsItsFillWithoutAFillRule)
{
    // A subroutine's box: the inner rectangle drawn again inside the outer one.
    const QByteArray svg = R"svg(<svg xmlns="http://www.w3.org/2000/svg" class="flowchart">
  <g class="node" data-qnt-name="S" transform="translate(50, 20)">
    <polygon points="0,0 40,0 40,-20 0,-20 0,0 -8,0 48,0 48,-20 -8,-20 -8,0" fill="#ffcc00" stroke="#000"/>
    <path d="M0,5 a20,5 0,0,0 40,0 l0,20 a20,5 0,0,1 -40,0 l0,-20" fill="#00ccff" stroke="#000"/>
  </g>
</svg>)svg";
    const auto tree = treeOf(svg);
    const auto node = element(*tree, "S");
    ASSERT_NE(node, nullptr);
    const VRObjectList parts = node->groupObjects();
    ASSERT_EQ(parts.size(), 3);
    // The body is the filled union, even-odd or not; the strokes lie above it unfilled.
    QPainterPath body = parts.at(0)->renderingPath();
    body.setFillRule(Qt::OddEvenFill);
    EXPECT_TRUE(body.contains(parts.at(0)->logicalBounds().center()));
    EXPECT_EQ(parts.at(0)->style()->fillColour().name(), "#ffcc00");
    EXPECT_EQ(parts.at(0)->style()->stroke(), nullptr);
    EXPECT_EQ(parts.at(1)->style()->fill(), nullptr);
    // An open path in a node is filled, as SVG fills every path.
    EXPECT_EQ(parts.at(2)->style()->fillColour().name(), "#00ccff");
}
