// Draws a flow chart and a network diagram the way a user does (creation tools from the built-in
// notations, typed labels, the connector tool) and compares the view with golden pictures in
// tests/data/diagrams (the pictures also go to the build tree's test pictures, to look at).

#include "framework/ViewTestSupport.h"
#include "common/GoldenPicture.h"
#include "common/ScopedCreationTools.h"

#include "framework/notations/QntNotation.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/base/VRConstants.h"

#include <QDir>
#include <QSet>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString notationPath(const QString &relative)
{
    return QStringLiteral(QNT_BIN_DIR "/../share/quintora/Notations/") + relative;
}

// The notation's elements of the given lists, with creation tools registered for the test; a
// title the test needs but the notation lacks fails the test, naming the title.
class NotationTools
{
public:
    NotationTools(const QString &relativePath, const QStringList &lists, const QStringList &needed)
    {
        QntNotationRef notation = QntNotation::notationWithPath(notationPath(relativePath));
        if (!notation || !notation->isValid()) {
            ADD_FAILURE() << "cannot read the notation " << relativePath.toStdString();
            return;
        }
        VRObjectList prototypes;
        for (const QString &list : lists) {
            for (const QntElementRecord &record : notation->elementsList(list)) {
                if (!record.prototype)
                    continue;
                prototypes.push_back(record.prototype);
                m_byTitle.insert(record.title, record.prototype->ID());
            }
        }
        m_registered = std::make_unique<qnt::test::ScopedCreationTools>(prototypes);
        QStringList missing;
        for (const QString &title : needed)
            if (!m_byTitle.contains(title))
                missing << title;
        if (!missing.isEmpty())
            ADD_FAILURE() << relativePath.toStdString() << " lacks the shapes "
                          << missing.join(QStringLiteral(", ")).toStdString();
        m_complete = missing.isEmpty();
    }
    bool isComplete() const { return m_complete; }
    QString operator[](const QString &title) const { return m_byTitle.value(title); }

private:
    QHash<QString, QString> m_byTitle;
    std::unique_ptr<qnt::test::ScopedCreationTools> m_registered;
    bool m_complete = false;
};

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
        QTextEdit *editor = h.view->inlineEditor();
        if (!editor) {
            ADD_FAILURE() << "no editor for the label " << label.toStdString();
            return nullptr;
        }
        editor->setPlainText(label);
        h.view->endInlineEditing(true);
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

// What the view shows (its scroll area with it), also written to the test pictures.
QImage grabView(ViewHarness &h, const QString &name)
{
    const QImage image = h.area.grab().toImage();
    image.save(QDir(qnt::test::picturesFolder(QStringLiteral("diagrams"))).filePath(name + ".png"));
    return image;
}

QImage snapshot(ViewHarness &h, const QRectF &drawingRect, const QString &name)
{
    QApplication::processEvents();
    h.layer()->deselectAll();
    h.view->scrollPointToCentre(drawingRect.center());
    QApplication::processEvents();
    return grabView(h, name);
}

} // namespace

TEST(DiagramScreenshot, FlowChart)
{
    const NotationTools tools("FlowChart/FlowChart.db", {"FlowChart", "Shapes"},
                              {"Terminator", "Data", "Decision", "Process", "Document", "Note"});
    ASSERT_TRUE(tools.isComplete());
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
    const QImage image = snapshot(h, QRectF(150, 60, 650, 620), "flowchart");
    EXPECT_GT(distinctColours(image), 40);
    EXPECT_TRUE(qnt::test::matchesGolden(image, "diagrams/flowchart"));
}

TEST(DiagramScreenshot, Network)
{
    const NotationTools tools("Network/Network.db", {"Shapes"},
                              {"Internet", "Firewall", "Router", "Switch", "Server", "Database",
                               "Desktop Computer", "Laptop", "Printer"});
    ASSERT_TRUE(tools.isComplete());
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
    const QImage image = snapshot(h, QRectF(120, 40, 700, 680), "network");
    EXPECT_GT(distinctColours(image), 40);
    EXPECT_TRUE(qnt::test::matchesGolden(image, "diagrams/network"));

    // The same with a selected element (handles) and a selected connector (its line and ends).
    h.click(router->logicalBounds().center());
    const QImage element = grabView(h, "network-element-selected");
    EXPECT_TRUE(qnt::test::matchesGolden(element, "diagrams/network-element-selected"));
    h.click(QPointF(340, 370)); // on the router-to-web-server connector
    ASSERT_NE(h.layer()->singleSelection(), nullptr);
    EXPECT_TRUE(h.layer()->singleSelection()->isKindOf<QntConnector>());
    const QImage connector = grabView(h, "network-connector-selected");
    EXPECT_TRUE(qnt::test::matchesGolden(connector, "diagrams/network-connector-selected"));
    EXPECT_NE(element, connector);
}
