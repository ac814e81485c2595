#include "KzCardEject.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFile>

namespace {

// udisks2's object tree: object path -> interface -> property -> value.
typedef QMap<QString, QVariantMap> KzInterfaces;
typedef QMap<QDBusObjectPath, KzInterfaces> KzManagedObjects;

const char kManagerPath[] = "/org/freedesktop/UDisks2";
const char kObjectManager[] = "org.freedesktop.DBus.ObjectManager";
const char kBlock[] = "org.freedesktop.UDisks2.Block";
const char kFilesystem[] = "org.freedesktop.UDisks2.Filesystem";
const char kDrive[] = "org.freedesktop.UDisks2.Drive";
const char kNoObject[] = "/";

// Listing is quick; unmounting flushes the card, and an authentication the
// user is asked for waits for the user.
const int kListTimeout = 10 * 1000;
const int kActTimeout = 2 * 60 * 1000;
const int kInteractiveTimeout = 5 * 60 * 1000;

// D-Bus errors that mean nobody answers for udisks2.
const char* const kNoServiceErrors[] = {
    "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
    "org.freedesktop.DBus.Error.NoServer",       "org.freedesktop.DBus.Error.Disconnected",
    "org.freedesktop.DBus.Error.Spawn.",
};

void RegisterTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<KzInterfaces>();
        qDBusRegisterMetaType<KzManagedObjects>();
        return true;
    }();
    Q_UNUSED(registered);
}

// udisks2 gives mount points as byte strings ended by a zero byte.
QList<QByteArray> MountPoints(const QVariant& value)
{
    QList<QByteArray> points;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> points;
    for (QByteArray& point : points) {
        if (point.endsWith('\0'))
            point.chop(1);
    }
    return points;
}

QString ObjectPath(const QVariant& value)
{
    return value.value<QDBusObjectPath>().path();
}

} // namespace

const char* const KzCardEject::ms_szService = "org.freedesktop.UDisks2";

KzCardEject::KzCardEject(QObject* parent)
    : QObject(parent)
    , m_bRunning(false)
    , m_bInteractive(false)
    , m_nDeviceNumber(0)
    , m_bCanPowerOff(false)
    , m_bEjectable(false)
{
    RegisterTypes();
}

bool KzCardEject::IsRunning() const
{
    return m_bRunning;
}

bool KzCardEject::Start(const QString& strMountPoint, quint64 nDeviceNumber, bool bInteractive)
{
    if (m_bRunning)
        return false;
    m_bRunning = true;
    m_bInteractive = bInteractive;
    m_strMountPoint = strMountPoint;
    m_nDeviceNumber = nDeviceNumber;
    m_strBlockPath.clear();
    m_strDrivePath.clear();
    m_bCanPowerOff = false;
    m_bEjectable = false;
    if (!QDBusConnection::systemBus().isConnected()) {
        // Told after the caller has returned, as every other outcome is.
        QMetaObject::invokeMethod(
            this, [this] { Finish(ResultNoService, QDBusConnection::systemBus().lastError().message()); },
            Qt::QueuedConnection);
        return true;
    }
    Call(QString::fromLatin1(kManagerPath), kObjectManager, "GetManagedObjects", &KzCardEject::ObjectsListed,
         kListTimeout);
    return true;
}

void KzCardEject::Call(const QString& path, const char* interface, const char* method, Step next, int timeout)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(ms_szService), path,
                                                          QString::fromLatin1(interface), QString::fromLatin1(method));
    if (qstrcmp(interface, kObjectManager) != 0) {
        QVariantMap options;
        options.insert(QStringLiteral("auth.no_user_interaction"), !m_bInteractive);
        message << options;
    }
    const QDBusPendingCall pending = QDBusConnection::systemBus().asyncCall(message, timeout);
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, next](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        (this->*next)(call);
    });
}

// The block object that has the card's device number and is mounted at the
// card's mount point; its drive and what the drive allows.
void KzCardEject::ObjectsListed(QDBusPendingCallWatcher* call)
{
    const QDBusPendingReply<KzManagedObjects> reply = *call;
    if (reply.isError()) {
        Finish(ResultOfError(reply.error().name()), reply.error().message());
        return;
    }
    const KzManagedObjects objects = reply.value();
    const QByteArray mountPoint = QFile::encodeName(m_strMountPoint);
    for (auto it = objects.cbegin(); it != objects.cend() && m_strBlockPath.isEmpty(); ++it) {
        const QVariantMap block = it.value().value(QLatin1String(kBlock));
        const QVariantMap filesystem = it.value().value(QLatin1String(kFilesystem));
        if (block.value(QStringLiteral("DeviceNumber")).toULongLong() == m_nDeviceNumber
            && MountPoints(filesystem.value(QStringLiteral("MountPoints"))).contains(mountPoint)) {
            m_strBlockPath = it.key().path();
            m_strDrivePath = ObjectPath(block.value(QStringLiteral("Drive")));
        }
    }
    if (m_strBlockPath.isEmpty()) {
        Finish(ResultNotFound, m_strMountPoint);
        return;
    }
    const QVariantMap drive = objects.value(QDBusObjectPath(m_strDrivePath.isEmpty() ? kNoObject : m_strDrivePath))
                                  .value(QLatin1String(kDrive));
    m_bCanPowerOff = drive.value(QStringLiteral("CanPowerOff")).toBool();
    m_bEjectable = drive.value(QStringLiteral("Ejectable")).toBool();
    Call(m_strBlockPath, kFilesystem, "Unmount", &KzCardEject::Unmounted,
         m_bInteractive ? kInteractiveTimeout : kActTimeout);
}

void KzCardEject::Unmounted(QDBusPendingCallWatcher* call)
{
    const QDBusPendingReply<> reply = *call;
    // Unmounted meanwhile by someone else: as good.
    if (reply.isError() && reply.error().name() != QLatin1String("org.freedesktop.UDisks2.Error.NotMounted")) {
        Finish(ResultOfError(reply.error().name()), reply.error().message());
        return;
    }
    const bool hasDrive = !m_strDrivePath.isEmpty() && m_strDrivePath != QLatin1String(kNoObject);
    const int timeout = m_bInteractive ? kInteractiveTimeout : kActTimeout;
    if (hasDrive && m_bCanPowerOff)
        Call(m_strDrivePath, kDrive, "PowerOff", &KzCardEject::DriveDone, timeout);
    else if (hasDrive && m_bEjectable)
        Call(m_strDrivePath, kDrive, "Eject", &KzCardEject::DriveDone, timeout);
    else
        Finish(ResultRemovable, QStringLiteral("unmounted"));
}

// The file system is unmounted and flushed whatever the drive answers; only
// another partition of the card still in use makes pulling it unsafe.
void KzCardEject::DriveDone(QDBusPendingCallWatcher* call)
{
    const QDBusPendingReply<> reply = *call;
    const QString done = QLatin1String(m_bCanPowerOff ? "powered off" : "ejected");
    if (!reply.isError()) {
        Finish(ResultRemovable, done);
        return;
    }
    qDebug().noquote() << "KzCardEject: the drive was not" << done << reply.error().message();
    if (ResultOfError(reply.error().name()) == ResultBusy)
        Finish(ResultBusy, reply.error().message());
    else
        Finish(ResultRemovable, QStringLiteral("unmounted"));
}

void KzCardEject::Finish(int result, const QString& detail)
{
    m_bRunning = false;
    if (result != ResultRemovable)
        qDebug().noquote() << "KzCardEject: cannot eject" << m_strMountPoint << "-" << detail;
    emit signal_Finished(result, detail);
}

int KzCardEject::ResultOfError(const QString& name)
{
    if (name == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy"))
        return ResultBusy;
    // Also ...NotAuthorizedCanObtain and ...NotAuthorizedDismissed.
    if (name.startsWith(QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorized")))
        return ResultNotAuthorized;
    for (const char* noService : kNoServiceErrors) {
        if (name.startsWith(QLatin1String(noService)))
            return ResultNoService;
    }
    return ResultFailed;
}
