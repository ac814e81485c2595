#ifndef KZFOOTPRINTEXTENT_H
#define KZFOOTPRINTEXTENT_H

#include "KzFunctionGlobal.h"

#include <QVector>
#include <QVector2D>

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

    // An edge along each axis, usable for SurelyApart.
    bool HasAxisEdges() const { return Vertical() && Horizontal(); }

    // True when the polygon test is sure to find a and b apart.
    static bool SurelyApart(const KzFootprintExtent& a, const KzFootprintExtent& b);
    // True when the polygon test is sure to find a and b overlapping.
    static bool SurelyOverlapping(const KzFootprintExtent& a, const KzFootprintExtent& b);

private:
    bool Vertical() const { return m_dVerticalSpan > m_dDrift; }
    bool Horizontal() const { return m_dHorizontalSpan > m_dDrift; }
    bool ShortEdge() const;

    // The longest edge along each axis (its length along the other axis),
    // zero without one; the shortest edge as the polygon test measures it.
    double m_dVerticalSpan = 0;
    double m_dHorizontalSpan = 0;
    double m_dShortest = 0;
    bool m_bShortEdge = false;   // an edge the polygon test cannot take a direction from
    // How far any coordinate may have come from where an exact translation
    // would have put it, twice over.
    double m_dDrift = 0;
};

#endif // KZFOOTPRINTEXTENT_H
