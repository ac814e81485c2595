#include "KzModel3D.h"
#include "KzModelWriter.h"

#include <QScopeGuard>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class TestKzModelWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static KzTriangle3D Tri(float base, const QVector3D& normal = QVector3D(0, 0, 1))
    {
        KzTriangle3D t;
        t[0] = QVector3D(base, base + 1, base + 2);
        t[1] = QVector3D(base + 3, base + 4, base + 5);
        t[2] = QVector3D(base + 6, base + 7, base + 8);
        t.SetNormal(normal);
        return t;
    }

    static QVector<KzTriangle3D> Tris(int n, float from = 0)
    {
        QVector<KzTriangle3D> out;
        for (int i = 0; i < n; ++i)
            out.append(Tri(from + float(i) * 10));
        return out;
    }

    static QByteArray ReadAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    static float FloatAt(const QByteArray& bytes, int offset)
    {
        const quint32 bits = qFromLittleEndian<quint32>(bytes.constData() + offset);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }

    static QStringList Entries(const QString& dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // Saving over an old file when writing fails part-way: false, the old
    // file exactly as it was, no temporary left behind.
    static void CheckFailedSave(const QString& dir, int facets)
    {
        const QString path = dir + "/plate.stl";
        QFile::remove(path);
        const QByteArray old = QByteArray("previous plate ") + QByteArray(200, 'p');
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(old), qint64(old.size()));
        }
        KzModelWriter writer;
        writer.AddTriangles(Tris(facets));
        QVERIFY(!writer.WriterBinary(path));
        QCOMPARE(ReadAll(path), old);
        QVERIFY(!writer.WriterASCII(path));
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(Entries(dir), QStringList{"plate.stl"});
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void emptyWriter()
    {
        KzModelWriter writer;
        const QString bin = m_dir.filePath("empty.stl");
        const QString txt = m_dir.filePath("empty-ascii.stl");
        QVERIFY(writer.WriterBinary(bin));
        QVERIFY(writer.WriterASCII(txt));
        const QByteArray bytes = ReadAll(bin);
        QCOMPARE(bytes.size(), 84);
        QCOMPARE(bytes.left(19), QByteArray("quillon-meshworks42"));
        QCOMPARE(bytes.mid(19, 65), QByteArray(65, '\0'));   // zero padding and a count of 0
        QCOMPARE(ReadAll(txt), QByteArray("solid\n"));
    }

    void binaryLayout()
    {
        KzModelWriter writer;
        QVector<KzTriangle3D> tris = Tris(2);
        tris[1].SetNormal(QVector3D(0, 0, 2.5f));   // not unit: written as held
        writer.AddTriangles(tris);
        const QString path = m_dir.filePath("layout.stl");
        QVERIFY(writer.WriterBinary(path));
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes.size(), 84 + 2 * 50);
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 80), quint32(2));
        for (int i = 0; i < 2; ++i) {
            const int r = 84 + 50 * i;
            const QVector3D n = tris[i].GetNormal();
            QCOMPARE(FloatAt(bytes, r), n.x());
            QCOMPARE(FloatAt(bytes, r + 8), n.z());
            for (int c = 0; c < 3; ++c) {
                for (int axis = 0; axis < 3; ++axis)
                    QCOMPARE(FloatAt(bytes, r + 12 + c * 12 + axis * 4), tris[i][c][axis]);
            }
            QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + r + 48), quint16(12));
        }
    }

    void binaryManyBlocks()
    {
        // More than one write block; the last record must close the file.
        KzModelWriter writer;
        writer.AddTriangles(Tris(45000));
        const QString path = m_dir.filePath("many.stl");
        QVERIFY(writer.WriterBinary(path));
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes.size(), 84 + 45000 * 50);
        QCOMPARE(FloatAt(bytes, 84 + 44999 * 50 + 12), 449990.0f);
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(path));
        QCOMPARE(model.Count(), 45000);
        QCOMPARE(model.Item(30000)[2], QVector3D(300006, 300007, 300008));
    }

    void asciiLayout()
    {
        KzTriangle3D t;
        t[0] = QVector3D(1, 2, 3);
        t[1] = QVector3D(12.3456789f, -0.5f, 0);
        t[2] = QVector3D(1234567, 0.25f, -1);
        t.SetNormal(QVector3D(0, 0, 1));
        KzModelWriter writer;
        writer.AddTriangles({t});
        const QString path = m_dir.filePath("ascii.stl");
        QVERIFY(writer.WriterASCII(path));
        QCOMPARE(ReadAll(path), QByteArray("solid\n"
                                           "facet normal 0.000000 0.000000 1.000000\n"
                                           "outer loop\n"
                                           "vertex 1 2.000000 3.000000\n"
                                           "vertex 12.3457 -0.500000 0.000000\n"
                                           "vertex 1.23457e+06 0.250000 -1.000000\n"
                                           "endloop\n"
                                           "endfacet\n"));
    }

    void addingAppendsAndWritingRepeats()
    {
        KzModelWriter writer;
        writer.AddTriangles(Tris(3, 0));
        writer.AddTriangles(Tris(5, 1000));
        const QString first = m_dir.filePath("first.stl");
        const QString second = m_dir.filePath("second.stl");
        QVERIFY(writer.WriterBinary(first));
        QVERIFY(writer.WriterBinary(second));
        QCOMPARE(ReadAll(first), ReadAll(second));
        KzModel3D model;
        QVERIFY(model.LoadSTLFile(first));
        QCOMPARE(model.Count(), 8);
        QCOMPARE(model.Item(2)[0], QVector3D(20, 21, 22));
        QCOMPARE(model.Item(3)[0], QVector3D(1000, 1001, 1002));
        // ASCII output reads back to the same corners.
        const QString ascii = m_dir.filePath("round.stl");
        QVERIFY(writer.WriterASCII(ascii));
        KzModel3D again;
        QVERIFY(again.LoadSTLFile(ascii));
        QCOMPARE(again.Count(), 8);
        QCOMPARE(again.Item(7)[2], QVector3D(1046, 1047, 1048));
    }

    void savingReplacesAnExistingFile()
    {
        const QString path = m_dir.filePath("replace.stl");
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        KzModelWriter writer;
        writer.AddTriangles(Tris(1));
        QVERIFY(writer.WriterBinary(path));
        QCOMPARE(ReadAll(path).size(), 134);
    }

    void unwritablePlaceFails()
    {
        KzModelWriter writer;
        writer.AddTriangles(Tris(1));
        QVERIFY(!writer.WriterBinary(m_dir.filePath("no/such/folder/x.stl")));
        QVERIFY(!writer.WriterASCII(m_dir.filePath("no/such/folder/x.stl")));
    }

    // Writes beyond the file-size limit fail with EFBIG, like a full disk.
    void failedWriteKeepsOldFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved;
        limited.rlim_cur = 64 * 1024;
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        });
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        CheckFailedSave(dir.path(), 5000);   // 250 kB
    }

    // A genuinely full file system: a 64 kB tmpfs. Needs root (CI runs as root).
    void fullFileSystemKeepsOldFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (geteuid() != 0 || mount("kz-test", qPrintable(dir.path()), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small tmpfs here (needs root)");
        const auto unmount = qScopeGuard([&] { umount2(qPrintable(dir.path()), MNT_DETACH); });
        CheckFailedSave(dir.path(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestKzModelWriter)
#include "tst_KzModelWriter.moc"
