#include "KzEngineBridge.h"

#include "KzEngineBase.h"
#include "KzEngineConsole.h"
#include "KzEngineProcess.h"
#include "KzEngineSettingMap.h"
#include "KzGCodeRewriter.h"
#include "KzLayerEstimate.h"
#include "KzLegacyCommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const char *const KzEngineBridge::BaseFileName = "engine-base.json";
const char *const KzEngineBridge::EngineName = "CuraEngine";

namespace {

const char *const kFirstLine = ";G-code for KzVellum, sliced through its engine bridge";

// Settings the bridge's own work depends on; they win over base and line alike.
const char *const kFixedSettings[][2] = {
    {"machine_start_gcode", KzGCodeRewriter::StartMarker},
    {"machine_end_gcode", KzGCodeRewriter::EndMarker},
    {"machine_nozzle_temp_enabled", "false"}, // the start code heats, once
    {"machine_heated_bed", "false"},
    {"material_print_temp_prepend", "false"},
    {"material_bed_temp_prepend", "false"},
    {"machine_center_is_zero", "true"},       // no bed size needed to place the print
    {"center_object", "true"},
};

void WriteAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

bool HasLineBreak(const QByteArray &text)
{
    return text.contains('\n') || text.contains('\r');
}

QString Local(const QByteArray &text)
{
    return QString::fromLocal8Bit(text);
}

} // namespace

KzEngineBridge::KzEngineBridge() = default;
KzEngineBridge::~KzEngineBridge()
{
    if (m_nEngineFd >= 0)
        close(m_nEngineFd);
}

QString KzEngineBridge::SelfPath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString KzEngineBridge::FindBase(const QString &self)
{
    const QDir folder = QFileInfo(self).absoluteDir();
    const QString beside = folder.filePath(QLatin1String(BaseFileName));
    // Installed as <prefix>/libexec/kzvellum/CuraEngine, the data lies in
    // <prefix>/share/kzvellum/Engine.
    const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../../share/kzvellum/Engine/"))
                                              + QLatin1Char('/') + QLatin1String(BaseFileName));
    return QFileInfo::exists(beside) || !QFileInfo::exists(installed) ? beside : installed;
}

QByteArray KzEngineBridge::FindEngine(const QByteArray &searchPath, const QString &self)
{
    const QString selfPath = QFileInfo(self).canonicalFilePath();
    for (const QByteArray &dir : searchPath.split(':')) {
        if (dir.isEmpty())
            continue; // an empty entry would mean the working folder
        const QByteArray candidate = dir + '/' + EngineName;
        const QFileInfo info(QFile::decodeName(candidate));
        if (!info.isFile() || access(candidate.constData(), X_OK) != 0)
            continue;
        if (!selfPath.isEmpty() && info.canonicalFilePath() == selfPath)
            continue;
        return candidate;
    }
    return QByteArray();
}

void KzEngineBridge::Print(const QByteArray &line)
{
    WriteAll(STDOUT_FILENO, line + "\r\n");
}

void KzEngineBridge::PrintError(const QByteArray &line)
{
    WriteAll(STDERR_FILENO, line + "\r\n");
}

void KzEngineBridge::RemoveTemporaries()
{
    KzEngineProcess::RegisterTemporaryFile(QByteArray());
    if (!m_strPartOutput.isEmpty())
        unlink(m_strPartOutput.constData());
    m_strPartOutput.clear();
    if (m_nEngineFd >= 0)
        close(m_nEngineFd);
    m_nEngineFd = -1;
}

int KzEngineBridge::Fail(int status, const QString &message)
{
    RemoveTemporaries();
    if (!m_strOutput.isEmpty())
        unlink(m_strOutput.constData());
    PrintError("Error: " + message.toLocal8Bit());
    return status;
}

bool KzEngineBridge::MakeTemporary(const QByteArray &tag, QByteArray &path, int &fd)
{
    // Beside the output, so the finished file can be renamed into place.
    const QFileInfo output(QFile::decodeName(m_strOutput));
    QByteArray name = QFile::encodeName(output.absolutePath()) + "/." + QFile::encodeName(output.fileName()) + '.'
                      + tag + "-XXXXXX";
    fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    path = name;
    return true;
}

bool KzEngineBridge::MakeEngineOutput()
{
    // The engine writes into a file that has no name from the start: it
    // reaches it as /proc/self/fd/N through the descriptor it inherits, and
    // nothing is left behind however the bridge ends.
    QByteArray path;
    if (!MakeTemporary("engine", path, m_nEngineFd))
        return false;
    unlink(path.constData());
    return true;
}

QList<QByteArray> KzEngineBridge::EngineArguments() const
{
    QList<QByteArray> args{"slice", "-v", "-p", "-j", QFile::encodeName(m_strBasePath)};
    QMap<QString, QByteArray> settings = m_pMap->GetEngineSettings();
    for (const auto &fixed : kFixedSettings)
        settings.insert(QString::fromLatin1(fixed[0]), fixed[1]);
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        args << "-s" << it.key().toLatin1() + '=' + it.value();
    // Global settings go before the mesh: after -l they would apply to it alone.
    return args << "-l" << m_line.GetInputPath() << "-o" << "/proc/self/fd/" + QByteArray::number(m_nEngineFd);
}

int KzEngineBridge::Prepare(const QList<QByteArray> &args)
{
    if (!m_line.Parse(args))
        return Fail(2, m_line.GetError());
    m_bVerbose = m_line.GetVerbose();
    if (HasLineBreak(m_line.GetOutputPath()) || HasLineBreak(m_line.GetInputPath()))
        return Fail(2, QStringLiteral("file names with line breaks are not supported"));
    m_strOutput = m_line.GetOutputPath();

    const QString self = SelfPath();
    m_strBasePath = FindBase(self);
    KzEngineBase base;
    if (!base.Load(m_strBasePath))
        return Fail(1, base.GetError());
    m_pMap.reset(new KzEngineSettingMap(base.GetValues()));
    if (!m_pMap->Apply(m_line.GetSettings()))
        return Fail(2, m_pMap->GetError());
    for (const QString &warning : m_pMap->GetWarnings())
        PrintError("Warning: " + warning.toLocal8Bit());

    const QFileInfo input(QFile::decodeName(m_line.GetInputPath()));
    if (!input.isFile() || !input.isReadable())
        return Fail(1, QStringLiteral("cannot read the mesh file %1").arg(input.filePath()));
    const char *searchPath = getenv("PATH");
    m_strEngine = FindEngine(searchPath ? QByteArray(searchPath) : QByteArray("/usr/local/bin:/usr/bin:/bin"), self);
    if (m_strEngine.isEmpty())
        return Fail(1, QStringLiteral("the slicing engine %1 is not installed (not found on PATH; Debian package cura-engine)")
                           .arg(QLatin1String(EngineName)));
    if (!MakeEngineOutput())
        return Fail(1, QStringLiteral("cannot write in the folder of %1: %2")
                           .arg(Local(m_strOutput), QString::fromLocal8Bit(strerror(errno))));
    return 0;
}

int KzEngineBridge::RunEngine()
{
    qint64 height = 0;
    const int estimate = KzLayerEstimate::ReadHeight(QFile::decodeName(m_line.GetInputPath()), height)
                             ? KzLayerEstimate::LayerCount(height, m_pMap->GetInitialLayerThickness(),
                                                           m_pMap->GetLayerThickness())
                             : 0;
    m_pConsole.reset(new KzEngineConsole(m_line.GetProgress(), estimate));
    unlink(m_strOutput.constData()); // an older result must not pass for this one
    KzEngineProcess process;
    if (!process.Start(m_strEngine, EngineArguments()))
        return Fail(1, Local(process.GetError()));
    QByteArray engineLine;
    while (process.ReadLine(engineLine)) {
        for (const QByteArray &legacy : m_pConsole->ReadLine(engineLine))
            Print(legacy);
        if (m_bVerbose && !m_pConsole->WasConsumed())
            PrintError(engineLine);
    }
    const int status = process.Wait();
    const QString engineError = Local(m_pConsole->GetFirstError());
    if (status < 0)
        return Fail(1, QStringLiteral("the engine crashed (signal %1, %2)%3")
                           .arg(process.GetSignal())
                           .arg(QString::fromLocal8Bit(strsignal(process.GetSignal())),
                                engineError.isEmpty() ? QString() : QStringLiteral(" after: ") + engineError));
    if (status != 0)
        return Fail(1, engineError.isEmpty() ? QStringLiteral("the engine stopped with exit status %1").arg(status)
                                             : QStringLiteral("the engine stopped: ") + engineError);
    return 0;
}

int KzEngineBridge::WriteResult()
{
    QFile engineFile;
    if (lseek(m_nEngineFd, 0, SEEK_SET) != 0 || !engineFile.open(m_nEngineFd, QIODevice::ReadOnly))
        return Fail(1, QStringLiteral("the engine wrote no G-code"));
    KzGCodeRewriter rewriter(kFirstLine, m_pMap->GetStartCode(), m_pMap->GetEndCode(), m_pConsole->GetHeader());
    const QByteArray gcode = rewriter.Rewrite(engineFile.readAll());
    engineFile.close(); // the descriptor stays ours
    if (rewriter.GetModelLayers() == 0) {
        const QString engineError = Local(m_pConsole->GetFirstError());
        return Fail(1, QStringLiteral("the engine produced no layers%1")
                           .arg(engineError.isEmpty()
                                    ? QStringLiteral(" (is the mesh empty, broken or thinner than the first layer?)")
                                    : QStringLiteral(": ") + engineError));
    }
    // Complete or not at all: written beside the output, then renamed onto it.
    int partFd = -1;
    if (!MakeTemporary("part", m_strPartOutput, partFd))
        return Fail(1, QStringLiteral("cannot write in the folder of %1: %2")
                           .arg(Local(m_strOutput), QString::fromLocal8Bit(strerror(errno))));
    KzEngineProcess::RegisterTemporaryFile(m_strPartOutput);
    // A temporary file is private; the result gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(partFd, 0666 & ~mask);
    QFile part;
    const bool written = part.open(partFd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
                         && part.write(gcode) == gcode.size() && part.flush();
    part.close();
    if (!written)
        return Fail(1, QStringLiteral("cannot write %1").arg(Local(m_strOutput)));
    if (rename(m_strPartOutput.constData(), m_strOutput.constData()) != 0)
        return Fail(1, QStringLiteral("cannot write %1: %2").arg(Local(m_strOutput), QString::fromLocal8Bit(strerror(errno))));
    m_strPartOutput.clear();
    RemoveTemporaries();
    for (const QByteArray &legacy : m_pConsole->Finish(m_pMap->GetFilamentDiameter()))
        Print(legacy);
    return 0;
}

int KzEngineBridge::Run(const QList<QByteArray> &args)
{
    KzEngineProcess::InstallSignalHandlers();
    int status = Prepare(args);
    if (status == 0)
        status = RunEngine();
    if (status == 0)
        status = WriteResult();
    return status;
}
