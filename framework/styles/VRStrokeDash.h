#pragma once

#include <QColor>
#include <QImage>
#include <QList>

#include <memory>

class QPen;
class VRStrokeDash;
using VRDashRef = std::shared_ptr<VRStrokeDash>;

// A dash pattern (mark, space, mark, ...) of at most eight lengths, with a phase and optional
// scaling by the line width. Registered dashes are shared objects.
class VRStrokeDash
{
public:
    static constexpr int kMaximumCount = 8;

    VRStrokeDash() = default;
    explicit VRStrokeDash(const QList<double> &pattern, double phase = 0.0,
                          bool scalesToLineWidth = false);
    static VRDashRef create(const QList<double> &pattern, double phase = 0.0,
                            bool scalesToLineWidth = false);

    QList<double> dashPattern() const { return m_pattern; }
    // Keeps at most eight values; negative and non-finite values become 0.
    void setDashPattern(const QList<double> &pattern);
    int count() const { return static_cast<int>(m_pattern.size()); }
    double phase() const { return m_phase; }
    void setPhase(double phase);
    bool scalesToLineWidth() const { return m_scalesToLineWidth; }
    void setScalesToLineWidth(bool scales) { m_scalesToLineWidth = scales; }
    double length() const;

    // Dashes live in the pen in Qt; a pattern with no mark length leaves the pen solid.
    void applyToPen(QPen &pen, double lineWidth) const;

    VRDashRef copy() const;
    // The dash drawn as a short line in the given colour on a transparent ground, for menus;
    // a list draws it in its own text colour so it stays readable on any ground.
    QImage standardDashSwatchImage(const QColor &colour = Qt::black) const;

    bool isEqual(const VRStrokeDash &other) const;

    static VRDashRef defaultDash();
    static const QList<VRDashRef> &registeredDashes();

private:
    QList<double> m_pattern;
    double m_phase = 0.0;
    bool m_scalesToLineWidth = false;
};
