// DIDizeZoziDocument: the Mermaid commands pane, building a diagram from Mermaid text, the
// stylesheet editor and the commands help window.
#include "app/window/DIDizeZoziDocument.h"

#include "app/launch/VOReruRerAppDelegate.h"
#include "app/window/OXOverlayController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VKConcreteUndoTask.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "library/mermaid/CommandsHelpWindowController.h"
#include "library/mermaid/QntMermaidPlugin.h"
#include "framework/svg/SVGKImage.h"
#include "platform/AtomicFile.h"
#include "platform/NotificationCenter.h"
#include "platform/PlainTextView.h"

#include <QDateTime>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcMermaid, "quintora.mermaid")

namespace {

const QString kNotationName = QStringLiteral("Command Driven Style");
const QString kGenerated = QStringLiteral("GENERATED");
// Every document's stylesheet editor reloads when one of them saved the shared stylesheet.
const QString kStylesheetSavedNotification = QStringLiteral("QntMermaidStylesheetSaved");
const QString kLinkStart = QStringLiteral("<link rel=\"stylesheet\" href=\"mermaid.forest.css?");
const QString kLinkEnd = QStringLiteral("\"/><!-- -->");
// The undo step of an edit of the command text, told apart from others by its target (the
// drawing) and this name.
const char kEditTextSelector[] = "setMermaidSourceText";

QString supportFile(const QString &name)
{
    return VOReruRerAppDelegate::mermaidSupportFolder() + QLatin1Char('/') + name;
}

QString readUtf8(const QString &path, bool *ok = nullptr)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? QString::fromUtf8(file.readAll()) : QString();
}

QPlainTextEdit *makeEditor(QWidget *parent, const QString &name)
{
    QPlainTextEdit *editor = new PlainTextView(parent);
    editor->setObjectName(name);
    editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setTabChangesFocus(false);
    QTextOption option = editor->document()->defaultTextOption();
    option.setFlags(option.flags() | QTextOption::ShowTabsAndSpaces);
    editor->document()->setDefaultTextOption(option);
    return editor;
}

} // namespace

QWidget *DIDizeZoziDocument::makeCommandView()
{
    auto *view = new QWidget;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *bar = new QHBoxLayout;
    m_commandsOrStyleControl = new QTabBar(view);
    m_commandsOrStyleControl->setObjectName(QStringLiteral("commandsOrStyleControl"));
    m_commandsOrStyleControl->addTab(tr("Commands"));
    m_commandsOrStyleControl->addTab(tr("Stylesheet"));
    m_commandsOrStyleControl->setExpanding(false);
    m_commandsOrStyleControl->setDrawBase(false);
    m_buildButton = new QPushButton(tr("Build"), view);
    m_buildButton->setObjectName(QStringLiteral("buildButton"));
    m_buildButton->setToolTip(tr("Build the diagram from the Mermaid text (Ctrl+B)"));
    m_buildButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m_restoreStylesheetButton = new QPushButton(tr("Restore Stylesheet"), view);
    m_restoreStylesheetButton->setObjectName(QStringLiteral("restoreStylesheetButton"));
    m_helpButton = new QPushButton(tr("Help"), view);
    m_helpButton->setObjectName(QStringLiteral("helpButton"));
    m_helpButton->setToolTip(tr("Show or hide the Mermaid commands help"));
    bar->addWidget(m_commandsOrStyleControl);
    bar->addStretch(1);
    bar->addWidget(m_restoreStylesheetButton);
    bar->addWidget(m_helpButton);
    bar->addWidget(m_buildButton);
    layout->addLayout(bar);
    m_commandEditor = makeEditor(view, QStringLiteral("commandEditor"));
    m_commandEditor->setPlaceholderText(tr("graph TD\n  A[Start] --> B{Decide}"));
    m_stylesheetEditor = makeEditor(view, QStringLiteral("stylesheetEditor"));
    layout->addWidget(m_commandEditor, 1);
    layout->addWidget(m_stylesheetEditor, 1);
    m_stylesheetEditor->hide();
    m_restoreStylesheetButton->hide();
    m_helpButton->hide();
    return view;
}

void DIDizeZoziDocument::setUpCommandView()
{
    if (!m_commandEditor)
        return;
    if (notationName() == kNotationName) {
        m_helpButton->show();
        m_restoreStylesheetButton->show();
        connect(m_buildButton, &QPushButton::clicked, this, &DIDizeZoziDocument::reload);
        connect(m_restoreStylesheetButton, &QPushButton::clicked, this,
                &DIDizeZoziDocument::restoreDefaultCSSAction);
        connect(m_helpButton, &QPushButton::clicked, this, &DIDizeZoziDocument::commandsHelp);
        connect(m_commandEditor, &QPlainTextEdit::textChanged, this,
                [this] { textDidChange(m_commandEditor); });
        m_commandEditing = new QTimer(this);
        m_commandEditing->setSingleShot(true);
        m_commandEditing->setInterval(kCommandEditingPauseMs);
        // An undo or redo of the drawing may give the command text back.
        for (const QString &name :
             {kVRUndoManagerDidUndoChangeNotification, kVRUndoManagerDidRedoChangeNotification})
            m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
                name, drawing() ? drawing()->undoManager() : nullptr,
                [this](const Notification &) { showCommandText(); }));
        // The failing line's tooltip.
        m_commandEditor->viewport()->installEventFilter(this);
        connect(m_stylesheetEditor, &QPlainTextEdit::textChanged, this,
                [this] { textDidChange(m_stylesheetEditor); });
        connect(m_commandsOrStyleControl, &QTabBar::currentChanged, this,
                &DIDizeZoziDocument::commandsOrStyleAction);
        loadCSSFromFile();
        m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
            kStylesheetSavedNotification, nullptr, [this](const Notification &notification) {
                if (notification.object != this)
                    loadCSSFromFile();
            }));
    }
    // Typing Mermaid is not prose: no smart quotes or dashes (a plain editor has none).
    {
        const QSignalBlocker blocker(m_commandsOrStyleControl);
        m_commandsOrStyleControl->setCurrentIndex(0);
    }
    commandsOrStyleAction(0);
    const QString text = drawing() ? drawing()->mermaidSourceText() : QString();
    if (!text.isNull()) {
        const QSignalBlocker blocker(m_commandEditor);
        m_commandEditor->setPlainText(text);
    }
}

CommandsHelpWindowController *DIDizeZoziDocument::commandsHelpWindowController() const
{
    return m_commandsHelpWindowController;
}

void DIDizeZoziDocument::setCommandsHelpWindowController(CommandsHelpWindowController *controller)
{
    m_commandsHelpWindowController = controller;
}

void DIDizeZoziDocument::commandsOrStyleAction(int segment)
{
    if (!m_commandEditor)
        return;
    const bool commands = segment == 0;
    m_commandEditor->setVisible(commands);
    m_stylesheetEditor->setVisible(!commands);
    m_restoreStylesheetButton->setVisible(!commands && notationName() == kNotationName);
}

void DIDizeZoziDocument::loadCSSFromFile()
{
    if (!m_stylesheetEditor)
        return;
    const QString css = readUtf8(supportFile(QStringLiteral("mermaid.forest.css")));
    if (css == m_stylesheetEditor->toPlainText())
        return;
    m_loadingStylesheet = true;
    m_stylesheetEditor->setPlainText(css);
    m_loadingStylesheet = false;
}

void DIDizeZoziDocument::restoreDefaultCSSAction()
{
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(true);
    loadCSSFromFile();
    NotificationCenter::defaultCenter().post(kStylesheetSavedNotification, this);
}

void DIDizeZoziDocument::textDidChange(QObject *editor)
{
    if (editor == m_commandEditor) {
        commandTextDidChange();
        return;
    }
    if (editor != m_stylesheetEditor || m_loadingStylesheet)
        return;
    // The stylesheet is shared by every document: write it, then give the host page's link a
    // new query so the next build reads it afresh.
    if (const auto error = AtomicFile::write(supportFile(QStringLiteral("mermaid.forest.css")),
                                             m_stylesheetEditor->toPlainText().toUtf8()))
        qCWarning(lcMermaid).noquote() << "Error" << *error;
    NotificationCenter::defaultCenter().post(kStylesheetSavedNotification, this);
    const QString pagePath = supportFile(QStringLiteral("seq.html"));
    bool ok = false;
    QString page = readUtf8(pagePath, &ok);
    if (!ok)
        return;
    const qsizetype start = page.indexOf(kLinkStart);
    if (start < 0)
        return;
    const qsizetype from = start + kLinkStart.size();
    const qsizetype end = page.indexOf(kLinkEnd, from);
    if (end < 0)
        return;
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    page.replace(from, end - from, QString::asprintf("%f", now));
    if (const auto error = AtomicFile::write(pagePath, page.toUtf8()))
        qCWarning(lcMermaid).noquote() << "Error" << *error;
}

void DIDizeZoziDocument::commandTextDidChange()
{
    if (m_showingCommandText || !drawing())
        return;
    clearCommandError();
    const QString text = m_commandEditor->toPlainText();
    if (text == drawing()->mermaidSourceText())
        return;
    // A burst goes on while the edits follow each other closely and nothing else became an
    // undo step in between; an edit after a pause, an undo, another change or a build starts
    // a new step.
    bool goesOn = m_commandEditing && m_commandEditing->isActive();
    if (VRUndoManager *undo = drawing()->undoManager(); goesOn && undo->groupingLevel() == 0) {
        const auto steps = undo->undoStack();
        const VKConcreteUndoTask *last =
            steps.isEmpty() ? nullptr : steps.last()->firstConcreteTask();
        goesOn = last && last->target() == drawing()
                 && last->selectorName() == QLatin1String(kEditTextSelector);
    }
    setCommandText(text, !goesOn);
    if (m_commandEditing)
        m_commandEditing->start();
    // Every edit counts for autosaving, the ones within a burst too.
    noteEditedStateChanged();
}

void DIDizeZoziDocument::setCommandText(const QString &text, bool newUndoStep)
{
    VRDrawing *drawing = this->drawing();
    VRUndoManager *undo = drawing->undoManager();
    if (newUndoStep && undo && undo->isUndoRegistrationEnabled()) {
        // A step of its own, closed now, so the document counts as edited at once; within an
        // open group the step joins it (a repeated edit keeps the oldest text).
        const bool own = undo->groupingLevel() == 0 && !undo->isUndoing() && !undo->isRedoing();
        if (own)
            undo->beginUndoGrouping();
        const QString before = drawing->mermaidSourceText();
        QPointer<DIDizeZoziDocument> self(this);
        undo->registerUndo(drawing, kEditTextSelector, [self, before] {
            if (!self || !self->drawing())
                return;
            if (self->m_commandEditing)
                self->m_commandEditing->stop();
            self->setCommandText(before, true);
        });
        undo->setActionName(tr("Edit Mermaid Text"));
        if (own)
            undo->endUndoGrouping();
    }
    drawing->setMermaidSourceText(text);
}

void DIDizeZoziDocument::showCommandText()
{
    if (!m_commandEditor || !drawing())
        return;
    const QString text = drawing()->mermaidSourceText();
    if (text == m_commandEditor->toPlainText())
        return;
    // The cursor stays near where it was.
    const int position = m_commandEditor->textCursor().position();
    m_showingCommandText = true;
    m_commandEditor->setPlainText(text);
    m_showingCommandText = false;
    clearCommandError();
    QTextCursor cursor = m_commandEditor->textCursor();
    cursor.setPosition(std::min(position, int(text.size())));
    m_commandEditor->setTextCursor(cursor);
}

QString DIDizeZoziDocument::commandErrorToolTip() const
{
    if (m_commandError.line <= 0)
        return {};
    const QString where =
        m_commandError.column > 0
            ? tr("Line %1, column %2").arg(m_commandError.line).arg(m_commandError.column)
            : tr("Line %1").arg(m_commandError.line);
    return where + QLatin1Char('\n') + m_commandError.message.trimmed();
}

void DIDizeZoziDocument::markCommandError(const QntMermaidRenderer::Result &result)
{
    clearCommandError();
    if (!m_commandEditor || result.errorLine <= 0)
        return;
    // An error at the end of the text may be told on the line after its last.
    const int lineCount = m_commandEditor->document()->blockCount();
    const int lineNumber = std::min(result.errorLine, lineCount);
    const QTextBlock block = m_commandEditor->document()->findBlockByNumber(lineNumber - 1);
    if (!block.isValid())
        return;
    m_commandError = {lineNumber, lineNumber == result.errorLine ? result.errorColumn : 0,
                      result.message};
    // The whole line in a light red, and from the column on a red wavy underline.
    QTextEdit::ExtraSelection line;
    line.format.setBackground(QColor(255, 220, 220));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = QTextCursor(block);
    QTextEdit::ExtraSelection rest;
    rest.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    rest.format.setUnderlineColor(Qt::red);
    rest.cursor = QTextCursor(block);
    rest.cursor.setPosition(
        block.position()
        + std::clamp(m_commandError.column - 1, 0, std::max(0, block.length() - 1)));
    rest.cursor.setPosition(block.position() + std::max(0, block.length() - 1),
                            QTextCursor::KeepAnchor);
    if (!rest.cursor.hasSelection()) {
        // Nothing after the column (the line ended too early): underline the whole line.
        rest.cursor.setPosition(block.position());
        rest.cursor.setPosition(block.position() + std::max(0, block.length() - 1),
                                QTextCursor::KeepAnchor);
    }
    m_commandEditor->setExtraSelections({line, rest});
}

void DIDizeZoziDocument::clearCommandError()
{
    if (m_commandError.line <= 0)
        return;
    m_commandError = {};
    if (m_commandEditor)
        m_commandEditor->setExtraSelections({});
    QToolTip::hideText();
}

bool DIDizeZoziDocument::showCommandErrorToolTip(QHelpEvent *event)
{
    const QString tip = commandErrorToolTip();
    if (!tip.isEmpty()
        && m_commandEditor->cursorForPosition(event->pos()).blockNumber()
               == m_commandError.line - 1)
        QToolTip::showText(event->globalPos(), tip, m_commandEditor->viewport());
    else
        QToolTip::hideText();
    return true;
}

void DIDizeZoziDocument::showMessageInOverlay(const QString &message)
{
    if (!_overlayController)
        return;
    if (_overlayController->isOverlay()) {
        _overlayController->endOverlay();
        return;
    }
    _overlayController->beginOverlayToView(_commandView, message, 4.0, QSizeF(200, 50));
}

void DIDizeZoziDocument::commandsHelp()
{
    if (m_commandsHelpWindowController && m_commandsHelpWindowController->isVisible()) {
        m_commandsHelpWindowController->hide();
        return;
    }
    openCommandsHelp();
}

void DIDizeZoziDocument::openCommandsHelp()
{
    if (!m_commandsHelpWindowController)
        setCommandsHelpWindowController(new CommandsHelpWindowController(window()));
    m_commandsHelpWindowController->show();
    m_commandsHelpWindowController->raise();
}

void DIDizeZoziDocument::reload()
{
    if (!m_commandEditor || !drawing())
        return;
    // The text is in the drawing already (it goes there as it is edited); a build ends the
    // burst of edits, so the next edit is an undo step of its own.
    commandTextDidChange();
    if (m_commandEditing)
        m_commandEditing->stop();
    const QString text = m_commandEditor->toPlainText();
    if (text.isNull() && drawing()->mermaidSourceText().isNull())
        drawing()->setMermaidSourceText(QStringLiteral(""));
    if (text.trimmed().isEmpty())
        return;
    if (!m_webView)
        m_webView = QntMermaidRenderer::create();
    if (!m_webView) {
        // Without its plugin Mermaid cannot run: say so, and why, in a message of its own (the
        // reason is longer than the overlay holds), and try again on the next build (the plugin
        // may be back by then).
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Mermaid is not available"),
                                    tr("The diagram cannot be built from its text."),
                                    QMessageBox::Ok, windowForSheet());
        box->setObjectName(QStringLiteral("MermaidUnavailable"));
        const QString why = QntMermaidPlugin::errorString();
        box->setInformativeText(why.isEmpty() ? tr("Quintora was started without Mermaid.") : why);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    // The text goes to Mermaid as it is: its own syntax needs the line breaks.
    const QString stylesheet = readUtf8(supportFile(QStringLiteral("mermaid.forest.css")));
    QPointer<DIDizeZoziDocument> self(this);
    m_webView->render(supportFile(QStringLiteral("seq.html")), text, stylesheet,
                      [self](const QntMermaidRenderer::Result &result) {
                          if (self)
                              self->webView(result);
                      });
}

void DIDizeZoziDocument::webView(const QntMermaidRenderer::Result &result)
{
    auto fail = [this](const QString &message) {
        if (_overlayController && _overlayController->isOverlay())
            _overlayController->endOverlay();
        showMessageInOverlay(message);
        QPointer<OXOverlayController> overlay(_overlayController);
        QTimer::singleShot(1000, this, [overlay] {
            if (overlay)
                overlay->endOverlay();
        });
    };
    if (!result.ok()) {
        qCInfo(lcMermaid).noquote() << "Mermaid did not build:" << result.message;
        switch (result.failure) {
        case QntMermaidRenderer::Result::Failure::Syntax:
            markCommandError(result);
            return fail(tr("Syntax error"));
        case QntMermaidRenderer::Result::Failure::TooLarge: return fail(tr("Diagram too large"));
        default: return fail(tr("Mermaid failed"));
        }
    }
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    if (!image) {
        qCWarning(lcMermaid).noquote() << "cannot read Mermaid's picture:" << image.errorMessage();
        return fail(tr("Unreadable picture"));
    }
    std::unique_ptr<VRObjectOwnerLayer> tree = buildTree(**image);
    // An empty picture replaces nothing: the previous build stays.
    if (tree->countOfObjects() == 0)
        return fail(tr("Empty diagram"));
    if (!drawing()->activeLayerOfClass<VRObjectDrawingLayer>())
        return;
    const QRectF bounds = replaceBuild(*drawing(), *tree);
    updateChangeCount(ChangeType::Done);
    revealWhenLaidOut(bounds, true);
}

void DIDizeZoziDocument::revealWhenLaidOut(const QRectF &bounds, bool build)
{
    // After the view has taken the drawing's new size, which it does on the next turn of the
    // event loop.
    QPointer<DIDizeZoziDocument> self(this);
    QTimer::singleShot(0, this, [self, bounds, build] {
        if (!self)
            return;
        if (build) {
            self->revealBuild(bounds);
        } else if (VRDrawingView *view = self->mainView()) {
            view->revealRect(bounds);
            view->update();
        }
    });
}

void DIDizeZoziDocument::revealBuild(const QRectF &bounds)
{
    VRDrawingView *view = mainView();
    auto *layer = drawing() ? drawing()->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    if (!view || !layer || bounds.isEmpty())
        return;
    const QRectF visible = view->visibleDrawingRect();
    // A view the user moved since the last build, and that shows some of this one, stays where
    // it is: building again after an edit keeps the user's place.
    const bool movedByUser =
        m_revealedPlace
        && (m_revealedPlace->first != visible || m_revealedPlace->second != view->scale());
    if (movedByUser) {
        for (const VRObjectRef &object : layer->objects()) {
            if (object->hasMetadataForKey(kGenerated) && object->bounds().intersects(visible))
                return;
        }
    }
    view->revealRect(bounds);
    m_revealedPlace = std::make_pair(view->visibleDrawingRect(), view->scale());
}

std::unique_ptr<VRObjectOwnerLayer> DIDizeZoziDocument::buildTree(const SVGKImage &image)
{
    std::unique_ptr<VRObjectOwnerLayer> tree = image.newVRTree(QPointF(kBuildMargin, kBuildMargin));
    if (tree->countOfObjects() == 1
        && tree->objects().first()->stringForKey(QStringLiteral("type"))
               == QLatin1String("rootGroup")
        && tree->objects().first()->isKindOf<VRShapeGroup>()) {
        const auto group = std::static_pointer_cast<VRShapeGroup>(tree->objects().first());
        group->ungroupToLayer(*tree);
        tree->removeObject(group);
    }
    connectElements(*tree);
    return tree;
}

QRectF DIDizeZoziDocument::replaceBuild(VRDrawing &drawing, VRObjectOwnerLayer &tree)
{
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer)
        return {};
    const VRObjectList built = tree.objects();
    for (const VRObjectRef &object : built)
        tree.removeObject(object);
    VRObjectList previous;
    for (const VRObjectRef &object : layer->objects()) {
        if (object->hasMetadataForKey(kGenerated))
            previous.append(object);
    }
    VRUndoManager *undo = drawing.undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer->recordSelectionForUndo();
    layer->exchangeSelectionWithObjectsFromArray({});
    layer->removeObjectsInArray(previous);
    for (const VRObjectRef &object : built)
        object->setString(QStringLiteral("YES"), kGenerated);
    // In one batch: one undo record, and each connector takes its arrowheads from the drawing's
    // notation once, as it arrives in the drawing.
    layer->addObjectsFromArray(built);
    QRectF bounds;
    for (const VRObjectRef &object : built)
        bounds = bounds.united(object->bounds());
    // The page grows to hold the build, keeping the build's margin on the far sides; it never
    // shrinks by itself (Undo gives the former size back).
    const QSizeF size = drawing.drawingSize();
    const QSizeF needed(bounds.right() + kBuildMargin + drawing.rightMargin(),
                        bounds.bottom() + kBuildMargin + drawing.bottomMargin());
    if (!bounds.isEmpty() && (needed.width() > size.width() || needed.height() > size.height()))
        drawing.setDrawingSize(QSizeF(std::max(size.width(), std::ceil(needed.width())),
                                      std::max(size.height(), std::ceil(needed.height()))));
    layer->commitSelectionUndoWithActionName(tr("Build Diagram"));
    if (undo) {
        undo->setActionName(tr("Build Diagram"));
        undo->endUndoGrouping();
    }
    return bounds;
}

void DIDizeZoziDocument::connectElements(VRObjectOwnerLayer &layer)
{
    const VRObjectList objects = layer.objects();
    for (const VRObjectRef &object : objects) {
        if (object->isKindOf<QntConnector>()) {
            if (!object->hasMetadataForKey(QStringLiteral("from"))
                || !object->hasMetadataForKey(QStringLiteral("to")))
                continue;
            const auto from =
                findObjectWithName(object->stringForKey(QStringLiteral("from")), layer);
            const auto to = findObjectWithName(object->stringForKey(QStringLiteral("to")), layer);
            // A connector with an end that names no element stays where it was drawn, free.
            if (!from || !to) {
                qCInfo(lcMermaid).noquote()
                    << "an edge names no element:" << object->stringForKey(QStringLiteral("from"))
                    << object->stringForKey(QStringLiteral("to"));
                continue;
            }
            from->connectToTargetElement(to.get(), std::static_pointer_cast<QntConnector>(object));
        } else if (object->isKindOf<QntElement>()
                   && object->stringForKey(QStringLiteral("class"))
                          .startsWith(QLatin1String("cluster"))) {
            layer.moveObjectToBottom(object);
        }
    }
}

std::shared_ptr<QntElement> DIDizeZoziDocument::findObjectWithName(const QString &name,
                                                                   const VRObjectOwnerLayer &layer)
{
    if (name.isEmpty())
        return nullptr;
    for (const VRObjectRef &object : layer.objects()) {
        if (!object->isKindOf<QntElement>())
            continue;
        if (object->stringForKey(QStringLiteral("name")) == name
            || object->stringForKey(QStringLiteral("uid")) == name)
            return std::static_pointer_cast<QntElement>(object);
    }
    return nullptr;
}
