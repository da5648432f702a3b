#pragma once

#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VROwnTextRenderer.h"
#include "framework/model/VRTextBlock.h"

#include <QList>
#include <QVariantMap>

#include <functional>
#include <memory>

class VRTextAdornment;
class QntConnectorArrow;
class QntConnectorSkin;
class QntConnectorStyle;
class QntConnectorStylizedPath;
class QntElement;

// A line between elements whose ends sit on sticky spots. It keeps its points, routing kind
// and label; manual routings (straight, orthogonal, zig-zag, curve) are computed here, the
// automatic ones (3 orthogonal, 4 polyline) by the drawing's VRAvoidRouter.
class QntConnector : public VRDrawablePath
{
    VR_CLASS(QntConnector)
public:
    QntConnector();
    ~QntConnector() override;

    // 0 between elements, 1 free-standing, 2 sequence message.
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }

    QntConnectorEndPoint *startEndPoint() const { return m_start.get(); }
    QntConnectorEndPoint *endEndPoint() const { return m_end.get(); }
    QntConnectorEndPoint *connectorEndPoint1() const { return m_start.get(); }
    QntConnectorEndPoint *connectorEndPoint2() const { return m_end.get(); }
    bool isAttachedTo(const QntElement *element) const;
    // Attaches one end (0 start, 1 end) to a spot of an element, or frees it (null); undoable.
    void reattachEnd(int which, const std::shared_ptr<QntElement> &element, int spotIndex);
    // Places both ends and routes (free ends at the given points).
    void setEnds(QPointF start, QPointF end);

    QPointF endPoint() const;
    double lastSegmentAngle() const;
    QPointF lastClickedPointAtAdornment() const { return m_lastClicked; }
    void setLastClickedPointAtAdornment(QPointF p) { m_lastClicked = p; }

    // 0 straight, 1 orthogonal, 2 zig-zag, 3 automatic orthogonal, 4 automatic polyline.
    int routing() const { return m_routing; }
    void setRouting(int routing);
    bool isCurve() const { return m_curve; }
    void setCurve(bool curve);
    void makeZigZag();
    void makeCurve();
    void routeOrthogonal();
    void makeStraight();
    void makeRoutingColaPolyline();
    void makeRoutingColaOrthogonal();
    // How far the middle run of a manual orthogonal route is moved across itself; undoable,
    // kept in files. The live variant (during a drag) records nothing.
    QPointF bendOffset() const { return m_bendOffset; }
    void setBendOffset(QPointF offset);
    void setBendOffsetLive(QPointF offset);
    // Points the user put on a manual straight or zig-zag route; they stay when the ends move.
    QList<QPointF> userPoints() const { return m_userPoints; }
    void insertPathPoint(QPointF point) override;
    void deletePathPoint(QPointF point) override;
    // The ends moved (an attached element moved or resized): route again, without undo.
    void endsDidMove();
    // Sets the routed path (the router's answer), without undo.
    void setRoutedPath(const QPainterPath &path);
    // Whether the router takes the connector's route as it is when the connector is first put
    // in a drawing (a copy of a route it laid); answered once.
    bool takeLaidRoute();
    // A connector brought back from the clipboard keeps the route it was copied with, moved
    // with it, until its ends or the shapes along it change.
    void keepLaidRoute();
    // Moving, resizing, turning or flipping a connector takes its free ends and its own route
    // points along; ends on an element's spot stay there and the line is routed again.
    // Undoable ("Move", "Resize", "Rotate", "Change Path").
    void setLocation(QPointF location) override;
    void setSize(QSizeF size) override;
    void setAngle(double radians) override;
    void applyTransform(const QTransform &transform) override;
    bool hitTest(QPointF drawingPoint) const override;
    // The geometry holds the user's route points and the moved run too, so that taking the
    // connector into or out of a group keeps its route where it is drawn.
    Geometry saveGeometry() const override;
    void restoreGeometry(const Geometry &geometry) override;
    void containerGeometryDidChange() override;

    QVariantMap skinOptions() const { return m_skinOptions; }
    void addSkin(const QVariantMap &options);
    void updateStyle() override;
    void setStyle(VRStyleRef style) override;
    // A copy made outside a drawing builds its arrowheads and skin from the drawing's notation
    // once it is put in.
    void objectWasAddedToLayer(VRObjectOwnerLayer *layer) override;
    // The renderer that draws the shaft and arrowheads; the last renderer of style() unless
    // that style is shared by several objects.
    QntConnectorStyle *connectorStyle() const { return m_connectorStyle.get(); }
    VRObjectList parts() const override;
    QntConnectorStylizedPath *shaft() const { return m_shaft.get(); }
    // The body of a skin drawn from the notation's connector body ("bodyID"), or null.
    QntConnectorSkin *skin() const { return m_skin.get(); }
    // Whether the body is a thick line (a band along the route).
    bool hasThickBody() const { return m_skin && m_thickBody; }
    // The style the shaft is drawn with: the skin's own (its options' "shaftStyle", else the
    // style of its notation body), or the connector's style.
    VRStyleRef shaftStyle() const;
    // Changes the shaft style through `change` (false: nothing changed) as one undoable step:
    // a skin's shaft style is replaced by a changed copy, the connector's own style is changed
    // in place.
    void changeShaftStyle(const std::function<bool(VRStyle &)> &change);

    qint64 colorSchemeId() const override { return m_colorSchemeId; }
    qint64 colorSchemeIdArrowKind(int kind) const;
    void replaceColorScheme(qint64 schemeId) override;
    void replaceColorScheme(qint64 schemeId, int arrowKind);
    QColor shaftColor() const { return m_shaftColour; }
    void setShaftColor(const QColor &colour);
    void changeTransparencyWithCoef(double coef) override;

    // The label.
    const VRTextBlock &label() const { return m_label; }
    // The label's own text renderer: it draws the label, and its label, font, colour,
    // alignments and angle set through it reach the label (as one undo step each). Its layout
    // mode follows the connector's.
    VRTextAdornment *textAdornment() const;
    void setLabel(const VRTextBlock &label);
    QFont font() const { return m_label.font(); }
    void setFont(const QFont &font);
    double fontSize() const { return m_label.font().pointSizeF(); }
    void setFontSize(double size);
    QColor textColour() const { return m_label.colour(); }
    void setTextColour(const QColor &colour);
    int alignment() const { return m_label.alignment(); }
    void setTextFontFamily(const QString &family);
    void setTextFontTypeface(int traitMask, bool underlined);
    void setTextAlign(int alignment);
    QTextDocumentFragment textContent() const override { return m_label.fragment(); }
    void setTextContent(const QTextDocumentFragment &content) override;

    // Label placement: modes 1 along, 2 along mirrored (X -0.5 ... 0.5 along, Y points off the
    // line); any other mode puts it at the reference point plus the offset.
    int layoutMode() const { return m_layoutMode; }
    virtual void setLayoutMode(int mode);
    virtual bool fixedLayoutMode() const { return false; }
    double textXOffset() const { return m_textX; }
    void setTextXOffset(double x);
    double textYOffset() const { return m_textY; }
    void setTextYOffset(double y);
    double textReferencePointRelative() const { return m_reference; }
    void setTextReferencePointRelative(double r);
    QSizeF offsetForPointForTextLayout() const { return m_pointOffset; }
    void setOffsetForPointForTextLayout(QSizeF offset);
    void textDidChange() { notifyVisualChange(); }
    // Where the label's centre sits, in drawing coordinates.
    QPointF labelPosition() const;
    // The label's frame in drawing coordinates; empty when there is no label.
    QRectF labelFrame() const;

    struct LabelSettings {
        int layoutMode = 1;
        double x = 0, y = 0, reference = 0.5;
        QSizeF offset{0, 0};
        bool operator==(const LabelSettings &) const = default;
    };
    LabelSettings labelSettings() const;
    // Undoable ("Change Label Position").
    void setLabelSettings(const LabelSettings &settings);
    // Records no undo: for the steps of a drag, which ends with one undoable change.
    void setLabelSettingsLive(const LabelSettings &settings);
    // The placement, in the current layout mode, that puts the label's centre nearest a
    // drawing point: along the line in modes 1 and 2, else as an offset from the reference.
    LabelSettings labelSettingsForCentre(QPointF centre) const;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;
    // A free end goes where the path now starts or ends (a moved, turned or resized line
    // keeps its place at the next routing); attached ends stay on their sticky spots.
    void geometryDidChange() override;
    // Label placement and settings, restored together by undo.
    // Draws a label through its renderer, centred on centre over a light backing.
    void drawLabel(QPainter &painter, const VRTextBlock &label, VRTextAdornment &renderer,
                   QPointF centre) const;
    // What drawLabel() paints for that label, drawn by that renderer: its backing and its
    // glyphs (measured so, see VRBoundsMeasure); null for no label.
    QRectF labelBounds(const VRTextBlock &label, const VROwnTextRenderer &renderer, QPointF centre,
                       VRBoundsMeasure measure) const;
    // How the labels' renderers lay their text: along the route, or about a point.
    int labelLayoutMode() const;
    QPointF pointAlongPath(double fraction, double normalOffset) const;
    void copyConnectorInto(QntConnector &target) const;
    void changeRouting(int routing, bool curve);
    QPainterPath manualRoute() const;
    // Inside a group the path, free ends and route points are in the group's content
    // coordinates, while sticky spots are found in drawing coordinates.
    bool isInGroup() const;
    // Both ends on spots of one element: a loop beside it.
    bool loopsOnOneElement() const;
    QTransform drawingToPath() const;
    QPointF endInPath(const QntConnectorEndPoint &end) const;
    // True when the path starts and ends where the ends are now.
    bool routeMeetsEnds() const;
    void placeArrows();
    void attachConnectorStyle();
    void rebuildSkinBody(const QString &notationPath);
    QPainterPath bodyBand() const;
    void measureBodyHead(const QString &body, const QString &notationPath);
    // The body's style as the notation builds it in the connector's scheme (and the body's
    // size), or null.
    VRStyleRef builtBodyStyle(const QString &body, const QString &notationPath,
                              QSizeF *size = nullptr) const;
    // Copies of the styles of the skin's body and of the arrowheads' shapes ("body", "start.N",
    // "end.N" for the Nth shape of an arrowhead); only those that differ from what the notation
    // builds when `restyledOnly`. A part restyled on its own is kept in files and copies so.
    QVariantMap partStyles(bool restyledOnly) const;
    // Gives the parts the styles of such a map; names of parts that are not there are skipped.
    void applyPartStyles(const QVariantMap &styles);

private:
    std::unique_ptr<QntConnectorEndPoint> m_start;
    std::unique_ptr<QntConnectorEndPoint> m_end;
    std::shared_ptr<QntConnectorStylizedPath> m_shaft;
    std::shared_ptr<QntConnectorStyle> m_connectorStyle;
    std::shared_ptr<QntConnectorSkin> m_skin;
    VRStyleRef m_bodyStyle;
    // Part styles read from a file (or copied) that wait for the parts to be built.
    QVariantMap m_pendingPartStyles;
    QString m_skinKey;
    // What each arrowhead was made from: it is made again only when that changes.
    struct ArrowKey {
        bool made = false; // no arrowhead was made yet
        QString id;
        QSizeF size;
        qint64 scheme = 0;
        QString notationPath;
        bool operator==(const ArrowKey &) const = default;
    };
    ArrowKey m_startArrowKey;
    ArrowKey m_endArrowKey;
    double m_bodyThickness = 0.0;
    // A thick body drawn with its own head at the end (its shape ends in an arrow): the band's
    // thickness, and the head's length and width, in points; no head when the length is 0.
    double m_bodyShaft = 0.0;
    double m_bodyHeadLength = 0.0;
    double m_bodyHeadWidth = 0.0;
    bool m_thickBody = false;
    QVariantMap m_skinOptions;
    VRTextBlock m_label;
    VROwnTextRenderer m_textRenderer;
    QColor m_shaftColour;
    QPointF m_lastClicked;
    QPointF m_bendOffset;
    QList<QPointF> m_userPoints;
    void setUserPoints(const QList<QPointF> &points);
    void moveFreePartsBy(QPointF delta);
    // Moves the free ends, the user's route points and the moved run through t; ends on an
    // element's spot stay, and then the line is routed again. Undoable under actionName.
    void transformFreeParts(const QTransform &t, const QString &actionName);
    void recordFreeParts(const QString &actionName);
    void recordAngle();
    QSizeF m_pointOffset{0, 0};
    qint64 m_colorSchemeId = 0;
    qint64 m_startSchemeId = 0;
    qint64 m_endSchemeId = 0;
    double m_textX = 0;
    double m_textY = 0;
    double m_reference = 0.5;
    double m_transparency = 1.0;
    int m_mode = 0;
    int m_routing = 0;
    int m_layoutMode = 1;
    bool m_curve = false;
    bool m_keepsLaidRoute = false;
};
