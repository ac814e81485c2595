// The choosers as the user meets them: clicks on machine and material tiles
// store the choice at once, the material list follows the machine, tiles keep
// their picture square with the name below at any size, and the re-choose
// dialog accepts only "Yes". Grabs of the choosers and the dialog, in Chinese
// and English, are written to the test's folder for review.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzMachineSelectWidget.h"
#include "KzMaterialSelectWidget.h"
#include "KzReChooseWidget.h"
#include "KzSelectItemWidget.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Material
{
    int print = 0;
    int bed = 0;
};

// What the machine file says, read independently of the store: machine
// descriptions by name and material temperatures by name.
struct MachineFile
{
    QMap<QString, QString> descriptions;
    QMap<QString, Material> materials;

    bool Read(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QXmlStreamReader xml(&file);
        QString material;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("Machine"))
                descriptions[a.value("Name").toString()] = a.value("Description").toString();
            else if (xml.name() == QLatin1String("Material"))
                material = a.value("Name").toString();
            else if (xml.name() == QLatin1String("PrintTemperature"))
                materials[material].print = xml.readElementText().toInt();
            else if (xml.name() == QLatin1String("BedTemperature"))
                materials[material].bed = xml.readElementText().toInt();
        }
        return !xml.hasError();
    }
};

// The names of the material tiles a user can see.
QStringList VisibleMaterials(const KzMaterialSelectWidget& chooser)
{
    QStringList names;
    for (KzSelectItemWidget* item : chooser.GetItems()) {
        if (item->isVisibleTo(&chooser))
            names.append(item->GetNameLabel()->text());
    }
    return names;
}

void ClickTile(KzSelectItemWidget* item)
{
    QPushButton* picture = item->GetPictureButton();
    QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, picture->rect().center());
}

// Closes the dialog that runs modally next by a click on one of its buttons.
void ClickWhenShown(KzReChooseWidget& dialog, const char* button)
{
    QTimer::singleShot(0, &dialog, [&dialog, button] {
        QTRY_VERIFY(dialog.isVisible());
        QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    });
}

bool IsNear(QRgb pixel, QColor expected, int tolerance = 40)
{
    return qAbs(qRed(pixel) - expected.red()) <= tolerance && qAbs(qGreen(pixel) - expected.green()) <= tolerance
        && qAbs(qBlue(pixel) - expected.blue()) <= tolerance;
}

} // namespace

class tst_KzChoosers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void machineClicksStoreTheChoiceAndPickTheMaterials();
    void materialClicksStoreTheChoice();
    void tilesKeepThePictureSquareWithTheNameBelow();
    void dialogAcceptsOnlyYes();
    void dialogHostsTheChoosersInBothLanguages();
    void picturesAreEmbedded();

private:
    MachineFile m_file;
};

void tst_KzChoosers::initTestCase()
{
    // The build's data folder and its machine file.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    QVERIFY2(m_file.Read(KzDataFolder::GetConfigureFile("basic.xml")), "the build put the machine file in its data folder");
    QCOMPARE(m_file.descriptions.size(), 6);
    QCOMPARE(m_file.materials.size(), 4);
}

void tst_KzChoosers::machineClicksStoreTheChoiceAndPickTheMaterials()
{
    // Wired as the window wires them: a machine click picks the materials.
    QWidget page;
    QVBoxLayout layout(&page);
    KzMachineSelectWidget* machines = new KzMachineSelectWidget(&page);
    KzMaterialSelectWidget* materials = new KzMaterialSelectWidget(&page);
    QVERIFY(!machines->parent() && !materials->parent());
    layout.addWidget(machines);
    layout.addWidget(materials);
    connect(machines, &KzMachineSelectWidget::signal_ItemClicked, materials,
            &KzMaterialSelectWidget::ShowMaterialsOfMachine);
    page.resize(880, 520);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(machines->maximumSize(), QSize(880, 250));
    QSignalSpy clicked(machines, &KzMachineSelectWidget::signal_ItemClicked);
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();

    const QStringList names = { "Alder", "Hazel", "Cedar", "Birch", "Rowan", "Spruce" };
    const QList<KzSelectItemWidget*> tiles = machines->GetItems();
    QCOMPARE(tiles.size(), 6);
    for (int id = 0; id < 6; ++id) {
        QCOMPARE(tiles[id]->GetId(), id);
        QCOMPARE(tiles[id]->GetNameLabel()->text(), names[id]);
        QVERIFY(tiles[id]->GetPictureButton()->isCheckable());
    }

    const struct { int id; QStringList shown; } cases[] = {
        { 1, { "PLA", "ABS", "WOOD", "TPU" } },  // Hazel
        { 4, { "PLA" } },                        // Rowan
        { 5, { "PLA" } },                        // Spruce
        { 0, { "PLA", "ABS" } },                 // Alder
        { 3, { "PLA", "ABS", "WOOD" } },         // Birch
    };
    for (const auto& c : cases) {
        ClickTile(tiles[c.id]);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.takeFirst().at(0).toInt(), c.id);
        // Stored at the click: the machine file's description of that machine.
        QCOMPARE(config->GetCurrentMachineType(), c.id);
        QCOMPARE(config->GetCurrentMachineName(), m_file.descriptions.value(names[c.id]));
        QCOMPARE(VisibleMaterials(*materials), c.shown);
        for (const QString& material : c.shown)
            QVERIFY2(m_file.materials.contains(material), qPrintable(material + " is not in the machine file"));
        QVERIFY(tiles[c.id]->GetPictureButton()->isChecked());
    }
    // Nothing unchecks a machine picture once clicked.
    QVERIFY(tiles[1]->GetPictureButton()->isChecked() && tiles[4]->GetPictureButton()->isChecked());
    QVERIFY(!tiles[2]->GetPictureButton()->isChecked());

    // A machine without an entry changes nothing.
    QVERIFY(!materials->ShowMaterialsOfMachine(7));
    QCOMPARE(VisibleMaterials(*materials), QStringList({ "PLA", "ABS", "WOOD" }));
    // The remaining tiles share the freed width.
    QTRY_VERIFY(materials->GetItems()[0]->width() > 880 / 4);

    page.grab().save("choosers.png");
}

void tst_KzChoosers::materialClicksStoreTheChoice()
{
    KzMaterialSelectWidget materials;
    materials.resize(880, 250);
    materials.show();
    QVERIFY(QTest::qWaitForWindowExposed(&materials));
    QSignalSpy clicked(&materials, &KzMaterialSelectWidget::signal_ItemClicked);
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(1);  // Hazel has a heated bed.

    const QStringList names = { "PLA", "ABS", "WOOD", "TPU" };
    for (int id : { 1, 3, 0, 2 }) {
        KzSelectItemWidget* tile = materials.GetItems()[id];
        QCOMPARE(tile->GetNameLabel()->text(), names[id]);
        ClickTile(tile);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.takeFirst().at(0).toInt(), id);
        int print = 0, bed = 0;
        config->GetMaterialTemperature(print, bed);
        QCOMPARE(print, m_file.materials.value(names[id]).print);
        QCOMPARE(bed, m_file.materials.value(names[id]).bed);
        QVERIFY(!tile->GetPictureButton()->isChecked());
    }
    // A hidden material's tile is shown again by the window.
    materials.HideItem(2);
    QVERIFY(!materials.GetItems()[2]->isVisible());
    materials.ShowItem(2);
    QVERIFY(materials.GetItems()[2]->isVisible());
}

void tst_KzChoosers::tilesKeepThePictureSquareWithTheNameBelow()
{
    KzSelectItemWidget tile(7);
    tile.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tile));
    QPushButton* picture = tile.GetPictureButton();
    QLabel* name = tile.GetNameLabel();
    const struct { QSize size; QRect picture; QRect name; } cases[] = {
        // Tall and narrow: the width decides, the pair is centred vertically.
        { QSize(100, 300), QRect(0, 85, 100, 100), QRect(0, 195, 100, 30) },
        // Exactly 1.2 times the width plus 10: the height decides.
        { QSize(100, 130), QRect(0, 0, 100, 100), QRect(0, 110, 100, 30) },
        // Wide and low: the height decides, the pair is centred horizontally.
        { QSize(300, 130), QRect(100, 0, 100, 100), QRect(100, 110, 100, 30) },
        // Rounded: (151 - 10) / 1.2 = 117.5 gives 118.
        { QSize(147, 151), QRect(14, 0, 118, 118), QRect(14, 128, 118, 33) },
        // Too low for any picture.
        { QSize(80, 6), QRect(40, 0, 0, 0), QRect(40, 10, 0, 6) },
    };
    for (const auto& c : cases) {
        tile.resize(c.size);
        QTRY_COMPARE(tile.size(), c.size);
        QCOMPARE(picture->geometry(), c.picture);
        QCOMPARE(name->geometry(), c.name);
        QCOMPARE(picture->width(), picture->height());
    }

    // A click on the picture reports the tile's id.
    tile.resize(100, 300);
    QTRY_COMPARE(tile.size(), QSize(100, 300));
    QSignalSpy clicked(&tile, &KzSelectItemWidget::signal_ButtonClicked);
    QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 7);
    // The name below the picture is not part of the button.
    QTest::mouseClick(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(50, 200));
    QCOMPARE(clicked.size(), 1);
}

void tst_KzChoosers::dialogAcceptsOnlyYes()
{
    KzReChooseWidget dialog(nullptr);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.size(), QSize(840, 412));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.windowFlags() & Qt::Window);
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));

    QButtonGroup* group = dialog.findChild<QButtonGroup*>("buttonGroup");
    QVERIFY(group);
    QCOMPARE(group->id(dialog.findChild<QPushButton*>("pushButton_Close")), 0);
    QCOMPARE(group->id(dialog.findChild<QPushButton*>("pushButton_Yes")), 1);
    QCOMPARE(group->id(dialog.findChild<QPushButton*>("pushButton_No")), 2);

    // Enter takes the default button, "Yes"; the close button never is the default.
    QTimer::singleShot(0, &dialog, [&dialog] {
        QTRY_VERIFY(dialog.isVisible());
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!dialog.findChild<QPushButton*>("pushButton_Close")->autoDefault());

    ClickWhenShown(dialog, "pushButton_Close");
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    ClickWhenShown(dialog, "pushButton_Yes");
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    ClickWhenShown(dialog, "pushButton_No");
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));

    // Other ids do nothing.
    dialog.show();
    dialog.slot_ButtonClicked(3);
    QVERIFY(dialog.isVisible());
    dialog.slot_ButtonClicked(0);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void tst_KzChoosers::dialogHostsTheChoosersInBothLanguages()
{
    KzReChooseWidget dialog(nullptr);
    // As the window does the first time: material chooser appended, machine
    // chooser put before it.
    KzMachineSelectWidget* machines = new KzMachineSelectWidget;
    KzMaterialSelectWidget* materials = new KzMaterialSelectWidget;
    dialog.GetChooseLayout()->addWidget(materials);
    dialog.GetChooseLayout()->insertWidget(0, machines);
    QCOMPARE(machines->parentWidget(), dialog.findChild<QWidget*>("widget"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(machines->y() < materials->y());

    QPushButton* yes = dialog.findChild<QPushButton*>("pushButton_Yes");
    QPushButton* no = dialog.findChild<QPushButton*>("pushButton_No");
    QLabel* label = dialog.findChild<QLabel*>("label");
    QCOMPARE(yes->text(), QString("是"));
    QCOMPARE(no->text(), QString("否"));
    QCOMPARE(label->text(), QString("请确认此次打印选择的材料与机型是否匹配"));
    QCOMPARE(yes->size(), QSize(30, 30));
    // The whole instruction fits on the dialog.
    QVERIFY(label->sizeHint().width() <= label->width());
    dialog.grab().save("rechoose-zh.png");

    QTranslator english;
    QVERIFY(english.load(":/kzvellum_en.qm"));
    QApplication::installTranslator(&english);
    dialog.Retranslate();
    machines->Retranslate();
    QCOMPARE(yes->text(), QString("Yes"));
    QCOMPARE(no->text(), QString("No"));
    QCOMPARE(label->text(), QString("Be sure you have chose appropriate printer and material"));
    QCOMPARE(machines->GetItems()[1]->GetNameLabel()->text(), QString("Hazel"));
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QVERIFY(label->sizeHint().width() <= label->width());
    QTest::qWait(50);
    const QImage grabbed = dialog.grab().toImage();
    grabbed.save("rechoose-en.png");
    QApplication::removeTranslator(&english);

    // The material pictures are drawn: the winding of the PLA spool shows
    // its blue a quarter of the picture above the picture's centre.
    QPushButton* pla = materials->GetItems()[0]->GetPictureButton();
    const QPoint winding = pla->mapTo(&dialog, QPoint(pla->width() / 2, pla->height() / 2 - pla->height() * 27 / 100));
    const qreal ratio = grabbed.devicePixelRatio();
    QVERIFY2(IsNear(grabbed.pixel(winding * ratio), QColor(0x4b, 0xb6, 0xe2)),
             qPrintable(QColor(grabbed.pixel(winding * ratio)).name()));
}

void tst_KzChoosers::picturesAreEmbedded()
{
    const struct { const char* path; QSize size; } pictures[] = {
        { ":/Resources/5.png", QSize(200, 200) }, { ":/Resources/6.png", QSize(200, 200) },
        { ":/Resources/7.png", QSize(200, 200) }, { ":/Resources/8.png", QSize(200, 200) },
        { ":/Resources/021.png", QSize(30, 30) }, { ":/Resources/021p.png", QSize(30, 30) },
    };
    for (const auto& p : pictures) {
        const QImage image(p.path);
        QVERIFY2(!image.isNull(), p.path);
        QCOMPARE(image.size(), p.size);
    }
    // The close button's two states differ (light grey, then the accent blue).
    QVERIFY(QImage(":/Resources/021.png") != QImage(":/Resources/021p.png"));

    // Every machine tile shows its printer picture.
    KzMachineSelectWidget machines;
    for (const char* name : { "3333", "4444", "2222", "1111", "5555", "6666" })
        QVERIFY2(QFile::exists(QString(":/Resources/%1.png").arg(name)), name);
    for (KzSelectItemWidget* tile : machines.GetItems())
        QVERIFY(!tile->GetPictureButton()->icon().isNull());
}

QTEST_MAIN(tst_KzChoosers)
#include "tst_KzChoosers.moc"
