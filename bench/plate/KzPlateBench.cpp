// Big models and full plates, as a user meets them; run by bench/plate/run.sh.
//   kz_plate_bench sphere FILE FACETS   writes a closed sphere (radius 40 mm) as binary STL
//   kz_plate_bench gear FILE            writes a small gear (20 teeth, 24 mm across)
//   kz_plate_bench first FILE
//       The program's view, 1024 x 768, opens FILE and draws it. Prints one line:
//       window_s open_s frame_s total_s peak_rss_MB window_rss_MB open_rss_MB frame_rss_MB
//       quick full_frame_s full_total_s full_rss_MB first_clock full_clock
//       (resident when the empty view is up, after the open, after the first
//       frame; quick 1 when that frame went without multisampling, then the
//       frame time, the end and the resident memory of the full picture; peak
//       at the end; the clocks: when the first and the full picture were
//       there, s since the epoch)
//       (total: from the start of main to the end of the first frame with the
//       model, glFinish included).
//   kz_plate_bench turn FILE FRAMES
//       The same view with FILE open: frames at rest, then frames while the
//       camera turns (right drag), then the first frame after the drag ended.
//       Prints: rest_ms turning_ms turning_max_ms settled_ms settle_delay_ms instance_ms
//       footprint_ms former_footprint_ms (medians of paintGL up to glFinish;
//       instance_ms: one more instance of the open model put on the plate, what
//       every further copy of it costs; footprint_ms: the placed footprint from
//       every corner as the model finds it once, former_footprint_ms: as every
//       instance found it before)
//   kz_plate_bench copies FILE N...
//       Opens N copies of FILE on a plate (no window), for every N, as the
//       program opens them one after another. Prints per N: N total_s last_copy_ms
#include "KPolygonAlgorithm.h"
#include "KzAllocatorPolicy.h"
#include "KzBenchSupport.h"
#include "KzFootprint.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzPlate.h"
#include "KzPlateInstance.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <ctime>
#include <vector>

namespace {

QElapsedTimer g_sinceStart;

// Comparable with the clock of the process that started this one.
double WallClock()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double PeakRssMb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// A spur gear's outline extruded 6 mm: 20 teeth, 24 mm across the tips.
bool Gear(const QString& path)
{
    const int teeth = 20, steps = 4 * teeth;
    const double pi = 3.14159265358979323846;
    std::vector<QVector3D> rim;
    for (int s = 0; s < steps; ++s) {
        const double a = 2 * pi * s / steps;
        const float r = (s % 4 < 2) ? 12.0f : 10.5f;
        rim.emplace_back(float(r * std::cos(a)), float(r * std::sin(a)), 0.0f);
    }
    std::vector<QVector3D> corners;
    const QVector3D up(0, 0, 6), centre(0, 0, 0);
    for (int s = 0; s < steps; ++s) {
        const QVector3D a = rim[size_t(s)], b = rim[size_t((s + 1) % steps)];
        corners.insert(corners.end(), {centre, b, a, centre + up, a + up, b + up, a, b, b + up, a, b + up, a + up});
    }
    return KzBench::WriteStl(path, corners);
}

// The program's view, timing each frame up to glFinish.
class BenchView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    std::vector<double> m_vecPaintMs;
    std::vector<qint64> m_vecPaintEnd;   // ms since the start of main
    std::vector<double> m_vecPaintClock;   // the wall clock then, s since the epoch

protected:
    void paintGL() override
    {
        QElapsedTimer t;
        t.start();
        KzTestView::paintGL();
        glFinish();
        m_vecPaintMs.push_back(t.nsecsElapsed() / 1e6);
        m_vecPaintEnd.push_back(g_sinceStart.elapsed());
        m_vecPaintClock.push_back(WallClock());
    }
};

void WaitForFrames(BenchView& view, size_t count, int timeoutMs = 120000)
{
    QElapsedTimer wait;
    wait.start();
    while (view.m_vecPaintMs.size() < count && wait.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

int First(const QString& path)
{
    BenchView view(nullptr);
    view.resize(1024, 768);
    view.show();
    WaitForFrames(view, 1);
    const double windowS = g_sinceStart.elapsed() / 1e3;
    const long windowKb = KzBench::RssKb();
    QElapsedTimer open;
    open.start();
    if (!view.OpenSTLFile(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const double openS = open.nsecsElapsed() / 1e9;
    const long openKb = KzBench::RssKb();
    const size_t before = view.m_vecPaintMs.size();
    WaitForFrames(view, before + 1);
    const double frameS = view.m_vecPaintMs.back() / 1e3;
    const double totalS = view.m_vecPaintEnd.back() / 1e3;
    const double firstClock = view.m_vecPaintClock.back();
    const long frameKb = KzBench::RssKb();
    // A first look without multisampling is followed by the full picture.
    const bool quick = view.IsReducedFrame();
    while (view.IsReducedFrame())
        WaitForFrames(view, view.m_vecPaintMs.size() + 1);
    std::printf("%.3f %.3f %.3f %.3f %.0f %.0f %.0f %.0f %d %.3f %.3f %.0f %.6f %.6f\n", windowS, openS, frameS,
                totalS, PeakRssMb(), windowKb / 1024.0, openKb / 1024.0, frameKb / 1024.0, int(quick),
                view.m_vecPaintMs.back() / 1e3, view.m_vecPaintEnd.back() / 1e3, KzBench::RssKb() / 1024.0,
                firstClock, view.m_vecPaintClock.back());
    // The picture is there: what the process does on its way out is not measured.
    std::fflush(stdout);
    std::_Exit(0);
}

int Turn(const QString& path, int frames)
{
    BenchView view(nullptr);
    view.resize(1024, 768);
    view.show();
    WaitForFrames(view, 1);
    if (!view.OpenSTLFile(path))
        return 1;
    view.GetScene().SelectPainter(0);   // no handles: the model alone
    WaitForFrames(view, view.m_vecPaintMs.size() + 1);
    // At rest: every frame asked for by update().
    std::vector<double> rest;
    for (int i = 0; i < frames; ++i) {
        const size_t n = view.m_vecPaintMs.size();
        view.update();
        WaitForFrames(view, n + 1);
        rest.push_back(view.m_vecPaintMs.back());
    }
    // Turning: a right drag, one step per frame.
    const QPoint centre(view.width() / 2, view.height() / 2);
    KzViewTest::Press(&view, centre, Qt::RightButton);
    std::vector<double> turning;
    QPoint at = centre;
    for (int i = 0; i < frames; ++i) {
        const size_t n = view.m_vecPaintMs.size();
        at += QPoint(6, 2);
        KzViewTest::Move(&view, at, Qt::RightButton);
        WaitForFrames(view, n + 1);
        turning.push_back(view.m_vecPaintMs.back());
    }
    KzViewTest::Release(&view, at, Qt::RightButton);
    QElapsedTimer settle;
    settle.start();
    const size_t n = view.m_vecPaintMs.size();
    // The full picture comes back by itself after the last input.
    double settled = 0;
    qint64 delay = -1;
    while (settle.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (view.m_vecPaintMs.size() > n) {
            settled = view.m_vecPaintMs.back();
            delay = settle.elapsed();
            if (!view.IsReducedFrame())
                break;
        }
    }
    KzModel3D* model = view.GetScene().GetModels().first();
    QElapsedTimer instance;
    instance.start();
    KzPlateInstance copy(model);
    const double instanceMs = instance.nsecsElapsed() / 1e6;
    // The footprint of the placed mesh, the way the model now finds it once,
    // and the way every instance found it before: each corner through the
    // matrix into a list, FormConvexPolygon over the list.
    const QVector<KzTriangle3D> mesh = model->Triangls();
    const QMatrix4x4 matrix = copy.GetModelMatrix();
    QElapsedTimer hull;
    hull.start();
    const QVector<QVector2D> fast = KzFootprint::Outline(mesh, matrix);
    const double fastMs = hull.nsecsElapsed() / 1e6;
    hull.restart();
    QVector<QVector2D> points;
    points.reserve(mesh.size() * 3);
    for (const KzTriangle3D& t : mesh) {
        for (int k = 0; k < 3; ++k)
            points.append(matrix.map(t[k]).toVector2D());
    }
    QVector<QVector2D> full;
    KPolygonAlgorithm::FormConvexPolygon(full, points);
    const QVector<QVector2D> square = {QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};
    full = KPolygonAlgorithm::MinkowskHull(full, square);
    const double fullMs = hull.nsecsElapsed() / 1e6;
    if (full != fast || full != copy.GetHull()) {
        std::fprintf(stderr, "footprints differ\n");
        return 1;
    }
    std::printf("%.1f %.1f %.1f %.1f %lld %.1f %.1f %.1f\n", Median(rest), Median(turning),
                *std::max_element(turning.begin(), turning.end()), settled, (long long)delay, instanceMs, fastMs,
                fullMs);
    return 0;
}

int Copies(const QString& path, const QList<int>& counts)
{
    for (int count : counts) {
        KzPlate plate;
        KzLoadReport report;
        QElapsedTimer total;
        total.start();
        double lastMs = 0;
        for (int i = 0; i < count; ++i) {
            QElapsedTimer one;
            one.start();
            if (plate.AddModelFile(path, report) == nullptr) {
                std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
                return 1;
            }
            lastMs = one.nsecsElapsed() / 1e6;
        }
        std::printf("%d %.4f %.3f\n", count, total.nsecsElapsed() / 1e9, lastMs);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_sinceStart.start();
    KzAllocatorPolicy::Apply();   // the program's own allocator settings
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    const QByteArray mode = argc > 1 ? argv[1] : "";
    const QString file = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == "sphere" && argc == 4)
        return KzBench::WriteStl(file, KzBench::SphereCorners(std::atoi(argv[3]))) ? 0 : 1;
    if (mode == "gear" && argc == 3)
        return Gear(file) ? 0 : 1;
    if (mode == "copies" && argc >= 4) {
        QCoreApplication app(argc, argv);
        QList<int> counts;
        for (int i = 3; i < argc; ++i)
            counts << std::atoi(argv[i]);
        return Copies(file, counts);
    }
    if ((mode == "first" && argc == 3) || (mode == "turn" && argc == 4)) {
        QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
        QApplication app(argc, argv);
        return mode == "first" ? First(file) : Turn(file, std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: %s sphere FILE FACETS | gear FILE | first FILE | turn FILE FRAMES | copies FILE N...\n",
                 argv[0]);
    return 2;
}
