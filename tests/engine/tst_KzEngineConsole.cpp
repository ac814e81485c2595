#include "KzEngineConsole.h"

#include <QtTest>

class tst_KzEngineConsole : public QObject
{
    Q_OBJECT

private slots:
    void translates_data();
    void translates();
    void capturesFigures();
};

void tst_KzEngineConsole::translates_data()
{
    QTest::addColumn<bool>("progress");
    QTest::addColumn<int>("estimate");
    QTest::addColumn<QByteArray>("engine");   // engine lines, '\n' between them
    QTest::addColumn<QByteArray>("expected"); // legacy lines, Finish(1.75) included

    const QByteArray figures = "Print time (s): 1246\nFilament (mm^3): 3130\n";
    const QByteArray finish = "\nPrint time: 1246\nFilament: 1301";

    QTest::newRow("a whole run with the count known first")
        << true << 4
        << QByteArray("\nCura_SteamEngine version 4.13.0\n"
                      "[WARNING]  -s a=\"1\" -s machine_start_gcode=\";x\" Progress:export:3:4 Layer count: 99\n"
                      "Starting inset+skin...\nProgress:inset+skin:0:100 \t0.02%\nProgress:inset+skin:0:100 \t0.02%\n"
                      "Progress:inset+skin:50:100 \t0.3%\nProgress:inset+skin:100:100 \t0.4%\nLayer count: 4\n"
                      "Progress: inset+skin accomplished in 0.005s\nStarting support...\n"
                      "Progress: support accomplished in 0.008s\nProgress:export:1:4 \t0.5%\n"
                      "Progress:export:2:4 \t0.6%\nProgress:export:3:4 \t0.7%\nProgress:export:4:4 \t0.9%\n"
                      "Progress: export accomplished in 0.03s\nProgress:process:1:1 \t1.000000%\n")
               + figures
        << QByteArray("Layer count: 4\nProgress:inset:0:4\nProgress:inset:2:4\nProgress:inset:4:4\n"
                      "Progress:skin:4:4\nProgress:export:1:4\nProgress:export:2:4\nProgress:export:3:4\n"
                      "Progress:export:4:4")
               + finish;
    QTest::newRow("progress before the engine's count is held until it arrives")
        << true << 0
        << QByteArray("Progress:slice:1:1\nProgress:inset+skin:30:100\nProgress:inset+skin:60:100\nLayer count: 10\n"
                      "Progress: inset+skin accomplished in 0.1s\nProgress:support:5:10\nProgress:support:10:10\n"
                      "Progress:export:10:10\n")
               + figures
        << QByteArray("Layer count: 10\nProgress:inset:6:10\nProgress:inset:10:10\nProgress:skin:5:10\n"
                      "Progress:skin:10:10\nProgress:export:9:10\nProgress:export:10:10")
               + finish;
    QTest::newRow("the engine's own count is used while nothing has been sent")
        << true << 5 << QByteArray("Layer count: 10\nProgress:export:2:10\n")
        << QByteArray("Layer count: 10\nProgress:inset:10:10\nProgress:skin:10:10\nProgress:export:2:10\n"
                      "Progress:export:10:10");
    QTest::newRow("once sent, the count stays and the engine's totals are scaled to it")
        << true << 5
        << QByteArray("Progress:inset+skin:50:100\nLayer count: 10\nProgress:export:2:10\nProgress:export:4:10\n"
                      "Progress:export:6:10\n")
        << QByteArray("Layer count: 5\nProgress:inset:2:5\nProgress:inset:5:5\nProgress:skin:5:5\n"
                      "Progress:export:1:5\nProgress:export:2:5\nProgress:export:3:5\nProgress:export:5:5");
    QTest::newRow("a phase the engine skips is closed before the next")
        << true << 3 << QByteArray("Progress:inset+skin:100:100\nProgress:export:1:3\n")
        << QByteArray("Layer count: 3\nProgress:inset:3:3\nProgress:skin:3:3\nProgress:export:1:3\nProgress:export:3:3");
    QTest::newRow("repeats and steps back are not sent")
        << true << 2
        << QByteArray("Progress:inset+skin:50:100\nProgress:inset+skin:50:100\nProgress:inset+skin:10:100\n"
                      "Progress:support:1:2\nProgress:inset+skin:100:100\nProgress:support:1:2\n")
        << QByteArray("Layer count: 2\nProgress:inset:1:2\nProgress:inset:2:2\nProgress:skin:1:2\n"
                      "Progress:skin:2:2\nProgress:export:2:2");
    QTest::newRow("export waits for the file before it reaches N")
        << true << 2 << QByteArray("Progress:export:2:2\nProgress: export accomplished in 1s\n")
        << QByteArray("Layer count: 2\nProgress:inset:2:2\nProgress:skin:2:2\nProgress:export:1:2\nProgress:export:2:2");
    QTest::newRow("without -p only the count and the figures")
        << false << 4 << QByteArray("Progress:inset+skin:50:100\nLayer count: 4\nProgress:export:2:4\n") + figures
        << QByteArray("Layer count: 4") + finish;
    QTest::newRow("malformed progress lines are ignored")
        << true << 4
        << QByteArray("Progress:export:x:4\nProgress:export:1\nProgress:export:1:0\nProgress:inset+skin:-5:100\n"
                      " Progress:export:3:4\nProgress:unknown:3:4\n")
        << QByteArray("Layer count: 4\nProgress:inset:4:4\nProgress:skin:4:4\nProgress:export:4:4");
    QTest::newRow("an empty model sends no progress")
        << true << 0 << QByteArray("Progress:inset+skin:100:100\nLayer count: 0\nProgress:export:0:0\n")
        << QByteArray("Layer count: 0");
    QTest::newRow("lines with carriage returns")
        << true << 2 << QByteArray("Progress:export:1:2\r\nPrint time (s): 1246\r\nFilament (mm^3): 3130\r\n")
        << QByteArray("Layer count: 2\nProgress:inset:2:2\nProgress:skin:2:2\nProgress:export:1:2\nProgress:export:2:2")
               + finish;
}

void tst_KzEngineConsole::translates()
{
    QFETCH(bool, progress);
    QFETCH(int, estimate);
    QFETCH(QByteArray, engine);
    QFETCH(QByteArray, expected);
    KzEngineConsole console(progress, estimate);
    QByteArrayList out;
    QByteArrayList lines = engine.split('\n');
    if (engine.endsWith('\n'))
        lines.removeLast();
    for (const QByteArray &line : lines)
        out << console.ReadLine(line);
    out << console.Finish(1.75);
    QCOMPARE(out.join('\n'), expected);
    QCOMPARE(out.count("Layer count: " + QByteArray::number(console.GetLayerCount())), 1);
}

void tst_KzEngineConsole::capturesFigures()
{
    KzEngineConsole console(true, 0);
    const QByteArrayList lines{"[ERROR] Trying to retrieve setting with no value given: 'x'",
                               "[ERROR] second",
                               "[WARNING]  -s a=\"1\"",
                               "Gcode header after slicing:",
                               ";FLAVOR:Marlin",
                               ";TIME:1246",
                               ";Filament used: 1.30164m",
                               "Print time (s): 5", // inside the block: part of the header
                               "End of gcode header.",
                               "Print time (s): 1246",
                               "Filament (mm^3): 31.5",
                               "Total time elapsed  0.09s."};
    QList<bool> consumed;
    for (const QByteArray &line : lines) {
        QVERIFY(console.ReadLine(line).isEmpty());
        consumed << console.WasConsumed();
    }
    QCOMPARE(console.GetFirstError(), QByteArray("Trying to retrieve setting with no value given: 'x'"));
    QCOMPARE(console.GetHeader(),
             QList<QByteArray>({";FLAVOR:Marlin", ";TIME:1246", ";Filament used: 1.30164m", "Print time (s): 5"}));
    QCOMPARE(console.GetPrintTime(), 1246);
    QCOMPARE(console.GetFilamentVolume(), 31.5);
    // Errors and ordinary log lines are left for the verbose log; the rest is bookkeeping.
    QCOMPARE(consumed, QList<bool>({false, false, true, true, true, true, true, true, true, true, true, false}));
    // Filament length from the volume: 31.5 mm³ through 2.85 mm filament is 4.94 mm.
    QCOMPARE(console.Finish(2.85).last(), QByteArray("Filament: 5"));

    KzEngineConsole silent(true, 3);
    QCOMPARE(silent.Finish(1.75), QList<QByteArray>({"Layer count: 3", "Progress:inset:3:3", "Progress:skin:3:3",
                                                     "Progress:export:3:3"}));
}

QTEST_APPLESS_MAIN(tst_KzEngineConsole)
#include "tst_KzEngineConsole.moc"
