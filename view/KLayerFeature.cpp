#include "KLayerFeature.h"

#include "KLayerModel.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include <GL/gl.h>

#include <vector>

namespace {
const GLfloat kPathWidth = 2.0f;
const GLfloat kWideWidth = 4.0f;    // fill near the top, and every path of a single layer
const GLfloat kTravelWidth = 1.0f;
// Fill is drawn in the current layer and this many below it.
const int kFillDepth = 5;
// Points compiled into lists in one frame: a large file is compiled over a few
// frames, its other layers drawn immediately meanwhile, so no frame stalls.
const int kCompileBudget = 400000;
// The saved picture holds the layers up to this many below the fill window, so
// moving the current layer down a little still finds them there.
const int kSavedMargin = 32;
}

double KLayerFeature::ms_dOffsetX = 0.0;
double KLayerFeature::ms_dOffsetY = 0.0;

KLayerFeature::KLayerFeature()
    : m_pLayerModel(nullptr)
    , m_nCurrentLayer(0)
    , m_bMultiLayer(true)
    , m_nHiddenTypes(0)
    , m_nPresentTypes(0)
    , m_nTypesScanned(0)
    , m_bTypesTrimmed(false)
    , m_bUseDisplayLists(true)
    , m_pMultiDrawArrays(nullptr)
    , m_bCompiledTrimmed(false)
    , m_nCompileBudget(0)
    , m_bCompilePending(false)
    , m_bUseSavedFrame(true)
    , m_pSavedFrame(nullptr)
    , m_nSavedLayers(0)
    , m_nModelSerial(0)
{
    const QColor wall(0, 12, 200);
    const QColor skin(112, 200, 0);
    const QColor fill(200, 0, 12);
    const QColor support(235, 150, 0);   // apart from fill: support is seen at a glance
    m_mapColors.insert(PathWallOuter, wall);
    m_mapColors.insert(PathWallInner, wall);
    m_mapColors.insert(PathSkin, skin);
    m_mapColors.insert(PathSkirt, skin);
    m_mapColors.insert(PathFill, fill);
    m_mapColors.insert(PathLayerStart, skin);
    m_mapColors.insert(PathSupport, support);
}

// The lists belong to the view's context and are released with it.
KLayerFeature::~KLayerFeature()
{
    delete m_pLayerModel;
    delete m_pSavedFrame;   // the view's context is current as it goes
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
    ++m_nModelSerial;   // a new model may come at the old one's address
    m_nSavedLayers = 0;
    DropCompiledLayers();
    delete m_pLayerModel;
    m_pLayerModel = nullptr;
    m_nPresentTypes = 0;
    m_nTypesScanned = 0;
    m_bTypesTrimmed = false;
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

void KLayerFeature::SetTypeShown(int type, bool shown)
{
    if (type < 0 || type > ms_nTravel)
        return;
    const unsigned int bit = 1u << type;
    m_nHiddenTypes = shown ? (m_nHiddenTypes & ~bit) : (m_nHiddenTypes | bit);
}

bool KLayerFeature::IsTypeShown(int type) const
{
    return type < 0 || type > ms_nTravel || (m_nHiddenTypes & (1u << type)) == 0;
}

double KLayerFeature::GetLayerZ(int index) const
{
    if (m_pLayerModel == nullptr || index < 0 || index >= m_pLayerModel->GetLayerSize())
        return -1.0;
    const SingleLayer paths = m_pLayerModel->GetLayers().at(index);
    // Points per height: the layer's own height has nearly all of them.
    QMap<float, int> counts;
    for (const LayerPath& path : paths) {
        if (path.points.size() >= 2)
            counts[path.points.first().z()] += path.points.size();
    }
    float z = -1.0f;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            z = it.key();
        }
    }
    return z;
}

double KLayerFeature::GetLayerElapsed(int index) const
{
    return m_pLayerModel != nullptr ? m_pLayerModel->GetLayerElapsed(index) : -1.0;
}

void KLayerFeature::SetUseDisplayLists(bool use)
{
    m_bUseDisplayLists = use;
    m_nSavedLayers = 0;
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
    ScanTypes(layers);
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
    // Below the fill window a layer looks the same whatever the current layer.
    const int still = qBound(0, m_nCurrentLayer - kFillDepth, n);
    if (m_bReduced) {
        DrawReducedLayers(layers, n, still);
        return;
    }
    int first = 0;
    int save = -1;
    if (m_bUseSavedFrame) {
        const FrameKey key = CurrentFrameKey();
        first = RestoreFrame(key, still);
        // Saving stalls the frame until what came before is drawn: not while
        // the camera moves from frame to frame, as when the view is turned.
        const int target = still - kSavedMargin;
        const bool resting = key == m_lastKey;
        m_lastKey = key;
        if (resting && target > first && (first == 0 || first < still - 2 * kSavedMargin))
            save = target;
    }
    for (int i = first; i < n; ++i) {
        if (i == save)
            SaveFrame(i);
        DrawLayer(i, layers[i], i >= m_nCurrentLayer - kFillDepth);
    }
}

// A turning frame: the lower layers' outer walls keep the print's shape at a
// fraction of its paths. A kept full picture from this very camera still
// serves; nothing reduced is ever kept, and the camera's last resting place
// stays what the next frame at rest is compared with.
void KLayerFeature::DrawReducedLayers(const QVector<SingleLayer>& layers, int n, int still)
{
    const int first = m_bUseSavedFrame ? RestoreFrame(CurrentFrameKey(), still) : 0;
    for (int i = first; i < n; ++i)
        DrawLayer(i, layers[i], i >= m_nCurrentLayer - kFillDepth, i < still);
}

void KLayerFeature::DrawLayer(int index, const SingleLayer& paths, bool fillOn, bool outline)
{
    if (!m_bUseDisplayLists) {
        DrawLayerPaths(paths, fillOn, outline);
        return;
    }
    const CompiledLayer& c = Compiled(index, paths);
    if (c.nBuffer == 0) {
        DrawLayerPaths(paths, fillOn, outline);
        return;
    }
    DrawRuns(c, fillOn, false, outline);
}

bool KLayerFeature::IsDrawn(int type, bool outline) const
{
    return IsTypeShown(type) && (!outline || type == PathWallOuter);
}

// The runs of a compiled layer from its buffer: one multi-draw per run, its
// strips in file order, the colour and width set between runs.
void KLayerFeature::DrawRuns(const CompiledLayer& c, bool fillOn, bool wide, bool outline) const
{
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    gl->glBindBuffer(GL_ARRAY_BUFFER, c.nBuffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    for (int r = 0; r < c.vecRunType.size(); ++r) {
        const int type = c.vecRunType[r];
        const bool fill = type == PathFill;
        if ((fill && !fillOn) || !IsDrawn(type, outline))
            continue;
        glLineWidth(wide || fill ? kWideWidth : kPathWidth);
        SetColor(type);
        const int first = c.vecRunStart[r];
        m_pMultiDrawArrays(GL_LINE_STRIP, c.vecFirst.constData() + first, c.vecCount.constData() + first,
                           c.vecRunStart[r + 1] - first);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// ---- The saved picture of the lower layers ----
//
// Orbiting needs every layer drawn again, but while the camera rests (moving
// the current layer, a new layer arriving, any other repaint) the layers below
// the fill window do not change. The frame's samples and depths after drawing
// them are kept, with what they were drawn under, and copied back when the
// next frame would draw the same; then only the layers above them are drawn.
// The copy is of every sample, so the picture is the same as drawing all.

KLayerFeature::FrameKey KLayerFeature::CurrentFrameKey() const
{
    FrameKey key;
    glGetFloatv(GL_MODELVIEW_MATRIX, key.modelView.data());
    glGetFloatv(GL_PROJECTION_MATRIX, key.projection.data());
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    key.viewport = QRect(viewport[0], viewport[1], viewport[2], viewport[3]);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    key.nSamples = samples;
    key.nModel = m_nModelSerial;
    key.bTrimmed = m_pLayerModel->ReadyToRender();
    key.nHidden = m_nHiddenTypes;
    return key;
}

bool KLayerFeature::FrameKey::operator==(const FrameKey& o) const
{
    return modelView == o.modelView && projection == o.projection && viewport == o.viewport
           && nSamples == o.nSamples && nModel == o.nModel && bTrimmed == o.bTrimmed
           && nHidden == o.nHidden;
}

int KLayerFeature::RestoreFrame(const FrameKey& key, int still)
{
    if (m_pSavedFrame == nullptr || m_nSavedLayers == 0 || m_nSavedLayers > still)
        return 0;
    if (!(key == m_savedKey))
        return 0;
    const unsigned int frame = CurrentFramebuffer();
    CopyFrame(m_pSavedFrame->handle(), frame, key.viewport);
    QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_FRAMEBUFFER, frame);
    return m_nSavedLayers;
}

void KLayerFeature::SaveFrame(int layers)
{
    const FrameKey key = CurrentFrameKey();
    // Creating a framebuffer object changes the binding: note the frame's first.
    const unsigned int frame = CurrentFramebuffer();
    const QSize size = key.viewport.size();
    if (m_pSavedFrame == nullptr || m_pSavedFrame->size() != size || m_pSavedFrame->format().samples() != key.nSamples) {
        delete m_pSavedFrame;
        QOpenGLFramebufferObjectFormat format;
        format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
        format.setSamples(key.nSamples);
        m_pSavedFrame = new QOpenGLFramebufferObject(size, format);
        QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_FRAMEBUFFER, frame);
    }
    m_nSavedLayers = 0;
    if (!m_pSavedFrame->isValid())
        return;
    CopyFrame(frame, m_pSavedFrame->handle(), key.viewport);
    QOpenGLContext::currentContext()->extraFunctions()->glBindFramebuffer(GL_FRAMEBUFFER, frame);
    m_savedKey = key;
    m_nSavedLayers = layers;
}

unsigned int KLayerFeature::CurrentFramebuffer()
{
    GLint frame = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &frame);
    return unsigned(frame);
}

// Copies colour, depth and stencil of every sample from one framebuffer to
// another; the caller binds the frame again.
void KLayerFeature::CopyFrame(unsigned int from, unsigned int to, const QRect& r)
{
    QOpenGLExtraFunctions* gl = QOpenGLContext::currentContext()->extraFunctions();
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl->glBlitFramebuffer(r.x(), r.y(), r.x() + r.width(), r.y() + r.height(), r.x(), r.y(),
                          r.x() + r.width(), r.y() + r.height(),
                          GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, GL_NEAREST);
}

void KLayerFeature::SetUseSavedFrame(bool use)
{
    m_bUseSavedFrame = use;
    m_nSavedLayers = 0;
}

void KLayerFeature::DrawSingleLayer(const QVector<SingleLayer>& layers)
{
    if (m_nCurrentLayer >= layers.size())
        return;
    const SingleLayer& paths = layers[m_nCurrentLayer];
    const CompiledLayer* c = m_bUseDisplayLists ? &Compiled(m_nCurrentLayer, paths) : nullptr;
    glLineWidth(kWideWidth);
    if (c != nullptr && c->nBuffer != 0)
        DrawRuns(*c, true, true);
    else
        DrawAllPaths(paths);
    // One layer's travels are few: drawn as they are, not kept.
    if (!IsTypeShown(ms_nTravel))
        return;
    glLineWidth(kTravelWidth);
    DrawTravels(paths);
}

// One layer of the multi-layer picture in file order, widths set path by path.
void KLayerFeature::DrawLayerPaths(const SingleLayer& paths, bool fillOn, bool outline) const
{
    for (const LayerPath& path : paths) {
        if (!IsDrawn(path.type, outline))
            continue;
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
        if (!IsTypeShown(path.type))
            continue;
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

// Layers arrive whole, so each is looked at once; trimming takes paths away,
// so the trimmed layers are looked at again.
void KLayerFeature::ScanTypes(const QVector<SingleLayer>& layers)
{
    const bool trimmed = m_pLayerModel->ReadyToRender();
    if (trimmed != m_bTypesTrimmed) {
        m_nPresentTypes = 0;
        m_nTypesScanned = 0;
        m_bTypesTrimmed = trimmed;
    }
    for (; m_nTypesScanned < layers.size(); ++m_nTypesScanned) {
        for (const LayerPath& path : layers[m_nTypesScanned]) {
            if (path.points.size() >= 2 && path.type >= 0 && path.type < ms_nTravel)
                m_nPresentTypes |= 1u << path.type;
        }
    }
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
    // Every point of the layer once, path after path; a strip per path.
    int points = 0;
    for (const LayerPath& path : paths)
        points += path.points.size();
    m_nCompileBudget -= points;
    if (!ResolveMultiDraw() || points == 0)
        return c;   // drawn immediately
    std::vector<float> vertices;
    vertices.reserve(size_t(points) * 3);
    c.vecFirst.reserve(paths.size());
    c.vecCount.reserve(paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        if (i == 0 || paths[i].type != paths[i - 1].type) {
            c.vecRunType.append(paths[i].type);
            c.vecRunStart.append(i);
        }
        c.vecFirst.append(GLint(vertices.size() / 3));
        c.vecCount.append(GLsizei(paths[i].points.size()));
        for (const QVector3D& p : paths[i].points) {
            vertices.push_back(p.x());
            vertices.push_back(p.y());
            vertices.push_back(p.z());
        }
    }
    c.vecRunStart.append(paths.size());
    QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
    GLuint buffer = 0;
    gl->glGenBuffers(1, &buffer);
    if (buffer == 0)
        return c;
    gl->glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    c.nBuffer = buffer;
    return c;
}

qint64 KLayerFeature::GetDrawingBytes() const
{
    qint64 bytes = 0;
    for (const CompiledLayer& c : m_vecCompiled) {
        if (c.nBuffer != 0)
            bytes += qint64(c.vecFirst.isEmpty() ? 0 : c.vecFirst.last() + c.vecCount.last()) * 3 * sizeof(float);
        bytes += qint64(sizeof(CompiledLayer))
                 + qint64(sizeof(int)) * (c.vecRunType.capacity() + c.vecRunStart.capacity() + c.vecFirst.capacity()
                                          + c.vecCount.capacity());
    }
    return bytes;
}

// glMultiDrawArrays (OpenGL 1.4) is not among Qt's common functions.
bool KLayerFeature::ResolveMultiDraw()
{
    if (m_pMultiDrawArrays == nullptr) {
        m_pMultiDrawArrays = reinterpret_cast<MultiDrawArrays>(
            QOpenGLContext::currentContext()->getProcAddress("glMultiDrawArrays"));
    }
    return m_pMultiDrawArrays != nullptr;
}

void KLayerFeature::DropCompiledLayers()
{
    for (const CompiledLayer& c : qAsConst(m_vecCompiled)) {
        if (c.nBuffer != 0)
            m_vecStale.append(c.nBuffer);
    }
    m_vecCompiled.clear();
}

void KLayerFeature::FreeStaleLists()
{
    if (!m_vecStale.isEmpty())
        QOpenGLContext::currentContext()->functions()->glDeleteBuffers(m_vecStale.size(), m_vecStale.constData());
    m_vecStale.clear();
}
