#ifndef SINGLELAYER_H
#define SINGLELAYER_H

#include "LayerPath.h"

#include <QList>

// The paths of one layer in file order. Registered as "SingleLayer" so that a
// layer can cross from the reading thread in a queued signal.
typedef QList<LayerPath> SingleLayer;

#endif // SINGLELAYER_H
