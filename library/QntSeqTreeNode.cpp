#include "library/QntSeqTreeNode.h"

#include <algorithm>

int QntSeqTreeNode::indexInParent() const
{
    if (!m_parent)
        return -1;
    const auto &siblings = m_parent->m_children;
    for (int i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return i;
    return -1;
}

void QntSeqTreeNode::insertChild(const std::shared_ptr<QntSeqTreeNode> &child, int index)
{
    if (!child || child.get() == this || child->contains(this))
        return;
    if (child->m_parent)
        child->m_parent->removeChildAt(child->indexInParent());
    index = std::clamp(index, 0, int(m_children.size()));
    m_children.insert(index, child);
    child->m_parent = this;
}

std::shared_ptr<QntSeqTreeNode> QntSeqTreeNode::removeChildAt(int index)
{
    if (index < 0 || index >= m_children.size())
        return nullptr;
    std::shared_ptr<QntSeqTreeNode> child = m_children.takeAt(index);
    child->m_parent = nullptr;
    return child;
}

bool QntSeqTreeNode::contains(const QntSeqTreeNode *node) const
{
    for (const QntSeqTreeNode *n = node; n; n = n->m_parent)
        if (n == this)
            return true;
    return false;
}

void QntSeqTreeNode::sortRecursively()
{
    std::stable_sort(m_children.begin(), m_children.end(), [](const auto &a, const auto &b) {
        return a->m_data->compare(*b->m_data) < 0;
    });
    for (const auto &child : std::as_const(m_children))
        child->sortRecursively();
}
