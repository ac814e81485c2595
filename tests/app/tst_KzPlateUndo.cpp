// Undo, redo and the keyboard in the real window, driven as a user does:
// keys pressed on the window, clicks and drags in the view, the edit bar and
// panel, the file dialogs answered. Every step of a walk is compared with
// what it undid: each instance's matrix bit for bit and the plate's STL
// bytes. Then every shortcut once, the tool tips that name them, the guide
// that lists them, and pictures of the window in both languages.
#include "Kz3DScene.h"
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzModelPainter.h"
#include "KzModelWriter.h"
#include "KzSelectItemWidget.h"
#include "KzSliceWidget.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolTip>
#include <QWindow>
#include <QtTest>

#include <functional>

using namespace KzViewTest;

namespace {

// The view's scene and camera, which it opens to code that builds on it.
struct KzViewAccess : KzGLView
{
    static Kz3DScene& Scene(KzGLView* v) { return (v->*(&KzViewAccess::GetScene))(); }
    static const KzCamera& Camera(KzGLView* v) { return (v->*(&KzViewAccess::GetCamera))(); }
};

// The plate at one moment: every instance's matrix as raw bits, by painter
// id, and the view's STL of the whole plate (empty for an empty plate).
struct KzPlate
{
    QMap<int, QByteArray> matrices;
    QByteArray stl;
    bool operator==(const KzPlate& o) const { return matrices == o.matrices && stl == o.stl; }
};

// Answers the next modal dialogs from a timer, as a user would.
class KzModalUser : public QObject
{
public:
    explicit KzModalUser(std::function<void(QWidget*)> answer)
        : m_answer(std::move(answer))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal->property("kzAnswered").toBool())
                return;
            modal->setProperty("kzAnswered", true);
            ++m_nDialogs;
            m_answer(modal);
        });
        m_timer.start(30);
    }
    int m_nDialogs = 0;

private:
    std::function<void(QWidget*)> m_answer;
    QTimer m_timer;
};

// A file dialog gets the path and Enter; a message box is accepted.
std::function<void(QWidget*)> SaveOrOpen(const QString& path, QStringList* boxes = nullptr)
{
    return [path, boxes](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(path);
            QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (boxes)
                *boxes << box->text();
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
    };
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Rounded as the panel's two-decimal fields show it.
double Shown(float v)
{
    return qRound(double(v) * 100) / 100.0;
}

} // namespace

// Where the desktop would have opened a link.
class KzUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> m_listUrls;
public slots:
    void Open(const QUrl& url) { m_listUrls << url; }
};

class tst_KzPlateUndo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openMoveRotateDuplicateArrangeRemoveThenUndoAndRedoAll();
    void everyShortcutOnTheWindow();
    void toolTipsNameTheKeysInBothLanguages();

private:
    KzGLView* View() const { return m_pWindow->findChild<KzGLView*>("openGLWidget"); }
    Kz3DScene& Scene() const { return KzViewAccess::Scene(View()); }
    int Steps() const { return View()->GetUndoStack()->index(); }
    KzPlate Plate();
    QString Box(const QString& name, const QVector3D& size);
    void Activate();
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Window coordinates of a plate point, with the last frame's camera.
    QPoint At(const QVector3D& p);
    void Click(const QPoint& at);
    QString TipTitle() const { return m_pWindow->findChild<KzTipWidget*>()->GetTitle(); }
    QString TipDetail() const { return m_pWindow->findChild<KzTipWidget*>()->GetDetail(); }
    QDoubleSpinBox* Field(const char* name) const { return m_pWindow->findChild<QDoubleSpinBox*>(name); }

    QTemporaryDir m_dir;
    KzVellum* m_pWindow = nullptr;
};

void tst_KzPlateUndo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
}

void tst_KzPlateUndo::init()
{
    m_pWindow = new KzVellum(nullptr);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QApplication::setActiveWindow(m_pWindow);
    QTRY_VERIFY(m_pWindow->isActiveWindow());
    // The keys start on the plate.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(View()));
}

void tst_KzPlateUndo::cleanup()
{
    delete m_pWindow;
    m_pWindow = nullptr;
}

KzPlate tst_KzPlateUndo::Plate()
{
    KzPlate plate;
    for (const KzModelPainter* p : Scene().GetPainters())
        plate.matrices.insert(p->GetID(), QByteArray(reinterpret_cast<const char*>(p->GetModelMatrix().constData()),
                                                     16 * sizeof(float)));
    const QString path = m_dir.filePath("plate.stl");
    QFile::remove(path);
    if (View()->SaveAllModel(path))
        plate.stl = ReadAll(path);
    return plate;
}

QString tst_KzPlateUndo::Box(const QString& name, const QVector3D& size)
{
    const QString path = m_dir.filePath(name);
    return WriteBinaryStl(path, BoxTriangles(QVector3D(0, 0, 0), size)) ? path : QString();
}

// Without a window manager nobody hands the input focus back to the window
// when a dialog closes; a desktop does, and so does this.
void tst_KzPlateUndo::Activate()
{
    if (!m_pWindow->isActiveWindow())
        QApplication::setActiveWindow(m_pWindow);
    QVERIFY(QTest::qWaitFor([this] { return m_pWindow->isActiveWindow(); }));
}

void tst_KzPlateUndo::Key(int key, Qt::KeyboardModifiers modifiers)
{
    Activate();
    QTest::keyClick(m_pWindow->windowHandle(), Qt::Key(key), modifiers);
    QCoreApplication::processEvents();
}

QPoint tst_KzPlateUndo::At(const QVector3D& p)
{
    View()->repaint();   // picking and dragging use the camera of the last frame
    const QPoint inView = ProjectToImage(KzViewAccess::Camera(View()), p, View()->width(), View()->height()).toPoint();
    return View()->mapTo(m_pWindow, inView);
}

void tst_KzPlateUndo::Click(const QPoint& at)
{
    Activate();
    QTest::mouseClick(m_pWindow->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    QCoreApplication::processEvents();
}

// The acceptance walk: two models opened with Ctrl+O, one dragged, turned
// with the panel's arrows (two values, one step), copied with Ctrl+D,
// arranged with A, the copy removed with Delete; then Ctrl+Z back to the
// empty plate and Ctrl+Shift+Z / Ctrl+Y forward again, every plate compared
// with the one recorded at that step.
void tst_KzPlateUndo::openMoveRotateDuplicateArrangeRemoveThenUndoAndRedoAll()
{
    QList<KzPlate> plates{ Plate() };
    QVERIFY(plates.first().matrices.isEmpty() && plates.first().stl.isEmpty());
    const QString paths[2] = { Box("cube.stl", QVector3D(20, 20, 10)), Box("bar.stl", QVector3D(30, 15, 8)) };
    for (const QString& path : paths) {
        KzModalUser user(SaveOrOpen(path));
        Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(user.m_nDialogs, 1);
        plates << Plate();
        QCOMPARE(Steps(), plates.size() - 1);
    }
    QCOMPARE(Scene().GetPainters().size(), 2);
    KzModelPainter* bar = Scene().GetCurrentPainter();
    Activate();

    // Drag the bar 15 mm along x by its top.
    const QVector3D top = bar->GetCenter() + QVector3D(0, 0, 4);
    const QPoint from = At(top);
    QWindow* w = m_pWindow->windowHandle();
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(w, (from + At(top + QVector3D(8, 0, 0))) / 2);
    QTest::mouseMove(w, At(top + QVector3D(15, 0, 0)));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, At(top + QVector3D(15, 0, 0)));
    QTRY_COMPARE(Steps(), 3);
    QVERIFY2(bar->GetCenter().x() > top.x() + 10, "the bar followed the cursor");
    QCOMPARE(Field("Position_X")->value(), Shown(bar->GetCenter().x()));
    plates << Plate();

    // Rotate mode; two clicks on Rotate_Z's up arrow send 15 and 15: one step.
    QTest::mouseClick(m_pWindow->findChild<QPushButton*>("pushButton_Rotate"), Qt::LeftButton);
    QDoubleSpinBox* rz = Field("Rotate_Z");
    QVERIFY(rz->isVisible());
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(rz, Qt::LeftButton, Qt::NoModifier, QPoint(rz->width() - 6, 4));
    QCOMPARE(rz->value(), 30.0);
    QTest::keyClick(rz, Qt::Key_Return);
    QCOMPARE(Steps(), 4);
    plates << Plate();

    // Back to the plate: Move mode, a click on the bar gives the view the keys.
    QTest::mouseClick(m_pWindow->findChild<QPushButton*>("pushButton_Translate"), Qt::LeftButton);
    Click(At(bar->GetCenter() + QVector3D(0, 0, 4)));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(View()));
    QCOMPARE(Scene().GetCurrentPainter(), bar);
    QCOMPARE(Steps(), 4);

    Key(Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(Scene().GetPainters().size(), 3);
    KzModelPainter* copy = Scene().GetCurrentPainter();
    QVERIFY(copy != bar && copy->GetModel() == bar->GetModel());
    plates << Plate();
    Key(Qt::Key_A);
    QCOMPARE(TipDetail(), QString("All models on the plate were arranged"));
    plates << Plate();
    Key(Qt::Key_Delete);
    QCOMPARE(Scene().GetPainters().size(), 2);
    plates << Plate();
    QCOMPARE(Steps(), 7);
    for (int i = 1; i < plates.size(); ++i)
        QVERIFY2(!(plates[i] == plates[i - 1]), qPrintable(QString("step %1 changed the plate").arg(i)));

    // Undo every step back to the empty plate.
    for (int i = plates.size() - 2; i >= 0; --i) {
        Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(Plate() == plates[i], qPrintable(QString("undone to step %1").arg(i)));
        QCOMPARE(TipDetail(), QString("The last change was undone"));
        if (i == 6) {
            // The removed copy is back, selected, and the panel reads it.
            QCOMPARE(Scene().GetCurrentPainter(), copy);
            QVERIFY(Field("Position_X")->isVisible());
            QCOMPARE(Field("Position_X")->value(), Shown(copy->GetCenter().x()));
            QCOMPARE(Field("Rotate_Z")->value(), 0.0);
        }
    }
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Nothing to undo"));
    QVERIFY(Scene().GetModels().isEmpty());

    // And forward again, by both redo keys.
    for (int i = 1; i < plates.size(); ++i) {
        if (i % 2)
            Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            Key(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY2(Plate() == plates[i], qPrintable(QString("redone to step %1").arg(i)));
    }
    Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Nothing to redo"));
}

// Each remaining key once: arrows by 1 and 10 mm (each a step, pushing the
// neighbour away), keys in a number field staying there, Escape, Ctrl+S
// before and after a slice, the preview refusing plate changes,
// Ctrl+Shift+S, F1, and another printer emptying the history.
void tst_KzPlateUndo::everyShortcutOnTheWindow()
{
    m_pWindow->OpenModels({ Box("a.stl", QVector3D(20, 20, 10)), Box("b.stl", QVector3D(20, 20, 10)) });
    KzModelPainter* b = Scene().GetCurrentPainter();
    KzModelPainter* a = Scene().GetPainters().first();
    QCOMPARE(b->GetCenter().toVector2D(), QVector2D(0, 24));   // above a, 2 mm between their footprints
    Click(At(a->GetCenter() + QVector3D(0, 0, 5)));
    QCOMPARE(Scene().GetCurrentPainter(), a);
    const KzPlate start = Plate();
    const int steps = Steps();

    // Seen from the default camera the arrows follow the plate's axes.
    const struct { int key; Qt::KeyboardModifiers modifiers; QVector2D move; } arrows[] = {
        { Qt::Key_Right, Qt::NoModifier, { 1, 0 } },     { Qt::Key_Left, Qt::NoModifier, { -1, 0 } },
        { Qt::Key_Up, Qt::NoModifier, { 0, 1 } },        { Qt::Key_Down, Qt::NoModifier, { 0, -1 } },
        { Qt::Key_Right, Qt::ShiftModifier, { 10, 0 } }, { Qt::Key_Left, Qt::ShiftModifier, { -10, 0 } },
        { Qt::Key_Up, Qt::ShiftModifier, { 0, 10 } },    { Qt::Key_Down, Qt::ShiftModifier, { 0, -10 } },
    };
    for (const auto& arrow : arrows) {
        const QVector2D was = a->GetCenter().toVector2D();
        const QVector2D bWas = b->GetCenter().toVector2D();
        Key(arrow.key, arrow.modifiers);
        QVERIFY((a->GetCenter().toVector2D() - was - arrow.move).length() < 1e-4f);
        // 10 mm up runs a into b: b is pushed away in the same step.
        QCOMPARE(b->GetCenter().toVector2D() != bWas, arrow.move == QVector2D(0, 10));
    }
    QCOMPARE(Steps(), steps + 8);
    QCOMPARE(Field("Position_Y")->value(), Shown(a->GetCenter().y()));
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Plate() == start);

    // While a number field is typed in, the keys are the field's.
    Field("Position_X")->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Field("Position_X")));
    for (const int key : { int(Qt::Key_Delete), int(Qt::Key_A), int(Qt::Key_Right), int(Qt::Key_Escape) })
        Key(key);
    Key(Qt::Key_D, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Plate() == start);
    QCOMPARE(Steps(), steps);
    QCOMPARE(Scene().GetCurrentPainter(), a);

    // Escape on the view clears the selection.
    Click(At(a->GetCenter() + QVector3D(0, 0, 5)));
    Key(Qt::Key_Escape);
    QVERIFY(!View()->HasSelection());
    QVERIFY(!Field("Position_X")->isVisible());
    QVERIFY(m_pWindow->isVisible());

    // Ctrl+S before any slice only says what to do.
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Slice first, then save the G-code"));
    // A slice ends well (its G-code where the engine leaves it): the preview.
    const QByteArray gcode = ";FLAVOR:Marlin\n;LAYER:0\nG1 X10 Y10 E1\nG1 X20 Y10 E2\n;LAYER:1\nG1 Z0.4 X10 Y10 E3\n";
    QFile tmp(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    QVERIFY(tmp.open(QIODevice::WriteOnly) && tmp.write(gcode) == gcode.size());
    tmp.close();
    QVERIFY(QMetaObject::invokeMethod(m_pWindow->findChild<KzSliceWidget*>(), "slot_SliceComplete", Q_ARG(int, 0)));
    QVERIFY(View()->IsLayerMode());
    auto* quit = m_pWindow->findChild<QWidget*>("LayerControlWidget");
    QVERIFY(quit && quit->isVisible());
    // The plate waits while the layers are shown.
    Key(Qt::Key_A);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Leave the slice preview to change the plate"));
    QVERIFY(Plate() == start);
    // Ctrl+S now saves the G-code where the user says.
    const QString saved = m_dir.filePath("print.gcode");
    {
        QStringList boxes;
        KzModalUser user(SaveOrOpen(saved, &boxes));
        Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(user.m_nDialogs, 2);
        QCOMPARE(boxes.size(), 1);
    }
    QCOMPARE(ReadAll(saved), gcode);
    // With nothing selected, Escape leaves the preview and its panels.
    Key(Qt::Key_Escape);
    QVERIFY(!View()->IsLayerMode());
    QVERIFY(!quit->isVisible());
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Slice first, then save the G-code"));

    // Ctrl+Shift+S writes the plate's STL, as the view writes it.
    const QString stl = m_dir.filePath("both.stl");
    {
        KzModalUser user(SaveOrOpen(stl));
        Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(user.m_nDialogs, 2);   // the dialog and the box that says it was saved
    }
    QCOMPARE(ReadAll(stl), start.stl);

    // F1 opens the guide beside the program.
    KzUrlCatcher desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "Open");
    Key(Qt::Key_F1);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(desktop.m_listUrls, QList<QUrl>{ QUrl::fromLocalFile(KzDataFolder::GetHelpFile("index.html")) });

    // A change, then another printer from the dial's centre: a new history.
    Click(At(a->GetCenter() + QVector3D(0, 0, 5)));
    Key(Qt::Key_Delete);
    QVERIFY(Steps() > 0);
    const int other = (KzConfigureData::GetInstance()->GetCurrentMachineType() + 1) % 6;
    KzModalUser chooser([other](QWidget* dialog) {
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->GetId() == other && tile->parentWidget()->inherits("KzMachineSelectWidget"))
                QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
        QPushButton* yes = dialog->findChild<QPushButton*>("pushButton_Yes");
        QTimer::singleShot(0, yes, [yes] { yes->click(); });
    });
    QWidget* centre = m_pWindow->findChild<QWidget*>("dialButton4");
    QTest::mouseClick(centre, Qt::LeftButton, Qt::NoModifier, centre->rect().center());
    QCOMPARE(chooser.m_nDialogs, 1);
    QCOMPARE(KzConfigureData::GetInstance()->GetCurrentMachineType(), other);
    QCOMPARE(View()->GetUndoStack()->count(), 0);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TipDetail(), QString("Nothing to undo"));
    QCOMPARE(Scene().GetPainters().size(), 1);
}

// The tool tips of the dial's sectors and the buttons name their keys, in
// English and Chinese; the guide lists every key the window answers to; the
// floating buttons show their whole text. Pictures of the window with a tip
// shown are kept for review (plate-keys-en.png, plate-keys-zh.png).
void tst_KzPlateUndo::toolTipsNameTheKeysInBothLanguages()
{
    m_pWindow->OpenModels({ Box("a.stl", QVector3D(20, 20, 10)) });
    auto tip = [this](const char* name) { return m_pWindow->findChild<QWidget*>(name)->toolTip(); };
    const QList<QPair<const char*, QStringList>> expected = {
        { "dialButton1", { "Open a model file (Ctrl+O)", "打开模型文件（Ctrl+O）" } },
        { "dialButton2", { "Save all models on the plate as one STL file (Ctrl+Shift+S)",
                           "把平台上的所有模型保存为一个STL文件（Ctrl+Shift+S）" } },
        { "dialButton3", { "Remove the selected model (Del)", "删除选中的模型（Del）" } },
        { "pushButton_Duplicate", { "Duplicate the selected model (Ctrl+D)", "复制选中的模型（Ctrl+D）" } },
    };
    QPushButton* arrange = nullptr;
    for (QPushButton* b : m_pWindow->findChild<QWidget*>("widget_GL")->findChildren<QPushButton*>())
        if (b->text() == "Arrange\nAll")
            arrange = b;
    QVERIFY(arrange);
    const QString guide = QString::fromUtf8(ReadAll(KZ_SOURCE_DIR "/Help/index.html"));
    for (int language : { 1, 0 }) {
        QVERIFY(QMetaObject::invokeMethod(m_pWindow, "slot_LanguageChanged", Q_ARG(int, language)));
        QCoreApplication::processEvents();
        for (const auto& e : expected)
            QCOMPARE(tip(e.first), e.second.at(1 - language));
        QCOMPARE(arrange->toolTip(), language ? QString("Arrange all models on the plate (A)")
                                              : QString("重新摆放平台上的所有模型（A）"));
        // The whole text shows: no ink of it in the buttons' outer columns.
        for (QPushButton* b : m_pWindow->findChild<QWidget*>("widget_GL")->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!b->isVisible())
                continue;
            const QImage image = b->grab().toImage();
            for (int y = 0; y < image.height(); ++y)
                for (const int x : { 0, 1, image.width() - 2, image.width() - 1 }) {
                    const QColor c = image.pixelColor(x, y);
                    QVERIFY2(c.blue() - c.red() > 40, qPrintable(b->text() + " is clipped"));
                }
        }

        // A control's tip as a hover brings it (the help event that the
        // hover's timer sends; the timer itself waits for an active window,
        // which other tests on the same X server may take); a picture of
        // the screen with it.
        const QList<QPair<QWidget*, QPoint>> hovered = {
            { arrange, arrange->rect().center() },
            { m_pWindow->findChild<QWidget*>("dialButton1"), QPoint(100, 25) },
            { m_pWindow->findChild<QWidget*>("pushButton_Duplicate"), QPoint(30, 30) },
        };
        int shot = 0;
        for (const auto& h : hovered) {
            QHelpEvent hover(QEvent::ToolTip, h.second, h.first->mapToGlobal(h.second));
            QApplication::sendEvent(h.first, &hover);
            QVERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), h.first->toolTip());
            QTest::qWait(300);
            const QRect frame = m_pWindow->frameGeometry().adjusted(0, 0, 0, 40);
            QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .save(QString("plate-keys-%1-%2.png").arg(language ? "en" : "zh").arg(shot++));
            QToolTip::hideText();
        }
    }
    // The guide lists every key of every shortcut.
    int keys = 0;
    for (QAction* action : m_pWindow->actions())
        for (const QKeySequence& key : action->shortcuts()) {
            ++keys;
            const QString text = "<kbd>" + key.toString(QKeySequence::PortableText) + "</kbd>";
            QVERIFY2(guide.contains(text), qPrintable(text + " is not in the guide"));
        }
    QCOMPARE(keys, 19);
}

QTEST_MAIN(tst_KzPlateUndo)
#include "tst_KzPlateUndo.moc"
