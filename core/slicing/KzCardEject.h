#ifndef KZCARDEJECT_H
#define KZCARDEJECT_H

#include "KzFunctionGlobal.h"

#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Ejects the SD card through udisks2 on the system bus, as the desktop's own
// eject does: the card's file system is unmounted (which flushes it), then its
// drive is powered off when it can be, else ejected when it is ejectable; a
// card reader that can do neither is still safe to pull once unmounted.
//
// The card is named by its mount point and its device number (from
// KzRemovableStorage); udisks2's block object must carry both, so a card
// swapped for another at the same place is never acted on.
//
// Every call is asynchronous: the window stays responsive while a slow card
// flushes. One eject at a time.
class KZFUNCTION_EXPORT KzCardEject : public QObject
{
    Q_OBJECT

public:
    enum Result {
        ResultRemovable,      // unmounted; the drive powered off or ejected where it can be
        ResultBusy,           // a program still uses the card: still mounted
        ResultNotAuthorized,  // the system's policy refused
        ResultNoService,      // no udisks2 on the system bus (or no system bus)
        ResultNotFound,       // udisks2 knows no such card mounted there (gone, or swapped)
        ResultFailed,         // any other error; the detail gives udisks2's message
    };

    explicit KzCardEject(QObject* parent = nullptr);

    // Starts ejecting; false, and nothing starts, while another eject runs.
    // bInteractive lets the system ask the user to authenticate where its
    // policy wants that; without, such a case ends as ResultNotAuthorized.
    bool Start(const QString& strMountPoint, quint64 nDeviceNumber, bool bInteractive);
    bool IsRunning() const;

    // The D-Bus names of udisks2 that the class speaks to.
    static const char* const ms_szService;

signals:
    // detail: what udisks2 said, for a failure; what was done, for success.
    void signal_Finished(int result, const QString& detail);

private:
    // The steps, each run when udisks2 has answered the one before.
    typedef void (KzCardEject::*Step)(QDBusPendingCallWatcher* call);
    void ObjectsListed(QDBusPendingCallWatcher* call);
    void Unmounted(QDBusPendingCallWatcher* call);
    void DriveDone(QDBusPendingCallWatcher* call);

    void Call(const QString& path, const char* interface, const char* method, Step next, int timeout);
    void Finish(int result, const QString& detail);
    static int ResultOfError(const QString& name);

    bool m_bRunning;
    bool m_bInteractive;
    QString m_strMountPoint;
    quint64 m_nDeviceNumber;
    QString m_strBlockPath;
    QString m_strDrivePath;
    // What the drive allows, and which of the two the eject asked for.
    bool m_bCanPowerOff;
    bool m_bEjectable;
};

#endif // KZCARDEJECT_H
