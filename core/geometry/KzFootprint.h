#ifndef KZFOOTPRINT_H
#define KZFOOTPRINT_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QMatrix4x4>
#include <QVector>
#include <QVector2D>
#include <QVector3D>

// Where a mesh stands on the plate and the outline it covers there, from its
// corners under a matrix. Every result is, to the bit, what putting each
// corner through the matrix and KPolygonAlgorithm::FormConvexPolygon gives;
// the outline is found by sorting keys instead of a tree of points, in a
// fraction of the time and memory, which is what lets a large mesh get its
// footprint while it is still being read.
class KZFUNCTION_EXPORT KzFootprint
{
public:
    // A mesh as it comes from its file, put on the plate: centred on
    // x = y = 0 and standing on it.
    struct Placement
    {
        bool valid = false;
        QMatrix4x4 matrix;
        QVector3D min;
        QVector3D max;
        QVector<QVector2D> outline;   // grown by the gap models keep
        float area = 0;               // the outline's (Area)
    };

    // Grows a box by a corner: the box of a mesh starts at its first corner
    // and takes every corner in file order this way.
    static void ExtendBox(const QVector3D& p, QVector3D& min, QVector3D& max);
    // The box of every corner mapped by m; false without triangles.
    static bool Box(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m, QVector3D& min, QVector3D& max);

    // The convex hull of every corner mapped by m, on the plate.
    static QVector<QVector2D> Hull(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m);
    // The area inside an outline, in square millimetres (the shoelace formula).
    static float Area(const QVector<QVector2D>& outline);
    // That hull grown by 1 mm on every side: models keep that gap between them.
    static QVector<QVector2D> Outline(const QVector<KzTriangle3D>& triangles, const QMatrix4x4& m);

    // The placement of a mesh whose corners span fileMin..fileMax (their Box
    // under the identity).
    static Placement Place(const QVector<KzTriangle3D>& triangles, const QVector3D& fileMin, const QVector3D& fileMax);
    // Only the matrix and the box of that placement.
    static void PlaceBox(const QVector3D& fileMin, const QVector3D& fileMax, QMatrix4x4& matrix, QVector3D& min,
                         QVector3D& max);
};

#endif // KZFOOTPRINT_H
