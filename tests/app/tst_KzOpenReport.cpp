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

QTEST_MAIN(tst_KzOpenReport)
#include "tst_KzOpenReport.moc"
