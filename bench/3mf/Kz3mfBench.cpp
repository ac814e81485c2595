// Opening the same mesh as binary STL and as 3MF, as the user opens it.
//   kz_3mf_bench generate DIR FACETS
//       writes a closed sphere of about FACETS facets as DIR/sphere.stl (binary)
//       and, from the facets read back from it, DIR/sphere.3mf (the program's
//       own 3MF writer: the same floats, bit for bit)
//   kz_3mf_bench open FILE
//       opens FILE in a shown view (1024 x 768) with KzGLView::OpenSTLFile, the
//       open dialog's path: the read, the buffers, the instance's box and
//       footprint, the placement; then glFinish. Prints one line:
//       facets open_s open_cpu_s rss_growth_kB
//   kz_3mf_bench read FILE
//       Kz3mfReader::Read alone (zip check, lib3mf, the meshes flattened); prints
//       facets read_s
//   kz_3mf_bench save FILE OUT
//       opens FILE, then times KzGLView::SaveAllModel(OUT); prints facets save_s bytes

#include "Kz3mfReader.h"
#include "Kz3mfWriter.h"
#include "KzBenchSupport.h"
#include "KzGLView.h"
#include "KzModel3D.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QWindow>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace {

int Generate(const QString& dir, int facets)
{
    const QString stl = QDir(dir).filePath("sphere.stl");
    if (!KzBench::WriteStl(stl, KzBench::SphereCorners(facets)))
        return 1;
    KzModel3D model;   // no context: the facets only
    if (!model.LoadSTLFile(stl))
        return 1;
    Kz3mfWriter writer;
    writer.AddItem(writer.AddMesh(model.Triangls()), QMatrix4x4());
    return writer.Write(QDir(dir).filePath("sphere.3mf")) ? 0 : 1;
}

struct ShownView
{
    ShownView()
    {
        view.resize(1024, 768);
        view.show();
        QElapsedTimer wait;
        wait.start();
        while (!(ok = view.windowHandle() && view.windowHandle()->isExposed()) && wait.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        view.slot_ReloadSize();
        view.makeCurrent();
    }
    KzGLView view;
    bool ok = false;
};

int Open(const QString& path)
{
    ShownView shown;
    if (!shown.ok)
        return 1;
    const long rss = KzBench::RssKb();
    const double cpu = KzBench::CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const bool opened = shown.view.OpenSTLFile(path);
    glFinish();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!opened)
        return 1;
    std::printf("%lld %.3f %.3f %ld\n", shown.view.GetLoadReport().GetFacets(), seconds, KzBench::CpuSeconds() - cpu,
                KzBench::RssKb() - rss);
    return 0;
}

int Read(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    Kz3mfReader reader;
    Kz3mfPackage package;
    if (!reader.Read(path, package))
        return 1;
    std::printf("%lld %.3f\n", package.FacetCount(), double(timer.nsecsElapsed()) / 1e9);
    return 0;
}

int Save(const QString& path, const QString& out)
{
    ShownView shown;
    if (!shown.ok || !shown.view.OpenSTLFile(path))
        return 1;
    QElapsedTimer timer;
    timer.start();
    if (!shown.view.SaveAllModel(out))
        return 1;
    std::printf("%lld %.3f %lld\n", shown.view.GetLoadReport().GetFacets(), double(timer.nsecsElapsed()) / 1e9,
                QFileInfo(out).size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "generate")
        return Generate(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == "open")
        return Open(args[2]);
    if (args.size() == 3 && args[1] == "read")
        return Read(args[2]);
    if (args.size() == 4 && args[1] == "save")
        return Save(args[2], args[3]);
    std::fprintf(stderr, "usage: kz_3mf_bench generate DIR FACETS | open FILE | read FILE | save FILE OUT\n");
    return 2;
}
