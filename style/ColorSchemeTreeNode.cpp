#include "style/ColorSchemeTreeNode.h"

#include "style/ColorSchemeController.h"

#include <QHash>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

quint64 newHashValue()
{
    // A process-unique string, hashed: nodes made separately are never equal.
    return quint64(qHash(QUuid::createUuid().toString()));
}

bool flagOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0
               || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
               || text.toLongLong() != 0;
    }
    return value.toBool();
}

QString yesNoOf(const QVariant &value)
{
    if (!value.isValid())
        return {};
    return flagOf(value) ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

// ---- ColorSchemeTreeNode ----------------------------------------------------------------------

ColorSchemeTreeNode::ColorSchemeTreeNode()
    : m_hashValue(newHashValue())
{
}

ColorSchemeTreeNode::ColorSchemeTreeNode(const QString &name, bool isDefault,
                                         const QString &iconColor)
    : ColorSchemeTreeNode()
{
    setName(name);
    setIsDefault(isDefault);
    setHexColor(iconColor);
}

ColorSchemeTreeNode::~ColorSchemeTreeNode() = default;

std::unique_ptr<ColorSchemeTreeNode>
ColorSchemeTreeNode::nodeDataWithName(const QString &name, bool isDefault, const QString &iconColor)
{
    if (name == QLatin1String("Fill"))
        return std::make_unique<ColorSchemeFillTreeNode>();
    if (name == QLatin1String("GradientStops"))
        return std::make_unique<ColorSchemeGradientStopsTreeNode>();
    if (name == QLatin1String("Stroke"))
        return std::make_unique<ColorSchemeStrokeTreeNode>();
    if (name == QLatin1String("Text"))
        return std::make_unique<ColorSchemeTextTreeNode>();
    return std::make_unique<ColorSchemeTreeNode>(name, isDefault, iconColor);
}

void ColorSchemeTreeNode::copyInto(ColorSchemeTreeNode &other) const
{
    other.m_id = m_id;
    other.m_name = m_name;
    other.m_hexColor = m_hexColor;
    other.m_isDefault = m_isDefault;
    other.m_hashValue = m_hashValue;
    other.m_container = m_container;
    other.m_controller = m_controller;
}

std::unique_ptr<ColorSchemeTreeNode> ColorSchemeTreeNode::copy() const
{
    auto node = std::make_unique<ColorSchemeTreeNode>();
    copyInto(*node);
    return node;
}

void ColorSchemeTreeNode::setName(const QString &name)
{
    if (name.isNull() || name == m_name)
        return;
    m_name = name;
    writeThrough(QStringLiteral("Name"), name);
}

QString ColorSchemeTreeNode::hexColor() const
{
    if (m_hexColor.isEmpty() || m_hexColor == QLatin1String("#"))
        return QStringLiteral("#FFFFFF");
    return m_hexColor;
}

void ColorSchemeTreeNode::setHexColor(const QString &hex)
{
    if (hex.isNull() || hex == m_hexColor)
        return;
    m_hexColor = hex;
    writeThrough(QStringLiteral("IconColor"), hex);
}

void ColorSchemeTreeNode::setIsDefault(bool isDefault)
{
    m_isDefault = isDefault;
    writeThrough(QStringLiteral("Default"), isDefault);
}

void ColorSchemeTreeNode::setProps(const QVariantMap &props)
{
    m_id = props.value(QStringLiteral("Id")).toLongLong();
    setName(props.value(QStringLiteral("Name")).toString());
    setIsDefault(flagOf(props.value(QStringLiteral("Default"))));
    const QVariant icon = props.value(QStringLiteral("IconColor"));
    if (icon.isValid())
        setHexColor(icon.toString());
}

void ColorSchemeTreeNode::setCleanProps(const QVariantMap &props)
{
    m_id = props.value(QStringLiteral("Id")).toLongLong();
    setName(QString(QLatin1String("")));
    setIsDefault(false);
    setHexColor(QStringLiteral("#"));
}

bool ColorSchemeTreeNode::isEqual(const ColorSchemeTreeNode &other) const
{
    return typeid(*this) == typeid(other) && m_hashValue == other.m_hashValue;
}

int ColorSchemeTreeNode::compare(const ColorSchemeTreeNode &other) const
{
    return m_name.compare(other.m_name) < 0 ? -1 : (m_name == other.m_name ? 0 : 1);
}

QString ColorSchemeTreeNode::description() const
{
    return QStringLiteral("ColorSchemeTreeNode - '%1', hexColor: %2, isDefault: %3, container: %4")
        .arg(m_name, hexColor())
        .arg(int(m_isDefault))
        .arg(int(m_container));
}

ColorSchemeTreeNode *ColorSchemeTreeNode::child(int index) const
{
    return index >= 0 && index < childCount() ? m_children[size_t(index)].get() : nullptr;
}

int ColorSchemeTreeNode::indexOfChild(const ColorSchemeTreeNode *node) const
{
    for (size_t i = 0; i < m_children.size(); ++i) {
        if (m_children[i].get() == node)
            return int(i);
    }
    return -1;
}

ColorSchemeTreeNode *ColorSchemeTreeNode::appendChild(std::unique_ptr<ColorSchemeTreeNode> node)
{
    node->m_parent = this;
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

std::unique_ptr<ColorSchemeTreeNode> ColorSchemeTreeNode::takeChild(const ColorSchemeTreeNode *node)
{
    const int index = indexOfChild(node);
    if (index < 0)
        return nullptr;
    std::unique_ptr<ColorSchemeTreeNode> taken = std::move(m_children[size_t(index)]);
    m_children.erase(m_children.begin() + index);
    taken->m_parent = nullptr;
    return taken;
}

bool ColorSchemeTreeNode::isScheme() const
{
    return !isGroup() && !isItem() && m_parent != nullptr;
}

const ColorSchemeTreeNode *ColorSchemeTreeNode::owningScheme() const
{
    for (const ColorSchemeTreeNode *node = this; node; node = node->m_parent) {
        if (node->isScheme())
            return node;
    }
    return nullptr;
}

void ColorSchemeTreeNode::writeThrough(const QString &key, const QVariant &value)
{
    if (!m_controller || !isScheme())
        return;
    m_controller->updateKey(QVariantList{m_id}, key, value);
    m_controller->saveColorSchemesRegistry();
}

// ---- groups -----------------------------------------------------------------------------------

ColorSchemeGroupTreeNode::ColorSchemeGroupTreeNode(const QString &shown, const QString &stored)
    : m_storedName(stored)
{
    m_name = shown;
    m_hexColor = QStringLiteral("#FFFFFF");
}

std::unique_ptr<ColorSchemeTreeNode> ColorSchemeGroupTreeNode::copy() const
{
    auto node = nodeDataWithName(m_storedName, false, {});
    copyInto(*node);
    return node;
}

// ---- colours ----------------------------------------------------------------------------------

ColorSchemeItemTreeNode::ColorSchemeItemTreeNode()
{
    m_hexColor = QStringLiteral("#FFFFFF");
    m_comment = QString(QLatin1String(""));
    m_container = false;
}

ColorSchemeItemTreeNode::ColorSchemeItemTreeNode(const QString &hex)
    : ColorSchemeItemTreeNode()
{
    m_hexColor = hex;
    m_name = hex;
}

std::unique_ptr<ColorSchemeTreeNode> ColorSchemeItemTreeNode::copy() const
{
    auto node = std::make_unique<ColorSchemeItemTreeNode>();
    copyInto(*node);
    node->m_comment = m_comment;
    node->m_tableCellBackgroundColor = m_tableCellBackgroundColor;
    node->m_tableGridColor = m_tableGridColor;
    node->m_alpha = m_alpha;
    node->m_parentName = m_parentName;
    return node;
}

void ColorSchemeItemTreeNode::setName(const QString &name)
{
    if (name.isNull() || name == m_name)
        return;
    m_name = name;
    writeThrough(QStringLiteral("Name"), name);
}

void ColorSchemeItemTreeNode::setHexColor(const QString &hex)
{
    if (hex.isNull() || hex == m_hexColor)
        return;
    m_hexColor = hex;
    writeThrough(QStringLiteral("HexColorValue"), hex);
    setName(hex);
}

void ColorSchemeItemTreeNode::setIsDefault(bool isDefault)
{
    // Kept in the colour's own dictionary, so that the flag survives a reload.
    m_isDefault = isDefault;
    writeThrough(QStringLiteral("Default"), isDefault);
}

void ColorSchemeItemTreeNode::setComment(const QString &comment)
{
    if (comment.isNull() || comment == m_comment)
        return;
    m_comment = comment;
    writeThrough(QStringLiteral("Comment"), comment);
}

void ColorSchemeItemTreeNode::setAlpha(double alpha)
{
    if (!std::isfinite(alpha))
        return;
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    writeThrough(QStringLiteral("AlphaValue"), alpha);
}

void ColorSchemeItemTreeNode::setTableCellBackgroundColor(const QString &flag)
{
    if (flag.isNull() || flag == m_tableCellBackgroundColor)
        return;
    m_tableCellBackgroundColor = flag;
    writeThrough(QStringLiteral("TableCellBackgroundColor"), flag);
}

void ColorSchemeItemTreeNode::setTableGridColor(const QString &flag)
{
    if (flag.isNull() || flag == m_tableGridColor)
        return;
    m_tableGridColor = flag;
    writeThrough(QStringLiteral("TableGridColor"), flag);
}

void ColorSchemeItemTreeNode::setProps(const QVariantMap &props)
{
    m_id = props.value(QStringLiteral("Id")).toLongLong();
    setHexColor(props.value(QStringLiteral("HexColorValue")).toString());
    setComment(props.value(QStringLiteral("Comment")).toString());
    const QVariant alpha = props.value(QStringLiteral("AlphaValue"));
    if (alpha.isValid())
        setAlpha(alpha.toDouble());
    const QString cell = yesNoOf(props.value(QStringLiteral("TableCellBackgroundColor")));
    if (!cell.isEmpty())
        setTableCellBackgroundColor(cell);
    const QString grid = yesNoOf(props.value(QStringLiteral("TableGridColor")));
    if (!grid.isEmpty())
        setTableGridColor(grid);
    m_isDefault = flagOf(props.value(QStringLiteral("Default")));
}

void ColorSchemeItemTreeNode::setCleanProps(const QVariantMap &props)
{
    m_id = props.value(QStringLiteral("Id")).toLongLong();
    setHexColor(QStringLiteral("#"));
    setComment(QString(QLatin1String("")));
    setAlpha(1.0);
    setTableCellBackgroundColor(QStringLiteral("NO"));
    setTableGridColor(QStringLiteral("NO"));
}

int ColorSchemeItemTreeNode::compare(const ColorSchemeTreeNode &other) const
{
    const QString mine = hexColor(), theirs = other.hexColor();
    return mine.compare(theirs) < 0 ? -1 : (mine == theirs ? 0 : 1);
}

QString ColorSchemeItemTreeNode::description() const
{
    return QStringLiteral("%1, comment: %2, tableCellBackgroundColor: %3, alpha: %4")
        .arg(ColorSchemeTreeNode::description(), m_comment, m_tableCellBackgroundColor)
        .arg(m_alpha);
}

void ColorSchemeItemTreeNode::writeThrough(const QString &key, const QVariant &value)
{
    if (!m_controller || m_parentName.isEmpty())
        return;
    const ColorSchemeTreeNode *scheme = owningScheme();
    if (!scheme)
        return;
    m_controller->updateKey(QVariantList{scheme->Id(), m_parentName, m_id}, key, value);
    m_controller->saveColorSchemesRegistry();
}
