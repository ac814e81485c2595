#ifndef KZSLICEWORK_H
#define KZSLICEWORK_H

#include "KzEngineOutput.h"
#include "KzFunctionGlobal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class KzChildProcess;
class QFile;

// One slicing run: starts the engine bridge of the data folder (KzDataFolder)
// on the STL file with the profile's settings, reports its progress, and
// fills the print time into the G-code it wrote. Lives on a worker thread of its
// own; slot_StartSlice blocks that thread for the whole run.
//
// Result codes of signal_SliceOver: 0 sliced, 1 not started (a path or the
// settings are empty), 2 stopped, 3 the engine failed (could not be started,
// ended with an error, or left no G-code with layers). Before result 3,
// signal_UpdateTipText always carries the reason: the engine's own last
// "Error:" line, or else what went wrong (it could not be started, stopped on
// a signal, exited with a code, wrote no G-code or none with layers).
//
// Whatever the engine prints, the job keeps only a bounded part of it, and a
// G-code of any size is post-processed as a stream.
class KZFUNCTION_EXPORT KzSliceWork : public QObject
{
    Q_OBJECT

public:
    KzSliceWork();
    ~KzSliceWork() override;

    void SetGCodeFilePath(const QString &path);
    void SetSTLFilePath(const QString &path);
    // The settings of the next run. Handing them is what asks for a run: a stop
    // from then on is meant for that run, an older one is forgotten.
    void SetParamString(const QString &param);
    // Safe from any thread; the run in progress, or the one asked for and not yet
    // started, stops within a fraction of a second. Without either it does nothing.
    void Stop();

signals:
    void signal_SliceOver(int resultCode);
    void signal_UpdateProgressRange(int min, int max);
    void signal_UpdateProgressValue(int value);
    void signal_UpdateTipText(QString text);
    void signal_SendPrintInfo(QString info);
    // The same figures as numbers, for a text in the user's language: the
    // print time in seconds and the filament in millimetres, -1 for one the
    // engine did not report. Sent right before signal_SendPrintInfo.
    void signal_SendPrintFigures(int seconds, int filamentMm);

public slots:
    void slot_StartSlice();

private:
    QString GetTimeStr(int seconds);
    QStringList EngineArguments() const;
    bool ReadEngineOutput(KzChildProcess &engine, KzEngineOutput &output);
    void SendProgress(const QVector<KzEngineOutput::Progress> &steps);
    bool WaitForEngineEnd(KzChildProcess &engine);
    bool StopWanted() const;
    void RunOver(int resultCode);
    void StopEngine(KzChildProcess &engine);
    void FinishRun(const KzEngineOutput &output);
    void Fail(const KzEngineOutput &output, const QString &reason);
    QString ExitReason(const KzChildProcess &engine);
    void WritePrintTime(QFile &gcode, const QString &timeText);

    QString m_strGCodePath;
    QString m_strSTLPath;
    QString m_strParam;
    // Whether a run is asked for or under way, and whether it is to stop. A stop
    // that comes after a run ended (the user's click crossing the end) finds the
    // job idle and is dropped, so it cannot stop the next run at once.
    enum RunState { RunIdle, RunWanted, RunStopWanted };
    std::atomic<int> m_nRunState;
};

#endif // KZSLICEWORK_H
