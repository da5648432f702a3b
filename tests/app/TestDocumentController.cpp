#include "TestDocumentController.h"

#include "app/launch/QntDocumentController.h"
#include "platform/Document.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

QntDocumentController *g_controller = nullptr;

QntDocumentController *makeController()
{
    auto *controller = new QntDocumentController(qApp);
    controller->setErrorPresenter([](const QString &, QWidget *) {});
    controller->setClosePrompt(
        [](Document *, QWidget *) { return DocumentController::CloseChoice::DontSave; });
    return controller;
}

// Made before any test: a test that only asks for the shared controller would otherwise get
// a plain one that knows no document type.
class DocumentControllerEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        QntDocumentController &controller = testDocumentController();
        ASSERT_EQ(&DocumentController::sharedDocumentController(), &controller);
    }
};

// After each test the application's shared windows are as a fresh launch has them: the
// start-up window (made once, kept by the controller) hidden. Quitting is for good: a
// controller that went through it no longer keeps the list of open documents, so the tests
// after one that quits get a fresh controller.
class ControllerAfterTermination : public ::testing::EmptyTestEventListener
{
public:
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        QntDocumentController::orderOutStartUpWindow();
        if (!g_controller || !g_controller->isTerminating())
            return;
        for (Document *document : g_controller->documents()) {
            g_controller->removeDocument(document);
            delete document;
        }
        delete g_controller;
        g_controller = makeController();
    }
};

} // namespace

void installTestDocumentController()
{
    ::testing::AddGlobalTestEnvironment(new DocumentControllerEnvironment);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ControllerAfterTermination);
}

QntDocumentController &testDocumentController()
{
    if (!g_controller)
        g_controller = makeController();
    return *g_controller;
}
