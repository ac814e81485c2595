// Opening a mesh model with an OpenGL context current, then drawing it.
//   kz_open_bench generate FILE FACETS
//       writes a closed sphere of about FACETS facets as binary STL
//   kz_open_bench open FILE WAY MALLOC [FRAMES] [SAMPLES]
//       WAY buffers: KzModel3D::LoadSTLFile as the program does it (a buffer
//           object filled for every 10000 facets as they arrive from the
//           reading thread);
//       WAY per-facet: the same load without a context (parse and bounds only),
//           then the lists compiled the former way, one begin/end pair per
//           facet; that compile lives here only, for comparison;
//       WAY after-parse: the same, then one begin/end pair per list (the
//           program's display lists before it drew from buffers, without
//           their overlap with the parse);
//       WAY arrays: the same, then each list as one glDrawArrays of an
//           interleaved normal + vertex array;
//       WAY parse-only: the load without a context, no lists, no frames: what
//           the two ways above share.
//       MALLOC default: glibc as it comes; tuned: the allocator settings the
//           program makes at start (KzAllocatorPolicy).
//   FRAMES -1: the open alone (for profiling), one short line.
//   Prints one line: facets lists open_s open_cpu_s minor_faults rss_growth_kB
//   frame_median_ms frame_max_ms picture_md5
// A frame is drawn like the view draws a model: its light and material, 1024 x 768,
// SAMPLES (default 4, as the view asks for) samples, up to glFinish. The last frame
// is saved as PNG when KZ_OPEN_BENCH_PICTURE names a file.

#include "KzAllocatorPolicy.h"
#include "KzBenchSupport.h"
#include "KzModel3D.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

const int kFacetsPerList = 10000;

rusage Usage()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double CpuSeconds(const rusage& u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}


// The former compile: one begin/end pair per facet.
std::vector<GLuint> CompilePerFacet(const KzModel3D& model)
{
    const int n = model.Count();
    std::vector<GLuint> names;
    for (int i = 0; i <= n / kFacetsPerList; ++i)
        names.push_back(glGenLists(1));
    if (n == 0)
        return names;
    const QVector<KzTriangle3D> triangles = model.Triangls();
    glNewList(names[0], GL_COMPILE);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % kFacetsPerList == 0) {
            glEndList();
            glNewList(names[size_t(i / kFacetsPerList)], GL_COMPILE);
        }
        const KzTriangle3D& tri = triangles.at(i);
        const QVector3D normal = tri.GetNormal();
        glBegin(GL_TRIANGLES);
        glNormal3f(normal.x(), normal.y(), normal.z());
        for (int c = 0; c < 3; ++c)
            glVertex3f(tri[c].x(), tri[c].y(), tri[c].z());
        glEnd();
    }
    glEndList();
    return names;
}

// The facets of each list as one interleaved array (a normal per corner),
// drawn by one glDrawArrays inside the list: measured as an alternative.
std::vector<GLuint> CompileArrays(const KzModel3D& model)
{
    const int n = model.Count();
    std::vector<GLuint> names;
    for (int i = 0; i <= n / kFacetsPerList; ++i)
        names.push_back(glGenLists(1));
    const QVector<KzTriangle3D> triangles = model.Triangls();
    std::vector<float> buffer(size_t(kFacetsPerList) * 18);
    glInterleavedArrays(GL_N3F_V3F, 0, buffer.data());
    for (int first = 0; first < n; first += kFacetsPerList) {
        const int end = std::min(n, first + kFacetsPerList);
        float* out = buffer.data();
        for (int i = first; i < end; ++i) {
            const KzTriangle3D& tri = triangles.at(i);
            const QVector3D normal = tri.GetNormal();
            for (int c = 0; c < 3; ++c) {
                *out++ = normal.x(); *out++ = normal.y(); *out++ = normal.z();
                *out++ = tri[c].x(); *out++ = tri[c].y(); *out++ = tri[c].z();
            }
        }
        glNewList(names[size_t(first / kFacetsPerList)], GL_COMPILE);
        glDrawArrays(GL_TRIANGLES, 0, 3 * (end - first));
        glEndList();
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    return names;
}

// One begin/end pair per list, the lists compiled after the whole parse: the
// program's calls without the overlap of reading and compiling.
std::vector<GLuint> CompileAfterParse(const KzModel3D& model)
{
    const int n = model.Count();
    std::vector<GLuint> names;
    for (int i = 0; i <= n / kFacetsPerList; ++i)
        names.push_back(glGenLists(1));
    const QVector<KzTriangle3D> triangles = model.Triangls();
    for (int first = 0; first < n; first += kFacetsPerList) {
        const int end = std::min(n, first + kFacetsPerList);
        glNewList(names[size_t(first / kFacetsPerList)], GL_COMPILE);
        glBegin(GL_TRIANGLES);
        for (int i = first; i < end; ++i) {
            const KzTriangle3D& tri = triangles.at(i);
            const QVector3D normal = tri.GetNormal();
            glNormal3f(normal.x(), normal.y(), normal.z());
            for (int c = 0; c < 3; ++c)
                glVertex3f(tri[c].x(), tri[c].y(), tri[c].z());
        }
        glEnd();
        glEndList();
    }
    return names;
}

// The view's light and material (its scene set-up), a camera looking down at the model.
void SetUpScene(const KzModel3D& model)
{
    glClearColor(0.7f, 0.7f, 0.7f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_MULTISAMPLE);
    const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat position[] = {0.4f, 0.5f, 1.0f, 0.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
    glEnable(GL_LIGHT0);
    const GLfloat materialSpecular[] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 10.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    const float radius = std::max(1.0f, (model.MaxBound() - model.MinBound()).length() / 2);
    const QVector3D centre = model.GetCenter();
    glViewport(0, 0, 1024, 768);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double zNear = radius, zFar = radius * 6, h = zNear * 0.45;
    glFrustum(-h * 4 / 3, h * 4 / 3, -h, h, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -3 * radius);
    glRotatef(-60, 1, 0, 0);
    glRotatef(30, 0, 0, 1);
    glTranslatef(-centre.x(), -centre.y(), -centre.z());
}

// The model's own buffers when there are no lists.
double DrawFrame(const std::vector<GLuint>& lists, const KzModel3D& model)
{
    QElapsedTimer timer;
    timer.start();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.61f, 0.60f, 0.61f);
    for (GLuint list : lists)
        glCallList(list);
    if (lists.empty())
        model.DrawFacets();
    glFinish();
    return double(timer.nsecsElapsed()) / 1e6;
}

enum class Way { Buffers, PerFacet, AfterParse, Arrays, ParseOnly };

int Open(const QString& path, Way way, int frames, int samples)
{
    const bool perFacet = way == Way::PerFacet;
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create() || !context.makeCurrent(&surface)) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    // The view's framebuffer exists before a model is opened.
    QOpenGLFramebufferObjectFormat fboFormat;
    fboFormat.setSamples(samples);
    fboFormat.setAttachment(QOpenGLFramebufferObject::Depth);
    QOpenGLFramebufferObject fbo(1024, 768, fboFormat);
    fbo.bind();

    const rusage before = Usage();
    const long rssBefore = KzBench::RssKb();
    QElapsedTimer timer;
    timer.start();
    auto model = std::make_unique<KzModel3D>();
    std::vector<GLuint> lists;
    size_t parts = 0;   // lists or buffers
    if (way != Way::Buffers) {
        context.doneCurrent();   // no context: the model parses and bounds only
        const bool ok = model->LoadSTLFile(path);
        context.makeCurrent(&surface);
        if (!ok)
            return 1;
        if (way == Way::ParseOnly) {
            std::printf("%d 0 %.4f %.3f %ld %ld 0 0 -\n", model->Count(), double(timer.nsecsElapsed()) / 1e9,
                        CpuSeconds(Usage()) - CpuSeconds(before), Usage().ru_minflt - before.ru_minflt,
                        KzBench::RssKb() - rssBefore);
            return 0;
        }
        if (way == Way::Arrays)
            lists = CompileArrays(*model);
        else if (way == Way::AfterParse)
            lists = CompileAfterParse(*model);
        else
            lists = CompilePerFacet(*model);
    } else {
        if (!model->LoadSTLFile(path))
            return 1;
    }
    parts = way == Way::Buffers ? size_t(model->GetBuffers().size()) : lists.size();
    glFinish();
    const double openSeconds = double(timer.nsecsElapsed()) / 1e9;
    const rusage after = Usage();
    const long rssGrowth = KzBench::RssKb() - rssBefore;
    if (parts == 0 || glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "no display lists or buffers, or a GL error\n");
        return 1;
    }

    if (frames < 0) {   // open only (for profiling)
        std::printf("%d %zu %.4f\n", model->Count(), parts, openSeconds);
        return 0;
    }
    fbo.bind();
    SetUpScene(*model);
    DrawFrame(lists, *model);   // warm-up
    DrawFrame(lists, *model);
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i)
        ms.push_back(DrawFrame(lists, *model));
    const QImage picture = fbo.toImage();
    const QByteArray md5 = QCryptographicHash::hash(
        QByteArray::fromRawData(reinterpret_cast<const char*>(picture.constBits()), int(picture.sizeInBytes())),
        QCryptographicHash::Md5).toHex();
    if (qEnvironmentVariableIsSet("KZ_OPEN_BENCH_PICTURE"))
        picture.save(qEnvironmentVariable("KZ_OPEN_BENCH_PICTURE"));
    std::sort(ms.begin(), ms.end());

    std::printf("%d %zu %.4f %.3f %ld %ld %.1f %.1f %s\n", model->Count(), parts, openSeconds,
                CpuSeconds(after) - CpuSeconds(before), after.ru_minflt - before.ru_minflt, rssGrowth,
                ms.empty() ? 0.0 : ms[ms.size() / 2], ms.empty() ? 0.0 : ms.back(), md5.constData());
    if (perFacet) {
        for (GLuint list : lists)
            glDeleteLists(list, 1);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "generate") == 0)
        return KzBench::WriteStl(QString::fromLocal8Bit(argv[2]), KzBench::SphereCorners(std::atoi(argv[3]))) ? 0 : 1;
    if (argc >= 5 && std::strcmp(argv[1], "open") == 0) {
        Way way = Way::Buffers;
        if (std::strcmp(argv[3], "per-facet") == 0)
            way = Way::PerFacet;
        else if (std::strcmp(argv[3], "after-parse") == 0)
            way = Way::AfterParse;
        else if (std::strcmp(argv[3], "arrays") == 0)
            way = Way::Arrays;
        else if (std::strcmp(argv[3], "parse-only") == 0)
            way = Way::ParseOnly;
        else if (std::strcmp(argv[3], "buffers") != 0)
            return 2;
        if (std::strcmp(argv[4], "tuned") == 0) {
            KzAllocatorPolicy::Apply();   // the program's own settings
        } else if (std::strcmp(argv[4], "default") != 0) {
            return 2;
        }
        qputenv("QT_LOGGING_RULES", "*.debug=false");
        QGuiApplication app(argc, argv);
        return Open(QString::fromLocal8Bit(argv[2]), way, argc > 5 ? std::atoi(argv[5]) : 5,
                     argc > 6 ? std::atoi(argv[6]) : 4);
    }
    std::fprintf(stderr, "usage: %s generate FILE FACETS | open FILE buffers|per-facet|after-parse|arrays|parse-only default|tuned [FRAMES] [SAMPLES]\n",
                 argv[0]);
    return 2;
}
