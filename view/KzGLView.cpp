#include "KzGLView.h"

#include "KzConfigureData.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {
const int kFrameMs = 16;
// Presses this close to the left, right or bottom edge are ignored, so resizing
// the frameless main window from its edges does not also move the camera.
const int kEdgeBand = 10;
// A drag across the whole widget pans by this many eye-space units.
const double kPanPerWidth = 150.0;
const QColor kLabelColor(238, 236, 234);
}

KzGLView::KzGLView(QWidget* parent)
    : QOpenGLWidget(parent)
    , m_nSelectedCode(0)
    , m_bLayerMode(false)
    , m_nMaxLayer(0)
    , m_bIgnoreMouse(false)
    , m_pFramePainter(nullptr)
{
    setAttribute(Qt::WA_MouseTracking, true);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
    InitFunTable();
    startTimer(kFrameMs, Qt::CoarseTimer);
    connect(&m_scene, &Kz3DScene::signal_RenderText, this, &KzGLView::slot_RenderText);
    connect(&m_scene, &Kz3DScene::signal_LayersChanged, this, QOverload<>::of(&KzGLView::update));
}

KzGLView::~KzGLView()
{
    // The scene's models free their display lists while the context is current.
    makeCurrent();
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
    m_mapMouseMove.insert(Qt::LeftButton, &KzGLView::MouseMove_LeftButton);
    m_mapMouseMove.insert(Qt::RightButton, &KzGLView::MouseMove_RightButton);
    m_mapMousePress.insert(Qt::LeftButton, &KzGLView::MousePress_LeftButton);
    m_mapMousePress.insert(Qt::RightButton, &KzGLView::MousePress_RightButton);
    m_mapMouseRelease.insert(Qt::LeftButton, &KzGLView::MouseRelease_LeftButton);
    m_mapMouseRelease.insert(Qt::RightButton, &KzGLView::MouseRelease_RightButton);
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

void KzGLView::paintGL()
{
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

void KzGLView::timerEvent(QTimerEvent*)
{
    update();
}

void KzGLView::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (delta > 0)
        m_camera.ZoomIn();
    else if (delta < 0)
        m_camera.ZoomOut();
    e->accept();
}

void KzGLView::keyPressEvent(QKeyEvent* e)
{
    // Keys are not passed on: a key pressed over the view must not reach the
    // main window (Escape would close it).
    e->accept();
}

void KzGLView::slot_ResetView()
{
    m_camera.Reset();
}

void KzGLView::slot_ReloadSize()
{
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

void KzGLView::MouseMove_LeftButton()
{
    if (m_nSelectedCode != 0)
        return;  // dragging a selected instance comes with the editing operations
    const double dx = (m_ptMove.x() - m_ptPress.x()) * kPanPerWidth / width();
    const double dy = (m_ptMove.y() - m_ptPress.y()) * kPanPerWidth / height();
    m_camera.DragPan(dx, dy, false);
}

void KzGLView::MouseMove_RightButton()
{
    m_camera.DragRotate(m_ptMove.x() - m_ptPress.x(), m_ptMove.y() - m_ptPress.y(), false);
}

void KzGLView::MousePress_LeftButton()
{
    // The drag works from m_ptPress. Selecting the instance under the press by
    // picking is not part of the view yet: every press is on empty space.
}

void KzGLView::MousePress_RightButton()
{
    // The orbit works from m_ptPress.
}

void KzGLView::MouseRelease_LeftButton()
{
    m_camera.DragPan(0, 0, true);
}

void KzGLView::MouseRelease_RightButton()
{
    m_camera.DragRotate(0, 0, true);
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
