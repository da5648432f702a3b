#include "framework/notations/QntNotationElementBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

VRObjectRef QntNotationElementBuilder::buildElement(const QntNotationSource::Element &element,
                                                    const QntNotationSource &notation,
                                                    qint64 schemeId, const QString &notationPath,
                                                    QString *errorMessage)
{
    Q_UNUSED(element)
    Q_UNUSED(notation)
    Q_UNUSED(schemeId)
    Q_UNUSED(notationPath)
    if (errorMessage)
        *errorMessage = QStringLiteral("elements cannot be built yet");
    return {};
}

QByteArray QntNotationElementBuilder::elementData(const QntNotationSource::Element &element,
                                                  const QntNotationSource &notation,
                                                  qint64 schemeId, const QString &notationPath,
                                                  QString *errorMessage)
{
    Q_UNUSED(notation)
    Q_UNUSED(notationPath)
    Q_UNUSED(errorMessage)
    QJsonObject o{{QStringLiteral("id"), element.id},
                  {QStringLiteral("class"), element.className},
                  {QStringLiteral("colorSchemeId"), schemeId},
                  {QStringLiteral("parts"), int(element.parts.size())}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray QntNotationElementBuilder::iconData(const QntNotationSource::Element &element,
                                               const QntNotationSource &notation, qint64 schemeId,
                                               const QString &notationPath)
{
    Q_UNUSED(element)
    Q_UNUSED(notation)
    Q_UNUSED(schemeId)
    Q_UNUSED(notationPath)
    return {};
}
