#ifndef KZENGINECONSOLE_H
#define KZENGINECONSOLE_H

#include <QByteArray>
#include <QList>

// Follows the engine's log, line by line, and produces the legacy console lines
// the slicing job reads: "Layer count: N" once, then the three progress phases
// inset, skin and export, each running from 0 to N, and at the end the print
// time and the filament length.
class KzEngineConsole
{
public:
    // nLayerCount: the layer count known before the engine reports its own (0: unknown).
    KzEngineConsole(bool bProgress, int nLayerCount);

    // One line of the engine's output without its line end. Returns the legacy
    // lines it gives rise to (without line ends).
    QList<QByteArray> ReadLine(const QByteArray &line);

    // After the G-code is complete: the last progress step, "Print time: S" and
    // "Filament: L" (mm, from the engine's volume and the filament diameter).
    QList<QByteArray> Finish(double dFilamentDiameter);

    // True when the last line read was part of the engine's own bookkeeping
    // (progress, its echo of the command line, the header block).
    bool WasConsumed() const { return m_bConsumed; }

    int GetLayerCount() const { return m_nLayerCount; }
    int GetEngineLayerCount() const { return m_nEngineLayerCount; }
    bool HasPrintTime() const { return m_nPrintTime >= 0; }
    int GetPrintTime() const { return m_nPrintTime; }
    bool HasFilamentVolume() const { return m_dFilamentVolume >= 0.0; }
    double GetFilamentVolume() const { return m_dFilamentVolume; }
    // The engine's true G-code header (";TIME:", ";Filament used:", bounds).
    const QList<QByteArray> &GetHeader() const { return m_listHeader; }
    QByteArray GetFirstError() const { return m_strFirstError; }

private:
    enum emPhase { PhaseInset = 0, PhaseSkin = 1, PhaseExport = 2 };

    void ReadProgress(const QByteArray &stage, int done, int total, QList<QByteArray> &out);
    void ReadStageEnd(const QByteArray &stage, QList<QByteArray> &out);
    void Advance(int phase, int value, QList<QByteArray> &out);
    void SendLayerCount(int count, QList<QByteArray> &out);

    bool m_bProgress;
    int m_nLayerCount;          // N of the legacy lines, fixed once sent
    bool m_bLayerCountSent = false;
    int m_nEngineLayerCount = -1;
    int m_nPhase = PhaseInset;  // the phase and value last sent
    int m_nValue = -1;
    int m_nPendingPhase = -1;   // progress seen before N was known
    int m_nPendingFraction = 0; // per mille of that phase
    bool m_bInHeader = false;
    bool m_bConsumed = false;
    int m_nPrintTime = -1;
    double m_dFilamentVolume = -1.0;
    QList<QByteArray> m_listHeader;
    QByteArray m_strFirstError;
};

#endif
