#pragma once

#include "framework/base/VRTypes.h"

#include <QImage>
#include <QString>

// One entry of the image bank: a diagram element from a notation database, its picture as the
// browser shows it (a thumbnail made once when the entry is loaded), its identifier and the
// folder name of the database it came from ("ImageBank" or "Imported").
class ImagesBankItem
{
public:
    ImagesBankItem() = default;
    ImagesBankItem(const ImagesBankItem &) = delete;
    ImagesBankItem &operator=(const ImagesBankItem &) = delete;

    // The picture file of an entry made from a bare path.
    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    QImage image() const { return _image; }
    void setImage(const QImage &image) { _image = image; }
    QString id() const { return _id; }
    void setId(const QString &id) { _id = id; }
    // The browser's identifier of the entry.
    QString imageUID() const { return _id; }
    QString sourceName() const { return _sourceName; }
    void setSourceName(const QString &name) { _sourceName = name; }
    // The database the element is stored in; changes of the entry go there.
    QString sourceDatabase() const { return m_sourceDatabase; }
    void setSourceDatabase(const QString &path) { m_sourceDatabase = path; }
    VRObjectRef element() const { return _element; }
    void setElement(VRObjectRef element) { _element = std::move(element); }

    // The element's "TITLE" metadata; empty without an element.
    QString imageTitle() const;
    void setImageTitle(const QString &title);

private:
    QString m_path;
    QImage _image;
    QString _id;
    QString _sourceName;
    QString m_sourceDatabase;
    VRObjectRef _element;
};
