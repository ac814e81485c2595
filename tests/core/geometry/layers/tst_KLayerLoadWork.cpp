// The line grammar (hand-written matching against the four expressions) and
// the parse itself, run synchronously on the test thread.

#include "GcodeTestData.h"
#include "KLayerLoadWork.h"
#include "KzLineReader.h"
#include "emPathType.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstring>

using Match = KLayerLoadWork::LineMatch;

namespace {

quint32 Bits(float f)
{
    quint32 bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

QString Describe(const Match& m)
{
    static const char* const rules[] = {"None", "Layer", "Type", "Travel", "Extrude"};
    return QStringLiteral("%1 x=%2 y=%3 z=%4 hasZ=%5 type='%6'")
        .arg(QLatin1String(rules[m.rule]))
        .arg(double(m.x), 0, 'g', 9)
        .arg(double(m.y), 0, 'g', 9)
        .arg(double(m.z), 0, 'g', 9)
        .arg(m.hasZ)
        .arg(m.typeName);
}

// Equal in what the parse uses: the numbers bit for bit, and only those the rule sets.
bool SameMatch(const Match& a, const Match& b)
{
    if (a.rule != b.rule)
        return false;
    switch (a.rule) {
    case Match::Type:
        return a.typeName == b.typeName;
    case Match::Travel:
        if (a.hasZ != b.hasZ || (a.hasZ && Bits(a.z) != Bits(b.z)))
            return false;
        Q_FALLTHROUGH();
    case Match::Extrude:
        return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y);
    default:
        return true;
    }
}

Match Fast(const QByteArray& line)
{
    return KLayerLoadWork::MatchLine(line.constData(), line.constData() + line.size());
}

Match Reference(const QByteArray& line)
{
    return KLayerLoadWork::MatchLineByExpressions(QString::fromUtf8(line));
}

Match Expect(Match::Rule rule, float x = 0, float y = 0, bool hasZ = false, float z = 0, const QString& type = QString())
{
    Match m;
    m.rule = rule;
    m.x = x;
    m.y = y;
    m.hasZ = hasZ;
    m.z = z;
    m.typeName = type;
    return m;
}

// What one parse delivered, in order.
struct Delivery
{
    QList<SingleLayer> layers;
    int nComplete = 0;
};

Delivery Parse(const QString& fileName)
{
    Delivery delivery;
    KLayerLoadWork work;
    QObject::connect(&work, &KLayerLoadWork::signal_OneLayerComplete,
                     [&](const SingleLayer& layer) { delivery.layers.append(layer); });
    QObject::connect(&work, &KLayerLoadWork::signal_LoadCompete, [&] { ++delivery.nComplete; });
    work.slot_StartLoad(fileName);
    return delivery;
}

Delivery ParseText(const QByteArray& gcode)
{
    QTemporaryDir dir;
    return Parse(GcodeTestData::WriteFile(dir, QStringLiteral("in.gcode"), gcode));
}

} // namespace

Q_DECLARE_METATYPE(KLayerLoadWork::LineMatch)

class tst_KLayerLoadWork : public QObject
{
    Q_OBJECT

private slots:
    void grammar_data();
    void grammar();
    void engineLinesMatchTheExpressions_data();
    void engineLinesMatchTheExpressions();
    void randomLinesMatchTheExpressions();
    void numbersConvertAsToFloat();
    void shortNumbersConvertAsToFloat();

    void deliversOneLayerPerLayerLine();
    void heightComesFromTravelsOnly();
    void movesWithoutAPathAreIgnored();
    void typeNamesMapExactly();
    void lineEndingsDoNotChangeTheResult();
    void linesAcrossAndBeyondABlock();
    void fileThatCannotBeOpenedDeliversNothing();
    void overlongLinesAreSkipped();
    void endlessLineIsSkippedInBoundedMemory();
    void longLinesOutsideAsciiTakeLinearTime();
    void stopRequestedBeforeTheParseBeginsHolds();
};

void tst_KLayerLoadWork::grammar_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Match>("expected");

    // Layer lines: anywhere in the line, a number after the colon.
    QTest::newRow("layer") << QByteArray(";LAYER:0") << Expect(Match::Layer);
    QTest::newRow("layer negative (raft)") << QByteArray(";LAYER:-3") << Expect(Match::Layer);
    QTest::newRow("layer inside a move") << QByteArray("G1 X1.0 Y2.0 ;LAYER:5") << Expect(Match::Layer);
    QTest::newRow("layer before type") << QByteArray(";LAYER:3 ;TYPE:FILL") << Expect(Match::Layer);
    QTest::newRow("layer second try") << QByteArray(";LAYER:x;LAYER:7") << Expect(Match::Layer);
    QTest::newRow("layer without number") << QByteArray(";LAYER:") << Expect(Match::None);
    QTest::newRow("layer minus only") << QByteArray(";LAYER:-") << Expect(Match::None);
    QTest::newRow("layer count") << QByteArray(";LAYER_COUNT:100") << Expect(Match::None);
    QTest::newRow("layer lower case") << QByteArray(";layer:3") << Expect(Match::None);

    // Type lines: the name runs to the first white space.
    QTest::newRow("type") << QByteArray(";TYPE:FILL") << Expect(Match::Type, 0, 0, false, 0, "FILL");
    QTest::newRow("type empty") << QByteArray(";TYPE:") << Expect(Match::Type, 0, 0, false, 0, "");
    QTest::newRow("type then tab") << QByteArray(";TYPE:WALL-OUTER\tx") << Expect(Match::Type, 0, 0, false, 0, "WALL-OUTER");
    QTest::newRow("type first of two") << QByteArray("a;TYPE:WALL-INNER;TYPE:FILL")
                                       << Expect(Match::Type, 0, 0, false, 0, "WALL-INNER;TYPE:FILL");
    QTest::newRow("type inside a travel") << QByteArray("G0 X1.0 Y1.0 ;TYPE:SKIN") << Expect(Match::Type, 0, 0, false, 0, "SKIN");
    QTest::newRow("type lower case") << QByteArray(";type:FILL") << Expect(Match::None);

    // Travels: G0 at the line start, X and Y with a decimal point one blank apart, Z right after.
    QTest::newRow("travel with z") << QByteArray("G0 X10.0 Y10.0 Z0.3") << Expect(Match::Travel, 10, 10, true, 0.3f);
    QTest::newRow("engine travel") << QByteArray("G0 F6000 X87.004 Y87.369 Z0.3") << Expect(Match::Travel, 87.004f, 87.369f, true, 0.3f);
    QTest::newRow("travel without z") << QByteArray("G0 F9000 X78.4 Y85.631") << Expect(Match::Travel, 78.4f, 85.631f);
    QTest::newRow("travel negative") << QByteArray("G0 X-1.5 Y-2.5") << Expect(Match::Travel, -1.5f, -2.5f);
    QTest::newRow("travel whole numbers") << QByteArray("G0 X10 Y10") << Expect(Match::None);
    QTest::newRow("engine whole x") << QByteArray("G0 F9000 X80 Y115.532") << Expect(Match::None);
    QTest::newRow("bridge whole x") << QByteArray("G0 F9000 X80.0 Y115.532") << Expect(Match::Travel, 80, 115.532f);
    QTest::newRow("travel whole z") << QByteArray("G0 F600 X96.169 Y103.523 Z3") << Expect(Match::Travel, 96.169f, 103.523f);
    QTest::newRow("bridge whole z") << QByteArray("G0 F600 X96.169 Y103.523 Z3.0") << Expect(Match::Travel, 96.169f, 103.523f, true, 3);
    QTest::newRow("travel negative z") << QByteArray("G0 X1.5 Y2.5 Z-0.3") << Expect(Match::Travel, 1.5f, 2.5f);
    QTest::newRow("travel z two blanks") << QByteArray("G0 X1.5 Y2.5  Z0.3") << Expect(Match::Travel, 1.5f, 2.5f);
    QTest::newRow("travel z glued") << QByteArray("G0 X1.0 Y2.0Z0.3") << Expect(Match::Travel, 1, 2);
    QTest::newRow("travel z after text") << QByteArray("G0 X1.0 Y2.0_Z0.3") << Expect(Match::Travel, 1, 2);
    QTest::newRow("travel z then text") << QByteArray("G0 X1.0 Y2.0 Z3.0.5") << Expect(Match::Travel, 1, 2, true, 3);
    QTest::newRow("travel y then text") << QByteArray("G0 X1.25 Y2.5abc Z9.0") << Expect(Match::Travel, 1.25f, 2.5f);
    QTest::newRow("travel two blanks") << QByteArray("G0 X1.5  Y2.5") << Expect(Match::None);
    QTest::newRow("travel tab and vt") << QByteArray("G0X1.0\tY2.0\vZ3.0") << Expect(Match::Travel, 1, 2, true, 3);
    QTest::newRow("travel last pair") << QByteArray("G0 X1.0 Y2.0 Z3.0 X4.0 Y5.0") << Expect(Match::Travel, 4, 5);
    QTest::newRow("travel last valid pair") << QByteArray("G0 X1.0 Y2.0 Z3.0 X4.0 Y5.") << Expect(Match::Travel, 1, 2, true, 3);
    QTest::newRow("travel pair in comment") << QByteArray("G0 X-1.0 Y-2.0 Z0.3 ;X9.0 Y9.0 Z1.0") << Expect(Match::Travel, 9, 9, true, 1);
    QTest::newRow("travel not at start") << QByteArray(" G0 X1.0 Y2.0") << Expect(Match::None);
    QTest::newRow("travel G00") << QByteArray("G00 X1.0 Y2.0") << Expect(Match::Travel, 1, 2);
    QTest::newRow("travel lower case") << QByteArray("g0 X1.0 Y2.0") << Expect(Match::None);
    QTest::newRow("travel lower axes") << QByteArray("G0 x1.0 y2.0") << Expect(Match::None);
    QTest::newRow("travel plus sign") << QByteArray("G0 X+1.0 Y2.0") << Expect(Match::None);
    QTest::newRow("travel no int part") << QByteArray("G0 X.5 Y2.0") << Expect(Match::None);
    QTest::newRow("travel no fraction") << QByteArray("G0 X1. Y2.0") << Expect(Match::None);
    QTest::newRow("travel before extrude") << QByteArray("G0 G1 X1.0 Y2.0") << Expect(Match::Travel, 1, 2);

    // Extrusions: G1 anywhere, then the last X/Y pair; a Z is never taken.
    QTest::newRow("extrude") << QByteArray("G1 X20.0 Y10.0") << Expect(Match::Extrude, 20, 10);
    QTest::newRow("engine extrude") << QByteArray("G1 F1200 X87.406 Y86.972 E0.02819") << Expect(Match::Extrude, 87.406f, 86.972f);
    QTest::newRow("engine whole extrude") << QByteArray("G1 X114 Y90.33 E1.49558") << Expect(Match::None);
    QTest::newRow("bridge whole extrude") << QByteArray("G1 X114.0 Y90.33 E1.49558") << Expect(Match::Extrude, 114, 90.33f);
    QTest::newRow("extrude with z") << QByteArray("G1 X1.1 Y1.2 Z5.0") << Expect(Match::Extrude, 1.1f, 1.2f);
    QTest::newRow("retract") << QByteArray("G1 F1500 E-4.5") << Expect(Match::None);
    QTest::newRow("lift") << QByteArray("G1 Z15.0 F6000") << Expect(Match::None);
    QTest::newRow("G10 holds G1") << QByteArray("G10 X1.0 Y2.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("G1 later in line") << QByteArray("M117 G1 X1.0 Y2.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("G1 in a comment") << QByteArray(";G1 X1.0 Y2.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("extrude last pair") << QByteArray("G1 X1.0 Y2.0 X3.0 Y4.0") << Expect(Match::Extrude, 3, 4);
    QTest::newRow("extrude last valid pair") << QByteArray("G1 X1.0 Y2.0 X3 Y4.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("pair before G1") << QByteArray("X1.0 Y2.0 G1") << Expect(Match::None);
    QTest::newRow("G1 glued") << QByteArray("G1X1.0 Y2.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("arc") << QByteArray("G2 X1.0 Y2.0") << Expect(Match::None);
    QTest::newRow("long fraction") << QByteArray("G1 X1.000000000000000000000001 Y2.0") << Expect(Match::Extrude, 1, 2);
    // Seventeen digits just above the midpoint of two floats: only a correctly
    // rounded double gives the upper float.
    QTest::newRow("near a float tie") << QByteArray("G1 X1.0000000596046449 Y1.0")
                                      << Expect(Match::Extrude, float(1.0000000596046449), 1);
    QTest::newRow("long mantissa") << QByteArray("G1 X123456789012345678.5 Y-0.0")
                                   << Expect(Match::Extrude, float(123456789012345678.5), -0.0f);

    // Nothing else counts.
    QTest::newRow("empty") << QByteArray("") << Expect(Match::None);
    QTest::newRow("home") << QByteArray("G28 ;home") << Expect(Match::None);
    QTest::newRow("temperature") << QByteArray("M104 S210") << Expect(Match::None);
    // Outside ASCII the expressions decide themselves (U+00A0 is white space to \s).
    QTest::newRow("mesh name") << QByteArray(";MESH:\xe6\xa8\xa1\xe5\x9e\x8b.stl") << Expect(Match::None);
    QTest::newRow("no-break space") << QByteArray("G1 X1.0\xc2\xa0Y2.0") << Expect(Match::Extrude, 1, 2);
    QTest::newRow("type named outside ASCII") << QByteArray("\xe2\x82\xac;TYPE:F\xc3\xa9LL x") << Expect(Match::Type, 0, 0, false, 0, "F\u00e9LL");
    QTest::newRow("move after a character outside ASCII") << QByteArray("G1 \xf0\x9f\x98\x80 X1.5 Y2.5") << Expect(Match::Extrude, 1.5f, 2.5f);
}

void tst_KLayerLoadWork::grammar()
{
    QFETCH(QByteArray, line);
    QFETCH(Match, expected);
    const Match fast = Fast(line);
    const Match reference = Reference(line);
    QVERIFY2(SameMatch(reference, expected), qPrintable(QStringLiteral("expressions: ") + Describe(reference)));
    QVERIFY2(SameMatch(fast, expected), qPrintable(QStringLiteral("hand-written: ") + Describe(fast)));
}

void tst_KLayerLoadWork::engineLinesMatchTheExpressions_data()
{
    GcodeTestData::AddRealGcodeRows();
}

void tst_KLayerLoadWork::engineLinesMatchTheExpressions()
{
    QFETCH(QByteArray, gcode);
    QVERIFY(!gcode.isEmpty());
    int counts[5] = {};
    for (const QByteArray& line : gcode.split('\n')) {
        const Match fast = Fast(line);
        const Match reference = Reference(line);
        QVERIFY2(SameMatch(fast, reference),
                 qPrintable(QStringLiteral("'%1': hand-written %2, expressions %3")
                                .arg(QString::fromUtf8(line), Describe(fast), Describe(reference))));
        ++counts[fast.rule];
    }
    // Every rule is met, and the moves are the bulk of the file.
    for (int rule = Match::Layer; rule <= Match::Extrude; ++rule)
        QVERIFY2(counts[rule] > 0, qPrintable(QString::number(rule)));
    QCOMPARE(counts[Match::Layer], gcode.count(";LAYER:"));
    QVERIFY(counts[Match::Extrude] > gcode.count('\n') / 2);
}

void tst_KLayerLoadWork::randomLinesMatchTheExpressions()
{
    // Lines put together from the pieces that steer the expressions, so that
    // near misses (a missing point, two blanks, a sign, another command) are common.
    static const char* const pieces[] = {"G0", "G1", "G10", "G", "X", "Y", "Z", "E", "F", " ", " ", " ", "\t", "\v",
                                         "\x1c", "-", "-", ".", ".", "0", "1", "25", "007", "9", "3.5", "12.75",
                                         "-0.4", ";", ";LAYER:", ";TYPE:", "FILL", "SKIN", "\xc2\xa0", "\xd9\xa3",
                                         "X1.5 Y2.25", "X-3.125 Y0.5", "X12 Y4.5", " Z0.3", " Z-1.0", "Z0.3", "_", "X7.5", "Y8.5"};
    const int nPieces = int(sizeof pieces / sizeof pieces[0]);
    QRandomGenerator random(20240607);
    int counts[5] = {};
    for (int n = 0; n < 20000; ++n) {
        QByteArray line;
        if (random.bounded(3) == 0)
            line = random.bounded(2) ? "G0 " : "G1 ";
        const int nParts = 1 + int(random.bounded(14));
        for (int i = 0; i < nParts; ++i)
            line += pieces[random.bounded(nPieces)];
        const Match fast = Fast(line);
        const Match reference = Reference(line);
        QVERIFY2(SameMatch(fast, reference),
                 qPrintable(QStringLiteral("'%1': hand-written %2, expressions %3")
                                .arg(QString::fromUtf8(line.toPercentEncoding(" .;:-")), Describe(fast), Describe(reference))));
        ++counts[fast.rule];
    }
    for (int rule = Match::None; rule <= Match::Extrude; ++rule)
        QVERIFY2(counts[rule] > 200, qPrintable(QStringLiteral("rule %1 met %2 times").arg(rule).arg(counts[rule])));
}

void tst_KLayerLoadWork::numbersConvertAsToFloat()
{
    // Digits of every length around the shortcut's limits (2^53, 1e22), compared bit for bit.
    QRandomGenerator random(7);
    for (int n = 0; n < 5000; ++n) {
        QByteArray number = random.bounded(2) ? "-" : "";
        const int nInt = 1 + int(random.bounded(20));
        const int nFraction = 1 + int(random.bounded(26));
        for (int i = 0; i < nInt + nFraction; ++i) {
            if (i == nInt)
                number += '.';
            number += char('0' + random.bounded(10));
        }
        const QByteArray line = "G1 X" + number + " Y" + number;
        const Match fast = Fast(line);
        QCOMPARE(int(fast.rule), int(Match::Extrude));
        QVERIFY2(Bits(fast.x) == Bits(QString::fromLatin1(number).toFloat()), number.constData());
    }
}

void tst_KLayerLoadWork::shortNumbersConvertAsToFloat()
{
    // The usual coordinates, of up to seven digits each side of the point and
    // followed by more text or by the line's end, so that they are read both
    // eight bytes at a time and digit by digit; among them numbers exactly
    // halfway between two floats, which toFloat rounds to the even one.
    QRandomGenerator random(11);
    QList<QByteArray> numbers;
    for (int nWhole = 1; nWhole <= 7; ++nWhole) {
        for (int nFraction = 1; nFraction <= 7; ++nFraction) {
            for (int n = 0; n < 40; ++n) {
                QByteArray number;
                for (int i = 0; i < nWhole + nFraction; ++i)
                    number += char('0' + random.bounded(i == 0 && nWhole > 1 ? 1 : 0, 10));
                numbers << number.insert(nWhole, '.');
            }
        }
    }
    // Halfway cases where the product with a rounded reciprocal misses the tie.
    numbers << "977322.15625" << "26251293.00000" << "940378.40625" << "8273222.25000" << "845897.53125";
    for (int shift = 1; shift <= 7; ++shift) {
        for (int n = 0; n < 40; ++n) {
            const double halfway = double((1 << 24) + 2 * int(random.bounded(1 << 20)) + 1) / double(1 << shift);
            numbers << QByteArray::number(halfway, 'f', shift);
        }
    }
    const QList<QByteArray> tails = {"", " E0.5", ";9.5", "\xd9\xa3 E1.0", " E0.12345 ; a comment", "5", "\xd9\xa3"};
    int nChecked = 0;
    for (const QByteArray& number : qAsConst(numbers)) {
        const QByteArray negative = "-" + number;
        const float expected = QString::fromLatin1(number).toFloat();
        for (const QByteArray& tail : tails) {
            const Match fast = Fast("G1 X" + negative + " Y" + number + tail);
            const Match reference = Reference("G1 X" + negative + " Y" + number + tail);
            QVERIFY2(SameMatch(fast, reference), qPrintable(QStringLiteral("%1%2: hand-written %3, expressions %4")
                                                                .arg(QLatin1String(number), QString::fromUtf8(tail),
                                                                     Describe(fast), Describe(reference))));
            if (tail.isEmpty() || tail.startsWith(' ') || tail.startsWith(';')) {
                QVERIFY2(Bits(fast.x) == Bits(-expected) && Bits(fast.y) == Bits(expected), number.constData());
                ++nChecked;
            }
        }
    }
    QCOMPARE(nChecked, numbers.size() * 4);
}

void tst_KLayerLoadWork::deliversOneLayerPerLayerLine()
{
    const Delivery delivery = ParseText("G28\n;TYPE:SKIRT\n;LAYER:0\nG0 X1.0 Y1.0 Z0.2\n;TYPE:FILL\nG1 X2.0 Y2.0\n"
                                                  ";LAYER:-1\n;LAYER:1\nG1 X3.0 Y3.0\n");
    QCOMPARE(delivery.nComplete, 1);
    QCOMPARE(delivery.layers.size(), 4);
    // Before the first layer line: the type line's empty path.
    QCOMPARE(delivery.layers[0].size(), 1);
    QCOMPARE(delivery.layers[0][0].type, int(PathSkirt));
    // Each layer opens with an empty layer-start path; a travel takes the type of the path before it.
    const SingleLayer& first = delivery.layers[1];
    QCOMPARE(first.size(), 3);
    QCOMPARE(first[0].type, int(PathLayerStart));
    QVERIFY(first[0].points.isEmpty());
    QCOMPARE(first[1].type, int(PathLayerStart));
    QCOMPARE(first[1].points, QVector<QVector3D>({QVector3D(1, 1, 0.2f)}));
    QCOMPARE(first[2].type, int(PathFill));
    QCOMPARE(first[2].points, QVector<QVector3D>({QVector3D(2, 2, 0.2f)}));
    QCOMPARE(delivery.layers[2].size(), 1);
    // The last layer runs to the end of the file; the height carries over.
    QCOMPARE(delivery.layers[3].size(), 1);
    QCOMPARE(delivery.layers[3][0].points, QVector<QVector3D>({QVector3D(3, 3, 0.2f)}));
}

void tst_KLayerLoadWork::heightComesFromTravelsOnly()
{
    const Delivery delivery = ParseText(";LAYER:0\nG0 X0.0 Y0.0 Z0.3\nG1 X1.0 Y0.0 Z9.0\nG0 X2.0 Y0.0\n"
                                                  "G1 X3.0 Y0.0\nG0 X4.0 Y0.0 Z0.6\nG1 X5.0 Y0.0\nG0 X6.0 Y0.0 Z1\nG1 X7.0 Y0.0\n");
    QCOMPARE(delivery.layers.size(), 2);
    QVector<QVector3D> points;
    for (const LayerPath& path : delivery.layers[1])
        points += path.points;
    const QVector<QVector3D> expected = {QVector3D(0, 0, 0.3f), QVector3D(1, 0, 0.3f), QVector3D(2, 0, 0.3f),
                                       QVector3D(3, 0, 0.3f), QVector3D(4, 0, 0.6f), QVector3D(5, 0, 0.6f),
                                       QVector3D(6, 0, 0.6f), QVector3D(7, 0, 0.6f)};
    QCOMPARE(points, expected);
}

void tst_KLayerLoadWork::movesWithoutAPathAreIgnored()
{
    // Before the first layer or type line there is no path to extend or to
    // take a type from: such moves are dropped, their height included.
    const Delivery delivery = ParseText("G0 X1.0 Y1.0 Z5.0\nG1 X2.0 Y2.0\n;LAYER:0\nG1 X3.0 Y3.0\n");
    QCOMPARE(delivery.layers.size(), 2);
    QVERIFY(delivery.layers[0].isEmpty());
    QCOMPARE(delivery.layers[1].size(), 1);
    QCOMPARE(delivery.layers[1][0].points, QVector<QVector3D>({QVector3D(3, 3, 0)}));
}

void tst_KLayerLoadWork::typeNamesMapExactly()
{
    const Delivery delivery = ParseText(";LAYER:0\n;TYPE:WALL-OUTER\n;TYPE:WALL-INNER\n;TYPE:SKIN\n;TYPE:SKIRT\n"
                                                  ";TYPE:FILL\n;TYPE:SUPPORT\n;TYPE:SUPPORT-INTERFACE\n;TYPE:fill\n;TYPE:\n");
    QCOMPARE(delivery.layers.size(), 2);
    QList<int> types;
    for (const LayerPath& path : delivery.layers[1])
        types << path.type;
    QCOMPARE(types, QList<int>({PathLayerStart, PathWallOuter, PathWallInner, PathSkin, PathSkirt, PathFill,
                                PathSupport, PathWallOuter, PathWallOuter, PathWallOuter}));
}

void tst_KLayerLoadWork::lineEndingsDoNotChangeTheResult()
{
    const QByteArray lf = ";LAYER:0\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y2.0\nG1 X3.0 Y3.0";
    QByteArray crlf = lf;
    crlf.replace("\n", "\r\n");
    const Delivery fromLf = ParseText(lf);
    const Delivery fromCrlf = ParseText(crlf + "\r\n");
    QCOMPARE(fromLf.layers.size(), 2);
    QCOMPARE(fromLf.layers[1].size(), 3);
    // The last line has no line end and still counts.
    QCOMPARE(fromLf.layers[1][2].points.size(), 3);
    QCOMPARE(fromCrlf.layers.size(), fromLf.layers.size());
    for (int i = 0; i < fromLf.layers[1].size(); ++i) {
        QCOMPARE(fromCrlf.layers[1][i].type, fromLf.layers[1][i].type);
        QCOMPARE(fromCrlf.layers[1][i].points, fromLf.layers[1][i].points);
    }
    // Read as text, every carriage return goes, also inside a line.
    const Delivery fromCr = ParseText(";LAYER:0\nG0 X1.0\r Y1.0\r\r\n");
    QCOMPARE(fromCr.layers.size(), 2);
    QCOMPARE(fromCr.layers[1].size(), 2);
    QCOMPARE(fromCr.layers[1][1].points, QVector<QVector3D>({QVector3D(1, 1, 0)}));
}

void tst_KLayerLoadWork::linesAcrossAndBeyondABlock()
{
    // Enough lines to cross several read blocks, and one line far longer than a block.
    const int nMoves = 300000;
    QByteArray gcode = ";LAYER:0\n;TYPE:FILL\nG0 X0.0 Y0.0 Z0.2\n";
    gcode.reserve(nMoves * 24 + (4 << 20));
    for (int i = 1; i <= nMoves; ++i)
        gcode += "G1 X" + QByteArray::number(i) + ".5 Y1.25 E0.1\n";
    // Just within the line limit (1 MiB), so it is still read.
    gcode += ";LAYER:1\nG1 " + QByteArray((1 << 20) - 13, 'F') + " X7.5 Y8.5\n";
    const Delivery delivery = ParseText(gcode);
    QCOMPARE(delivery.layers.size(), 3);
    const QVector<QVector3D>& fill = delivery.layers[1].last().points;
    QCOMPARE(fill.size(), nMoves + 1);
    for (int i = 1; i <= nMoves; ++i) {
        if (fill[i] != QVector3D(i + 0.5f, 1.25f, 0.2f))
            QFAIL(qPrintable(QStringLiteral("move %1 read as %2, %3").arg(i).arg(fill[i].x()).arg(fill[i].y())));
    }
    QCOMPARE(delivery.layers[2].last().points, QVector<QVector3D>({QVector3D(7.5f, 8.5f, 0.2f)}));
}

void tst_KLayerLoadWork::fileThatCannotBeOpenedDeliversNothing()
{
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath("missing.gcode"), dir.path()}) {
        // The load is over at once, with nothing in it.
        const Delivery delivery = Parse(path);
        QVERIFY2(delivery.layers.isEmpty(), qPrintable(path));
        QCOMPARE(delivery.nComplete, 1);
    }
}

void tst_KLayerLoadWork::overlongLinesAreSkipped()
{
    // A line of more than 1 MiB is no G-code: it is skipped whole, the lines
    // around it count, and one exactly at the limit is still read.
    const QByteArray atLimit = "G1 " + QByteArray((1 << 20) - 13, 'F') + " X3.5 Y3.5";
    QCOMPARE(atLimit.size(), 1 << 20);
    const QByteArray beyond = "G1 " + QByteArray((1 << 20) - 12, 'F') + " X9.5 Y9.5";
    const Delivery delivery = ParseText(";LAYER:0\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\n" + beyond + "\nG1 X2.0 Y2.0\n"
                                        + atLimit + "\n" + beyond + "\r\n;LAYER:1\n" + beyond);
    QCOMPARE(delivery.nComplete, 1);
    QCOMPARE(delivery.layers.size(), 3);
    QCOMPARE(delivery.layers[1].last().points,
             QVector<QVector3D>({QVector3D(1, 1, 0.2f), QVector3D(2, 2, 0.2f), QVector3D(3.5f, 3.5f, 0.2f)}));
    QCOMPARE(delivery.layers[2].size(), 1);   // only its layer-start path: the last line was skipped
    QVERIFY(delivery.layers[2][0].points.isEmpty());
}

// A device of size bytes without a line end, then one G-code line.
class EndlessLine : public QIODevice
{
public:
    explicit EndlessLine(qint64 size) : m_nSize(size) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        static const QByteArray tail = "\nG1 X4.0 Y5.0\n";
        const qint64 n = qMin(maxSize, m_nSize + tail.size() - m_nPos);
        for (qint64 i = 0; i < n; ++i, ++m_nPos)
            data[i] = m_nPos < m_nSize ? char('0' + m_nPos % 10) : tail[int(m_nPos - m_nSize)];
        return n > 0 ? n : -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_nSize;
    qint64 m_nPos = 0;
};

void tst_KLayerLoadWork::endlessLineIsSkippedInBoundedMemory()
{
    // 200 MB without a line end behind a limit of 4 KiB: the reader keeps
    // nothing of it, hands out the line after it and counts one skipped line.
    EndlessLine device(200 << 20);
    KzLineReader lines(device, -1, 1 << 16, false, 4096);
    const char* begin = nullptr;
    const char* end = nullptr;
    QVERIFY(lines.Next(begin, end));
    QCOMPARE(QByteArray(begin, int(end - begin)), QByteArray("G1 X4.0 Y5.0"));
    QVERIFY(!lines.Next(begin, end));
    QCOMPARE(lines.SkippedLines(), qint64(1));
}

void tst_KLayerLoadWork::longLinesOutsideAsciiTakeLinearTime()
{
    // "G1" repeated over 64 KB and one letter outside ASCII, without a move:
    // the expressions backtrack from every "G1" (half a minute for 32 KB, so
    // minutes here, beyond this test's time-out); the reader takes milliseconds.
    QByteArray line;
    for (int i = 0; i < (32 << 10); ++i)
        line += "G1";
    line += "\xc3\xa9";
    const Delivery delivery = ParseText(";LAYER:0\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\n" + line + "\n" + line
                                        + " X1.5 Y2.5\n" + line + "\nG1 X3.0 Y3.0\n");
    QCOMPARE(delivery.nComplete, 1);
    QCOMPARE(delivery.layers.size(), 2);
    QCOMPARE(delivery.layers[1].last().points,
             QVector<QVector3D>({QVector3D(1, 1, 0.2f), QVector3D(1.5f, 2.5f, 0.2f), QVector3D(3, 3, 0.2f)}));
}

void tst_KLayerLoadWork::stopRequestedBeforeTheParseBeginsHolds()
{
    // The owner may stop the thread while the request to read is still queued
    // (a model destroyed right after LoadGcode): the parse must not undo that
    // by clearing its stop flag, and reads nothing.
    QTemporaryDir dir;
    const QString path = GcodeTestData::WriteFile(dir, "s.gcode", ";LAYER:0\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y2.0\n");
    QThread thread;
    struct Stopper
    {
        QThread& thread;
        ~Stopper()
        {
            thread.quit();
            thread.wait();
        }
    } stopper{thread};
    auto* work = new KLayerLoadWork;
    work->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, work, &QObject::deleteLater);
    std::atomic<int> nSignals{0};
    QObject::connect(work, &KLayerLoadWork::signal_OneLayerComplete, work, [&] { ++nSignals; }, Qt::DirectConnection);
    QObject::connect(work, &KLayerLoadWork::signal_LoadCompete, work, [&] { ++nSignals; }, Qt::DirectConnection);
    thread.start();
    thread.requestInterruption();
    QMetaObject::invokeMethod(work, "slot_StartLoad", Qt::QueuedConnection, Q_ARG(QString, path));
    QMetaObject::invokeMethod(work, [] {}, Qt::BlockingQueuedConnection);   // the parse is over
    QCOMPARE(nSignals.load(), 0);
}

QTEST_GUILESS_MAIN(tst_KLayerLoadWork)
#include "tst_KLayerLoadWork.moc"
