#ifndef KZENGINEOUTPUT_H
#define KZENGINEOUTPUT_H

#include <QByteArray>
#include <QString>
#include <QVector>

// The engine's console output as the slicing job follows it. Only what the job
// needs is kept: the progress steps not yet sent, the print time, the filament
// length, the last "Error:" line, and at most ms_nMaxKeptLine bytes of the line
// not yet ended. Memory thus stays small whatever the engine prints, and every
// byte is looked at a fixed number of times.
//
// Lines end with a carriage return and a line feed; the text is cut at the last
// line feed of each piece of 255 bytes, as the engine's output has always been
// read, and a zero byte ends its piece.
class KzEngineOutput
{
public:
    // One step for the progress bar: a new range (0 to nValue) or a new value.
    struct Progress
    {
        bool bRange;
        int nValue;
    };

    KzEngineOutput();

    // Takes the bytes as they were read from the engine.
    void Append(const char *data, qint64 size);
    // The engine closed its output: its unfinished last line still counts for
    // the print time, the filament and an error, but not for progress.
    void Finish();

    // The steps to send at nowMs (any monotonic clock), in order, but at most
    // ms_nProgressBurst in any ms_nProgressWindowMs: a flood of progress lines
    // must not pile up signals faster than the window takes them. Steps beyond
    // that are summed up by the latest range and value, sent when allowed.
    QVector<Progress> TakeProgress(qint64 nowMs);
    // Whatever is still held back, summed up, regardless of the window.
    QVector<Progress> TakeLastProgress();

    bool HasPrintTime() const;
    int GetPrintTime() const;       // seconds, from the first "Print time:" line
    bool HasFilament() const;
    int GetFilament() const;        // millimetres, from the first "Filament:" line
    QString GetLastError() const;   // the last "Error:" line without that word, or empty
    int GetKeptLineSize() const;

    static const int ms_nPieceSize = 255;
    static const int ms_nMaxKeptLine = 4096;
    static const int ms_nProgressBurst = 64;
    static const int ms_nProgressWindowMs = 50;

private:
    void AppendPiece(const char *data, int size);
    void KeepLine(const char *data, int size);
    void ScanLines(const QByteArray &lines, bool progress);
    void ScanProgress(const QString &line);
    void ScanInformation(const QByteArray &lines);
    void AddProgress(bool range, int value);
    void Collapse();

    QByteArray m_pendingLine;
    int m_nLayerCount;
    QVector<Progress> m_vecProgress;
    qint64 m_nWindowStart;
    int m_nSentInWindow;
    bool m_bPrintTime;
    int m_nPrintTime;
    bool m_bFilament;
    int m_nFilament;
    QString m_strLastError;
};

#endif // KZENGINEOUTPUT_H
