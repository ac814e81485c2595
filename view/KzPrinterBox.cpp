#include "KzPrinterBox.h"

#include <GL/gl.h>

#include <cmath>

namespace {
const int kFaceCount = 5;

// Unit cube corners; the box has no top, so only corners of five faces are used.
const GLfloat kCorner[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
};
// Bottom, front (y = 0), right (x = 1), back (y = 1), left (x = 0).
const int kFace[kFaceCount][4] = {
    {0, 1, 2, 3}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0},
};
const GLfloat kFaceAlpha[kFaceCount] = {0.1f, 0.2f, 0.4f, 0.2f, 0.4f};

// Arrow triangle in the plate plane, pointing towards -y; the prism is 0.5 thick.
const GLfloat kArrow[3][2] = {{-3.09f, 0.0f}, {3.09f, 0.0f}, {0.0f, -5.0f}};
const GLfloat kArrowThickness = 0.5f;

void CompileArrow()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glBegin(GL_TRIANGLES);
    // The triangle runs clockwise seen from above (x to the right, y up): as given
    // it faces down, reversed it faces up.
    glNormal3f(0, 0, -1);
    for (int i = 0; i < 3; ++i)
        glVertex3f(kArrow[i][0], kArrow[i][1], 0);
    glNormal3f(0, 0, 1);
    for (int i = 2; i >= 0; --i)
        glVertex3f(kArrow[i][0], kArrow[i][1], kArrowThickness);
    glEnd();
    glBegin(GL_QUADS);
    for (int i = 0; i < 3; ++i) {
        const GLfloat* a = kArrow[i];
        const GLfloat* b = kArrow[(i + 1) % 3];
        // Clockwise outline: the outward normal of edge a->b is the edge turned a
        // quarter counter-clockwise.
        GLfloat nx = -(b[1] - a[1]);
        GLfloat ny = b[0] - a[0];
        const GLfloat len = std::sqrt(nx * nx + ny * ny);
        nx /= len;
        ny /= len;
        glNormal3f(nx, ny, 0);
        glVertex3f(a[0], a[1], 0);
        glVertex3f(a[0], a[1], kArrowThickness);
        glVertex3f(b[0], b[1], kArrowThickness);
        glVertex3f(b[0], b[1], 0);
    }
    glEnd();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void CompileFace(const int* face)
{
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);  // translucent: never hide what lies behind
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k)
        glVertex3fv(kCorner[face[k]]);
    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}
}

KzPrinterBox::KzPrinterBox()
    : m_nFaceList(0)
    , m_nArrowList(0)
    , m_dZOffset(-0.2)
    , m_nSizeX(100)
    , m_nSizeY(100)
    , m_nSizeZ(100)
{
}

// Display lists belong to the view's context, which may be gone by now; they are
// released with the context.
KzPrinterBox::~KzPrinterBox() = default;

void KzPrinterBox::DeleteDisplayLists()
{
    if (m_nFaceList != 0)
        glDeleteLists(m_nFaceList, kFaceCount);
    if (m_nArrowList != 0)
        glDeleteLists(m_nArrowList, 1);
    m_nFaceList = 0;
    m_nArrowList = 0;
}

void KzPrinterBox::InitDisplayLists()
{
    DeleteDisplayLists();
    m_nFaceList = glGenLists(kFaceCount);
    for (int i = 0; i < kFaceCount; ++i) {
        glNewList(m_nFaceList + i, GL_COMPILE);
        CompileFace(kFace[i]);
        glEndList();
    }
    m_nArrowList = glGenLists(1);
    glNewList(m_nArrowList, GL_COMPILE);
    CompileArrow();
    glEndList();
}

void KzPrinterBox::SetSize(int x, int y, int z)
{
    m_nSizeX = x;
    m_nSizeY = y;
    m_nSizeZ = z;
}

void KzPrinterBox::Draw()
{
    if (m_nFaceList == 0)
        return;
    glPushMatrix();
    glTranslated(-m_nSizeX / 2.0, -m_nSizeY / 2.0, m_dZOffset);
    glScaled(m_nSizeX, m_nSizeY, m_nSizeZ);
    for (int i = 0; i < kFaceCount; ++i) {
        glColor4f(0.7f, 0.71f, 0.72f, kFaceAlpha[i]);
        glCallList(m_nFaceList + i);
    }
    glPopMatrix();

    // 8 mm in front of the plate's front edge.
    glPushMatrix();
    glTranslated(0.0, -(m_nSizeY + 16) / 2.0, m_dZOffset);
    glColor3f(0.3f, 0.6f, 0.8f);
    glCallList(m_nArrowList);
    glPopMatrix();
}
