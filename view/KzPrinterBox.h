#ifndef KZPRINTERBOX_H
#define KZPRINTERBOX_H

#include "Kz3DPainter.h"

// The machine's build volume: five translucent faces of an open-topped box centred
// on the plate, and an arrow in front of it marking the printer's front.
class KZGLVIEW_EXPORT KzPrinterBox : public Kz3DPainter
{
public:
    KzPrinterBox();
    ~KzPrinterBox() override;

    void Draw() override;
    void InitDisplayLists() override;

    void SetSize(int x, int y, int z);
    int GetSizeX() const { return m_nSizeX; }
    int GetSizeY() const { return m_nSizeY; }
    int GetSizeZ() const { return m_nSizeZ; }
    double GetZOffset() const { return m_dZOffset; }

private:
    void DeleteDisplayLists();

    unsigned int m_nFaceList;  // first of five consecutive face lists
    unsigned int m_nArrowList;
    double m_dZOffset;
    int m_nSizeX;
    int m_nSizeY;
    int m_nSizeZ;
};

#endif // KZPRINTERBOX_H
