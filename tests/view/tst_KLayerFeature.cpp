// The layer preview under Xvfb: G-code files read into the view's layer mode,
// frames grabbed from straight above and the lines found in them measured.
#include "KLayerModel.h"
#include "KzConfigureData.h"
#include "KzLayerTestSupport.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace KzViewTest;
using namespace KzLayerTest;

namespace {
const int kW = 640;
const int kH = 480;
const QColor kWall(0, 12, 200);
const QColor kSkin(112, 200, 0);
const QColor kFill(200, 0, 12);
const QColor kSupport(235, 150, 0);
const QColor kCyan(0, 204, 204);
enum { Red, Green, Blue };

// A view that paints only when asked to (update()), not on its frame timer:
// what the preview shows must not depend on a repaint that happens anyway.
class QuietView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    int m_nFrames = 0;

protected:
    void timerEvent(QTimerEvent*) override {}
    void paintGL() override
    {
        ++m_nFrames;
        KzTestView::paintGL();
    }
};

// Watches the queued calls that bring the layer model its layers: paints a
// frame every `pace` calls, as a window busy with a long file would, and holds
// back the call after the layers (the trimming) until released.
class HoldTrim : public QObject
{
public:
    HoldTrim(KLayerModel* model, int layers, QOpenGLWidget* view) : m_pModel(model), m_nLayers(layers), m_pView(view) {}
    bool m_bHeld = false;
    bool m_bRelease = false;

protected:
    // Every call that hands the model layers gets a frame; once all of them
    // are in, the next call (the trim) is held back.
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::MetaCall || m_bRelease)
            return false;
        if (m_pModel->GetLayerSize() < m_nLayers) {
            m_pView->grabFramebuffer();
            return false;
        }
        m_bHeld = true;
        return true;
    }

private:
    KLayerModel* m_pModel;
    int m_nLayers;
    QOpenGLWidget* m_pView;
};

// A straight line of the given type from a to b, in the engine's coordinates.
Path Line(const char* type, QPointF a, QPointF b)
{
    return Path{QString::fromLatin1(type), {a, b}};
}
}

class tst_KLayerFeature : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void colourTableAndBlackDefault();
    void multiLayerDrawsFillOnlyNearTheCurrentLayer();
    void singleLayerDrawsItsPathsAndTravels();
    void currentLayerOutsideTheLayersSelectsLayerZero();
    void maxLayerFollowsTheReadingAndTheTrim();
    void largeFileIsCompiledOverSeveralFrames();
    void lowerLayersAreKeptWhileTheCameraRests();
    void realPrintFromBuffersAsImmediate();
    void turningDrawsOuterWallsThenTheFullPicture();
    void unreadableFileLeavesGridAndBox();
    void unreadableFileCompletesWithoutLayers();

private:
    void LookFromAbove();
    QString Write(const QVector<Layer>& layers);
    void Load(const QString& path);
    QImage Grab();
    QPoint At(double x, double y, double z) const;
    void CheckSameInBothWays(const char* what);

    QuietView* m_pView = nullptr;
    QTemporaryDir m_dir;
    int m_nFiles = 0;
    int m_nGrabs = 0;
};

void tst_KLayerFeature::init()
{
    m_pView = new QuietView(nullptr);
    m_pView->resize(kW, kH);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    // The engine's origin is the plate's front left corner.
    m_pView->GetScene().SetLayerOffset(-50, -50);
}

void tst_KLayerFeature::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

// Straight down on the plate, x to the right, y up, the plate in the picture.
void tst_KLayerFeature::LookFromAbove()
{
    Drag(m_pView, QPoint(300, 200), QPoint(270, 280), Qt::RightButton);
    Drag(m_pView, QPoint(300, 300), QPoint(300, 204), Qt::LeftButton);
    double yaw = 0, pitch = 0;
    m_pView->GetCamera().GetAngles(yaw, pitch);
    QCOMPARE(yaw, 0.0);
    QCOMPARE(pitch, 0.0);
}

QString tst_KLayerFeature::Write(const QVector<Layer>& layers)
{
    const QString path = m_dir.filePath(QStringLiteral("layers%1.gcode").arg(m_nFiles++));
    return WriteFile(path, Gcode(layers)) ? path : QString();
}

void tst_KLayerFeature::Load(const QString& path)
{
    QVERIFY(!path.isEmpty());
    const QString gcode = KzConfigureData::GetInstance()->GetTmpGcodeFilePath();
    QFile::remove(gcode);
    QVERIFY(QFile::copy(path, gcode));
    m_pView->EnterLayerMode();
    KLayerModel* model = m_pView->GetScene().GetLayerFeature().GetLayerModel();
    QVERIFY(model);
    QTRY_VERIFY_WITH_TIMEOUT(model->ReadyToRender(), 20000);
}

QImage tst_KLayerFeature::Grab()
{
    const QImage img = m_pView->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("KZ_SAVE_FRAMES"))
        img.save(QStringLiteral("%1/%2-%3.png").arg(qEnvironmentVariable("KZ_SAVE_FRAMES"))
                     .arg(QTest::currentTestFunction()).arg(m_nGrabs++));
    return img;
}

// Where a point in the engine's coordinates lands in a grabbed frame.
QPoint tst_KLayerFeature::At(double x, double y, double z) const
{
    return ProjectToImage(m_pView->GetCamera(), QVector3D(float(x - 50), float(y - 50), float(z)), kW, kH)
        .toPoint();
}

// The compiled display lists draw exactly what immediate mode draws.
void tst_KLayerFeature::CheckSameInBothWays(const char* what)
{
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    const QImage compiled = Grab();
    feature.SetUseDisplayLists(false);
    const QImage immediate = Grab();
    feature.SetUseDisplayLists(true);
    QVERIFY2(compiled == immediate, what);
    QVERIFY2(Grab() == compiled, what);   // and again from lists rebuilt
}

void tst_KLayerFeature::colourTableAndBlackDefault()
{
    const KLayerFeature& f = m_pView->GetScene().GetLayerFeature();
    QCOMPARE(f.GetColor(PathWallOuter), kWall);
    QCOMPARE(f.GetColor(PathWallInner), kWall);
    QCOMPARE(f.GetColor(PathSkin), kSkin);
    QCOMPARE(f.GetColor(PathSkirt), kSkin);
    QCOMPARE(f.GetColor(PathFill), kFill);
    QCOMPARE(f.GetColor(PathLayerStart), kSkin);
    QCOMPARE(f.GetColor(PathSupport), kSupport);   // told apart from fill at a glance
    QCOMPARE(f.GetColor(7), QColor(0, 0, 0));
    QCOMPARE(f.GetColor(-1), QColor(0, 0, 0));

    // The scene's painters in their order: box, handles, grid, layers.
    Kz3DScene& scene = m_pView->GetScene();
    QCOMPARE(scene.GetGridding().GetID(), scene.GetPrinterBox().GetID() + 3);
    QCOMPARE(f.GetID(), scene.GetGridding().GetID() + 1);
}

// Ten layers, one row of tiles each (y = 5, 15, ..., 95): a fill line on the
// left half of the plate and a wall line on the right.
void tst_KLayerFeature::multiLayerDrawsFillOnlyNearTheCurrentLayer()
{
    QVector<Layer> layers;
    for (int i = 0; i < 10; ++i) {
        const double y = 5 + 10 * i;
        layers.append({Line("FILL", {12, y}, {38, y}), Line("WALL-OUTER", {62, y}, {88, y})});
    }
    LookFromAbove();
    Load(Write(layers));
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    QCOMPARE(feature.GetMaxLayer(), 9);
    QVERIFY(feature.IsMultiLayer());

    m_pView->SetCurrentLayer(9);
    QImage img = Grab();
    for (int i = 0; i < 10; ++i) {
        const double y = 5 + 10 * i, z = 0.3 + 0.2 * i;
        const QPoint wall = At(75, y, z);
        const double wallWidth = LineWidth(img, wall, Red);
        QVERIFY2(wallWidth > 1.4 && wallWidth < 2.7, qPrintable(QStringLiteral("wall %1: %2").arg(i).arg(wallWidth)));
        QVERIFY(Close(BestMatch(img, wall, kWall), kWall, 6));
        const QPoint fill = At(25, y, z);
        const double fillWidth = LineWidth(img, fill, Green);
        if (i >= 4) {
            QVERIFY2(fillWidth > 3.3 && fillWidth < 4.7, qPrintable(QStringLiteral("fill %1: %2").arg(i).arg(fillWidth)));
            QVERIFY(Close(BestMatch(img, fill, kFill), kFill, 4));
        } else {
            QVERIFY2(fillWidth < 0.3, qPrintable(QStringLiteral("fill %1: %2").arg(i).arg(fillWidth)));
        }
    }
    CheckSameInBothWays("current layer 9");

    // 2 - 5 is below the first layer: all fill up to layer 2, nothing above it.
    m_pView->SetCurrentLayer(2);
    img = Grab();
    for (int i = 0; i < 10; ++i) {
        const double y = 5 + 10 * i, z = 0.3 + 0.2 * i;
        const double fillWidth = LineWidth(img, At(25, y, z), Green);
        const double wallWidth = LineWidth(img, At(75, y, z), Red);
        if (i <= 2) {
            QVERIFY2(fillWidth > 3.3 && fillWidth < 4.7, qPrintable(QString::number(fillWidth)));
            QVERIFY2(wallWidth > 1.4 && wallWidth < 2.7, qPrintable(QString::number(wallWidth)));
        } else {
            QVERIFY2(fillWidth < 0.3 && wallWidth < 0.3, qPrintable(QStringLiteral("layer %1").arg(i)));
        }
    }
    CheckSameInBothWays("current layer 2");
}

// Layer 1 holds three paths; the travels run from each path's end to the next
// one's start.
void tst_KLayerFeature::singleLayerDrawsItsPathsAndTravels()
{
    const QVector<Layer> layers = {
        {Line("FILL", {12, 85}, {38, 85})},
        {Line("WALL-INNER", {15, 25}, {45, 25}), Line("SKIN", {45, 55}, {15, 55}),
         Line("SUPPORT", {55, 75}, {85, 75})},
        {Line("WALL-OUTER", {62, 15}, {88, 15})},
    };
    LookFromAbove();
    Load(Write(layers));
    m_pView->SetEnableMultiLayer(false);
    m_pView->SetCurrentLayer(1);
    const double z = 0.5;
    const QImage img = Grab();

    // Three strips at width 4 in their colours.
    QVERIFY(Close(BestMatch(img, At(30, 25, z), kWall), kWall, 4));
    double w = LineWidth(img, At(30, 25, z), Red);
    QVERIFY2(w > 3.3 && w < 4.7, qPrintable(QString::number(w)));
    QVERIFY(Close(BestMatch(img, At(30, 55, z), kSkin), kSkin, 4));
    w = LineWidth(img, At(30, 55, z), Blue);
    QVERIFY2(w > 3.3 && w < 4.7, qPrintable(QString::number(w)));
    QVERIFY(Close(BestMatch(img, At(70, 75, z), kSupport), kSupport, 4));
    w = LineWidth(img, At(70, 75, z), Blue);
    QVERIFY2(w > 3.3 && w < 4.7, qPrintable(QString::number(w)));

    // Two thin cyan travels, and none from the last path back to the first.
    auto cyanIn = [](const QImage& frame, const QPoint& p) {
        const QColor c = BestMatch(frame, p, kCyan, true, 2);
        return c.green() > c.red() + 80 && c.blue() > c.red() + 80;
    };
    auto cyan = [&](const QPoint& p) { return cyanIn(img, p); };
    QVERIFY(cyan(At(45, 40, z)));
    w = LineWidth(img, At(45, 40, z), Red, true);
    QVERIFY2(w > 0.5 && w < 1.6, qPrintable(QString::number(w)));
    QVERIFY(cyan(At(35, 65, z)));
    QVERIFY(!cyan(At(32.5, 37.5, z)));
    QVERIFY(!cyan(At(67.5, 62.5, z)));

    // The layers below and above are not shown.
    QVERIFY(LineWidth(img, At(25, 85, 0.3), Green) < 0.3);
    QVERIFY(LineWidth(img, At(75, 15, 0.7), Red) < 0.3);
    CheckSameInBothWays("single layer 1");

    // Every layer up to the current one in the multi-layer picture: no travels.
    m_pView->SetEnableMultiLayer(true);
    const QImage multi = Grab();
    QVERIFY(LineWidth(multi, At(25, 85, 0.3), Green) > 3.3);
    QVERIFY(!cyanIn(multi, At(45, 40, z)));
    w = LineWidth(multi, At(30, 25, z), Red);
    QVERIFY2(w > 1.4 && w < 2.7, qPrintable(QString::number(w)));
}

void tst_KLayerFeature::currentLayerOutsideTheLayersSelectsLayerZero()
{
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    m_pView->SetCurrentLayer(3);   // no layer model yet
    QCOMPARE(feature.GetCurrentLayer(), 0);

    QVector<Layer> layers;
    for (int i = 0; i < 6; ++i)
        layers.append({Line("WALL-OUTER", {62, 5 + 10.0 * i}, {88, 5 + 10.0 * i})});
    LookFromAbove();
    Load(Write(layers));

    // The count itself is a layer past the top: all layers, or none alone.
    m_pView->SetCurrentLayer(6);
    QCOMPARE(feature.GetCurrentLayer(), 6);
    QImage img = Grab();
    for (int i = 0; i < 6; ++i)
        QVERIFY(LineWidth(img, At(75, 5 + 10 * i, 0.3 + 0.2 * i), Red) > 1.4);
    m_pView->SetEnableMultiLayer(false);
    img = Grab();
    for (int i = 0; i < 6; ++i)
        QVERIFY(LineWidth(img, At(75, 5 + 10 * i, 0.3 + 0.2 * i), Red) < 0.3);

    m_pView->SetCurrentLayer(7);
    QCOMPARE(feature.GetCurrentLayer(), 0);
    m_pView->SetCurrentLayer(4);
    m_pView->SetCurrentLayer(-1);
    QCOMPARE(feature.GetCurrentLayer(), 0);
    img = Grab();
    QVERIFY(LineWidth(img, At(75, 5, 0.3), Red) > 3.3);
    QVERIFY(LineWidth(img, At(75, 15, 0.5), Red) < 0.3);

    // The choice of layer and of single or multiple layers survives a reload.
    m_pView->SetCurrentLayer(5);
    Load(Write(layers));
    QCOMPARE(feature.GetCurrentLayer(), 5);
    QVERIFY(!feature.IsMultiLayer());
    img = Grab();
    QVERIFY(LineWidth(img, At(75, 55, 1.3), Red) > 3.3);
    QVERIFY(LineWidth(img, At(75, 45, 1.1), Red) < 0.3);
}

// Layers are announced as they arrive, from the frames their arrival asks for,
// and once more when the model has trimmed them.
void tst_KLayerFeature::maxLayerFollowsTheReadingAndTheTrim()
{
    // More layers than the reader may have on their way to the model, so they
    // reach it in several takes, each followed by a frame.
    const int n = 1000;
    QVector<Layer> layers;
    for (int i = 0; i < n; ++i) {
        Path wall{QStringLiteral("WALL-OUTER"), {}};
        for (int k = 0; k < 120; ++k)
            wall.vecPoints.append(QPointF(40 + 10 * std::cos(k * 0.05), 40 + 10 * std::sin(k * 0.05)));
        layers.append({wall});
    }
    const QString path = Write(layers);
    QVERIFY(!path.isEmpty());
    QFile::remove(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    QVERIFY(QFile::copy(path, KzConfigureData::GetInstance()->GetTmpGcodeFilePath()));

    QSignalSpy maxSpy(m_pView, &KzGLView::signal_MaxLayerChanged);
    QVector<bool> readyAtSignal;
    connect(m_pView, &KzGLView::signal_MaxLayerChanged, this, [&]() {
        readyAtSignal.append(m_pView->GetScene().GetLayerFeature().GetLayerModel()->ReadyToRender());
    });
    m_pView->EnterLayerMode();
    KLayerModel* model = m_pView->GetScene().GetLayerFeature().GetLayerModel();
    QVERIFY(model);
    HoldTrim hold(model, n + 1, m_pView);   // what precedes the first layer, then the layers
    model->installEventFilter(&hold);
    QVERIFY(m_pView->IsLayerMode());

    QTRY_VERIFY_WITH_TIMEOUT(hold.m_bHeld && !maxSpy.isEmpty() && maxSpy.last().at(0).toInt() == n, 30000);
    QVERIFY2(maxSpy.size() >= 3, qPrintable(QString::number(maxSpy.size())));
    for (int i = 1; i < maxSpy.size(); ++i)
        QVERIFY(maxSpy.at(i).at(0).toInt() > maxSpy.at(i - 1).at(0).toInt());
    QVERIFY(!readyAtSignal.contains(true));

    // Untrimmed, the part before the first layer counts as a layer; trimming drops it.
    hold.m_bRelease = true;
    const int before = maxSpy.size();
    QVERIFY(QMetaObject::invokeMethod(model, "slot_LoadComplete", Qt::QueuedConnection));
    QTRY_COMPARE(maxSpy.size(), before + 1);
    QCOMPARE(maxSpy.last().at(0).toInt(), n - 1);
    QVERIFY(readyAtSignal.last());
    QCOMPARE(m_pView->GetScene().GetMaxLayer(), n - 1);

    // No change, no signal.
    const int frames = m_pView->m_nFrames;
    m_pView->SetCurrentLayer(n / 2);
    QTRY_VERIFY(m_pView->m_nFrames > frames);
    QCOMPARE(maxSpy.size(), before + 1);

    QSignalSpy disableSpy(m_pView, &KzGLView::signal_DisableSaveGCode);
    m_pView->QuitLayerMode();
    QCOMPARE(disableSpy.size(), 1);
    QVERIFY(!m_pView->IsLayerMode());
    QVERIFY(m_pView->GetScene().GetLayerFeature().GetLayerModel() == nullptr);
    QCOMPARE(m_pView->GetScene().GetMaxLayer(), 0);
}

// Half a million points: more than one frame compiles. The frames in between
// draw the rest immediately, look the same, and ask for the next frame.
void tst_KLayerFeature::largeFileIsCompiledOverSeveralFrames()
{
    QVector<Layer> layers;
    for (int i = 0; i < 500; ++i) {
        Path wall{QStringLiteral("WALL-INNER"), {}};
        Path fill{QStringLiteral("FILL"), {}};
        for (int k = 0; k < 500; ++k) {
            wall.vecPoints.append(QPointF(60 + 20 * std::cos(k * 0.0126), 50 + 20 * std::sin(k * 0.0126)));
            fill.vecPoints.append(QPointF(25 + (k % 2) * 10, 30 + k * 0.08));
        }
        layers.append({wall, fill});
    }
    LookFromAbove();
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    feature.SetUseDisplayLists(false);
    Load(Write(layers));
    m_pView->SetCurrentLayer(499);
    const QImage immediate = Grab();
    feature.SetUseDisplayLists(true);
    const int frames = m_pView->m_nFrames;
    QVERIFY(Grab() == immediate);
    QVERIFY(feature.IsCompilePending());
    QTRY_VERIFY_WITH_TIMEOUT(!feature.IsCompilePending(), 20000);
    QVERIFY2(m_pView->m_nFrames >= frames + 2, qPrintable(QString::number(m_pView->m_nFrames - frames)));
    QVERIFY(Grab() == immediate);
    QVERIFY(Close(BestMatch(immediate, At(74.14, 64.14, 100.1), kWall), kWall, 40));   // the top wall
}

// The picture of the layers below the fill window is kept between frames of the
// same camera and copied back; every frame must look as if all were drawn.
void tst_KLayerFeature::lowerLayersAreKeptWhileTheCameraRests()
{
    QVector<Layer> layers;
    for (int i = 0; i < 150; ++i) {
        Path wall{QStringLiteral("WALL-OUTER"), {}};
        const double r = 10 + 20 * std::sin(i * 0.03);
        for (int k = 0; k <= 60; ++k)
            wall.vecPoints.append(QPointF(50 + r * std::cos(k * 0.105), 50 + r * std::sin(k * 0.105)));
        Path fill{QStringLiteral("FILL"), {}};
        for (int k = 0; k < 12; ++k)
            fill.vecPoints.append(QPointF(45 + (k % 2) * 10, 44 + k));
        layers.append({wall, fill, Line("SKIN", {40, 40 + i * 0.1}, {60, 40 + i * 0.1})});
    }
    Load(Write(layers));
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    auto check = [&](const char* what) {
        const QImage kept = Grab();
        feature.SetUseSavedFrame(false);
        const QImage all = Grab();
        feature.SetUseSavedFrame(true);
        QVERIFY2(kept == all, what);
    };

    m_pView->SetCurrentLayer(149);
    Grab();
    QCOMPARE(feature.GetSavedLayers(), 149 - 5 - 32);
    check("same frame again");
    Grab();
    QCOMPARE(feature.GetSavedLayers(), 112);
    m_pView->SetCurrentLayer(130);   // its fill window lies above the kept layers
    check("a few layers down");
    m_pView->SetCurrentLayer(90);    // below the kept layers: drawn anew
    check("many layers down");
    Grab();
    QCOMPARE(feature.GetSavedLayers(), 90 - 5 - 32);
    m_pView->SetCurrentLayer(149);
    check("back to the top");
    Drag(m_pView, QPoint(300, 200), QPoint(310, 205), Qt::RightButton);
    check("turned");
    m_pView->GetScene().SetLayerOffset(-40, -50);
    check("moved");
    m_pView->SetEnableMultiLayer(false);
    check("single layer");
    m_pView->SetEnableMultiLayer(true);
    check("all layers again");
    feature.SetUseDisplayLists(false);
    check("immediate");
    feature.SetUseDisplayLists(true);
    m_pView->resize(kW / 2, kH / 2);
    check("smaller");
    m_pView->resize(kW, kH);
}

// A print of the bridge with raft and support, seen from the side: the layers
// drawn from their buffers are the picture of immediate mode, pixel for pixel,
// whatever is shown, hidden or kept.
void tst_KLayerFeature::realPrintFromBuffersAsImmediate()
{
    m_pView->GetScene().SetLayerOffset(-100, -100);
    Load(QStringLiteral(KZ_SOURCE_DIR "/tests/core/geometry/layers/data/bridge-raft-support.gcode"));
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    const int top = feature.GetMaxLayer();
    QVERIFY(top > 20);
    QVERIFY((feature.GetPresentTypes() & (1u << PathSupport)) != 0);
    const QImage empty = [&] {
        feature.SetTypeShown(PathWallOuter, false);
        for (int type : {PathWallInner, PathSkin, PathSkirt, PathFill, PathLayerStart, PathSupport})
            feature.SetTypeShown(type, false);
        return Grab();
    }();
    for (int type = 0; type <= KLayerFeature::ms_nTravel; ++type)
        feature.SetTypeShown(type, true);
    QVERIFY(Grab() != empty);

    for (int layer : {top, top / 2, 3}) {
        m_pView->SetCurrentLayer(layer);
        m_pView->SetEnableMultiLayer(true);
        CheckSameInBothWays(qPrintable(QStringLiteral("multi-layer at %1").arg(layer)));
        feature.SetTypeShown(PathSupport, false);
        CheckSameInBothWays(qPrintable(QStringLiteral("multi-layer at %1 without support").arg(layer)));
        feature.SetTypeShown(PathSupport, true);
        m_pView->SetEnableMultiLayer(false);
        CheckSameInBothWays(qPrintable(QStringLiteral("layer %1 alone").arg(layer)));
        feature.SetTypeShown(PathFill, false);
        feature.SetTypeShown(KLayerFeature::ms_nTravel, false);
        CheckSameInBothWays(qPrintable(QStringLiteral("layer %1 alone without fill and travels").arg(layer)));
        feature.SetTypeShown(PathFill, true);
        feature.SetTypeShown(KLayerFeature::ms_nTravel, true);
    }
}

static int CountColour(const QImage& img, const QColor& c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c ? 1 : 0;
    return n;
}

// While the camera turns the lower layers give only their outer walls; once it
// rests the picture is the full one, and no turning frame was kept as the
// lower layers' picture, even two taken from one camera.
void tst_KLayerFeature::turningDrawsOuterWallsThenTheFullPicture()
{
    QVector<Layer> layers;
    for (int i = 0; i < 120; ++i) {
        Path wall{QStringLiteral("WALL-OUTER"), {}};
        for (int k = 0; k <= 60; ++k)
            wall.vecPoints.append(QPointF(50 + 20 * std::cos(k * 0.105), 50 + 20 * std::sin(k * 0.105)));
        layers.append({wall, Line("SUPPORT", {40, 22}, {60, 22}), Line("WALL-INNER", {40, 45}, {60, 45})});
    }
    Load(Write(layers));
    KLayerFeature& feature = m_pView->GetScene().GetLayerFeature();
    m_pView->SetCurrentLayer(119);
    Grab();
    QCOMPARE(feature.GetSavedLayers(), 119 - 5 - 32);
    QImage turning;
    QImage again;
    QPoint at(300, 200);
    // A frame is reduced for a moment after each move: two in a row from one
    // camera, both reduced, are what could wrongly be kept.
    QTRY_VERIFY_WITH_TIMEOUT((Drag(m_pView, at, at + QPoint(3, 0), Qt::RightButton), at += QPoint(3, 0),
                              turning = Grab(), m_pView->IsReducedFrame() && (again = Grab(), m_pView->IsReducedFrame())),
                             10000);
    QCOMPARE(again, turning);
    QTRY_VERIFY_WITH_TIMEOUT((Grab(), !m_pView->IsReducedFrame()), 2000);
    const QImage settled = Grab();
    QCOMPARE(Grab(), settled);
    feature.SetUseSavedFrame(false);
    const QImage full = Grab();
    feature.SetUseSavedFrame(true);
    QCOMPARE(settled, full);
    // The turning frame shows the same print with fewer paths: the support
    // below the top layers is left out, the walls' outline stays.
    QVERIFY(CountColour(turning, kSupport) > 0);
    QVERIFY(CountColour(turning, kSupport) * 4 < CountColour(full, kSupport));
}

void tst_KLayerFeature::unreadableFileLeavesGridAndBox()
{
    QFile::remove(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    const QImage before = Grab();
    QSignalSpy maxSpy(m_pView, &KzGLView::signal_MaxLayerChanged);
    QSignalSpy disableSpy(m_pView, &KzGLView::signal_DisableSaveGCode);
    m_pView->EnterLayerMode();
    QVERIFY(m_pView->IsLayerMode());
    QTest::qWait(200);
    const QImage img = Grab();
    QCOMPARE(m_pView->GetScene().GetMaxLayer(), 0);
    QCOMPARE(maxSpy.size(), 0);
    QCOMPARE(disableSpy.size(), 0);
    // An empty plate draws the same grid and box in both modes.
    QVERIFY(img == before);
}

// A G-code file that cannot be opened ends its load at once, without layers.
void tst_KLayerFeature::unreadableFileCompletesWithoutLayers()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.gcode"));
    m_pView->GetScene().LoadLayerModel(missing);
    KLayerModel* model = m_pView->GetScene().GetLayerFeature().GetLayerModel();
    QVERIFY(model);
    QTRY_VERIFY_WITH_TIMEOUT(model->ReadyToRender(), 5000);
    QCOMPARE(model->GetLayerSize(), 0);
    QCOMPARE(m_pView->GetScene().GetMaxLayer(), 0);
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    QDir().mkpath(QFileInfo(KzConfigureData::GetInstance()->GetTmpGcodeFilePath()).path());
    tst_KLayerFeature test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KLayerFeature.moc"
