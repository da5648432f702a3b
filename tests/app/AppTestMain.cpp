#include "TestDocumentController.h"

#include "app/common/QntConstants.h"
#include "app/common/CXViewAnimation.h"
#include "app/launch/QntStartUpController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/window/DIDizeZoziDocument.h"
#include "common/QtTestProgram.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRStyle.h"
#include "platform/UserDefaults.h"
#include "style/VKSpecialColorWell.h"

#include <QAction>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

// Fails a test that leaves behind what the application keeps for every later window and
// drawing: the drawing quality of new documents and the setting launch reads it from (a later
// picture test would draw its shapes differently), and the class-wide settings of the drawing
// framework and the windows that tests change through their setters.
class LaunchStateCheck : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo &) override { m_before = current(); }
    void OnTestEnd(const testing::TestInfo &test) override
    {
        const std::vector<QVariant> after = current();
        std::string changes;
        for (std::size_t k = 0; k < after.size(); ++k)
            if (after[k] != m_before[k])
                changes += std::string(" ") + watched()[k].first + ";";
        if (!changes.empty())
            ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                          << " left launch settings changed:" << changes;
    }

private:
    using Watched = std::pair<const char *, std::function<QVariant()>>;
    static const std::vector<Watched> &watched()
    {
        const auto address = [](const void *p) { return QVariant::fromValue(quintptr(p)); };
        static const std::vector<Watched> all = {
            {"the drawing quality of new documents",
             [] { return QVariant(DIDizeZoziDocument::defaultQualityModulation()); }},
            {"the drawing quality setting",
             [] {
                 return UserDefaults::standardUserDefaults().objectForKey(
                     kDIDizeZoziDefaultQualityModulationFlag);
             }},
            {"the autosave delay of new windows",
             [] { return QVariant(DIDizeZoziDocument::autosaveDelayForNewWindows()); }},
            {"the layout progress threshold",
             [] { return QVariant(DIDizeZoziDocument::layoutProgressThreshold()); }},
            {"the view animations' time scale",
             [] { return QVariant(CXViewAnimation::timeScale()); }},
            {"the start-up window's failure delay",
             [] { return QVariant(QntStartUpController::failureMessageDelay()); }},
            {"the start-up window's selected notation",
             [address] { return address(QntStartUpController::selectedNotation().get()); }},
            {"the smart guides switch", [] { return QVariant(VRGuideLayer::showSmartGuides()); }},
            {"whether selection changes are undoable",
             [] { return QVariant(VRObjectDrawingLayer::defaultSelectionChangesAreUndoable()); }},
            {"the layers' object storage",
             [address] { return address(&VRObjectOwnerLayer::storageClass()); }},
            {"the size info while dragging",
             [] { return QVariant(VRDrawableObject::displaysSizeInfoWhenDragging()); }},
            {"the style of created objects",
             [address] { return address(VRObjectCreationTool::styleForCreatedObjects().get()); }},
            {"the routing of new connectors",
             [] { return QVariant(QntConnectorTool::routingForNewConnectors()); }},
            {"the active colour well",
             [address] { return address(VKSpecialColorWell::currentWell()); }},
        };
        return all;
    }
    static std::vector<QVariant> current()
    {
        std::vector<QVariant> values;
        for (const auto &[name, value] : watched())
            values.push_back(value());
        return values;
    }

    std::vector<QVariant> m_before;
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
