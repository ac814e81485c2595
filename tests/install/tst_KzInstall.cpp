// The program installed from this build with cmake --install under a scratch
// prefix, which is then made read-only: the standard layout, the libraries
// found through the relative search path, the desktop entry and metainfo
// passing their validators, the options without a display, the window started
// from another folder on the installed data, the installed bridge slicing, and
// the installed program slicing without a window from another folder.
#include "KzBridgeRun.h"
#include "KzProgramRun.h"
#include "KzTestMesh.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <sys/mount.h>
#include <unistd.h>

namespace {

const char kAppId[] = "org.kzvellum.kzvellum";

QString SelectedMachineDescription(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Machine")
            && xml.attributes().value("Selected") == QLatin1String("True"))
            return xml.attributes().value("Description").toString();
    }
    return QString();
}

// The keys of a desktop entry's main group (its lists keep their semicolons).
QMap<QString, QString> ReadDesktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inMain = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith('['))
            inMain = line == QLatin1String("[Desktop Entry]");
        else if (inMain && line.contains('='))
            keys.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    return keys;
}

} // namespace

class tst_KzInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void standardLayout();
    void librariesFoundThroughTheRelativePath();
    void desktopFilesPassTheirValidators();
    void iconsAndManualPage();
    void optionsWithoutDisplay();
    void windowFromAnotherFolderUsesTheInstalledData();
    void installedBridgeSlices();
    void installedProgramSlicesWithoutDisplay();

private:
    QString Prefix(const QString& path = QString()) const { return QDir(m_strPrefix).filePath(path); }
    bool MakeReadOnly();

    QTemporaryDir m_dir;
    QString m_strPrefix;
    QByteArray m_strPreload;
    bool m_bMounted = false;
};

void tst_KzInstall::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The sanitizer build preloads its runtime and the GL driver into this
    // test for the window it starts; the system's tools and the engine run
    // without them.
    m_strPreload = qgetenv("LD_PRELOAD");
    qunsetenv("LD_PRELOAD");
    m_strPrefix = QDir(m_dir.path()).canonicalPath() + "/prefix";
    KzProgramRun install;
    QVERIFY2(install.Run(KZ_CMAKE, { "--install", KZ_BUILD_DIR, "--prefix", m_strPrefix }), qPrintable(install.Describe()));
    QVERIFY2(install.GetStatus() == 0, qPrintable(install.Describe()));
    QVERIFY(MakeReadOnly());
    // Nothing can be written below the prefix now, not even by root.
    QFile probe(Prefix("share/kzvellum/probe"));
    QVERIFY(!probe.open(QIODevice::WriteOnly));
}

// A read-only bind mount of the prefix onto itself when root (who writes
// through any permission bits), the write bits taken away otherwise.
bool tst_KzInstall::MakeReadOnly()
{
    const QByteArray path = QFile::encodeName(m_strPrefix);
    if (geteuid() == 0) {
        if (mount(path.constData(), path.constData(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            return false;
        m_bMounted = true;
        return mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    KzProgramRun chmod;
    return chmod.Run("chmod", { "-R", "a-w", m_strPrefix }) && chmod.GetStatus() == 0;
}

void tst_KzInstall::cleanupTestCase()
{
    if (m_bMounted)
        umount2(QFile::encodeName(m_strPrefix).constData(), MNT_DETACH);
    KzProgramRun chmod;
    chmod.Run("chmod", { "-R", "u+w", m_dir.path() });
}

void tst_KzInstall::standardLayout()
{
    const QStringList programs = { "bin/kzvellum", "libexec/kzvellum/CuraEngine" };
    const QStringList files = {
        "lib/kzvellum/libKzFunction.so", "lib/kzvellum/libKzGLView.so",
        "share/kzvellum/Configure/basic.xml", "share/kzvellum/Configure/slice.xml",
        "share/kzvellum/Engine/engine-base.json", "share/kzvellum/Help/index.html",
        QString("share/applications/%1.desktop").arg(kAppId), QString("share/metainfo/%1.metainfo.xml").arg(kAppId),
        "share/man/man1/kzvellum.1.gz", "share/doc/kzvellum/copyright", "share/doc/kzvellum/changelog.gz",
    };
    for (const QString& p : programs)
        QVERIFY2(QFileInfo(Prefix(p)).isExecutable(), qPrintable(p));
    for (const QString& f : files)
        QVERIFY2(QFileInfo(Prefix(f)).isFile(), qPrintable(f));
    // Only what was asked for: no tests, build helpers or static libraries.
    const QStringList top = QDir(Prefix()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(top, QStringList({ "bin", "lib", "libexec", "share" }));
    QCOMPARE(QDir(Prefix("bin")).entryList(QDir::Files), QStringList({ "kzvellum" }));
    QCOMPARE(QDir(Prefix("lib/kzvellum")).entryList(QDir::Files), QStringList({ "libKzFunction.so", "libKzGLView.so" }));
}

// The program's libraries come from the private folder beside it, found
// through a search path relative to the program, not from the build.
void tst_KzInstall::librariesFoundThroughTheRelativePath()
{
    struct Expected
    {
        const char* file;
        const char* runpath;
    };
    const Expected expected[] = {
        { "bin/kzvellum", "$ORIGIN/../lib/kzvellum" },
        { "lib/kzvellum/libKzGLView.so", "$ORIGIN" },
        { "lib/kzvellum/libKzFunction.so", "$ORIGIN" },
    };
    for (const Expected& e : expected) {
        KzProgramRun readelf;
        QVERIFY2(readelf.Run("readelf", { "-d", Prefix(e.file) }), qPrintable(readelf.Describe()));
        const QRegularExpressionMatch m = QRegularExpression("R(UN)?PATH\\)\\s+Library r(un)?path: \\[(.*)\\]")
                                              .match(readelf.GetOutput());
        QVERIFY2(m.hasMatch(), qPrintable(readelf.Describe()));
        QCOMPARE(m.captured(3), QString(e.runpath));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_LIBRARY_PATH");
    KzProgramRun ldd;
    QVERIFY(ldd.Run("ldd", { Prefix("bin/kzvellum") }, QString(), environment));
    for (const char* library : { "libKzFunction.so", "libKzGLView.so" }) {
        const QRegularExpressionMatch m = QRegularExpression(QString("%1 => (\\S+)").arg(library)).match(ldd.GetOutput());
        QVERIFY2(m.hasMatch(), qPrintable(ldd.GetOutput()));
        QCOMPARE(QFileInfo(m.captured(1)).canonicalFilePath(), Prefix("lib/kzvellum/") + library);
    }
    QVERIFY2(!ldd.GetOutput().contains(KZ_BUILD_DIR), qPrintable(ldd.GetOutput()));
}

void tst_KzInstall::desktopFilesPassTheirValidators()
{
    const QString desktop = Prefix(QString("share/applications/%1.desktop").arg(kAppId));
    KzProgramRun validate;
    QVERIFY2(validate.Run("desktop-file-validate", { desktop }), "desktop-file-validate (Debian package desktop-file-utils)");
    QVERIFY2(validate.GetStatus() == 0 && validate.GetOutput().isEmpty(), qPrintable(validate.Describe()));
    const QString metainfo = Prefix(QString("share/metainfo/%1.metainfo.xml").arg(kAppId));
    QVERIFY2(validate.Run("appstreamcli", { "validate", "--no-net", "--strict", metainfo }),
             "appstreamcli (Debian package appstream)");
    QVERIFY2(validate.GetStatus() == 0, qPrintable(validate.Describe()));

    // The entry opens the models it is given, as Debian's MIME database names them.
    const QMap<QString, QString> entry = ReadDesktopEntry(desktop);
    QCOMPARE(entry.value("Exec"), QString("kzvellum %F"));
    QVERIFY(QFileInfo(Prefix("bin/" + entry.value("TryExec"))).isExecutable());
    const QStringList types = entry.value("MimeType").split(';', Qt::SkipEmptyParts);
    QCOMPARE(types, QStringList({ "model/stl", "model/obj", "model/3mf" }));
    QMimeDatabase mime;
    for (const QString& type : types) {
        const QMimeType known = mime.mimeTypeForName(type);
        QVERIFY2(known.isValid() && known.name() == type, qPrintable(type));
        QVERIFY2(known.globPatterns().contains("*." + type.section('/', 1)), qPrintable(known.globPatterns().join(' ')));
    }
    const QStringList categories = entry.value("Categories").split(';', Qt::SkipEmptyParts);
    for (const char* category : { "Graphics", "3DGraphics", "Engineering" })
        QVERIFY2(categories.contains(category), qPrintable(categories.join(';')));
    QCOMPARE(entry.value("Icon"), QString(kAppId));
}

// The icons drawn from the logo's drawing at their sizes, the drawing itself
// as the scalable one; the manual page compressed and clean for man.
void tst_KzInstall::iconsAndManualPage()
{
    for (const int size : { 48, 128, 256 }) {
        const QString path = Prefix(QString("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId));
        const QImage icon(path);
        QVERIFY2(!icon.isNull(), qPrintable(path));
        QCOMPARE(icon.size(), QSize(size, size));
        // Drawn, not blank: the corner is clear, the middle is not.
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QVERIFY(qAlpha(icon.pixel(size / 2, size / 2)) == 255);
    }
    QFile svg(Prefix(QString("share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId)));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("<svg"));

    KzProgramRun man;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MANWIDTH", "80");
    QVERIFY2(man.Run("man", { "--warnings", "-E", "UTF-8", "-l", Prefix("share/man/man1/kzvellum.1.gz") }, QString(),
                     environment),
             qPrintable(man.Describe()));
    QVERIFY2(man.GetStatus() == 0 && man.GetErrors().isEmpty(), qPrintable(man.Describe()));
    for (const char* text : { "kzvellum - prepare prints", "--version", "EXIT STATUS", "kzvellum bracket.stl lid.obj",
                              "--material NAME", "kzvellum --slice -o plate.gcode bracket.stl lid.obj" })
        QVERIFY2(man.GetOutput().contains(text), qPrintable(man.GetOutput()));
}

void tst_KzInstall::optionsWithoutDisplay()
{
    KzProgramRun run;
    QVERIFY(run.Run(Prefix("bin/kzvellum"), { "--version" }, QDir::rootPath(), KzProgramRun::WithoutDisplay()));
    QCOMPARE(run.GetStatus(), 0);
    QCOMPARE(run.GetOutput(), QString("kzvellum %1\n").arg(KZ_VERSION));
    QVERIFY(run.Run(Prefix("bin/kzvellum"), { "--help" }, QDir::rootPath(), KzProgramRun::WithoutDisplay()));
    QCOMPARE(run.GetStatus(), 0);
    QVERIFY2(run.GetOutput().contains("Shows this help and exits."), qPrintable(run.Describe()));
}

// Started from a folder of the user's, through a link, the installed window
// reads the machines and presets of the read-only prefix, opens a model given
// by a relative path and keeps that folder as its working folder.
void tst_KzInstall::windowFromAnotherFolderUsesTheInstalledData()
{
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString folder = QDir(elsewhere.path()).canonicalPath();
    QVERIFY(KzTestMesh::Cube(15).WriteBinary(folder + "/cube.stl"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_LIBRARY_PATH");
    if (!m_strPreload.isEmpty())
        environment.insert("LD_PRELOAD", QString::fromLocal8Bit(m_strPreload));
    // Started through a link elsewhere, as from a folder on the search path.
    QVERIFY(QDir().mkpath(folder + "/links"));
    QVERIFY(QFile::link(Prefix("bin/kzvellum"), folder + "/links/kzvellum"));
    KzProgramRun run;
    run.RunUntilLogged(folder + "/links/kzvellum", { "cube.stl" }, folder, environment, "the model");
    const QString log = run.GetErrors();
    const QString expected = SelectedMachineDescription(Prefix("share/kzvellum/Configure/basic.xml"));
    QVERIFY(!expected.isEmpty());
    QVERIFY2(log.contains(QString("KzVellum: working folder %1, data folder %2, machine %3, material 0\n")
                              .arg(folder, Prefix("share/kzvellum"), expected)),
             qPrintable(log));
    QVERIFY2(log.contains("KzVellum: opened the model " + folder + "/cube.stl\n"), qPrintable(log));
    // The installed presets are readable where the program looks for them.
    QVERIFY2(!log.contains("slicing presets"), qPrintable(log));
}

// The installed bridge finds its settings base in the prefix's data folder.
void tst_KzInstall::installedBridgeSlices()
{
    QVERIFY(KzTestMesh::Cube(10).WriteBinary(m_dir.filePath("cube.stl")));
    const QString output = m_dir.filePath("cube.gcode");
    KzBridgeRun run;
    QVERIFY(run.Run(KzBridgeRun::Line(KzBridgeRun::Settings(), output, m_dir.filePath("cube.stl")),
                    QProcessEnvironment::systemEnvironment(), Prefix("libexec/kzvellum/CuraEngine")));
    QVERIFY2(run.GetExitCode() == 0, run.GetErrors().right(600).constData());
    QFile gcode(output);
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    const KzGCodeFacts facts = KzBridgeRun::Analyse(gcode.readAll());
    QVERIFY2(facts.nModelLayers >= 40, qPrintable(QString::number(facts.nModelLayers)));
}

// P/bin/kzvellum --slice -o x.gcode model.stl from a folder of the user's,
// without a display: the read-only prefix's presets and bridge, the G-code in
// that folder, the run's temporary files in the user's data folder.
void tst_KzInstall::installedProgramSlicesWithoutDisplay()
{
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString folder = QDir(elsewhere.path()).canonicalPath();
    QVERIFY(KzTestMesh::Cube(12).WriteBinary(folder + "/model.stl"));
    QProcessEnvironment environment = KzProgramRun::WithoutDisplay();
    environment.remove("LD_LIBRARY_PATH");
    environment.insert("XDG_DATA_HOME", folder + "/data");
    environment.insert("XDG_CONFIG_HOME", folder + "/config");
    KzProgramRun run;
    QVERIFY(run.Run(Prefix("bin/kzvellum"), { "--slice", "-o", "x.gcode", "model.stl" }, folder, environment));
    QVERIFY2(run.GetStatus() == 0, qPrintable(run.Describe()));
    const QString expected = SelectedMachineDescription(Prefix("share/kzvellum/Configure/basic.xml"));
    QVERIFY2(run.GetErrors().contains(QString("kzvellum: Printer %1, material PLA, preset standard\n").arg(expected)),
             qPrintable(run.Describe()));
    QVERIFY2(run.GetErrors().contains("kzvellum: Wrote " + folder + "/x.gcode ("), qPrintable(run.Describe()));
    QFile gcode(folder + "/x.gcode");
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QVERIFY(KzBridgeRun::Analyse(gcode.readAll()).nModelLayers >= 40);
    QVERIFY(QFileInfo(folder + "/data/kzvellum/Vellum").isDir());
}

QTEST_GUILESS_MAIN(tst_KzInstall)
#include "tst_KzInstall.moc"
