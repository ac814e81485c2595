#ifndef KZGCODEREWRITER_H
#define KZGCODEREWRITER_H

#include <QByteArray>
#include <QList>

// Turns the engine's G-code into the file the rest of the system reads: one
// comment line of ours first (the slicing job drops it), the start code exactly
// as given, the engine's true header, the layers, the end code. Every X, Y and Z
// of a G0/G1 move gets a decimal point, which the layer preview needs.
//
// The engine is given marker lines as its own start and end code, so the
// bridge knows where its preamble ends and where the print is over.
class KzGCodeRewriter
{
public:
    static const char *const StartMarker;
    static const char *const EndMarker;

    KzGCodeRewriter(const QByteArray &firstLine, const QByteArray &startCode, const QByteArray &endCode,
                    const QList<QByteArray> &header);

    QByteArray Rewrite(const QByteArray &engineGCode);

    // From the last Rewrite: ";LAYER:" lines in all, and those numbered 0 or more
    // (raft layers are numbered below 0).
    int GetLayerLines() const { return m_nLayerLines; }
    int GetModelLayers() const { return m_nModelLayers; }

    // Appends one line (without its line end) to out, with decimal points added
    // to the X, Y and Z words of a G0/G1 move.
    static void AppendLine(const char *begin, const char *end, QByteArray &out);

private:
    static bool IsPlaceholderHeader(const char *begin, const char *end);
    void AppendBodyLine(const char *begin, const char *end, QByteArray &out);
    static void AppendCode(const QByteArray &code, QByteArray &out);

    QByteArray m_strFirstLine;
    QByteArray m_strStartCode;
    QByteArray m_strEndCode;
    QList<QByteArray> m_listHeader;
    int m_nLayerLines = 0;
    int m_nModelLayers = 0;
};

#endif
