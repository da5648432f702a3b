#pragma once

#include "inspectors/QntContextTextEditor.h"

#include <optional>

class QComboBox;
class QLabel;
class QntConnector;
class QntDoubleSlider;

// The text bar of connector labels: the shared text controls, and where the label sits: along
// the connector (X from the middle, -50 % to 50 %, Y away from the line in points), along it
// mirrored, or at a point offset from the connector's reference point. OK keeps the changes,
// Cancel discards every change made since the bar opened.
class QntConnectorTextEditor : public QntContextTextEditor
{
    Q_OBJECT
public:
    // Layout modes offered (item tags); 40 is hidden for connectors with a fixed layout.
    static constexpr int kAlongMode = 1;
    static constexpr int kAlongMirroredMode = 2;
    static constexpr int kAtPointMode = 40;

    explicit QntConnectorTextEditor(QObject *parent = nullptr);
    ~QntConnectorTextEditor() override;

    VRObjectRef contextObject() const override;
    std::shared_ptr<QntConnector> contextConnector() const;
    QFont contextObjectFont() const override;
    QPointF menuPosition() override;
    void createAttachedWindowAtPoint(QPointF point) override;
    void setupTextAttributesControls() override;
    void configureSliders(int mode);
    void setSlidersDefaults(int mode, int previousMode);

    void textLayoutModeAction();
    void textSetXOffset(double value);
    void textSetYOffset(double value);
    void textXOffsetAction();
    void textYOffsetAction();
    void textXOffsetTextboxAction();
    void textYOffsetTextboxAction();
    void okAction();
    void cancelAction();

    QComboBox *textLayoutMode() const { return m_textLayoutMode; }
    QntDoubleSlider *textXOffset() const { return m_textXOffset; }
    QntDoubleSlider *textYOffset() const { return m_textYOffset; }
    QntTextFieldCell *textXOffsetTextbox() const { return m_textXOffsetTextbox; }
    QntTextFieldCell *textYOffsetTextbox() const { return m_textYOffsetTextbox; }
    QLabel *textXOffsetLeftLabel() const { return m_textXOffsetLeftLabel; }
    QLabel *textXOffsetRightLabel() const { return m_textXOffsetRightLabel; }

private:
    int selectedMode() const;
    bool alongMode(int mode) const { return mode == kAlongMode || mode == kAlongMirroredMode; }
    VRObjectList targetConnectors() const;
    // Sets the label offset along the x or y axis on the target connectors, and remembers it.
    void textSetOffset(double value, bool horizontal);
    void showX();
    void showY();
    std::optional<double> typed(QntTextFieldCell *box) const;

    QComboBox *m_textLayoutMode = nullptr;
    QntDoubleSlider *m_textXOffset = nullptr;
    QntTextFieldCell *m_textXOffsetTextbox = nullptr;
    QntDoubleSlider *m_textYOffset = nullptr;
    QntTextFieldCell *m_textYOffsetTextbox = nullptr;
    QLabel *m_textXOffsetLeftLabel = nullptr;
    QLabel *m_textXOffsetRightLabel = nullptr;
    QLabel *m_textYOffsetLeftLabel = nullptr;
    QLabel *m_textYOffsetRightLabel = nullptr;
    bool m_loading = false;
};
