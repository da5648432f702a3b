#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace qnt::test {

// Fails the test program when a test leaves the process different from how it found it in
// what every test can see: environment variables, the working folder and the file-size limit.
// (Singletons of our own code are each test's own business: they restore what they change.)
// Each test program's main installs it.
class ProcessStateCheck : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo &test) override;
    void OnTestEnd(const testing::TestInfo &test) override;

private:
    struct State {
        std::map<std::string, std::string> environment;
        std::string workingFolder;
        unsigned long long fileSizeLimit = 0;
    };
    static State current();

    State m_before;
};

} // namespace qnt::test
