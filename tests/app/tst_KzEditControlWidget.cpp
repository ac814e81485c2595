// The edit mode bar as a user meets it: clicking its buttons sends a mode
// list only when the mode changes and a tip every time; a drag on its
// background reaches the widget beneath; its texts follow the language.
#include "KzEditControlWidget.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QWindow>
#include <QtTest>

namespace {

// Records the mouse events it gets, in its own coordinates.
class KzMouseRecorder : public QWidget
{
public:
    using QWidget::QWidget;
    struct Event
    {
        QEvent::Type type;
        QPoint pos;
        Qt::MouseButton button;
        Qt::MouseButtons buttons;
    };
    QList<Event> m_listEvents;

protected:
    void mousePressEvent(QMouseEvent* e) override { Record(e); }
    void mouseMoveEvent(QMouseEvent* e) override { Record(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { Record(e); }

private:
    void Record(QMouseEvent* e) { m_listEvents.append({ e->type(), e->pos(), e->button(), e->buttons() }); }
};

QList<QVariant> ModeList(int mode)
{
    return { 7, 3, mode };
}

} // namespace

class tst_KzEditControlWidget : public QObject
{
    Q_OBJECT

private slots:
    void clicksSendModeOnChangeAndTipAlways();
    void dragOnBackgroundReachesWidgetBeneath();
    void showHideAndLanguage();
};

void tst_KzEditControlWidget::clicksSendModeOnChangeAndTipAlways()
{
    KzEditControlWidget bar;
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QSignalSpy lists(&bar, &KzEditControlWidget::signal_SendEditMode);
    QSignalSpy tips(&bar, &KzEditControlWidget::signal_ShowTip);
    auto* move = bar.findChild<QPushButton*>("pushButton_Translate");
    auto* rotate = bar.findChild<QPushButton*>("pushButton_Rotate");
    auto* scale = bar.findChild<QPushButton*>("pushButton_Scale");
    auto* floor = bar.findChild<QPushButton*>("pushButton_Floor");
    QVERIFY(move && rotate && scale && floor);
    QVERIFY(move->isChecked());
    QVERIFY(bar.width() <= 92);

    // Move is current from the start: only its tip.
    QTest::mouseClick(move, Qt::LeftButton);
    QCOMPARE(lists.count(), 0);
    QCOMPARE(tips.count(), 1);
    QCOMPARE(tips.takeFirst().at(0).toInt(), 13);

    QTest::mouseClick(rotate, Qt::LeftButton);
    QCOMPARE(lists.count(), 1);
    const QList<QVariant> list = lists.takeFirst().at(0).value<QList<QVariant>>();
    QCOMPARE(list, ModeList(1));
    for (const QVariant& v : list)
        QCOMPARE(v.userType(), int(QMetaType::Int));
    QCOMPARE(tips.takeFirst().at(0).toInt(), 14);
    QVERIFY(rotate->isChecked() && !move->isChecked());

    // The same button again: the tip repeats, no list.
    QTest::mouseClick(rotate, Qt::LeftButton);
    QCOMPARE(lists.count(), 0);
    QCOMPARE(tips.takeFirst().at(0).toInt(), 14);
    QVERIFY(rotate->isChecked());

    QTest::mouseClick(floor, Qt::LeftButton);
    QTest::mouseClick(scale, Qt::LeftButton);
    QTest::mouseClick(move, Qt::LeftButton);
    QCOMPARE(lists.count(), 3);
    QCOMPARE(lists.at(0).at(0).value<QList<QVariant>>(), ModeList(3));
    QCOMPARE(lists.at(1).at(0).value<QList<QVariant>>(), ModeList(2));
    QCOMPARE(lists.at(2).at(0).value<QList<QVariant>>(), ModeList(0));
    QCOMPARE(tips.count(), 3);
    QCOMPARE(tips.at(0).at(0).toInt(), 16);
    QCOMPARE(tips.at(1).at(0).toInt(), 15);
    QCOMPARE(tips.at(2).at(0).toInt(), 13);
}

void tst_KzEditControlWidget::dragOnBackgroundReachesWidgetBeneath()
{
    QWidget window;
    window.resize(400, 400);
    auto* beneath = new KzMouseRecorder(&window);
    beneath->setGeometry(20, 20, 360, 360);
    auto* bar = new KzEditControlWidget(&window);
    bar->move(50, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWindow* w = window.windowHandle();
    const QPoint offset = bar->mapTo(&window, QPoint(0, 0)) - beneath->mapTo(&window, QPoint(0, 0));

    // A click on a button stays with the button.
    QSignalSpy tips(bar, &KzEditControlWidget::signal_ShowTip);
    auto* rotate = bar->findChild<QPushButton*>("pushButton_Rotate");
    const QPoint onButton = rotate->mapTo(&window, rotate->rect().center());
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, onButton);
    QCoreApplication::processEvents();
    QCOMPARE(tips.count(), 1);
    QVERIFY(beneath->m_listEvents.isEmpty());

    // A hover over the background is not passed on; a right drag from the
    // margin beside the buttons is, to its end outside the bar.
    const QPoint start = bar->mapTo(&window, QPoint(4, 100));
    QTest::mouseMove(w, start);
    QCoreApplication::processEvents();
    QVERIFY(beneath->m_listEvents.isEmpty());
    QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, start);
    QTest::mouseMove(w, start + QPoint(30, 5));
    QTest::mouseMove(w, start + QPoint(150, 20));
    QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, start + QPoint(150, 20));
    QCoreApplication::processEvents();

    const QList<KzMouseRecorder::Event>& got = beneath->m_listEvents;
    QCOMPARE(got.size(), 4);
    QCOMPARE(got.at(0).type, QEvent::MouseButtonPress);
    QCOMPARE(got.at(0).pos, QPoint(4, 100) + offset);
    QCOMPARE(got.at(0).button, Qt::RightButton);
    QCOMPARE(got.at(1).type, QEvent::MouseMove);
    QCOMPARE(got.at(1).pos, QPoint(34, 105) + offset);
    QCOMPARE(got.at(1).buttons, Qt::MouseButtons(Qt::RightButton));
    QCOMPARE(got.at(2).pos, QPoint(154, 120) + offset);
    QCOMPARE(got.at(3).type, QEvent::MouseButtonRelease);
    QCOMPARE(got.at(3).button, Qt::RightButton);
    QCOMPARE(got.at(3).buttons, Qt::MouseButtons(Qt::NoButton));
    QCOMPARE(tips.count(), 1); // the drag chose no mode

    // After the release, moves over the bar are the bar's own again.
    beneath->m_listEvents.clear();
    QTest::mouseMove(w, start + QPoint(0, 3));
    QCoreApplication::processEvents();
    QVERIFY(beneath->m_listEvents.isEmpty());
}

void tst_KzEditControlWidget::showHideAndLanguage()
{
    QWidget window;
    window.resize(200, 400);
    window.setObjectName("ground");
    window.setStyleSheet("#ground{background-color:rgb(96,100,108);}");
    auto* bar = new KzEditControlWidget(&window);
    bar->move(50, 40);
    bar->hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar->slot_ShowHide(true);
    QVERIFY(bar->isVisible());
    auto* rotate = bar->findChild<QPushButton*>("pushButton_Rotate");
    QTest::mouseClick(rotate, Qt::LeftButton);
    QCOMPARE(rotate->text(), QString::fromUtf8("旋转"));
    window.grab().save("edit-bar-zh.png");

    QTranslator english;
    QVERIFY(english.load(":/kzvellum_en.qm"));
    QCoreApplication::installTranslator(&english);
    QTest::qWait(50); // the texts change, then the layouts follow
    const char* const names[] = { "pushButton_Translate", "pushButton_Rotate", "pushButton_Scale", "pushButton_Floor" };
    const char* const english_texts[] = { "Move", "Rotate", "Scale", "Floor" };
    for (int i = 0; i < 4; ++i)
        QCOMPARE(bar->findChild<QPushButton*>(names[i])->text(), QString(english_texts[i]));
    QVERIFY(rotate->isChecked()); // the language leaves the mode alone
    window.grab().save("edit-bar-en.png");
    QCoreApplication::removeTranslator(&english);
    QCoreApplication::processEvents();
    QCOMPARE(rotate->text(), QString::fromUtf8("旋转"));

    bar->slot_ShowHide(false);
    QVERIFY(!bar->isVisible());
}

QTEST_MAIN(tst_KzEditControlWidget)
#include "tst_KzEditControlWidget.moc"
