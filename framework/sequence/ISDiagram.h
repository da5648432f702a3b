#pragma once

#include <QString>

#include <memory>
#include <vector>

class ISContainer;
class ISTimeline;
class ISMessage;
class ISOption;
class ISLoop;
class ISAlternatives;
class ISAlternativeCondition;

// The model of a UML sequence diagram: timelines (the participants) and a tree of containers
// (options, loops, alternatives) holding messages and alternative conditions in vertical order.
// The diagram owns the whole tree; the pointers the factory methods return stay valid for the
// diagram's life.
class ISElement
{
public:
    enum class Kind {
        Diagram,
        Timeline,
        Message,
        Option,
        Loop,
        Alternatives,
        AlternativeCondition
    };

    ISElement(Kind kind, const QString &name)
        : m_name(name)
        , m_kind(kind)
    {
    }
    virtual ~ISElement() = default;
    ISElement(const ISElement &) = delete;
    ISElement &operator=(const ISElement &) = delete;

    Kind kind() const { return m_kind; }
    QString name() const { return m_name; }
    QString ID() const { return m_id; }
    void setID(const QString &id) { m_id = id; }
    ISContainer *parent() const { return m_parent; }

private:
    friend class ISContainer;
    QString m_name;
    QString m_id;
    ISContainer *m_parent = nullptr;
    Kind m_kind;
};

// A participant; its name is the identifier the outline gave it.
class ISTimeline : public ISElement
{
public:
    explicit ISTimeline(const QString &name)
        : ISElement(Kind::Timeline, name)
    {
    }
};

// A message from one timeline to another, or to itself when both are the same.
class ISMessage : public ISElement
{
public:
    ISMessage(ISTimeline *from, ISTimeline *to, const QString &name)
        : ISElement(Kind::Message, name)
        , m_from(from)
        , m_to(to)
    {
    }
    ISTimeline *fromTimeline() const { return m_from; }
    ISTimeline *toTimeline() const { return m_to; }
    bool isSelfMessage() const { return m_from == m_to; }
    // 0 a call, 1 a response.
    int lineType() const { return m_lineType; }
    void setLineType(int type) { m_lineType = type; }

private:
    ISTimeline *m_from;
    ISTimeline *m_to;
    int m_lineType = 0;
};

// Starts a new compartment of its alternatives: the children after it belong to it.
class ISAlternativeCondition : public ISElement
{
public:
    explicit ISAlternativeCondition(const QString &name)
        : ISElement(Kind::AlternativeCondition, name)
    {
    }
};

// Something that holds messages and further containers, in creation (vertical) order.
class ISContainer : public ISElement
{
public:
    using ISElement::ISElement;

    ISOption *optionWithName(const QString &name);
    ISLoop *loopWithName(const QString &name, int andCount);
    ISAlternatives *alternativeWithName(const QString &name);
    ISMessage *messageFromTimeline(ISTimeline *from, ISTimeline *toTimeline,
                                   const QString &withName);

    const std::vector<std::unique_ptr<ISElement>> &children() const { return m_children; }

protected:
    template <class T> T *adopt(std::unique_ptr<T> child)
    {
        T *raw = child.get();
        raw->m_parent = this;
        m_children.push_back(std::move(child));
        return raw;
    }

private:
    std::vector<std::unique_ptr<ISElement>> m_children;
};

class ISOption : public ISContainer
{
public:
    explicit ISOption(const QString &name)
        : ISContainer(Kind::Option, name)
    {
    }
};

class ISLoop : public ISContainer
{
public:
    ISLoop(const QString &name, int count)
        : ISContainer(Kind::Loop, name)
        , m_count(count)
    {
    }
    int count() const { return m_count; }

private:
    int m_count;
};

class ISAlternatives : public ISContainer
{
public:
    explicit ISAlternatives(const QString &name)
        : ISContainer(Kind::Alternatives, name)
    {
    }
    ISAlternativeCondition *alternativeConditionWithName(const QString &name);
};

class ISDiagram : public ISContainer
{
public:
    explicit ISDiagram(const QString &name)
        : ISContainer(Kind::Diagram, name)
    {
    }
    // A new timeline, after the ones made before.
    ISTimeline *timelineWithName(const QString &name);
    const std::vector<std::unique_ptr<ISTimeline>> &timelines() const { return m_timelines; }

private:
    std::vector<std::unique_ptr<ISTimeline>> m_timelines;
};
