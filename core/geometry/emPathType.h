#ifndef EMPATHTYPE_H
#define EMPATHTYPE_H

// The feature a tool path prints; the value of LayerPath::type.
enum emPathType
{
    PathWallOuter = 0,   // "WALL-OUTER", and every type name the preview does not know
    PathWallInner = 1,   // "WALL-INNER"
    PathSkin = 2,        // "SKIN"
    PathSkirt = 3,       // "SKIRT" (a brim is written as skirt too)
    PathFill = 4,        // "FILL"
    PathLayerStart = 5,  // the path each layer line opens, before any type line
    PathSupport = 6      // "SUPPORT"
};

#endif // EMPATHTYPE_H
