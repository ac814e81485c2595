#ifndef KZCHILDPROCESS_H
#define KZCHILDPROCESS_H

#include <QString>
#include <QStringList>

#include <sys/types.h>

// A child program whose standard output and standard error share one pipe that
// this process reads. The child leads a process group of its own, so Kill()
// also ends any helper it started. The destructor kills a child still running,
// so none is ever left behind.
class KzChildProcess
{
public:
    // Read() results that are not a byte count.
    static constexpr qint64 ms_nEndOfOutput = 0;
    static constexpr qint64 ms_nReadFailed = -1;
    static constexpr qint64 ms_nNoDataYet = -2;

    KzChildProcess();
    ~KzChildProcess();

    // Starts program (a path, relative ones resolve against the working folder)
    // with exactly these arguments. False when it cannot be started.
    bool Start(const QString &program, const QStringList &arguments);
    QString ErrorString() const;

    // Waits at most timeoutMs for output, then reads up to maxSize bytes.
    qint64 Read(char *buffer, qint64 maxSize, int timeoutMs);
    void CloseOutput();

    // True once the child has ended (it is reaped then), waiting at most timeoutMs.
    bool WaitForExit(int timeoutMs);
    bool ExitedCleanly() const;
    QString ExitDescription() const;
    // Once ended: the signal that killed the child (0 when it exited), and its
    // exit status (-1 when a signal killed it).
    int ExitSignal() const;
    int ExitCode() const;

    // Ends the child and its process group: a polite SIGTERM, then SIGKILL.
    void Kill();

private:
    bool Reap(bool block);

    pid_t m_nPid;
    int m_nReadFd;
    bool m_bExited;
    int m_nStatus;
    QString m_strError;

    Q_DISABLE_COPY(KzChildProcess)
};

#endif // KZCHILDPROCESS_H
