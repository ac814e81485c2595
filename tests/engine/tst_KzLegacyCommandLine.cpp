#include "KzLegacyCommandLine.h"

#include <QtTest>

typedef QList<QByteArray> Args;
Q_DECLARE_METATYPE(Args)

class tst_KzLegacyCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void accepts_data();
    void accepts();
    void rejects_data();
    void rejects();
    void keepsValuesByteExact();
};

void tst_KzLegacyCommandLine::accepts_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<bool>("progress");
    QTest::addColumn<bool>("verbose");
    QTest::addColumn<QByteArray>("settings"); // key=value pairs joined by '|'
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("the slicing job's line")
        << Args{"-p", "-v", "-s", "layerThickness=100", "-s", "posx=50000", "-o", "/tmp/a.gcode", "/tmp/a.stl"}
        << true << true << QByteArray("layerThickness=100|posx=50000") << QByteArray("/tmp/a.gcode")
        << QByteArray("/tmp/a.stl");
    QTest::newRow("options in any order, no flags")
        << Args{"-o", "out.gcode", "-s", "a=1", "in.stl"} << false << false << QByteArray("a=1")
        << QByteArray("out.gcode") << QByteArray("in.stl");
    QTest::newRow("quotes left around the pair are removed")
        << Args{"-s", "\"printSpeed=50\"", "-o", "o", "i"} << false << false << QByteArray("printSpeed=50")
        << QByteArray("o") << QByteArray("i");
    QTest::newRow("value may hold '=' and be empty")
        << Args{"-s", "startCode=M117 a=b", "-s", "endCode=", "-o", "o", "i"} << false << false
        << QByteArray("startCode=M117 a=b|endCode=") << QByteArray("o") << QByteArray("i");
    QTest::newRow("a repeated key is kept twice, in order")
        << Args{"-s", "posx=1", "-s", "posx=2", "-o", "o", "i"} << false << false << QByteArray("posx=1|posx=2")
        << QByteArray("o") << QByteArray("i");
    QTest::newRow("a lone dash is a file name") << Args{"-o", "o", "-"} << false << false << QByteArray()
                                                << QByteArray("o") << QByteArray("-");
}

void tst_KzLegacyCommandLine::accepts()
{
    QFETCH(Args, args);
    KzLegacyCommandLine line;
    QVERIFY2(line.Parse(args), qPrintable(line.GetError()));
    QTEST(line.GetProgress(), "progress");
    QTEST(line.GetVerbose(), "verbose");
    QByteArrayList pairs;
    for (const KzLegacySetting &setting : line.GetSettings())
        pairs << setting.key + '=' + setting.value;
    QTEST(pairs.join('|'), "settings");
    QTEST(line.GetOutputPath(), "output");
    QTEST(line.GetInputPath(), "input");
}

void tst_KzLegacyCommandLine::rejects_data()
{
    QTest::addColumn<Args>("args");
    QTest::addColumn<QString>("error"); // a part of the message

    QTest::newRow("nothing") << Args{} << "no mesh file";
    QTest::newRow("no output") << Args{"-p", "in.stl"} << "-o";
    QTest::newRow("no input") << Args{"-o", "o"} << "no mesh file";
    QTest::newRow("-s at the end") << Args{"-o", "o", "-s"} << "-s needs";
    QTest::newRow("an option after the mesh") << Args{"-o", "o", "in.stl", "-s"} << "must come last";
    QTest::newRow("-s without '='") << Args{"-s", "layerThickness", "-o", "o", "i"} << "key=value";
    QTest::newRow("-s with an empty key") << Args{"-s", "=5", "-o", "o", "i"} << "key=value";
    QTest::newRow("-o at the end") << Args{"in.stl", "-o"} << "the mesh file must come last";
    QTest::newRow("-o twice") << Args{"-o", "a", "-o", "b", "i"} << "more than once";
    QTest::newRow("-o with an empty path") << Args{"-o", "", "i"} << "-o needs";
    QTest::newRow("unknown option") << Args{"-x", "-o", "o", "i"} << "unknown option \"-x\"";
    QTest::newRow("the modern engine's command") << Args{"slice", "-o", "o", "i"} << "must come last";
    QTest::newRow("two meshes") << Args{"-o", "o", "a.stl", "b.stl"} << "must come last";
    QTest::newRow("empty mesh name") << Args{"-o", "o", ""} << "empty";
}

void tst_KzLegacyCommandLine::rejects()
{
    QFETCH(Args, args);
    QFETCH(QString, error);
    KzLegacyCommandLine line;
    QVERIFY(!line.Parse(args));
    QVERIFY2(line.GetError().contains(error), qPrintable(line.GetError()));
}

void tst_KzLegacyCommandLine::keepsValuesByteExact()
{
    // The start code reaches the G-code exactly: line ends, bytes above 127, spaces.
    const QByteArray code = ";Print time: {print_time}\nM140 S60\r\nM117 \xc3\xa9t\xe9  \r\n";
    KzLegacyCommandLine line;
    QVERIFY(line.Parse({"-s", "startCode=" + code, "-o", "o", "i"}));
    QCOMPARE(line.GetSettings().size(), 1);
    QCOMPARE(line.GetSettings().first().value, code);
}

QTEST_APPLESS_MAIN(tst_KzLegacyCommandLine)
#include "tst_KzLegacyCommandLine.moc"
