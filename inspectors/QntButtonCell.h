#pragma once

#include <QColor>
#include <QString>
#include <QToolButton>

class QPainter;

// A button of the dark attached toolbars: it paints its own background colour in a rounded
// outline, with a light border when bordered, and its picture (or title) inside.
class QntButtonCell : public QToolButton
{
    Q_OBJECT
public:
    explicit QntButtonCell(QWidget *parent = nullptr);
    // A bordered button of a fixed size with its tool tip, named for style sheets and tests.
    static QntButtonCell *bordered(QWidget *parent, const QString &name, const QString &toolTip,
                                   QSize size);

    static QColor defaultQntBackgroundColor();
    // The background of a button of this class when none is set.
    virtual QColor defaultBackgroundColor() const { return defaultQntBackgroundColor(); }
    // The colour set, or the class default when none is.
    QColor qntBackgroundColor() const;
    void setQntBackgroundColor(const QColor &colour);

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);

    // A key that presses the button while its toolbar has the keyboard; empty for none.
    virtual QString keyEquivalent() const { return {}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // A second outline inside the inset frame; none for the dark button.
    virtual void drawAlternatingBorder(QPainter &, const QRectF &) {}
    // The colour of the title (the picture is drawn as it is).
    virtual QColor titleColor() const;
    static QColor borderColour(bool enabled);

private:
    QColor _qntBackgroundColor;
    bool m_bordered = false;
};

// A white button of the toolbars, with a light outline inside its border and a dark title.
class QntButtonWhiteCell : public QntButtonCell
{
    Q_OBJECT
public:
    using QntButtonCell::QntButtonCell;
    static QColor defaultWhiteBackgroundColor();
    QColor defaultBackgroundColor() const override { return defaultWhiteBackgroundColor(); }

protected:
    void drawAlternatingBorder(QPainter &painter, const QRectF &frame) override;
    QColor titleColor() const override;
};

// The tool column's Connector button: "c" starts a connector from the element.
class ConnectorButtonCell : public QntButtonCell
{
    Q_OBJECT
public:
    using QntButtonCell::QntButtonCell;
    QString keyEquivalent() const override { return QStringLiteral("c"); }
};

// The tool column's Text Editor button: "t" opens the element's text bar.
class TextEditorButtonCell : public QntButtonCell
{
    Q_OBJECT
public:
    using QntButtonCell::QntButtonCell;
    QString keyEquivalent() const override { return QStringLiteral("t"); }
};
