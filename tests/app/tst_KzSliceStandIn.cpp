// The slice panel driving a stand-in engine that the test writes: a shell
// program in place of "Engine/CuraEngine" that records the command line it was
// given and then does what the case needs (writes a G-code, fails with a
// reason, or sleeps without a word). So the settings the panel hands over can
// be read back exactly, and failures and stops can be timed and checked.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzDoubleSpinBox.h"
#include "KzGLView.h"
#include "KzProgressWidget.h"
#include "KzSliceStage.h"
#include "KzSliceWidget.h"
#include "KzTipWidget.h"
#include "KzViewTestSupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <cerrno>
#include <csignal>

namespace {

using namespace KzViewTest;

const char* const kStopped = "已停止";
const char* const kFailed = "切片失败";

// Every stand-in starts by leaving its pid and its arguments (NUL-separated:
// one argument holds line breaks) in the working folder, and knows its -o path.
const char kEngineHeader[] =
    "#!/bin/sh\n"
    "echo $$ > engine.pid\n"
    "printf '%s\\0' \"$@\" > engine.args\n"
    "out=; prev=\n"
    "for a in \"$@\"; do\n"
    "    if [ \"$prev\" = \"-o\" ]; then out=$a; fi\n"
    "    prev=$a\n"
    "done\n"
    "write_gcode() { printf ';FLAVOR:RepRap\\n;Print time: {print_time}\\nM104 S200\\n"
    ";LAYER:0\\nG0 X10 Y10 Z0.3\\nG1 X20 Y10 E1\\n;LAYER:1\\nG0 X10 Y10 Z0.6\\nG1 X20 Y10 E2\\n' > \"$out\";"
    " printf 'Print time: 3700\\r\\nFilament: 1234\\r\\n'; }\n";

const char kEngineWrites[] = "printf 'Layer count: 2\\r\\n'\nwrite_gcode\n";
// Silent until killed; exec keeps the recorded pid the sleeping one.
const char kEngineSilent[] = "exec sleep 60\n";

// A custom field, what the test types into it, and what the engine must get:
// the setting and its value in the engine's units (micrometres for lengths).
struct TypedField
{
    const char* object;
    const char* typed;
    const char* setting;
    int expected;
};

// Values unlike the shipped custom column, so that a field wired to the wrong
// key or left out shows as a wrong or a default value.
const TypedField kTyped[] = {
    { "doubleSpinBox_LayerThickness", "0.13", "layerThickness", 130 },
    { "doubleSpinBox_ShellThickness", "1.65", "insetCount", 4 }, // four 0.4 mm walls
    { "doubleSpinBox_InitialLayerThickness", "0.35", "initialLayerThickness", 350 },
    { "doubleSpinBox_PrintSpeed", "47", "printSpeed", 47 },
    { "doubleSpinBox_TravelSpeed", "123", "moveSpeed", 123 },
    { "doubleSpinBox_BottomSpeed", "17", "initialLayerSpeed", 17 },
    { "doubleSpinBox_InfillSpeed", "33", "infillSpeed", 33 },
    { "doubleSpinBox_SolidSpeed", "29", "skinSpeed", 29 },
    { "doubleSpinBox_OuterSpeed", "21", "inset0Speed", 21 },
    { "doubleSpinBox_InnerSpeed", "38", "insetXSpeed", 38 },
    { "doubleSpinBox_UpSkinCount", "7", "upSkinCount", 7 },
    { "doubleSpinBox_DownSkinCount", "6", "downSkinCount", 6 },
    { "doubleSpinBox_InfillRate", "25", "sparseInfillLineDistance", 1600 }, // 0.4 mm lines, 25 %
    { "doubleSpinBox_SupportAngle", "55", "supportAngle", 55 },
    { "doubleSpinBox_SupportRate", "32", "supportLineDistance", 1250 },
    { "doubleSpinBox_XYDistance", "0.71", "supportXYDistance", 710 },
    { "doubleSpinBox_ZDistance", "0.16", "supportZDistance", 160 },
    { "doubleSpinBox_SprayTemperature", "215", nullptr, 0 },      // in the start code
    { "doubleSpinBox_PlatformTemperature", "55", nullptr, 0 },    // in the start code
    { "doubleSpinBox_EdgeCount", "9", nullptr, 0 },               // with a brim only
    { "lineEdit_RetractionSpeed", "36", "retractionSpeed", 36 },
    { "lineEdit_RetractionDistance", "3.21", "retractionAmount", 3210 },
    { "lineEdit_RetractionMinDistance", "1.23", "retractionMinimalDistance", 1230 },
    { "lineEdit_RetractionMinExtrusion", "0.03", "minimalExtrusionBeforeRetraction", 30 },
    { "lineEdit_RetractionZHop", "0.15", "retractionZHop", 150 },
    { "doubleSpinBox_ExtraEdge", "4.5", nullptr, 0 },             // the raft's, below
    { "doubleSpinBox_RaftSpacing", "2.5", nullptr, 0 },
    { "doubleSpinBox_RaftBaseThickness", "0.31", nullptr, 0 },
    { "doubleSpinBox_RaftBaseLineSpacing", "0.9", nullptr, 0 },
    { "doubleSpinBox_RaftInterfaceThickness", "0.26", nullptr, 0 },
    { "doubleSpinBox_RaftInterfaceLineSpacing", "0.41", nullptr, 0 },
    { "doubleSpinBox_RaftAirGap", "0.05", nullptr, 0 },
    { "doubleSpinBox_RaftAirGap0", "0.2", nullptr, 0 },
    { "doubleSpinBox_RaftSurfaceLayerCount", "3", nullptr, 0 },
    { "doubleSpinBox_RaftSurfaceThickness", "0.28", nullptr, 0 },
    { "doubleSpinBox_RaftSurfaceLineWidth", "0.42", nullptr, 0 },
};

// The raft settings from the typed raft fields (the airgap of the first layer
// adds the gap under every layer).
const QMap<QString, int> kRaftExpected = {
    { "raftMargin", 4500 }, { "raftLineSpacing", 2500 }, { "raftBaseThickness", 310 },
    { "raftBaseLinewidth", 900 }, { "raftInterfaceThickness", 260 }, { "raftInterfaceLinewidth", 410 },
    { "raftInterfaceLineSpacing", 820 }, { "raftAirGap", 50 }, { "raftAirGapLayer0", 250 },
    { "raftSurfaceLayers", 3 }, { "raftSurfaceThickness", 280 }, { "raftSurfaceLinewidth", 420 },
    { "raftBaseSpeed", 17 }, { "raftSurfaceSpeed", 17 }, { "skirtLineCount", 0 },
};

// One column of the preset file, key to text.
QMap<QString, QString> ReadPresetColumn(const QString& path, const QString& column)
{
    QMap<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    QXmlStreamReader xml(&file);
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("SliceParam"))
            key = xml.attributes().value(QLatin1String("Name")).toString();
        else if (xml.name() == column)
            values.insert(key, xml.readElementText());
    }
    return values;
}

int Microns(const QString& millimetres)
{
    return qRound(millimetres.toDouble() * 1000);
}

// Keeps a picture of the panel when KZ_SAVE_FRAMES names a folder.
void SaveFrame(QWidget* panel, const QString& name)
{
    const QString folder = qEnvironmentVariable("KZ_SAVE_FRAMES");
    if (!folder.isEmpty())
        panel->grab().save(QStringLiteral("%1/%2.png").arg(folder, name));
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

pid_t ReadPid()
{
    QFile file(QStringLiteral("engine.pid"));
    return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : pid_t(-1);
}

// Gone for good: no such process, or only its exit status is left for a parent
// that is not this process.
bool ProcessGone(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')');
    return end > 0 && line.mid(end + 2, 1) == "Z";
}

// Closes the message boxes that come up while it lives and keeps their texts.
class BoxCloser : public QObject
{
public:
    BoxCloser() { Arm(); }
    QStringList m_listTexts;

private:
    void Arm() { QTimer::singleShot(50, this, [this] { Close(); }); }
    void Close()
    {
        if (QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            m_listTexts << box->text();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }
        Arm();
    }
};

} // namespace

class tst_KzSliceStandIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void customPageReachesTheEngine();
    void bedStaysColdWithoutAHeatedBed_data();
    void bedStaysColdWithoutAHeatedBed();
    void presetsHandTheirColumn_data();
    void presetsHandTheirColumn();
    void presetWithAWordIsNotSliced();
    void failingEngineLeavesNoPreview();
    void engineWithoutAWordStillGivesAReason();
    void stopWhileTheEngineIsSilent();
    void stopRightAfterStartStopsThatRun();
    void stopCrossingTheEndLeavesTheNextRunAlone();
    void destroyingThePanelEndsTheRun();
    void anotherPrinterDuringARunDropsIt();
    void pagesInBothLanguages();

private:
    QPushButton* Button(const char* name) const { return m_stage.Button(name); }
    KzProgressWidget* Progress() const { return m_stage.Progress(); }
    void InstallEngine(const char* body);
    void OpenCube(double size) { m_stage.OpenCube(m_dir.path(), size); }
    void TypeCustomPage();
    void Choose(const char* combo, int index);
    void SliceCustom();
    QMap<QString, QString> EngineSettings();
    void ExpectIdle() { m_stage.ExpectIdle(); }
    void ExpectTypedSettings(const QMap<QString, QString>& settings);

    QTemporaryDir m_dir;
    KzSliceStage m_stage;
    KzGLView*& m_pView = m_stage.m_pView;
    KzSliceWidget*& m_pPanel = m_stage.m_pPanel;
    QString m_strGCode;
};

void tst_KzSliceStandIn::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The values below are typed with a decimal point, whatever the machine's language.
    QLocale::setDefault(QLocale::c());
    m_strGCode = KzSliceStage::StartMachine();
    // The data folder, with the shipped preset file and a stand-in engine; it
    // is the working folder too, where the stand-in leaves its records.
    QVERIFY(QDir().mkpath(m_dir.filePath("Configure")));
    QVERIFY(QDir().mkpath(m_dir.filePath("Engine")));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"), m_dir.filePath("Configure/slice.xml")));
}

void tst_KzSliceStandIn::init()
{
    QVERIFY(QDir::setCurrent(m_dir.path()));
    KzDataFolder::Use(m_dir.path());
    QFile::remove(m_strGCode);
    QFile::remove(QStringLiteral("engine.args"));
    QFile::remove(QStringLiteral("engine.pid"));
    m_stage.Build();
    OpenCube(10);
}

void tst_KzSliceStandIn::cleanup()
{
    m_stage.Clear();
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    config->SetMaterialID(0);
}

void tst_KzSliceStandIn::InstallEngine(const char* body)
{
    const QString path = m_dir.filePath("Engine/CuraEngine");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray script = QByteArray(kEngineHeader) + body;
    QCOMPARE(file.write(script), qint64(script.size()));
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// Each field as a user edits it: select the text, type the new value.
void tst_KzSliceStandIn::TypeCustomPage()
{
    m_pPanel->ShowCustomPrint();
    for (const TypedField& row : kTyped) {
        KzDoubleSpinBox* field = m_pPanel->findChild<KzDoubleSpinBox*>(row.object);
        QVERIFY2(field, row.object);
        const double typed = QByteArray(row.typed).toDouble();
        QVERIFY2(qAbs(field->value() - typed) > 0.001, row.object); // differs from the preset
        QLineEdit* edit = field->findChild<QLineEdit*>();
        QVERIFY(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, row.typed);
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY2(qAbs(field->value() - typed) < 0.001,
                 qPrintable(QStringLiteral("%1 shows %2").arg(row.object).arg(field->value())));
    }
}

// Picks a combo box item with the keyboard.
void tst_KzSliceStandIn::Choose(const char* name, int index)
{
    QComboBox* combo = m_pPanel->findChild<QComboBox*>(name);
    QVERIFY(combo);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentIndex(), index);
}

void tst_KzSliceStandIn::SliceCustom()
{
    QFile::remove(QStringLiteral("engine.args"));
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QVERIFY(layers.wait(20000));
}

// The engine's -s settings, key to value, as the stand-in received them.
QMap<QString, QString> tst_KzSliceStandIn::EngineSettings()
{
    QMap<QString, QString> settings;
    QFile file(QStringLiteral("engine.args"));
    if (!file.open(QIODevice::ReadOnly))
        return settings;
    const QList<QByteArray> arguments = file.readAll().split('\0');
    for (int i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) != "-s")
            continue;
        const QString pair = QString::fromUtf8(arguments.at(++i));
        const int equals = pair.indexOf(QLatin1Char('='));
        settings.insert(pair.left(equals), pair.mid(equals + 1));
    }
    return settings;
}

// What every custom run carries whatever the combo boxes say.
void tst_KzSliceStandIn::ExpectTypedSettings(const QMap<QString, QString>& settings)
{
    for (const TypedField& row : kTyped) {
        if (!row.setting)
            continue;
        QVERIFY2(settings.contains(row.setting), row.setting);
        QCOMPARE(settings.value(row.setting).toInt(), row.expected);
    }
    const QString start = settings.value(QStringLiteral("startCode"));
    QVERIFY2(start.contains("M104 S215\r\nM109 S215"), qPrintable(start));
    // Where the view put the models on the plate, as the store has it.
    double x = 0;
    double y = 0;
    KzConfigureData::GetInstance()->GetPrintPos(x, y);
    QCOMPARE(settings.value("posx").toInt(), qRound(x * 1000));
    QCOMPARE(settings.value("posy").toInt(), qRound(y * 1000));
}

// Every field of the custom page typed by the user reaches the engine as its
// own setting, with each combination of the combo boxes.
void tst_KzSliceStandIn::customPageReachesTheEngine()
{
    InstallEngine(kEngineWrites);
    // The model off the plate's centre, so the print position is not the default.
    m_pView->slot_ReceiveEditList({ 0, 12.6, -7.3, 0 });
    TypeCustomPage();
    if (QTest::currentTestFailed())
        return;

    Choose("comboBox_SupportArea", 0);
    Choose("comboBox_Adhersion", 0);
    SliceCustom();
    if (QTest::currentTestFailed())
        return;
    QMap<QString, QString> settings = EngineSettings();
    ExpectTypedSettings(settings);
    if (QTest::currentTestFailed())
        return;
    // Hazel, 200 x 200: the plate's centre plus the model's place, to the micrometre.
    QCOMPARE(settings.value("posx").toInt(), 112600);
    QCOMPARE(settings.value("posy").toInt(), 92700);
    QVERIFY(settings.value("startCode").contains("M140 S55\r\nM190 S55"));
    QCOMPARE(settings.value("supportEverywhere"), QStringLiteral("1"));
    QCOMPARE(settings.value("skirtLineCount"), QStringLiteral("9"));
    QCOMPARE(settings.value("skirtDistance"), QStringLiteral("0"));
    QVERIFY(!settings.contains("raftMargin"));

    Choose("comboBox_SupportArea", 1);
    Choose("comboBox_Adhersion", 1);
    SliceCustom();
    settings = EngineSettings();
    ExpectTypedSettings(settings);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(settings.value("supportEverywhere"), QStringLiteral("0"));
    for (auto it = kRaftExpected.cbegin(); it != kRaftExpected.cend(); ++it)
        QVERIFY2(settings.value(it.key()).toInt() == it.value(),
                 qPrintable(QStringLiteral("%1=%2").arg(it.key(), settings.value(it.key()))));

    Choose("comboBox_SupportArea", 2);
    Choose("comboBox_Adhersion", 2);
    SliceCustom();
    settings = EngineSettings();
    QCOMPARE(settings.value("supportAngle"), QStringLiteral("-1")); // no support
    QVERIFY(settings.contains("skirtMinLength"));
    QVERIFY(!settings.contains("raftMargin"));
    QVERIFY(settings.value("skirtLineCount") != QStringLiteral("9"));
    // The run went through to the preview.
    QVERIFY(m_pView->IsLayerMode());
    QVERIFY(Button("pushButton_SaveData")->isEnabled());
}

void tst_KzSliceStandIn::bedStaysColdWithoutAHeatedBed_data()
{
    QTest::addColumn<int>("machine");
    QTest::addColumn<int>("bed");
    QTest::newRow("Rowan") << 4 << 0;
    QTest::newRow("Spruce") << 5 << 0;
    QTest::newRow("Alder") << 0 << 55;
}

// The bed field may say anything: a machine without a heated bed gets 0.
void tst_KzSliceStandIn::bedStaysColdWithoutAHeatedBed()
{
    QFETCH(int, machine);
    QFETCH(int, bed);
    KzConfigureData::GetInstance()->SetMachineType(machine);
    QCOMPARE(KzConfigureData::GetInstance()->GetCurrentMachineType(), machine);
    m_pView->slot_ReloadSize();
    InstallEngine(kEngineWrites);
    TypeCustomPage();
    if (QTest::currentTestFailed())
        return;
    SliceCustom();
    const QString start = EngineSettings().value("startCode");
    QVERIFY2(start.contains(QStringLiteral("M140 S%1\r\nM190 S%1\r\nM104 S215").arg(bed)), qPrintable(start));
}

void tst_KzSliceStandIn::presetsHandTheirColumn_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("column");
    QTest::newRow("fast") << "pushButton_Fast" << "Fast";
    QTest::newRow("standard") << "pushButton_Standard" << "Standard";
    QTest::newRow("optimal") << "pushButton_Optimal" << "Optimal";
}

// A preset sends its own column of the preset file and the material's
// temperatures; nothing the user typed on the custom page.
void tst_KzSliceStandIn::presetsHandTheirColumn()
{
    QFETCH(QString, button);
    QFETCH(QString, column);
    KzConfigureData::GetInstance()->SetMaterialID(1); // ABS: 240 / 100
    InstallEngine(kEngineWrites);
    TypeCustomPage();
    if (QTest::currentTestFailed())
        return;
    m_pPanel->ShowOnekeyPrint();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button(qPrintable(button)), Qt::LeftButton);
    QVERIFY(layers.wait(20000));

    const QMap<QString, QString> preset = ReadPresetColumn(QStringLiteral("Configure/slice.xml"), column);
    QVERIFY(preset.size() > 30);
    const QMap<QString, QString> settings = EngineSettings();
    QCOMPARE(settings.value("layerThickness").toInt(), Microns(preset.value("layer_height")));
    QCOMPARE(settings.value("initialLayerThickness").toInt(), Microns(preset.value("bottom_thickness")));
    QCOMPARE(settings.value("printSpeed"), preset.value("print_speed"));
    QCOMPARE(settings.value("moveSpeed"), preset.value("travel_speed"));
    QCOMPARE(settings.value("infillSpeed"), preset.value("infill_speed"));
    QCOMPARE(settings.value("inset0Speed"), preset.value("inset0_speed"));
    QCOMPARE(settings.value("upSkinCount"), preset.value("upSkin_Count"));
    QCOMPARE(settings.value("supportAngle"), preset.value("support_angle"));
    QCOMPARE(settings.value("retractionSpeed"), preset.value("retraction_speed"));
    QCOMPARE(settings.value("sparseInfillLineDistance").toInt(), 40000 / preset.value("fill_density").toInt());
    if (preset.value("platform_adhesion") == QLatin1String("Brim"))
        QCOMPARE(settings.value("skirtLineCount"), preset.value("brim_line_count"));
    else
        QVERIFY(settings.contains("skirtMinLength"));
    QVERIFY2(settings.value("startCode").contains("M140 S100\r\nM190 S100\r\nM104 S240\r\nM109 S240"),
             qPrintable(settings.value("startCode")));
}

// A preset file that is well-formed but holds a word for the layer height is
// refused like a missing one: the user is told which setting, and the engine
// never gets settings other than the ones chosen.
void tst_KzSliceStandIn::presetWithAWordIsNotSliced()
{
    const QString presets = QStringLiteral("Configure/slice.xml");
    QFile file(presets);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray shipped = file.readAll();
    file.close();
    const auto restore = qScopeGuard([&] {
        QFile::remove(presets);
        QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"), presets));
    });
    QByteArray broken = shipped;
    broken.replace("<Fast>0.30</Fast>", "<Fast>abc</Fast>");
    QVERIFY(broken != shipped);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(broken), qint64(broken.size()));
    file.close();

    InstallEngine(kEngineWrites);
    m_pPanel->ShowOnekeyPrint();
    {
        BoxCloser user;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the slicing presets cannot be used: .*layer_height"));
        QTest::mouseClick(Button("pushButton_Fast"), Qt::LeftButton);
        QCOMPARE(user.m_listTexts.size(), 1);
        QVERIFY2(user.m_listTexts.first().endsWith(QStringLiteral("setting \"layer_height\", Fast: \"abc\" is not a number of 0 or more")),
                 qPrintable(user.m_listTexts.first()));
    }
    QTest::qWait(300);
    QVERIFY(!QFile::exists(QStringLiteral("engine.args")));
    ExpectIdle();
}

// The engine starts but refuses the job: "Slice failed" with the engine's
// reason in a tip, no preview, nothing to save, and nothing left of the
// previous run's print information.
void tst_KzSliceStandIn::failingEngineLeavesNoPreview()
{
    InstallEngine(kEngineWrites);
    m_pPanel->ShowCustomPrint();
    SliceCustom();
    QVERIFY(m_pView->IsLayerMode());
    QVERIFY(!m_pPanel->GetPrintInfo().isEmpty());

    InstallEngine("printf 'Layer count: 4\\r\\nProgress:inset:1:4\\r\\n'\n"
                  "printf 'Error: the mesh has no closed volume\\r\\n' >&2\nexit 1\n");
    QSignalSpy reason(m_pPanel, &KzSliceWidget::signal_ShowTipContext);
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QSignalSpy tips(m_pPanel, &KzSliceWidget::signal_ShowTip);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kFailed), 20000);
    ExpectIdle();
    QCOMPARE(layers.count(), 0);
    QCOMPARE(tips.count(), 0);
    QCOMPARE(reason.count(), 1);
    QCOMPARE(reason.first().at(0).toString(), QString::fromUtf8(kFailed));
    QCOMPARE(reason.first().at(1).toString(), QStringLiteral("the mesh has no closed volume"));
    QCOMPARE(m_pPanel->GetPrintInfo(), QString());
    SaveFrame(m_pPanel, "slice-failed");

    // An engine that ends well but writes nothing is a failure too, and says so.
    InstallEngine("printf 'Layer count: 4\\r\\n'\nexit 0\n");
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Button("pushButton_StartSlice")->isEnabled(), 20000);
    QCOMPARE(Progress()->GetLabelText(), QString::fromUtf8(kFailed));
    ExpectIdle();
    QCOMPARE(reason.count(), 2);
    QCOMPARE(reason.last().at(1).toString(), QString::fromUtf8("切片引擎没有写出G-code"));
}

// An engine that crashes, or exits with a code and no word, still gives the
// user a reason, in the tip balloon and in the user's language.
void tst_KzSliceStandIn::engineWithoutAWordStillGivesAReason()
{
    KzTipWidget tip(m_pView->window());
    connect(m_pPanel, &KzSliceWidget::signal_ShowTipContext, &tip, &KzTipWidget::slot_SetTipContext);
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/kzvellum_en.qm")));
    m_pPanel->ShowCustomPrint();
    const QList<QPair<const char*, QString>> engines = {
        { "printf 'Layer count: 4\\r\\n'\nkill -SEGV $$\n", QString::fromUtf8("切片引擎意外停止（信号 11）") },
        { "exit 3\n", QString::fromUtf8("切片引擎退出，代码 3") },
        { "kill -SEGV $$\n", QStringLiteral("The slicing engine stopped unexpectedly (signal 11)") },
        { "exit 3\n", QStringLiteral("The slicing engine exited with code 3") },
    };
    for (int i = 0; i < engines.size(); ++i) {
        const bool inEnglish = i >= 2;
        if (inEnglish)
            QApplication::installTranslator(&english);
        InstallEngine(engines.at(i).first);
        QSignalSpy ended(m_pPanel, &KzSliceWidget::signal_ShowTipContext);
        QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
        QVERIFY(ended.wait(20000));
        ExpectIdle();
        QCOMPARE(tip.GetTitle(), inEnglish ? QStringLiteral("Slice failed") : QString::fromUtf8(kFailed));
        QCOMPARE(tip.GetDetail(), engines.at(i).second);
        SaveFrame(&tip, QStringLiteral("slice-failed-reason-%1").arg(i));
    }
    QApplication::removeTranslator(&english);
}

// The engine says nothing; the stop button still ends the run at once, kills
// the engine, and the next run goes through.
void tst_KzSliceStandIn::stopWhileTheEngineIsSilent()
{
    InstallEngine(kEngineSilent);
    m_pPanel->ShowOnekeyPrint();
    QTest::mouseClick(Button("pushButton_Standard"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ReadPid() > 0, 10000);
    const pid_t engine = ReadPid();
    QTest::qWait(200);
    QVERIFY(!ProcessGone(engine));
    QPushButton* stop = Button("pushButton_StopSlice");
    QVERIFY(stop->isVisible() && stop->isEnabled());
    SaveFrame(m_pPanel, "slice-running");

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(stop, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kStopped), 10000);
    const qint64 elapsed = clock.elapsed();
    qInfo("stopped %lld ms after the click", elapsed);
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    QVERIFY(ProcessGone(engine));
    ExpectIdle();
    QCOMPARE(m_pPanel->GetPrintInfo(), QString());
    SaveFrame(m_pPanel, "slice-stopped");

    InstallEngine(kEngineWrites);
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_Fast"), Qt::LeftButton);
    QVERIFY(layers.wait(20000));
    QVERIFY(m_pView->IsLayerMode());
}

// A stop clicked as soon as the run was asked for, perhaps before the worker
// took it up, still stops that run and not a later one.
void tst_KzSliceStandIn::stopRightAfterStartStopsThatRun()
{
    InstallEngine("sleep 3\nwrite_gcode\n");
    m_pPanel->ShowCustomPrint();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QTest::mouseClick(Button("pushButton_StopSlice"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kStopped), 10000);
    ExpectIdle();
    QTest::qWait(100);
    QCOMPARE(layers.count(), 0);

    InstallEngine(kEngineWrites);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QVERIFY(layers.wait(20000));
}

// The user clicks stop just as the engine finishes: the run is over on the
// worker, its end not yet seen by the panel. That run ends well, and the click
// must not stop the next one.
void tst_KzSliceStandIn::stopCrossingTheEndLeavesTheNextRunAlone()
{
    InstallEngine(kEngineWrites);
    m_pPanel->ShowCustomPrint();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    // No events run here: the panel still shows the run as under way while
    // the job fills in the print time, its last step, and reports the end.
    QElapsedTimer clock;
    clock.start();
    QByteArray gcode;
    while (!gcode.contains("1 hour 1 minutes") && clock.elapsed() < 20000) {
        QThread::msleep(20);
        QFile file(m_strGCode);
        if (file.open(QIODevice::ReadOnly))
            gcode = file.readAll();
    }
    QVERIFY(gcode.contains("1 hour 1 minutes"));
    QThread::msleep(300);
    QPushButton* stop = Button("pushButton_StopSlice");
    QVERIFY(stop->isVisibleTo(m_pPanel));
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(layers.wait(10000));
    QVERIFY(m_pView->IsLayerMode());

    QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
    QVERIFY(layers.wait(20000));
    QCOMPARE(layers.count(), 2);
    QVERIFY(m_pView->IsLayerMode());
    QVERIFY(Progress()->GetLabelText() != QString::fromUtf8(kStopped));
}

// Another printer chosen while a run is under way: its G-code is for the old
// printer, so the run ends as stopped with nothing to preview or save, also
// when the engine has finished before the stop could reach it.
void tst_KzSliceStandIn::anotherPrinterDuringARunDropsIt()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    const int machine = config->GetCurrentMachineType();
    QSignalSpy layers(m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    m_pPanel->ShowCustomPrint();
    for (const char* engine : { kEngineSilent, kEngineWrites }) {
        InstallEngine(engine);
        QFile::remove(m_strGCode);
        QTest::mouseClick(Button("pushButton_StartSlice"), Qt::LeftButton);
        if (engine == kEngineSilent) {
            QTRY_VERIFY_WITH_TIMEOUT(ReadPid() > 0, 10000);
        } else {
            // No events run: the job finishes while the panel still shows the run.
            QElapsedTimer clock;
            clock.start();
            while (!ReadAll(m_strGCode).contains("1 hour 1 minutes") && clock.elapsed() < 20000)
                QThread::msleep(20);
            QThread::msleep(300);
        }
        config->SetMachineType(config->GetCurrentMachineType() == machine ? (machine == 2 ? 1 : 2) : machine);
        m_pPanel->slot_ChoiceChanged();
        QTRY_COMPARE_WITH_TIMEOUT(Progress()->GetLabelText(), QString::fromUtf8(kStopped), 10000);
        ExpectIdle();
        QCOMPARE(layers.count(), 0);
        QFile::remove(QStringLiteral("engine.pid"));
    }
}

// Closing the program mid-run: the panel's destructor stops the silent engine
// and waits for its thread; nothing is left running.
void tst_KzSliceStandIn::destroyingThePanelEndsTheRun()
{
    InstallEngine(kEngineSilent);
    m_pPanel->ShowOnekeyPrint();
    QTest::mouseClick(Button("pushButton_Optimal"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ReadPid() > 0, 10000);
    const pid_t engine = ReadPid();
    QVERIFY(!ProcessGone(engine));

    QElapsedTimer clock;
    clock.start();
    delete m_pPanel;
    m_pPanel = nullptr;
    const qint64 elapsed = clock.elapsed();
    qInfo("the panel was gone %lld ms after the delete", elapsed);
    QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
    QVERIFY(ProcessGone(engine));
    // The run's last signals find no panel; the window lives on.
    QTest::qWait(200);
    QVERIFY(m_pView->window()->isVisible());
    QVERIFY(!m_pView->IsLayerMode());
}

// Both pages in Chinese (the source texts) and in English: every caption fits
// its widget. With KZ_SAVE_FRAMES set the four pictures are kept there.
void tst_KzSliceStandIn::pagesInBothLanguages()
{
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/kzvellum_en.qm")));
    const QString folder = qEnvironmentVariable("KZ_SAVE_FRAMES");
    for (const bool inEnglish : { false, true }) {
        if (inEnglish)
            QApplication::installTranslator(&english);
        m_pPanel->Retranslate();
        const QString language = inEnglish ? "en" : "zh";
        QCOMPARE(Button("pushButton_StartSlice")->text(),
                 inEnglish ? QStringLiteral("Start slicing") : QString::fromUtf8("开始切片"));
        for (const bool custom : { true, false }) {
            m_pPanel->hide();
            custom ? m_pPanel->ShowCustomPrint() : m_pPanel->ShowOnekeyPrint();
            QVERIFY(m_pPanel->isVisible());
            QApplication::processEvents();
            const QImage picture = m_pPanel->grab().toImage();
            QCOMPARE(picture.size(), m_pPanel->size());
            if (!folder.isEmpty()) {
                picture.save(QStringLiteral("%1/slice-%2-%3.png").arg(folder, custom ? "custom" : "onekey", language));
                // The custom page's whole list, beyond what its scroll area shows.
                if (custom)
                    m_pPanel->findChild<QScrollArea*>()->widget()->grab().save(
                        QStringLiteral("%1/slice-custom-list-%2.png").arg(folder, language));
            }
            for (QLabel* label : m_pPanel->findChildren<QLabel*>()) {
                if (!label->isVisibleTo(m_pPanel) || label->text().isEmpty() || label->wordWrap())
                    continue;
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(needed <= label->contentsRect().width(),
                         qPrintable(QStringLiteral("%1 (%2): %3 px in %4").arg(label->objectName(), label->text())
                                        .arg(needed).arg(label->contentsRect().width())));
            }
            for (QPushButton* button : m_pPanel->findChildren<QPushButton*>()) {
                if (!button->isVisibleTo(m_pPanel) || button->text().isEmpty())
                    continue;
                const int needed = button->fontMetrics().horizontalAdvance(button->text());
                QVERIFY2(needed <= button->width(),
                         qPrintable(QStringLiteral("%1 (%2): %3 px in %4").arg(button->objectName(), button->text())
                                        .arg(needed).arg(button->width())));
            }
        }
        if (inEnglish)
            QApplication::removeTranslator(&english);
    }
    m_pPanel->Retranslate();
}

QTEST_MAIN(tst_KzSliceStandIn)
#include "tst_KzSliceStandIn.moc"
