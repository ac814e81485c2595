// The layer panel driven as a user drives it, against a real view showing a
// G-code file of 21 layers.
#include "KLayerBookmarkLabel.h"
#include "KLayerControlWidget.h"
#include "KLayerModel.h"
#include "KzConfigureData.h"
#include "KzGLView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QToolTip>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {
// The parts of the view the panel changes, opened up.
class View : public KzGLView
{
public:
    using KzGLView::KzGLView;
    const KLayerFeature& Layers() { return GetScene().GetLayerFeature(); }
};

QByteArray Gcode(int layers)
{
    QByteArray out;
    for (int i = 0; i < layers; ++i)
        out += ";LAYER:" + QByteArray::number(i) + "\n;TYPE:WALL-OUTER\nG0 X80.0 Y80.0 Z"
               + QByteArray::number(0.3 + 0.2 * i, 'f', 2) + "\nG1 X120.0 Y80.0 E1.0\nG1 X120.0 Y120.0 E2.0\n"
               + ";TIME_ELAPSED:" + QByteArray::number(100 * (i + 1)) + ".25\n";
    return out;
}

bool Dark(const QImage& img, int x, int y)
{
    return img.pixelColor(x, y) == QColor(19, 29, 33);
}
}

class tst_KLayerControlWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sliderPicksTheLayerAndMovesTheBookmark();
    void buttonsChooseSingleOrMultipleLayers();
    void backLeavesTheLayerMode();
    void bookmarkShape_data();
    void bookmarkShape();
    void textsAreTranslated();

private:
    QPoint BookmarkPos() const;
    QLabel* Bookmark() const;

    View* m_pView = nullptr;
    KLayerControlWidget* m_pPanel = nullptr;
    QWidget* m_pPage = nullptr;
};

void tst_KLayerControlWidget::init()
{
    m_pPage = new QWidget;
    m_pPage->resize(800, 600);
    m_pView = new View(m_pPage);
    m_pView->resize(800, 600);
    m_pPanel = new KLayerControlWidget(m_pPage);
    m_pPanel->SetGLView(m_pView);
    connect(m_pView, &KzGLView::signal_MaxLayerChanged, m_pPanel, &KLayerControlWidget::slot_SetMaxLayer);
    m_pPanel->move(800 - m_pPanel->width() - 10, 30);
    m_pPage->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pPage));
}

void tst_KLayerControlWidget::cleanup()
{
    delete m_pPage;
    m_pPage = nullptr;
}

QLabel* tst_KLayerControlWidget::Bookmark() const
{
    const auto labels = m_pPanel->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : labels)
        if (dynamic_cast<KLayerBookmarkLabel*>(label) != nullptr)
            return label;
    return nullptr;
}

QPoint tst_KLayerControlWidget::BookmarkPos() const
{
    return Bookmark()->pos();
}

void tst_KLayerControlWidget::sliderPicksTheLayerAndMovesTheBookmark()
{
    auto* slider = m_pPanel->findChild<QSlider*>(QStringLiteral("Slider"));
    auto* maxLabel = m_pPanel->findChild<QLabel*>(QStringLiteral("MaxValueLabel"));
    QVERIFY(slider && maxLabel && Bookmark());
    QCOMPARE(Bookmark()->text(), QStringLiteral("99"));
    // Two lines high, its point where a one-line tag's would be.
    QCOMPARE(BookmarkPos(), QPoint(37, 22));
    QCOMPARE(Bookmark()->size(), QSize(55, 36));
    QCOMPARE(slider->maximum(), 99);
    QCOMPARE(slider->value(), 99);

    // A slice of 21 layers: the view reports 20 as the highest.
    const QString gcode = KzConfigureData::GetInstance()->GetTmpGcodeFilePath();
    QFile file(gcode);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Gcode(21));
    file.close();
    m_pView->EnterLayerMode();
    QTRY_VERIFY_WITH_TIMEOUT(m_pView->Layers().GetLayerModel()->ReadyToRender(), 10000);
    QTRY_COMPARE(slider->maximum(), 20);
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->value(), 20);
    QCOMPARE(maxLabel->text(), QStringLiteral("20"));
    const QPoint top = slider->pos() + QPoint(37, -6);
    QCOMPARE(BookmarkPos(), top);
    // The number and the height the G-code prints the layer at.
    QCOMPARE(Bookmark()->text(), QStringLiteral("20\n4.30 mm"));
    QCOMPARE(m_pPanel->findChild<QLabel*>(QStringLiteral("ZValueLabel"))->text(), QStringLiteral("4.30 mm"));
    QCOMPARE(m_pView->Layers().GetCurrentLayer(), 20);
    if (qEnvironmentVariableIsSet("KZ_SAVE_FRAMES"))
        m_pPage->grab().save(qEnvironmentVariable("KZ_SAVE_FRAMES") + "/layer-panel.png");

    // A page down is ten layers: 376 / 20 = 18.8 px a layer.
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_PageDown);
    QCOMPARE(slider->value(), 10);
    QCOMPARE(BookmarkPos(), top + QPoint(0, 188));
    QCOMPARE(Bookmark()->text(), QStringLiteral("10\n2.30 mm"));
    QCOMPARE(m_pView->Layers().GetCurrentLayer(), 10);

    // Hovering the handle (where the tag points) tells the engine's times up
    // to the layer: layer 9 ends at 1000.25 s, layer 10 at 1100.25 s. The
    // groove away from the handle tells nothing; the tag tells the same.
    const QPoint handle(slider->width() / 2, BookmarkPos().y() + 18 - slider->pos().y());
    QHelpEvent onHandle(QEvent::ToolTip, handle, slider->mapToGlobal(handle));
    QApplication::sendEvent(slider, &onHandle);
    QTRY_VERIFY(QToolTip::isVisible());
    const QString expected = QStringLiteral("第 10 层 · Z 2.30 mm\n到达此层：16 分钟\n此层用时：1 分钟\n打印完此层：18 分钟");
    QCOMPARE(QToolTip::text(), expected);
    QCOMPARE(Bookmark()->toolTip(), expected);
    const QPoint groove(slider->width() / 2, handle.y() + 120);
    QHelpEvent onGroove(QEvent::ToolTip, groove, slider->mapToGlobal(groove));
    QApplication::sendEvent(slider, &onGroove);
    QTRY_VERIFY(!QToolTip::isVisible());
    QTest::keyClick(slider, Qt::Key_PageDown);
    QCOMPARE(BookmarkPos(), top + QPoint(0, 376));
    QCOMPARE(m_pView->Layers().GetCurrentLayer(), 0);
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(BookmarkPos(), top + QPoint(0, 357));   // 19 x 18.8 = 357.2

    // The same maximum again changes no value: nothing moves, the view is not told.
    QTest::keyClick(slider, Qt::Key_End);
    QCOMPARE(slider->value(), 20);
    m_pView->SetCurrentLayer(5);
    m_pPanel->slot_SetMaxLayer(20);
    QCOMPARE(BookmarkPos(), top);
    QCOMPARE(m_pView->Layers().GetCurrentLayer(), 5);

    // One layer only: a range without width keeps the bookmark at the top.
    m_pPanel->slot_SetMaxLayer(0);
    QCOMPARE(slider->value(), 0);
    QCOMPARE(BookmarkPos(), top);
    QCOMPARE(Bookmark()->text(), QStringLiteral("0\n0.30 mm"));
    QCOMPARE(maxLabel->text(), QStringLiteral("0"));
}

void tst_KLayerControlWidget::buttonsChooseSingleOrMultipleLayers()
{
    auto* single = m_pPanel->findChild<QPushButton*>(QStringLiteral("SingleLayerButton"));
    auto* multi = m_pPanel->findChild<QPushButton*>(QStringLiteral("MultiLayerButton"));
    QVERIFY(single && multi);
    QVERIFY(multi->isChecked() && !single->isChecked());
    QVERIFY(m_pView->Layers().IsMultiLayer());

    // The button already on still tells the view.
    m_pView->SetEnableMultiLayer(false);
    QTest::mouseClick(multi, Qt::LeftButton);
    QVERIFY(m_pView->Layers().IsMultiLayer());

    QTest::mouseClick(single, Qt::LeftButton);
    QVERIFY(single->isChecked() && !multi->isChecked());
    QVERIFY(!m_pView->Layers().IsMultiLayer());
    m_pView->SetEnableMultiLayer(true);
    QTest::mouseClick(single, Qt::LeftButton);
    QVERIFY(single->isChecked());
    QVERIFY(!m_pView->Layers().IsMultiLayer());
}

void tst_KLayerControlWidget::backLeavesTheLayerMode()
{
    auto* back = m_pPanel->findChild<QPushButton*>(QStringLiteral("pushButton_back"));
    QVERIFY(back);
    QVERIFY(!back->isVisible());
    QCOMPARE(back->size(), QSize(50, 20));
    m_pView->EnterLayerMode();
    QSignalSpy disable(m_pView, &KzGLView::signal_DisableSaveGCode);
    QVERIFY(m_pPanel->isVisible());
    back->click();   // what the hidden button would do if the panel showed it
    QVERIFY(!m_pView->IsLayerMode());
    QCOMPARE(disable.size(), 1);
    QVERIFY(!m_pPanel->isVisible());
}

void tst_KLayerControlWidget::bookmarkShape_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("t");
    QTest::newRow("40 x 24") << 24 << 8;
    QTest::newRow("40 x 30") << 30 << 10;
}

// A box from x = h / 3 to the right edge, and a point on the left aimed at the
// handle: from (0, h / 2) to (t, t) and (t, h - t).
void tst_KLayerControlWidget::bookmarkShape()
{
    QFETCH(int, h);
    QFETCH(int, t);
    KLayerBookmarkLabel label;
    label.setFixedSize(40, h);
    QImage img(40, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    label.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 0; y < h; ++y)
        QVERIFY2(Dark(img, t, y) && Dark(img, 39, y), qPrintable(QString::number(y)));
    // The point narrows from the box to its tip on the left edge.
    QVERIFY(Dark(img, t - 1, h / 2) && Dark(img, t - 1, t + 1) && Dark(img, t - 1, h - t - 2));
    QVERIFY(!Dark(img, t - 1, t - 2) && !Dark(img, t - 1, h - t + 1));
    QVERIFY(Dark(img, 1, h / 2) && !Dark(img, 1, h / 2 - 3) && !Dark(img, 1, h / 2 + 3));
    QVERIFY(!Dark(img, 0, 0) && !Dark(img, 0, h - 1) && !Dark(img, t - 1, 0));
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
}

void tst_KLayerControlWidget::textsAreTranslated()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/kzvellum_en.qm")));
    qApp->installTranslator(&translator);
    KLayerControlWidget panel(nullptr);
    qApp->removeTranslator(&translator);
    QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("SingleLayerButton"))->text(), QStringLiteral("Single"));
    QCOMPARE(panel.findChild<QPushButton*>(QStringLiteral("MultiLayerButton"))->text(), QStringLiteral("Multi"));
    QCOMPARE(panel.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("MinValueLabel"))->text(), QStringLiteral("00"));
    if (qEnvironmentVariableIsSet("KZ_SAVE_FRAMES"))
        panel.grab().save(qEnvironmentVariable("KZ_SAVE_FRAMES") + "/layer-panel-en.png");
    QVERIFY(!QImage(QStringLiteral(":/Resources/002.png")).isNull());
    QVERIFY(!QImage(QStringLiteral(":/Resources/002p.png")).isNull());
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    QDir().mkpath(QFileInfo(KzConfigureData::GetInstance()->GetTmpGcodeFilePath()).path());
    tst_KLayerControlWidget test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KLayerControlWidget.moc"
