// The Debian package made by CPack from this build (as tools/package.sh makes
// it from a release build): its control fields and contents, the program run
// from the package extracted into a scratch folder without a display, and
// lintian's verdict (no errors; its warnings are printed).
#include "KzBridgeRun.h"
#include "KzProgramRun.h"
#include "KzTestMesh.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

class tst_KzPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void controlFields();
    void contents();
    void extractedProgramRuns();
    void lintianFindsNoErrors();

private:
    QString Field(const char* name);

    QTemporaryDir m_dir;
    QString m_strPackage;
};

void tst_KzPackage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KzProgramRun cpack;
    QVERIFY2(cpack.Run(KZ_CPACK, { "-G", "DEB", "--config", KZ_BUILD_DIR "/CPackConfig.cmake", "-B", m_dir.filePath("out") },
                       KZ_BUILD_DIR, QProcessEnvironment::systemEnvironment(), 600000),
             qPrintable(cpack.Describe()));
    QVERIFY2(cpack.GetStatus() == 0, qPrintable(cpack.Describe()));
    const QStringList debs = QDir(m_dir.filePath("out")).entryList({ "*.deb" }, QDir::Files);
    QCOMPARE(debs.size(), 1);
    m_strPackage = m_dir.filePath("out/" + debs.first());
}

QString tst_KzPackage::Field(const char* name)
{
    KzProgramRun field;
    field.Run("dpkg-deb", { "-f", m_strPackage, name });
    return field.GetOutput().trimmed();
}

void tst_KzPackage::controlFields()
{
    KzProgramRun arch;
    QVERIFY(arch.Run("dpkg", { "--print-architecture" }));
    QCOMPARE(Field("Package"), QString("kzvellum"));
    QCOMPARE(Field("Version"), QString(KZ_VERSION));
    QCOMPARE(Field("Architecture"), arch.GetOutput().trimmed());
    QCOMPARE(Field("Section"), QString("graphics"));
    // The engine the bridge runs, and what the shared libraries come from.
    const QStringList depends = Field("Depends").split(", ");
    QVERIFY2(depends.contains("cura-engine"), qPrintable(Field("Depends")));
    for (const char* library : { "libqt5widgets5", "libqt5gui5", "libqt5core5a", "libqt5dbus5", "libc6", "libstdc++6", "libglu1-mesa" }) {
        const bool found = std::any_of(depends.begin(), depends.end(), [library](const QString& d) {
            return d == library || d.startsWith(QString(library) + " ");
        });
        QVERIFY2(found, qPrintable(QString("%1 in %2").arg(library, Field("Depends"))));
    }
    // Ejecting the card from the program needs the disk service.
    QCOMPARE(Field("Recommends"), QString("udisks2"));
    QVERIFY2(Field("Description").startsWith("prepares prints"), qPrintable(Field("Description")));
}

void tst_KzPackage::contents()
{
    KzProgramRun list;
    QVERIFY(list.Run("dpkg-deb", { "-c", m_strPackage }));
    QStringList files;
    for (const QString& line : list.GetOutput().split('\n', Qt::SkipEmptyParts)) {
        const QString path = line.section(' ', -1);
        if (!path.endsWith('/'))
            files << path.mid(1); // "./usr/..." -> "/usr/..."
    }
    for (const char* expected : { "/usr/bin/kzvellum", "/usr/lib/kzvellum/libKzFunction.so", "/usr/lib/kzvellum/libKzGLView.so",
                                  "/usr/libexec/kzvellum/CuraEngine", "/usr/share/kzvellum/Configure/basic.xml",
                                  "/usr/share/kzvellum/Configure/slice.xml", "/usr/share/kzvellum/Engine/engine-base.json",
                                  "/usr/share/kzvellum/Help/index.html", "/usr/share/applications/org.kzvellum.kzvellum.desktop",
                                  "/usr/share/metainfo/org.kzvellum.kzvellum.metainfo.xml",
                                  "/usr/share/icons/hicolor/48x48/apps/org.kzvellum.kzvellum.png",
                                  "/usr/share/icons/hicolor/128x128/apps/org.kzvellum.kzvellum.png",
                                  "/usr/share/icons/hicolor/256x256/apps/org.kzvellum.kzvellum.png",
                                  "/usr/share/icons/hicolor/scalable/apps/org.kzvellum.kzvellum.svg",
                                  "/usr/share/man/man1/kzvellum.1.gz", "/usr/share/doc/kzvellum/copyright",
                                  "/usr/share/doc/kzvellum/changelog.gz" })
        QVERIFY2(files.contains(expected), qPrintable(QString("%1 not in:\n%2").arg(expected, files.join('\n'))));
    for (const QString& file : files)
        QVERIFY2(file.startsWith("/usr/"), qPrintable(file));
    // The executables are stripped, the program's and the bridge's modes right.
    QVERIFY2(list.GetOutput().contains(QRegularExpression("-rwxr-xr-x root/root +\\d+ [^\\n]+ \\./usr/bin/kzvellum\\n")),
             qPrintable(list.GetOutput()));
}

// Extracted into a scratch folder, the program finds its libraries and data
// inside it: it prints its version without a display, its bridge slices with
// the settings base of that folder, and so does the program itself (--slice).
void tst_KzPackage::extractedProgramRuns()
{
    const QString root = m_dir.filePath("root");
    KzProgramRun extract;
    QVERIFY(extract.Run("dpkg-deb", { "-x", m_strPackage, root }));
    QVERIFY2(extract.GetStatus() == 0, qPrintable(extract.Describe()));
    QProcessEnvironment environment = KzProgramRun::WithoutDisplay();
    environment.remove("LD_LIBRARY_PATH");
    KzProgramRun run;
    QVERIFY(run.Run(root + "/usr/bin/kzvellum", { "--version" }, QDir::rootPath(), environment));
    QVERIFY2(run.GetStatus() == 0, qPrintable(run.Describe()));
    QCOMPARE(run.GetOutput(), QString("kzvellum %1\n").arg(KZ_VERSION));

    QVERIFY(KzTestMesh::Cube(10).WriteBinary(m_dir.filePath("cube.stl")));
    KzBridgeRun bridge;
    QVERIFY(bridge.Run(KzBridgeRun::Line(KzBridgeRun::Settings(), m_dir.filePath("cube.gcode"), m_dir.filePath("cube.stl")),
                       environment, root + "/usr/libexec/kzvellum/CuraEngine"));
    QVERIFY2(bridge.GetExitCode() == 0, bridge.GetErrors().right(600).constData());
    QFile gcode(m_dir.filePath("cube.gcode"));
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QVERIFY(KzBridgeRun::Analyse(gcode.readAll()).nModelLayers >= 40);

    QVERIFY(run.Run(root + "/usr/bin/kzvellum", { "--slice", "--preset", "fast", "-o", "program.gcode", "cube.stl" },
                    m_dir.path(), environment));
    QVERIFY2(run.GetStatus() == 0, qPrintable(run.Describe()));
    QFile sliced(m_dir.filePath("program.gcode"));
    QVERIFY(sliced.open(QIODevice::ReadOnly));
    // 10 mm in the fast preset's 0.3 mm layers.
    QVERIFY(KzBridgeRun::Analyse(sliced.readAll()).nModelLayers >= 30);
}

void tst_KzPackage::lintianFindsNoErrors()
{
    KzProgramRun lintian;
    QVERIFY2(lintian.Run("lintian", { "--fail-on", "error", m_strPackage }, QString(),
                         QProcessEnvironment::systemEnvironment(), 600000),
             "lintian (Debian package lintian)");
    const QStringList tags = lintian.GetOutput().split('\n', Qt::SkipEmptyParts);
    for (const QString& tag : tags)
        qInfo("lintian: %s", qPrintable(tag));
    QVERIFY2(lintian.GetStatus() == 0, qPrintable(lintian.Describe()));
    for (const QString& tag : tags)
        QVERIFY2(!tag.startsWith("E:"), qPrintable(tag));
}

QTEST_GUILESS_MAIN(tst_KzPackage)
#include "tst_KzPackage.moc"
