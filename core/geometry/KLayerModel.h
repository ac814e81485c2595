#ifndef KLAYERMODEL_H
#define KLAYERMODEL_H

#include "KzFunctionGlobal.h"
#include "LayerPath.h"
#include "SingleLayer.h"

#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

class KLayerLoadWork;

// The layers of one G-code file for the preview. The file is read on the
// model's own thread; layers arrive in batches through the GUI thread's
// event loop and are tidied once the whole file has been read. One model
// serves one load: the view makes a new model for every file it shows.
class KZFUNCTION_EXPORT KLayerModel : public QObject
{
    Q_OBJECT

public:
    KLayerModel();
    virtual ~KLayerModel();

    // Starts reading fileName and returns at once. A second call is ignored.
    void LoadGcode(const QString& fileName);

    // The layers received so far, bottom first (a shared copy: cheap). Until
    // the model is ready the first entry is what came before the first layer.
    QVector<QList<LayerPath>> GetLayers();
    int GetLayerSize();
    bool ReadyToRender();
    // The print time in seconds at the end of layer index (of GetLayers()),
    // as the engine's ";TIME_ELAPSED:" comment in that layer gives it; -1
    // when the layer has none or there is no such layer.
    double GetLayerElapsed(int index) const;

signals:
    void signal_StartLoad(const QString& fileName);

public slots:
    void slot_ReceiveOneLayer(SingleLayer oneLayer);
    void slot_LoadComplete();

private:
    void Arrive(const SingleLayer& layer);
    void Complete();
    void TakeArrived();
    void TrimLayers();

    KLayerLoadWork* m_pWork;
    QThread m_loadThread;
    QVector<QList<LayerPath>> m_vecLayers;
    QVector<double> m_vecElapsed;   // one per layer
    bool m_bReady;
    // Layers read and not yet taken by the GUI thread. The reader posts a
    // take only when none is on its way, so a burst of layers costs the GUI
    // thread one wake-up instead of one each.
    QMutex m_arrivalMutex;
    QVector<SingleLayer> m_vecArrived;
    QVector<double> m_vecArrivedElapsed;
    bool m_bTakePosted = false;
    QElapsedTimer m_lastTake;
};

#endif // KLAYERMODEL_H
