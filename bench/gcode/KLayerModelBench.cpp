// Benchmark of the G-code layer model, run by bench/gcode/run.sh.
//   KLayerModelBench mesh OUT.stl DIAMETER_MM   writes a sphere to slice
//   KLayerModelBench load FILE.gcode            loads FILE through a KLayerModel
//   KLayerModelBench parse FILE.gcode           the reader alone, on this thread
//                                               (layers dropped as they come)
//   KLayerModelBench points N PER_PATH          what a stored point costs
//   KLayerModelBench destroy FILE MS            destroys a model MS ms into its load
// Times are wall-clock milliseconds unless marked CPU (thread CPU clocks, which
// a busy machine disturbs less); memory comes from glibc's heap counters.

#include "KzAllocatorPolicy.h"
#include "KLayerLoadWork.h"
#include "KLayerModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <malloc.h>
#include <time.h>
#include <sys/resource.h>

namespace {

size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double CpuMs(clockid_t clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long PeakRssKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double MiB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

// A UV sphere standing on z = 0, as a binary STL.
int WriteSphere(const char* path, double diameter)
{
    const int nRings = 400;
    const int nSegments = 800;
    const double r = diameter / 2;
    auto vertex = [&](int ring, int segment) {
        const double theta = M_PI * ring / nRings;
        const double phi = 2 * M_PI * segment / nSegments;
        return QVector3D(float(r * std::sin(theta) * std::cos(phi)), float(r * std::sin(theta) * std::sin(phi)),
                         float(r - r * std::cos(theta)));
    };
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QByteArray facets;
    quint32 nFacets = 0;
    auto facet = [&](const QVector3D& a, const QVector3D& b, const QVector3D& c) {
        const QVector3D n = QVector3D::normal(a, b, c);
        const float values[12] = {n.x(), n.y(), n.z(), a.x(), a.y(), a.z(), b.x(), b.y(), b.z(), c.x(), c.y(), c.z()};
        facets.append(reinterpret_cast<const char*>(values), sizeof values);
        facets.append(2, '\0');
        ++nFacets;
    };
    for (int ring = 0; ring < nRings; ++ring) {
        for (int segment = 0; segment < nSegments; ++segment) {
            const QVector3D a = vertex(ring, segment), b = vertex(ring + 1, segment);
            const QVector3D c = vertex(ring + 1, segment + 1), d = vertex(ring, segment + 1);
            if (ring > 0)
                facet(a, d, c);   // outward: counter-clockwise seen from outside
            if (ring < nRings - 1)
                facet(a, c, b);
        }
    }
    file.write(QByteArray(80, '\0'));
    file.write(reinterpret_cast<const char*>(&nFacets), 4);
    file.write(facets);
    std::printf("sphere of %.0f mm, %u facets -> %s\n", diameter, nFacets, path);
    return 0;
}

struct Totals
{
    qint64 nPaths = 0;
    qint64 nPoints = 0;
    quint64 nChecksum = 14695981039346656037ULL;   // of every layer, path type and point, in order
};

void Mix(Totals& totals, quint32 value)
{
    totals.nChecksum = (totals.nChecksum ^ value) * 1099511628211ULL;
}

quint32 Bits(float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

Totals Count(const QVector<QList<LayerPath>>& layers)
{
    Totals totals;
    for (const SingleLayer& layer : layers) {
        totals.nPaths += layer.size();
        Mix(totals, quint32(layer.size()));
        for (const LayerPath& path : layer) {
            totals.nPoints += path.points.size();
            Mix(totals, quint32(path.type));
            Mix(totals, quint32(path.points.size()));
            for (const QVector3D& point : path.points) {
                Mix(totals, Bits(point.x()));
                Mix(totals, Bits(point.y()));
                Mix(totals, Bits(point.z()));
            }
        }
    }
    return totals;
}

int Load(const char* path)
{
    const double size = double(QFileInfo(QString::fromLocal8Bit(path)).size());
    const size_t heapBefore = HeapInUse();
    QElapsedTimer timer;
    KLayerModel model;
    const double processCpu0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID), mainCpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    timer.start();
    model.LoadGcode(QString::fromLocal8Bit(path));
    double firstDelivery = -1, firstLayer = -1, longestStall = 0;
    while (!model.ReadyToRender()) {
        const qint64 before = timer.nsecsElapsed();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const qint64 after = timer.nsecsElapsed();
        longestStall = std::max(longestStall, (after - before) / 1e6);
        // Entry 0 is what precedes the first layer line; entry 1 is the bottom layer.
        if (firstDelivery < 0 && model.GetLayerSize() >= 1)
            firstDelivery = after / 1e6;
        if (firstLayer < 0 && model.GetLayerSize() >= 2)
            firstLayer = after / 1e6;
    }
    const double ready = timer.nsecsElapsed() / 1e6;
    const double mainCpu = CpuMs(CLOCK_THREAD_CPUTIME_ID) - mainCpu0;
    const double workerCpu = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - processCpu0 - mainCpu;
    const QVector<QList<LayerPath>> layers = model.GetLayers();
    const Totals totals = Count(layers);
    const double heap = double(HeapInUse() - heapBefore);
    std::printf("load  %-28s %10.1f\n", "file size (MiB)", MiB(size));
    std::printf("load  %-28s %10.1f\n", "first delivery (ms)", firstDelivery);
    std::printf("load  %-28s %10.1f\n", "first layer received (ms)", firstLayer);
    std::printf("load  %-28s %10.1f\n", "ready (ms)", ready);
    std::printf("load  %-28s %10.1f\n", "throughput (MB/s)", size / 1e6 / (ready / 1e3));
    std::printf("load  %-28s %10.1f\n", "CPU, reading thread (ms)", workerCpu);
    std::printf("load  %-28s %10.1f\n", "CPU, GUI thread (ms)", mainCpu);
    std::printf("load  %-28s %10.1f\n", "MB/s by reading-thread CPU", size / 1e6 / (workerCpu / 1e3));
    std::printf("load  %-28s %10.1f\n", "longest GUI-thread stall (ms)", longestStall);
    std::printf("load  %-28s %10d\n", "layers", layers.size());
    std::printf("load  %-28s %10lld\n", "paths", totals.nPaths);
    std::printf("load  %-28s %10lld\n", "points", totals.nPoints);
    std::printf("load  %-28s %016llx\n", "checksum of layers", totals.nChecksum);
    std::printf("load  %-28s %10.1f\n", "heap held by layers (MiB)", MiB(heap));
    std::printf("load  %-28s %10.1f\n", "heap bytes per point", heap / double(std::max<qint64>(1, totals.nPoints)));
    std::printf("load  %-28s %10.1f\n", "peak RSS (MiB)", PeakRssKiB() / 1024.0);
    return 0;
}

int Parse(const char* path)
{
    const double size = double(QFileInfo(QString::fromLocal8Bit(path)).size());
    KLayerLoadWork work;
    qint64 nLayers = 0;
    QObject::connect(&work, &KLayerLoadWork::signal_OneLayerComplete, [&](const SingleLayer&) { ++nLayers; });
    QElapsedTimer timer;
    const double cpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    timer.start();
    work.slot_StartLoad(QString::fromLocal8Bit(path));
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpu = CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    std::printf("parse %-28s %10.1f\n", "parse only (ms)", ms);
    std::printf("parse %-28s %10.1f\n", "parse only (MB/s)", size / 1e6 / (ms / 1e3));
    std::printf("parse %-28s %10.1f\n", "parse only, CPU (ms)", cpu);
    std::printf("parse %-28s %10.1f\n", "parse only, MB/s by CPU", size / 1e6 / (cpu / 1e3));
    std::printf("parse %-28s %10lld\n", "deliveries", nLayers);
    return 0;
}

int Destroy(const char* path, int delayMs)
{
    auto* model = new KLayerModel;
    model->LoadGcode(QString::fromLocal8Bit(path));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < delayMs && !model->ReadyToRender())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const int nLayers = model->GetLayerSize();
    const bool bReady = model->ReadyToRender();
    timer.restart();
    delete model;
    std::printf("destroy %-26s %10.1f  (after %d ms, %d layers, %s)\n", "destructor (ms)", timer.nsecsElapsed() / 1e6,
                delayMs, nLayers, bReady ? "ready" : "loading");
    return 0;
}

// Appends n points in paths of perPath points to each container, as the reader
// does, and reports the time and heap each point costs.
template <typename Points>
void PointCost(const char* name, qint64 n, int perPath)
{
    const size_t heapBefore = HeapInUse();
    QElapsedTimer timer;
    timer.start();
    QList<Points> paths;
    Points points;
    for (qint64 i = 0; i < n; ++i) {
        points.push_back(QVector3D(float(i), 1.5f, 0.2f));
        if (int(points.size()) == perPath) {
            paths.append(points);
            points = Points();
        }
    }
    const double ns = double(timer.nsecsElapsed()) / double(n);
    const double bytes = double(HeapInUse() - heapBefore) / double(n);
    std::printf("point %-28s %6.1f ns %6.1f bytes\n", name, ns, bytes);
}

int Points(qint64 n, int perPath)
{
    PointCost<QList<QVector3D>>("QList<QVector3D>", n, perPath);
    PointCost<QVector<QVector3D>>("QVector<QVector3D>", n, perPath);
    PointCost<std::vector<QVector3D>>("std::vector<QVector3D>", n, perPath);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    KzAllocatorPolicy::Apply();   // the program's own allocator settings
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "mesh" && argc == 4)
        return WriteSphere(argv[2], std::atof(argv[3]));
    if (mode == "load" && argc == 3)
        return Load(argv[2]);
    if (mode == "parse" && argc == 3)
        return Parse(argv[2]);
    if (mode == "destroy" && argc == 4)
        return Destroy(argv[2], std::atoi(argv[3]));
    if (mode == "points" && argc == 4)
        return Points(std::atoll(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s mesh OUT.stl DIAMETER | load FILE | parse FILE | points N PER_PATH\n", argv[0]);
    return 2;
}
