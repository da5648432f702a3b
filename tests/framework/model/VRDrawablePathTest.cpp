#include "framework/model/VRDrawablePath.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

// Path data read token by token with QString's own number reading: what the reader must match.
std::optional<QPainterPath> readAsQStringDoes(const QString &data)
{
    const QStringList tokens = data.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QPainterPath path;
    int i = 0;
    const auto number = [&](double &v) {
        bool ok = false;
        v = i < tokens.size() ? tokens.at(i++).toDouble(&ok) : 0.0;
        return ok && std::isfinite(v) && std::abs(v) <= 1e7;
    };
    while (i < tokens.size()) {
        const QString cmd = tokens.at(i++);
        double v[6];
        if (cmd == QLatin1String("M") || cmd == QLatin1String("L")) {
            if (!number(v[0]) || !number(v[1]))
                return std::nullopt;
            cmd == QLatin1String("M") ? path.moveTo(v[0], v[1]) : path.lineTo(v[0], v[1]);
        } else if (cmd == QLatin1String("C")) {
            for (double &x : v)
                if (!number(x))
                    return std::nullopt;
            path.cubicTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        } else if (cmd == QLatin1String("Z")) {
            path.closeSubpath();
        } else {
            return std::nullopt;
        }
    }
    return path;
}

} // namespace

// Path data of every shape a file may hold (written by us, or by hand): the reader takes and
// refuses exactly what reading each token as a QString number does, to the last bit.
TEST(PathData, NumbersAreReadAsQStringReadsThem)
{
    const char *texts[] = {
        "M 8840 2770 L 80 2840",
        "M 0.1 0.30000000000000004 L 1234567.8901234567 -9999999.999999998",
        "M 1e-7 2.5E3 C 1 2 3 4 5 6 Z",
        "M -0 -0.0 L .5 5.",
        "M +5 6",
        "M \t5 6",
        "M 5\t 6",
        "M 1e7 -1e7",
        "M 1.0000001e7 0",
        "M 1e400 0",
        "M 1.5e 0",
        "M - 0",
        "M e5 0",
        "M 0x10 0",
        "M 1,5 0",
        "M 1..5 0",
        "M 5",
        "M 5 6 X",
        "  M   1   2  ",
        "",
        "M 0.1234567890123456789012345678901234567890123456789012345678901234567890 0",
    };
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        const QString data = QString::fromLatin1(text);
        const std::optional<QPainterPath> expected = readAsQStringDoes(data);
        const std::optional<QPainterPath> read = VRPath::fromSvgData(data);
        ASSERT_EQ(read.has_value(), expected.has_value());
        if (!read)
            continue;
        ASSERT_EQ(read->elementCount(), expected->elementCount());
        for (int k = 0; k < read->elementCount(); ++k) {
            EXPECT_EQ(read->elementAt(k).type, expected->elementAt(k).type);
            EXPECT_EQ(std::signbit(read->elementAt(k).x), std::signbit(expected->elementAt(k).x));
            EXPECT_EQ(read->elementAt(k).x, expected->elementAt(k).x);
            EXPECT_EQ(read->elementAt(k).y, expected->elementAt(k).y);
        }
    }
}
