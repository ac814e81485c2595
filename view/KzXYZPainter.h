#ifndef KZXYZPAINTER_H
#define KZXYZPAINTER_H

#include "Kz3DPainter.h"

#include <QPoint>

class QPainter;

// The axes gizmo in the view's lower right corner: three coloured arrows turned
// with the camera's angles (no pan or zoom), labelled X, Y and Z.
class KZGLVIEW_EXPORT KzXYZPainter : public Kz3DPainter
{
public:
    KzXYZPainter();
    ~KzXYZPainter() override;

    // Draws the arrows and finds where their labels go.
    void Draw() override;
    void InitDisplayLists() override;
    // Draws the labels of the last Draw. Call it after the native painting that
    // Draw took part in has ended.
    void DrawLabels(QPainter& painter) const;

    void SetAngles(float yaw, float pitch);

    // Window positions (widget pixels, y down) of the X, Y and Z labels of the
    // last Draw.
    QPoint GetLabelPos(int axis) const { return m_ptLabel[axis]; }

    // The gizmo's square viewport: 100 pixels, 150 from the right edge to its left.
    static const int ms_nSize = 100;
    static const int ms_nRightMargin = 150;

private:
    unsigned int m_nConeList;
    unsigned int m_nAxisList;
    unsigned int m_nGizmoList;
    float m_fYaw;
    float m_fPitch;
    QPoint m_ptLabel[3];
};

#endif // KZXYZPAINTER_H
