#ifndef KZROTATECOORD_H
#define KZROTATECOORD_H

#include "KzCoordPainter.h"

#include <QVector3D>

// The rotate handle: three rings around the selected instance. Ring 0 turns about
// z (blue), ring 1 about -y (green), ring 2 about x (red). The hovered ring is
// drawn stippled, the active (pressed) one at full brightness.
class KZGLVIEW_EXPORT KzRotateCoord : public KzCoordPainter
{
public:
    KzRotateCoord();
    ~KzRotateCoord() override;

    void Draw() override;
    void InitDisplayLists() override;
    // The solid rings, 10 pixels wide, ring i in pick code 1 + 10 i.
    void DrawPick() const;

    void SetCenter(const QVector3D& center, double radius);
    QVector3D GetCenter() const { return m_vCenter; }
    double GetRadius() const { return m_dRadius; }
    void SetActive(int ring) { m_nActive = ring; }
    int GetActive() const { return m_nActive; }
    void SetHovered(int ring) { m_nHovered = ring; }
    int GetHovered() const { return m_nHovered; }

    static const int ms_nRings = 3;

private:
    void DeleteDisplayLists();

    int m_nActive;
    int m_nHovered;
    unsigned int m_nSolidList;     // three consecutive names
    unsigned int m_nStippledList;  // three consecutive names
    QVector3D m_vCenter;
    double m_dRadius;
};

#endif // KZROTATECOORD_H
