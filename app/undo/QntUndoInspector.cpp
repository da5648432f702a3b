#include "app/undo/QntUndoInspector.h"

#include "app/undo/RedoDataSource.h"
#include "app/undo/RedoItem.h"
#include "app/undo/UndoDataSource.h"
#include "app/undo/UndoItem.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWidget>

QntUndoInspector::QntUndoInspector(QObject *parent)
    : VRInspectorBase(QStringLiteral("UndoInspector"), parent)
{
    m_undoSource = new UndoDataSource(this);
    m_redoSource = new RedoDataSource(this);
}

QntUndoInspector::~QntUndoInspector()
{
    // The trees point into the shared roots; drop both with the views.
    m_observers.clear();
    if (_undoOutline)
        _undoOutline->setModel(nullptr);
    if (_redoOutline)
        _redoOutline->setModel(nullptr);
    UndoItem::reset();
    RedoItem::reset();
}

QWidget *QntUndoInspector::createWindow()
{
    auto *window = new QWidget(nullptr, Qt::Tool);
    window->setObjectName(windowName());
    window->setWindowTitle(tr("Undo Inspector"));
    window->setAttribute(Qt::WA_ShowWithoutActivating);

    auto makeOutline = [window](const QString &title, QVBoxLayout *column) {
        auto *label = new QLabel(title);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        auto *outline = new QTreeView(window);
        outline->setHeaderHidden(true);
        outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
        outline->setUniformRowHeights(true);
        outline->setAlternatingRowColors(true);
        column->addWidget(label);
        column->addWidget(outline, 1);
        return outline;
    };
    auto *undoColumn = new QVBoxLayout;
    auto *redoColumn = new QVBoxLayout;
    _undoOutline = makeOutline(tr("Undo"), undoColumn);
    _redoOutline = makeOutline(tr("Redo"), redoColumn);
    _undoOutline->setObjectName(QStringLiteral("undoOutline"));
    _redoOutline->setObjectName(QStringLiteral("redoOutline"));
    _undoOutline->setModel(m_undoSource);
    _redoOutline->setModel(m_redoSource);

    auto *clear = new QPushButton(tr("Clear Stacks"));
    clear->setObjectName(QStringLiteral("clearStacksButton"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, [this] { clearStacks(); });

    auto *outlines = new QHBoxLayout;
    outlines->addLayout(undoColumn);
    outlines->addLayout(redoColumn);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    auto *layout = new QVBoxLayout(window);
    layout->addLayout(outlines, 1);
    layout->addLayout(buttons);
    window->resize(520, 360);
    return window;
}

void QntUndoInspector::windowDidLoad()
{
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        kQntUndoRedoChangedNotification, nullptr,
        [this](const Notification &n) { undoRedoChangedNotification(&n); }));
    reloadData();
}

void QntUndoInspector::documentDidChange(const Notification &)
{
    if (_undoOutline)
        reloadData();
}

VRUndoManager *QntUndoInspector::currentUndoManager() const
{
    VRDrawing *drawing = currentDrawing();
    if (!drawing)
        return nullptr;
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    return layer ? layer->undoManager() : nullptr;
}

void QntUndoInspector::undoRedoChangedNotification(const Notification *)
{
    VRUndoManager *undoManager = currentUndoManager();
    m_undoSource->setUndoManager(undoManager);
    m_redoSource->setUndoManager(undoManager);
    m_undoSource->reload();
    m_redoSource->reload();
    if (_undoOutline)
        _undoOutline->expandRecursively(m_undoSource->index(0, 0));
    if (_redoOutline)
        _redoOutline->expandRecursively(m_redoSource->index(0, 0));
}

void QntUndoInspector::close()
{
    if (QWidget *w = window())
        w->close();
}

void QntUndoInspector::clearStacks()
{
    if (UndoItem *root = m_undoSource->rootItem())
        root->removeAllActions();
    NotificationCenter::defaultCenter().post(kQntUndoRedoChangedNotification);
}
