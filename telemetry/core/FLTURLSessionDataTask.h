#pragma once

#include "telemetry/core/FLTURLSessionTask.h"

// A task whose response body is collected in memory.
class FLTURLSessionDataTask : public FLTURLSessionTask
{
public:
    explicit FLTURLSessionDataTask(FLTURLRequest request)
        : FLTURLSessionTask(Kind::Data, std::move(request))
    {
    }

protected:
    FLTURLSessionDataTask(Kind kind, FLTURLRequest request)
        : FLTURLSessionTask(kind, std::move(request))
    {
    }
};
