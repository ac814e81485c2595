#ifndef KZMESHFIXTURES_H
#define KZMESHFIXTURES_H

// Writes mesh files for the tests byte by byte, independently of the
// library's own writer.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QVector3D>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace KzMeshFixtures {

struct Facet {
    QVector3D normal;
    QVector3D corner[3];
};

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline void AppendFloat(QByteArray& out, float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, 4);
    char b[4];
    qToLittleEndian(bits, b);
    out.append(b, 4);
}

inline void AppendVector(QByteArray& out, const QVector3D& v)
{
    AppendFloat(out, v.x());
    AppendFloat(out, v.y());
    AppendFloat(out, v.z());
}

// Binary STL; count overrides the facet count written at offset 80.
inline QByteArray BinaryStl(const std::vector<Facet>& facets, qint64 count = -1,
                            const QByteArray& header = QByteArray(), quint16 attribute = 0)
{
    QByteArray out = header.left(80);
    out.append(80 - out.size(), '\0');
    char c[4];
    qToLittleEndian(quint32(count < 0 ? qint64(facets.size()) : count), c);
    out.append(c, 4);
    for (const Facet& f : facets) {
        AppendVector(out, f.normal);
        for (const QVector3D& v : f.corner)
            AppendVector(out, v);
        char a[2];
        qToLittleEndian(attribute, a);
        out.append(a, 2);
    }
    return out;
}

// ASCII STL in the usual seven-line layout.
inline QByteArray AsciiStl(const std::vector<Facet>& facets, const QByteArray& eol = "\n")
{
    QByteArray out = "solid test" + eol;
    for (const Facet& f : facets) {
        out += "  facet normal " + QByteArray::number(f.normal.x()) + " " + QByteArray::number(f.normal.y())
               + " " + QByteArray::number(f.normal.z()) + eol + "    outer loop" + eol;
        for (const QVector3D& v : f.corner) {
            out += "      vertex " + QByteArray::number(v.x(), 'e', 7) + " " + QByteArray::number(v.y(), 'e', 7)
                   + " " + QByteArray::number(v.z(), 'e', 7) + eol;
        }
        out += "    endloop" + eol + "  endfacet" + eol;
    }
    return out + "endsolid test" + eol;
}

// n small facets, all inside the unit cube, each different from the others.
inline std::vector<Facet> Grid(int n)
{
    std::vector<Facet> out(size_t(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) {
        const float x = float(i % 100) / 100.0f;
        const float y = float((i / 100) % 100) / 100.0f;
        const float z = float(i / 10000) / 100.0f;
        out[size_t(i)].corner[0] = QVector3D(x, y, z);
        out[size_t(i)].corner[1] = QVector3D(x + 0.005f, y, z);
        out[size_t(i)].corner[2] = QVector3D(x, y + 0.005f, z);
    }
    return out;
}

// A tetrahedron with outward-facing corner order.
inline std::vector<Facet> Tetrahedron()
{
    const QVector3D o(0, 0, 0), x(10, 0, 0), y(0, 10, 0), z(0, 0, 10);
    return {
        {QVector3D(), {o, y, x}},
        {QVector3D(), {o, x, z}},
        {QVector3D(), {o, z, y}},
        {QVector3D(), {x, y, z}},
    };
}

} // namespace KzMeshFixtures

#endif // KZMESHFIXTURES_H
