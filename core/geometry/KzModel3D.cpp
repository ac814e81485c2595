#include "KzModel3D.h"

#include "KzCoarseMesh.h"
#include "KzHugePages.h"
#include "KzModelLoader.h"

#include <QDebug>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <utility>

namespace {
const int kFacetsPerList = 10000;
const int kChunksAhead = 4;   // how far the reader may run ahead of the lists
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
    : m_pLoader(new KzModelLoader), m_facetQueue(kFacetsPerList, kChunksAhead), m_nReference(0),
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
    DeleteDisplayLists();
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
    DeleteDisplayLists();
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
    if (m_coarseThread.joinable() || m_bCoarseReady || Count() <= ms_nReducedAbove || m_vecDisplayList.isEmpty())
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
QVector<unsigned int> KzModel3D::GetReducedDisplayList()
{
    if (m_nCoarseList == 0)
        StartCoarse();
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (m_nCoarseList == 0 && m_bCoarseReady && current && m_pListContext
        && QOpenGLContext::areSharing(current, m_pListContext)) {
        m_coarseThread.join();
        m_nCoarseList = glGenLists(1);
        glNewList(m_nCoarseList, GL_COMPILE);
        CompileFacets(m_vecCoarse.constData(), m_vecCoarse.size());
        glEndList();
        m_vecCoarse = QVector<KzTriangle3D>();
        m_bCoarseReady = false;
    }
    if (m_nCoarseList != 0)
        return {m_nCoarseList};
    return m_vecDisplayList;
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

// Still on the reading thread, while the last lists are compiled: the
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

// Compiling a chunk's list while the reader parses the next one hides most of
// the parse behind the compile. The chunks are exactly one list's facets, so
// the lists come out as CompileDisplayLists makes them. A model loaded a
// second time has its lists compiled again, all at once, at the end.
void KzModel3D::ReceiveFacets(bool fresh)
{
    QOpenGLContext* context = fresh ? QOpenGLContext::currentContext() : nullptr;
    QVector<KzTriangle3D> chunk;
    while (m_facetQueue.Take(chunk)) {
        if (context)
            CompileList(chunk.constData(), chunk.size());
        m_facetQueue.Recycle(std::move(chunk));
    }
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
    if (!context) {
        CompileDisplayLists();
    } else if (m_vecTriangles.size() % kFacetsPerList == 0) {
        m_vecDisplayList.append(glGenLists(1));   // the trailing empty name, as CompileDisplayLists leaves it
    }
}

void KzModel3D::CompileList(const KzTriangle3D* tri, int count)
{
    m_pListContext = QOpenGLContext::currentContext();
    const GLuint name = glGenLists(1);
    m_vecDisplayList.append(name);
    glNewList(name, GL_COMPILE);
    CompileFacets(tri, count);
    glEndList();
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

// At most 10000 facets per list; n facets always get n / 10000 + 1 names, so
// when n is a multiple of 10000 the last name stays empty.
void KzModel3D::CompileDisplayLists()
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) {
        qDebug() << "no current OpenGL context: model" << m_nID << "has no display lists";
        return;
    }
    const int n = m_vecTriangles.size();
    for (int first = 0; first < n; first += kFacetsPerList)
        CompileList(m_vecTriangles.constData() + first, qMin(n - first, kFacetsPerList));
    if (n % kFacetsPerList == 0)
        m_vecDisplayList.append(glGenLists(1));
    m_pListContext = context;
}

// One begin/end pair around all the facets of a list draws the same triangles,
// normals and order as one pair per facet, but Mesa compiles it about twice as
// fast: it keeps a primitive record per pair and merges them all again when
// the list ends (bench/open measures both).
void KzModel3D::CompileFacets(const KzTriangle3D* tri, int count)
{
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < count; ++i) {
        const QVector3D normal = tri[i].GetNormal();
        glNormal3f(normal.x(), normal.y(), normal.z());
        for (int c = 0; c < 3; ++c)
            glVertex3f(tri[i][c].x(), tri[i][c].y(), tri[i][c].z());
    }
    glEnd();
}

// Lists belong to the context that compiled them (and those sharing with it);
// with no such context current they cannot be reached and are left alone.
void KzModel3D::DeleteDisplayLists()
{
    if (m_vecDisplayList.isEmpty())
        return;
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (current && m_pListContext && QOpenGLContext::areSharing(current, m_pListContext)) {
        for (unsigned int name : qAsConst(m_vecDisplayList))
            glDeleteLists(name, 1);
        if (m_nCoarseList != 0)
            glDeleteLists(m_nCoarseList, 1);
    } else {
        qDebug() << "model" << m_nID << ": display lists not deleted, their OpenGL context is not current";
    }
    m_vecDisplayList.clear();
    m_nCoarseList = 0;
}
