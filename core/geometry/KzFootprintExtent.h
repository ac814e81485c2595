#ifndef KZFOOTPRINTEXTENT_H
#define KZFOOTPRINTEXTENT_H

#include "KzFunctionGlobal.h"

#include <QVector>
#include <QVector2D>

#include <algorithm>
#include <cmath>
#include <limits>

// What placement knows of a footprint before it asks the polygon test
// (KPolygonAlgorithm::PolygonCollisionPushVector): its extent, whether it has
// an edge exactly along the y axis (vertical) or the x axis (horizontal), and
// (once asked for) a disc inside it. Two shortcuts answer from these alone,
// each only where the polygon test would answer the same way.
//
// An extent follows its footprint through translations without looking at
// the points again: a translation adds the same float to every coordinate,
// and rounding keeps the order, so the smallest and largest coordinates
// become exactly the smallest and largest of the moved points. What rounding
// may change (the length of an edge, the disc) is kept to within a bound of
// it (drift), and the shortcuts allow for that bound.
class KZFUNCTION_EXPORT KzFootprintExtent
{
public:
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool finite = true;
    double reach = 0;   // the largest coordinate, by size
    bool inscribed = false;
    double cx = 0, cy = 0, radius = 0;

    // Worked out from the points; the disc only on Inscribe.
    static KzFootprintExtent Of(const QVector<QVector2D>& hull);
    // The largest disc about the mean of the corners that stays inside every
    // edge; none (radius 0) when the mean is not strictly inside.
    void Inscribe(const QVector<QVector2D>& hull);
    // After every point (x, y) of the footprint became (x + d.x, y + d.y),
    // one float sum each. False when the extent should be worked out anew
    // from the points (not finite, or the drift has grown past its limit).
    bool Follow(const QVector2D& d);

    // What SurelyApart looks at, in a few bytes: placement keeps these side
    // by side for the footprints standing still.
    struct Box
    {
        float minX, maxX, minY, maxY;
        bool finite, vertical, horizontal;
    };
    Box GetBox() const { return Box{minX, maxX, minY, maxY, finite, Vertical(), Horizontal()}; }

    // What SurelyOverlapping looks at: the disc as far as it can be trusted.
    struct Disc
    {
        double cx, cy, radius, reach;
        bool usable;
    };
    Disc GetDisc() const;
    // The disc as one Follow(d) would leave it, but for its centre, which
    // is yet to be moved by d: for any d after which no coordinate is larger
    // by size than bound. Placement takes it once for all the spots it tries.
    Disc DiscForMove(double bound) const;

    // An edge along each axis, usable for SurelyApart.
    bool HasAxisEdges() const { return Vertical() && Horizontal(); }

    // True when the polygon test is sure to find a and b apart.
    static bool SurelyApart(const Box& a, const Box& b);
    // True when the polygon test is sure to find a and b overlapping.
    static bool SurelyOverlapping(const Disc& a, const Disc& b);

private:
    // Past this drift (mm) an extent is worked out anew: it keeps the
    // shortcuts' allowances small against the footprints' own sizes.
    static constexpr double kDriftLimit = 1e-2;

    bool Vertical() const { return m_dVerticalSpan > Drift(); }
    bool Horizontal() const { return m_dHorizontalSpan > Drift(); }
    // How far any coordinate may have come from where exact translations
    // would have put it, twice over: each move adds at most 2^-23 of the
    // largest coordinate after it (taken a little larger, plus more than
    // half the spacing of the smallest floats), and none of those has been
    // larger than m_fLargest.
    double Drift() const { return double(m_nMoves) * (m_fLargest * (1.001 / (1 << 23)) + 1e-40); }
    bool ShortEdge() const;

    // The longest edge along each axis (its length along the other axis),
    // zero without one; the shortest edge as the polygon test measures it.
    double m_dVerticalSpan = 0;
    double m_dHorizontalSpan = 0;
    double m_dShortest = 0;
    bool m_bShortEdge = false;   // an edge the polygon test cannot take a direction from
    // Moves followed since the extent was worked out, and the largest
    // coordinate by size after any of them.
    int m_nMoves = 0;
    float m_fLargest = 0;
};

// Inline: placement asks these for every spot it tries.

// Each moved coordinate is off the exact sum by at most half a unit in the
// last place of the result, which is within the new extent: 2^-24 of reach.
// A length along an axis changes by two of those, a point by less; the
// disc's centre moves in doubles, far finer.
inline bool KzFootprintExtent::Follow(const QVector2D& d)
{
    if (!finite || !std::isfinite(d.x()) || !std::isfinite(d.y()))
        return false;
    minX += d.x();
    maxX += d.x();
    minY += d.y();
    maxY += d.y();
    // The largest coordinate by size, infinite when one has run over.
    const float largest = std::max(std::max(-minX, maxX), std::max(-minY, maxY));
    if (!(largest <= std::numeric_limits<float>::max()))
        return false;
    reach = largest;
    if (inscribed) {
        cx += d.x();
        cy += d.y();
    }
    m_fLargest = std::max(m_fLargest, largest);
    ++m_nMoves;
    return Drift() <= kDriftLimit;
}

// The polygon test finds no overlap when a flat edge's length falls to
// (about) 3e-5 mm; an edge that was longer by more than the drift allows
// has not come down to that.
inline bool KzFootprintExtent::ShortEdge() const
{
    return m_bShortEdge || m_dShortest <= 1e-4 + 4 * Drift();
}

// PolygonCollisionPushVector tries the normal of every edge of both: an edge
// exactly along the y axis has the x axis for its normal (unit, or within
// rounding of unit and then kept as it is), and along it every projection is
// the x coordinate times one factor, rounded, so in the coordinates' order.
// Extents apart in x (touching is apart, as there) are then apart in that
// test; likewise in y.
inline bool KzFootprintExtent::SurelyApart(const Box& a, const Box& b)
{
    if (!a.finite || !b.finite)
        return false;
    if ((a.vertical || b.vertical) && (b.maxX <= a.minX || b.minX >= a.maxX))
        return true;
    return (a.horizontal || b.horizontal) && (b.maxY <= a.minY || b.minY >= a.maxY);
}

// A disc is taken smaller by the drift: the points may have come that much
// closer to it. None when an edge is too short to give the polygon test a
// direction: it finds the polygons apart then.
inline KzFootprintExtent::Disc KzFootprintExtent::GetDisc() const
{
    const double r = radius - Drift();
    return Disc{cx, cy, r, reach, inscribed && finite && !ShortEdge() && r > 0};
}

// The move's drift taken as large as bound allows (bound rounded up).
inline KzFootprintExtent::Disc KzFootprintExtent::DiscForMove(double bound) const
{
    KzFootprintExtent moved = *this;
    float largest = float(bound);
    if (double(largest) < bound)
        largest = std::nextafter(largest, std::numeric_limits<float>::infinity());
    moved.m_fLargest = std::max(m_fLargest, largest);
    moved.reach = std::max(reach, bound);
    ++moved.m_nMoves;
    if (!finite || !(largest <= std::numeric_limits<float>::max()) || moved.Drift() > kDriftLimit)
        return Disc{0, 0, 0, 0, false};
    return moved.GetDisc();
}

// Discs inside each that overlap by more than the test's rounding (a few
// units in the last place of the largest coordinate, here taken a thousand
// times over) overlap along every direction the test tries. (The distance is
// compared squared: its own rounding is far below that allowance.)
inline bool KzFootprintExtent::SurelyOverlapping(const Disc& a, const Disc& b)
{
    if (!a.usable || !b.usable)
        return false;
    const double reach = a.radius + b.radius - (0.01 + 1e-4 * std::max(a.reach, b.reach));
    const double dx = a.cx - b.cx, dy = a.cy - b.cy;
    return reach > 0 && dx * dx + dy * dy < reach * reach;
}

#endif // KZFOOTPRINTEXTENT_H
