#include "KzGLView.h"

#include "KzConfigureData.h"

#include "KzModel3D.h"
#include "KzModelPainter.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QOpenGLFramebufferObject>
#include <QUrl>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
const int kFrameMs = 16;
// From the last camera input to the full picture; with a frame's time on top
// it stays within 150 ms for models a full frame draws in 50 ms or less.
const int kSettleMs = 100;
// Presses this close to the left, right or bottom edge are ignored, so resizing
// the frameless main window from its edges does not also move the camera.
const int kEdgeBand = 10;
// A drag across the whole widget pans by this many eye-space units.
const double kPanPerWidth = 150.0;
const QColor kLabelColor(238, 236, 234);
// The angle constant of the rotate drag and lay flat.
const double kPi = 3.1415926;
const double kSnapDegrees = 15.0;
// Ring i turns about this axis.
const QVector3D kRingAxis[3] = {QVector3D(0, 0, 1), QVector3D(0, -1, 0), QVector3D(1, 0, 0)};
// Scale face i: whether its moving corner is the instance's max, and its axis
// (pointing into the instance).
const bool kFaceAtMax[6] = {true, false, false, true, false, true};
const QVector3D kFaceAxis[6] = {QVector3D(0, 0, -1), QVector3D(0, 0, 1), QVector3D(1, 0, 0),
                                QVector3D(-1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, -1, 0)};
// A face drag never shrinks an instance below this ratio.
const float kMinScale = 0.01f;
// Edit-list codes and command sub-codes.
const int kCodeRotate = 1;
const int kCodeScale = 2;
const int kCodeCommand = 7;
const int kCommandEndEdit = 4;
// Numeric edits of code c merge under the undo id kMergeNumeric + c.
const int kMergeNumeric = 100;
// Steps kept for undo; the oldest go first (with the meshes only they held).
const int kUndoLimit = 100;

// n finite numbers from the front of an edit list; false (nothing taken) when
// the list is too short or holds anything else.
bool TakeNumbers(QList<QVariant>& list, int n, double* out)
{
    if (list.size() < n)
        return false;
    for (int i = 0; i < n; ++i) {
        bool ok = false;
        const QVariant& v = list.at(i);
        const int type = v.userType();
        const bool numeric = type == QMetaType::Double || type == QMetaType::Float || type == QMetaType::Int
                             || type == QMetaType::UInt || type == QMetaType::LongLong
                             || type == QMetaType::ULongLong;
        out[i] = v.toDouble(&ok);
        if (!numeric || !ok || !std::isfinite(out[i]))
            return false;
    }
    for (int i = 0; i < n; ++i)
        list.removeFirst();
    return true;
}

QVariantList PositionList(int code, const QVector3D& v)
{
    return QVariantList{code, float(v.x()), float(v.y()), float(v.z())};
}
}

KzGLView::KzGLView(QWidget* parent)
    : QOpenGLWidget(parent)
    , m_nEditBurst(0)
    , m_nSelectedCode(0)
    , m_bLayerMode(false)
    , m_nMaxLayer(0)
    , m_bPressPointValid(false)
    , m_bFrameCamera(false)
    , m_bIgnoreMouse(false)
    , m_pFramePainter(nullptr)
    , m_nFrameCount(0)
{
    std::fill(std::begin(m_aProjection), std::end(m_aProjection), 0.0);
    std::fill(std::begin(m_aModelView), std::end(m_aModelView), 0.0);
    std::fill(std::begin(m_aViewport), std::end(m_aViewport), 0);
    setAttribute(Qt::WA_MouseTracking, true);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
    m_undoStack.setUndoLimit(kUndoLimit);
    InitFunTable();
    startTimer(kFrameMs, Qt::CoarseTimer);
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this]() {
        m_bCameraMoving = false;
        update();
    });
    connect(&m_scene, &Kz3DScene::signal_RenderText, this, &KzGLView::slot_RenderText);
    connect(&m_scene, &Kz3DScene::signal_LayersChanged, this, QOverload<>::of(&KzGLView::update));
}

KzGLView::~KzGLView()
{
    // The scene's models, and those the undo steps hold, free their buffers
    // while the context is current.
    makeCurrent();
    m_undoStack.clear();
}

QSurfaceFormat KzGLView::DefaultSurfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setSamples(4);
    return format;
}

void KzGLView::InitFunTable()
{
    m_mapMouseMove.insert(Qt::NoButton, &KzGLView::MouseMove_NoButton);
    m_mapMouseMove.insert(Qt::LeftButton, &KzGLView::MouseMove_LeftButton);
    m_mapMouseMove.insert(Qt::RightButton, &KzGLView::MouseMove_RightButton);
    m_mapMousePress.insert(Qt::LeftButton, &KzGLView::MousePress_LeftButton);
    m_mapMousePress.insert(Qt::RightButton, &KzGLView::MousePress_RightButton);
    m_mapMouseRelease.insert(Qt::LeftButton, &KzGLView::MouseRelease_LeftButton);
    m_mapMouseRelease.insert(Qt::RightButton, &KzGLView::MouseRelease_RightButton);
    m_mapEditCommand.insert(0, &KzGLView::Trigger_Translate);
    m_mapEditCommand.insert(1, &KzGLView::Trigger_Rotate);
    m_mapEditCommand.insert(2, &KzGLView::Trigger_Scale);
    m_mapEditCommand.insert(7, &KzGLView::Trigger_Command);
}

void KzGLView::initializeGL()
{
    initializeOpenGLFunctions();
    m_scene.InitGL();
    m_xyzPainter.InitDisplayLists();
}

void KzGLView::resizeGL(int w, int h)
{
    const int height = (h == 0) ? 1 : h;
    glViewport(0, 0, w, height);
    QMatrix4x4 projection;
    projection.perspective(45.0f, float(w) / float(height), 0.1f, 10000.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection.constData());
    glMatrixMode(GL_MODELVIEW);
}

int KzGLView::SettleMs()
{
    return kSettleMs;
}

void KzGLView::CameraMoved()
{
    m_bCameraMoving = true;
    m_settleTimer.start();
}

void KzGLView::paintGL()
{
    ++m_nFrameCount;
    const bool quick = m_bQuickLook;
    m_bQuickLook = false;
    m_bLastFrameReduced = m_bCameraMoving || quick;
    m_scene.SetReducedFrame(m_bCameraMoving);
    if (quick)
        QTimer::singleShot(0, this, QOverload<>::of(&KzGLView::update));
    m_baLastFrame = FrameState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    m_pFramePainter = &painter;
    DrawLocalBackground(painter);
    Draw3DScene(painter);
    m_pFramePainter = nullptr;
    glFlush();
}

void KzGLView::DrawLocalBackground(QPainter& painter)
{
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(160, 160, 160));
    gradient.setColorAt(1, QColor(100, 100, 100));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRect(rect());
}

void KzGLView::Draw3DScene(QPainter& painter)
{
    // Native painting loads the painter's own projection; keep the one of resizeGL.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    painter.beginNativePainting();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();

    m_camera.Apply();
    SaveFrameCamera();
    if (m_bLastFrameReduced)
        glDisable(GL_MULTISAMPLE);
    else
        glEnable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (m_bLayerMode)
        DrawLayerFrame();
    else
        m_scene.DrawModelScene();

    double yaw = 0;
    double pitch = 0;
    m_camera.GetAngles(yaw, pitch);
    m_xyzPainter.SetAngles(float(yaw), float(pitch));
    m_xyzPainter.Draw();

    painter.endNativePainting();
    DrawPendingText(painter);
    m_xyzPainter.DrawLabels(painter);
}

void KzGLView::DrawPendingText(QPainter& painter)
{
    painter.setPen(kLabelColor);
    for (const auto& label : qAsConst(m_listPendingText))
        painter.drawText(label.first, label.second);
    m_listPendingText.clear();
}

void KzGLView::slot_RenderText(QString text, const QVector3D& pos)
{
    makeCurrent();
    GLdouble modelView[16];
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(pos.x(), pos.y(), pos.z(), modelView, projection, viewport, &wx, &wy, &wz);
    const QPoint at(int(wx), int(viewport[3] - wy));

    if (m_pFramePainter != nullptr) {
        m_listPendingText.append(qMakePair(at, text));
        return;
    }
    QPainter painter(this);
    painter.setPen(kLabelColor);
    painter.drawText(at, text);
    painter.end();
    // The painter changes these; the 3D drawing relies on them.
    glEnable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// An idle view draws nothing: the timer repaints only when the camera or the
// scene differs from what the last frame showed. update() always repaints.
void KzGLView::timerEvent(QTimerEvent*)
{
    if (FrameState() != m_baLastFrame)
        update();
}

QByteArray KzGLView::FrameState() const
{
    QByteArray state = m_scene.GetDrawState();
    const QMatrix4x4 camera = m_camera.ModelView();
    state.append(reinterpret_cast<const char*>(camera.constData()), 16 * sizeof(float));
    const int mode[4] = {int(m_bLayerMode), width(), height(), m_nSelectedCode};
    state.append(reinterpret_cast<const char*>(mode), sizeof mode);
    return state;
}

void KzGLView::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (delta > 0)
        m_camera.ZoomIn();
    else if (delta < 0)
        m_camera.ZoomOut();
    if (delta != 0)
        CameraMoved();
    e->accept();
}

void KzGLView::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Delete && !m_bLayerMode)
        RemoveCurrentModel();
    // Keys are not passed on: a key pressed over the view must not reach the
    // main window (Escape would close it).
    e->accept();
}

void KzGLView::slot_ResetView()
{
    m_camera.Reset();
}

// Another printer: its plate starts a history of its own.
void KzGLView::slot_ReloadSize()
{
    ClearHistory();
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    QVector3D max;
    QVector3D min;
    config->GetPrintBound(max, min);
    m_scene.SetPrintBound(max, min);
    m_camera.SetBaseScale(float(config->GetReviseFactor()));
    double x = 0;
    double y = 0;
    config->GetLayerModelOffset(x, y);
    m_scene.SetLayerOffset(x, y);
}

void KzGLView::mousePressEvent(QMouseEvent* e)
{
    makeCurrent();
    m_ptPress = e->pos();
    const bool nearEdge = m_ptPress.x() < kEdgeBand || m_ptPress.x() > width() - kEdgeBand
                          || m_ptPress.y() > height() - kEdgeBand;
    if (nearEdge) {
        m_bIgnoreMouse = true;
    } else {
        const auto handler = m_mapMousePress.constFind(int(e->button()));
        if (handler != m_mapMousePress.constEnd()) {
            m_bIgnoreMouse = false;
            (this->*handler.value())();
        }
    }
    QOpenGLWidget::mousePressEvent(e);
}

void KzGLView::mouseMoveEvent(QMouseEvent* e)
{
    makeCurrent();
    m_ptMove = e->pos();
    if (!m_bIgnoreMouse) {
        // Keyed by the set of buttons held: two buttons at once match no entry.
        const auto handler = m_mapMouseMove.constFind(int(e->buttons()));
        if (handler != m_mapMouseMove.constEnd())
            (this->*handler.value())();
    }
    QOpenGLWidget::mouseMoveEvent(e);
}

void KzGLView::mouseReleaseEvent(QMouseEvent* e)
{
    makeCurrent();
    m_bIgnoreMouse = false;
    const auto handler = m_mapMouseRelease.constFind(int(e->button()));
    if (handler != m_mapMouseRelease.constEnd())
        (this->*handler.value())();
    QOpenGLWidget::mouseReleaseEvent(e);
}

void KzGLView::MouseMove_NoButton()
{
    if (m_nSelectedCode == 0 || m_bLayerMode)
        return;
    const int code = GetLocateCoord(m_ptMove);
    const int index = (code != 0) ? code / 10 : -1;
    if (m_scene.GetEditMode() == 1)
        m_scene.GetRotateCoord().SetHovered(index);
    else if (m_scene.GetEditMode() == 2)
        m_scene.GetScaleCoord().SetHovered(index);
}

void KzGLView::MouseMove_LeftButton()
{
    if (m_nSelectedCode != 0) {
        UpdateMovePoint3D();
        return;
    }
    const double dx = (m_ptMove.x() - m_ptPress.x()) * kPanPerWidth / width();
    const double dy = (m_ptMove.y() - m_ptPress.y()) * kPanPerWidth / height();
    m_camera.DragPan(dx, dy, false);
    CameraMoved();
}

void KzGLView::MouseMove_RightButton()
{
    m_camera.DragRotate(m_ptMove.x() - m_ptPress.x(), m_ptMove.y() - m_ptPress.y(), false);
    CameraMoved();
}

void KzGLView::MousePress_LeftButton()
{
    m_matTransform.setToIdentity();
    if (m_bLayerMode)
        return;   // the layers hide the models: nothing to pick
    const int handle = (m_nSelectedCode != 0) ? GetLocateCoord(m_ptPress) : 0;
    if (handle != 0) {
        if (m_scene.GetEditMode() == 1)
            m_scene.GetRotateCoord().SetActive(handle / 10);
        else if (m_scene.GetEditMode() == 2)
            m_scene.GetScaleCoord().SetActive(handle / 10);
    } else {
        m_nSelectedCode = GetLocateModelPainter(m_ptPress);
        m_scene.SelectPainter(m_nSelectedCode);
        EmitSelected();
    }
    UpdatePressPoint3D();
}

void KzGLView::MousePress_RightButton()
{
    // The orbit works from m_ptPress.
}

// Every left release applies what the drag previewed and pushes the others
// out of the way, even when nothing was dragged.
void KzGLView::MouseRelease_LeftButton()
{
    m_camera.DragPan(0, 0, true);
    if (m_bLayerMode)
        return;
    const bool changed = !m_scene.GetPending().isIdentity();
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    m_scene.ApplyPending();
    RecordPlateChange(before);
    m_matTransform.setToIdentity();
    if (changed)
        EmitUpdate();
    update();
}

void KzGLView::MouseRelease_RightButton()
{
    m_camera.DragRotate(0, 0, true);
}

// ---- Picking ----

void KzGLView::SaveFrameCamera()
{
    glGetDoublev(GL_PROJECTION_MATRIX, m_aProjection);
    glGetDoublev(GL_MODELVIEW_MATRIX, m_aModelView);
    glGetIntegerv(GL_VIEWPORT, m_aViewport);
    m_bFrameCamera = true;
}

// Renders one pick pass off-screen with the last frame's camera and reads back
// the pixel under pt only.
int KzGLView::PickAt(const QPoint& pt, void (Kz3DScene::*pass)())
{
    if (!m_bFrameCamera || !rect().contains(pt))
        return 0;
    makeCurrent();
    const int w = m_aViewport[2];
    const int h = m_aViewport[3];
    const double ratio = devicePixelRatioF();
    const int x = int(pt.x() * ratio);
    const int y = h - 1 - int(pt.y() * ratio);
    if (w <= 0 || h <= 0 || x < 0 || x >= w || y < 0 || y >= h)
        return 0;

    QOpenGLFramebufferObject fbo(w, h, QOpenGLFramebufferObject::Depth, GL_TEXTURE_2D);
    if (!fbo.bind())
        return 0;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // The frame's painter may leave its own state behind.
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_DITHER);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glViewport(m_aViewport[0], m_aViewport[1], w, h);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadMatrixd(m_aProjection);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixd(m_aModelView);

    // Only the pixel under the cursor is read, so only it is drawn.
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, 1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    (m_scene.*pass)();
    GLubyte rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
    fbo.release();
    return rgba[0] * 65536 + rgba[1] * 256 + rgba[2];
}

int KzGLView::GetLocateModelPainter(const QPoint& pt)
{
    if (m_bLayerMode)
        return 0;
    return PickAt(pt, &Kz3DScene::DrawPickModels);
}

int KzGLView::GetLocateCoord(const QPoint& pt)
{
    if (m_bLayerMode)
        return 0;
    return PickAt(pt, &Kz3DScene::DrawPickHandles);
}

QVector3D KzGLView::UnprojectAt(const QPoint& pt, float depth) const
{
    const double ratio = devicePixelRatioF();
    GLdouble x = 0, y = 0, z = 0;
    gluUnProject(pt.x() * ratio, m_aViewport[3] - pt.y() * ratio, depth, m_aModelView, m_aProjection,
                 m_aViewport, &x, &y, &z);
    return QVector3D(float(x), float(y), float(z));
}

bool KzGLView::IntersectPlane(const QPoint& pt, const QVector3D& planePoint, const QVector3D& normal,
                              QVector3D& hit) const
{
    if (!m_bFrameCamera)
        return false;
    const QVector3D p1 = UnprojectAt(pt, 0.5f);
    const QVector3D p2 = UnprojectAt(pt, 0.8f);
    const QVector3D n = normal.normalized();
    const double a = p1.distanceToPlane(planePoint, n);
    const double b = p2.distanceToPlane(planePoint, n);
    // A ray along the plane meets it nowhere (or everywhere).
    if (std::abs(a - b) < 1e-9 * std::max(1.0, std::abs(a)))
        return false;
    const QVector3D r = p1 + (p2 - p1) * float(a / (a - b));
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.z()))
        return false;
    hit = r;
    return true;
}

// ---- Selection ----

void KzGLView::ClearModelPainter()
{
    m_nSelectedCode = 0;
    m_scene.SelectPainter(0);
    EmitSelected();
    update();
}

void KzGLView::EmitSelected()
{
    if (m_nSelectedCode != 0) {
        emit signal_ModelClicked();
        emit signal_ShowHideEditControl(true);
        emit signal_SendEditList(QVariantList{5, m_nSelectedCode});
        EmitUpdate();
    } else {
        emit signal_ShowHideEditControl(false);
        emit signal_SendEditList(QVariantList{5, -1});
    }
}

void KzGLView::EmitUpdate()
{
    const KzModelPainter* p = m_scene.GetCurrentPainter();
    if (p == nullptr)
        return;
    const QVector3D size = p->GetMax() - p->GetMin();
    emit signal_SendEditList(QVariantList{6, float(p->GetCenter().x()), float(p->GetCenter().y()),
                                          float(p->GetMin().z()), float(size.x()), float(size.y()),
                                          float(size.z())});
}

// ---- Drags ----

void KzGLView::UpdatePressPoint3D()
{
    m_bPressPointValid = false;
    switch (m_scene.GetEditMode()) {
    case 0:
        m_bPressPointValid = IntersectPlane(m_ptPress, QVector3D(0, 0, 0), QVector3D(0, 0, 1), m_vPressPoint3D);
        break;
    case 1: {
        const KzModelPainter* p = m_scene.GetCurrentPainter();
        const int ring = m_scene.GetRotateCoord().GetActive();
        if (p == nullptr || ring < 0 || ring >= KzRotateCoord::ms_nRings)
            return;
        m_bPressPointValid = IntersectPlane(m_ptPress, p->GetCenter(), kRingAxis[ring], m_vPressPoint3D);
        if (m_bPressPointValid)
            m_scene.SetRotatePress(m_vPressPoint3D);
        break;
    }
    case 2:
        PressScaleFace();
        break;
    case 3:
        if (m_scene.GetCurrentPainter() != nullptr)
            FloorModel();
        break;
    default:
        break;
    }
}

void KzGLView::UpdateMovePoint3D()
{
    if (!m_bPressPointValid || m_scene.GetCurrentPainter() == nullptr)
        return;
    if (m_scene.GetEditMode() == 1) {
        UpdateRotatePoint3D();
        return;
    }
    if (m_scene.GetEditMode() == 2) {
        UpdateScalePoint3D();
        return;
    }
    if (m_scene.GetEditMode() != 0)
        return;
    QVector3D hit;
    if (!IntersectPlane(m_ptMove, QVector3D(0, 0, 0), QVector3D(0, 0, 1), hit))
        return;   // keep the last preview
    m_vMovePoint3D = hit;
    QVector3D d = m_vMovePoint3D - m_vPressPoint3D;
    d.setZ(0);
    QMatrix4x4 t;
    t.translate(d);
    PreviewTransform(t);
    emit signal_SendEditList(PositionList(0, t.map(m_scene.GetCurrentPosition())));
}

void KzGLView::UpdateRotatePoint3D()
{
    const int ring = m_scene.GetRotateCoord().GetActive();
    if (ring < 0 || ring >= KzRotateCoord::ms_nRings)
        return;
    const QVector3D c = m_scene.GetCurrentPainter()->GetCenter();
    const QVector3D a = kRingAxis[ring];
    QVector3D h;
    if (!IntersectPlane(m_ptMove, c, a, h))
        return;
    const QVector3D u = (m_vPressPoint3D - c).normalized();
    const QVector3D v = (h - c).normalized();
    if (u.isNull() || v.isNull())
        return;
    const double cosine = std::max(-1.0, std::min(1.0, double(QVector3D::dotProduct(u, v))));
    double theta = std::acos(cosine) / kPi * 180.0;
    theta = std::floor(theta / kSnapDegrees + 0.5) * kSnapDegrees;
    if (QVector3D::dotProduct(QVector3D::crossProduct(u, v), a) < 0)
        theta = -theta;
    QMatrix4x4 m;
    m.translate(c);
    m.rotate(float(theta), a);
    m.translate(-c);
    PreviewTransform(m);
    m_scene.SetRotateAngle(theta);
    emit signal_SendEditList(PositionList(1, a * float(theta)));
}

// A scale face is dragged along its axis on the plane through the moving corner
// that contains the axis and faces the eye best.
void KzGLView::PressScaleFace()
{
    const KzModelPainter* p = m_scene.GetCurrentPainter();
    const int face = m_scene.GetScaleCoord().GetActive();
    if (p == nullptr || m_scene.GetKeepScale() || face < 0 || face >= KzScaleCoord::ms_nFaces)
        return;
    const QVector3D axis = kFaceAxis[face];
    const QVector3D eye = UnprojectAt(m_ptPress, 0.8f) - UnprojectAt(m_ptPress, 0.5f);
    m_vScalePlaneNormal = eye - axis * QVector3D::dotProduct(eye, axis);
    if (m_vScalePlaneNormal.length() < 1e-6f)
        return;   // looking along the axis: no drag
    const QVector3D moving = kFaceAtMax[face] ? p->GetMax() : p->GetMin();
    m_bPressPointValid = IntersectPlane(m_ptPress, moving, m_vScalePlaneNormal, m_vPressPoint3D);
}

// The face follows the cursor along its axis; the opposite face stays, except
// for height, where the bottom stays on the plate.
void KzGLView::UpdateScalePoint3D()
{
    const KzModelPainter* p = m_scene.GetCurrentPainter();
    const int face = m_scene.GetScaleCoord().GetActive();
    if (m_scene.GetKeepScale() || face < 0 || face >= KzScaleCoord::ms_nFaces)
        return;
    const QVector3D axis = kFaceAxis[face];
    const QVector3D moving = kFaceAtMax[face] ? p->GetMax() : p->GetMin();
    QVector3D fixed = kFaceAtMax[face] ? p->GetMin() : p->GetMax();
    if (axis.z() != 0)
        fixed = p->GetMin();
    QVector3D hit;
    if (!IntersectPlane(m_ptMove, moving, m_vScalePlaneNormal, hit))
        return;   // keep the last preview
    const float length = std::abs(QVector3D::dotProduct(p->GetMax() - p->GetMin(), axis));
    if (length <= 0)
        return;
    const float grown = -QVector3D::dotProduct(hit - m_vPressPoint3D, axis);
    const float factor = std::max(kMinScale, (length + grown) / length);
    QVector3D factors(1, 1, 1);
    for (int a = 0; a < 3; ++a) {
        if (axis[a] != 0)
            factors[a] = factor;
    }
    QMatrix4x4 m;
    m.translate(fixed);
    m.scale(factors);
    m.translate(-fixed);
    PreviewTransform(m);
    emit signal_SendEditList(PositionList(0, m.map(m_scene.GetCurrentPosition())));
}

// Lay flat: the face under the press turns to face straight down.
void KzGLView::FloorModel()
{
    const int code = PickAt(m_ptPress, &Kz3DScene::DrawPickFaces);
    if (code <= 99)
        return;
    const KzModelPainter* p = m_scene.GetCurrentPainter();
    const QVector3D n = p->FaceNormal(code - 100).normalized();
    if (n.isNull())
        return;
    const QVector3D down(0, 0, -1);
    const double cosine = std::max(-1.0, std::min(1.0, double(QVector3D::dotProduct(n, down))));
    double theta = std::acos(cosine) / kPi * 180.0;
    QVector3D axis = QVector3D::crossProduct(n, down);
    if (axis.length() < 1e-6f) {
        if (cosine > 0)
            return;   // already facing down
        axis = QVector3D(1, 0, 0);   // facing straight up: turn over about x
        theta = 180.0;
    }
    const QVector3D c = p->GetCenter();
    QMatrix4x4 m;
    m.translate(c);
    m.rotate(float(theta), axis.normalized());
    m.translate(-c);
    PreviewTransform(m);
    m_scene.SetRotateAngle(theta);
}

void KzGLView::PreviewTransform(const QMatrix4x4& m)
{
    m_matTransform = m;
    m_scene.SetPending(m_matTransform);
    update();
}

void KzGLView::ApplyTransform(const QMatrix4x4& m)
{
    PreviewTransform(m);
    m_scene.ApplyPending();
    m_matTransform.setToIdentity();
}

// ---- Edit lists ----

void KzGLView::slot_ReceiveEditList(QList<QVariant> editList)
{
    if (editList.isEmpty())
        return;
    bool ok = false;
    const int code = editList.first().toInt(&ok);
    const auto handler = m_mapEditCommand.constFind(code);
    if (!ok || handler == m_mapEditCommand.constEnd())
        return;
    editList.removeFirst();
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    (this->*handler.value())(editList);
    RecordPlateChange(before, code == kCodeCommand ? KzPlateCommand::NoMerge : kMergeNumeric + code);
}

void KzGLView::Trigger_Command(QList<QVariant>& list)
{
    double values[2] = {0, 0};
    if (!TakeNumbers(list, 1, values))
        return;
    switch (int(values[0])) {
    case 0:
        m_scene.ResetCurrent();
        EmitSelected();
        update();
        break;
    case 1:
        Command_Maximize();
        break;
    case 2:
        if (!list.isEmpty() && list.first().canConvert<bool>())
            m_scene.SetKeepScale(list.first().toBool());
        break;
    case 3:
        if (TakeNumbers(list, 1, values + 1) && values[1] >= 0 && values[1] <= 3)
            m_scene.SetEditMode(int(values[1]));
        break;
    case kCommandEndEdit:
        ++m_nEditBurst;
        break;
    default:
        break;
    }
}

void KzGLView::Command_Maximize()
{
    const KzModelPainter* p = m_scene.GetCurrentPainter();
    if (p == nullptr)
        return;
    QVector3D bMax;
    QVector3D bMin;
    m_scene.GetPrintBound(bMax, bMin);
    bMax *= 0.95f;
    bMin *= 0.95f;
    const QVector3D M = p->GetMax();
    const QVector3D m = p->GetMin();
    double s = 1000;
    for (int axis = 0; axis < 3; ++axis) {
        const double ratio = double(bMax[axis] - bMin[axis]) / double(M[axis] - m[axis]);
        if (std::isfinite(ratio) && ratio > 0)
            s = std::min(s, ratio);
    }
    QMatrix4x4 t;
    t.translate((bMin.x() + bMax.x()) / 2, (bMin.y() + bMax.y()) / 2, bMin.z());
    t.scale(float(s));
    t.translate(-(m.x() + M.x()) / 2, -(m.y() + M.y()) / 2, -m.z());
    ApplyTransform(t);
    EmitSelected();
}

// Each numeric edit is announced as a drag's release is: the panel shows the
// position and size the edit produced (a turn changes the size and drops the
// instance onto the plate).
void KzGLView::Trigger_Translate(QList<QVariant>& list)
{
    double v[3];
    if (m_scene.GetCurrentPainter() == nullptr || !TakeNumbers(list, 3, v))
        return;
    QMatrix4x4 t;
    t.translate(QVector3D(float(v[0]), float(v[1]), float(v[2])) - m_scene.GetCurrentPosition());
    ApplyTransform(t);
    EmitUpdate();
}

void KzGLView::Trigger_Rotate(QList<QVariant>& list)
{
    double v[3];
    if (m_scene.GetCurrentPainter() == nullptr || !TakeNumbers(list, 3, v))
        return;
    const QVector3D r = QVector3D(float(v[0]), float(v[1]), float(v[2]));
    if (r.length() <= 0 || !std::isfinite(r.length()))
        return;   // no axis
    const QVector3D c = m_scene.GetCurrentPainter()->GetCenter();
    QMatrix4x4 t;
    t.translate(c);
    t.rotate(r.length(), r.normalized());
    t.translate(-c);
    ApplyTransform(t);
    EmitUpdate();
}

void KzGLView::Trigger_Scale(QList<QVariant>& list)
{
    double v[3];
    if (m_scene.GetCurrentPainter() == nullptr || !TakeNumbers(list, 3, v))
        return;
    if (v[0] <= 0 || v[1] <= 0 || v[2] <= 0)
        return;   // a mirror or a collapse is no scale
    const QVector3D p = m_scene.GetCurrentPosition();
    QMatrix4x4 t;
    t.translate(p);
    t.scale(float(v[0]), float(v[1]), float(v[2]));
    t.translate(-p);
    ApplyTransform(t);
    EmitUpdate();
}

// ---- Model files ----

bool KzGLView::OpenSTLFile(QString path)
{
    makeCurrent();   // the model fills its buffers
    m_bLayerMode = false;
    m_scene.ClearLayerModel();
    m_nMaxLayer = 0;
    emit signal_DisableSaveGCode();
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    const int code = m_scene.AddModel(path, m_loadReport);
    update();
    if (code != 0) {
        m_nSelectedCode = code;
        m_scene.SelectPainter(code);
        const KzModelPainter* added = m_scene.GetCurrentPainter();
        m_bQuickLook = added != nullptr && added->GetModel()->Count() > KzModel3D::ReducedAbove();
        RecordPlateChange(before);
        EmitSelected();
    }
    emit signal_LoadReported(m_loadReport);
    return code != 0;
}

// The instance leaves the plate whole: the undo step keeps it, and its mesh,
// for as long as it can bring it back.
bool KzGLView::RemoveCurrentModel()
{
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    KzModelPainter* painter = m_scene.GetCurrentPainter();
    m_nSelectedCode = 0;
    if (painter == nullptr)
        return false;
    m_scene.DetachPainter(painter);
    RecordPlateChange(before);
    EmitSelected();
    update();
    return true;
}

bool KzGLView::SaveAllModel(QString path)
{
    QVector3D centre;
    if (!m_scene.SaveAll(path, centre))
        return false;
    KzConfigureData::GetInstance()->SetModelPos(centre.x(), centre.y());
    return true;
}

QString KzGLView::GetSaveSDName() const
{
    return m_scene.GetFirstModelName();
}

bool KzGLView::AreAllModelsInBound() const
{
    return m_scene.AreAllModelsInBound();
}

QStringList KzGLView::ModelSuffixes()
{
    return { QStringLiteral("stl"), QStringLiteral("obj"), QStringLiteral("3mf") };
}

bool KzGLView::IsModelFile(const QString& path)
{
    return ModelSuffixes().contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

namespace {

QStringList LocalFiles(const QMimeData* mime)
{
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

void KzGLView::dragEnterEvent(QDragEnterEvent* e)
{
    const QStringList paths = LocalFiles(e->mimeData());
    if (std::any_of(paths.begin(), paths.end(), &KzGLView::IsModelFile))
        e->acceptProposedAction();
}

void KzGLView::dropEvent(QDropEvent* e)
{
    const QStringList paths = LocalFiles(e->mimeData());
    if (paths.isEmpty())
        return;
    e->acceptProposedAction();
    emit signal_FilesDropped(paths);
}

// ---- Layer preview ----

void KzGLView::EnterLayerMode()
{
    m_scene.LoadLayerModel(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    m_bLayerMode = true;
    m_nMaxLayer = 0;
    m_nSelectedCode = 0;
    m_scene.SelectPainter(0);   // the models are hidden: nothing stays selected
    update();
}

void KzGLView::QuitLayerMode()
{
    m_bLayerMode = false;
    m_scene.ClearLayerModel();
    m_nMaxLayer = 0;
    update();
    emit signal_DisableSaveGCode();
}

void KzGLView::ClearLayerModel()
{
    m_scene.ClearLayerModel();
    update();
}

void KzGLView::SetCurrentLayer(int layer)
{
    m_scene.SetCurrentLayer(layer);
    update();
}

void KzGLView::SetEnableMultiLayer(bool multi)
{
    m_scene.SetMultiLayer(multi);
    update();
}

void KzGLView::SetLayerTypeShown(int type, bool shown)
{
    m_scene.GetLayerFeature().SetTypeShown(type, shown);
    update();
}

const KLayerFeature& KzGLView::GetLayerPreview() const
{
    return m_scene.GetLayerFeature();
}

// The highest layer is reported from the frame, so the layer panel follows the
// layers as they arrive and once more when the model trims them.
void KzGLView::DrawLayerFrame()
{
    m_scene.DrawLayerScene();
    if (m_scene.GetLayerFeature().IsCompilePending())
        update();   // the next frame compiles the next layers
    const int maxLayer = m_scene.GetMaxLayer();
    if (maxLayer != m_nMaxLayer) {
        m_nMaxLayer = maxLayer;
        emit signal_MaxLayerChanged(maxLayer);
    }
}

// ---- Undo and plate-wide edits ----

KzPlateCommand::Snapshot KzGLView::PlateSnapshot() const
{
    const KzModelPainter* selected = m_scene.GetCurrentPainter();
    return KzPlateCommand::Snapshot::Of(m_scene, selected ? selected->GetPickCode() : 0);
}

void KzGLView::RecordPlateChange(const KzPlateCommand::Snapshot& before, int mergeId)
{
    KzPlateCommand* step = KzPlateCommand::Between(this, before, PlateSnapshot(), mergeId, m_nEditBurst);
    if (step == nullptr)
        return;
    // The batch's step begins with its first change: one without any leaves none.
    if (m_bBatch && !m_bBatchBegun) {
        m_undoStack.beginMacro(m_strBatchText);
        m_bBatchBegun = true;
    }
    m_undoStack.push(step);
}

void KzGLView::BeginPlateBatch(const QString& text)
{
    EndPlateBatch();
    m_bBatch = true;
    m_strBatchText = text;
}

void KzGLView::EndPlateBatch()
{
    if (m_bBatchBegun)
        m_undoStack.endMacro();
    m_bBatch = false;
    m_bBatchBegun = false;
}

void KzGLView::DiscardDetached(KzModelPainter* painter)
{
    makeCurrent();   // the model may free its buffers
    m_scene.DiscardPainter(painter);
}

void KzGLView::ClearHistory()
{
    makeCurrent();
    // The history goes with the batch's step begun in it; the rest of the
    // batch begins another.
    m_bBatchBegun = false;
    m_undoStack.clear();
}

// The panel's relative fields (rotation, scale) start again from 0 and 1:
// what they had added up no longer describes the instance.
void KzGLView::ShowRestoredPlate(int selection)
{
    m_scene.SetPending(QMatrix4x4());
    m_matTransform.setToIdentity();
    m_bPressPointValid = false;   // a drag in progress ends here
    const bool known = selection > 0 && selection % 10 == 0 && m_scene.GetPainters().contains(selection / 10);
    m_nSelectedCode = known ? selection : 0;
    m_scene.SelectPainter(m_nSelectedCode);
    EmitSelected();
    if (const KzModelPainter* p = m_scene.GetCurrentPainter()) {
        const QVector3D size = p->GetMax() - p->GetMin();
        emit signal_SendEditList(QVariantList{kCodeRotate, 0.0f, 0.0f, 0.0f});
        emit signal_SendEditList(QVariantList{kCodeScale, 1.0f, 1.0f, 1.0f, float(p->GetCenter().x()),
                                              float(p->GetCenter().y()), float(p->GetMin().z()), float(size.x()),
                                              float(size.y()), float(size.z())});
    }
    update();
}

bool KzGLView::Undo()
{
    if (m_bLayerMode || !m_undoStack.canUndo())
        return false;
    ++m_nEditBurst;   // later numeric edits are a step of their own
    m_undoStack.undo();
    return true;
}

bool KzGLView::Redo()
{
    if (m_bLayerMode || !m_undoStack.canRedo())
        return false;
    ++m_nEditBurst;   // later numeric edits are a step of their own
    m_undoStack.redo();
    return true;
}

bool KzGLView::DuplicateCurrentModel()
{
    if (m_bLayerMode || m_scene.GetCurrentPainter() == nullptr)
        return false;
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    m_nSelectedCode = m_scene.DuplicateCurrent()->GetPickCode();
    m_scene.SelectPainter(m_nSelectedCode);
    RecordPlateChange(before);
    EmitSelected();
    update();
    return true;
}

bool KzGLView::ArrangeModels()
{
    if (m_bLayerMode || m_scene.GetPainters().isEmpty())
        return false;
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    m_scene.ArrangeAll();
    RecordPlateChange(before);
    EmitUpdate();
    update();
    return true;
}

bool KzGLView::NudgeCurrentModel(Qt::ArrowType direction, float millimetres)
{
    if (m_bLayerMode || m_scene.GetCurrentPainter() == nullptr || direction == Qt::NoArrow)
        return false;
    const KzPlateCommand::Snapshot before = PlateSnapshot();
    QMatrix4x4 t;
    t.translate(QVector3D(PlateAxisOnScreen(direction) * millimetres, 0));
    ApplyTransform(t);
    RecordPlateChange(before);
    EmitUpdate();
    return true;
}

// Seen from above the arrows follow the plate's axes; turned, they follow the
// axis that runs closest to them on the screen. Seen edge-on, where no axis
// is close, the plate's own axes again.
QVector2D KzGLView::PlateAxisOnScreen(Qt::ArrowType direction) const
{
    static const QVector2D kAxes[4] = {QVector2D(1, 0), QVector2D(-1, 0), QVector2D(0, 1), QVector2D(0, -1)};
    const int wanted = direction == Qt::RightArrow ? 0 : direction == Qt::LeftArrow ? 1 : direction == Qt::UpArrow ? 2 : 3;
    const QMatrix4x4 eye = m_camera.ModelView();
    QVector2D best = kAxes[wanted];
    float bestScore = 0.5f;   // within 60 degrees
    for (const QVector2D& axis : kAxes) {
        const QVector2D onScreen = eye.mapVector(QVector3D(axis, 0)).toVector2D();
        if (onScreen.isNull())
            continue;
        const float score = QVector2D::dotProduct(onScreen.normalized(), kAxes[wanted]);
        if (score > bestScore) {
            bestScore = score;
            best = axis;
        }
    }
    return best;
}
