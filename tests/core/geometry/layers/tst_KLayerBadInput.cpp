// Input that is no sliced G-code, through the layer model as the preview uses
// it: every load must end, in memory in proportion to the file, and a model
// destroyed mid-load must let go of its reader. Loads whose memory is measured
// run in a child process (this program started once more), so that the peak
// seen is theirs alone.

#include "GcodeTestData.h"
#include "KLayerModel.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KZ_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

const char* const kChildVariable = "KZ_LAYER_LOAD_CHILD";
const int kWaitMs = 20000;

// The high-water mark of this process's resident memory, in bytes.
qint64 PeakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : -1;
}

int CountPoints(const QVector<SingleLayer>& layers)
{
    int n = 0;
    for (const SingleLayer& layer : layers) {
        for (const LayerPath& path : layer)
            n += path.points.size();
    }
    return n;
}

// The child: loads one file and reports what it found and the memory it took.
int RunChild(int argc, char* argv[], const QString& path)
{
    QCoreApplication app(argc, argv);
    const qint64 before = PeakResidentBytes();
    KLayerModel model;
    model.LoadGcode(path);
    QElapsedTimer timer;
    timer.start();
    while (!model.ReadyToRender() && timer.elapsed() < kWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("ready %d layers %d points %d grown %lld\n", int(model.ReadyToRender()), model.GetLayerSize(),
                CountPoints(model.GetLayers()), PeakResidentBytes() - before);
    return 0;
}

// What a child saw loading path.
struct ChildLoad
{
    bool bRan = false;
    bool bReady = false;
    int nLayers = -1;
    int nPoints = -1;
    qint64 nGrownBytes = -1;
};

ChildLoad LoadInChild(const QString& path)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildVariable), path);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    ChildLoad load;
    if (!child.waitForFinished(kWaitMs * 3) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        child.kill();
        child.waitForFinished();
        return load;
    }
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("ready (\\d) layers (\\d+) points (\\d+) grown (-?\\d+)"))
            .match(QString::fromLatin1(child.readAllStandardOutput()));
    if (!match.hasMatch())
        return load;
    load.bRan = true;
    load.bReady = match.captured(1) == QLatin1String("1");
    load.nLayers = match.captured(2).toInt();
    load.nPoints = match.captured(3).toInt();
    load.nGrownBytes = match.captured(4).toLongLong();
    return load;
}

// Writes head, a hole of holeBytes zero bytes that takes no disk space, and tail.
bool WriteWithHole(const QString& path, const QByteArray& head, qint64 holeBytes, const QByteArray& tail)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.seek(head.size() + holeBytes)
           && file.write(tail) == tail.size();
}

// A layer whose moves lie around lines of "G1" repeated over 64 KB with one
// character outside ASCII: a regular expression backtracks from every "G1"
// (minutes a line), a linear reader takes milliseconds.
QByteArray LongLinesOutsideAscii(int nLines)
{
    const QByteArray repeated = QByteArray("G1").repeated(32 << 10);
    QByteArray gcode = ";LAYER:0\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\n";
    for (int i = 0; i < nLines; ++i)
        gcode += repeated + (i % 2 ? "\xc3\xa9" : "\xc2\xa0") + "\n";   // a letter, a no-break space
    return gcode + "G1 X3.0 Y3.0\n";
}

// Lets a reader go that may be waiting to open a named pipe: one writer comes
// and goes, so the reader sees the end of the data.
void ReleasePipe(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}

} // namespace

class tst_KLayerBadInput : public QObject
{
    Q_OBJECT

private slots:
    void unreadablePathCompletesEmpty();
    void pipesAndDevicesCompleteEmptyAtOnce();
    void longLinesOutsideAsciiAreReadInLinearTime();
    void destroyedWhileOnALongLineOutsideAscii();
    void lineWithoutLineBreaksIsSkippedInBoundedMemory();
    void floodOfLayerLinesStaysInProportion();
};

void tst_KLayerBadInput::unreadablePathCompletesEmpty()
{
    // A missing file or a folder: the model is ready at once with no layers,
    // so the preview shows the empty plate instead of waiting forever.
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath("missing.gcode"), dir.path()}) {
        KLayerModel model;
        model.LoadGcode(path);
        QVERIFY2(QTest::qWaitFor([&] { return model.ReadyToRender(); }, kWaitMs), qPrintable(path));
        QCOMPARE(model.GetLayerSize(), 0);
        QVERIFY(model.GetLayers().isEmpty());
    }
}

void tst_KLayerBadInput::pipesAndDevicesCompleteEmptyAtOnce()
{
    // Opening a named pipe nobody writes to waits forever, and a device may
    // never end: neither is read. The load is over at once, and the model goes
    // without waiting for anything.
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.gcode");
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    for (const QString& path : {pipe, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null")}) {
        auto* model = new KLayerModel;
        model->LoadGcode(path);
        const bool bReady = QTest::qWaitFor([&] { return model->ReadyToRender(); }, 5000);
        if (!bReady && path == pipe)
            ReleasePipe(QFile::encodeName(pipe));   // so that the model can be destroyed
        QVERIFY2(bReady, qPrintable(path));
        QCOMPARE(model->GetLayerSize(), 0);
        delete model;
    }
}

void tst_KLayerBadInput::longLinesOutsideAsciiAreReadInLinearTime()
{
    // Sixteen lines that would take the expressions an hour: this test's
    // time-out is the limit. The moves around them are all read.
    QTemporaryDir dir;
    KLayerModel model;
    model.LoadGcode(GcodeTestData::WriteFile(dir, QStringLiteral("foreign.gcode"), LongLinesOutsideAscii(16)));
    QVERIFY(QTest::qWaitFor([&] { return model.ReadyToRender(); }, 100000));
    const QVector<SingleLayer> layers = model.GetLayers();
    QCOMPARE(layers.size(), 1);
    QCOMPARE(layers[0].size(), 1);
    QCOMPARE(layers[0][0].points.size(), 2);
    QCOMPARE(layers[0][0].points.first(), QVector3D(1, 1, 0.2f));
    QCOMPARE(layers[0][0].points.last(), QVector3D(3, 3, 0.2f));
}

void tst_KLayerBadInput::destroyedWhileOnALongLineOutsideAscii()
{
    // A model destroyed while its reader is inside such lines goes at once;
    // the bound here is only far beyond what one of them took to match.
    QTemporaryDir dir;
    const QString path = GcodeTestData::WriteFile(dir, QStringLiteral("foreign.gcode"), LongLinesOutsideAscii(64));
    for (int delayMs : {0, 20, 200}) {
        auto* model = new KLayerModel;
        model->LoadGcode(path);
        QTest::qWait(delayMs);
        QElapsedTimer timer;
        timer.start();
        delete model;
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("%1 ms after %2 ms").arg(timer.elapsed()).arg(delayMs)));
    }
}

void tst_KLayerBadInput::lineWithoutLineBreaksIsSkippedInBoundedMemory()
{
#ifdef KZ_ADDRESS_SANITIZER
    QSKIP("the address sanitizer's own memory hides the reader's");
#endif
    // 300 MB without a line break between two layers: skipped without being
    // kept, and the layer after it is read.
    QTemporaryDir dir;
    const QString path = dir.filePath("endless-line.gcode");
    QVERIFY(WriteWithHole(path, ";LAYER:0\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y1.0\nG1 ", qint64(300) << 20,
                          " X9.0 Y9.0\n;LAYER:1\nG0 X1.0 Y1.0 Z0.4\nG1 X2.0 Y2.0\n"));
    const ChildLoad load = LoadInChild(path);
    QVERIFY(load.bRan);
    QVERIFY2(load.nGrownBytes < (qint64(64) << 20), qPrintable(QStringLiteral("%1 MB").arg(load.nGrownBytes >> 20)));
    QVERIFY(load.bReady);
    QCOMPARE(load.nLayers, 2);
    QCOMPARE(load.nPoints, 4);   // not the move at the end of the long line
}

void tst_KLayerBadInput::floodOfLayerLinesStaysInProportion()
{
#ifdef KZ_ADDRESS_SANITIZER
    QSKIP("the address sanitizer's own memory hides the reader's");
#endif
    // Two million empty layers in 16 MB: the model holds them all, in at most
    // four times the file's size.
    QTemporaryDir dir;
    const QByteArray flood = QByteArray(";LAYER:1\n").repeated(2 << 20);
    const QString path = GcodeTestData::WriteFile(dir, QStringLiteral("flood.gcode"), flood);
    const ChildLoad load = LoadInChild(path);
    QVERIFY(load.bRan);
    QVERIFY(load.bReady);
    QCOMPARE(load.nLayers, 2 << 20);
    QCOMPARE(load.nPoints, 0);
    QVERIFY2(load.nGrownBytes <= 4 * qint64(flood.size()),
             qPrintable(QStringLiteral("%1 MB for a file of %2 MB").arg(load.nGrownBytes >> 20).arg(flood.size() >> 20)));
}

int main(int argc, char* argv[])
{
    const QByteArray childPath = qgetenv(kChildVariable);
    if (!childPath.isEmpty())
        return RunChild(argc, argv, QFile::decodeName(childPath));
    QCoreApplication app(argc, argv);
    tst_KLayerBadInput test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_KLayerBadInput.moc"
