#include "KzCamera.h"

#include <GL/gl.h>

namespace {
const double kZoomStep = 0.9;
const double kZoomMin = 0.2;
const double kZoomMax = 100.0;
}

KzCamera::KzCamera()
    : m_dBaseScale(0.5)
{
    Reset();
}

QMatrix4x4 KzCamera::ModelView() const
{
    QMatrix4x4 m;
    m.translate(0.0f, 0.0f, float(-m_dDistance));
    m.translate(float(m_dPanX + m_dDragPanX), float(m_dPanY + m_dDragPanY), 0.0f);
    m.scale(float(m_dBaseScale));
    m.scale(float(m_dZoom));
    m.rotate(float(m_dPitch + m_dDragPitch), 1.0f, 0.0f, 0.0f);
    m.rotate(float(m_dYaw + m_dDragYaw), 0.0f, 0.0f, 1.0f);
    return m;
}

void KzCamera::Apply() const
{
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(ModelView().constData());
}

void KzCamera::DragRotate(double dx, double dy, bool finish)
{
    // Keep the total pitch within [-180, 0]: from straight above to straight below.
    double d = dy;
    if (m_dPitch + d > 0.0)
        d = -m_dPitch;
    else if (m_dPitch + d < -180.0)
        d = -180.0 - m_dPitch;

    if (finish) {
        m_dPitch += m_dDragPitch;
        m_dDragPitch = 0.0;
        m_dYaw += m_dDragYaw;
        m_dDragYaw = 0.0;
    } else {
        m_dDragPitch = d;
        m_dDragYaw = dx;
    }
}

void KzCamera::DragPan(double dx, double dy, bool finish)
{
    if (finish) {
        m_dPanY += m_dDragPanY;
        m_dPanX += m_dDragPanX;
        m_dDragPanY = 0.0;
        m_dDragPanX = 0.0;
    } else {
        // Screen y grows downwards, the scene's y upwards.
        m_dDragPanY = -dy;
        m_dDragPanX = dx;
    }
}

void KzCamera::ZoomIn()
{
    if (m_dZoom < kZoomMax)
        m_dZoom /= kZoomStep;
}

void KzCamera::ZoomOut()
{
    if (m_dZoom > kZoomMin)
        m_dZoom *= kZoomStep;
}

void KzCamera::Reset()
{
    m_dYaw = 30.0;
    m_dPitch = -80.0;
    m_dPanX = 13.0;
    m_dPanY = -20.0;
    m_dZoom = 1.0;
    m_dDistance = 100.0;
    m_dDragPitch = 0.0;
    m_dDragYaw = 0.0;
    m_dDragPanY = 0.0;
    m_dDragPanX = 0.0;
}

void KzCamera::SetBaseScale(float scale)
{
    m_dBaseScale = scale;
}

void KzCamera::GetAngles(double& yaw, double& pitch) const
{
    yaw = m_dYaw + m_dDragYaw;
    pitch = m_dPitch + m_dDragPitch;
}
