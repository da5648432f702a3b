#pragma once

#include <QImage>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QMimeData;

// One entity of the sequence outline: a message, response or alternative condition (leaves) or
// an option, alternative or loop (containers). Its role per timeline says whether that timeline
// sends, receives or sends to itself.
class SimpleNodeData
{
public:
    enum Kind {
        Message = 0,
        Response = 1,
        Option = 2,
        Alternative = 3,
        AlternativeCondition = 4,
        Loop = 5
    };
    enum Role { None = 0, Source = 1, Target = 2, Self = 3 };

    // "Untitled", a fresh identifier, kind Message, no roles, expandable, selectable, container.
    SimpleNodeData();
    explicit SimpleNodeData(const QString &name);
    // Reads one stored node: "ID", "Name", "Kind" (0 when absent), "Text" and the "Source",
    // "Target" and "Self" timelines. Without "ID" the node has no identifier.
    explicit SimpleNodeData(const QVariantMap &dictionary);
    static std::shared_ptr<SimpleNodeData> nodeDataWithName(const QString &name);
    static std::shared_ptr<SimpleNodeData> nodeDataWithDictionary(const QVariantMap &dictionary);

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    QString ID() const { return m_id; }
    void setID(const QString &id) { m_id = id; }
    int nodeKind() const { return m_kind; }
    void setNodeKind(int kind) { m_kind = kind; }
    // Timeline identifier to role.
    const QMap<QString, int> &timelines() const { return m_timelines; }
    QMap<QString, int> &timelines() { return m_timelines; }
    void setTimelines(const QMap<QString, int> &timelines) { m_timelines = timelines; }
    QImage image() const { return m_image; }
    void setImage(const QImage &image) { m_image = image; }
    bool isExpandable() const { return m_expandable; }
    void setExpandable(bool expandable) { m_expandable = expandable; }
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable) { m_selectable = selectable; }
    bool isContainer() const { return m_container; }
    void setContainer(bool container) { m_container = container; }

    // The first timeline, in identifier order, with that role; empty when there is none.
    QString sourceTimelineName() const { return timelineWithRole(Source); }
    QString targetTimelineName() const { return timelineWithRole(Target); }
    QString selfTimelineName() const { return timelineWithRole(Self); }

    // Orders by name.
    int compare(const SimpleNodeData &other) const;
    QString description() const;

    // The name of a new entity of that kind, as the outline's add commands give it.
    static QString defaultNameForKind(int kind);
    static bool isContainerKind(int kind)
    {
        return kind == Option || kind == Alternative || kind == Loop;
    }

    // Pasteboard: the name as plain text, and the image when there is one.
    void writeToMimeData(QMimeData &data) const;
    // Nodes from dropped data: one per URL (named by its last path component, a container when
    // it names a folder), else one leaf named by the plain text. Empty when neither is there.
    static QList<std::shared_ptr<SimpleNodeData>> nodesFromMimeData(const QMimeData &data);

private:
    QString timelineWithRole(int role) const;

    QString m_name;
    QString m_text;
    QString m_id;
    QMap<QString, int> m_timelines;
    QImage m_image;
    int m_kind = Message;
    bool m_expandable = true;
    bool m_selectable = true;
    bool m_container = true;
};
