#include "Kz3DScene.h"

#include <GL/gl.h>

Kz3DScene::Kz3DScene(QObject* parent)
    : QObject(parent)
    , m_vBoundMax(50, 50, 100)
    , m_vBoundMin(-50, -50, 0)
{
}

Kz3DScene::~Kz3DScene() = default;

void Kz3DScene::InitGL()
{
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_MULTISAMPLE);
    glLineStipple(1, 0x0F0F);

    // One directional light fixed to the eye.
    const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat position[] = {0.4f, 0.5f, 1.0f, 0.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
    glEnable(GL_LIGHT0);

    // The current colour is the material, so painters only set colours.
    const GLfloat materialSpecular[] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 10.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);

    m_printerBox.InitDisplayLists();
    m_rotateCoord.InitDisplayLists();
    m_gridding.InitDisplayLists();
}

void Kz3DScene::DrawModelScene()
{
    m_gridding.Draw();
    // Last: its faces are translucent.
    m_printerBox.Draw();
}

void Kz3DScene::SetPrintBound(const QVector3D& max, const QVector3D& min)
{
    m_vBoundMax = max;
    m_vBoundMin = min;
    // Casts truncate towards zero: a 120.7 mm wide bound gives a 120 mm box.
    const int x = int(max.x() - min.x());
    const int y = int(max.y() - min.y());
    const int z = int(max.z() - min.z());
    m_printerBox.SetSize(x, y, z);
    m_gridding.SetSize(x, y);
}

void Kz3DScene::GetPrintBound(QVector3D& max, QVector3D& min) const
{
    max = m_vBoundMax;
    min = m_vBoundMin;
}
