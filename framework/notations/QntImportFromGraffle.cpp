#include "framework/notations/QntImportFromGraffle.h"

#include "framework/notations/QntNotationElementBuilder.h"
#include "framework/notations/QntSvgPathData.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRStyle.h"
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/QntPaths.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QUuid>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <functional>

#include <zlib.h>

namespace {

thread_local QString t_importedFilepath;

const QString kFormat = QStringLiteral("quintora.stencil");

bool isGzip(const QByteArray &data)
{
    return data.size() >= 2 && uchar(data[0]) == 0x1f && uchar(data[1]) == 0x8b;
}

// Inflates gzip data, refusing anything that grows past the limit (compression bombs).
VRResult<QByteArray> gunzip(const QByteArray &data, qint64 limit)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        return VRError{QStringLiteral("the compressed data cannot be read")};
    }
    QByteArray out;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    char buffer[64 * 1024];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&stream);
            return VRError{QStringLiteral("the compressed data is damaged")};
        }
        out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
        if (out.size() > limit) {
            inflateEnd(&stream);
            return VRError{QStringLiteral("it is larger than %1 MiB when uncompressed")
                               .arg(limit / (1024 * 1024))};
        }
        if (rc == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) {
            inflateEnd(&stream);
            return VRError{QStringLiteral("the compressed data is truncated")};
        }
    }
    inflateEnd(&stream);
    return out;
}

QByteArray gzip(const QByteArray &data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY)
        != Z_OK)
        return {};
    QByteArray out;
    out.resize(qsizetype(deflateBound(&stream, uLong(data.size())) + 32));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int rc = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (rc != Z_STREAM_END)
        return {};
    out.resize(qsizetype(stream.total_out));
    return out;
}

// Checks well-formedness and nesting before the property-list parser sees the text.
VRResult<void> checkXml(const QByteArray &data)
{
    QXmlStreamReader xml(data);
    int depth = 0;
    bool sawPlist = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (!sawPlist && xml.name() != QLatin1String("plist")) {
                return VRError{QStringLiteral("it is not a property list")};
            }
            sawPlist = true;
            // plist > dict > (key, value): two levels per container of the schema.
            if (++depth > 2 * QntImportFromGraffle::kMaximumDepth + 4) {
                return VRError{QStringLiteral("it is nested more than %1 levels deep")
                                   .arg(QntImportFromGraffle::kMaximumDepth)};
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference) {
            // Entities other than the predefined ones are never expanded.
            if (token == QXmlStreamReader::EntityReference) {
                return VRError{QStringLiteral("it uses XML entities")};
            }
        }
    }
    if (xml.hasError()) {
        return VRError{QStringLiteral("the XML is malformed (%1, line %2)")
                           .arg(xml.errorString())
                           .arg(xml.lineNumber())};
    }
    if (!sawPlist)
        return VRError{QStringLiteral("it is not a property list")};
    return {};
}

int countObjects(const QVariantList &objects, int depth, bool *tooDeep)
{
    int count = 0;
    for (const QVariant &value : objects) {
        ++count;
        const QVariantMap object = value.toMap();
        if (object.contains(QStringLiteral("Objects"))) {
            if (depth >= QntImportFromGraffle::kMaximumDepth) {
                *tooDeep = true;
                return count;
            }
            count +=
                countObjects(object.value(QStringLiteral("Objects")).toList(), depth + 1, tooDeep);
        }
        if (count > QntImportFromGraffle::kMaximumObjects)
            return count;
    }
    return count;
}

QColor colourOf(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    if (!text.startsWith(QLatin1Char('#')))
        return {};
    if (text.size() == 9) {
        bool ok = false;
        const uint v = text.mid(1).toUInt(&ok, 16);
        return ok ? QColor((v >> 24) & 0xff, (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff)
                  : QColor();
    }
    if (text.size() == 7)
        return QColor::fromString(text);
    return {};
}

QString hexOf(const QColor &colour)
{
    return QStringLiteral("#%1%2%3%4")
        .arg(colour.red(), 2, 16, QLatin1Char('0'))
        .arg(colour.green(), 2, 16, QLatin1Char('0'))
        .arg(colour.blue(), 2, 16, QLatin1Char('0'))
        .arg(colour.alpha(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QRectF> frameOf(const QVariant &value)
{
    const QVariantList list = value.toList();
    if (list.size() != 4)
        return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = list.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::fabs(v[i]) > 1e6)
            return std::nullopt;
    }
    if (v[2] < 0 || v[3] < 0)
        return std::nullopt;
    return QRectF(v[0], v[1], v[2], v[3]);
}

QString svgNumber(double value)
{
    return QString::number(std::fabs(value) < 1e-9 ? 0.0 : value, 'g', 8);
}

QString svgPathData(const QPainterPath &path)
{
    QStringList parts;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            parts << QStringLiteral("M%1 %2").arg(svgNumber(e.x), svgNumber(e.y));
            break;
        case QPainterPath::LineToElement:
            parts << QStringLiteral("L%1 %2").arg(svgNumber(e.x), svgNumber(e.y));
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                const auto c2 = path.elementAt(i + 1);
                const auto to = path.elementAt(i + 2);
                parts << QStringLiteral("C%1 %2 %3 %4 %5 %6")
                             .arg(svgNumber(e.x), svgNumber(e.y), svgNumber(c2.x), svgNumber(c2.y),
                                  svgNumber(to.x), svgNumber(to.y));
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement: break;
        }
    }
    return parts.join(QLatin1Char(' '));
}

QPainterPath unitPathFor(const QString &shape, const QVariantMap &object, const QRectF &frame,
                         bool *ok)
{
    *ok = true;
    const QRectF local(0, 0, std::max(frame.width(), 1e-3), std::max(frame.height(), 1e-3));
    QPainterPath path;
    if (shape == QLatin1String("oval")) {
        path.addEllipse(local);
    } else if (shape == QLatin1String("roundrect")) {
        const double r = std::min(local.width(), local.height()) * 0.15;
        path.addRoundedRect(local, r, r);
    } else if (shape == QLatin1String("diamond")) {
        path.moveTo(local.center().x(), 0);
        path.lineTo(local.width(), local.center().y());
        path.lineTo(local.center().x(), local.height());
        path.lineTo(0, local.center().y());
        path.closeSubpath();
    } else if (shape == QLatin1String("path")) {
        const auto parsed = QntSvgPathData::parse(object.value(QStringLiteral("Path")).toString());
        if (!parsed) {
            *ok = false;
            return {};
        }
        path = *parsed;
    } else {
        path.addRect(local);
    }
    QTransform toUnit;
    toUnit.translate(-0.5, -0.5);
    toUnit.scale(1.0 / local.width(), 1.0 / local.height());
    return toUnit.map(path);
}

VRStyleRef styleOf(const QVariantMap &object, bool fills)
{
    const QColor fill = fills ? colourOf(object.value(QStringLiteral("Fill"))) : QColor();
    QColor stroke = colourOf(object.value(QStringLiteral("Stroke")));
    double width = object.value(QStringLiteral("StrokeWidth"), 1.0).toDouble();
    if (!std::isfinite(width) || width < 0 || width > 100)
        width = 1.0;
    if (!object.contains(QStringLiteral("Stroke")) && !object.contains(QStringLiteral("Fill")))
        stroke = Qt::black;
    return VRStyle::styleWithFillColour(fill, stroke, width);
}

void placeIn(VRDrawableObject &object, const QRectF &frame)
{
    object.setSize(frame.size());
    object.setLocation(frame.center());
}

// `decoded` keeps each picture decoded once, however many objects show it.
VRObjectRef convert(const QVariantMap &object, int depth, const QString &folder,
                    const QStringList &images, QHash<int, QImage> &decoded)
{
    const QString kind = object.value(QStringLiteral("Kind")).toString();
    const auto frame = frameOf(object.value(QStringLiteral("Frame")));
    VRObjectRef result;
    if (kind == QLatin1String("group")) {
        if (depth >= QntImportFromGraffle::kMaximumDepth)
            return nullptr;
        VRObjectList members;
        for (const QVariant &child : object.value(QStringLiteral("Objects")).toList()) {
            if (auto converted = convert(child.toMap(), depth + 1, folder, images, decoded))
                members.append(converted);
        }
        if (members.isEmpty())
            return nullptr;
        result = VRShapeGroup::groupWithObjects(members);
    } else if (!frame) {
        return nullptr;
    } else if (kind == QLatin1String("shape")) {
        if (frame->width() <= 0 || frame->height() <= 0)
            return nullptr;
        bool ok = false;
        const QPainterPath unit =
            unitPathFor(object.value(QStringLiteral("Shape")).toString(), object, *frame, &ok);
        if (!ok)
            return nullptr;
        auto shape = VRDrawableShape::shapeWithRect(*frame, unit);
        shape->setStyle(styleOf(object, true));
        result = shape;
    } else if (kind == QLatin1String("line")) {
        QPainterPath path;
        if (object.contains(QStringLiteral("Path"))) {
            const auto parsed =
                QntSvgPathData::parse(object.value(QStringLiteral("Path")).toString());
            if (!parsed)
                return nullptr;
            path = parsed->translated(frame->topLeft());
        } else {
            path.moveTo(frame->topLeft());
            path.lineTo(frame->bottomRight());
        }
        result = VRDrawablePath::drawablePathWithBezierPath(path);
        if (!result)
            return nullptr;
        result->setStyle(styleOf(object, false));
    } else if (kind == QLatin1String("text")) {
        auto text = std::make_shared<VRTextShape>();
        placeIn(*text, *frame);
        QFont font = text->font();
        const QString family = object.value(QStringLiteral("Font")).toString();
        if (!family.isEmpty())
            font.setFamily(family.left(100));
        const double size = object.value(QStringLiteral("FontSize"), 12.0).toDouble();
        if (std::isfinite(size) && size > 0 && size <= 500)
            font.setPointSizeF(size);
        text->setFont(font);
        const QColor colour = colourOf(object.value(QStringLiteral("Stroke")));
        text->setTextColour(colour.isValid() ? colour : QColor(Qt::black));
        text->setString(object.value(QStringLiteral("Text")).toString().left(100000));
        result = text;
    } else if (kind == QLatin1String("image")) {
        bool ok = false;
        const int index = object.value(QStringLiteral("Image")).toInt(&ok);
        if (!ok || index < 0 || index >= images.size() || folder.isEmpty())
            return nullptr;
        auto cached = decoded.find(index);
        if (cached == decoded.end()) {
            QImageReader reader(QDir(folder).filePath(images.at(index)));
            reader.setAllocationLimit(256);
            cached = decoded.insert(index, reader.read());
        }
        const QImage image = cached.value();
        if (image.isNull())
            return nullptr;
        auto shape = std::make_shared<VRImageShape>(image);
        if (frame->width() > 0 && frame->height() > 0)
            placeIn(*shape, *frame);
        result = shape;
    } else {
        return nullptr; // kinds of later versions
    }
    if (!result)
        return nullptr;
    const QString name = object.value(QStringLiteral("Name")).toString().left(1000);
    if (!name.isEmpty())
        result->setString(name, QStringLiteral("name"));
    const QString text = object.value(QStringLiteral("Text")).toString().left(100000);
    if (!text.isEmpty() && kind != QLatin1String("text"))
        result->setString(text, QStringLiteral("StencilText"));
    return result;
}

QVariantMap recordOf(const VRObjectRef &object, const QString &folder, QVariantList &imageList,
                     int depth)
{
    QVariantMap record;
    const QRectF frame = object->logicalBounds();
    record.insert(QStringLiteral("Frame"),
                  QVariantList{frame.x(), frame.y(), frame.width(), frame.height()});
    const QString name = object->stringForKey(QStringLiteral("name"));
    if (!name.isEmpty())
        record.insert(QStringLiteral("Name"), name);
    const VRStyleRef style = object->style();
    auto addStyle = [&]() {
        if (!style)
            return;
        if (style->fill())
            record.insert(QStringLiteral("Fill"), hexOf(style->fillColour()));
        if (style->hasStroke()) {
            record.insert(QStringLiteral("Stroke"), hexOf(style->strokeColour()));
            record.insert(QStringLiteral("StrokeWidth"), style->strokeWidth());
        }
    };
    if (object->isKindOf<VRShapeGroup>() && depth < QntImportFromGraffle::kMaximumDepth) {
        record.insert(QStringLiteral("Kind"), QStringLiteral("group"));
        QVariantList members;
        for (const auto &member : static_cast<const VRShapeGroup &>(*object).groupObjects()) {
            // Members are kept in their group's space; write them where they are drawn.
            auto placed = member->copy();
            VRShapeGroup::moveGeometryThrough(
                *placed, static_cast<const VRShapeGroup &>(*object).contentTransform());
            members.append(recordOf(placed, folder, imageList, depth + 1));
        }
        record.insert(QStringLiteral("Objects"), members);
        if (object->isKindOf<QntElement>()) {
            if (QntTextShape *text = static_cast<const QntElement &>(*object).text();
                text && !text->string().isEmpty())
                record.insert(QStringLiteral("Text"), text->string());
        }
    } else if (object->isKindOf<VRTextShape>()) {
        const auto &text = static_cast<const VRTextShape &>(*object);
        record.insert(QStringLiteral("Kind"), QStringLiteral("text"));
        record.insert(QStringLiteral("Text"), text.string());
        record.insert(QStringLiteral("Font"), text.font().family());
        record.insert(QStringLiteral("FontSize"), text.font().pointSizeF());
        record.insert(QStringLiteral("Stroke"), hexOf(text.textColour()));
    } else if (object->isKindOf<VRImageShape>()) {
        if (folder.isEmpty())
            return {};
        const QString file = QStringLiteral("image%1.png").arg(imageList.size() + 1);
        if (!static_cast<const VRImageShape &>(*object).image().save(QDir(folder).filePath(file),
                                                                     "PNG"))
            return {};
        record.insert(QStringLiteral("Kind"), QStringLiteral("image"));
        record.insert(QStringLiteral("Image"), imageList.size());
        imageList.append(file);
    } else if (object->isKindOf<VRDrawablePath>()) {
        record.insert(QStringLiteral("Kind"), QStringLiteral("line"));
        record.insert(QStringLiteral("Path"),
                      svgPathData(object->renderingPath().translated(-frame.topLeft())));
        addStyle();
    } else {
        record.insert(QStringLiteral("Kind"), QStringLiteral("shape"));
        record.insert(QStringLiteral("Shape"), QStringLiteral("path"));
        record.insert(QStringLiteral("Path"),
                      svgPathData(object->renderingPath().translated(-frame.topLeft())));
        addStyle();
    }
    return record;
}

// Whether a group of a stencil holds a member, at any depth, that carries a text of its own.
bool holdsTexts(const VRObjectRef &object)
{
    if (!object->isMemberOf<VRShapeGroup>())
        return false;
    for (const VRObjectRef &member : static_cast<VRShapeGroup &>(*object).groupObjects()) {
        if (!member->stringForKey(QStringLiteral("StencilText")).isEmpty() || holdsTexts(member))
            return true;
    }
    return false;
}

// A stencil object as a diagram element with the given id, its text shown by the element. A
// group whose members carry texts becomes a group element: each such member is an element of
// its own inside it (ids "<id>.1", "<id>.2" ...), so each text shows and is edited where it
// belongs, and the members of an inner group without a text of its own join them; any other
// object is the element's one member.
std::shared_ptr<QntElement> elementOf(const VRObjectRef &object, const QString &id)
{
    VRObjectList members;
    if (holdsTexts(object)) {
        int number = 0;
        std::function<void(const VRObjectRef &)> take = [&](const VRObjectRef &group) {
            for (const VRObjectRef &member : static_cast<VRShapeGroup &>(*group).groupObjects()) {
                const bool text = !member->stringForKey(QStringLiteral("StencilText")).isEmpty();
                if (!text && holdsTexts(member))
                    take(member);
                else if (!text)
                    members.append(member->copy());
                else if (auto inner =
                             elementOf(member, id + QLatin1Char('.') + QString::number(++number)))
                    members.append(inner);
            }
        };
        take(object);
    } else {
        members.append(object->copy());
    }
    const QRectF bounds = object->logicalBounds();
    auto element = QntElement::createWithObjects(members, id, bounds.size());
    if (!element)
        return nullptr;
    element->setString(id, QStringLiteral("ID"));
    element->setString(object->stringForKey(QStringLiteral("name")), QStringLiteral("tooltip"));
    const QString text = object->stringForKey(QStringLiteral("StencilText"));
    if (!text.isEmpty()) {
        element->addTextShape();
        if (QntTextShape *shape = element->text())
            shape->setString(text);
    }
    return element;
}

} // namespace

void QntImportFromGraffle::setImportedFilepath(const QString &path)
{
    t_importedFilepath = path;
}

QString QntImportFromGraffle::importedFilepath()
{
    return t_importedFilepath;
}

QString QntImportFromGraffle::supportedFormatDescription()
{
    return QStringLiteral(
        "Quintora imports stencils in its own format only: an XML property list (.plist, or "
        "gzip-compressed .gstencil) or a .graffle folder holding stencil.plist, whose root has "
        "\"Sheets\" or \"Objects\" as described in the README.");
}

VRResult<QVariantMap> QntImportFromGraffle::readStencil()
{
    m_imageFolder.clear();
    m_imageList.clear();
    m_decodedImages.clear();
    const QString path = t_importedFilepath;
    const QFileInfo info(path);
    const QString shown = info.fileName().isEmpty() ? path : info.fileName();
    auto refuse = [&](const QString &why) -> VRResult<QVariantMap> {
        return VRError{QStringLiteral("The stencil “%1” cannot be imported: %2. %3")
                           .arg(shown, why, supportedFormatDescription())};
    };
    if (path.isEmpty() || !info.exists())
        return refuse(QStringLiteral("the file does not exist"));
    QString file = path;
    QString folder;
    if (info.isDir()) {
        folder = info.absoluteFilePath();
        file = QDir(folder).filePath(QStringLiteral("stencil.plist"));
        if (!QFileInfo(file).isFile())
            return refuse(QStringLiteral("the folder holds no stencil.plist"));
    }
    if (QFileInfo(file).size() > kMaximumBytes)
        return refuse(
            QStringLiteral("it is larger than %1 MiB").arg(kMaximumBytes / (1024 * 1024)));
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return refuse(in.errorString());
    // As much as the file holds (QIODevice::read reserves all it is asked for), and one byte more
    // to notice a file that grew past the limit since it was measured.
    QByteArray data = in.read(std::min(in.size(), kMaximumBytes) + 1);
    if (data.size() > kMaximumBytes)
        return refuse(
            QStringLiteral("it is larger than %1 MiB").arg(kMaximumBytes / (1024 * 1024)));
    if (isGzip(data)) {
        auto inflated = gunzip(data, kMaximumBytes);
        if (!inflated)
            return refuse(inflated.errorMessage());
        data = *inflated;
    }
    if (data.startsWith("bplist"))
        return refuse(QStringLiteral("it is a binary property list"));
    if (const VRResult<void> checked = checkXml(data); !checked)
        return refuse(checked.errorMessage());
    const auto value = PropertyList::fromData(data);
    if (!value || value->metaType().id() != QMetaType::QVariantMap)
        return refuse(QStringLiteral("it is not a property list dictionary"));
    const QVariantMap root = value->toMap();
    if (root.contains(QStringLiteral("GraphicsList"))
        || root.contains(QStringLiteral("ApplicationVersion"))
        || root.contains(QStringLiteral("Class")))
        return refuse(QStringLiteral("it was made by another program"));
    if (root.contains(QStringLiteral("Format"))
        && root.value(QStringLiteral("Format")).toString() != kFormat)
        return refuse(QStringLiteral("its format “%1” is not %2")
                          .arg(root.value(QStringLiteral("Format")).toString(), kFormat));
    if (root.value(QStringLiteral("Version"), 1).toLongLong() > 1)
        return refuse(QStringLiteral("it was made by a newer version of Quintora"));

    QVariantList sheets;
    const bool multi = root.contains(QStringLiteral("Sheets"));
    if (multi) {
        if (root.value(QStringLiteral("Sheets")).metaType().id() != QMetaType::QVariantList)
            return refuse(QStringLiteral("\"Sheets\" is not a list"));
        sheets = root.value(QStringLiteral("Sheets")).toList();
    } else if (root.contains(QStringLiteral("Objects"))) {
        sheets = {root};
    } else {
        return refuse(QStringLiteral("it has neither \"Sheets\" nor \"Objects\""));
    }
    int total = 0;
    for (const QVariant &sheet : std::as_const(sheets)) {
        if (sheet.metaType().id() != QMetaType::QVariantMap
            || sheet.toMap().value(QStringLiteral("Objects")).metaType().id()
                   != QMetaType::QVariantList)
            return refuse(QStringLiteral("a sheet has no \"Objects\" list"));
        bool tooDeep = false;
        total += countObjects(sheet.toMap().value(QStringLiteral("Objects")).toList(), 0, &tooDeep);
        if (tooDeep)
            return refuse(QStringLiteral("its groups are nested more than %1 levels deep")
                              .arg(kMaximumDepth));
        if (total > kMaximumObjects)
            return refuse(QStringLiteral("it holds more than %1 objects").arg(kMaximumObjects));
    }

    QStringList images;
    if (root.contains(QStringLiteral("ImageList"))) {
        const QString base = folder.isEmpty() ? QString() : QFileInfo(folder).canonicalFilePath();
        for (const QVariant &name : root.value(QStringLiteral("ImageList")).toList()) {
            const QString text = name.toString();
            // Pictures come from inside the stencil's own folder, nowhere else.
            const QString resolved = base.isEmpty()
                                         ? QString()
                                         : QFileInfo(QDir(base).filePath(text)).canonicalFilePath();
            if (text.isEmpty() || QDir::isAbsolutePath(text) || text.contains(QLatin1String(".."))
                || (!resolved.isEmpty() && !resolved.startsWith(base + QLatin1Char('/'))))
                return refuse(QStringLiteral("the picture “%1” lies outside the stencil")
                                  .arg(text.left(100)));
            images << text;
        }
        // The pictures' sizes are read from their headers and added up before any is decoded.
        if (!folder.isEmpty()) {
            qint64 pixels = 0;
            for (const QString &name : QSet<QString>(images.cbegin(), images.cend())) {
                const QSize size = QImageReader(QDir(folder).filePath(name)).size();
                if (size.isValid())
                    pixels += qint64(size.width()) * size.height();
            }
            if (pixels > kMaximumDecodedPixels)
                return refuse(QStringLiteral("its pictures are too large: together they hold more "
                                             "than %1 million pixels, the most a stencil may "
                                             "decode")
                                  .arg(kMaximumDecodedPixels / 1000000));
        }
        m_imageFolder = folder;
        m_imageList = images;
    }

    QString baseName = info.isDir() ? info.fileName() : info.completeBaseName();
    if (baseName.endsWith(QLatin1String(".graffle"), Qt::CaseInsensitive))
        baseName.chop(8);
    QVariantMap reply;
    const QString safeName = QntPaths::safeFileName(baseName);
    reply.insert(QStringLiteral("LastImportedFilename"),
                 safeName.isEmpty() ? QStringLiteral("Stencil") : safeName);
    if (multi) {
        reply.insert(QStringLiteral("Sheets"), sheets);
    } else {
        reply.insert(QStringLiteral("Objects"), root.value(QStringLiteral("Objects")));
        if (root.contains(QStringLiteral("Title")))
            reply.insert(QStringLiteral("Title"), root.value(QStringLiteral("Title")).toString());
    }
    if (!images.isEmpty())
        reply.insert(QStringLiteral("ImageList"), images);
    return reply;
}

VRObjectList QntImportFromGraffle::all(const QVariantMap &sheet) const
{
    VRObjectList result;
    for (const QVariant &value : sheet.value(QStringLiteral("Objects")).toList()) {
        if (result.size() >= kMaximumObjects)
            break;
        if (auto object = convert(value.toMap(), 0, m_imageFolder, m_imageList, m_decodedImages))
            result.append(object);
    }
    return result;
}

VRObjectList QntImportFromGraffle::all2Elements(const VRObjectList &objects) const
{
    VRObjectList result;
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                           + QStringLiteral("IMPORTED");
        if (auto element = elementOf(object, id))
            result.append(element);
    }
    return result;
}

QByteArray QntImportFromGraffle::imageData(const VRObjectList &objects) const
{
    if (objects.isEmpty() || !objects.first())
        return {};
    const QImage image = QntNotationElementBuilder::renderImage(objects.first(), QSize(64, 64), 2);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

VRResult<void>
QntImportFromGraffle::writeStencil(const QString &path,
                                   const QList<std::pair<QString, VRObjectList>> &sheets)
{
    const bool folderForm = path.endsWith(QLatin1String(".graffle"), Qt::CaseInsensitive);
    const QString shown = QFileInfo(path).fileName();
    auto fail = [&](const QString &why) -> VRResult<void> {
        return VRError{QStringLiteral("The stencil “%1” cannot be written: %2.").arg(shown, why)};
    };
    // A folder is built beside its target and swapped in whole.
    const QString staging =
        folderForm ? path + QStringLiteral(".") + QUuid::createUuid().toString(QUuid::Id128)
                   : QString();
    if (folderForm && !QDir().mkpath(staging))
        return fail(QStringLiteral("its folder cannot be created"));
    QVariantList imageList;
    QVariantList sheetRecords;
    for (const auto &[title, objects] : sheets) {
        QVariantList records;
        for (const VRObjectRef &object : objects) {
            if (!object)
                continue;
            const QVariantMap record = recordOf(object, staging, imageList, 0);
            if (!record.isEmpty())
                records.append(record);
        }
        sheetRecords.append(
            QVariantMap{{QStringLiteral("Title"), title}, {QStringLiteral("Objects"), records}});
    }
    QVariantMap root{{QStringLiteral("Format"), kFormat},
                     {QStringLiteral("Version"), 1},
                     {QStringLiteral("Sheets"), sheetRecords}};
    if (!imageList.isEmpty())
        root.insert(QStringLiteral("ImageList"), imageList);
    QString error;
    auto xml = PropertyList::toXml(root, &error);
    if (!xml) {
        if (folderForm)
            QDir(staging).removeRecursively();
        return fail(error);
    }
    QByteArray bytes = *xml;
    if (path.endsWith(QLatin1String(".gstencil"), Qt::CaseInsensitive))
        bytes = gzip(bytes);
    if (!folderForm) {
        if (const auto error = AtomicFile::write(path, bytes))
            return fail(*error);
        return {};
    }
    // The folder is complete and on the disk before it is swapped with the old one in a single
    // step; the old one goes only afterwards.
    auto failure =
        AtomicFile::write(QDir(staging).filePath(QStringLiteral("stencil.plist")), bytes);
    if (!failure)
        failure = AtomicFile::syncTree(staging);
    if (!failure)
        failure = AtomicFile::replace(path, staging);
    // After the swap the staging name holds the previous stencil.
    QDir(staging).removeRecursively();
    if (failure)
        return fail(*failure);
    return {};
}
