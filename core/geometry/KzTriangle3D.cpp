#include "KzTriangle3D.h"

#include <cmath>

KzTriangle3D::KzTriangle3D()
    : m_vertex{QVector3D(0, 0, 0), QVector3D(0, 0, 0), QVector3D(0, 0, 0)}, m_normal(0, 0, 0)
{
}

// The cross product's length is taken in single precision when that is safe;
// a facet so large or so small that its square would overflow or underflow
// is done again in double precision, so any finite corners give a unit
// normal and only a truly degenerate facet (zero cross product) gets (0, 0, 0).
void KzTriangle3D::UpdateNormal()
{
    const QVector3D n = QVector3D::crossProduct(m_vertex[1] - m_vertex[0], m_vertex[2] - m_vertex[1]);
    const float square = QVector3D::dotProduct(n, n);
    if (square > 1e-30f && square < 1e30f) {
        m_normal = n / std::sqrt(square);
        return;
    }
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = double(m_vertex[1][i]) - double(m_vertex[0][i]);
        b[i] = double(m_vertex[2][i]) - double(m_vertex[1][i]);
    }
    const double d[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 0.0) || !std::isfinite(length)) {
        m_normal = QVector3D(0, 0, 0);
        return;
    }
    m_normal = QVector3D(float(d[0] / length), float(d[1] / length), float(d[2] / length));
}

KzTriangle3D& KzTriangle3D::Convert(const QMatrix4x4& m)
{
    for (QVector3D& v : m_vertex)
        v = m.map(v);
    m_normal = m.mapVector(m_normal);
    return *this;
}
