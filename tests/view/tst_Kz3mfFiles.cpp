// 3MF packages the program did not write, opened through the view as the open
// dialog and drops open them: OpenSCAD's exports, files written through
// lib3mf's API (components, several build items, inches); where their items
// go on a 200 x 200 mm machine; and the program's own package read by
// OpenSCAD and by lib3mf's strict mode, to show it is standard.
#include "Kz3mfReader.h"
#include "Kz3mfTestFiles.h"
#include "KPolygonAlgorithm.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace Kz3mfTest;
using namespace KzViewTest;

namespace {

QString Str(const QVector3D& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(double(v.x()), 0, 'g', 9).arg(double(v.y()), 0, 'g', 9).arg(double(v.z()), 0, 'g', 9);
}

bool Near(const QVector3D& a, const QVector3D& b, float tol = 1e-3f)
{
    return std::abs(a.x() - b.x()) <= tol && std::abs(a.y() - b.y()) <= tol && std::abs(a.z() - b.z()) <= tol;
}

QVector3D Size(const KzModelPainter* p)
{
    return p->GetMax() - p->GetMin();
}

} // namespace

class tst_Kz3mfFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openscadFilesOpenWithOpenscadsSizes();
    void componentsBuildItemsAndInches();
    void everyUnitComesInMillimetres();
    void arrangementKeptWhereItFitsElsePlaced();
    void savedPlateIsReadByOpenscadAndStrictLib3mf();

private:
    QList<KzModelPainter*> Painters() { return m_pView->GetScene().GetPainters().values(); }
    // Every pair of instances apart (their footprints do not overlap).
    bool AllApart();

    QTemporaryDir m_dir;
    KzTestView* m_pView = nullptr;
};

// A Hazel-sized machine: 200 x 200 x 180 mm, the print area's corner at
// (-100, -100) on the plate.
void tst_Kz3mfFiles::init()
{
    m_pView = new KzTestView(nullptr);
    m_pView->resize(640, 480);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    m_pView->GetScene().SetPrintBound(QVector3D(100, 100, 180), QVector3D(-100, -100, 0));
    m_pView->GetScene().SetLayerOffset(-100, -100);
}

void tst_Kz3mfFiles::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

bool tst_Kz3mfFiles::AllApart()
{
    const QList<KzModelPainter*> all = Painters();
    for (int i = 0; i < all.size(); ++i) {
        for (int j = i + 1; j < all.size(); ++j) {
            QVector2D push;
            if (KPolygonAlgorithm::PolygonCollisionPushVector(all[i]->GetHull(), all[j]->GetHull(), push))
                return false;
        }
    }
    return true;
}

// One object and several: OpenSCAD writes them as one mesh, in millimetres
// (it writes no other unit). Each opens as one instance of the model's size;
// standing at the print area's corner, on its edge, they do not fit as placed
// and are centred like a new model.
void tst_Kz3mfFiles::openscadFilesOpenWithOpenscadsSizes()
{
    const struct { const char* name; const char* scad; QVector3D size; } files[] = {
        {"one", "cube([12, 20, 30]);", QVector3D(12, 20, 30)},
        {"several", "cube([10, 10, 10]); translate([30, 0, 0]) cube([5, 8, 20]);"
                    "translate([50, -10, 0]) cylinder(r = 5, h = 4, $fn = 4);", QVector3D(55, 25, 20)},
    };
    int instances = 0;
    for (const auto& file : files) {
        const QString package = m_dir.filePath(QString(file.name) + ".3mf");
        const QString error = RunOpenScad(m_dir.path(), file.scad, package);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(m_pView->OpenSTLFile(package), file.name);
        QCOMPARE(m_pView->GetLoadReport().GetVerdict(), KzLoadReport::Verdict_Loaded);
        QCOMPARE(Painters().size(), ++instances);
        const KzModelPainter* opened = m_pView->GetScene().GetCurrentPainter();
        QVERIFY2(Near(Size(opened), file.size, 1e-4f), qPrintable(Str(Size(opened))));
        QCOMPARE(opened->GetMin().z(), 0.0f);
    }
    QVERIFY(Near(Painters().first()->GetCenter() * QVector3D(1, 1, 0), QVector3D(0, 0, 0)));
    QVERIFY(AllApart());
}

// Components flattened with their transforms, a part used by two build items
// loaded once, inches turned into millimetres; the arrangement fits the
// machine and is kept, each item where the file puts it. Undo and redo take
// the package as one open.
void tst_Kz3mfFiles::componentsBuildItemsAndInches()
{
    const QString path = m_dir.filePath("inches.3mf");
    QVERIFY(WriteComponentsInInches(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    QCOMPARE(m_pView->GetLoadReport().GetVerdict(), KzLoadReport::Verdict_Loaded);
    QCOMPARE(m_pView->GetScene().GetModels().size(), 2);
    const QList<KzModelPainter*> items = Painters();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->GetModel(), items[1]->GetModel());
    QCOMPARE(items[0]->GetModel()->Count(), 24);
    QCOMPARE(items[2]->GetModel()->Count(), 12);
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), items[0]);
    const float in = 25.4f;
    const struct { QVector3D min, max; } expected[] = {
        {QVector3D(0.2f, 0.2f, 0) * in, QVector3D(3.2f, 3.2f, 1.5f) * in},
        {QVector3D(3.5f, 0.2f, 0) * in, QVector3D(6.5f, 3.2f, 1.5f) * in},
        {QVector3D(1, 4, 0) * in, QVector3D(1.5f, 5, 1.5f) * in},
    };
    const QVector3D corner(-100, -100, 0);
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(Near(items[i]->GetMin(), expected[i].min + corner), qPrintable(Str(items[i]->GetMin())));
        QVERIFY2(Near(items[i]->GetMax(), expected[i].max + corner), qPrintable(Str(items[i]->GetMax())));
    }
    // The turned box of the part: its footprint runs along x on the plate.
    const QVector<KzTriangle3D> part = items[0]->TransformedTriangles();
    QVector3D lo = part[12][0];
    QVector3D hi = lo;
    for (int t = 12; t < 24; ++t)
        for (int c = 0; c < 3; ++c)
            for (int axis = 0; axis < 3; ++axis) {
                lo[axis] = std::min(lo[axis], part[t][c][axis]);
                hi[axis] = std::max(hi[axis], part[t][c][axis]);
            }
    QVERIFY2(Near(hi - lo, QVector3D(1, 0.5f, 1.5f) * in), qPrintable(Str(hi - lo)));

    // The whole package is one step: undone, its items and meshes leave the
    // plate; redone, the same instances stand where they stood.
    QVector<KzModelPainter::State> stood;
    for (const KzModelPainter* p : items)
        stood.append(p->GetState());
    QCOMPARE(m_pView->GetUndoStack()->count(), 1);
    QVERIFY(m_pView->Undo());
    QVERIFY(Painters().isEmpty());
    QVERIFY(m_pView->GetScene().GetModels().isEmpty());
    QVERIFY(m_pView->Redo());
    QCOMPARE(Painters(), items);
    QCOMPARE(m_pView->GetScene().GetModels().size(), 2);
    for (int i = 0; i < 3; ++i)
        QVERIFY(items[i]->GetState() == stood[i]);
}

// The six units 3MF knows: a box of 2 x 3 x 4 units moved by one unit along
// x comes out in millimetres, mesh and move alike.
void tst_Kz3mfFiles::everyUnitComesInMillimetres()
{
    const struct { const char* unit; float mm; } units[] = {
        {"micron", 0.001f}, {"millimeter", 1}, {"centimeter", 10}, {"inch", 25.4f}, {"foot", 304.8f}, {"meter", 1000},
    };
    for (const auto& u : units) {
        const QByteArray model = Model("<resources>" + BoxObject(1, QVector3D(0, 0, 0), QVector3D(2, 3, 4))
                                       + "</resources><build><item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 1 0 0\"/>"
                                       "</build>", u.unit);
        Kz3mfReader reader;
        Kz3mfPackage package;
        QVERIFY2(reader.ReadBytes(Package(model), package), u.unit);
        QCOMPARE(package.m_vecMeshes.size(), 1);
        QCOMPARE(package.m_vecItems.size(), 1);
        QVector3D lo = package.m_vecMeshes[0][0][0];
        QVector3D hi = lo;
        for (const KzTriangle3D& t : package.m_vecMeshes[0])
            for (int c = 0; c < 3; ++c)
                for (int axis = 0; axis < 3; ++axis) {
                    lo[axis] = std::min(lo[axis], t[c][axis]);
                    hi[axis] = std::max(hi[axis], t[c][axis]);
                }
        const float tol = u.mm * 1e-6f;
        QVERIFY2(Near(lo, QVector3D(0, 0, 0), tol) && Near(hi, QVector3D(2, 3, 4) * u.mm, tol),
                 qPrintable(QString(u.unit) + " " + Str(hi)));
        const QVector3D moved = package.m_vecItems[0].matTransform.map(QVector3D(0, 0, 0));
        QVERIFY2(Near(moved, QVector3D(u.mm, 0, 0), tol), qPrintable(QString(u.unit) + " " + Str(moved)));
    }
}

// Items that fit stand where the file puts them (one floating item set down
// on the plate); the same package opened again overlaps them, so its items
// are placed beside, sharing the meshes already loaded: the file, garbage
// since, is not read again. A package with an item off the machine is placed
// by the rule as a whole.
void tst_Kz3mfFiles::arrangementKeptWhereItFitsElsePlaced()
{
    const QString fits = m_dir.filePath("fits.3mf");
    QVERIFY(WriteFile(fits, Package(Model("<resources>" + BoxObject(1, QVector3D(0, 0, 0), QVector3D(20, 20, 10))
                                          + BoxObject(2, QVector3D(0, 0, 5), QVector3D(10, 30, 15)) + "</resources>"
                                          "<build><item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 20 30 0\"/>"
                                          "<item objectid=\"2\" transform=\"1 0 0 0 1 0 0 0 1 150.5 140.25 0\"/>"
                                          "</build>"))));
    QVERIFY(m_pView->OpenSTLFile(fits));
    QList<KzModelPainter*> all = Painters();
    QCOMPARE(all.size(), 2);
    QVERIFY2(Near(all[0]->GetMin(), QVector3D(-80, -70, 0), 1e-5f), qPrintable(Str(all[0]->GetMin())));
    QVERIFY2(Near(all[1]->GetMin(), QVector3D(50.5f, 40.25f, 0), 1e-5f), qPrintable(Str(all[1]->GetMin())));
    QVERIFY2(Near(all[1]->GetMax(), QVector3D(60.5f, 70.25f, 10), 1e-5f), qPrintable(Str(all[1]->GetMax())));

    QVERIFY(WriteFile(fits, "garbage"));
    QVERIFY(m_pView->OpenSTLFile(fits));
    all = Painters();
    QCOMPARE(all.size(), 4);
    QCOMPARE(m_pView->GetScene().GetModels().size(), 2);
    QCOMPARE(all[2]->GetModel(), all[0]->GetModel());
    QVERIFY(Near(Size(all[3]), QVector3D(10, 30, 10)));
    QVERIFY(Near(all[0]->GetMin(), QVector3D(-80, -70, 0), 1e-5f));
    QVERIFY(AllApart());

    const QString off = m_dir.filePath("off.3mf");
    QVERIFY(WriteFile(off, Package(Model("<resources>" + BoxObject(1, QVector3D(0, 0, 0), QVector3D(20, 20, 10))
                                         + "</resources><build><item objectid=\"1\"/>"
                                         "<item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 190 40 0\"/></build>"))));
    QVERIFY(m_pView->OpenSTLFile(off));
    all = Painters();
    QCOMPARE(all.size(), 6);
    for (const KzModelPainter* p : all)
        QVERIFY2(m_pView->GetScene().IsInBound(p) && p->GetMin().z() == 0, qPrintable(Str(p->GetMin())));
    QVERIFY(AllApart());
}

// The program's package is standard: lib3mf's strict mode reads it without a
// warning, and OpenSCAD imports it (OpenSCAD takes a mesh object as it is,
// without the build item's transform) at the model's size. A facet without
// area, which 3MF cannot hold as one vertex named twice, comes back too.
void tst_Kz3mfFiles::savedPlateIsReadByOpenscadAndStrictLib3mf()
{
    QVector<KzTriangle3D> box = BoxTriangles(QVector3D(0, 0, 0), QVector3D(12, 20, 30));
    KzTriangle3D flat = box[0];
    flat[1] = flat[0];
    box.append(flat);
    const QString stl = m_dir.filePath("box.stl");
    QVERIFY(WriteBinaryStl(stl, box));
    QVERIFY(m_pView->OpenSTLFile(stl));
    m_pView->slot_ReceiveEditList({1, 0.0f, 0.0f, 30.0f});
    m_pView->slot_ReceiveEditList({0, 13.3f, -7.1f, 0.0f});
    const QString saved = m_dir.filePath("plate.3mf");
    QVERIFY(m_pView->SaveAllModel(saved));
    QCOMPARE(StrictWarnings(saved), 0);

    const QString imported = m_dir.filePath("imported.stl");
    const QString error = RunOpenScad(m_dir.path(), "import(\"" + saved.toUtf8() + "\");", imported);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    KzModel3D model;
    QVERIFY(model.LoadSTLFile(imported));
    QVERIFY2(Near(model.MaxBound() - model.MinBound(), QVector3D(12, 20, 30), 1e-4f), qPrintable(Str(model.MaxBound())));

    const QMatrix4x4 stood = Painters().first()->GetModelMatrix();
    KzTestView again(nullptr);
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    again.GetScene().SetPrintBound(QVector3D(100, 100, 180), QVector3D(-100, -100, 0));
    QVERIFY(again.OpenSTLFile(saved));
    const KzModelPainter* back = again.GetScene().GetPainters().first();
    QCOMPARE(back->GetModel()->Count(), 13);
    QVERIFY(back->GetModelMatrix() == stood);
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    tst_Kz3mfFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Kz3mfFiles.moc"
