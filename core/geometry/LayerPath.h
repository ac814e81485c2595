#ifndef LAYERPATH_H
#define LAYERPATH_H

#include "emPathType.h"

#include <QMetaType>
#include <QVector>
#include <QVector3D>

// One tool path of a layer: a polyline drawn in the colour of its type.
// x and y are the G-code's own coordinates, z the height of the layer.
struct LayerPath
{
    int type = PathWallOuter;   // an emPathType value
    QVector<QVector3D> points;   // contiguous: one allocation a path, not one a point
};

Q_DECLARE_METATYPE(LayerPath)

#endif // LAYERPATH_H
