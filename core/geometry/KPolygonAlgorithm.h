#ifndef KPOLYGONALGORITHM_H
#define KPOLYGONALGORITHM_H

#include "KzFunctionGlobal.h"

#include <QVector>
#include <QVector2D>

// Convex outlines on the build plate. A polygon lists its points in order; the
// closing edge from the last point back to the first is implied.
namespace KPolygonAlgorithm
{
// out = the convex hull of points, clockwise (x right, y up), starting at the
// right-most point. Points are ordered by the key trunc(x * 10000 + y); points
// with equal keys merge into the last of them.
KZFUNCTION_EXPORT void FormConvexPolygon(QVector<QVector2D>& out, const QVector<QVector2D>& points);

// The key FormConvexPolygon orders and merges points by.
KZFUNCTION_EXPORT qint32 PointKey(const QVector2D& p);

// The second half of FormConvexPolygon: out = the hull of points already
// ordered by ascending key, one point per key.
KZFUNCTION_EXPORT void HullOfSorted(QVector<QVector2D>& out, const QVector<QVector2D>& sorted);

// Convex hull of the Minkowski sum of a and b; empty when either is empty.
KZFUNCTION_EXPORT QVector<QVector2D> MinkowskHull(const QVector<QVector2D>& a, const QVector<QVector2D>& b);

// True when the convex polygons a and b overlap (touching is apart); push then
// gets the shortest move of a that clears b, lengthened by one unit.
// Both polygons must be non-empty.
KZFUNCTION_EXPORT bool PolygonCollisionPushVector(const QVector<QVector2D>& a, const QVector<QVector2D>& b,
                                                  QVector2D& push);

// Extent of a non-empty polygon along axis. Note the order: maximum first.
KZFUNCTION_EXPORT void ProjectPoly(const QVector2D& axis, const QVector<QVector2D>& polygon, double& maxValue,
                                   double& minValue);
} // namespace KPolygonAlgorithm

// Angle conversion with pi taken as 3.1415926535897936 (bits 400921FB54442D19).
extern "C" {
KZFUNCTION_EXPORT double DegreeToRadian(double degree);
KZFUNCTION_EXPORT double RadianToDegree(double radian);
}

#endif // KPOLYGONALGORITHM_H
