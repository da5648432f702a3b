#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <vector>

class ColorSchemeController;

// One row of the colour-scheme outline: a scheme (or the invisible root), one of a scheme's
// four colour groups, or one colour. A node holds its values and its child rows; every change
// made through a setter is written through to the user's copy of the schemes and saved by the
// owning controller. Nodes built from the store write nothing back while they are built (their
// controller is set last). GUI thread only.
class ColorSchemeTreeNode
{
public:
    ColorSchemeTreeNode();
    ColorSchemeTreeNode(const QString &name, bool isDefault, const QString &iconColor);
    virtual ~ColorSchemeTreeNode();
    ColorSchemeTreeNode(const ColorSchemeTreeNode &) = delete;
    ColorSchemeTreeNode &operator=(const ColorSchemeTreeNode &) = delete;

    // "Fill", "GradientStops", "Stroke" or "Text" make the matching group node (the other
    // arguments are ignored); any other name makes a scheme node with the arguments.
    static std::unique_ptr<ColorSchemeTreeNode>
    nodeDataWithName(const QString &name, bool isDefault, const QString &iconColor);

    // A node of the same kind with the same values and identity; no children, no parent.
    virtual std::unique_ptr<ColorSchemeTreeNode> copy() const;

    qint64 Id() const { return m_id; }
    void setId(qint64 id) { m_id = id; }
    QString name() const { return m_name; }
    virtual void setName(const QString &name);
    // "#FFFFFF" when the stored value is "#" or empty.
    QString hexColor() const;
    QString storedHexColor() const { return m_hexColor; }
    virtual void setHexColor(const QString &hex);
    bool isDefault() const { return m_isDefault; }
    virtual void setIsDefault(bool isDefault);
    bool isContainer() const { return m_container; }
    void setContainer(bool container) { m_container = container; }
    virtual bool isGroup() const { return false; }
    virtual bool isItem() const { return false; }
    quint64 hashValue() const { return m_hashValue; }
    void setHashValue(quint64 value) { m_hashValue = value; }
    ColorSchemeController *backControllerRef() const { return m_controller; }
    void setBackControllerRef(ColorSchemeController *controller) { m_controller = controller; }

    // Takes the values of a stored dictionary (scheme: "Id", "Name", "Default", "IconColor").
    virtual void setProps(const QVariantMap &props);
    // Takes only the "Id" and blank values.
    virtual void setCleanProps(const QVariantMap &props);

    // Same kind and same identity (copies are equal to their original).
    bool isEqual(const ColorSchemeTreeNode &other) const;
    // Schemes by name, colours by hex value.
    virtual int compare(const ColorSchemeTreeNode &other) const;
    virtual QString description() const;

    // ---- the tree ----
    ColorSchemeTreeNode *parent() const { return m_parent; }
    int childCount() const { return int(m_children.size()); }
    ColorSchemeTreeNode *child(int index) const;
    int indexOfChild(const ColorSchemeTreeNode *node) const;
    ColorSchemeTreeNode *appendChild(std::unique_ptr<ColorSchemeTreeNode> node);
    std::unique_ptr<ColorSchemeTreeNode> takeChild(const ColorSchemeTreeNode *node);
    // The scheme this node belongs to (itself for a scheme), or null.
    const ColorSchemeTreeNode *owningScheme() const;
    // Whether this is a scheme row (neither the root, a group nor a colour).
    bool isScheme() const;

protected:
    // Copies the base values into a node made by copy().
    void copyInto(ColorSchemeTreeNode &other) const;
    // Writes key = value to this node's stored dictionary and saves; nothing for nodes without
    // a path (groups, the root, nodes not yet given to a controller).
    virtual void writeThrough(const QString &key, const QVariant &value);

    qint64 m_id = 0;
    QString m_name;
    QString m_hexColor;
    bool m_isDefault = false;
    bool m_container = true;
    quint64 m_hashValue = 0;
    ColorSchemeController *m_controller = nullptr;

private:
    ColorSchemeTreeNode *m_parent = nullptr;
    std::vector<std::unique_ptr<ColorSchemeTreeNode>> m_children;
};

// One of the four colour groups of a scheme. It keeps Id 0, never changes a stored dictionary
// and shows white.
class ColorSchemeGroupTreeNode : public ColorSchemeTreeNode
{
public:
    // shown: the row's name; stored: the group's "Name" in the store.
    ColorSchemeGroupTreeNode(const QString &shown, const QString &stored);
    bool isGroup() const override { return true; }
    QString storedName() const { return m_storedName; }
    void setProps(const QVariantMap &) override {}
    void setCleanProps(const QVariantMap &) override {}
    std::unique_ptr<ColorSchemeTreeNode> copy() const override;
    void setName(const QString &name) override { m_name = name; }
    void setHexColor(const QString &hex) override { m_hexColor = hex; }
    void setIsDefault(bool isDefault) override { m_isDefault = isDefault; }

protected:
    void writeThrough(const QString &, const QVariant &) override {}

private:
    QString m_storedName;
};

class ColorSchemeFillTreeNode : public ColorSchemeGroupTreeNode
{
public:
    ColorSchemeFillTreeNode()
        : ColorSchemeGroupTreeNode(QStringLiteral("Fill"), QStringLiteral("Fill"))
    {
    }
};
class ColorSchemeStrokeTreeNode : public ColorSchemeGroupTreeNode
{
public:
    ColorSchemeStrokeTreeNode()
        : ColorSchemeGroupTreeNode(QStringLiteral("Stroke"), QStringLiteral("Stroke"))
    {
    }
};
class ColorSchemeTextTreeNode : public ColorSchemeGroupTreeNode
{
public:
    ColorSchemeTextTreeNode()
        : ColorSchemeGroupTreeNode(QStringLiteral("Text"), QStringLiteral("Text"))
    {
    }
};
class ColorSchemeGradientStopsTreeNode : public ColorSchemeGroupTreeNode
{
public:
    ColorSchemeGradientStopsTreeNode()
        : ColorSchemeGroupTreeNode(QStringLiteral("Gradient Stops"),
                                   QStringLiteral("GradientStops"))
    {
    }
};

// One colour of a group. Its name is always its hex value.
class ColorSchemeItemTreeNode : public ColorSchemeTreeNode
{
public:
    ColorSchemeItemTreeNode();
    explicit ColorSchemeItemTreeNode(const QString &hex);

    bool isItem() const override { return true; }
    std::unique_ptr<ColorSchemeTreeNode> copy() const override;

    void setName(const QString &name) override;
    void setHexColor(const QString &hex) override;
    void setIsDefault(bool isDefault) override;
    QString comment() const { return m_comment; }
    void setComment(const QString &comment);
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    // "YES" or "NO".
    QString tableCellBackgroundColor() const { return m_tableCellBackgroundColor; }
    void setTableCellBackgroundColor(const QString &flag);
    QString tableGridColor() const { return m_tableGridColor; }
    void setTableGridColor(const QString &flag);
    // The stored "Name" of the colour's group; a colour writes through only when it is set.
    QString parentName() const { return m_parentName; }
    void setParentName(const QString &name) { m_parentName = name; }

    // "Id", "HexColorValue", "Comment", "AlphaValue", "TableCellBackgroundColor",
    // "TableGridColor" and the colour's own "Default".
    void setProps(const QVariantMap &props) override;
    void setCleanProps(const QVariantMap &props) override;
    int compare(const ColorSchemeTreeNode &other) const override;
    QString description() const override;

protected:
    void writeThrough(const QString &key, const QVariant &value) override;

private:
    QString m_comment;
    QString m_tableCellBackgroundColor = QStringLiteral("NO");
    QString m_tableGridColor;
    double m_alpha = 1.0;
    QString m_parentName;
};
