// The plate's undo history in the view: arranging and duplicating by the
// placement rule, a removed instance and its mesh kept while a step can bring
// them back, numeric edits merged by burst, and the push-apart a change
// causes undone with it. Instances are compared bit for bit.
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzModelWriter.h"
#include "KPolygonAlgorithm.h"
#include "KzViewTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace KzViewTest;

namespace {

// Every instance on the plate by painter id, as it stands.
typedef QMap<int, KzModelPainter::State> Plate;

Plate PlateOf(KzTestView* view)
{
    Plate plate;
    for (const KzModelPainter* p : view->GetScene().GetPainters())
        plate.insert(p->GetID(), p->GetState());
    return plate;
}

QVector2D Centre(const KzModelPainter* p)
{
    return p->GetCenter().toVector2D();
}

} // namespace

class tst_KzPlateHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arrangePutsTheLargestFirstAndDuplicatePlacesACopy();
    void removedInstancesLiveOnlyAsLongAsTheirSteps();
    void numericBurstsMergeAndPushApartIsPartOfTheStep();

private:
    QString Box(const QString& name, float side, float height);
    KzModelPainter* Open(const QString& path);

    QTemporaryDir m_dir;
    KzTestView* m_pView = nullptr;
};

void tst_KzPlateHistory::init()
{
    m_pView = new KzTestView(nullptr);
    m_pView->resize(640, 480);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
}

void tst_KzPlateHistory::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

QString tst_KzPlateHistory::Box(const QString& name, float side, float height)
{
    const QString path = m_dir.filePath(name);
    KzModelWriter writer;
    writer.AddTriangles(BoxTriangles(QVector3D(0, 0, 0), QVector3D(side, side, height)));
    return writer.WriterBinary(path) ? path : QString();
}

KzModelPainter* tst_KzPlateHistory::Open(const QString& path)
{
    return m_pView->OpenSTLFile(path) ? m_pView->GetScene().GetCurrentPainter() : nullptr;
}

// Three squares opened smallest first; arranged, the 40 mm one is the
// nucleus: the 20 mm one goes to its first free neighbour (0, 20/2 + 40/2 + 4)
// above it, the 10 mm one to (10/2 + 40/2 + 4, 0) beside it (above is taken),
// and the group is centred. One step, undone and redone bit for bit.
void tst_KzPlateHistory::arrangePutsTheLargestFirstAndDuplicatePlacesACopy()
{
    KzModelPainter* small = Open(Box("s.stl", 10, 5));
    KzModelPainter* medium = Open(Box("m.stl", 20, 5));
    KzModelPainter* large = Open(Box("l.stl", 40, 5));
    QVERIFY(small && medium && large);
    QUndoStack* history = m_pView->GetUndoStack();
    QCOMPARE(history->count(), 3);
    const Plate opened = PlateOf(m_pView);

    QVERIFY(m_pView->ArrangeModels());
    QCOMPARE(history->count(), 4);
    QCOMPARE(Centre(medium) - Centre(large), QVector2D(0, 34));
    QCOMPARE(Centre(small) - Centre(large), QVector2D(29, 0));
    QVector2D min(1e9f, 1e9f), max(-1e9f, -1e9f);
    for (const KzModelPainter* p : m_pView->GetScene().GetPainters()) {
        min = QVector2D(qMin(min.x(), p->GetMin().x()), qMin(min.y(), p->GetMin().y()));
        max = QVector2D(qMax(max.x(), p->GetMax().x()), qMax(max.y(), p->GetMax().y()));
    }
    QVERIFY2(((min + max) / 2).length() < 1e-4f, "the group stands in the middle of the plate");
    const Plate arranged = PlateOf(m_pView);
    QVERIFY(arranged != opened);
    QVERIFY(m_pView->Undo());
    QVERIFY(PlateOf(m_pView) == opened);
    QVERIFY(m_pView->Redo());
    QVERIFY(PlateOf(m_pView) == arranged);

    // The copy shares the mesh and the turn, stands beside the others without
    // overlap, and is selected; undone, it leaves the plate.
    m_pView->GetScene().SelectPainter(medium->GetPickCode());
    m_pView->slot_ReceiveEditList({ 1, 0.0f, 0.0f, 30.0f });
    QVERIFY(m_pView->DuplicateCurrentModel());
    KzModelPainter* copy = m_pView->GetScene().GetCurrentPainter();
    QVERIFY(copy != medium);
    QCOMPARE(copy->GetModel(), medium->GetModel());
    QCOMPARE(m_pView->GetScene().GetModels().size(), 3);
    QMatrix4x4 offset;
    offset.translate(QVector3D(Centre(copy) - Centre(medium), 0));
    QVERIFY(qFuzzyCompare(copy->GetModelMatrix(), offset * medium->GetModelMatrix()));
    for (const KzModelPainter* p : m_pView->GetScene().GetPainters()) {
        QVector2D push;
        QVERIFY(p == copy || !KPolygonAlgorithm::PolygonCollisionPushVector(copy->GetHull(), p->GetHull(), push));
    }
    QCOMPARE(history->count(), 6);
    QVERIFY(m_pView->Undo());
    QVERIFY(!m_pView->GetScene().GetPainters().contains(copy->GetID()));
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), medium);
}

// A removed instance and its model leave the plate and the loaded models, but
// undo brings the same objects back. Steps that can no longer be redone, or a
// history cleared by another printer, delete what they held (the sanitizer
// build checks that nothing leaks and nothing is used after).
void tst_KzPlateHistory::removedInstancesLiveOnlyAsLongAsTheirSteps()
{
    const QString path = Box("part.stl", 20, 10);
    KzModelPainter* first = Open(path);
    KzModelPainter* second = Open(path);
    QVERIFY(first && second);
    KzModel3D* model = first->GetModel();
    QVERIFY(m_pView->RemoveCurrentModel());
    QVERIFY(m_pView->GetScene().GetPainters().size() == 1 && m_pView->GetScene().GetModels().size() == 1);
    m_pView->GetScene().SelectPainter(first->GetPickCode());
    QVERIFY(m_pView->RemoveCurrentModel());
    QVERIFY(m_pView->GetScene().GetModels().isEmpty());
    QVERIFY(m_pView->GetSaveSDName().isEmpty());

    QVERIFY(m_pView->Undo());
    QCOMPARE(m_pView->GetScene().GetPainters().value(first->GetID()), first);
    QCOMPARE(m_pView->GetScene().GetModels().value(model->ID()), model);
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), first);
    QVERIFY(m_pView->Undo());
    QCOMPARE(m_pView->GetScene().GetPainters().size(), 2);
    QCOMPARE(m_pView->GetSaveSDName(), QString("part"));

    // Down to the empty plate, then a new open: the undone steps go, and
    // with them both instances and the mesh; the file is read again.
    QVERIFY(m_pView->Undo() && m_pView->Undo());
    QVERIFY(!m_pView->Undo());
    QVERIFY(m_pView->GetScene().GetModels().isEmpty());
    KzModelPainter* again = Open(path);
    QVERIFY(again);
    QVERIFY(again->GetModel()->ID() != model->ID());
    QCOMPARE(m_pView->GetUndoStack()->count(), 1);
    QVERIFY(!m_pView->Redo());

    // A removal still undoable when the printer changes: the history goes.
    QVERIFY(m_pView->RemoveCurrentModel());
    m_pView->slot_ReloadSize();
    QCOMPARE(m_pView->GetUndoStack()->count(), 0);
    QVERIFY(!m_pView->Undo());
}

// Values from one field merge into one step until the panel says the field's
// edit is finished ([7, 4]); typed back to the start, the step disappears. A
// move that pushes a neighbour away undoes the neighbour's move too.
void tst_KzPlateHistory::numericBurstsMergeAndPushApartIsPartOfTheStep()
{
    KzModelPainter* left = Open(Box("a.stl", 20, 10));
    KzModelPainter* right = Open(Box("b.stl", 20, 10));
    QVERIFY(left && right);
    QUndoStack* history = m_pView->GetUndoStack();
    const int opened = history->count();
    const Plate start = PlateOf(m_pView);
    const QVector3D at = right->GetCenter();

    // Position x typed 3 then 30 as the field acts on each change: one step.
    m_pView->slot_ReceiveEditList({ 0, 3.0f, at.y(), 0.0f });
    m_pView->slot_ReceiveEditList({ 0, 30.0f, at.y(), 0.0f });
    QCOMPARE(history->count(), opened + 1);
    QVERIFY(qAbs(right->GetCenter().x() - 30.0f) < 1e-4f);
    m_pView->slot_ReceiveEditList({ 7, 4 });
    // Moved away and back within one burst: nothing to undo.
    const Plate moved = PlateOf(m_pView);
    m_pView->slot_ReceiveEditList({ 0, 35.0f, at.y(), 0.0f });
    m_pView->slot_ReceiveEditList({ 0, 30.0f, at.y(), 0.0f });
    QCOMPARE(history->count(), opened + 1);
    QVERIFY(PlateOf(m_pView) == moved);
    m_pView->slot_ReceiveEditList({ 7, 4 });
    // Two arrow steps of Rotate_Z, another burst, another step.
    m_pView->slot_ReceiveEditList({ 1, 0.0f, 0.0f, 15.0f });
    m_pView->slot_ReceiveEditList({ 1, 0.0f, 0.0f, 15.0f });
    QCOMPARE(history->count(), opened + 2);
    QVERIFY(m_pView->Undo() && m_pView->Undo());
    QVERIFY(PlateOf(m_pView) == start);

    // Onto its neighbour: the neighbour is pushed away, in the same step.
    const QVector3D leftAt = left->GetCenter();
    m_pView->slot_ReceiveEditList({ 0, leftAt.x() + 5, leftAt.y(), 0.0f });
    QVERIFY(left->GetCenter() != leftAt);
    QCOMPARE(history->count(), opened + 1);
    QVERIFY(m_pView->Undo());
    QVERIFY(PlateOf(m_pView) == start);
    QVERIFY(m_pView->Redo());
    QVERIFY(left->GetCenter() != leftAt);
}

QTEST_MAIN(tst_KzPlateHistory)
#include "tst_KzPlateHistory.moc"
