#ifndef KZ3MFPACKAGE_H
#define KZ3MFPACKAGE_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QMatrix4x4>
#include <QVector>

// What a 3MF package holds for the plate. Each mesh is one object the build
// refers to, in millimetres, with the objects it is made of (its components)
// flattened into it; objects used by several build items are held once. Each
// item is a mesh and where the file puts it.
class KZFUNCTION_EXPORT Kz3mfPackage
{
public:
    struct Item
    {
        int nMesh = -1;
        // In the file's frame: the build platform's front-left corner is the
        // origin, x to the right, y to the back, z up; millimetres.
        QMatrix4x4 matTransform;
    };

    // The metadata entry in which this program keeps, with a plate it writes,
    // where each item stood on the plate: its namespace and name. The value is
    // the plate's centre in the file's frame (x, y), then the twelve numbers of
    // each item's matrix, row by row.
    static const char* const ms_szPlacesNamespace;
    static const char* const ms_szPlacesName;

    // The facets of every mesh together.
    qint64 FacetCount() const;
    // The meshes' facets dropped, the build kept (to place it again later).
    Kz3mfPackage Layout() const;

    QVector<QVector<KzTriangle3D>> m_vecMeshes;
    QVector<Item> m_vecItems;
    // Where this program stood each item on its own plate (origin at the plate's
    // centre), bit for bit, when it wrote the package; empty for packages from
    // elsewhere or moved since.
    QVector<QMatrix4x4> m_vecPlatePlaces;
};

#endif // KZ3MFPACKAGE_H
