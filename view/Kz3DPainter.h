#ifndef KZ3DPAINTER_H
#define KZ3DPAINTER_H

#include "KzGLViewGlobal.h"

#include <QMatrix4x4>

// Base of everything the view draws. Every painter gets a process-wide unique id
// (never reused); a model instance's pick colour is derived from it.
class KZGLVIEW_EXPORT Kz3DPainter
{
public:
    Kz3DPainter();
    virtual ~Kz3DPainter();

    Kz3DPainter(const Kz3DPainter&) = delete;
    Kz3DPainter& operator=(const Kz3DPainter&) = delete;

    // Draws with the fixed-function pipeline; the view's context is current.
    virtual void Draw();
    // Builds the display lists; called again after a context change, it rebuilds them.
    virtual void InitDisplayLists();

    int GetID() const { return m_nID; }
    // Sets the current colour to the flat colour that encodes a pick code
    // (red x 65536 + green x 256 + blue).
    static void PickColor(int code);
    const QMatrix4x4& GetModelMatrix() const { return m_matModel; }

protected:
    int m_nID;
    QMatrix4x4 m_matModel;

private:
    static int ms_nPainterCount;
};

#endif // KZ3DPAINTER_H
