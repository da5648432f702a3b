#pragma once

#include "platform/DocumentController.h"

class QntStartUpController;

// The application's document controller: every new or untitled document goes through the
// start-up window, and opening a document by any other way puts that window away.
class QntDocumentController : public DocumentController
{
    Q_OBJECT
public:
    explicit QntDocumentController(QObject *parent = nullptr);

    // The shared controller as this class (null when another class was made first).
    static QntDocumentController *sharedQntDocumentController();

    // The start-up controller; null before the first showStartUpPanel().
    static QntStartUpController *startUpController();
    // Shows the start-up window (made on first use), filled afresh.
    static void showStartUpPanel();
    // Puts the start-up window away, when there is one.
    static void orderOutStartUpWindow();

    void newDocument() override;
    // Makes the document and gives it the notation and the imported shapes that the start-up
    // window chose; posts kQntNewDocumentCreatedNotification.
    Document *makeUntitledDocumentOfType(const QString &type, QString *errorMessage) override;
    // Never makes a document: shows the start-up window and returns null.
    Document *openUntitledDocumentAndDisplay(bool display, QString *errorMessage) override;
    void openDocument(QWidget *parent = nullptr) override;
    Document *openDocumentWithContentsOfURL(const QString &path, bool display,
                                            QString *errorMessage) override;
    Document *makeDocumentWithContentsOfURL(const QString &path, const QString &type,
                                            QString *errorMessage) override;
    void addDocument(Document *document) override;
    void removeDocument(Document *document) override;
};
