#include "KzSliceWork.h"

#include "KzChildProcess.h"
#include "KzDataFolder.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace {

// A run waiting for output looks at the stop flag this often.
const int kPollMs = 50;
// Only this much of the G-code after its first line may hold the print-time marker.
const int kHeadSize = 2048;
// What one read from the engine, or from the G-code, takes at most.
const int kReadSize = 64 * 1024;
const int kBlockSize = 1024 * 1024;

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

// Whether a line of the G-code starts a layer, read block by block: the
// G-code may be larger than any one buffer.
bool HasLayerLine(QFile &gcode)
{
    static const QByteArray marker("\n;LAYER:");
    const int overlap = marker.size() - 1;
    QByteArray buffer(overlap + kBlockSize, '\0');
    // The file's start counts as a line start.
    buffer[overlap - 1] = '\n';
    int start = overlap - 1;
    for (;;) {
        const qint64 count = gcode.read(buffer.data() + overlap, kBlockSize);
        if (count <= 0)
            return false;
        const int end = overlap + int(count);
        if (QByteArray::fromRawData(buffer.constData() + start, end - start).contains(marker))
            return true;
        // The end of this block may hold the start of a marker.
        std::memmove(buffer.data(), buffer.constData() + end - overlap, size_t(overlap));
        start = 0;
    }
}

// Where the G-code's second line starts (its size when it has one line).
qint64 SecondLineStart(QFile &gcode)
{
    QByteArray buffer(kBlockSize, Qt::Uninitialized);
    qint64 offset = 0;
    for (;;) {
        const qint64 count = gcode.read(buffer.data(), kBlockSize);
        if (count <= 0)
            return offset;
        const int lineFeed = QByteArray::fromRawData(buffer.constData(), int(count)).indexOf('\n');
        if (lineFeed >= 0)
            return offset + lineFeed + 1;
        offset += count;
    }
}

bool IsAllZero(const char *data, qint64 size)
{
    return size > 0 && data[0] == 0 && std::memcmp(data, data + 1, size_t(size - 1)) == 0;
}

// Copies the rest of from into to. A block of zeros is not written but left as
// a hole, as cp does: the content is the same and a sparse file stays sparse.
bool CopyRest(QFile &from, QSaveFile &to)
{
    QByteArray buffer(kBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = from.read(buffer.data(), kBlockSize);
        if (count < 0)
            return false;
        if (count == 0)
            return to.size() == to.pos() || to.resize(to.pos());
        if (IsAllZero(buffer.constData(), count)) {
            if (!to.seek(to.pos() + count))
                return false;
        } else if (to.write(buffer.constData(), count) != count) {
            return false;
        }
    }
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
    KzEngineOutput output;
    if (!ReadEngineOutput(engine, output) || !WaitForEngineEnd(engine)) {
        StopEngine(engine);
        return;
    }
    if (!engine.ExitedCleanly()) {
        qDebug().noquote() << "KzSliceWork: the engine failed," << engine.ExitDescription();
        Fail(output, ExitReason(engine));
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
bool KzSliceWork::ReadEngineOutput(KzChildProcess &engine, KzEngineOutput &output)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray buffer(kReadSize, Qt::Uninitialized);
    for (;;) {
        if (StopWanted())
            return false;
        const qint64 count = engine.Read(buffer.data(), kReadSize, kPollMs);
        if (count > 0)
            output.Append(buffer.constData(), count);
        else if (count != KzChildProcess::ms_nNoDataYet)
            break;
        // Also while the engine is silent: steps held back go out when due.
        SendProgress(output.TakeProgress(clock.elapsed()));
    }
    output.Finish();
    SendProgress(output.TakeLastProgress());
    return true;
}

void KzSliceWork::SendProgress(const QVector<KzEngineOutput::Progress> &steps)
{
    for (const KzEngineOutput::Progress &step : steps) {
        if (step.bRange)
            emit signal_UpdateProgressRange(0, step.nValue);
        else
            emit signal_UpdateProgressValue(step.nValue);
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

void KzSliceWork::FinishRun(const KzEngineOutput &output)
{
    QFile file(m_strGCodePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "KzSliceWork: no G-code in" << m_strGCodePath << file.errorString();
        Fail(output, file.exists() ? tr("无法读取切片引擎写出的G-code：%1").arg(file.errorString())
                                   : tr("切片引擎没有写出G-code"));
        return;
    }
    if (!HasLayerLine(file)) {
        qDebug().noquote() << "KzSliceWork: the engine left no layers in" << m_strGCodePath;
        Fail(output, tr("切片引擎写出的G-code中没有任何层"));
        return;
    }

    const QString timeText = output.HasPrintTime() ? GetTimeStr(output.GetPrintTime()) : QStringLiteral("0s");
    QString info = timeText + QLatin1Char('\n');
    if (output.HasFilament())
        info += QString::number(output.GetFilament() / 1000.0, 'f', 2) + QStringLiteral(" Metre(s)");
    emit signal_SendPrintFigures(output.HasPrintTime() ? output.GetPrintTime() : -1,
                                 output.HasFilament() ? output.GetFilament() : -1);
    emit signal_SendPrintInfo(info);

    WritePrintTime(file, timeText);
    RunOver(0);
}

// The engine's own word on what went wrong, when it said one, comes first.
void KzSliceWork::Fail(const KzEngineOutput &output, const QString &reason)
{
    const QString engineError = output.GetLastError();
    emit signal_UpdateTipText(engineError.isEmpty() ? reason : engineError);
    RunOver(3);
}

QString KzSliceWork::ExitReason(const KzChildProcess &engine)
{
    if (engine.ExitSignal() != 0)
        return tr("切片引擎意外停止（信号 %1）").arg(engine.ExitSignal());
    return tr("切片引擎退出，代码 %1").arg(engine.ExitCode());
}

// Drops the engine's first line and fills the print time into the start code,
// reading and writing block by block. The G-code is 8-bit text: one byte is
// one character. The new text goes to a temporary file that replaces the
// engine's only once it is complete, so a failed write leaves the engine's
// file whole.
void KzSliceWork::WritePrintTime(QFile &gcode, const QString &timeText)
{
    QByteArray head;
    if (gcode.seek(0) && gcode.seek(SecondLineStart(gcode)))
        head = gcode.read(kHeadSize);
    head.replace("{print_time}", timeText.toLatin1());

    // A short write (a full disk, a size limit) is not an error to QSaveFile, and
    // neither is a failed flush: check both before the file may replace the old one.
    QSaveFile file(m_strGCodePath);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(head) == head.size()
                         && CopyRest(gcode, file) && file.flush();
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
