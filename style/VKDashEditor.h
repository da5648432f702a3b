#pragma once

#include "framework/styles/VRStrokeDash.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QPainterPath>
#include <QRectF>

#include <array>

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QSlider;
class VKDashEditor;

// The sample line of the dash editor, drawn with the dash, with a handle under the end of every
// mark and space and a phase handle at the start. Dragging a handle changes that length (never
// below 0); dragging the phase handle changes the phase.
class VKDashEditView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kMargin = 8.0;
    static constexpr double kHandleSize = 8.0;
    static constexpr double kHandleDrop = 12.0;
    static constexpr double kLeaderGap = 3.0;
    static constexpr int kPhaseHandle = 99;
    static constexpr int kNoHandle = -1;

    explicit VKDashEditView(QWidget *parent = nullptr);

    void setDash(const VRDashRef &dash);
    VRDashRef dash() const { return mDash; }
    void setLineWidth(double width);
    double lineWidth() const { return m_lineWidth; }
    void setLineCapStyle(int style);
    void setLineJoinStyle(int style);
    void setLineColour(const QColor &colour);

    // The handles as the last drawing placed them (rebuilt on every draw or by calcHandles).
    void calcHandles();
    QList<QRectF> handles() const { return mHandles; }
    QRectF phaseHandle() const { return mPhaseHandle; }
    double lineY() const;
    int mouseInHandle(const QPointF &point) const;
    int selectedHandle() const { return mSelected; }
    void calcDashForPoint(const QPointF &point);

    QSize sizeHint() const override { return {360, 90}; }

signals:
    // A drag step changed the dash.
    void dashDidChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double scale() const;

    VRDashRef mDash;
    QList<QRectF> mHandles;
    int mSelected = kNoHandle;
    QColor mLineColour = Qt::gray;
    QRectF mPhaseHandle;
    double m_lineWidth = 5.0;
    int m_cap = 0;
    int m_join = 0;
};

// The dash editor, a sheet over the style inspector: the mark and space lengths in eight fields
// (2, 4, 6 or 8 of them in use), scaling to the line width, and the sample line whose handles
// are dragged. With Preview on, every change is sent at once; OK or Cancel end the sheet and the
// inspector keeps or restores the dash.
class VKDashEditor : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kOK = 1;
    static constexpr int kCancel = 0;

    explicit VKDashEditor(QWidget *parent = nullptr);

    // Shows the sheet over the parent's window; without a dash it edits the default dash.
    void openDashEditorInParentWindow(QWidget *parent);
    void setDash(const VRDashRef &dash);
    VRDashRef dash() const { return mDash; }
    void setLineWidth(double width);
    void setLineCapStyle(int style);
    void setLineJoinStyle(int style);
    void setLineColour(const QColor &colour);

    void ok();
    void cancel();
    void dashValueAction();
    void dashScaleCheckboxAction();
    void dashCountMatrixAction(int column);
    void dashPhaseSliderAction();
    void setDashCount(int count);
    void updateForDash();
    void notifyDelegate();

    QLineEdit *field(int index) const { return mEF.at(size_t(index)); }
    QButtonGroup *countMatrix() const { return mDashCountButtonMatrix; }
    QCheckBox *scaleCheckbox() const { return mDashScaleCheckbox; }
    QCheckBox *previewCheckbox() const { return mPreviewCheckbox; }
    VKDashEditView *editView() const { return mDashPreviewEditView; }
    QSlider *phaseSlider() const { return mPhaseSlider; }

signals:
    // A change to preview (only while the preview box is on).
    void dashChanged();
    // OK (kOK) or Cancel (kCancel).
    void sheetEnded(int returnCode);

protected:
    void reject() override;

private:
    void viewDidChangeDash();

    std::array<QLineEdit *, VRStrokeDash::kMaximumCount> mEF{};
    QButtonGroup *mDashCountButtonMatrix = nullptr;
    QCheckBox *mDashScaleCheckbox = nullptr;
    VKDashEditView *mDashPreviewEditView = nullptr;
    QCheckBox *mPreviewCheckbox = nullptr;
    QSlider *mPhaseSlider = nullptr;
    VRDashRef mDash;
    bool m_ending = false;
};
