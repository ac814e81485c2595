#include "KzFacetQueue.h"

#include <utility>

KzFacetQueue::KzFacetQueue(int chunkSize, int maxQueued)
    : m_nChunkSize(chunkSize > 0 ? chunkSize : 1), m_nMaxQueued(size_t(maxQueued > 0 ? maxQueued : 1))
{
}

void KzFacetQueue::Add(const KzTriangle3D& tri)
{
    if (m_vecFilling.capacity() == 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_spare.empty()) {
            m_vecFilling = std::move(m_spare.front());
            m_spare.pop_front();
        }
    }
    if (m_vecFilling.capacity() == 0)
        m_vecFilling.reserve(m_nChunkSize);
    m_vecFilling.append(tri);
    if (m_vecFilling.size() == m_nChunkSize)
        Push();
}

void KzFacetQueue::Close()
{
    if (!m_vecFilling.isEmpty())
        Push();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bClosed = true;
    m_ready.notify_one();
}

void KzFacetQueue::Push()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_room.wait(lock, [this] { return m_queue.size() < m_nMaxQueued; });
    m_queue.push_back(std::move(m_vecFilling));
    m_vecFilling = QVector<KzTriangle3D>();
    m_ready.notify_one();
}

bool KzFacetQueue::Take(QVector<KzTriangle3D>& chunk)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait(lock, [this] { return !m_queue.empty() || m_bClosed; });
    if (m_queue.empty())
        return false;
    chunk = std::move(m_queue.front());
    m_queue.pop_front();
    m_room.notify_one();
    return true;
}

void KzFacetQueue::Recycle(QVector<KzTriangle3D>&& chunk)
{
    chunk.clear();   // keeps the buffer
    std::lock_guard<std::mutex> lock(m_mutex);
    m_spare.push_back(std::move(chunk));
}

void KzFacetQueue::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecFilling.clear();
    m_queue.clear();
    m_spare.clear();
    m_bClosed = false;
}
