#ifndef KZFAKECARD_H
#define KZFAKECARD_H

// A card in a USB card reader as the system shows it to the window's drive
// helper: a sysfs tree in which the card's disk reads "removable" 1. Either a
// folder stands for the card (a mount table of the test's own lists it), or a
// real mount is the card (the system's mount table; only "removable" is the
// test's, for a loop device reads 0 there). The window's helpers look here
// while the object lives.
#include "KzRemovableStorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class KzFakeCard
{
public:
    ~KzFakeCard() { KzRemovableStorage::SetSystemSources(QString(), QString()); }

    bool MountFolder(const QString& folder)
    {
        m_strFolder = folder;
        if (!AddDisk("8:16", "8:17"))
            return false;
        KzRemovableStorage::SetSystemSources(m_dir.filePath("mountinfo"), m_dir.filePath("sys"));
        return SetInserted(true);
    }

    // The device mounted as the card, "major:minor" as the mount table has it.
    bool UseRealMount(const QByteArray& device)
    {
        if (!AddDisk(device, QByteArray()))
            return false;
        KzRemovableStorage::SetSystemSources(QStringLiteral("/proc/self/mountinfo"), m_dir.filePath("sys"));
        return true;
    }

    // The folder's card taken out of its reader, or put back.
    bool SetInserted(bool bInserted)
    {
        QByteArray table = "27 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n";
        if (bInserted)
            table += "41 27 8:17 / " + QFile::encodeName(m_strFolder)
                     + " rw,nosuid,nodev,relatime shared:41 - vfat /dev/sdb1 rw,fmask=0022\n";
        return Write(m_dir.filePath("mountinfo"), table);
    }

private:
    // The disk, and a partition of it when one is named, linked from dev/block.
    bool AddDisk(const QByteArray& disk, const QByteArray& partition)
    {
        const QString sys = m_dir.filePath("sys");
        const QString folder = "devices/pci0000:00/usb1/1-1/host6/block/sdb";
        bool ok = m_dir.isValid() && Write(sys + "/" + folder + "/removable", "1\n")
                  && Write(sys + "/" + folder + "/dev", disk + "\n") && QDir().mkpath(sys + "/dev/block")
                  && QFile::link("../../" + folder, sys + "/dev/block/" + disk);
        if (ok && !partition.isEmpty())
            ok = Write(sys + "/" + folder + "/sdb1/partition", "1\n") && Write(sys + "/" + folder + "/sdb1/dev", partition + "\n")
                 && QFile::link("../../" + folder + "/sdb1", sys + "/dev/block/" + partition);
        return ok;
    }

    static bool Write(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }

    QTemporaryDir m_dir;
    QString m_strFolder;
};

#endif // KZFAKECARD_H
