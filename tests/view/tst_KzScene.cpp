// Placed model instances and the scene that holds them: centring and dropping a
// new instance, bounds and footprint under moves and rotations, the print bound,
// and selection with the handles it places.
#include "Kz3DScene.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace KzViewTest;

namespace {
bool Near(const QVector3D& a, const QVector3D& b, float tol = 1e-4f)
{
    return (a - b).length() <= tol;
}

QString Str(const QVector3D& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(v.x()).arg(v.y()).arg(v.z());
}

// The outline's points as a sorted list, to compare without regard to order.
QVector<QPointF> Sorted(const QVector<QVector2D>& polygon)
{
    QVector<QPointF> out;
    for (const QVector2D& p : polygon)
        out.append(QPointF(std::round(p.x() * 1000) / 1000, std::round(p.y() * 1000) / 1000));
    std::sort(out.begin(), out.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    return out;
}

QVector<QPointF> Rect(double x0, double y0, double x1, double y1)
{
    return Sorted({QVector2D(x0, y0), QVector2D(x1, y0), QVector2D(x1, y1), QVector2D(x0, y1)});
}
}

class tst_KzScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void newInstanceStandsCentredOnThePlate();
    void instanceTouchingThePlateIsNotMoved();
    void footprintIsTheOutlineGrownByOneMillimetre();
    void moveMapsBoundsAndRotationRecomputesThem();
    void resetReturnsToTheFileOrientation();
    void emptyModelHasNoBoundsOrFootprint();
    void instancesShareTheirModel();
    void printBoundSizesBoxAndGrid();
    void inBoundIsStrictInXAndY();
    void selectionPlacesTheHandles();

private:
    // Loads a box-shaped model; the caller owns it.
    KzModel3D* LoadBox(const QVector3D& min, const QVector3D& max);

    QTemporaryDir m_dir;
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    int m_nFiles = 0;
};

void tst_KzScene::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_surface.setFormat(KzGLView::DefaultSurfaceFormat());
    m_surface.create();
    m_context.setFormat(KzGLView::DefaultSurfaceFormat());
    QVERIFY(m_context.create());
    QVERIFY(m_context.makeCurrent(&m_surface));
}

void tst_KzScene::cleanupTestCase()
{
    m_context.doneCurrent();
}

KzModel3D* tst_KzScene::LoadBox(const QVector3D& min, const QVector3D& max)
{
    const QString path = m_dir.filePath(QStringLiteral("box%1.stl").arg(m_nFiles++));
    if (!WriteBinaryStl(path, BoxTriangles(min, max)))
        return nullptr;
    auto* model = new KzModel3D;
    if (!model->LoadSTLFile(path)) {
        delete model;
        return nullptr;
    }
    return model;
}

void tst_KzScene::newInstanceStandsCentredOnThePlate()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(10, -5, 2), QVector3D(30, 5, 12)));
    QVERIFY(model);
    KzModelPainter p(model.get());
    QVERIFY2(Near(p.GetMin(), QVector3D(-10, -5, 0)), qPrintable(Str(p.GetMin())));
    QVERIFY2(Near(p.GetMax(), QVector3D(10, 5, 10)), qPrintable(Str(p.GetMax())));
    QVERIFY2(Near(p.GetCenter(), QVector3D(0, 0, 5)), qPrintable(Str(p.GetCenter())));
    // The mesh itself is untouched; only the instance's matrix moved it.
    QCOMPARE(model->MinBound(), QVector3D(10, -5, 2));
    QVERIFY(Near(p.GetModelMatrix().map(QVector3D(10, -5, 2)), QVector3D(-10, -5, 0)));
    QCOMPARE(p.GetPickCode(), p.GetID() * 10);

    // Hanging below the plate is lifted onto it as well.
    std::unique_ptr<KzModel3D> sunk(LoadBox(QVector3D(-3, -3, -8), QVector3D(3, 3, -2)));
    QVERIFY(sunk);
    KzModelPainter q(sunk.get());
    QVERIFY(Near(q.GetMin(), QVector3D(-3, -3, 0)));
    QVERIFY(Near(q.GetMax(), QVector3D(3, 3, 6)));
}

void tst_KzScene::instanceTouchingThePlateIsNotMoved()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(-2, -2, 0.005f), QVector3D(2, 2, 4)));
    QVERIFY(model);
    KzModelPainter p(model.get());
    QCOMPARE(p.GetMin().z(), 0.005f);
    QCOMPARE(p.GetMax().z(), 4.0f);

    std::unique_ptr<KzModel3D> above(LoadBox(QVector3D(-2, -2, 0.02f), QVector3D(2, 2, 4)));
    QVERIFY(above);
    KzModelPainter q(above.get());
    QVERIFY(std::abs(q.GetMin().z()) < 1e-6f);
}

void tst_KzScene::footprintIsTheOutlineGrownByOneMillimetre()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(0, 0, 0), QVector3D(10, 10, 3)));
    QVERIFY(model);
    KzModelPainter p(model.get());
    QCOMPARE(Sorted(p.GetHull()), Rect(-6, -6, 6, 6));

    // A tall thin box: only its outline on the plate counts, not its height.
    std::unique_ptr<KzModel3D> tall(LoadBox(QVector3D(0, 0, 0), QVector3D(4, 20, 50)));
    QVERIFY(tall);
    KzModelPainter t(tall.get());
    QCOMPARE(Sorted(t.GetHull()), Rect(-3, -11, 3, 11));
}

void tst_KzScene::moveMapsBoundsAndRotationRecomputesThem()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(0, 0, 0), QVector3D(20, 10, 4)));
    QVERIFY(model);
    const QVector<KzTriangle3D> before = model->Triangls();
    KzModelPainter p(model.get());

    p.Translate(QVector2D(5, 0));
    QVERIFY(Near(p.GetMin(), QVector3D(-5, -5, 0)));
    QVERIFY(Near(p.GetMax(), QVector3D(15, 5, 4)));
    QVERIFY(Near(p.GetCenter(), QVector3D(5, 0, 2)));
    QCOMPARE(Sorted(p.GetHull()), Rect(-6, -6, 16, 6));
    QCOMPARE(model->Item(0)[0], before.at(0)[0]);

    // 90 degrees about the vertical through its centre: 10 wide, 20 deep.
    QMatrix4x4 r;
    r.translate(p.GetCenter());
    r.rotate(90, 0, 0, 1);
    r.translate(-p.GetCenter());
    p.ApplyTransform(r, true);
    QVERIFY2(Near(p.GetMin(), QVector3D(0, -10, 0)), qPrintable(Str(p.GetMin())));
    QVERIFY2(Near(p.GetMax(), QVector3D(10, 10, 4)), qPrintable(Str(p.GetMax())));
    QCOMPARE(Sorted(p.GetHull()), Rect(-1, -11, 11, 11));

    // About x through the centre: it would sink 3 below the plate, and is dropped.
    QMatrix4x4 tip;
    tip.translate(p.GetCenter());
    tip.rotate(90, 1, 0, 0);
    tip.translate(-p.GetCenter());
    p.ApplyTransform(tip, true);
    QVERIFY2(Near(p.GetMin(), QVector3D(0, -2, 0)), qPrintable(Str(p.GetMin())));
    QVERIFY2(Near(p.GetMax(), QVector3D(10, 2, 20)), qPrintable(Str(p.GetMax())));
    QVERIFY(Near(p.GetCenter(), QVector3D(5, 0, 10)));

    // A scale without recompute maps the stored corners: the rotated mesh is not
    // consulted, so the result is exactly the mapped box.
    QMatrix4x4 s;
    s.scale(2, 1, 1);
    p.ApplyTransform(s, false);
    QVERIFY(Near(p.GetMin(), QVector3D(0, -2, 0)));
    QVERIFY(Near(p.GetMax(), QVector3D(20, 2, 20)));
    QCOMPARE(Sorted(p.GetHull()), Rect(-2, -3, 22, 3));
    QCOMPARE(model->Item(0)[0], before.at(0)[0]);
}

void tst_KzScene::resetReturnsToTheFileOrientation()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(10, -5, 2), QVector3D(30, 5, 12)));
    QVERIFY(model);
    KzModelPainter p(model.get());
    QMatrix4x4 m;
    m.rotate(30, 1, 1, 0);
    m.scale(3);
    p.ApplyTransform(m, true);
    p.Translate(QVector2D(40, 7));
    p.ResetTransform();
    QVERIFY(Near(p.GetMin(), QVector3D(-10, -5, 0)));
    QVERIFY(Near(p.GetMax(), QVector3D(10, 5, 10)));
    QCOMPARE(Sorted(p.GetHull()), Rect(-11, -6, 11, 6));
}

void tst_KzScene::emptyModelHasNoBoundsOrFootprint()
{
    KzModel3D empty;  // never loaded: no triangles
    KzModelPainter p(&empty);
    QCOMPARE(p.GetMin(), QVector3D());
    QCOMPARE(p.GetMax(), QVector3D());
    QVERIFY(p.GetHull().isEmpty());
    QCOMPARE(p.GetCenter(), QVector3D());
    // Moved or reset, it still has no outline to collide with.
    p.Translate(QVector2D(3, 3));
    QVERIFY(p.GetHull().isEmpty());
    p.ResetTransform();
    QVERIFY(p.GetHull().isEmpty());
}

void tst_KzScene::instancesShareTheirModel()
{
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(0, 0, 0), QVector3D(1, 1, 1)));
    QVERIFY(model);
    QVERIFY(!model->IsRefered());
    auto* a = new KzModelPainter(model.get());
    auto* b = new KzModelPainter(model.get());
    QVERIFY(model->IsRefered());
    QVERIFY(a->GetID() != b->GetID());
    delete a;
    QVERIFY(model->IsRefered());
    delete b;
    QVERIFY(!model->IsRefered());

    // The scene frees what it holds: instances first, then their models.
    auto* scene = new Kz3DScene;
    KzModel3D* owned = LoadBox(QVector3D(0, 0, 0), QVector3D(2, 2, 2));
    QVERIFY(owned);
    scene->AdoptModel(owned);
    scene->AdoptPainter(new KzModelPainter(owned));
    scene->AdoptPainter(new KzModelPainter(owned));
    QCOMPARE(scene->GetModels().size(), 1);
    QCOMPARE(scene->GetPainters().size(), 2);
    QPointer<KzModel3D> watch(owned);
    delete scene;
    QVERIFY(watch.isNull());
}

void tst_KzScene::printBoundSizesBoxAndGrid()
{
    Kz3DScene scene;
    QCOMPARE(scene.GetPrinterBox().GetSizeX(), 100);
    QCOMPARE(scene.GetGridding().GetSizeY(), 100);

    scene.SetPrintBound(QVector3D(50, 50, 100), QVector3D(-50, -50, 0));
    QCOMPARE(scene.GetPrinterBox().GetSizeX(), 100);
    QCOMPARE(scene.GetPrinterBox().GetSizeY(), 100);
    QCOMPARE(scene.GetPrinterBox().GetSizeZ(), 100);

    scene.SetPrintBound(QVector3D(60.35f, 40, 80), QVector3D(-60.35f, -40, 0));
    QCOMPARE(scene.GetPrinterBox().GetSizeX(), 120);
    QCOMPARE(scene.GetGridding().GetSizeX(), 120);
    QCOMPARE(scene.GetGridding().GetSizeY(), 80);
    QCOMPARE(scene.GetPrinterBox().GetSizeZ(), 80);
    QCOMPARE(scene.GetPrinterBox().GetZOffset(), -0.2);

    // An inverted bound is taken as it is, truncated towards zero.
    scene.SetPrintBound(QVector3D(-10.6f, 0, 0), QVector3D(0, 0, 5));
    QCOMPARE(scene.GetPrinterBox().GetSizeX(), -10);
    QCOMPARE(scene.GetPrinterBox().GetSizeZ(), -5);
    QVector3D max, min;
    scene.GetPrintBound(max, min);
    QCOMPARE(max, QVector3D(-10.6f, 0, 0));
    QCOMPARE(min, QVector3D(0, 0, 5));
}

void tst_KzScene::inBoundIsStrictInXAndY()
{
    Kz3DScene scene;
    scene.SetPrintBound(QVector3D(50, 50, 100), QVector3D(-50, -50, 0));
    std::unique_ptr<KzModel3D> model(LoadBox(QVector3D(0, 0, 0), QVector3D(20, 20, 150)));
    QVERIFY(model);
    KzModelPainter p(model.get());
    QVERIFY(scene.IsInBound(&p));  // taller than the bound: height is not tested
    p.Translate(QVector2D(40, 0));  // right side exactly at x = 50
    QVERIFY(!scene.IsInBound(&p));
    p.Translate(QVector2D(-0.01f, 0));
    QVERIFY(scene.IsInBound(&p));
    p.Translate(QVector2D(-79.98f, -39.99f));  // left side at -49.99, front at -49.99
    QVERIFY(scene.IsInBound(&p));
    p.Translate(QVector2D(-0.02f, 0));
    QVERIFY(!scene.IsInBound(&p));
    p.Translate(QVector2D(0.02f, -0.02f));
    QVERIFY(!scene.IsInBound(&p));
}

void tst_KzScene::selectionPlacesTheHandles()
{
    Kz3DScene scene;
    KzModel3D* model = LoadBox(QVector3D(0, 0, 0), QVector3D(6, 8, 10));
    QVERIFY(model);
    scene.AdoptModel(model);
    auto* a = new KzModelPainter(model);
    auto* b = new KzModelPainter(model);
    b->Translate(QVector2D(20, 0));
    scene.AdoptPainter(a);
    scene.AdoptPainter(b);

    scene.GetRotateCoord().SetHovered(2);
    scene.GetRotateCoord().SetActive(1);
    scene.GetScaleCoord().SetActive(4);
    scene.SelectPainter(a->GetPickCode());
    QCOMPARE(scene.GetCurrentPainter(), a);
    QVERIFY(a->IsSelected());
    QCOMPARE(scene.GetRotateCoord().GetCenter(), a->GetCenter());
    QCOMPARE(scene.GetRotateCoord().GetRadius(), double(a->Diagonal() * 0.5f));
    QVERIFY(std::abs(a->Diagonal() - std::sqrt(36.0f + 64.0f + 100.0f)) < 1e-4f);
    QCOMPARE(scene.GetScaleCoord().GetMax(), a->GetMax());
    QCOMPARE(scene.GetScaleCoord().GetMin(), a->GetMin());
    QCOMPARE(scene.GetRotateCoord().GetActive(), -1);
    QCOMPARE(scene.GetScaleCoord().GetActive(), -1);
    QCOMPARE(scene.GetRotateCoord().GetHovered(), 2);

    // The scale box keeps 0.1 mm off the instance, except underneath.
    QVERIFY(Near(scene.GetScaleCoord().Corner(0), a->GetMin() - QVector3D(0.1f, 0.1f, 0)));
    QVERIFY(Near(scene.GetScaleCoord().Corner(6), a->GetMax() + QVector3D(0.1f, 0.1f, 0.1f)));

    scene.SelectPainter(b->GetPickCode());
    QCOMPARE(scene.GetCurrentPainter(), b);
    QVERIFY(!a->IsSelected());
    QVERIFY(b->IsSelected());
    QCOMPARE(scene.GetRotateCoord().GetCenter(), b->GetCenter());

    // Codes that are not an instance's select nothing.
    const int unknown = (b->GetID() + 1000) * 10;
    for (int code : {b->GetPickCode() + 1, 0, -10, unknown}) {
        scene.SelectPainter(b->GetPickCode());
        scene.SelectPainter(code);
        QVERIFY(scene.GetCurrentPainter() == nullptr);
        QVERIFY(!b->IsSelected());
    }
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    tst_KzScene test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KzScene.moc"
