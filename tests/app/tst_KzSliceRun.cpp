// Slicing runs from the panel through the real bridge and engine, with the
// panel wired to a real view as the main window wires it: a model on the plate
// is sliced with each preset and previewed; a run can be stopped; a missing
// engine and models outside the build volume leave no preview and idle controls.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzProgressWidget.h"
#include "KzSliceStage.h"
#include "KzSliceWidget.h"
#include "KzViewTestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QPolygonF>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

using namespace KzViewTest;

const char* const kStopped = "已停止";
const char* const kFailed = "切片失败";

// The middle of the box around the outer walls the G-code prints on the
// model's layers (a raft's layers are numbered below 0).
QPointF OuterWallCentre(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QPointF();
    const QRegularExpression extrusion(QStringLiteral("^G1 .*X([-0-9.]+) Y([-0-9.]+) E"));
    QPolygonF points;
    int layer = -1;
    bool wall = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(";LAYER:"))
            layer = line.mid(7).toInt();
        else if (line.startsWith(";TYPE:"))
            wall = line.trimmed() == ";TYPE:WALL-OUTER";
        const QRegularExpressionMatch m = extrusion.match(QString::fromLatin1(line));
        if (wall && layer >= 0 && m.hasMatch())
            points << QPointF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return points.boundingRect().center();
}

} // namespace

class tst_KzSliceRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void presetsSliceIntoThePreview_data();
    void presetsSliceIntoThePreview();
    void printStandsWhereTheModelStood();
    void stopEndsTheRun();
    void missingEngineLeavesNoPreview();
    void modelsOutsideTheVolumeAreNotSliced();
    void noPresetFileNoRun();

private:
    QPushButton* Button(const char* name) const { return m_stage.Button(name); }
    KzProgressWidget* Progress() const { return m_stage.Progress(); }
    void OpenCube(double size) { m_stage.OpenCube(m_dir.path(), size); }
    void ExpectIdle() { m_stage.ExpectIdle(); }

    QTemporaryDir m_dir;
    KzSliceStage m_stage;
    KzGLView*& m_pView = m_stage.m_pView;
    KzSliceWidget*& m_pPanel = m_stage.m_pPanel;
    QString m_strGCode;
};

void tst_KzSliceRun::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strGCode = KzSliceStage::StartMachine();
}

void tst_KzSliceRun::init()
{
    // The program's data folder: its preset file and its engine bridge.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    QFile::remove(m_strGCode);
    m_stage.Build();
}

void tst_KzSliceRun::cleanup()
{
    m_stage.Clear();
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
}

void tst_KzSliceRun::presetsSliceIntoThePreview_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("fast") << "pushButton_Fast";
    QTest::newRow("standard") << "pushButton_Standard";
    QTest::newRow("optimal") << "pushButton_Optimal";
}

// A click on a preset slices the plate; the end of the run enters the preview,
// enables saving, shows the print information and the layer controls, tip 12.
void tst_KzSliceRun::presetsSliceIntoThePreview()
{
    QFETCH(QString, button);
    OpenCube(10);
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QSignalSpy info(m_pPanel, &KzSliceWidget::signal_ShowPrintInfo);
    QSignalSpy tips(m_pPanel, &KzSliceWidget::signal_ShowTip);
    QTest::mouseClick(Button(qPrintable(button)), Qt::LeftButton);
    QVERIFY(!Button("pushButton_Fast")->parentWidget()->isEnabled());
    QVERIFY(layers.wait(120000));

    QVERIFY(m_pView->IsLayerMode());
    QVERIFY(Button("pushButton_SaveData")->isEnabled());
    QVERIFY(Button("pushButton_SaveTF")->isEnabled());
    QCOMPARE(info.count(), 1);
    QCOMPARE(tips.last().at(0).toInt(), 12);
    QCOMPARE(Progress()->GetValue(), Progress()->GetMaximum());
    const QString printInfo = m_pPanel->GetPrintInfo();
    QVERIFY2(!printInfo.isEmpty(), "the run's print information");
    QFile gcode(m_strGCode);
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QVERIFY(gcode.readAll().contains(";LAYER:0"));
}

// A model moved by fractions of a millimetre is printed where it stood: the
// outer walls the real engine lays down are centred on the plate's centre
// plus the model's place, within 0.1 mm.
void tst_KzSliceRun::printStandsWhereTheModelStood()
{
    OpenCube(20);
    m_pView->slot_ReceiveEditList({ 0, 25.5f, -14.5f, 0.0f });
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_Standard"), Qt::LeftButton);
    QVERIFY(layers.wait(120000));
    double cornerX = 0;
    double cornerY = 0;
    KzConfigureData::GetInstance()->GetLayerModelOffset(cornerX, cornerY);
    const QPointF expected(25.5 - cornerX, -14.5 - cornerY);
    const QPointF printed = OuterWallCentre(m_strGCode);
    QVERIFY2(qAbs(printed.x() - expected.x()) < 0.1 && qAbs(printed.y() - expected.y()) < 0.1,
             qPrintable(QString("printed at (%1, %2), the model stood at (%3, %4)")
                            .arg(printed.x()).arg(printed.y()).arg(expected.x()).arg(expected.y())));
}

// The stop button ends a run that is under way with "Stopped", no preview.
void tst_KzSliceRun::stopEndsTheRun()
{
    OpenCube(60);
    m_pPanel->ShowCustomPrint();
    QSignalSpy started(m_pPanel, &KzSliceWidget::signal_StartSlice);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QCOMPARE(started.count(), 1);
    QVERIFY(Button("pushButton_StopSlice")->isVisible());
    QTest::mouseClick(Button("pushButton_StopSlice"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kStopped), 5000);
    ExpectIdle();
    QCOMPARE(m_pPanel->GetPrintInfo(), QString());
}

// Without the engine the run fails: "Slice failed", the reason as a tip, no
// preview, and the controls are back to idle.
void tst_KzSliceRun::missingEngineLeavesNoPreview()
{
    const QString folder = m_dir.filePath("noengine");
    QVERIFY(QDir().mkpath(folder + "/Configure"));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"), folder + "/Configure/slice.xml"));
    KzDataFolder::Use(folder);
    OpenCube(10);
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy reason(m_pPanel, &KzSliceWidget::signal_ShowTipContext);
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_Fast"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kFailed), 10000);
    ExpectIdle();
    QCOMPARE(layers.count(), 0);
    QTRY_COMPARE(reason.count(), 1);
    QCOMPARE(reason.first().at(0).toString(), QString::fromUtf8(kFailed));
    QVERIFY(!reason.first().at(1).toString().isEmpty());
}

// A model taller than the machine is refused before anything is written:
// tip 19, no run, idle controls.
void tst_KzSliceRun::modelsOutsideTheVolumeAreNotSliced()
{
    OpenCube(10);
    m_pView->slot_ReceiveEditList({ 2, 30, 30, 30 });
    QVERIFY(!m_pView->AreAllModelsInBound());
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy tips(m_pPanel, &KzSliceWidget::signal_ShowTip);
    QSignalSpy started(m_pPanel, &KzSliceWidget::signal_StartSlice);
    QTest::mouseClick(Button("pushButton_Standard"), Qt::LeftButton);
    QCOMPARE(started.count(), 0);
    QCOMPARE(tips.count(), 1);
    QCOMPARE(tips.first().at(0).toInt(), 19);
    ExpectIdle();
    QVERIFY(!QFile::exists(m_strGCode));
}

// Without the preset file the user is told so and nothing is sliced with
// settings other than the chosen ones.
void tst_KzSliceRun::noPresetFileNoRun()
{
    const QString folder = m_dir.filePath("nopresets");
    QVERIFY(QDir().mkpath(folder));
    KzDataFolder::Use(folder);
    OpenCube(10);
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy started(m_pPanel, &KzSliceWidget::signal_StartSlice);
    QString boxText;
    QTimer::singleShot(200, [&boxText] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->accept();
        }
    });
    QTest::mouseClick(Button("pushButton_Fast"), Qt::LeftButton);
    QVERIFY2(boxText.contains("slice.xml"), qPrintable(boxText));
    QCOMPARE(started.count(), 0);
    ExpectIdle();
}

QTEST_MAIN(tst_KzSliceRun)
#include "tst_KzSliceRun.moc"
