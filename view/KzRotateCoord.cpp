#include "KzRotateCoord.h"

#include <GL/gl.h>

#include <cmath>

namespace {
const int kSegments = 80;
const double kPi = 3.14159265358979323846;

// One strip rather than separate segments: the stipple pattern restarts with
// every separate segment, and on a small ring each segment would be shorter than
// the pattern's first dash, so the hovered ring would look solid.
void CompileCircle()
{
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i <= kSegments; ++i) {
        const double a = i * kPi / 40.0;
        glVertex3d(std::cos(a), std::sin(a), 0.0);
    }
    glEnd();
}
}

KzRotateCoord::KzRotateCoord()
    : m_nActive(-1)
    , m_nHovered(-1)
    , m_nSolidList(0)
    , m_nStippledList(0)
    , m_dRadius(1.0)
{
}

// The lists belong to the view's context and are released with it.
KzRotateCoord::~KzRotateCoord() = default;

void KzRotateCoord::DeleteDisplayLists()
{
    if (m_nSolidList != 0)
        glDeleteLists(m_nSolidList, ms_nRings);
    if (m_nStippledList != 0)
        glDeleteLists(m_nStippledList, ms_nRings);
    m_nSolidList = 0;
    m_nStippledList = 0;
}

void KzRotateCoord::InitDisplayLists()
{
    DeleteDisplayLists();
    // The unit circle in the xy plane (turns about z), turned into the xz plane
    // (about y) and the yz plane (about x).
    static const GLfloat kTurn[ms_nRings][4] = {{0, 0, 0, 1}, {90, 1, 0, 0}, {90, 0, 1, 0}};
    m_nSolidList = glGenLists(ms_nRings);
    for (int i = 0; i < ms_nRings; ++i) {
        glNewList(m_nSolidList + i, GL_COMPILE);
        glPushMatrix();
        glRotatef(kTurn[i][0], kTurn[i][1], kTurn[i][2], kTurn[i][3]);
        CompileCircle();
        glPopMatrix();
        glEndList();
    }

    m_nStippledList = glGenLists(ms_nRings);
    for (int i = 0; i < ms_nRings; ++i) {
        glNewList(m_nStippledList + i, GL_COMPILE);
        glEnable(GL_LINE_STIPPLE);
        glCallList(m_nSolidList + i);
        glDisable(GL_LINE_STIPPLE);
        glEndList();
    }
}

void KzRotateCoord::SetCenter(const QVector3D& center, double radius)
{
    m_vCenter = center;
    m_dRadius = radius;
}

void KzRotateCoord::Draw()
{
    if (m_nSolidList == 0)
        return;
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glTranslatef(m_vCenter.x(), m_vCenter.y(), m_vCenter.z());
    glScaled(m_dRadius, m_dRadius, m_dRadius);
    glLineWidth(2);
    for (int i = 0; i < ms_nRings; ++i) {
        const GLfloat level = (i == m_nActive) ? 1.0f : 0.4f;
        // Ring 0 blue, ring 1 green, ring 2 red.
        GLfloat rgb[3] = {0, 0, 0};
        rgb[2 - i] = level;
        glColor3fv(rgb);
        glCallList((i == m_nHovered ? m_nStippledList : m_nSolidList) + i);
    }
    glLineWidth(1);
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
}

void KzRotateCoord::DrawPick() const
{
    if (m_nSolidList == 0)
        return;
    glPushAttrib(GL_LINE_BIT);
    glPushMatrix();
    glTranslatef(m_vCenter.x(), m_vCenter.y(), m_vCenter.z());
    glScaled(m_dRadius, m_dRadius, m_dRadius);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_LINE_STIPPLE);
    glLineWidth(10);
    for (int i = 0; i < ms_nRings; ++i) {
        PickColor(1 + 10 * i);
        glCallList(m_nSolidList + i);
    }
    glPopMatrix();
    glPopAttrib();
}
