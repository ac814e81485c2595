#ifndef KZSLICEWORK_H
#define KZSLICEWORK_H

#include "KzFunctionGlobal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class KzChildProcess;

// One slicing run: starts the engine bridge of the data folder (KzDataFolder)
// on the STL file with the profile's settings, reports its progress, and
// fills the print time into the G-code it wrote. Lives on a worker thread of its
// own; slot_StartSlice blocks that thread for the whole run.
//
// Result codes of signal_SliceOver: 0 sliced, 1 not started (a path or the
// settings are empty), 2 stopped, 3 the engine failed (could not be started,
// ended with an error, or left no G-code with layers). Before result 3,
// signal_UpdateTipText carries the reason when one is known (the engine's own
// "Error:" line, or why it could not be started).
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

public slots:
    void slot_StartSlice();

private:
    QString GetTimeStr(int seconds);
    QStringList EngineArguments() const;
    bool ReadEngineOutput(KzChildProcess &engine, QString &output);
    void ReportLines(const QString &lines, int &layerCount);
    bool WaitForEngineEnd(KzChildProcess &engine);
    bool StopWanted() const;
    void RunOver(int resultCode);
    void StopEngine(KzChildProcess &engine);
    void FinishRun(const QString &output);
    void ReportEngineError(const QString &output);
    void WritePrintTime(const QByteArray &gcode, const QString &timeText);

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
