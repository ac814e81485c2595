#include "KzFootprintExtent.h"

#include <algorithm>
#include <cmath>

namespace {

// Past this drift (mm) an extent is worked out anew: it keeps the shortcuts'
// allowances small against the footprints' own sizes.
const double kDriftLimit = 1e-2;

} // namespace

KzFootprintExtent KzFootprintExtent::Of(const QVector<QVector2D>& hull)
{
    KzFootprintExtent e;
    const int n = hull.size();
    if (n == 0) {
        e.finite = false;
        return e;
    }
    e.minX = e.maxX = hull[0].x();
    e.minY = e.maxY = hull[0].y();
    double shortest = -1;
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = hull[i];
        const QVector2D& b = hull[(i + 1) % n];
        if (!std::isfinite(a.x()) || !std::isfinite(a.y()))
            e.finite = false;
        e.minX = std::min(e.minX, a.x());
        e.maxX = std::max(e.maxX, a.x());
        e.minY = std::min(e.minY, a.y());
        e.maxY = std::max(e.maxY, a.y());
        if (a.x() == b.x() && a.y() != b.y())
            e.m_dVerticalSpan = std::max(e.m_dVerticalSpan, std::abs(double(b.y()) - a.y()));
        if (a.y() == b.y() && a.x() != b.x())
            e.m_dHorizontalSpan = std::max(e.m_dHorizontalSpan, std::abs(double(b.x()) - a.x()));
        // As the polygon test takes an edge: the difference in floats.
        const double dx = double(b.x() - a.x()), dy = double(b.y() - a.y());
        const double squared = dx * dx + dy * dy;
        e.m_bShortEdge = e.m_bShortEdge || squared <= 1e-9;
        shortest = shortest < 0 ? squared : std::min(shortest, squared);
    }
    e.m_dShortest = std::sqrt(shortest);
    e.reach = std::max({std::abs(double(e.minX)), std::abs(double(e.maxX)), std::abs(double(e.minY)),
                        std::abs(double(e.maxY))});
    return e;
}

void KzFootprintExtent::Inscribe(const QVector<QVector2D>& hull)
{
    inscribed = true;
    cx = cy = radius = 0;
    const int n = hull.size();
    if (n < 3 || ShortEdge() || !finite)
        return;
    for (const QVector2D& a : hull) {
        cx += double(a.x()) / n;
        cy += double(a.y()) / n;
    }
    double least = -1;   // squared distance to the nearest edge line
    int side = 0;
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = hull[i];
        const QVector2D& b = hull[(i + 1) % n];
        const double dx = double(b.x()) - a.x(), dy = double(b.y()) - a.y();
        const double cross = dx * (cy - a.y()) - dy * (cx - a.x());
        const int sign = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
        if (sign == 0 || (side != 0 && sign != side)) {
            radius = 0;
            return;
        }
        side = sign;
        const double squared = cross * cross / (dx * dx + dy * dy);
        least = least < 0 ? squared : std::min(least, squared);
    }
    // Measured from the points as they stand: the drift so far is in them.
    radius = std::sqrt(least) + m_dDrift;
}

// Each moved coordinate is off the exact sum by at most half a unit in the
// last place of the result, which is within the new extent: 2^-24 of reach.
// A length along an axis changes by two of those, a point by less; the
// disc's centre moves in doubles, far finer.
bool KzFootprintExtent::Follow(const QVector2D& d)
{
    if (!finite)
        return false;
    minX += d.x();
    maxX += d.x();
    minY += d.y();
    maxY += d.y();
    if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) || !std::isfinite(maxY))
        return false;
    reach = std::max({std::abs(double(minX)), std::abs(double(maxX)), std::abs(double(minY)), std::abs(double(maxY))});
    if (inscribed) {
        cx += d.x();
        cy += d.y();
    }
    m_dDrift += std::ldexp(reach, -23) * 1.001 + 1e-40;
    return m_dDrift <= kDriftLimit;
}

// The polygon test finds no overlap when a flat edge's length falls to
// (about) 3e-5 mm; an edge that was longer by more than the drift allows
// has not come down to that.
bool KzFootprintExtent::ShortEdge() const
{
    return m_bShortEdge || m_dShortest <= 1e-4 + 4 * m_dDrift;
}

// PolygonCollisionPushVector tries the normal of every edge of both: an edge
// exactly along the y axis has the x axis for its normal (unit, or within
// rounding of unit and then kept as it is), and along it every projection is
// the x coordinate times one factor, rounded, so in the coordinates' order.
// Extents apart in x (touching is apart, as there) are then apart in that
// test; likewise in y.
bool KzFootprintExtent::SurelyApart(const KzFootprintExtent& a, const KzFootprintExtent& b)
{
    if (!a.finite || !b.finite)
        return false;
    if ((a.Vertical() || b.Vertical()) && (b.maxX <= a.minX || b.minX >= a.maxX))
        return true;
    return (a.Horizontal() || b.Horizontal()) && (b.maxY <= a.minY || b.minY >= a.maxY);
}

// Discs inside each that overlap by more than the test's rounding (a few
// units in the last place of the largest coordinate, here taken a thousand
// times over) overlap along every direction the test tries. A disc is taken
// smaller by the drift: the points may have come that much closer to it.
// Not when an edge is too short to give the test a direction: it finds the
// polygons apart then.
bool KzFootprintExtent::SurelyOverlapping(const KzFootprintExtent& a, const KzFootprintExtent& b)
{
    if (!a.finite || !b.finite || a.ShortEdge() || b.ShortEdge())
        return false;
    const double ra = a.radius - a.m_dDrift, rb = b.radius - b.m_dDrift;
    if (ra <= 0 || rb <= 0)
        return false;
    const double slack = 0.01 + 1e-4 * std::max(a.reach, b.reach);
    return std::hypot(a.cx - b.cx, a.cy - b.cy) < ra + rb - slack;
}
