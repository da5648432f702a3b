#pragma once

#include "framework/base/VRTypes.h"
#include "framework/notations/QntNotation.h"

#include <QList>
#include <QString>

#include <memory>

class QntNotationSubGroupItem;

// A titled group of shape-library items built from a notation's elements: element records of a
// notation list or prototype objects of a built-in library.
class QntNotationSubgroup
{
public:
    using ItemRef = std::shared_ptr<QntNotationSubGroupItem>;

    // One element as the group reads it: identifier and tooltip.
    struct Element {
        QString identifier;
        QString tooltip;
    };

    QntNotationSubgroup(const QString &title, const QList<QntElementRecord> &elements,
                        const QntNotation *notation);
    QntNotationSubgroup(const QString &title, const VRObjectList &elements,
                        const QntNotation *notation);
    // An empty group (items are added by the caller).
    explicit QntNotationSubgroup(const QString &title);
    virtual ~QntNotationSubgroup();
    QntNotationSubgroup(const QntNotationSubgroup &) = delete;
    QntNotationSubgroup &operator=(const QntNotationSubgroup &) = delete;

    // Replace every item by one item per element, in list order.
    void setElements(const QList<QntElementRecord> &elements);
    void setElements(const VRObjectList &elements);
    void setElements(const QList<Element> &elements);
    static QList<Element> elementsFromRecords(const QList<QntElementRecord> &records);
    static QList<Element> elementsFromObjects(const VRObjectList &objects);

    QString title() const { return _title; }
    void setTitle(const QString &title) { _title = title; }
    const QList<ItemRef> &children() const { return _children; }
    void setChildren(const QList<ItemRef> &children) { _children = children; }
    bool isImported() const { return _isImported; }
    void setIsImported(bool imported) { _isImported = imported; }
    quint64 orderValue() const { return _orderValue; }
    void setOrderValue(quint64 value) { _orderValue = value; }
    bool isEditable() const { return m_isEditable; }
    void setIsEditable(bool editable) { m_isEditable = editable; }
    QString notationPath() const { return _notationPath; }
    void setNotationPath(const QString &path) { _notationPath = path; }

    void addItem(const ItemRef &item);
    // Removes every occurrence.
    void removeItem(const ItemRef &item);
    // 0 ... number of items (equal appends); other indexes change nothing.
    void insertItem(const ItemRef &item, qsizetype atIndex);
    // Sum of the items' heights.
    double childrenHeight() const;

    // The width every item of a palette is made with (the palette's column width).
    static double itemWidth();
    static void setItemWidth(double width);

private:
    QString _title;
    QList<ItemRef> _children;
    bool _isImported = false;
    quint64 _orderValue = 0;
    bool m_isEditable = false;
    QString _notationPath;
};
