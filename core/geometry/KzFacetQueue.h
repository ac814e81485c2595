#ifndef KZFACETQUEUE_H
#define KZFACETQUEUE_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QVector>

#include <condition_variable>
#include <deque>
#include <mutex>

// Hands facets from the thread that reads a mesh file to the thread that owns
// the model, in chunks, so the owner can fill a chunk's buffer while
// the reader parses the next one. One reader, one taker. The reader waits
// while maxQueued chunks are untaken: a reader faster than the taker would
// otherwise hold a second copy of the whole mesh in its chunks.
class KZFUNCTION_EXPORT KzFacetQueue
{
public:
    KzFacetQueue(int chunkSize, int maxQueued);

    // Reader side.
    void Add(const KzTriangle3D& tri);
    void Close();   // flushes the last, partial chunk; nothing comes after

    // Taker side: waits for the next chunk; false once closed and drained.
    bool Take(QVector<KzTriangle3D>& chunk);
    // Hands a taken chunk's buffer back for the reader to fill again: a few
    // warm buffers instead of a fresh one per chunk.
    void Recycle(QVector<KzTriangle3D>&& chunk);
    void Reset();   // before a new load; the reader must be idle

private:
    void Push();

    const int m_nChunkSize;
    const size_t m_nMaxQueued;
    QVector<KzTriangle3D> m_vecFilling;   // reader only
    std::mutex m_mutex;
    std::condition_variable m_ready;   // a chunk or the end for the taker
    std::condition_variable m_room;    // room in the queue for the reader
    std::deque<QVector<KzTriangle3D>> m_queue;
    std::deque<QVector<KzTriangle3D>> m_spare;
    bool m_bClosed = false;
};

#endif // KZFACETQUEUE_H
