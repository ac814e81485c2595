#include "KzScaleCoord.h"

#include <GL/gl.h>

namespace {
// A small margin keeps the faces off the instance's own surface; the bottom stays
// on the instance's lowest point so it does not sink below the plate.
const float kMargin = 0.1f;

const int kFace[KzScaleCoord::ms_nFaces][4] = {
    {4, 5, 6, 7}, {0, 3, 2, 1}, {0, 4, 7, 3}, {1, 2, 6, 5}, {0, 1, 5, 4}, {2, 3, 7, 6},
};
}

KzScaleCoord::KzScaleCoord()
    : m_nActive(-1)
    , m_nHovered(-1)
{
}

KzScaleCoord::~KzScaleCoord() = default;

void KzScaleCoord::SetBox(const QVector3D& max, const QVector3D& min)
{
    m_vMax = max;
    m_vMin = min;
}

QVector3D KzScaleCoord::Corner(int k) const
{
    // Corners as the unit cube: 0 (0,0,0), 1 (1,0,0), 2 (1,1,0), 3 (0,1,0), +4 on top.
    const bool hiX = (k % 4 == 1) || (k % 4 == 2);
    const bool hiY = (k % 4 == 2) || (k % 4 == 3);
    const bool hiZ = k >= 4;
    return QVector3D(hiX ? m_vMax.x() + kMargin : m_vMin.x() - kMargin,
                     hiY ? m_vMax.y() + kMargin : m_vMin.y() - kMargin,
                     hiZ ? m_vMax.z() + kMargin : m_vMin.z());
}

void KzScaleCoord::DrawFace(int i) const
{
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        const QVector3D c = Corner(kFace[i][k]);
        glVertex3f(c.x(), c.y(), c.z());
    }
    glEnd();
}

void KzScaleCoord::Draw()
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    for (int i = 0; i < ms_nFaces; ++i) {
        GLfloat rgba[4] = {0.1f, 0.1f, 0.1f, 0.1f};
        if (i == m_nActive)
            rgba[3] = 0.3f;
        if (i == m_nHovered) {
            rgba[1] = 0.4f;
            rgba[2] = 0.3f;
        }
        glColor4fv(rgba);
        DrawFace(i);
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}
