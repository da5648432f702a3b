// Draws a flow chart and a network diagram the way a user does (creation tools from the built-in
// notations, typed labels, the connector tool) and writes the view as PNG files: into
// $QNT_SCREENSHOT_DIR when set (to look at them), else into the test's temporary folder.

#include "framework/ViewTestSupport.h"

#include "framework/notations/QntNotation.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/VRStyle.h"

#include <QDir>
#include <QSet>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

QString notationPath(const QString &relative)
{
    return QStringLiteral(QNT_BIN_DIR "/../share/quintora/Notations/") + relative;
}

QString outputFolder()
{
    QString dir = qEnvironmentVariable("QNT_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QDir::temp().filePath(QStringLiteral("quintora-screens"));
    QDir().mkpath(dir);
    return dir;
}

// Registers the notation's creation tools and returns the tool name for each element title.
QHash<QString, QString> toolsByTitle(const QntNotation &notation, const QStringList &lists)
{
    QHash<QString, QString> byTitle;
    for (const QString &list : lists) {
        VRObjectList prototypes;
        for (const QntElementRecord &record : notation.elementsList(list)) {
            if (!record.prototype)
                continue;
            prototypes.push_back(record.prototype);
            byTitle.insert(record.title, record.prototype->ID());
        }
        VRToolRegistry::sharedToolRegistry().registerCreationToolsForPrototypes(prototypes);
    }
    return byTitle;
}

// Local stand-ins used when a notation's prototypes cannot be read: outlines in unit
// coordinates, drawn as element contours with a light fill.
QPainterPath unitPolygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &p : points) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    path.closeSubpath();
    return path;
}

QPainterPath unitOutline(const QString &kind)
{
    QPainterPath path;
    if (kind == "Terminator") {
        path.addRoundedRect(QRectF(-0.5, -0.5, 1, 1), 50, 50, Qt::RelativeSize);
    } else if (kind == "Decision") {
        path = unitPolygon({{0, -0.5}, {0.5, 0}, {0, 0.5}, {-0.5, 0}});
    } else if (kind == "Data") {
        path = unitPolygon({{-0.38, -0.5}, {0.5, -0.5}, {0.38, 0.5}, {-0.5, 0.5}});
    } else if (kind == "Document") {
        path.moveTo(-0.5, -0.5);
        path.lineTo(0.5, -0.5);
        path.lineTo(0.5, 0.38);
        path.cubicTo(0.25, 0.25, 0.0, 0.62, -0.5, 0.42);
        path.closeSubpath();
    } else if (kind == "Note") {
        path = unitPolygon({{-0.5, -0.5}, {0.38, -0.5}, {0.5, -0.3}, {0.5, 0.5}, {-0.5, 0.5}});
    } else if (kind == "Database") {
        path.moveTo(-0.5, -0.38);
        path.cubicTo(-0.5, -0.55, 0.5, -0.55, 0.5, -0.38);
        path.lineTo(0.5, 0.38);
        path.cubicTo(0.5, 0.55, -0.5, 0.55, -0.5, 0.38);
        path.closeSubpath();
        path.moveTo(-0.5, -0.38);
        path.cubicTo(-0.5, -0.22, 0.5, -0.22, 0.5, -0.38);
    } else if (kind == "Cloud") {
        const QList<QRectF> puffs{{-0.5, -0.15, 0.4, 0.55}, {-0.3, -0.45, 0.45, 0.6},
                                  {0.02, -0.5, 0.4, 0.55},  {0.12, -0.2, 0.38, 0.55},
                                  {-0.25, 0.0, 0.55, 0.5},  {-0.3, -0.3, 0.6, 0.6}};
        for (const QRectF &r : puffs) {
            QPainterPath puff;
            puff.addEllipse(r);
            path = path.united(puff);
        }
    } else if (kind == "Router") {
        path.addEllipse(QRectF(-0.5, -0.5, 1, 1));
    } else {
        path.addRoundedRect(QRectF(-0.5, -0.5, 1, 1), 8, 8, Qt::RelativeSize);
    }
    return path;
}

VRObjectRef localPrototype(const QString &kind, QSizeF size, QColor fill, QColor stroke)
{
    auto contour = VRDrawableShape::shapeWithRect(QRectF(QPointF(), size), unitOutline(kind));
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(fill, stroke, 1.5));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("local") + kind, size);
    element->addTextShape();
    element->setIsPrototype(true);
    return element;
}

QHash<QString, QString> localTools(const QList<std::tuple<QString, QString, QSizeF, QColor>> &kinds)
{
    QHash<QString, QString> byTitle;
    VRObjectList prototypes;
    for (const auto &[title, kind, size, fill] : kinds) {
        VRObjectRef prototype = localPrototype(kind, size, fill, fill.darker(220));
        prototype->setID(QStringLiteral("local") + title);
        prototypes.push_back(prototype);
        byTitle.insert(title, prototype->ID());
    }
    VRToolRegistry::sharedToolRegistry().registerCreationToolsForPrototypes(prototypes);
    return byTitle;
}

std::shared_ptr<QntElement> place(ViewHarness &h, const QString &tool, QPointF at,
                                  const QString &label)
{
    h.useTool(tool);
    h.click(at);
    VRObjectRef made = h.layer()->singleSelection();
    if (!made || !made->isKindOf<QntElement>())
        return nullptr;
    auto element = std::static_pointer_cast<QntElement>(made);
    if (!label.isEmpty()) {
        // Typed in place, as after a double-click.
        h.view->beginInlineEditing(element);
        if (QTextEdit *editor = h.view->inlineEditor()) {
            editor->setPlainText(label);
            h.view->endInlineEditing(true);
        }
    }
    return element;
}

void connect(ViewHarness &h, const std::shared_ptr<QntElement> &a,
             const std::shared_ptr<QntElement> &b)
{
    h.useTool(kVRQntConnectorToolName);
    h.drag(a->logicalBounds().center(), b->logicalBounds().center());
}

int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

QImage snapshot(ViewHarness &h, const QRectF &drawingRect, const QString &name)
{
    QApplication::processEvents();
    h.layer()->deselectAll();
    h.view->scrollPointToCentre(drawingRect.center());
    QApplication::processEvents();
    const QImage image = h.area.grab().toImage();
    image.save(QDir(outputFolder()).filePath(name));
    return image;
}

} // namespace

TEST(DiagramScreenshot, FlowChart)
{
    QntNotationRef notation = QntNotation::notationWithPath(notationPath("FlowChart/FlowChart.db"));
    QHash<QString, QString> tools =
        notation ? toolsByTitle(*notation, {"FlowChart", "Shapes"}) : QHash<QString, QString>();
    if (!tools.contains("Process")) {
        const QColor blue(0xDC, 0xE9, 0xF8), green(0xDD, 0xF2, 0xDD), amber(0xFD, 0xEB, 0xC8),
            rose(0xF8, 0xDE, 0xE0), paper(0xFF, 0xF8, 0xC4);
        tools = localTools({{"Terminator", "Terminator", QSizeF(130, 50), green},
                            {"Data", "Data", QSizeF(150, 60), blue},
                            {"Decision", "Decision", QSizeF(150, 90), amber},
                            {"Process", "Process", QSizeF(150, 60), blue},
                            {"Document", "Document", QSizeF(150, 70), rose},
                            {"Note", "Note", QSizeF(170, 60), paper}});
    }
    ViewHarness h(QSize(1100, 820));
    h.drawing->gridLayer();
    auto start = place(h, tools["Terminator"], {300, 120}, "Start");
    auto input = place(h, tools["Data"], {300, 230}, "Read order");
    auto check = place(h, tools["Decision"], {300, 360}, "In stock?");
    auto ship = place(h, tools["Process"], {300, 500}, "Ship order");
    auto back = place(h, tools["Document"], {600, 360}, "Back-order note");
    auto end = place(h, tools["Terminator"], {300, 620}, "End");
    auto note = place(h, tools["Note"], {620, 150}, "Orders arrive by mail and web");
    for (const auto &e : {start, input, check, ship, back, end, note})
        ASSERT_NE(e, nullptr);
    connect(h, start, input);
    connect(h, input, check);
    connect(h, check, ship);
    connect(h, check, back);
    connect(h, ship, end);
    connect(h, back, end);
    int connectors = 0;
    for (const VRObjectRef &o : h.layer()->objects())
        connectors += o->isKindOf<QntConnector>() ? 1 : 0;
    EXPECT_EQ(connectors, 6);
    const QImage image = snapshot(h, QRectF(150, 60, 650, 620), "flowchart.png");
    EXPECT_GT(distinctColours(image), 40);
}

TEST(DiagramScreenshot, Network)
{
    QntNotationRef notation = QntNotation::notationWithPath(notationPath("Network/Network.db"));
    QHash<QString, QString> tools =
        notation ? toolsByTitle(*notation, {"Shapes"}) : QHash<QString, QString>();
    if (!tools.contains("Server")) {
        const QColor blue(0xDC, 0xE9, 0xF8), grey(0xE6, 0xE8, 0xEC), red(0xF8, 0xD8, 0xD4),
            green(0xDD, 0xF2, 0xDD), sky(0xE8, 0xF4, 0xFF);
        tools = localTools({{"Internet", "Cloud", QSizeF(140, 80), sky},
                            {"Firewall", "Process", QSizeF(110, 50), red},
                            {"Router", "Router", QSizeF(70, 70), blue},
                            {"Switch", "Process", QSizeF(130, 36), blue},
                            {"Server", "Process", QSizeF(80, 100), grey},
                            {"Database", "Database", QSizeF(90, 80), green},
                            {"Desktop Computer", "Process", QSizeF(100, 70), grey},
                            {"Laptop", "Process", QSizeF(100, 60), grey},
                            {"Printer", "Process", QSizeF(90, 60), grey}});
    }
    ViewHarness h(QSize(1100, 820));
    auto internet = place(h, tools["Internet"], {450, 110}, "Internet");
    auto firewall = place(h, tools["Firewall"], {450, 250}, "Firewall");
    auto router = place(h, tools["Router"], {450, 370}, "Core router");
    auto sw = place(h, tools["Switch"], {450, 490}, "Switch");
    auto web = place(h, tools["Server"], {220, 370}, "Web server");
    auto db = place(h, tools["Database"], {220, 500}, "Database");
    auto pc = place(h, tools["Desktop Computer"], {330, 640}, "Office PC");
    auto laptop = place(h, tools["Laptop"], {570, 640}, "Laptop");
    auto printer = place(h, tools["Printer"], {700, 490}, "Printer");
    for (const auto &e : {internet, firewall, router, sw, web, db, pc, laptop, printer})
        ASSERT_NE(e, nullptr);
    connect(h, internet, firewall);
    connect(h, firewall, router);
    connect(h, router, web);
    connect(h, web, db);
    connect(h, router, sw);
    connect(h, sw, pc);
    connect(h, sw, laptop);
    connect(h, sw, printer);
    int connectors = 0;
    for (const VRObjectRef &o : h.layer()->objects())
        connectors += o->isKindOf<QntConnector>() ? 1 : 0;
    EXPECT_EQ(connectors, 8);
    const QImage image = snapshot(h, QRectF(120, 40, 700, 680), "network.png");
    EXPECT_GT(distinctColours(image), 40);

    // The same with a selected element (handles) and a selected connector (its line and ends).
    h.click(router->logicalBounds().center());
    const QImage element = h.area.grab().toImage();
    element.save(QDir(outputFolder()).filePath("network-element-selected.png"));
    h.click(QPointF(340, 370)); // on the router-to-web-server connector
    ASSERT_NE(h.layer()->singleSelection(), nullptr);
    EXPECT_TRUE(h.layer()->singleSelection()->isKindOf<QntConnector>());
    const QImage connector = h.area.grab().toImage();
    connector.save(QDir(outputFolder()).filePath("network-connector-selected.png"));
    EXPECT_NE(element, connector);
}
