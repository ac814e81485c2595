#include "KzFootprint.h"

#include "KPolygonAlgorithm.h"

#include <QVector4D>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Instances closer to the plate than this are left where they are.
const float kFloorTolerance = 0.01f;

const QVector<QVector2D>& Margin()
{
    static const QVector<QVector2D> square = {
        QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};
    return square;
}

// A corner's point key (biased to sort as unsigned) and its place in the
// corner order (3 x facet + corner).
struct Entry
{
    quint32 key;
    quint32 index;
};

// Stable by key, in two passes of 16 bits.
void SortByKey(std::vector<Entry>& entries)
{
    std::vector<Entry> scratch(entries.size());
    for (int shift = 0; shift < 32; shift += 16) {
        std::vector<size_t> start(65537, 0);
        for (const Entry& e : entries)
            ++start[((e.key >> shift) & 0xFFFF) + 1];
        for (size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const Entry& e : entries)
            scratch[start[(e.key >> shift) & 0xFFFF]++] = e;
        entries.swap(scratch);
    }
}

} // namespace

void KzFootprint::ExtendBox(const QVector3D& p, QVector3D& min, QVector3D& max)
{
    for (int axis = 0; axis < 3; ++axis) {
        max[axis] = std::max(max[axis], p[axis]);
        min[axis] = std::min(min[axis], p[axis]);
    }
}

bool KzFootprint::Box(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m, QVector3D& min, QVector3D& max)
{
    if (triangles.isEmpty())
        return false;
    max = min = m.map(triangles.first()[0]);
    for (const KzTriangle3D& t : triangles) {
        for (int k = 0; k < 3; ++k)
            ExtendBox(m.map(t[k]), min, max);
    }
    return true;
}

// FormConvexPolygon keeps, of all points with one key, the last one, orders
// those by key and walks round them. Here the keys are sorted instead: two
// corners with the same key a short while apart in the file (a corner shared
// by neighbouring facets, mostly) share an entry at once, through a small
// table of recent keys, which keeps the later index; the sort then brings the
// rest of each key together, and the latest index of a key is its point.
QVector<QVector2D> KzFootprint::Hull(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m)
{
    const int n = triangles.size();
    if (n == 0)
        return {};
    const int kRecentBits = 14;
    struct Recent
    {
        qint32 key = 0;
        qint32 entry = -1;
    };
    std::vector<Recent> recent(size_t(1) << kRecentBits);
    std::vector<Entry> entries;
    entries.reserve(size_t(std::min(3 * n, 1 << 16)));
    const KzTriangle3D* t = triangles.constData();
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            const qint32 key = KPolygonAlgorithm::PointKey(m.map(t[i][k]).toVector2D());
            const quint32 index = quint32(3 * i + k);
            Recent& r = recent[(quint32(key) * 2654435761u) >> (32 - kRecentBits)];
            if (r.entry >= 0 && r.key == key) {
                entries[size_t(r.entry)].index = index;
                continue;
            }
            r.key = key;
            r.entry = qint32(entries.size());
            entries.push_back({quint32(key) ^ 0x80000000u, index});
        }
    }
    SortByKey(entries);
    QVector<QVector2D> sorted;
    for (size_t e = 0; e < entries.size();) {
        quint32 last = entries[e].index;
        size_t f = e + 1;
        for (; f < entries.size() && entries[f].key == entries[e].key; ++f)
            last = std::max(last, entries[f].index);
        sorted.append(m.map(t[last / 3][int(last % 3)]).toVector2D());
        e = f;
    }
    QVector<QVector2D> hull;
    KPolygonAlgorithm::HullOfSorted(hull, sorted);
    return hull;
}

float KzFootprint::Area(const QVector<QVector2D>& outline)
{
    double twice = 0;
    const int n = outline.size();
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = outline[i];
        const QVector2D& b = outline[(i + 1) % n];
        twice += double(a.x()) * b.y() - double(b.x()) * a.y();
    }
    return float(std::abs(twice) / 2);
}

QVector<QVector2D> KzFootprint::Outline(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m)
{
    if (triangles.isEmpty())
        return {};
    return KPolygonAlgorithm::MinkowskHull(Hull(triangles, m), Margin());
}

// Centred, then dropped onto the plate when it is not already there. The
// matrix stays a translation, which maps every corner to itself plus the
// offset, in one float sum per axis; the smallest and largest sums are those
// of the file's own bounds.
void KzFootprint::PlaceBox(const QVector3D& fileMin, const QVector3D& fileMax, QMatrix4x4& matrix, QVector3D& min,
                           QVector3D& max)
{
    matrix.setToIdentity();
    auto moveBy = [&](const QVector3D& d) {
        QMatrix4x4 t;
        t.translate(d);
        matrix = t * matrix;
        const QVector4D offset = matrix.column(3);
        for (int axis = 0; axis < 3; ++axis) {
            min[axis] = fileMin[axis] + offset[axis];
            max[axis] = fileMax[axis] + offset[axis];
        }
    };
    min = fileMin;
    max = fileMax;
    moveBy(QVector3D(-(min.x() + max.x()) / 2, -(min.y() + max.y()) / 2, 0));
    if (std::abs(min.z()) > kFloorTolerance)
        moveBy(QVector3D(0, 0, -min.z()));
}

KzFootprint::Placement KzFootprint::Place(const QVector<KzTriangle3D>& triangles, const QVector3D& fileMin,
                                          const QVector3D& fileMax)
{
    Placement p;
    if (triangles.isEmpty())
        return p;
    PlaceBox(fileMin, fileMax, p.matrix, p.min, p.max);
    p.outline = Outline(triangles, p.matrix);
    p.area = Area(p.outline);
    p.valid = true;
    return p;
}
