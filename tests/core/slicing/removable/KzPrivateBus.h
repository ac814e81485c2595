#ifndef KZPRIVATEBUS_H
#define KZPRIVATEBUS_H

// A system bus of the test's own: a dbus-daemon that lets every user own any
// name and send anything, and that this process's system bus connection is
// pointed at (DBUS_SYSTEM_BUS_ADDRESS, read when the connection is first
// used: start the bus before anything asks for QDBusConnection::systemBus()).
// Ended with the object.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class KzPrivateBus
{
public:
    KzPrivateBus();
    ~KzPrivateBus();

    // Starts the daemon; false, with the reason in GetError(), when it cannot.
    bool Start();
    QString GetAddress() const { return m_strAddress; }
    QString GetError() const { return m_strError; }
    // The daemon's program, empty when it is not installed.
    static QString DaemonProgram();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_strAddress;
    QString m_strError;
};

#endif // KZPRIVATEBUS_H
