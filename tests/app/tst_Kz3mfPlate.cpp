// The plate as a 3MF package: three instances (two of one mesh) saved, opened
// again and sliced through the real engine bridge give the same instances,
// the same matrices bit for bit and the same G-code; and packages through the
// window: the open dialog, a drop, the save sector's 3MF filter, and bad
// packages refused by name and reason while the model on the plate stays put.
#include "Kz3mfTestFiles.h"
#include "KzGLView.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzSliceStage.h"
#include "KzSliceWidget.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace Kz3mfTest;
using namespace KzViewTest;

namespace {

struct KzSceneOf : KzGLView
{
    static Kz3DScene& Of(KzGLView* view) { return (view->*(&KzSceneOf::GetScene))(); }
};

// Each instance's matrix, and which instances share a mesh (the index of the
// first instance of theirs), in the plate's order.
struct Plate
{
    QVector<QMatrix4x4> matrices;
    QVector<int> meshOf;
    bool operator==(const Plate& o) const { return matrices == o.matrices && meshOf == o.meshOf; }
};

Plate PlateOf(KzGLView* view)
{
    Plate plate;
    QVector<const KzModel3D*> models;
    for (const KzModelPainter* p : KzSceneOf::Of(view).GetPainters()) {
        plate.matrices.append(p->GetModelMatrix());
        if (!models.contains(p->GetModel()))
            models.append(p->GetModel());
        plate.meshOf.append(models.indexOf(p->GetModel()));
    }
    return plate;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the next file dialog with a name, and the filter when one is given;
// message boxes are accepted.
class DialogUser : public QObject
{
public:
    DialogUser(const QString& path, const QString& filter = QString()) : m_strPath(path), m_strFilter(filter)
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogUser::Poll);
        m_timer.start(30);
    }
    QStringList m_listFilters;
    QStringList m_listBoxes;   // "title / text" of each message box

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("kzAnswered").toBool())
            return;
        modal->setProperty("kzAnswered", true);
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            m_listFilters = dialog->nameFilters();
            if (!m_strFilter.isEmpty())
                dialog->selectNameFilter(m_strFilter);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(m_strPath);
            QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_listBoxes << box->windowTitle() + " / " + box->text();
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
    }

    QString m_strPath;
    QString m_strFilter;
    QTimer m_timer;
};

} // namespace

class tst_Kz3mfPlate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void threeInstancesReopenAndSliceAlike();
    void packagesThroughTheWindow();

private:
    // Slices the stage's plate with the standard preset; the G-code written.
    QByteArray Slice();
    void ClickDial(KzVellum& window, int id);
    // With KZ_SAVE_FRAMES naming a folder, keeps a picture of the window there.
    static void Shot(QWidget& window, const char* name);
    QString Detail(KzVellum& window) const { return window.findChild<KzTipWidget*>()->GetDetail(); }

    QTemporaryDir m_dir;
    KzSliceStage m_stage;
    QString m_strGCode;
};

void tst_Kz3mfPlate::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strGCode = KzSliceStage::StartMachine();
}

QByteArray tst_Kz3mfPlate::Slice()
{
    QFile::remove(m_strGCode);
    m_stage.m_pPanel->ShowOnekeyPrint();
    QSignalSpy layers(m_stage.m_pPanel, &KzSliceWidget::signal_ShowLayerControl);
    QTest::mouseClick(m_stage.Button("pushButton_Standard"), Qt::LeftButton);
    if (!layers.wait(300000))
        return QByteArray();
    return ReadAll(m_strGCode);
}

// Moved by fractions of a millimetre, turned, one laid on its side: saved as
// 3MF, opened in a new view (a new start of the program), every instance's
// matrix is the one it had, and the engine prints the same G-code.
void tst_Kz3mfPlate::threeInstancesReopenAndSliceAlike()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(KZ_OUTPUT_DIR)));
    const QString cube = m_dir.filePath("cube.stl");
    const QString slab = m_dir.filePath("slab.stl");
    QVERIFY(WriteBinaryStl(cube, BoxTriangles(QVector3D(-7.5f, -7.5f, 0), QVector3D(7.5f, 7.5f, 15))));
    QVERIFY(WriteBinaryStl(slab, BoxTriangles(QVector3D(0, 0, 0), QVector3D(22.3f, 9.1f, 6.7f))));
    m_stage.Build();
    KzGLView* view = m_stage.m_pView;
    const struct { const QString& file; QList<QList<QVariant>> edits; } steps[] = {
        {cube, {{0, -30.37f, 12.11f, 0.0f}}},
        {cube, {{1, 0.0f, 0.0f, 30.0f}, {0, 25.55f, -20.2f, 0.0f}}},
        {slab, {{1, 90.0f, 0.0f, 0.0f}, {0, 5.3f, 35.9f, 0.0f}}},
    };
    view->makeCurrent();
    for (const auto& step : steps) {
        QVERIFY(view->OpenSTLFile(step.file));
        for (const QList<QVariant>& edit : step.edits)
            view->slot_ReceiveEditList(edit);
    }
    const Plate before = PlateOf(view);
    QCOMPARE(before.meshOf, QVector<int>({0, 0, 1}));
    const QByteArray sliced = Slice();
    QVERIFY(sliced.contains(";LAYER:0"));

    const QString package = m_dir.filePath("plate.3mf");
    QVERIFY(view->SaveAllModel(package));
    m_stage.Clear();
    m_stage.Build();
    view = m_stage.m_pView;
    view->makeCurrent();
    QVERIFY(view->OpenSTLFile(package));
    QCOMPARE(KzSceneOf::Of(view).GetModels().size(), 2);
    const Plate after = PlateOf(view);
    QCOMPARE(after.meshOf, before.meshOf);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(after.matrices[i] == before.matrices[i], qPrintable(QString("instance %1").arg(i)));
    const QByteArray again = Slice();
    QVERIFY(again == sliced);
    m_stage.Clear();
}

void tst_Kz3mfPlate::ClickDial(KzVellum& window, int id)
{
    QWidget* button = window.findChild<QWidget*>(QString("dialButton%1").arg(id));
    const QPoint at = id == 1 ? QPoint(button->width() / 2, button->width() / 7)
                              : QPoint(button->width() / 7, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

void tst_Kz3mfPlate::Shot(QWidget& window, const char* name)
{
    const QString folder = qEnvironmentVariable("KZ_SAVE_FRAMES");
    if (folder.isEmpty())
        return;
    QTest::qWait(500);   // a frame or two of the view
    window.grab().save(QDir(folder).filePath(name));
}

void tst_Kz3mfPlate::packagesThroughTheWindow()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(KZ_OUTPUT_DIR)));
    const QString real = m_dir.filePath("real.stl");
    QVERIFY(WriteBinaryStl(real, BoxTriangles(QVector3D(0, 0, 0), QVector3D(20, 16, 12))));
    const QByteArray box = BoxObject(1, QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    const auto build = [](const QByteArray& resources, const QByteArray& items) {
        return Package(Model("<resources>" + resources + "</resources><build>" + items + "</build>"));
    };
    const QByteArray one = "<item objectid=\"1\"/>";
    QByteArray noise(4000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) % 251);
    Part types{"[Content_Types].xml", "<Types/>"};
    Part relations{"_rels/.rels", "<Relationships/>"};
    Part huge{"3D/3dmodel.model", {}, qint64(3) << 30, PackedVertices(8)};   // states 3 GiB
    Part liar{"3D/3dmodel.model", {}, 4096, PackedVertices(2200)};            // unpacks to 2.2 GiB
    const struct { const char* file; QByteArray bytes; const char* detail; } refused[] = {
        {"noise.3mf", noise, "it is not a 3MF package (not a zip archive)"},
        {"nomodel.3mf", Zip({types}), "the package holds no 3D model part"},
        {"cut.3mf", Package(Model("<resources>" + box).left(300)), "its model part is not valid 3MF XML"},
        {"index.3mf", build(QByteArray(box).replace("v3=\"3\"", "v3=\"8\""), one), "a triangle has invalid vertex indices"},
        {"missing.3mf", build(box, "<item objectid=\"5\"/>"), "a build item refers to an object that does not exist"},
        {"nan.3mf", build(QByteArray(box).replace("x=\"10\"", "x=\"nan\""), one), "it holds invalid coordinates or transforms"},
        {"far.3mf", build(box, "<item objectid=\"1\" transform=\"20000 0 0 0 1 0 0 0 1 0 0 0\"/>"),
         "the model is 200 m long, larger than any printer can hold"},
        {"stated.3mf", Zip({types, relations, huge}), "it holds more than 2 GB of mesh data"},
        {"bomb.3mf", Zip({types, relations, liar}), "it holds more than 2 GB of mesh data"},
        {"parts.3mf", QByteArray(), "it holds more than 2 GB of mesh data"},   // 100 million facets in parts
    };
    for (const auto& step : refused)
        QVERIFY(step.bytes.isEmpty() || WriteFile(m_dir.filePath(step.file), step.bytes));
    QVERIFY(WriteComponentBomb(m_dir.filePath("parts.3mf")));
    QVERIFY(WriteFile(m_dir.filePath("good.3mf"),
                      build(box, "<item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 30 40 0\"/>"
                                 "<item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 60 40 0\"/>")));

    KzVellum window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    KzGLView* view = window.findChild<KzGLView*>("openGLWidget");
    Kz3DScene& scene = KzSceneOf::Of(view);
    {
        DialogUser user(real);
        ClickDial(window, 1);
        QVERIFY(user.m_listFilters.first().contains("*.3mf"));
    }
    const QMatrix4x4 stood = scene.GetPainters().first()->GetModelMatrix();

    const int steps = view->GetUndoStack()->count();
    for (const auto& step : refused) {
        {
            DialogUser user(m_dir.filePath(step.file));
            ClickDial(window, 1);
        }
        QCOMPARE(Detail(window), QString(step.file) + " was not opened: " + step.detail);
        QCOMPARE(scene.GetPainters().size(), 1);
        QVERIFY2(scene.GetPainters().first()->GetModelMatrix() == stood, step.file);
    }
    QCOMPARE(scene.GetModels().size(), 1);
    QCOMPARE(view->GetUndoStack()->count(), steps);   // nothing to undo either

    // A drop opens a package like the dialog: both items, kept where the file puts them.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(m_dir.filePath("good.3mf"))});
    QDragEnterEvent enter(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    QCOMPARE(Detail(window), QString("Load STL file successfully"));
    QCOMPARE(scene.GetPainters().size(), 3);
    double x = 0;
    double y = 0;
    scene.GetLayerOffset(x, y);
    QCOMPARE(scene.GetPainters().last()->GetMin(), QVector3D(60 + float(x), 40 + float(y), 0));
    // lib3mf's own file: its three items come beside the others.
    QVERIFY(WriteComponentsInInches(m_dir.filePath("inches.3mf")));
    {
        DialogUser user(m_dir.filePath("inches.3mf"));
        ClickDial(window, 1);
    }
    QCOMPARE(scene.GetPainters().size(), 6);
    Shot(window, "3mf-plate-en.png");

    // The save sector offers 3MF: a bare name with that filter becomes a package.
    {
        DialogUser user(m_dir.filePath("saved"), "*.3mf");
        ClickDial(window, 2);
        QVERIFY(user.m_listFilters.contains("*.3mf"));
        QCOMPARE(user.m_listBoxes, QStringList{"Save 3MF / 3MF saved successfully"});
    }
    QVERIFY(ReadAll(m_dir.filePath("saved.3mf")).startsWith("PK\x03\x04"));

    // In Chinese the reason is told too.
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_LanguageChanged", Q_ARG(int, 0)));
    {
        DialogUser user(m_dir.filePath("missing.3mf"));
        ClickDial(window, 1);
    }
    QCOMPARE(Detail(window), QString::fromUtf8("未打开missing.3mf：构建项引用了不存在的对象"));
    QCOMPARE(scene.GetPainters().size(), 6);
    Shot(window, "3mf-refused-zh.png");
}

QTEST_MAIN(tst_Kz3mfPlate)
#include "tst_Kz3mfPlate.moc"
