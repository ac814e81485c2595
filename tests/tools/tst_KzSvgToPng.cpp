// The picture converter the build runs for every picture of the program.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_KzSvgToPng : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rendersAtTheGivenSize();
    void colourReplacesTheDrawingsOwn();
    void badInputFailsWithAMessage_data();
    void badInputFailsWithAMessage();

private:
    QString Write(const QString& name, const QByteArray& text);
    int Run(const QStringList& args, QString* errors = nullptr);

    QTemporaryDir m_dir;
};

namespace {

// Left half in the drawing's own colour, right half a fixed blue.
const QByteArray kHalves =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"8\" viewBox=\"0 0 10 8\" color=\"#ff0000\">"
    "<rect x=\"0\" y=\"0\" width=\"5\" height=\"8\" fill=\"currentColor\"/>"
    "<rect x=\"5\" y=\"0\" width=\"5\" height=\"8\" fill=\"#0000ff\"/></svg>";

} // namespace

void tst_KzSvgToPng::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_KzSvgToPng::Write(const QString& name, const QByteArray& text)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

int tst_KzSvgToPng::Run(const QStringList& args, QString* errors)
{
    QProcess p;
    // As the build runs it: in a sanitizer build the offscreen platform
    // plugin leaks its screen at exit, which is Qt's and not ours.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    p.setProcessEnvironment(env);
    p.start(KZ_SVGTOPNG, args);
    if (!p.waitForFinished(30000))
        return -1;
    if (errors)
        *errors = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

void tst_KzSvgToPng::rendersAtTheGivenSize()
{
    const QString in = Write("halves.svg", kHalves);
    const QString out = m_dir.filePath("halves.png");
    QCOMPARE(Run({ in, out, "40x16" }), 0);
    const QImage image(out);
    QCOMPARE(image.size(), QSize(40, 16));
    QCOMPARE(image.pixelColor(5, 8), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(34, 8), QColor(0, 0, 255));
}

void tst_KzSvgToPng::colourReplacesTheDrawingsOwn()
{
    const QString in = Write("halves.svg", kHalves);
    const QString out = m_dir.filePath("green.png");
    QCOMPARE(Run({ in, out, "10x8", "#00ff00" }), 0);
    QImage image(out);
    QCOMPARE(image.pixelColor(2, 4), QColor(0, 255, 0));
    QCOMPARE(image.pixelColor(8, 4), QColor(0, 0, 255));

    // A drawing without a colour of its own gets one.
    QByteArray bare = kHalves;
    bare.replace(" color=\"#ff0000\"", "");
    const QString bareIn = Write("bare.svg", bare);
    QCOMPARE(Run({ bareIn, out, "10x8", "#123456" }), 0);
    image.load(out);
    QCOMPARE(image.pixelColor(2, 4), QColor(0x12, 0x34, 0x56));
}

void tst_KzSvgToPng::badInputFailsWithAMessage_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("message");
    QTest::newRow("not svg") << QByteArray("<html><body>no</body></html>") << "10x8" << "not a valid SVG";
    QTest::newRow("truncated") << kHalves.left(60) << "10x8" << "not a valid SVG";
    QTest::newRow("bad size") << kHalves << "10by8" << "bad size";
    QTest::newRow("zero size") << kHalves << "0x8" << "bad size";
}

void tst_KzSvgToPng::badInputFailsWithAMessage()
{
    QFETCH(QByteArray, svg);
    QFETCH(QString, size);
    QFETCH(QString, message);
    const QString in = Write("bad.svg", svg);
    const QString out = m_dir.filePath("bad.png");
    QFile::remove(out);
    QString errors;
    QCOMPARE(Run({ in, out, size }, &errors), 1);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(tst_KzSvgToPng)
#include "tst_KzSvgToPng.moc"
