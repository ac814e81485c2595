#include "KzProgramRun.h"

#include <QElapsedTimer>
#include <QProcess>

bool KzProgramRun::Run(const QString& program, const QStringList& arguments, const QString& folder,
                       const QProcessEnvironment& environment, int timeoutMs)
{
    m_strCommand = (QStringList(program) + arguments).join(' ');
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    m_nStatus = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    m_strOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    m_strErrors = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.error() == QProcess::FailedToStart)
        m_strErrors += process.errorString();
    return m_nStatus >= 0;
}

void KzProgramRun::RunUntilLogged(const QString& program, const QStringList& arguments, const QString& folder,
                                  const QProcessEnvironment& environment, const QString& marker, int timeoutMs)
{
    m_strCommand = (QStringList(program) + arguments).join(' ');
    m_nStatus = -1;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    QByteArray errors;
    QElapsedTimer clock;
    clock.start();
    if (process.waitForStarted(10000)) {
        while (!errors.contains(marker.toUtf8()) && process.state() == QProcess::Running && clock.elapsed() < timeoutMs) {
            process.waitForReadyRead(500);
            errors += process.readAllStandardError();
        }
        // The rest of the line.
        process.waitForReadyRead(300);
        errors += process.readAllStandardError();
    }
    process.kill();
    process.waitForFinished(10000);
    m_strOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    m_strErrors = QString::fromLocal8Bit(errors + process.readAllStandardError());
}

QString KzProgramRun::Describe() const
{
    return QString("%1\nstatus %2\nout: %3\nerr: %4")
        .arg(m_strCommand)
        .arg(m_nStatus)
        .arg(m_strOutput.right(2000), m_strErrors.right(2000));
}

QProcessEnvironment KzProgramRun::WithoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(name);
    return environment;
}
