#include "Kz3DPainter.h"

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
