#include "KzSliceWork.h"

#include "KzChildProcess.h"
#include "KzDataFolder.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstring>
#include <limits>

namespace {

// A run waiting for output looks at the stop flag this often.
const int kPollMs = 50;
// Only this much of the G-code after its first line may hold the print-time marker.
const int kHeadSize = 2048;

// Reads the engine's command line the way the engine always has: blanks separate
// arguments; a double-quoted span belongs to one argument and keeps everything
// inside it, line breaks included; the quotes themselves are dropped.
QStringList SplitArguments(const QString &line)
{
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (started)
                arguments.append(current);
            current.clear();
            started = false;
        } else {
            current.append(c);
            started = true;
        }
    }
    if (started)
        arguments.append(current);
    return arguments;
}

int ToInt(qint64 value)
{
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(value);
}

int Captured(const QRegularExpressionMatch &match)
{
    return match.captured(1).toInt();
}

bool HasLayerLine(const QByteArray &gcode)
{
    return gcode.startsWith(";LAYER:") || gcode.contains("\n;LAYER:");
}

} // namespace

KzSliceWork::KzSliceWork()
    : QObject(nullptr),
      m_nRunState(RunIdle)
{
}

KzSliceWork::~KzSliceWork() = default;

void KzSliceWork::SetGCodeFilePath(const QString &path)
{
    m_strGCodePath = path;
}

void KzSliceWork::SetSTLFilePath(const QString &path)
{
    m_strSTLPath = path;
}

void KzSliceWork::SetParamString(const QString &param)
{
    m_strParam = param;
    m_nRunState.store(RunWanted);
}

void KzSliceWork::Stop()
{
    int wanted = RunWanted;
    m_nRunState.compare_exchange_strong(wanted, RunStopWanted);
}

bool KzSliceWork::StopWanted() const
{
    return m_nRunState.load() == RunStopWanted;
}

// Idle before the result goes out: a stop from now on belongs to no run.
void KzSliceWork::RunOver(int resultCode)
{
    m_nRunState.store(RunIdle);
    emit signal_SliceOver(resultCode);
}

void KzSliceWork::slot_StartSlice()
{
    // Started again without new settings: this run is the one a stop is for.
    int idle = RunIdle;
    m_nRunState.compare_exchange_strong(idle, RunWanted);
    if (m_strParam.isEmpty() || m_strGCodePath.isEmpty() || m_strSTLPath.isEmpty()) {
        RunOver(1);
        return;
    }
    // A G-code file left by an earlier run must not pass for this run's result.
    QFile::remove(m_strGCodePath);

    KzChildProcess engine;
    const QString program = KzDataFolder::GetEngineProgram();
    if (!engine.Start(program, EngineArguments())) {
        qDebug().noquote() << "KzSliceWork:" << program << engine.ErrorString();
        emit signal_UpdateTipText(program + QStringLiteral(": ") + engine.ErrorString());
        RunOver(3);
        return;
    }
    QString output;
    if (!ReadEngineOutput(engine, output) || !WaitForEngineEnd(engine)) {
        StopEngine(engine);
        return;
    }
    if (!engine.ExitedCleanly()) {
        qDebug().noquote() << "KzSliceWork: the engine failed," << engine.ExitDescription();
        ReportEngineError(output);
        RunOver(3);
        return;
    }
    FinishRun(output);
}

QStringList KzSliceWork::EngineArguments() const
{
    QStringList arguments = {QStringLiteral("-p"), QStringLiteral("-v")};
    arguments += SplitArguments(m_strParam);
    arguments << QStringLiteral("-o") << m_strGCodePath << m_strSTLPath;
    return arguments;
}

// Follows the engine's output until it closes it; false when stopped first.
bool KzSliceWork::ReadEngineOutput(KzChildProcess &engine, QString &output)
{
    QString pending;
    int layerCount = 0;
    char buffer[256];
    for (;;) {
        if (StopWanted())
            return false;
        std::memset(buffer, 0, sizeof buffer);
        const qint64 count = engine.Read(buffer, 255, kPollMs);
        if (count == KzChildProcess::ms_nNoDataYet)
            continue;
        if (count <= 0)
            return true;
        // The chunk ends at its first zero byte.
        const QString chunk = QString::fromLatin1(buffer);
        pending += chunk;
        output += chunk;

        const int lineFeed = pending.lastIndexOf(QLatin1Char('\n'));
        if (lineFeed < 0)
            continue;
        const bool carriageReturn = lineFeed > 0 && pending.at(lineFeed - 1) == QLatin1Char('\r');
        const QString lines = pending.left(carriageReturn ? lineFeed - 1 : lineFeed);
        pending.remove(0, lineFeed + 1);
        ReportLines(lines, layerCount);
    }
}

// The bar runs through three equal phases (walls, skins, export), one step per
// layer in each.
void KzSliceWork::ReportLines(const QString &lines, int &layerCount)
{
    static const QRegularExpression layerPattern(QStringLiteral("Layer count: (\\d*)"));
    static const QRegularExpression insetPattern(QStringLiteral("Progress:inset:(\\d*):\\d*"));
    static const QRegularExpression skinPattern(QStringLiteral("Progress:skin:(\\d*):\\d*"));
    static const QRegularExpression exportPattern(QStringLiteral("Progress:export:(\\d*):\\d*"));

    for (const QString &line : lines.split(QStringLiteral("\r\n"))) {
        QRegularExpressionMatch match;
        if ((match = layerPattern.match(line)).hasMatch()) {
            layerCount = Captured(match);
            emit signal_UpdateProgressRange(0, ToInt(3 * qint64(layerCount)));
        } else if ((match = insetPattern.match(line)).hasMatch()) {
            emit signal_UpdateProgressValue(Captured(match));
        } else if ((match = skinPattern.match(line)).hasMatch()) {
            emit signal_UpdateProgressValue(ToInt(qint64(layerCount) + Captured(match)));
        } else if ((match = exportPattern.match(line)).hasMatch()) {
            emit signal_UpdateProgressValue(ToInt(2 * qint64(layerCount) + Captured(match)));
        }
    }
}

// The output is closed; reaps the engine. False when stopped while it lingers.
bool KzSliceWork::WaitForEngineEnd(KzChildProcess &engine)
{
    engine.CloseOutput();
    while (!engine.WaitForExit(kPollMs)) {
        if (StopWanted())
            return false;
    }
    return true;
}

void KzSliceWork::StopEngine(KzChildProcess &engine)
{
    engine.CloseOutput();
    engine.Kill();
    qDebug().noquote() << "KzSliceWork: engine stopped," << engine.ExitDescription();
    RunOver(2);
}

void KzSliceWork::FinishRun(const QString &output)
{
    QByteArray gcode;
    QFile file(m_strGCodePath);
    if (file.open(QIODevice::ReadOnly))
        gcode = file.readAll();
    file.close();
    if (!HasLayerLine(gcode)) {
        qDebug().noquote() << "KzSliceWork: the engine left no layers in" << m_strGCodePath;
        ReportEngineError(output);
        RunOver(3);
        return;
    }

    static const QRegularExpression timePattern(QStringLiteral("Print time: (\\d*)"));
    static const QRegularExpression filamentPattern(QStringLiteral("Filament: (\\d*)"));
    QString timeText = QStringLiteral("0s");
    const QRegularExpressionMatch time = timePattern.match(output);
    if (time.hasMatch())
        timeText = GetTimeStr(Captured(time));
    QString info = timeText + QLatin1Char('\n');
    const QRegularExpressionMatch filament = filamentPattern.match(output);
    if (filament.hasMatch())
        info += QString::number(Captured(filament) / 1000.0, 'f', 2) + QStringLiteral(" Metre(s)");
    emit signal_SendPrintInfo(info);

    WritePrintTime(gcode, timeText);
    RunOver(0);
}

// A failed run tells the user why when the engine said so: its last line that
// starts with "Error: ", without that word.
void KzSliceWork::ReportEngineError(const QString &output)
{
    static const QRegularExpression errorPattern(QStringLiteral("^Error: *([^\\r\\n]+)"),
                                                 QRegularExpression::MultilineOption);
    QString reason;
    for (auto it = errorPattern.globalMatch(output); it.hasNext();)
        reason = it.next().captured(1).trimmed();
    // The output was read byte for byte; the engine writes its messages in UTF-8.
    reason = QString::fromUtf8(reason.toLatin1());
    if (!reason.isEmpty())
        emit signal_UpdateTipText(reason);
}

// Drops the engine's first line and fills the print time into the start code.
// The G-code is 8-bit text: one byte is one character. The new text goes to a
// temporary file that replaces the engine's only once it is complete, so a
// failed write leaves the engine's file whole.
void KzSliceWork::WritePrintTime(const QByteArray &gcode, const QString &timeText)
{
    const int firstLineEnd = gcode.indexOf('\n');
    const int bodyStart = firstLineEnd < 0 ? gcode.size() : firstLineEnd + 1;
    const int headEnd = qMin(bodyStart + kHeadSize, gcode.size());
    QByteArray head = gcode.mid(bodyStart, headEnd - bodyStart);
    head.replace("{print_time}", timeText.toLatin1());

    // A short write (a full disk, a size limit) is not an error to QSaveFile, and
    // neither is a failed flush: check both before the file may replace the old one.
    QSaveFile file(m_strGCodePath);
    const qint64 restSize = gcode.size() - headEnd;
    const bool written = file.open(QIODevice::WriteOnly) && file.write(head) == head.size()
                         && file.write(gcode.constData() + headEnd, restSize) == restSize && file.flush();
    if (written && file.commit())
        return;
    qDebug().noquote() << "KzSliceWork: cannot rewrite" << m_strGCodePath << file.errorString();
}

QString KzSliceWork::GetTimeStr(int seconds)
{
    int minutes = seconds / 60;
    const int hours = minutes / 60;
    minutes -= 60 * hours;
    const QString hourText = (hours == 0 || hours == 1) ? QStringLiteral("%1 hour") : QStringLiteral("%1 hours");
    const QString minuteText = QStringLiteral("%1 minutes").arg(minutes);
    if (hours != 0)
        return hourText.arg(hours) + QLatin1Char(' ') + minuteText;
    return minuteText;
}
