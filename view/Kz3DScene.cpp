#include "Kz3DScene.h"

#include "Kz3mfReader.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KLayerModel.h"
#include "KzModelPainter.h"

#include <QEvent>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <GL/gl.h>

Kz3DScene::Kz3DScene(QObject* parent)
    : QObject(parent)
    , m_pCurPainter(nullptr)
    , m_dRotateAngle(0)
    , m_nEditMode(0)
    , m_bKeepScale(true)
{
}

Kz3DScene::~Kz3DScene()
{
    // Instances first: they release their models' references; the plate
    // deletes the models.
    qDeleteAll(m_mapPainters);
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

    if (m_pCurPainter != nullptr && !m_matPending.isIdentity()) {
        if (m_nEditMode == 0 || m_nEditMode == 2)
            DrawMoveFeedback();
        else if (m_nEditMode == 1)
            DrawRotateFeedback();
    }
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
    const QVector3D max = m_plate.GetBoundMax();
    const QVector3D min = m_plate.GetBoundMin();
    return c.x() > max.x() || c.y() > max.y() || c.z() > max.z() || c.x() < min.x() || c.y() < min.y();
}

void Kz3DScene::DrawInstance(KzModelPainter* painter)
{
    if (!painter->IsSelected()) {
        if (IsInBound(painter))
            glColor3f(0.61f, 0.60f, 0.61f);
        else
            glColor3f(0.5f, 0.0f, 0.1f);
        if (m_bReducedFrame)
            painter->DrawReduced();
        else
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
    if (m_bReducedFrame)
        painter->DrawReduced();
    else
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
    m_plate.AdoptModel(model);
}

void Kz3DScene::AdoptPainter(KzModelPainter* painter)
{
    m_mapPainters.insert(painter->GetID(), painter);
    m_plate.Insert(painter->GetID(), painter);
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
    return m_plate.IsInBound(*p);
}

void Kz3DScene::SetPrintBound(const QVector3D& max, const QVector3D& min)
{
    m_plate.SetBound(max, min);
    // Casts truncate towards zero: a 120.7 mm wide bound gives a 120 mm box.
    const int x = int(max.x() - min.x());
    const int y = int(max.y() - min.y());
    const int z = int(max.z() - min.z());
    m_printerBox.SetSize(x, y, z);
    m_gridding.SetSize(x, y);
}

void Kz3DScene::GetPrintBound(QVector3D& max, QVector3D& min) const
{
    max = m_plate.GetBoundMax();
    min = m_plate.GetBoundMin();
}

// ---- Layer preview ----

void Kz3DScene::DrawLayerScene()
{
    m_layerFeature.SetReduced(m_bReducedFrame);
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

bool Kz3DScene::AreAllModelsInBound() const
{
    return m_plate.AreAllInBound();
}

// ---- Model files ----

int Kz3DScene::AddModel(QString path, KzLoadReport& report)
{
    if (Kz3mfReader::IsPackagePath(path))
        return AddPackage(path, report);
    KzModel3D* model = m_plate.LoadModel(path, report);
    if (model == nullptr)
        return 0;
    auto* painter = new KzModelPainter(model);
    AddModelPainter(painter);
    return painter->GetPickCode();
}

// The plate makes an instance of each build item through the painters made
// here, and puts them where they go.
int Kz3DScene::AddPackage(const QString& path, KzLoadReport& report)
{
    QVector<KzModelPainter*> made;
    const auto make = [&made](KzModel3D* model, const QMatrix4x4& m) {
        made.append(new KzModelPainter(model, m));
        return made.last();
    };
    const auto key = [&made](int i) { return made.at(i)->GetID(); };
    if (m_plate.AddPackageFile(path, report, make, key).isEmpty())
        return 0;
    for (KzModelPainter* painter : qAsConst(made))
        m_mapPainters.insert(painter->GetID(), painter);
    UpdateHandles();
    return made.first()->GetPickCode();
}

bool Kz3DScene::RemoveCurrentPainter()
{
    if (m_pCurPainter == nullptr)
        return false;
    KzModelPainter* painter = m_pCurPainter;
    DetachPainter(painter);
    DiscardPainter(painter);
    return true;
}

void Kz3DScene::DetachPainter(KzModelPainter* painter)
{
    if (m_mapPainters.value(painter->GetID()) != painter)
        return;
    m_mapPainters.remove(painter->GetID());
    m_plate.Remove(painter->GetID());
    if (painter == m_pCurPainter) {
        painter->SetSelected(false);
        m_pCurPainter = nullptr;
        m_matPending.setToIdentity();
    }
    KzModel3D* model = painter->GetModel();
    for (const KzModelPainter* p : qAsConst(m_mapPainters)) {
        if (p->GetModel() == model)
            return;
    }
    m_plate.ForgetModel(model);
}

void Kz3DScene::AttachPainter(KzModelPainter* painter)
{
    m_mapPainters.insert(painter->GetID(), painter);
    m_plate.Insert(painter->GetID(), painter);
    m_plate.AdoptModel(painter->GetModel());
}

void Kz3DScene::DiscardPainter(KzModelPainter* painter)
{
    KzModel3D* model = painter->GetModel();
    delete painter;
    m_plate.ReleaseModel(model);
}

KzModelPainter* Kz3DScene::DuplicateCurrent()
{
    if (m_pCurPainter == nullptr)
        return nullptr;
    auto* copy = new KzModelPainter(m_pCurPainter->GetModel());
    copy->SetState(m_pCurPainter->GetState());
    AddModelPainter(copy);
    return copy;
}

bool Kz3DScene::SaveAll(QString path, QVector3D& centre) const
{
    return m_plate.SaveAll(path, centre);
}

QString Kz3DScene::GetFirstModelName() const
{
    const QMap<int, KzModel3D*>& models = m_plate.GetModels();
    if (models.isEmpty())
        return QString();
    return QFileInfo(models.first()->FileName()).baseName();
}

// ---- Placement (the plate's rules; the handles follow a recentred group) ----

void Kz3DScene::AddModelPainter(KzModelPainter* painter)
{
    m_mapPainters.insert(painter->GetID(), painter);
    if (m_plate.Add(painter->GetID(), painter))
        UpdateHandles();
}

float Kz3DScene::GetMoveLimit() const
{
    return m_plate.GetMoveLimit();
}

void Kz3DScene::PlaceNewPainter(KzModelPainter* painter)
{
    m_plate.PlaceNew(painter);
}

void Kz3DScene::PushAway(KzModelPainter* painter)
{
    m_plate.PushAway(painter);
}

void Kz3DScene::RecenterAll()
{
    if (m_plate.RecenterAll())
        UpdateHandles();
}

void Kz3DScene::ArrangeAll()
{
    m_plate.ArrangeAll();
    UpdateHandles();
}

// ---- Editing ----

void Kz3DScene::ApplyPending()
{
    if (m_pCurPainter != nullptr) {
        // Rotations change the outline: rebuild it from the triangles.
        const bool recompute = m_nEditMode == 1 || m_nEditMode == 3 || !IsAxisAligned(m_matPending);
        m_pCurPainter->ApplyTransform(m_matPending, recompute);
        PushAway(m_pCurPainter);
        UpdateHandles();
    }
    m_matPending.setToIdentity();
    m_dRotateAngle = 0;
}

bool Kz3DScene::IsAxisAligned(const QMatrix4x4& m)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (r != c ? std::abs(m(r, c)) > 1e-6f : m(r, c) <= 0)
                return false;
    return true;
}

void Kz3DScene::ResetCurrent()
{
    if (m_pCurPainter == nullptr)
        return;
    m_pCurPainter->ResetTransform();
    m_matPending.setToIdentity();
    UpdateHandles();
}

QVector3D Kz3DScene::GetCurrentPosition() const
{
    if (m_pCurPainter == nullptr)
        return QVector3D();
    const QVector3D c = m_pCurPainter->GetCenter();
    return QVector3D(c.x(), c.y(), m_pCurPainter->GetMin().z());
}

// ---- Frame loop ----

QByteArray Kz3DScene::GetDrawState() const
{
    QByteArray state;
    auto put = [&state](const void* data, int size) { state.append(static_cast<const char*>(data), size); };
    auto putMatrix = [&put](const QMatrix4x4& m) { put(m.constData(), 16 * sizeof(float)); };
    for (const KzModelPainter* p : m_mapPainters) {
        const int id = p->GetID();
        const bool selected = p->IsSelected();
        const bool ready = p->GetModel()->ReadyToRender();
        put(&id, sizeof id);
        put(&selected, sizeof selected);
        put(&ready, sizeof ready);
        putMatrix(p->GetModelMatrix());
    }
    putMatrix(m_matPending);
    const int handles[6] = {m_rotateCoord.GetActive(), m_rotateCoord.GetHovered(), m_scaleCoord.GetActive(),
                            m_scaleCoord.GetHovered(), m_nEditMode, int(m_bKeepScale)};
    put(handles, sizeof handles);
    const QVector3D max = m_plate.GetBoundMax();
    const QVector3D min = m_plate.GetBoundMin();
    const float bound[6] = {max.x(), max.y(), max.z(), min.x(), min.y(), min.z()};
    put(bound, sizeof bound);
    put(&m_dRotateAngle, sizeof m_dRotateAngle);
    return state;
}

// ---- Pick passes ----

void Kz3DScene::DrawPickModels()
{
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    for (const KzModelPainter* p : qAsConst(m_mapPainters)) {
        Kz3DPainter::PickColor(p->GetPickCode());
        p->DrawFlat();
    }
    glDisable(GL_DEPTH_TEST);
}

void Kz3DScene::DrawPickHandles()
{
    if (m_pCurPainter == nullptr)
        return;
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    if (m_nEditMode == 1) {
        m_rotateCoord.DrawPick();
    } else if (m_nEditMode == 2 && !m_bKeepScale) {
        glDisable(GL_MULTISAMPLE);
        glEnable(GL_DEPTH_TEST);
        for (int i = 0; i < KzScaleCoord::ms_nFaces; ++i) {
            Kz3DPainter::PickColor(1 + 10 * i);
            m_scaleCoord.DrawFace(i);
        }
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_MULTISAMPLE);
    }
}

void Kz3DScene::DrawPickFaces()
{
    if (m_pCurPainter == nullptr)
        return;
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_MULTISAMPLE);
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glMultMatrixf(m_pCurPainter->GetModelMatrix().constData());
    const KzModel3D* model = m_pCurPainter->GetModel();
    const int count = model->Count();
    for (int i = 0; i < count; ++i) {
        const KzTriangle3D t = model->Item(i);
        Kz3DPainter::PickColor(100 + i);
        glBegin(GL_TRIANGLES);
        glNormal3f(t.GetNormal().x(), t.GetNormal().y(), t.GetNormal().z());
        for (int k = 0; k < 3; ++k)
            glVertex3f(t[k].x(), t[k].y(), t[k].z());
        glEnd();
    }
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
}

// ---- Edit feedback ----

void Kz3DScene::DrawAxisArrow(const QVector3D& a, const QVector3D& b, int axis)
{
    const int other = 1 - axis;
    QVector3D from(a.x(), a.y(), 0);
    QVector3D to = from;
    to[axis] = b[axis];
    glBegin(GL_LINES);
    glVertex3f(from.x(), from.y(), 0);
    glVertex3f(to.x(), to.y(), 0);
    glEnd();
    const float length = to[axis] - from[axis];
    if (std::abs(length) > 2) {
        QVector3D base = to;
        base[axis] -= (length > 0 ? 2 : -2);
        QVector3D left = base;
        QVector3D right = base;
        left[other] += 0.618f;
        right[other] -= 0.618f;
        glBegin(GL_TRIANGLES);
        glVertex3f(to.x(), to.y(), 0);
        glVertex3f(left.x(), left.y(), 0);
        glVertex3f(right.x(), right.y(), 0);
        glEnd();
    }
    QVector3D label = to;
    label[axis] -= 1.5f;
    // An axis letter, a number and a unit symbol: they read the same in every
    // language the program ships, so the label is not translated.
    const QString name = axis == 0 ? QStringLiteral("X = ") : QStringLiteral("Y = ");
    emit signal_RenderText(name + QString::number(length, 'f', 1) + QStringLiteral("mm"), label);
}

void Kz3DScene::DrawMoveFeedback()
{
    const QVector3D a = m_pCurPainter->GetCenter();
    const QVector3D b = m_matPending.map(a);
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(2);
    glColor3f(1, 0, 0);
    DrawAxisArrow(a, b, 0);
    glColor3f(0, 1, 0);
    DrawAxisArrow(a, b, 1);
    glPopAttrib();
}

void Kz3DScene::DrawRotateFeedback()
{
    const QVector3D c = m_pCurPainter->GetCenter();
    const QVector3D dir = (m_vRotatePress - c).normalized();
    const QVector3D p = c + dir * m_pCurPainter->Diagonal() * 0.5f;
    const QVector3D q = m_matPending.map(p);
    glPushAttrib(GL_LINE_BIT | GL_POINT_BIT);
    glColor3f(0.5f, 0.2f, 0.7f);
    glLineWidth(2);
    glBegin(GL_LINE_STRIP);
    glVertex3f(p.x(), p.y(), p.z());
    glVertex3f(c.x(), c.y(), c.z());
    glVertex3f(q.x(), q.y(), q.z());
    glEnd();
    glPointSize(8);
    glBegin(GL_POINTS);
    glVertex3f(c.x(), c.y(), c.z());
    glEnd();

    double angle = std::fmod(m_dRotateAngle, 360.0);
    if (angle > 180)
        angle -= 360;
    else if (angle < -180)
        angle += 360;
    const QVector3D arm = (p - c) / 5;
    const QVector3D n = QVector3D::normal(c, p, q);
    const bool arc = std::abs(m_dRotateAngle) >= 0.1 && std::abs(m_dRotateAngle) <= 1000
                     && !arm.isNull() && !n.isNull() && std::abs(QVector3D::dotProduct(arm, n)) <= 0.01f;
    if (arc) {
        const int steps = int(std::abs(angle) / 0.1);
        glBegin(GL_LINE_STRIP);
        for (int k = 0; k <= steps; ++k) {
            QMatrix4x4 r;
            r.rotate(float(k * 0.1), n);
            const QVector3D v = c + r.map(arm);
            glVertex3f(v.x(), v.y(), v.z());
        }
        glEnd();
    }
    glPopAttrib();
    emit signal_RenderText(QString::number(int(m_dRotateAngle)) + QChar(0x00B0), q);   // not translated either
}
