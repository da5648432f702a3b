#pragma once

#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"

#include "platform/NotificationCenter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class AXAttachedWindow;
class QAbstractButton;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QntColorWell;

// The editor of the built-in colour schemes of a notation database: pick a database, and each
// colour group (Fill, Stroke, Gradient Stops, Text) shows as a matrix with one column per scheme
// and one row per colour, a header row of schemes and a first column of comments. A click on a
// cell opens a small editor beside it (colour, scheme or item); every change goes to the
// database through the notation, and a change the database refuses is reported. The schemes
// can be put in order by dragging them in the list and exported as "nColorSchemeInfo.xml" beside
// the database. One per application. GUI thread only.
class QntColorSchemeEditor : public QWidget
{
    Q_OBJECT
public:
    explicit QntColorSchemeEditor(QWidget *parent = nullptr);
    ~QntColorSchemeEditor() override;

    void showWindow();
    // Fills the list of notation databases again.
    void reloadNotations();
    // Picks the database at the path (Algorithms of the outline's action). False for anything
    // that is not a readable ".db" file.
    bool openNotationAtPath(const QString &path);
    void outlineViewAction();
    // Rebuilds everything from the notation (the cache, the matrices, the list).
    void rebuild();
    QntNotationRef notation() const { return _notation; }
    const QVariantList &colorSchemes() const { return _colorSchemes; }

    static const QStringList &itemTypes(); // "Fill", "Stroke", "GradientStops", "Text"
    QWidget *matrix(const QString &type) const;
    // The cell at (row, column) of a matrix, the header row and the comment column included.
    QAbstractButton *cell(const QString &type, int row, int column) const;
    int rowCount(const QString &type) const;
    int columnCount(const QString &type) const;

    // Open the colour, scheme or item editor of a cell.
    void colorMatrixAction(QAbstractButton *cell);
    void schemeMatrixAction(QAbstractButton *cell);
    void schemeItemMatrixAction(QAbstractButton *cell);
    void closeAttachedEditorWindow();
    AXAttachedWindow *attachedEditorWindow() const;
    QAbstractButton *selectedCell() const { return _selectedCell; }

    // Colour editor.
    void applyColorAction();
    void checkboxAction(QCheckBox *box);
    QLineEdit *colorHexTextField() const { return _colorHexTextField; }
    QCheckBox *tableCellBackgroundColorCheckbox() const
    {
        return _TableCellBackgroundColorCheckbox;
    }
    QCheckBox *tableGridColorCheckbox() const { return _TableGridColorCheckbox; }
    QCheckBox *defaultCheckbox() const { return _DefaultCheckbox; }
    // Scheme editor.
    void csApplyAction();
    void addSchemeAction();
    void removeSchemeAction();
    QLineEdit *csColorSchemeNameTextField() const { return _csColorSchemeNameTextField; }
    QLineEdit *csColorSchemeColorHexTextField() const { return _csColorSchemeColorHexTextField; }
    // Item editor.
    void siApplyAction();
    void addSchemeItemAction();
    void removeSchemeItemAction();
    QLineEdit *siSchemeItemCommentTextField() const { return _siSchemeItemCommentTextField; }

    // The preview: test shapes, arrowheads and arrows of the notation in every scheme.
    void rebuildPreview();
    // Places up to count elements of the list, one row each, one column per scheme; answers
    // where the next group starts (the start when nothing was placed).
    QPointF put(int count, const QList<QntElementRecord> &list, QPointF start, bool optionName);
    VRDrawing *previewDrawing() const { return m_previewDrawing.get(); }
    QCheckBox *shapesCheckbox() const { return _shapesCheckbox; }
    QCheckBox *arrowheadsCheckbox() const { return _arrowheadsCheckbox; }
    QCheckBox *arrowsCheckbox() const { return _arrowsCheckbox; }
    class QComboBox *numberTestShapesPopupButton() const { return _numberTestShapesPopupButton; }

    // The scheme list: moving a scheme puts the schemes in that order.
    QListWidget *colorSchemesTableView() const { return _colorSchemesTableViewObj; }
    void moveScheme(int from, int to);
    void exportAction();
    static QString exportFileName() { return QStringLiteral("nColorSchemeInfo.xml"); }

    // The last status of the open editor (or of the window, for writers without an editor).
    QString status() const { return m_status; }
    QTreeWidget *notationsOutline() const { return mNotationsGroups; }

    // Destructive changes ask first and failures are shown in a box; tests answer instead.
    using Confirmation = std::function<bool(const QString &question)>;
    void setConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }
    using Alert = std::function<void(const QString &text)>;
    void setAlert(Alert alert) { m_alert = std::move(alert); }

private:
    void populateMatrix(const QString &type);
    QList<QVariantMap> colorColumnForType(const QString &type, qint64 schemeId) const;
    void createEditorWithView(QWidget *view, QAbstractButton *cell);
    // Opens the editor made for the cell's values; false for an empty cell or no notation.
    bool openCellEditor(QAbstractButton *cell,
                        const std::function<QWidget *(const QVariantMap &)> &makeEditor);
    // The values of the selected cell's row, one per scheme column, empty cells left out.
    QList<QVariantMap> rowOfSelectedCell() const;
    // After a write: "Updated", the editor (and the colour panel) closed, everything rebuilt.
    void showWritten(bool closeColourPanel);
    QWidget *makeColorEditor(const QVariantMap &cell, const QString &type);
    QWidget *makeSchemeEditor(const QVariantMap &cell);
    QWidget *makeSchemeItemEditor(const QVariantMap &cell);
    void setStatus(const QString &status);
    // True when the write went through; else reports why.
    bool written(const VRResult<void> &result);
    bool confirm(const QString &question);
    QString matrixTypeOf(const QAbstractButton *cell) const;
    QPoint positionOf(const QAbstractButton *cell) const;

    QntNotationRef _notation;
    std::unique_ptr<VRDrawing> m_previewDrawing;
    class VRDrawingView *_previewDrawingView = nullptr;
    QCheckBox *_shapesCheckbox = nullptr;
    QCheckBox *_arrowheadsCheckbox = nullptr;
    QCheckBox *_arrowsCheckbox = nullptr;
    class QComboBox *_numberTestShapesPopupButton = nullptr;
    double m_previewWidth = 0;
    QVariantList _colorSchemes;
    QVariantMap m_colorCache;
    QPointer<QAbstractButton> _selectedCell;
    QPointer<AXAttachedWindow> _attachedEditorWindow;
    QMap<QString, QWidget *> m_matrixHosts;
    QMap<QString, QWidget *> m_matrices;
    QMap<QString, QList<QList<QAbstractButton *>>> m_cells;

    QTreeWidget *mNotationsGroups = nullptr;
    QTabWidget *m_tabs = nullptr;
    QListWidget *_colorSchemesTableViewObj = nullptr;
    QPushButton *_exportButton = nullptr;
    QLabel *m_windowStatus = nullptr;
    QPointer<QLineEdit> _colorHexTextField;
    QPointer<QntColorWell> _colorWell;
    QPointer<QCheckBox> _TableCellBackgroundColorCheckbox;
    QPointer<QCheckBox> _TableGridColorCheckbox;
    QPointer<QCheckBox> _DefaultCheckbox;
    QPointer<QLabel> _statusLabel;
    QPointer<QLineEdit> _csColorSchemeNameTextField;
    QPointer<QLineEdit> _csColorSchemeColorHexTextField;
    QPointer<QLineEdit> _siSchemeItemCommentTextField;
    QString m_status;
    Confirmation m_confirm;
    Alert m_alert;
    bool m_reordering = false;
    NotificationToken m_closeToken;
};
