// Frame time of the view with one model on the plate.
//   bench_KzGLView <facets> <samples> [frames]
// Prints the time of one frame's drawing (paintGL up to glFinish) over the
// measured frames, and the rate at which the 16 ms frame loop delivers frames.
#include "KzAllocatorPolicy.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QTextStream>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

class BenchView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    using KzGLView::GetLocateModelPainter;
    using KzGLView::GetLocateCoord;
    std::vector<double> m_vecPaintMs;

protected:
    void paintGL() override
    {
        QElapsedTimer t;
        t.start();
        KzTestView::paintGL();
        glFinish();
        m_vecPaintMs.push_back(t.nsecsElapsed() / 1e6);
    }
};

// A closed UV sphere of radius r with about `facets` facets, standing on z = 0.
QVector<KzTriangle3D> Sphere(int facets, float r)
{
    const int rows = std::max(2, int(std::sqrt(facets / 4.0)));
    const int cols = std::max(3, facets / (2 * rows));
    const double pi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double th = pi * i / rows;
        const double ph = 2 * pi * j / cols;
        return QVector3D(float(r * std::sin(th) * std::cos(ph)), float(r * std::sin(th) * std::sin(ph)),
                         float(r + r * std::cos(th)));
    };
    QVector<KzTriangle3D> out;
    out.reserve(2 * rows * cols);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            const QVector3D a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            KzTriangle3D t1, t2;
            t1[0] = a; t1[1] = b; t1[2] = c;
            t2[0] = a; t2[1] = c; t2[2] = d;
            t1.UpdateNormal();
            t2.UpdateNormal();
            out << t1 << t2;
        }
    }
    return out;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    KzAllocatorPolicy::Apply();   // the program's own allocator settings
    const int facets = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 4;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 40;

    QSurfaceFormat format = KzGLView::DefaultSurfaceFormat();
    format.setSamples(samples);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sphere.stl"));
    const QVector<KzTriangle3D> mesh = Sphere(facets, 40.0f);
    if (!KzViewTest::WriteBinaryStl(path, mesh)) {
        fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    BenchView view(nullptr);
    view.resize(1024, 768);
    view.show();
    QElapsedTimer wait;
    wait.start();
    while (view.m_vecPaintMs.empty() && wait.elapsed() < 20000)
        app.processEvents(QEventLoop::AllEvents, 50);

    view.makeCurrent();
    GLint realSamples = 0;
    glGetIntegerv(GL_SAMPLES, &realSamples);
    QElapsedTimer load;
    load.start();
    auto* model = new KzModel3D;
    if (!model->LoadSTLFile(path)) {
        fprintf(stderr, "cannot load %s\n", qPrintable(path));
        return 1;
    }
    const double loadMs = load.nsecsElapsed() / 1e6;
    load.restart();
    view.GetScene().AdoptModel(model);
    view.GetScene().AdoptPainter(new KzModelPainter(model));
    const double placeMs = load.nsecsElapsed() / 1e6;
    view.doneCurrent();

    // Warm up, then measure what the 16 ms loop delivers.
    int swapped = 0;
    // An idle view draws no frames: ask for the next one after every swap.
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, [&swapped, &view]() {
        ++swapped;
        view.update();
    });
    while (swapped < 3)
        app.processEvents(QEventLoop::AllEvents, 50);
    view.m_vecPaintMs.clear();
    swapped = 0;
    QElapsedTimer run;
    run.start();
    while (swapped < frames)
        app.processEvents(QEventLoop::AllEvents, 5);
    const double wallMs = run.nsecsElapsed() / 1e6;

    // A pick at the middle of the view, where the model stands: one off-screen
    // render of the instances and one read pixel, as on every left press.
    std::vector<double> pickMs;
    int code = 0;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer pick;
        pick.start();
        code = view.GetLocateModelPainter(QPoint(view.width() / 2, view.height() / 2));
        glFinish();
        pickMs.push_back(pick.nsecsElapsed() / 1e6);
    }

    // The hover pick over the selected instance: only its handles are drawn.
    view.GetScene().SelectPainter(code);
    view.repaint();
    std::vector<double> hoverMs;
    int handle = 0;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer pick;
        pick.start();
        handle = view.GetLocateCoord(QPoint(view.width() / 2, view.height() / 2));
        glFinish();
        hoverMs.push_back(pick.nsecsElapsed() / 1e6);
    }

    const std::vector<double>& v = view.m_vecPaintMs;
    double sum = 0;
    for (double ms : v)
        sum += ms;
    out << QStringLiteral("facets %1 (%2 buffers), samples requested %3 got %4: "
                          "load %5 ms, place %6 ms; draw median %7 ms, mean %8 ms, max %9 ms "
                          "over %10 frames; delivered %11 frames/s\n")
               .arg(model->Count()).arg(model->GetBuffers().size()).arg(samples).arg(realSamples)
               .arg(loadMs, 0, 'f', 0).arg(placeMs, 0, 'f', 0)
               .arg(Median(v), 0, 'f', 1).arg(v.empty() ? 0 : sum / v.size(), 0, 'f', 1)
               .arg(v.empty() ? 0 : *std::max_element(v.begin(), v.end()), 0, 'f', 1)
               .arg(v.size()).arg(swapped * 1000.0 / wallMs, 0, 'f', 1);
    out << QStringLiteral("  pick median %1 ms, max %2 ms over %3 picks (code %4)\n")
               .arg(Median(pickMs), 0, 'f', 1)
               .arg(*std::max_element(pickMs.begin(), pickMs.end()), 0, 'f', 1)
               .arg(pickMs.size()).arg(code);
    out << QStringLiteral("  hover pick median %1 ms, max %2 ms over %3 picks (code %4)\n")
               .arg(Median(hoverMs), 0, 'f', 2)
               .arg(*std::max_element(hoverMs.begin(), hoverMs.end()), 0, 'f', 2)
               .arg(hoverMs.size()).arg(handle);
    return 0;
}
