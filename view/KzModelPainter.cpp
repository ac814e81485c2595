#include "KzModelPainter.h"

#include "KPolygonAlgorithm.h"
#include "KzModel3D.h"

#include <QVector4D>

#include <GL/gl.h>

#include <cmath>

namespace {
// Instances closer to the plate than this are left where they are.
const float kFloorTolerance = 0.01f;

// Grows an outline by 1 mm on every side: models keep that gap between them.
const QVector<QVector2D>& Margin()
{
    static const QVector<QVector2D> square = {
        QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};
    return square;
}
}

KzModelPainter::KzModelPainter(KzModel3D* model)
    : m_pModel(model)
    , m_bSelected(false)
{
    m_pModel->IncreaseReference();
    Place();
}

KzModelPainter::KzModelPainter(KzModel3D* model, const QMatrix4x4& m)
    : m_pModel(model)
    , m_bSelected(false)
{
    m_pModel->IncreaseReference();
    SetModelMatrix(m, false);
}

KzModelPainter::~KzModelPainter()
{
    m_pModel->DecreaseReference();
}

// The footprint (a convex hull of every corner) costs most; it is computed
// once per change, from the final matrix, after the box.
void KzModelPainter::ComputeBox()
{
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    const KzTriangle3D* t = triangles.constData();
    const int n = triangles.size();
    if (n == 0)
        return;
    m_vMax = m_vMin = m_matModel.map(t[0][0]);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            const QVector3D p = m_matModel.map(t[i][k]);
            for (int axis = 0; axis < 3; ++axis) {
                m_vMax[axis] = std::max(m_vMax[axis], p[axis]);
                m_vMin[axis] = std::min(m_vMin[axis], p[axis]);
            }
        }
    }
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzModelPainter::ComputeHull()
{
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    if (triangles.isEmpty())
        return;
    QVector<QVector2D> points;
    points.reserve(triangles.size() * 3);
    for (const KzTriangle3D& t : triangles) {
        for (int k = 0; k < 3; ++k)
            points.append(m_matModel.map(t[k]).toVector2D());
    }
    QVector<QVector2D> hull;
    KPolygonAlgorithm::FormConvexPolygon(hull, points);
    m_vecHull = KPolygonAlgorithm::MinkowskHull(hull, Margin());
}

// From the file's orientation: centred on x = y = 0, on the plate. The matrix
// stays a translation, which maps every corner to itself plus the offset, in
// one float sum per axis; the smallest and largest sums are those of the
// file's own bounds. So the corners are gone through once for the box and
// once for the footprint, with the results of a pass after every step.
void KzModelPainter::Place()
{
    m_matModel.setToIdentity();
    ComputeBox();
    const QVector3D fileMin = m_vMin;
    const QVector3D fileMax = m_vMax;
    MoveBy(QVector3D(-(m_vMin.x() + m_vMax.x()) / 2, -(m_vMin.y() + m_vMax.y()) / 2, 0), fileMin, fileMax);
    if (std::abs(m_vMin.z()) > kFloorTolerance)
        MoveBy(QVector3D(0, 0, -m_vMin.z()), fileMin, fileMax);
    ComputeHull();
}

void KzModelPainter::MoveBy(const QVector3D& d, const QVector3D& fileMin, const QVector3D& fileMax)
{
    QMatrix4x4 t;
    t.translate(d);
    m_matModel = t * m_matModel;
    const QVector4D offset = m_matModel.column(3);
    for (int axis = 0; axis < 3; ++axis) {
        m_vMin[axis] = fileMin[axis] + offset[axis];
        m_vMax[axis] = fileMax[axis] + offset[axis];
    }
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzModelPainter::DropToFloor()
{
    if (std::abs(m_vMin.z()) <= kFloorTolerance)
        return;
    QMatrix4x4 t;
    t.translate(0, 0, -m_vMin.z());
    m_matModel = t * m_matModel;
    ComputeBox();
}

void KzModelPainter::ApplyTransform(const QMatrix4x4& m, bool recompute)
{
    m_matModel = m * m_matModel;
    m_matModel.optimize();
    if (recompute) {
        ComputeBox();
        DropToFloor();
        ComputeHull();
        return;
    }
    m_vMax = m.map(m_vMax);
    m_vMin = m.map(m_vMin);
    m_vCenter = m.map(m_vCenter);
    for (QVector2D& p : m_vecHull)
        p = m.map(QVector3D(p, 0)).toVector2D();
}

void KzModelPainter::Translate(const QVector2D& d)
{
    QMatrix4x4 t;
    t.translate(d.x(), d.y(), 0);
    ApplyTransform(t, false);
}

void KzModelPainter::ResetTransform()
{
    Place();
}

void KzModelPainter::SetModelMatrix(const QMatrix4x4& m, bool centre)
{
    m_matModel = m;
    m_matModel.optimize();
    ComputeBox();
    if (centre) {
        QMatrix4x4 t;
        t.translate(-(m_vMin.x() + m_vMax.x()) / 2, -(m_vMin.y() + m_vMax.y()) / 2, 0);
        m_matModel = t * m_matModel;
        m_matModel.optimize();
        ComputeBox();
    }
    DropToFloor();
    ComputeHull();
}

void KzModelPainter::Draw()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glMultMatrixf(m_matModel.constData());
    if (m_pModel->ReadyToRender()) {
        for (unsigned int list : m_pModel->GetDisplayList())
            glCallList(list);
    }
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void KzModelPainter::DrawHull() const
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor4f(0.2f, 0.2f, 0.2f, 0.1f);
    glBegin(GL_POLYGON);
    for (const QVector2D& p : m_vecHull)
        glVertex3f(p.x(), p.y(), 0.0f);
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void KzModelPainter::DrawFlat() const
{
    glPushMatrix();
    glMultMatrixf(m_matModel.constData());
    if (m_pModel->ReadyToRender()) {
        for (unsigned int list : m_pModel->GetDisplayList())
            glCallList(list);
    }
    glPopMatrix();
}

QVector<KzTriangle3D> KzModelPainter::TransformedTriangles() const
{
    QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    for (KzTriangle3D& t : triangles)
        t.Convert(m_matModel);
    return triangles;
}

QVector3D KzModelPainter::FaceNormal(int i) const
{
    if (i < 0 || i >= m_pModel->Count())
        return QVector3D();
    return m_matModel.mapVector(m_pModel->Item(i).GetNormal());
}
