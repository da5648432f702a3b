#pragma once

#include "framework/styles/VRRasterizer.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QTextLayout>
#include <QTransform>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QTextDocument;

// Draws a text: its own rich text or label or, without either, the object's text; in the
// frame, along the path, flowed in the shape or at a point. Rich text is laid out as a block
// in the frame in every layout mode: the object whose renderer it is puts the frame where the
// text goes (a connector, at its label's place).
class VRTextAdornment : public VRRasterizer
{
    VR_CLASS(VRTextAdornment)

public:
    enum LayoutMode {
        InBounds = 0,
        AlongPath = 1,
        AlongMirroredPath = 2,
        FlowedInShape = 3,
        AtPoint = 40
    };

    VRTextAdornment();

    static QString UIName() { return QStringLiteral("Text"); }
    QString uiName() const override { return UIName(); }
    // How far text laid along a path sits from it, in points.
    static double defaultMaximumVerticalOffset() { return 8.0; }

    QString string() const { return m_label; }
    // A new label replaces the rich text.
    void setLabel(const QString &label);
    // Rich text (HTML), drawn with its own formatting over the font, colour and alignment.
    QString richText() const { return m_richText; }
    void setRichText(const QString &html);
    int layoutMode() const { return m_layoutMode; }
    void setLayoutMode(int mode);
    // 0 left, 1 right, 2 centre, 3 justified.
    int alignment() const { return m_alignment; }
    void setAlignment(int alignment);
    // 0 top, 1 middle, 2 bottom.
    int verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(int alignment);
    bool wrapsLines() const { return m_wrapsLines; }
    void setWrapsLines(bool wraps);
    bool clipping() const { return m_clipping; }
    void setClipping(bool clipping);
    bool appliesObjectAngle() const { return m_appliesObjectAngle; }
    void setAppliesObjectAngle(bool applies);
    double angleInDegrees() const { return m_angleInDegrees; }
    void setAngleInDegrees(double angle);
    double flowedTextPathInset() const { return m_flowedTextPathInset; }
    void setFlowedTextPathInset(double inset);
    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    // "font", "colour", "underline" override the plain properties when present.
    QVariantMap textAttributes() const { return m_textAttributes; }
    void setTextAttributes(const QVariantMap &attributes);

    // An adornment that is an object's own text renderer (a text shape's, a cell's, a
    // connector label's) hands changes of its font, colour, alignments and angle to that
    // object, which keeps them (and records them for undo). Loading the adornment from the
    // object is done with the handing-on switched off.
    void setOwnerChangeHandler(std::function<void(const VRTextAdornment &)> handler);
    void setNotifiesOwner(bool notifies) { m_notifiesOwner = notifies; }

    // Rich text laid out with a default font and alignment, wrapped at width (0 = unwrapped):
    // what the renderer draws, and what objects measure their text with.
    static std::shared_ptr<QTextDocument> layOutRichText(const QString &html, const QFont &font,
                                                         int alignment, double width);
    // The text of HTML that is one plain run of text as escaping writes it (what a document
    // reads out of it), found without reading it into a document; none for other HTML.
    static std::optional<QString> plainRunText(const QString &html);
    // The size of that layout, found without making a document where the HTML is one plain
    // run of text.
    static QSizeF richTextSize(const QString &html, const QFont &font, int alignment, double width);

    void render(QPainter &painter, const VRRenderContext &context) const override;
    double extraSpace() const override;
    // Where render() puts ink on that context: the boxes of the laid-out lines and past them
    // the glyphs' outlines as their fonts describe them (an italic's overhang, a descender or
    // accent beyond the line), turned and clipped as drawn. Null when nothing is drawn.
    QRectF inkBounds(const VRRenderContext &context) const;
    // A rectangle never smaller than inkBounds(), found without laying the text out where its
    // font's metrics of each character can vouch for it (a plain text of the font's own
    // characters): what an index of many texts is built on before any is drawn. Other text is
    // measured as inkBounds() measures it.
    QRectF outerInkBounds(const VRRenderContext &context) const;

    // While one lives on a thread, texts measured there keep no measure and no layout for the
    // next time: other threads measure other objects meanwhile, and objects' styles may share
    // their renderers.
    class MeasuringAlongside
    {
    public:
        MeasuringAlongside() { ++t_depth; }
        ~MeasuringAlongside() { --t_depth; }
        MeasuringAlongside(const MeasuringAlongside &) = delete;
        MeasuringAlongside &operator=(const MeasuringAlongside &) = delete;
        static bool isActive() { return t_depth > 0; }

    private:
        static thread_local int t_depth;
    };

protected:
    void writeProperties(VRJsonWriter &record, QJsonObject &images) const override;
    void readProperties(const QJsonObject &record, VRStyleCoding &coding) override;

private:
    QFont effectiveFont() const;
    QColor effectiveColour() const;
    // The label, or the object's text when the renderer has none.
    QString textToDraw(const VRRenderContext &context) const;
    // Where plain text goes in the frame: the box and flags it is drawn with, turned by degrees
    // about centre. False when nothing is drawn.
    bool plainTextPlacement(const VRRenderContext &context, QRectF *box, int *flags,
                            QPointF *centre, double *degrees) const;
    // The frame rich text is laid out in and the width it wraps at (0: unwrapped). False when
    // nothing is drawn.
    bool richTextFrame(const VRRenderContext &context, QRectF *frame, double *width) const;
    // Where a layout of that size goes in the frame: aligned, then turned about its centre.
    QTransform richTextPlacement(const VRRenderContext &context, const QRectF &frame,
                                 QSizeF size) const;
    QRectF plainTextInk(const VRRenderContext &context, const QString &text) const;
    QRectF richTextInk(const VRRenderContext &context, const QString &html) const;
    QRectF plainTextOuterInk(const VRRenderContext &context, const QString &text) const;
    QRectF richTextOuterInk(const VRRenderContext &context, const QString &html) const;
    // Where the rich text last measured puts ink, in its layout's coordinates, and the
    // layout's size.
    struct Ink {
        QRectF area;
        QSizeF size;
    };
    // HTML that is one plain run of text laid out on one line layout as a document would lay it
    // out at that width (0: unwrapped), with the document's size; none for other HTML or where
    // a document would differ.
    struct RunLayout {
        QTextLayout layout;
        QSizeF size;
        // The ink of the laid-out lines and the size.
        Ink ink() const;
    };
    static std::unique_ptr<RunLayout> layOutSingleRun(const QString &html, const QFont &font,
                                                      int alignment, double width);
    // Drawing laid that text out at that width (as a document or as a run) and kept the layout.
    bool hasLayout(const QString &html, double width) const
    {
        return (m_layout || m_run) && m_layoutWidth == width && m_layoutHtml == html;
    }
    void renderInFrame(QPainter &painter, const VRRenderContext &context,
                       const QString &text) const;
    void renderAlongPath(QPainter &painter, const VRRenderContext &context,
                         const QString &text) const;
    void renderRichText(QPainter &painter, const VRRenderContext &context,
                        const QString &html) const;
    void forgetLayout()
    {
        m_layout.reset();
        m_run.reset();
        m_ink.reset();
    }

    QString m_label;
    QString m_richText;
    int m_layoutMode = InBounds;
    int m_alignment = 2;
    int m_verticalAlignment = 1;
    bool m_wrapsLines = true;
    bool m_clipping = false;
    bool m_appliesObjectAngle = true;
    double m_angleInDegrees = 0.0;
    double m_flowedTextPathInset = 0.0;
    QColor m_colour = Qt::black;
    QFont m_font;
    QVariantMap m_textAttributes;
    std::function<void(const VRTextAdornment &)> m_ownerChanged;
    bool m_notifiesOwner = true;
    // The last layout of the rich text and the width it was made for.
    mutable std::shared_ptr<QTextDocument> m_layout;
    mutable std::shared_ptr<RunLayout> m_run;
    mutable QString m_layoutHtml;
    mutable double m_layoutWidth = -1.0;
    mutable std::optional<Ink> m_ink;
    mutable QString m_inkHtml;
    mutable double m_inkWidth = -1.0;

    void notifyOwner() const;
};
