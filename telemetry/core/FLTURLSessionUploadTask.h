#pragma once

#include "telemetry/core/FLTURLSessionDataTask.h"

// A data task whose request body streams from a file.
class FLTURLSessionUploadTask : public FLTURLSessionDataTask
{
public:
    explicit FLTURLSessionUploadTask(FLTURLRequest request)
        : FLTURLSessionDataTask(Kind::Upload, std::move(request))
    {
    }
};
