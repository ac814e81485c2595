// Model files opened in the window after a real model, from the open dialog
// or by a drop: bad ones are refused by name and reason, partly bad ones say
// what was left out, in English and Chinese, and the model already on the
// plate never moves.
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QRegularExpression>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QRandomGenerator>
#include <QtTest>

#include <limits>

using namespace KzViewTest;

namespace {

struct KzSceneOf : KzGLView
{
    static Kz3DScene& Of(KzGLView* view) { return (view->*(&KzSceneOf::GetScene))(); }
};

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A 10 mm cube whose first facets have a corner that is NaN or infinite.
QVector<KzTriangle3D> Cube(int spoilt)
{
    QVector<KzTriangle3D> cube = BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    for (int i = 0; i < spoilt; ++i)
        cube[i][i % 3].setY(i % 2 ? std::numeric_limits<float>::infinity() : std::numeric_limits<float>::quiet_NaN());
    return cube;
}

} // namespace

class tst_KzOpenReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR)); }
    void badFilesAfterARealModel();
    void fiftyFilesDroppedAtOnce();

private:
    // Opens a file of the test folder from the dial's open button through the dialog.
    void Open(const QString& name);
    QString Detail() const { return m_pWindow->findChild<KzTipWidget*>()->GetDetail(); }

    QTemporaryDir m_dir;
    KzVellum* m_pWindow = nullptr;
};

void tst_KzOpenReport::Open(const QString& name)
{
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            answer.stop();
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            edit->setText(m_dir.filePath(name));
            QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
        }
    });
    answer.start(30);
    QWidget* open = m_pWindow->findChild<QWidget*>("dialButton1");   // the sector at the top
    QTest::mouseClick(open, Qt::LeftButton, Qt::NoModifier, QPoint(open->width() / 2, open->width() / 7));
    QVERIFY(!answer.isActive());
}

void tst_KzOpenReport::badFilesAfterARealModel()
{
    QByteArray random(3000, '\0');   // head -c 3000 /dev/urandom, from a fixed seed
    QRandomGenerator(17).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    QVERIFY(Write(m_dir.filePath("corrupt.stl"), random));
    QVERIFY(WriteBinaryStl(m_dir.filePath("cut.stl"), Cube(0)));   // 12 records, 20 promised, half a 13th
    QFile cut(m_dir.filePath("cut.stl"));
    QVERIFY(cut.open(QIODevice::ReadWrite) && cut.seek(80) && cut.write(QByteArray("\x14\0\0\0", 4)) == 4
            && cut.seek(cut.size()) && cut.write(QByteArray(25, '\x7f')) == 25);
    cut.close();
    QVERIFY(WriteBinaryStl(m_dir.filePath("holed.stl"), Cube(2)));
    QVERIFY(WriteBinaryStl(m_dir.filePath("nan.stl"), Cube(12)));
    QVERIFY(WriteBinaryStl(m_dir.filePath("real.stl"), BoxTriangles(QVector3D(0, 0, 0), QVector3D(20, 16, 12))));
    QVERIFY(WriteBinaryStl(m_dir.filePath("hall.stl"), BoxTriangles(QVector3D(0, 0, 0), QVector3D(5000, 3000, 9))));
    QVERIFY(WriteBinaryStl(m_dir.filePath("bridge.stl"), BoxTriangles(QVector3D(0, 0, 0), QVector3D(101000, 9, 9))));

    KzVellum window;
    m_pWindow = &window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    KzGLView* view = window.findChild<KzGLView*>("openGLWidget");
    Kz3DScene& scene = KzSceneOf::Of(view);
    Open("real.stl");
    QCOMPARE(Detail(), QString("Load STL file successfully"));
    const KzModelPainter* real = scene.GetPainters().first();
    const QMatrix4x4 stood = real->GetModelMatrix();

    // Each file, what the balloon then says (its start), and the instances on the plate.
    const struct { const char* file; const char* detail; int instances; } steps[] = {
        { "corrupt.stl", "corrupt.stl was not opened: the model is ", 1 },
        { "nan.stl", "Cannot read the model file nan.stl: it holds no usable facets\n"
                     "12 facets with invalid coordinates were left out", 1 },
        { "cut.stl", "Load STL file successfully: cut.stl\nThe file ends early: 12 of 20 facets read", 2 },
        { "holed.stl", "Load STL file successfully: holed.stl\n2 facets with invalid coordinates were left out", 3 },
        { "bridge.stl", "bridge.stl was not opened: the model is 101 m long, larger than any printer can hold", 3 },
        { "hall.stl", "Load STL file successfully", 4 },   // 5 m: far beyond the plate, yet a model
    };
    for (const auto& step : steps) {
        Open(step.file);
        QVERIFY2(Detail().startsWith(step.detail), qPrintable(Detail()));
        QCOMPARE(scene.GetPainters().size(), step.instances);
        QVERIFY2(real->GetModelMatrix() == stood, step.file);
    }

    // A drop is reported like an open.
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(m_dir.filePath("corrupt.stl")) });
    QDragEnterEvent enter(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
    QDropEvent drop(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &drop);
    QVERIFY2(Detail().startsWith("corrupt.stl was not opened"), qPrintable(Detail()));

    // In Chinese; the same path again shares the mesh read the first time,
    // and its report: the file, garbage since, is not read again.
    QVERIFY(Write(m_dir.filePath("holed.stl"), random));
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_LanguageChanged", Q_ARG(int, 0)));
    Open("holed.stl");
    QCOMPARE(Detail(), QString::fromUtf8("读取STL文件完成：holed.stl\n跳过了2个坐标无效的三角面"));
    QCOMPARE(scene.GetModels().size(), 4);
    QCOMPARE(scene.GetPainters().size(), 5);
    Open("corrupt.stl");
    QVERIFY2(Detail().startsWith(QString::fromUtf8("未打开corrupt.stl：模型长达")), qPrintable(Detail()));
    QVERIFY(real->GetModelMatrix() == stood);
}

// Fifty files dropped at once, two of them not models: the window keeps
// turning its event loop between them (a timer of the test fires between
// every two files and sees the balloon count), shows the busy cursor until
// the last, names each refused file with its reason, and the batch is one
// undo step. A second drop is stopped with Escape.
void tst_KzOpenReport::fiftyFilesDroppedAtOnce()
{
    QList<QUrl> urls;
    for (int i = 0; i < 48; ++i) {
        const QString path = m_dir.filePath(QString("part%1.stl").arg(i));
        QVERIFY(WriteBinaryStl(path, BoxTriangles(QVector3D(0, 0, 0), QVector3D(4 + i % 5, 3 + i % 3, 2 + i % 4))));
        urls << QUrl::fromLocalFile(path);
    }
    QVERIFY(Write(m_dir.filePath("readme.txt"), "not a model"));
    QByteArray random(3000, '\0');
    QRandomGenerator(23).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    QVERIFY(Write(m_dir.filePath("noise.stl"), random));
    urls.insert(10, QUrl::fromLocalFile(m_dir.filePath("readme.txt")));
    urls.insert(30, QUrl::fromLocalFile(m_dir.filePath("noise.stl")));

    KzVellum window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    KzGLView* view = window.findChild<KzGLView*>("openGLWidget");
    Kz3DScene& scene = KzSceneOf::Of(view);
    KzTipWidget* tip = window.findChild<KzTipWidget*>();
    auto drop = [&] {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(view->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &dropped);
    };
    QStringList counts;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        if (!window.IsOpeningModels())
            return;
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        const QString count = tip->GetDetail().section('\n', 0, 0);
        if (counts.value(counts.size() - 1) != count)
            counts << count;
        QCOMPARE(tip->GetDetail().section('\n', 1), QString("Press Esc to stop"));
    });
    watch.start(0);
    const int stepsBefore = view->GetUndoStack()->count();
    drop();
    QVERIFY(window.IsOpeningModels());
    QVERIFY(scene.GetPainters().size() < 48);
    QTRY_VERIFY_WITH_TIMEOUT(!window.IsOpeningModels(), 60000);
    // Every file counted in turn, as the user saw it.
    QVERIFY2(counts.size() >= 49, qPrintable(counts.join(" | ")));
    QCOMPARE(counts.first(), QString("Opening models: 0 / 50"));
    QVERIFY(counts.contains("Opening models: 3 / 50"));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(scene.GetPainters().size(), 48);
    QCOMPARE(tip->GetTitle(), QString("Open"));
    QVERIFY2(tip->GetDetail().startsWith("Models opened: 48. Not opened: 2\nreadme.txt: not an STL, OBJ or 3MF file\n"
                                         "noise.stl was not opened: "),
             qPrintable(tip->GetDetail()));
    QCOMPARE(view->GetUndoStack()->count(), stepsBefore + 1);

    // One undo takes the whole drop away; one redo brings it back as it was.
    QMap<int, QMatrix4x4> placed;
    for (const KzModelPainter* p : scene.GetPainters())
        placed.insert(p->GetID(), p->GetModelMatrix());
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitFor([&window] { return window.isActiveWindow(); }));
    QTest::keyClick(window.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(scene.GetPainters().isEmpty());
    QTest::keyClick(window.windowHandle(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(scene.GetPainters().size(), 48);
    for (const KzModelPainter* p : scene.GetPainters())
        QVERIFY(p->GetModelMatrix() == placed.value(p->GetID()));

    // Escape stops the next drop after the file being read; what came stays,
    // undo waits for the end.
    counts.clear();
    drop();
    QTRY_VERIFY(counts.contains("Opening models: 3 / 50"));
    const int during = scene.GetPainters().size();
    QTest::keyClick(window.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(window.IsOpeningModels());
    QVERIFY(scene.GetPainters().size() >= during);
    QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!window.IsOpeningModels());
    const int added = scene.GetPainters().size() - 48;
    QVERIFY2(added >= 3 && added < 48, qPrintable(QString::number(added)));
    // Those tried are the models added and the refused among them.
    const QRegularExpressionMatch stopped =
        QRegularExpression("Stopped by Esc: (\\d+) files left unopened$").match(tip->GetDetail());
    QVERIFY2(stopped.hasMatch(), qPrintable(tip->GetDetail()));
    const int left = stopped.captured(1).toInt();
    QVERIFY2(left > 0 && left + added >= 48 && left + added <= 50, qPrintable(tip->GetDetail()));
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(tst_KzOpenReport)
#include "tst_KzOpenReport.moc"
