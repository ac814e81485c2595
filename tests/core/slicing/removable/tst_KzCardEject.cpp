// Ejecting the card, against a stand-in for udisks2 on a private bus: the
// cases the real daemon cannot show on this machine. A loop device has no
// drive, so whether the drive is powered off or ejected, and a drive that
// refuses because another partition is in use, need a drive that says so; a
// card swapped for another at the same mount point needs two devices. The
// real daemon (tests/app/tst_KzCardRoad) shows saving, unmounting, a busy
// card, a refusal by policy and no service.
#include "KzCardEject.h"
#include "KzFakeUDisks.h"
#include "KzPrivateBus.h"

#include <QSignalSpy>
#include <QtTest>

#include <sys/sysmacros.h>

namespace {

const QString kRoot = KzFakeUDisks::Root();
const QString kBlock = KzFakeUDisks::Block();
const QString kDrive = KzFakeUDisks::Drive();
const QString kMount = "/media/maker/SD";
const quint64 kDevice = makedev(8, 17);

} // namespace

class tst_KzCardEject : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theDriveIsPoweredOffOrEjected();
    void aSwappedCardIsLeftAlone();
    void refusalsAreTold();
    void noServiceIsTold();

private:
    // Ejects the card at kMount and waits for the outcome: result and detail.
    QPair<int, QString> Eject(bool interactive = false, quint64 device = kDevice);

    KzPrivateBus m_bus;
    QScopedPointer<KzFakeUDisks> m_pFake;
};

void tst_KzCardEject::initTestCase()
{
    KzFakeUDisks::RegisterTypes();
    if (KzPrivateBus::DaemonProgram().isEmpty())
        QSKIP("dbus-daemon is not installed (package dbus-daemon)");
    QVERIFY2(m_bus.Start(), qPrintable(m_bus.GetError()));
}

// The stand-in takes the service's name on a connection of its own.
void tst_KzCardEject::init()
{
    m_pFake.reset(new KzFakeUDisks);
    QDBusConnection fake = QDBusConnection::connectToBus(m_bus.GetAddress(), "fake");
    QVERIFY(fake.isConnected());
    QVERIFY(fake.registerVirtualObject(kRoot, m_pFake.data(), QDBusConnection::SubPath));
    QVERIFY(fake.registerService(KzCardEject::ms_szService));
}

void tst_KzCardEject::cleanup()
{
    QDBusConnection fake("fake");
    fake.unregisterService(KzCardEject::ms_szService);
    fake.unregisterObject(kRoot, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus("fake");
}

QPair<int, QString> tst_KzCardEject::Eject(bool interactive, quint64 device)
{
    KzCardEject eject;
    QSignalSpy finished(&eject, &KzCardEject::signal_Finished);
    if (!eject.Start(kMount, device, interactive))
        return { -1, "not started" };
    // One at a time.
    if (eject.Start(kMount, device, interactive))
        return { -1, "started twice" };
    if (finished.isEmpty() && !finished.wait(20000))
        return { -1, "no answer" };
    if (finished.size() != 1)
        return { -1, "told twice" };
    return { finished.at(0).at(0).toInt(), finished.at(0).at(1).toString() };
}

// Unmounted first, without asking the user unless told to; then the drive is
// powered off where it can be, else ejected, else left as it is.
void tst_KzCardEject::theDriveIsPoweredOffOrEjected()
{
    QCOMPARE(Eject(), qMakePair(int(KzCardEject::ResultRemovable), QString("powered off")));
    QCOMPARE(m_pFake->m_listCalls, QStringList({ "Unmount " + kBlock + " interactive=0", "PowerOff " + kDrive + " interactive=0" }));

    m_pFake->m_listCalls.clear();
    m_pFake->m_bCanPowerOff = false;
    QCOMPARE(Eject(true), qMakePair(int(KzCardEject::ResultRemovable), QString("ejected")));
    QCOMPARE(m_pFake->m_listCalls, QStringList({ "Unmount " + kBlock + " interactive=1", "Eject " + kDrive + " interactive=1" }));

    m_pFake->m_listCalls.clear();
    m_pFake->m_bEjectable = false;
    QCOMPARE(Eject(), qMakePair(int(KzCardEject::ResultRemovable), QString("unmounted")));
    QCOMPARE(m_pFake->m_listCalls, QStringList({ "Unmount " + kBlock + " interactive=0" }));

    // Unmounted by someone else in the meantime: the drive is still powered off.
    m_pFake->m_listCalls.clear();
    m_pFake->m_bCanPowerOff = true;
    m_pFake->m_mapErrors["Unmount"] = "org.freedesktop.UDisks2.Error.NotMounted";
    QCOMPARE(Eject().first, int(KzCardEject::ResultRemovable));
    QCOMPARE(m_pFake->m_listCalls.size(), 2);
}

// Another card now at the mount point, or the card asked for mounted
// elsewhere: nothing is unmounted.
void tst_KzCardEject::aSwappedCardIsLeftAlone()
{
    m_pFake->m_nMountedDevice = makedev(8, 49);
    QCOMPARE(Eject().first, int(KzCardEject::ResultNotFound));
    QCOMPARE(Eject(false, makedev(8, 33)).first, int(KzCardEject::ResultNotFound));
    QVERIFY(m_pFake->m_listCalls.isEmpty());
}

// A busy card stays mounted and its drive is not touched; the policy's
// refusals (with or without a way to authenticate) read the same; another
// partition of the card still in use stops the power-off, and says so; any
// other error of the drive after the unmount leaves a card that may be pulled.
void tst_KzCardEject::refusalsAreTold()
{
    m_pFake->m_mapErrors["Unmount"] = "org.freedesktop.UDisks2.Error.DeviceBusy";
    QCOMPARE(Eject().first, int(KzCardEject::ResultBusy));
    QCOMPARE(m_pFake->m_listCalls.size(), 1);

    m_pFake->m_mapErrors["Unmount"] = "org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain";
    QCOMPARE(Eject().first, int(KzCardEject::ResultNotAuthorized));

    m_pFake->m_mapErrors["Unmount"] = "org.freedesktop.UDisks2.Error.Failed";
    const QPair<int, QString> failed = Eject();
    QCOMPARE(failed.first, int(KzCardEject::ResultFailed));
    QVERIFY2(failed.second.contains("the stand-in says"), qPrintable(failed.second));

    m_pFake->m_mapErrors.clear();
    m_pFake->m_mapErrors["PowerOff"] = "org.freedesktop.UDisks2.Error.DeviceBusy";
    QCOMPARE(Eject().first, int(KzCardEject::ResultBusy));
    m_pFake->m_mapErrors["PowerOff"] = "org.freedesktop.UDisks2.Error.NotAuthorized";
    QCOMPARE(Eject(), qMakePair(int(KzCardEject::ResultRemovable), QString("unmounted")));
}

void tst_KzCardEject::noServiceIsTold()
{
    cleanup();
    QCOMPARE(Eject().first, int(KzCardEject::ResultNoService));
    init();
}

QTEST_GUILESS_MAIN(tst_KzCardEject)
#include "tst_KzCardEject.moc"
