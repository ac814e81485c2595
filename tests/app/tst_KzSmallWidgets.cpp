// The small widgets: the progress bar's range, clamping, percentage and drawn
// bar; the round button's circle, mask and press; the easy label's font size;
// the spin box that ignores the wheel.
#include "KzDoubleSpinBox.h"
#include "KzEasyLabel.h"
#include "KzPrintFigures.h"
#include "KzProgressWidget.h"
#include "KzRoundButton.h"

#include <QFontMetrics>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QTranslator>
#include <QtTest>

namespace {

// Columns of a grabbed image holding the bar colour (the percentage text
// covers part of any single row).
int BarWidth(const QImage& image)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        bool bar = false;
        for (int y = 0; y < image.height() && !bar; ++y) {
            const QColor c = image.pixelColor(x, y);
            bar = qAbs(c.red() - 75) < 20 && qAbs(c.green() - 182) < 20 && qAbs(c.blue() - 226) < 20;
        }
        count += bar;
    }
    return count;
}

// Horizontal extent of pure red pixels along a row.
int RedRun(const QImage& image, int y)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        count += c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
    return count;
}

} // namespace

class tst_KzSmallWidgets : public QObject
{
    Q_OBJECT

private slots:
    void progressRangeClampAndPercentage();
    void progressBarWidthFollowsTheValue();
    void roundButtonCircleMaskAndPress();
    void easyLabelLineHeightReachesHalfTheHeight();
    void wheelChangesNothingOnTheSpinBox();
    void printFiguresInBothLanguages();
};

void tst_KzSmallWidgets::progressRangeClampAndPercentage()
{
    KzProgressWidget bar;
    bar.slot_SetRange(5, 5);
    QCOMPARE(bar.GetMinimum(), 5);
    QCOMPARE(bar.GetMaximum(), 6);
    bar.slot_SetRange(9, 3);
    QCOMPARE(bar.GetMaximum(), 10);

    bar.slot_SetRange(0, 100);
    bar.slot_SetValue(150);
    QCOMPARE(bar.GetValue(), 100);
    QCOMPARE(bar.GetLabelText(), QString("100%"));
    bar.slot_SetValue(-3);
    QCOMPARE(bar.GetValue(), 0);
    QCOMPARE(bar.GetLabelText(), QString("0%"));

    bar.slot_SetRange(20, 120);
    bar.slot_SetValue(70);
    QCOMPARE(bar.GetLabelText(), QString("70%"));
    bar.slot_SetText("切片中");
    QCOMPARE(bar.GetLabelText(), QString("切片中"));

    bar.slot_Reset();
    QCOMPARE(bar.GetMinimum(), 0);
    QCOMPARE(bar.GetMaximum(), 100);
    QCOMPARE(bar.GetValue(), 0);
    QVERIFY(bar.GetLabelText().isEmpty());
}

void tst_KzSmallWidgets::progressBarWidthFollowsTheValue()
{
    KzProgressWidget bar;
    bar.setStyleSheet("background:rgb(40,40,40)");
    bar.resize(400, 20);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    bar.slot_SetValue(150);
    QVERIFY(qAbs(BarWidth(bar.grab().toImage()) - 400) <= 2);
    bar.slot_SetValue(-3);
    QCOMPARE(BarWidth(bar.grab().toImage()), 0);
    bar.slot_SetRange(20, 120);
    bar.slot_SetValue(70);
    QVERIFY2(qAbs(BarWidth(bar.grab().toImage()) - 280) <= 2, "70 of a 100-wide range fills 70%");
}

void tst_KzSmallWidgets::roundButtonCircleMaskAndPress()
{
    QWidget window;
    window.resize(200, 100);
    KzRoundButton button(&window);
    QPixmap red(64, 64);
    red.fill(Qt::red);
    button.setIcon(QIcon(red));
    button.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The mask is the 100-pixel circle touching the bottom edge, centred.
    const QRegion mask = button.mask();
    QVERIFY(mask.contains(QPoint(100, 50)));
    QVERIFY(mask.contains(QPoint(100, 98)));
    QVERIFY(mask.contains(QPoint(55, 50)));
    QVERIFY(!mask.contains(QPoint(45, 50)));
    QVERIFY(!mask.contains(QPoint(5, 5)));
    QVERIFY(!mask.contains(QPoint(60, 5)));

    // A click in the corner lands on the window, not the button.
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(clicked.count(), 0);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QCOMPARE(clicked.count(), 1);

    // The picture fills the circle, and shrinks to 90 pixels while pressed.
    QVERIFY(qAbs(RedRun(button.grab().toImage(), 50) - 100) <= 2);
    button.setDown(true);
    QVERIFY(qAbs(RedRun(button.grab().toImage(), 50) - 90) <= 2);
    button.setDown(false);
}

void tst_KzSmallWidgets::easyLabelLineHeightReachesHalfTheHeight()
{
    KzEasyLabel label;
    label.setText("PLA");
    label.resize(120, 40);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QFont font = label.font();
    const int points = font.pointSize();
    QVERIFY(points > 1);
    font.setPointSize(points);
    QVERIFY(QFontMetrics(font).height() >= 20);
    font.setPointSize(points - 1);
    QVERIFY2(QFontMetrics(font).height() < 20, "the smallest size that reaches the target");
    QCOMPARE(label.styleSheet(), QString("font-size:%1pt").arg(points));
}

void tst_KzSmallWidgets::wheelChangesNothingOnTheSpinBox()
{
    QScrollArea area;
    area.resize(200, 150);
    auto* content = new QWidget;
    content->setMinimumSize(180, 2000);
    auto* spin = new KzDoubleSpinBox(content);
    spin->setRange(0, 100);
    spin->setValue(50);
    spin->move(10, 10);
    area.setWidget(content);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QScrollBar* bar = area.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);

    const QPoint at = spin->rect().center();
    QWheelEvent down(at, spin->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(spin, &down);
    QCOMPARE(spin->value(), 50.0);
    QCOMPARE(bar->value(), 0);

    // The same wheel on the content itself does scroll: the event path works.
    QWheelEvent onContent(QPoint(150, 100), content->mapToGlobal(QPoint(150, 100)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area.viewport(), &onContent);
    QVERIFY(bar->value() > 0);
}

// Time, length and weight as the print information gives them: whole
// minutes from a minute on, seconds below; metres to a tenth; grams of the
// filament's volume.
void tst_KzSmallWidgets::printFiguresInBothLanguages()
{
    // 1 m of 1.75 mm PLA: 2405.28 mm³ at 1.24 g/cm³.
    QVERIFY(qAbs(KzPrintFigures::Grams(1000.0, 1.75, 1.24) - 2.98255) < 1e-4);
    const double grams = KzPrintFigures::Grams(2400.0, 1.75, 1.24);
    QCOMPARE(KzPrintFigures::Summary(4380, 2400.0, grams), QStringLiteral("1 小时 13 分钟 · 2.4 米 · 7 克"));
    QCOMPARE(KzPrintFigures::TimeText(59.4), QStringLiteral("59 秒"));
    QCOMPARE(KzPrintFigures::TimeText(3599), QStringLiteral("59 分钟"));
    QCOMPARE(KzPrintFigures::WeightText(0.34), QStringLiteral("0.3 克"));
    QCOMPARE(KzPrintFigures::Summary(-1, 830.0, -1), QStringLiteral("0.8 米"));

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/kzvellum_en.qm")));
    qApp->installTranslator(&translator);
    const QString english = KzPrintFigures::Summary(4380, 2400.0, grams);
    const QString seconds = KzPrintFigures::TimeText(35);
    qApp->removeTranslator(&translator);
    QCOMPARE(english, QStringLiteral("1 h 13 min · 2.4 m · 7 g"));
    QCOMPARE(seconds, QStringLiteral("35 s"));
}

QTEST_MAIN(tst_KzSmallWidgets)
#include "tst_KzSmallWidgets.moc"
