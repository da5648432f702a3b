#pragma once

#include "telemetry/core/FLTURLSessionDataTask.h"

namespace flt::detail {
struct Transfer;
}

// A task whose response body goes to a new temporary file. The file has its name only while the
// completion block (or the delegate's file-finished call) runs, and is removed once it returns.
class FLTURLSessionDownloadTask : public FLTURLSessionDataTask
{
public:
    explicit FLTURLSessionDownloadTask(FLTURLRequest request);
    ~FLTURLSessionDownloadTask() override;

    // The temporary file's name; the file is there only while the completion runs.
    const std::string &targetURL() const { return m_targetURL; }

private:
    friend struct flt::detail::SessionCore;
    friend struct flt::detail::Transfer;
    // Gives the finished body its name; false when it cannot.
    bool publishFile();
    // Closes the body and removes its name, if it has one.
    void discardFile();

    std::string m_targetURL;
    int m_fd = -1;
    bool m_published = false;
};
