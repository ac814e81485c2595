// The main window under a bare X server: title-bar drag, edge and corner
// resizing with their limits and cursors, maximise/restore pairing, buttons,
// language texts, keys, the state the window starts in, and what a choice of
// machine does to the dial's centre picture, the materials, the title and the
// build volume (a user's own logo beside the program included).
#include "Kz3DScene.h"
#include "KzDataFolder.h"
#include "KzConfigureData.h"
#include "KzDialWidget.h"
#include "KzGLView.h"
#include "KzMachineSelectWidget.h"
#include "KzMaterialSelectWidget.h"
#include "KzSelectItemWidget.h"
#include "KzUserSettings.h"
#include "KzVellum.h"

#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QWindow>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

// The machine file's selected machine, read independently of the store.
struct SelectedMachine
{
    int type = 0;
    QString description;
};

int MachineType(const QString& name)
{
    const QStringList names = { "Alder", "Hazel", "Cedar", "Birch", "Rowan", "Spruce" };
    return qMax(0, names.indexOf(name));
}

SelectedMachine ReadSelectedMachine(int& plaPrint, int& plaBed)
{
    SelectedMachine selected;
    QFile file("Configure/basic.xml");
    if (!file.open(QIODevice::ReadOnly))
        return selected;
    QXmlStreamReader xml(&file);
    bool inPla = false;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == QLatin1String("Machine")) {
            if (a.value("Selected") == QLatin1String("True")) {
                selected.type = MachineType(a.value("Name").toString());
                selected.description = a.value("Description").toString();
            }
        } else if (xml.name() == QLatin1String("Material")) {
            inPla = a.value("Name") == QLatin1String("PLA");
        } else if (inPla && xml.name() == QLatin1String("PrintTemperature")) {
            plaPrint = xml.readElementText().toInt();
        } else if (inPla && xml.name() == QLatin1String("BedTemperature")) {
            plaBed = xml.readElementText().toInt();
        }
    }
    return selected;
}

// The build volume the view draws (the scene is open to code that builds on the view).
struct KzViewBound : KzGLView
{
    static QPair<QVector3D, QVector3D> Of(KzGLView* view)
    {
        QVector3D max, min;
        (view->*(&KzViewBound::GetScene))().GetPrintBound(max, min);
        return { max, min };
    }
    static int ModelCount(KzGLView* view) { return (view->*(&KzViewBound::GetScene))().GetPainters().size(); }
};

// The dial's centre button showing the given picture, drawn by a dial of its own.
QImage CentreShowing(const QIcon& icon)
{
    KzDialWidget dial;
    dial.SetCenterIcon(icon);
    return dial.findChild<QWidget*>("dialButton4")->grab().toImage();
}

// Each printer model's materials (PLA, ABS, WOOD, TPU) and centre picture.
struct MachineLook
{
    bool materials[4];
    const char* picture;
};
const MachineLook kMachineLooks[] = {
    { { true, true, false, false }, ":/Resources/3333.png" },
    { { true, true, true, true }, ":/Resources/4444.png" },
    { { true, true, true, false }, ":/Resources/2222.png" },
    { { true, true, true, false }, ":/Resources/1111.png" },
    { { true, false, false, false }, ":/Resources/5555.png" },
    { { true, false, false, false }, ":/Resources/6666.png" },
};

} // namespace

class tst_KzVellum : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsOnTheSelectedMachineInEnglish();
    void languageSwitchesBetweenChineseAndEnglish();
    void titleBarDragMovesTheWindow();
    void pressInTheEdgeBandResizesInsteadOfDragging();
    void edgeDragsStopAtTheMinimumSize();
    void cornersResizeBothWays();
    void hoverSetsTheEdgeCursor();
    void maximiseAndRestoreStayPaired();
    void maximisedWindowIgnoresDragAndEdgeHover();
    void backMinimiseAndCloseButtons();
    void escapeAndEnterDoNotCloseOrMinimise();
    void machineChoiceSetsPictureMaterialsTitleAndVolume();
    void idOutsideTheTableKeepsPictureAndMaterials();
    void logoBesideTheProgramTakesTheCentre();
    void languageChangeReachesEveryPanel();
    void modelsOpenTogetherAndFailuresAreNamed();
    void languageChosenInTheBoxIsKeptForTheNextStart();
    void reChooseShowsTheChoiceAndEachBuildVolume();

private:
    template <typename T> T* Child(const char* name) const
    {
        T* child = m_window->findChild<T*>(name);
        if (!child)
            qFatal("the form has no %s", name);
        return child;
    }
    void Place(const QRect& geometry);
    void Mouse(QEvent::Type type, const QPoint& global, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::NoButton);
    void Hover(const QPoint& local);
    void Press(const QPoint& local);
    void DragTo(const QPoint& global);
    void Release();
    void DoubleClick(QWidget* widget, const QPoint& local);
    QImage CentreGrab() const;
    QVector<bool> MaterialsShown() const;
    void ClickMachineTile(int id);
    QPair<QVector3D, QVector3D> SceneBound() const;
    QPair<QVector3D, QVector3D> StoreBound() const;
    void ChangeLanguage(int index);
    QStringList PanelTexts() const;

    std::unique_ptr<KzVellum> m_window;
    QPoint m_ptCursor;  // global position of the simulated pointer
    int m_nTimestamp = 1;
};

void tst_KzVellum::initTestCase()
{
    // The scratch folder holds a copy of the machine file; the logo test
    // writes into it.
    QVERIFY2(QFile::exists("Configure/basic.xml"), "the test runs beside a copy of the machine file");
    KzDataFolder::Use(QDir::currentPath());
}

void tst_KzVellum::init()
{
    m_window.reset(new KzVellum(nullptr));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_KzVellum::cleanup()
{
    m_window.reset();
}

// Moves and sizes the window and waits until the X server has done it.
void tst_KzVellum::Place(const QRect& geometry)
{
    m_window->setGeometry(geometry);
    QTRY_COMPARE(m_window->geometry(), geometry);
}

// Mouse events go through the window system layer, as a real pointer's do:
// the window finds the child under the pointer, grabs the pressed button and
// lets unhandled events climb to the parents.
void tst_KzVellum::Mouse(QEvent::Type type, const QPoint& global, Qt::MouseButtons buttons,
                         Qt::MouseButton button)
{
    m_ptCursor = global;
    const QPoint local = global - m_window->geometry().topLeft();
    qt_handleMouseEvent(m_window->windowHandle(), local, global, buttons, button, type, Qt::NoModifier,
                        m_nTimestamp);
    // Far apart in time, so separate presses never make a double click.
    m_nTimestamp += 1000;
}

void tst_KzVellum::Hover(const QPoint& local)
{
    Mouse(QEvent::MouseMove, m_window->geometry().topLeft() + local, Qt::NoButton);
}

void tst_KzVellum::Press(const QPoint& local)
{
    Hover(local);
    Mouse(QEvent::MouseButtonPress, m_ptCursor, Qt::LeftButton, Qt::LeftButton);
}

void tst_KzVellum::DragTo(const QPoint& global)
{
    Mouse(QEvent::MouseMove, global, Qt::LeftButton);
}

void tst_KzVellum::Release()
{
    Mouse(QEvent::MouseButtonRelease, m_ptCursor, Qt::NoButton, Qt::LeftButton);
}

void tst_KzVellum::DoubleClick(QWidget* widget, const QPoint& local)
{
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, local);
    QCoreApplication::processEvents();
}

void tst_KzVellum::startsOnTheSelectedMachineInEnglish()
{
    int plaPrint = -1, plaBed = -1;
    const SelectedMachine selected = ReadSelectedMachine(plaPrint, plaBed);
    QVERIFY(!selected.description.isEmpty());

    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    QCOMPARE(config->GetCurrentMachineType(), selected.type);
    QCOMPARE(Child<QLabel>("windowTitle")->text(), selected.description);
    int print = 0, bed = 0;
    config->GetMaterialTemperature(print, bed);
    QCOMPARE(print, plaPrint);
    QCOMPARE(bed, (selected.type == 4 || selected.type == 5) ? 0 : plaBed);

    QVERIFY(Child<QWidget>("widget_GL")->isVisible());
    QVERIFY(Child<KzGLView>("openGLWidget")->isVisible());
    QVERIFY(Child<QWidget>("widget_MachineSelect")->isHidden());
    QVERIFY(Child<QWidget>("widget_MaterialSelect")->isHidden());

    QVERIFY(!m_window->isMaximized());
    QVERIFY(Child<QPushButton>("pushButton_Maximize")->isVisible());
    QVERIFY(Child<QPushButton>("pushButton_Normalize")->isHidden());
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_window->minimumSize(), QSize(1200, 700));
    QCOMPARE(QSurfaceFormat::defaultFormat().samples(), 4);
    QVERIFY(!m_window->windowIcon().isNull());

    QCOMPARE(m_window->windowTitle(), QString("Tidemark"));
    QCOMPARE(Child<QLabel>("label_SelectMachine")->text(), QString("Select Type"));
    QCOMPARE(Child<QLabel>("label_SelectMaterial")->text(), QString("Select Material"));
    // The box names each language in its own; this system's locale is not Chinese.
    QComboBox* language = Child<QComboBox>("comboBox");
    QCOMPARE(language->count(), 2);
    QCOMPARE(language->itemText(0), QString("简体中文"));
    QCOMPARE(language->itemText(1), QString("English"));
    QCOMPARE(language->currentIndex(), 1);
}

void tst_KzVellum::languageSwitchesBetweenChineseAndEnglish()
{
    QLabel* machine = Child<QLabel>("label_SelectMachine");
    QLabel* material = Child<QLabel>("label_SelectMaterial");
    QMetaObject::invokeMethod(m_window.get(), "slot_LanguageChanged", Q_ARG(int, 0));
    QCOMPARE(machine->text(), QString("选择机型"));
    QCOMPARE(material->text(), QString("选择材料"));
    QCOMPARE(m_window->windowTitle(), QString("KzVellum"));
    QCOMPARE(Child<QComboBox>("comboBox")->currentText(), QString("简体中文"));
    // The form's Windows font family resolves to a font with these glyphs.
    QCOMPARE(QFontInfo(machine->font()).family(), QString("WenQuanYi Micro Hei"));
    const QFontMetrics metrics(machine->font());
    for (const QChar c : machine->text() + material->text())
        QVERIFY2(metrics.inFont(c), qPrintable(QString("no glyph for %1").arg(c)));

    QMetaObject::invokeMethod(m_window.get(), "slot_LanguageChanged", Q_ARG(int, 1));
    QCOMPARE(machine->text(), QString("Select Type"));
    QCOMPARE(material->text(), QString("Select Material"));
    QCOMPARE(m_window->windowTitle(), QString("Tidemark"));

    // No file for that index: the translator is left empty, Chinese shows.
    QMetaObject::invokeMethod(m_window.get(), "slot_LanguageChanged", Q_ARG(int, 7));
    QCOMPARE(machine->text(), QString("选择机型"));
}

void tst_KzVellum::titleBarDragMovesTheWindow()
{
    Place(QRect(40, 40, 1200, 700));
    Press(QPoint(400, 15));
    DragTo(m_ptCursor + QPoint(60, 45));
    QTRY_COMPARE(m_window->pos(), QPoint(100, 85));
    DragTo(m_ptCursor + QPoint(-30, 10));
    QTRY_COMPARE(m_window->pos(), QPoint(70, 95));
    Release();
    QCOMPARE(m_window->size(), QSize(1200, 700));

    // Once released, moving the pointer leaves the window where it is.
    Hover(QPoint(500, 20));
    Mouse(QEvent::MouseMove, m_ptCursor + QPoint(50, 50), Qt::NoButton);
    QTest::qWait(50);
    QCOMPARE(m_window->pos(), QPoint(70, 95));

    // A press on the 3D view, below the title bar, does not drag the window.
    Press(QPoint(600, 300));
    DragTo(m_ptCursor + QPoint(40, 40));
    Release();
    QTest::qWait(50);
    QCOMPARE(m_window->pos(), QPoint(70, 95));
}

void tst_KzVellum::pressInTheEdgeBandResizesInsteadOfDragging()
{
    Place(QRect(40, 200, 1200, 700));
    // y = 4 lies on the title bar and in the top edge band.
    Press(QPoint(400, 4));
    DragTo(m_ptCursor + QPoint(80, -50));
    QTRY_COMPARE(m_window->geometry().top(), 200 + 4 - 50 - 1);
    Release();
    QCOMPARE(m_window->geometry().left(), 40);
    QCOMPARE(m_window->geometry().bottom(), 200 + 700 - 1);
    QCOMPARE(m_window->width(), 1200);
}

void tst_KzVellum::edgeDragsStopAtTheMinimumSize()
{
    // Left edge dragged far to the right: 1202 wide, the right edge stays.
    Place(QRect(20, 20, 1240, 900));
    Press(QPoint(3, 400));
    DragTo(QPoint(1200, m_ptCursor.y()));
    QTRY_COMPARE(m_window->width(), 1202);
    Release();
    QCOMPARE(m_window->geometry().right(), 20 + 1240 - 1);
    QCOMPARE(m_window->height(), 900);

    // Top edge dragged far down: 702 high, the bottom edge stays.
    Place(QRect(20, 20, 1240, 900));
    Press(QPoint(600, 3));
    DragTo(QPoint(m_ptCursor.x(), 1000));
    QTRY_COMPARE(m_window->height(), 702);
    Release();
    QCOMPARE(m_window->geometry().bottom(), 20 + 900 - 1);
    QCOMPARE(m_window->width(), 1240);

    // Right edge: follows the pointer outwards, stops at 1202 inwards.
    Place(QRect(20, 20, 1220, 760));
    Press(QPoint(1220 - 3, 400));
    DragTo(QPoint(1260, m_ptCursor.y()));
    QTRY_COMPARE(m_window->geometry().right(), 1261);
    DragTo(QPoint(300, m_ptCursor.y()));
    QTRY_COMPARE(m_window->width(), 1202);
    Release();
    QCOMPARE(m_window->geometry().left(), 20);
}

void tst_KzVellum::cornersResizeBothWays()
{
    // Top-left: both the left and the top edge follow the pointer.
    Place(QRect(60, 60, 1210, 760));
    Press(QPoint(2, 2));
    QCOMPARE(m_window->cursor().shape(), Qt::SizeFDiagCursor);
    DragTo(QPoint(30, 20));
    QTRY_COMPARE(m_window->geometry().topLeft(), QPoint(29, 19));
    Release();
    QCOMPARE(m_window->geometry().bottomRight(), QPoint(60 + 1210 - 1, 60 + 760 - 1));

    // Bottom-left, moved inwards past the limits: both stop.
    Place(QRect(60, 60, 1210, 760));
    Press(QPoint(2, 760 - 2));
    QCOMPARE(m_window->cursor().shape(), Qt::SizeBDiagCursor);
    DragTo(QPoint(900, 100));
    QTRY_COMPARE(m_window->size(), QSize(1202, 702));
    Release();
    QCOMPARE(m_window->geometry().topRight(), QPoint(60 + 1210 - 1, 60));
}

void tst_KzVellum::hoverSetsTheEdgeCursor()
{
    Place(QRect(30, 30, 1200, 700));
    const struct { QPoint at; Qt::CursorShape shape; } cases[] = {
        { QPoint(600, 350), Qt::ArrowCursor },       // middle of the 3D view
        { QPoint(4, 350), Qt::SizeHorCursor },       // left, over the 3D view
        { QPoint(1200 - 4, 350), Qt::SizeHorCursor },
        { QPoint(600, 700 - 4), Qt::SizeVerCursor }, // bottom, over the 3D view
        { QPoint(600, 3), Qt::SizeVerCursor },       // top, over the title bar
        { QPoint(1200 - 3, 3), Qt::SizeBDiagCursor },
        { QPoint(3, 700 - 3), Qt::SizeBDiagCursor },
        { QPoint(3, 3), Qt::SizeFDiagCursor },
        { QPoint(1200 - 3, 700 - 3), Qt::SizeFDiagCursor },
        { QPoint(10, 10), Qt::ArrowCursor },         // just inside the band
        { QPoint(600, 15), Qt::ArrowCursor },        // title bar, off the band
    };
    for (const auto& c : cases) {
        Hover(c.at);
        QVERIFY2(m_window->cursor().shape() == c.shape,
                 qPrintable(QString("at %1,%2 the cursor is %3, expected %4")
                                .arg(c.at.x()).arg(c.at.y()).arg(m_window->cursor().shape()).arg(c.shape)));
    }
}

void tst_KzVellum::maximiseAndRestoreStayPaired()
{
    QWidget* title = Child<QWidget>("widget_Titile");
    QPushButton* maximize = Child<QPushButton>("pushButton_Maximize");
    QPushButton* normalize = Child<QPushButton>("pushButton_Normalize");
    auto paired = [&](bool maximised) {
        return m_window->isMaximized() == maximised && normalize->isVisible() == maximised
            && maximize->isVisible() == !maximised;
    };
    // By the buttons, by double clicks on the title bar, and mixed.
    QTest::mouseClick(maximize, Qt::LeftButton);
    QTRY_VERIFY(paired(true));
    QTest::mouseClick(normalize, Qt::LeftButton);
    QTRY_VERIFY(paired(false));
    DoubleClick(title, QPoint(400, 15));
    QTRY_VERIFY(paired(true));
    DoubleClick(title, QPoint(400, 15));
    QTRY_VERIFY(paired(false));
    DoubleClick(title, QPoint(400, 15));
    QTRY_VERIFY(paired(true));
    QTest::mouseClick(normalize, Qt::LeftButton);
    QTRY_VERIFY(paired(false));
}

void tst_KzVellum::maximisedWindowIgnoresDragAndEdgeHover()
{
    Place(QRect(30, 30, 1200, 700));
    Hover(QPoint(600, 350));
    QTest::mouseClick(Child<QPushButton>("pushButton_Maximize"), Qt::LeftButton);
    QTRY_VERIFY(m_window->isMaximized());
    const QRect maximised = m_window->geometry();

    Hover(QPoint(3, 350));
    QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
    Press(QPoint(400, 15));
    DragTo(m_ptCursor + QPoint(70, 40));
    Release();
    QTest::qWait(50);
    QCOMPARE(m_window->geometry(), maximised);
    QVERIFY(m_window->isMaximized());
}

void tst_KzVellum::backMinimiseAndCloseButtons()
{
    Child<QPushButton>("pushButton_Back")->click();
    QVERIFY(Child<QWidget>("widget_MachineSelect")->isVisible());
    QVERIFY(Child<QWidget>("widget_MaterialSelect")->isHidden());
    QVERIFY(Child<QWidget>("widget_GL")->isHidden());
    QVERIFY(m_window->isVisible());

    QTest::mouseClick(Child<QPushButton>("pushButton_Minimize"), Qt::LeftButton);
    QTRY_VERIFY(m_window->isMinimized());
    m_window->showNormal();
    QTRY_VERIFY(!m_window->isMinimized());

    QTest::mouseClick(Child<QPushButton>("pushButton_Close"), Qt::LeftButton);
    QTRY_VERIFY(!m_window->isVisible());
}

void tst_KzVellum::escapeAndEnterDoNotCloseOrMinimise()
{
    // Escape closes a dialog; the main window must stay, wherever the focus is.
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(m_window->isVisible());
    KzGLView* view = Child<KzGLView>("openGLWidget");
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(m_window->isVisible());
    QComboBox* language = Child<QComboBox>("comboBox");
    language->setFocus();
    QTest::keyClick(language, Qt::Key_Escape);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->result(), 0);

    // A click on a title button must not leave it as the dialog's default
    // button, or the next Enter would minimise or close the window.
    QTest::mouseClick(Child<QPushButton>("pushButton_Maximize"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("pushButton_Normalize"), Qt::LeftButton);
    QVERIFY(!m_window->isMaximized());
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space }) {
        QTest::keyClick(m_window.get(), key);
        QTest::qWait(20);
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_window->isMinimized());
        QVERIFY(!m_window->isMaximized());
    }
}

QImage tst_KzVellum::CentreGrab() const
{
    return Child<QWidget>("dialButton4")->grab().toImage();
}

QVector<bool> tst_KzVellum::MaterialsShown() const
{
    QVector<bool> shown(4, false);
    const auto* chooser = m_window->findChild<KzMaterialSelectWidget*>();
    for (const KzSelectItemWidget* tile : chooser->findChildren<KzSelectItemWidget*>())
        shown[tile->GetId()] = !tile->isHidden();
    return shown;
}

// Back to the machine page (the title bar's back button) and a click on a tile.
void tst_KzVellum::ClickMachineTile(int id)
{
    Child<QPushButton>("pushButton_Back")->click();
    QVERIFY(Child<QWidget>("widget_MachineSelect")->isVisible());
    const auto* chooser = m_window->findChild<KzMachineSelectWidget*>();
    for (const KzSelectItemWidget* tile : chooser->findChildren<KzSelectItemWidget*>())
        if (tile->GetId() == id)
            QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
}

QPair<QVector3D, QVector3D> tst_KzVellum::SceneBound() const
{
    return KzViewBound::Of(Child<KzGLView>("openGLWidget"));
}

QPair<QVector3D, QVector3D> tst_KzVellum::StoreBound() const
{
    QVector3D max, min;
    KzConfigureData::GetInstance()->GetPrintBound(max, min);
    return { max, min };
}

// Every printer model's tile: the store, the title, the build volume, the
// materials offered and the picture in the dial's centre follow the click.
void tst_KzVellum::machineChoiceSetsPictureMaterialsTitleAndVolume()
{
    const QStringList names = { "Alder", "Hazel", "Cedar", "Birch", "Rowan", "Spruce" };
    auto config = KzConfigureData::GetInstance();
    QSet<QString> volumes;
    for (int id = 0; id < 6; ++id) {
        ClickMachineTile(id);
        QCOMPARE(config->GetCurrentMachineType(), id);
        QVERIFY2(Child<QLabel>("windowTitle")->text().startsWith(names[id]),
                 qPrintable(Child<QLabel>("windowTitle")->text()));
        QCOMPARE(SceneBound(), StoreBound());
        volumes << QString("%1 %2 %3").arg(StoreBound().first.x()).arg(StoreBound().first.y()).arg(StoreBound().first.z());
        const MachineLook& look = kMachineLooks[id];
        QCOMPARE(MaterialsShown(), QVector<bool>(std::begin(look.materials), std::end(look.materials)));
        QVERIFY2(CentreGrab() == CentreShowing(QIcon(look.picture)), look.picture);
        // The chosen flag is set: the machine page stays, nothing steps on.
        QVERIFY(Child<QWidget>("widget_MachineSelect")->isVisible());
        QVERIFY(Child<QWidget>("widget_GL")->isHidden());
    }
    QVERIFY2(volumes.size() >= 4, "the machines' build volumes differ");
}

// An id the table does not know leaves the picture and the materials as they
// were, but the title and the build volume still follow the store.
void tst_KzVellum::idOutsideTheTableKeepsPictureAndMaterials()
{
    ClickMachineTile(1);
    const QImage hazel = CentreGrab();
    const QVector<bool> materials = MaterialsShown();
    QCOMPARE(materials, QVector<bool>({ true, true, true, true }));

    // The store moved on to Rowan without the window being told the id.
    auto config = KzConfigureData::GetInstance();
    config->SetMachineType(4);
    for (const int id : { 7, -1, 6 }) {
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "slot_MachineSelected", Q_ARG(int, id)));
        QCOMPARE(MaterialsShown(), materials);
        QVERIFY(CentreGrab() == hazel);
        QVERIFY2(Child<QLabel>("windowTitle")->text().startsWith("Rowan"), qPrintable(Child<QLabel>("windowTitle")->text()));
        QCOMPARE(SceneBound(), StoreBound());
        QCOMPARE(config->GetCurrentMachineType(), 4);
        QVERIFY(Child<QWidget>("widget_MachineSelect")->isVisible());
    }
    // A real choice afterwards still works.
    ClickMachineTile(5);
    QCOMPARE(MaterialsShown(), QVector<bool>({ true, false, false, false }));
    QVERIFY(CentreGrab() == CentreShowing(QIcon(":/Resources/6666.png")));
}

// "Configure/logo.png" beside the program shows in the dial's centre from the
// start and stays there whichever machine is chosen.
void tst_KzVellum::logoBesideTheProgramTakesTheCentre()
{
    const QImage plain = CentreGrab();
    QImage logo(96, 96, QImage::Format_ARGB32);
    logo.fill(QColor(255, 0, 255));
    QPainter painter(&logo);
    painter.fillRect(QRect(0, 40, 96, 16), QColor(255, 255, 0));
    painter.end();
    const QString path = QDir::current().filePath("Configure/logo.png");
    QVERIFY(logo.save(path));
    auto removeLogo = qScopeGuard([path] { QFile::remove(path); });

    m_window.reset(new KzVellum(nullptr));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QImage expected = CentreShowing(QIcon(path));
    QVERIFY(CentreGrab() == expected);
    QVERIFY(CentreGrab() != plain);
    // The logo's own colours are in the middle of the centre button.
    const QImage centre = CentreGrab();
    const QPoint middle = centre.rect().center();
    QCOMPARE(QColor(centre.pixel(middle.x(), middle.y() - 20)), QColor(255, 0, 255));
    QCOMPARE(QColor(centre.pixel(middle)), QColor(255, 255, 0));

    for (const int id : { 4, 0, 1 }) {
        ClickMachineTile(id);
        QVERIFY2(CentreGrab() == expected, qPrintable(QString("machine %1").arg(id)));
    }
    // Once the file is gone, a choice shows the machine's own picture again.
    removeLogo.dismiss();
    QVERIFY(QFile::remove(path));
    ClickMachineTile(2);
    QVERIFY(CentreGrab() == CentreShowing(QIcon(":/Resources/2222.png")));
}

// The language box's change, and the application's passing on of it: it
// reaches every window by a second posted event.
void tst_KzVellum::ChangeLanguage(int index)
{
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "slot_LanguageChanged", Q_ARG(int, index)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

// One text of each panel and floating control over the view.
QStringList tst_KzVellum::PanelTexts() const
{
    QStringList texts;
    for (const char* name : { "pushButton_StartSlice", "pushButton_Translate", "pushButton_Yes", "SingleLayerButton" }) {
        auto* button = m_window->findChild<QPushButton*>(name);
        texts << (button ? button->text() : QString("no %1").arg(name));
    }
    texts << Child<QLabel>("label_CustomPrint")->text()
          << Child<QWidget>("ModelEdit")->findChild<QLabel*>("label_Title")->text();
    // The floating buttons, left to right, and the guide's link.
    QList<QPushButton*> floating = Child<QWidget>("widget_GL")->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(floating.begin(), floating.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    for (QPushButton* b : floating)
        texts << b->text();
    for (QLabel* l : m_window->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (l->text().contains("Help/index.html"))
            texts << QTextDocumentFragment::fromHtml(l->text()).toPlainText();
    return texts;
}

// Chinese and back: the slice panel, the edit bar and panel, the re-choose
// dialog, the layer panel, the floating buttons and the link all follow; the
// balloon is cleared and the dial's print sectors change pictures.
void tst_KzVellum::languageChangeReachesEveryPanel()
{
    const QStringList english = { "Start slicing", "Move", "Yes", "Single", "Custom slice", "Model Editor",
                                  "Arrange\nAll", "Reset\nCamera", "Quit\nSlice", "Save\nSD", "KzVellum help" };
    const QStringList chinese = { "开始切片", "平移", "是", "单层", "自定义打印设置", "模型参数",
                                  "自动\n摆放", "重置\n视角", "退出\n切片", "保存\nSD卡", "KzVellum帮助" };
    // The panels that follow language changes by themselves get the start's
    // English from the event loop.
    QTRY_COMPARE(PanelTexts(), english);
    QWidget* sector = Child<QWidget>("dialButton5");
    const QImage englishSector = sector->grab().toImage();
    auto* tip = m_window->findChild<QWidget*>("TipWidget");
    QVERIFY(tip);
    QVERIFY(QMetaObject::invokeMethod(tip, "slot_SetCurrentTip", Q_ARG(int, 1)));
    QCOMPARE(tip->findChild<QLabel*>("label_Title")->text(), QString("Open"));

    ChangeLanguage(0);
    QCOMPARE(PanelTexts(), chinese);
    // The last tip goes; on the empty plate the balloon asks for a model.
    QCOMPARE(tip->findChild<QLabel*>("label_Title")->text(), QString("开始"));
    QVERIFY(tip->findChild<QLabel*>("label_Detail")->text().startsWith("点击转盘上方的“打开”"));
    QVERIFY(sector->grab().toImage() != englishSector);
    QVERIFY(QMetaObject::invokeMethod(tip, "slot_SetCurrentTip", Q_ARG(int, 1)));
    QCOMPARE(tip->findChild<QLabel*>("label_Detail")->text(), QString("读取STL文件完成"));

    ChangeLanguage(1);
    QCOMPARE(PanelTexts(), english);
    QVERIFY(sector->grab().toImage() == englishSector);
}

// Files handed to the window at start open one after the other; those that
// cannot be read are named together in the failure tip and keep nothing of
// theirs on the plate, while the others stay.
void tst_KzVellum::modelsOpenTogetherAndFailuresAreNamed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile obj(dir.filePath("tetra.obj"));
    QVERIFY(obj.open(QIODevice::WriteOnly));
    obj.write("v 0 0 0\nv 20 0 0\nv 0 20 0\nv 0 0 20\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n");
    obj.close();
    QFile empty(dir.filePath("empty.stl"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    auto* view = Child<KzGLView>("openGLWidget");
    auto* tip = m_window->findChild<QWidget*>("TipWidget");

    m_window->OpenModels({ dir.filePath("tetra.obj"), dir.filePath("missing.stl"), dir.filePath("tetra.obj"),
                           dir.filePath("empty.stl") });
    QTRY_VERIFY(!m_window->IsOpeningModels());
    QCOMPARE(KzViewBound::ModelCount(view), 2);
    QCOMPARE(tip->findChild<QLabel*>("label_Title")->text(), QString("Open"));
    QCOMPARE(tip->findChild<QLabel*>("label_Detail")->text(),
             QString("Models opened: 2. Not opened: 2\nmissing.stl: no such file\n"
                     "Cannot read the model file empty.stl: it holds no usable facets"));

    // All well: the success tip.
    m_window->OpenModels({ dir.filePath("tetra.obj") });
    QCOMPARE(KzViewBound::ModelCount(view), 3);
    QCOMPARE(tip->findChild<QLabel*>("label_Detail")->text(), QString("Load STL file successfully"));
}

// The box offers both languages; the first start follows the locale; a
// choice in the box (the keyboard here) turns every panel at once and is
// what the next start opens in, while a start that was not chosen leaves
// nothing remembered.
void tst_KzVellum::languageChosenInTheBoxIsKeptForTheNextStart()
{
    m_window.reset();
    QTemporaryDir dir;
    KzUserSettings settings(dir.filePath("kzvellum.conf"));
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    m_window.reset(new KzVellum(nullptr, &settings));
    QLocale::setDefault(was);
    auto* box = Child<QComboBox>("comboBox");
    QCOMPARE(box->currentText(), QString("简体中文"));
    QCOMPARE(Child<QLabel>("label_SelectMachine")->text(), QString("选择机型"));
    QVERIFY(settings.GetLanguage().isEmpty());
    m_window.reset(new KzVellum(nullptr, &settings));
    box = Child<QComboBox>("comboBox");
    QCOMPARE(box->currentText(), QString("English"));

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(box->currentText(), QString("简体中文"));
    QCOMPARE(Child<QLabel>("label_SelectMachine")->text(), QString("选择机型"));
    QVERIFY(PanelTexts().contains("自动\n摆放"));
    QCOMPARE(settings.GetLanguage(), QString("zh_CN"));
    // The keys go back to the plate, where the shortcuts act.
    QCOMPARE(m_window->focusWidget(), static_cast<QWidget*>(Child<KzGLView>("openGLWidget")));
    m_window.reset(new KzVellum(nullptr, &settings));
    QCOMPARE(Child<QComboBox>("comboBox")->currentText(), QString("简体中文"));
    QCOMPARE(Child<QLabel>("label_SelectMachine")->text(), QString("选择机型"));
    // The file a later start reads says so too.
    QCOMPARE(KzUserSettings(dir.filePath("kzvellum.conf")).GetLanguage(), QString("zh_CN"));

    box = Child<QComboBox>("comboBox");
    m_window->show();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(Child<QLabel>("label_SelectMachine")->text(), QString("Select Type"));
    m_window.reset(new KzVellum(nullptr, &settings));
    QCOMPARE(Child<QComboBox>("comboBox")->currentText(), QString("English"));
}

// The dialog from the dial's centre opens on the printer and material chosen,
// highlighted; every printer shows its build volume as the machine file
// gives it; a click moves the highlight, and "No" puts it back.
void tst_KzVellum::reChooseShowsTheChoiceAndEachBuildVolume()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    const int machine = config->GetCurrentMachineType();
    const int material = config->GetCurrentMaterialID();
    const int other = (machine + 1) % 6;
    QStringList seen;
    auto current = [](QWidget* dialog, const char* chooser) {
        QList<int> ids;
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->parentWidget()->inherits(chooser) && tile->IsCurrent())
                ids << tile->GetId();
        return ids;
    };
    int answered = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->property("kzAnswered").toBool())
            return;
        dialog->setProperty("kzAnswered", true);
        ++answered;
        QPushButton* no = dialog->findChild<QPushButton*>("pushButton_No");
        // Answered whatever the checks find.
        QTimer::singleShot(0, no, [no] { no->click(); });
        dialog->grab().save("rechoose-current.png");
        QCOMPARE(current(dialog, "KzMachineSelectWidget"), QList<int>{ machine });
        QCOMPARE(current(dialog, "KzMaterialSelectWidget"), QList<int>{ material });
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>()) {
            if (!tile->parentWidget()->inherits("KzMachineSelectWidget"))
                continue;
            const QVector3D size = config->GetMachineSize(tile->GetId());
            QCOMPARE(tile->GetDetailLabel()->text(),
                     QString("%1 × %2 × %3 mm").arg(size.x()).arg(size.y()).arg(size.z()));
            QVERIFY(tile->GetDetailLabel()->isVisible());
            // Below the name, within the tile, the whole text in sight.
            QVERIFY(tile->GetDetailLabel()->y() > tile->GetNameLabel()->geometry().bottom());
            const QRect line = tile->GetDetailLabel()->geometry();
            QVERIFY2(tile->rect().contains(line), qPrintable(QString("line %1,%2 %3x%4 in a tile %5x%6")
                                                                .arg(line.x()).arg(line.y()).arg(line.width())
                                                                .arg(line.height()).arg(tile->width()).arg(tile->height())));
            QVERIFY(tile->GetDetailLabel()->sizeHint().width() <= tile->GetDetailLabel()->width());
            seen << tile->GetDetailLabel()->text();
            if (tile->GetId() == other)
                QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
        }
        QCOMPARE(current(dialog, "KzMachineSelectWidget"), QList<int>{ other });
        dialog->grab().save("rechoose-clicked.png");
    });
    answer.start(30);
    QWidget* centre = Child<QWidget>("dialButton4");
    QTest::mouseClick(centre, Qt::LeftButton, Qt::NoModifier, centre->rect().center());
    QCOMPARE(answered, 1);
    QCOMPARE(seen.size(), 6);
    QVERIFY2(seen.contains("200 × 200 × 180 mm"), qPrintable(seen.join(", ")));
    // Revoked: the highlight is back on the printer still chosen.
    QCOMPARE(config->GetCurrentMachineType(), machine);
    QCOMPARE(current(m_window.get(), "KzMachineSelectWidget"), QList<int>{ machine });
}

QTEST_MAIN(tst_KzVellum)
#include "tst_KzVellum.moc"
