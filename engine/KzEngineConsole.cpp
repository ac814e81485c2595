#include "KzEngineConsole.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

const char *const kPhaseNames[] = {"inset", "skin", "export"};

// The engine's stages and the legacy phase each one drives.
int PhaseOfStage(const QByteArray &stage)
{
    if (stage == "inset+skin")
        return 0;
    if (stage == "support")
        return 1;
    if (stage == "export")
        return 2;
    return -1;
}

bool ReadNumber(const QByteArray &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= 0;
}

} // namespace

KzEngineConsole::KzEngineConsole(bool bProgress, int nLayerCount)
    : m_bProgress(bProgress), m_nLayerCount(std::max(0, nLayerCount))
{
}

void KzEngineConsole::SendLayerCount(int count, QList<QByteArray> &out)
{
    m_nLayerCount = count;
    m_bLayerCountSent = true;
    out << "Layer count: " + QByteArray::number(count);
    if (m_nPendingPhase >= 0) {
        const int phase = m_nPendingPhase;
        m_nPendingPhase = -1;
        int value = m_nLayerCount * m_nPendingFraction / 1000;
        if (phase == PhaseExport)
            value = std::min(value, m_nLayerCount - 1);
        Advance(phase, value, out);
    }
}

void KzEngineConsole::Advance(int phase, int value, QList<QByteArray> &out)
{
    if (!m_bLayerCountSent) {
        if (m_nLayerCount <= 0)
            return; // ReadProgress keeps the share until N is known
        SendLayerCount(m_nLayerCount, out);
    }
    if (!m_bProgress || m_nLayerCount <= 0)
        return;
    const int n = m_nLayerCount;
    value = std::min(std::max(value, 0), n);
    if (phase < m_nPhase || (phase == m_nPhase && value <= m_nValue))
        return; // the bar only moves forward
    // A later phase closes the earlier ones first, so every phase ends at N.
    for (int p = m_nPhase; p < phase; ++p) {
        if (p > m_nPhase || m_nValue < n)
            out << "Progress:" + QByteArray(kPhaseNames[p]) + ':' + QByteArray::number(n) + ':' + QByteArray::number(n);
    }
    m_nPhase = phase;
    m_nValue = value;
    out << "Progress:" + QByteArray(kPhaseNames[phase]) + ':' + QByteArray::number(value) + ':' + QByteArray::number(n);
}

void KzEngineConsole::ReadProgress(const QByteArray &stage, int done, int total, QList<QByteArray> &out)
{
    const int phase = PhaseOfStage(stage);
    if (phase < 0 || total <= 0)
        return;
    done = std::min(done, total);
    if (!m_bLayerCountSent && m_nLayerCount <= 0) {
        // Keep the share of the phase until N is known.
        const int fraction = int(qint64(done) * 1000 / total);
        if (phase > m_nPendingPhase) {
            m_nPendingPhase = phase;
            m_nPendingFraction = fraction;
        } else if (phase == m_nPendingPhase) {
            m_nPendingFraction = std::max(m_nPendingFraction, fraction);
        }
        return;
    }
    const int n = m_nLayerCount;
    int value = int(qint64(done) * n / total);
    // The export phase ends only when the G-code file is complete (Finish).
    if (phase == PhaseExport)
        value = std::min(value, n - 1);
    Advance(phase, value, out);
}

void KzEngineConsole::ReadStageEnd(const QByteArray &stage, QList<QByteArray> &out)
{
    const int phase = PhaseOfStage(stage);
    if (phase == PhaseInset || phase == PhaseSkin)
        ReadProgress(stage, 1, 1, out);
}

QList<QByteArray> KzEngineConsole::ReadLine(const QByteArray &rawLine)
{
    QList<QByteArray> out;
    QByteArray line = rawLine;
    if (line.endsWith('\r'))
        line.chop(1);
    m_bConsumed = true;

    if (m_bInHeader) {
        if (line == "End of gcode header.")
            m_bInHeader = false;
        else
            m_listHeader << line;
        return out;
    }
    if (line == "Gcode header after slicing:") {
        m_bInHeader = true;
        m_listHeader.clear();
        return out;
    }
    if (line.startsWith("[ERROR]")) {
        if (m_strFirstError.isEmpty())
            m_strFirstError = line.mid(7).trimmed();
        m_bConsumed = false;
        return out;
    }
    // Every tagged log line is ignored here, among them the engine's echo of its
    // whole command line: no value the bridge passes holds a line break, so
    // nothing in that echo can start a line of its own.
    if (line.startsWith('[')) {
        m_bConsumed = line.startsWith("[WARNING]  -s ");
        return out;
    }
    if (line.startsWith("Progress:")) {
        const QList<QByteArray> fields = line.split('\t').first().trimmed().split(':');
        int done = 0;
        int total = 0;
        if (fields.size() == 4 && ReadNumber(fields.at(2), done) && ReadNumber(fields.at(3), total))
            ReadProgress(fields.at(1), done, total, out);
        return out;
    }
    if (line.startsWith("Progress: ") && line.contains(" accomplished in ")) {
        ReadStageEnd(line.mid(10, line.indexOf(" accomplished in ") - 10), out);
        return out;
    }
    int number = 0;
    if (line.startsWith("Layer count: ") && ReadNumber(line.mid(13), number)) {
        m_nEngineLayerCount = number;
        if (!m_bLayerCountSent)
            SendLayerCount(number, out);
        return out;
    }
    if (line.startsWith("Print time (s): ") && ReadNumber(line.mid(16), number)) {
        m_nPrintTime = number;
        return out;
    }
    if (line.startsWith("Filament (mm^3): ")) {
        bool ok = false;
        const double volume = line.mid(17).toDouble(&ok);
        if (ok && volume >= 0.0)
            m_dFilamentVolume = volume;
        return out;
    }
    m_bConsumed = false;
    return out;
}

QList<QByteArray> KzEngineConsole::Finish(double dFilamentDiameter)
{
    QList<QByteArray> out;
    if (!m_bLayerCountSent)
        SendLayerCount(m_nLayerCount > 0 ? m_nLayerCount : std::max(0, m_nEngineLayerCount), out);
    Advance(PhaseExport, m_nLayerCount, out);
    if (HasPrintTime())
        out << "Print time: " + QByteArray::number(m_nPrintTime);
    if (HasFilamentVolume() && dFilamentDiameter > 0.0) {
        const double radius = dFilamentDiameter / 2.0;
        const double length = m_dFilamentVolume / (M_PI * radius * radius);
        out << "Filament: " + QByteArray::number(qRound64(length));
    }
    return out;
}
