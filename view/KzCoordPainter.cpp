#include "KzCoordPainter.h"

KzCoordPainter::KzCoordPainter() = default;

KzCoordPainter::~KzCoordPainter() = default;
