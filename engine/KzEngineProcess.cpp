#include "KzEngineProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

// State the signal handler may touch: plain data only.
volatile pid_t gChildPid = -1;
char gTemporary[4096];

void OnTerminate(int signal)
{
    const pid_t child = gChildPid;
    if (child > 0)
        kill(child, SIGKILL);
    if (gTemporary[0])
        unlink(gTemporary);
    _exit(128 + signal);
}

} // namespace

void KzEngineProcess::RegisterTemporaryFile(const QByteArray &path)
{
    // The first byte goes last, so a handler never sees half a name; a name too
    // long to hold is not registered at all rather than cut short.
    gTemporary[0] = '\0';
    const size_t n = size_t(path.size());
    if (n == 0 || n >= sizeof(gTemporary))
        return;
    memcpy(gTemporary + 1, path.constData() + 1, n - 1);
    gTemporary[n] = '\0';
    gTemporary[0] = path.at(0);
}

void KzEngineProcess::InstallSignalHandlers()
{
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnTerminate;
    sigfillset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

bool KzEngineProcess::BindToCaller(pid_t caller)
{
    if (caller <= 1 || prctl(PR_SET_PDEATHSIG, SIGTERM) != 0)
        return false;
    // A caller that died before the request sends nothing: the new parent
    // shows it. The output pipe shows it too when the adopter is a subreaper
    // started before the caller: its only reader was the caller.
    if (getppid() != caller)
        return false;
    struct stat output;
    if (fstat(STDOUT_FILENO, &output) != 0 || !S_ISFIFO(output.st_mode))
        return true;
    pollfd watch{STDOUT_FILENO, POLLOUT, 0};
    return poll(&watch, 1, 0) < 0 || !(watch.revents & POLLERR);
}

KzEngineProcess::~KzEngineProcess()
{
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        Wait();
    }
    if (m_nFd >= 0)
        close(m_nFd);
}

bool KzEngineProcess::Start(const QByteArray &program, const QList<QByteArray> &args)
{
    int output[2];
    int report[2]; // carries errno of a failed exec, closed by a successful one
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(report, O_CLOEXEC) != 0) {
        m_strError = QByteArray("cannot create a pipe: ") + QByteArray(strerror(errno));
        return false;
    }
    std::vector<QByteArray> storage;
    storage.reserve(size_t(args.size()) + 1);
    storage.push_back(program);
    for (const QByteArray &arg : args)
        storage.push_back(arg);
    std::vector<char *> argv;
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    sigset_t all, previous;
    sigfillset(&all);
    // No handler may run between fork and the registration of the child.
    sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t pid = fork();
    if (pid == 0) {
        // The child: only async-signal-safe calls until exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127); // the bridge died before the line above
        struct sigaction dflt;
        memset(&dflt, 0, sizeof(dflt));
        dflt.sa_handler = SIG_DFL;
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT})
            sigaction(signal, &dflt, nullptr);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2(devNull, 0);
        dup2(output[1], 1);
        dup2(output[1], 2);
        execv(argv[0], argv.data());
        const int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof(error));
        (void)ignored;
        _exit(127);
    }
    if (pid > 0)
        gChildPid = pid;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    close(output[1]);
    close(report[1]);
    if (pid < 0) {
        m_strError = QByteArray("cannot start the engine: ") + QByteArray(strerror(errno));
        close(output[0]);
        close(report[0]);
        return false;
    }
    m_nPid = pid;
    m_nFd = output[0];
    int error = 0;
    ssize_t got;
    do {
        got = read(report[0], &error, sizeof(error));
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == sizeof(error)) {
        m_strError = QByteArray("cannot run ") + program + ": " + QByteArray(strerror(error));
        Wait();
        return false;
    }
    return true;
}

bool KzEngineProcess::Fill()
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(m_nFd, buffer, sizeof(buffer));
        if (got > 0) {
            m_strPending.append(buffer, int(got));
            return true;
        }
        if (got < 0 && errno == EINTR)
            continue;
        m_bEof = true;
        return false;
    }
}

bool KzEngineProcess::ReadLine(QByteArray &line)
{
    if (m_nFd < 0)
        return false;
    int from = 0;
    for (;;) {
        const int eol = m_strPending.indexOf('\n', from);
        if (eol >= 0) {
            line = m_strPending.left(eol);
            m_strPending.remove(0, eol + 1);
            return true;
        }
        from = m_strPending.size();
        if (m_bEof || !Fill())
            break;
    }
    if (m_strPending.isEmpty())
        return false;
    line = m_strPending;
    m_strPending.clear();
    return true;
}

int KzEngineProcess::Wait()
{
    if (m_nPid <= 0)
        return -1;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(m_nPid, &status, 0);
    } while (done < 0 && errno == EINTR);
    m_nPid = -1;
    gChildPid = -1;
    if (done < 0)
        return -1;
    if (WIFSIGNALED(status)) {
        m_nSignal = WTERMSIG(status);
        return -1;
    }
    return WEXITSTATUS(status);
}
