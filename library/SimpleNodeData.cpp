#include "library/SimpleNodeData.h"

#include "framework/base/VRUniqueID.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

SimpleNodeData::SimpleNodeData()
    : m_name(QStringLiteral("Untitled"))
    , m_id(VRUniqueID::uniqueKey())
{
}

SimpleNodeData::SimpleNodeData(const QString &name)
    : SimpleNodeData()
{
    m_name = name;
}

SimpleNodeData::SimpleNodeData(const QVariantMap &dictionary)
    : SimpleNodeData()
{
    m_id = dictionary.value(QStringLiteral("ID")).toString();
    m_name = dictionary.value(QStringLiteral("Name")).toString();
    bool ok = false;
    const qint64 kind = dictionary.value(QStringLiteral("Kind")).toLongLong(&ok);
    m_kind = ok && kind >= Message && kind <= Loop ? int(kind) : Message;
    if (!ok && dictionary.contains(QStringLiteral("Kind")))
        m_kind = Message;
    m_text = dictionary.value(QStringLiteral("Text")).toString();
    const std::pair<const char *, int> roles[] = {
        {"Source", Source}, {"Target", Target}, {"Self", Self}};
    for (const auto &[key, role] : roles) {
        const QString timeline = dictionary.value(QLatin1String(key)).toString();
        if (!timeline.isEmpty())
            m_timelines.insert(timeline, role);
    }
}

std::shared_ptr<SimpleNodeData> SimpleNodeData::nodeDataWithName(const QString &name)
{
    return std::make_shared<SimpleNodeData>(name);
}

std::shared_ptr<SimpleNodeData>
SimpleNodeData::nodeDataWithDictionary(const QVariantMap &dictionary)
{
    return std::make_shared<SimpleNodeData>(dictionary);
}

QString SimpleNodeData::timelineWithRole(int role) const
{
    for (auto it = m_timelines.constBegin(); it != m_timelines.constEnd(); ++it)
        if (it.value() == role)
            return it.key();
    return {};
}

int SimpleNodeData::compare(const SimpleNodeData &other) const
{
    return m_name.compare(other.m_name);
}

QString SimpleNodeData::description() const
{
    return QStringLiteral("SimpleNodeData - '%1' expandable: %2, selectable: %3, container: %4")
        .arg(m_name)
        .arg(int(m_expandable))
        .arg(int(m_selectable))
        .arg(int(m_container));
}

QString SimpleNodeData::defaultNameForKind(int kind)
{
    static const char *const names[] = {
        "Message", "Response", "Option", "Alternative", "Alternative Condition", "Loop"};
    if (kind < Message || kind > Loop)
        return QStringLiteral("Untitled");
    return QCoreApplication::translate("SimpleNodeData", names[kind]);
}

void SimpleNodeData::writeToMimeData(QMimeData &data) const
{
    data.setText(m_name);
    if (!m_image.isNull())
        data.setImageData(m_image);
}

QList<std::shared_ptr<SimpleNodeData>> SimpleNodeData::nodesFromMimeData(const QMimeData &data)
{
    QList<std::shared_ptr<SimpleNodeData>> nodes;
    const auto leaf = [](std::shared_ptr<SimpleNodeData> node) {
        node->setContainer(false);
        node->setExpandable(false);
        node->setSelectable(true);
        return node;
    };
    if (data.hasUrls()) {
        for (const QUrl &url : data.urls()) {
            QString name = QFileInfo(url.path()).fileName();
            if (name.isEmpty())
                name = url.path();
            if (name.isEmpty())
                name = QStringLiteral("Untitled");
            auto node = leaf(nodeDataWithName(name));
            if (url.isLocalFile()) {
                const QFileInfo info(url.toLocalFile());
                // A folder may hold entities; anything unreadable is a leaf.
                const bool folder = info.exists() && info.isDir();
                node->setContainer(folder);
                node->setExpandable(folder);
                if (info.exists())
                    node->setImage(QFileIconProvider().icon(info).pixmap(16, 16).toImage());
            }
            nodes << node;
        }
        return nodes;
    }
    if (data.hasText())
        nodes << leaf(nodeDataWithName(data.text()));
    return nodes;
}
