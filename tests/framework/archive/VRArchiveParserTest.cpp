#include "framework/archive/VRArchiveParser.h"

#include "framework/archive/VRArchiver.h"
#include "framework/styles/VRStyleCoding.h"

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

namespace {

// The layout answers every member as the record does, and nothing for keys it lacks; records
// inside it are laid out alike, down to the layout's depth.
void expectLaidOutAs(const VRRecordIndex &index, const QJsonObject &record, int depth,
                     QStringView hashed = {})
{
    for (auto it = record.constBegin(); it != record.constEnd(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QJsonValue *found = index.find(it.key());
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, it.value());
        const std::vector<VRRecordIndex> *nested = index.nested(it.key());
        if (it.key() == hashed) {
            EXPECT_EQ(nested, nullptr); // taken whole, by its hash
        } else if (depth > 1 && it.value().isObject()) {
            ASSERT_NE(nested, nullptr);
            ASSERT_EQ(nested->size(), 1u);
            expectLaidOutAs(nested->front(), it.value().toObject(), depth - 1, hashed);
        } else if (nested) {
            const QJsonArray items = it.value().toArray();
            ASSERT_EQ(qsizetype(nested->size()), items.size());
            for (qsizetype i = 0; i < items.size(); ++i)
                expectLaidOutAs((*nested)[size_t(i)], items.at(i).toObject(), depth - 1, hashed);
        }
    }
    for (const char *key : {"", "b", "ab", "abcd", "clas", "classes", "x "}) {
        if (!record.contains(QLatin1String(key)))
            EXPECT_EQ(index.find(QString::fromLatin1(key)), nullptr) << key;
    }
}

} // namespace

TEST(ArchiveParser, RecordLayoutsFindWhatTheRecordsHold)
{
    const QJsonObject record = QJsonDocument::fromJson(R"({
        "class": "C", "ab": 1, "ba": [1, 2], "abc": {"ab": {"ab": {"ab": 4}}, "a": null},
        "list": [{"k": 1}, 2, {"k": {"k": 3}}], "numbers": [1, 2, 3], "": "empty",
        "b\u00e9": "accented", "ab\"c": true})")
                                   .object();
    ASSERT_FALSE(record.isEmpty());
    const VRRecordIndex index(record);
    expectLaidOutAs(index, record, VRRecordIndex::kDepth);
    EXPECT_EQ(index.nested(QStringLiteral("numbers")), nullptr);
    EXPECT_EQ(index.nested(QStringLiteral("ab")), nullptr);
    // Three levels down the records are left to plain lookups.
    const VRRecordIndex &second = index.nested(QStringLiteral("abc"))->front();
    const VRRecordIndex &third = second.nested(QStringLiteral("ab"))->front();
    EXPECT_NE(third.find(QStringLiteral("ab")), nullptr);
    EXPECT_EQ(third.nested(QStringLiteral("ab")), nullptr);

    // A record of very many members is looked through member by member.
    QJsonObject wide;
    for (int i = 0; i < 300; ++i)
        wide.insert(QStringLiteral("k%1").arg(i), i);
    expectLaidOutAs(VRRecordIndex(wide), wide, VRRecordIndex::kDepth);

    // A member asked for is hashed as a table of records read alike hashes it, also in the
    // records inside; no other member is.
    const VRRecordIndex hashed(record, VRRecordIndex::kDepth, u"ab");
    expectLaidOutAs(hashed, record, VRRecordIndex::kDepth, u"ab");
    const size_t seed = QHashSeed::globalSeed();
    EXPECT_EQ(hashed.hashOf(u"ab"), VRStyleCoding::valuesHash(record.value(u"ab"), seed));
    EXPECT_EQ(hashed.hashOf(u"abc"), std::nullopt);
    EXPECT_EQ(index.hashOf(u"ab"), std::nullopt);
    const VRRecordIndex &inner = hashed.nested(u"abc")->front();
    EXPECT_EQ(inner.hashOf(u"ab"),
              VRStyleCoding::valuesHash(record.value(u"abc").toObject().value(u"ab"), seed));
    EXPECT_EQ(qHash(VRStyleCoding::RecordKey{record.value(u"ab")}, seed), *hashed.hashOf(u"ab"));
}

// Every record the parser hands out comes with its layout, which finds what the record holds.
TEST(ArchiveParser, RecordsHandedOutAreLaidOut)
{
    for (const Text &text : texts()) {
        SCOPED_TRACE(text.name);
        VRArchiveParser parser;
        if (!parser.start(text.json, VRArchiver::kMaximumNesting) || !parser.rootParsed())
            continue;
        std::vector<VRRecordSource *> sources{parser.styles()};
        for (qsizetype layer = 0; layer < 8; ++layer)
            sources.push_back(parser.objectsOfLayer(layer));
        for (VRRecordSource *source : sources) {
            for (qsizetype i = 0; source && i < source->size() && !parser.broken(); ++i) {
                const QJsonValue record = source->at(i);
                if (parser.broken())
                    break;
                const VRRecordIndex *index = source->indexAt(i);
                ASSERT_NE(index, nullptr);
                const bool styles = source == parser.styles();
                expectLaidOutAs(*index, record.toObject(), VRRecordIndex::kDepth,
                                styles ? u"renderers" : u"metadata");
                // Styles come with the hash of their renderers, which equal styles share.
                const QJsonValue renderers = record.toObject().value(u"renderers");
                if (styles && !renderers.isUndefined()) {
                    EXPECT_EQ(index->hashOf(u"renderers"),
                              VRStyleCoding::valuesHash(renderers, QHashSeed::globalSeed()));
                }
            }
        }
    }
}
