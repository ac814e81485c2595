#ifndef KZGLVIEW_H
#define KZGLVIEW_H

#include "Kz3DScene.h"
#include "KzCamera.h"
#include "KzGLViewGlobal.h"
#include "KzLoadReport.h"
#include "KzPlateCommand.h"
#include "KzXYZPainter.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPoint>
#include <QSurfaceFormat>
#include <QTimer>
#include <QUndoStack>
#include <QVariant>
#include <QVector2D>
#include <QVector3D>
#include <QMatrix4x4>

class QPainter;

// The 3D view of the build plate. It repaints itself every 16 ms: a grey gradient,
// the scene drawn with the fixed-function pipeline, and the axes gizmo.
// Right-drag orbits, left-drag on empty space pans, the wheel zooms.
class KZGLVIEW_EXPORT KzGLView : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT

public:
    explicit KzGLView(QWidget* parent = nullptr);
    ~KzGLView() override;

    // The surface the drawing expects: a compatibility profile (fixed-function
    // pipeline) with 4 samples and a depth buffer. Set it as the default format
    // before the first view is created.
    static QSurfaceFormat DefaultSurfaceFormat();

    // Frames drawn so far (the frame timer skips frames that would not change).
    int GetFrameCount() const { return m_nFrameCount; }
    // Whether the last frame was a reduced one: while the camera moves (a
    // drag or the wheel) frames go without multisampling and large meshes
    // are drawn coarser; SettleMs after the last such input the full picture
    // is drawn again. The first frame after opening a large mesh goes
    // without multisampling too (the whole mesh, no coarse form), so that
    // the model shows sooner; the full picture follows at once.
    bool IsReducedFrame() const { return m_bLastFrameReduced; }
    static int SettleMs();

    // Layer preview. Entering reads the slicing's G-code into a new layer model
    // (layers appear as they are read) and shows it instead of the models;
    // leaving drops the layers and announces that there is no G-code to save.
    void EnterLayerMode();
    void QuitLayerMode();
    void ClearLayerModel();
    void SetCurrentLayer(int layer);
    void SetEnableMultiLayer(bool multi);
    bool IsLayerMode() const { return m_bLayerMode; }
    // Shows or hides one path type of the layers (or, with
    // KLayerFeature::ms_nTravel, the travel moves of a single layer).
    void SetLayerTypeShown(int type, bool shown);
    // The layers shown, for what the layer panel tells about them.
    const KLayerFeature& GetLayerPreview() const;

    // Model files. Opening leaves layer mode and selects the new instance; a
    // path already loaded (compared exactly) shares its mesh. A file that is
    // not fit for the plate is refused and changes nothing on it. Every open
    // ends with signal_LoadReported, also one that came by a drop. A 3MF
    // package (".3mf") puts all its build items on the plate and selects the
    // first (KzPlate::AddPackageFile).
    bool OpenSTLFile(QString path);
    const KzLoadReport& GetLoadReport() const { return m_loadReport; }
    bool RemoveCurrentModel();
    // Every instance as one binary STL in plate coordinates, or, for a name
    // ending in ".3mf", as a 3MF package (Kz3mfPlate); the group's centre is
    // stored in the configuration store as the models' position.
    bool SaveAllModel(QString path);
    // The first loaded model's file name without folder and suffixes.
    QString GetSaveSDName() const;
    // Every instance inside the machine's print bound in x, y and height.
    bool AreAllModelsInBound() const;
    // Clears the selection and announces it; no model is removed.
    void ClearModelPainter();
    bool HasSelection() const { return m_scene.GetCurrentPainter() != nullptr; }
    bool HasModels() const { return !m_scene.GetPainters().isEmpty(); }

    // Every change to the plate (open, remove, each edit with the push-apart
    // it caused, duplicate, arrange, nudge) is one step on the undo stack; a
    // burst of numeric edits from one field is one step. Undo and redo put
    // every instance back bit for bit and announce the selection. The plate
    // cannot be changed while the layers are shown: these do nothing then.
    QUndoStack* GetUndoStack() { return &m_undoStack; }
    bool Undo();
    bool Redo();
    // A copy of the selected instance beside the others, selected.
    bool DuplicateCurrentModel();
    // Every instance placed again, the largest footprint first, the group
    // centred on the plate.
    bool ArrangeModels();
    // Moves the selected instance along the plate axis that runs closest to
    // the arrow's direction on the screen, and pushes the others apart.
    bool NudgeCurrentModel(Qt::ArrowType direction, float millimetres);
    // Every change recorded from the begin to the end is one undo step (the
    // files of one drop or one open dialog); a batch that changed nothing
    // leaves no step. A new printer empties the history, the batch's step
    // with it; what the batch changes after that is a step of its own.
    void BeginPlateBatch(const QString& text);
    void EndPlateBatch();

    // The files the view takes by name: STL and OBJ, by their suffix in any
    // case. A drag is accepted when it brings at least one.
    static QStringList ModelSuffixes();
    static bool IsModelFile(const QString& path);

public slots:
    // Takes the build volume and the view scale of the machine now selected in
    // the configuration store.
    void slot_ReloadSize();
    // Back to the default camera; the machine's view scale is kept.
    void slot_ResetView();
    // Edit lists from the edit widgets: [code, values...]; see m_mapEditCommand.
    void slot_ReceiveEditList(QList<QVariant> editList);

signals:
    void signal_SendEditList(QList<QVariant> editList);
    void signal_ShowHideEditControl(bool bShow);
    void signal_MaxLayerChanged(int);
    void signal_ModelClicked();
    void signal_DisableSaveGCode();
    // What the last open came to: refused with a reason, or loaded, perhaps
    // with facets left out.
    void signal_LoadReported(const KzLoadReport& report);
    // Files dropped on the view, in the drop's order: the local files, model
    // or not, for whoever opens them to open or refuse one by one.
    void signal_FilesDropped(const QStringList& paths);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void timerEvent(QTimerEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

    // Picking at a widget point: the pick code under it, 0 for none.
    int GetLocateModelPainter(const QPoint& pt);
    int GetLocateCoord(const QPoint& pt);
    // The scene point at a window depth under pt, with the last frame's camera.
    QVector3D UnprojectAt(const QPoint& pt, float depth) const;
    // Where the cursor ray at pt meets a plane; false when the ray runs parallel.
    bool IntersectPlane(const QPoint& pt, const QVector3D& planePoint, const QVector3D& normal,
                        QVector3D& hit) const;

    // For code that builds on the view (its tests and benchmarks among them).
    const KzCamera& GetCamera() const { return m_camera; }
    Kz3DScene& GetScene() { return m_scene; }
    const KzXYZPainter& GetXYZPainter() const { return m_xyzPainter; }

private slots:
    void slot_RenderText(QString text, const QVector3D& pos);

private:
    typedef void (KzGLView::*MouseHandler)();
    typedef void (KzGLView::*EditHandler)(QList<QVariant>&);

    void Draw3DScene(QPainter& painter);
    void DrawLocalBackground(QPainter& painter);
    void DrawPendingText(QPainter& painter);
    void DrawLayerFrame();
    QByteArray FrameState() const;
    void InitFunTable();

    void MouseMove_NoButton();
    void MouseMove_LeftButton();
    void MouseMove_RightButton();
    void MousePress_LeftButton();
    void MousePress_RightButton();
    void MouseRelease_LeftButton();
    void MouseRelease_RightButton();

    int PickAt(const QPoint& pt, void (Kz3DScene::*pass)());
    void SaveFrameCamera();
    void CameraMoved();
    void EmitSelected();
    void EmitUpdate();
    void UpdatePressPoint3D();
    void UpdateMovePoint3D();
    void UpdateRotatePoint3D();
    void PressScaleFace();
    void UpdateScalePoint3D();
    void FloorModel();
    void PreviewTransform(const QMatrix4x4& m);
    void ApplyTransform(const QMatrix4x4& m);

    void Trigger_Command(QList<QVariant>& list);
    void Trigger_Translate(QList<QVariant>& list);
    void Trigger_Rotate(QList<QVariant>& list);
    void Trigger_Scale(QList<QVariant>& list);
    void Command_Maximize();

    // Undo steps: a change is recorded as the difference between the plate
    // before it and now. The steps call back to show what they restored and
    // to delete the instances they own.
    friend class KzPlateCommand;
    KzPlateCommand::Snapshot PlateSnapshot() const;
    void RecordPlateChange(const KzPlateCommand::Snapshot& before, int mergeId = KzPlateCommand::NoMerge);
    void ShowRestoredPlate(int selection);
    void DiscardDetached(KzModelPainter* painter);
    void ClearHistory();
    QVector2D PlateAxisOnScreen(Qt::ArrowType direction) const;

    KzXYZPainter m_xyzPainter;
    Kz3DScene m_scene;
    // After the scene: its steps hand their instances back to the scene when
    // they go.
    QUndoStack m_undoStack;
    // Numeric edits merge into one step until the field reports its edit
    // finished ([7, 4]), which starts a new burst.
    int m_nEditBurst;
    // A batch of changes under way, and whether its undo step was begun.
    bool m_bBatch = false;
    bool m_bBatchBegun = false;
    QString m_strBatchText;
    KzLoadReport m_loadReport;   // of the last OpenSTLFile
    KzCamera m_camera;
    QPoint m_ptMove;
    QPoint m_ptPress;
    int m_nSelectedCode;
    bool m_bLayerMode;
    int m_nMaxLayer;
    QMap<int, MouseHandler> m_mapMouseMove;
    QMap<int, MouseHandler> m_mapMousePress;
    QMap<int, MouseHandler> m_mapMouseRelease;
    QMap<int, EditHandler> m_mapEditCommand;
    QMatrix4x4 m_matTransform;
    QVector3D m_vPressPoint3D;
    QVector3D m_vMovePoint3D;
    bool m_bPressPointValid;
    QVector3D m_vScalePlaneNormal;  // the plane a scale-face drag runs on
    // The camera of the last frame; picking and unprojection use it.
    double m_aProjection[16];
    double m_aModelView[16];
    int m_aViewport[4];
    bool m_bFrameCamera;
    bool m_bIgnoreMouse;
    // The frame's painter while a frame is drawn. Labels asked for meanwhile are
    // drawn with it once the native painting ends: a second painter opened on the
    // widget during the frame would leak the paint engine's state every frame.
    QPainter* m_pFramePainter;
    QList<QPair<QPoint, QString>> m_listPendingText;
    // What the last frame showed; the frame timer repaints only when it changed.
    QByteArray m_baLastFrame;
    int m_nFrameCount;
    QTimer m_settleTimer;   // runs from the last camera input to the full picture
    bool m_bCameraMoving = false;
    bool m_bQuickLook = false;   // the next frame is the first look at a large mesh
    bool m_bLastFrameReduced = false;
};

#endif // KZGLVIEW_H
