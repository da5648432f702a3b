#include "framework/styles/VRRasterizer.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRRastGroup.h"
#include "framework/styles/VRStyle.h"
#include "framework/archive/VRJsonTreeWriter.h"

#include <QJsonDocument>
#include <QMimeData>

VR_ROOT_CLASS_IMPL(VRRasterizer, nullptr)

namespace {
constexpr qsizetype kMaxPasteboardBytes = 64 * 1024 * 1024;
}

VRRasterizer::~VRRasterizer() = default;

VRStyle *VRRasterizer::style() const
{
    const VRRasterizer *node = this;
    while (node->m_container)
        node = node->m_container;
    if (node->isKindOf<VRStyle>())
        return static_cast<VRStyle *>(const_cast<VRRasterizer *>(node));
    return nullptr;
}

void VRRasterizer::setEnabled(bool enabled)
{
    changeProperty(m_enabled, enabled, "setEnabled:", &VRRasterizer::setEnabled);
}

QVariant VRRasterizer::valueForKey(const QString &key) const
{
    if (key == QLatin1String("enabled"))
        return m_enabled;
    return {};
}

bool VRRasterizer::setValueForKey(const QVariant &value, const QString &key)
{
    if (key != QLatin1String("enabled") || !value.canConvert<bool>())
        return false;
    setEnabled(value.toBool());
    return true;
}

VRRendererRef VRRasterizer::makeCopy() const
{
    // One record format serves files, the pasteboard and copies, so a copy is a round trip.
    QJsonObject images;
    const QJsonObject record = toJson(images);
    VRStyleCoding coding(&images);
    return fromJson(record, coding);
}

QJsonObject VRRasterizer::toJson(QJsonObject &images) const
{
    VRJsonTreeWriter tree;
    writeRecord(tree, images);
    return tree.takeObject();
}

void VRRasterizer::writeRecord(VRJsonWriter &out, QJsonObject &images) const
{
    out.beginObject();
    writeProperties(out, images);
    out.end();
}

void VRRasterizer::writeProperties(VRJsonWriter &record, QJsonObject &) const
{
    record.insert("class", className());
    record.insert("enabled", m_enabled);
}

void VRRasterizer::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    m_enabled = coding.boolean(record, QStringLiteral("enabled"), true);
}

VRRendererRef VRRasterizer::fromJson(const QJsonObject &record, VRStyleCoding &coding)
{
    if (coding.depth() > VRStyleCoding::kMaxDepth) {
        coding.fail(QString(), QStringLiteral("renderer groups are nested more than %1 deep")
                                   .arg(VRStyleCoding::kMaxDepth));
        return nullptr;
    }
    const QJsonValue name = record.value(QStringLiteral("class"));
    if (!name.isString()) {
        coding.fail(QStringLiteral("class"),
                    QStringLiteral("expected the name of a renderer class"));
        return nullptr;
    }
    const VRClassInfo *info = VRClassInfo::byName(name.toString());
    if (!info || !info->create || !info->isSubclassOf(VRRasterizer::staticClass())
        || info->isSubclassOf(VRStyle::staticClass())) {
        coding.fail(
            QStringLiteral("class"),
            QStringLiteral("\"%1\" is not a renderer class").arg(name.toString().left(100)));
        return nullptr;
    }
    VRRendererRef renderer = std::static_pointer_cast<VRRasterizer>(info->create());
    renderer->readProperties(record, coding);
    if (!coding.ok())
        return nullptr;
    return renderer;
}

VRResult<VRRendererRef> VRRasterizer::fromJson(const QJsonObject &record, const QJsonObject &images)
{
    VRStyleCoding coding(&images, QStringLiteral("renderer"));
    VRRendererRef renderer = fromJson(record, coding);
    if (!renderer)
        return VRError{coding.error()};
    return renderer;
}

bool VRRasterizer::isEqual(const VRRasterizer &other) const
{
    if (&classInfo() != &other.classInfo())
        return false;
    QJsonObject a, b;
    return toJson(a) == other.toJson(b) && a == b;
}

void VRRasterizer::copyToPasteboard(QMimeData *mimeData) const
{
    if (!mimeData)
        return;
    QJsonObject images;
    QJsonObject document;
    document[QStringLiteral("format")] = QStringLiteral("quintora.renderer");
    document[QStringLiteral("version")] = 1;
    document[QStringLiteral("renderer")] = toJson(images);
    document[QStringLiteral("images")] = images;
    mimeData->setData(kVRRasterizerPasteboardType,
                      QJsonDocument(document).toJson(QJsonDocument::Compact));
}

VRRendererRef VRRasterizer::rasterizerFromPasteboard(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasFormat(kVRRasterizerPasteboardType))
        return nullptr;
    const QByteArray data = mimeData->data(kVRRasterizerPasteboardType);
    if (data.size() > kMaxPasteboardBytes)
        return nullptr;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return nullptr;
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String("quintora.renderer")
        || root.value(QStringLiteral("version")).toInt(0) > 1
        || !root.value(QStringLiteral("renderer")).isObject())
        return nullptr;
    const QJsonObject images = root.value(QStringLiteral("images")).toObject();
    VRStyleCoding coding(&images, QStringLiteral("renderer"));
    return fromJson(root.value(QStringLiteral("renderer")).toObject(), coding);
}

void VRRasterizer::willChange() const
{
    if (VRStyle *s = style())
        s->notifyClientsBeforeChange();
}

void VRRasterizer::didChange() const
{
    if (VRStyle *s = style())
        s->notifyClientsAfterChange();
}

void VRRasterizer::registerUndo(const char *selector, std::function<void()> inverse) const
{
    if (VRStyle *s = style())
        s->registerUndoForChange(this, selector, std::move(inverse));
}
