#include "KzFacetQueue.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {
KzTriangle3D Numbered(int i)
{
    KzTriangle3D tri;
    tri[0] = QVector3D(float(i), 0, 0);
    return tri;
}
}

class TestKzFacetQueue : public QObject
{
    Q_OBJECT

private slots:
    // A reader thread hands over facets faster or slower than they are taken;
    // the taker sees every facet once, in order, in chunks of the given size
    // and a partial last one, even though it hands its buffers back to be
    // filled again.
    void chunksArriveWholeAndInOrder()
    {
        KzFacetQueue queue(10, 3);
        const int total = 1005;
        std::thread reader([&queue] {
            for (int i = 0; i < total; ++i)
                queue.Add(Numbered(i));
            queue.Close();
        });
        QVector<KzTriangle3D> chunk;
        int next = 0;
        int chunks = 0;
        while (queue.Take(chunk)) {
            QCOMPARE(chunk.size(), next + 10 <= total ? 10 : total - next);
            for (const KzTriangle3D& tri : qAsConst(chunk))
                QCOMPARE(int(tri[0].x()), next++);
            ++chunks;
            queue.Recycle(std::move(chunk));
        }
        reader.join();
        QCOMPARE(next, total);
        QCOMPARE(chunks, 101);
        QVERIFY(!queue.Take(chunk));   // stays closed
    }

    // A reader far ahead of its taker stops with the queue full instead of
    // piling up chunks: here 3 queued and one being filled, at most.
    void readerWaitsWhileTheQueueIsFull()
    {
        KzFacetQueue queue(10, 3);
        std::atomic<int> added{0};
        std::thread reader([&queue, &added] {
            for (int i = 0; i < 200; ++i) {
                queue.Add(Numbered(i));
                ++added;
            }
            queue.Close();
        });
        QTRY_VERIFY_WITH_TIMEOUT(added.load() >= 39, 10000);
        QTest::qWait(200);
        QCOMPARE(added.load(), 39);   // the 40th facet fills a fourth chunk, which must wait
        QVector<KzTriangle3D> chunk;
        int next = 0;
        while (queue.Take(chunk)) {
            for (const KzTriangle3D& tri : qAsConst(chunk))
                QCOMPARE(int(tri[0].x()), next++);
        }
        reader.join();
        QCOMPARE(next, 200);
    }

    // After a reset the queue serves a new load: nothing of the last one is
    // left, not even in a buffer handed back.
    void resetStartsAfresh()
    {
        KzFacetQueue queue(4, 8);
        for (int i = 0; i < 6; ++i)
            queue.Add(Numbered(i));
        QVector<KzTriangle3D> chunk;
        QVERIFY(queue.Take(chunk));
        queue.Recycle(std::move(chunk));
        queue.Reset();
        queue.Add(Numbered(100));
        queue.Close();
        QVERIFY(queue.Take(chunk));
        QCOMPARE(chunk.size(), 1);
        QCOMPARE(int(chunk[0][0].x()), 100);
        QVERIFY(!queue.Take(chunk));
    }
};

QTEST_GUILESS_MAIN(TestKzFacetQueue)
#include "tst_KzFacetQueue.moc"
