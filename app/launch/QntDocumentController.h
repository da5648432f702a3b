#pragma once

#include "platform/DocumentController.h"

#include <QPointer>
#include <QVariantMap>

#include <functional>

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
    // Whether the start-up window has been shown and not yet painted for the first time;
    // startUpWindowPainted() follows that paint.
    static bool startUpWindowAwaitsFirstPaint();

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
    // Puts the start-up window away and, when the tool palette was showing, reopens it once a
    // window of the document is on screen, so that it is placed beside that window.
    void addDocument(Document *document) override;
    // Takes the document's objects out of its drawing's connector router, closes attached
    // windows, and puts the layers palette (and with the last document the tool palette) away.
    // After the last document the start-up window appears.
    void removeDocument(Document *document) override;
    // Once the application has started and unless it is quitting: shows the start-up window
    // when no document is open (checked on the next turn of the event loop).
    void showStartUpPanelWhenNoDocumentIsLeft();

    // The state key that names the document a restored window shows.
    static const QString kAutoreopenURLKey; // "MyDocumentAutoreopenURL"
    // Answers a restored window: the window, or null with the reason.
    using RestorationHandler = std::function<void(QWidget *window, const QString &errorMessage)>;
    // Reopens the document named under kAutoreopenURLKey in the state and answers its window
    // with the given identifier (the window's object name). A state without that key is left
    // to the platform's own reopening of the last session's documents: the handler gets no
    // window.
    static void restoreWindowWithIdentifier(const QString &identifier, const QVariantMap &state,
                                            const RestorationHandler &completionHandler);
    // Opens the file without showing it; the handler learns whether it was open already.
    using ReopenHandler =
        std::function<void(Document *document, bool wasAlreadyOpen, const QString &errorMessage)>;
    void reopenDocumentForURL(const QString &path, const QString &contentsPath, bool display,
                              const ReopenHandler &completionHandler);

signals:
    // The start-up window has been painted for the first time (on the turn of the event loop
    // after the paint).
    void startUpWindowPainted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reopenToolPaletteWhenShown(Document *document);
    void reopenToolPalette();

    // The document whose first shown window brings the tool palette back.
    QPointer<Document> m_toolPaletteAwaits;
};
