#include "KLayerModel.h"

#include "KLayerLoadWork.h"

#include <QDebug>

#include <algorithm>

namespace {

// Tidies one layer for drawing in one walk over its paths: empty paths go; a
// single point that is not the layer's last path goes too, handing its point
// to the next path when that one prints another feature (a travel onto the
// start of a new feature). Every other path stays. Kept paths move down in
// place and the rest is cut off at once, so nothing is copied or allocated.
void TrimLayer(SingleLayer& paths)
{
    // Paths without any point all go: let go of the list without copying it
    // (layers that hold only their start path share one list).
    const SingleLayer& constPaths = paths;
    if (std::all_of(constPaths.cbegin(), constPaths.cend(), [](const LayerPath& path) { return path.points.isEmpty(); })) {
        paths = SingleLayer();
        return;
    }
    const int nPaths = paths.size();
    int nKept = 0;
    for (int i = 0; i < nPaths; ++i) {
        LayerPath& path = paths[i];
        const int nPoints = path.points.size();
        if (nPoints == 0)
            continue;
        if (nPoints == 1 && i != nPaths - 1) {
            LayerPath& next = paths[i + 1];
            if (path.type != next.type)
                next.points.prepend(path.points.first());
            continue;
        }
        if (nKept != i)
            std::swap(paths[nKept], path);
        ++nKept;
    }
    paths.erase(paths.begin() + nKept, paths.end());
}

} // namespace

KLayerModel::KLayerModel()
    : QObject(nullptr)
    , m_pWork(new KLayerLoadWork)
    , m_bReady(false)
{
    qRegisterMetaType<SingleLayer>("SingleLayer");
    m_pWork->m_bPaced = true;
    connect(this, &KLayerModel::signal_StartLoad, m_pWork, &KLayerLoadWork::slot_StartLoad, Qt::QueuedConnection);
    connect(m_pWork, &KLayerLoadWork::signal_OneLayerComplete, this, &KLayerModel::Arrive, Qt::DirectConnection);
    connect(m_pWork, &KLayerLoadWork::signal_LoadCompete, this, &KLayerModel::Complete, Qt::DirectConnection);
    connect(&m_loadThread, &QThread::finished, m_pWork, &QObject::deleteLater);
}

KLayerModel::~KLayerModel()
{
    if (m_loadThread.isRunning()) {
        // Both requests reach the parse before its next line; the interruption
        // also holds when the parse has not begun yet (it clears m_bStop).
        m_loadThread.requestInterruption();
        m_pWork->m_bStop = true;
        m_loadThread.quit();
        m_loadThread.wait();
    } else if (!m_loadThread.isFinished()) {
        delete m_pWork;   // never moved to the thread, so no finished signal will free it
    }
}

void KLayerModel::LoadGcode(const QString& fileName)
{
    if (m_loadThread.isRunning() || m_loadThread.isFinished()) {
        qDebug() << "KLayerModel: a model reads one file only; ignored" << fileName;
        return;
    }
    m_pWork->moveToThread(&m_loadThread);
    m_loadThread.start(QThread::InheritPriority);
    emit signal_StartLoad(fileName);
}

QVector<QList<LayerPath>> KLayerModel::GetLayers()
{
    return m_vecLayers;
}

int KLayerModel::GetLayerSize()
{
    return m_vecLayers.size();
}

bool KLayerModel::ReadyToRender()
{
    return m_bReady;
}

// On the reading thread.
void KLayerModel::Arrive(const SingleLayer& layer)
{
    const int kBatch = 32;         // layers, or
    const qint64 kBatchMs = 10;    // the time, that make a take worth a wake-up
    QMutexLocker lock(&m_arrivalMutex);
    m_vecArrived.append(layer);
    m_vecArrivedElapsed.append(m_pWork->m_dLayerElapsed);
    if (m_bTakePosted)
        return;
    if (m_vecArrived.size() < kBatch && m_lastTake.isValid() && m_lastTake.elapsed() < kBatchMs)
        return;
    m_bTakePosted = true;
    QMetaObject::invokeMethod(this, &KLayerModel::TakeArrived, Qt::QueuedConnection);
}

// On the reading thread: the last layers are taken before the trim.
void KLayerModel::Complete()
{
    {
        QMutexLocker lock(&m_arrivalMutex);
        if (!m_bTakePosted && !m_vecArrived.isEmpty()) {
            m_bTakePosted = true;
            QMetaObject::invokeMethod(this, &KLayerModel::TakeArrived, Qt::QueuedConnection);
        }
    }
    QMetaObject::invokeMethod(this, &KLayerModel::slot_LoadComplete, Qt::QueuedConnection);
}

void KLayerModel::TakeArrived()
{
    QVector<SingleLayer> arrived;
    QVector<double> elapsed;
    {
        QMutexLocker lock(&m_arrivalMutex);
        arrived.swap(m_vecArrived);
        elapsed.swap(m_vecArrivedElapsed);
        m_bTakePosted = false;
        m_lastTake.start();
    }
    for (int i = 0; i < arrived.size(); ++i) {
        slot_ReceiveOneLayer(arrived[i]);
        if (!m_bReady)
            m_vecElapsed[m_vecElapsed.size() - 1] = elapsed[i];
    }
    m_pWork->m_nInFlight.fetch_sub(arrived.size(), std::memory_order_release);
}

void KLayerModel::slot_ReceiveOneLayer(SingleLayer oneLayer)
{
    if (m_bReady)   // the layers do not change once trimmed
        return;
    m_vecLayers.append(oneLayer);
    m_vecElapsed.append(-1.0);
}

double KLayerModel::GetLayerElapsed(int index) const
{
    return index >= 0 && index < m_vecElapsed.size() ? m_vecElapsed[index] : -1.0;
}

void KLayerModel::slot_LoadComplete()
{
    if (m_bReady)   // trimming twice would drop a real layer
        return;
    TakeArrived();   // called directly, the trim still sees every layer read
    TrimLayers();
    m_bReady = true;
}

void KLayerModel::TrimLayers()
{
    if (!m_vecLayers.isEmpty()) {
        m_vecLayers.removeFirst();   // what came before the first layer line
        m_vecElapsed.removeFirst();
    }
    for (SingleLayer& layer : m_vecLayers)
        TrimLayer(layer);
}
