#include "Kz3DScene.h"

#include "KzModel3D.h"
#include "KLayerModel.h"
#include "KzModelPainter.h"

#include <QEvent>

#include <GL/gl.h>

Kz3DScene::Kz3DScene(QObject* parent)
    : QObject(parent)
    , m_pCurPainter(nullptr)
    , m_nEditMode(0)
    , m_bKeepScale(true)
    , m_vBoundMax(50, 50, 100)
    , m_vBoundMin(-50, -50, 0)
{
}

Kz3DScene::~Kz3DScene()
{
    // Instances first: they release their models' references.
    qDeleteAll(m_mapPainters);
    qDeleteAll(m_mapModels);
}

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
    for (KzModelPainter* painter : qAsConst(m_mapPainters))
        DrawInstance(painter);

    if (m_pCurPainter != nullptr) {
        if (m_nEditMode == 1) {
            m_rotateCoord.Draw();
        } else if (m_nEditMode == 2 && !m_bKeepScale) {
            glPushMatrix();
            glMultMatrixf(m_matPending.constData());
            m_scaleCoord.Draw();
            glPopMatrix();
        }
    }
    // Last: its faces are translucent.
    m_printerBox.Draw();
}

bool Kz3DScene::ExceedsBound(const QVector3D& c) const
{
    // Below the plate is allowed in z: only the height is limited.
    return c.x() > m_vBoundMax.x() || c.y() > m_vBoundMax.y() || c.z() > m_vBoundMax.z()
           || c.x() < m_vBoundMin.x() || c.y() < m_vBoundMin.y();
}

void Kz3DScene::DrawInstance(KzModelPainter* painter)
{
    if (!painter->IsSelected()) {
        if (IsInBound(painter))
            glColor3f(0.61f, 0.60f, 0.61f);
        else
            glColor3f(0.5f, 0.0f, 0.1f);
        painter->Draw();
        return;
    }

    // The selected instance is judged where the edit in progress would put it.
    const bool mapped = (m_nEditMode == 0 || m_nEditMode == 2);
    QVector3D max = painter->GetMax();
    QVector3D min = painter->GetMin();
    if (mapped) {
        max = m_matPending.map(max);
        min = m_matPending.map(min);
    }
    if (ExceedsBound(max) || ExceedsBound(min))
        glColor3f(0.76f, 0.0f, 0.1f);
    else
        glColor3f(0.3f, 0.6f, 0.8f);

    glPushMatrix();
    glMultMatrixf(m_matPending.constData());
    painter->Draw();
    // The shadow follows a move or scale preview; for a rotation it stays put.
    if (mapped)
        painter->DrawHull();
    glPopMatrix();
    if (!mapped)
        painter->DrawHull();
}

void Kz3DScene::SetLayerOffset(double x, double y)
{
    KLayerFeature::SetLayerOffset(x, y);
}

void Kz3DScene::GetLayerOffset(double& x, double& y) const
{
    KLayerFeature::GetLayerOffset(x, y);
}

void Kz3DScene::AdoptModel(KzModel3D* model)
{
    m_mapModels.insert(model->ID(), model);
}

void Kz3DScene::AdoptPainter(KzModelPainter* painter)
{
    m_mapPainters.insert(painter->GetID(), painter);
}

void Kz3DScene::SelectPainter(int code)
{
    if (m_pCurPainter != nullptr) {
        m_pCurPainter->SetSelected(false);
        m_pCurPainter = nullptr;
    }
    if (code % 10 != 0 || code / 10 <= 0)
        return;
    KzModelPainter* painter = m_mapPainters.value(code / 10, nullptr);
    if (painter == nullptr)
        return;
    painter->SetSelected(true);
    m_pCurPainter = painter;
    UpdateHandles();
}

void Kz3DScene::UpdateHandles()
{
    if (m_pCurPainter == nullptr)
        return;
    m_rotateCoord.SetCenter(m_pCurPainter->GetCenter(), m_pCurPainter->Diagonal() * 0.5);
    m_scaleCoord.SetBox(m_pCurPainter->GetMax(), m_pCurPainter->GetMin());
    // A new selection starts with no handle pressed; hovering is kept.
    m_rotateCoord.SetActive(-1);
    m_scaleCoord.SetActive(-1);
}

bool Kz3DScene::IsInBound(const KzModelPainter* p) const
{
    return p->GetMax().x() < m_vBoundMax.x() && p->GetMax().y() < m_vBoundMax.y()
           && p->GetMin().x() > m_vBoundMin.x() && p->GetMin().y() > m_vBoundMin.y();
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

// ---- Layer preview ----

void Kz3DScene::DrawLayerScene()
{
    m_layerFeature.Draw();
    m_gridding.Draw();
    m_printerBox.Draw();
}

void Kz3DScene::LoadLayerModel(QString path)
{
    m_layerFeature.LoadLayerModel(path);
    // Layers reach the model as queued calls from its reading thread.
    m_layerFeature.GetLayerModel()->installEventFilter(this);
}

void Kz3DScene::ClearLayerModel()
{
    m_layerFeature.ClearLayerModel();
}

void Kz3DScene::SetCurrentLayer(int layer)
{
    m_layerFeature.SetCurrentLayer(layer);
}

void Kz3DScene::SetMultiLayer(bool multi)
{
    m_layerFeature.SetMultiLayer(multi);
}

int Kz3DScene::GetMaxLayer() const
{
    return m_layerFeature.GetMaxLayer();
}

// The layer model tells nobody when a layer arrives or the layers are trimmed:
// both come as queued calls, which pass here just before they run. The view
// repaints after they have run, since update() only schedules a frame.
bool Kz3DScene::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MetaCall && watched == m_layerFeature.GetLayerModel())
        emit signal_LayersChanged();
    return QObject::eventFilter(watched, e);
}
