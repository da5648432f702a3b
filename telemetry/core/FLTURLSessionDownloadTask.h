#pragma once

#include "telemetry/core/FLTURLSessionDataTask.h"

namespace flt::detail {
struct Transfer;
}

// A task whose response body goes to a new temporary file. The file is removed once the
// completion block (or the delegate's file-finished call) has returned.
class FLTURLSessionDownloadTask : public FLTURLSessionDataTask
{
public:
    explicit FLTURLSessionDownloadTask(FLTURLRequest request);
    ~FLTURLSessionDownloadTask() override;

    // The temporary file the body is written to.
    const std::string &targetURL() const { return m_targetURL; }

private:
    friend struct flt::detail::SessionCore;
    friend struct flt::detail::Transfer;
    std::string m_targetURL;
    int m_fd = -1;
};
