#ifndef KZCOARSEMESH_H
#define KZCOARSEMESH_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QVector>

// A coarser stand-in for a large mesh, drawn while the camera moves: the
// corners are gathered into cubic cells sized for about `corners` occupied
// cells, each cell's corners become their mean, and facets left with fewer
// than three corners go. The outline and the look stay; the detail goes.
class KZFUNCTION_EXPORT KzCoarseMesh
{
public:
    static QVector<KzTriangle3D> Build(const QVector<KzTriangle3D>& mesh, int corners);
};

#endif // KZCOARSEMESH_H
