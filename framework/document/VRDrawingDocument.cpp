#include "framework/document/VRDrawingDocument.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"

#include "framework/view/VRDrawingView.h"

#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/AtomicFile.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QMimeData>
#include <QScrollArea>

#include <sys/mman.h>

const QString VRDrawingDocument::kVRDrawingDocumentType = QStringLiteral("Quintora Drawing");

namespace {
constexpr double kPasteOffset = 10.0;

// The text of a file being opened. A large file is read into pages mapped for it alone, in
// huge pages where the system has them: a fresh heap block would take its pages one by one as
// the text is copied into them (thousands of faults, each costly under virtualisation), and
// once freed it would stay in the heap as a hole to be given back later. Unmapping hands the
// pages straight back. The text is read, not mapped from the file: a file another program
// shortens while it is read must not take the application down.
class FileText
{
public:
    static constexpr qint64 kMappedFrom = 1024 * 1024;

    explicit FileText(QFile &file)
    {
        const qint64 size = file.size();
        if (size >= kMappedFrom && size <= VRArchiver::kMaximumFileSize && readMapped(file, size))
            return;
        file.seek(0);
        m_text = file.readAll();
    }
    ~FileText() { release(); }
    FileText(const FileText &) = delete;
    FileText &operator=(const FileText &) = delete;

    const QByteArray &text() const { return m_text; }

    // Gives back to the system the whole huge pages of the text in [begin, end) (only text read
    // into pages of its own can be given back: they then read as zeros); answers up to where.
    qsizetype release(qsizetype begin, qsizetype end)
    {
        if (!m_pages || begin < 0 || end > m_text.size() || begin >= end)
            return begin;
        // The text starts on a huge page boundary.
        constexpr qsizetype page = qsizetype(kHugePage);
        const qsizetype from = (begin + page - 1) / page * page;
        const qsizetype to = end / page * page;
        if (to <= from)
            return begin;
        char *text = const_cast<char *>(m_text.constData());
        if (madvise(text + from, size_t(to - from), MADV_DONTNEED) != 0)
            return begin;
        return to;
    }

private:
    static constexpr size_t kHugePage = 2 * 1024 * 1024;

    bool readMapped(QFile &file, qint64 size)
    {
        // Whole huge pages, from a huge page boundary on.
        const size_t span = (size_t(size) + kHugePage - 1) / kHugePage * kHugePage;
        m_length = span + kHugePage;
        void *pages = mmap(nullptr, m_length, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (pages == MAP_FAILED) {
            m_length = 0;
            return false;
        }
        m_pages = static_cast<char *>(pages);
        char *text = reinterpret_cast<char *>((reinterpret_cast<quintptr>(m_pages) + kHugePage - 1)
                                              & ~quintptr(kHugePage - 1));
#ifdef MADV_HUGEPAGE
        madvise(text, span, MADV_HUGEPAGE);
#endif
        qint64 done = 0;
        while (done < size) {
            const qint64 got = file.read(text + done, size - done);
            if (got <= 0)
                break;
            done += got;
        }
        // A file that changed size while it was read is read again the plain way.
        char more;
        if (done != size || file.read(&more, 1) != 0) {
            release();
            return false;
        }
        m_text = QByteArray::fromRawData(text, size);
        return true;
    }

    void release()
    {
        m_text = QByteArray();
        if (m_pages)
            munmap(m_pages, m_length);
        m_pages = nullptr;
        m_length = 0;
    }

    char *m_pages = nullptr;
    size_t m_length = 0;
    QByteArray m_text;
};
} // namespace

VRDrawingDocument::VRDrawingDocument(QObject *parent)
    : Document(parent)
    , m_drawing(std::make_unique<VRDrawing>())
{
    setFileType(kVRDrawingDocumentType);
    watchUndoManager();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { m_pastesOfClipboard = 0; });
}

VRDrawingDocument::~VRDrawingDocument() = default;

void VRDrawingDocument::setDrawing(std::unique_ptr<VRDrawing> drawing)
{
    if (!drawing)
        return;
    m_drawing = std::move(drawing);
    if (m_mainView)
        m_mainView->setDrawing(m_drawing.get());
    watchUndoManager();
}

VRUndoManager *VRDrawingDocument::undoManager() const
{
    return m_drawing->undoManager();
}

void VRDrawingDocument::watchUndoManager()
{
    m_tokens.clear();
    VRUndoManager *um = undoManager();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    // The edited state follows the undo manager; each step also counts for autosaving.
    m_tokens.push_back(center.addObserver(
        kQntUndoRedoChangedNotification, nullptr, [this, um](const Notification &n) {
            if (n.userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>() != um)
                return;
            // Only a newly closed step counts here; undo and redo are counted below.
            if (n.userInfo.value(QStringLiteral("object")).metaType()
                != QMetaType::fromType<VKConcreteUndoTask *>())
                return;
            if (m_loadingFromNib)
                return;
            updateChangeCount(ChangeType::Done);
        }));
    m_tokens.push_back(center.addObserver(
        kVRUndoManagerDidUndoChangeNotification, um,
        [this](const Notification &) { updateChangeCount(ChangeType::Undone); }));
    m_tokens.push_back(center.addObserver(
        kVRUndoManagerDidRedoChangeNotification, um,
        [this](const Notification &) { updateChangeCount(ChangeType::Redone); }));
}

void VRDrawingDocument::updateChangeCount(ChangeType change)
{
    // Saving clears the edited state at the undo manager's clean point too; an autosave
    // never does.
    if (change == ChangeType::Cleared)
        undoManager()->markClean();
    Document::updateChangeCount(change);
}

bool VRDrawingDocument::isDocumentEdited() const
{
    return !undoManager()->isClean() || Document::isDocumentEdited();
}

void VRDrawingDocument::setMainView(VRDrawingView *view, QWidget *asWidget)
{
    m_mainView = view;
    m_mainViewWidget = asWidget;
}

void VRDrawingDocument::windowControllerDidLoadNib()
{
    if (!m_mainViewWidget)
        makeMainView();
    if (m_readFromDisk)
        NotificationCenter::defaultCenter().post(
            kQntDocumentStateRestoredNotification, this,
            {{QStringLiteral("object"), QVariant::fromValue(this)}});
}

void VRDrawingDocument::makeMainView()
{
    auto *view = new VRDrawingView(drawing());
    if (QScrollArea *area = drawingScrollArea()) {
        area->setWidgetResizable(false);
        area->setAlignment(Qt::AlignCenter); // a drawing smaller than the window sits centred
        area->setWidget(view);
    } else {
        connect(this, &QObject::destroyed, view, &QObject::deleteLater);
    }
    setMainView(view, view);
}

VRObjectDrawingLayer *VRDrawingDocument::activeObjectLayer() const
{
    return m_drawing->activeLayerOfClass<VRObjectDrawingLayer>();
}

bool VRDrawingDocument::validateAction(const QByteArray &action) const
{
    const VRObjectDrawingLayer *layer = activeObjectLayer();
    const int selected = layer ? int(layer->selectedAvailableObjects().size()) : 0;
    QByteArray name = action;
    if (name.endsWith(':'))
        name.chop(1);
    if (name.startsWith("align"))
        return selected >= 2;
    if (name.startsWith("distribute"))
        return selected >= 3;
    if (name == "group")
        return selected >= 2;
    if (name == "ungroup") {
        if (!layer)
            return false;
        for (const auto &o : layer->selectedAvailableObjects()) {
            if (o->isMemberOf<VRShapeGroup>())
                return true;
        }
        return false;
    }
    if (name == "copy")
        return layer && layer->countOfSelection() >= 1;
    if (name == "duplicate" || name == "cut" || name == "deleteSelection" || name == "delete"
        || name == "bringToFront" || name == "sendToBack" || name == "bringForward"
        || name == "sendBackward")
        return selected >= 1;
    if (name == "lock" || name == "unlock") {
        if (!layer)
            return false;
        for (const auto &o : layer->selection()) {
            if (o->isVisible() && o->isLocked() == (name == "unlock"))
                return true;
        }
        return false;
    }
    if (name == "undo")
        return undoManager()->canUndo();
    if (name == "redo")
        return undoManager()->canRedo();
    if (name == "paste") {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return layer && data
               && (data->hasFormat(kVRDrawableObjectPasteboardType)
                   || (mainView() && VRDrawingView::holdsPictures(data)));
    }
    if (name == "newLayerWithSelection")
        return selected >= 1;
    const int index = metaObject()->indexOfSlot(name + "(QObject*)");
    return index >= 0;
}

std::optional<QByteArray> VRDrawingDocument::saveToSVG(const QUrl &,
                                                       const QVariantMap &options) const
{
    const QByteArray svg = m_drawing->SVGDataWithProperties(options);
    if (svg.isEmpty())
        return std::nullopt;
    return svg;
}

VRResult<void> VRDrawingDocument::readFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return VRError{
            QStringLiteral("The file “%1” could not be opened: %2").arg(path, file.errorString())};
    if (file.size() > VRArchiver::kMaximumFileSize)
        return VRError{QStringLiteral("The file is too large to be a Quintora drawing.")};
    // A large file's text is given back as it is read: with the text and the objects read from
    // it both held until the end, opening would take the file's size once more at its highest.
    bool readAgain = false;
    auto drawing = [&] {
        FileText text(file);
        return VRArchiver::drawingFromData(
            text.text(), readingProgressHandler(),
            [&text](qsizetype begin, qsizetype end) { return text.release(begin, end); },
            &readAgain);
    }();
    if (readAgain) {
        // A damaged file, found only after some of its text was given back: read whole again,
        // for the message a reading of the whole text gives.
        file.seek(0);
        drawing = VRArchiver::drawingFromData(FileText(file).text(), readingProgressHandler());
    }
    if (!drawing.ok())
        return VRError{drawing.errorMessage()};
    setDrawing(std::move(drawing.value()));
    undoManager()->markClean();
    m_readFromDisk = true;
    return {};
}

VRResult<void> VRDrawingDocument::writeToFile(const QString &path) const
{
    std::optional<QString> error;
    VRArchiver::writeDocument(*m_drawing,
                              [&](QByteArrayView text) { error = AtomicFile::write(path, text); });
    if (error)
        return VRError{QStringLiteral("The file “%1” could not be written: %2").arg(path, *error)};
    return {};
}

bool VRDrawingDocument::readFromURL(const QString &path, QString *errorMessage)
{
    const auto result = readFromFile(path);
    // Several files may be refused at once (a launch with many): each message names its file.
    if (!result.ok() && errorMessage) {
        const QString name = QFileInfo(path).fileName();
        *errorMessage = result.errorMessage().contains(name)
                            ? result.errorMessage()
                            : QStringLiteral("The document “%1” could not be opened. %2")
                                  .arg(name, result.errorMessage());
    }
    return result.ok();
}

QStringList VRDrawingDocument::withheldPictures() const
{
    QStringList found;
    std::function<void(const VRObjectList &)> walk = [&](const VRObjectList &objects) {
        for (const VRObjectRef &object : objects) {
            if (!object)
                continue;
            if (const auto *shape = dynamic_cast<const VRImageShape *>(object.get());
                shape && !shape->withheldPicture().isEmpty())
                found << shape->withheldPicture().description(
                    shape->stringForKey(QStringLiteral("ID")));
            if (const auto *shape = dynamic_cast<const QntImageShape *>(object.get());
                shape && !shape->withheldPicture().isEmpty()) {
                const QString title = shape->stringForKey(QStringLiteral("TITLE"));
                found << shape->withheldPicture().description(
                    title.isEmpty() ? shape->stringForKey(QStringLiteral("ID")) : title);
            }
            walk(object->parts());
        }
    };
    if (m_drawing) {
        for (int i = 0; i < m_drawing->countOfLayers(); ++i)
            if (const auto *layer =
                    dynamic_cast<const VRObjectOwnerLayer *>(m_drawing->objectInLayersAtIndex(i)))
                walk(layer->objects());
    }
    return found;
}

QString VRDrawingDocument::openingNotice() const
{
    const QStringList pictures = withheldPictures();
    if (pictures.isEmpty())
        return {};
    const QString name = QFileInfo(filePath()).fileName();
    const QString which = pictures.size() == 1
                              ? tr("its picture %1 is").arg(pictures.first())
                              : tr("its pictures %1 are").arg(pictures.join(QStringLiteral(", ")));
    return tr("“%1” was opened, but %2 too large to show: a placeholder stands in its place. "
              "Saving the document keeps the picture in the file as it was.")
        .arg(name, which);
}

bool VRDrawingDocument::writeToURL(const QString &path, QString *errorMessage)
{
    const auto result = writeToFile(path);
    if (!result.ok() && errorMessage)
        *errorMessage = result.errorMessage();
    return result.ok();
}

void VRDrawingDocument::undoableStep(const QString &actionName, const std::function<void()> &body,
                                     VRObjectDrawingLayer *selectionLayer)
{
    VRUndoManager *um = undoManager();
    um->beginUndoGrouping();
    if (selectionLayer)
        selectionLayer->recordSelectionForUndo();
    body();
    if (selectionLayer)
        selectionLayer->commitSelectionUndoWithActionName(actionName);
    um->endUndoGrouping();
    um->setActionName(actionName);
}

void VRDrawingDocument::addAndSelect(VRObjectDrawingLayer *layer, const VRObjectList &objects,
                                     const QString &actionName)
{
    undoableStep(
        actionName,
        [&] {
            layer->addObjectsFromArray(objects);
            layer->exchangeSelectionWithObjectsFromArray(objects);
        },
        layer);
}

bool VRDrawingDocument::forwardToView(const char *action, QObject *sender)
{
    QWidget *view = m_mainViewWidget;
    if (!view)
        return false;
    const QByteArray signature = QByteArray(action) + "(QObject*)";
    const int index = view->metaObject()->indexOfMethod(signature.constData());
    if (index < 0)
        return false;
    return view->metaObject()->method(index).invoke(view, Qt::DirectConnection,
                                                    Q_ARG(QObject *, sender));
}

void VRDrawingDocument::enlarge(int dx, int dy, bool shiftContent)
{
    const QRectF page = m_drawing->printInfo().imageablePageBounds();
    const QSizeF grow(dx * page.width(), dy * page.height());
    undoableStep(QStringLiteral("Enlarge Drawing"), [&] {
        const QSizeF size = m_drawing->drawingSize();
        m_drawing->setDrawingSize(
            QSizeF(size.width() + grow.width(), size.height() + grow.height()));
        if (shiftContent) {
            for (int i = 0; i < m_drawing->countOfLayers(); ++i) {
                if (auto *owner =
                        dynamic_cast<VRObjectOwnerLayer *>(m_drawing->objectInLayersAtIndex(i))) {
                    for (const auto &o : owner->objects())
                        o->moveBy(QPointF(grow.width(), grow.height()));
                }
            }
        }
    });
}

void VRDrawingDocument::enlargeRightAction(QObject *)
{
    enlarge(1, 0, false);
}

void VRDrawingDocument::enlargeLeftAction(QObject *)
{
    enlarge(1, 0, true);
}

void VRDrawingDocument::enlargeDownAction(QObject *)
{
    enlarge(0, 1, false);
}

void VRDrawingDocument::enlargeUpAction(QObject *)
{
    enlarge(0, 1, true);
}

void VRDrawingDocument::newLayerWithSelection(QObject *sender)
{
    if (forwardToView("newLayerWithSelection", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->countOfSelection() == 0)
        return;
    const VRObjectList moving = layer->selection();
    undoableStep(QStringLiteral("New Layer With Selection"), [&] {
        auto newLayer = std::make_shared<VRObjectDrawingLayer>();
        newLayer->setName(
            QStringLiteral("Layer %1")
                .arg(m_drawing->layersOfClass(VRObjectOwnerLayer::staticClass()).size() + 1));
        m_drawing->insertLayer(newLayer, std::max(0, m_drawing->indexOfLayer(layer)), false);
        layer->removeObjectsInArray(moving);
        newLayer->addObjectsFromArray(moving);
        m_drawing->setActiveLayer(newLayer.get());
        newLayer->exchangeSelectionWithObjectsFromArray(moving);
    });
}

void VRDrawingDocument::toggleGridVisible(QObject *sender)
{
    if (forwardToView("toggleGridVisible", sender))
        return;
    if (VRGridLayer *grid = m_drawing->gridLayer())
        grid->setVisible(!grid->isVisible());
}

void VRDrawingDocument::setShowPageBreaks(QObject *sender)
{
    if (forwardToView("setShowPageBreaks", sender))
        return;
    auto *action = qobject_cast<QAction *>(sender);
    m_drawing->setPageBreaksVisible(action ? action->isChecked() : !m_drawing->pageBreaksVisible());
}

void VRDrawingDocument::switchOnAutoRevertAction(QObject *sender)
{
    forwardToView("switchOnAutoRevertAction", sender);
}

void VRDrawingDocument::switchOffAutoRevertAction(QObject *sender)
{
    forwardToView("switchOffAutoRevertAction", sender);
}

void VRDrawingDocument::toggleAutoRevertAction(QObject *sender)
{
    forwardToView("toggleAutoRevertAction", sender);
}

void VRDrawingDocument::zoomToActualSize(QObject *sender)
{
    forwardToView("zoomToActualSize", sender);
}

#define VR_ALIGN_ACTION(Name, Value)                                                               \
    void VRDrawingDocument::Name(QObject *sender)                                                  \
    {                                                                                              \
        if (forwardToView(#Name, sender))                                                          \
            return;                                                                                \
        if (auto *layer = activeObjectLayer())                                                     \
            layer->alignSelection(VRObjectDrawingLayer::Alignment::Value);                         \
    }

VR_ALIGN_ACTION(alignLeftEdges, LeftEdges)
VR_ALIGN_ACTION(alignHorizontalCentres, HorizontalCentres)
VR_ALIGN_ACTION(alignRightEdges, RightEdges)
VR_ALIGN_ACTION(alignTopEdges, TopEdges)
VR_ALIGN_ACTION(alignVerticalCentres, VerticalCentres)
VR_ALIGN_ACTION(alignBottomEdges, BottomEdges)

void VRDrawingDocument::distributeVerticalSpace(QObject *sender)
{
    if (forwardToView("distributeVerticalSpace", sender))
        return;
    if (auto *layer = activeObjectLayer())
        layer->distributeSelection(Qt::Vertical);
}

void VRDrawingDocument::distributeHorizontalSpace(QObject *sender)
{
    if (forwardToView("distributeHorizontalSpace", sender))
        return;
    if (auto *layer = activeObjectLayer())
        layer->distributeSelection(Qt::Horizontal);
}

void VRDrawingDocument::selectDrawingTool(QObject *sender)
{
    forwardToView("selectDrawingTool", sender);
}

void VRDrawingDocument::undo(QObject *sender)
{
    if (!forwardToView("undo", sender))
        undoManager()->undo();
}

void VRDrawingDocument::redo(QObject *sender)
{
    if (!forwardToView("redo", sender))
        undoManager()->redo();
}

namespace {
void putOnClipboard(const VRObjectList &objects)
{
    auto *data = new QMimeData;
    data->setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(objects));
    if (objects.size() == 1)
        objects.first()->writeSupplementaryDataToPasteboard(data);
    QGuiApplication::clipboard()->setMimeData(data);
}
} // namespace

void VRDrawingDocument::copy(QObject *sender)
{
    if (forwardToView("copy", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer || layer->countOfSelection() == 0)
        return;
    putOnClipboard(layer->selection());
}

void VRDrawingDocument::cut(QObject *sender)
{
    if (forwardToView("cut", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    // Locked objects stay, so only what goes away goes onto the clipboard.
    const VRObjectList leaving = layer ? layer->selectedAvailableObjects() : VRObjectList();
    if (leaving.isEmpty())
        return;
    putOnClipboard(leaving);
    undoableStep(QStringLiteral("Cut"), [&] { layer->deleteSelection(); });
}

void VRDrawingDocument::paste(QObject *sender)
{
    if (forwardToView("paste", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    if (objects.isEmpty()) {
        if (mainView())
            mainView()->pastePictures(data);
        return;
    }
    // Pasted objects are not in a drawing yet, so moving them records nothing. Routes the
    // router laid come as they were copied, moved with the rest.
    for (const auto &o : objects)
        if (o->isKindOf<QntConnector>())
            static_cast<QntConnector &>(*o).keepLaidRoute();
    const double offset = kPasteOffset * (m_pastesOfClipboard + 1);
    // Each paste lands a step further; never beyond the coordinates a drawing holds.
    if (drawing()->refusesObjectsTooFarOut(objects, QPointF(offset, offset)))
        return;
    ++m_pastesOfClipboard;
    for (const auto &o : objects)
        o->moveBy(QPointF(offset, offset));
    QntElement::separateHeldCopies({objects}, layer);
    addAndSelect(layer, objects, QStringLiteral("Paste"));
}

void VRDrawingDocument::deleteSelection(QObject *sender)
{
    if (forwardToView("deleteSelection", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->deleteSelection();
}

void VRDrawingDocument::selectAll(QObject *sender)
{
    if (forwardToView("selectAll", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->selectAll();
}

void VRDrawingDocument::duplicate(QObject *sender)
{
    if (forwardToView("duplicate", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    const VRObjectList originals = layer ? layer->selectedAvailableObjects() : VRObjectList();
    if (originals.isEmpty())
        return;
    if (drawing()->refusesObjectsTooFarOut(originals, QPointF(kPasteOffset, kPasteOffset)))
        return;
    const VRObjectList copies =
        layer->linearDuplicate(originals, QSizeF(kPasteOffset, kPasteOffset), 1);
    addAndSelect(layer, copies, QStringLiteral("Duplicate"));
}

void VRDrawingDocument::group(QObject *sender)
{
    if (forwardToView("group", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    VRObjectList members;
    int top = -1;
    for (const auto &o : layer->objects()) {
        if (layer->isSelectedObject(*o) && o->isVisible() && !o->isLocked()) {
            members.append(o);
            top = layer->indexOfObject(o.get());
        }
    }
    if (members.size() < 2)
        return;
    undoableStep(
        QStringLiteral("Group"),
        [&] {
            layer->removeObjectsInArray(members);
            auto group = VRShapeGroup::groupWithObjects(members);
            layer->insertObjects({group}, top - int(members.size()) + 1);
            layer->exchangeSelectionWithObjectsFromArray({group});
        },
        layer);
}

void VRDrawingDocument::ungroup(QObject *sender)
{
    if (forwardToView("ungroup", sender))
        return;
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!layer)
        return;
    VRObjectList groups;
    for (const auto &o : layer->selectedAvailableObjects()) {
        if (o->isMemberOf<VRShapeGroup>())
            groups.append(o);
    }
    if (groups.isEmpty())
        return;
    undoableStep(
        QStringLiteral("Ungroup"),
        [&] {
            VRObjectList members;
            for (const auto &g : groups) {
                auto group = std::static_pointer_cast<VRShapeGroup>(g);
                members.append(group->groupObjects());
                group->ungroupToLayer(*layer);
            }
            layer->exchangeSelectionWithObjectsFromArray(members);
        },
        layer);
}

void VRDrawingDocument::bringToFront(QObject *sender)
{
    if (forwardToView("bringToFront", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->restackSelection(VRObjectDrawingLayer::Restacking::ToFront);
}

void VRDrawingDocument::bringForward(QObject *sender)
{
    if (forwardToView("bringForward", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->restackSelection(VRObjectDrawingLayer::Restacking::Forward);
}

void VRDrawingDocument::sendBackward(QObject *sender)
{
    if (forwardToView("sendBackward", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->restackSelection(VRObjectDrawingLayer::Restacking::Backward);
}

void VRDrawingDocument::sendToBack(QObject *sender)
{
    if (forwardToView("sendToBack", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->restackSelection(VRObjectDrawingLayer::Restacking::ToBack);
}

void VRDrawingDocument::lock(QObject *sender)
{
    if (forwardToView("lock", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->setSelectionLocked(true);
}

void VRDrawingDocument::unlock(QObject *sender)
{
    if (forwardToView("unlock", sender))
        return;
    if (VRObjectDrawingLayer *layer = activeObjectLayer())
        layer->setSelectionLocked(false);
}

void VRDrawingDocument::zoomIn(QObject *sender)
{
    forwardToView("zoomIn", sender);
}

void VRDrawingDocument::zoomOut(QObject *sender)
{
    forwardToView("zoomOut", sender);
}

void VRDrawingDocument::zoomToFit(QObject *sender)
{
    forwardToView("zoomToFit", sender);
}
