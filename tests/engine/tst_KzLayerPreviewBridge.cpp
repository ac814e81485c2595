// From a model on the plate to its layer preview: the model is written as the
// program writes it, sliced through the bridge and Debian's engine at the print
// position the configuration derives from where the model stood, and the view
// reads the G-code back in layer mode. Frames are grabbed from straight above
// (where things are) and from the default angle (what a user sees).
#include "KLayerModel.h"
#include "KzDataFolder.h"
#include "KzConfigureData.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzSliceProfile.h"
#include "KzSliceWork.h"
#include "KzTestMesh.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace KzViewTest;

namespace {
const int kW = 800;
const int kH = 600;
const QVector2D kStood(30, -25);   // where the 20 mm cube stands on the plate
const float kEdge = 20.0f;

enum Kind { Other, Wall, Skin, Fill };

// Which of the preview's colours a pixel shows, if any.
Kind KindOf(const QColor& c)
{
    if (c.blue() > c.red() + 90 && c.blue() > c.green() + 90)
        return Wall;
    if (c.green() > c.red() + 40 && c.green() > c.blue() + 90)
        return Skin;
    if (c.red() > c.green() + 90 && c.red() > c.blue() + 90)
        return Fill;
    return Other;
}

// The box around the pixels where two frames differ.
QRect Changed(const QImage& a, const QImage& b)
{
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 40)
                box = box.united(QRect(x, y, 1, 1));
        }
    return box;
}

QMap<Kind, int> Count(const QImage& img)
{
    QMap<Kind, int> n;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ++n[KindOf(img.pixelColor(x, y))];
    return n;
}
}

class tst_KzLayerPreviewBridge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void slicedModelIsPreviewedWhereItStood();

private:
    QImage Grab(const char* name);
    KzTestView* m_pView = nullptr;
};

void tst_KzLayerPreviewBridge::initTestCase()
{
    // The build's data folder: the machine file, the presets and the bridge.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    QVERIFY(QFileInfo(KzDataFolder::GetEngineProgram()).isExecutable());
    // The sanitizer build preloads the GL driver into this test; the engine
    // started below is no GL program and must not inherit that.
    qunsetenv("LD_PRELOAD");
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    QVERIFY(QDir().mkpath(QFileInfo(config->GetTmpGcodeFilePath()).path()));
}

QImage tst_KzLayerPreviewBridge::Grab(const char* name)
{
    const QImage img = m_pView->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariableIsSet("KZ_SAVE_FRAMES"))
        img.save(qEnvironmentVariable("KZ_SAVE_FRAMES") + "/" + name + ".png");
    return img;
}

void tst_KzLayerPreviewBridge::slicedModelIsPreviewedWhereItStood()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    KzTestView view(nullptr);
    m_pView = &view;
    view.resize(kW, kH);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.slot_ReloadSize();

    // The models as the view saves them for slicing: in plate coordinates,
    // with their centre handed to the configuration.
    const QString stl = config->GetTmpSTLFilePath();
    const float x0 = kStood.x() - kEdge / 2, y0 = kStood.y() - kEdge / 2;
    QVERIFY(KzTestMesh().AddBox(x0, y0, 0, x0 + kEdge, y0 + kEdge, kEdge).WriteBinary(stl));
    config->SetModelPos(kStood.x(), kStood.y());
    double printX = 0, printY = 0;
    config->GetPrintPos(printX, printY);

    KzSliceProfile profile(SliceMode_Fast);
    profile.SetPrintTemperature(210);
    profile.SetBedTemperature(60);
    profile.SetPrintPos(printX, printY);
    KzSliceWork job;
    job.SetSTLFilePath(stl);
    job.SetGCodeFilePath(config->GetTmpGcodeFilePath());
    job.SetParamString(profile.GetCommandStrings());
    int result = -1;
    connect(&job, &KzSliceWork::signal_SliceOver, this, [&](int code) { result = code; });
    job.slot_StartSlice();
    QCOMPARE(result, 0);

    // The model where it stood, seen from straight above, on an empty plate.
    Drag(&view, QPoint(300, 200), QPoint(270, 280), Qt::RightButton);
    Drag(&view, QPoint(300, 300), QPoint(300, 180), Qt::LeftButton);
    const QImage empty = Grab("preview-empty");
    view.makeCurrent();
    auto* model = new KzModel3D;
    QVERIFY(model->LoadSTLFile(stl));
    view.GetScene().AdoptModel(model);
    auto* painter = new KzModelPainter(model);
    painter->Translate(kStood);
    view.GetScene().AdoptPainter(painter);
    const QRect modelBox = Changed(empty, Grab("preview-model"));
    QVERIFY(modelBox.width() > 30 && modelBox.height() > 30);

    view.EnterLayerMode();
    KLayerModel* layers = view.GetScene().GetLayerFeature().GetLayerModel();
    QVERIFY(layers);
    QTRY_VERIFY_WITH_TIMEOUT(layers->ReadyToRender(), 30000);
    const int top = view.GetScene().GetMaxLayer();
    QVERIFY2(top > 50, qPrintable(QString::number(top)));   // 20 mm in layers of at most 0.3 mm

    // The top layer is skin, walls round it; the walls of all layers stand
    // where the model's sides stood. (The gizmo in its corner is left out.)
    view.SetCurrentLayer(top);
    QImage img = Grab("preview-top-above");
    const QRect gizmo(kW - 150, kH - 100, 100, 100);
    QRect printBox;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (!gizmo.contains(x, y) && KindOf(img.pixelColor(x, y)) == Wall)
                printBox = printBox.united(QRect(x, y, 1, 1));
    const QPointF shift = QRectF(printBox).center() - QRectF(modelBox).center();
    QVERIFY2(std::abs(shift.x()) <= 3 && std::abs(shift.y()) <= 3,
             qPrintable(QStringLiteral("model at %1,%2 %3x%4, print at %5,%6 %7x%8")
                            .arg(modelBox.x()).arg(modelBox.y()).arg(modelBox.width()).arg(modelBox.height())
                            .arg(printBox.x()).arg(printBox.y()).arg(printBox.width()).arg(printBox.height())));
    QVERIFY(std::abs(printBox.width() - modelBox.width()) <= 6);
    QVERIFY(std::abs(printBox.height() - modelBox.height()) <= 6);
    QMap<Kind, int> n = Count(img);
    QVERIFY2(n[Skin] > 500 && n[Wall] > 100, qPrintable(QStringLiteral("%1 %2").arg(n[Skin]).arg(n[Wall])));

    // Half way up: walls round the fill.
    view.SetCurrentLayer(top / 2);
    n = Count(Grab("preview-middle-above"));
    QVERIFY2(n[Fill] > 200 && n[Wall] > 100, qPrintable(QStringLiteral("%1 %2").arg(n[Fill]).arg(n[Wall])));

    // What the user sees from the default angle, all layers and one.
    view.slot_ResetView();
    Drag(&view, QPoint(400, 300), QPoint(400, 335), Qt::RightButton);
    Drag(&view, QPoint(560, 440), QPoint(400, 330), Qt::LeftButton);
    for (int i = 0; i < 5; ++i)
        Wheel(&view, 120);
    view.SetCurrentLayer(top * 2 / 3);
    n = Count(Grab("preview-multi"));
    QVERIFY(n[Wall] > 500 && n[Fill] > 100);
    view.SetEnableMultiLayer(false);
    const QMap<Kind, int> single = Count(Grab("preview-single"));
    QVERIFY(single[Fill] > 50 && single[Wall] < n[Wall] / 2);

    view.QuitLayerMode();
    QVERIFY(view.GetScene().GetLayerFeature().GetLayerModel() == nullptr);
    m_pView = nullptr;
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    tst_KzLayerPreviewBridge test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KzLayerPreviewBridge.moc"
