#pragma once

#include "framework/base/VRTypes.h"

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <memory>

class VRObjectOwnerLayer;

// Reads the SVG pictures Mermaid draws and turns them into drawing objects:
// - a node (a group of class "node") becomes an element (`QntElement`) whose parts are the
//   node's outlines and whose text is its label; metadata "name" holds the diagram's node
//   identifier ("data-qnt-name", else the group's id) and "uid" the group's id;
// - a subgraph (class "cluster") becomes an element with metadata "class" = its SVG class;
// - an edge (a path with "data-qnt-from" / "data-qnt-to", or of class "flowchart-link")
//   becomes a connector (`QntConnector`) with metadata "from" and "to", its label taken from
//   the edge label of the same "data-id", arrowheads from its markers, dash and width from its
//   style;
// - class and state diagrams whose nodes the page named come in the same way: a class's name
//   is its element's text, its attributes and operations texts inside it; a composite state
//   is a container ("class" beginning with "cluster"); a relation with multiplicities is a
//   connector with a label near each end; arrowheads follow the relation's marker;
// - a sequence diagram's participant (box or figure, lifeline, bottom box, activation bars)
//   becomes one element named by the participant, with a sticky spot where each message meets
//   its lifeline; each message a connector from spot to spot with "from" and "to", its text
//   as its label; notes become elements, loop/alt/opt/par frames containers with their titles
//   and their sections' conditions, each naming in metadata "holds" (uids, one a line) the
//   messages and smaller frames that lie within it and in no smaller frame;
// - every other rectangle, circle, ellipse, polygon and closed path becomes a shape, open
//   lines and paths a path, and texts a text element placed where the picture puts them.
// Styles come from presentation attributes, the picture's own stylesheet (type, class and id
// selectors, descendant and child combinators) and inline styles, in the order SVG gives them.
// Coordinates are the picture's user units with the view box's corner at the origin.
class SVGKImage
{
public:
    // Refuses input that is not an SVG document, or bigger or deeper than a diagram can be.
    static VRResult<std::shared_ptr<SVGKImage>> imageWithData(const QByteArray &data);
    ~SVGKImage();

    // A new container (a layer of no drawing) holding the objects of the picture, bottom first,
    // with the view box's corner at the origin given.
    std::unique_ptr<VRObjectOwnerLayer> newVRTree(QPointF origin = {}) const;

    // Limits on what is read.
    static constexpr qsizetype kMaxBytes = 64 * 1024 * 1024;
    static constexpr int kMaxDepth = 200;
    static constexpr int kMaxElements = 400000;

    struct Node;

private:
    SVGKImage();
    std::unique_ptr<Node> m_root;
};
