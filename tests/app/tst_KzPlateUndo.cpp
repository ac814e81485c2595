// Undo, redo and the keyboard in the real window, as a user drives them:
// keys pressed on the window, clicks and drags in the view, the edit bar and
// panel, the file dialogs answered. Plates are compared by every instance's
// matrix bits and the view's STL bytes of the whole plate.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzModelPainter.h"
#include "KzSelectItemWidget.h"
#include "KzSliceWidget.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolTip>
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

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers each modal dialog once, from a timer: a file dialog gets the path
// and Enter, a message box is accepted, anything else goes to the callback.
class KzModalUser : public QObject
{
public:
    explicit KzModalUser(const QString& path, std::function<void(QWidget*)> other = nullptr)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, path, other] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal->property("kzAnswered").toBool())
                return;
            modal->setProperty("kzAnswered", true);
            ++m_nDialogs;
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                name->setText(path);
                QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                QTimer::singleShot(0, box, [box] { box->accept(); });
            } else if (other) {
                other(modal);
            }
        });
        m_timer.start(30);
    }
    int m_nDialogs = 0;

private:
    QTimer m_timer;
};

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
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    }
    void init();
    void cleanup() { delete m_pWindow; }

    void openMoveRotateDuplicateArrangeRemoveThenUndoAndRedoAll();
    void everyOtherShortcutOnTheWindow();
    void toolTipsNameTheKeysAndTheGuideListsThem();

private:
    KzGLView* View() const { return m_pWindow->findChild<KzGLView*>("openGLWidget"); }
    Kz3DScene& Scene() const { return KzViewAccess::Scene(View()); }
    int Steps() const { return View()->GetUndoStack()->index(); }
    QDoubleSpinBox* Field(const char* name) const { return m_pWindow->findChild<QDoubleSpinBox*>(name); }
    QString Tip() const { return m_pWindow->findChild<KzTipWidget*>()->GetDetail(); }
    QString Box(const QString& name, const QVector3D& size);
    QPair<QMap<int, QByteArray>, QByteArray> Plate();
    void Activate();
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void Click(const KzModelPainter* p);
    QPoint At(const QVector3D& p);

    QTemporaryDir m_dir;
    KzVellum* m_pWindow = nullptr;
};

void tst_KzPlateUndo::init()
{
    m_pWindow = new KzVellum(nullptr);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    Activate();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(View()));   // the keys start on the plate
}

QString tst_KzPlateUndo::Box(const QString& name, const QVector3D& size)
{
    const QString path = m_dir.filePath(name);
    return WriteBinaryStl(path, BoxTriangles(QVector3D(0, 0, 0), size)) ? path : QString();
}

QPair<QMap<int, QByteArray>, QByteArray> tst_KzPlateUndo::Plate()
{
    QMap<int, QByteArray> matrices;
    for (const KzModelPainter* p : Scene().GetPainters())
        matrices.insert(p->GetID(), QByteArray(reinterpret_cast<const char*>(p->GetModelMatrix().constData()), 64));
    const QString path = m_dir.filePath("plate.stl");
    QFile::remove(path);
    return { matrices, View()->SaveAllModel(path) ? ReadAll(path) : QByteArray() };
}

// Without a window manager nobody hands the input focus back to the window
// when a dialog closes, or when another test's window took it; a desktop
// does, and so does this.
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

void tst_KzPlateUndo::Click(const KzModelPainter* p)
{
    Activate();
    QTest::mouseClick(m_pWindow->windowHandle(), Qt::LeftButton, Qt::NoModifier, At(p->GetCenter() + QVector3D(0, 0, 4)));
}

QPoint tst_KzPlateUndo::At(const QVector3D& p)
{
    View()->repaint();   // picking and dragging use the camera of the last frame
    return View()->mapTo(m_pWindow, ProjectToImage(KzViewAccess::Camera(View()), p, View()->width(), View()->height()).toPoint());
}

// Two models opened with Ctrl+O, one dragged, turned with two clicks on the
// panel's arrow (one step), copied with Ctrl+D, arranged with A, the copy
// removed with Delete; then Ctrl+Z back to the empty plate and Ctrl+Shift+Z
// and Ctrl+Y forward again, each plate compared with the one of its step.
void tst_KzPlateUndo::openMoveRotateDuplicateArrangeRemoveThenUndoAndRedoAll()
{
    QList<QPair<QMap<int, QByteArray>, QByteArray>> plates{ Plate() };
    for (const QString& path : { Box("cube.stl", QVector3D(20, 20, 10)), Box("bar.stl", QVector3D(30, 15, 8)) }) {
        KzModalUser user(path);
        Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(user.m_nDialogs, 1);
        plates << Plate();
    }
    KzModelPainter* bar = Scene().GetCurrentPainter();
    const QVector3D top = bar->GetCenter() + QVector3D(0, 0, 4);
    Activate();
    QTest::mousePress(m_pWindow->windowHandle(), Qt::LeftButton, Qt::NoModifier, At(top));
    QTest::mouseMove(m_pWindow->windowHandle(), At(top + QVector3D(8, 0, 0)));
    QTest::mouseMove(m_pWindow->windowHandle(), At(top + QVector3D(15, 0, 0)));
    QTest::mouseRelease(m_pWindow->windowHandle(), Qt::LeftButton, Qt::NoModifier, At(top + QVector3D(15, 0, 0)));
    QTRY_VERIFY(bar->GetCenter().x() > top.x() + 10);
    plates << Plate();
    QTest::mouseClick(m_pWindow->findChild<QPushButton*>("pushButton_Rotate"), Qt::LeftButton);
    QDoubleSpinBox* rz = Field("Rotate_Z");
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(rz, Qt::LeftButton, Qt::NoModifier, QPoint(rz->width() - 6, 4));
    QTest::keyClick(rz, Qt::Key_Return);
    QCOMPARE(rz->value(), 30.0);
    plates << Plate();
    // Move mode again; a click on the bar gives the keys back to the view.
    QTest::mouseClick(m_pWindow->findChild<QPushButton*>("pushButton_Translate"), Qt::LeftButton);
    Click(bar);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(View()));
    Key(Qt::Key_D, Qt::ControlModifier);
    KzModelPainter* copy = Scene().GetCurrentPainter();
    QVERIFY(copy != bar && copy->GetModel() == bar->GetModel());
    plates << Plate();
    Key(Qt::Key_A);
    plates << Plate();
    Key(Qt::Key_Delete);
    plates << Plate();
    QCOMPARE(Steps(), plates.size() - 1);
    for (int i = 1; i < plates.size(); ++i)
        QVERIFY2(plates[i] != plates[i - 1], qPrintable(QString("step %1 changed the plate").arg(i)));

    for (int i = plates.size() - 2; i >= 0; --i) {
        Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(Plate() == plates[i], qPrintable(QString("undone to step %1").arg(i)));
        QCOMPARE(Tip(), QString("The last change was undone"));
        if (i == 6) {
            // The removed copy is back, selected, and the panel reads it afresh.
            QCOMPARE(Scene().GetCurrentPainter(), copy);
            QCOMPARE(Field("Position_X")->value(), qRound(double(copy->GetCenter().x()) * 100) / 100.0);
            QCOMPARE(Field("Rotate_Z")->value(), 0.0);
        }
    }
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Tip(), QString("Nothing to undo"));
    for (int i = 1; i < plates.size(); ++i) {
        Key(i % 2 ? Qt::Key_Z : Qt::Key_Y, i % 2 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        QVERIFY2(Plate() == plates[i], qPrintable(QString("redone to step %1").arg(i)));
    }
    Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Tip(), QString("Nothing to redo"));
}

// Arrows by 1 and 10 mm (each a step; 10 mm up pushes the neighbour away),
// keys in a number field staying there, Escape, Ctrl+S before and after a
// slice, the preview refusing plate changes, Ctrl+Shift+S, F1, and another
// printer emptying the history.
void tst_KzPlateUndo::everyOtherShortcutOnTheWindow()
{
    m_pWindow->OpenModels({ Box("a.stl", QVector3D(20, 20, 10)), Box("b.stl", QVector3D(20, 20, 10)) });
    QTRY_VERIFY(!m_pWindow->IsOpeningModels());
    KzModelPainter* a = Scene().GetPainters().first();
    KzModelPainter* b = Scene().GetPainters().last();
    QCOMPARE(b->GetCenter().toVector2D(), QVector2D(0, 24));   // 2 mm between their footprints
    Click(a);
    const auto start = Plate();
    const int steps = Steps();
    const struct { int key; Qt::KeyboardModifiers modifiers; QVector2D move; } arrows[] = {
        { Qt::Key_Right, Qt::NoModifier, { 1, 0 } },     { Qt::Key_Left, Qt::NoModifier, { -1, 0 } },
        { Qt::Key_Up, Qt::NoModifier, { 0, 1 } },        { Qt::Key_Down, Qt::NoModifier, { 0, -1 } },
        { Qt::Key_Right, Qt::ShiftModifier, { 10, 0 } }, { Qt::Key_Left, Qt::ShiftModifier, { -10, 0 } },
        { Qt::Key_Up, Qt::ShiftModifier, { 0, 10 } },    { Qt::Key_Down, Qt::ShiftModifier, { 0, -10 } },
    };
    for (const auto& arrow : arrows) {
        const QVector2D was = a->GetCenter().toVector2D(), bWas = b->GetCenter().toVector2D();
        Key(arrow.key, arrow.modifiers);
        QVERIFY((a->GetCenter().toVector2D() - was - arrow.move).length() < 1e-4f);
        QCOMPARE(b->GetCenter().toVector2D() != bWas, arrow.move == QVector2D(0, 10));
    }
    QCOMPARE(Steps(), steps + 8);
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Plate() == start);

    // While a number field has the focus, the keys are the field's.
    Field("Position_X")->setFocus();
    for (const int key : { int(Qt::Key_Delete), int(Qt::Key_A), int(Qt::Key_Right), int(Qt::Key_Escape) })
        Key(key);
    Key(Qt::Key_D, Qt::ControlModifier);
    QVERIFY(Plate() == start && Steps() == steps && View()->HasSelection());
    Click(a);
    Key(Qt::Key_Escape);
    QVERIFY(!View()->HasSelection() && !Field("Position_X")->isVisible());

    // Ctrl+S: first only a hint; after a slice (its G-code where the engine
    // leaves it, the panel told the run ended well) it saves; the preview
    // holds the plate; Escape leaves the preview.
    Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Tip(), QString("Slice first, then save the G-code"));
    const QByteArray gcode = ";LAYER:0\nG1 X10 Y10 E1\nG1 X20 Y10 E2\n;LAYER:1\nG1 Z0.4 X10 Y10 E3\n";
    QFile tmp(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    QVERIFY(tmp.open(QIODevice::WriteOnly) && tmp.write(gcode) == gcode.size());
    tmp.close();
    QVERIFY(QMetaObject::invokeMethod(m_pWindow->findChild<KzSliceWidget*>(), "slot_SliceComplete", Q_ARG(int, 0)));
    QWidget* layers = m_pWindow->findChild<QWidget*>("LayerControlWidget");
    QVERIFY(View()->IsLayerMode() && layers->isVisible());
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Tip(), QString("Leave the slice preview to change the plate"));
    {
        KzModalUser user(m_dir.filePath("print.gcode"));
        Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(user.m_nDialogs, 2);   // the file dialog, then the box that says it is saved
    }
    QCOMPARE(ReadAll(m_dir.filePath("print.gcode")), gcode);
    Key(Qt::Key_Escape);
    QVERIFY(!View()->IsLayerMode() && !layers->isVisible());

    // Ctrl+Shift+S writes the plate's STL as the view writes it.
    {
        KzModalUser user(m_dir.filePath("both.stl"));
        Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(user.m_nDialogs, 2);
    }
    QCOMPARE(ReadAll(m_dir.filePath("both.stl")), start.second);

    KzUrlCatcher desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "Open");
    Key(Qt::Key_F1);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(desktop.m_listUrls, QList<QUrl>{ QUrl::fromLocalFile(KzDataFolder::GetHelpFile("index.html")) });

    // A removal, then another printer chosen from the dial's centre: the
    // history starts anew.
    Click(a);
    Key(Qt::Key_Delete);
    const int other = (KzConfigureData::GetInstance()->GetCurrentMachineType() + 1) % 6;
    KzModalUser chooser(QString(), [other](QWidget* dialog) {
        for (KzSelectItemWidget* tile : dialog->findChildren<KzSelectItemWidget*>())
            if (tile->GetId() == other && tile->parentWidget()->inherits("KzMachineSelectWidget"))
                QTest::mouseClick(tile->GetPictureButton(), Qt::LeftButton);
        QPushButton* yes = dialog->findChild<QPushButton*>("pushButton_Yes");
        QTimer::singleShot(0, yes, [yes] { yes->click(); });
    });
    QWidget* centre = m_pWindow->findChild<QWidget*>("dialButton4");
    QTest::mouseClick(centre, Qt::LeftButton, Qt::NoModifier, centre->rect().center());
    QCOMPARE(KzConfigureData::GetInstance()->GetCurrentMachineType(), other);
    Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Tip(), QString("Nothing to undo"));
    QCOMPARE(Scene().GetPainters().size(), 1);
}

// The tips of the dial's sectors and of the buttons name their keys in both
// languages; the floating buttons show their whole text; pictures of the
// window with a tip shown (plate-keys-en-0.png ... plate-keys-zh-1.png); the
// guide lists every key of every shortcut.
void tst_KzPlateUndo::toolTipsNameTheKeysAndTheGuideListsThem()
{
    m_pWindow->OpenModels({ Box("a.stl", QVector3D(20, 20, 10)) });
    QWidget* page = m_pWindow->findChild<QWidget*>("widget_GL");
    QPushButton* arrange = nullptr;
    for (QPushButton* b : page->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        arrange = b->text() == "Arrange\nAll" ? b : arrange;
    QVERIFY(arrange);
    const QList<QPair<const char*, const char*>> keys = {
        { "dialButton1", "Ctrl+O" }, { "dialButton2", "Ctrl+Shift+S" }, { "dialButton3", "Del" }, { "pushButton_Duplicate", "Ctrl+D" }
    };
    for (int language : { 1, 0 }) {
        QVERIFY(QMetaObject::invokeMethod(m_pWindow, "slot_LanguageChanged", Q_ARG(int, language)));
        for (const auto& k : keys) {
            const QString named = language ? QString(" (%1)").arg(k.second) : QString::fromUtf8("（%1）").arg(k.second);
            QVERIFY2(m_pWindow->findChild<QWidget*>(k.first)->toolTip().endsWith(named), k.first);
        }
        QCOMPARE(arrange->toolTip(), language ? QString("Arrange all models on the plate (A)") : QString::fromUtf8("重新摆放平台上的所有模型（A）"));
        // No ink of the text in the buttons' outer columns: nothing is clipped.
        for (QPushButton* b : page->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QImage image = b->grab().toImage();
            for (int y = 0; b->isVisible() && y < image.height(); ++y)
                for (const int x : { 0, 1, image.width() - 2, image.width() - 1 })
                    QVERIFY2(image.pixelColor(x, y).blue() - image.pixelColor(x, y).red() > 40, qPrintable(b->text()));
        }
        // The tip a hover brings (the help event its timer sends), on the screen.
        int shot = 0;
        for (QWidget* w : { static_cast<QWidget*>(arrange), m_pWindow->findChild<QWidget*>("pushButton_Duplicate") }) {
            QHelpEvent hover(QEvent::ToolTip, QPoint(20, 20), w->mapToGlobal(QPoint(20, 20)));
            QApplication::sendEvent(w, &hover);
            QVERIFY(QToolTip::isVisible() && QToolTip::text() == w->toolTip());
            QTest::qWait(300);
            const QRect frame = m_pWindow->frameGeometry();
            QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .save(QString("plate-keys-%1-%2.png").arg(language ? "en" : "zh").arg(shot++));
            QToolTip::hideText();
        }
    }
    const QString guide = QString::fromUtf8(ReadAll(KZ_SOURCE_DIR "/Help/index.html"));
    int count = 0;
    for (QAction* action : m_pWindow->actions())
        for (const QKeySequence& key : action->shortcuts()) {
            const QString text = "<kbd>" + key.toString(QKeySequence::PortableText) + "</kbd>";
            QVERIFY2(guide.contains(text), qPrintable(text + " is not in the guide"));
            ++count;
        }
    QCOMPARE(count, 19);
}

QTEST_MAIN(tst_KzPlateUndo)
#include "tst_KzPlateUndo.moc"
