// The screenshot script on the built program: the PNG it saves shows the
// started window, title bar above the 3D view with its build volume.
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool Near(const QColor& c, int r, int g, int b, int tolerance)
{
    return qAbs(c.red() - r) <= tolerance && qAbs(c.green() - g) <= tolerance && qAbs(c.blue() - b) <= tolerance;
}

QString Describe(const QColor& c)
{
    return QString("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

} // namespace

class tst_KzScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void showsTheStartedWindow();
};

void tst_KzScreenshot::showsTheStartedWindow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shot = dir.filePath("shot.png");
    QProcess script;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BUILD_DIR", KZ_BUILD_DIR);
    script.setProcessEnvironment(env);
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start("bash", { QString(KZ_SOURCE_DIR) + "/tools/screenshot.sh", shot });
    QVERIFY2(script.waitForFinished(150000), "the screenshot script did not finish");
    const QByteArray output = script.readAll();
    QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0, output.constData());

    const QImage image(shot);
    QCOMPARE(image.size(), QSize(1200, 700));

    // Title bar: dark ground, the close button's red gradient on the right.
    QVERIFY2(Near(image.pixelColor(600, 15), 34, 34, 34, 2), qPrintable(Describe(image.pixelColor(600, 15))));
    const QColor closeTop = image.pixelColor(1162, 6);
    const QColor closeBottom = image.pixelColor(1162, 23);
    QVERIFY2(closeTop.red() > closeTop.green() + 50, qPrintable(Describe(closeTop)));
    QVERIFY2(closeBottom.red() > closeBottom.green() + 80, qPrintable(Describe(closeBottom)));
    QVERIFY(closeTop.lightness() > closeBottom.lightness());

    // The view's grey gradient, light at its top and darker at the bottom.
    const QColor viewTop = image.pixelColor(20, 31);
    const QColor viewBottom = image.pixelColor(20, 698);
    QVERIFY2(Near(viewTop, 160, 160, 160, 4), qPrintable(Describe(viewTop)));
    QVERIFY2(Near(viewBottom, 100, 100, 100, 4), qPrintable(Describe(viewBottom)));

    // The build volume is drawn: the centre of the view is not plain gradient.
    int drawn = 0;
    for (int y = 200; y < 600; y += 4) {
        const int shade = 160 - 60 * (y - 30) / 670;
        for (int x = 300; x < 900; x += 4)
            drawn += !Near(image.pixelColor(x, y), shade, shade, shade, 8);
    }
    QVERIFY2(drawn > 500, qPrintable(QString("only %1 sampled pixels differ from the background").arg(drawn)));
}

QTEST_GUILESS_MAIN(tst_KzScreenshot)
#include "tst_KzScreenshot.moc"
