#pragma once

#include "framework/document/VRInspectorBase.h"
#include "platform/NotificationCenter.h"
#include "style/VKColourCell.h"

#include <QColor>
#include <QPointer>

#include <vector>

class QAbstractTableModel;
class QCheckBox;
class QPushButton;
class VKTableView;
class VRDrawing;

// The layers of a drawing in a table, one row per layer in the drawing's order: show, lock,
// print, name and selection colour, each edited in place and undoable. Buttons add and delete
// layers, rows are reordered by dragging, selecting a row activates its layer. It is the
// application's floating Layers palette (following the main document) and, embedded, the Layers
// section of each document window (showing that window's drawing).
class VKLayersPaletteController : public VRInspectorBase, public VKColourCellDataSource
{
    Q_OBJECT
public:
    explicit VKLayersPaletteController(QObject *parent = nullptr);
    // The section of a document window: always shows that drawing.
    VKLayersPaletteController(VREmbedded, QWidget *host, VRDrawing *drawing);
    ~VKLayersPaletteController() override;

    QString windowNibName() const { return QStringLiteral("LayersPalette"); }
    // The table, its buttons and the auto-activation box in one view (made on first use).
    QWidget *contentView();

    void setDrawing(VRDrawing *drawing);
    VRDrawing *drawing() const { return _drawing; }

    void addLayerButtonAction();
    void removeLayerButtonAction();
    void autoActivationAction();
    void drawingDidReorderLayersNotification(const Notification &notification);
    void setTemporaryColour(const QColor &colour, QTableView *table, int row) override;
    QColor temporaryColour() const { return mTemporaryColour; }
    int temporaryColourRow() const { return mTemporaryColourRow; }

    // The table's data.
    static QStringList columnIdentifiers();
    int numberOfRows() const;
    QVariant objectValue(const QString &identifier, int row) const;
    void setObjectValue(const QVariant &value, const QString &identifier, int row);
    // Moves the layer at the first dragged row to the drop row; false when there is none.
    bool acceptDrop(const QList<int> &rows, int row);
    void tableViewSelectionDidChange();

    VKTableView *layersTable() const { return mLayersTable; }
    QCheckBox *autoActivateCheckbox() const { return mAutoActivateCheckbox; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *removeButton() const { return m_removeButton; }
    VKColourCell *colourCell() const { return m_colourCell; }

    // The undo action names of adding and deleting a layer.
    static QString actionNameWithLayer(const QString &action, const QString &layerName);

protected:
    QWidget *createWindow() override;
    void windowDidLoad() override;
    void documentDidChange(const Notification &notification) override;
    void layerDidChange(const Notification &notification) override;
    void redisplayContentForSelection(const VRObjectList &selection) override;

private:
    void setupControls();
    void observeDrawing();
    void reloadLater();
    void selectActiveLayerRow();
    VRViewController *viewController() const;

    VKTableView *mLayersTable = nullptr;
    QCheckBox *mAutoActivateCheckbox = nullptr;
    QColor mTemporaryColour;
    int mTemporaryColourRow = -1;
    QPointer<VRDrawing> _drawing;
    bool m_embedded = false;
    bool m_reloadPending = false;
    bool m_settingSelection = false;
    QPointer<QWidget> m_content;
    QAbstractTableModel *m_model = nullptr;
    VKColourCell *m_colourCell = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    std::vector<NotificationToken> m_layerTokens;
};
