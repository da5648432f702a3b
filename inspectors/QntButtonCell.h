#pragma once

#include <QColor>
#include <QString>
#include <QToolButton>

// A button of the dark attached toolbars: it paints its own background colour in a rounded
// outline, with a light border when bordered, and its picture (or title) inside.
class QntButtonCell : public QToolButton
{
    Q_OBJECT
public:
    explicit QntButtonCell(QWidget *parent = nullptr);

    static QColor defaultQntBackgroundColor();
    // The colour set, or the class default when none is.
    QColor qntBackgroundColor() const;
    void setQntBackgroundColor(const QColor &colour);

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);

    // A key that presses the button while its toolbar has the keyboard; empty for none.
    virtual QString keyEquivalent() const { return {}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor _qntBackgroundColor;
    bool m_bordered = false;
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
