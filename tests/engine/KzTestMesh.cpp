#include "KzTestMesh.h"

#include <QDataStream>
#include <QFile>
#include <QTextStream>
#include <QtMath>

void KzTestMesh::AddTriangle(const QVector3D &a, const QVector3D &b, const QVector3D &c)
{
    m_vecCorners << a << b << c;
}

KzTestMesh &KzTestMesh::AddBox(float x0, float y0, float z0, float x1, float y1, float z1)
{
    const QVector3D v[8] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                            {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    static const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                                     {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    for (const auto &f : faces)
        AddTriangle(v[f[0]], v[f[1]], v[f[2]]);
    return *this;
}

KzTestMesh &KzTestMesh::AddSphere(const QVector3D &c, float radius, int n)
{
    auto at = [&](int i, int j) {
        const double theta = M_PI * i / n;
        const double phi = 2.0 * M_PI * j / n;
        return c + radius * QVector3D(float(qSin(theta) * qCos(phi)), float(qSin(theta) * qSin(phi)), float(qCos(theta)));
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (i > 0)
                AddTriangle(at(i, j), at(i + 1, j), at(i, j + 1));
            if (i < n - 1)
                AddTriangle(at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
        }
    }
    return *this;
}

bool KzTestMesh::WriteBinary(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(QByteArray(80, '\0').constData(), 80);
    out << quint32(GetFacetCount());
    for (int i = 0; i < m_vecCorners.size(); i += 3) {
        const QVector3D normal = QVector3D::normal(m_vecCorners[i], m_vecCorners[i + 1], m_vecCorners[i + 2]);
        out << normal.x() << normal.y() << normal.z();
        for (int k = 0; k < 3; ++k)
            out << m_vecCorners[i + k].x() << m_vecCorners[i + k].y() << m_vecCorners[i + k].z();
        out << quint16(0);
    }
    return out.status() == QDataStream::Ok;
}

bool KzTestMesh::WriteAscii(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "solid test\n";
    for (int i = 0; i < m_vecCorners.size(); i += 3) {
        out << " facet normal 0 0 0\n  outer loop\n";
        for (int k = 0; k < 3; ++k)
            out << "   vertex " << m_vecCorners[i + k].x() << ' ' << m_vecCorners[i + k].y() << ' '
                << m_vecCorners[i + k].z() << '\n';
        out << "  endloop\n endfacet\n";
    }
    out << "endsolid test\n";
    return out.status() == QTextStream::Ok;
}

KzTestMesh KzTestMesh::Cube(float size)
{
    return KzTestMesh().AddBox(0, 0, 0, size, size, size);
}

KzTestMesh KzTestMesh::Overhang()
{
    return KzTestMesh().AddBox(7, 7, 0, 13, 13, 10).AddBox(0, 0, 10, 20, 20, 13);
}

KzTestMesh KzTestMesh::ThinTall()
{
    return KzTestMesh().AddBox(0, 0, 0, 2, 2, 30);
}
