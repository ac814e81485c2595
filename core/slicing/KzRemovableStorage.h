#ifndef KZREMOVABLESTORAGE_H
#define KZREMOVABLESTORAGE_H

#include "KzFunctionGlobal.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Finds the mounted removable media (the printer's SD card in a card reader)
// and names the G-code file to write on the first of them.
//
// On Linux a medium is a writable mount of a block device whose disk (the
// parent disk for a partition) reads 1 in sysfs "removable" or sits on the
// mmc bus (the SD slot built into a laptop, which reads 0 there). The running
// system is never offered, even when it runs from a USB stick: not "/", no
// mount at or below a system folder, and no other mount of a disk that holds
// one of those. The list holds the mount points in sorted order.
class KZFUNCTION_EXPORT KzRemovableStorage
{
public:
    // Reads the mount table and sysfs tree set by SetSystemSources, by
    // default the system's own.
    KzRemovableStorage();
    // Reads another mount table and sysfs tree instead of the system's.
    KzRemovableStorage(const QString& strMountInfo, const QString& strSysRoot);

    // Where helpers made by the default constructor look from now on; tests
    // of the whole program point them at a fake card. Empty texts restore the
    // system's own.
    static void SetSystemSources(const QString& strMountInfo, const QString& strSysRoot);

    // Replaces the list with the media mounted now; true if there is one.
    bool DetectRemovableStorage();
    // name := first mount point + "/" + name + ".gcode" (one separator only).
    // With no medium listed, name becomes empty so that nothing is written.
    void CalSDFullName(QString& name) const;

    QStringList GetStorageList() const;

    // The device (as the system numbers it, major and minor) mounted at a
    // listed mount point, 0 for one not listed. With it, ejecting acts on the
    // card that was saved to, not on whatever is mounted there later.
    quint64 GetDeviceNumber(const QString& strMountPoint) const;

    // True for "/" and for mount points at or below a folder of the installed
    // system (/usr, /home, /run except /run/media, ...).
    static bool IsSystemMountPoint(const QString& strMountPoint);

private:
    QStringList m_strListStorage;
    QMap<QString, quint64> m_mapDeviceNumbers;
    QString m_strMountInfo;
    QString m_strSysRoot;
};

#endif // KZREMOVABLESTORAGE_H
