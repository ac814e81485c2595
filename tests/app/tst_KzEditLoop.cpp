// One loop through the real 3D view: a click selects an instance, the edit
// bar and panel appear and read it, typed and stepped values change the view's
// instance and the panel shows what they made of it, and a drag on the bar's
// background turns the view beneath it.
// The widgets are wired here the way the main window wires them.
#include "KzEditControlWidget.h"
#include "KzEditWidget.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <cmath>

using namespace KzViewTest;

class tst_KzEditLoop : public QObject
{
    Q_OBJECT

private slots:
    void selectScaleRotateThroughTheView();

private:
    KzModelPainter* AddBox(KzTestView* view, const QVector3D& min, const QVector3D& max);

    QTemporaryDir m_dir;
};

KzModelPainter* tst_KzEditLoop::AddBox(KzTestView* view, const QVector3D& min, const QVector3D& max)
{
    const QString path = m_dir.filePath(QStringLiteral("box.stl"));
    if (!WriteBinaryStl(path, BoxTriangles(min, max)))
        return nullptr;
    view->makeCurrent(); // the model fills its buffers
    auto* model = new KzModel3D;
    if (!model->LoadSTLFile(path)) {
        delete model;
        return nullptr;
    }
    view->GetScene().AdoptModel(model);
    auto* painter = new KzModelPainter(model);
    view->GetScene().AdoptPainter(painter);
    return painter;
}

namespace {

bool Near(const QVector3D& a, const QVector3D& b, float tol = 0.02f)
{
    return (a - b).length() < tol;
}

QString Text(const QVector3D& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(v.x()).arg(v.y()).arg(v.z());
}

} // namespace

void tst_KzEditLoop::selectScaleRotateThroughTheView()
{
    QVERIFY(m_dir.isValid());
    QWidget window;
    window.resize(900, 640);
    auto* view = new KzTestView(&window);
    view->setGeometry(0, 0, 900, 640);
    auto* bar = new KzEditControlWidget(&window);
    bar->move(10, 60);
    bar->hide();
    auto* panel = new KzEditWidget(&window);
    panel->move(540, 420);
    // As the main window connects them.
    connect(view, &KzGLView::signal_SendEditList, panel, &KzEditWidget::slot_ReceiveEditList);
    connect(view, &KzGLView::signal_ShowHideEditControl, bar, &KzEditControlWidget::slot_ShowHide);
    connect(panel, &KzEditWidget::signal_SendEditData, view, &KzGLView::slot_ReceiveEditList);
    connect(bar, &KzEditControlWidget::signal_SendEditMode, view, &KzGLView::slot_ReceiveEditList);
    connect(bar, &KzEditControlWidget::signal_SendEditMode, panel, &KzEditWidget::slot_ReceiveEditList);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->slot_ReloadSize();

    KzModelPainter* box = AddBox(view, QVector3D(-10, -5, 0), QVector3D(10, 5, 5));
    QVERIFY(box);
    QVERIFY(!panel->isVisible() && !bar->isVisible());

    // A click on the box selects it: bar and panel appear and read it.
    QTest::qWait(100);
    const QPoint onBox = ProjectToImage(view->GetCamera(), QVector3D(0, 0, 2.5f), view->width(), view->height()).toPoint();
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, view->mapTo(&window, onBox));
    QTRY_VERIFY(panel->isVisible());
    QVERIFY(bar->isVisible());
    QCOMPARE(view->GetScene().GetCurrentPainter(), box);
    auto field = [panel](const char* name) { return panel->findChild<QDoubleSpinBox*>(name); };
    QCOMPARE(field("Position_X")->text(), QString("0.00"));
    QCOMPARE(field("Position_Z")->text(), QString("0.00"));
    QCOMPARE(field("Size_X")->text(), QString("20.00"));
    QCOMPARE(field("Size_Y")->text(), QString("10.00"));
    QCOMPARE(field("Size_Z")->text(), QString("5.00"));

    // Scale mode from the bar, then Scale_X typed to 2 with uniform scale on:
    // the instance doubles about its bottom centre.
    QTest::mouseClick(bar->findChild<QPushButton*>("pushButton_Scale"), Qt::LeftButton);
    QVERIFY(field("Scale_X")->isVisible());
    field("Scale_X")->setFocus();
    field("Scale_X")->selectAll();
    QTest::keyClicks(field("Scale_X"), "2");
    QTest::keyClick(field("Scale_X"), Qt::Key_Return);
    QVERIFY2(Near(box->GetMax() - box->GetMin(), QVector3D(40, 20, 10)), qPrintable(Text(box->GetMax() - box->GetMin())));
    QVERIFY2(Near(box->GetMin(), QVector3D(-20, -10, 0)), qPrintable(Text(box->GetMin())));
    QCOMPARE(field("Size_X")->text(), QString("40.00"));

    // Rotate mode, two steps up on Rotate_Z: turned by 30 degrees about the vertical.
    QTest::mouseClick(bar->findChild<QPushButton*>("pushButton_Rotate"), Qt::LeftButton);
    QDoubleSpinBox* rz = field("Rotate_Z");
    QVERIFY(rz->isVisible());
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(rz, Qt::LeftButton, Qt::NoModifier, QPoint(rz->width() - 6, 4));
    QCOMPARE(rz->text(), QString::fromUtf8("30°"));
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    const QVector3D turned(float(40 * c + 20 * s), float(40 * s + 20 * c), 10);
    QVERIFY2(Near(box->GetMax() - box->GetMin(), turned, 0.05f), qPrintable(Text(box->GetMax() - box->GetMin())));
    QVERIFY2(Near(box->GetCenter(), QVector3D(0, 0, 5), 0.05f), qPrintable(Text(box->GetCenter())));
    // The turn is about z: a corner of the top face went to 30 degrees past its old bearing.
    bool cornerFound = false;
    const QVector3D corner(float(20 * c - 10 * s), float(20 * s + 10 * c), 10);
    for (const QVector2D& p : box->GetHull())
        cornerFound = cornerFound || (QVector2D(corner) - p).length() < 2.0f; // the footprint is grown by 1 mm
    QVERIFY(cornerFound);
    // The panel shows the turned size at once, not the size before the turn.
    auto shows = [&](const char* name, float value) {
        return field(name)->text() == QString::number(double(value), 'f', 2);
    };
    const QVector3D size = box->GetMax() - box->GetMin();
    QVERIFY2(shows("Size_X", size.x()) && shows("Size_Y", size.y()),
             qPrintable(field("Size_X")->text() + " x " + field("Size_Y")->text() + " for " + Text(size)));

    // A quarter turn typed about x stands the box on its side, on the plate:
    // the panel's size and height follow.
    QDoubleSpinBox* rx = field("Rotate_X");
    rx->setFocus();
    rx->selectAll();
    QTest::keyClicks(rx, "90");
    QTest::keyClick(rx, Qt::Key_Return);
    const QVector3D stood = box->GetMax() - box->GetMin();
    QVERIFY2(std::abs(stood.z() - size.y()) < 0.05f, qPrintable(Text(stood)));
    QVERIFY2(std::abs(box->GetMin().z()) < 0.01f, qPrintable(Text(box->GetMin())));
    QVERIFY2(shows("Size_Y", stood.y()) && shows("Size_Z", stood.z()),
             qPrintable(field("Size_Y")->text() + " x " + field("Size_Z")->text() + " for " + Text(stood)));
    QCOMPARE(field("Position_Z")->text(), QString("0.00"));

    // A typed position: the instance and the panel agree on it.
    QTest::mouseClick(bar->findChild<QPushButton*>("pushButton_Translate"), Qt::LeftButton);
    QDoubleSpinBox* px = field("Position_X");
    px->setFocus();
    px->selectAll();
    QTest::keyClicks(px, "25.5");
    QTest::keyClick(px, Qt::Key_Return);
    QVERIFY2(std::abs(box->GetCenter().x() - 25.5f) < 0.01f, qPrintable(Text(box->GetCenter())));
    QCOMPARE(px->text(), QString("25.50"));
    QVERIFY(shows("Size_X", stood.x()));

    // A right drag on the bar's background orbits the view beneath it.
    const QMatrix4x4 before = view->GetCamera().ModelView();
    QWindow* w = window.windowHandle();
    const QPoint start = bar->mapTo(&window, QPoint(4, bar->height() / 2));
    QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, start);
    QTest::mouseMove(w, start + QPoint(40, 0));
    QTest::mouseMove(w, start + QPoint(120, 10));
    QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, start + QPoint(120, 10));
    QTRY_VERIFY(view->GetCamera().ModelView() != before);
    QCOMPARE(view->GetScene().GetCurrentPainter(), box); // the selection stays

    QImage frame = window.grab().toImage();
    frame.save("edit-loop.png");
}

QTEST_MAIN(tst_KzEditLoop)
#include "tst_KzEditLoop.moc"
