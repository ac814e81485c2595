#ifndef KZGRIDDING_H
#define KZGRIDDING_H

#include "Kz3DPainter.h"

// The plate: 10 x 10 cells whatever the plate's size, each a translucent quad with
// a slightly raised, inset tile on it.
class KZGLVIEW_EXPORT KzGridding : public Kz3DPainter
{
public:
    KzGridding();
    ~KzGridding() override;

    void Draw() override;
    void InitDisplayLists() override;

    void SetSize(int x, int y);
    int GetSizeX() const { return m_nSizeX; }
    int GetSizeY() const { return m_nSizeY; }
    double GetZOffset() const { return m_dZOffset; }

private:
    unsigned int m_nList;
    double m_dZOffset;
    int m_nSizeX;
    int m_nSizeY;
};

#endif // KZGRIDDING_H
