#include "KzModel3D.h"

#include "KzHugePages.h"
#include "KzModelLoader.h"

#include <QDebug>
#include <QOpenGLContext>

#include <GL/gl.h>

namespace {
const int kFacetsPerList = 10000;
}

qint32 KzModel3D::ms_nModelCount = 0;

KzModel3D::KzModel3D()
    : m_pLoader(new KzModelLoader), m_nReference(0), m_nID(++ms_nModelCount), m_bReady(false),
      m_vCenter(0, 0, 0), m_vMaxBound(0, 0, 0), m_vMinBound(0, 0, 0)
{
    connect(this, &KzModel3D::signal_StartLoad, m_pLoader, &KzModelLoader::slot_StartLoad);
    connect(m_pLoader, &KzModelLoader::signal_FacetsExpected, this, &KzModel3D::slot_FacetsExpected);
    connect(m_pLoader, &KzModelLoader::signal_TriangleReady, this, &KzModel3D::slot_TriangleReady);
    connect(m_pLoader, &KzModelLoader::signal_LoadComplete, this, &KzModel3D::slot_LoadComplete);
    connect(&m_loadThread, &QThread::finished, m_pLoader, &QObject::deleteLater);
}

KzModel3D::~KzModel3D()
{
    if (m_loadThread.isRunning())
        m_pLoader->m_bStop = true;
    m_loadThread.quit();
    m_loadThread.wait();
    // Deleting the loader here also frees it after a failed load, when the
    // thread never ran; it drops the deleteLater that 'finished' queued.
    delete m_pLoader;
    DeleteDisplayLists();
}

bool KzModel3D::LoadSTLFile(QString path)
{
    m_pLoader->m_strFileName = path;
    m_pLoader->CheckFileType();
    if (!m_pLoader->m_bValid)
        return false;
    m_loadThread.start(QThread::InheritPriority);
    emit signal_StartLoad();   // direct: the whole file is read before this returns
    m_strFileName = path;
    return true;
}

void KzModel3D::slot_FacetsExpected(int count)
{
    m_vecTriangles.reserve(m_vecTriangles.size() + count);
    KzHugePages::Advise(m_vecTriangles.constData(), size_t(m_vecTriangles.capacity()) * sizeof(KzTriangle3D));
}

void KzModel3D::slot_TriangleReady(KzTriangle3D tri)
{
    m_vecTriangles.append(tri);
}

void KzModel3D::slot_LoadComplete()
{
    UpdataData();
    m_bReady = true;
}

void KzModel3D::UpdataData()
{
    DeleteDisplayLists();
    if (m_vecTriangles.isEmpty())
        return;
    UpdateBounds();
    CompileDisplayLists();
}

void KzModel3D::UpdateBounds()
{
    m_vMinBound = m_vMaxBound = m_vecTriangles.at(0)[0];
    for (const KzTriangle3D& tri : qAsConst(m_vecTriangles)) {
        for (int c = 0; c < 3; ++c) {
            const QVector3D& v = tri[c];
            for (int axis = 0; axis < 3; ++axis) {
                if (v[axis] > m_vMaxBound[axis])
                    m_vMaxBound[axis] = v[axis];
                if (!(v[axis] > m_vMinBound[axis]))
                    m_vMinBound[axis] = v[axis];
            }
        }
    }
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
    m_pListContext = context;
    const int n = m_vecTriangles.size();
    for (int i = 0; i <= n / kFacetsPerList; ++i)
        m_vecDisplayList.append(glGenLists(1));
    for (int first = 0; first < n; first += kFacetsPerList) {
        glNewList(m_vecDisplayList.at(first / kFacetsPerList), GL_COMPILE);
        CompileFacets(first, qMin(n, first + kFacetsPerList));
        glEndList();
    }
}

// One begin/end pair around all the facets of a list draws the same triangles,
// normals and order as one pair per facet, but Mesa compiles it about twice as
// fast: it keeps a primitive record per pair and merges them all again when
// the list ends (bench/open measures both).
void KzModel3D::CompileFacets(int first, int end) const
{
    const KzTriangle3D* tri = m_vecTriangles.constData();
    glBegin(GL_TRIANGLES);
    for (int i = first; i < end; ++i) {
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
    } else {
        qDebug() << "model" << m_nID << ": display lists not deleted, their OpenGL context is not current";
    }
    m_vecDisplayList.clear();
}
