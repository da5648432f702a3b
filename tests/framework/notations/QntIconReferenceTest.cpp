#include "framework/notations/QntIconReference.h"

#include "framework/notations/CompiledNotations.h"
#include "platform/QntPaths.h"
#include "common/QtChildProcess.h"

#include <QFileInfo>
#include <QImage>
#include <QStringList>

using qnt::test::childOutput;

namespace {

class IconReference : public CompiledNotationsTest
{
protected:
    static QString text(const QString &pdf)
    {
        return childOutput(QStringLiteral("pdftotext"),
                           {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    }
    // A page rasterised at 72 dots per inch: one pixel per point.
    QImage page(const QString &pdf, int number)
    {
        const QString base = m_dir.filePath(QStringLiteral("page%1").arg(number));
        childOutput(QStringLiteral("pdftoppm"),
                    {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                     QString::number(number), QStringLiteral("-l"), QString::number(number),
                     QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, base});
        return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }
    static int inkedPixels(const QImage &image, const QRect &area)
    {
        int count = 0;
        for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
            for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right());
                 ++x)
                count += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
        return count;
    }
};

} // namespace

// The reference holds every network icon, drawn in its cell, with its name under it, in the
// groups of the shape library.
TEST_F(IconReference, EveryNetworkIconIsDrawnWithItsNameInItsGroup)
{
    const auto groups = QntIconReference::groupsFromFolder(compiledPath(QString()));
    ASSERT_TRUE(groups) << groups.errorMessage().toStdString();
    ASSERT_EQ(groups->size(), 2);
    EXPECT_EQ(groups->at(0).title, "Network");
    EXPECT_EQ(groups->at(1).title, "Ext. Network");
    QStringList names;
    for (const auto &group : *groups)
        for (const QntElementRecord &record : group.elements)
            names << record.title;
    for (const char *name : {"Server", "Router", "Firewall", "Load Balancer", "VPN Gateway"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    // The texts and arrows every library shares are no icons.
    for (const char *name : {"Text", "Right Arrow", "Dashed Line"})
        EXPECT_FALSE(names.contains(QString::fromLatin1(name))) << name;

    const QString pdf = m_dir.filePath(QStringLiteral("reference.pdf"));
    const auto placements = QntIconReference::write(*groups, pdf);
    ASSERT_TRUE(placements) << placements.errorMessage().toStdString();
    ASSERT_EQ(placements->size(), names.size());
    const QString words = text(pdf).simplified();
    EXPECT_LT(words.indexOf("Network"), words.indexOf("Ext. Network"));
    int pageNumber = -1;
    QImage image;
    for (const QntIconReference::Placement &placement : *placements) {
        SCOPED_TRACE(placement.name.toStdString());
        EXPECT_TRUE(words.contains(placement.name));
        if (placement.page != pageNumber) {
            pageNumber = placement.page;
            image = page(pdf, pageNumber + 1);
            ASSERT_FALSE(image.isNull());
        }
        EXPECT_GT(inkedPixels(image, placement.icon.toAlignedRect()), 40);
        EXPECT_GT(inkedPixels(image, placement.label.toAlignedRect()), 10);
    }
}

// The build installs the reference among the application's resources, where Help opens it.
TEST_F(IconReference, TheBuiltReferenceIsInstalledWithTheNames)
{
    const QString pdf =
        QntPaths::bundleResourcesPath() + QLatin1Char('/') + QntIconReference::kFileName;
    ASSERT_TRUE(QFileInfo::exists(pdf)) << pdf.toStdString();
    const QString words = text(pdf).simplified();
    for (const char *name : {"Network Icon Reference", "Ext. Network", "Server", "Wireless Router"})
        EXPECT_TRUE(words.contains(QString::fromLatin1(name))) << name;
}
