// The slice panel as a user meets it: the custom page filled from the preset
// file, its pages toggled from the dial, its texts in both languages, and the
// G-code saved through the real file dialog, also onto a full or read-only
// file system.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzDoubleSpinBox.h"
#include "KzProgressWidget.h"
#include "KzSliceWidget.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every numeric field of the custom page: its profile key and its format.
struct FieldSpec
{
    const char* object;
    const char* key;
    int decimals;
    double minimum;
    double maximum;
    double step;
};

const FieldSpec kFields[] = {
    { "doubleSpinBox_LayerThickness", "layer_height", 2, 0, 10, 0.1 },
    { "doubleSpinBox_ShellThickness", "wall_thickness", 2, 0, 10, 0.1 },
    { "doubleSpinBox_InitialLayerThickness", "bottom_thickness", 2, 0, 10, 0.1 },
    { "doubleSpinBox_PrintSpeed", "print_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_TravelSpeed", "travel_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_BottomSpeed", "bottom_layer_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_InfillSpeed", "infill_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_SolidSpeed", "solidarea_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_OuterSpeed", "inset0_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_InnerSpeed", "insetx_speed", 0, 1, 200, 10 },
    { "doubleSpinBox_UpSkinCount", "upSkin_Count", 0, 0, 100, 1 },
    { "doubleSpinBox_DownSkinCount", "downSkin_Count", 0, 0, 100, 1 },
    { "doubleSpinBox_InfillRate", "fill_density", 0, 0, 100, 1 },
    { "doubleSpinBox_SupportAngle", "support_angle", 0, 0, 90, 1 },
    { "doubleSpinBox_SupportRate", "support_fill_rate", 0, 0, 100, 1 },
    { "doubleSpinBox_XYDistance", "support_xy_distance", 2, 0, 100, 1 },
    { "doubleSpinBox_ZDistance", "support_z_distance", 2, 0, 100, 1 },
    { "doubleSpinBox_SprayTemperature", "print_temperature", 0, 0, 300, 1 },
    { "doubleSpinBox_PlatformTemperature", "print_bed_temperature", 0, 0, 300, 1 },
    { "doubleSpinBox_EdgeCount", "brim_line_count", 0, 0, 100, 1 },
    { "lineEdit_RetractionSpeed", "retraction_speed", 0, 0, 250, 1 },
    { "lineEdit_RetractionDistance", "retraction_amount", 2, 0, 99.99, 0.1 },
    { "lineEdit_RetractionMinDistance", "retraction_min_travel", 2, 0, 99.99, 0.1 },
    { "lineEdit_RetractionMinExtrusion", "retraction_minimal_extrusion", 2, 0, 99.99, 0.01 },
    { "lineEdit_RetractionZHop", "retraction_hop", 2, 0, 99.99, 0.05 },
    { "doubleSpinBox_ExtraEdge", "raft_margin", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftSpacing", "raft_line_spacing", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftBaseThickness", "raft_base_thickness", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftBaseLineSpacing", "raft_base_linewidth", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftInterfaceThickness", "raft_interface_thickness", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftInterfaceLineSpacing", "raft_interface_linewidth", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftAirGap", "raft_airgap_all", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftAirGap0", "raft_airgap", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftSurfaceLayerCount", "raft_surface_layers", 0, 0, 100, 1 },
    { "doubleSpinBox_RaftSurfaceThickness", "raft_surface_thickness", 2, 0, 100, 1 },
    { "doubleSpinBox_RaftSurfaceLineWidth", "raft_surface_linewidth", 2, 0, 100, 1 },
};

// The "Custom" column of a preset file, key to text.
QMap<QString, QString> ReadCustomColumn(const QString& path)
{
    QMap<QString, QString> column;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return column;
    QXmlStreamReader xml(&file);
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("SliceParam"))
            key = xml.attributes().value(QLatin1String("Name")).toString();
        else if (xml.name() == QLatin1String("Custom"))
            column.insert(key, xml.readElementText());
    }
    return column;
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), qint64(data.size()));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray PresetFile(const QMap<QString, QString>& custom)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SliceProfile>\n";
    for (auto it = custom.cbegin(); it != custom.cend(); ++it)
        xml += "  <SliceParam Name=\"" + it.key().toUtf8() + "\"><Custom>" + it.value().toUtf8()
               + "</Custom><Fast>1</Fast><Standard>1</Standard><Optimal>1</Optimal></SliceParam>\n";
    return xml + "</SliceProfile>\n";
}

// Answers every modal window that opens while it lives, as a user would: types
// the name into the real save dialog (or cancels it), confirms replacing an
// existing file, and keeps the text of the message box that reports the end.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(const QString& name, bool cancel = false) : m_strName(name), m_bCancel(cancel)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::Poll);
        m_timer.start(20);
    }

    int m_nDialogs = 0;
    QStringList m_listBoxTexts;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("kzAnswered").toBool())
            return;
        modal->setProperty("kzAnswered", true);
        if (QFileDialog* dialog = qobject_cast<QFileDialog*>(modal))
            AnswerDialog(dialog);
        else if (QMessageBox* box = qobject_cast<QMessageBox*>(modal))
            AnswerBox(box);
    }

    void AnswerDialog(QFileDialog* dialog)
    {
        ++m_nDialogs;
        QCOMPARE(dialog->windowTitle(), QString::fromUtf8("保存GCode")); // no translation loaded: the source text
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(dialog->nameFilters().contains(QStringLiteral("*.gcode")));
        if (m_bCancel) {
            dialog->reject();
            return;
        }
        QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        // Set as pasted: typed keys would open the completer's popup, which
        // keeps the keyboard and the dialog from closing.
        name->setText(m_strName);
        // Pressed after this poll returns: the dialog may ask whether to replace
        // the file, and that question must find the poll timer free to answer it.
        QDialogButtonBox* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Save));
        QPushButton* save = qobject_cast<QPushButton*>(buttons->button(QDialogButtonBox::Save));
        QTimer::singleShot(0, save, [save] { save->click(); });
    }

    void AnswerBox(QMessageBox* box)
    {
        if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
            yes->click(); // the dialog's question whether to replace the file
            return;
        }
        m_listBoxTexts << box->text();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->accept();
    }

    QString m_strName;
    bool m_bCancel;
    QTimer m_timer;
};

} // namespace

class tst_KzSliceWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void customPageShowsThePresetFile();
    void resetReadsAndClampsLikeTheProfile();
    void pagesToggleFromTheDial();
    void languageChangeKeepsTheChoices();
    void saveDialogNamesTheFile_data();
    void saveDialogNamesTheFile();
    void saveOntoAFullCardKeepsTheOldFile();
    void saveIntoAReadOnlyFolderFails();

private:
    KzDoubleSpinBox* Field(const char* name) { return m_pPanel->findChild<KzDoubleSpinBox*>(name); }
    QComboBox* Combo(const char* name) { return m_pPanel->findChild<QComboBox*>(name); }
    QPushButton* Button(const char* name) { return m_pPanel->findChild<QPushButton*>(name); }
    QString MountSmallFileSystem(QTemporaryDir& dir, const char* options);

    QString m_strStartFolder;
    QString m_strGCode;
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_pWindow;
    KzSliceWidget* m_pPanel = nullptr;
};

void tst_KzSliceWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strStartFolder = QDir::currentPath();
    // The build's data folder: its machine file, presets and engine.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    m_strGCode = KzConfigureData::GetInstance()->GetTmpGcodeFilePath();
    QVERIFY(QDir::setCurrent(QStringLiteral(KZ_OUTPUT_DIR)));
    QVERIFY(QFileInfo::exists(QStringLiteral("Configure/slice.xml")));
}

void tst_KzSliceWidget::init()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(KZ_OUTPUT_DIR)));
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    m_pWindow.reset(new QWidget);
    m_pWindow->resize(800, 640);
    m_pPanel = new KzSliceWidget(m_pWindow.get());
    m_pPanel->move(300, 30);
    m_pPanel->hide();
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
}

void tst_KzSliceWidget::cleanup()
{
    m_pWindow.reset();
    m_pPanel = nullptr;
    QDir::setCurrent(QStringLiteral(KZ_OUTPUT_DIR));
}

// Every field has its format and shows the shipped preset file's custom value.
void tst_KzSliceWidget::customPageShowsThePresetFile()
{
    const QMap<QString, QString> preset = ReadCustomColumn(QStringLiteral("Configure/slice.xml"));
    QVERIFY(preset.size() > 30);
    for (const FieldSpec& row : kFields) {
        KzDoubleSpinBox* field = Field(row.object);
        QVERIFY2(field, row.object);
        QCOMPARE(field->decimals(), row.decimals);
        QCOMPARE(field->minimum(), row.minimum);
        QCOMPARE(field->maximum(), row.maximum);
        QCOMPARE(field->singleStep(), row.step);
        QCOMPARE(field->buttonSymbols(), QAbstractSpinBox::NoButtons);
        QVERIFY2(preset.contains(row.key), row.key);
        const double expected = qBound(row.minimum, preset.value(row.key).toDouble(), row.maximum);
        QVERIFY2(qAbs(field->value() - expected) < 0.005,
                 qPrintable(QStringLiteral("%1 shows %2, preset %3").arg(row.object).arg(field->value())
                                .arg(preset.value(row.key))));
    }
    QCOMPARE(Combo("comboBox_SupportArea")->count(), 3);
    QCOMPARE(Combo("comboBox_SupportArea")->currentIndex(), 1); // Touching buildplate
    QCOMPARE(Combo("comboBox_Adhersion")->currentText(), preset.value(QStringLiteral("platform_adhesion")));

    // The wheel does not change a value, nor does it scroll the page instead.
    KzDoubleSpinBox* speed = Field("doubleSpinBox_PrintSpeed");
    const double before = speed->value();
    m_pPanel->ShowCustomPrint();
    QWheelEvent wheel(QPointF(5, 5), speed->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(speed, &wheel);
    QCOMPARE(speed->value(), before);
}

// Whole-number fields read the preset text as an int (40.0 reads as 0), the
// others as a double rounded to two decimals; every value is held in its range;
// the combo boxes map unknown words to their middle or last item. Reset brings
// back what the user changed.
void tst_KzSliceWidget::resetReadsAndClampsLikeTheProfile()
{
    QMap<QString, QString> custom;
    custom["layer_height"] = "0.126";
    custom["wall_thickness"] = "12.5";      // above 10
    custom["print_speed"] = "40.0";         // int of a decimal text: 0, held at the minimum 1
    custom["travel_speed"] = "500";         // above 200
    custom["fill_density"] = "35";
    custom["retraction_speed"] = "30.7";    // read as a double, shown whole
    custom["retraction_hop"] = "0.076";
    custom["support_angle"] = "120";        // above 90
    custom["support"] = "Everywhere";
    custom["platform_adhesion"] = "Raft";
    WriteFile(m_dir.filePath("odd/Configure/slice.xml"), PresetFile(custom));
    KzDataFolder::Use(m_dir.filePath("odd"));

    m_pPanel->ShowCustomPrint();
    QTest::mouseClick(Button("pushButton_Reset"), Qt::LeftButton);
    QCOMPARE(Field("doubleSpinBox_LayerThickness")->value(), 0.13);
    QCOMPARE(Field("doubleSpinBox_ShellThickness")->value(), 10.0);
    QCOMPARE(Field("doubleSpinBox_PrintSpeed")->value(), 1.0);
    QCOMPARE(Field("doubleSpinBox_TravelSpeed")->value(), 200.0);
    QCOMPARE(Field("doubleSpinBox_InfillRate")->value(), 35.0);
    QCOMPARE(Field("lineEdit_RetractionSpeed")->value(), 31.0);
    QCOMPARE(Field("lineEdit_RetractionZHop")->value(), 0.08);
    QCOMPARE(Field("doubleSpinBox_SupportAngle")->value(), 90.0);
    QCOMPARE(Combo("comboBox_SupportArea")->currentIndex(), 0);
    QCOMPARE(Combo("comboBox_Adhersion")->currentIndex(), 1);

    // The user changes a few settings; Reset restores the file's values.
    QLineEdit* edit = Field("doubleSpinBox_InfillRate")->findChild<QLineEdit*>();
    edit->selectAll();
    QTest::keyClicks(edit, "80");
    QCOMPARE(Field("doubleSpinBox_InfillRate")->value(), 80.0);
    Combo("comboBox_SupportArea")->setCurrentIndex(2);
    custom["support"] = "something else";
    custom["platform_adhesion"] = "Bogus";
    WriteFile(m_dir.filePath("odd/Configure/slice.xml"), PresetFile(custom));
    QTest::mouseClick(Button("pushButton_Reset"), Qt::LeftButton);
    QCOMPARE(Field("doubleSpinBox_InfillRate")->value(), 35.0);
    QCOMPARE(Combo("comboBox_SupportArea")->currentIndex(), 1);
    QCOMPARE(Combo("comboBox_Adhersion")->currentIndex(), 2);
}

// The dial's entries: a second click on the entry of the page shown hides the
// panel; the other entry switches pages. The action buttons follow the page.
void tst_KzSliceWidget::pagesToggleFromTheDial()
{
    QSignalSpy tips(m_pPanel, &KzSliceWidget::signal_ShowTip);
    QWidget* custom = m_pPanel->findChild<QWidget*>(QStringLiteral("widget_CustomWidget"));
    QWidget* onekey = m_pPanel->findChild<QWidget*>(QStringLiteral("widget_OnekeyPrint"));
    QLabel* customTitle = m_pPanel->findChild<QLabel*>(QStringLiteral("label_CustomPrint"));
    QLabel* onekeyTitle = m_pPanel->findChild<QLabel*>(QStringLiteral("label_OnekeyPrint"));
    QPushButton* start = Button("pushButton_StartSlice");
    QPushButton* save = Button("pushButton_SaveData");
    QPushButton* sd = Button("pushButton_SaveTF");

    m_pPanel->ShowOnekeyPrint();
    QVERIFY(m_pPanel->isVisible() && onekey->isVisible() && onekeyTitle->isVisible());
    QVERIFY(!custom->isVisible() && !customTitle->isVisible() && !start->isVisible());
    // The save buttons share one row, where the start button would be.
    QCOMPARE(save->pos(), start->pos());
    QCOMPARE(sd->pos(), start->pos() + QPoint(125, 0));

    m_pPanel->ShowOnekeyPrint();
    QVERIFY(!m_pPanel->isVisible());

    m_pPanel->ShowOnekeyPrint();
    m_pPanel->ShowCustomPrint();
    QVERIFY(m_pPanel->isVisible() && custom->isVisible() && customTitle->isVisible() && start->isVisible());
    QVERIFY(!onekey->isVisible() && !onekeyTitle->isVisible());
    QCOMPARE(save->pos(), start->pos() + QPoint(125, 0));
    QCOMPARE(sd->pos(), QPoint(start->x(), 91));
    // Nothing overlaps, and everything lies inside the panel.
    QVERIFY(!save->geometry().intersects(start->geometry()) && !sd->geometry().intersects(start->geometry()));
    const QRect inside = sd->parentWidget()->rect();
    QVERIFY(inside.contains(sd->geometry()) && inside.contains(save->geometry()));

    m_pPanel->ShowCustomPrint();
    QVERIFY(!m_pPanel->isVisible());
    QList<int> ids;
    for (const QList<QVariant>& tip : tips)
        ids << tip.at(0).toInt();
    QCOMPARE(ids, (QList<int>{ 10, 10, 11 }));

    // The close button hides the panel.
    m_pPanel->ShowCustomPrint();
    QTest::mouseClick(Button("pushButton_Close"), Qt::LeftButton);
    QVERIFY(!m_pPanel->isVisible());
}

void tst_KzSliceWidget::languageChangeKeepsTheChoices()
{
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/kzvellum_en.qm")));
    QComboBox* support = Combo("comboBox_SupportArea");
    QComboBox* adhesion = Combo("comboBox_Adhersion");
    support->setCurrentIndex(2);
    adhesion->setCurrentIndex(0);

    QApplication::installTranslator(&english);
    m_pPanel->Retranslate();
    QCOMPARE(support->currentIndex(), 2);
    QCOMPARE(support->currentText(), QStringLiteral("None"));
    QCOMPARE(adhesion->currentIndex(), 0);
    QCOMPARE(Button("pushButton_StartSlice")->text(), QStringLiteral("Start slicing"));
    QCOMPARE(m_pPanel->findChild<QLabel*>(QStringLiteral("label_CustomPrint"))->text(),
             QStringLiteral("Custom slice"));

    QApplication::removeTranslator(&english);
    m_pPanel->Retranslate();
    QCOMPARE(support->currentIndex(), 2);
    QCOMPARE(support->currentText(), QString::fromUtf8("无"));
    QCOMPARE(Button("pushButton_StartSlice")->text(), QString::fromUtf8("开始切片"));
}

void tst_KzSliceWidget::saveDialogNamesTheFile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("gcode in capitals") << "part.GCODE" << "part.GCODE";
    QTest::newRow("other suffix") << "part.txt" << "part.txt.gcode";
    QTest::newRow("no suffix") << "part" << "part.gcode";
}

// Saving data after a slice: the name typed into the real dialog, the file
// written whole, and the success box.
void tst_KzSliceWidget::saveDialogNamesTheFile()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);
    const QByteArray gcode = ";FLAVOR:RepRap\n;LAYER:0\nG1 X10 Y10 E1\n";
    WriteFile(m_strGCode, gcode);
    QTemporaryDir target;
    QVERIFY(target.isValid());
    m_pPanel->ShowOnekeyPrint();
    m_pPanel->slot_EnableSave();
    QPushButton* save = Button("pushButton_SaveData");
    QVERIFY(save->isEnabled());

    {
        ModalDriver user(target.filePath(typed));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(user.m_nDialogs, 1);
        QCOMPARE(user.m_listBoxTexts, QStringList{ QString::fromUtf8("保存成功") });
    }
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{ written });
    QCOMPARE(ReadFile(target.filePath(written)), gcode);
    // A plain new file: readable by others, as the card's other files are.
    QFileInfo info(target.filePath(written));
    QVERIFY(info.permissions() & QFileDevice::ReadOther);

    // A cancelled dialog writes nothing and shows no box.
    {
        ModalDriver user(QString(), true);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(user.m_nDialogs, 1);
        QVERIFY(user.m_listBoxTexts.isEmpty());
    }
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{ written });
}

QString tst_KzSliceWidget::MountSmallFileSystem(QTemporaryDir& dir, const char* options)
{
    if (geteuid() != 0 || mount("kz-test", qPrintable(dir.path()), "tmpfs", 0, options) != 0)
        return QString();
    return dir.path();
}

// A card with too little room: the copy fails part way, the old file stays
// as it was, no temporary file is left, and the user is told.
void tst_KzSliceWidget::saveOntoAFullCardKeepsTheOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString card = MountSmallFileSystem(dir, "size=64k");
    if (card.isEmpty())
        QSKIP("cannot mount a small tmpfs here (needs root)");
    const auto unmount = qScopeGuard([&] { umount2(qPrintable(card), MNT_DETACH); });

    const QByteArray old = ";old print\n;LAYER:0\nG1 X1\n";
    WriteFile(card + "/part.gcode", old);
    QByteArray big(200 * 1024, 'G');
    WriteFile(m_strGCode, big);

    QVERIFY(!m_pPanel->SaveGCodeTo(card + "/part.gcode"));
    QCOMPARE(ReadFile(card + "/part.gcode"), old);
    QCOMPARE(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{ "part.gcode" });
    QVERIFY(!m_pPanel->SaveGCodeTo(QString()));

    // Through the dialog: the failure is shown, and still nothing is lost.
    m_pPanel->slot_EnableSave();
    {
        ModalDriver user(card + "/part.gcode");
        QTest::mouseClick(Button("pushButton_SaveData"), Qt::LeftButton);
        QCOMPARE(user.m_nDialogs, 1);
        QCOMPARE(user.m_listBoxTexts, QStringList{ QString::fromUtf8("保存失败") });
    }
    QCOMPARE(ReadFile(card + "/part.gcode"), old);
    QCOMPARE(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{ "part.gcode" });

    // A G-code that fits replaces the old file whole.
    const QByteArray small = ";new print\n;LAYER:0\nG1 X2\n";
    WriteFile(m_strGCode, small);
    QVERIFY(m_pPanel->SaveGCodeTo(card + "/part.gcode"));
    QCOMPARE(ReadFile(card + "/part.gcode"), small);
    QCOMPARE(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{ "part.gcode" });
}

void tst_KzSliceWidget::saveIntoAReadOnlyFolderFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString card = MountSmallFileSystem(dir, "size=1m");
    if (card.isEmpty())
        QSKIP("cannot mount a small tmpfs here (needs root)");
    const auto unmount = qScopeGuard([&] { umount2(qPrintable(card), MNT_DETACH); });
    const QByteArray old = ";old print\n";
    WriteFile(card + "/part.gcode", old);
    // Read-only as a locked card is: even root cannot write there.
    QCOMPARE(mount("kz-test", qPrintable(card), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    WriteFile(m_strGCode, ";new\n;LAYER:0\n");

    QVERIFY(!m_pPanel->SaveGCodeTo(card + "/part.gcode"));
    QVERIFY(!m_pPanel->SaveGCodeTo(card + "/other.gcode"));
    QCOMPARE(ReadFile(card + "/part.gcode"), old);
    QCOMPARE(QDir(card).entryList(QDir::Files | QDir::Hidden), QStringList{ "part.gcode" });
}

QTEST_MAIN(tst_KzSliceWidget)
#include "tst_KzSliceWidget.moc"
