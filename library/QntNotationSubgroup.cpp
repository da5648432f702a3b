#include "library/QntNotationSubgroup.h"

#include "library/QntNotationSubGroupItem.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/view/VRToolRegistry.h"

namespace {
double g_itemWidth = 180.0;
}

QntNotationSubgroup::QntNotationSubgroup(const QString &title,
                                         const QList<QntElementRecord> &elements,
                                         const QntNotation *notation)
    : _title(title)
    , _notationPath(notation ? notation->notationPath() : QString())
{
    setElements(elements);
}

QntNotationSubgroup::QntNotationSubgroup(const QString &title, const VRObjectList &elements,
                                         const QntNotation *notation)
    : _title(title)
    , _notationPath(notation ? notation->notationPath() : QString())
{
    setElements(elements);
}

QntNotationSubgroup::QntNotationSubgroup(const QString &title)
    : _title(title)
{
}

QntNotationSubgroup::~QntNotationSubgroup() = default;

QList<QntNotationSubgroup::Element>
QntNotationSubgroup::elementsFromRecords(const QList<QntElementRecord> &records)
{
    QList<Element> elements;
    elements.reserve(records.size());
    for (const QntElementRecord &record : records)
        elements.push_back({record.elementId, record.tooltip});
    return elements;
}

QList<QntNotationSubgroup::Element>
QntNotationSubgroup::elementsFromObjects(const VRObjectList &objects)
{
    QList<Element> elements;
    elements.reserve(objects.size());
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        elements.push_back({object->stringForKey(QStringLiteral("ID")),
                            object->stringForKey(QStringLiteral("tooltip"))});
    }
    return elements;
}

void QntNotationSubgroup::setElements(const QList<QntElementRecord> &elements)
{
    setElements(elementsFromRecords(elements));
}

void QntNotationSubgroup::setElements(const VRObjectList &elements)
{
    setElements(elementsFromObjects(elements));
}

void QntNotationSubgroup::setElements(const QList<Element> &elements)
{
    _children.clear();
    const QntNotationRef notation =
        _notationPath.isEmpty() ? QntNotationRef() : QntNotation::notationWithPath(_notationPath);
    const VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    for (const Element &element : elements) {
        auto item = std::make_shared<QntNotationSubGroupItem>(this);
        item->setTitle(element.identifier);
        item->setTooltip(element.tooltip);
        item->setDrawingTool(registry.toolRefWithName(element.identifier), notation.get());
        item->setSize(QSizeF(itemWidth(), QntNotationSubGroupItem::kItemHeight));
        _children.push_back(item);
    }
}

void QntNotationSubgroup::addItem(const ItemRef &item)
{
    _children.push_back(item);
}

void QntNotationSubgroup::removeItem(const ItemRef &item)
{
    _children.removeAll(item);
}

void QntNotationSubgroup::insertItem(const ItemRef &item, qsizetype atIndex)
{
    if (atIndex < 0 || atIndex > _children.size())
        return;
    _children.insert(atIndex, item);
}

double QntNotationSubgroup::childrenHeight() const
{
    double height = 0.0;
    for (const ItemRef &item : _children)
        height += item->size().height();
    return height;
}

double QntNotationSubgroup::itemWidth()
{
    return g_itemWidth;
}

void QntNotationSubgroup::setItemWidth(double width)
{
    if (width > 0)
        g_itemWidth = width;
}
