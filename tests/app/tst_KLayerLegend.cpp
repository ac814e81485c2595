// The layer preview of a real print with support, read as a user reads it: a
// T-shaped model (a post under a wide slab) is sliced through the real engine
// with support everywhere; the legend's switches hide and show each feature
// in the picture, the layer panel gives the G-code's own heights, and the
// print information gives the weight of the filament.
#include "KLayerControlWidget.h"
#include "KLayerLegendWidget.h"
#include "KLayerModel.h"
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzPrintFigures.h"
#include "KzSliceStage.h"
#include "KzSliceWidget.h"
#include "KzViewTestSupport.h"
#include "emPathType.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QTranslator>
#include <QtTest>

#include <cmath>

using namespace KzViewTest;

namespace {

// Pixels within a small distance of one colour: the inside of the lines
// drawn in it, not their blended edges.
int CountColour(const QImage& img, const QColor& c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAbs(qRed(line[x]) - c.red()) + qAbs(qGreen(line[x]) - c.green()) + qAbs(qBlue(line[x]) - c.blue()) < 30)
                ++n;
        }
    }
    return n;
}

// What the G-code itself says: the Z the last layer prints at (the height in
// force at its first extrusion) and the filament of its header, in mm.
struct GcodeFacts
{
    double dLastLayerZ = -1.0;
    double dFilamentMm = -1.0;
    bool bSupport = false;
};

GcodeFacts ReadFacts(const QString& path)
{
    GcodeFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    const QRegularExpression zWord(QStringLiteral("^G[01] .*Z([0-9.]+)"));
    const QRegularExpression filament(QStringLiteral("^;Filament used: ([0-9.]+)m"));
    double z = 0.0;
    bool inLast = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw.trimmed());
        const QRegularExpressionMatch f = filament.match(line);
        if (f.hasMatch() && facts.dFilamentMm < 0)
            facts.dFilamentMm = f.captured(1).toDouble() * 1000.0;
        facts.bSupport |= line == QLatin1String(";TYPE:SUPPORT");
        if (line.startsWith(QLatin1String(";LAYER:"))) {
            inLast = true;
            facts.dLastLayerZ = -1.0;
        }
        const QRegularExpressionMatch m = zWord.match(line);
        if (m.hasMatch())
            z = m.captured(1).toDouble();
        if (inLast && facts.dLastLayerZ < 0 && line.startsWith(QLatin1String("G1 ")) && line.contains(QLatin1Char('X'))
            && line.contains(QLatin1Char('E')))
            facts.dLastLayerZ = z;
    }
    return facts;
}

} // namespace

class tst_KLayerLegend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void legendSwitchesEachFeature();
    void heightsAndWeightAreTheGcodes();
    void bothLanguages();

private:
    // The view's picture without its lower right corner, where the axes
    // gizmo draws its red, green and blue arrows.
    QImage Frame()
    {
        // Frames drawn while the camera still moves are reduced: wait for the full one.
        QImage frame = m_pView->grabFramebuffer();
        for (int i = 0; i < 50 && m_pView->IsReducedFrame(); ++i) {
            QTest::qWait(KzGLView::SettleMs());
            frame = m_pView->grabFramebuffer();
        }
        frame = frame.convertToFormat(QImage::Format_ARGB32);
        return frame.copy(0, 0, frame.width() - 200, frame.height());
    }
    void Save(const QString& name);

    QTemporaryDir m_dir;
    KzSliceStage m_stage;
    KzGLView*& m_pView = m_stage.m_pView;
    KzSliceWidget*& m_pPanel = m_stage.m_pPanel;
    KLayerControlWidget* m_pLayers = nullptr;
    QString m_strGCode;
};

// Slices the T once, with support everywhere from the custom page, and shows
// its layers with the layer panel at the window's right edge.
void tst_KLayerLegend::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strGCode = KzSliceStage::StartMachine();
    QFile::remove(m_strGCode);
    m_stage.Build();
    QWidget* window = m_pView->window();
    m_pLayers = new KLayerControlWidget(window);
    m_pLayers->SetGLView(m_pView);
    connect(m_pView, &KzGLView::signal_MaxLayerChanged, m_pLayers, &KLayerControlWidget::slot_SetMaxLayer);
    m_pLayers->move(window->width() - m_pLayers->width() - 10, 60);
    m_pLayers->hide();
    connect(m_pPanel, &KzSliceWidget::signal_ShowLayerControl, m_pLayers, &QWidget::show);

    QVector<KzTriangle3D> tee = BoxTriangles(QVector3D(-4, -4, 0), QVector3D(4, 4, 10));
    tee += BoxTriangles(QVector3D(-14, -4, 10), QVector3D(14, 4, 14));
    const QString stl = m_dir.filePath(QStringLiteral("tee.stl"));
    QVERIFY(WriteBinaryStl(stl, tee));
    m_pView->makeCurrent();
    QVERIFY(m_pView->OpenSTLFile(stl));
    m_pView->doneCurrent();

    m_pPanel->ShowCustomPrint();
    auto* support = m_pPanel->findChild<QComboBox*>(QStringLiteral("comboBox_SupportArea"));
    QVERIFY(support);
    support->setCurrentIndex(support->findText(QStringLiteral("Everywhere"), Qt::MatchContains) >= 0
                                 ? support->findText(QStringLiteral("Everywhere"), Qt::MatchContains)
                                 : 0);
    QSignalSpy shown(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(m_stage.Button("pushButton_StartSlice"), Qt::LeftButton);
    QVERIFY(shown.wait(180000));
    m_pPanel->hide();
    QVERIFY(ReadFacts(m_strGCode).bSupport);
    KLayerModel* model = m_pView->GetLayerPreview().GetLayerModel();
    QVERIFY(model);
    QTRY_VERIFY_WITH_TIMEOUT(model->ReadyToRender(), 30000);
    QVERIFY(m_pLayers->isVisible());
    QVERIFY(m_pLayers->GetLegend()->isVisible());
}

void tst_KLayerLegend::cleanupTestCase()
{
    m_stage.Clear();
}

void tst_KLayerLegend::Save(const QString& name)
{
    if (qEnvironmentVariableIsSet("KZ_SAVE_FRAMES"))
        m_pView->window()->grab().save(qEnvironmentVariable("KZ_SAVE_FRAMES") + QLatin1Char('/') + name);
}

// Seen from straight above at a layer through the post: walls, fill, support
// and the skirt lie side by side, and the skin of the bottom shows through
// the fill. Each switch takes its feature out of the picture and puts it
// back; features that share a colour are gone once both are off.
void tst_KLayerLegend::legendSwitchesEachFeature()
{
    Drag(m_pView, QPoint(500, 300), QPoint(470, 380), Qt::RightButton);
    Drag(m_pView, QPoint(500, 400), QPoint(500, 304), Qt::LeftButton);
    for (int i = 0; i < 6; ++i)
        Wheel(m_pView, 120);   // near: the print fills much of the view
    auto* slider = m_pLayers->findChild<QSlider*>(QStringLiteral("Slider"));
    slider->setValue(int(std::lround(slider->maximum() * 0.4)));   // about 5.6 mm: through the post
    const KLayerFeature& preview = m_pView->GetLayerPreview();
    KLayerLegendWidget* legend = m_pLayers->GetLegend();

    // The legend lists what the print has, support among it, and no travel
    // in the multi-layer picture.
    const QList<int> types = {PathWallOuter, PathWallInner, PathSkin, PathSkirt, PathFill, PathSupport};
    for (int type : types)
        QVERIFY2(legend->Button(type)->isVisible(), qPrintable(QString::number(type)));
    QVERIFY(!legend->Button(KLayerLegendWidget::ms_nTravelType)->isVisible());
    QCOMPARE(legend->Button(PathSupport)->text(), QStringLiteral("支撑"));

    const QImage all = Frame();
    Save(QStringLiteral("legend-top-view.png"));
    for (int type : types) {
        const QColor colour = preview.GetColor(type);
        const int before = CountColour(all, colour);
        QVERIFY2(before > 200, qPrintable(QStringLiteral("type %1: %2 pixels").arg(type).arg(before)));
        QTest::mouseClick(legend->Button(type), Qt::LeftButton);
        QVERIFY(!preview.IsTypeShown(type));
        const int hidden = CountColour(Frame(), colour);
        Save(QStringLiteral("legend-without-%1.png").arg(type));
        QVERIFY2(hidden < before, qPrintable(QStringLiteral("type %1: %2 of %3").arg(type).arg(hidden).arg(before)));
        // The other feature of the same colour off as well: none of it is left.
        const QMap<int, int> partners = {{PathWallOuter, PathWallInner}, {PathWallInner, PathWallOuter},
                                         {PathSkin, PathSkirt}, {PathSkirt, PathSkin}};
        const int partner = partners.value(type, -1);
        if (partner >= 0) {
            QTest::mouseClick(legend->Button(partner), Qt::LeftButton);
            QCOMPARE(CountColour(Frame(), colour), 0);
            QTest::mouseClick(legend->Button(partner), Qt::LeftButton);
        } else {
            QVERIFY2(hidden == 0, qPrintable(QStringLiteral("type %1: %2 left").arg(type).arg(hidden)));
        }
        QTest::mouseClick(legend->Button(type), Qt::LeftButton);
        QVERIFY(preview.IsTypeShown(type));
        QCOMPARE(Frame(), all);   // all back, exactly as it was
    }

    // One layer alone lists its travels too, and their switch takes them out.
    auto* single = m_pLayers->findChild<QPushButton*>(QStringLiteral("SingleLayerButton"));
    QTest::mouseClick(single, Qt::LeftButton);
    QPushButton* travel = legend->Button(KLayerLegendWidget::ms_nTravelType);
    QVERIFY(travel->isVisible());
    const QColor cyan = KLayerFeature::GetTravelColor();
    const int travels = CountColour(Frame(), cyan);
    QVERIFY2(travels > 20, qPrintable(QString::number(travels)));
    QTest::mouseClick(travel, Qt::LeftButton);
    QCOMPARE(CountColour(Frame(), cyan), 0);
    QTest::mouseClick(travel, Qt::LeftButton);
    QCOMPARE(CountColour(Frame(), cyan), travels);
    QTest::mouseClick(m_pLayers->findChild<QPushButton*>(QStringLiteral("MultiLayerButton")), Qt::LeftButton);

    // A switch left off stays off for the next slice, in the legend and the picture.
    QTest::mouseClick(legend->Button(PathFill), Qt::LeftButton);
    m_pView->QuitLayerMode();
    m_pView->EnterLayerMode();
    QTRY_VERIFY_WITH_TIMEOUT(m_pView->GetLayerPreview().GetLayerModel()->ReadyToRender(), 30000);
    QVERIFY(!legend->Button(PathFill)->isChecked());
    QVERIFY(!m_pView->GetLayerPreview().IsTypeShown(PathFill));
    QTest::mouseClick(legend->Button(PathFill), Qt::LeftButton);
    QVERIFY(m_pView->GetLayerPreview().IsTypeShown(PathFill));
}

// The top layer's height is the G-code's own; the weight is the filament's
// length through its cross-section times the density of PLA.
void tst_KLayerLegend::heightsAndWeightAreTheGcodes()
{
    auto* slider = m_pLayers->findChild<QSlider*>(QStringLiteral("Slider"));
    QTRY_VERIFY(slider->maximum() > 50);
    slider->setValue(slider->maximum());
    const GcodeFacts facts = ReadFacts(m_strGCode);
    QVERIFY(facts.dLastLayerZ > 13.0 && facts.dLastLayerZ < 14.5);
    const QString z = QString::number(facts.dLastLayerZ, 'f', 2) + QStringLiteral(" mm");
    QCOMPARE(m_pLayers->findChild<QLabel*>(QStringLiteral("ZValueLabel"))->text(), z);
    QVERIFY(m_pLayers->findChildren<QLabel*>().size() > 0);

    QVERIFY(facts.dFilamentMm > 100.0);
    const double radius = 1.75 / 2;
    const double byHand = facts.dFilamentMm * 3.14159265 * radius * radius / 1000.0 * 1.24;
    const double grams = m_pPanel->GetPrintGrams();
    QVERIFY2(qAbs(grams - byHand) <= 0.02 * byHand, qPrintable(QStringLiteral("%1 g against %2 g").arg(grams).arg(byHand)));
    const QRegularExpression info(QStringLiteral("^(\\d+ 小时 )?\\d+ 分钟 · \\d+\\.\\d 米 · \\d+ 克$"));
    QVERIFY2(info.match(m_pPanel->GetPrintInfo()).hasMatch(), qPrintable(m_pPanel->GetPrintInfo()));
    QVERIFY(m_pPanel->GetPrintInfo().endsWith(KzPrintFigures::WeightText(grams)));
}

// The preview with its legend and panel, in Chinese and in English.
void tst_KLayerLegend::bothLanguages()
{
    auto* slider = m_pLayers->findChild<QSlider*>(QStringLiteral("Slider"));
    slider->setValue(int(std::lround(slider->maximum() * 0.6)));
    m_pView->slot_ResetView();
    KLayerLegendWidget* legend = m_pLayers->GetLegend();
    QCOMPARE(legend->Button(PathFill)->text(), QStringLiteral("填充"));
    QVERIFY(CountColour(Frame(), m_pView->GetLayerPreview().GetColor(PathSupport)) > 200);
    Save(QStringLiteral("legend-zh.png"));

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/kzvellum_en.qm")));
    qApp->installTranslator(&translator);
    QTRY_COMPARE(legend->Button(PathFill)->text(), QStringLiteral("Infill"));
    QCOMPARE(legend->Button(PathSupport)->text(), QStringLiteral("Support"));
    QCOMPARE(legend->Button(PathWallOuter)->text(), QStringLiteral("Outer wall"));
    // Wider in English, and still beside the panel, not over it.
    QTRY_VERIFY(legend->geometry().right() < m_pLayers->x());
    QCOMPARE(legend->y(), m_pLayers->y());
    // The panel keeps its highest layer (the form's placeholder does not come back).
    QCOMPARE(m_pLayers->findChild<QLabel*>(QStringLiteral("MaxValueLabel"))->text(), QString::number(slider->maximum()));
    const QRegularExpression info(QStringLiteral("^(\\d+ h )?\\d+ min · \\d+\\.\\d m · \\d+ g$"));
    QVERIFY2(info.match(m_pPanel->GetPrintInfo()).hasMatch(), qPrintable(m_pPanel->GetPrintInfo()));
    QVERIFY(m_pLayers->LayerToolTip(slider->value()).startsWith(QStringLiteral("Layer ")));
    QVERIFY(m_pLayers->LayerToolTip(slider->value()).contains(QStringLiteral("Reached after")));
    QTest::qWait(50);
    Save(QStringLiteral("legend-en.png"));
    qApp->removeTranslator(&translator);

    // Outside the layer mode there is no legend.
    m_pLayers->hide();
    m_pView->QuitLayerMode();
    QVERIFY(!legend->isVisible());
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    tst_KLayerLegend test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KLayerLegend.moc"
