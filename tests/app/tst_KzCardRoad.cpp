// The road of one print onto a real card with "Eject after saving" on, against
// the real udisks2. The test starts a system bus of its own, udev when none
// runs, and udisks2 on that bus; udisks2 attaches an ext2 image as a loop
// device (Manager.LoopSetup, handed the image's file descriptor) and mounts
// it. A loop device reads "removable" 0 in sysfs, so the window's drive
// helper reads the system's mount table but a sysfs tree of the test's in
// which that device's disk reads 1; every other rule of the helper stands.
// Then the window slices, saves, reads back and ejects through udisks2, and
// the test mounts the image again to compare the bytes.
//
// The real daemon also gives the failures: a card kept busy by an open file,
// a refusal (udisks2 without polkit refuses every caller but root: a probe
// asks as "nobody"), and no service once the daemon is stopped. The window's
// wording of a refusal is checked against a stand-in, as the window itself
// asks as root. Needs root and loop devices; skips, saying so, without them.
#include "KzCardEject.h"
#include "KzCardWindow.h"
#include "KzConfigureData.h"
#include "KzFakeCard.h"
#include "KzFakeUDisks.h"
#include "KzPrivateBus.h"
#include "KzRemovableStorage.h"
#include "KzVellum.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QPushButton>
#include <QtTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kManager = QStringLiteral("/org/freedesktop/UDisks2/Manager");
const char kFilesystem[] = "org.freedesktop.UDisks2.Filesystem";
const int kCallTimeout = 60 * 1000;

QString FirstProgram(const QStringList& paths)
{
    for (const QString& path : paths)
        if (QFileInfo(path).isExecutable())
            return path;
    return QString();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Whether the system's mount table has something mounted at path.
bool IsMounted(const QString& path)
{
    const QByteArray field = " " + QFile::encodeName(path).replace(" ", "\\040") + " ";
    return ReadAll("/proc/self/mountinfo").contains(field);
}

// Runs as "nobody", as a desktop user without rights would.
class KzNobodyProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
    }
};

// udisks2 (and udev, when none runs) started on the test's own system bus,
// and the image it attaches and mounts.
class KzUDisks
{
public:
    ~KzUDisks()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            StartDaemon();
        if (!m_strLoop.isEmpty()) {
            if (!MountPoints().isEmpty())
                Call(m_strLoop, kFilesystem, "Unmount", { Options() });
            Call(m_strLoop, "org.freedesktop.UDisks2.Loop", "Delete", { Options() });
        }
        Stop(m_daemon);
        Stop(m_udev);
    }

    // Empty when udisks2 answers on the bus, else why not.
    QString Start(const QString& log)
    {
        if (!UdevAnswers()) {
            const QString udevd = FirstProgram({ "/lib/systemd/systemd-udevd", "/usr/lib/systemd/systemd-udevd" });
            if (udevd.isEmpty())
                return "no udev runs and systemd-udevd is not installed (package udev)";
            m_udev.start(udevd, QStringList());
            if (!QTest::qWaitFor([this] { return UdevAnswers(); }, 20000))
                return "systemd-udevd did not start";
        }
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.setStandardOutputFile(log, QIODevice::Append);
        return StartDaemon() ? QString() : "udisksd did not take its name on the bus (see " + log + ")";
    }

    bool StartDaemon()
    {
        m_daemon.start(Program(), QStringList());
        return QTest::qWaitFor([] { return QDBusConnection::systemBus().interface()->isServiceRegistered(kService); },
                               30000);
    }

    bool StopDaemon()
    {
        Stop(m_daemon);
        return QTest::qWaitFor(
            [] { return !QDBusConnection::systemBus().interface()->isServiceRegistered(kService); }, 10000);
    }

    static QString Program()
    {
        return FirstProgram({ "/usr/libexec/udisks2/udisksd", "/usr/lib/udisks2/udisksd" });
    }

    // Manager.LoopSetup with the image's descriptor; then udev has probed it
    // once udisks2 shows its file system.
    bool SetUpLoop(const QString& image)
    {
        const int fd = ::open(QFile::encodeName(image).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        const QDBusMessage reply = Call(kManager, "org.freedesktop.UDisks2.Manager", "LoopSetup",
                                        { QVariant::fromValue(QDBusUnixFileDescriptor(fd)), Options() });
        ::close(fd);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return false;
        m_strLoop = reply.arguments().value(0).value<QDBusObjectPath>().path();
        return QTest::qWaitFor([this] { return Property(kFilesystem, "MountPoints").isValid(); }, 30000);
    }

    // Filesystem.Mount: where udisks2 mounted it, empty on failure.
    QString Mount()
    {
        const QDBusMessage reply = Call(m_strLoop, kFilesystem, "Mount", { Options() });
        const QString path = reply.arguments().value(0).toString();
        // udisks2 tells once its mount table has it; so must this process's.
        return QTest::qWaitFor([path] { return IsMounted(path); }, 10000) ? path : QString();
    }

    QList<QByteArray> MountPoints()
    {
        QList<QByteArray> points;
        const QVariant value = Property(kFilesystem, "MountPoints");
        if (value.canConvert<QDBusArgument>())
            value.value<QDBusArgument>() >> points;
        return points;
    }

    quint64 DeviceNumber() { return Property("org.freedesktop.UDisks2.Block", "DeviceNumber").toULongLong(); }
    QString LoopPath() const { return m_strLoop; }
    QString GetError() const { return m_strLastError; }

private:
    static QVariant Options() { return QVariantMap{ { "auth.no_user_interaction", true } }; }

    static bool UdevAnswers() { return QProcess::execute("udevadm", { "control", "--ping", "--timeout=2" }) == 0; }

    static void Stop(QProcess& process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    QDBusMessage Call(const QString& path, const char* interface, const char* method, const QVariantList& args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(args);
        const QDBusMessage reply = QDBusConnection::systemBus().call(message, QDBus::Block, kCallTimeout);
        if (reply.type() == QDBusMessage::ErrorMessage)
            m_strLastError = reply.errorName() + ": " + reply.errorMessage();
        return reply;
    }

    QVariant Property(const char* interface, const char* name)
    {
        const QDBusMessage reply =
            Call(m_strLoop, "org.freedesktop.DBus.Properties", "Get", { QString(interface), QString(name) });
        if (reply.type() != QDBusMessage::ReplyMessage)
            return QVariant();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    QProcess m_udev;
    QProcess m_daemon;
    QString m_strLoop;
    QString m_strLastError;
};

} // namespace

class tst_KzCardRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void roadOfOnePrintWithEjectAfterSaving();
    void busyCardStaysMounted();
    void refusalByPolicy();
    void noServiceLeavesTheCardSynced();

private:
    // Mounts the image through udisks2 and makes it the card the window finds.
    void MountCard();
    // Saves with the SD button; the card's file must then be the sliced G-code.
    void SaveToCard(bool bEjectAfterSaving);
    QByteArray Sliced() const;

    QTemporaryDir m_dir;
    KzPrivateBus m_bus;
    std::unique_ptr<KzUDisks> m_pUDisks;
    std::unique_ptr<KzFakeCard> m_pCard;
    std::unique_ptr<KzCardWindow> m_pWindow;
    QString m_strImage;
    QString m_strMount;
    quint64 m_nDevice = 0;
};

void tst_KzCardRoad::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root: it starts udev and udisks2 and mounts a loop device");
    if (!QFileInfo::exists("/dev/loop-control"))
        QSKIP("no loop devices here (/dev/loop-control is missing)");
    if (KzUDisks::Program().isEmpty() || KzPrivateBus::DaemonProgram().isEmpty()
        || QStandardPaths::findExecutable("mkfs.ext2", { "/usr/sbin", "/sbin" }).isEmpty())
        QSKIP("udisks2, dbus-daemon or e2fsprogs is not installed (tools/packages.txt lists them)");
    QVERIFY(m_dir.isValid());
    KzCardWindow::Prepare();
    KzFakeUDisks::RegisterTypes();
    QVERIFY2(m_bus.Start(), qPrintable(m_bus.GetError()));
    m_pUDisks.reset(new KzUDisks);
    const QString why = m_pUDisks->Start(QDir::current().filePath("udisksd.log"));
    QVERIFY2(why.isEmpty(), qPrintable(why));

    m_strImage = m_dir.filePath("card.img");
    QFile image(m_strImage);
    QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(16 << 20));
    image.close();
    QCOMPARE(QProcess::execute(QStandardPaths::findExecutable("mkfs.ext2", { "/usr/sbin", "/sbin" }),
                               { "-q", "-F", "-L", "KZCARD", m_strImage }),
             0);
    QVERIFY2(m_pUDisks->SetUpLoop(m_strImage), qPrintable(m_pUDisks->GetError()));
    MountCard();

    m_pWindow.reset(new KzCardWindow);
    // Tall enough for the balloon to sit below the slice panel, as on a
    // maximised window; on the smallest window it reaches under the panel.
    m_pWindow->Window()->resize(1280, 1000);
    QVERIFY(m_pWindow->OpenAndSlice(m_dir.path(), "bracket"));
    QVERIFY(Sliced().contains("G1"));
}

void tst_KzCardRoad::cleanupTestCase()
{
    m_pWindow.reset();
    m_pCard.reset();
    m_pUDisks.reset();
}

void tst_KzCardRoad::MountCard()
{
    m_strMount = m_pUDisks->Mount();
    QVERIFY2(!m_strMount.isEmpty() && IsMounted(m_strMount), qPrintable(m_pUDisks->GetError()));
    // The loop device stays the same for every mount; the window's helper
    // keeps the sources it was made with.
    const quint64 device = m_pUDisks->DeviceNumber();
    if (!m_pCard) {
        m_nDevice = device;
        m_pCard.reset(new KzFakeCard);
        QVERIFY(m_pCard->UseRealMount(QByteArray::number(::major(device)) + ":" + QByteArray::number(::minor(device))));
    }
    QCOMPARE(device, m_nDevice);
    // The window's helper finds the mount as the card, by the usual rules.
    KzRemovableStorage storage;
    QVERIFY(storage.DetectRemovableStorage());
    QCOMPARE(storage.GetStorageList(), QStringList{ m_strMount });
    QCOMPARE(storage.GetDeviceNumber(m_strMount), device);
}

QByteArray tst_KzCardRoad::Sliced() const
{
    return ReadAll(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
}

void tst_KzCardRoad::SaveToCard(bool bEjectAfterSaving)
{
    if (m_pWindow->EjectAfterSaveBox()->isChecked() != bEjectAfterSaving)
        m_pWindow->ClickEjectAfterSave();
    QCOMPARE(m_pWindow->EjectAfterSaveBox()->isChecked(), bEjectAfterSaving);
    m_pWindow->ClickSaveSD();
}

// Saved, read back from the card, unmounted at once; the image mounted again
// holds the sliced bytes. In English, then in Chinese.
void tst_KzCardRoad::roadOfOnePrintWithEjectAfterSaving()
{
    struct Language
    {
        int index;
        const char* suffix;
        const char* saved;
        const char* ejecting;
        const char* removable;
    };
    const Language languages[] = {
        { 1, "", "Read back from the card: it holds exactly the sliced G-code", "Ejecting the card",
          "The SD card can be removed now." },
        { 0, "-zh", "保存GCode成功，已从SD卡读回核对，与切片结果一致。", "正在弹出SD卡", "可以取出SD卡了。" },
    };
    for (const Language& language : languages) {
        m_pWindow->SetLanguage(language.index);
        if (!IsMounted(m_strMount))
            MountCard();
        const QString saved = m_strMount + "/bracket.gcode";
        SaveToCard(true);
        // The save is done and told before the eject is under way.
        QVERIFY2(m_pWindow->TipDetail().contains(QString::fromUtf8(language.saved))
                     && m_pWindow->TipDetail().contains(QString::fromUtf8(language.ejecting)),
                 qPrintable(m_pWindow->TipDetail()));
        m_pWindow->Shot(QString("card-saved") + language.suffix, false);
        QTRY_COMPARE_WITH_TIMEOUT(m_pWindow->TipDetail(), QString::fromUtf8(language.removable), 60000);
        m_pWindow->Shot(QString("card-ejected") + language.suffix);
        QVERIFY(!m_pWindow->EjectCardButton()->isVisible());
        QVERIFY2(!IsMounted(m_strMount), qPrintable(m_strMount));
        QTRY_VERIFY(m_pUDisks->MountPoints().isEmpty());
        QVERIFY(!QFileInfo::exists(saved));

        MountCard();
        QCOMPARE(ReadAll(m_strMount + "/bracket.gcode"), Sliced());
    }
    m_pWindow->SetLanguage(1);
}

// A program holding a file open on the card: udisks2 cannot unmount it; the
// card stays mounted with the file saved, and the eject button stays for
// another try, which succeeds once the file is closed.
void tst_KzCardRoad::busyCardStaysMounted()
{
    if (!IsMounted(m_strMount))
        MountCard();
    SaveToCard(false);
    QVERIFY(m_pWindow->EjectCardButton()->isVisible());
    QFile held(m_strMount + "/notes.txt");
    QVERIFY(held.open(QIODevice::WriteOnly));
    m_pWindow->ClickEjectCard();
    QVERIFY(!m_pWindow->EjectCardButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(m_pWindow->TipDetail().contains("in use by another program and was not ejected"), 60000);
    QVERIFY2(m_pWindow->TipDetail().contains("The file is saved"), qPrintable(m_pWindow->TipDetail()));
    m_pWindow->Shot("card-busy");
    QVERIFY(IsMounted(m_strMount));
    QCOMPARE(ReadAll(m_strMount + "/bracket.gcode"), Sliced());
    QVERIFY(m_pWindow->EjectCardButton()->isVisible() && m_pWindow->EjectCardButton()->isEnabled());

    held.close();
    m_pWindow->ClickEjectCard();
    QTRY_COMPARE_WITH_TIMEOUT(m_pWindow->TipDetail(), QString("The SD card can be removed now."), 60000);
    QVERIFY(!IsMounted(m_strMount));
}

// udisks2 without polkit lets only root act: asked by another user it
// refuses, and the eject says so. The window (as root here) cannot be
// refused by the real daemon; its wording is checked against the stand-in.
void tst_KzCardRoad::refusalByPolicy()
{
    if (!IsMounted(m_strMount))
        MountCard();
    KzNobodyProcess probe;
    probe.start(QStringLiteral(KZ_EJECT_PROBE), { m_strMount, QString::number(m_nDevice) });
    QVERIFY2(probe.waitForFinished(60000), qPrintable(probe.errorString()));
    const QString said = QString::fromLocal8Bit(probe.readAllStandardOutput());
    QVERIFY2(said.startsWith(QString("uid=65534 result=%1 ").arg(int(KzCardEject::ResultNotAuthorized))),
             qPrintable(said + probe.readAllStandardError()));
    QVERIFY2(said.contains("caller is not uid 0"), qPrintable(said));
    QVERIFY(IsMounted(m_strMount));
}

// udisks2 stopped: the eject cannot happen; the file is on the card, synced,
// and the user is sent to the desktop's own eject. With the stand-in in its
// place refusing by policy, the window says so. udisks2 back, it ejects.
void tst_KzCardRoad::noServiceLeavesTheCardSynced()
{
    if (!IsMounted(m_strMount))
        MountCard();
    SaveToCard(false);
    QVERIFY(m_pUDisks->StopDaemon());
    m_pWindow->ClickEjectCard();
    QTRY_VERIFY_WITH_TIMEOUT(m_pWindow->TipDetail().contains("(udisks2) is not running"), 30000);
    QVERIFY2(m_pWindow->TipDetail().contains("remove it with the desktop's own eject"), qPrintable(m_pWindow->TipDetail()));
    m_pWindow->Shot("card-no-service");
    QVERIFY(IsMounted(m_strMount));
    QCOMPARE(ReadAll(m_strMount + "/bracket.gcode"), Sliced());
    QVERIFY(m_pWindow->EjectCardButton()->isEnabled());

    {
        KzFakeUDisks fake;
        fake.m_strMountPoint = m_strMount;
        fake.m_nMountedDevice = m_nDevice;
        fake.m_mapErrors["Unmount"] = "org.freedesktop.UDisks2.Error.NotAuthorized";
        QDBusConnection connection = QDBusConnection::connectToBus(m_bus.GetAddress(), "fake");
        QVERIFY(connection.registerVirtualObject(KzFakeUDisks::Root(), &fake, QDBusConnection::SubPath));
        QVERIFY(connection.registerService(kService));
        m_pWindow->ClickEjectCard();
        QTRY_VERIFY_WITH_TIMEOUT(m_pWindow->TipDetail().contains("policy does not allow ejecting this card"), 30000);
        QCOMPARE(fake.m_listCalls, QStringList{ "Unmount " + KzFakeUDisks::Block() + " interactive=1" });
        connection.unregisterService(kService);
        connection.unregisterObject(KzFakeUDisks::Root(), QDBusConnection::UnregisterTree);
    }
    QDBusConnection::disconnectFromBus("fake");

    QVERIFY(m_pUDisks->StartDaemon());
    m_pWindow->ClickEjectCard();
    QTRY_COMPARE_WITH_TIMEOUT(m_pWindow->TipDetail(), QString("The SD card can be removed now."), 60000);
    QVERIFY(!IsMounted(m_strMount));
}

QTEST_MAIN(tst_KzCardRoad)
#include "tst_KzCardRoad.moc"
