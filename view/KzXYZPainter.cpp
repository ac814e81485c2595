#include "KzXYZPainter.h"

#include <QPainter>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {
const int kConeSegments = 80;
const double kPi = 3.14159265358979323846;

void CompileCone()
{
    GLfloat ring[kConeSegments][2];
    for (int i = 0; i < kConeSegments; ++i) {
        const double t = i * 2.0 * kPi / kConeSegments;
        ring[i][0] = GLfloat(std::cos(t));
        ring[i][1] = GLfloat(std::sin(t));
    }
    // Unit cone along z: apex (0, 0, 1), base the unit circle at z = 0. A side
    // normal of a 45 degree cone points outwards and up by the same amount.
    const GLfloat s = GLfloat(1.0 / std::sqrt(2.0));
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < kConeSegments; ++i) {
        const GLfloat* a = ring[i];
        const GLfloat* b = ring[(i + 1) % kConeSegments];
        const double mid = (i + 0.5) * 2.0 * kPi / kConeSegments;
        glNormal3f(GLfloat(std::cos(mid)) * s, GLfloat(std::sin(mid)) * s, s);
        glVertex3f(0, 0, 1);
        glVertex3f(a[0], a[1], 0);
        glVertex3f(b[0], b[1], 0);
    }
    glEnd();
    glBegin(GL_POLYGON);
    glNormal3f(0, 0, -1);
    for (int i = kConeSegments - 1; i >= 0; --i)
        glVertex3f(ring[i][0], ring[i][1], 0);
    glEnd();
}

void CompileAxis(unsigned int cone)
{
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glEnd();
    glPushMatrix();
    glTranslatef(0.7f, 0, 0);
    glRotatef(90, 0, 1, 0);
    glScalef(0.1f, 0.1f, 0.3f);
    glCallList(cone);
    glPopMatrix();
}

void CompileGizmo(unsigned int axis)
{
    glColor3f(0.7f, 0, 0);
    glCallList(axis);
    glPushMatrix();
    glColor3f(0, 0.7f, 0);
    glRotatef(90, 0, 0, 1);
    glCallList(axis);
    glPopMatrix();
    glPushMatrix();
    glColor3f(0, 0, 0.7f);
    glRotatef(-90, 0, 1, 0);
    glCallList(axis);
    glPopMatrix();
}
}

KzXYZPainter::KzXYZPainter()
    : m_nConeList(0)
    , m_nAxisList(0)
    , m_nGizmoList(0)
    , m_fYaw(0)
    , m_fPitch(0)
{
}

// The lists belong to the view's context and are released with it.
KzXYZPainter::~KzXYZPainter() = default;

void KzXYZPainter::InitDisplayLists()
{
    for (unsigned int list : {m_nConeList, m_nAxisList, m_nGizmoList}) {
        if (list != 0)
            glDeleteLists(list, 1);
    }
    m_nConeList = glGenLists(1);
    glNewList(m_nConeList, GL_COMPILE);
    CompileCone();
    glEndList();

    m_nAxisList = glGenLists(1);
    glNewList(m_nAxisList, GL_COMPILE);
    CompileAxis(m_nConeList);
    glEndList();

    m_nGizmoList = glGenLists(1);
    glNewList(m_nGizmoList, GL_COMPILE);
    CompileGizmo(m_nAxisList);
    glEndList();
}

void KzXYZPainter::SetAngles(float yaw, float pitch)
{
    m_fYaw = yaw;
    m_fPitch = pitch;
}

void KzXYZPainter::DrawLabels(QPainter& painter) const
{
    static const char* const kLabel[3] = {"X", "Y", "Z"};
    painter.setPen(QColor(238, 236, 234));
    for (int axis = 0; axis < 3; ++axis)
        painter.drawText(m_ptLabel[axis], QString::fromLatin1(kLabel[axis]));
}

void KzXYZPainter::Draw()
{
    if (m_nGizmoList == 0)
        return;
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);

    GLint saved[4];
    glGetIntegerv(GL_VIEWPORT, saved);
    const int height = saved[3];
    glViewport(saved[2] - ms_nRightMargin, 0, ms_nSize, ms_nSize);

    QMatrix4x4 projection;
    projection.perspective(45.0f, 1.0f, 0.1f, 1000.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadMatrixf(projection.constData());

    QMatrix4x4 modelView;
    modelView.translate(0, 0, -3);
    modelView.rotate(m_fPitch, 1, 0, 0);
    modelView.rotate(m_fYaw, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(modelView.constData());

    glCallList(m_nGizmoList);

    GLdouble mv[16];
    GLdouble pr[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    for (int axis = 0; axis < 3; ++axis) {
        GLdouble p[3] = {0, 0, 0};
        p[axis] = 1.2;
        GLdouble wx = 0, wy = 0, wz = 0;
        gluProject(p[0], p[1], p[2], mv, pr, vp, &wx, &wy, &wz);
        // Window y counts from the bottom of the gizmo's viewport, which sits at
        // the bottom of the widget.
        m_ptLabel[axis] = QPoint(int(wx), int(vp[3] - wy) + height - ms_nSize);
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(saved[0], saved[1], saved[2], saved[3]);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}
