#include "common/GoldenPicture.h"

#include "common/TestFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace qnt::test {

qint64 differingPixels(const QImage &a, const QImage &b, int tolerance)
{
    if (a.size() != b.size())
        return qint64(a.width()) * a.height() + 1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    qint64 count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            if (std::abs(qRed(p[col]) - qRed(q[col])) > tolerance
                || std::abs(qGreen(p[col]) - qGreen(q[col])) > tolerance
                || std::abs(qBlue(p[col]) - qBlue(q[col])) > tolerance
                || std::abs(qAlpha(p[col]) - qAlpha(q[col])) > tolerance)
                ++count;
        }
    }
    return count;
}

QString picturesFolder(const QString &subfolder)
{
    QString folder = qEnvironmentVariable("QNT_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral(QNT_TEST_PICTURES_DIR);
    if (!subfolder.isEmpty())
        folder = QDir(folder).filePath(subfolder);
    QDir().mkpath(folder);
    return folder;
}

testing::AssertionResult matchesGolden(const QImage &actualImage, const QString &name)
{
    const QString goldenPath =
        QStringLiteral(QNT_TEST_DATA_DIR "/") + name + QStringLiteral(".png");
    const QImage actual = actualImage.convertToFormat(QImage::Format_ARGB32);
    // Text drawn with a fallback font differs everywhere: name the missing font instead, and
    // never make a golden from it.
    if (const QString fonts = missingFonts(); !fonts.isEmpty())
        return testing::AssertionFailure() << name.toStdString() << ": " << fonts.toStdString();
    if (qEnvironmentVariableIntValue("QNT_UPDATE_GOLDENS") == 1) {
        QDir().mkpath(QFileInfo(goldenPath).path());
        if (!actual.save(goldenPath))
            return testing::AssertionFailure() << "cannot write " << goldenPath.toStdString();
        return testing::AssertionSuccess();
    }
    const QString actualPath =
        QDir(picturesFolder()).filePath(name + QStringLiteral(".actual.png"));
    const QImage golden(goldenPath);
    QString why;
    if (golden.isNull()) {
        why = QStringLiteral("no golden picture ") + goldenPath;
    } else if (golden.size() != actual.size()) {
        why = QStringLiteral("%1 × %2 pixels, the golden %3 × %4")
                  .arg(actual.width())
                  .arg(actual.height())
                  .arg(golden.width())
                  .arg(golden.height());
    } else {
        const qint64 differing = differingPixels(actual, golden, 2);
        const qint64 allowed = qint64(actual.width()) * actual.height() / 200;
        if (differing > allowed)
            why = QStringLiteral("%1 pixels differ from the golden %2, at most %3 may")
                      .arg(differing)
                      .arg(goldenPath)
                      .arg(allowed);
    }
    if (why.isEmpty()) {
        QFile::remove(actualPath);
        return testing::AssertionSuccess();
    }
    QDir().mkpath(QFileInfo(actualPath).path());
    actual.save(actualPath);
    return testing::AssertionFailure() << name.toStdString() << ": " << why.toStdString()
                                       << " (actual picture: " << actualPath.toStdString() << ")";
}

} // namespace qnt::test
