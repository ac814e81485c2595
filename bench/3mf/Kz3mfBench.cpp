// Opening the same mesh as binary STL and as 3MF, as the user opens it.
//   kz_3mf_bench generate DIR FACETS
//       writes a closed sphere of about FACETS facets as DIR/sphere.stl (binary)
//       and, from the facets read back from it, DIR/sphere.3mf (the program's
//       own 3MF writer: the same floats, bit for bit)
//   kz_3mf_bench open FILE
//       opens FILE in a shown view (1024 x 768) with KzGLView::OpenSTLFile, the
//       open dialog's path: the read, the display lists, the instance's box and
//       footprint, the placement; then glFinish. Prints one line:
//       facets open_s open_cpu_s rss_growth_kB
//   kz_3mf_bench read FILE
//       Kz3mfReader::Read alone (zip check, lib3mf, the meshes flattened); prints
//       facets read_s
//   kz_3mf_bench save FILE OUT
//       opens FILE, then times KzGLView::SaveAllModel(OUT); prints facets save_s bytes

#include "Kz3mfReader.h"
#include "Kz3mfWriter.h"
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

double CpuSeconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long RssKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    }
    if (f)
        std::fclose(f);
    return kb;
}

// A UV sphere of radius 40 standing on z = 0, wound outward (as bench/open makes it).
bool WriteSphereStl(const QString& path, int facets)
{
    const float r = 40.0f;
    const int rows = std::max(2, int(std::sqrt(facets / 4.0)));
    const int cols = std::max(3, facets / (2 * rows));
    const double pi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double th = pi * i / rows, ph = 2 * pi * j / cols;
        return QVector3D(float(r * std::sin(th) * std::cos(ph)), float(r * std::sin(th) * std::sin(ph)),
                         float(r + r * std::cos(th)));
    };
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(QByteArray(80, ' ').constData(), 80);
    out << quint32(2 * rows * cols);
    auto facet = [&out](const QVector3D& a, const QVector3D& b, const QVector3D& c) {
        out << 0.0f << 0.0f << 0.0f;
        for (const QVector3D& v : {a, b, c})
            out << v.x() << v.y() << v.z();
        out << quint16(0);
    };
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            const QVector3D a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            facet(a, b, c);
            facet(a, c, d);
        }
    }
    return file.error() == QFile::NoError;
}

int Generate(const QString& dir, int facets)
{
    const QString stl = QDir(dir).filePath("sphere.stl");
    if (!WriteSphereStl(stl, facets))
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
    const long rss = RssKb();
    const double cpu = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const bool opened = shown.view.OpenSTLFile(path);
    glFinish();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!opened)
        return 1;
    std::printf("%lld %.3f %.3f %ld\n", shown.view.GetLoadReport().GetFacets(), seconds, CpuSeconds() - cpu,
                RssKb() - rss);
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
