#include "KzTriangle3D.h"

#include <cmath>

KzTriangle3D::KzTriangle3D()
    : m_vertex{QVector3D(0, 0, 0), QVector3D(0, 0, 0), QVector3D(0, 0, 0)}, m_normal(0, 0, 0)
{
}

// In double precision: any finite corners give a finite cross product, so a
// huge or a tiny facet still gets a unit normal; only a truly degenerate one
// (zero cross product) gets (0, 0, 0).
void KzTriangle3D::UpdateNormal()
{
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = double(m_vertex[1][i]) - double(m_vertex[0][i]);
        b[i] = double(m_vertex[2][i]) - double(m_vertex[1][i]);
    }
    const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0.0) || !std::isfinite(length)) {
        m_normal = QVector3D(0, 0, 0);
        return;
    }
    const double inverse = 1.0 / length;
    m_normal = QVector3D(float(n[0] * inverse), float(n[1] * inverse), float(n[2] * inverse));
}

KzTriangle3D& KzTriangle3D::Convert(const QMatrix4x4& m)
{
    for (QVector3D& v : m_vertex)
        v = m.map(v);
    m_normal = m.mapVector(m_normal);
    return *this;
}
