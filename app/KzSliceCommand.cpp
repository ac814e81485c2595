#include "KzSliceCommand.h"

#include "KzCommandLine.h"
#include "KzConfigureData.h"
#include "KzFileCopy.h"
#include "KzLoadReport.h"
#include "KzMachineFileCheck.h"
#include "KzPlate.h"
#include "KzPrinterChoice.h"
#include "KzSliceFileCheck.h"
#include "KzSliceProfile.h"
#include "KzSliceWork.h"
#include "KzTipContext.h"
#include "KzTipWidget.h"

#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char kProgramName[] = "kzvellum";

// Result codes of the slicing job.
enum { ResultSliced = 0, ResultStopped = 2 };
// The tip of models that stand outside the build volume.
const int kTipOutOfBounds = 19;
// The progress is told in steps of this many percent.
const int kProgressStep = 10;
// A run's folder, and the lock its run holds while it lives.
const char kRunFolders[] = "slice-*";
const char kRunLock[] = "run.lock";
// A run locks its folder as it makes it and writes into it as it goes; one
// that has not changed for this long, and whose lock is free, was left behind.
const qint64 kStaleAgeMs = 60 * 1000;

// The job of the run in progress, for the signal handler; null outside it.
KzSliceWork* volatile g_pRunningJob = nullptr;
volatile std::sig_atomic_t g_nStopSignal = 0;

// Only an atomic store: the job's read loop sees it within its poll time and
// ends the engine's process group.
void StopOnSignal(int signal)
{
    g_nStopSignal = signal;
    if (KzSliceWork* job = g_pRunningJob)
        job->Stop();
}

// The handlers stand while the job runs; a second signal ends the program.
class KzStopSignals
{
public:
    explicit KzStopSignals(KzSliceWork* job)
    {
        g_pRunningJob = job;
        struct sigaction action = {};
        action.sa_handler = StopOnSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~KzStopSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_pRunningJob = nullptr;
    }
    KzStopSignals(const KzStopSignals&) = delete;
    KzStopSignals& operator=(const KzStopSignals&) = delete;

private:
    struct sigaction m_oldInt;
    struct sigaction m_oldTerm;
};

// The window's texts for what the run shares with it are taken in their own
// contexts: the slice panel's (CustomPrint) and the balloon's (KzTipWidget).
QString TipText(int tipID)
{
    const QPair<QString, QString> tip = KzTipContext().GetTip(tipID);
    return QCoreApplication::translate("KzTipWidget", qPrintable(tip.first)) + QStringLiteral(": ")
           + QCoreApplication::translate("KzTipWidget", qPrintable(tip.second));
}

// The lock a run holds on its folder while it lives; the system drops it
// when the process ends, however it ends.
class KzRunLock
{
public:
    explicit KzRunLock(const QString& folder)
        : m_nFd(::open(QFile::encodeName(QDir(folder).filePath(QLatin1String(kRunLock))).constData(),
                       O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
    }
    ~KzRunLock()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    KzRunLock(const KzRunLock&) = delete;
    KzRunLock& operator=(const KzRunLock&) = delete;

    // False while another process holds it.
    bool Take() { return m_nFd >= 0 && ::flock(m_nFd, LOCK_EX | LOCK_NB) == 0; }

private:
    int m_nFd;
};

// Folders of runs that were killed outright (SIGKILL, a crash) stay behind,
// their locks free.
void RemoveStaleRuns(const QString& parent)
{
    const QDir folder(parent);
    for (const QFileInfo& run : folder.entryInfoList({ QLatin1String(kRunFolders) }, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const bool old = run.lastModified().msecsTo(QDateTime::currentDateTime()) > kStaleAgeMs;
        if (old && KzRunLock(run.filePath()).Take())
            QDir(run.filePath()).removeRecursively();
    }
}

const char* PresetName(int mode)
{
    switch (mode) {
    case SliceMode_Fast:
        return "fast";
    case SliceMode_Optimal:
        return "optimal";
    default:
        return "standard";
    }
}

} // namespace

KzSliceCommand::KzSliceCommand(const KzCommandLine& line, const KzUserSettings* settings)
    : m_line(line)
    , m_pSettings(settings)
{
}

void KzSliceCommand::Say(const QString& text)
{
    const QByteArray bytes = (QLatin1String(kProgramName) + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int KzSliceCommand::Refuse(int status, const QString& text)
{
    Say(text);
    return status;
}

int KzSliceCommand::Run()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    // As the window's box at start: the built-in entries stand in, the run goes on.
    const QStringList machineErrors = config->GetMachineFileErrors();
    if (!machineErrors.isEmpty())
        Say(KzMachineFileCheck::Title() + QStringLiteral(": ") + KzMachineFileCheck::Text(machineErrors));
    int status = ChoosePrinter();
    if (status == StatusSliced)
        status = CheckOutput();
    if (status != StatusSliced)
        return status;
    // The window refuses to slice without its presets, and so does this.
    const QString presetError = config->GetSliceFileError();
    if (!presetError.isEmpty())
        return Refuse(StatusFailed, KzSliceFileCheck::Title() + QStringLiteral(": ") + KzSliceFileCheck::Text(presetError));

    KzPlate plate;
    QVector3D max;
    QVector3D min;
    config->GetPrintBound(max, min);
    plate.SetBound(max, min);
    status = OpenModels(plate);
    if (status != StatusSliced)
        return status;
    // Models past the machine's limits would drive the printer into its frame.
    if (!plate.AreAllInBound())
        return Refuse(StatusFailed, TipText(kTipOutOfBounds));

    // Beside the window's temporary files, under names of this run's own.
    const QString parent = QFileInfo(config->GetTmpSTLFilePath()).path();
    RemoveStaleRuns(parent);
    const QTemporaryDir folder(parent + QStringLiteral("/slice-XXXXXX"));
    KzRunLock lock(folder.path());
    QVector3D centre;
    const QString stl = folder.filePath(QFileInfo(config->GetTmpSTLFilePath()).fileName());
    if (!folder.isValid() || !lock.Take() || !plate.SaveAll(stl, centre))
        return Refuse(StatusFailed, tr("无法为切片引擎写出模型：%1").arg(stl));
    // Where the group stands on the plate is where it prints, as in the window.
    config->SetModelPos(centre.x(), centre.y());
    return Slice(folder.path());
}

// Without a name, the printer and material the window would start on; with a
// printer named, a remembered material it does not print gives way to PLA,
// which every printer prints.
int KzSliceCommand::ChoosePrinter()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    int machine = KzPrinterChoice::GetStartMachineType(m_pSettings);
    if (!m_line.GetMachineName().isEmpty()) {
        machine = KzPrinterChoice::FindMachine(m_line.GetMachineName());
        if (machine < 0)
            return Refuse(StatusBadArguments, tr("未知的机型“%1”。可用的机型：%2")
                                                  .arg(m_line.GetMachineName(),
                                                       KzPrinterChoice::GetMachineNames().join(QStringLiteral(", "))));
    }
    int material = KzPrinterChoice::GetStartMaterialID(m_pSettings);
    if (!m_line.GetMaterialName().isEmpty()) {
        material = KzPrinterChoice::FindMaterial(m_line.GetMaterialName(), machine);
        if (material < 0)
            return Refuse(StatusBadArguments,
                          tr("机型%1不能打印材料“%2”。可用的材料：%3")
                              .arg(config->GetMachineName(machine), m_line.GetMaterialName(),
                                   KzPrinterChoice::GetMaterialNames(machine).join(QStringLiteral(", "))));
    } else if (!m_line.GetMachineName().isEmpty() && !KzPrinterChoice::PrintsMaterial(machine, material)) {
        material = 0;
    }
    config->SetMachineType(machine);
    config->SetMaterialID(material);
    Say(tr("机型 %1，材料 %2，预设 %3")
            .arg(config->GetCurrentMachineName(), KzPrinterChoice::GetMaterialName(material),
                 QLatin1String(PresetName(m_line.GetPreset()))));
    return StatusSliced;
}

// A G-code file needs a folder to go into; found out before the slicing.
int KzSliceCommand::CheckOutput() const
{
    const QFileInfo output(m_line.GetOutputFile());
    if (output.isDir())
        return Refuse(StatusBadArguments, tr("输出文件%1是一个文件夹。").arg(output.filePath()));
    if (!output.dir().exists())
        return Refuse(StatusBadArguments, tr("输出文件的文件夹%1不存在。").arg(output.path()));
    return StatusSliced;
}

// Every file is tried, in order, as the window opens them; a plate with one
// of them missing is not sliced.
int KzSliceCommand::OpenModels(KzPlate& plate) const
{
    int status = StatusSliced;
    for (const QString& path : m_line.GetModelFiles()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            status = Refuse(StatusBadArguments, tr("无法读取模型文件%1：%2").arg(path, file.errorString()));
            continue;
        }
        file.close();
        KzLoadReport report;
        const bool added = plate.AddModelFile(path, report) != nullptr;
        const QStringList lines = KzTipWidget::DescribeLoad(report);
        if (!added)
            status = Refuse(StatusBadArguments, lines.isEmpty() ? path : lines.join(QStringLiteral("; ")));
        else if (!lines.isEmpty())
            Say(lines.join(QStringLiteral("; ")));
        else
            Say(tr("已打开模型%1").arg(QDir::toNativeSeparators(path)));
    }
    return status;
}

// The panel's run: a preset's profile for the chosen printer and material, the
// same job, on this thread (the run is all this program does).
int KzSliceCommand::Slice(const QString& folder)
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    KzSliceProfile profile(static_cast<emSliceMode>(m_line.GetPreset()));
    profile.SetChoice(*config);
    const QString gcode = QDir(folder).filePath(QFileInfo(config->GetTmpGcodeFilePath()).fileName());

    KzSliceWork job;
    job.SetSTLFilePath(QDir(folder).filePath(QFileInfo(config->GetTmpSTLFilePath()).fileName()));
    job.SetGCodeFilePath(gcode);
    int range = 0;
    int told = -1;
    int result = -1;
    QObject::connect(&job, &KzSliceWork::signal_UpdateProgressRange, [&range](int, int max) { range = max; });
    QObject::connect(&job, &KzSliceWork::signal_UpdateProgressValue, [&range, &told](int value) {
        const int percent = range > 0 ? int(qint64(value) * 100 / range) / kProgressStep * kProgressStep : 0;
        if (percent > told && percent <= 100) {
            told = percent;
            Say(tr("切片中 %1%").arg(percent));
        }
    });
    QObject::connect(&job, &KzSliceWork::signal_UpdateTipText, [this](const QString& text) { m_strFailReason = text; });
    QObject::connect(&job, &KzSliceWork::signal_SendPrintInfo, [this](const QString& info) { m_strPrintInfo = info; });
    QObject::connect(&job, &KzSliceWork::signal_SliceOver, [&result](int code) { result = code; });
    job.SetParamString(profile.GetCommandStrings());
    {
        KzStopSignals stop(&job);
        job.slot_StartSlice();
    }
    if (result == ResultSliced)
        return Save(gcode);
    if (result == ResultStopped && g_nStopSignal != 0)
        return Refuse(128 + g_nStopSignal, QCoreApplication::translate("CustomPrint", "已停止"));
    // As the tip says it: "Slice failed" and the job's reason.
    const QString failed = QCoreApplication::translate("CustomPrint", "切片失败");
    return Refuse(StatusFailed, m_strFailReason.isEmpty() ? failed : failed + QStringLiteral(": ") + m_strFailReason);
}

// As "Save data" saves: the old file stays whole unless the new one is complete.
int KzSliceCommand::Save(const QString& gcode) const
{
    const QString output = m_line.GetOutputFile();
    if (!KzFileCopy::CopyReplacing(gcode, output))
        return Refuse(StatusFailed, QCoreApplication::translate("CustomPrint", "保存失败") + QStringLiteral(": ") + QDir::toNativeSeparators(output));
    QString info = m_strPrintInfo.trimmed();
    info.replace(QLatin1Char('\n'), QStringLiteral(", "));
    Say(tr("已写出%1（%2）").arg(QDir::toNativeSeparators(output), info));
    return StatusSliced;
}
