#pragma once

#include "library/SimpleNodeData.h"

#include <QList>

#include <memory>

// A node of the sequence outline's tree: the structure (parent and ordered children) around
// one SimpleNodeData. Parents own their children; a node taken out of the tree keeps its
// subtree, so an undo can put it back whole.
class QntSeqTreeNode : public std::enable_shared_from_this<QntSeqTreeNode>
{
public:
    explicit QntSeqTreeNode(std::shared_ptr<SimpleNodeData> data)
        : m_data(std::move(data))
    {
    }
    QntSeqTreeNode(const QntSeqTreeNode &) = delete;
    QntSeqTreeNode &operator=(const QntSeqTreeNode &) = delete;

    SimpleNodeData *representedObject() const { return m_data.get(); }
    std::shared_ptr<SimpleNodeData> data() const { return m_data; }
    QntSeqTreeNode *parentNode() const { return m_parent; }
    const QList<std::shared_ptr<QntSeqTreeNode>> &childNodes() const { return m_children; }
    int indexInParent() const;
    // Index clamped to the children's range; the node leaves any earlier parent first.
    void insertChild(const std::shared_ptr<QntSeqTreeNode> &child, int index);
    std::shared_ptr<QntSeqTreeNode> removeChildAt(int index);
    // True for this node and every node below it.
    bool contains(const QntSeqTreeNode *node) const;
    // Sorts every level by name.
    void sortRecursively();

private:
    std::shared_ptr<SimpleNodeData> m_data;
    QntSeqTreeNode *m_parent = nullptr;
    QList<std::shared_ptr<QntSeqTreeNode>> m_children;
};
