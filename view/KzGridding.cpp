#include "KzGridding.h"

#include <GL/gl.h>

namespace {
const int kCells = 10;
const GLfloat kCell = 0.1f;
const GLfloat kInset = 0.0125f;
const GLfloat kTileHeight = 0.05f;

void Quad(GLfloat x0, GLfloat y0, GLfloat x1, GLfloat y1, GLfloat z)
{
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x1, y0, z);
    glVertex3f(x1, y1, z);
    glVertex3f(x0, y1, z);
    glEnd();
}
}

KzGridding::KzGridding()
    : m_nList(0)
    , m_dZOffset(-0.2)
    , m_nSizeX(100)
    , m_nSizeY(100)
{
}

// The list belongs to the view's context and is released with it.
KzGridding::~KzGridding() = default;

void KzGridding::InitDisplayLists()
{
    if (m_nList != 0)
        glDeleteLists(m_nList, 1);
    m_nList = glGenLists(1);
    glNewList(m_nList, GL_COMPILE);
    for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
            const GLfloat x0 = i * kCell - 0.5f;
            const GLfloat x1 = (i + 1) * kCell - 0.5f;
            const GLfloat y0 = 0.5f - j * kCell;
            const GLfloat y1 = 0.5f - (j + 1) * kCell;
            glColor4f(0.38f, 0.45f, 0.47f, 0.3f);
            glDepthMask(GL_FALSE);
            Quad(x0, y1, x1, y0, 0.0f);
            glDepthMask(GL_TRUE);
            glColor4f(0.45f, 0.56f, 0.6f, 0.8f);
            Quad(x0 + kInset, y1 + kInset, x1 - kInset, y0 - kInset, kTileHeight);
        }
    }
    glEndList();
}

void KzGridding::SetSize(int x, int y)
{
    m_nSizeX = x;
    m_nSizeY = y;
}

void KzGridding::Draw()
{
    if (m_nList == 0)
        return;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glPushMatrix();
    glTranslated(0.0, 0.0, m_dZOffset);
    glScaled(m_nSizeX, m_nSizeY, 1.0);
    glCallList(m_nList);
    glPopMatrix();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}
