// The model edit panel as a user meets it: the view's lists fill and show
// it, the bar's mode lists pick its group, and typed values, arrow steps and
// its buttons send the edit lists the view expects.
#include "KzEditWidget.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTranslator>
#include <QtTest>

namespace {

QList<QVariant> Floats(int code, const QList<float>& values)
{
    QList<QVariant> list{ code };
    for (float v : values)
        list << v;
    return list;
}

// The panel's lists, and apart from them its end-of-edit marks [7, 4].
class KzSentLists : public QObject
{
public:
    explicit KzSentLists(KzEditWidget* panel)
    {
        connect(panel, &KzEditWidget::signal_SendEditData, this, [this](const QList<QVariant>& list) {
            if (list == QList<QVariant>{ 7, 4 })
                ++m_nMarks;
            else
                m_listSent << list;
        });
    }
    int count() const { return m_listSent.size(); }
    QList<QList<QVariant>> m_listSent;
    int m_nMarks = 0;
};

} // namespace

class tst_KzEditWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selectionFillsAndShowsThePanel();
    void modeListsPickTheGroup();
    void rotationArrowsSendSteps();
    void scaleWithAndWithoutUniform();
    void sizeChangeKeepsScaleAtOne();
    void typedPositionMovesAndDragReportsSendNothing();
    void resetMaximizeAndOddLists();
    void lookInBothLanguages();

private:
    QDoubleSpinBox* Field(const char* name) const { return m_pPanel->findChild<QDoubleSpinBox*>(name); }
    QList<QVariant> Sent(int i) const { return m_pSpy->m_listSent.at(i); }
    void Select(int code, const QList<float>& positionAndSize);
    void SetMode(int mode) { m_pPanel->slot_ReceiveEditList({ 7, 3, mode }); }
    // Types text into a field and confirms it with Enter, as a user does.
    void Type(QDoubleSpinBox* field, const QString& text);
    // Clicks the up or down arrow at the field's right edge.
    void Step(QDoubleSpinBox* field, bool up);
    void CompareList(const QList<QVariant>& got, const QList<QVariant>& want);

    QWidget* m_pWindow = nullptr;
    KzEditWidget* m_pPanel = nullptr;
    KzSentLists* m_pSpy = nullptr;
};

void tst_KzEditWidget::init()
{
    m_pWindow = new QWidget;
    m_pWindow->resize(500, 300);
    m_pPanel = new KzEditWidget(m_pWindow);
    m_pPanel->move(20, 20);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    m_pSpy = new KzSentLists(m_pPanel);
}

void tst_KzEditWidget::cleanup()
{
    delete m_pSpy;
    delete m_pWindow;
}

void tst_KzEditWidget::Select(int code, const QList<float>& positionAndSize)
{
    m_pPanel->slot_ReceiveEditList({ 5, code });
    m_pPanel->slot_ReceiveEditList(Floats(6, positionAndSize));
}

void tst_KzEditWidget::Type(QDoubleSpinBox* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void tst_KzEditWidget::Step(QDoubleSpinBox* field, bool up)
{
    const QPoint at(field->width() - 6, up ? 4 : field->height() - 4);
    QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier, at);
}

void tst_KzEditWidget::CompareList(const QList<QVariant>& got, const QList<QVariant>& want)
{
    QCOMPARE(got.size(), want.size());
    QCOMPARE(got.at(0).userType(), int(QMetaType::Int));
    QCOMPARE(got.at(0).toInt(), want.at(0).toInt());
    for (int i = 1; i < want.size(); ++i) {
        QCOMPARE(got.at(i).userType(), want.at(i).userType());
        if (want.at(i).userType() == QMetaType::Float)
            QVERIFY2(qAbs(got.at(i).toFloat() - want.at(i).toFloat()) < 1e-4f,
                     qPrintable(QString("element %1: %2, want %3").arg(i).arg(got.at(i).toFloat()).arg(want.at(i).toFloat())));
        else
            QCOMPARE(got.at(i), want.at(i));
    }
}

void tst_KzEditWidget::selectionFillsAndShowsThePanel()
{
    QVERIFY(!m_pPanel->isVisible());
    QCOMPARE(m_pPanel->size(), QSize(340, 200));
    Select(10, { 3, 4, 0, 20, 10, 5 });
    QVERIFY(m_pPanel->isVisible());
    const char* const names[] = { "Position_X", "Position_Y", "Position_Z", "Size_X", "Size_Y", "Size_Z",
                                  "Rotate_X", "Rotate_Z", "Scale_X", "Scale_Z" };
    const char* const texts[] = { "3.00", "4.00", "0.00", "20.00", "10.00", "5.00", "0°", "0°", "1.0", "1.0" };
    for (int i = 0; i < 10; ++i)
        QCOMPARE(Field(names[i])->text(), QString(texts[i]));
    // Height is the view's to set: its field and label are greyed.
    QVERIFY(!Field("Position_Z")->isEnabled());
    QVERIFY(!m_pPanel->findChild<QLabel*>("label_Z_Translate")->isEnabled());
    QCOMPARE(m_pSpy->count(), 0);

    m_pPanel->slot_ReceiveEditList({ 5, -1 });
    QVERIFY(!m_pPanel->isVisible());
    m_pPanel->slot_ReceiveEditList({ 5, 10 });
    QVERIFY(m_pPanel->isVisible());
    QCOMPARE(m_pSpy->count(), 0);
}

void tst_KzEditWidget::modeListsPickTheGroup()
{
    Select(10, { 0, 0, 0, 10, 10, 10 });
    QWidget* groups[] = { m_pPanel->findChild<QWidget*>("widget_translate"),
                          m_pPanel->findChild<QWidget*>("widget_rotate"),
                          m_pPanel->findChild<QWidget*>("widget_scale") };
    for (int mode : { 1, 2, 0, 3 }) {
        SetMode(mode);
        for (int g = 0; g < 3; ++g)
            QCOMPARE(groups[g]->isVisible(), g == mode);
        QVERIFY(m_pPanel->isVisible()); // empty but shown while laying flat
    }
    // A command that is not a mode change leaves the group alone.
    SetMode(1);
    m_pPanel->slot_ReceiveEditList({ 7, 2, false });
    QVERIFY(groups[1]->isVisible());
    QCOMPARE(m_pSpy->count(), 0);
}

void tst_KzEditWidget::rotationArrowsSendSteps()
{
    Select(10, { 0, 0, 0, 10, 10, 10 });
    SetMode(1);
    QDoubleSpinBox* z = Field("Rotate_Z");
    Step(z, true);
    QCOMPARE(m_pSpy->count(), 1);
    CompareList(Sent(0), { 1, 0.0f, 0.0f, 15.0f });
    Step(z, true);
    QCOMPARE(m_pSpy->count(), 2);
    CompareList(Sent(1), { 1, 0.0f, 0.0f, 15.0f });
    QCOMPARE(z->text(), QString::fromUtf8("30°"));
    Step(Field("Rotate_X"), false);
    CompareList(Sent(2), { 1, -15.0f, 0.0f, 0.0f });
    // A typed angle sends the difference to what the field held.
    Type(z, "90");
    CompareList(Sent(3), { 1, 0.0f, 0.0f, 60.0f });

    // Another instance starts from no rotation; the same one keeps its fields.
    m_pPanel->slot_ReceiveEditList({ 5, 10 });
    QCOMPARE(z->value(), 90.0);
    m_pPanel->slot_ReceiveEditList({ 5, 20 });
    QCOMPARE(z->value(), 0.0);
    QCOMPARE(Field("Rotate_X")->value(), 0.0);
    Step(z, false);
    CompareList(Sent(m_pSpy->count() - 1), { 1, 0.0f, 0.0f, -15.0f });
    QCOMPARE(m_pSpy->count(), 5);
}

void tst_KzEditWidget::scaleWithAndWithoutUniform()
{
    Select(10, { 0, 0, 0, 20, 10, 5 });
    SetMode(2);
    auto* uniform = m_pPanel->findChild<QRadioButton*>("radioButton_Uniform");
    QVERIFY(uniform->isChecked());
    Type(Field("Scale_X"), "2");
    QCOMPARE(m_pSpy->count(), 1);
    CompareList(Sent(0), { 2, 2.0f, 2.0f, 2.0f });
    for (const char* name : { "Scale_X", "Scale_Y", "Scale_Z" })
        QCOMPARE(Field(name)->text(), QString("2.0"));
    QCOMPARE(Field("Size_X")->text(), QString("40.00"));
    QCOMPARE(Field("Size_Y")->text(), QString("20.00"));
    QCOMPARE(Field("Size_Z")->text(), QString("10.00"));
    // Half again: the ratio is to the last value, not to the original size.
    Type(Field("Scale_Z"), "1");
    CompareList(Sent(1), { 2, 0.5f, 0.5f, 0.5f });
    QCOMPARE(Field("Size_X")->text(), QString("20.00"));

    // Uniform off: a click on the switch unchecks it and tells the view.
    QTest::mouseClick(uniform, Qt::LeftButton, Qt::NoModifier, QPoint(6, uniform->height() / 2));
    QVERIFY(!uniform->isChecked());
    CompareList(Sent(2), { 7, 2, false });
    Type(Field("Scale_X"), "2");
    CompareList(Sent(3), { 2, 2.0f, 1.0f, 1.0f });
    QCOMPARE(Field("Scale_X")->text(), QString("2.0"));
    QCOMPARE(Field("Scale_Y")->text(), QString("1.0"));
    QCOMPARE(Field("Size_X")->text(), QString("40.00"));
    QCOMPARE(Field("Size_Y")->text(), QString("10.00"));
    // One arrow step on y.
    Step(Field("Scale_Y"), true);
    CompareList(Sent(4), { 2, 1.0f, 1.1f, 1.0f });
    QCOMPARE(Field("Size_Y")->text(), QString("11.00"));
    QCOMPARE(m_pSpy->count(), 5);
}

void tst_KzEditWidget::sizeChangeKeepsScaleAtOne()
{
    Select(10, { 0, 0, 0, 20, 10, 5 });
    SetMode(2);
    Type(Field("Size_Y"), "15");
    QCOMPARE(m_pSpy->count(), 1);
    CompareList(Sent(0), { 2, 1.5f, 1.5f, 1.5f });
    QCOMPARE(Field("Size_X")->text(), QString("30.00"));
    QCOMPARE(Field("Size_Y")->text(), QString("15.00"));
    QCOMPARE(Field("Size_Z")->text(), QString("7.50"));
    for (const char* name : { "Scale_X", "Scale_Y", "Scale_Z" })
        QCOMPARE(Field(name)->text(), QString("1.0"));
    // A scale change after it starts from 1 again and scales the new sizes.
    Type(Field("Scale_X"), "2");
    CompareList(Sent(1), { 2, 2.0f, 2.0f, 2.0f });
    QCOMPARE(Field("Size_Z")->text(), QString("15.00"));
}

void tst_KzEditWidget::typedPositionMovesAndDragReportsSendNothing()
{
    Select(10, { 3, 4, 1.5f, 20, 10, 5 });
    Type(Field("Position_X"), "12.5");
    QCOMPARE(m_pSpy->count(), 1);
    CompareList(Sent(0), { 0, 12.5f, 4.0f, 1.5f });
    // Enter ends the edit: what was typed is one step for the view. A second
    // Enter without a new value ends nothing more.
    QCOMPARE(m_pSpy->m_nMarks, 1);
    QTest::keyClick(Field("Position_X"), Qt::Key_Return);
    QCOMPARE(m_pSpy->m_nMarks, 1);
    // The view's live move reports only fill the fields.
    m_pPanel->slot_ReceiveEditList(Floats(0, { -7.25f, 8, 0 }));
    m_pPanel->slot_ReceiveEditList(Floats(1, { 0, 0, 30 }));
    QCOMPARE(Field("Position_X")->text(), QString("-7.25"));
    QCOMPARE(Field("Rotate_Z")->text(), QString::fromUtf8("30°"));
    QCOMPARE(m_pSpy->count(), 1);
    // A value beyond the field's range is held at its end.
    m_pPanel->slot_ReceiveEditList(Floats(6, { 500, 0, 0, 20, 10, 5 }));
    QCOMPARE(Field("Position_X")->value(), 400.0);
    QCOMPARE(m_pSpy->count(), 1);
}

void tst_KzEditWidget::resetMaximizeAndOddLists()
{
    Select(10, { 0, 0, 0, 20, 10, 5 });
    SetMode(1);
    Step(Field("Rotate_Y"), true);
    SetMode(2);
    Type(Field("Scale_X"), "3");
    QCOMPARE(m_pSpy->count(), 2);
    // The fields are cleared before the view hears of the reset.
    QList<double> atReset;
    connect(m_pPanel, &KzEditWidget::signal_SendEditData, this, [&]() {
        atReset = { Field("Rotate_Y")->value(), Field("Scale_X")->value(), Field("Scale_Z")->value() };
    });
    QTest::mouseClick(m_pPanel->findChild<QPushButton*>("pushButton_Reset_3"), Qt::LeftButton);
    QCOMPARE(m_pSpy->count(), 3);
    CompareList(Sent(2), { 7, 0 });
    QCOMPARE(atReset, QList<double>({ 0.0, 1.0, 1.0 }));
    // The view then announces the reset instance.
    Select(10, { 1, 2, 0, 20, 10, 5 });
    QCOMPARE(Field("Size_X")->text(), QString("20.00"));
    QCOMPARE(Field("Position_Y")->text(), QString("2.00"));

    SetMode(0);
    QTest::mouseClick(m_pPanel->findChild<QPushButton*>("pushButton_Maximize"), Qt::LeftButton);
    CompareList(Sent(3), { 7, 1 });
    SetMode(1);
    QTest::mouseClick(m_pPanel->findChild<QPushButton*>("pushButton_Reset_2"), Qt::LeftButton);
    CompareList(Sent(4), { 7, 0 });
    QCOMPARE(m_pSpy->count(), 5);

    // Lists too short for their code, empty ones and unknown codes change nothing.
    m_pPanel->slot_ReceiveEditList({ 6, 1.0f, 2.0f });
    m_pPanel->slot_ReceiveEditList({});
    m_pPanel->slot_ReceiveEditList({ 5 });
    m_pPanel->slot_ReceiveEditList({ 42, 1, 2, 3 });
    QVERIFY(m_pPanel->isVisible());
    QCOMPARE(Field("Position_Y")->text(), QString("2.00"));
    QCOMPARE(m_pSpy->count(), 5);
}

void tst_KzEditWidget::lookInBothLanguages()
{
    // A ground of the 3D view's grey, for the pictures.
    m_pWindow->setObjectName("ground");
    m_pWindow->setStyleSheet("#ground{background-color:rgb(96,100,108);}");
    m_pWindow->resize(380, 240);
    Select(10, { 3, 4, 0, 20, 10, 5 });
    QCOMPARE(m_pPanel->findChild<QPushButton*>("pushButton_Maximize")->text(), QString::fromUtf8("最大化"));
    m_pWindow->grab().save("edit-panel-move-zh.png");
    SetMode(2);
    m_pWindow->grab().save("edit-panel-scale-zh.png");
    QTranslator english;
    QVERIFY(english.load(":/kzvellum_en.qm"));
    QCoreApplication::installTranslator(&english);
    QTest::qWait(50); // the texts change, then the layouts follow
    QCOMPARE(m_pPanel->findChild<QRadioButton*>("radioButton_Uniform")->text(), QString("Uniform scale"));
    QCOMPARE(m_pPanel->findChild<QLabel*>("label_Title_3")->text(), QString("Model Editor"));
    QCOMPARE(m_pPanel->findChild<QPushButton*>("pushButton_Maximize_3")->text(), QString("Max"));
    // The language leaves the values alone.
    QCOMPARE(Field("Size_X")->text(), QString("20.00"));
    m_pWindow->grab().save("edit-panel-scale-en.png");
    SetMode(1);
    m_pWindow->grab().save("edit-panel-rotate-en.png");
    QCoreApplication::removeTranslator(&english);
    QCoreApplication::processEvents();
    QCOMPARE(m_pPanel->findChild<QLabel*>("label_Title_2")->text(), QString::fromUtf8("模型参数"));
}

QTEST_MAIN(tst_KzEditWidget)
#include "tst_KzEditWidget.moc"
