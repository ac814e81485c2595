#ifndef KZFAKEUDISKS_H
#define KZFAKEUDISKS_H

// A stand-in for udisks2 as far as ejecting sees it, for the cases the real
// daemon cannot show: its object tree (a card partition mounted at
// m_strMountPoint on its reader's drive, another card elsewhere) and answers
// to Unmount, PowerOff and Eject, each a reply or the error it is told to
// give. Registered by the test under udisks2's name on a bus of its own.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QStringList>

#include <sys/sysmacros.h>

class KzFakeUDisks : public QDBusVirtualObject
{
public:
    typedef QMap<QString, QVariantMap> Interfaces;
    typedef QMap<QDBusObjectPath, Interfaces> Objects;

    static QString Root() { return QStringLiteral("/org/freedesktop/UDisks2"); }
    static QString Block() { return Root() + "/block_devices/sdb1"; }
    static QString Drive() { return Root() + "/drives/Card_Reader_0815"; }
    static void RegisterTypes()
    {
        qDBusRegisterMetaType<Interfaces>();
        qDBusRegisterMetaType<Objects>();
        qDBusRegisterMetaType<QByteArrayList>();
    }

    // What each call asked: "Unmount /org/...sdb1 interactive=0".
    QStringList m_listCalls;
    QMap<QString, QString> m_mapErrors;   // method -> D-Bus error name
    bool m_bCanPowerOff = true;
    bool m_bEjectable = true;
    QString m_strMountPoint = QStringLiteral("/media/maker/SD");
    quint64 m_nMountedDevice = makedev(8, 17);   // the device mounted there

    QString introspect(const QString&) const override { return QString(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "GetManagedObjects") {
            connection.send(message.createReply(QVariant::fromValue(ObjectTree())));
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(0));
        m_listCalls << QString("%1 %2 interactive=%3")
                           .arg(message.member(), message.path())
                           .arg(!options.value("auth.no_user_interaction").toBool());
        const QString error = m_mapErrors.value(message.member());
        connection.send(error.isEmpty() ? message.createReply()
                                        : message.createErrorReply(error, "the stand-in says " + error));
        return true;
    }

private:
    Objects ObjectTree() const
    {
        Objects objects;
        auto block = [&](const QString& path, quint64 device, const QByteArray& mountPoint) {
            const QByteArrayList points{ mountPoint + '\0' };
            objects[QDBusObjectPath(path)]["org.freedesktop.UDisks2.Block"] =
                QVariantMap{ { "DeviceNumber", device }, { "Drive", QVariant::fromValue(QDBusObjectPath(Drive())) } };
            objects[QDBusObjectPath(path)]["org.freedesktop.UDisks2.Filesystem"] =
                QVariantMap{ { "MountPoints", QVariant::fromValue(points) } };
        };
        block(Root() + "/block_devices/sdc1", makedev(8, 33), "/media/maker/OTHER");
        block(Block(), m_nMountedDevice, m_strMountPoint.toUtf8());
        objects[QDBusObjectPath(Drive())]["org.freedesktop.UDisks2.Drive"] =
            QVariantMap{ { "CanPowerOff", m_bCanPowerOff }, { "Ejectable", m_bEjectable } };
        return objects;
    }
};

#endif // KZFAKEUDISKS_H
