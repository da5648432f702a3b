#include "inspectors/QntContextTextEditor.h"

#include "framework/model/VRTextBlock.h"

#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntContextMenu.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/QntMatrix.h"
#include "inspectors/QntViewForAXAttachedWindow.h"
#include "inspectors/QntTextFieldCell.h"

#include "app/common/QntConstants.h"
#include "framework/base/VRConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextShape.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/QntContextTextEditorView.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "platform/MenuAdditions.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <cmath>

const QString kQntContextTextEditorEnableBlackBackground =
    QStringLiteral("QntContextTextEditorEnableBlackBackground");

namespace {
constexpr int kBoldMask = 2;
constexpr int kItalicMask = 1;
constexpr int kUnboldMask = 4;
constexpr int kUnitalicMask = 0x01000000;

// Alignment numbers: left 0, right 1, centre 2; the matrix's columns are Left, Center, Right.
int alignmentOfColumn(int column)
{
    switch (column) {
    case 0: return 0;
    case 1: return 2;
    case 2: return 1;
    default: return -1;
    }
}

int columnOfAlignment(int alignment)
{
    switch (alignment) {
    case 0: return 0;
    case 1: return 2;
    case 2: return 1;
    default: return -1;
    }
}

} // namespace

// Lines of text set left, centred or right, in white.
QIcon QntContextTextEditor::alignmentIcon(int column)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    const double widths[4] = {24, 16, 24, 12};
    for (int line = 0; line < 4; ++line) {
        const double w = widths[line];
        const double x = column == 0 ? 4 : column == 1 ? 16 - w / 2 : 28 - w;
        const double y = 7 + line * 6;
        p.drawLine(QPointF(x, y), QPointF(x + w, y));
    }
    return QIcon(pixmap);
}

namespace {
QntButtonCell *toggleCell(QWidget *parent, const QString &title, const QString &text,
                          const QFont &font)
{
    QntButtonCell *cell = QntButtonCell::bordered(parent, title, title, QSize(26, 22));
    cell->setText(text);
    cell->setCheckable(true);
    cell->setFont(font);
    return cell;
}

struct Run {
    int from, to;
    QTextCharFormat format;
};

// The runs of text a cursor's selection covers, each cut to the selection.
std::vector<Run> runsOf(const QTextCursor &cursor)
{
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QTextDocument *document = cursor.document();
    std::vector<Run> runs;
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(start, fragment.position());
            const int to = std::min(end, fragment.position() + fragment.length());
            if (from < to)
                runs.push_back({from, to, fragment.charFormat()});
        }
    }
    return runs;
}

// Applies a format change to every run of the cursor's selection, each run converted on its own.
void convertRuns(QTextCursor cursor,
                 const std::function<QTextCharFormat(const QTextCharFormat &)> &convert)
{
    QTextDocument *document = cursor.document();
    for (const Run &run : runsOf(cursor)) {
        QTextCursor c(document);
        c.setPosition(run.from);
        c.setPosition(run.to, QTextCursor::KeepAnchor);
        c.setCharFormat(convert(run.format));
    }
}
} // namespace

QntContextTextEditor::QntContextTextEditor(const QString &windowNibName, QObject *parent)
    : VRInspectorBase(windowNibName, parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(
        kQntUpdateTextEditorControlsNotification, nullptr, [this](const Notification &n) {
            if (_contextObject && n.object == _contextObject.get() && _attachedWindow)
                setupTextAttributesControls();
        }));
    m_observers.push_back(
        center.addObserver(kQntCloseAttachedTextEditorNotification, nullptr,
                           [this](const Notification &) { closeAttachedWindows(); }));
}

QntContextTextEditor::~QntContextTextEditor()
{
    m_observers.clear();
    if (_attachedWindow)
        _attachedWindow->close();
    delete _view;
    delete _view2;
}

void QntContextTextEditor::addCancelAndOk(QHBoxLayout *row, const std::function<void()> &cancel,
                                          const std::function<void()> &ok)
{
    auto *cancelButton = new QPushButton(tr("Cancel"), _view);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto *okButton = new QPushButton(tr("OK"), _view);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    row->addWidget(cancelButton);
    row->addWidget(okButton);
    connect(cancelButton, &QPushButton::clicked, this, cancel);
    connect(okButton, &QPushButton::clicked, this, ok);
    cancelButton->setToolTip(tr("Discard every change (Escape)"));
    okButton->setToolTip(tr("Keep the text (Ctrl+Return)"));
    m_cancelByKey = [cancel] {
        cancel();
        NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification);
    };
    m_okByKey = ok;
    // Watched before the text view types a new line for Ctrl+Return, and before the bar's
    // escape-closing view would close it keeping the typing.
    _view->installEventFilter(this);
    if (_editorView)
        _editorView->textEditingView()->installEventFilter(this);
}

bool QntContextTextEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier && m_cancelByKey) {
            const std::function<void()> cancel = m_cancelByKey;
            cancel();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && mods == Qt::ControlModifier && m_okByKey) {
            const std::function<void()> ok = m_okByKey;
            ok();
            return true;
        }
    }
    return VRInspectorBase::eventFilter(watched, event);
}

int QntContextTextEditor::buildView(const QString &sizeMenuTitle)
{
    auto *view = new QntEscapedView;
    view->setObjectName(QStringLiteral("textEditorView"));
    view->setStyleSheet(QStringLiteral(
        "QLabel, QCheckBox { color: white; }"
        "QToolButton#fontFamilyPopUpButton { color: white; background: rgba(57, 57, 57, 230);"
        " border: 1px solid rgb(191, 194, 201); border-radius: 3px; padding: 2px 6px; }"
        "QTextEdit { background: white; color: black; }"));
    _view = view;
    QntViewForAXAttachedWindow::fillBehind(view);
    auto *grid = new QGridLayout(view);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);

    auto *controls = new QHBoxLayout;
    controls->setSpacing(4);
    _fontFamilyPopUpButton = new QToolButton(view);
    _fontFamilyPopUpButton->setObjectName(QStringLiteral("fontFamilyPopUpButton"));
    _fontFamilyPopUpButton->setPopupMode(QToolButton::InstantPopup);
    _fontFamilyPopUpButton->setMinimumWidth(130);
    _fontFamilyMenu = new QMenu(_fontFamilyPopUpButton);
    populateMenuWithFonts(_fontFamilyMenu, [this](const QString &name) { fontFamilyAction(name); });
    _fontFamilyPopUpButton->setMenu(_fontFamilyMenu);
    controls->addWidget(_fontFamilyPopUpButton);

    QFont bold = view->font();
    bold.setBold(true);
    QFont italic = view->font();
    italic.setItalic(true);
    QFont underline = view->font();
    underline.setUnderline(true);
    _typefaceCells[kBoldCell] = toggleCell(view, QStringLiteral("Bold"), QStringLiteral("B"), bold);
    _typefaceCells[kItalicCell] =
        toggleCell(view, QStringLiteral("Italic"), QStringLiteral("I"), italic);
    _typefaceCells[kUnderlineCell] =
        toggleCell(view, QStringLiteral("Underline"), QStringLiteral("U"), underline);
    auto *typefaceMatrix = new QntMatrix(view);
    typefaceMatrix->setObjectName(QStringLiteral("typefaceMatrix"));
    for (QntButtonCell *cell : _typefaceCells) {
        typefaceMatrix->addCell(cell);
        connect(cell, &QAbstractButton::clicked, this, [this] { fontTypefaceAction(); });
    }
    connect(typefaceMatrix, &QntMatrix::cellClicked, this, [this] { fontTypefaceAction(); });
    controls->addWidget(typefaceMatrix);

    _fontSizeTextField = new QntTextFieldCell(view);
    _fontSizeTextField->setObjectName(QStringLiteral("fontSizeTextField"));
    _fontSizeTextField->setFixedWidth(44);
    _fontSizeTextField->setAlignment(Qt::AlignRight);
    connect(_fontSizeTextField, &QLineEdit::editingFinished, this, [this] {
        if (_fontSizeTextField->isModified()) {
            _fontSizeTextField->setModified(false);
            fontSizeTextFieldAction();
        }
    });
    controls->addWidget(_fontSizeTextField);
    _fontSizeMenu = new QMenu(view);
    _fontSizeMenu->setTitle(sizeMenuTitle);
    for (int size : {8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 36, 48, 64, 72}) {
        QAction *item = _fontSizeMenu->addAction(QString::number(size));
        connect(item, &QAction::triggered, this, [this, size] {
            _fontSizeTextField->setText(QString::number(size));
            fontSizeTextFieldAction();
        });
    }
    _fontSizeMenuButton = new QntButtonCell(view);
    _fontSizeMenuButton->setObjectName(QStringLiteral("fontSizeMenuButton"));
    _fontSizeMenuButton->setText(QStringLiteral("\u25BE"));
    _fontSizeMenuButton->setToolTip(tr("Font Size"));
    _fontSizeMenuButton->setBordered(true);
    _fontSizeMenuButton->setFixedSize(20, 22);
    connect(_fontSizeMenuButton, &QAbstractButton::clicked, this, [this] { fontSizeMenuAction(); });
    controls->addWidget(_fontSizeMenuButton);

    _colorWell = new QntColorWell(view);
    _colorWell->setObjectName(QStringLiteral("textColorWell"));
    _colorWell->setFixedSize(34, 22);
    connect(_colorWell, &QntColorWell::colorChanged, this,
            [this](const QColor &colour) { colorMatrixAction(colour); });
    controls->addWidget(_colorWell);
    _showColorMatrixButton = new QntButtonCell(view);
    _showColorMatrixButton->setObjectName(QStringLiteral("showColorMatrixButton"));
    _showColorMatrixButton->setToolTip(tr("Text Colour"));
    _showColorMatrixButton->setBordered(true);
    _showColorMatrixButton->setFixedSize(34, 22);
    connect(_showColorMatrixButton, &QAbstractButton::clicked, this,
            [this] { showColorMatrixAction(); });
    controls->addWidget(_showColorMatrixButton);

    static const char *const alignTitles[3] = {"Left", "Center", "Right"};
    for (int column = 0; column < 3; ++column) {
        _alignCells[column] =
            toggleCell(view, QString::fromLatin1(alignTitles[column]), QString(), view->font());
        _alignCells[column]->setIcon(alignmentIcon(column));
        _alignCells[column]->setIconSize(QSize(16, 16));
        controls->addWidget(_alignCells[column]);
        connect(_alignCells[column], &QAbstractButton::clicked, this,
                [this, column] { alignAction(column); });
    }
    controls->addStretch(1);
    grid->addLayout(controls, 0, 0, 1, 4);

    _editorView = new QntContextTextEditorView(view);
    _editorView->setObjectName(QStringLiteral("editorView"));
    _editorView->setMinimumSize(420, 90);
    _editorView->setMaximumHeight(140);
    grid->addWidget(_editorView, 1, 0, 1, 4);
    QTextEdit *text = _editorView->textEditingView();
    connect(text, &QTextEdit::cursorPositionChanged, this, [this] {
        if (!_updating && _attachedWindow
            && !_editorView->textEditingView()->toPlainText().isEmpty())
            updateTextAttributesControls();
    });

    auto *switches = new QHBoxLayout;
    _blackBackgroundCheckbox = new QCheckBox(tr("Black background"), view);
    _blackBackgroundCheckbox->setObjectName(QStringLiteral("blackBackgroundCheckbox"));
    connect(_blackBackgroundCheckbox, &QCheckBox::clicked, this,
            [this] { blackBackgroundCheckboxAction(); });
    _saveTextPropertiesCheckbox = new QCheckBox(tr("Save text properties"), view);
    _saveTextPropertiesCheckbox->setObjectName(QStringLiteral("saveTextPropertiesCheckbox"));
    connect(_saveTextPropertiesCheckbox, &QCheckBox::clicked, this,
            [this] { saveTextPropertiesCheckboxAction(); });
    switches->addWidget(_blackBackgroundCheckbox);
    switches->addWidget(_saveTextPropertiesCheckbox);
    switches->addStretch(1);
    grid->addLayout(switches, 2, 0, 1, 4);
    return 3;
}

void QntContextTextEditor::populateMenuWithFonts(QMenu *menu,
                                                 const std::function<void(const QString &)> &act)
{
    if (!menu)
        return;
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    for (const QString &family : std::as_const(families)) {
        if (QFontDatabase::isPrivateFamily(family))
            continue;
        const QStringList styles = QFontDatabase::styles(family);
        if (styles.isEmpty())
            continue;
        QFont titleFont(family);
        titleFont.setPointSizeF(QFont().pointSizeF());
        if (styles.size() == 1) {
            QAction *item = menu->addAction(family);
            item->setData(family);
            item->setFont(titleFont);
            QObject::connect(item, &QAction::triggered, menu, [act, family] { act(family); });
            continue;
        }
        QMenu *sub = menu->addMenu(family);
        sub->menuAction()->setData(family + QLatin1Char('-') + styles.first());
        sub->menuAction()->setFont(titleFont);
        for (const QString &style : styles) {
            const QString name = family + QLatin1Char('-') + style;
            QAction *item = sub->addAction(style);
            item->setData(name);
            item->setFont(QFontDatabase::font(family, style, titleFont.pointSize()));
            QObject::connect(item, &QAction::triggered, menu, [act, name] { act(name); });
        }
    }
}

bool QntContextTextEditor::fontForName(const QString &name, double size, QFont *font)
{
    if (name.isEmpty())
        return false;
    const QStringList families = QFontDatabase::families();
    const auto withSize = [size](QFont f) {
        if (size > 0)
            f.setPointSizeF(size);
        return f;
    };
    // A family, or a name the system's font configuration stands in for (Helvetica, Times).
    const auto known = [&families](const QString &family) {
        if (families.contains(family))
            return true;
        static const QString fallback =
            QFontInfo(QFont(QStringLiteral("qnt-no-such-family"))).family();
        const QString resolved = QFontInfo(QFont(family)).family();
        return !resolved.isEmpty() && resolved != fallback;
    };
    if (known(name)) {
        *font = withSize(QFont(name));
        return true;
    }
    const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash > 0) {
        const QString family = name.left(dash);
        const QString style = name.mid(dash + 1);
        if (families.contains(family) && QFontDatabase::styles(family).contains(style)) {
            QFont f = QFontDatabase::font(family, style, std::max(1, int(std::lround(size))));
            *font = withSize(f);
            return true;
        }
    }
    const qsizetype first = name.indexOf(QLatin1Char('-'));
    if (first > 0 && known(name.left(first))) {
        *font = withSize(QFont(name.left(first)));
        return true;
    }
    return false;
}

void QntContextTextEditor::showEditorForSelection(const VRObjectList &selection)
{
    if (selection.size() != 1) {
        closeAttachedWindows();
        contextMenuDidClose();
        return;
    }
    setContextObject(selection.first());
    VRDrawing *drawing = _contextObject ? _contextObject->drawing() : nullptr;
    VRDrawingDocument *document = currentDocument();
    VRDrawingView *mainView = document ? document->mainView() : nullptr;
    if (drawing && mainView && mainView->inlineEditor())
        return;
    const QPointF point = menuPosition();
    createAttachedWindowAtPoint(point);
}

void QntContextTextEditor::placeAttachedWindowInScreenFrame(AXAttachedWindow *window, QPointF point,
                                                            int)
{
    // The mode inspector's placement keeps the bar inside the screen that holds the point.
    if (window && _parentModeInspector)
        _parentModeInspector->placeAttachedWindowInScreenFrame(window, point, _arrowPosition);
}

void QntContextTextEditor::closeAttachedWindows()
{
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->closePopover();
    if (!_attachedWindow)
        return;
    AXAttachedWindow *window = _attachedWindow;
    _attachedWindow = nullptr;
    window->finishSlide();
    // The bar's views live on for the next opening, showing the first view again.
    if (_view) {
        _view->setGraphicsEffect(nullptr);
        _view->setParent(nullptr);
    }
    if (_view2) {
        _view2->hide();
        _view2->setParent(nullptr);
    }
    window->hide();
    window->deleteLater();
    NotificationCenter::defaultCenter().post(kQntHideInfoPanelNotification, this, {});
}

void QntContextTextEditor::slideToView2Action()
{
    if (!_attachedWindow || !_view2)
        return;
    _attachedWindow->setSubView2(_view2);
    const QPointer<QntContextTextEditor> bar(this);
    _attachedWindow->slideToView2([bar](AXAttachedWindow::FirstViewEffect effect) {
        if (bar)
            bar->animationDidEnd(effect);
    });
}

void QntContextTextEditor::slideToView1Action()
{
    if (!_attachedWindow || !_view2)
        return;
    _attachedWindow->setSubView2(_view2);
    const QPointer<QntContextTextEditor> bar(this);
    _attachedWindow->slideToView1([bar](AXAttachedWindow::FirstViewEffect effect) {
        if (bar)
            bar->animationDidEnd(effect);
    });
}

void QntContextTextEditor::animationDidEnd(AXAttachedWindow::FirstViewEffect effect)
{
    if (effect == AXAttachedWindow::FirstViewEffect::FadeIn) {
        if (_view2)
            _view2->hide();
    } else if (_notesTextField && _notesTextField->isVisible()) {
        _notesTextField->setFocus(Qt::OtherFocusReason);
    }
    if (_attachedWindow)
        _attachedWindow->redisplayLater();
}

void QntContextTextEditor::contextMenuDidClose()
{
    if (_contextObject)
        _contextObject->clearTextEditorRef();
    _contextObject.reset();
}

QTextEdit *QntContextTextEditor::targetTextView() const
{
    if (UserDefaults::standardUserDefaults().boolForKey(kQntEnableInlineEditor)) {
        VRDrawingDocument *document = currentDocument();
        VRDrawingView *view = document ? document->mainView() : nullptr;
        if (!view || !_contextObject)
            return nullptr;
        if (!_contextObject->isKindOf<QntElement>() && !_contextObject->isKindOf<QntConnector>()
            && !_contextObject->isKindOf<VRTextShape>())
            return nullptr;
        return view->inlineEditor();
    }
    return _editorView ? _editorView->textEditingView() : nullptr;
}

void QntContextTextEditor::storeDefault(const QString &key, const QVariant &value) const
{
    UserDefaults::standardUserDefaults().setObject(value, key);
}

VRObjectList QntContextTextEditor::objectsForSeveralPath() const
{
    const VRObjectList objects = objectsInSelectionOfClasses(objectsClasses());
    if (multipleTextCellsSelectionMode() == 1) {
        for (const VRObjectRef &object : objects)
            if (object && object->isKindOf<QntElementTable>())
                static_cast<QntElementTable *>(object.get())->selectAllTextCells();
    }
    return objects;
}

namespace {
// Several objects: a text change for each element, table cell and connector, as one undo step.
struct SeveralChange {
    std::function<void(QntElement &)> element;
    std::function<void(VRTextBlock &)> cell;
    std::function<void(QntConnector &)> connector;
};

void applySeveral(const VRObjectList &objects, const SeveralChange &change, VRUndoManager *undo)
{
    if (undo)
        undo->beginUndoGrouping();
    for (const VRObjectRef &object : objects) {
        if (!object)
            continue;
        if (object->isKindOf<QntElementTable>()) {
            for (const VRObjectRef &c : static_cast<QntElementTable *>(object.get())->selection()) {
                auto *cell = static_cast<QntTextCell *>(c.get());
                VRTextBlock block = cell->textBlock();
                change.cell(block);
                cell->setTextBlock(block);
            }
            object->notifyVisualChange();
        } else if (object->isKindOf<QntElement>()) {
            change.element(static_cast<QntElement &>(*object));
        } else if (object->isKindOf<QntConnector>()) {
            change.connector(static_cast<QntConnector &>(*object));
        }
    }
    if (undo) {
        undo->setActionName(QStringLiteral("Changing text attributes"));
        undo->endUndoGrouping();
    }
}

// Formats the whole rich text of a block the way a run conversion would.
void convertBlockText(VRTextBlock &block,
                      const std::function<QTextCharFormat(const QTextCharFormat &)> &convert)
{
    if (block.isEmpty())
        return;
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertFragment(block.fragment());
    cursor.select(QTextCursor::Document);
    convertRuns(cursor, convert);
    block.setFragment(QTextDocumentFragment(&document));
}
} // namespace

void QntContextTextEditor::changeAttributesOfTarget(const QString &actionName,
                                                    const std::function<void()> &)
{
    QTextEdit *target = targetTextView();
    // Nothing to change, nothing recorded.
    if (!target)
        return;
    if (_editorView && target == _editorView->textEditingView())
        _editorView->applyFormattingChange(actionName,
                                           [this, target] { applyFormatToTarget(target); });
    else
        applyFormatToTarget(target);
}

void QntContextTextEditor::applyFormatToTarget(QTextEdit *target)
{
    QTextCursor cursor = target->textCursor();
    const auto convert = [this](const QTextCharFormat &f) { return convertAttributes(f); };
    cursor.beginEditBlock();
    if (cursor.hasSelection()) {
        convertRuns(cursor, convert);
        cursor.endEditBlock();
        return;
    }
    // No selection: the whole text and what is typed next.
    QTextCursor all(target->document());
    all.select(QTextCursor::Document);
    convertRuns(all, convert);
    cursor.endEditBlock();
    target->setCurrentCharFormat(convertAttributes(target->currentCharFormat()));
}

QTextCharFormat QntContextTextEditor::convertAttributes(const QTextCharFormat &attributes) const
{
    QTextCharFormat format = attributes;
    switch (_formattingAction) {
    case kFamily: {
        QFont font;
        const double size =
            attributes.fontPointSize() > 0 ? attributes.fontPointSize() : QFont().pointSizeF();
        if (!_fontName.isEmpty() && fontForName(_fontName, size, &font)) {
            format.setFontFamilies(QStringList{font.family()});
            format.setFontStyleName(font.styleName());
            if (!font.styleName().isEmpty()) {
                format.setFontWeight(font.weight());
                format.setFontItalic(font.italic());
            }
        }
        break;
    }
    case kTypeface: {
        int mask = 0;
        bool underlined = false;
        const_cast<QntContextTextEditor *>(this)->typefaceAttributesForMatrix(&mask, &underlined);
        if (mask & kBoldMask)
            format.setFontWeight(QFont::Bold);
        else if (mask & kUnboldMask)
            format.setFontWeight(QFont::Normal);
        if (mask & kItalicMask)
            format.setFontItalic(true);
        else if (mask & kUnitalicMask)
            format.setFontItalic(false);
        format.setFontStyleName(QString());
        format.setFontUnderline(underlined);
        break;
    }
    case kSize: {
        bool ok = false;
        const double size = QLocale().toDouble(_fontSizeTextField->text(), &ok);
        if (ok && std::isfinite(size))
            format.setFontPointSize(std::clamp(size, 1.0, 1000.0));
        break;
    }
    case kColour:
        if (_appliedColor.isValid())
            format.setForeground(_appliedColor);
        break;
    default: break;
    }
    return format;
}

void QntContextTextEditor::typefaceAttributesForMatrix(int *traitMask, bool *underlined)
{
    int mask = 0;
    bool flag = false;
    const bool store =
        oneObjectPath()
        && UserDefaults::standardUserDefaults().boolForKey(QntContextTextEditorSaveTextProperties);
    if (_typefaceCells[kBoldCell]) {
        const bool bold = _typefaceCells[kBoldCell]->isChecked();
        const bool italic = _typefaceCells[kItalicCell]->isChecked();
        flag = _typefaceCells[kUnderlineCell]->isChecked();
        mask |= bold ? kBoldMask : kUnboldMask;
        mask |= italic ? kItalicMask : kUnitalicMask;
        if (store) {
            storeDefault(QntContextTextEditorFontBold, qint64(bold ? 2 : -1));
            storeDefault(QntContextTextEditorFontItalic, qint64(italic ? 1 : -1));
            storeDefault(QntContextTextEditorFontUnderline, qint64(flag ? 1 : 0));
        }
    }
    *traitMask = mask;
    *underlined = flag;
}

void QntContextTextEditor::fontFamilyAction(const QString &fontName)
{
    _formattingAction = kFamily;
    if (!fontName.isEmpty())
        _fontName = fontName;
    if (oneObjectPath()) {
        changeAttributesOfTarget(QStringLiteral("Changing text attributes"), {});
        if (UserDefaults::standardUserDefaults().boolForKey(QntContextTextEditorSaveTextProperties))
            storeDefault(QntContextTextEditorFontFamily, _fontName);
        _formattingAction = kNone;
    } else {
        QFont font;
        const QString family = fontForName(_fontName, 0, &font) ? font.family() : _fontName;
        const auto convert = [this](const QTextCharFormat &f) { return convertAttributes(f); };
        applySeveral(objectsForSeveralPath(),
                     {[family](QntElement &e) { e.setTextFontFamily(family); },
                      [family, convert](VRTextBlock &b) {
                          QFont f = b.font();
                          f.setFamily(family);
                          b.setFont(f);
                          convertBlockText(b, convert);
                      },
                      [family](QntConnector &c) { c.setTextFontFamily(family); }},
                     currentDrawing() ? currentDrawing()->undoManager() : nullptr);
    }
    updateTextAttributesControls();
}

void QntContextTextEditor::fontTypefaceAction()
{
    _formattingAction = kTypeface;
    if (oneObjectPath()) {
        changeAttributesOfTarget(QStringLiteral("Changing text attributes"), {});
        _formattingAction = kNone;
        return;
    }
    int mask = 0;
    bool underlined = false;
    typefaceAttributesForMatrix(&mask, &underlined);
    const auto convert = [this](const QTextCharFormat &f) { return convertAttributes(f); };
    applySeveral(objectsForSeveralPath(),
                 {[mask, underlined](QntElement &e) { e.setTextFontTypeface(mask, underlined); },
                  [mask, underlined, convert](VRTextBlock &b) {
                      b.setFont(VRTextBlock::fontWithTraits(b.font(), mask, underlined));
                      convertBlockText(b, convert);
                  },
                  [mask, underlined](QntConnector &c) { c.setTextFontTypeface(mask, underlined); }},
                 currentDrawing() ? currentDrawing()->undoManager() : nullptr);
}

void QntContextTextEditor::fontSizeMenuAction()
{
    if (_fontSizeMenu && _fontSizeMenuButton)
        MenuAdditions::popUpMenu(_fontSizeMenu, _fontSizeMenuButton, false);
}

void QntContextTextEditor::fontSizeTextFieldAction()
{
    bool ok = false;
    const double typed = QLocale().toDouble(_fontSizeTextField->text(), &ok);
    if (!ok || !std::isfinite(typed) || typed <= 0) {
        // Not a size: show the size of the text again.
        updateTextAttributesControls();
        return;
    }
    const double size = std::clamp(typed, 1.0, 1000.0);
    _fontSizeTextField->setText(QLocale().toString(size, 'g', 6));
    _formattingAction = kSize;
    if (oneObjectPath()) {
        changeAttributesOfTarget(QStringLiteral("Changing text attributes"), {});
        if (UserDefaults::standardUserDefaults().boolForKey(QntContextTextEditorSaveTextProperties))
            storeDefault(QntContextTextEditorFontSize, size);
        _formattingAction = kNone;
        return;
    }
    const auto convert = [this](const QTextCharFormat &f) { return convertAttributes(f); };
    applySeveral(objectsForSeveralPath(),
                 {[size](QntElement &e) { e.setTextFontSize(size); },
                  [size, convert](VRTextBlock &b) {
                      QFont f = b.font();
                      f.setPointSizeF(size);
                      b.setFont(f);
                      convertBlockText(b, convert);
                  },
                  [size](QntConnector &c) {
                      c.setFontSize(size);
                      c.textDidChange();
                  }},
                 currentDrawing() ? currentDrawing()->undoManager() : nullptr);
}

void QntContextTextEditor::colorMatrixAction(const QColor &colour)
{
    if (!colour.isValid())
        return;
    _formattingAction = kColour;
    _appliedColor = colour;
    updateSelectColorButton(colour);
    if (oneObjectPath()) {
        changeAttributesOfTarget(QStringLiteral("Changing text attributes"), {});
        _formattingAction = kNone;
        if (_attachedWindow)
            _attachedWindow->orderFront(true);
        return;
    }
    // Runs with a colour of their own take the new colour too, as in the one-object path;
    // otherwise text typed in such a run would keep its old colour.
    const auto convert = [this](const QTextCharFormat &f) { return convertAttributes(f); };
    applySeveral(objectsForSeveralPath(),
                 {[colour, convert](QntElement &e) {
                      e.setTextColor(colour);
                      if (QntTextShape *text = e.text()) {
                          VRTextBlock block = text->textBlock();
                          convertBlockText(block, convert);
                          text->setTextBlock(block);
                      }
                  },
                  [colour, convert](VRTextBlock &b) {
                      b.setColour(colour);
                      convertBlockText(b, convert);
                  },
                  [colour, convert](QntConnector &c) {
                      c.setTextColour(colour);
                      VRTextBlock label = c.label();
                      convertBlockText(label, convert);
                      c.setLabel(label);
                      c.textDidChange();
                  }},
                 currentDrawing() ? currentDrawing()->undoManager() : nullptr);
}

void QntContextTextEditor::alignAction(int column)
{
    const int value = alignmentOfColumn(column);
    for (int c = 0; c < 3; ++c)
        _alignCells[c]->setChecked(c == column && value >= 0);
    if (value < 0)
        return;
    if (oneObjectPath()) {
        QTextEdit *target = targetTextView();
        if (!target)
            return;
        const auto align = [target, value] {
            QTextCursor cursor = target->textCursor();
            if (!cursor.hasSelection())
                cursor.select(QTextCursor::Document);
            QTextBlockFormat format;
            format.setAlignment(VRTextBlock::qtAlignment(value));
            cursor.mergeBlockFormat(format);
            target->setAlignment(VRTextBlock::qtAlignment(value));
        };
        if (_editorView && target == _editorView->textEditingView())
            _editorView->applyFormattingChange(QStringLiteral("Changing text attributes"), align);
        else
            align();
        if (UserDefaults::standardUserDefaults().boolForKey(QntContextTextEditorSaveTextProperties))
            storeDefault(QntContextTextEditorAlign, qint64(value));
        return;
    }
    applySeveral(objectsForSeveralPath(),
                 {[value](QntElement &e) { e.setTextAlign(value); },
                  [value](VRTextBlock &b) { b.setAlignment(value); },
                  [value](QntConnector &c) {
                      c.setTextAlign(value);
                      c.textDidChange();
                  }},
                 currentDrawing() ? currentDrawing()->undoManager() : nullptr);
}

void QntContextTextEditor::fontTypefaceApplyToAllText()
{
    QTextEdit *text = _editorView ? _editorView->textEditingView() : nullptr;
    if (!text)
        return;
    _formattingAction = kTypeface;
    _editorView->applyFormattingChange(QStringLiteral("Changing text attributes"), [this, text] {
        QTextCursor all(text->document());
        all.select(QTextCursor::Document);
        QFont font;
        const double size = QLocale().toDouble(_fontSizeTextField->text());
        if (fontForName(_fontFamilyPopUpButton->text(), size, &font)) {
            QTextCharFormat format;
            format.setFontFamilies(QStringList{font.family()});
            if (size > 0)
                format.setFontPointSize(size);
            all.mergeCharFormat(format);
        }
        convertRuns(all, [this](const QTextCharFormat &f) { return convertAttributes(f); });
    });
    _formattingAction = kNone;
}

void QntContextTextEditor::updateTextAttributesControls()
{
    _updating = true;
    // Only the one-object path has a text view to read; several objects read the one selected.
    QTextEdit *source = oneObjectPath() ? targetTextView() : nullptr;
    for (QntButtonCell *cell : _typefaceCells)
        cell->setChecked(false);
    QFont font;
    bool hasFont = false;
    bool underline = false;
    QColor colour;
    int alignment = 2;
    bool keepSize = false;
    if (source) {
        const QTextCursor cursor = source->textCursor();
        // A paragraph without an alignment of its own takes the text's.
        const QTextBlockFormat block = cursor.blockFormat();
        alignment =
            VRTextBlock::alignmentFromQt(block.hasProperty(QTextFormat::BlockAlignment)
                                             ? block.alignment()
                                             : source->document()->defaultTextOption().alignment());
        if (!source->document()->isEmpty()) {
            QTextCharFormat format;
            if (cursor.hasSelection() && cursor.selectionStart() > 0) {
                QTextCursor at(source->document());
                at.setPosition(std::min(cursor.selectionStart() + 1,
                                        source->document()->characterCount() - 1));
                format = at.charFormat();
            } else if (cursor.hasSelection()) {
                QTextCursor at(source->document());
                at.setPosition(1);
                format = at.charFormat();
            } else {
                format = cursor.charFormat();
            }
            font = format.font();
            hasFont = true;
            underline = format.fontUnderline();
            if (format.hasProperty(QTextFormat::ForegroundBrush))
                colour = format.foreground().color();
            else
                colour = source->textColor();
            // A selection of the whole text with more than one size keeps the field.
            if (cursor.selectionStart() == 0
                && cursor.selectionEnd() >= source->document()->characterCount() - 1) {
                // Only read: this runs while the text view reports a change, when another
                // change to its text would be reported again and again.
                QTextCursor whole(source->document());
                whole.select(QTextCursor::Document);
                double first = -1;
                for (const Run &run : runsOf(whole)) {
                    const double s = run.format.fontPointSize();
                    if (first < 0)
                        first = s;
                    else if (s != first)
                        keepSize = true;
                }
            }
        }
    } else {
        VRDrawing *drawing = currentDrawing();
        auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
        const VRObjectRef single = layer ? layer->singleSelection() : nullptr;
        if (single && single->isKindOf<QntElement>()) {
            if (QntTextShape *text = static_cast<QntElement *>(single.get())->text()) {
                font = text->font();
                colour = text->textColour();
                alignment = text->alignment();
                hasFont = true;
                underline = font.underline();
                // Runs carry their own font, size and colour: those at the first character.
                QTextDocument content;
                QTextCursor(&content).insertFragment(text->textContent());
                if (!content.isEmpty()) {
                    QTextCursor first(&content);
                    first.setPosition(1);
                    const QTextCharFormat format = first.charFormat();
                    font = format.font().resolve(font);
                    underline = format.hasProperty(QTextFormat::FontUnderline)
                                    ? format.fontUnderline()
                                    : underline;
                    if (format.hasProperty(QTextFormat::ForegroundBrush))
                        colour = format.foreground().color();
                    const QTextBlockFormat block = first.blockFormat();
                    if (block.hasProperty(QTextFormat::BlockAlignment))
                        alignment = VRTextBlock::alignmentFromQt(block.alignment());
                }
            }
        } else if (single && single->isKindOf<QntConnector>()) {
            auto *connector = static_cast<QntConnector *>(single.get());
            font = connector->font();
            hasFont = true;
            underline = font.underline();
        }
    }
    if (hasFont) {
        _typefaceCells[kBoldCell]->setChecked(font.bold());
        _typefaceCells[kItalicCell]->setChecked(font.italic());
        if (!keepSize)
            _fontSizeTextField->setText(QLocale().toString(font.pointSizeF(), 'g', 6));
        _fontFamilyPopUpButton->setText(font.family());
    }
    _typefaceCells[kUnderlineCell]->setChecked(underline);
    const int column = columnOfAlignment(alignment);
    for (int c = 0; c < 3; ++c)
        _alignCells[c]->setChecked(c == column);
    if (colour.isValid())
        updateSelectColorButton(colour);
    _updating = false;
}

void QntContextTextEditor::setupTextAttributesControls()
{
    switchControlsForCustomNotation();
    for (QntButtonCell *cell : _alignCells)
        cell->setChecked(false);
    if (!_editorView) {
        updateTextAttributesControls();
        return;
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const bool save = defaults.boolForKey(QntContextTextEditorSaveTextProperties);
    _saveTextPropertiesCheckbox->setChecked(save);
    QTextEdit *text = _editorView->textEditingView();
    if (!text->document()->isEmpty()) {
        updateTextAttributesControls();
        blackBackgroundCheckboxAction();
        return;
    }
    // New text: its typing attributes come from the saved properties (or the built-in ones).
    // The stored values are kept as they are now, so that turning saving off can put them back.
    _savedFontName = defaults.stringForKey(QntContextTextEditorFontFamily);
    _savedFontSize = defaults.doubleForKey(QntContextTextEditorFontSize);
    _savedAlign = defaults.integerForKey(QntContextTextEditorAlign);
    _savedFontUnderline = defaults.integerForKey(QntContextTextEditorFontUnderline);
    _savedFontItalic = defaults.integerForKey(QntContextTextEditorFontItalic);
    _savedFontBold = defaults.integerForKey(QntContextTextEditorFontBold);
    _savedCaptured = true;

    // An object whose texts already have a font (a group element's members) writes a new text
    // in that font rather than in the saved or built-in one.
    QFont own;
    const bool hasOwn = newTextFont(&own);
    const QString family = hasOwn                              ? own.family()
                           : save && !_savedFontName.isEmpty() ? _savedFontName
                                                               : QStringLiteral("Helvetica");
    const double size = hasOwn && own.pointSizeF() > 0 ? std::min(own.pointSizeF(), 1000.0)
                        : save && _savedFontSize > 0   ? std::min(_savedFontSize, 1000.0)
                                                       : 14.0;
    const qint64 align = save ? _savedAlign : 2;
    const bool underline = save && _savedFontUnderline == 1;
    const bool bold = save && _savedFontBold == 2;
    const bool italic = save && _savedFontItalic == 1;
    _fontFamilyPopUpButton->setText(family);
    _fontSizeTextField->setText(QLocale().toString(size, 'g', 6));
    QFont font;
    if (hasOwn) {
        font = own;
        font.setPointSizeF(size);
    } else if (!fontForName(family, size, &font)) {
        font = text->font();
        font.setPointSizeF(size);
    }
    font.setBold(bold || font.bold());
    font.setItalic(italic || font.italic());
    font.setUnderline(underline);
    const QSignalBlocker blocker(text);
    QTextCharFormat format;
    format.setFont(font);
    QColor colour = Qt::black;
    if (save) {
        VRDrawing *drawing = currentDrawing();
        const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
        if (notation && _contextObject) {
            const QColor schemeColour = notation->defaultColorText(_contextObject->colorSchemeId());
            if (schemeColour.isValid())
                colour = schemeColour;
        }
    }
    format.setForeground(colour);
    text->setCurrentCharFormat(format);
    text->document()->setDefaultFont(font);
    text->setAlignment(VRTextBlock::qtAlignment(int(align)));
    const int column = columnOfAlignment(int(align));
    for (int c = 0; c < 3; ++c)
        _alignCells[c]->setChecked(c == column);
    _typefaceCells[kBoldCell]->setChecked(bold);
    _typefaceCells[kItalicCell]->setChecked(italic);
    _typefaceCells[kUnderlineCell]->setChecked(underline);
    updateSelectColorButton(colour);
    _blackBackgroundCheckbox->setChecked(
        defaults.boolForKey(kQntContextTextEditorEnableBlackBackground));
    blackBackgroundCheckboxAction();
}

void QntContextTextEditor::switchControlsForCustomNotation()
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    const bool customizable = notation && notation->isCustomizable();
    _colorWell->setVisible(customizable);
    _showColorMatrixButton->setVisible(!customizable);
}

void QntContextTextEditor::blackBackgroundCheckboxAction()
{
    const bool black = _blackBackgroundCheckbox->isChecked();
    if (_editorView) {
        _editorView->textEditingView()->setStyleSheet(
            black ? QStringLiteral("QTextEdit { background: black; color: white; }")
                  : QStringLiteral("QTextEdit { background: white; color: black; }"));
    }
    storeDefault(kQntContextTextEditorEnableBlackBackground, black);
}

void QntContextTextEditor::saveTextPropertiesCheckboxAction()
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (_saveTextPropertiesCheckbox->isChecked()) {
        defaults.setBool(true, QntContextTextEditorSaveTextProperties);
        defaults.setObject(_fontFamilyPopUpButton->text(), QntContextTextEditorFontFamily);
        bool ok = false;
        const double size = QLocale().toDouble(_fontSizeTextField->text(), &ok);
        if (ok && size > 0)
            defaults.setObject(std::clamp(size, 1.0, 1000.0), QntContextTextEditorFontSize);
        defaults.setObject(qint64(_typefaceCells[kBoldCell]->isChecked() ? 2 : -1),
                           QntContextTextEditorFontBold);
        defaults.setObject(qint64(_typefaceCells[kItalicCell]->isChecked() ? 1 : -1),
                           QntContextTextEditorFontItalic);
        defaults.setObject(qint64(_typefaceCells[kUnderlineCell]->isChecked() ? 1 : 0),
                           QntContextTextEditorFontUnderline);
        for (int c = 0; c < 3; ++c) {
            if (_alignCells[c]->isChecked())
                defaults.setObject(qint64(alignmentOfColumn(c)), QntContextTextEditorAlign);
        }
    } else {
        defaults.setBool(false, QntContextTextEditorSaveTextProperties);
        // Only values that were really read back are written back.
        if (_savedCaptured) {
            defaults.setObject(_savedFontBold, QntContextTextEditorFontBold);
            defaults.setObject(_savedFontItalic, QntContextTextEditorFontItalic);
            defaults.setObject(_savedFontUnderline, QntContextTextEditorFontUnderline);
            if (_savedFontSize > 0)
                defaults.setObject(_savedFontSize, QntContextTextEditorFontSize);
            defaults.setObject(_savedAlign, QntContextTextEditorAlign);
            if (!_savedFontName.isEmpty())
                defaults.setObject(_savedFontName, QntContextTextEditorFontFamily);
        }
    }
    defaults.synchronize();
}

void QntContextTextEditor::updateSelectColorButton(const QColor &colour)
{
    if (!colour.isValid())
        return;
    _showColorMatrixButton->setIcon(QIcon());
    _showColorMatrixButton->setQntBackgroundColor(colour);
    _showColorMatrixButton->update();
    _colorWell->setColor(colour);
}

void QntContextTextEditor::showColorMatrixAction()
{
    showColorMatrixFrom(_showColorMatrixButton);
}

void QntContextTextEditor::showColorMatrixFrom(QWidget *sender)
{
    VRDrawing *drawing = currentDrawing();
    const QntNotationRef notation = drawing ? drawing->currentNotation() : nullptr;
    if (!notation || !sender)
        return;
    QList<QColor> colours;
    if (oneObjectPath()) {
        colours =
            notation->colorSchemesTextColors(_contextObject ? _contextObject->colorSchemeId() : 0);
    } else {
        colours = notation->colorSchemesColors();
        colours << QColor(Qt::black) << QColor(Qt::white);
    }
    if (colours.isEmpty())
        colours << QColor(Qt::black) << QColor(Qt::white);
    QntColorMatrix *grid =
        populateColorMatrix(colours, 1, QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f));
    grid->sizeToCells();
    _attachedWindowMatrixbar =
        createMatrixbarAtPoint(attachPointOfWidget(sender, AXAttachedWindow::kAbove), grid,
                               _attachedWindowMatrixbar, AXAttachedWindow::kAbove, false);
    if (_attachedWindowMatrixbar)
        _attachedWindowMatrixbar->orderFront(true);
}

void QntContextTextEditor::colorMatrixAction(QntColorMatrix *sender)
{
    const QntColorMatrix::Cell *cell = sender ? sender->selectedCell() : nullptr;
    if (cell && cell->representedObject.metaType() == QMetaType::fromType<QColor>())
        colorMatrixAction(cell->representedObject.value<QColor>());
}

QWidget *QntContextTextEditor::colorPopoverHostWindow() const
{
    if (_parentModeInspector)
        return _parentModeInspector->attachedWindowsHost();
    return VRInspectorBaseColorPopover::colorPopoverHostWindow();
}
