#include "KLayerFeature.h"

#include "KLayerModel.h"

#include <GL/gl.h>

namespace {
const GLfloat kPathWidth = 2.0f;
const GLfloat kWideWidth = 4.0f;    // fill near the top, and every path of a single layer
const GLfloat kTravelWidth = 1.0f;
// Fill is drawn in the current layer and this many below it.
const int kFillDepth = 5;
// Points compiled into lists in one frame: a large file is compiled over a few
// frames, its other layers drawn immediately meanwhile, so no frame stalls.
const int kCompileBudget = 400000;
}

double KLayerFeature::ms_dOffsetX = 0.0;
double KLayerFeature::ms_dOffsetY = 0.0;

KLayerFeature::KLayerFeature()
    : m_pLayerModel(nullptr)
    , m_nCurrentLayer(0)
    , m_bMultiLayer(true)
    , m_bUseDisplayLists(true)
    , m_bCompiledTrimmed(false)
    , m_nCompileBudget(0)
    , m_bCompilePending(false)
{
    const QColor wall(0, 12, 200);
    const QColor skin(112, 200, 0);
    const QColor fill(200, 0, 12);
    m_mapColors.insert(PathWallOuter, wall);
    m_mapColors.insert(PathWallInner, wall);
    m_mapColors.insert(PathSkin, skin);
    m_mapColors.insert(PathSkirt, skin);
    m_mapColors.insert(PathFill, fill);
    m_mapColors.insert(PathLayerStart, skin);
    m_mapColors.insert(PathSupport, fill);
}

// The lists belong to the view's context and are released with it.
KLayerFeature::~KLayerFeature()
{
    delete m_pLayerModel;
}

void KLayerFeature::SetLayerOffset(double x, double y)
{
    ms_dOffsetX = x;
    ms_dOffsetY = y;
}

void KLayerFeature::GetLayerOffset(double& x, double& y)
{
    x = ms_dOffsetX;
    y = ms_dOffsetY;
}

void KLayerFeature::LoadLayerModel(const QString& path)
{
    ClearLayerModel();
    m_pLayerModel = new KLayerModel;
    m_pLayerModel->LoadGcode(path);
}

void KLayerFeature::ClearLayerModel()
{
    DropCompiledLayers();
    delete m_pLayerModel;
    m_pLayerModel = nullptr;
}

void KLayerFeature::SetCurrentLayer(int n)
{
    const bool valid = m_pLayerModel != nullptr && n >= 0 && n <= m_pLayerModel->GetLayerSize();
    m_nCurrentLayer = valid ? n : 0;
}

void KLayerFeature::SetMultiLayer(bool multi)
{
    m_bMultiLayer = multi;
}

int KLayerFeature::GetMaxLayer() const
{
    if (m_pLayerModel == nullptr || m_pLayerModel->GetLayerSize() == 0)
        return 0;
    return m_pLayerModel->GetLayerSize() - 1;
}

QColor KLayerFeature::GetColor(int type) const
{
    return m_mapColors.value(type, QColor(0, 0, 0));
}

void KLayerFeature::SetUseDisplayLists(bool use)
{
    m_bUseDisplayLists = use;
    if (!use)
        DropCompiledLayers();
}

void KLayerFeature::Draw()
{
    FreeStaleLists();
    m_nCompileBudget = kCompileBudget;
    m_bCompilePending = false;
    if (m_pLayerModel == nullptr)
        return;
    // Read every frame: layers appear while the file is still being read.
    const QVector<SingleLayer> layers = m_pLayerModel->GetLayers();
    if (m_bUseDisplayLists)
        SyncCompiledLayers(layers);

    glPushMatrix();
    glTranslated(ms_dOffsetX, ms_dOffsetY, 0.0);
    glEnable(GL_DEPTH_TEST);
    if (m_bMultiLayer)
        DrawMultiLayer(layers);
    else
        DrawSingleLayer(layers);
    glLineWidth(1.0f);   // the gizmo's axes draw with the current width
    glDisable(GL_DEPTH_TEST);
    glPopMatrix();
}

void KLayerFeature::DrawMultiLayer(const QVector<SingleLayer>& layers)
{
    const int n = qMin(m_nCurrentLayer + 1, layers.size());
    for (int i = 0; i < n; ++i) {
        const bool fillOn = i >= m_nCurrentLayer - kFillDepth;
        if (!m_bUseDisplayLists) {
            DrawLayerPaths(layers[i], fillOn);
            continue;
        }
        const CompiledLayer& c = Compiled(i, layers[i]);
        if (c.nBase == 0) {
            DrawLayerPaths(layers[i], fillOn);
            continue;
        }
        for (int r = 0; r < c.vecFillRun.size(); ++r) {
            if (c.vecFillRun[r] && !fillOn)
                continue;
            glLineWidth(c.vecFillRun[r] ? kWideWidth : kPathWidth);
            glCallList(c.nBase + r);
        }
    }
}

void KLayerFeature::DrawSingleLayer(const QVector<SingleLayer>& layers)
{
    if (m_nCurrentLayer >= layers.size())
        return;
    const SingleLayer& paths = layers[m_nCurrentLayer];
    const CompiledLayer* c = m_bUseDisplayLists ? &Compiled(m_nCurrentLayer, paths) : nullptr;
    glLineWidth(kWideWidth);
    if (c != nullptr && c->nBase != 0) {
        for (int r = 0; r < c->vecFillRun.size(); ++r)
            glCallList(c->nBase + r);
    } else {
        DrawAllPaths(paths);
    }
    glLineWidth(kTravelWidth);
    if (c != nullptr && c->nBase != 0)
        glCallList(c->nBase + c->vecFillRun.size());
    else
        DrawTravels(paths);
}

// One layer of the multi-layer picture in file order, widths set path by path.
void KLayerFeature::DrawLayerPaths(const SingleLayer& paths, bool fillOn) const
{
    for (const LayerPath& path : paths) {
        glLineWidth(kPathWidth);
        if (path.type == PathFill) {
            if (!fillOn)
                continue;
            glLineWidth(kWideWidth);
        }
        SetColor(path.type);
        DrawStrip(path);
    }
}

void KLayerFeature::DrawAllPaths(const SingleLayer& paths) const
{
    for (const LayerPath& path : paths) {
        SetColor(path.type);
        DrawStrip(path);
    }
}

// The travel from each path's end to the next path's start. A path without
// points (there are some only while the file is read) has no end to leave from
// or start to reach, so it makes no travel.
void KLayerFeature::DrawTravels(const SingleLayer& paths) const
{
    glColor3f(0.0f, 0.8f, 0.8f);
    glBegin(GL_LINES);
    for (int i = 1; i < paths.size(); ++i) {
        const auto& from = paths[i - 1].points;
        const auto& to = paths[i].points;
        if (from.isEmpty() || to.isEmpty())
            continue;
        const QVector3D& a = from.last();
        const QVector3D& b = to.first();
        glVertex3f(a.x(), a.y(), a.z());
        glVertex3f(b.x(), b.y(), b.z());
    }
    glEnd();
}

void KLayerFeature::DrawStrip(const LayerPath& path) const
{
    glBegin(GL_LINE_STRIP);
    for (const QVector3D& p : path.points)
        glVertex3f(p.x(), p.y(), p.z());
    glEnd();
}

void KLayerFeature::SetColor(int type) const
{
    const QColor c = GetColor(type);
    glColor3ub(GLubyte(c.red()), GLubyte(c.green()), GLubyte(c.blue()));
}

void KLayerFeature::SyncCompiledLayers(const QVector<SingleLayer>& layers)
{
    // Trimming rewrites every layer and drops the first entry; a layer that has
    // arrived does not change otherwise.
    const bool trimmed = m_pLayerModel->ReadyToRender();
    if (trimmed != m_bCompiledTrimmed || m_vecCompiled.size() > layers.size()) {
        DropCompiledLayers();
        m_bCompiledTrimmed = trimmed;
    }
    if (m_vecCompiled.size() < layers.size())
        m_vecCompiled.resize(layers.size());
}

const KLayerFeature::CompiledLayer& KLayerFeature::Compiled(int index, const SingleLayer& paths)
{
    static const CompiledLayer notYet;
    CompiledLayer& c = m_vecCompiled[index];
    if (c.bCompiled)
        return c;
    if (m_nCompileBudget <= 0) {
        m_bCompilePending = true;
        return notYet;   // drawn immediately this time
    }
    c.bCompiled = true;
    for (const LayerPath& path : paths)
        m_nCompileBudget -= path.points.size();
    for (int i = 0; i < paths.size(); ++i) {
        const bool fill = paths[i].type == PathFill;
        if (i == 0 || fill != c.vecFillRun.last())
            c.vecFillRun.append(fill);
    }
    const int runs = c.vecFillRun.size();
    c.nBase = glGenLists(runs + 1);
    if (c.nBase == 0)
        return c;   // no lists to be had: this layer is drawn immediately
    int run = -1;
    for (int i = 0; i < paths.size(); ++i) {
        const bool fill = paths[i].type == PathFill;
        if (i == 0 || fill != (paths[i - 1].type == PathFill)) {
            if (run >= 0)
                glEndList();
            glNewList(c.nBase + ++run, GL_COMPILE);
        }
        // The colour goes inside the strip: with no state change between
        // strips, the driver keeps a run's strips in one draw.
        glBegin(GL_LINE_STRIP);
        SetColor(paths[i].type);
        for (const QVector3D& p : paths[i].points)
            glVertex3f(p.x(), p.y(), p.z());
        glEnd();
    }
    if (run >= 0)
        glEndList();
    glNewList(c.nBase + runs, GL_COMPILE);
    DrawTravels(paths);
    glEndList();
    return c;
}

void KLayerFeature::DropCompiledLayers()
{
    for (const CompiledLayer& c : qAsConst(m_vecCompiled)) {
        if (c.nBase != 0)
            m_vecStale.append(qMakePair(c.nBase, c.vecFillRun.size() + 1));
    }
    m_vecCompiled.clear();
}

void KLayerFeature::FreeStaleLists()
{
    for (const auto& lists : qAsConst(m_vecStale))
        glDeleteLists(lists.first, lists.second);
    m_vecStale.clear();
}
