#ifndef KZTESTMESH_H
#define KZTESTMESH_H

#include <QString>
#include <QVector3D>
#include <QVector>

// Triangle meshes for the engine tests, written as binary or ASCII STL.
class KzTestMesh
{
public:
    // An axis-aligned box from (x0, y0, z0) to (x1, y1, z1), mm.
    KzTestMesh &AddBox(float x0, float y0, float z0, float x1, float y1, float z1);
    // A UV sphere of the given radius centred at c, with n bands and n segments.
    KzTestMesh &AddSphere(const QVector3D &c, float radius, int n);

    int GetFacetCount() const { return m_vecCorners.size() / 3; }
    bool WriteBinary(const QString &path) const;
    bool WriteAscii(const QString &path) const;

    // The shapes the tests slice.
    static KzTestMesh Cube(float size);      // size³ standing on the plate
    static KzTestMesh Overhang();            // a 6 mm post under a 20 x 20 x 3 mm plate at 10 mm
    static KzTestMesh ThinTall();            // 2 x 2 x 30 mm

private:
    void AddTriangle(const QVector3D &a, const QVector3D &b, const QVector3D &c);
    QVector<QVector3D> m_vecCorners;
};

#endif
