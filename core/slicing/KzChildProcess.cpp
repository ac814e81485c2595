#include "KzChildProcess.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
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
// How long to wait for the rest of a killed group to be gone.
const int kGroupGoneMs = 1000;

void SleepMs(int ms)
{
    timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

// Whether a process of the group still runs. Ended members count as gone even
// before their new parent collects them, which some init processes do slowly.
bool GroupIsAlive(pid_t group)
{
    if (::kill(-group, 0) != 0)
        return false;
    DIR *proc = opendir("/proc");
    if (!proc)
        return true;
    bool alive = false;
    while (dirent *entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        char path[300];
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char stat[512];
        const ssize_t size = read(fd, stat, sizeof stat - 1);
        close(fd);
        if (size <= 0)
            continue;
        stat[size] = '\0';
        // "pid (name) state ppid pgrp ...": the name may hold blanks and parentheses.
        const char *fields = std::strrchr(stat, ')');
        char state = 0;
        int parent = 0, processGroup = 0;
        if (fields && std::sscanf(fields + 1, " %c %d %d", &state, &parent, &processGroup) == 3
            && processGroup == group && state != 'Z' && state != 'X') {
            alive = true;
            break;
        }
    }
    closedir(proc);
    return alive;
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

int KzChildProcess::ExitSignal() const
{
    return m_bExited && WIFSIGNALED(m_nStatus) ? WTERMSIG(m_nStatus) : 0;
}

int KzChildProcess::ExitCode() const
{
    return m_bExited && WIFEXITED(m_nStatus) ? WEXITSTATUS(m_nStatus) : -1;
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
    // A killed helper may take a moment to go (a large engine unmapping its
    // memory). Nothing more is sent: the group id could be reused by now.
    clock.restart();
    while (GroupIsAlive(m_nPid) && clock.elapsed() < kGroupGoneMs)
        SleepMs(2);
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
