#include "framework/styles/VRStyle.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/archive/VRJsonWriter.h"
#include "platform/NotificationCenter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QPainter>
#include <QUuid>

#include <algorithm>
#include <functional>

VR_CLASS_IMPL(VRStyle, VRRastGroup)

VRStyle::VRStyle()
    : VRStyle(QString())
{
}

VRStyle::VRStyle(const QString &uniqueKey)
    : m_uniqueKey(uniqueKey.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                                      : uniqueKey)
{
}

VRStyle::~VRStyle() = default;

VRStyleRef VRStyle::create()
{
    return std::make_shared<VRStyle>();
}

void VRStyle::setName(const QString &name)
{
    if (m_locked || name == m_name)
        return;
    changeProperty(m_name, name, "setName:", &VRStyle::setNameValue);
    postNotification(kVRStyleNameChangedNotification);
}

void VRStyle::setNameValue(const QString &name)
{
    setName(name);
}

void VRStyle::setLocked(bool locked)
{
    changeProperty(m_locked, locked, "setLocked:", &VRStyle::setLocked);
}

void VRStyle::setStyleSharable(bool sharable)
{
    if (m_locked)
        return;
    changeProperty(m_sharable, sharable, "setStyleSharable:", &VRStyle::setSharableValue);
}

void VRStyle::setSharableValue(bool sharable)
{
    setStyleSharable(sharable);
}

void VRStyle::addClient(VRDrawableObject *client)
{
    if (client && !m_clients.contains(client))
        m_clients.append(client);
}

void VRStyle::removeClient(VRDrawableObject *client)
{
    m_clients.removeAll(client);
}

void VRStyle::notifyClientsBeforeChange()
{
    ++m_changeDepth;
}

void VRStyle::notifyClientsAfterChange()
{
    if (m_changeDepth > 0 && --m_changeDepth > 0)
        return;
    const QList<VRDrawableObject *> clients = m_clients;
    for (VRDrawableObject *client : clients) {
        client->invalidateBoundsCache();
        client->notifyVisualChange();
    }
    postNotification(kVRStyleDidChangeNotification);
}

void VRStyle::postNotification(const QString &name)
{
    QVariantMap userInfo;
    std::shared_ptr<VRRasterizer> self = weak_from_this().lock();
    if (self)
        userInfo.insert(QStringLiteral("object"),
                        QVariant::fromValue(std::static_pointer_cast<VRStyle>(self)));
    NotificationCenter::defaultCenter().post(name, this, userInfo);
}

void VRStyle::registerUndoForChange(const void *target, const char *selector,
                                    std::function<void()> inverse)
{
    for (VRDrawableObject *client : std::as_const(m_clients)) {
        if (VRUndoManager *manager = client->undoManager()) {
            manager->registerUndoTask(target, QString::fromLatin1(selector), std::move(inverse));
            return;
        }
    }
}

void VRStyle::setTextAttributes(const QVariantMap &attributes)
{
    changeProperty(m_textAttributes, attributes,
                   "setTextAttributes:", &VRStyle::setTextAttributesValue);
}

void VRStyle::setTextAttributesValue(const QVariantMap &attributes)
{
    setTextAttributes(attributes);
}

void VRStyle::removeTextAttributes()
{
    if (m_locked)
        return;
    setTextAttributes({});
}

namespace {

// Every renderer of the class (kind-of) in drawing order, read where the renderers are, shared
// or not: for the read-only conveniences, which need not give the style its own renderers.
void visitRenderers(const VRRastGroup &group, const VRClassInfo &classInfo,
                    const std::function<void(const VRRasterizer &)> &visit)
{
    for (const VRRendererRef &r : group.members()) {
        if (r->isKindOfClass(classInfo))
            visit(*r);
        if (r->isKindOf<VRRastGroup>())
            visitRenderers(static_cast<const VRRastGroup &>(*r), classInfo, visit);
    }
}

template <class T> const T *lastRenderer(const VRRastGroup &group)
{
    const T *last = nullptr;
    visitRenderers(group, T::staticClass(),
                   [&last](const VRRasterizer &r) { last = static_cast<const T *>(&r); });
    return last;
}

// Only plain renderers are shared between styles: they draw alike whichever style holds them.
bool mayShare(const VRRastGroup &style)
{
    const QList<VRRendererRef> &renderers = style.members();
    return std::all_of(renderers.cbegin(), renderers.cend(), [](const VRRendererRef &r) {
        return &r->classInfo() == &VRFill::staticClass()
               || &r->classInfo() == &VRStroke::staticClass();
    });
}

} // namespace

double VRStyle::maxStrokeWidth() const
{
    double width = 0.0;
    visitRenderers(*this, VRStroke::staticClass(), [&width](const VRRasterizer &r) {
        width = std::max(width, static_cast<const VRStroke &>(r).width());
    });
    return width;
}

QImage VRStyle::styleSwatchWithSize(const QSizeF &size, int type) const
{
    const QSize pixels(std::clamp(static_cast<int>(std::ceil(size.width())), 1, 2048),
                       std::clamp(static_cast<int>(std::ceil(size.height())), 1, 2048));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool rectangle = type == 0 || (type == -1 && isFill());
    const double inset =
        std::min(extraSpace() + 2.0, std::min(pixels.width(), pixels.height()) / 4.0);
    const QRectF frame =
        QRectF(QPointF(0, 0), QSizeF(pixels)).adjusted(inset, inset, -inset, -inset);
    VRRenderContext context;
    if (rectangle) {
        context.path.addRect(frame);
    } else {
        context.path.moveTo(frame.left(), frame.center().y());
        context.path.lineTo(frame.right(), frame.center().y());
    }
    context.bounds = frame;
    context.text = m_name;
    render(painter, context);
    return image;
}

QImage VRStyle::standardStyleSwatch() const
{
    return styleSwatchWithSize(QSizeF(64, 64), -1);
}

VRStyleRef VRStyle::copy() const
{
    QJsonObject images;
    const QJsonObject record = toJson(images);
    VRStyleCoding coding(&images);
    VRStyleRef style = fromJson(record, coding);
    if (!style)
        return create();
    style->m_uniqueKey = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    style->m_locked = false;
    style->m_registered = false;
    return style;
}

VRRendererRef VRStyle::makeCopy() const
{
    return copy();
}

VRStroke *VRStyle::stroke() const
{
    const auto strokes = renderersOfClass(VRStroke::staticClass());
    return strokes.isEmpty() ? nullptr : static_cast<VRStroke *>(strokes.constLast().get());
}

bool VRStyle::hasStroke() const
{
    return lastRenderer<VRStroke>(*this) != nullptr;
}

bool VRStyle::hasFill() const
{
    return lastRenderer<VRFill>(*this) != nullptr;
}

QColor VRStyle::strokeColour() const
{
    const VRStroke *s = lastRenderer<VRStroke>(*this);
    return s ? s->colour() : QColor();
}

void VRStyle::setStrokeColour(const QColor &colour)
{
    notifyClientsBeforeChange();
    const auto strokes = renderersOfClass<VRStroke>();
    if (strokes.isEmpty())
        addRenderer(VRStroke::strokeWithWidth(1.0, colour));
    for (const auto &s : strokes)
        s->setColour(colour);
    notifyClientsAfterChange();
}

double VRStyle::strokeWidth() const
{
    const VRStroke *s = lastRenderer<VRStroke>(*this);
    return s ? s->width() : 0.0;
}

void VRStyle::setStrokeWidth(double width)
{
    notifyClientsBeforeChange();
    for (const auto &s : renderersOfClass<VRStroke>())
        s->setWidth(width);
    notifyClientsAfterChange();
}

VRFill *VRStyle::fill() const
{
    const auto fills = renderersOfClass(VRFill::staticClass());
    return fills.isEmpty() ? nullptr : static_cast<VRFill *>(fills.constLast().get());
}

QColor VRStyle::fillColour() const
{
    const VRFill *f = lastRenderer<VRFill>(*this);
    return f ? f->colour() : QColor();
}

void VRStyle::setFillColour(const QColor &colour)
{
    if (VRFill *f = fill()) {
        f->setColour(colour);
        return;
    }
    // A new fill goes below the strokes so they stay visible.
    insertRenderer(VRFill::fillWithColour(colour), 0);
}

void VRStyle::render(QPainter &painter, const VRRenderContext &context) const
{
    renderChildren(painter, context);
}

QJsonObject VRStyle::toJson(QJsonObject &images) const
{
    return VRRasterizer::toJson(images);
}

void VRStyle::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRastGroup::writeProperties(record, images);
    record.remove(QLatin1String("enabled")); // "class" stays: it tells pasted styles from renderers
    record.insert("key", m_uniqueKey);
    record.insert("name", m_name);
    record.insert("locked", m_locked);
    record.insert("sharable", m_sharable);
    record.insert("textAttributes", VRStyleCoding::textAttributesJson(m_textAttributes));
}

void VRStyle::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    const QString key = coding.string(record, QStringLiteral("key"), QString(), 100);
    if (!key.isEmpty())
        m_uniqueKey = key;
    m_name = coding.string(record, QStringLiteral("name"), QString(), 1000);
    m_locked = coding.boolean(record, QStringLiteral("locked"), false);
    m_sharable = coding.boolean(record, QStringLiteral("sharable"), false);
    m_textAttributes = coding.textAttributes(record, QStringLiteral("textAttributes"));
    // Styles of one file recorded with equal renderers share them until one is changed: a
    // document whose objects each carry a copy of a few looks keeps a few sets of renderers.
    const QJsonValue renderers = record.value(QStringLiteral("renderers"));
    if (renderers.isArray() && coding.renderersReadAlike()) {
        VRRasterizer::readProperties(record, coding);
        useSharedRenderers(coding.renderersReadAlike());
        return;
    }
    if (!renderers.isArray() || coding.readsApart()) {
        VRRastGroup::readProperties(record, coding);
        return;
    }
    auto &lists = coding.decodedImages().rendererLists;
    const QJsonArray list = renderers.toArray();
    if (const auto known = lists.find({list}); known != lists.end()) {
        if (!known->shared) {
            if (auto first = std::static_pointer_cast<VRRastGroup>(known->first.lock()))
                known->shared = first->shareRenderers();
        }
        if (known->shared) {
            VRRasterizer::readProperties(record, coding);
            useSharedRenderers(known->shared);
            return;
        }
    }
    VRRastGroup::readProperties(record, coding);
    if (coding.ok() && mayShare(*this))
        lists.insert({list}, {weak_from_this(), nullptr});
}

VRStyleRef VRStyle::fromJson(const QJsonObject &record, VRStyleCoding &coding)
{
    // Records name their key: making a new one first, only to replace it, costs more than
    // reading the rest of a simple style.
    auto style = std::make_shared<VRStyle>(record.value(QStringLiteral("key")).toString());
    style->readProperties(record, coding);
    return coding.ok() ? style : nullptr;
}

VRStyleRef VRStyle::prepare(const QJsonObject &record, QByteArrayView renderersText,
                            VRRenderersReadAlike &alike)
{
    const QJsonValue attributes = record.value(QStringLiteral("textAttributes"));
    const QJsonValue renderers = record.value(QStringLiteral("renderers"));
    if (!(attributes.isUndefined() || attributes.isNull()) || !renderers.isArray())
        return nullptr;
    // Gradients are objects with signals, and pictures are decoded within the file's budget:
    // styles with either are read with their file.
    const QJsonArray list = renderers.toArray();
    for (const QJsonValue &item : list) {
        const QJsonObject r = item.toObject();
        const QString name = r.value(QStringLiteral("class")).toString();
        if (name != QLatin1String("VRFill") && name != QLatin1String("VRStroke")
            && name != QLatin1String("QntConnectorStyle"))
            return nullptr;
        const QJsonValue gradient = r.value(QStringLiteral("gradient"));
        if (!(gradient.isUndefined() || gradient.isNull()))
            return nullptr;
    }
    // Without the file's image table: a record naming a picture fails here.
    VRStyleCoding coding(nullptr, QStringLiteral("style"));
    coding.setReadsApart(true);
    VRRenderersReadAlike::Text text;
    if (!renderersText.isEmpty()) {
        // (A copy: the file's text may be given back while the document is read.)
        text = VRRenderersReadAlike::textOf(renderersText);
        coding.setRenderersReadAlike(alike.find(text));
    }
    VRStyleRef style = fromJson(record, coding);
    if (!style)
        return nullptr;
    // Styles written alike share one list from the first: their renderers are made once.
    if (!text.text.isEmpty() && !style->sharesRenderers() && mayShare(*style))
        alike.insert(text, style->shareRenderers());
    return style;
}

VRResult<VRStyleRef> VRStyle::fromJson(const QJsonObject &record, const QJsonObject &images,
                                       const QString &jsonPath,
                                       VRStyleCoding::DecodedImagesRef decoded)
{
    VRStyleCoding coding(&images, jsonPath);
    if (decoded)
        coding.shareDecodedImages(std::move(decoded));
    VRStyleRef style = fromJson(record, coding);
    if (!style)
        return VRError{coding.error()};
    return style;
}

bool VRStyle::isEqual(const VRStyle &other) const
{
    QJsonObject a, b;
    QJsonObject ra = toJson(a), rb = other.toJson(b);
    ra.remove(QStringLiteral("key"));
    rb.remove(QStringLiteral("key"));
    return ra == rb && a == b;
}

VRStyleRef VRStyle::styleFromPasteboard(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasFormat(kVRRasterizerPasteboardType))
        return nullptr;
    const QByteArray data = mimeData->data(kVRRasterizerPasteboardType);
    if (data.size() > 64 * 1024 * 1024)
        return nullptr;
    const QJsonDocument document = QJsonDocument::fromJson(data);
    const QJsonObject root = document.object();
    const QJsonObject record = root.value(QStringLiteral("renderer")).toObject();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String("quintora.renderer")
        || record.value(QStringLiteral("class")).toString() != QLatin1String("VRStyle"))
        return nullptr;
    const QJsonObject images = root.value(QStringLiteral("images")).toObject();
    auto style = fromJson(record, images, QStringLiteral("renderer"));
    return style ? style.value() : nullptr;
}

QString VRStyle::styleNameForFont(const QFont &font)
{
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize();
    return QStringLiteral("%1 %2 pt").arg(font.family(), QString::number(size, 'g', 4));
}

VRShadow VRStyle::defaultShadow()
{
    return VRShadow(QColor(0, 0, 0, 85), 4.0, 3.0, 45.0);
}

VRStyleRef VRStyle::styleWithFillColour(const QColor &fill, const QColor &strokeColour,
                                        double strokeWidth)
{
    auto style = create();
    if (fill.isValid())
        style->addRenderer(VRFill::fillWithColour(fill));
    if (strokeColour.isValid() && strokeWidth > 0)
        style->addRenderer(VRStroke::strokeWithWidth(strokeWidth, strokeColour));
    return style;
}
