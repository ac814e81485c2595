#include "KzChildProcess.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

// How long a stopped child may take to end by itself before it is killed.
const int kTerminateGraceMs = 300;

void SleepMs(int ms)
{
    timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

QString SystemError(const char *what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

KzChildProcess::KzChildProcess()
    : m_nPid(-1),
      m_nReadFd(-1),
      m_bExited(false),
      m_nStatus(0)
{
}

KzChildProcess::~KzChildProcess()
{
    Kill();
    CloseOutput();
}

bool KzChildProcess::Start(const QString &program, const QStringList &arguments)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_strError = SystemError("cannot create a pipe", errno);
        return false;
    }

    // The child: no input, both outputs on the pipe, default signal handling,
    // a process group of its own.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t allSignals, noSignals;
    sigfillset(&allSignals);
    sigemptyset(&noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    QList<QByteArray> texts;
    texts.append(QFile::encodeName(program));
    for (const QString &argument : arguments)
        texts.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int result = posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (result != 0) {
        close(pipeFds[0]);
        m_strError = SystemError("cannot start the program", result);
        return false;
    }
    m_nPid = pid;
    m_nReadFd = pipeFds[0];
    m_bExited = false;
    return true;
}

QString KzChildProcess::ErrorString() const
{
    return m_strError;
}

qint64 KzChildProcess::Read(char *buffer, qint64 maxSize, int timeoutMs)
{
    if (m_nReadFd < 0)
        return ms_nReadFailed;
    pollfd watch{m_nReadFd, POLLIN, 0};
    const int ready = poll(&watch, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return ms_nNoDataYet;
    if (ready < 0)
        return ms_nReadFailed;
    const ssize_t count = read(m_nReadFd, buffer, size_t(maxSize));
    if (count < 0)
        return errno == EINTR || errno == EAGAIN ? ms_nNoDataYet : ms_nReadFailed;
    return count;
}

void KzChildProcess::CloseOutput()
{
    if (m_nReadFd >= 0)
        close(m_nReadFd);
    m_nReadFd = -1;
}

bool KzChildProcess::WaitForExit(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!Reap(false)) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        SleepMs(2);
    }
    return true;
}

bool KzChildProcess::ExitedCleanly() const
{
    return m_bExited && WIFEXITED(m_nStatus) && WEXITSTATUS(m_nStatus) == 0;
}

QString KzChildProcess::ExitDescription() const
{
    if (!m_bExited)
        return QStringLiteral("still running");
    if (WIFEXITED(m_nStatus))
        return QStringLiteral("exit status %1").arg(WEXITSTATUS(m_nStatus));
    if (WIFSIGNALED(m_nStatus))
        return QStringLiteral("killed by signal %1").arg(WTERMSIG(m_nStatus));
    return QStringLiteral("ended, status unknown");
}

void KzChildProcess::Kill()
{
    if (m_nPid <= 0 || m_bExited)
        return;
    // The whole group: the engine may run helpers of its own. The child is not
    // reaped before the last signal, so its group id cannot be reused meanwhile.
    ::kill(-m_nPid, SIGTERM);
    QElapsedTimer clock;
    clock.start();
    siginfo_t info;
    do {
        info.si_pid = 0;
        if (waitid(P_PID, id_t(m_nPid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno != EINTR)
            break;
        if (info.si_pid != 0)
            break;
        SleepMs(2);
    } while (clock.elapsed() < kTerminateGraceMs);
    ::kill(-m_nPid, SIGKILL);
    Reap(true);
}

bool KzChildProcess::Reap(bool block)
{
    if (m_bExited || m_nPid <= 0)
        return m_bExited;
    int status = 0;
    pid_t result;
    do {
        result = waitpid(m_nPid, &status, block ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == m_nPid) {
        m_nStatus = status;
        m_bExited = true;
    } else if (result < 0) {
        // Reaped elsewhere (SIGCHLD ignored): gone, with no status to trust.
        m_nStatus = W_EXITCODE(255, 0);
        m_bExited = true;
    }
    return m_bExited;
}
