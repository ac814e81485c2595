#ifndef KLAYERFEATURE_H
#define KLAYERFEATURE_H

#include "Kz3DPainter.h"
#include "SingleLayer.h"

#include <QColor>
#include <QMap>
#include <QPair>
#include <QRect>
#include <QString>
#include <QVector>

class KLayerModel;
class QOpenGLFramebufferObject;

// The sliced layers of the preview: every layer's tool paths as polylines in the
// colour of their feature, either all layers up to the current one (fill only
// near the top, so the inside of the print stays readable) or the current layer
// alone with its travel moves. Layers are drawn while the file is still read.
//
// A print of a few hours has millions of points, too many to send every frame.
// Each layer that has arrived is put once into a buffer object: its points as
// three floats each (12 bytes a point, less than half of what the layer model
// holds for it), a strip per path, and the paths in runs of one type. A run is
// one multi-draw, so the paths keep their file order while the fill rule, the
// line widths, the colours and the legend's hidden types stay outside the
// buffer. (Display lists drew no faster on the software renderer and cost some
// 160 bytes a point.) The buffers are rebuilt only when the layers change:
// when the model trims them after reading, or for a new file.
//
// Drawing them is most of a frame even from lists. While the camera rests, the
// multi-layer picture of the layers below the fill window is kept (every sample
// with its depth) and copied back in the next frame, which then draws only the
// layers above it. This relies on the frame holding the same picture (the
// view's background) when the layers start.
class KZGLVIEW_EXPORT KLayerFeature : public Kz3DPainter
{
public:
    KLayerFeature();
    ~KLayerFeature() override;

    void Draw() override;

    // Starts reading a G-code file into a new layer model; the old one goes.
    void LoadLayerModel(const QString& path);
    void ClearLayerModel();
    // Layer 0 when n lies outside 0..layer count (n == count shows all layers).
    void SetCurrentLayer(int n);
    void SetMultiLayer(bool multi);
    // Layer count - 1, or 0 without layers.
    int GetMaxLayer() const;

    int GetCurrentLayer() const { return m_nCurrentLayer; }
    bool IsMultiLayer() const { return m_bMultiLayer; }
    KLayerModel* GetLayerModel() const { return m_pLayerModel; }
    // The colour of a path type; black for a type without one.
    QColor GetColor(int type) const;
    // The colour of the travel moves of a single layer.
    static QColor GetTravelColor() { return QColor(0, 204, 204); }

    // What the legend switches: each path type, and the travel moves drawn
    // with a single layer. Hidden ones are left out of the picture; the
    // choice outlives the layer model, as the current layer does.
    static constexpr int ms_nTravel = 7;
    void SetTypeShown(int type, bool shown);
    bool IsTypeShown(int type) const;
    // The path types found in the layers read so far, a bit (1 << type) each.
    unsigned int GetPresentTypes() const { return m_nPresentTypes; }
    // The height the layer prints at, from the G-code's own Z moves: the Z of
    // most of its points on extruded paths (a layer ends with the move up to
    // the next one). -1 for a layer without extruded paths or out of range.
    double GetLayerZ(int index) const;
    // The print time in seconds at the end of a layer, from the engine's
    // comments; -1 when the G-code gives none.
    double GetLayerElapsed(int index) const;

    // Off draws every frame in immediate mode, as a reference for the compiled way.
    void SetUseDisplayLists(bool use);
    // Off draws every layer in every frame, as a reference for the saved picture
    // of the layers below the fill window.
    void SetUseSavedFrame(bool use);
    // While the camera moves, the layers below the fill window are drawn by
    // their outer walls only; the next frame at rest is the full picture.
    void SetReduced(bool reduced) { m_bReduced = reduced; }
    int GetSavedLayers() const { return m_nSavedLayers; }
    // What the buffers and their path tables of the compiled layers hold, in bytes.
    qint64 GetDrawingBytes() const;
    // The last frame left layers to compile: another frame will compile more.
    bool IsCompilePending() const { return m_bCompilePending; }

    // From the engine's coordinates (origin at a bed corner) to the plate's
    // (origin at its centre); one offset for the whole view library.
    static void SetLayerOffset(double x, double y);
    static void GetLayerOffset(double& x, double& y);

private:
    // One layer in a buffer object: its points, path after path, three
    // floats each; a strip per path; the paths in runs of one type (so a
    // hidden type is left out without changing the order of the others).
    struct CompiledLayer
    {
        bool bCompiled = false;
        unsigned int nBuffer = 0;    // 0 when there is none: drawn immediately
        QVector<int> vecRunType;     // per run: the type of its paths
        QVector<int> vecRunStart;    // per run: its first path; then the path count
        QVector<int> vecFirst;       // per path: its first point in the buffer
        QVector<int> vecCount;       // per path: its points
    };
    typedef void (*MultiDrawArrays)(unsigned int mode, const int* first, const int* count, int drawcount);

    void DrawMultiLayer(const QVector<SingleLayer>& layers);
    void DrawSingleLayer(const QVector<SingleLayer>& layers);
    void DrawLayer(int index, const SingleLayer& paths, bool fillOn, bool outline = false);
    void DrawRuns(const CompiledLayer& c, bool fillOn, bool wide, bool outline = false) const;
    bool ResolveMultiDraw();
    void DrawLayerPaths(const SingleLayer& paths, bool fillOn, bool outline = false) const;
    bool IsDrawn(int type, bool outline) const;
    void DrawReducedLayers(const QVector<SingleLayer>& layers, int n, int still);
    void DrawAllPaths(const SingleLayer& paths) const;
    void DrawTravels(const SingleLayer& paths) const;
    void DrawStrip(const LayerPath& path) const;
    void SetColor(int type) const;

    // Lists follow the layers: dropped when the model trims or changes.
    void SyncCompiledLayers(const QVector<SingleLayer>& layers);
    void ScanTypes(const QVector<SingleLayer>& layers);
    const CompiledLayer& Compiled(int index, const SingleLayer& paths);
    void DropCompiledLayers();
    void FreeStaleLists();

    // What a saved picture was drawn under.
    struct FrameKey
    {
        QMatrix4x4 modelView;
        QMatrix4x4 projection;
        QRect viewport;
        int nSamples = 0;
        int nModel = -1;
        bool bTrimmed = false;
        unsigned int nHidden = 0;
        bool operator==(const FrameKey& o) const;
    };
    FrameKey CurrentFrameKey() const;
    // The layers the restored picture holds (0 when none could be restored).
    int RestoreFrame(const FrameKey& key, int still);
    void SaveFrame(int layers);
    static unsigned int CurrentFramebuffer();
    static void CopyFrame(unsigned int from, unsigned int to, const QRect& viewport);

    KLayerModel* m_pLayerModel;
    QMap<int, QColor> m_mapColors;
    int m_nCurrentLayer;
    bool m_bMultiLayer;
    unsigned int m_nHiddenTypes;        // a bit (1 << type) for each hidden one
    unsigned int m_nPresentTypes;
    int m_nTypesScanned;                // layers whose types are in m_nPresentTypes
    bool m_bTypesTrimmed;               // ... of the trimmed layers

    bool m_bUseDisplayLists;
    QVector<CompiledLayer> m_vecCompiled;
    MultiDrawArrays m_pMultiDrawArrays;
    bool m_bCompiledTrimmed;            // the lists hold the trimmed layers
    int m_nCompileBudget;               // points this frame may still compile
    bool m_bCompilePending;
    bool m_bUseSavedFrame;
    bool m_bReduced = false;
    QOpenGLFramebufferObject* m_pSavedFrame;
    FrameKey m_savedKey;
    FrameKey m_lastKey;                 // of the last multi-layer frame
    int m_nSavedLayers;                 // layers in the saved picture, 0 for none
    int m_nModelSerial;                 // counts the layer models shown
    // Buffers to free in the next frame, when the context is current.
    QVector<unsigned int> m_vecStale;

    static double ms_dOffsetX;
    static double ms_dOffsetY;
};

#endif // KLAYERFEATURE_H
