#pragma once

#include "framework/base/VRTypes.h"
#include "framework/document/VRInspectorBase.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntEscapedView.h"
#include "inspectors/VRInspectorBaseColorPopover.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <vector>

class QCheckBox;
class QHBoxLayout;
class QMenu;
class QTextEdit;
class QToolButton;
class QWidget;
class QntButtonCell;
class QntColorWell;
class QntContextMenu;
class QntContextTextEditorView;
class QntTextFieldCell;

// Whether the editing view of the text bars has a black background.
extern const QString kQntContextTextEditorEnableBlackBackground;

// Base of the text-format bars: a dark bar shown in an attached window beside the object whose
// text is edited, with a font family menu (typefaces in submenus), bold, italic and underline,
// a size field with a size menu, a text colour, the alignment, a black background for its own
// editing view, a switch that saves the text properties, and the editing view. With one object
// each change goes to the text being edited (the bar's view, or the drawing's inline editor)
// and is one undo step; in multiple-selection mode it is set on every selected element and
// connector through their text setters.
class QntContextTextEditor : public VRInspectorBase, public VRInspectorBaseColorPopover
{
    Q_OBJECT
public:
    // Formatting actions, while a change is converted.
    enum FormattingAction { kNone = 0, kFamily = 1, kTypeface = 2, kSize = 3, kColour = 4 };
    // Cells of the typeface matrix and the alignment matrix.
    enum TypefaceCell { kBoldCell = 0, kItalicCell = 1, kUnderlineCell = 2 };

    explicit QntContextTextEditor(const QString &windowNibName, QObject *parent = nullptr);
    ~QntContextTextEditor() override;

    // Entry: shows the bar for one object; any other count closes it.
    void showEditorForSelection(const VRObjectList &selection);
    virtual QPointF menuPosition() { return {}; }
    virtual void createAttachedWindowAtPoint(QPointF) {}
    void placeAttachedWindowInScreenFrame(AXAttachedWindow *window, QPointF point,
                                          int arrowPos) override;
    QWidget *colorPopoverHostWindow() const override;

    AXAttachedWindow *attachedWindow() const { return _attachedWindow; }
    void setAttachedWindow(AXAttachedWindow *window) { _attachedWindow = window; }
    AXAttachedWindow *attachedWindowMatrixbar() const { return _attachedWindowMatrixbar; }
    QntContextTextEditorView *editorView() const { return _editorView; }
    int arrowPosition() const { return _arrowPosition; }
    void setArrowPosition(int side) { _arrowPosition = side; }
    int formattingAction() const { return _formattingAction; }
    void setFormattingAction(int action) { _formattingAction = action; }
    void setParentModeInspector(QntContextMenu *inspector) { _parentModeInspector = inspector; }
    QntContextMenu *parentModeInspector() const { return _parentModeInspector; }

    virtual VRObjectRef contextObject() const { return _contextObject; }
    void setContextObject(const VRObjectRef &object) { _contextObject = object; }
    virtual QFont contextObjectFont() const { return {}; }
    // Whether a new text of the edited object has a font of its own to be written in, and which.
    virtual bool newTextFont(QFont *) const { return false; }

    void closeAttachedWindows();
    virtual void contextMenuDidClose();
    virtual void setupTextAttributesControls();
    void updateTextAttributesControls();

    // Formatting actions.
    void fontFamilyAction(const QString &fontName);
    void fontTypefaceAction();
    void fontSizeTextFieldAction();
    // Pops the font sizes up over the size button; the size chosen is applied at once.
    void fontSizeMenuAction();
    void colorMatrixAction(const QColor &colour);
    void colorMatrixAction(QntColorMatrix *sender) override;
    // Opens the text colours in a popover under a button.
    void showColorMatrixFrom(QWidget *sender);
    void alignAction(int column);
    // The attributes of one run after the change in progress.
    QTextCharFormat convertAttributes(const QTextCharFormat &attributes) const;
    // Trait mask and underline flag of the typeface cells (stores them when saving is on).
    void typefaceAttributesForMatrix(int *traitMask, bool *underlined);
    void fontTypefaceApplyToAllText();

    // Slide the attached window to the second view (the notes) and back.
    void slideToView2Action();
    void slideToView1Action();
    void animationDidEnd(AXAttachedWindow::FirstViewEffect effect);
    QWidget *view2() const { return _view2; }

    void switchControlsForCustomNotation();
    void blackBackgroundCheckboxAction();
    void saveTextPropertiesCheckboxAction();
    // The text view a one-object change goes to; null when none.
    QTextEdit *targetTextView() const;

    // Fills a menu with the font families, typefaces of a family in its submenu; each item's
    // data is its font name.
    static void populateMenuWithFonts(QMenu *menu, const std::function<void(const QString &)> &act);
    // The font of a name (a family, or a family and a typeface joined by "-") at a size; false
    // when no such font is installed.
    static bool fontForName(const QString &name, double size, QFont *font);
    // The picture of an alignment cell (column 0 left, 1 centre, 2 right).
    static QIcon alignmentIcon(int column);

    // Controls, for the owner and for tests.
    QWidget *view() const { return _view; }
    QToolButton *fontFamilyPopUpButton() const { return _fontFamilyPopUpButton; }
    QntTextFieldCell *fontSizeTextField() const { return _fontSizeTextField; }
    QMenu *fontSizeMenu() const { return _fontSizeMenu; }
    QntButtonCell *fontSizeMenuButton() const { return _fontSizeMenuButton; }
    QntButtonCell *typefaceCell(int index) const { return _typefaceCells[index]; }
    QntButtonCell *alignCell(int column) const { return _alignCells[column]; }
    QntColorWell *colorWell() const { return _colorWell; }
    QntButtonCell *showColorMatrixButton() const { return _showColorMatrixButton; }
    QCheckBox *blackBackgroundCheckbox() const { return _blackBackgroundCheckbox; }
    QCheckBox *saveTextPropertiesCheckbox() const { return _saveTextPropertiesCheckbox; }
    QTextEdit *notesTextField() const { return _notesTextField; }
    QColor appliedColor() const { return _appliedColor; }

protected:
    // Builds the shared controls into _view; subclasses add theirs below (the returned row).
    int buildView(const QString &sizeMenuTitle);
    // Cancel, then OK as the default button, at the end of a row of the view. Escape anywhere in
    // the bar runs Cancel and then closes every attached window; Ctrl+Return runs OK.
    void addCancelAndOk(QHBoxLayout *row, const std::function<void()> &cancel,
                        const std::function<void()> &ok);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void updateSelectColorButton(const QColor &colour);
    void showColorMatrixAction();
    void storeDefault(const QString &key, const QVariant &value) const;
    // One object: records one undo step and hands the change to the target text view.
    void changeAttributesOfTarget(const QString &actionName, const std::function<void()> &change);
    void applyFormatToTarget(QTextEdit *target);
    bool oneObjectPath() const { return multipleSelectionMode() != 1; }
    VRObjectList objectsForSeveralPath() const;

    QPointer<QntEscapedView> _view;
    QPointer<QWidget> _view2;
    std::function<void()> m_cancelByKey;
    std::function<void()> m_okByKey;
    QntContextTextEditorView *_editorView = nullptr;
    QTextEdit *_notesTextField = nullptr;
    QPointer<AXAttachedWindow> _attachedWindow;
    VRObjectRef _contextObject;
    QPointer<QntContextMenu> _parentModeInspector;
    QToolButton *_fontFamilyPopUpButton = nullptr;
    QMenu *_fontFamilyMenu = nullptr;
    QntTextFieldCell *_fontSizeTextField = nullptr;
    QntButtonCell *_alignCells[3] = {};
    QntButtonCell *_typefaceCells[3] = {};
    int _arrowPosition = 2;
    QMenu *_fontSizeMenu = nullptr;
    QntButtonCell *_fontSizeMenuButton = nullptr;
    QntButtonCell *_showColorMatrixButton = nullptr;
    QntColorWell *_colorWell = nullptr;
    QCheckBox *_blackBackgroundCheckbox = nullptr;
    QCheckBox *_saveTextPropertiesCheckbox = nullptr;
    QPointer<AXAttachedWindow> _attachedWindowMatrixbar;
    QString _savedFontName;
    double _savedFontSize = 0.0;
    qint64 _savedAlign = 0;
    qint64 _savedFontUnderline = 0;
    qint64 _savedFontItalic = 0;
    qint64 _savedFontBold = 0;
    bool _savedCaptured = false;
    QColor _appliedColor;
    int _formattingAction = kNone;
    QString _fontName;
    bool _updating = false;

private:
    std::vector<NotificationToken> m_observers;
};
