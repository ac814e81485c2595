#include "KzPrivateBus.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A system bus without the system's rules: any user may connect, own names
// and call anything (udisks2 still asks who calls and refuses others than
// root without polkit). The socket is abstract, so any user reaches it.
const char kBusConfig[] =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
    "<busconfig>\n"
    "  <type>system</type>\n"
    "  <listen>unix:abstract=kzvellum-test-bus-%1</listen>\n"
    "  <auth>EXTERNAL</auth>\n"
    "  <policy context=\"default\">\n"
    "    <allow user=\"*\"/>\n"
    "    <allow own=\"*\"/>\n"
    "    <allow send_type=\"method_call\"/>\n"
    "    <allow send_type=\"signal\"/>\n"
    "    <allow send_type=\"method_return\"/>\n"
    "    <allow send_type=\"error\"/>\n"
    "    <allow receive_type=\"method_call\"/>\n"
    "    <allow receive_type=\"signal\"/>\n"
    "    <allow receive_type=\"method_return\"/>\n"
    "    <allow receive_type=\"error\"/>\n"
    "  </policy>\n"
    "</busconfig>\n";

} // namespace

KzPrivateBus::KzPrivateBus() = default;

KzPrivateBus::~KzPrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

QString KzPrivateBus::DaemonProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
}

bool KzPrivateBus::Start()
{
    if (DaemonProgram().isEmpty()) {
        m_strError = QStringLiteral("dbus-daemon is not installed");
        return false;
    }
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    const QByteArray text = QString::fromLatin1(kBusConfig)
                                .arg(QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
                                     + QFileInfo(m_dir.path()).fileName())
                                .toUtf8();
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        m_strError = QStringLiteral("cannot write the bus configuration");
        return false;
    }
    file.close();
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(DaemonProgram(), { "--config-file=" + config, "--nofork", "--nopidfile", "--print-address=1" });
    while (m_daemon.waitForReadyRead(10000) && !m_daemon.canReadLine()) {
    }
    m_strAddress = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_strAddress.isEmpty()) {
        m_strError = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_daemon.readAllStandardError());
        return false;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_strAddress.toUtf8());
    return true;
}
