#ifndef KZTRIANGLE3D_H
#define KZTRIANGLE3D_H

#include "KzFunctionGlobal.h"

#include <QMatrix4x4>
#include <QMetaType>
#include <QVector3D>

// One facet of a mesh: three corners in file order and a facet normal.
class KZFUNCTION_EXPORT KzTriangle3D
{
public:
    KzTriangle3D();
    KzTriangle3D(const KzTriangle3D& other) = default;
    KzTriangle3D& operator=(const KzTriangle3D& other) = default;
    ~KzTriangle3D() = default;

    // i must be 0, 1 or 2; the caller checks.
    QVector3D& operator[](int i) { return m_vertex[i]; }
    const QVector3D& operator[](int i) const { return m_vertex[i]; }

    QVector3D GetNormal() const { return m_normal; }
    void SetNormal(const QVector3D& n) { m_normal = n; }

    // Unit normal of (Q - P) x (R - Q); (0, 0, 0) for a degenerate facet.
    void UpdateNormal();

    // Corners as points (with perspective division), the normal as a direction.
    KzTriangle3D& Convert(const QMatrix4x4& m);

private:
    QVector3D m_vertex[3];
    QVector3D m_normal;
};

// Plain floats only: the vector may move elements with memcpy/realloc.
Q_DECLARE_TYPEINFO(KzTriangle3D, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(KzTriangle3D)

#endif // KZTRIANGLE3D_H
