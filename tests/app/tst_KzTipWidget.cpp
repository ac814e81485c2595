// The tip balloon: the table in Chinese and English, free details, language
// changes, automatic clearing and clicks falling through to the widget beneath.
#include "KzTipWidget.h"

#include <QLabel>
#include <QTranslator>
#include <QtTest>

namespace {

// Records the clicks that reach it.
class ClickTarget : public QWidget
{
public:
    QPoint m_lastPress { -1, -1 };

protected:
    void mousePressEvent(QMouseEvent* event) override { m_lastPress = event->pos(); }
};

} // namespace

class tst_KzTipWidget : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void tableInChineseAndEnglish();
    void freeDetailUnderATitle();
    void languageChangeClearsAndNextTipIsTranslated();
    void clearsItselfAfterTenSeconds();
    void clicksFallThroughTheBalloon();

private:
    void UseEnglish();
    QTranslator m_translator;
};

void tst_KzTipWidget::UseEnglish()
{
    QVERIFY(m_translator.load(":/kzvellum_en.qm"));
    QCoreApplication::installTranslator(&m_translator);
}

void tst_KzTipWidget::cleanup()
{
    QCoreApplication::removeTranslator(&m_translator);
}

void tst_KzTipWidget::tableInChineseAndEnglish()
{
    KzTipWidget tip;
    tip.slot_SetCurrentTip(8);
    QCOMPARE(tip.GetTitle(), QString("切片"));
    QCOMPARE(tip.GetDetail(), QString("选择合适的模式进行切片"));
    tip.slot_SetCurrentTip(42);
    QVERIFY(tip.GetTitle().isEmpty() && tip.GetDetail().isEmpty());

    UseEnglish();
    const QList<QPair<int, QPair<QString, QString>>> english = {
        { 0, { "Open", "Load STL model file" } },
        { 3, { "Save", "Save all models to specified STL file(binary format) " } },
        { 4, { "Save", "Save completed" } },
        { 7, { "Remove", "Fail to remove model. Please choose a model first" } },
        { 9, { "Configure", "Rechoose printer type and material" } },
        { 16, { "Editor", "Floor Mode. Use the mouse to click the selected surface as the bottom surface of the model" } },
        { 18, { "Save SD card", "Save failed. Be sure enough SD free space is available" } },
        { 19, { "Slice", "Models exceed the build volume. Move or scale them first" } },
    };
    for (const auto& row : english) {
        tip.slot_SetCurrentTip(row.first);
        QCOMPARE(tip.GetTitle(), row.second.first);
        QCOMPARE(tip.GetDetail(), row.second.second);
    }
    tip.slot_SetTipContext("保存SD卡", "保存GCode成功");
    QCOMPARE(tip.GetDetail(), QString("Save to SD card succeed"));
    tip.slot_SetTipContext("保存", "保存成功");
    QCOMPARE(tip.GetDetail(), QString("Models saved successfully"));
}

void tst_KzTipWidget::freeDetailUnderATitle()
{
    UseEnglish();
    KzTipWidget tip;
    tip.ShowTipText(2, "/home/maker/benchy.stl");
    QCOMPARE(tip.GetTitle(), QString("Open"));
    QCOMPARE(tip.GetDetail(), QString("/home/maker/benchy.stl"));
    tip.slot_SetCurrentTip(2);
    QCOMPARE(tip.GetDetail(), QString("Load STL file failed"));
}

// What the main window does on a language change: clear, switch, next tip.
void tst_KzTipWidget::languageChangeClearsAndNextTipIsTranslated()
{
    KzTipWidget tip;
    tip.slot_SetCurrentTip(6);
    QCOMPARE(tip.GetTitle(), QString("删除"));
    tip.ClearTip();
    QVERIFY(tip.GetTitle().isEmpty() && tip.GetDetail().isEmpty());
    UseEnglish();
    tip.slot_SetCurrentTip(6);
    QCOMPARE(tip.GetTitle(), QString("Remove"));
    QCOMPARE(tip.GetDetail(), QString("Remove specified model"));
}

void tst_KzTipWidget::clearsItselfAfterTenSeconds()
{
    KzTipWidget tip;
    tip.slot_SetCurrentTip(1);
    QTest::qWait(6000);
    tip.slot_SetCurrentTip(12); // restarts the time
    QTest::qWait(6000);
    QCOMPARE(tip.GetTitle(), QString("切片"));
    QTRY_VERIFY_WITH_TIMEOUT(tip.GetTitle().isEmpty(), 6000);
    QVERIFY(tip.GetDetail().isEmpty());
}

void tst_KzTipWidget::clicksFallThroughTheBalloon()
{
    ClickTarget view;
    view.resize(600, 400);
    KzTipWidget tip(&view);
    tip.move(50, 150);
    tip.slot_SetCurrentTip(0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTest::mouseClick(view.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 250));
    QCOMPARE(view.m_lastPress, QPoint(200, 250));
    QImage frame = tip.grab().toImage();
    QVERIFY(!frame.isNull());
    frame.save("tip.png");
}

QTEST_MAIN(tst_KzTipWidget)
#include "tst_KzTipWidget.moc"
