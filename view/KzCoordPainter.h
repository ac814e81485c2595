#ifndef KZCOORDPAINTER_H
#define KZCOORDPAINTER_H

#include "Kz3DPainter.h"

// Common base of the edit handles drawn around the selected model instance.
class KZGLVIEW_EXPORT KzCoordPainter : public Kz3DPainter
{
public:
    KzCoordPainter();
    ~KzCoordPainter() override;
};

#endif // KZCOORDPAINTER_H
