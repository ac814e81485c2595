#include "KzEngineOutput.h"
#include "KzSliceProfile.h"
#include "KzSliceWork.h"
#include "ScratchFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QtTest>

#include <memory>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Ranges = QList<QPair<int, int>>;
using Values = QList<int>;
Q_DECLARE_METATYPE(Ranges)
Q_DECLARE_METATYPE(Values)

namespace {

// Every fake engine starts by finding its -o path, as the real one does.
const char kEngineHeader[] =
    "#!/bin/sh\n"
    "echo $$ > engine.pid\n"
    "out=; prev=\n"
    "for a in \"$@\"; do\n"
    "    if [ \"$prev\" = \"-o\" ]; then out=$a; fi\n"
    "    prev=$a\n"
    "done\n"
    "write_gcode() { printf ';FLAVOR:RepRap\\n;Print time: {print_time}\\nM104 S200\\n;LAYER:0\\nG1 X1 Y1\\n'"
    " > \"$out\"; }\n";

// Plays the files in chunks/ one by one, each as one write.
const char kChunkPlayer[] =
    "for f in chunks/*; do cat \"$f\"; sleep 0.05; done\n"
    "write_gcode\n";

struct Record
{
    QList<int> results;
    Ranges ranges;
    Values values;
    QStringList infos;
    QList<QPair<int, int>> figures;   // seconds and millimetres, -1 for none
    QStringList reasons;      // the tip texts, given before result 3
    bool engineLeft = false;  // an engine process this process did not collect
};

// Checked at once, without waiting: a stop reports only when the engine's whole
// process group is gone.
bool ProcessGone(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')');
    return end > 0 && line.mid(end + 2, 1) == "Z"; // ended, its new parent has yet to collect it
}

// True when the process was a child of this one and has been collected.
bool Reaped(pid_t pid)
{
    return waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

pid_t ReadPid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return pid_t(file.readAll().trimmed().toInt());
}

// A field of /proc/self/status, in kB.
qint64 StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts measuring the peak resident size afresh.
bool ResetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Lowers the file-size limit of this process for one scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        m_bActive = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool IsActive() const { return m_bActive; }

private:
    rlimit m_old;
    void (*m_oldHandler)(int);
    bool m_bActive;
};

// Ends a worker thread even when a check failed half way through a run.
class ThreadGuard
{
public:
    ThreadGuard(QThread &thread, KzSliceWork *job) : m_thread(thread), m_pJob(job) {}
    ~ThreadGuard()
    {
        if (m_thread.isRunning()) {
            m_pJob->Stop();
            m_thread.quit();
            m_thread.wait();
        }
    }

private:
    QThread &m_thread;
    KzSliceWork *m_pJob;
};

} // namespace

class TestKzSliceWork : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyInputsAreNotStarted_data();
    void emptyInputsAreNotStarted();
    void engineReceivesExactArguments();
    void profileTextKeepsLineBreaksInOneArgument();

    void progressFromOutput_data();
    void progressFromOutput();
    void zeroByteEndsItsChunk();

    void printInformation_data();
    void printInformation();
    void postProcessingFillsPrintTime();
    void postProcessingKeepsEveryByte();
    void failedRewriteLeavesEngineFileWhole();

    void outputFloodKeepsMemoryBounded_data();
    void outputFloodKeepsMemoryBounded();
    void progressFloodIsThrottled();
    void engineOutputKeepsLittle();
    void hugeGCodeIsPostProcessedAsAStream();

    void engineFailures_data();
    void engineFailures();
    void engineCannotStart_data();
    void engineCannotStart();
    void failureReasonIsReported();

    void stopWhileWaitingForOutput_data();
    void stopWhileWaitingForOutput();
    void stopWhileOutputFlows();
    void stopAfterOutputClosed();
    void stopBeforeRunTakesEffectAtFirstCheck();
    void stopAfterTheEngineEndedLeavesTheNextRunAlone();

private:
    void InstallEngine(const QString &body);
    void WriteChunks(const QList<QByteArray> &chunks);
    QByteArray ReadFile(const QString &path);
    void Attach(KzSliceWork &job, Record &record);
    void Prepare(KzSliceWork &job);
    Record RunJob();
    KzSliceWork *StartOnThread(QThread &thread, Record &record);

    std::unique_ptr<ScratchFolder> m_pFolder;
    QString m_strGCodePath;
};

void TestKzSliceWork::init()
{
    m_pFolder.reset(new ScratchFolder);
    QVERIFY(m_pFolder->IsValid());
    QVERIFY(QDir().mkpath(QStringLiteral("Engine")));
    QVERIFY(QDir().mkpath(QStringLiteral("chunks")));
    QVERIFY(QDir().mkpath(QStringLiteral("app data")));
    m_strGCodePath = m_pFolder->FilePath(QStringLiteral("app data/tmpGCode.gcode"));
}

void TestKzSliceWork::cleanup()
{
    m_pFolder.reset();
}

void TestKzSliceWork::InstallEngine(const QString &body)
{
    ScratchFolder::WriteFile(QStringLiteral("Engine/CuraEngine"), QByteArray(kEngineHeader) + body.toUtf8());
    QVERIFY(QFile::setPermissions(QStringLiteral("Engine/CuraEngine"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestKzSliceWork::WriteChunks(const QList<QByteArray> &chunks)
{
    for (int i = 0; i < chunks.size(); ++i)
        ScratchFolder::WriteFile(QStringLiteral("chunks/%1").arg(i, 2, 10, QLatin1Char('0')), chunks.at(i));
}

QByteArray TestKzSliceWork::ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestKzSliceWork::Attach(KzSliceWork &job, Record &record)
{
    connect(&job, &KzSliceWork::signal_SliceOver, this, [&record](int code) { record.results.append(code); });
    connect(&job, &KzSliceWork::signal_UpdateProgressRange, this,
            [&record](int min, int max) { record.ranges.append({min, max}); });
    connect(&job, &KzSliceWork::signal_UpdateProgressValue, this,
            [&record](int value) { record.values.append(value); });
    connect(&job, &KzSliceWork::signal_SendPrintInfo, this,
            [&record](const QString &info) { record.infos.append(info); });
    connect(&job, &KzSliceWork::signal_SendPrintFigures, this,
            [&record](int seconds, int filament) { record.figures.append({seconds, filament}); });
    connect(&job, &KzSliceWork::signal_UpdateTipText, this,
            [&record](const QString &reason) { record.reasons.append(reason); });
}

void TestKzSliceWork::Prepare(KzSliceWork &job)
{
    job.SetGCodeFilePath(m_strGCodePath);
    job.SetSTLFilePath(m_pFolder->FilePath(QStringLiteral("tmpSTL.stl")));
    job.SetParamString(QStringLiteral(" -s \"layerThickness=100\""));
}

// One run on this thread, as the worker thread would do it.
Record TestKzSliceWork::RunJob()
{
    KzSliceWork job;
    Record record;
    Attach(job, record);
    Prepare(job);
    job.slot_StartSlice();
    const pid_t enginePid = ReadPid(QStringLiteral("engine.pid"));
    record.engineLeft = enginePid > 0 && !Reaped(enginePid);
    return record;
}

// As the slice panel runs a job: on a worker thread, its signals queued to this one.
KzSliceWork *TestKzSliceWork::StartOnThread(QThread &thread, Record &record)
{
    KzSliceWork *job = new KzSliceWork;
    Prepare(*job);
    Attach(*job, record);
    job->moveToThread(&thread);
    connect(&thread, &QThread::finished, job, &QObject::deleteLater);
    thread.start();
    QMetaObject::invokeMethod(job, "slot_StartSlice", Qt::QueuedConnection);
    return job;
}

void TestKzSliceWork::emptyInputsAreNotStarted_data()
{
    QTest::addColumn<QString>("gcode");
    QTest::addColumn<QString>("stl");
    QTest::addColumn<QString>("param");
    QTest::newRow("no G-code path") << QString() << QStringLiteral("m.stl") << QStringLiteral(" -s \"a=1\"");
    QTest::newRow("no STL path") << QStringLiteral("g.gcode") << QString() << QStringLiteral(" -s \"a=1\"");
    QTest::newRow("no settings") << QStringLiteral("g.gcode") << QStringLiteral("m.stl") << QString();
}

void TestKzSliceWork::emptyInputsAreNotStarted()
{
    QFETCH(QString, gcode);
    QFETCH(QString, stl);
    QFETCH(QString, param);
    InstallEngine(QStringLiteral("touch ran\nwrite_gcode\n"));
    KzSliceWork job;
    Record record;
    Attach(job, record);
    job.SetGCodeFilePath(gcode);
    job.SetSTLFilePath(stl);
    job.SetParamString(param);
    job.slot_StartSlice();
    QCOMPARE(record.results, QList<int>{1});
    QVERIFY(record.infos.isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("ran")));
}

void TestKzSliceWork::engineReceivesExactArguments()
{
    InstallEngine(QStringLiteral("for a in \"$@\"; do printf '%s\\0' \"$a\"; done > args.bin\nwrite_gcode\n"));
    // Paths are passed as they are, blanks and quotes included.
    QVERIFY(QDir().mkpath(QStringLiteral("odd \"dir\"")));
    const QString gcodePath = m_pFolder->FilePath(QStringLiteral("odd \"dir\"/out put.gcode"));
    const QString stlPath = m_pFolder->FilePath(QStringLiteral("my model.stl"));
    KzSliceWork job;
    Record record;
    Attach(job, record);
    job.SetGCodeFilePath(gcodePath);
    job.SetSTLFilePath(stlPath);
    job.SetParamString(QStringLiteral(" -s \"a=1\"  -s\t\"note=two  words\" -s \"\" -s \"b=-1\""
                                      " -s \"startCode=;T {print_time}\nM140 S60\r\nM117 Printing\""
                                      " -s \"endCode=M84\r\nG90\r\n\""));
    job.slot_StartSlice();
    QCOMPARE(record.results, QList<int>{0});

    const QList<QByteArray> received = ReadFile(QStringLiteral("args.bin")).split('\0');
    const QList<QByteArray> expected = {
        "-p", "-v", "-s", "a=1", "-s", "note=two  words", "-s", "", "-s", "b=-1",
        "-s", "startCode=;T {print_time}\nM140 S60\r\nM117 Printing", "-s", "endCode=M84\r\nG90\r\n",
        "-o", QFile::encodeName(gcodePath), QFile::encodeName(stlPath),
        "" /* after the last terminator */};
    QCOMPARE(received, expected);
}

void TestKzSliceWork::profileTextKeepsLineBreaksInOneArgument()
{
    InstallEngine(QStringLiteral("for a in \"$@\"; do printf '%s\\0' \"$a\"; done > args.bin\nwrite_gcode\n"));
    KzSliceProfile profile(SliceMode_Custom);
    profile.SetPrintTemperature(200);
    profile.SetBedTemperature(60);
    KzSliceWork job;
    Record record;
    Attach(job, record);
    Prepare(job);
    job.SetParamString(profile.GetCommandStrings());
    job.slot_StartSlice();
    QCOMPARE(record.results, QList<int>{0});

    const QList<QByteArray> received = ReadFile(QStringLiteral("args.bin")).split('\0');
    // -p -v, 60 settings and the start and end code as -s pairs, -o path, STL path,
    // and the empty text after the last terminator.
    QCOMPARE(received.size(), 2 + 2 * 62 + 3 + 1);
    QCOMPARE(received.at(2), QByteArray("-s"));
    QCOMPARE(received.at(3), QByteArray("coolHeadLift=0"));
    const QByteArray start = received.at(received.size() - 7);
    QVERIFY2(start.startsWith("startCode=;Print time: {print_time}\nM140 S60\r\nM190 S60\r\nM104 S200\r\n"),
             start.constData());
    QVERIFY(start.endsWith("\r\nM117 Printing"));
    QCOMPARE(received.at(received.size() - 5),
             QByteArray("endCode=M140 S0\r\nM104 S0\r\nG91\r\nG1 E-1 F300\r\nG28 X0 Y0\r\nM84\r\nG90\r\n"));
}

void TestKzSliceWork::progressFromOutput_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<Values>("values");

    QTest::newRow("line split across chunks")
        << QList<QByteArray>{"Layer count: 10\r\nProgress:inset:3:10\r\nProgress:ins", "et:5:10\r\n"}
        << Ranges{{0, 30}} << Values{3, 5};
    QTest::newRow("several lines in one chunk")
        << QList<QByteArray>{"Layer count: 4\r\nProgress:inset:1:4\r\nProgress:skin:2:4\r\nProgress:export:3:4\r\n"}
        << Ranges{{0, 12}} << Values{1, 6, 11};
    QTest::newRow("bare line feed does not split")
        << QList<QByteArray>{"Progress:inset:1:5\nProgress:inset:2:5\r\n"} << Ranges{} << Values{1};
    QTest::newRow("no layer count") << QList<QByteArray>{"Progress:inset:2:9\r\nProgress:skin:3:9\r\n",
                                                         "Progress:export:4:9\r\n"}
                                    << Ranges{} << Values{2, 3, 4};
    QTest::newRow("layer count zero") << QList<QByteArray>{"Layer count: 0\r\n"} << Ranges{{0, 0}} << Values{};
    QTest::newRow("empty numbers read as zero")
        << QList<QByteArray>{"Layer count: \r\nProgress:inset::5\r\n"} << Ranges{{0, 0}} << Values{0};
    QTest::newRow("unfinished last line is not reported")
        << QList<QByteArray>{"Progress:inset:1:2\r\nProgress:inset:2:2"} << Ranges{} << Values{1};
    QTest::newRow("layer count wins within one line")
        << QList<QByteArray>{"Progress:inset:1:7 Layer count: 7\r\n"} << Ranges{{0, 21}} << Values{};
    QTest::newRow("patterns found anywhere in a line")
        << QList<QByteArray>{"Layer count: 3\r\n[info] Progress:skin:2:3 done\r\nnoise\r\n\r\n"}
        << Ranges{{0, 9}} << Values{5};
    QTest::newRow("line feed only at the very end")
        << QList<QByteArray>{"Layer count: 2\r", "\nProgress:export:1:2\n"} << Ranges{{0, 6}} << Values{5};
    QTest::newRow("later layer count changes the phases")
        << QList<QByteArray>{"Layer count: 2\r\nProgress:skin:1:2\r\nLayer count: 5\r\nProgress:skin:1:5\r\n"}
        << Ranges{{0, 6}, {0, 15}} << Values{3, 6};
    QTest::newRow("huge layer count saturates")
        << QList<QByteArray>{"Layer count: 2000000000\r\nProgress:export:5:9\r\n"}
        << Ranges{{0, 2147483647}} << Values{2147483647};
    // 250 characters and a line break, then a progress line that a 255-byte read cuts.
    QTest::newRow("line cut by the read size")
        << QList<QByteArray>{QByteArray(250, 'x') + "\r\nProgress:skin:4:9\r\n"} << Ranges{} << Values{4};
}

void TestKzSliceWork::progressFromOutput()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(Ranges, ranges);
    QFETCH(Values, values);
    WriteChunks(chunks);
    InstallEngine(QLatin1String(kChunkPlayer));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});
    QVERIFY(!record.engineLeft);
    QCOMPARE(record.ranges, ranges);
    QCOMPARE(record.values, values);
}

void TestKzSliceWork::zeroByteEndsItsChunk()
{
    // Written at once, read as 255 bytes and the rest: the text after the zero
    // byte is lost up to the end of its 255-byte chunk, not beyond.
    QByteArray output = "Progress:inset:1:9\r\n";
    output += '\0';
    output += "Progress:inset:2:9\r\n";
    output += QByteArray(253 - output.size(), 'y') + "\r\n";
    QCOMPARE(output.size(), 255);
    // A longer read would swallow the start of this line.
    output += "Progress:inset:3:9\r\n";
    WriteChunks({output});
    InstallEngine(QLatin1String(kChunkPlayer));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(record.values, (Values{1, 3}));
}

void TestKzSliceWork::printInformation_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("filament");

    QTest::newRow("time and filament")
        << QList<QByteArray>{"Print time: 3700\r\nFilament: 1234\r\n"} << QStringLiteral("1 hour 1 minutes\n1.23 Metre(s)") << 3700 << 1234;
    QTest::newRow("nothing reported") << QList<QByteArray>{"Layer count: 3\r\n"} << QStringLiteral("0s\n") << -1 << -1;
    QTest::newRow("under a minute") << QList<QByteArray>{"Print time: 59\r\n"} << QStringLiteral("0 minutes\n") << 59 << -1;
    QTest::newRow("two hours") << QList<QByteArray>{"Print time: 7260\r\n"} << QStringLiteral("2 hours 1 minutes\n") << 7260 << -1;
    QTest::newRow("one hour sharp") << QList<QByteArray>{"Print time: 3600\r\n"} << QStringLiteral("1 hour 0 minutes\n") << 3600 << -1;
    QTest::newRow("filament only") << QList<QByteArray>{"Filament: 1999\r\n"} << QStringLiteral("0s\n2.00 Metre(s)") << -1 << 1999;
    QTest::newRow("first time counts")
        << QList<QByteArray>{"Print time: 60\r\nPrint time: 7200\r\n"} << QStringLiteral("1 minutes\n") << 60 << -1;
    // Searched in the whole output, so neither chunks nor line ends matter.
    QTest::newRow("time split across chunks")
        << QList<QByteArray>{"Print ti", "me: 120\r\nFila", "ment: 500"} << QStringLiteral("2 minutes\n0.50 Metre(s)") << 120 << 500;
}

void TestKzSliceWork::printInformation()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, info);
    QFETCH(int, seconds);
    QFETCH(int, filament);
    WriteChunks(chunks);
    InstallEngine(QLatin1String(kChunkPlayer));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(record.infos, QStringList{info});
    QCOMPARE(record.figures, (QList<QPair<int, int>>{{seconds, filament}}));
    // The same time text goes into the G-code.
    const QString time = info.section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(ReadFile(m_strGCodePath),
             QByteArray(";Print time: ") + time.toLatin1() + "\nM104 S200\n;LAYER:0\nG1 X1 Y1\n");
}

void TestKzSliceWork::postProcessingFillsPrintTime()
{
    // The marker near the top is filled; one that starts inside the first 2048
    // characters after the first line but ends beyond them, and one further down,
    // stay as they are.
    QByteArray body = ";Print time: {print_time}\r\nG28\r\n";
    body += QByteArray(2040 - body.size(), 'a');
    const QByteArray tail = "{print_time}\n;LAYER:0\nG1 X1\n;Print time: {print_time}\n";
    const QByteArray source = ";Generated by engine 1.0\r\n" + body + tail;
    ScratchFolder::WriteFile(QStringLiteral("source.gcode"), source);
    InstallEngine(QStringLiteral("printf 'Print time: 3700\\r\\n'\ncat source.gcode > \"$out\"\n"));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});

    QByteArray expected = body + tail;
    expected.replace(0, 25, ";Print time: 1 hour 1 minutes");
    QCOMPARE(ReadFile(m_strGCodePath), expected);
}

void TestKzSliceWork::postProcessingKeepsEveryByte()
{
    // Bytes that are not UTF-8 and a long file pass through unchanged.
    QByteArray rest;
    for (int i = 0; i < 5000; ++i)
        rest += ";LAYER:" + QByteArray::number(i) + "\nG1 X1 ; \xe9\xff\x80 caf\xc3\xa9\r\n";
    const QByteArray head = ";Print time: {print_time}\n\xb0\xb1";
    ScratchFolder::WriteFile(QStringLiteral("source.gcode"), "first line\n" + head + rest);
    InstallEngine(QStringLiteral("cat source.gcode > \"$out\"\n"));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(ReadFile(m_strGCodePath), ";Print time: 0s\n\xb0\xb1" + rest);
}

void TestKzSliceWork::failedRewriteLeavesEngineFileWhole()
{
    // The engine writes 40 kB; this process may then write only 4 kB per file,
    // so the rewrite fails part way. The engine's file must stay whole.
    QByteArray source = "first line\n;Print time: {print_time}\n";
    while (source.size() < 40000)
        source += ";LAYER:1\nG1 X10 Y10 E1\n";
    ScratchFolder::WriteFile(QStringLiteral("source.gcode"), source);
    InstallEngine(QStringLiteral("ulimit -S -f unlimited\ncat source.gcode > \"$out\"\n"));
    Record record;
    {
        FileSizeLimit limit(4096);
        QVERIFY(limit.IsActive());
        record = RunJob();
    }
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(ReadFile(m_strGCodePath), source);
    // No temporary file left beside it.
    QCOMPARE(QDir(QStringLiteral("app data")).entryList(QDir::Files), QStringList{QStringLiteral("tmpGCode.gcode")});
}

void TestKzSliceWork::outputFloodKeepsMemoryBounded_data()
{
    QTest::addColumn<QString>("flood");
    QTest::addColumn<int>("megabytes");
    QTest::newRow("lines") << QStringLiteral("yes 'noise from the engine' | head -c %1") << 64;
    QTest::newRow("one line without a break") << QStringLiteral("head -c %1 /dev/zero | tr '\\0' x") << 32;
}

// Tens of megabytes of output: the run ends as usual, the lines after the
// flood still count, and the job's memory does not grow with the output (it
// kept all of it, twice over, and rescanned an unended line at every read).
void TestKzSliceWork::outputFloodKeepsMemoryBounded()
{
    QFETCH(QString, flood);
    QFETCH(int, megabytes);
    InstallEngine(flood.arg(megabytes << 20)
                  + QStringLiteral("\nprintf '\\r\\nLayer count: 2\\r\\nProgress:export:1:2\\r\\nPrint time: 120\\r\\n'\n"
                                   "write_gcode\n"));
    const qint64 before = StatusKb("VmRSS:");
    QVERIFY(ResetPeakResident());
    const Record record = RunJob();
    const qint64 growth = StatusKb("VmHWM:") - before;
    qInfo("peak resident growth over %d MB of output: %lld kB", megabytes, growth);
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(record.ranges, (Ranges{{0, 6}}));
    QCOMPARE(record.values, Values{5});
    QCOMPARE(record.infos, QStringList{QStringLiteral("2 minutes\n")});
    QVERIFY2(growth < 16 * 1024, qPrintable(QString::number(growth)));
}

// An engine that floods progress lines: the window gets at most a burst of
// steps per interval, never one signal per line, and the last step it gets
// is the engine's last.
void TestKzSliceWork::progressFloodIsThrottled()
{
    const int lines = 200000;
    InstallEngine(QStringLiteral("printf 'Layer count: %1\\r\\n'\n"
                                 "awk 'BEGIN { for (i = 1; i <= %1; i++) printf \"Progress:inset:%d:%1\\r\\n\", i }'\n"
                                 "write_gcode\n").arg(lines));
    QElapsedTimer clock;
    clock.start();
    const Record record = RunJob();
    const qint64 elapsed = clock.elapsed();
    qInfo("%d progress lines gave %d steps in %lld ms", lines, int(record.values.size()), elapsed);
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(record.ranges, (Ranges{{0, 3 * lines}}));
    QVERIFY(!record.values.isEmpty());
    QCOMPARE(record.values.last(), lines);
    const qint64 allowed = KzEngineOutput::ms_nProgressBurst * (elapsed / KzEngineOutput::ms_nProgressWindowMs + 2);
    QVERIFY2(record.values.size() <= allowed, qPrintable(QStringLiteral("%1 > %2").arg(record.values.size()).arg(allowed)));
}

// The parser alone: a long unended line keeps only its start, whatever comes;
// a burst of progress is sent in order up to the limit, the rest summed up.
void TestKzSliceWork::engineOutputKeepsLittle()
{
    KzEngineOutput output;
    const QByteArray junk(64 * 1024, 'x');
    for (int i = 0; i < 128; ++i) {
        output.Append(junk.constData(), junk.size());
        QVERIFY(output.GetKeptLineSize() <= KzEngineOutput::ms_nMaxKeptLine);
    }
    QCOMPARE(output.GetKeptLineSize(), KzEngineOutput::ms_nMaxKeptLine);
    const QByteArray end = "\r\nProgress:inset:7:9\r\nError: out of memory\r\nnext";
    output.Append(end.constData(), end.size());
    QCOMPARE(output.GetKeptLineSize(), 4);
    QCOMPARE(output.GetLastError(), QStringLiteral("out of memory"));
    const QVector<KzEngineOutput::Progress> first = output.TakeProgress(0);
    QCOMPARE(first.size(), 1);
    QCOMPARE(first.first().nValue, 7);

    // More steps at once than a burst: summed up by the latest range and value.
    const int burst = KzEngineOutput::ms_nProgressBurst;
    const int window = KzEngineOutput::ms_nProgressWindowMs;
    QByteArray lines = "Layer count: 1000\r\n";
    for (int i = 1; i <= 3 * burst; ++i)
        lines += "Progress:skin:" + QByteArray::number(i) + ":1000\r\n";
    output.Append(lines.constData(), lines.size());
    const QVector<KzEngineOutput::Progress> summed = output.TakeProgress(1);
    QCOMPARE(summed.size(), 2);
    QVERIFY(summed.at(0).bRange && summed.at(0).nValue == 3000);
    QVERIFY(!summed.at(1).bRange && summed.at(1).nValue == 1000 + 3 * burst);

    // One step at a time, as a slow engine writes them: each goes out at once
    // until the window's burst is used up; the latest waits for the next window.
    KzEngineOutput paced;
    int sent = 0;
    for (int i = 1; i <= burst + 10; ++i) {
        const QByteArray line = "Progress:inset:" + QByteArray::number(i) + ":999\r\n";
        paced.Append(line.constData(), line.size());
        sent += paced.TakeProgress(window + 1).size();
    }
    QCOMPARE(sent, burst);
    const QVector<KzEngineOutput::Progress> next = paced.TakeProgress(2 * window + 1);
    QCOMPARE(next.size(), 1);
    QCOMPARE(next.first().nValue, burst + 10);
    QVERIFY(paced.TakeLastProgress().isEmpty());
}

// A G-code beyond 2 GB (sparse here, so the test writes little) is checked and
// rewritten block by block: one buffer could not hold it.
void TestKzSliceWork::hugeGCodeIsPostProcessedAsAStream()
{
    const qint64 holeEnd = Q_INT64_C(2200) << 20;
    InstallEngine(QStringLiteral("write_gcode\ntruncate -s %1 \"$out\"\n"
                                 "printf ';LAYER:1\\nG1 X2 Y2\\n;END\\n' >> \"$out\"\n"
                                 "printf 'Print time: 3700\\r\\n'\n").arg(holeEnd));
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{0});
    QCOMPARE(record.reasons, QStringList());
    const QByteArray head = ";Print time: 1 hour 1 minutes\nM104 S200\n;LAYER:0\nG1 X1 Y1\n";
    const QByteArray tail = ";LAYER:1\nG1 X2 Y2\n;END\n";
    const qint64 firstLine = qstrlen(";FLAVOR:RepRap\n");
    const qint64 filled = qstrlen("1 hour 1 minutes") - qstrlen("{print_time}");
    QFile gcode(m_strGCodePath);
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QCOMPARE(gcode.size(), holeEnd - firstLine + filled + tail.size());
    QCOMPARE(gcode.read(head.size()), head);
    QVERIFY(gcode.seek(gcode.size() - tail.size()));
    QCOMPARE(gcode.readAll(), tail);
    gcode.close();

    // Zeros up to the very end are kept as well.
    const qint64 shortEnd = Q_INT64_C(3) << 20;
    InstallEngine(QStringLiteral("write_gcode\ntruncate -s %1 \"$out\"\nprintf 'Print time: 3700\\r\\n'\n")
                      .arg(shortEnd));
    QCOMPARE(RunJob().results, QList<int>{0});
    QVERIFY(gcode.open(QIODevice::ReadOnly));
    QCOMPARE(gcode.size(), shortEnd - firstLine + filled);
    QCOMPARE(gcode.read(head.size()), head);
    QVERIFY(gcode.seek(gcode.size() - 4096));
    QCOMPARE(gcode.readAll(), QByteArray(4096, '\0'));
}

void TestKzSliceWork::engineFailures_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QByteArray>("before");   // G-code file content before the run
    QTest::addColumn<QString>("reason");      // the source text; the window shows it translated
    QTest::newRow("exit status 1") << QStringLiteral("printf 'Print time: 60\\r\\n'\nwrite_gcode\nexit 1\n")
                                   << QByteArray() << QString::fromUtf8("切片引擎退出，代码 1");
    QTest::newRow("killed by a signal") << QStringLiteral("write_gcode\nkill -TERM $$\n") << QByteArray()
                                        << QString::fromUtf8("切片引擎意外停止（信号 15）");
    QTest::newRow("crashed") << QStringLiteral("printf 'Layer count: 3\\r\\n'\nkill -SEGV $$\n") << QByteArray()
                             << QString::fromUtf8("切片引擎意外停止（信号 11）");
    QTest::newRow("no G-code written") << QStringLiteral("printf 'Print time: 60\\r\\n'\n") << QByteArray()
                                       << QString::fromUtf8("切片引擎没有写出G-code");
    QTest::newRow("G-code without layers")
        << QStringLiteral("printf ';FLAVOR:RepRap\\nG28\\nG1 X1 ;LAYER:0\\n' > \"$out\"\n") << QByteArray()
        << QString::fromUtf8("切片引擎写出的G-code中没有任何层");
    QTest::newRow("stale G-code from an earlier run")
        << QStringLiteral("printf 'Print time: 60\\r\\n'\n") << QByteArray(";old\n;LAYER:0\nG1 X1\n")
        << QString::fromUtf8("切片引擎没有写出G-code");
}

// Every failure gives its reason, the engine's own "Error:" line or else what
// happened to it.
void TestKzSliceWork::engineFailures()
{
    QFETCH(QString, engine);
    QFETCH(QByteArray, before);
    QFETCH(QString, reason);
    if (!before.isEmpty())
        ScratchFolder::WriteFile(m_strGCodePath, before);
    InstallEngine(engine);
    const Record record = RunJob();
    QCOMPARE(record.results, QList<int>{3});
    QVERIFY(record.infos.isEmpty());
    QVERIFY(!record.engineLeft);
    QCOMPARE(record.reasons, QStringList{reason});
}

void TestKzSliceWork::engineCannotStart_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("not executable") << QStringLiteral("not executable");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("bad interpreter") << QStringLiteral("bad interpreter");
}

void TestKzSliceWork::engineCannotStart()
{
    QFETCH(QString, how);
    const QString engine = QStringLiteral("Engine/CuraEngine");
    if (how == QLatin1String("not executable")) {
        InstallEngine(QStringLiteral("write_gcode\n"));
        QVERIFY(QFile::setPermissions(engine, QFile::ReadOwner | QFile::WriteOwner));
    } else if (how == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(engine));
    } else if (how == QLatin1String("bad interpreter")) {
        ScratchFolder::WriteFile(engine, "#!/nonexistent/sh\n");
        QVERIFY(QFile::setPermissions(engine, QFile::ReadOwner | QFile::ExeOwner));
    }
    QElapsedTimer clock;
    clock.start();
    const Record record = RunJob();
    qInfo("the run ended after %lld ms", clock.elapsed());
    QCOMPARE(record.results, QList<int>{3});
    QVERIFY(record.infos.isEmpty());
    QVERIFY(record.ranges.isEmpty());
}

// The engine's last "Error:" line is the reason given before result 3; a run that
// could not start names the program. Nothing is given for a run that worked.
void TestKzSliceWork::failureReasonIsReported()
{
    QStringList reasons;
    QList<int> results;
    auto run = [&]() {
        KzSliceWork job;
        Prepare(job);
        connect(&job, &KzSliceWork::signal_UpdateTipText, this, [&](const QString &text) { reasons << text; });
        connect(&job, &KzSliceWork::signal_SliceOver, this, [&](int code) { results << code; });
        job.slot_StartSlice();
    };
    InstallEngine(QStringLiteral("printf 'Progress:inset:1:2\\r\\nError: first\\r\\n'\n"
                                 "printf 'Error: cannot read the mesh file \\303\\244.stl\\r\\n' >&2\nexit 1\n"));
    run();
    QCOMPARE(results, QList<int>{3});
    QCOMPARE(reasons, QStringList{QString::fromUtf8("cannot read the mesh file \xc3\xa4.stl")});

    InstallEngine(QStringLiteral("write_gcode\n"));
    run();
    QCOMPARE(results, (QList<int>{3, 0}));
    QCOMPARE(reasons.size(), 1);

    QVERIFY(QFile::remove(QStringLiteral("Engine/CuraEngine")));
    run();
    QCOMPARE(results, (QList<int>{3, 0, 3}));
    QCOMPARE(reasons.size(), 2);
    // The bridge of the data folder, by its whole path.
    const QString program = m_pFolder->FilePath(QStringLiteral("Engine/CuraEngine"));
    QCOMPARE(KzDataFolder::GetEngineProgram(), program);
    QVERIFY2(reasons.last().startsWith(program + QStringLiteral(": ")), qPrintable(reasons.last()));
}

void TestKzSliceWork::stopWhileWaitingForOutput_data()
{
    QTest::addColumn<QString>("helper");
    QTest::newRow("engine with a helper") << QStringLiteral("sleep 30");
    // Survives the polite request: only the kill that follows ends it.
    QTest::newRow("helper ignoring SIGTERM") << QStringLiteral("sh -c 'trap \"\" TERM; sleep 30'");
}

void TestKzSliceWork::stopWhileWaitingForOutput()
{
    QFETCH(QString, helper);
    InstallEngine(QStringLiteral("%1 &\necho $! > helper.pid\n"
                                 "printf 'Layer count: 5\\r\\n'\nwait\nwrite_gcode\n")
                      .arg(helper));
    QThread thread;
    Record record;
    KzSliceWork *job = StartOnThread(thread, record);
    ThreadGuard guard(thread, job);

    QTRY_COMPARE_WITH_TIMEOUT(record.ranges.size(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(ReadPid(QStringLiteral("helper.pid")) > 0, 5000);
    const pid_t enginePid = ReadPid(QStringLiteral("engine.pid"));
    const pid_t helperPid = ReadPid(QStringLiteral("helper.pid"));
    QVERIFY(enginePid > 0);
    QVERIFY(!Reaped(enginePid));
    // The engine is silent now; the stop must not wait for its next output.
    job->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(record.results, QList<int>{2}, 5000);
    QVERIFY(record.infos.isEmpty());
    QVERIFY(Reaped(enginePid));
    QVERIFY(ProcessGone(helperPid));
    QVERIFY(!QFile::exists(m_strGCodePath));

    // The stop was carried out, so the next run goes through.
    InstallEngine(QStringLiteral("write_gcode\n"));
    QMetaObject::invokeMethod(job, "slot_StartSlice", Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(record.results, (QList<int>{2, 0}), 10000);

    thread.quit();
    QVERIFY(thread.wait(10000));
}

void TestKzSliceWork::stopWhileOutputFlows()
{
    InstallEngine(QStringLiteral("printf 'Layer count: 5\\r\\n'\n"
                                 "while :; do printf 'Progress:inset:1:5\\r\\n'; sleep 0.01; done\n"));
    QThread thread;
    Record record;
    KzSliceWork *job = StartOnThread(thread, record);
    ThreadGuard guard(thread, job);
    QTRY_VERIFY_WITH_TIMEOUT(record.values.size() >= 3, 10000);
    job->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(record.results, QList<int>{2}, 5000);
    QVERIFY(Reaped(ReadPid(QStringLiteral("engine.pid"))));
    thread.quit();
    QVERIFY(thread.wait(10000));
}

void TestKzSliceWork::stopAfterOutputClosed()
{
    // The engine closes its output but does not end.
    InstallEngine(QStringLiteral("write_gcode\nexec >/dev/null 2>&1\nexec sleep 30\n"));
    QThread thread;
    Record record;
    KzSliceWork *job = StartOnThread(thread, record);
    ThreadGuard guard(thread, job);
    QTRY_VERIFY_WITH_TIMEOUT(ReadPid(QStringLiteral("engine.pid")) > 0, 5000);
    QTest::qWait(200);
    QVERIFY(record.results.isEmpty());
    job->Stop();
    QTRY_COMPARE_WITH_TIMEOUT(record.results, QList<int>{2}, 5000);
    QVERIFY(record.infos.isEmpty());
    QVERIFY(Reaped(ReadPid(QStringLiteral("engine.pid"))));
    thread.quit();
    QVERIFY(thread.wait(10000));
}

void TestKzSliceWork::stopBeforeRunTakesEffectAtFirstCheck()
{
    // A stop that comes after the run was asked for (its settings handed over)
    // but before the worker began it stops that run at its first check.
    InstallEngine(QStringLiteral("sleep 30\nwrite_gcode\n"));
    KzSliceWork job;
    Record record;
    Attach(job, record);
    Prepare(job);
    job.Stop();
    job.slot_StartSlice();
    QCOMPARE(record.results, QList<int>{2});
    const pid_t enginePid = ReadPid(QStringLiteral("engine.pid"));
    if (enginePid > 0)
        QVERIFY(Reaped(enginePid));

    InstallEngine(QStringLiteral("write_gcode\n"));
    job.slot_StartSlice();
    QCOMPARE(record.results, (QList<int>{2, 0}));
}

// The user's stop crosses the end of the run: it comes after the engine ended,
// while the job finishes the run, or after the run is over and before the next.
// The run it was meant for is done; the next runs must go through.
void TestKzSliceWork::stopAfterTheEngineEndedLeavesTheNextRunAlone()
{
    InstallEngine(QStringLiteral("write_gcode\n"));
    KzSliceWork job;
    Record record;
    Attach(job, record);
    Prepare(job);
    // The print information goes out after the engine ended, before the result.
    const QMetaObject::Connection late =
        connect(&job, &KzSliceWork::signal_SendPrintInfo, this, [&job] { job.Stop(); });
    job.slot_StartSlice();
    disconnect(late);
    QCOMPARE(record.results, QList<int>{0});

    job.slot_StartSlice();
    QCOMPARE(record.results, (QList<int>{0, 0}));

    // After the run is over, with or without new settings for the next one.
    job.Stop();
    job.slot_StartSlice();
    QCOMPARE(record.results, (QList<int>{0, 0, 0}));
    job.Stop();
    Prepare(job);
    job.slot_StartSlice();
    QCOMPARE(record.results, (QList<int>{0, 0, 0, 0}));
    QCOMPARE(record.infos.size(), 4);
}

QTEST_GUILESS_MAIN(TestKzSliceWork)
#include "tst_KzSliceWork.moc"
