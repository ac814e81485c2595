#include "KPolygonAlgorithm.h"

#include <cmath>
#include <limits>
#include <map>

namespace {

// One unit in the last place above the double nearest to pi; the rest of the
// system's angles are computed with it.
const double kPi = 0x1.921fb54442d19p+1;

// Negated cross product (b - a) x (c - a): positive for a right turn at b.
double Turn(const QVector2D& a, const QVector2D& b, const QVector2D& c)
{
    const float plus = b.y() * c.x() + a.y() * b.x() + c.y() * a.x();
    const float minus = b.y() * a.x() + c.y() * b.x() + a.y() * c.x();
    return double(plus) - double(minus);
}

// Drops middle points of the chain's tail until it turns right.
void KeepRightTurns(QVector<QVector2D>& chain)
{
    while (chain.size() > 2) {
        const int n = chain.size();
        if (Turn(chain[n - 3], chain[n - 2], chain[n - 1]) > 0)
            return;
        chain.remove(n - 2);
    }
}

} // namespace

namespace KPolygonAlgorithm
{

void ProjectPoly(const QVector2D& axis, const QVector<QVector2D>& polygon, double& maxValue, double& minValue)
{
    if (polygon.isEmpty())
        return;   // a caller's error; nothing to read
    const QVector2D u = axis.normalized();
    maxValue = minValue = double(QVector2D::dotProduct(polygon[0], u));
    for (const QVector2D& p : polygon) {
        const double d = double(QVector2D::dotProduct(p, u));
        if (d > maxValue)
            maxValue = d;
        if (!(d > minValue))
            minValue = d;
    }
}

// trunc(x * 10000 + y) in single precision, saturated to 32 bits so that far
// or non-finite points still get a key.
qint32 PointKey(const QVector2D& p)
{
    const float k = p.x() * 10000.0f + p.y();
    if (std::isnan(k))
        return 0;
    if (k >= 2147483647.0f)
        return std::numeric_limits<qint32>::max();
    if (k <= -2147483648.0f)
        return std::numeric_limits<qint32>::min();
    return qint32(k);
}

void FormConvexPolygon(QVector<QVector2D>& out, const QVector<QVector2D>& points)
{
    out.clear();
    if (points.size() < 2) {
        out = points;
        return;
    }
    std::map<qint32, QVector2D> byKey;
    for (const QVector2D& p : points)
        byKey[PointKey(p)] = p;
    QVector<QVector2D> sorted;
    sorted.reserve(int(byKey.size()));
    for (const auto& entry : byKey)
        sorted.append(entry.second);
    HullOfSorted(out, sorted);
}

void HullOfSorted(QVector<QVector2D>& out, const QVector<QVector2D>& sorted)
{
    out.clear();
    const int n = sorted.size();
    if (n < 2) {
        out = sorted;
        return;
    }
    QVector<QVector2D> forward{sorted[0], sorted[1]};
    QVector<QVector2D> backward{sorted[n - 1], sorted[n - 2]};
    for (int s = 2; s < n; ++s) {
        forward.append(sorted[s]);
        backward.append(sorted[n - 1 - s]);
        KeepRightTurns(forward);
        KeepRightTurns(backward);
    }
    // The ends of the forward chain repeat the ends of the backward one.
    forward.removeFirst();
    forward.removeLast();
    out = backward + forward;
}

QVector<QVector2D> MinkowskHull(const QVector<QVector2D>& a, const QVector<QVector2D>& b)
{
    QVector<QVector2D> sums;
    sums.reserve(a.size() * b.size());
    for (const QVector2D& p : a) {
        for (const QVector2D& q : b)
            sums.append(p + q);
    }
    QVector<QVector2D> hull;
    FormConvexPolygon(hull, sums);
    return hull;
}

namespace {

// Adds the two moves along the axis of edge p1 -> p2 that make a just touch b;
// false when that axis separates the polygons.
bool OverlapOnEdge(const QVector2D& p1, const QVector2D& p2, const QVector<QVector2D>& a,
                   const QVector<QVector2D>& b, QVector<QVector2D>& candidates)
{
    const QVector2D u = QVector2D(-(p2.y() - p1.y()), p2.x() - p1.x()).normalized();
    double maxA, minA, maxB, minB;
    ProjectPoly(u, a, maxA, minA);
    ProjectPoly(u, b, maxB, minB);
    if (maxB <= minA || minB >= maxA)
        return false;
    candidates.append(u * float(minB - maxA));
    candidates.append(u * float(maxB - minA));
    return true;
}

bool OverlapOnEdges(const QVector<QVector2D>& edges, const QVector<QVector2D>& a, const QVector<QVector2D>& b,
                    QVector<QVector2D>& candidates)
{
    const int n = edges.size();
    for (int i = 0; i < n; ++i) {
        if (!OverlapOnEdge(edges[i], edges[(i + 1) % n], a, b, candidates))
            return false;
    }
    return true;
}

} // namespace

bool PolygonCollisionPushVector(const QVector<QVector2D>& a, const QVector<QVector2D>& b, QVector2D& push)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    QVector<QVector2D> candidates;
    if (!OverlapOnEdges(a, a, b, candidates) || !OverlapOnEdges(b, a, b, candidates))
        return false;
    QVector2D shortest = candidates[0];
    for (const QVector2D& k : qAsConst(candidates)) {
        if (shortest.length() > k.length())
            shortest = k;
    }
    push = shortest + shortest.normalized();
    return true;
}

} // namespace KPolygonAlgorithm

double DegreeToRadian(double degree)
{
    return degree * kPi / 180.0;
}

double RadianToDegree(double radian)
{
    return radian * 180.0 / kPi;
}
