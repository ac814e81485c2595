#include "KzGCodeRewriter.h"

#include <QtTest>

class tst_KzGCodeRewriter : public QObject
{
    Q_OBJECT

private slots:
    void decimalPoints_data();
    void decimalPoints();
    void rewrite_data();
    void rewrite();
};

void tst_KzGCodeRewriter::decimalPoints_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char *line, const char *expected) { QTest::newRow(line) << QByteArray(line) << QByteArray(expected); };
    row("G1 X114 Y90.33 E1.49558", "G1 X114.0 Y90.33 E1.49558");
    row("G0 F6000 X37 Y37.369 Z0", "G0 F6000 X37.0 Y37.369 Z0.0");
    row("G1 X-3 Y-0.5", "G1 X-3.0 Y-0.5");
    row("G0 X0 Y0", "G0 X0.0 Y0.0");
    row("G1 Z15", "G1 Z15.0");
    row("G1 F1500 E-4.5", "G1 F1500 E-4.5");
    row("G1 F2400 E1287", "G1 F2400 E1287");
    row("G1 X10 ;to X5 Y5", "G1 X10.0 ;to X5 Y5");
    row("G1 X10;at once", "G1 X10.0;at once");
    row("G1  X5  Y6", "G1  X5.0  Y6.0");
    row("G0 X1.5 Y2.25 Z0.3", "G0 X1.5 Y2.25 Z0.3");
    row("G1 X Y", "G1 X Y");
    row("G1 XA", "G1 XA");
    row("G92 E0", "G92 E0");
    row("G10 X1", "G10 X1");
    row("G28 X0 Y0", "G28 X0 Y0");
    row("M104 S200", "M104 S200");
    row(";LAYER:3", ";LAYER:3");
    row("G0", "G0");
    row("", "");
}

void tst_KzGCodeRewriter::decimalPoints()
{
    QFETCH(QByteArray, line);
    QByteArray out;
    KzGCodeRewriter::AppendLine(line.constData(), line.constData() + line.size(), out);
    QTEST(out, "expected");
}

void tst_KzGCodeRewriter::rewrite_data()
{
    QTest::addColumn<QByteArray>("startCode");
    QTest::addColumn<QByteArray>("engine");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("layerLines");
    QTest::addColumn<int>("modelLayers");

    const QByteArray start = ";Print time: {print_time}\nM104 S200\r\nM109 S200\r\nM117 Printing";
    const QByteArray head = ";ours\n" + start + "\n;TIME:1246\n;Filament used: 1.3m\n";
    const QByteArray engineHead = ";FLAVOR:Marlin\n;TIME:6666\n;Filament used: 0m\n;Layer height: 0.2\n;MINX:2.14748e+06\n"
                                  ";MAXZ:-2.14748e+06\n\n;Generated with Cura_SteamEngine 4.13.0\nM82 ;absolute extrusion mode\n";

    QTest::newRow("the engine's layout")
        << start
        << engineHead + ";KZVELLUM-START-CODE\nG92 E0\n;LAYER_COUNT:2\n;LAYER:0\nG0 F6000 X10 Y10.5 Z0.3\n;TYPE:SKIRT\n"
                        "G1 X20 Y10 E1\n;LAYER:1\nG1 X20 Y20 E2\nM107\n;KZVELLUM-END-CODE\nM82 ;absolute extrusion mode\n"
                        ";End of Gcode\n"
        << head + ";Generated with Cura_SteamEngine 4.13.0\nM82 ;absolute extrusion mode\nG92 E0\n;LAYER_COUNT:2\n"
                  ";LAYER:0\nG0 F6000 X10.0 Y10.5 Z0.3\n;TYPE:SKIRT\nG1 X20.0 Y10.0 E1\n;LAYER:1\nG1 X20.0 Y20.0 E2\n"
                  "M107\nM104 S0\r\nM84\r\nM82 ;absolute extrusion mode\n;End of Gcode\n"
        << 2 << 2;
    QTest::newRow("raft layers are numbered below 0")
        << start
        << QByteArray(";KZVELLUM-START-CODE\n;LAYER:-2\nG1 X1 Y1\n;LAYER:-1\n;LAYER:0\n;KZVELLUM-END-CODE\n")
        << head + ";LAYER:-2\nG1 X1.0 Y1.0\n;LAYER:-1\n;LAYER:0\nM104 S0\r\nM84\r\n" << 3 << 1;
    QTest::newRow("a start code ending in a line break gets no second one")
        << QByteArray("G28\n") << QByteArray(";KZVELLUM-START-CODE\n;LAYER:0\n;KZVELLUM-END-CODE\n")
        << QByteArray(";ours\nG28\n;TIME:1246\n;Filament used: 1.3m\n;LAYER:0\nM104 S0\r\nM84\r\n") << 1 << 1;
    QTest::newRow("no start code")
        << QByteArray() << QByteArray(";KZVELLUM-START-CODE\n;LAYER:0\n;KZVELLUM-END-CODE")
        << QByteArray(";ours\n;TIME:1246\n;Filament used: 1.3m\n;LAYER:0\nM104 S0\r\nM84\r\n") << 1 << 1;
    QTest::newRow("without markers the placeholders still go and the end code comes last")
        << start << engineHead + ";LAYER:0\nG1 X5 Y5 E1\n;TIME_ELAPSED:12.5\n"
        << head + ";Generated with Cura_SteamEngine 4.13.0\nM82 ;absolute extrusion mode\n;LAYER:0\nG1 X5.0 Y5.0 E1\n"
                  ";TIME_ELAPSED:12.5\nM104 S0\r\nM84\r\n"
        << 1 << 1;
    QTest::newRow("a marker inside a longer line is no marker")
        << start << QByteArray("M117 ;KZVELLUM-START-CODE\n;LAYER:0\n")
        << head + "M117 ;KZVELLUM-START-CODE\n;LAYER:0\nM104 S0\r\nM84\r\n" << 1 << 1;
    QTest::newRow("no layers") << start << QByteArray(";KZVELLUM-START-CODE\n;KZVELLUM-END-CODE\n")
                               << head + "M104 S0\r\nM84\r\n" << 0 << 0;
}

void tst_KzGCodeRewriter::rewrite()
{
    QFETCH(QByteArray, startCode);
    QFETCH(QByteArray, engine);
    KzGCodeRewriter rewriter(";ours", startCode, "M104 S0\r\nM84\r\n", {";TIME:1246", ";Filament used: 1.3m"});
    const QByteArray out = rewriter.Rewrite(engine);
    QTEST(out, "expected");
    QTEST(rewriter.GetLayerLines(), "layerLines");
    QTEST(rewriter.GetModelLayers(), "modelLayers");
    // The slicing job drops the first line and fills the marker within the next 2048 characters.
    if (startCode.startsWith(";Print time"))
        QVERIFY(out.mid(out.indexOf('\n') + 1, 2048).startsWith(startCode));
}

QTEST_APPLESS_MAIN(tst_KzGCodeRewriter)
#include "tst_KzGCodeRewriter.moc"
