#include "TestDocumentController.h"

#include "app/common/QntConstants.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/window/DIDizeZoziDocument.h"
#include "common/QtTestProgram.h"
#include "platform/UserDefaults.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

// Fails a test that leaves behind what launching the application sets for every later window:
// the drawing quality of new documents and the setting launch reads it from. A later picture
// test would draw its shapes differently.
class LaunchStateCheck : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo &) override { m_before = current(); }
    void OnTestEnd(const testing::TestInfo &test) override
    {
        const State after = current();
        std::string changes;
        if (after.qualityModulation != m_before.qualityModulation)
            changes += " the drawing quality of new documents;";
        if (after.qualityModulationSetting != m_before.qualityModulationSetting)
            changes += " the drawing quality setting;";
        if (!changes.empty())
            ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                          << " left launch settings changed:" << changes;
    }

private:
    struct State {
        bool qualityModulation = false;
        QVariant qualityModulationSetting;
    };
    static State current()
    {
        return {DIDizeZoziDocument::defaultQualityModulation(),
                UserDefaults::standardUserDefaults().objectForKey(
                    kDIDizeZoziDefaultQualityModulationFlag)};
    }

    State m_before;
};

} // namespace

// The main of the application's test programs (the app and library tests): as at the
// application's launch, the factory defaults are registered before anything else, and every
// test finds the one document controller the application would make first.
int main(int argc, char **argv)
{
    return qnt::test::runQtTestProgram(argc, argv, [] {
        VOReruRerAppDelegate::initialize();
        installTestDocumentController();
        testing::UnitTest::GetInstance()->listeners().Append(new LaunchStateCheck);
    });
}
