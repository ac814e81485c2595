#include "KzFootprintExtent.h"

#include <algorithm>
#include <cmath>

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
    radius = std::sqrt(least) + Drift();
}

