#include "KzCoarseMesh.h"

#include <cmath>
#include <vector>

namespace {

// Open addressing from a cell's key to its number.
class CellTable
{
public:
    explicit CellTable(size_t expected)
    {
        size_t size = 1024;
        while (size < 2 * expected)
            size *= 2;
        m_keys.assign(size, kEmpty);
        m_cells.assign(size, 0);
    }

    // The cell's number, made `next` when the cell is new.
    quint32 Find(quint64 key, quint32 next, bool& added)
    {
        if (2 * (m_count + 1) > m_keys.size())
            Grow();
        size_t i = Slot(key);
        while (m_keys[i] != kEmpty && m_keys[i] != key)
            i = (i + 1) & (m_keys.size() - 1);
        added = m_keys[i] == kEmpty;
        if (added) {
            m_keys[i] = key;
            m_cells[i] = next;
            ++m_count;
        }
        return m_cells[i];
    }

private:
    static constexpr quint64 kEmpty = ~quint64(0);

    size_t Slot(quint64 key) const
    {
        return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & (m_keys.size() - 1);
    }

    void Grow()
    {
        std::vector<quint64> keys;
        std::vector<quint32> cells;
        keys.swap(m_keys);
        cells.swap(m_cells);
        m_keys.assign(keys.size() * 2, kEmpty);
        m_cells.assign(keys.size() * 2, 0);
        for (size_t j = 0; j < keys.size(); ++j) {
            if (keys[j] == kEmpty)
                continue;
            size_t i = Slot(keys[j]);
            while (m_keys[i] != kEmpty)
                i = (i + 1) & (m_keys.size() - 1);
            m_keys[i] = keys[j];
            m_cells[i] = cells[j];
        }
    }

    std::vector<quint64> m_keys;
    std::vector<quint32> m_cells;
    size_t m_count = 0;
};

} // namespace

// The cell size comes from the surface's area: a surface of area A meets
// about A / s^2 cells of edge s.
QVector<KzTriangle3D> KzCoarseMesh::Build(const QVector<KzTriangle3D>& mesh, int corners)
{
    if (mesh.isEmpty() || corners <= 0)
        return {};
    QVector3D min = mesh.first()[0];
    QVector3D max = min;
    double area = 0;
    for (const KzTriangle3D& t : mesh) {
        for (int k = 0; k < 3; ++k) {
            for (int axis = 0; axis < 3; ++axis) {
                min[axis] = std::min(min[axis], t[k][axis]);
                max[axis] = std::max(max[axis], t[k][axis]);
            }
        }
        area += 0.5 * double(QVector3D::crossProduct(t[1] - t[0], t[2] - t[0]).length());
    }
    const double extent = double((max - min).length());
    double cell = std::sqrt(area / corners);
    if (!(cell > extent * 1e-6))
        cell = extent > 0 ? extent * 1e-3 : 1.0;
    auto coordinate = [&](float v, float lo) { return quint64(std::floor((double(v) - double(lo)) / cell)) & 0x1FFFFF; };

    CellTable table{size_t(corners)};
    std::vector<double> sums;   // x, y, z, count per cell
    std::vector<quint32> corner(size_t(mesh.size()) * 3);
    for (int i = 0; i < mesh.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            const QVector3D& p = mesh[i][k];
            const quint64 key = coordinate(p.x(), min.x()) << 42 | coordinate(p.y(), min.y()) << 21
                                | coordinate(p.z(), min.z());
            bool added = false;
            const quint32 c = table.Find(key, quint32(sums.size() / 4), added);
            if (added)
                sums.insert(sums.end(), {0.0, 0.0, 0.0, 0.0});
            double* s = &sums[size_t(c) * 4];
            s[0] += p.x();
            s[1] += p.y();
            s[2] += p.z();
            s[3] += 1;
            corner[size_t(i) * 3 + size_t(k)] = c;
        }
    }
    auto mean = [&sums](quint32 c) {
        const double* s = &sums[size_t(c) * 4];
        return QVector3D(float(s[0] / s[3]), float(s[1] / s[3]), float(s[2] / s[3]));
    };
    QVector<KzTriangle3D> out;
    for (int i = 0; i < mesh.size(); ++i) {
        const quint32* c = &corner[size_t(i) * 3];
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2])
            continue;
        KzTriangle3D t;
        for (int k = 0; k < 3; ++k)
            t[k] = mean(c[k]);
        t.UpdateNormal();
        out.append(t);
    }
    return out;
}
