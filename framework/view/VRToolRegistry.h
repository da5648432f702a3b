#pragma once

#include "framework/base/VRTypes.h"

#include "framework/notations/QntNotation.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class VRDrawingTool;

// The shared table of drawing tools by name. The standard tools are registered when the table
// is first used; notations register one creation tool per element.
class VRToolRegistry : public QObject
{
    Q_OBJECT
public:
    static VRToolRegistry &sharedToolRegistry();

    VRDrawingTool *drawingToolWithName(const QString &name) const;
    std::shared_ptr<VRDrawingTool> toolRefWithName(const QString &name) const;
    // Replaces a tool of that name; posts kVRDrawingToolWasRegisteredNotification.
    void registerDrawingTool(std::shared_ptr<VRDrawingTool> tool, const QString &withName);
    void unregisterDrawingTool(const QString &name);
    // Sorted.
    QStringList toolNames() const;
    QString nameOfTool(const VRDrawingTool *tool) const;

    // One creation tool per prototype, registered under the prototype's ID (objects without an
    // ID are skipped). Returns the names registered.
    QStringList registerCreationToolsForPrototypes(const VRObjectList &prototypes);
    // Prototypes registered for a group (a notation's path or a library name).
    void setPrototypesForGroup(const QString &group, const VRObjectList &prototypes);
    VRObjectList prototypesForGroup(const QString &group) const;
    // Unregisters the tools of a group's prototypes and forgets the group.
    void removeGroup(const QString &group);

    // Imported elements: one creation tool per record, registered under its element id.
    static void registerImportedToolsForNotation(const QntNotation &notation,
                                                 const QList<QntElementRecord> &elements);
    static void registerImportedToolsForGroupName(const QString &groupName,
                                                  const QList<QntElementRecord> &elements);
    static void removeNotationFromRegistered(const QntNotation &notation);
    QList<QntElementRecord> importedElementsForNotation(const QntNotation &notation) const;

    VRObjectList officePrototypesObjects() const
    {
        return prototypesForGroup(QStringLiteral("Office"));
    }
    VRObjectList networkPrototypesObjects() const
    {
        return prototypesForGroup(QStringLiteral("Network"));
    }
    VRObjectList miscPrototypesObjects() const
    {
        return prototypesForGroup(QStringLiteral("Misc"));
    }
    VRObjectList applePrototypesObjects() const
    {
        return prototypesForGroup(QStringLiteral("Apple"));
    }

private:
    VRToolRegistry();
    void registerStandardTools();

    QHash<QString, std::shared_ptr<VRDrawingTool>> m_tools;
    QHash<QString, VRObjectList> m_groups;
    QHash<QString, QList<QntElementRecord>> m_records;
    // Replaced tools, kept because views may still point at them.
    QList<std::shared_ptr<VRDrawingTool>> m_retired;
};
