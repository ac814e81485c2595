#ifndef LAYERPATH_H
#define LAYERPATH_H

#include "emPathType.h"

#include <QList>
#include <QMetaType>
#include <QVector3D>

// One tool path of a layer: a polyline drawn in the colour of its type.
// x and y are the G-code's own coordinates, z the height of the layer.
struct LayerPath
{
    int type = PathWallOuter;   // an emPathType value
    QList<QVector3D> points;
};

Q_DECLARE_METATYPE(LayerPath)

#endif // LAYERPATH_H
