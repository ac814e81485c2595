#ifndef KZREMOVABLESTORAGE_H
#define KZREMOVABLESTORAGE_H

#include "KzFunctionGlobal.h"

#include <QString>
#include <QStringList>

// Finds the mounted removable media (the printer's SD card in a card reader)
// and names the G-code file to write on the first of them.
//
// On Linux a medium is a writable mount whose device is a block device whose
// disk (the parent disk for a partition) reads 1 in sysfs "removable". The
// list holds the mount points in sorted order.
class KZFUNCTION_EXPORT KzRemovableStorage
{
public:
    KzRemovableStorage();
    // Reads another mount table and sysfs tree instead of the system's.
    KzRemovableStorage(const QString& strMountInfo, const QString& strSysRoot);

    // Replaces the list with the media mounted now; true if there is one.
    bool DetectRemovableStorage();
    // name := first mount point + "/" + name + ".gcode" (one separator only).
    // With no medium listed, name becomes empty so that nothing is written.
    void CalSDFullName(QString& name) const;

    QStringList GetStorageList() const;

private:
    QStringList m_strListStorage;
    QString m_strMountInfo;
    QString m_strSysRoot;
};

#endif // KZREMOVABLESTORAGE_H
