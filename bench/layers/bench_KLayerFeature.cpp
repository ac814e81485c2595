// Frame time and memory of the layer preview on a large G-code file, drawn from
// the per-layer buffer objects against immediate mode, side by side in one run.
//   bench_KLayerFeature <file.gcode> [frames] [window width, default 1024]
// Prints the load time and the points read, then per case (multi-layer at the
// top layer with the camera at rest, the slider moving down, the camera
// turning; single layer) and per way of drawing (immediate mode, buffers,
// buffers with the lower layers' picture kept) the first frame and the median
// and mean of the next ones; for the buffers, the frames and time filling them
// takes first (spread over frames), and the memory of the layer model and of
// the drawing data per point (resident memory, which holds the buffers of
// Mesa's software renderer).
// A frame is paintGL up to glFinish.
#include "KzAllocatorPolicy.h"
#include "KLayerModel.h"
#include "KzViewTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <GL/gl.h>

#include <algorithm>
#include <functional>
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

// One frame first (not counted), then `frames` frames, each after `step`.
Figures Measure(QApplication& app, BenchView& view, int frames, const std::function<void()>& step)
{
    Figures f;
    step();
    f.dFirst = Frame(app, view);
    std::vector<double> v;
    for (int i = 0; i < frames; ++i) {
        step();
        v.push_back(Frame(app, view));
    }
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
    KzAllocatorPolicy::Apply();   // the program's own allocator settings
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

    const long residentBefore = ResidentMb();
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
    const long residentModel = ResidentMb();
    auto perPoint = [points](long mb) { return points > 0 ? mb * 1048576.0 / points : 0.0; };
    out << QStringLiteral("%1: %2 layers, %3 paths, %4 points, read in %5 ms; resident %6 MB, "
                          "the layer model %7 bytes a point\n")
               .arg(path).arg(layers.size()).arg(paths).arg(points).arg(loadMs, 0, 'f', 0).arg(residentModel)
               .arg(perPoint(residentModel - residentBefore), 0, 'f', 1);
    out.flush();

    KLayerFeature& feature = view.GetScene().GetLayerFeature();
    const int top = feature.GetMaxLayer();

    // The drawing data alone: the renderer's own memory for drawing that many
    // lines is taken first by frames in immediate mode, then the layers are
    // compiled and drawn again.
    view.SetCurrentLayer(top);
    feature.SetUseSavedFrame(false);
    feature.SetUseDisplayLists(false);
    Frame(app, view);
    Frame(app, view);
    const long residentWarm = ResidentMb();
    feature.SetUseDisplayLists(true);
    do
        Frame(app, view);
    while (feature.IsCompilePending());
    Frame(app, view);
    const long residentCompiled = ResidentMb();
    const double accounted = points > 0 ? double(feature.GetDrawingBytes()) / points : 0.0;
    out << QStringLiteral("drawing data: %1 bytes a point by resident memory (%2 MB after immediate frames, %3 MB "
                          "once compiled), %4 bytes a point in the buffers and their tables; %5x the layer model\n")
               .arg(perPoint(residentCompiled - residentWarm), 0, 'f', 1).arg(residentWarm).arg(residentCompiled)
               .arg(accounted, 0, 'f', 1)
               .arg(perPoint(residentCompiled - residentWarm) / perPoint(residentModel - residentBefore), 0, 'f', 2);
    out.flush();
    // The three ways: every frame in immediate mode; from the buffers; from the
    // buffers with the lower layers' picture kept while the camera rests.
    enum Way { Immediate, Lists, ListsAndKept };
    const char* const wayNames[] = {"immediate     ", "buffers       ", "buffers + kept"};
    auto use = [&](Way way) {
        feature.SetUseDisplayLists(way != Immediate);
        feature.SetUseSavedFrame(way == ListsAndKept);
        if (way == Immediate)
            return;
        // Compiling is spread over the first frames; measure once it is done.
        QElapsedTimer compile;
        compile.start();
        int compileFrames = 0;
        do {
            Frame(app, view);
            ++compileFrames;
        } while (feature.IsCompilePending());
        out << QStringLiteral("    (layers compiled over %1 frames in %2 ms; resident %3 MB)\n")
                   .arg(compileFrames).arg(compile.nsecsElapsed() / 1e6, 0, 'f', 0).arg(ResidentMb());
    };
    int layer = top;
    const QPoint turnFrom(400, 300);
    struct Case
    {
        const char* name;
        bool multi;
        std::function<void()> reset;
        std::function<void()> step;
    };
    const Case cases[] = {
        {"multi-layer at the top layer, camera at rest", true, [&] { view.SetCurrentLayer(top); }, [] {}},
        {"multi-layer, the slider one layer down each frame", true, [&] { layer = top; },
         [&] { view.SetCurrentLayer(layer--); }},
        {"multi-layer at the top layer, camera turning 1 degree each frame", true,
         [&] { view.SetCurrentLayer(top); },
         [&] { KzViewTest::Drag(&view, turnFrom, turnFrom + QPoint(1, 0), Qt::RightButton); }},
        {"single layer in the middle", false, [&] { view.SetCurrentLayer(top / 2); }, [] {}},
    };
    for (const Case& c : cases) {
        view.SetEnableMultiLayer(c.multi);
        out << c.name << QStringLiteral(", %1 frames:\n").arg(frames);
        double immediateMedian = 0;
        for (Way way : {Immediate, Lists, ListsAndKept}) {
            if (!c.multi && way == ListsAndKept)
                continue;   // a single layer keeps no picture
            c.reset();
            use(way);
            const Figures f = Measure(app, view, frames, c.step);
            if (way == Immediate)
                immediateMedian = f.dMedian;
            out << QStringLiteral("  %1 first %2 ms, median %3 ms, mean %4 ms; %5x the speed of immediate mode\n")
                       .arg(wayNames[way]).arg(f.dFirst, 0, 'f', 1).arg(f.dMedian, 0, 'f', 1)
                       .arg(f.dMean, 0, 'f', 1).arg(immediateMedian / f.dMedian, 0, 'f', 1);
            out.flush();
        }
    }
    return 0;
}
