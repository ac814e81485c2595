// Models on the plate through the view: opening, removing and saving files,
// placement and push-apart, selection by real clicks, edit lists and drags.
#include "KzConfigureData.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzModelWriter.h"
#include "KPolygonAlgorithm.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace KzViewTest;

namespace {
const int kW = 640;
const int kH = 480;

// The view with its picking and unprojection opened up.
class EditView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    using KzGLView::GetLocateCoord;
    using KzGLView::GetLocateModelPainter;
    using KzGLView::IntersectPlane;
    using KzGLView::UnprojectAt;
};

// Every announcement of the view, in order, as text.
class Recorder : public QObject
{
public:
    explicit Recorder(KzGLView* view)
    {
        connect(view, &KzGLView::signal_ModelClicked, this, [this] { m_list << "clicked"; });
        connect(view, &KzGLView::signal_ShowHideEditControl, this,
                [this](bool show) { m_list << (show ? "show" : "hide"); });
        connect(view, &KzGLView::signal_SendEditList, this, [this](QList<QVariant> l) {
            m_lists << l;
            m_list << QStringLiteral("[%1]").arg(l.first().toInt());
        });
    }
    QStringList m_list;
    QList<QList<QVariant>> m_lists;
};

// A wedge: 20 x 20 base, a 20 mm wall at y = 20, its slope (facets 4 and 5)
// facing -y and up, towards the default camera.
QVector<KzTriangle3D> Wedge()
{
    const QVector3D a(0, 0, 0), b(20, 0, 0), c(20, 20, 0), d(0, 20, 0), e(0, 20, 20), f(20, 20, 20);
    const QVector3D tri[8][3] = {{a, d, c}, {a, c, b}, {d, e, f}, {d, f, c},
                                 {a, b, f}, {a, f, e}, {a, e, d}, {b, c, f}};
    QVector<KzTriangle3D> out;
    for (const auto& t : tri) {
        KzTriangle3D facet;
        for (int k = 0; k < 3; ++k)
            facet[k] = t[k];
        facet.UpdateNormal();
        out.append(facet);
    }
    return out;
}

// A prism 20 wide in x whose profile has a flat underside (y 0 to 10, facets
// 0 and 1) and an overhang rising from y = 10 to y = 20 at z = 10 (facets 2
// and 3, facing +y and down): from below, both can be clicked.
QVector<KzTriangle3D> Overhang()
{
    const QVector3D a(0, 0, 0), b(20, 0, 0), c(20, 10, 0), d(0, 10, 0);
    const QVector3D e(0, 20, 10), f(20, 20, 10), g(0, 0, 10), h(20, 0, 10);
    const QVector3D tri[12][3] = {{a, d, c}, {a, c, b}, {d, f, c}, {d, e, f}, {g, h, f}, {g, f, e},
                                  {a, b, h}, {a, h, g}, {a, g, e}, {a, e, d}, {b, c, f}, {b, f, h}};
    QVector<KzTriangle3D> out;
    for (const auto& t : tri) {
        KzTriangle3D facet;
        for (int k = 0; k < 3; ++k)
            facet[k] = t[k];
        facet.UpdateNormal();
        out.append(facet);
    }
    return out;
}

// n x n squares of a gently folded sheet: 2 n^2 triangles.
QVector<KzTriangle3D> Sheet(int n)
{
    QVector<KzTriangle3D> out;
    auto z = [](int i, int j) { return float((i + j) % 3); };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const QVector3D p00(i, j, z(i, j)), p10(i + 1, j, z(i + 1, j));
            const QVector3D p11(i + 1, j + 1, z(i + 1, j + 1)), p01(i, j + 1, z(i, j + 1));
            KzTriangle3D t1, t2;
            t1[0] = p00; t1[1] = p10; t1[2] = p11;
            t2[0] = p00; t2[1] = p11; t2[2] = p01;
            t1.UpdateNormal();
            t2.UpdateNormal();
            out << t1 << t2;
        }
    }
    return out;
}

QVariantList List(std::initializer_list<QVariant> items)
{
    return QVariantList(items);
}

bool Fuzzy(const QVector3D& a, const QVector3D& b, float tol = 0.02f)
{
    return (a - b).length() <= tol;
}

QString Str(const QVector3D& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(v.x()).arg(v.y()).arg(v.z());
}
}

class tst_KzModelEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openingSharesMeshesAndRemovingUnloads();
    void openingLeavesLayerModeAndRefusesBadFiles();
    void secondModelIsPlacedBesideTheFirst();
    void placementMatchesAFullRecomputation();
    void savingWritesEveryInstanceInPlateCoordinates();
    void sdNameAndBoundCheck();
    void dropsHandOnTheFilesWhenOneIsAModel();

    void clickSelectsAndEmptySpaceDeselects();
    void deleteKeyRemovesTheSelection();
    void frameShowsSelectionAndRings();
    void releaseOnAnInstancePushesTheOtherAway();

    void numericEditsMoveRotateScaleAndMaximize();
    void malformedEditListsChangeNothing();
    void rotateDragSnapsToFifteenDegrees();
    void moveDragFollowsThePlate();
    void layFlatTurnsTheClickedFaceDown();
    void layFlatOnTheUndersideChangesNothing();
    void scaleFaceDragStretchesOneAxis();
    void rayAlongThePlaneGivesNoPoint();
    void crowdedPlatePushApartEnds();
    void idleViewStopsRepainting();

private:
    QString Write(const QString& name, const QVector<KzTriangle3D>& triangles);
    QPoint ToWidget(const QVector3D& p) const;
    void Frame();

    EditView* m_pView = nullptr;
    QTemporaryDir m_dir;
};

void tst_KzModelEdit::init()
{
    m_pView = new EditView(nullptr);
    m_pView->resize(kW, kH);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    Frame();
}

void tst_KzModelEdit::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

QString tst_KzModelEdit::Write(const QString& name, const QVector<KzTriangle3D>& triangles)
{
    const QString path = m_dir.filePath(name);
    KzModelWriter writer;
    writer.AddTriangles(triangles);
    return writer.WriterBinary(path) ? path : QString();
}

QPoint tst_KzModelEdit::ToWidget(const QVector3D& p) const
{
    return ProjectToImage(m_pView->GetCamera(), p, kW, kH).toPoint();
}

// Picking uses the camera of the last frame drawn.
void tst_KzModelEdit::Frame()
{
    m_pView->repaint();
    QCoreApplication::processEvents();
}

void tst_KzModelEdit::openingSharesMeshesAndRemovingUnloads()
{
    Kz3DScene& scene = m_pView->GetScene();
    const QString path = Write(QStringLiteral("part.stl"), BoxTriangles({0, 0, 0}, {20, 20, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    QCOMPARE(scene.GetModels().size(), 1);
    QCOMPARE(scene.GetPainters().size(), 2);
    KzModel3D* model = scene.GetModels().first();
    QCOMPARE(scene.GetPainters().first()->GetModel(), model);
    QCOMPARE(scene.GetPainters().last()->GetModel(), model);

    // The same file under a name differing in case is another file here.
    const QString upper = Write(QStringLiteral("PART.stl"), BoxTriangles({0, 0, 0}, {20, 20, 10}));
    QVERIFY(m_pView->OpenSTLFile(upper));
    QCOMPARE(scene.GetModels().size(), 2);

    // The last opened instance is selected; removing it unloads its model.
    QCOMPARE(scene.GetCurrentPainter()->GetModel()->FileName(), upper);
    QVERIFY(m_pView->RemoveCurrentModel());
    QCOMPARE(scene.GetModels().size(), 1);
    QVERIFY(!m_pView->RemoveCurrentModel());   // nothing selected any more

    // Of the shared model, one instance leaves it loaded, the second unloads it.
    const int first = scene.GetPainters().firstKey();
    const int second = scene.GetPainters().lastKey();
    scene.SelectPainter(first * 10);
    QVERIFY(m_pView->RemoveCurrentModel());
    QCOMPARE(scene.GetModels().size(), 1);
    scene.SelectPainter(second * 10);
    QVERIFY(m_pView->RemoveCurrentModel());
    QVERIFY(scene.GetModels().isEmpty());
    QVERIFY(scene.GetPainters().isEmpty());

    // A later open reads the file again.
    QVERIFY(m_pView->OpenSTLFile(path));
    QCOMPARE(scene.GetModels().size(), 1);
}

void tst_KzModelEdit::openingLeavesLayerModeAndRefusesBadFiles()
{
    QSignalSpy disable(m_pView, &KzGLView::signal_DisableSaveGCode);
    m_pView->EnterLayerMode();
    QVERIFY(m_pView->IsLayerMode());

    const QString broken = m_dir.filePath(QStringLiteral("broken.stl"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("solid nothing here\nthis is not a facet\n");
    file.close();
    QVERIFY(!m_pView->OpenSTLFile(broken));
    QVERIFY(!m_pView->OpenSTLFile(m_dir.filePath(QStringLiteral("missing.stl"))));
    QVERIFY(!m_pView->IsLayerMode());
    QCOMPARE(disable.size(), 2);
    QVERIFY(m_pView->GetScene().GetPainters().isEmpty());
    QVERIFY(m_pView->GetScene().GetModels().isEmpty());

    // Opening announces the new selection.
    m_pView->EnterLayerMode();
    Recorder rec(m_pView);
    const QString path = Write(QStringLiteral("cube.stl"), BoxTriangles({0, 0, 0}, {10, 10, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(!m_pView->IsLayerMode());
    QCOMPARE(rec.m_list, QStringList({"clicked", "show", "[5]", "[6]"}));
    QCOMPARE(rec.m_lists.at(0).at(1).toInt(), m_pView->GetScene().GetPainters().first()->GetPickCode());
}

void tst_KzModelEdit::secondModelIsPlacedBesideTheFirst()
{
    const QString path = Write(QStringLiteral("tile.stl"), BoxTriangles({0, 0, 0}, {20, 20, 5}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    const auto painters = m_pView->GetScene().GetPainters();
    QVERIFY2(Fuzzy(painters.first()->GetCenter(), QVector3D(0, 0, 2.5f)), qPrintable(Str(painters.first()->GetCenter())));
    QVERIFY2(Fuzzy(painters.last()->GetCenter(), QVector3D(0, 24, 2.5f)), qPrintable(Str(painters.last()->GetCenter())));

    // A model too large to fit beside the others recentres the whole group.
    const QString wide = Write(QStringLiteral("wide.stl"), BoxTriangles({0, 0, 0}, {60, 20, 5}));
    QVERIFY(m_pView->OpenSTLFile(wide));
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const KzModelPainter* p : m_pView->GetScene().GetPainters()) {
        minX = std::min(minX, p->GetMin().x());
        maxX = std::max(maxX, p->GetMax().x());
        minY = std::min(minY, p->GetMin().y());
        maxY = std::max(maxY, p->GetMax().y());
    }
    QVERIFY(std::abs(minX + maxX) < 0.01f);
    QVERIFY(std::abs(minY + maxY) < 0.01f);
}

// Placing a new instance (and resetting one) takes its box from the file's
// bounds instead of going through the corners after every step; the box,
// centre and footprint must be exactly, to the bit, what going through every
// corner with the instance's final matrix gives. After a turn, likewise.
void tst_KzModelEdit::placementMatchesAFullRecomputation()
{
    QVector<KzTriangle3D> mesh = Sheet(6);
    for (KzTriangle3D& t : mesh) {
        for (int k = 0; k < 3; ++k)   // off the origin, off the plate, awkward floats
            t[k] = t[k] * 1.37f + QVector3D(-0.0f, 101.3f, 7.77f);
        t.UpdateNormal();
    }
    mesh[3][1] = QVector3D(-0.0f, 100.1f, -0.0f);   // negative zeros among the extremes
    const QString path = Write(QStringLiteral("awkward.stl"), mesh);
    KzModel3D model;
    QVERIFY(model.LoadSTLFile(path));

    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    auto check = [&](const KzModelPainter& p) {
        const QMatrix4x4& m = p.GetModelMatrix();
        QVector3D min = m.map(model.Item(0)[0]);
        QVector3D max = min;
        QVector<QVector2D> points;
        for (int i = 0; i < model.Count(); ++i) {
            for (int k = 0; k < 3; ++k) {
                const QVector3D c = m.map(model.Item(i)[k]);
                for (int axis = 0; axis < 3; ++axis) {
                    max[axis] = std::max(max[axis], c[axis]);
                    min[axis] = std::min(min[axis], c[axis]);
                }
                points.append(c.toVector2D());
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            if (!same(p.GetMin()[axis], min[axis]) || !same(p.GetMax()[axis], max[axis]))
                return QStringLiteral("box %1 %2 against %3 %4").arg(Str(p.GetMin()), Str(p.GetMax()), Str(min), Str(max));
        }
        const QVector3D centre = m.map(model.GetCenter());
        for (int axis = 0; axis < 3; ++axis) {
            if (!same(p.GetCenter()[axis], centre[axis]))
                return QStringLiteral("centre %1 against %2").arg(Str(p.GetCenter()), Str(centre));
        }
        QVector<QVector2D> hull;
        KPolygonAlgorithm::FormConvexPolygon(hull, points);
        const QVector<QVector2D> square = {QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};
        if (p.GetHull() != KPolygonAlgorithm::MinkowskHull(hull, square))
            return QStringLiteral("footprint differs");
        return QString();
    };

    KzModelPainter painter(&model);
    QVERIFY(std::abs(painter.GetMin().z()) < 0.01f);   // it was dropped
    QVERIFY(std::abs(painter.GetCenter().x()) < 0.01f && std::abs(painter.GetCenter().y()) < 0.01f);
    QString wrong = check(painter);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    QMatrix4x4 turn;
    turn.rotate(33.0f, QVector3D(1, 0.2f, 0));
    painter.ApplyTransform(turn, true);
    wrong = check(painter);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    painter.ResetTransform();
    wrong = check(painter);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    KzModelPainter fresh(&model);
    QCOMPARE(painter.GetModelMatrix(), fresh.GetModelMatrix());
}

void tst_KzModelEdit::savingWritesEveryInstanceInPlateCoordinates()
{
    const QString out = m_dir.filePath(QStringLiteral("all.stl"));
    QVERIFY(!m_pView->SaveAllModel(out));   // nothing on the plate
    QVERIFY(!QFile::exists(out));

    const QString path = Write(QStringLiteral("sheet.stl"), Sheet(23).mid(0, 1000));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    QCOMPARE(m_pView->GetScene().GetModels().first()->Count(), 1000);
    KzConfigureData::GetInstance()->SetModelPos(99, 99);
    QVERIFY(m_pView->SaveAllModel(out));

    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(84 + 2000 * 50));
    file.seek(80);
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    quint32 count = 0;
    in >> count;
    QCOMPARE(count, quint32(2000));

    // The stored position is the middle of both instances together.
    QVector3D min(1e9f, 1e9f, 1e9f), max(-1e9f, -1e9f, -1e9f);
    for (const KzModelPainter* p : m_pView->GetScene().GetPainters()) {
        for (int a = 0; a < 3; ++a) {
            min[a] = std::min(min[a], p->GetMin()[a]);
            max[a] = std::max(max[a], p->GetMax()[a]);
        }
    }
    double x = 0, y = 0;
    KzConfigureData::GetInstance()->SetModelPos(0, 0);
    KzConfigureData::GetInstance()->GetPrintPos(x, y);
    const double baseX = x, baseY = y;
    QVERIFY(m_pView->SaveAllModel(out));
    KzConfigureData::GetInstance()->GetPrintPos(x, y);
    QVERIFY(std::abs(x - baseX - (min.x() + max.x()) / 2) < 0.01);
    QVERIFY(std::abs(y - baseY - (min.y() + max.y()) / 2) < 0.01);
    QVERIFY(max.y() - min.y() > 40 || max.x() - min.x() > 40);   // both, side by side

    // The file holds the second instance where it stands, not at the origin.
    KzModel3D reread;
    m_pView->makeCurrent();
    QVERIFY(reread.LoadSTLFile(out));
    QVERIFY(Fuzzy(reread.MaxBound(), max, 0.01f));
    QVERIFY(Fuzzy(reread.MinBound(), min, 0.01f));
}

void tst_KzModelEdit::sdNameAndBoundCheck()
{
    QVERIFY(m_pView->GetSaveSDName().isEmpty());
    QVERIFY(m_pView->AreAllModelsInBound());   // nothing on the plate
    QDir(m_dir.path()).mkpath(QStringLiteral("parts.v1"));
    const QString path = Write(QStringLiteral("parts.v1/bracket.rev2.stl"), BoxTriangles({0, 0, 0}, {10, 10, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QCOMPARE(m_pView->GetSaveSDName(), QStringLiteral("bracket"));
    QVERIFY(m_pView->AreAllModelsInBound());

    // Too tall for the machine: outside the bound although its footprint fits.
    QVector3D max, min;
    m_pView->GetScene().GetPrintBound(max, min);
    const QString tall = Write(QStringLiteral("tower.stl"), BoxTriangles({0, 0, 0}, {5, 5, max.z() + 1}));
    QVERIFY(m_pView->OpenSTLFile(tall));
    QVERIFY(!m_pView->AreAllModelsInBound());
    QVERIFY(m_pView->RemoveCurrentModel());
    QVERIFY(m_pView->AreAllModelsInBound());
}

// A drag is taken when it brings a model file by its suffix (any case); the
// drop hands every local file on, in order, for the window to open or refuse.
void tst_KzModelEdit::dropsHandOnTheFilesWhenOneIsAModel()
{
    const QString stl = Write(QStringLiteral("drop.STL"), BoxTriangles({0, 0, 0}, {10, 10, 10}));
    const QString obj = m_dir.filePath(QStringLiteral("drop.obj"));
    const QString text = m_dir.filePath(QStringLiteral("notes.txt"));
    auto accepted = [this](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(m_pView, &enter);
        return enter.isAccepted();
    };
    QVERIFY(accepted({QUrl::fromLocalFile(stl), QUrl::fromLocalFile(stl)}));
    QVERIFY(accepted({QUrl::fromLocalFile(obj)}));
    QVERIFY(accepted({QUrl::fromLocalFile(text), QUrl::fromLocalFile(obj)}));
    QVERIFY(!accepted({QUrl::fromLocalFile(text)}));
    QVERIFY(!accepted({QUrl("https://example.org/drop.stl")}));
    QVERIFY(!accepted({}));

    QSignalSpy dropped(m_pView, &KzGLView::signal_FilesDropped);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(text), QUrl("https://example.org/drop.stl"), QUrl::fromLocalFile(stl),
                  QUrl::fromLocalFile(obj)});
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_pView, &drop);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).toStringList(), QStringList({text, stl, obj}));
    // The view opens nothing itself.
    QVERIFY(m_pView->GetScene().GetPainters().isEmpty());
}

void tst_KzModelEdit::clickSelectsAndEmptySpaceDeselects()
{
    const QString path = Write(QStringLiteral("block.stl"), BoxTriangles({0, 0, 0}, {20, 20, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->ClearModelPainter();
    Frame();
    const auto painters = m_pView->GetScene().GetPainters();
    KzModelPainter* first = painters.first();
    KzModelPainter* second = painters.last();

    Recorder rec(m_pView);
    const QPoint onFirst = ToWidget(first->GetCenter());
    QCOMPARE(m_pView->GetLocateModelPainter(onFirst), first->GetPickCode());
    Press(m_pView, onFirst, Qt::LeftButton);
    Release(m_pView, onFirst, Qt::LeftButton);
    QCOMPARE(rec.m_list, QStringList({"clicked", "show", "[5]", "[6]"}));
    QCOMPARE(rec.m_lists.at(0), List({5, first->GetPickCode()}));
    const QVariantList update = rec.m_lists.at(1);
    QCOMPARE(update.size(), 7);
    QVERIFY(Fuzzy(QVector3D(update[1].toFloat(), update[2].toFloat(), update[3].toFloat()),
                  QVector3D(first->GetCenter().x(), first->GetCenter().y(), 0)));
    QVERIFY(Fuzzy(QVector3D(update[4].toFloat(), update[5].toFloat(), update[6].toFloat()),
                  QVector3D(20, 20, 10)));
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), first);

    // Clicking the other selects it and deselects the first.
    Frame();
    rec.m_list.clear();
    rec.m_lists.clear();
    const QPoint onSecond = ToWidget(second->GetCenter());
    Press(m_pView, onSecond, Qt::LeftButton);
    Release(m_pView, onSecond, Qt::LeftButton);
    QCOMPARE(rec.m_list, QStringList({"clicked", "show", "[5]", "[6]"}));
    QCOMPARE(rec.m_lists.at(0), List({5, second->GetPickCode()}));
    QVERIFY(second->IsSelected());
    QVERIFY(!first->IsSelected());

    // Empty space deselects and says so.
    Frame();
    rec.m_list.clear();
    rec.m_lists.clear();
    Press(m_pView, QPoint(40, 40), Qt::LeftButton);
    Release(m_pView, QPoint(40, 40), Qt::LeftButton);
    QCOMPARE(rec.m_list, QStringList({"hide", "[5]"}));
    QCOMPARE(rec.m_lists.at(0), List({5, -1}));
    QVERIFY(m_pView->GetScene().GetCurrentPainter() == nullptr);

    // In layer mode a click on the instance selects nothing.
    m_pView->EnterLayerMode();
    Frame();
    QCOMPARE(m_pView->GetLocateModelPainter(onFirst), 0);
    rec.m_list.clear();
    Press(m_pView, onFirst, Qt::LeftButton);
    Release(m_pView, onFirst, Qt::LeftButton);
    QVERIFY(rec.m_list.isEmpty());
    QVERIFY(m_pView->GetScene().GetCurrentPainter() == nullptr);
}

// Two instances side by side, the second selected in rotate mode: it is drawn
// blue with the three rings around it, the other grey; hovering ring 1 shows it
// stippled.
void tst_KzModelEdit::frameShowsSelectionAndRings()
{
    const QString path = Write(QStringLiteral("pair.stl"), BoxTriangles({0, 0, 0}, {20, 20, 12}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->slot_ReceiveEditList(List({7, 3, 1}));
    Frame();
    const KzModelPainter* grey = m_pView->GetScene().GetPainters().first();
    const KzModelPainter* blue = m_pView->GetScene().GetPainters().last();
    QVERIFY(blue->IsSelected() && !grey->IsSelected());
    const QImage img = m_pView->grabFramebuffer();
    if (qEnvironmentVariableIsSet("KZ_KEEP_FRAMES"))
        img.save(qEnvironmentVariable("KZ_KEEP_FRAMES") + QStringLiteral("/two-instances-rings.png"));

    const QColor g = img.pixelColor(ToWidget(grey->GetCenter() + QVector3D(0, 0, 6)));
    const QColor b = img.pixelColor(ToWidget(blue->GetCenter() + QVector3D(0, 0, 6)));
    QVERIFY2(std::abs(g.red() - g.blue()) < 20, qPrintable(g.name()));
    QVERIFY2(b.blue() > b.red() + 40, qPrintable(b.name()));

    // Ring 0 (about z, blue) lies in the plane through the centre; the boxes
    // hide part of it.
    const float r = blue->Diagonal() * 0.5f;
    int ringPixels = 0;
    for (int deg = 0; deg < 360; deg += 10) {
        const double a = deg * M_PI / 180;
        const QPoint at = ToWidget(blue->GetCenter() + QVector3D(float(std::cos(a)), float(std::sin(a)), 0) * r);
        bool hit = false;
        for (int dy = -1; dy <= 1 && !hit; ++dy)
            for (int dx = -1; dx <= 1 && !hit; ++dx) {
                const QColor c = img.pixelColor(at + QPoint(dx, dy));
                hit = c.blue() > c.red() + 40 && c.blue() > c.green() + 40;
            }
        ringPixels += hit ? 1 : 0;
    }
    QVERIFY2(ringPixels >= 10, qPrintable(QString::number(ringPixels)));

    // Hovering ring 1 (about -y, in the xz plane) half way up.
    const QPoint top = ToWidget(blue->GetCenter() + QVector3D(0.7071f, 0, 0.7071f) * r);
    Move(m_pView, top, Qt::NoButton);
    QCOMPARE(m_pView->GetScene().GetRotateCoord().GetHovered(), 1);
    Move(m_pView, QPoint(30, 30), Qt::NoButton);
    QCOMPARE(m_pView->GetScene().GetRotateCoord().GetHovered(), -1);
}

void tst_KzModelEdit::deleteKeyRemovesTheSelection()
{
    const QString path = Write(QStringLiteral("del.stl"), BoxTriangles({0, 0, 0}, {10, 10, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    Recorder rec(m_pView);
    QTest::keyClick(m_pView, Qt::Key_Delete);
    QVERIFY(m_pView->GetScene().GetPainters().isEmpty());
    QCOMPARE(rec.m_list, QStringList({"hide", "[5]"}));
    QTest::keyClick(m_pView, Qt::Key_Delete);   // nothing selected: nothing said
    QCOMPARE(rec.m_list.size(), 2);
}

void tst_KzModelEdit::releaseOnAnInstancePushesTheOtherAway()
{
    const QString path = Write(QStringLiteral("pair.stl"), BoxTriangles({0, 0, 0}, {16, 16, 8}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(m_pView->OpenSTLFile(path));
    KzModelPainter* first = m_pView->GetScene().GetPainters().first();
    KzModelPainter* second = m_pView->GetScene().GetPainters().last();
    // Lay the second half over the first.
    second->Translate(first->GetCenter().toVector2D() + QVector2D(6, 3) - second->GetCenter().toVector2D());
    QVector2D push;
    QVERIFY(KPolygonAlgorithm::PolygonCollisionPushVector(second->GetHull(), first->GetHull(), push));
    const QVector3D firstAt = first->GetCenter();
    const QVector3D secondAt = second->GetCenter();
    Frame();

    // Clicking the first (no drag) leaves it and pushes the second clear.
    const QPoint at = ToWidget(QVector3D(firstAt.x() - 5, firstAt.y() - 5, 8));
    Press(m_pView, at, Qt::LeftButton);
    Release(m_pView, at, Qt::LeftButton);
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), first);
    QVERIFY(Fuzzy(first->GetCenter(), firstAt));
    QVERIFY(!Fuzzy(second->GetCenter(), secondAt));
    QVERIFY(!KPolygonAlgorithm::PolygonCollisionPushVector(second->GetHull(), first->GetHull(), push));

    // Out of the bound an instance is neither pushed nor pushes.
    QVector3D max, min;
    m_pView->GetScene().GetPrintBound(max, min);
    second->Translate(QVector2D(max.x(), 0));
    first->Translate(second->GetCenter().toVector2D() - first->GetCenter().toVector2D());
    const QVector3D stay = second->GetCenter();
    m_pView->GetScene().ApplyPending();
    QVERIFY(Fuzzy(second->GetCenter(), stay));
}

void tst_KzModelEdit::numericEditsMoveRotateScaleAndMaximize()
{
    const QString path = Write(QStringLiteral("brick.stl"), BoxTriangles({0, 0, 0}, {10, 20, 5}));
    QVERIFY(m_pView->OpenSTLFile(path));
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    QVERIFY(p);
    auto size = [p] { return p->GetMax() - p->GetMin(); };

    m_pView->slot_ReceiveEditList(List({0, 3.0f, 4.0f, 0.0f}));
    QVERIFY(Fuzzy(p->GetCenter(), QVector3D(3, 4, 2.5f)));
    m_pView->slot_ReceiveEditList(List({0, 10.0f, 0.0f, 0.0f}));
    QVERIFY2(Fuzzy(p->GetCenter(), QVector3D(10, 0, 2.5f)), qPrintable(Str(p->GetCenter())));
    QVERIFY(std::abs(p->GetMin().z()) < 0.01f);

    m_pView->slot_ReceiveEditList(List({1, 0.0f, 0.0f, 90.0f}));
    QVERIFY2(Fuzzy(size(), QVector3D(20, 10, 5)), qPrintable(Str(size())));
    QVERIFY(Fuzzy(p->GetCenter(), QVector3D(10, 0, 2.5f)));

    // About x the brick stands up and is put back on the plate.
    m_pView->slot_ReceiveEditList(List({1, 90.0f, 0.0f, 0.0f}));
    QVERIFY2(Fuzzy(size(), QVector3D(20, 5, 10)), qPrintable(Str(size())));
    QVERIFY2(std::abs(p->GetMin().z()) < 0.01f, qPrintable(Str(p->GetMin())));

    m_pView->slot_ReceiveEditList(List({2, 2.0f, 2.0f, 2.0f}));
    QVERIFY(Fuzzy(size(), QVector3D(40, 10, 20)));
    QVERIFY(std::abs(p->GetMin().z()) < 0.01f);
    QVERIFY(Fuzzy(p->GetCenter(), QVector3D(10, 0, 10)));

    // Reset, then maximize in a 100 x 100 x 100 bound: min(9.5, 4.75, 19).
    Recorder rec(m_pView);
    m_pView->slot_ReceiveEditList(List({7, 0}));
    QVERIFY(Fuzzy(size(), QVector3D(10, 20, 5)));
    QCOMPARE(rec.m_list, QStringList({"clicked", "show", "[5]", "[6]"}));
    m_pView->GetScene().SetPrintBound(QVector3D(50, 50, 100), QVector3D(-50, -50, 0));
    m_pView->slot_ReceiveEditList(List({7, 1}));
    QVERIFY2(Fuzzy(size(), QVector3D(47.5f, 95, 23.75f), 0.05f), qPrintable(Str(size())));
    QVERIFY(Fuzzy(QVector3D(p->GetCenter().x(), p->GetCenter().y(), p->GetMin().z()), QVector3D(0, 0, 0), 0.05f));

    // Mode and uniform scale switch only through command lists.
    m_pView->slot_ReceiveEditList(List({7, 3, 2}));
    QCOMPARE(m_pView->GetScene().GetEditMode(), 2);
    m_pView->slot_ReceiveEditList(List({7, 2, false}));
    QVERIFY(!m_pView->GetScene().GetKeepScale());
    m_pView->slot_ReceiveEditList(List({7, 3, 9}));   // no such mode
    QCOMPARE(m_pView->GetScene().GetEditMode(), 2);

    // Without a selection nothing moves and maximize says nothing.
    m_pView->ClearModelPainter();
    const QVector3D at = p->GetCenter();
    rec.m_list.clear();
    m_pView->slot_ReceiveEditList(List({0, 30.0f, 0.0f, 0.0f}));
    m_pView->slot_ReceiveEditList(List({7, 1}));
    QVERIFY(Fuzzy(p->GetCenter(), at));
    QVERIFY(rec.m_list.isEmpty());
}

void tst_KzModelEdit::malformedEditListsChangeNothing()
{
    const QString path = Write(QStringLiteral("bad.stl"), BoxTriangles({0, 0, 0}, {10, 20, 5}));
    QVERIFY(m_pView->OpenSTLFile(path));
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    const QMatrix4x4 before = p->GetModelMatrix();
    const float nan = std::nanf("");
    const float inf = INFINITY;
    const QList<QVariantList> lists = {
        List({}), List({0}), List({0, 10.0f, 0.0f}), List({0, nan, 0.0f, 0.0f}),
        List({0, QStringLiteral("ten"), 0.0f, 0.0f}), List({0, 1.0f, inf, 0.0f}),
        List({1, 0.0f, 0.0f, 0.0f}), List({1, 0.0f, 0.0f}), List({1, nan, 0.0f, 1.0f}),
        List({2, 0.0f, 1.0f, 1.0f}), List({2, -1.0f, 1.0f, 1.0f}), List({2, 1.0f, inf, 1.0f}),
        List({2, 2.0f, 2.0f}), List({7}), List({7, 3}), List({9, 1.0f, 1.0f, 1.0f}),
        List({QStringLiteral("zero"), 1.0f, 1.0f, 1.0f})};
    for (const QVariantList& l : lists)
        m_pView->slot_ReceiveEditList(l);
    QCOMPARE(p->GetModelMatrix(), before);
    QCOMPARE(m_pView->GetScene().GetEditMode(), 0);
    QVERIFY(m_pView->GetScene().GetPending().isIdentity());
}

void tst_KzModelEdit::rotateDragSnapsToFifteenDegrees()
{
    const QString path = Write(QStringLiteral("disc.stl"), BoxTriangles({0, 0, 0}, {40, 40, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->slot_ReceiveEditList(List({7, 3, 1}));
    Frame();
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    const QVector3D c = p->GetCenter();
    const float r = p->Diagonal() * 0.5f;
    auto onRing = [&](double deg) {
        const double a = deg * M_PI / 180;
        return c + QVector3D(float(std::cos(a)), float(std::sin(a)), 0) * r;
    };
    // Where the view itself finds the cursor on the ring's plane.
    auto swept = [&](const QPoint& from, const QPoint& to) {
        QVector3D u, v;
        m_pView->IntersectPlane(from, c, QVector3D(0, 0, 1), u);
        m_pView->IntersectPlane(to, c, QVector3D(0, 0, 1), v);
        const QVector3D a = (u - c).normalized(), b = (v - c).normalized();
        return std::acos(QVector3D::dotProduct(a, b)) * 180 / M_PI;
    };
    const QPoint press = ToWidget(onRing(-60));
    QCOMPARE(m_pView->GetLocateCoord(press), 1);   // ring 0
    // The cursor's true sweep decides: find pixels near the ring that sweep
    // about 22 and 23 degrees.
    QPoint at22, at23;
    for (int dy = -6; dy <= 6; ++dy) {
        for (int dx = -6; dx <= 6; ++dx) {
            const QPoint q22 = ToWidget(onRing(-38)) + QPoint(dx, dy);
            const QPoint q23 = ToWidget(onRing(-37)) + QPoint(dx, dy);
            const double s22 = swept(press, q22);
            const double s23 = swept(press, q23);
            if (at22.isNull() && s22 > 21.7 && s22 < 22.3)
                at22 = q22;
            if (at23.isNull() && s23 > 22.8 && s23 < 23.3)
                at23 = q23;
        }
    }
    QVERIFY(!at22.isNull() && !at23.isNull());

    Recorder rec(m_pView);
    Press(m_pView, press, Qt::LeftButton);
    QCOMPARE(m_pView->GetScene().GetRotateCoord().GetActive(), 0);
    Move(m_pView, at22, Qt::LeftButton);
    QCOMPARE(rec.m_lists.last(), List({1, 0.0f, 0.0f, 15.0f}));
    Move(m_pView, at23, Qt::LeftButton);
    QCOMPARE(rec.m_lists.last(), List({1, 0.0f, 0.0f, 30.0f}));
    // Nothing is applied before the release.
    QVERIFY(Fuzzy(p->GetMax() - p->GetMin(), QVector3D(40, 40, 10)));
    Frame();
    const QImage feedback = m_pView->grabFramebuffer();
    Release(m_pView, at23, Qt::LeftButton);
    const float turned = 40 * float(std::cos(M_PI / 6) + std::sin(M_PI / 6));
    QVERIFY2(Fuzzy(p->GetMax() - p->GetMin(), QVector3D(turned, turned, 10), 0.05f),
             qPrintable(Str(p->GetMax() - p->GetMin())));
    QVERIFY(m_pView->GetScene().GetPending().isIdentity());
    QCOMPARE(rec.m_lists.last().first().toInt(), 6);
    feedback.save(m_dir.filePath(QStringLiteral("rotate.png")));
    if (qEnvironmentVariableIsSet("KZ_KEEP_FRAMES"))
        feedback.save(qEnvironmentVariable("KZ_KEEP_FRAMES") + QStringLiteral("/rotate.png"));
}

void tst_KzModelEdit::moveDragFollowsThePlate()
{
    const QString path = Write(QStringLiteral("slide.stl"), BoxTriangles({0, 0, 0}, {10, 10, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    Frame();
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    const QPoint from = ToWidget(QVector3D(0, 0, 0));
    const QPoint to = ToWidget(QVector3D(20, -10, 0));
    QVector3D fromAt, toAt;
    QVERIFY(m_pView->IntersectPlane(from, QVector3D(), QVector3D(0, 0, 1), fromAt));
    QVERIFY(m_pView->IntersectPlane(to, QVector3D(), QVector3D(0, 0, 1), toAt));
    Recorder rec(m_pView);
    Press(m_pView, ToWidget(QVector3D(0, 0, 10)), Qt::LeftButton);
    Release(m_pView, ToWidget(QVector3D(0, 0, 10)), Qt::LeftButton);
    Press(m_pView, from, Qt::LeftButton);
    Move(m_pView, to, Qt::LeftButton);
    QCOMPARE(rec.m_lists.last().first().toInt(), 0);
    const QVector3D preview(rec.m_lists.last()[1].toFloat(), rec.m_lists.last()[2].toFloat(),
                            rec.m_lists.last()[3].toFloat());
    QVERIFY2(Fuzzy(preview, toAt - fromAt, 0.01f), qPrintable(Str(preview)));
    QVERIFY(Fuzzy(preview, QVector3D(20, -10, 0), 1.0f));
    QVERIFY(Fuzzy(p->GetCenter(), QVector3D(0, 0, 5)));   // not yet applied
    Release(m_pView, to, Qt::LeftButton);
    QVERIFY(Fuzzy(p->GetCenter(), QVector3D(preview.x(), preview.y(), 5)));
}

void tst_KzModelEdit::layFlatTurnsTheClickedFaceDown()
{
    const QString path = Write(QStringLiteral("wedge.stl"), Wedge());
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->slot_ReceiveEditList(List({7, 3, 3}));
    Frame();
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    const QVector3D slope = p->TransformedTriangles().at(4).GetNormal().normalized();
    QVERIFY(Fuzzy(slope, QVector3D(0, -1, 1).normalized(), 0.01f));
    // A point on the slope, well inside it.
    const QPoint at = ToWidget(p->GetMin() + QVector3D(10, 8, 8));
    Press(m_pView, at, Qt::LeftButton);
    Release(m_pView, at, Qt::LeftButton);
    const QVector<KzTriangle3D> after = p->TransformedTriangles();
    QVERIFY2(Fuzzy(after.at(4).GetNormal().normalized(), QVector3D(0, 0, -1), 0.01f),
             qPrintable(Str(after.at(4).GetNormal())));
    QVERIFY(std::abs(p->GetMin().z()) < 0.01f);

    // A face already facing straight up turns the instance over about x.
    const QString box = Write(QStringLiteral("lid.stl"), BoxTriangles({0, 0, 0}, {10, 20, 5}));
    QVERIFY(m_pView->OpenSTLFile(box));
    Frame();
    KzModelPainter* lid = m_pView->GetScene().GetCurrentPainter();
    const QVector3D top(lid->GetCenter().x(), lid->GetCenter().y(), 5);
    const QVector3D centre = lid->GetCenter();
    Press(m_pView, ToWidget(top), Qt::LeftButton);
    Release(m_pView, ToWidget(top), Qt::LeftButton);
    const QVector<KzTriangle3D> turned = lid->TransformedTriangles();
    // Facets 2 and 3 were the top (corners 4 to 7).
    QVERIFY2(Fuzzy(turned.at(2).GetNormal().normalized(), QVector3D(0, 0, -1), 0.01f),
             qPrintable(Str(turned.at(2).GetNormal())));
    QVERIFY(Fuzzy(lid->GetMax() - lid->GetMin(), QVector3D(10, 20, 5)));
    QVERIFY(Fuzzy(lid->GetCenter(), centre));
}

// Seen from straight below (a right drag turns the camera under the plate), a
// click on the flat underside leaves the instance as it is, while a click on
// the overhang beside it, with the same camera, lays that one flat: the
// click does reach the faces from there.
void tst_KzModelEdit::layFlatOnTheUndersideChangesNothing()
{
    const QString path = Write(QStringLiteral("overhang.stl"), Overhang());
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->slot_ReceiveEditList(List({7, 3, 3}));
    Frame();
    const QPoint middle(kW / 2, kH / 2);
    Press(m_pView, middle, Qt::RightButton);
    Move(m_pView, middle - QPoint(0, 150), Qt::RightButton);
    Release(m_pView, middle - QPoint(0, 150), Qt::RightButton);
    QCOMPARE(m_pView->GetCamera().m_dPitch, -180.0);
    Frame();

    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    QVERIFY(p != nullptr);
    QVERIFY(Fuzzy(p->TransformedTriangles().at(0).GetNormal().normalized(), QVector3D(0, 0, -1), 1e-4f));
    const QVector3D under = p->GetMin() + QVector3D(10, 5, 0);   // the underside's middle
    const QVector<KzTriangle3D> before = p->TransformedTriangles();
    const QVector3D min = p->GetMin();
    const QVector3D max = p->GetMax();
    Recorder rec(m_pView);
    Press(m_pView, ToWidget(under), Qt::LeftButton);
    QVERIFY(m_pView->GetScene().GetPending().isIdentity());
    Release(m_pView, ToWidget(under), Qt::LeftButton);
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), p);
    const QVector<KzTriangle3D> after = p->TransformedTriangles();
    for (int i = 0; i < before.size(); ++i) {
        for (int k = 0; k < 3; ++k)
            QCOMPARE(after.at(i)[k], before.at(i)[k]);
    }
    QCOMPARE(p->GetMin(), min);
    QCOMPARE(p->GetMax(), max);
    // The selection's announcements only: nothing was applied on release.
    QCOMPARE(rec.m_list, QStringList({"clicked", "show", "[5]", "[6]"}));

    // The overhang's middle, same camera: that face turns down.
    Frame();
    const QVector3D overhang = p->GetMin() + QVector3D(10, 15, 5);
    Press(m_pView, ToWidget(overhang), Qt::LeftButton);
    Release(m_pView, ToWidget(overhang), Qt::LeftButton);
    const QVector<KzTriangle3D> laid = p->TransformedTriangles();
    QVERIFY2(Fuzzy(laid.at(2).GetNormal().normalized(), QVector3D(0, 0, -1), 0.01f),
             qPrintable(Str(laid.at(2).GetNormal())));
    QVERIFY(std::abs(p->GetMin().z()) < 0.01f);
}

// With uniform scale off, dragging the front face stretches y only and keeps
// the back face where it was; the factor never drops below 0.01.
void tst_KzModelEdit::scaleFaceDragStretchesOneAxis()
{
    const QString path = Write(QStringLiteral("bar.stl"), BoxTriangles({0, 0, 0}, {20, 10, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->slot_ReceiveEditList(List({7, 2, false}));
    m_pView->slot_ReceiveEditList(List({7, 3, 2}));
    Frame();
    KzModelPainter* p = m_pView->GetScene().GetCurrentPainter();
    const KzScaleCoord& handle = m_pView->GetScene().GetScaleCoord();
    auto frontFace = [&handle] {
        return (handle.Corner(0) + handle.Corner(1) + handle.Corner(4) + handle.Corner(5)) / 4;
    };
    const QVector3D front = frontFace();
    QCOMPARE(m_pView->GetLocateCoord(ToWidget(front)), 41);
    const float back = p->GetMax().y();

    Recorder rec(m_pView);
    Press(m_pView, ToWidget(front), Qt::LeftButton);
    QCOMPARE(handle.GetActive(), 4);
    Move(m_pView, ToWidget(front - QVector3D(0, 10, 0)), Qt::LeftButton);
    QVERIFY(!m_pView->GetScene().GetPending().isIdentity());
    QCOMPARE(rec.m_lists.last().first().toInt(), 0);
    Release(m_pView, ToWidget(front - QVector3D(0, 10, 0)), Qt::LeftButton);
    QCOMPARE(rec.m_lists.last().first().toInt(), 6);
    const QVector3D size = p->GetMax() - p->GetMin();
    QVERIFY2(size.y() > 14 && size.y() < 26, qPrintable(Str(size)));
    QVERIFY(std::abs(size.x() - 20) < 0.01f && std::abs(size.z() - 10) < 0.01f);
    QVERIFY(std::abs(p->GetMax().y() - back) < 0.01f);

    // Dragged far past the opposite face: flat but never mirrored.
    Frame();
    Press(m_pView, ToWidget(frontFace()), Qt::LeftButton);
    QCOMPARE(handle.GetActive(), 4);
    Move(m_pView, ToWidget(frontFace() + QVector3D(0, 200, 0)), Qt::LeftButton);
    Release(m_pView, ToWidget(frontFace() + QVector3D(0, 200, 0)), Qt::LeftButton);
    const float thin = p->GetMax().y() - p->GetMin().y();
    QVERIFY2(thin > 0 && std::abs(thin - size.y() * 0.01f) < 0.01f, qPrintable(QString::number(thin)));
    QVERIFY(std::abs(p->GetMax().y() - back) < 0.01f);
}

void tst_KzModelEdit::rayAlongThePlaneGivesNoPoint()
{
    Frame();
    const QPoint pt(320, 200);
    const QVector3D near = m_pView->UnprojectAt(pt, 0.5f);
    const QVector3D dir = m_pView->UnprojectAt(pt, 0.8f) - near;
    const QVector3D normal = QVector3D::crossProduct(dir, QVector3D(0, 0, 1)).normalized();
    QVector3D hit(7, 7, 7);
    QVERIFY(!m_pView->IntersectPlane(pt, near, normal, hit));
    QCOMPARE(hit, QVector3D(7, 7, 7));
    QVERIFY(m_pView->IntersectPlane(pt, QVector3D(), QVector3D(0, 0, 1), hit));
    QVERIFY(std::abs(hit.z()) < 0.01f);
}

void tst_KzModelEdit::crowdedPlatePushApartEnds()
{
    Kz3DScene& scene = m_pView->GetScene();
    scene.SetPrintBound(QVector3D(20, 20, 50), QVector3D(-20, -20, 0));
    const QString path = Write(QStringLiteral("crowd.stl"), BoxTriangles({0, 0, 0}, {6, 6, 6}));
    m_pView->makeCurrent();
    auto* model = new KzModel3D;
    QVERIFY(model->LoadSTLFile(path));
    scene.AdoptModel(model);
    // 200 instances stacked on one spot, all inside the bound.
    for (int i = 0; i < 200; ++i)
        scene.AdoptPainter(new KzModelPainter(model));
    scene.PushAway(scene.GetPainters().first());
    int inBound = 0;
    for (const KzModelPainter* p : scene.GetPainters())
        inBound += scene.IsInBound(p) ? 1 : 0;
    QVERIFY(inBound < 200);   // it pushed, and it came back
    // Placing one more on the crowded plate ends as well.
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(scene.GetPainters().size() == 201);
}

// The frame timer repaints only when something changed; update() always does.
void tst_KzModelEdit::idleViewStopsRepainting()
{
    const QString path = Write(QStringLiteral("idle.stl"), BoxTriangles({0, 0, 0}, {20, 20, 10}));
    QVERIFY(m_pView->OpenSTLFile(path));
    QTest::qWait(200);
    const int settled = m_pView->GetFrameCount();
    QTest::qWait(300);
    QCOMPARE(m_pView->GetFrameCount(), settled);

    // An instance moved behind the view's back still shows up.
    m_pView->GetScene().GetPainters().first()->Translate(QVector2D(10, 0));
    QTRY_VERIFY(m_pView->GetFrameCount() > settled);
    QTest::qWait(200);
    const int moved = m_pView->GetFrameCount();
    Wheel(m_pView, 120);   // the camera changes; nothing asks for a frame
    QTRY_VERIFY(m_pView->GetFrameCount() > moved);
    QTest::qWait(200);
    const int zoomed = m_pView->GetFrameCount();
    m_pView->update();
    QTRY_VERIFY(m_pView->GetFrameCount() > zoomed);
}

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    tst_KzModelEdit test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_KzModelEdit.moc"

