#include "KzTriangle3D.h"

KzTriangle3D::KzTriangle3D()
    : m_vertex{QVector3D(0, 0, 0), QVector3D(0, 0, 0), QVector3D(0, 0, 0)}, m_normal(0, 0, 0)
{
}

void KzTriangle3D::UpdateNormal()
{
    const QVector3D a = m_vertex[1] - m_vertex[0];
    const QVector3D b = m_vertex[2] - m_vertex[1];
    // QVector3D::normalized() returns (0, 0, 0) for a null vector.
    m_normal = QVector3D::crossProduct(a, b).normalized();
}

KzTriangle3D& KzTriangle3D::Convert(const QMatrix4x4& m)
{
    for (QVector3D& v : m_vertex)
        v = m.map(v);
    m_normal = m.mapVector(m_normal);
    return *this;
}
