#pragma once

#include "inspectors/QntContextTextEditor.h"

class QCheckBox;
class QLabel;
class QntDoubleSlider;
class QntElement;

// The text bar of element text: the shared text controls, and the width and automatic sizing of
// the text box, the text rotation, the inner paddings of elements and tables and the element's
// notes (on a second view the bar slides to), with OK (keep) and Cancel (discard every change made
// since the bar opened).
class QntElementTextEditor : public QntContextTextEditor
{
    Q_OBJECT
public:
    explicit QntElementTextEditor(QObject *parent = nullptr);
    ~QntElementTextEditor() override;

    VRObjectRef contextObject() const override;
    std::shared_ptr<QntElement> contextElement() const;
    QFont contextObjectFont() const override;
    bool newTextFont(QFont *font) const override;
    QPointF menuPosition() override;
    void createAttachedWindowAtPoint(QPointF point) override;
    void setupTextAttributesControls() override;
    void setupTextPaddingsControls();

    // 0 shows paddings in per cent, any other value as they are.
    int paddingMode() const { return _paddingMode; }
    void setPaddingMode(int mode) { _paddingMode = mode; }

    void widthSliderAction();
    void autosizeCheckboxAction();
    void keepFixedWidthCheckboxAction();
    void textRotateAction();
    void elementSetTopBottomPadding(double padding);
    void elementSetLeftRightPadding(double padding);
    void elementTopBottomPaddingSliderAction();
    void elementLeftRightPaddingSliderAction();
    void elementTopBottomPaddingTextboxAction();
    void elementLeftRightPaddingTextboxAction();
    void okAction();
    void cancelAction();

    QntDoubleSlider *widthSlider() const { return widthSlider_; }
    QWidget *widthView() const { return widthView_; }
    QCheckBox *autosizeCheckbox() const { return autosizeCheckbox_; }
    QCheckBox *keepFixedWidthCheckbox() const { return keepFixedWidthCheckbox_; }
    QntDoubleSlider *topBottomPaddingSlider() const { return _topBottomPaddingSlider; }
    QntTextFieldCell *topBottomPaddingTextbox() const { return _topBottomPaddingTextbox; }
    QntDoubleSlider *leftRightPaddingSlider() const { return _leftRightPaddingSlider; }
    QntTextFieldCell *leftRightPaddingTextbox() const { return _leftRightPaddingTextbox; }
    QntDoubleSlider *textRotateSlider() const { return _textRotateSlider; }

private:
    void endMemberHighlight();
    void buildNotesView();
    void applyPadding(double padding, bool topBottom);
    void showPadding(QntDoubleSlider *slider, QntTextFieldCell *box) const;
    double paddingScale() const { return _paddingMode == 0 ? 100.0 : 1.0; }

    QntDoubleSlider *widthSlider_ = nullptr;
    QWidget *widthView_ = nullptr;
    QCheckBox *autosizeCheckbox_ = nullptr;
    QCheckBox *keepFixedWidthCheckbox_ = nullptr;
    QntDoubleSlider *_topBottomPaddingSlider = nullptr;
    QntTextFieldCell *_topBottomPaddingTextbox = nullptr;
    QLabel *_topBottomPaddingTextboxLabel = nullptr;
    QntDoubleSlider *_leftRightPaddingSlider = nullptr;
    QntTextFieldCell *_leftRightPaddingTextbox = nullptr;
    QLabel *_leftRightPaddingTextboxLabel = nullptr;
    QLabel *_textRotateLabel = nullptr;
    QntDoubleSlider *_textRotateSlider = nullptr;
    int _paddingMode = 0;
    std::vector<NotificationToken> m_editorObservers;
};
