#include "KzModel3D.h"

#include "KzCoarseMesh.h"
#include "KzHugePages.h"
#include "KzModelLoader.h"

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <GL/gl.h>

#include <utility>

namespace {
const int kFacetsPerBuffer = 10000;
const int kChunksAhead = 4;   // how far the reader may run ahead of the buffers
const int kFloatsPerFacet = 18;   // a normal and a corner for each of three vertices
const int kVertexBytes = 6 * int(sizeof(float));
const int kFacetsPerPiece = 2500;   // drawn and flushed at a time on a software rasterizer
// About as many corners as the software renderer turns in a few tens of ms.
const int kCoarseCorners = 60000;

void Extend(const KzTriangle3D& tri, QVector3D& min, QVector3D& max)
{
    for (int c = 0; c < 3; ++c) {
        const QVector3D& v = tri[c];
        for (int axis = 0; axis < 3; ++axis) {
            if (v[axis] > max[axis])
                max[axis] = v[axis];
            if (!(v[axis] > min[axis]))
                min[axis] = v[axis];
        }
    }
}
}

qint32 KzModel3D::ms_nModelCount = 0;
int KzModel3D::ms_nReducedAbove = 400000;

KzModel3D::KzModel3D()
    : m_pLoader(new KzModelLoader), m_facetQueue(kFacetsPerBuffer, kChunksAhead), m_nReference(0),
      m_nID(++ms_nModelCount), m_bReady(false), m_vCenter(0, 0, 0), m_vMaxBound(0, 0, 0), m_vMinBound(0, 0, 0)
{
    // The loader reads on m_loadThread; its facets reach this thread through
    // m_facetQueue, so its signals are taken where they are sent.
    m_pLoader->moveToThread(&m_loadThread);
    connect(this, &KzModel3D::signal_StartLoad, m_pLoader, &KzModelLoader::slot_StartLoad);
    connect(m_pLoader, &KzModelLoader::signal_FacetsExpected, this, &KzModel3D::slot_FacetsExpected,
            Qt::DirectConnection);
    connect(m_pLoader, &KzModelLoader::signal_TriangleReady, this, &KzModel3D::slot_TriangleReady,
            Qt::DirectConnection);
    connect(m_pLoader, &KzModelLoader::signal_LoadComplete, this, &KzModel3D::slot_LoadComplete,
            Qt::DirectConnection);
}

KzModel3D::~KzModel3D()
{
    if (m_loadThread.isRunning())
        m_pLoader->m_bStop = true;
    m_loadThread.quit();
    m_loadThread.wait();
    // Its thread has stopped (or never ran, after a failed load): the loader
    // can go from here.
    delete m_pLoader;
    StopCoarse();
    DeleteBuffers();
}

bool KzModel3D::LoadSTLFile(QString path)
{
    m_pLoader->m_strFileName = path;
    m_pLoader->CheckFileType();
    if (!m_pLoader->m_bValid) {
        m_report = KzLoadReport(path);
        return false;
    }
    return RunLoad(path);
}

bool KzModel3D::LoadPackageMesh(const QString& path, int part, const QVector<KzTriangle3D>& facets)
{
    m_pLoader->m_strFileName = path;
    m_pLoader->m_nFileType = 3;
    m_pLoader->m_bValid = true;
    m_pLoader->m_vecGiven = facets;
    m_nPackagePart = part;
    return RunLoad(path);
}

bool KzModel3D::RunLoad(const QString& path)
{
    StopCoarse();
    m_facetQueue.Reset();
    m_nReadFacets = 0;
    m_placement = KzFootprint::Placement();
    DeleteBuffers();
    const bool fresh = m_vecTriangles.isEmpty();
    m_loadThread.start(QThread::InheritPriority);
    // From here until the queue is drained, m_vecTriangles and the bounds of
    // what is read belong to the reading thread.
    emit signal_StartLoad();   // queued to the reading thread
    ReceiveFacets(fresh);      // the whole file is read before this returns
    m_report = m_pLoader->m_report;
    m_report.Judge(Count(), m_vMinBound, m_vMaxBound);
    m_strFileName = path;
    m_bReady = true;
    return true;
}

void KzModel3D::StartCoarse()
{
    if (m_coarseThread.joinable() || m_bCoarseReady || Count() <= ms_nReducedAbove || m_full.names.isEmpty())
        return;
    const QVector<KzTriangle3D> mesh = m_vecTriangles;   // shared, read only
    m_coarseThread = std::thread([this, mesh]() {
        m_vecCoarse = KzCoarseMesh::Build(mesh, kCoarseCorners);
        m_bCoarseReady = true;
    });
}

void KzModel3D::StopCoarse()
{
    if (m_coarseThread.joinable())
        m_coarseThread.join();
    m_bCoarseReady = false;
    m_vecCoarse.clear();
}

// Asked for the first time, the coarse form is started; it is not built with
// the model, so that it takes nothing from the way to the first picture.
void KzModel3D::DrawReducedFacets()
{
    if (m_coarse.names.isEmpty())
        StartCoarse();
    if (m_coarse.names.isEmpty() && m_bCoarseReady && BuffersReachable()) {
        m_coarseThread.join();
        FillBuffer(m_coarse, m_vecCoarse.constData(), m_vecCoarse.size());
        m_vecCoarse = QVector<KzTriangle3D>();
        m_bCoarseReady = false;
    }
    DrawBuffers(m_coarse.names.isEmpty() ? m_full : m_coarse);
}

void KzModel3D::DrawFacets() const
{
    DrawBuffers(m_full);
}

void KzModel3D::slot_FacetsExpected(int count)
{
    m_vecTriangles.reserve(m_vecTriangles.size() + count);
    KzHugePages::Advise(m_vecTriangles.constData(), size_t(m_vecTriangles.capacity()) * sizeof(KzTriangle3D));
}

// The model's own copy of the facets and their bounds are made here, off the
// thread that compiles; that one works from the chunks.
void KzModel3D::slot_TriangleReady(KzTriangle3D tri)
{
    if (m_nReadFacets++ == 0) {
        m_vReadMin = m_vReadMax = tri[0];
        m_vPlaceMin = m_vPlaceMax = tri[0];
    }
    Extend(tri, m_vReadMin, m_vReadMax);
    for (int k = 0; k < 3; ++k)
        KzFootprint::ExtendBox(tri[k], m_vPlaceMin, m_vPlaceMax);
    m_vecTriangles.append(tri);
    m_facetQueue.Add(tri);
}

// Still on the reading thread, while the last buffers are filled: the
// placement every instance starts from, when the facets are this load's alone.
void KzModel3D::slot_LoadComplete()
{
    if (m_nReadFacets > 0 && m_nReadFacets == m_vecTriangles.size())
        m_placement = KzFootprint::Place(m_vecTriangles, m_vPlaceMin, m_vPlaceMax);
    m_facetQueue.Close();
}

KzTriangle3D* KzModel3D::ItemPtr(int i)
{
    m_placement = KzFootprint::Placement();
    return &m_vecTriangles[i];
}

// Filling a chunk's buffer while the reader parses the next one hides the
// parse behind the copy. The chunks are exactly one buffer's facets, so the
// buffers come out as FillBuffers makes them. A model loaded a second time
// has its buffers filled again, all at once, at the end.
void KzModel3D::ReceiveFacets(bool fresh)
{
    QOpenGLContext* context = fresh ? QOpenGLContext::currentContext() : nullptr;
    QVector<KzTriangle3D> chunk;
    while (m_facetQueue.Take(chunk)) {
        if (context) {
            m_pBufferContext = context;
            FillBuffer(m_full, chunk.constData(), chunk.size());
        }
        m_facetQueue.Recycle(std::move(chunk));
    }
    m_vecStaging = std::vector<float>();
    // Drained: the reader is done, and what it wrote is visible here.
    if (m_vecTriangles.isEmpty())
        return;
    if (fresh) {
        m_vMinBound = m_vReadMin;
        m_vMaxBound = m_vReadMax;
        UpdateCenter();
    } else {
        UpdateBounds();
    }
    if (!context)
        FillBuffers();
}

void KzModel3D::UpdateBounds()
{
    m_vMinBound = m_vMaxBound = m_vecTriangles.at(0)[0];
    for (const KzTriangle3D& tri : qAsConst(m_vecTriangles))
        Extend(tri, m_vMinBound, m_vMaxBound);
    UpdateCenter();
}

void KzModel3D::UpdateCenter()
{
    m_vCenter = QVector3D((m_vMinBound.x() + m_vMaxBound.x()) * 0.5f,
                          (m_vMinBound.y() + m_vMaxBound.y()) * 0.5f,
                          (m_vMinBound.z() + m_vMaxBound.z()) * 0.5f);
}

// At most 10000 facets per buffer.
void KzModel3D::FillBuffers()
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) {
        qDebug() << "no current OpenGL context: model" << m_nID << "has no buffers";
        return;
    }
    m_pBufferContext = context;
    const int n = m_vecTriangles.size();
    for (int first = 0; first < n; first += kFacetsPerBuffer)
        FillBuffer(m_full, m_vecTriangles.constData() + first, qMin(n - first, kFacetsPerBuffer));
    m_vecStaging = std::vector<float>();
}

// Each vertex takes its facet's normal, so the buffer draws what one
// glNormal and three glVertex calls per facet draw, in the same order. Unlike
// a display list, which Mesa rebuilds at about 100 bytes a facet at
// considerable cost, the buffer holds the 72 bytes and is a plain copy.
void KzModel3D::FillBuffer(Buffers& into, const KzTriangle3D* tri, int count)
{
    if (count <= 0)
        return;
    m_vecStaging.resize(size_t(count) * kFloatsPerFacet);
    float* out = m_vecStaging.data();
    for (int i = 0; i < count; ++i) {
        const QVector3D normal = tri[i].GetNormal();
        for (int c = 0; c < 3; ++c) {
            *out++ = normal.x();
            *out++ = normal.y();
            *out++ = normal.z();
            *out++ = tri[i][c].x();
            *out++ = tri[i][c].y();
            *out++ = tri[i][c].z();
        }
    }
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    GLuint name = 0;
    gl->glGenBuffers(1, &name);
    gl->glBindBuffer(GL_ARRAY_BUFFER, name);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(m_vecStaging.size() * sizeof(float)), m_vecStaging.data(),
                     GL_STATIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    into.names.append(name);
    into.facets.append(count);
    into.lastNormal = tri[count - 1].GetNormal();
}

// Buffer names belong to the context that made them (and those sharing with
// it); in any other context the same numbers are someone else's.
bool KzModel3D::BuffersReachable() const
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    return current && m_pBufferContext && QOpenGLContext::areSharing(current, m_pBufferContext);
}

void KzModel3D::DrawBuffers(const Buffers& buffers) const
{
    if (buffers.names.isEmpty() || !BuffersReachable())
        return;
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    const int piece = PieceFacets();
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int i = 0; i < buffers.names.size(); ++i) {
        gl->glBindBuffer(GL_ARRAY_BUFFER, buffers.names[i]);
        glNormalPointer(GL_FLOAT, kVertexBytes, nullptr);
        glVertexPointer(3, GL_FLOAT, kVertexBytes, reinterpret_cast<const void*>(3 * sizeof(float)));
        DrawPieces(buffers.facets[i], piece);
    }
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    glNormal3f(buffers.lastNormal.x(), buffers.lastNormal.y(), buffers.lastNormal.z());
}

// A software rasterizer bins every triangle of a frame before it draws them,
// keeping several scenes of up to tens of MB each in flight: a 2M-facet mesh
// took 150 MB more at its first multisampled frame. Sent in pieces, each
// flushed, the scenes stay small, at no cost in frame time there. A GPU
// needs no such thing, and a flush costs it a submission.
int KzModel3D::PieceFacets()
{
    static QPointer<QOpenGLContext> s_context;
    static int s_nPiece = 0;
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (current != s_context) {
        s_context = current;
        const QByteArray renderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        const bool software = renderer.contains("llvmpipe") || renderer.contains("softpipe")
                              || renderer.contains("swrast");
        s_nPiece = software ? kFacetsPerPiece : 0;
    }
    return s_nPiece;
}

void KzModel3D::DrawPieces(int facets, int piece)
{
    if (piece <= 0) {
        glDrawArrays(GL_TRIANGLES, 0, 3 * facets);
        return;
    }
    for (int first = 0; first < facets; first += piece) {
        glDrawArrays(GL_TRIANGLES, 3 * first, 3 * qMin(piece, facets - first));
        glFlush();
    }
}

// With no context current that can reach them, the buffers are left alone.
void KzModel3D::DeleteBuffers()
{
    if (m_full.names.isEmpty() && m_coarse.names.isEmpty())
        return;
    if (BuffersReachable()) {
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        gl->glDeleteBuffers(m_full.names.size(), m_full.names.constData());
        if (!m_coarse.names.isEmpty())
            gl->glDeleteBuffers(m_coarse.names.size(), m_coarse.names.constData());
    } else {
        qDebug() << "model" << m_nID << ": buffers not deleted, their OpenGL context is not current";
    }
    m_full = Buffers();
    m_coarse = Buffers();
}
