// The dial menu, driven by clicks routed the way the window system routes
// them: to the deepest widget at the point whose mask takes it.
#include "KzDialWidget.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Stands for the 3D view beneath the dial: remembers where presses land.
class Beneath : public QWidget
{
public:
    using QWidget::QWidget;
    QVector<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses << event->pos(); }
};

// A dial over a view inside one window, the dial offset from the corner.
struct Scene
{
    QWidget window;
    Beneath* view = new Beneath(&window);
    KzDialWidget* dial = new KzDialWidget(&window);
    Scene()
    {
        window.resize(400, 400);
        view->setGeometry(0, 0, 400, 400);
        dial->move(20, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    // A point given in dial coordinates, clicked at the widget that takes it.
    QWidget* Click(QPoint inDial)
    {
        const QPoint inWindow = dial->mapTo(&window, inDial);
        QWidget* target = window.childAt(inWindow);
        if (!target)
            return nullptr;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&window, inWindow));
        QCoreApplication::sendPostedEvents();
        return target;
    }
};

// Inside each sector, halfway across its ring, in dial coordinates.
QPoint SectorPoint(double angleDeg, double radius)
{
    const double a = qDegreesToRadians(angleDeg);
    return QPoint(qRound(150 + radius * qCos(a)), qRound(150 - radius * qSin(a)));
}

QImage Picture(const QIcon& icon, QSize size, QIcon::Mode mode)
{
    return icon.pixmap(size, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage File(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class tst_KzDialWidget : public QObject
{
    Q_OBJECT

private slots:
    void emptyPlacesReachTheViewBeneath();
    void quarterButtonsFireTheirCommands();
    void slicingToggleShowsPrintSectors();
    void centreAsksForNewChoice();
    void englishWordStrips();
    void pressedIconShrinks();
    void grabbedPictures();
};

// A corner of the square and the gap between two quarters belong to no
// button: the press arrives at the view at the same window point.
void tst_KzDialWidget::emptyPlacesReachTheViewBeneath()
{
    Scene s;
    const QPoint corner(5, 5);
    const QPoint gap = SectorPoint(45.0, 82.0);
    for (const QPoint& p : { corner, gap }) {
        s.view->presses.clear();
        QWidget* target = s.Click(p);
        QCOMPARE(target, static_cast<QWidget*>(s.dial));
        QCOMPARE(s.view->presses.size(), 1);
        QCOMPARE(s.view->presses.first(), s.dial->mapTo(&s.window, p));
    }
    // Just beside the gap the quarter takes the click.
    s.view->presses.clear();
    QCOMPARE(s.Click(SectorPoint(38.0, 82.0)), static_cast<QWidget*>(s.dial->findChild<QWidget*>("dialButton0")));
    QVERIFY(s.view->presses.isEmpty());
}

void tst_KzDialWidget::quarterButtonsFireTheirCommands()
{
    Scene s;
    QSignalSpy open(s.dial, &KzDialWidget::signal_OpenButtonClicked);
    QSignalSpy save(s.dial, &KzDialWidget::signal_SaveButtonClicked);
    QSignalSpy remove(s.dial, &KzDialWidget::signal_RemoveButtonClicked);
    const struct { int id; QSignalSpy* spy; } rows[] = { { 1, &open }, { 2, &save }, { 3, &remove } };
    for (const auto& row : rows) {
        auto* button = s.dial->findChild<QAbstractButton*>(QStringLiteral("dialButton%1").arg(row.id));
        QCOMPARE(s.Click(SectorPoint(row.id * 90.0, 82.0)), static_cast<QWidget*>(button));
        QCOMPARE(row.spy->count(), 1);
        QVERIFY(!button->isChecked());
    }
    QCOMPARE(open.count() + save.count() + remove.count(), 3);
}

void tst_KzDialWidget::slicingToggleShowsPrintSectors()
{
    Scene s;
    QSignalSpy tips(s.dial, &KzDialWidget::signal_ShowTip);
    QSignalSpy custom(s.dial, &KzDialWidget::signal_CustomPrintClicked);
    QSignalSpy oneKey(s.dial, &KzDialWidget::signal_OneKeyPrintClicked);
    auto* toggle = s.dial->findChild<QAbstractButton*>("dialButton0");
    auto* print5 = s.dial->findChild<QWidget*>("dialButton5");
    auto* print6 = s.dial->findChild<QWidget*>("dialButton6");
    QVERIFY(!print5->isVisible() && !print6->isVisible());
    // Hidden sectors leave their place to the view.
    s.view->presses.clear();
    s.Click(SectorPoint(-27.0, 122.0));
    QCOMPARE(s.view->presses.size(), 1);

    s.Click(SectorPoint(0.0, 82.0));
    QVERIFY(toggle->isChecked());
    QVERIFY(print5->isVisible() && print6->isVisible());
    QCOMPARE(tips.count(), 1);
    QCOMPARE(tips.first().first().toInt(), 8);

    QCOMPARE(s.Click(SectorPoint(-27.0, 122.0)), print5);
    QCOMPARE(custom.count(), 1);
    QCOMPARE(s.Click(SectorPoint(27.0, 122.0)), print6);
    QCOMPARE(oneKey.count(), 1);
    QVERIFY(toggle->isChecked());

    s.Click(SectorPoint(0.0, 82.0));
    QVERIFY(!toggle->isChecked());
    QVERIFY(!print5->isVisible() && !print6->isVisible());
    QCOMPARE(tips.count(), 1);
}

void tst_KzDialWidget::centreAsksForNewChoice()
{
    Scene s;
    QSignalSpy all(s.dial, &KzDialWidget::signal_ReChooseClicked);
    QSignalSpy tips(s.dial, &KzDialWidget::signal_ShowTip);
    QSignalSpy open(s.dial, &KzDialWidget::signal_OpenButtonClicked);
    QSignalSpy save(s.dial, &KzDialWidget::signal_SaveButtonClicked);
    QSignalSpy remove(s.dial, &KzDialWidget::signal_RemoveButtonClicked);
    QSignalSpy custom(s.dial, &KzDialWidget::signal_CustomPrintClicked);
    QSignalSpy oneKey(s.dial, &KzDialWidget::signal_OneKeyPrintClicked);
    QCOMPARE(s.Click(QPoint(150, 150)), s.dial->findChild<QWidget*>("dialButton4"));
    QCOMPARE(all.count(), 1);
    QCOMPARE(tips.count(), 1);
    QCOMPARE(tips.first().first().toInt(), 9);
    QCOMPARE(open.count() + save.count() + remove.count() + custom.count() + oneKey.count(), 0);
    QVERIFY(s.view->presses.isEmpty());
}

void tst_KzDialWidget::englishWordStrips()
{
    Scene s;
    auto* print5 = s.dial->findChild<QAbstractButton*>("dialButton5");
    auto* print6 = s.dial->findChild<QAbstractButton*>("dialButton6");
    const QSize strip(16, 96);
    QCOMPARE(Picture(print5->icon(), strip, QIcon::Normal), File(":/Resources/Setting00.png"));
    s.dial->SetLanguage(1);
    QCOMPARE(Picture(print5->icon(), strip, QIcon::Normal), File(":/Resources/Setting00-2.png"));
    QCOMPARE(Picture(print5->icon(), strip, QIcon::Selected), File(":/Resources/Setting00-2p.png"));
    QCOMPARE(Picture(print6->icon(), strip, QIcon::Normal), File(":/Resources/Setting01-2.png"));
    QVERIFY(File(":/Resources/Setting00-2.png") != File(":/Resources/Setting00.png"));
    s.dial->SetLanguage(0);
    QCOMPARE(Picture(print6->icon(), strip, QIcon::Normal), File(":/Resources/Setting01.png"));
}

// While held, a quarter draws its pressed picture at four fifths of the size.
void tst_KzDialWidget::pressedIconShrinks()
{
    Scene s;
    auto* open = s.dial->findChild<QAbstractButton*>("dialButton1");
    const QImage before = open->grab().toImage();
    const QPoint at = open->mapFrom(s.dial, SectorPoint(90.0, 82.0));
    QTest::mousePress(open, Qt::LeftButton, {}, at);
    QVERIFY(open->isDown());
    const QImage held = open->grab().toImage();
    QTest::mouseRelease(open, Qt::LeftButton, {}, at);
    // The icon square (80..120, 0..40 of the 200-pixel button): its outer
    // rows and columns show the picture when up and only the ring when held.
    QVERIFY(before != held);
    const QRect icon(80, 0, 40, 40);
    const QRect inner(84, 4, 32, 32);
    int changedOutside = 0;
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            if (!inner.contains(x, y) && held.pixel(x, y) != before.pixel(x, y))
                ++changedOutside;
    QVERIFY(changedOutside > 0);
}

// The dial over a plain view, closed and with the print sectors open, in
// both languages; KZ_DIAL_GRAB names a folder to keep the frames in.
void tst_KzDialWidget::grabbedPictures()
{
    Scene s;
    s.view->setStyleSheet("background-color:rgb(40,40,40)");
    s.view->setAutoFillBackground(true);
    const QString dir = qEnvironmentVariable("KZ_DIAL_GRAB");
    const QImage closed = s.window.grab().toImage();
    s.Click(SectorPoint(0.0, 82.0));
    const QImage openZh = s.window.grab().toImage();
    s.dial->SetLanguage(1);
    const QImage openEn = s.window.grab().toImage();
    QVERIFY(closed != openZh);
    QVERIFY(openZh != openEn);
    if (!dir.isEmpty()) {
        QVERIFY(closed.save(dir + "/dial-closed.png"));
        QVERIFY(openZh.save(dir + "/dial-open-zh.png"));
        QVERIFY(openEn.save(dir + "/dial-open-en.png"));
    }
}

QTEST_MAIN(tst_KzDialWidget)
#include "tst_KzDialWidget.moc"
