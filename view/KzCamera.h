#ifndef KZCAMERA_H
#define KZCAMERA_H

#include "KzGLViewGlobal.h"

#include <QMatrix4x4>

// The view's camera: a plain record of angles, pan and zoom. A drag in progress is
// kept in the m_dDrag* deltas and folded into the base values when it finishes, so
// a drag always works from the state at its press.
class KZGLVIEW_EXPORT KzCamera
{
public:
    KzCamera();

    // Loads the model-view matrix (GL_MODELVIEW mode is left selected).
    void Apply() const;
    // The matrix Apply() loads: eye distance, pan, scales, pitch about x, yaw about z.
    QMatrix4x4 ModelView() const;

    // dx, dy: cursor offset from the press in pixels, one pixel per degree.
    void DragRotate(double dx, double dy, bool finish);
    // dx, dy: cursor offset from the press in eye-space units.
    void DragPan(double dx, double dy, bool finish);
    void ZoomIn();
    void ZoomOut();
    // Back to the default view; the base scale is kept.
    void Reset();
    void SetBaseScale(float scale);
    void GetAngles(double& yaw, double& pitch) const;

    double m_dYaw;
    double m_dPitch;
    double m_dPanX;
    double m_dPanY;
    double m_dZoom;
    double m_dDistance;
    double m_dDragPitch;
    double m_dDragYaw;
    double m_dDragPanY;
    double m_dDragPanX;
    double m_dBaseScale;
};

#endif // KZCAMERA_H
