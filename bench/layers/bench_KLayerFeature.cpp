// Frame time of the layer preview on a large G-code file, drawn from the
// per-layer display lists against immediate mode, side by side in one run.
//   bench_KLayerFeature <file.gcode> [frames] [window width, default 1024]
// Prints the load time, the points read, then for multi-layer mode at the top
// layer and single-layer mode at the middle layer: for immediate mode the first
// frame and the median and mean of the next ones; for the lists the frames and
// time their compilation takes (spread over frames), then median and mean.
// A frame is paintGL up to glFinish.
#include "KLayerModel.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <GL/gl.h>

#include <algorithm>
#include <vector>

namespace {

class BenchView : public KzTestView
{
public:
    using KzTestView::KzTestView;
    std::vector<double> m_vecPaintMs;

protected:
    void timerEvent(QTimerEvent*) override {}   // frames only when asked for
    void paintGL() override
    {
        QElapsedTimer t;
        t.start();
        KzTestView::paintGL();
        glFinish();
        m_vecPaintMs.push_back(t.nsecsElapsed() / 1e6);
    }
};

double Frame(QApplication& app, BenchView& view)
{
    const size_t before = view.m_vecPaintMs.size();
    view.update();
    while (view.m_vecPaintMs.size() == before)
        app.processEvents(QEventLoop::AllEvents, 5);
    return view.m_vecPaintMs.back();
}

struct Figures
{
    double dFirst = 0, dMedian = 0, dMean = 0;
};

Figures Measure(QApplication& app, BenchView& view, int frames)
{
    Figures f;
    f.dFirst = Frame(app, view);
    std::vector<double> v;
    for (int i = 0; i < frames; ++i)
        v.push_back(Frame(app, view));
    double sum = 0;
    for (double ms : v)
        sum += ms;
    f.dMean = sum / v.size();
    std::sort(v.begin(), v.end());
    f.dMedian = v[v.size() / 2];
    return f;
}

// Resident memory of the process, MB.
long ResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: bench_KLayerFeature <file.gcode> [frames]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const int width = argc > 3 ? std::max(64, std::atoi(argv[3])) : 1024;
    const int height = width * 3 / 4;
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    QTextStream out(stdout);

    BenchView view(nullptr);
    view.resize(width, height);
    view.show();
    Frame(app, view);
    view.slot_ReloadSize();
    view.GetScene().SetLayerOffset(-100, -100);   // the sphere was sliced around (100, 100)

    QElapsedTimer load;
    load.start();
    view.EnterLayerMode();
    view.GetScene().LoadLayerModel(path);
    KLayerModel* model = view.GetScene().GetLayerFeature().GetLayerModel();
    while (!model->ReadyToRender())
        app.processEvents(QEventLoop::AllEvents, 20);
    const double loadMs = load.nsecsElapsed() / 1e6;
    qint64 points = 0, paths = 0;
    const auto layers = model->GetLayers();
    for (const auto& layer : layers) {
        paths += layer.size();
        for (const auto& p : layer)
            points += p.points.size();
    }
    out << QStringLiteral("%1: %2 layers, %3 paths, %4 points, read in %5 ms; resident %6 MB\n")
               .arg(path).arg(layers.size()).arg(paths).arg(points).arg(loadMs, 0, 'f', 0).arg(ResidentMb());
    out.flush();

    KLayerFeature& feature = view.GetScene().GetLayerFeature();
    const int top = feature.GetMaxLayer();
    struct Case { const char* name; bool multi; int layer; };
    const Case cases[] = {{"multi-layer, top layer", true, top}, {"single layer, middle", false, top / 2}};
    for (const Case& c : cases) {
        view.SetEnableMultiLayer(c.multi);
        view.SetCurrentLayer(c.layer);
        feature.SetUseDisplayLists(false);
        const Figures immediate = Measure(app, view, frames);
        feature.SetUseDisplayLists(true);
        // Compiling is spread over the first frames; measure once it is done.
        QElapsedTimer compile;
        compile.start();
        int compileFrames = 0;
        do {
            Frame(app, view);
            ++compileFrames;
        } while (feature.IsCompilePending());
        const double compileMs = compile.nsecsElapsed() / 1e6;
        const Figures lists = Measure(app, view, frames);
        out << QStringLiteral("%1 (layer %2), %3 frames:\n").arg(c.name).arg(c.layer).arg(frames)
            << QStringLiteral("  immediate      first %1 ms, median %2 ms, mean %3 ms\n")
                   .arg(immediate.dFirst, 0, 'f', 1).arg(immediate.dMedian, 0, 'f', 1).arg(immediate.dMean, 0, 'f', 1)
            << QStringLiteral("  display lists  compiled over %1 frames in %2 ms; then median %3 ms, mean %4 ms\n")
                   .arg(compileFrames).arg(compileMs, 0, 'f', 0).arg(lists.dMedian, 0, 'f', 1).arg(lists.dMean, 0, 'f', 1)
            << QStringLiteral("  speed-up of the median: %1x; resident with the lists %2 MB\n")
                   .arg(immediate.dMedian / lists.dMedian, 0, 'f', 1).arg(ResidentMb());
        out.flush();
    }
    return 0;
}
