// The road of one print through the real main window, as a user walks it with
// the mouse: open a model through the open dialog, slice it with the standard
// preset on the real engine, look through the layers, save the G-code onto an
// SD card (a fake removable mount backed by a temporary folder), leave the
// preview, save the plate as STL and remove the model. And the re-choose
// dialog: another machine and material, then No puts everything back.
#include "KLayerBookmarkLabel.h"
#include "KzDataFolder.h"
#include "KzConfigureData.h"
#include "KzEditControlWidget.h"
#include "KzGLView.h"
#include "KzSelectItemWidget.h"
#include "KzTipWidget.h"
#include "KzRemovableStorage.h"
#include "KzUserSettings.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTextDocument>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace KzViewTest;

namespace {

// Answers the next modal windows as a user would: types a path into a file
// dialog and confirms it (with no path, cancels it), accepts message boxes
// and keeps their texts.
class KzModalUser : public QObject
{
public:
    // With KZ_ROAD_SHOTS set, a message box is saved there as shot.png.
    explicit KzModalUser(const QString& path, const QString& shot = QString()) : m_strPath(path), m_strShot(shot)
    {
        connect(&m_timer, &QTimer::timeout, this, &KzModalUser::Poll);
        m_timer.start(30);
    }

    // "title / text" of each message box, the caption of each file dialog.
    QStringList m_listBoxTexts;
    QStringList m_listCaptions;
    int m_nDialogs = 0;
    QString m_strDirectory;   // where the last file dialog opened

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("kzAnswered").toBool())
            return;
        modal->setProperty("kzAnswered", true);
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            ++m_nDialogs;
            m_strDirectory = dialog->directory().absolutePath();
            m_listCaptions << dialog->windowTitle();
            if (m_strPath.isEmpty()) {
                QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
                return;
            }
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(m_strPath);
            // Confirmed after this poll returns, so a nested question can be answered.
            QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_listBoxTexts << box->windowTitle() + " / " + box->text();
            const QString folder = qEnvironmentVariable("KZ_ROAD_SHOTS");
            if (!folder.isEmpty() && !m_strShot.isEmpty())
                box->grab().save(QDir(folder).filePath(m_strShot + ".png"));
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
    }

    QString m_strPath;
    QString m_strShot;
    QTimer m_timer;
};

// A card reader's card, as the mount table and sysfs show it, mounted on a folder.
class KzFakeCard
{
public:
    bool Mount(const QString& folder)
    {
        const QString sys = m_dir.filePath("sys");
        const QString disk = "devices/pci0000:00/usb1/1-1/host6/block/sdb";
        m_strFolder = folder;
        const bool ok = Write(sys + "/" + disk + "/removable", "1\n") && Write(sys + "/" + disk + "/dev", "8:16\n")
                        && Write(sys + "/" + disk + "/sdb1/partition", "1\n") && Write(sys + "/" + disk + "/sdb1/dev", "8:17\n")
                        && QDir().mkpath(sys + "/dev/block")
                        && QFile::link("../../" + disk, sys + "/dev/block/8:16")
                        && QFile::link("../../" + disk + "/sdb1", sys + "/dev/block/8:17");
        KzRemovableStorage::SetSystemSources(m_dir.filePath("mountinfo"), sys);
        return ok && SetInserted(true);
    }
    // Takes the card out of its reader (the mount table loses it) or puts it back.
    bool SetInserted(bool inserted)
    {
        QByteArray table = "27 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n";
        if (inserted)
            table += "41 27 8:17 / " + QFile::encodeName(m_strFolder)
                     + " rw,nosuid,nodev,relatime shared:41 - vfat /dev/sdb1 rw,fmask=0022\n";
        return Write(m_dir.filePath("mountinfo"), table);
    }
    ~KzFakeCard() { KzRemovableStorage::SetSystemSources(QString(), QString()); }

private:
    static bool Write(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }
    QTemporaryDir m_dir;
    QString m_strFolder;
};

// The child of page drawn on top at pos (page coordinates), mouse-transparent
// ones included: later siblings are drawn over earlier ones.
QWidget* TopmostAt(QWidget* page, const QPoint& pos)
{
    const QObjectList children = page->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto* w = qobject_cast<QWidget*>(*it);
        if (w && w->isVisible() && w->geometry().contains(pos))
            return w;
    }
    return nullptr;
}

// A click on tile id of a chooser ("KzMachineSelectWidget" or "KzMaterialSelectWidget") in the dialog.
void Pick(QWidget* dialog, const char* chooser, int id)
{
    for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
        if (tile->GetId() == id && tile->parentWidget()->inherits(chooser))
            QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
}

// Everything in a folder, hidden entries included.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_KzPrintRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void roadOfOnePrint();
    void reChooseAndRevoke();
    void failuresAreReported();
    void floatingControlsFollowResize();
    void cardSavesReplaceAndFailuresAreTold();
    void reChooseYesKeepsCloseRevokes();
    void openingAModelLeavesThePreview();
    void anotherPrinterOrMaterialEndsThePreview();
    void balloonLeavesThePanelsInSight();
    void textsFitTheirWidgets();
    void cancelledDialogsChangeNothing();
    void resetCameraUndoesAnOrbit();
    void nextWindowStartsWhereThisOneEnded();

private:
    template <typename T> T* Child(const char* name) const
    {
        T* child = m_pWindow->findChild<T*>(name);
        if (!child)
            qFatal("the window has no %s", name);
        return child;
    }
    void ClickDial(int id);
    void ClickButtonWithText(const QString& text);
    QString TipText() const;
    // Clicks a preset of the one-key page and waits until the preview is up.
    void SliceWith(const char* preset);
    QLabel* PrintInfoLabel() const;
    // The visible buttons and labels of top whose text is larger than they are.
    QStringList ClippedTexts(QWidget* top) const;
    // Opens the re-choose dialog from the dial's centre and lets answer act in it.
    void ReChoose(const std::function<void(QWidget* dialog)>& answer);
    // The machine, the materials offered, the title, the build volume, the
    // dial's centre and the material's temperatures, as the window shows them.
    QString ChoiceState() const;
    QPushButton* FloatingButton(const QString& text) const;
    // With KZ_ROAD_SHOTS set, saves the window (or the part a child covers) there.
    void Shot(const char* name, QWidget* part = nullptr);
    // With KZ_ROAD_SHOTS and KZ_ROAD_CHINESE set, saves the whole window that
    // holds part (by default the main one) in Chinese as name-zh.png, the tip
    // balloon showing tip (none when negative); English is back afterwards.
    void ShotChinese(const char* name, int tip, QWidget* part = nullptr);
    void SetLanguage(int index, int tip);

    QTemporaryDir m_dir;
    KzFakeCard m_card;
    std::unique_ptr<KzVellum> m_pWindow;
};

void tst_KzPrintRoad::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The sanitizer build preloads its runtime and the GL driver into this test;
    // the engine the slices start must not inherit them.
    qunsetenv("LD_PRELOAD");
    // The card is in its reader before the window (and its drive helper) exists.
    QVERIFY(QDir().mkpath(m_dir.filePath("card")));
    QVERIFY(m_card.Mount(m_dir.filePath("card")));
    // The build's data folder: machines, presets, engine, help.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
}

void tst_KzPrintRoad::init()
{
    m_pWindow.reset(new KzVellum(nullptr));
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
}

void tst_KzPrintRoad::cleanup()
{
    m_pWindow.reset();
}

// A click in the middle of a dial sector (or the centre of the round button).
void tst_KzPrintRoad::ClickDial(int id)
{
    QWidget* button = Child<QWidget>(qPrintable(QString("dialButton%1").arg(id)));
    QVERIFY2(button->isVisible(), qPrintable(QString("dial button %1 shown").arg(id)));
    static const double angles[] = { 0, 90, 180, 270, 0, -27, 27 };
    const QPointF centre = QRectF(button->rect()).center();
    const double radius = id == 4 ? 0 : button->width() / 2.0 * (id >= 5 ? 0.9 : 0.7);
    const double a = angles[id] * M_PI / 180.0;
    const QPoint at = (centre + QPointF(std::cos(a) * radius, -std::sin(a) * radius)).toPoint();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

QString tst_KzPrintRoad::TipText() const
{
    auto* tip = m_pWindow->findChild<KzTipWidget*>();
    return tip->findChild<QLabel*>("label_Title")->text() + " / " + tip->findChild<QLabel*>("label_Detail")->text();
}

void tst_KzPrintRoad::Shot(const char* name, QWidget* part)
{
    const QString folder = qEnvironmentVariable("KZ_ROAD_SHOTS");
    if (folder.isEmpty())
        return;
    QWidget* top = part ? part->window() : m_pWindow.get();
    QPixmap picture = top->grab();
    if (part && part != top)
        picture = picture.copy(QRect(part->mapTo(top, QPoint(0, 0)), part->size()).adjusted(-10, -10, 10, 10));
    picture.save(QDir(folder).filePath(QString(name) + ".png"));
}

void tst_KzPrintRoad::SetLanguage(int index, int tip)
{
    QVERIFY(QMetaObject::invokeMethod(m_pWindow.get(), "slot_LanguageChanged", Q_ARG(int, index)));
    // A change of language clears the balloon; put the step's tip back.
    if (tip >= 0)
        m_pWindow->findChild<KzTipWidget*>()->slot_SetCurrentTip(tip);
    // The application passes the change on by posting it to every window:
    // two rounds, and the panels that follow it by themselves have their texts.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QApplication::processEvents();
}

void tst_KzPrintRoad::ShotChinese(const char* name, int tip, QWidget* part)
{
    const QString folder = qEnvironmentVariable("KZ_ROAD_SHOTS");
    if (folder.isEmpty() || qEnvironmentVariableIsEmpty("KZ_ROAD_CHINESE"))
        return;
    SetLanguage(0, tip);
    QTest::qWait(100);
    QWidget* top = part ? part->window() : m_pWindow.get();
    top->grab().save(QDir(folder).filePath(QString(name) + "-zh.png"));
    SetLanguage(1, tip);
}

QPushButton* tst_KzPrintRoad::FloatingButton(const QString& text) const
{
    for (QPushButton* b : m_pWindow->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

void tst_KzPrintRoad::roadOfOnePrint()
{
    const QString stl = m_dir.filePath("bracket.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-10, -8, 0), QVector3D(10, 8, 12))));
    const QString card = m_dir.filePath("card");
    auto* view = Child<KzGLView>("openGLWidget");

    // 1. Open through the dial and the open dialog: tip 1, the instance selected.
    {
        KzModalUser user(stl);
        ClickDial(1);
        QCOMPARE(user.m_nDialogs, 1);
    }
    QVERIFY2(TipText().contains("Load STL file successfully"), qPrintable(TipText()));
    QTRY_VERIFY(m_pWindow->findChild<KzEditControlWidget*>()->isVisible());
    QTest::qWait(100);
    Shot("window");
    ShotChinese("window", 1);
    Shot("title-bar", Child<QWidget>("widget_Titile"));
    Shot("edit-bar", m_pWindow->findChild<KzEditControlWidget*>());
    Shot("edit-panel", Child<QWidget>("ModelEdit"));

    // 2. The one-key page from the dial; slice with Standard on the real engine.
    ClickDial(0);
    ClickDial(5);
    QVERIFY(Child<QWidget>("widget_CustomWidget")->isVisible());
    QVERIFY2(!m_pWindow->findChild<KzEditControlWidget*>()->isVisible(), "a slicing page clears the selection");
    Shot("dial", Child<QWidget>("dialButton4")->parentWidget());
    Shot("slice-custom", Child<QWidget>("CustomPrint"));
    ShotChinese("slice-custom", 11);
    ClickDial(6);
    QVERIFY(Child<QWidget>("widget_OnekeyPrint")->isVisible());
    Shot("slice-onekey", Child<QWidget>("CustomPrint"));
    ShotChinese("slice-onekey", 10);
    QTest::mouseClick(Child<QPushButton>("pushButton_Standard"), Qt::LeftButton);
    QPushButton* quit = FloatingButton("Quit\nSlice");
    QVERIFY(quit);
    QTRY_VERIFY_WITH_TIMEOUT(quit->isVisible(), 180000);
    QVERIFY(view->IsLayerMode());
    QCOMPARE(Child<QWidget>("widget_progress")->findChild<QLabel*>()->text(), QString("100%"));
    QLabel* info = nullptr;
    for (QLabel* l : m_pWindow->findChildren<QLabel*>())
        if (l->isVisible() && l->text().contains(" m · ") && l->text().endsWith(" g"))
            info = l;
    QVERIFY2(info, "the print information is shown");
    Shot("layers");
    ShotChinese("layers", 12);

    // 3. The layer panel: a step down the slider shows a lower layer.
    auto* slider = Child<QWidget>("LayerControlWidget")->findChild<QSlider*>();
    QVERIFY(slider && slider->isVisible());
    QStringList modes;
    for (QPushButton* b : Child<QWidget>("LayerControlWidget")->findChildren<QPushButton*>())
        if (b->isVisible())
            modes << b->text();
    QVERIFY2(modes.contains("Single") && modes.contains("Multi"), qPrintable(modes.join(',')));
    QTRY_VERIFY(slider->maximum() > 5);
    // The bookmark is the panel's own label child (the form's labels sit deeper).
    QLabel* bookmark = nullptr;
    for (QLabel* l : Child<QWidget>("LayerControlWidget")->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (dynamic_cast<KLayerBookmarkLabel*>(l))
            bookmark = l;
    QVERIFY(bookmark);
    const int top = slider->value();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Down);
    QCOMPARE(slider->value(), top - 1);
    // The layer's number, and below it the height it prints at (once its
    // layer has been read).
    QCOMPARE(bookmark->text().section('\n', 0, 0), QString::number(top - 1));
    QTRY_VERIFY_WITH_TIMEOUT(bookmark->text().section('\n', 1).endsWith(" mm"), 20000);

    // 4. Save to the SD card: a file named after the model, the same bytes.
    QTest::mouseClick(Child<QPushButton>("pushButton_SaveTF"), Qt::LeftButton);
    QFile temp(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    QVERIFY(temp.open(QIODevice::ReadOnly));
    QFile saved(card + "/bracket.gcode");
    QVERIFY2(saved.open(QIODevice::ReadOnly), qPrintable(TipText()));
    QCOMPARE(saved.readAll(), temp.readAll());

    // 5. Leave the preview; save the plate as STL and read it back.
    QTest::mouseClick(quit, Qt::LeftButton);
    QVERIFY(!view->IsLayerMode());
    QVERIFY(!quit->isVisible());
    const QString plate = m_dir.filePath("plate");
    {
        KzModalUser user(plate, "save-stl-message");
        ClickDial(2);
        QCOMPARE(user.m_listCaptions, QStringList{ "Save Models" });
        QCOMPARE(user.m_listBoxTexts, QStringList{ "Save STL / STL saved successfully" });
    }
    // The same in Chinese.
    SetLanguage(0, -1);
    {
        KzModalUser user(m_dir.filePath("plate-zh"), "save-stl-message-zh");
        ClickDial(2);
        QCOMPARE(user.m_listCaptions, QStringList{ QString::fromUtf8("保存模型") });
        QCOMPARE(user.m_listBoxTexts, QStringList{ QString::fromUtf8("保存STL / STL保存成功") });
    }
    SetLanguage(1, -1);
    QFile plateFile(plate + ".stl");
    QVERIFY(plateFile.open(QIODevice::ReadOnly));
    QCOMPARE(plateFile.size(), qint64(84 + 12 * 50));

    // 6. Remove the model: click it, then the dial's remove sector.
    // Where the model stands on screen depends on the camera: click over the
    // plate until a click selects it (the edit bar appears).
    auto* bar = m_pWindow->findChild<KzEditControlWidget*>();
    QVERIFY(!bar->isVisible());
    for (int y = view->height() / 3; y < view->height() * 5 / 6 && !bar->isVisible(); y += 15)
        for (int x = view->width() / 3; x < view->width() * 2 / 3 && !bar->isVisible(); x += 15)
            QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QVERIFY2(bar->isVisible(), "a click on the model selects it");
    ClickDial(3);
    QVERIFY2(TipText().contains("Remove specified model"), qPrintable(TipText()));
    QVERIFY2(!TipText().contains("Fail"), qPrintable(TipText()));
    // Nothing left to remove.
    ClickDial(3);
    QVERIFY2(TipText().contains("Fail to remove model"), qPrintable(TipText()));
}

// The centre of the dial opens the re-choose dialog; picks there change the
// window at once, and No puts machine, title, build volume and materials back.
void tst_KzPrintRoad::reChooseAndRevoke()
{
    auto config = KzConfigureData::GetInstance();
    auto* title = Child<QLabel>("windowTitle");
    const QString before = title->text();
    const int machine = config->GetCurrentMachineType();
    QVERIFY(machine != 4);
    QString during;
    bool onlyPla = false;
    QTimer::singleShot(500, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        // Pick Rowan (id 4): the window follows at once, only PLA is offered.
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->GetId() == 4 && tile->parentWidget()->inherits("KzMachineSelectWidget"))
                QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
        during = title->text();
        int shown = 0;
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->parentWidget()->inherits("KzMaterialSelectWidget") && tile->isVisible())
                ++shown;
        onlyPla = shown == 1;
        Shot("rechoose", dialog);
        ShotChinese("rechoose", -1, dialog);
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_No"), Qt::LeftButton);
    });
    ClickDial(4);
    QVERIFY2(during.startsWith("Rowan"), qPrintable(during));
    QVERIFY(onlyPla);
    QCOMPARE(config->GetCurrentMachineType(), machine);
    QCOMPARE(title->text(), before);
    int shown = 0;
    for (KzSelectItemWidget* tile : m_pWindow->findChildren<KzSelectItemWidget*>())
        if (tile->parentWidget()->inherits("KzMaterialSelectWidget") && !tile->isHidden())
            ++shown;
    QVERIFY2(shown > 1, "the materials of the machine that was current");
}

// A file that cannot be read is named in the balloon; a plate that cannot be
// saved says so; the STL name rule appends ".stl" case-sensitively.
void tst_KzPrintRoad::failuresAreReported()
{
    const QString broken = m_dir.filePath("broken.stl");
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("solid nothing here\n");
    file.close();
    {
        KzModalUser user(broken);
        ClickDial(1);
    }
    QVERIFY2(TipText().contains("broken.stl") && TipText().contains("Cannot read"), qPrintable(TipText()));

    // Nothing on the plate: the save fails and tip 5 tells so, no file appears.
    const QString name = m_dir.filePath("part.STL");
    {
        KzModalUser user(name);
        ClickDial(2);
        QVERIFY(user.m_listBoxTexts.isEmpty());
    }
    QVERIFY2(TipText().contains("Fail to save all models"), qPrintable(TipText()));
    QVERIFY(!QFile::exists(name + ".stl"));

    // With a model the same name gets ".stl" appended (the rule is case-sensitive).
    const QString stl = m_dir.filePath("part-model.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-5, -5, 0), QVector3D(5, 5, 5))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    {
        KzModalUser user(name);
        ClickDial(2);
    }
    QVERIFY(QFile::exists(name + ".stl"));
    // The dot of the rule matches any character: "partstl" is kept as it is.
    const QString bare = m_dir.filePath("partstl");
    {
        KzModalUser user(bare);
        ClickDial(2);
        QCOMPARE(user.m_listBoxTexts, QStringList{ "Save STL / STL saved successfully" });
    }
    QVERIFY(QFileInfo(bare).size() > 84);
    QVERIFY(!QFile::exists(bare + ".stl"));
}

// After a resize the link keeps 20 px from the right edge at y = 60 and the
// floating controls stay on one line 100 px above the view's bottom.
void tst_KzPrintRoad::floatingControlsFollowResize()
{
    m_pWindow->resize(1500, 900);
    QTRY_COMPARE(m_pWindow->size(), QSize(1500, 900));
    QLabel* link = nullptr;
    for (QLabel* l : m_pWindow->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (l->text().contains("Help/index.html"))
            link = l;
    QVERIFY(link);
    QCOMPARE(link->geometry().right() + 1, 1500 - 20);
    QCOMPARE(link->y(), 60);
    const int t = Child<QWidget>("widget_Titile")->height();
    const QStringList texts = { "Reset\nCamera", "Quit\nSlice", "Save\nSD" };
    const int offsets[] = { 0, 70, 210 };
    for (int i = 0; i < texts.size(); ++i) {
        QPushButton* b = FloatingButton(texts[i]);
        QVERIFY2(b, qPrintable(texts[i]));
        QCOMPARE(b->pos(), QPoint(1500 / 2 + offsets[i], 900 - t - 100));
    }
}

void tst_KzPrintRoad::SliceWith(const char* preset)
{
    QPushButton* quit = FloatingButton("Quit\nSlice");
    QVERIFY(quit);
    QTest::mouseClick(Child<QPushButton>(preset), Qt::LeftButton);
    // A new run takes the last one's preview and print information away at once.
    QVERIFY(!quit->isVisible());
    QVERIFY(!PrintInfoLabel()->isVisible());
    QVERIFY(!Child<QWidget>("LayerControlWidget")->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(quit->isVisible(), 180000);
    QVERIFY(PrintInfoLabel()->isVisible());
}

// The print information floats on the view page at a fixed height of 50.
QLabel* tst_KzPrintRoad::PrintInfoLabel() const
{
    for (QLabel* l : Child<QWidget>("widget_GL")->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (l->minimumHeight() == 50 && l->maximumHeight() == 50)
            return l;
    qFatal("the view page has no print information label");
    return nullptr;
}

// Two slices saved to the card under one name leave one file, the second
// slice's; no card, and a card where the file cannot be replaced, are told
// and leave the card as it was.
void tst_KzPrintRoad::cardSavesReplaceAndFailuresAreTold()
{
    const QString card = m_dir.filePath("card");
    QVERIFY(QDir(card).removeRecursively() && QDir().mkpath(card));
    const QString stl = m_dir.filePath("lever.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-6, -4, 0), QVector3D(6, 4, 9))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    ClickDial(0);
    ClickDial(6);
    QPushButton* save = Child<QPushButton>("pushButton_SaveTF");
    const QString temp = KzConfigureData::GetInstance()->GetTmpGcodeFilePath();
    const QString target = card + "/lever.gcode";

    SliceWith("pushButton_Fast");
    // The print information sits on the floating controls' line, at W/2 + 140.
    const int t = Child<QWidget>("widget_Titile")->height();
    QCOMPARE(PrintInfoLabel()->pos(), QPoint(m_pWindow->width() / 2 + 140, m_pWindow->height() - t - 100));
    // Time, filament and its weight, in the window's language.
    QVERIFY2(QRegularExpression("^(\\d+ h )?\\d+ (min|s) · \\d+\\.\\d m · \\d+(\\.\\d)? g$").match(PrintInfoLabel()->text()).hasMatch(),
             qPrintable(PrintInfoLabel()->text()));
    const QByteArray first = ReadAll(temp);
    QVERIFY(first.contains("G1"));
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY2(TipText().contains("Save to SD card succeed"), qPrintable(TipText()));
    QCOMPARE(ReadAll(target), first);

    SliceWith("pushButton_Optimal");
    const QByteArray second = ReadAll(temp);
    QVERIFY(second.contains("G1"));
    QVERIFY2(second != first, "the two presets slice differently");
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY2(TipText().contains("Save to SD card succeed"), qPrintable(TipText()));
    QCOMPARE(Entries(card), QStringList{ "lever.gcode" });
    QCOMPARE(ReadAll(target), second);

    // The card taken out: tip 17, the file saved before is not touched.
    QVERIFY(m_card.SetInserted(false));
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY2(TipText().contains("No SD card detected"), qPrintable(TipText()));
    QVERIFY(m_card.SetInserted(true));
    QCOMPARE(ReadAll(target), second);

    // A folder where the file would go cannot be replaced by it: tip 18, the
    // folder and what it holds stay, and no half-written file is left.
    QVERIFY(QFile::remove(target) && QDir().mkpath(target));
    QVERIFY(QFile::copy(stl, target + "/keep.stl"));
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY2(TipText().contains("Save failed. Be sure enough SD free space"), qPrintable(TipText()));
    QCOMPARE(Entries(card), QStringList{ "lever.gcode" });
    QVERIFY(QFileInfo(target).isDir());
    QCOMPARE(ReadAll(target + "/keep.stl"), ReadAll(stl));

    // Leaving the preview takes the print information away.
    QTest::mouseClick(FloatingButton("Quit\nSlice"), Qt::LeftButton);
    QVERIFY(!PrintInfoLabel()->isVisible());
}

// Opening another model while the layers are previewed leaves the preview:
// its slider, its quit button and the print information go with it.
void tst_KzPrintRoad::openingAModelLeavesThePreview()
{
    const QString stl = m_dir.filePath("peg.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-3, -3, 0), QVector3D(3, 3, 6))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    ClickDial(0);
    ClickDial(6);
    SliceWith("pushButton_Fast");
    QWidget* layers = Child<QWidget>("LayerControlWidget");
    QVERIFY(layers->isVisible());
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    QVERIFY2(TipText().contains("Load STL file successfully"), qPrintable(TipText()));
    QVERIFY(!Child<KzGLView>("openGLWidget")->IsLayerMode());
    QVERIFY(!FloatingButton("Quit\nSlice")->isVisible());
    QVERIFY(!PrintInfoLabel()->isVisible());
    QVERIFY2(!layers->isVisible(), "the layer slider goes with the preview");
}

// G-code sliced for one printer and material is not for another: choosing
// another printer, or another material, in the re-choose dialog ends the
// preview and disables both saves at once, as a new slice does. Choosing the
// printer already chosen keeps them.
void tst_KzPrintRoad::anotherPrinterOrMaterialEndsThePreview()
{
    const QString stl = m_dir.filePath("knob.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-4, -4, 0), QVector3D(4, 4, 6))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    ClickDial(0);
    ClickDial(6);
    auto* view = Child<KzGLView>("openGLWidget");
    // Preview, layer slider, quit button, print information, both saves.
    auto preview = [&] {
        return QString("%1%2%3%4%5%6")
            .arg(int(view->IsLayerMode()))
            .arg(int(Child<QWidget>("LayerControlWidget")->isVisible()))
            .arg(int(FloatingButton("Quit\nSlice")->isVisible()))
            .arg(int(PrintInfoLabel()->isVisible()))
            .arg(int(Child<QPushButton>("pushButton_SaveData")->isEnabled()))
            .arg(int(Child<QPushButton>("pushButton_SaveTF")->isEnabled()));
    };
    const int machine = KzConfigureData::GetInstance()->GetCurrentMachineType();
    const int other = machine == 2 ? 1 : 2;   // both print PLA and ABS
    SliceWith("pushButton_Fast");
    QCOMPARE(preview(), QString("111111"));

    QString samePrinter, otherPrinter;
    ReChoose([&](QWidget* dialog) {
        Pick(dialog, "KzMachineSelectWidget", machine);
        samePrinter = preview();
        Pick(dialog, "KzMachineSelectWidget", other);
        otherPrinter = preview() + " " + TipText();
        Shot("printer-changed");
        ShotChinese("printer-changed", -1);
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_Yes"), Qt::LeftButton);
    });
    QCOMPARE(samePrinter, QString("111111"));
    QCOMPARE(otherPrinter, QString("000000 Slice / Printer or material changed. Please slice again"));
    QCOMPARE(preview(), QString("000000"));
    QCOMPARE(KzConfigureData::GetInstance()->GetCurrentMachineType(), other);

    // Sliced for the new printer; then ABS instead of PLA, and No.
    SliceWith("pushButton_Fast");
    QCOMPARE(preview(), QString("111111"));
    QString otherMaterial;
    ReChoose([&](QWidget* dialog) {
        Pick(dialog, "KzMaterialSelectWidget", 1);
        otherMaterial = preview();
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_No"), Qt::LeftButton);
    });
    QCOMPARE(otherMaterial, QString("000000"));
    QCOMPARE(preview(), QString("000000"));
}

void tst_KzPrintRoad::ReChoose(const std::function<void(QWidget* dialog)>& answer)
{
    bool answered = false;
    QTimer::singleShot(300, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        answered = true;
        answer(dialog);
    });
    ClickDial(4);
    QVERIFY2(answered, "the re-choose dialog ran modally");
}

QString tst_KzPrintRoad::ChoiceState() const
{
    auto config = KzConfigureData::GetInstance();
    QStringList state;
    state << QString("machine %1").arg(config->GetCurrentMachineType());
    QString materials;
    for (KzSelectItemWidget* tile : m_pWindow->findChildren<KzSelectItemWidget*>())
        if (tile->parentWidget()->inherits("KzMaterialSelectWidget") && !tile->isHidden())
            materials += QString::number(tile->GetId());
    state << "materials " + materials << Child<QLabel>("windowTitle")->text();
    QVector3D max, min;
    config->GetPrintBound(max, min);
    QVector3D viewMax, viewMin;
    // The scene is open to code that builds on the view.
    (Child<KzGLView>("openGLWidget")->*(&KzTestView::GetScene))().GetPrintBound(viewMax, viewMin);
    state << QString("store %1 %2 %3").arg(max.x()).arg(max.y()).arg(max.z())
          << QString("view %1 %2 %3").arg(viewMax.x()).arg(viewMax.y()).arg(viewMax.z());
    const QImage centre = Child<QWidget>("dialButton4")->grab().toImage();
    state << QString("centre %1").arg(qHashBits(centre.constBits(), size_t(centre.sizeInBytes())));
    int print = 0, bed = 0;
    config->GetMaterialTemperature(print, bed);
    state << QString("temperatures %1 %2").arg(print).arg(bed);
    return state.join(", ");
}

// Yes keeps the new machine and material; the close button counts as No and
// puts back the choice made before the dialog opened, not the one at start.
void tst_KzPrintRoad::reChooseYesKeepsCloseRevokes()
{
    const QString atStart = ChoiceState();
    QString cedarWood;
    QRect dialogBox;
    QStringList clipped;
    ReChoose([&](QWidget* dialog) {
        for (const int language : { 0, 1 }) {
            SetLanguage(language, -1);
            clipped << ClippedTexts(dialog);
        }
        dialogBox = dialog->geometry();
        Pick(dialog, "KzMachineSelectWidget", 2);
        Pick(dialog, "KzMaterialSelectWidget", 2);
        cedarWood = ChoiceState();
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_Yes"), Qt::LeftButton);
    });
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    QVERIFY2(cedarWood.startsWith("machine 2, materials 012, Cedar"), qPrintable(cedarWood));
    QVERIFY2(cedarWood.contains("temperatures 200 60"), qPrintable(cedarWood));
    QCOMPARE(ChoiceState(), cedarWood);
    QVERIFY(cedarWood != atStart);
    const QRect window = m_pWindow->geometry();
    QCOMPARE(dialogBox.center(), QPoint(window.x() + window.width() / 2, window.y() + window.height() / 2 + 25));

    // The choosers moved into the dialog once, and stay there.
    QString rowanPla;
    int machineChoosers = -1;
    ReChoose([&](QWidget* dialog) {
        machineChoosers = 0;
        for (QWidget* w : dialog->findChildren<QWidget*>())
            machineChoosers += w->inherits("KzMachineSelectWidget") ? 1 : 0;
        Pick(dialog, "KzMachineSelectWidget", 4);
        Pick(dialog, "KzMaterialSelectWidget", 0);
        rowanPla = ChoiceState();
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_Close"), Qt::LeftButton);
    });
    QCOMPARE(machineChoosers, 1);
    QVERIFY(Child<QWidget>("widget_MachineSelect")->findChildren<KzSelectItemWidget*>().isEmpty());
    QVERIFY2(rowanPla.startsWith("machine 4, materials 0, Rowan"), qPrintable(rowanPla));
    QCOMPARE(ChoiceState(), cedarWood);
}

// On the window's smallest size the tip balloon neither covers the edit
// panel nor the buttons of the slice panel's pages.
void tst_KzPrintRoad::balloonLeavesThePanelsInSight()
{
    m_pWindow->resize(1200, 700);
    QTRY_COMPARE(m_pWindow->size(), QSize(1200, 700));
    const QString stl = m_dir.filePath("clip.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-4, -4, 0), QVector3D(4, 4, 4))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    QWidget* page = Child<QWidget>("widget_GL");
    QWidget* tip = m_pWindow->findChild<KzTipWidget*>();
    QWidget* edit = Child<QWidget>("ModelEdit");
    QVERIFY(tip->isVisible() && edit->isVisible());
    QVERIFY2(!tip->geometry().intersects(edit->geometry()),
             qPrintable(QString("balloon top %1, edit panel bottom %2").arg(tip->y()).arg(edit->geometry().bottom())));
    // Nor does the edit panel cover the dial's remove sector, nor the balloon
    // reach below the view.
    QWidget* remove = Child<QWidget>("dialButton3");
    const QRect removeRect(remove->mapTo(page, QPoint(0, 0)), remove->size());
    QVERIFY2(!edit->geometry().intersects(removeRect),
             qPrintable(QString("edit panel top %1, remove sector bottom %2").arg(edit->y()).arg(removeRect.bottom())));
    QVERIFY(page->rect().contains(tip->geometry()));
    // With room enough, the edit panel keeps its place 270 px above the
    // bottom; 100 px above it, the balloon would still cover the panel's
    // last row, so it sits right below the panel.
    m_pWindow->resize(1200, 900);
    QTRY_COMPARE(m_pWindow->size(), QSize(1200, 900));
    QCOMPARE(edit->pos(), QPoint(50, 900 - edit->height() - 270));
    QCOMPARE(tip->pos(), QPoint(50, 900 - 270));
    m_pWindow->resize(1200, 700);
    QTRY_COMPARE(m_pWindow->size(), QSize(1200, 700));

    QWidget* slice = Child<QWidget>("CustomPrint");
    auto buttonsInSight = [&] {
        for (QPushButton* b : slice->findChildren<QPushButton*>()) {
            if (!b->isVisible())
                continue;
            const QPoint centre = b->mapTo(page, b->rect().center());
            QWidget* top = TopmostAt(page, centre);
            QVERIFY2(top == slice, qPrintable(QString("%1 lies under %2").arg(b->text(), top ? top->objectName() : "nothing")));
        }
        // The balloon, which the panel would cover here, made way for it.
        QVERIFY2(!tip->geometry().intersects(slice->geometry()),
                 qPrintable(QString("balloon at %1, %2").arg(tip->x()).arg(tip->y())));
        QVERIFY(page->rect().contains(tip->geometry()));
    };
    ClickDial(0);
    ClickDial(5);
    QVERIFY(Child<QWidget>("widget_CustomWidget")->isVisible());
    buttonsInSight();
    if (QTest::currentTestFailed())
        return;
    ClickDial(6);
    QVERIFY(Child<QWidget>("widget_OnekeyPrint")->isVisible());
    buttonsInSight();
    // The panel closed, the balloon is back in its place below the edit panel's.
    QTest::mouseClick(slice->findChild<QPushButton*>("pushButton_Close"), Qt::LeftButton);
    QTRY_VERIFY(!slice->isVisible());
    QCOMPARE(tip->x(), 50);
}

QStringList tst_KzPrintRoad::ClippedTexts(QWidget* top) const
{
    QStringList clipped;
    auto check = [&](QWidget* w, const QString& text, const QSize& room, int flags) {
        const QSize need = QFontMetrics(w->font()).size(flags, text);
        if (need.width() > room.width() || need.height() > room.height())
            clipped << QString("%1 '%2' needs %3x%4 in %5x%6")
                           .arg(w->objectName(), text).arg(need.width()).arg(need.height())
                           .arg(room.width()).arg(room.height());
    };
    for (QPushButton* b : top->findChildren<QPushButton*>()) {
        if (!b->isVisible() || b->text().isEmpty())
            continue;
        const int icon = b->icon().isNull() ? 0 : b->iconSize().width();
        check(b, b->text(), b->size() - QSize(icon, 0), Qt::TextShowMnemonic);
    }
    for (QLabel* l : top->findChildren<QLabel*>()) {
        if (!l->isVisible() || l->text().isEmpty() || l->wordWrap() || Qt::mightBeRichText(l->text()))
            continue;
        check(l, l->text(), l->contentsRect().size(), 0);
    }
    return clipped;
}

// In both languages, every text on the window and its panels fits its widget:
// after opening a model, on both slicing pages, and in the layer preview.
void tst_KzPrintRoad::textsFitTheirWidgets()
{
    const QString stl = m_dir.filePath("fit.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-4, -4, 0), QVector3D(4, 4, 4))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    auto bothLanguages = [&](const char* step) {
        for (const int language : { 0, 1 }) {
            SetLanguage(language, 1);
            QTest::qWait(50);
            const QStringList clipped = ClippedTexts(m_pWindow.get());
            QVERIFY2(clipped.isEmpty(), qPrintable(QString("%1, language %2: %3").arg(step).arg(language).arg(clipped.join("; "))));
        }
    };
    bothLanguages("model opened");
    ClickDial(0);
    ClickDial(5);
    bothLanguages("custom page");
    ClickDial(6);
    bothLanguages("one-key page");
    SliceWith("pushButton_Fast");
    bothLanguages("layer preview");
}

// Cancelling the open dialog says the model was not loaded; cancelling the
// plate's save dialog writes nothing and asks nothing more.
void tst_KzPrintRoad::cancelledDialogsChangeNothing()
{
    auto* view = Child<KzGLView>("openGLWidget");
    {
        KzModalUser user{ QString() };
        ClickDial(1);
        QCOMPARE(user.m_nDialogs, 1);
    }
    QVERIFY2(TipText().contains("Load STL file failed"), qPrintable(TipText()));
    QVERIFY(view->GetSaveSDName().isEmpty());
    QVERIFY(!m_pWindow->findChild<KzEditControlWidget*>()->isVisible());

    const QString stl = m_dir.filePath("kept.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-4, -4, 0), QVector3D(4, 4, 4))));
    {
        KzModalUser user(stl);
        ClickDial(1);
    }
    const QStringList before = Entries(m_dir.path());
    {
        KzModalUser user{ QString() };
        ClickDial(2);
        QCOMPARE(user.m_nDialogs, 1);
        QVERIFY(user.m_listBoxTexts.isEmpty());
    }
    QVERIFY2(TipText().contains("Save all models"), qPrintable(TipText()));
    QCOMPARE(Entries(m_dir.path()), before);
    QCOMPARE(view->GetSaveSDName(), QString("kept"));
}

// The reset-camera button brings the view back to the picture it started with.
void tst_KzPrintRoad::resetCameraUndoesAnOrbit()
{
    auto* view = Child<KzGLView>("openGLWidget");
    QTest::qWait(100);
    const QImage start = view->grabFramebuffer();
    const QPoint middle = view->rect().center();
    Drag(view, middle, middle + QPoint(120, 60), Qt::RightButton);
    QTest::qWait(50);
    QVERIFY2(view->grabFramebuffer() != start, "a right-drag orbits the view");
    QTest::mouseClick(FloatingButton("Reset\nCamera"), Qt::LeftButton);
    QTest::qWait(50);
    QVERIFY(view->grabFramebuffer() == start);
}

// With the user's settings, the printer and material confirmed with Yes, the
// window's place and size and the folder of the model opened come back in the
// next window, read afresh from the file: it starts on that printer and
// material, in that place, and its open dialog in that folder.
void tst_KzPrintRoad::nextWindowStartsWhereThisOneEnded()
{
    const QString file = m_dir.filePath("config/kzvellum/kzvellum.conf");
    auto settings = std::make_unique<KzUserSettings>(file);
    m_pWindow.reset(new KzVellum(nullptr, settings.get()));
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    const QString atStart = ChoiceState();
    auto pick = [](QWidget* dialog, const char* chooser, int id) {
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->GetId() == id && tile->parentWidget()->inherits(chooser))
                QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
    };
    ReChoose([&](QWidget* dialog) {
        pick(dialog, "KzMachineSelectWidget", 2);
        pick(dialog, "KzMaterialSelectWidget", 2);
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("pushButton_Yes"), Qt::LeftButton);
    });
    const QString cedarWood = ChoiceState();
    QVERIFY2(cedarWood.startsWith("machine 2, materials 012, Cedar"), qPrintable(cedarWood));
    QVERIFY(cedarWood != atStart);

    QVERIFY(QDir().mkpath(m_dir.filePath("parts")));
    const QString stl = m_dir.filePath("parts/gear.stl");
    QVERIFY(WriteBinaryStl(stl, BoxTriangles(QVector3D(-5, -5, 0), QVector3D(5, 5, 5))));
    {
        KzModalUser user(stl);
        ClickDial(1);
        QCOMPARE(user.m_nDialogs, 1);
        QCOMPARE(user.m_strDirectory, QDir::homePath());
    }
    const QRect place(40, 60, 1230, 760);
    m_pWindow->setGeometry(place);
    QTRY_COMPARE(m_pWindow->geometry(), place);
    QTest::mouseClick(Child<QPushButton>("pushButton_Close"), Qt::LeftButton);
    QVERIFY(!m_pWindow->isVisible());
    m_pWindow.reset();
    settings.reset();

    // A new run: the store starts from the machine file again.
    auto config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    config->SetMaterialID(0);
    settings = std::make_unique<KzUserSettings>(file);
    m_pWindow.reset(new KzVellum(nullptr, settings.get()));
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    QCOMPARE(ChoiceState(), cedarWood);
    QTRY_COMPARE(m_pWindow->geometry(), place);
    {
        KzModalUser user((QString()));
        ClickDial(1);
        QCOMPARE(user.m_nDialogs, 1);
        QCOMPARE(user.m_strDirectory, m_dir.filePath("parts"));
    }

    // Closed maximised, it comes back maximised, its restore button shown.
    QTest::mouseClick(Child<QPushButton>("pushButton_Maximize"), Qt::LeftButton);
    QTRY_VERIFY(m_pWindow->isMaximized());
    QTest::mouseClick(Child<QPushButton>("pushButton_Close"), Qt::LeftButton);
    m_pWindow.reset();
    settings = std::make_unique<KzUserSettings>(file);
    m_pWindow.reset(new KzVellum(nullptr, settings.get()));
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    QTRY_VERIFY(m_pWindow->isMaximized());
    QVERIFY(Child<QPushButton>("pushButton_Normalize")->isVisible());
    QVERIFY(!Child<QPushButton>("pushButton_Maximize")->isVisible());
    QTest::mouseClick(Child<QPushButton>("pushButton_Normalize"), Qt::LeftButton);
    QTRY_COMPARE(m_pWindow->geometry(), place);
    m_pWindow.reset();
    config->SetMachineType(config->selectedMachineType);
    config->SetMaterialID(0);
}

QTEST_MAIN(tst_KzPrintRoad)
#include "tst_KzPrintRoad.moc"
