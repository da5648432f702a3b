#include "framework/archive/VRArchiveParser.h"

#include "framework/archive/VRArchiver.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonArray all(VRRecordSource &source)
{
    QJsonArray records;
    for (qsizetype i = 0; i < source.size(); ++i)
        records.append(source.at(i));
    return records;
}

// The document put back together from the parser's parts.
QJsonObject assembled(VRArchiveParser &parser)
{
    QJsonObject root = parser.root();
    if (VRRecordSource *styles = parser.styles())
        root.insert(QStringLiteral("styles"), all(*styles));
    QJsonObject drawing = root.value(QStringLiteral("drawing")).toObject();
    QJsonArray layers = drawing.value(QStringLiteral("layers")).toArray();
    for (qsizetype i = 0; i < layers.size(); ++i) {
        if (VRRecordSource *objects = parser.objectsOfLayer(i)) {
            QJsonObject layer = layers.at(i).toObject();
            layer.insert(QStringLiteral("objects"), all(*objects));
            layers.replace(i, layer);
        }
    }
    drawing.insert(QStringLiteral("layers"), layers);
    root.insert(QStringLiteral("drawing"), drawing);
    return root;
}

QByteArray records(int count, const char *shape)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ",\n ";
        text += QByteArray(shape).replace("#", QByteArray::number(i));
    }
    return text;
}

struct Text {
    const char *name;
    QByteArray json;
    bool cut; // whether the parser takes it apart (else the caller parses it whole)
};

std::vector<Text> texts()
{
    const QByteArray many = records(600, R"({"class":"C","uid":#,"s":"a,b]}"})");
    const QByteArray styles = records(300, R"({"key":"k#","renderers":[{"x":[1,2]}]})");
    return {
        {"plain", R"({"drawing":{"layers":[{"objects":[{"a":1},{"b":[2]}]}]},"styles":[{"k":1}]})",
         true},
        {"spaces everywhere",
         " \n{ \"styles\" : [ {\"k\" : 1} , {\"k\":2} ] , \"drawing\" : { \"layers\" : [ { "
         "\"name\" "
         ": \"x\" , \"objects\" : [ 1 , \"two\" , null ] } ] } } \r\n",
         true},
        {"many runs",
         "{\"drawing\":{\"layers\":[{\"objects\":[" + many
             + "]},{\"objects\":[]},7,"
               "{\"visible\":true},{\"objects\":["
             + many + "]}]},\"styles\":[" + styles + "],\"format\":\"quintora.drawing\"}",
         true},
        {"no styles", R"({"drawing":{"layers":[{"objects":[1,2]}]}})", true},
        {"escaped quotes and backslashes around brackets",
         R"({"drawing":{"layers":[{"objects":[{"s":"a\"]}"},{"t":"b\\"},{"u":"c\\\"}{[\\"}]}]}})",
         true},
        {"a string whose closing quote is escaped",
         R"({"drawing":{"layers":[{"objects":[{"s":"a\"}]}]}})", false},
        {"styles not a list", R"({"drawing":{"layers":[]},"styles":{"a":[1]}})", true},
        {"two object lists in a layer", R"({"drawing":{"layers":[{"objects":[1],"objects":[2]}]}})",
         false},
        {"two style tables", R"({"drawing":{"layers":[]},"styles":[1],"styles":[2]})", false},
        {"escaped key", R"({"dr\u0061wing":{"layers":[{"objects":[1]}]}})", false},
        {"no drawing", R"({"styles":[1,2]})", false},
        {"trailing comma in a list", R"({"drawing":{"layers":[{"objects":[1,2,]}]}})", false},
        {"missing comma in a list", R"({"drawing":{"layers":[{"objects":[1 2]}]}})", false},
        {"damaged record", R"({"drawing":{"layers":[{"objects":[{"a":1},{"b":}]}]}})", true},
        {"damaged outside the lists", R"({"drawing":{"layers":[{"objects":[1]}],"size":tru}})",
         true},
        {"unbalanced", R"({"drawing":{"layers":[{"objects":[1]}]})", false},
        {"bracket pairs crossed", R"({"drawing":{"layers":[{"objects":[1}]]}})", true},
        {"trailing text", R"({"drawing":{"layers":[]}} x)", false},
        {"not an object", R"([{"drawing":{"layers":[]}}])", false},
    };
}

} // namespace

// Whenever the parser takes a text apart and every part parses, the parts make up exactly
// the document QJsonDocument reads from the whole text; when some part does not parse, the
// whole text does not either, so the caller reports the same error.
TEST(ArchiveParser, PartsMakeUpWhatTheWholeTextParsesTo)
{
    for (const Text &text : texts()) {
        SCOPED_TRACE(text.name);
        QJsonParseError error;
        const QJsonDocument whole = QJsonDocument::fromJson(text.json, &error);
        VRArchiveParser parser;
        ASSERT_EQ(parser.start(text.json, VRArchiver::kMaximumNesting), text.cut);
        if (!text.cut)
            continue;
        const QJsonObject parts = parser.rootParsed() ? assembled(parser) : QJsonObject();
        if (!parser.rootParsed() || parser.broken()) {
            EXPECT_NE(error.error, QJsonParseError::NoError);
            continue;
        }
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_EQ(parts, whole.object());
    }
}

TEST(ArchiveParser, TooDeepATextIsLeftWhole)
{
    const QByteArray deep = "{\"drawing\":{\"layers\":[{\"objects\":[" + QByteArray(100, '[')
                            + QByteArray(100, ']') + "]}]}}";
    VRArchiveParser parser;
    EXPECT_FALSE(parser.start(deep, VRArchiver::kMaximumNesting));
}
