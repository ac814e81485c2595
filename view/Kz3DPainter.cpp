#include "Kz3DPainter.h"

#include <GL/gl.h>

int Kz3DPainter::ms_nPainterCount = 0;

Kz3DPainter::Kz3DPainter()
    : m_nID(++ms_nPainterCount)
{
}

Kz3DPainter::~Kz3DPainter() = default;

void Kz3DPainter::Draw()
{
}

void Kz3DPainter::InitDisplayLists()
{
}

void Kz3DPainter::PickColor(int code)
{
    glColor3d((code / 65536) / 255.0, ((code / 256) % 256) / 255.0, (code % 256) / 255.0);
}
