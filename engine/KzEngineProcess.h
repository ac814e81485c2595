#ifndef KZENGINEPROCESS_H
#define KZENGINEPROCESS_H

#include <QByteArray>
#include <QList>

#include <sys/types.h>

// The engine as a child process with its standard output and error on one pipe.
// The child is bound to the bridge: it gets SIGKILL when the bridge dies for
// any reason (PR_SET_PDEATHSIG), and a SIGTERM, SIGINT, SIGHUP or SIGPIPE to
// the bridge kills it and removes the registered temporary file first.
// The bridge is bound to its caller in turn (BindToCaller), so killing the
// program that slices ends the bridge and its engine too.
class KzEngineProcess
{
public:
    KzEngineProcess() = default;
    ~KzEngineProcess();
    KzEngineProcess(const KzEngineProcess &) = delete;
    KzEngineProcess &operator=(const KzEngineProcess &) = delete;

    // The file to remove if the bridge is stopped by a signal (empty: none).
    static void RegisterTemporaryFile(const QByteArray &path);
    static void InstallSignalHandlers();

    // Asks for SIGTERM when the caller (the parent, its pid taken first thing
    // at start) dies; the handler then kills the engine. False when the caller
    // is already gone: the bridge was adopted (by init or a subreaper) before
    // the request, or nobody reads its output pipe any more.
    static bool BindToCaller(pid_t caller);

    // Starts program with args (program is not repeated in args). The child
    // inherits every descriptor not marked close-on-exec. False with GetError
    // when the process cannot be started.
    bool Start(const QByteArray &program, const QList<QByteArray> &args);

    // Reads the next complete line (without its line end); false at the end of
    // the output, after which the last unterminated text, if any, has been returned.
    bool ReadLine(QByteArray &line);

    // Waits for the end. Returns the exit status, or -1 when the child was killed
    // by a signal (GetSignal).
    int Wait();
    int GetSignal() const { return m_nSignal; }
    QByteArray GetError() const { return m_strError; }
    pid_t GetPid() const { return m_nPid; }

private:
    bool Fill();

    pid_t m_nPid = -1;
    int m_nFd = -1;
    int m_nSignal = 0;
    QByteArray m_strPending;
    bool m_bEof = false;
    QByteArray m_strError;
};

#endif
