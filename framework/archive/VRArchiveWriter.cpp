#include "framework/archive/VRArchiveWriter.h"

#include "framework/archive/VRJsonWriter.h"
#include "framework/base/VRParkedWorkers.h"
#include "framework/model/QntConnector.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/styles/VRStyle.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QRectF>
#include <QUuid>

#include <atomic>
#include <charconv>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// Connectors compare the styles of their parts with ones built from the drawing's notation,
// which is not safe off the main thread; they, and groups holding one, are written there.
bool writesOnAnyThread(const VRDrawableObject &object)
{
    if (object.isKindOf<QntConnector>()) {
        const VRDrawing *drawing = object.drawing();
        return !drawing || drawing->currentNotationPath().isEmpty();
    }
    if (object.isKindOf<VRShapeGroup>()) {
        for (const VRObjectRef &member : static_cast<const VRShapeGroup &>(object).groupObjects())
            if (member && !writesOnAnyThread(*member))
                return false;
    }
    return true;
}

// Texts kept for the next write: at most this many, with at most this much room in all.
constexpr size_t kSpareTexts = 16;
constexpr qsizetype kSpareRoom = qsizetype(96) * 1024 * 1024;

struct SpareTexts {
    std::mutex mutex;
    std::vector<VRJsonStreamWriter> texts;
    qsizetype room = 0;
};

SpareTexts &spareTexts()
{
    // Never destroyed: writes on other threads may give texts back while the process ends.
    static auto *spare = new SpareTexts;
    return *spare;
}

// The threads that write the parts of long lists: started on first use and kept, parked
// between writes, so a save starts no thread and each keeps its memory from one to the next.
VRParkedWorkers &partWorkers()
{
    static auto *workers = new VRParkedWorkers(3);
    return *workers;
}

} // namespace

VRJsonStreamWriter VRArchiveWriter::borrowText(qsizetype room)
{
    SpareTexts &spare = spareTexts();
    std::lock_guard lock(spare.mutex);
    if (spare.texts.empty())
        return {};
    // The smallest with the room asked for, else the roomiest.
    auto chosen = spare.texts.end();
    for (auto it = spare.texts.begin(); it != spare.texts.end(); ++it) {
        const bool fits = it->capacity() >= room;
        if (chosen == spare.texts.end()
            || (fits ? chosen->capacity() < room || it->capacity() < chosen->capacity()
                     : chosen->capacity() < room && it->capacity() > chosen->capacity()))
            chosen = it;
    }
    VRJsonStreamWriter text = std::move(*chosen);
    spare.texts.erase(chosen);
    spare.room -= text.capacity();
    return text;
}

void VRArchiveWriter::giveBackText(VRJsonStreamWriter &&text)
{
    VRJsonStreamWriter kept = std::move(text);
    if (kept.capacity() == 0)
        return;
    kept.clear();
    SpareTexts &spare = spareTexts();
    std::unique_lock lock(spare.mutex);
    if (spare.texts.size() >= kSpareTexts || spare.room + kept.capacity() > kSpareRoom) {
        lock.unlock();
        return; // freed here, outside the lock
    }
    spare.room += kept.capacity();
    spare.texts.push_back(std::move(kept));
}

// One part of a long list: its text, its own writer, and the texts its markers stand for once
// they are decided (in the order the references were made).
class VRArchiveWriter::Part
{
public:
    explicit Part(qsizetype room)
        : text(borrowText(room))
    {
        text.reserve(room);
    }
    ~Part() { giveBackText(std::move(text)); }

    VRJsonStreamWriter text;
    VRArchiveWriter writer{&text};
    QByteArray resolved;
    std::vector<qsizetype> resolvedEnds;

    QByteArrayView resolvedText(quint32 index) const
    {
        if (index >= resolvedEnds.size())
            return QByteArrayView("null");
        const qsizetype begin = index == 0 ? 0 : resolvedEnds[index - 1];
        return QByteArrayView(resolved.constData() + begin, resolvedEnds[index] - begin);
    }
};

VRArchiveWriter::VRArchiveWriter()
    : m_styles(borrowText(0))
{
    m_styles.beginArray();
}

// A part's style records follow one another without an array around them.
VRArchiveWriter::VRArchiveWriter(VRJsonStreamWriter *partText)
    : m_styles(borrowText(0))
    , m_partText(partText)
{
}

VRArchiveWriter::~VRArchiveWriter()
{
    giveBackText(std::move(m_styles));
}

void VRArchiveWriter::writeObject(VRJsonWriter &out, const VRDrawableObject &object)
{
    out.beginObject();
    object.writeRecord(out, *this);
    out.end();
}

void VRArchiveWriter::writeObjects(VRJsonWriter &out, const VRObjectList &objects)
{
    out.beginArray();
    for (const auto &o : objects) {
        if (o)
            writeObject(out, *o);
    }
    out.end();
}

void VRArchiveWriter::writeObjectsInParts(VRJsonStreamWriter &out, const VRObjectList &objects)
{
    const qsizetype count = objects.size();
    VRParkedWorkers &pool = partWorkers();
    const int workers = pool.count();
    if (m_partText || count < kPartsThreshold || workers == 0) {
        writeObjects(out, objects);
        return;
    }
    struct Slot {
        int part = -1;
        qsizetype begin = 0;
        qsizetype end = 0;
        size_t references = 0; // the part's references made up to the end of this record
    };
    std::vector<Slot> placed(static_cast<size_t>(count));
    std::vector<bool> here(static_cast<size_t>(count));
    qsizetype hereCount = 0;
    for (qsizetype i = 0; i < count; ++i) {
        here[size_t(i)] = objects.at(i) && !writesOnAnyThread(*objects.at(i));
        hereCount += here[size_t(i)] ? 1 : 0;
    }
    // Part 0 holds the objects that must be written on this thread, part 1 this thread's share
    // of the rest, the others the workers' shares. Each part holds its objects in list order.
    // Room for about twice a part's share at a kilobyte per record; room never written costs
    // no memory, and the parts then rarely grow.
    std::vector<std::unique_ptr<Part>> parts;
    parts.push_back(std::make_unique<Part>(hereCount * 2048));
    for (int k = 0; k < workers + 1; ++k)
        parts.push_back(std::make_unique<Part>((count - hereCount) / (workers + 1) * 2048));
    const auto writeOne = [&](int p, qsizetype i) {
        Part &part = *parts[size_t(p)];
        Slot &slot = placed[size_t(i)];
        slot.part = p;
        slot.begin = part.text.size();
        part.writer.writeObject(part.text, *objects.at(i));
        slot.end = part.text.size();
        slot.references = part.writer.m_references.size();
    };
    constexpr qsizetype kChunk = 64;
    std::atomic<qsizetype> next{0};
    const auto writeShare = [&](int p) {
        for (;;) {
            const qsizetype first = next.fetch_add(kChunk);
            if (first >= count)
                return;
            for (qsizetype i = first; i < std::min(count, first + kChunk); ++i)
                if (objects.at(i) && !here[size_t(i)])
                    writeOne(p, i);
        }
    };
    const std::function<void(int)> job = [&](int k) { writeShare(k + 2); };
    const bool shared = pool.run(job, [&] {
        for (qsizetype i = 0; i < count; ++i)
            if (here[size_t(i)])
                writeOne(0, i);
        writeShare(1);
    });
    if (!shared) {
        // Another write has the workers: this one is written on this thread alone.
        writeObjects(out, objects);
        return;
    }

    qsizetype total = 0;
    for (const auto &part : parts) {
        if (part->writer.m_partFailed) {
            writeObjects(out, objects);
            return;
        }
        total += part->text.size();
    }
    // Joined in list order: each record's new references are decided as serial writing would
    // have decided them, then its text is copied with its markers replaced.
    out.reserve(out.size() + total + total / 16 + 1024);
    qsizetype references = 0;
    for (const auto &part : parts) {
        references += qsizetype(part->writer.m_references.size());
        part->resolved.reserve(qsizetype(part->writer.m_references.size()) * 40);
    }
    m_uids.reserve(m_uids.size() + references);
    m_styleKeys.reserve(m_styleKeys.size() + references);
    m_keyOfStyle.reserve(m_keyOfStyle.size() + references);
    out.beginArray();
    for (qsizetype i = 0; i < count; ++i) {
        if (!objects.at(i))
            continue;
        const Slot &slot = placed[size_t(i)];
        Part &part = *parts[size_t(slot.part)];
        while (part.resolvedEnds.size() < slot.references) {
            resolve(part.writer, part.writer.m_references[part.resolvedEnds.size()], part.resolved);
            part.resolvedEnds.push_back(part.resolved.size());
        }
        out.rawValueResolvingMarkers(part.text.text().sliced(slot.begin, slot.end - slot.begin),
                                     [&part](quint32 index) { return part.resolvedText(index); });
    }
    out.end();
    for (const auto &part : parts) {
        const QJsonObject &images = part->writer.m_images;
        for (auto it = images.constBegin(); it != images.constEnd(); ++it)
            if (!m_images.contains(it.key()))
                m_images.insert(it.key(), it.value());
    }
}

quint32 VRArchiveWriter::referenceTo(const void *target, bool style)
{
    if (const auto it = m_referenceOf.constFind(target); it != m_referenceOf.cend())
        return it.value();
    const auto index = quint32(m_references.size());
    Reference reference;
    reference.target = target;
    reference.style = style;
    m_references.push_back(reference);
    m_referenceOf.insert(target, index);
    return index;
}

void VRArchiveWriter::resolve(const VRArchiveWriter &part, const Reference &reference,
                              QByteArray &text)
{
    if (!reference.style) {
        char digits[24];
        const qint64 uid = uidOf(static_cast<const VRDrawableObject *>(reference.target));
        text.append(digits, std::to_chars(digits, digits + sizeof digits, uid).ptr - digits);
        return;
    }
    const auto *style = static_cast<const VRStyle *>(reference.target);
    if (const auto written = m_keyOfStyle.constFind(style); written != m_keyOfStyle.cend()) {
        VRJsonStreamWriter::appendString(text, written.value());
        return;
    }
    QString key = style->uniqueKey();
    if (m_styleKeys.contains(key)) {
        key = writeRenamedStyleRecord(*style);
    } else {
        m_styles.rawValue(part.m_styles.text().sliced(reference.recordBegin,
                                                      reference.recordEnd - reference.recordBegin));
    }
    m_styleKeys.insert(key, true);
    m_keyOfStyle.insert(style, key);
    VRJsonStreamWriter::appendString(text, key);
}

QString VRArchiveWriter::writeRenamedStyleRecord(const VRStyle &style)
{
    QJsonObject record = style.toJson(m_images);
    const QString key = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    record.insert(QStringLiteral("key"), key);
    m_styles.value(QJsonValue(record));
    return key;
}

qint64 VRArchiveWriter::uidOf(const VRDrawableObject *object)
{
    if (m_partText) {
        // The record writes the number next: it is written as a marker, decided when joined.
        const quint32 index = referenceTo(object, false);
        const qint64 standIn = -1 - qint64(index);
        m_partText->markNextInteger(index, standIn);
        return standIn;
    }
    auto it = m_uids.constFind(object);
    if (it != m_uids.constEnd())
        return it.value();
    const qint64 uid = m_nextUid++;
    m_uids.insert(object, uid);
    return uid;
}

void VRArchiveWriter::writeStyleReference(VRJsonWriter &out, const VRStyleRef &style)
{
    if (!style) {
        out.null();
        return;
    }
    if (m_partText) {
        writePartStyleReference(out, style);
        return;
    }
    if (const auto written = m_keyOfStyle.constFind(style.get()); written != m_keyOfStyle.cend()) {
        out.value(written.value());
        return;
    }
    QString key = style->uniqueKey();
    if (key.isEmpty()) {
        out.null();
        return;
    }
    Q_ASSERT(!m_stylesTaken);
    if (m_styleKeys.contains(key)) {
        key = writeRenamedStyleRecord(*style);
    } else {
        style->writeRecord(m_styles, m_images);
    }
    m_styleKeys.insert(key, true);
    m_keyOfStyle.insert(style.get(), key);
    out.value(key);
}

void VRArchiveWriter::writePartStyleReference(VRJsonWriter &out, const VRStyleRef &style)
{
    if (&out != m_partText) {
        m_partFailed = true; // a record written elsewhere: the list is written whole instead
        out.null();
        return;
    }
    if (const auto it = m_referenceOf.constFind(style.get()); it != m_referenceOf.cend()) {
        m_partText->marker(it.value());
        return;
    }
    if (style->uniqueKey().isEmpty()) {
        out.null();
        return;
    }
    // The record is written now; it joins the table if the style is new when the parts join.
    const qsizetype begin = m_styles.size();
    style->writeRecord(m_styles, m_images);
    const quint32 index = referenceTo(style.get(), true);
    m_references[index].recordBegin = begin;
    m_references[index].recordEnd = m_styles.size();
    m_partText->marker(index);
}

QByteArray VRArchiveWriter::takeStylesText()
{
    Q_ASSERT(!m_stylesTaken);
    m_stylesTaken = true;
    m_styles.end();
    return m_styles.take();
}

QByteArrayView VRArchiveWriter::finishStylesText()
{
    Q_ASSERT(!m_stylesTaken);
    m_stylesTaken = true;
    m_styles.end();
    return m_styles.text();
}

QString VRArchiveWriter::imageReference(const QImage &image)
{
    if (image.isNull())
        return QString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex());
    if (!m_images.contains(sha))
        m_images.insert(sha, QString::fromLatin1(png.toBase64()));
    return sha;
}

QString VRArchiveWriter::keepImageData(const QString &key, const QString &encoded)
{
    if (!m_images.contains(key))
        m_images.insert(key, encoded);
    return key;
}

QString VRArchiveWriter::colour(const QColor &c)
{
    if (!c.isValid())
        return QString();
    const QColor rgb = c.toRgb();
    static const char hex[] = "0123456789ABCDEF";
    const int channels[4] = {rgb.red(), rgb.green(), rgb.blue(), rgb.alpha()};
    QString text(9, QLatin1Char('#'));
    QChar *p = text.data() + 1;
    for (const int channel : channels) {
        *p++ = QLatin1Char(hex[(channel >> 4) & 0xF]);
        *p++ = QLatin1Char(hex[channel & 0xF]);
    }
    return text;
}

void VRArchiveWriter::writeFont(VRJsonWriter &out, const QFont &f)
{
    out.beginObject();
    out.insert("bold", f.bold());
    out.insert("family", f.family());
    out.insert("italic", f.italic());
    out.insert("size", f.pointSizeF() > 0 ? f.pointSizeF() : double(f.pixelSize()));
    out.insert("underline", f.underline());
    out.end();
}

static void writeTagged(VRJsonWriter &out, const char *tag)
{
    out.beginObject();
    out.insert("$t", QLatin1String(tag));
    out.key(QLatin1String("v"));
}

void VRArchiveWriter::writeValue(VRJsonWriter &out, const QVariant &v, VRArchiveWriter *writer)
{
    if (!v.isValid() || v.isNull()) {
        out.null();
        return;
    }
    const QMetaType type = v.metaType();
    if (type == QMetaType::fromType<VRNull>()) {
        out.null();
        return;
    }
    switch (type.id()) {
    case QMetaType::Bool: out.value(v.toBool()); return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short: out.value(v.toLongLong()); return;
    case QMetaType::Double:
    case QMetaType::Float: out.value(v.toDouble()); return;
    case QMetaType::QString: out.value(v.toString()); return;
    case QMetaType::QByteArray:
        writeTagged(out, "data");
        out.value(QString::fromLatin1(v.toByteArray().toBase64()));
        out.end();
        return;
    case QMetaType::QDateTime:
        writeTagged(out, "date");
        out.value(v.toDateTime().toString(Qt::ISODateWithMs));
        out.end();
        return;
    case QMetaType::QColor:
        writeTagged(out, "colour");
        out.value(colour(v.value<QColor>()));
        out.end();
        return;
    case QMetaType::QSizeF:
    case QMetaType::QSize: {
        const QSizeF s = v.toSizeF();
        writeTagged(out, "size");
        out.numbers({s.width(), s.height()});
        out.end();
        return;
    }
    case QMetaType::QPointF:
    case QMetaType::QPoint: {
        const QPointF p = v.toPointF();
        writeTagged(out, "point");
        out.numbers({p.x(), p.y()});
        out.end();
        return;
    }
    case QMetaType::QRectF:
    case QMetaType::QRect: {
        const QRectF r = v.toRectF();
        writeTagged(out, "rect");
        out.numbers({r.x(), r.y(), r.width(), r.height()});
        out.end();
        return;
    }
    case QMetaType::QVariantMap: writeMap(out, v.toMap(), writer); return;
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        out.beginArray();
        const QVariantList items = v.toList();
        for (const QVariant &item : items)
            writeValue(out, item, writer);
        out.end();
        return;
    }
    default: break;
    }
    if (type == QMetaType::fromType<VRStyleRef>()) {
        if (!writer) {
            out.null();
            return;
        }
        writeTagged(out, "style");
        writer->writeStyleReference(out, v.value<VRStyleRef>());
        out.end();
        return;
    }
    if (type == QMetaType::fromType<VRObjectRef>()) {
        const VRObjectRef object = v.value<VRObjectRef>();
        if (!writer || !object) {
            out.null();
            return;
        }
        writeTagged(out, "object");
        writer->writeObject(out, *object);
        out.end();
        return;
    }
    // Anything else has no stored form.
    out.null();
}

void VRArchiveWriter::writeMap(VRJsonWriter &out, const QVariantMap &m, VRArchiveWriter *writer)
{
    out.beginObject();
    for (auto it = m.constBegin(); it != m.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1Char('$')))
            out.key(QLatin1Char('$') + it.key());
        else
            out.key(it.key());
        writeValue(out, it.value(), writer);
    }
    out.end();
}
