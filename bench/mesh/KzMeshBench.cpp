// Mesh loading benchmark.
//   kz_mesh_bench generate DIR     writes binary.stl (2M facets), ascii.stl (500k), mesh.obj (1M faces)
//   kz_mesh_bench load FILE [--gl] loads FILE into a model, printing
//                                  "seconds facets rss_before_kB peak_rss_kB cpu_seconds"
// With --gl an OpenGL context is current, so the buffers are filled too.

#include "KzAllocatorPolicy.h"
#include "KzBenchSupport.h"
#include "KzModel3D.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

long PeakKb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A wavy sheet of w x h quads: two facets each.
struct Sheet {
    int w, h;
    float X(int i) const { return float(i) * 0.05f; }
    float Y(int j) const { return float(j) * 0.05f; }
    float Z(int i, int j) const { return 3.0f * std::sin(float(i) * 0.01f) * std::cos(float(j) * 0.013f) + 10.0f; }
};

bool WriteBinary(const QString& path, int facets)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    char header[84] = "kz mesh bench";
    const quint32 n = quint32(facets);
    std::memcpy(header + 80, &n, 4);
    f.write(header, 84);
    const Sheet s{1000, facets / 2000};
    std::string block;
    for (int j = 0; j < s.h; ++j) {
        for (int i = 0; i < s.w; ++i) {
            const float q[4][3] = {{s.X(i), s.Y(j), s.Z(i, j)}, {s.X(i + 1), s.Y(j), s.Z(i + 1, j)},
                                   {s.X(i + 1), s.Y(j + 1), s.Z(i + 1, j + 1)}, {s.X(i), s.Y(j + 1), s.Z(i, j + 1)}};
            const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& t : tris) {
                float rec[12] = {0, 0, 1};
                for (int c = 0; c < 3; ++c)
                    std::memcpy(rec + 3 + c * 3, q[t[c]], 12);
                block.append(reinterpret_cast<const char*>(rec), 48);
                block.append("\0\0", 2);
            }
        }
        f.write(block.data(), qint64(block.size()));
        block.clear();
    }
    return f.error() == QFile::NoError;
}

bool WriteAscii(const QString& path, int facets)
{
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!f)
        return false;
    std::fprintf(f, "solid bench\n");
    const Sheet s{1000, facets / 2000};
    for (int j = 0; j < s.h; ++j) {
        for (int i = 0; i < s.w; ++i) {
            const float q[4][3] = {{s.X(i), s.Y(j), s.Z(i, j)}, {s.X(i + 1), s.Y(j), s.Z(i + 1, j)},
                                   {s.X(i + 1), s.Y(j + 1), s.Z(i + 1, j + 1)}, {s.X(i), s.Y(j + 1), s.Z(i, j + 1)}};
            const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& t : tris) {
                std::fprintf(f, "  facet normal 0.000000e+00 0.000000e+00 1.000000e+00\n    outer loop\n");
                for (int c : t)
                    std::fprintf(f, "      vertex %e %e %e\n", q[c][0], q[c][1], q[c][2]);
                std::fprintf(f, "    endloop\n  endfacet\n");
            }
        }
    }
    std::fprintf(f, "endsolid bench\n");
    return std::fclose(f) == 0;
}

bool WriteObj(const QString& path, int faces)
{
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!f)
        return false;
    const Sheet s{1000, faces / 2000};
    std::fprintf(f, "# kz mesh bench\no sheet\n");
    for (int j = 0; j <= s.h; ++j) {
        for (int i = 0; i <= s.w; ++i)
            std::fprintf(f, "v %.6f %.6f %.6f\n", s.X(i), s.Y(j), s.Z(i, j));
    }
    for (int j = 0; j < s.h; ++j) {
        for (int i = 0; i < s.w; ++i) {
            const int a = j * (s.w + 1) + i + 1, b = a + 1, c = a + s.w + 2, d = a + s.w + 1;
            std::fprintf(f, "f %d %d %d\nf %d %d %d\n", a, b, c, a, c, d);
        }
    }
    return std::fclose(f) == 0;
}

int Generate(const QString& dir)
{
    const bool ok = WriteBinary(dir + "/binary.stl", 2000000) && WriteAscii(dir + "/ascii.stl", 500000)
                    && WriteObj(dir + "/mesh.obj", 1000000);
    return ok ? 0 : 1;
}

int Load(const QString& path, bool withGl)
{
    std::unique_ptr<QOffscreenSurface> surface;
    std::unique_ptr<QOpenGLContext> context;
    if (withGl) {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        surface = std::make_unique<QOffscreenSurface>();
        surface->create();
        context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        if (!context->create() || !context->makeCurrent(surface.get())) {
            std::fprintf(stderr, "no OpenGL context\n");
            return 1;
        }
    }
    const long before = KzBench::RssKb();
    const double cpu = KzBench::CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    auto model = std::make_unique<KzModel3D>();
    const bool ok = model->LoadSTLFile(path);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpuSeconds = KzBench::CpuSeconds() - cpu;
    if (!ok || !model->ReadyToRender()) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    if (withGl && model->Count() > 0 && model->GetBuffers().isEmpty()) {
        std::fprintf(stderr, "no buffers\n");
        return 1;
    }
    std::printf("%.4f %d %ld %ld %.3f\n", seconds, model->Count(), before, PeakKb(), cpuSeconds);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    KzAllocatorPolicy::Apply();   // the program's own allocator settings
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    if (argc >= 3 && std::strcmp(argv[1], "generate") == 0) {
        QCoreApplication app(argc, argv);
        return Generate(QString::fromLocal8Bit(argv[2]));
    }
    if (argc >= 3 && std::strcmp(argv[1], "load") == 0) {
        const bool withGl = argc >= 4 && std::strcmp(argv[3], "--gl") == 0;
        if (withGl) {
            QGuiApplication app(argc, argv);
            return Load(QString::fromLocal8Bit(argv[2]), true);
        }
        QCoreApplication app(argc, argv);
        return Load(QString::fromLocal8Bit(argv[2]), false);
    }
    std::fprintf(stderr, "usage: %s generate DIR | load FILE [--gl]\n", argv[0]);
    return 2;
}
