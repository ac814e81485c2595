// Removable-drive detection, read from fake mount tables and sysfs trees built
// like the kernel's: dev/block/<major:minor> links to the device's folder, a
// partition's folder lies inside its disk's, and the disk says "removable".

#include "KzRemovableStorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/sysmacros.h>

namespace {

class FakeSystem
{
public:
    FakeSystem()
    {
        // A USB card reader with a partitioned card, one with an unpartitioned
        // card, the fixed system disk, a loop device and a zram swap.
        AddDisk("devices/pci0000:00/usb1/1-1/host6/block/sdb", "8:16", true);
        AddPartition("devices/pci0000:00/usb1/1-1/host6/block/sdb", "sdb1", "8:17");
        AddDisk("devices/pci0000:00/usb1/1-2/host7/block/sdc", "8:32", true);
        AddDisk("devices/pci0000:00/0000:00:17.0/block/sda", "8:0", false);
        AddPartition("devices/pci0000:00/0000:00:17.0/block/sda", "sda2", "8:2");
        AddDisk("devices/virtual/block/loop0", "7:0", false);
        AddDisk("devices/virtual/block/zram0", "253:0", false);
        // The SD slot of a laptop: the card sits on the mmc bus and its disk
        // reads "removable" 0. The fixed disk's device is on the scsi bus.
        const QString card = "devices/pci0000:00/0000:00:14.5/mmc_host/mmc0/mmc0:aaaa";
        AddDisk(card + "/block/mmcblk0", "179:0", false);
        AddPartition(card + "/block/mmcblk0", "mmcblk0p1", "179:1");
        OnBus(card, card + "/block/mmcblk0", "mmc");
        OnBus("devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0",
              "devices/pci0000:00/0000:00:17.0/block/sda", "scsi");
        // A USB stick with two partitions, for a system started from it.
        AddDisk("devices/pci0000:00/usb1/1-3/host8/block/sdd", "8:48", true);
        AddPartition("devices/pci0000:00/usb1/1-3/host8/block/sdd", "sdd1", "8:49");
        AddPartition("devices/pci0000:00/usb1/1-3/host8/block/sdd", "sdd2", "8:50");
    }

    QString SysRoot() const { return m_dir.filePath("sys"); }
    QString MountInfo() const { return m_dir.filePath("mountinfo"); }

    // Mount table lines in the kernel's form.
    static QByteArray Mount(const char* device, const QByteArray& mountPoint, const char* type = "vfat",
                            const char* source = "/dev/sdb1", const char* options = "rw,nosuid,nodev,relatime",
                            const char* superOptions = "rw,fmask=0022")
    {
        static int lastId = 30;
        const QByteArray id = QByteArray::number(++lastId);
        return id + " 27 " + device + " / " + mountPoint + " " + options + " shared:" + id + " - " + type + " " + source + " " + superOptions + "\n";
    }
    static QByteArray SystemMounts()
    {
        return "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
               "23 27 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
               "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw,size=24683772k\n"
               "27 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw,errors=remount-ro\n"
               "28 27 7:0 / /snap/core/1 ro,nodev,relatime - squashfs /dev/loop0 ro\n"
               "29 27 7:0 / /mnt/image rw,relatime - ext4 /dev/loop0 rw\n"
               "30 27 0:45 / /run/user/1000 rw,nosuid,nodev - tmpfs tmpfs rw,size=2436k,mode=700\n";
    }

    bool SetMounts(const QByteArray& table) const
    {
        QFile file(MountInfo());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(table) == table.size();
    }

    KzRemovableStorage Storage() const { return KzRemovableStorage(MountInfo(), SysRoot()); }

private:
    void Write(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void Link(const QString& folder, const char* device)
    {
        const QString link = SysRoot() + "/dev/block/" + device;
        QDir().mkpath(QFileInfo(link).absolutePath());
        QVERIFY(QFile::link("../../" + folder, link));
    }
    void AddDisk(const QString& folder, const char* device, bool bRemovable)
    {
        Write(SysRoot() + "/" + folder + "/removable", bRemovable ? "1\n" : "0\n");
        Write(SysRoot() + "/" + folder + "/dev", QByteArray(device) + "\n");
        Link(folder, device);
    }
    // The disk's "device" link leads to a device whose "subsystem" is the bus.
    void OnBus(const QString& device, const QString& disk, const char* bus)
    {
        QVERIFY(QDir().mkpath(SysRoot() + "/" + device));
        QVERIFY(QDir().mkpath(SysRoot() + "/bus/" + bus));
        QVERIFY(QFile::link(SysRoot() + "/bus/" + bus, SysRoot() + "/" + device + "/subsystem"));
        QVERIFY(QFile::link(SysRoot() + "/" + device, SysRoot() + "/" + disk + "/device"));
    }
    void AddPartition(const QString& disk, const char* name, const char* device)
    {
        const QString folder = disk + "/" + name;
        Write(SysRoot() + "/" + folder + "/partition", "1\n");
        Write(SysRoot() + "/" + folder + "/dev", QByteArray(device) + "\n");
        Link(folder, device);
    }

    QTemporaryDir m_dir;
};

} // namespace

class tst_KzRemovableStorage : public QObject
{
    Q_OBJECT

private slots:
    void partitionOfARemovableDisk();
    void onlyRemovableWritableBlockDevices();
    void twoCardsInSortedOrder();
    void escapedMountPoints();
    void cardRemoved();
    void fullNameAddsTheExtensionAgain();
    void nothingListedGivesNoName();
    void unreadableOrMalformedTable();
    void builtInSdSlot();
    void systemFoldersAreNeverOffered();
    void systemRunningFromAUsbStick();
    void programTestsInjectACardBackedByAFolder();
    void systemTable();
};

void tst_KzRemovableStorage::partitionOfARemovableDisk()
{
    FakeSystem fake;
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:17", "/media/maker/SD")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.GetStorageList().isEmpty());
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/SD"});
    QString name = "cube";
    storage.CalSDFullName(name);
    QCOMPARE(name, QString("/media/maker/SD/cube.gcode"));
    // A copy keeps the list.
    const KzRemovableStorage copy = storage;
    QCOMPARE(copy.GetStorageList(), storage.GetStorageList());
}

void tst_KzRemovableStorage::onlyRemovableWritableBlockDevices()
{
    FakeSystem fake;
    // Fixed disk, loop devices, memory file systems, a device sysfs does not
    // know, and the card mounted read-only (by the mount or by its file system).
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:2", "/home", "ext4", "/dev/sda2")
                           + FakeSystem::Mount("8:99", "/media/maker/GHOST")
                           + FakeSystem::Mount("0:50", "/media/maker/FUSE", "fuse.sshfs", "host:/srv")
                           + FakeSystem::Mount("8:17", "/media/maker/RO", "vfat", "/dev/sdb1", "ro,nosuid")
                           + FakeSystem::Mount("8:17", "/media/maker/ROFS", "vfat", "/dev/sdb1", "rw,nosuid", "ro,fmask=0022")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(!storage.DetectRemovableStorage());
    QVERIFY(storage.GetStorageList().isEmpty());
    // The same card writable is found.
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:17", "/media/maker/RW")));
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/RW"});
}

void tst_KzRemovableStorage::twoCardsInSortedOrder()
{
    FakeSystem fake;
    // One card with a partition table, one without (the whole disk is mounted).
    QVERIFY(fake.SetMounts(FakeSystem::Mount("8:32", "/media/maker/ZETA", "vfat", "/dev/sdc") + FakeSystem::SystemMounts()
                           + FakeSystem::Mount("8:17", "/media/maker/ALPHA")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList({"/media/maker/ALPHA", "/media/maker/ZETA"}));
    // Each card's device, for acting on that card later; none for the system's root.
    QCOMPARE(storage.GetDeviceNumber("/media/maker/ALPHA"), quint64(makedev(8, 17)));
    QCOMPARE(storage.GetDeviceNumber("/media/maker/ZETA"), quint64(makedev(8, 32)));
    QCOMPARE(storage.GetDeviceNumber("/"), quint64(0));
    QString name = "part";
    storage.CalSDFullName(name);
    QCOMPARE(name, QString("/media/maker/ALPHA/part.gcode"));
}

void tst_KzRemovableStorage::escapedMountPoints()
{
    FakeSystem fake;
    // Blank, tab and backslash come escaped; other bytes (UTF-8) come as they are.
    QVERIFY(fake.SetMounts(FakeSystem::Mount("8:17", "/media/maker/MY\\040CARD")
                           + FakeSystem::Mount("8:32", "/media/\xe5\x88\xb6\xe4\xbd\x9c/a\\011b\\134c")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(),
             QStringList({"/media/maker/MY CARD", QString::fromUtf8("/media/\xe5\x88\xb6\xe4\xbd\x9c/a\tb\\c")}));
    QString name = "my model";
    storage.CalSDFullName(name);
    QCOMPARE(name, QString("/media/maker/MY CARD/my model.gcode"));
}

void tst_KzRemovableStorage::cardRemoved()
{
    FakeSystem fake;
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:17", "/media/maker/SD")
                           + FakeSystem::Mount("8:32", "/media/maker/SD2", "vfat", "/dev/sdc")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList().size(), 2);
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:32", "/media/maker/SD2", "vfat", "/dev/sdc")));
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/SD2"});
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts()));
    QVERIFY(!storage.DetectRemovableStorage());
    QVERIFY(storage.GetStorageList().isEmpty());
}

void tst_KzRemovableStorage::fullNameAddsTheExtensionAgain()
{
    FakeSystem fake;
    QVERIFY(fake.SetMounts(FakeSystem::Mount("8:17", "/media/maker/SD")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    // A name that ends in ".gcode" already gets it again.
    QString name = "model.gcode";
    storage.CalSDFullName(name);
    QCOMPARE(name, QString("/media/maker/SD/model.gcode.gcode"));
}

void tst_KzRemovableStorage::nothingListedGivesNoName()
{
    // Called without a successful detection: an empty name, so nothing is written anywhere.
    KzRemovableStorage storage;
    QString name = "model";
    storage.CalSDFullName(name);
    QVERIFY(name.isEmpty());
}

void tst_KzRemovableStorage::unreadableOrMalformedTable()
{
    FakeSystem fake;
    KzRemovableStorage missing = fake.Storage();   // no mount table written
    QVERIFY(!missing.DetectRemovableStorage());
    QVERIFY(fake.SetMounts("garbage\n\n31 27 8:17 / /media/maker/CUT rw,relatime\n36 35 8:17 /\n"
                           "37 27 8:17 / /media/maker/NOSEP rw x y z\n"
                           + FakeSystem::Mount("8:17", "/media/maker/SD") + "trailing \\04"));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/SD"});
}

void tst_KzRemovableStorage::builtInSdSlot()
{
    FakeSystem fake;
    // The card in the laptop's slot is found although its disk reads
    // "removable" 0; a fixed disk with a device on another bus is not.
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts()
                           + FakeSystem::Mount("179:1", "/media/maker/CARD", "exfat", "/dev/mmcblk0p1")
                           + FakeSystem::Mount("8:2", "/media/maker/DATA", "ext4", "/dev/sda2")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/CARD"});
    QCOMPARE(storage.GetDeviceNumber("/media/maker/CARD"), quint64(makedev(179, 1)));
    QCOMPARE(storage.GetDeviceNumber("/media/maker/DATA"), quint64(0));
    // An unpartitioned card, mounted whole.
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts()
                           + FakeSystem::Mount("179:0", "/run/media/maker/WHOLE", "vfat", "/dev/mmcblk0")));
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/run/media/maker/WHOLE"});
}

void tst_KzRemovableStorage::systemFoldersAreNeverOffered()
{
    const char* const refused[] = {
        "/", "/boot", "/boot/efi", "/efi", "/usr", "/usr/local/sd", "/var", "/var/tmp/sd", "/home",
        "/home/maker/sd", "/etc/sd", "/opt/sd", "/srv/sd", "/root/sd", "/proc/sd", "/sys/sd", "/dev/sd",
        "/run", "/run/mount/sd", "/run/user/1000/sd", "/run/live/medium", "/run/media", "/snap/sd",
        "/cdrom", "/lib/live/mount/medium", "/nix/store", "/.snapshots",
    };
    // Not system folders, only names that begin like one.
    const char* const offered[] = {
        "/media/maker/SD", "/run/media/maker/SD", "/mnt", "/mnt/sd", "/tmp/sd", "/homework/sd",
        "/runner/sd", "/media/home", "/usrdata",
    };
    FakeSystem fake;
    KzRemovableStorage storage = fake.Storage();
    auto check = [&](const char* point, bool bOffered) {
        QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:32", point, "vfat", "/dev/sdc")));
        QVERIFY2(storage.DetectRemovableStorage() == bOffered, point);
        QCOMPARE(storage.GetStorageList(), bOffered ? QStringList{point} : QStringList());
        QVERIFY2(KzRemovableStorage::IsSystemMountPoint(point) == !bOffered, point);
    };
    for (const char* point : refused)
        check(point, false);
    for (const char* point : offered)
        check(point, true);
}

void tst_KzRemovableStorage::systemRunningFromAUsbStick()
{
    FakeSystem fake;
    // Installed on the stick: its root, its boot partition, and the stick's
    // other partition that the desktop also mounted under /media.
    QVERIFY(fake.SetMounts("27 1 8:49 / / rw,relatime - ext4 /dev/sdd1 rw\n"
                           + FakeSystem::Mount("8:50", "/boot/efi", "vfat", "/dev/sdd2")
                           + FakeSystem::Mount("8:50", "/media/maker/ESP", "vfat", "/dev/sdd2")
                           + FakeSystem::Mount("8:17", "/media/maker/SD")));
    KzRemovableStorage storage = fake.Storage();
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{"/media/maker/SD"});

    // A live system: the root is a memory overlay, the stick is mounted below
    // /run, and its second partition is also mounted under /media.
    QVERIFY(fake.SetMounts("27 1 0:30 / / rw,relatime - overlay overlay rw,lowerdir=/run/live/rootfs\n"
                           + FakeSystem::Mount("8:49", "/run/live/medium", "iso9660", "/dev/sdd1", "rw", "rw")
                           + FakeSystem::Mount("8:50", "/media/user/persistence", "ext4", "/dev/sdd2")));
    QVERIFY(!storage.DetectRemovableStorage());
    QVERIFY(storage.GetStorageList().isEmpty());
}

void tst_KzRemovableStorage::programTestsInjectACardBackedByAFolder()
{
    // A test of the whole program makes the window's own helper (made by the
    // default constructor) find a card that is a temporary folder.
    FakeSystem fake;
    QTemporaryDir card;
    QVERIFY(card.isValid());
    QVERIFY(!KzRemovableStorage::IsSystemMountPoint(card.path()));
    QVERIFY(fake.SetMounts(FakeSystem::SystemMounts() + FakeSystem::Mount("8:17", QFile::encodeName(card.path()))));
    KzRemovableStorage::SetSystemSources(fake.MountInfo(), fake.SysRoot());
    KzRemovableStorage storage;
    const bool bFound = storage.DetectRemovableStorage();
    KzRemovableStorage::SetSystemSources(QString(), QString());
    QVERIFY(bFound);
    QString name = "cube";
    storage.CalSDFullName(name);
    QCOMPARE(name, card.filePath("cube.gcode"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("G28\n") == 4);
    file.close();
    QVERIFY(QFile::exists(card.filePath("cube.gcode")));

    // Reset: back to the system's own table, where the fake card is not.
    KzRemovableStorage system;
    system.DetectRemovableStorage();
    QVERIFY(!system.GetStorageList().contains(card.path()));
}

void tst_KzRemovableStorage::systemTable()
{
    // Whatever this machine has mounted: every medium found is a folder that exists.
    KzRemovableStorage storage;
    const bool bFound = storage.DetectRemovableStorage();
    QCOMPARE(bFound, !storage.GetStorageList().isEmpty());
    for (const QString& mountPoint : storage.GetStorageList())
        QVERIFY2(QFileInfo(mountPoint).isDir(), qPrintable(mountPoint));
}

QTEST_GUILESS_MAIN(tst_KzRemovableStorage)
#include "tst_KzRemovableStorage.moc"
