// The plate's history in the view: an arrangement by the placement rule as
// one step, and removed instances with their mesh kept exactly as long as a
// step can bring them back (the sanitizer build checks the rest: no leak, no
// use after free, buffers freed with the context current).
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace KzViewTest;

class tst_KzPlateHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { delete m_pView; }
    void arrangeStartsFromTheLargestFootprint();
    void removedInstancesLiveAsLongAsTheirSteps();

private:
    KzModelPainter* Open(const QString& name, float side)
    {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path) && !WriteBinaryStl(path, BoxTriangles(QVector3D(), QVector3D(side, side, 5))))
            return nullptr;
        return m_pView->OpenSTLFile(path) ? m_pView->GetScene().GetCurrentPainter() : nullptr;
    }
    QMap<int, KzModelPainter::State> Plate() const
    {
        QMap<int, KzModelPainter::State> plate;
        for (const KzModelPainter* p : m_pView->GetScene().GetPainters())
            plate.insert(p->GetID(), p->GetState());
        return plate;
    }

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

// Squares of 10, 20 and 40 mm opened smallest first. Arranged, the 40 mm one
// is placed first; the 20 mm one goes to its first free neighbour above it,
// (0, 20/2 + 40/2 + 4); the 10 mm one beside it, (10/2 + 40/2 + 4, 0), above
// being taken; then the group is centred. Undo and redo are bit for bit.
void tst_KzPlateHistory::arrangeStartsFromTheLargestFootprint()
{
    KzModelPainter* small = Open("s.stl", 10);
    KzModelPainter* medium = Open("m.stl", 20);
    KzModelPainter* large = Open("l.stl", 40);
    QVERIFY(small && medium && large);
    const auto opened = Plate();
    QVERIFY(m_pView->ArrangeModels());
    QCOMPARE(m_pView->GetUndoStack()->count(), 4);
    QCOMPARE(medium->GetCenter().toVector2D() - large->GetCenter().toVector2D(), QVector2D(0, 34));
    QCOMPARE(small->GetCenter().toVector2D() - large->GetCenter().toVector2D(), QVector2D(29, 0));
    const QVector2D groupMin(large->GetMin().x(), large->GetMin().y());
    const QVector2D groupMax(small->GetMax().x(), medium->GetMax().y());
    QVERIFY(((groupMin + groupMax) / 2).length() < 1e-4f);
    const auto arranged = Plate();
    QVERIFY(m_pView->Undo());
    QVERIFY(Plate() == opened);
    QVERIFY(m_pView->Redo());
    QVERIFY(Plate() == arranged);
}

// Removed, an instance leaves the plate and its mesh the loaded models; undo
// brings back the same objects. Undone steps that a new change discards, and
// a history that another printer clears, delete what they held.
void tst_KzPlateHistory::removedInstancesLiveAsLongAsTheirSteps()
{
    KzModelPainter* first = Open("part.stl", 20);
    KzModelPainter* second = Open("part.stl", 20);
    QVERIFY(first && second);
    KzModel3D* model = first->GetModel();
    const int modelId = model->ID();
    QVERIFY(m_pView->RemoveCurrentModel());
    m_pView->GetScene().SelectPainter(first->GetPickCode());
    QVERIFY(m_pView->RemoveCurrentModel());
    QVERIFY(m_pView->GetScene().GetModels().isEmpty());
    QVERIFY(m_pView->GetSaveSDName().isEmpty());

    QVERIFY(m_pView->Undo());
    QCOMPARE(m_pView->GetScene().GetPainters().value(first->GetID()), first);
    QCOMPARE(m_pView->GetScene().GetModels().value(modelId), model);
    QCOMPARE(m_pView->GetScene().GetCurrentPainter(), first);
    QCOMPARE(m_pView->GetSaveSDName(), QString("part"));
    QVERIFY(m_pView->Undo() && m_pView->Undo() && m_pView->Undo());
    QVERIFY(!m_pView->Undo());

    // A new open drops the four undone steps, both instances and the mesh:
    // the file is read again.
    KzModelPainter* again = Open("part.stl", 20);
    QVERIFY(again && again->GetModel()->ID() != modelId);
    QCOMPARE(m_pView->GetUndoStack()->count(), 1);
    QVERIFY(m_pView->RemoveCurrentModel());
    m_pView->slot_ReloadSize();
    QCOMPARE(m_pView->GetUndoStack()->count(), 0);
}

QTEST_MAIN(tst_KzPlateHistory)
#include "tst_KzPlateHistory.moc"
