// The view widget under Xvfb: its surface, the camera driven by mouse and wheel
// input, and frames grabbed from it checked pixel by pixel against the camera's
// projection.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QtTest>

#include <GL/gl.h>

#include <cmath>

using namespace KzViewTest;

namespace {
const int kW = 640;
const int kH = 480;
const QColor kBoxFace(179, 181, 184);  // (0.7, 0.71, 0.72)

// Records keys that reach it, to see whether the view passes them on.
class KeyRecorder : public QWidget
{
public:
    int m_nKeys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++m_nKeys; }
};

// Labels a scene point through the scene's text signal after each frame.
class LabelView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    QVector3D m_vLabel;

protected:
    void paintGL() override
    {
        KzTestView::paintGL();
        emit GetScene().signal_RenderText(QStringLiteral("X = 10.0mm"), m_vLabel);
    }
};

// An instance that asks for a label while it is drawn, as edit feedback does.
class LabellingPainter : public KzModelPainter
{
public:
    LabellingPainter(KzModel3D* model, Kz3DScene* scene, const QVector3D& label)
        : KzModelPainter(model), m_pScene(scene), m_vLabel(label)
    {
    }
    void Draw() override
    {
        KzModelPainter::Draw();
        emit m_pScene->signal_RenderText(QStringLiteral("Y = -3.5mm"), m_vLabel);
    }

private:
    Kz3DScene* m_pScene;
    QVector3D m_vLabel;
};

// Pixels of label text (238, 236, 234) in an area; nothing else drawn is that light.
int LitPixels(const QImage& img, const QRect& area)
{
    int n = 0;
    const QRect r = area & img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += img.pixelColor(x, y).red() > 215;
    return n;
}

// A closed UV sphere of radius r standing on z = 0, wound outward.
QVector<KzTriangle3D> Sphere(int rows, int cols, float r)
{
    const double pi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double th = pi * i / rows, ph = 2 * pi * j / cols;
        return QVector3D(float(r * std::sin(th) * std::cos(ph)), float(r * std::sin(th) * std::sin(ph)),
                         float(r + r * std::cos(th)));
    };
    QVector<KzTriangle3D> out;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            KzTriangle3D a, b;
            a[0] = at(i, j), a[1] = at(i + 1, j), a[2] = at(i + 1, j + 1);
            b[0] = at(i, j), b[1] = at(i + 1, j + 1), b[2] = at(i, j + 1);
            a.UpdateNormal();
            b.UpdateNormal();
            out << a << b;
        }
    }
    return out;
}

QColor Grey(double v)
{
    const int g = int(std::lround(v));
    return QColor(g, g, g);
}
}

class tst_KzGLView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void surfaceIsMultisampledCompatibility();
    void rightDragOrbitsWithinPitchRange();
    void leftDragPansByWidgetSpan();
    void pressesNearEdgesAreIgnored();
    void unlistedButtonsDoNothing();
    void wheelZoomsWithinBounds();
    void resetRestoresDefaultView();
    void keysAreNotPassedOn();
    void zeroHeightResizeKeepsProjectionFinite();

    void frameShowsBackgroundBoxAndGrid();
    void frameFollowsTheCamera();
    void frameFollowsThePrintBound();
    void gizmoSitsInTheLowerRightCorner();
    void instancesAreColouredByBoundAndSelection();
    void rotateHandleRingsAroundTheSelection();

    void labelIsDrawnAtTheProjectedPoint();

    void reloadSizeTakesTheSelectedMachine_data();
    void reloadSizeTakesTheSelectedMachine();
    void turningDrawsReducedFramesThenTheFullPicture();

private:
    KzModelPainter* AddBox(const QVector3D& min, const QVector3D& max);
    QColor PixelAt(const QImage& img, const QVector3D& p);
    QImage Grab();
    void CheckTile(const QImage& img, const QVector3D& p, const char* what);

    KzTestView* m_pView = nullptr;
};

void tst_KzGLView::init()
{
    m_pView = new KzTestView(nullptr);
    m_pView->resize(kW, kH);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
}

void tst_KzGLView::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

QImage tst_KzGLView::Grab()
{
    QImage img = m_pView->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    return img;
}

void tst_KzGLView::surfaceIsMultisampledCompatibility()
{
    Grab();
    m_pView->makeCurrent();
    QCOMPARE(m_pView->context()->format().profile(), QSurfaceFormat::CompatibilityProfile);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    QCOMPARE(samples, 4);
    // The fixed-function pipeline is there: immediate mode raises no error.
    while (glGetError() != GL_NO_ERROR) {
    }
    glBegin(GL_POINTS);
    glVertex3f(0, 0, 0);
    glEnd();
    QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
    m_pView->doneCurrent();
}

void tst_KzGLView::rightDragOrbitsWithinPitchRange()
{
    const KzCamera& c = m_pView->GetCamera();
    const QPoint start(300, 200);

    Press(m_pView, start, Qt::RightButton);
    Move(m_pView, start + QPoint(0, 500), Qt::RightButton);
    double yaw = 0, pitch = 0;
    c.GetAngles(yaw, pitch);
    QCOMPARE(pitch, 0.0);
    Release(m_pView, start + QPoint(0, 500), Qt::RightButton);
    QCOMPARE(c.m_dPitch, 0.0);

    Drag(m_pView, start, start + QPoint(0, -500), Qt::RightButton);
    QCOMPARE(c.m_dPitch, -180.0);

    // 90 px to the right turns the plate 90 degrees about z.
    Drag(m_pView, start, start + QPoint(90, 0), Qt::RightButton);
    QCOMPARE(c.m_dYaw, 120.0);
    QCOMPARE(c.m_dPitch, -180.0);
    QCOMPARE(c.m_dDragYaw, 0.0);
}

void tst_KzGLView::leftDragPansByWidgetSpan()
{
    const KzCamera& c = m_pView->GetCamera();
    const QPoint start(100, 100);

    Press(m_pView, start, Qt::LeftButton);
    Move(m_pView, start + QPoint(kW, 0), Qt::LeftButton);
    QCOMPARE(c.m_dDragPanX, 150.0);
    QCOMPARE(c.m_dPanX, 13.0);
    Release(m_pView, start + QPoint(kW, 0), Qt::LeftButton);
    QCOMPARE(c.m_dPanX, 163.0);
    QCOMPARE(c.m_dDragPanX, 0.0);

    // Downwards on the screen is towards -y in the scene; scaled by the height.
    Drag(m_pView, start, start + QPoint(0, kH / 2), Qt::LeftButton);
    QCOMPARE(c.m_dPanY, -20.0 - 75.0);
    QCOMPARE(c.m_dPanX, 163.0);
}

void tst_KzGLView::pressesNearEdgesAreIgnored()
{
    const KzCamera& c = m_pView->GetCamera();
    const QPoint edges[] = {QPoint(5, 200), QPoint(kW - 5, 200), QPoint(300, kH - 5)};
    for (const QPoint& p : edges) {
        Press(m_pView, p, Qt::LeftButton);
        Move(m_pView, p + QPoint(-200, -200), Qt::LeftButton);
        QCOMPARE(c.m_dDragPanX, 0.0);
        QCOMPARE(c.m_dDragPanY, 0.0);
        Release(m_pView, p + QPoint(-200, -200), Qt::LeftButton);
        Press(m_pView, p, Qt::RightButton);
        Move(m_pView, p + QPoint(-200, -40), Qt::RightButton);
        QCOMPARE(c.m_dDragYaw, 0.0);
        Release(m_pView, p + QPoint(-200, -40), Qt::RightButton);
    }
    QCOMPARE(c.m_dPanX, 13.0);
    QCOMPARE(c.m_dPanY, -20.0);
    QCOMPARE(c.m_dYaw, 30.0);
    QCOMPARE(c.m_dPitch, -80.0);

    // The band ends 10 px from the edge, and the top edge has none.
    Drag(m_pView, QPoint(10, 5), QPoint(10 + kW / 10, 5), Qt::LeftButton);
    QCOMPARE(c.m_dPanX, 28.0);
    Drag(m_pView, QPoint(kW - 10, kH - 10), QPoint(kW - 10 - 20, kH - 10), Qt::RightButton);
    QCOMPARE(c.m_dYaw, 10.0);
}

void tst_KzGLView::unlistedButtonsDoNothing()
{
    const KzCamera& c = m_pView->GetCamera();
    const QPoint start(300, 200);
    Press(m_pView, start, Qt::LeftButton);
    Move(m_pView, start + QPoint(50, 60), Qt::LeftButton | Qt::RightButton);
    QCOMPARE(c.m_dDragPanX, 0.0);
    QCOMPARE(c.m_dDragPitch, 0.0);
    QCOMPARE(c.m_dDragYaw, 0.0);
    Release(m_pView, start + QPoint(50, 60), Qt::LeftButton);

    Drag(m_pView, start, start + QPoint(50, 60), Qt::MiddleButton);
    QCOMPARE(c.m_dPanX, 13.0);
    QCOMPARE(c.m_dPanY, -20.0);
    QCOMPARE(c.m_dYaw, 30.0);
    QCOMPARE(c.m_dPitch, -80.0);
}

void tst_KzGLView::wheelZoomsWithinBounds()
{
    const KzCamera& c = m_pView->GetCamera();
    Wheel(m_pView, 120);
    QCOMPARE(c.m_dZoom, 1.0 / 0.9);
    Wheel(m_pView, 0);
    QCOMPARE(c.m_dZoom, 1.0 / 0.9);
    Wheel(m_pView, -120);
    QVERIFY(std::abs(c.m_dZoom - 1.0) < 1e-12);

    for (int i = 0; i < 100; ++i)
        Wheel(m_pView, 120);
    QVERIFY(c.m_dZoom >= 100.0 && c.m_dZoom < 100.0 / 0.9);
    for (int i = 0; i < 200; ++i)
        Wheel(m_pView, -15);
    QVERIFY(c.m_dZoom <= 0.2 && c.m_dZoom > 0.2 * 0.9);
}

void tst_KzGLView::resetRestoresDefaultView()
{
    const KzCamera& c = m_pView->GetCamera();
    Drag(m_pView, QPoint(300, 200), QPoint(340, 150), Qt::RightButton);
    Drag(m_pView, QPoint(300, 200), QPoint(340, 150), Qt::LeftButton);
    Wheel(m_pView, 120);
    QVERIFY(c.m_dYaw != 30.0 && c.m_dPanX != 13.0 && c.m_dZoom != 1.0);
    m_pView->slot_ResetView();
    QCOMPARE(c.m_dYaw, 30.0);
    QCOMPARE(c.m_dPitch, -80.0);
    QCOMPARE(c.m_dPanX, 13.0);
    QCOMPARE(c.m_dPanY, -20.0);
    QCOMPARE(c.m_dZoom, 1.0);
    QCOMPARE(c.m_dBaseScale, 0.5);
}

void tst_KzGLView::keysAreNotPassedOn()
{
    KeyRecorder parent;
    KzTestView* view = new KzTestView(&parent);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &escape);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(view, &letter);
    QCOMPARE(parent.m_nKeys, 0);
}

void tst_KzGLView::zeroHeightResizeKeepsProjectionFinite()
{
    Grab();
    m_pView->makeCurrent();
    m_pView->resizeGL(200, 0);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    QCOMPARE(viewport[2], 200);
    QCOMPARE(viewport[3], 1);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (GLfloat v : projection)
        QVERIFY(std::isfinite(v));
    // Aspect 200: x is squeezed by the aspect against y.
    QVERIFY(std::abs(projection[5] / projection[0] - 200.0f) < 0.01f);
    m_pView->resizeGL(kW, kH);
    m_pView->doneCurrent();
}

// The centre of a plate tile: the tile over its cell over the background.
void tst_KzGLView::CheckTile(const QImage& img, const QVector3D& p, const char* what)
{
    const QPoint px = ProjectToImage(m_pView->GetCamera(), p, img.width(), img.height()).toPoint();
    QVERIFY2(img.rect().contains(px), what);
    const QColor bg = Grey(BackgroundAt(px.y(), img.height()));
    const QColor cell = Blend(QColor::fromRgbF(0.38, 0.45, 0.47), 0.3, bg);
    const QColor tile = Blend(QColor::fromRgbF(0.45, 0.56, 0.6), 0.8, cell);
    const QColor got = img.pixelColor(px);
    QVERIFY2(Close(got, tile, 4),
             qPrintable(QStringLiteral("%1 at (%2, %3): got %4, expected %5")
                            .arg(what).arg(px.x()).arg(px.y()).arg(got.name(), tile.name())));
}

void tst_KzGLView::frameShowsBackgroundBoxAndGrid()
{
    const QImage img = Grab();
    QCOMPARE(img.size(), QSize(kW, kH));

    // Gradient from (160, 160, 160) at the top to (100, 100, 100) at the bottom;
    // the corners on the left are clear of the scene.
    QVERIFY(Close(img.pixelColor(2, 0), Grey(160), 2));
    QVERIFY(Close(img.pixelColor(2, kH - 1), Grey(100), 2));
    QVERIFY(Close(img.pixelColor(2, kH / 2), Grey(BackgroundAt(kH / 2, kH)), 2));

    // Grid: 10 x 10 tiles over the 100 x 100 default plate, 0.2 below z = 0.
    const float z = -0.15f;  // top of a tile
    CheckTile(img, QVector3D(5, 5, z), "tile right of the centre");
    CheckTile(img, QVector3D(-45, 45, z), "back left tile");
    CheckTile(img, QVector3D(45, -45, z), "front right tile");
    CheckTile(img, QVector3D(-45, -45, z), "front left tile");

    // The back wall (y = 50, 100 high, 0.2 alpha) over the background, and just
    // above the box's open top nothing but background.
    const KzCamera& c = m_pView->GetCamera();
    QPoint px = ProjectToImage(c, QVector3D(0, 50, 50), kW, kH).toPoint();
    QColor bg = Grey(BackgroundAt(px.y(), kH));
    QVERIFY2(Close(img.pixelColor(px), Blend(kBoxFace, 0.2, bg), 3),
             qPrintable(img.pixelColor(px).name()));
    px = ProjectToImage(c, QVector3D(0, 50, 97), kW, kH).toPoint();
    bg = Grey(BackgroundAt(px.y(), kH));
    QVERIFY(Close(img.pixelColor(px), Blend(kBoxFace, 0.2, bg), 3));
    px = ProjectToImage(c, QVector3D(0, 50, 103), kW, kH).toPoint();
    QVERIFY(Close(img.pixelColor(px), Grey(BackgroundAt(px.y(), kH)), 2));
}

void tst_KzGLView::frameFollowsTheCamera()
{
    // Look straight down on the plate, turned, panned and zoomed out: the tiles
    // must follow.
    Drag(m_pView, QPoint(300, 200), QPoint(300 + 15, 200 + 80), Qt::RightButton);
    Drag(m_pView, QPoint(300, 200), QPoint(300 - 64, 200 - 96), Qt::LeftButton);
    Wheel(m_pView, -120);
    const KzCamera& c = m_pView->GetCamera();
    QCOMPARE(c.m_dPitch, 0.0);
    QCOMPARE(c.m_dYaw, 45.0);
    QCOMPARE(c.m_dPanX, -2.0);
    QCOMPARE(c.m_dPanY, 10.0);
    const QImage img = Grab();
    const float z = -0.15f;
    CheckTile(img, QVector3D(-45, 45, z), "back left tile");
    CheckTile(img, QVector3D(45, -45, z), "front right tile");
    CheckTile(img, QVector3D(-5, -35, z), "tile near the centre");
    CheckTile(img, QVector3D(25, 15, z), "tile right of the centre");
}

void tst_KzGLView::frameFollowsThePrintBound()
{
    m_pView->GetScene().SetPrintBound(QVector3D(60, 40, 80), QVector3D(-60, -40, 0));
    const QImage img = Grab();
    // Cells of 12 x 8 mm: the corner tiles' centres lie 6 and 4 mm inside.
    const float z = -0.15f;
    CheckTile(img, QVector3D(-54, 36, z), "back left tile");
    CheckTile(img, QVector3D(54, -36, z), "front right tile");
    CheckTile(img, QVector3D(54, 36, z), "back right tile");
    // The back wall now stands at y = 40 and is 80 high.
    const KzCamera& c = m_pView->GetCamera();
    QPoint px = ProjectToImage(c, QVector3D(0, 40, 77), kW, kH).toPoint();
    QVERIFY(Close(img.pixelColor(px), Blend(kBoxFace, 0.2, Grey(BackgroundAt(px.y(), kH))), 3));
    px = ProjectToImage(c, QVector3D(0, 40, 83), kW, kH).toPoint();
    QVERIFY(Close(img.pixelColor(px), Grey(BackgroundAt(px.y(), kH)), 2));
}

void tst_KzGLView::gizmoSitsInTheLowerRightCorner()
{
    for (int turn = 0; turn < 2; ++turn) {
        const QImage img = Grab();
        double yaw = 0, pitch = 0;
        m_pView->GetCamera().GetAngles(yaw, pitch);
        QMatrix4x4 m;
        m.perspective(45, 1, 0.1f, 1000);
        m.translate(0, 0, -3);
        m.rotate(float(pitch), 1, 0, 0);
        m.rotate(float(yaw), 0, 0, 1);
        // The middle of each arrow's cone, in the 100 px square 150 px from the right.
        for (int axis = 0; axis < 3; ++axis) {
            QVector3D tip;
            tip[axis] = 0.8f;
            const QVector3D ndc = m.map(tip);
            const QPoint px(int(kW - 150 + (ndc.x() + 1) * 50), int(kH - (ndc.y() + 1) * 50));
            const QColor got = img.pixelColor(px);
            const int own[3] = {got.red(), got.green(), got.blue()};
            for (int other = 0; other < 3; ++other) {
                if (other != axis)
                    QVERIFY2(own[axis] > own[other] + 40,
                             qPrintable(QStringLiteral("axis %1 at (%2, %3): %4")
                                            .arg(axis).arg(px.x()).arg(px.y()).arg(got.name())));
            }
            // Its label is drawn in light text near the projected end of the axis.
            const QPoint label = m_pView->GetXYZPainter().GetLabelPos(axis);
            QVERIFY(label.x() > kW - 160 && label.x() < kW - 40 && label.y() > kH - 110);
            bool lit = false;
            for (int y = label.y() - 12; y <= label.y() && !lit; ++y)
                for (int x = label.x(); x < label.x() + 10 && !lit; ++x)
                    lit = img.rect().contains(x, y) && img.pixelColor(x, y).red() > 215;
            QVERIFY2(lit, qPrintable(QStringLiteral("label %1").arg(axis)));
        }
        Drag(m_pView, QPoint(300, 200), QPoint(300 + 120, 200 + 50), Qt::RightButton);
    }
}

KzModelPainter* tst_KzGLView::AddBox(const QVector3D& min, const QVector3D& max)
{
    static int files = 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("box%1.stl").arg(files++));
    if (!WriteBinaryStl(path, BoxTriangles(min, max)))
        return nullptr;
    m_pView->makeCurrent();  // the model compiles its display lists
    auto* model = new KzModel3D;
    if (!model->LoadSTLFile(path)) {
        delete model;
        return nullptr;
    }
    m_pView->GetScene().AdoptModel(model);
    auto* painter = new KzModelPainter(model);
    m_pView->GetScene().AdoptPainter(painter);
    return painter;
}

QColor tst_KzGLView::PixelAt(const QImage& img, const QVector3D& p)
{
    return img.pixelColor(
        ProjectToImage(m_pView->GetCamera(), p, img.width(), img.height()).toPoint());
}

void tst_KzGLView::instancesAreColouredByBoundAndSelection()
{
    Kz3DScene& scene = m_pView->GetScene();
    KzModelPainter* box = AddBox(QVector3D(0, 0, 0), QVector3D(20, 20, 30));
    QVERIFY(box);
    auto grey = [](const QColor& c) {
        return std::abs(c.red() - c.green()) < 8 && std::abs(c.green() - c.blue()) < 8
               && c.red() > 110;
    };
    auto red = [](const QColor& c) { return c.red() > c.green() + 30 && c.red() > c.blue() + 20; };
    auto blue = [](const QColor& c) { return c.blue() > c.red() + 30 && c.green() > c.red() + 15; };
    // The middle of the front face, which faces the default camera.
    auto front = [box]() {
        return QVector3D(box->GetCenter().x(), box->GetMin().y(), box->GetCenter().z());
    };

    QColor c = PixelAt(Grab(), front());
    QVERIFY2(grey(c), qPrintable(c.name()));

    // Touching the bound's x maximum is out for an unselected instance (strict)...
    box->Translate(QVector2D(40, 0));
    QCOMPARE(box->GetMax().x(), 50.0f);
    c = PixelAt(Grab(), front());
    QVERIFY2(red(c), qPrintable(c.name()));
    const QColor outside = c;
    // ...but in for the selected one (inclusive).
    scene.SelectPainter(box->GetPickCode());
    c = PixelAt(Grab(), front());
    QVERIFY2(blue(c), qPrintable(c.name()));
    // Beyond it, the selected instance is marked in a brighter red.
    box->Translate(QVector2D(1, 0));
    c = PixelAt(Grab(), front());
    QVERIFY2(red(c) && c.red() > outside.red() + 20, qPrintable(c.name() + outside.name()));

    // Taller than the bound: only the selected instance is marked.
    scene.SelectPainter(0);
    KzModelPainter* tall = AddBox(QVector3D(0, 0, 0), QVector3D(10, 10, 120));
    QVERIFY(tall);
    tall->Translate(QVector2D(-25, 0));
    const QVector3D low(tall->GetCenter().x(), tall->GetMin().y(), 20);
    c = PixelAt(Grab(), low);
    QVERIFY2(grey(c), qPrintable(c.name()));
    scene.SelectPainter(tall->GetPickCode());
    c = PixelAt(Grab(), low);
    QVERIFY2(red(c), qPrintable(c.name()));
}

void tst_KzGLView::rotateHandleRingsAroundTheSelection()
{
    Kz3DScene& scene = m_pView->GetScene();
    KzModelPainter* box = AddBox(QVector3D(0, 0, 0), QVector3D(16, 16, 16));
    QVERIFY(box);
    // Pixels of ring 1 (about -y, green) inside the square the rings span.
    auto countGreen = [this, box](int minGreen) {
        const QImage img = Grab();
        const KzCamera& c = m_pView->GetCamera();
        const float r = box->Diagonal() * 0.5f;
        QRectF area;
        for (int k = 0; k < 8; ++k) {
            const QVector3D corner = box->GetCenter()
                                     + QVector3D(k & 1 ? r : -r, k & 2 ? r : -r, k & 4 ? r : -r);
            const QPointF p = ProjectToImage(c, corner, img.width(), img.height());
            area = area.isNull() ? QRectF(p, QSizeF(1, 1)) : area.united(QRectF(p, QSizeF(1, 1)));
        }
        int n = 0;
        const QRect px = area.toAlignedRect() & img.rect();
        for (int y = px.top(); y <= px.bottom(); ++y)
            for (int x = px.left(); x <= px.right(); ++x) {
                const QColor q = img.pixelColor(x, y);
                n += (q.green() >= minGreen && q.green() > 2 * q.red() && q.green() > 2 * q.blue());
            }
        return n;
    };

    scene.SelectPainter(box->GetPickCode());
    QCOMPARE(countGreen(60), 0);  // move mode: no rings
    scene.SetEditMode(1);
    const int solid = countGreen(60);
    QVERIFY2(solid > 100, qPrintable(QString::number(solid)));
    QCOMPARE(countGreen(200), 0);  // not active: drawn at 0.4

    scene.GetRotateCoord().SetHovered(1);
    const int stippled = countGreen(60);
    QVERIFY2(stippled < solid * 3 / 4 && stippled > solid / 4,
             qPrintable(QStringLiteral("%1 of %2").arg(stippled).arg(solid)));
    scene.GetRotateCoord().SetHovered(-1);
    scene.GetRotateCoord().SetActive(1);
    QVERIFY(countGreen(200) > solid / 2);

    scene.SelectPainter(0);
    QCOMPARE(countGreen(60), 0);  // no selection, no handle
}

void tst_KzGLView::labelIsDrawnAtTheProjectedPoint()
{
    LabelView view(nullptr);
    view.resize(kW, kH);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto lit = LitPixels;
    for (const QVector3D& p : {QVector3D(0, 0, 50), QVector3D(-40, 30, 0)}) {
        view.m_vLabel = p;
        const QImage img = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const QPoint at = ProjectToImage(view.GetCamera(), p, kW, kH).toPoint();
        // drawText puts the baseline at the point; the text runs to the right.
        QVERIFY2(lit(img, QRect(at.x(), at.y() - 14, 90, 16)) > 20,
                 qPrintable(QStringLiteral("no label at (%1, %2)").arg(at.x()).arg(at.y())));
        QCOMPARE(lit(img, QRect(at.x() - 100, at.y() - 60, 90, 40)), 0);
    }

    // Asked for while the scene is drawn: shown in the same frame, over the scene.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("label.stl"));
    QVERIFY(WriteBinaryStl(path, BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10))));
    m_pView->makeCurrent();
    auto* model = new KzModel3D;
    QVERIFY(model->LoadSTLFile(path));
    m_pView->GetScene().AdoptModel(model);
    const QVector3D p(-30, -20, 5);
    m_pView->GetScene().AdoptPainter(new LabellingPainter(model, &m_pView->GetScene(), p));
    const QImage img = Grab();
    const QPoint at = ProjectToImage(m_pView->GetCamera(), p, kW, kH).toPoint();
    QVERIFY2(lit(img, QRect(at.x(), at.y() - 14, 90, 16)) > 20,
             qPrintable(QStringLiteral("no label at (%1, %2)").arg(at.x()).arg(at.y())));
}

void tst_KzGLView::reloadSizeTakesTheSelectedMachine_data()
{
    QTest::addColumn<QString>("machines");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one machine")
        << "<Machine Name=\"Birch\" Selected=\"True\"><Length>200</Length>"
           "<Width>150</Width><Height>100</Height></Machine>"
        << "box 200 150 100 grid 200 150 scale 0.25 offset -100 -75 reset 0.25";
    QTest::newRow("the later selected of two")
        << "<Machine Name=\"Alder\" Selected=\"True\"><Length>100</Length>"
           "<Width>100</Width><Height>100</Height></Machine>"
           "<Machine Name=\"Cedar\" Selected=\"True\"><Length>241</Length>"
           "<Width>99</Width><Height>60</Height></Machine>"
        << "box 241 99 60 grid 241 99 scale 0.207469 offset -120.5 -49.5 reset 0.207469";
    // The built-in machines stand in, with the one they select: a real volume.
    QTest::newRow("no machine file") << QString()
                                     << "box 200 200 180 grid 200 200 scale 0.25 offset -100 -100 reset 0.25";
}

// The store reads its machine file once, when first asked for, from the data
// folder: each machine file gets a process of its own.
void tst_KzGLView::reloadSizeTakesTheSelectedMachine()
{
    QFETCH(QString, machines);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!machines.isNull()) {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Configure")));
        QFile file(dir.filePath(QStringLiteral("Configure/basic.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><Basic>" + machines.toUtf8() + "</Basic>");
    }
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--reload-child"), dir.path()});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), expected);
}

// Child mode: start as the program does (the selected machine), reload, report.
// A large mesh is first shown without multisampling (the whole mesh), and
// the full picture follows by itself. While the camera moves, frames are
// reduced (no multisampling, a large mesh's coarser form); after the last
// input the full picture comes back by itself, pixel for pixel what a view
// that never turned shows with that camera.
void tst_KzGLView::turningDrawsReducedFramesThenTheFullPicture()
{
    const int above = KzModel3D::ReducedAbove();
    KzModel3D::SetReducedAbove(5000);   // this sphere counts as large
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sphere.stl"));
    QVERIFY(WriteBinaryStl(path, Sphere(60, 120, 30)));
    KzTestView still(nullptr);
    still.resize(kW, kH);
    still.show();
    QVERIFY(QTest::qWaitForWindowExposed(&still));
    for (KzTestView* view : {m_pView, &still}) {
        QVERIFY(view->OpenSTLFile(path));
        view->ClearModelPainter();
    }
    KzModel3D* model = m_pView->GetScene().GetModels().first();
    const QImage firstLook = Grab();
    QVERIFY(m_pView->IsReducedFrame());
    QVERIFY(!model->HasReducedForm());   // the whole mesh, not a coarse one
    const int looked = m_pView->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pView->GetFrameCount() > looked && !m_pView->IsReducedFrame(), 2000);
    const QImage atRest = Grab();
    QVERIFY(!m_pView->IsReducedFrame());
    QVERIFY(firstLook != atRest);   // multisampled edges
    still.grabFramebuffer();   // its own first look
    QCOMPARE(still.grabFramebuffer().convertToFormat(QImage::Format_RGB32), atRest);

    const QPoint centre(kW / 2, kH / 2);
    Press(m_pView, centre, Qt::RightButton);
    QPoint at = centre;
    QImage turning;
    // The coarse form is built on its own thread; it is drawn once it is there.
    QTRY_VERIFY_WITH_TIMEOUT((at += QPoint(2, 1), Move(m_pView, at, Qt::RightButton), turning = Grab(),
                              model->HasReducedForm()), 10000);
    QVERIFY(m_pView->IsReducedFrame());
    Release(m_pView, at, Qt::RightButton);
    const int frames = m_pView->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pView->GetFrameCount() > frames && !m_pView->IsReducedFrame(), 2000);
    const QImage settled = Grab();
    QVERIFY(!m_pView->IsReducedFrame());

    // The same camera on the view that never turned.
    const_cast<KzCamera&>(still.GetCamera()) = m_pView->GetCamera();
    const QImage reference = still.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    QVERIFY(settled != atRest);   // the camera did turn
    QCOMPARE(settled, reference);
    QVERIFY(turning != settled);   // the reduced frame was another picture

    // The wheel reduces too, and settles likewise.
    Wheel(m_pView, 120);
    Grab();
    QVERIFY(m_pView->IsReducedFrame());
    QTRY_VERIFY_WITH_TIMEOUT(!m_pView->IsReducedFrame(), 2000);
    const_cast<KzCamera&>(still.GetCamera()) = m_pView->GetCamera();
    QCOMPARE(Grab(), still.grabFramebuffer().convertToFormat(QImage::Format_RGB32));
    KzModel3D::SetReducedAbove(above);
}

static int ReloadChild(const QString& dataFolder)
{
    KzDataFolder::Use(dataFolder);
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    KzTestView view(nullptr);
    view.slot_ReloadSize();
    const KzPrinterBox& box = view.GetScene().GetPrinterBox();
    const KzGridding& grid = view.GetScene().GetGridding();
    double x = 0, y = 0;
    view.GetScene().GetLayerOffset(x, y);
    const double scale = view.GetCamera().m_dBaseScale;
    view.slot_ResetView();
    QTextStream(stdout) << "box " << box.GetSizeX() << ' ' << box.GetSizeY() << ' '
                        << box.GetSizeZ() << " grid " << grid.GetSizeX() << ' ' << grid.GetSizeY()
                        << " scale " << scale << " offset " << x << ' ' << y << " reset "
                        << view.GetCamera().m_dBaseScale << '\n';
    return 0;
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--reload-child") == 0)
        return ReloadChild(QString::fromLocal8Bit(argv[2]));
    tst_KzGLView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KzGLView.moc"
