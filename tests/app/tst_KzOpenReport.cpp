// What the window says after a model file is opened from the dial's open
// dialog or dropped on the view, after a real model: a file of random bytes is
// refused by name and reason, a file cut short and one with NaN corners load
// what is whole and say what was left out, in English and in Chinese; the
// model that was there does not move.
#include "KzGLView.h"
#include "KzModelPainter.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRandomGenerator>
#include <QtTest>

#include <limits>
#include <memory>

using namespace KzViewTest;

namespace {

// The scene of a view (open to code that builds on the view).
struct KzSceneOf : KzGLView
{
    static Kz3DScene& Of(KzGLView* view) { return (view->*(&KzSceneOf::GetScene))(); }
};

} // namespace

class tst_KzOpenReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void badFilesAfterARealModel();
    void droppedFilesAreReportedToo();

private:
    // Opens path from the dial's open button through the file dialog.
    void OpenThroughDialog(const QString& path);
    QString Detail() const;
    QString Title() const;
    void SetLanguage(int index);
    // With KZ_OPEN_SHOTS set, saves the window there as name.png.
    void Shot(const char* name);

    QTemporaryDir m_dir;
    std::unique_ptr<KzVellum> m_pWindow;
    KzGLView* m_pView = nullptr;
    QString m_strReal;
    QString m_strCorrupt;
    QString m_strCut;
    QString m_strHoled;
};

void tst_KzOpenReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_strReal = m_dir.filePath("bracket.stl");
    QVERIFY(WriteBinaryStl(m_strReal, BoxTriangles(QVector3D(-10, -8, 0), QVector3D(10, 8, 12))));

    // head -c 3000 /dev/urandom > corrupt.stl, from a fixed seed.
    QByteArray random(3000, '\0');
    QRandomGenerator(17).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    m_strCorrupt = m_dir.filePath("corrupt.stl");
    QFile corrupt(m_strCorrupt);
    QVERIFY(corrupt.open(QIODevice::WriteOnly) && corrupt.write(random) == random.size());
    corrupt.close();

    // A binary STL of 12 facets whose header promises 20, cut in its 13th record.
    m_strCut = m_dir.filePath("cut.stl");
    QVERIFY(WriteBinaryStl(m_strCut, BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10))));
    QFile cut(m_strCut);
    QVERIFY(cut.open(QIODevice::ReadWrite) && cut.seek(80) && cut.write(QByteArray("\x14\0\0\0", 4)) == 4
            && cut.seek(cut.size()) && cut.write(QByteArray(25, '\x7f')) == 25);
    cut.close();

    QVector<KzTriangle3D> holed = BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    holed[2][1].setY(std::numeric_limits<float>::quiet_NaN());
    holed[9][0].setX(-std::numeric_limits<float>::infinity());
    m_strHoled = m_dir.filePath("holed.stl");
    QVERIFY(WriteBinaryStl(m_strHoled, holed));
}

void tst_KzOpenReport::init()
{
    m_pWindow.reset(new KzVellum(nullptr));
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    m_pView = m_pWindow->findChild<KzGLView*>("openGLWidget");
    QVERIFY(m_pView);
}

void tst_KzOpenReport::cleanup()
{
    m_pWindow.reset();
}

void tst_KzOpenReport::OpenThroughDialog(const QString& path)
{
    bool answered = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || answered)
            return;
        answered = true;
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText(path);
        QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
    });
    poll.start(30);
    QWidget* open = m_pWindow->findChild<QWidget*>("dialButton1");
    QVERIFY(open);
    // The open sector points up: a click on its middle.
    QTest::mouseClick(open, Qt::LeftButton, Qt::NoModifier,
                      QPoint(open->width() / 2, open->height() / 2 - int(open->width() * 0.35)));
    QVERIFY(answered);
}

QString tst_KzOpenReport::Detail() const
{
    return m_pWindow->findChild<KzTipWidget*>()->GetDetail();
}

QString tst_KzOpenReport::Title() const
{
    return m_pWindow->findChild<KzTipWidget*>()->GetTitle();
}

void tst_KzOpenReport::SetLanguage(int index)
{
    QVERIFY(QMetaObject::invokeMethod(m_pWindow.get(), "slot_LanguageChanged", Q_ARG(int, index)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

void tst_KzOpenReport::Shot(const char* name)
{
    const QString folder = qEnvironmentVariable("KZ_OPEN_SHOTS");
    if (!folder.isEmpty())
        m_pWindow->grab().save(QDir(folder).filePath(QString(name) + ".png"));
}

void tst_KzOpenReport::badFilesAfterARealModel()
{
    Kz3DScene& scene = KzSceneOf::Of(m_pView);
    OpenThroughDialog(m_strReal);
    QCOMPARE(Detail(), QString("Load STL file successfully"));
    QCOMPARE(scene.GetPainters().size(), 1);
    const KzModelPainter* real = scene.GetPainters().first();
    const QMatrix4x4 stood = real->GetModelMatrix();

    OpenThroughDialog(m_strCorrupt);
    QCOMPARE(Title(), QString("Open"));
    QVERIFY2(Detail().startsWith("corrupt.stl was not opened: the model is ")
                 && Detail().contains(" m long, larger than any printer can hold"),
             qPrintable(Detail()));
    QCOMPARE(scene.GetPainters().size(), 1);
    QVERIFY(real->GetModelMatrix() == stood);
    Shot("refused");

    OpenThroughDialog(m_strCut);
    QCOMPARE(Detail(), QString("Load STL file successfully: cut.stl\nThe file ends early: 12 of 20 facets read"));
    OpenThroughDialog(m_strHoled);
    QCOMPARE(Detail(), QString("Load STL file successfully: holed.stl\n"
                               "2 facets with invalid coordinates were left out"));
    QCOMPARE(scene.GetPainters().size(), 3);
    QVERIFY(real->GetModelMatrix() == stood);
    Shot("left-out");

    SetLanguage(0);
    OpenThroughDialog(m_strCorrupt);
    QVERIFY2(Detail().startsWith(QString::fromUtf8("未打开corrupt.stl：模型长达")), qPrintable(Detail()));
    Shot("refused-zh");
    OpenThroughDialog(m_strHoled);
    QCOMPARE(Detail(), QString::fromUtf8("读取STL文件完成：holed.stl\n跳过了2个坐标无效的三角面"));
    QCOMPARE(Title(), QString::fromUtf8("打开"));
    Shot("left-out-zh");
    SetLanguage(1);
    QVERIFY(real->GetModelMatrix() == stood);
}

// A file dropped on the view is reported like one opened from the dialog.
void tst_KzOpenReport::droppedFilesAreReportedToo()
{
    Kz3DScene& scene = KzSceneOf::Of(m_pView);
    OpenThroughDialog(m_strReal);
    const QMatrix4x4 stood = scene.GetPainters().first()->GetModelMatrix();
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(m_strCorrupt) });
    const QPoint at = m_pView->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pView, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pView, &drop);
    QVERIFY2(Detail().startsWith("corrupt.stl was not opened"), qPrintable(Detail()));
    QCOMPARE(scene.GetPainters().size(), 1);
    QVERIFY(scene.GetPainters().first()->GetModelMatrix() == stood);
}

QTEST_MAIN(tst_KzOpenReport)
#include "tst_KzOpenReport.moc"
