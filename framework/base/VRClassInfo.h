#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

// Run-time class identity for the framework's class trees (drawables, layers, renderers, undo
// tasks). It answers the two tests the application makes: exact class ("member of") and
// kind-of, and it is the allow-list through which readers create objects from a class name
// found in data: only the classes of allowList() can ever be made from a name.
struct VRClassInfo {
    const char *name = nullptr;                  // the class name as stored in files
    const VRClassInfo *super = nullptr;          // null for a root
    std::shared_ptr<void> (*create)() = nullptr; // readers' factory; null when abstract

    bool isSubclassOf(const VRClassInfo &other) const; // reflexive
    QString className() const { return QString::fromLatin1(name); }
    // The class of that name on the allow-list, or null. Any thread.
    static const VRClassInfo *byName(QStringView name);
    static const VRClassInfo *byName(const QString &name);
    static QStringList registeredClassNames();

private:
    // Every class of the framework (VRClassInfoAllowList.cpp); a new class is added there.
    static const QHash<QString, const VRClassInfo *> &allowList();
};

// Every root of a class tree declares `using VRRootType = Root;` so the factory stores a pointer
// to the root type inside the shared_ptr<void>, and readers convert back with
// std::static_pointer_cast<Root>(info->create()) after checking isSubclassOf(Root::staticClass()).
template <class T> std::shared_ptr<void> vrCreateInstance()
{
    std::shared_ptr<typename T::VRRootType> root = std::make_shared<T>();
    return root;
}

// In the class body: VR_CLASS(Name) declares the class accessors.
#define VR_CLASS(Name)                                                                             \
public:                                                                                            \
    static const VRClassInfo &staticClass();                                                       \
    const VRClassInfo &classInfo() const override;                                                 \
                                                                                                   \
private:

// In the class body of a root: VR_ROOT_CLASS(Name) (no override).
#define VR_ROOT_CLASS(Name)                                                                        \
public:                                                                                            \
    using VRRootType = Name;                                                                       \
    static const VRClassInfo &staticClass();                                                       \
    virtual const VRClassInfo &classInfo() const;                                                  \
    QString className() const                                                                      \
    {                                                                                              \
        return classInfo().className();                                                            \
    }                                                                                              \
    bool isKindOfClass(const VRClassInfo &c) const                                                 \
    {                                                                                              \
        return classInfo().isSubclassOf(c);                                                        \
    }                                                                                              \
    bool isMemberOfClass(const VRClassInfo &c) const                                               \
    {                                                                                              \
        return &classInfo() == &c;                                                                 \
    }                                                                                              \
    template <class T> bool isKindOf() const                                                       \
    {                                                                                              \
        return isKindOfClass(T::staticClass());                                                    \
    }                                                                                              \
    template <class T> bool isMemberOf() const                                                     \
    {                                                                                              \
        return isMemberOfClass(T::staticClass());                                                  \
    }                                                                                              \
                                                                                                   \
private:

// In the .cpp: one of these per class. SuperExpr is `&Super::staticClass()` or nullptr.
#define VR_CLASS_IMPL_WITH(Name, SuperExpr, Factory)                                               \
    const VRClassInfo &Name::staticClass()                                                         \
    {                                                                                              \
        static const VRClassInfo info{#Name, SuperExpr, Factory};                                  \
        return info;                                                                               \
    }                                                                                              \
    const VRClassInfo &Name::classInfo() const                                                     \
    {                                                                                              \
        return staticClass();                                                                      \
    }

#define VR_CLASS_IMPL(Name, Super)                                                                 \
    VR_CLASS_IMPL_WITH(Name, &Super::staticClass(), &vrCreateInstance<Name>)
#define VR_ABSTRACT_CLASS_IMPL(Name, Super) VR_CLASS_IMPL_WITH(Name, &Super::staticClass(), nullptr)
#define VR_ROOT_CLASS_IMPL(Name, Factory) VR_CLASS_IMPL_WITH(Name, nullptr, Factory)
