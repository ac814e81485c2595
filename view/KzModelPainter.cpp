#include "KzModelPainter.h"

#include "KzModel3D.h"

#include <GL/gl.h>

KzModelPainter::KzModelPainter(KzModel3D* model)
    : KzPlateInstance(model)
    , m_bSelected(false)
{
}

KzModelPainter::KzModelPainter(KzModel3D* model, const QMatrix4x4& m)
    : KzPlateInstance(model, m)
    , m_bSelected(false)
{
}

KzModelPainter::~KzModelPainter() = default;

void KzModelPainter::DrawModel(bool reduced) const
{
    glPushMatrix();
    glMultMatrixf(GetModelMatrix().constData());
    if (GetModel()->ReadyToRender()) {
        if (reduced)
            GetModel()->DrawReducedFacets();
        else
            GetModel()->DrawFacets();
    }
    glPopMatrix();
}

void KzModelPainter::Draw()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    DrawModel(false);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void KzModelPainter::DrawReduced()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    DrawModel(true);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void KzModelPainter::DrawHull() const
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor4f(0.2f, 0.2f, 0.2f, 0.1f);
    glBegin(GL_POLYGON);
    for (const QVector2D& p : GetHull())
        glVertex3f(p.x(), p.y(), 0.0f);
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void KzModelPainter::DrawFlat() const
{
    DrawModel(false);
}
