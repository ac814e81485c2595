// Saving onto the card or a chosen file: what a save that was killed leaves
// behind is cleared by the next save, without touching other programs' files
// or a save still under way; links and permissions of the target are kept.
#include "KzFileCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

const QByteArray kNewPrint = ";new print\n;LAYER:0\nG1 X2 Y2\n";

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

mode_t Mode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

QStringList Hidden(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.erase(std::remove_if(names.begin(), names.end(), [](const QString& n) { return !n.startsWith('.'); }),
                names.end());
    return names;
}

// A save in another process, fed through a pipe so that it stops half way:
// it has written what it got and waits for the rest.
class HalfSave
{
public:
    HalfSave(const QString& fifo, const QString& target) : m_fifo(fifo)
    {
        m_probe.start(QStringLiteral(KZ_COPY_PROBE), { fifo, target });
        // Opening the pipe waits for the probe to open its end.
        if (m_probe.waitForStarted(10000) && m_fifo.open(QIODevice::WriteOnly))
            m_fifo.write(QByteArray(256 * 1024, 'G'));
    }
    ~HalfSave() { Kill(); }
    bool IsWaiting() { return m_probe.state() == QProcess::Running && m_fifo.isOpen(); }
    void Kill()
    {
        m_probe.kill();
        m_probe.waitForFinished(10000);
        m_fifo.close();
    }

private:
    QProcess m_probe;
    QFile m_fifo;
};

} // namespace

class tst_KzFileCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void killedSaveIsClearedByTheNextSave();
    void linksAndPermissionsAreKept();
    void readBackSaysWhatItCompared();

private:
    QTemporaryDir m_dir;
    QString m_strSource;
    QString m_strCard;
};

void tst_KzFileCopy::init()
{
    QVERIFY(m_dir.isValid());
    m_strSource = m_dir.filePath("tmpGCode.gcode");
    QVERIFY(WriteFile(m_strSource, kNewPrint));
    m_strCard = m_dir.filePath("card");
    QDir(m_strCard).removeRecursively();
    QVERIFY(QDir().mkpath(m_strCard));
}

void tst_KzFileCopy::killedSaveIsClearedByTheNextSave()
{
    const QString fifo = m_dir.filePath("pipe");
    QFile::remove(fifo);
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Another program's hidden files, one named much like ours.
    const QStringList others = { ".part.gcode.Ab12Cd", ".notes.kzvellum-bak", "part.kzvellum-Ab12Cd" };
    for (const QString& name : others)
        QVERIFY(WriteFile(QDir(m_strCard).filePath(name), "keep me"));

    // A save killed half way leaves its temporary file...
    QStringList killed;
    {
        HalfSave save(fifo, QDir(m_strCard).filePath("part.gcode"));
        QVERIFY(save.IsWaiting());
        QTRY_COMPARE_WITH_TIMEOUT(Hidden(m_strCard).size(), 3, 10000);
        save.Kill();
        killed = Hidden(m_strCard);
    }
    for (const QString& name : others)
        killed.removeAll(name);
    QCOMPARE(killed.size(), 1);
    QVERIFY2(QFileInfo(QDir(m_strCard).filePath(killed.first())).size() >= 64 * 1024, qPrintable(killed.first()));

    // The next save into the folder, in another instance, clears them as it
    // begins; it is left half way, under way.
    HalfSave running(fifo, QDir(m_strCard).filePath("other.gcode"));
    QVERIFY(running.IsWaiting());
    QTRY_VERIFY_WITH_TIMEOUT(!Hidden(m_strCard).contains(killed.first()), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Hidden(m_strCard).size(), 3, 10000);
    QStringList underWay = Hidden(m_strCard);
    for (const QString& name : others)
        underWay.removeAll(name);
    QCOMPARE(underWay.size(), 1);

    // A save in this instance leaves the one under way and the others' files.
    QVERIFY(KzFileCopy::CopyReplacing(m_strSource, QDir(m_strCard).filePath("part.gcode")));
    QCOMPARE(ReadFile(QDir(m_strCard).filePath("part.gcode")), kNewPrint);
    QStringList expected = QStringList{ "part.gcode", underWay.first() } + others;
    QStringList left = QDir(m_strCard).entryList(QDir::Files | QDir::Hidden | QDir::System);
    expected.sort();
    left.sort();
    QCOMPARE(left, expected);
    QVERIFY(running.IsWaiting());

    // Once that save is killed too, the save after it clears its remains.
    running.Kill();
    QVERIFY(KzFileCopy::CopyReplacing(m_strSource, QDir(m_strCard).filePath("part.gcode")));
    expected.removeAll(underWay.first());
    left = QDir(m_strCard).entryList(QDir::Files | QDir::Hidden | QDir::System);
    left.sort();
    QCOMPARE(left, expected);
    for (const QString& name : others)
        QCOMPARE(ReadFile(QDir(m_strCard).filePath(name)), QByteArray("keep me"));
}

// Saving over a link writes the file it leads to and keeps the link; the file
// replaced keeps its permissions; a new file gets the usual ones.
void tst_KzFileCopy::linksAndPermissionsAreKept()
{
    const QString store = m_dir.filePath("store");
    QDir(store).removeRecursively();
    QVERIFY(QDir().mkpath(store));
    const QString target = QDir(store).filePath("target.gcode");
    QVERIFY(WriteFile(target, ";old print\n"));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    // A link to a link to the file, and a link to a file not yet there.
    const QString link = QDir(m_strCard).filePath("link.gcode");
    const QString chain = QDir(m_strCard).filePath("chain.gcode");
    const QString dangling = QDir(m_strCard).filePath("dangling.gcode");
    QCOMPARE(symlink("../store/target.gcode", QFile::encodeName(link).constData()), 0);
    QCOMPARE(symlink("link.gcode", QFile::encodeName(chain).constData()), 0);
    QCOMPARE(symlink("../store/new.gcode", QFile::encodeName(dangling).constData()), 0);
    const QString plain = QDir(m_strCard).filePath("plain.gcode");
    QVERIFY(WriteFile(plain, ";old print\n"));
    QVERIFY(QFile::setPermissions(plain, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

    QVERIFY(KzFileCopy::CopyReplacing(m_strSource, chain));
    QCOMPARE(QFileInfo(chain).symLinkTarget(), link);
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(ReadFile(target), kNewPrint);
    QCOMPARE(Mode(target), mode_t(0600));

    QVERIFY(KzFileCopy::CopyReplacing(m_strSource, dangling));
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(ReadFile(QDir(store).filePath("new.gcode")), kNewPrint);
    const mode_t mask = umask(0);
    umask(mask);
    QCOMPARE(Mode(QDir(store).filePath("new.gcode")), mode_t(0666 & ~mask));

    QVERIFY(KzFileCopy::CopyReplacing(m_strSource, plain));
    QCOMPARE(ReadFile(plain), kNewPrint);
    QCOMPARE(Mode(plain), mode_t(0640));
    // Nothing else left in either folder.
    QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
    QCOMPARE(QDir(m_strCard).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 4);

    // A loop of links is refused, and stays a loop.
    const QString loop = QDir(m_strCard).filePath("loop.gcode");
    QCOMPARE(symlink("loop.gcode", QFile::encodeName(loop).constData()), 0);
    QVERIFY(!KzFileCopy::CopyReplacing(m_strSource, loop));
    QVERIFY(QFileInfo(loop).isSymLink());
}

// Past the page cache on a disk's file system: the bytes came from the disk.
// A memory file system keeps its only copy in that cache, and the check says
// it compared that. Without a check, nothing was compared.
void tst_KzFileCopy::readBackSaysWhatItCompared()
{
    struct statfs info;
    QVERIFY(statfs(".", &info) == 0);
    if (info.f_type == 0x01021994)
        QSKIP("the build folder is on tmpfs: no disk to read back from");
    KzFileCopy::ReadBack readBack = KzFileCopy::ReadBackNone;
    QCOMPARE(KzFileCopy::Copy(m_strSource, "on-disk.gcode", &readBack), KzFileCopy::ResultCopied);
    QCOMPARE(readBack, KzFileCopy::ReadBackFromDevice);
    QCOMPARE(ReadFile("on-disk.gcode"), kNewPrint);
    QCOMPARE(KzFileCopy::Copy(m_strSource, "unchecked.gcode", &readBack, false), KzFileCopy::ResultCopied);
    QCOMPARE(readBack, KzFileCopy::ReadBackNone);

    if (statfs("/dev/shm", &info) != 0 || info.f_type != 0x01021994)
        QSKIP("no tmpfs at /dev/shm");
    QTemporaryDir memory("/dev/shm/kzvellum-test-XXXXXX");
    QVERIFY(memory.isValid());
    QCOMPARE(KzFileCopy::Copy(m_strSource, memory.filePath("part.gcode"), &readBack), KzFileCopy::ResultCopied);
    QCOMPARE(readBack, KzFileCopy::ReadBackFromCache);
    QCOMPARE(ReadFile(memory.filePath("part.gcode")), kNewPrint);
}

QTEST_GUILESS_MAIN(tst_KzFileCopy)
#include "tst_KzFileCopy.moc"
