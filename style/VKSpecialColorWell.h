#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

// Posted around the activation of a special colour well (object: the well).
extern const QString kVRColorWellWillActivate;
extern const QString kVRColorWellDidActivate;
extern const QString kVRColorWellWillDeactivate;
extern const QString kVRColorWellDidDeactivate;

// A colour well that announces its activation. Clicking it makes it the active well: the
// application's colour panel opens on its colour, offering opacity as the well asks, and each
// colour picked there becomes the well's colour and is sent with colorChanged. Whoever else edits
// colours in the panel (the gradient stop editor) gives it up when a well announces that it
// activates.
class VKSpecialColorWell : public QAbstractButton
{
    Q_OBJECT
public:
    explicit VKSpecialColorWell(QWidget *parent = nullptr);
    ~VKSpecialColorWell() override;

    QColor color() const { return m_color; }
    // Shows the colour without sending it.
    void setColor(const QColor &colour);

    // Whether the colour panel offers opacity while it serves this well: it does unless a
    // control beside the well sets the opacity of the well's colour (or its colour has none).
    bool showsAlpha() const { return m_showsAlpha; }
    void setShowsAlpha(bool shows);

    // Whether the colour panel currently sends its colours to this well.
    bool isActive() const;
    // With exclusive set, the well that was active before is deactivated first (the panel
    // serves one well at a time, so a well's activation always ends the other's).
    void activate(bool exclusive = true);
    void deactivate();
    static void deactivateCurrentWell();
    static VKSpecialColorWell *currentWell();

    QSize sizeHint() const override { return {40, 24}; }

signals:
    // The user picked a colour in the panel for this well.
    void colorChanged(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color = Qt::white;
    bool m_showsAlpha = true;
};
