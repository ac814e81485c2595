// The balloon can be read whatever is open: in the smallest window, in both
// languages, every tip is shown over every state of the panels a user meets
// on the road of one print (the empty plate, a model selected with its edit
// panel, the custom and one-key pages of the slice panel, the preview after a
// real slice), and no glyph of its title or detail may be hidden by a panel
// or cut off by its label. Hidden is measured on grabs of the window: every
// pixel the text changes on the balloon alone must change in the window too.
// The grabs of the most important tips are written to the test's folder.
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzTipContext.h"
#include "KzTipWidget.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>

using namespace KzViewTest;

namespace {

// A tip as the window shows it: a table tip, or a title and a free detail
// given as Chinese sources of the window's context.
struct Tip
{
    int id;
    const char* title;
    const char* detail;
};

// The longest free texts the window words itself (card saves and ejects,
// opening several files); the table's tips come from the table.
const Tip kFreeTips[] = {
    { -1, "保存SD卡", "SD卡读回的数据与写入的不同，这张卡可能已损坏。卡上原有的文件未改动，请换一张卡再保存。" },
    { -1, "保存SD卡", "保存GCode成功。这张卡的文件系统不能绕过系统缓存读回，核对的只是缓存中的数据。" },
    { -1, "弹出SD卡",
      "系统的权限策略不允许自动弹出这张SD卡。文件已保存并写入卡中：点“弹出SD卡”可按系统要求验证身份，或用桌面自带的弹出功能取出。" },
    { -1, "弹出SD卡", "系统的磁盘服务(udisks2)未运行，无法在本程序中弹出。文件已保存并写入卡中，请用桌面自带的弹出功能取出SD卡。" },
    { -1, "弹出SD卡", "SD卡正被其他程序使用，未能弹出。请关闭使用它的程序后再点“弹出SD卡”。文件已保存。" },
};

void Answer(const QString& paths)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, paths] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            edit->setText(paths);
            QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
        }
    });
    timer->start(30);
}

// Pixels of rect that differ between two images of the same size.
int Differing(const QImage& a, const QImage& b, const QRect& rect)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

} // namespace

class tst_KzTipReadable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTipOverEveryPanel_data();
    void everyTipOverEveryPanel();

private:
    template <typename T> T* Child(const char* name) const { return m_pWindow->findChild<T*>(name); }
    void ClickDial(int id);
    void ShowTip(const Tip& tip);
    // Checks the tip shown now; state names the panels for the failure.
    void CheckReadable(const QString& state);
    void Shot(const QString& name);

    QTemporaryDir m_dir;
    KzVellum* m_pWindow = nullptr;
    KzTipWidget* m_pTip = nullptr;
    QString m_strLanguage;
    int m_nChecked = 0;
};

void tst_KzTipReadable::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qunsetenv("LD_PRELOAD");   // the engine must not inherit the sanitizer's preloads
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
}

void tst_KzTipReadable::ClickDial(int id)
{
    QWidget* button = Child<QWidget>(qPrintable(QString("dialButton%1").arg(id)));
    QVERIFY(button && button->isVisible());
    static const double angles[] = { 0, 90, 180, 270, 0, -27, 27 };
    const QPointF centre = QRectF(button->rect()).center();
    const double radius = id == 4 ? 0 : button->width() / 2.0 * (id >= 5 ? 0.9 : 0.7);
    const double a = angles[id] * M_PI / 180.0;
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      (centre + QPointF(std::cos(a) * radius, -std::sin(a) * radius)).toPoint());
}

void tst_KzTipReadable::ShowTip(const Tip& tip)
{
    if (tip.id >= 0)
        m_pTip->slot_SetCurrentTip(tip.id);
    else
        m_pTip->slot_SetTipContext(QCoreApplication::translate("KzVellum", tip.title),
                                   QCoreApplication::translate("KzVellum", tip.detail));
    QCoreApplication::processEvents();
}

void tst_KzTipReadable::CheckReadable(const QString& state)
{
    const QString what = QString("%1, %2: \"%3\"").arg(m_strLanguage, state, m_pTip->GetDetail());
    QVERIFY2(m_pTip->isVisible(), qPrintable(what));
    QWidget* page = m_pTip->parentWidget();
    QVERIFY2(page->rect().contains(m_pTip->geometry()), qPrintable("the balloon leaves the view: " + what));
    for (QLabel* label : { m_pTip->findChild<QLabel*>("label_Title"), m_pTip->findChild<QLabel*>("label_Detail") }) {
        if (label->text().isEmpty())
            continue;
        // The label holds its text: a wrapped one in its height, a single line in its width.
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
        QVERIFY2(room.contains(needed), qPrintable(QString("%1 needs %2 x %3, has %4 x %5: %6")
                                                       .arg(label->objectName()).arg(needed.width()).arg(needed.height())
                                                       .arg(room.width()).arg(room.height()).arg(what)));

        // Every pixel the text changes on the balloon alone changes in the window.
        // The window is grabbed where the balloon is.
        const QRect area(m_pTip->mapTo(m_pWindow, QPoint(0, 0)), m_pTip->size());
        const QString style = label->styleSheet();
        const QImage alone = m_pTip->grab().toImage();
        const QImage window = m_pWindow->grab(area).toImage();
        label->setStyleSheet(style + ";color:transparent;");
        const QImage aloneBlank = m_pTip->grab().toImage();
        const QImage windowBlank = m_pWindow->grab(area).toImage();
        label->setStyleSheet(style);
        const qreal ratio = window.devicePixelRatio();
        const QRect onTip(label->mapTo(m_pTip, room.topLeft()) * ratio, room.size() * ratio);
        const QRect onWindow = onTip;
        const int glyphs = Differing(alone, aloneBlank, onTip);
        QVERIFY2(glyphs > 20, qPrintable("no text drawn: " + what));
        // Only where the text is: the view behind may draw a new frame between the grabs.
        int seen = 0;
        for (int y = 0; y < onTip.height(); ++y)
            for (int x = 0; x < onTip.width(); ++x)
                if (alone.pixel(onTip.topLeft() + QPoint(x, y)) != aloneBlank.pixel(onTip.topLeft() + QPoint(x, y)))
                    seen += window.pixel(onWindow.topLeft() + QPoint(x, y))
                                    != windowBlank.pixel(onWindow.topLeft() + QPoint(x, y))
                                ? 1
                                : 0;
        QVERIFY2(seen == glyphs, qPrintable(QString("%1 of %2 text pixels of %3 hidden: %4")
                                                .arg(glyphs - seen).arg(glyphs).arg(label->objectName(), what)));
        ++m_nChecked;
    }
}

void tst_KzTipReadable::Shot(const QString& name)
{
    m_pWindow->grab().save(QString("tip-%1-%2.png").arg(m_strLanguage, name));
}

void tst_KzTipReadable::everyTipOverEveryPanel_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("zh") << 0;
    QTest::newRow("en") << 1;
}

void tst_KzTipReadable::everyTipOverEveryPanel()
{
    QFETCH(int, language);
    m_strLanguage = language == 0 ? "zh" : "en";
    KzVellum window;
    m_pWindow = &window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(KzVellum::ms_nMinWidth, KzVellum::ms_nMinHeight);
    QTRY_COMPARE(window.size(), QSize(1200, 700));
    // The user picks the language in the title bar's box.
    auto* box = Child<QComboBox>("comboBox");
    box->setCurrentIndex(language);
    m_pTip = window.findChild<KzTipWidget*>();
    KzGLView* view = Child<KzGLView>("openGLWidget");

    // At start the balloon says how to begin, and says it readably.
    QCOMPARE(m_pTip->GetTitle(), QCoreApplication::translate("KzTipWidget", "开始"));
    CheckReadable("start");
    Shot("start");

    QVector<Tip> tips;
    for (int id = 0; id <= KzTipContext::ms_nStartTip; ++id)
        tips.append({ id, nullptr, nullptr });
    for (const Tip& tip : kFreeTips)
        tips.append(tip);
    auto checkAll = [&](const QString& state) {
        for (const Tip& tip : tips) {
            ShowTip(tip);
            CheckReadable(state);
            if (QTest::currentTestFailed())
                return;
        }
    };

    // A model opened, two files refused: the batch's closing words, then
    // every tip with the model's edit panel open.
    const QString cube = m_dir.filePath("cube.stl");
    QVERIFY(WriteBinaryStl(cube, BoxTriangles(QVector3D(-5, -5, 0), QVector3D(5, 5, 10))));
    const QString unfinished = m_dir.filePath("a very long name of a model that was never finished.stl");
    QVERIFY(WriteBinaryStl(unfinished, {}));
    const QString notes = m_dir.filePath("notes on printing the cube.txt");
    QFile(notes).open(QIODevice::WriteOnly);
    Answer(QString("\"%1\" \"%2\" \"%3\"").arg(cube, unfinished, notes));
    // Without a window manager nobody makes the window active; a desktop does.
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitFor([&window] { return window.isActiveWindow(); }));
    QTest::keyClick(window.windowHandle(), Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(window.IsOpeningModels() || view->HasSelection());
    QTRY_VERIFY(!window.IsOpeningModels());
    QVERIFY(view->HasSelection());
    QVERIFY(Child<QWidget>("ModelEdit")->isVisible());
    CheckReadable("edit panel, opened several files");
    Shot("opened");
    checkAll("edit panel");

    ClickDial(0);
    ClickDial(5);
    QVERIFY(Child<QWidget>("widget_CustomWidget")->isVisible());
    checkAll("custom page");
    ClickDial(6);
    QVERIFY(Child<QWidget>("widget_OnekeyPrint")->isVisible());
    checkAll("one-key page");
    Shot("onekey");

    // A real slice: the preview's slider, its buttons and the print information.
    QTest::mouseClick(Child<QPushButton>("pushButton_Standard"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(view->IsLayerMode() && Child<QWidget>("LayerControlWidget")->isVisible(), 180000);
    QTRY_VERIFY(m_pTip->GetDetail() == QCoreApplication::translate("KzTipWidget", "切片完成，可选择保存GCode到文件"));
    CheckReadable("preview, one-key page");
    Shot("sliced");
    ShowTip({ 19, nullptr, nullptr });
    Shot("exceeds");
    checkAll("preview, one-key page");
    QVERIFY(m_nChecked > 4 * 2 * tips.size());
}

QTEST_MAIN(tst_KzTipReadable)
#include "tst_KzTipReadable.moc"
