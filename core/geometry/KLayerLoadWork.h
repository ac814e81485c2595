#ifndef KLAYERLOADWORK_H
#define KLAYERLOADWORK_H

#include "KzFunctionGlobal.h"
#include "SingleLayer.h"

#include <QObject>
#include <QString>

#include <atomic>

class KLayerModel;
class QThread;

// Reads the engine's G-code on the layer model's worker thread and hands the
// layers over one at a time. Four expressions decide what a line means:
//   1. ";LAYER:(-?\d+)"                                            anywhere: a new layer
//   2. ";TYPE:(\S*)"                                               anywhere: a new feature
//   3. "^G0.*X(-?\d+\.\d+)\sY(-?\d+\.\d+)(\sZ(\d+\.\d+))?"         a travel, maybe to a new height
//   4. "G1.*X(-?\d+\.\d+)\sY(-?\d+\.\d+)"                          an extrusion
// The first that matches decides; every other line is skipped. Apart from
// them, a line that starts ";TIME_ELAPSED:" gives the print time so far (the
// engine writes one at the end of every layer).
class KZFUNCTION_EXPORT KLayerLoadWork : public QObject
{
    Q_OBJECT

public:
    // What one line says, with the numbers converted as QString::toFloat does.
    struct LineMatch
    {
        enum Rule { None, Layer, Type, Travel, Extrude };
        Rule rule = None;
        float x = 0.0f;
        float y = 0.0f;
        float z = 0.0f;       // set when hasZ
        bool hasZ = false;    // a travel that names a new height
        QString typeName;     // the name of a type line
    };

    KLayerLoadWork();

    // Reads one line (without its '\n') by hand-written matching that accepts
    // exactly what the four expressions accept, in time linear in the line.
    // Lines with bytes outside ASCII are read as UTF-8.
    static LineMatch MatchLine(const char* pBegin, const char* pEnd);
    // The same through the four regular expressions: the reference.
    static LineMatch MatchLineByExpressions(const QString& line);

signals:
    void signal_OneLayerComplete(SingleLayer oneLayer);
    void signal_LoadCompete();

public slots:
    void slot_StartLoad(const QString& fileName);

private:
    friend class KLayerModel;

    bool StopRequested(const QThread* pThread) const;
    bool WaitForOwner(const QThread* pThread);
    static LineMatch MatchForeignLine(const char* pBegin, const char* pEnd);

    // Written by the owning model on the GUI thread, polled here before every line.
    std::atomic<bool> m_bStop{true};
    // Layers on their way to the owning model, which counts down as it takes
    // them (only a model that sets m_bPaced does). The reader waits while too
    // many are in the event queue, so that a flood of layer lines cannot fill
    // the memory faster than the GUI thread empties the queue.
    std::atomic<int> m_nInFlight{0};
    bool m_bPaced = false;
    // The print time at the end of the layer being handed over, from the
    // engine's ";TIME_ELAPSED:" comment in it; -1 without one. Read by the
    // owning model on this thread, while the layer is handed over.
    double m_dLayerElapsed = -1.0;
};

#endif // KLAYERLOADWORK_H
