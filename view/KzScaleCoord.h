#ifndef KZSCALECOORD_H
#define KZSCALECOORD_H

#include "KzCoordPainter.h"

#include <QVector3D>

// The scale handle: a translucent box around the selected instance, one face per
// direction. Faces: 0 top, 1 bottom, 2 left (x-), 3 right (x+), 4 front (y-),
// 5 back (y+).
class KZGLVIEW_EXPORT KzScaleCoord : public KzCoordPainter
{
public:
    KzScaleCoord();
    ~KzScaleCoord() override;

    void Draw() override;
    // Draws face i as one quad in the current colour.
    void DrawFace(int i) const;

    void SetBox(const QVector3D& max, const QVector3D& min);
    QVector3D GetMax() const { return m_vMax; }
    QVector3D GetMin() const { return m_vMin; }
    // Corner k of the drawn box with its margins, numbered as the printer box's
    // unit cube: 0 (min x, min y), 1 (max x), 2 (max x, max y), 3 (max y), +4 on top.
    QVector3D Corner(int k) const;
    void SetActive(int face) { m_nActive = face; }
    int GetActive() const { return m_nActive; }
    void SetHovered(int face) { m_nHovered = face; }
    int GetHovered() const { return m_nHovered; }

    static const int ms_nFaces = 6;

private:
    int m_nActive;
    int m_nHovered;
    QVector3D m_vMax;
    QVector3D m_vMin;
};

#endif // KZSCALECOORD_H
