#pragma once

#include "framework/model/QntStickySpot.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRShapeGroup.h"

#include <QList>

#include <functional>
#include <memory>

class QntConnector;
class VRDrawingView;

// A shape of a notation: a group of parts (the contour "contour", decorations "decor...",
// named parts "p...") with an optional text part, sticky spots, paddings, autosize and
// colour-scheme colouring.
class QntElement : public VRShapeGroup
{
    VR_CLASS(QntElement)
public:
    QntElement();
    ~QntElement() override;

    // A fresh copy of the notation's prototype; null when the id is unknown.
    static VRObjectRef createWithElementId(const QString &elementId, const QString &notationPath);
    static std::shared_ptr<QntElement> createWithObjects(const VRObjectList &objects,
                                                         const QString &id, QSizeF originalSize);
    // Colours of a notation's schemes: items type "Fill", "Stroke", "Text" or "GradientStops";
    // invalid when the notation cannot be read.
    static QColor schemeColour(const QString &notationPath, qint64 schemeId,
                               const QString &itemsType, int index, double *alpha = nullptr);

    bool canUngroup() const { return m_canUngroup; }
    void setCanUngroup(bool can) { m_canUngroup = can; }
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    QString notationPath() const { return m_notationPath; }
    void setNotationPath(const QString &path) { m_notationPath = path; }

    void setupAfterDraggingFromPalette();
    void addTextShape();
    QntTextShape *text() const { return m_text.get(); }
    std::shared_ptr<QntTextShape> textRef() const { return m_text; }

    VRObjectList parts() const override;
    VRObjectRef contourObject() const;
    // An element without a style of its own takes its look from its contour.
    VRStyleRef editableStyle() const override;
    void setEditableStyle(VRStyleRef style) override;
    QList<std::shared_ptr<QntElement>> allElements() const;
    bool editAllPartsAtOnce() const { return m_editAllPartsAtOnce; }
    void setEditAllPartsAtOnce(bool all) { m_editAllPartsAtOnce = all; }
    bool onlyContourMode() const { return m_onlyContourMode; }
    void setOnlyContourMode(bool only) { m_onlyContourMode = only; }

    // Text attributes: trait bits 1 italic, 2 bold, 4 unbold, 0x01000000 unitalic;
    // alignment 0 left, 1 right, 2 centre, 3 justified.
    void setTextFontFamily(const QString &family);
    void setTextFontTypeface(int traitMask, bool underlined);
    void setTextFontSize(double size);
    void setTextColor(const QColor &colour);
    void setTextAlign(int alignment);
    QTextDocumentFragment textContent() const override;
    void setTextContent(const QTextDocumentFragment &content) override;

    // Paddings: mode 0 = fractions of the size, 1 = points.
    int paddingMode() const { return m_paddingMode; }
    void setPaddingMode(int mode);
    double paddingTopBottom() const { return m_paddingTB; }
    double paddingLeftRight() const { return m_paddingLR; }
    double paddingTopBottomAbs() const;
    double paddingLeftRightAbs() const;
    void setPaddingTopBottom(double padding);
    void setPaddingLeftRight(double padding);

    QSizeF originalSize() const { return m_originalSize; }
    void setOriginalSize(QSizeF size) { m_originalSize = size; }
    QSizeF originalSizeWithoutScale() const { return m_originalSizeWithoutScale; }
    void setOriginalSizeWithoutScale(QSizeF size) { m_originalSizeWithoutScale = size; }
    void setSizeBeforeChanging(QSizeF size) { m_sizeBeforeChanging = size; }
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);
    bool keepFixedWidth() const { return m_keepFixedWidth; }
    void setKeepFixedWidth(bool keep);
    bool resizedByUser() const { return m_resizedByUser; }
    void setResizedByUser(bool resized) { m_resizedByUser = resized; }
    // Fits the size to the text (never below the original size unless allowed by the defaults):
    // the height, and the width too unless the width is kept.
    void performAutoSize();
    // Where the text goes in an element of that size, in its own units about its centre: inside
    // the paddings, and in a diamond the rectangle inscribed in it, so no word reaches its
    // corners.
    QRectF textAreaForSize(QSizeF size) const;

    void updateConnectedConnectors();
    QList<std::shared_ptr<QntConnector>> connectedConnectors() const;
    // An element may hold others of its layer, as a frame holds its messages: metadata
    // "holds" names their uids, one a line. When the user moves elements by `delta`, what
    // they hold goes along: elements by the same offset (and what they hold in turn),
    // connectors by sliding their attached ends up or down the elements they are on, so a
    // message stays on its lifelines. Objects among `moved` move by themselves.
    static void carryHeldObjects(const VRObjectList &moved, QPointF delta);
    // Copies going into `layer` in `batches`, each batch one copy of the same objects (one for
    // a paste, one per step of a duplication): a copy's "holds" names the copies of its batch
    // instead of what the original held, dropping what was not copied, and a copy whose uid
    // a "holds" there may name, and that is taken in the layer or by an earlier copy, gets a
    // uid of its own. So what holds the originals never takes a copy along, nor the reverse.
    static void separateHeldCopies(const QList<VRObjectList> &batches,
                                   const VRObjectOwnerLayer *layer);
    // After the user moved elements by `delta`, as a participant with its lifeline, the
    // elements that hold messages on them widen or narrow to enclose what they hold again,
    // as far out from it on each side as before (and so do the elements holding those).
    // Elements among `moved`, or carried along by them, keep their size.
    static void fitHoldersAcross(const VRObjectList &moved, QPointF delta);
    // Widens or narrows the element to run from `left` to `right` across the drawing, keeping
    // its parts' sizes: parts that run across it stretch, the others go along with the side
    // they are near (those about its middle keep in the middle). Undoable.
    void stretchAcross(double left, double right);
    bool isHighlightedForConnectorSnapping() const { return m_highlighted; }
    void setHighlightedForConnectorSnapping(bool highlighted);
    void postMouseDownAtPoint(QPointF point, VRDrawingView *view);
    void connectToTargetElement(QntElement *target,
                                const std::shared_ptr<QntConnector> &preparedConnector);

    const QList<std::shared_ptr<QntStickySpot>> &stickySpots() const { return m_spots; }
    std::shared_ptr<QntStickySpot> stickySpotAtIndex(int index) const;
    // The spot nearest to a drawing point.
    std::shared_ptr<QntStickySpot> nearestStickySpot(QPointF point) const;
    void insertStickySpot(QPointF relativePosition);
    void removeStickySpot(QntStickySpot *spot);
    void setStickySpots(const QList<QPointF> &relativePositions);

    qint64 colorSchemeId() const override { return m_colorSchemeId; }
    void replaceColorScheme(qint64 schemeId) override;
    double transparencyCoef() const { return m_transparency; }
    void changeTransparencyWithCoef(double coef) override;
    void setNotes(const QString &notes) { setString(notes, QStringLiteral("Notes")); }

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;
    void setState(int state) override { VRShapeGroup::setState(state); }

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;
    void geometryDidChange() override;
    // Places the text part inside the paddings.
    void layoutText();
    void recolourParts();
    // Restores every element setting at once (undo of compound changes).
    struct Settings {
        int paddingMode = 0;
        double paddingLR = 0.05, paddingTB = 0.05;
        bool autoSize = false;
        bool keepFixedWidth = false;
        qint64 colorSchemeId = 0;
        double transparency = 1.0;
        QList<QPointF> spots;
    };
    Settings settings() const;
    void setSettings(const Settings &settings, const QString &actionName);
    // The geometry of the element and its parts at once (undo of a stretch).
    struct Shape {
        Geometry own;
        QRectF contentRect;
        QList<Geometry> members;
    };
    Shape shape() const;
    void setShape(const Shape &shape);
    void copyElementInto(QntElement &target) const;

private:
    std::shared_ptr<QntTextShape> m_text;
    QList<std::shared_ptr<QntStickySpot>> m_spots;
    QString m_notationPath;
    QSizeF m_originalSize{0, 0};
    QSizeF m_originalSizeWithoutScale{0, 0};
    QSizeF m_sizeBeforeChanging{0, 0};
    qint64 m_colorSchemeId = 0;
    double m_transparency = 1.0;
    double m_paddingLR = 0.05;
    double m_paddingTB = 0.05;
    int m_paddingMode = 0;
    int m_mode = 0;
    bool m_canUngroup = true;
    bool m_editAllPartsAtOnce = false;
    bool m_onlyContourMode = false;
    bool m_autoSize = false;
    bool m_keepFixedWidth = false;
    bool m_resizedByUser = false;
    bool m_highlighted = false;
};
