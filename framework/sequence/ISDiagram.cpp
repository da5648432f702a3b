#include "framework/sequence/ISDiagram.h"

ISOption *ISContainer::optionWithName(const QString &name)
{
    return adopt(std::make_unique<ISOption>(name));
}

ISLoop *ISContainer::loopWithName(const QString &name, int andCount)
{
    return adopt(std::make_unique<ISLoop>(name, andCount));
}

ISAlternatives *ISContainer::alternativeWithName(const QString &name)
{
    return adopt(std::make_unique<ISAlternatives>(name));
}

ISMessage *ISContainer::messageFromTimeline(ISTimeline *from, ISTimeline *toTimeline,
                                            const QString &withName)
{
    return adopt(std::make_unique<ISMessage>(from, toTimeline, withName));
}

ISAlternativeCondition *ISAlternatives::alternativeConditionWithName(const QString &name)
{
    return adopt(std::make_unique<ISAlternativeCondition>(name));
}

ISTimeline *ISDiagram::timelineWithName(const QString &name)
{
    m_timelines.push_back(std::make_unique<ISTimeline>(name));
    return m_timelines.back().get();
}
