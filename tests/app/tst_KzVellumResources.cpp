// The embedded resources: every picture the program names exists at the size
// it is shown at, and every text marked for translation has its English.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kSourceDir = QStringLiteral(KZ_SOURCE_DIR);
const QString kShippedTs = kSourceDir + "/app/Resources/kzvellum_en.ts";

// context -> source text -> translation ("" when unfinished or empty).
typedef QMap<QString, QMap<QString, QString>> Messages;

bool ReadTs(const QString& path, Messages& messages)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool finished = xml.attributes().value("type").isEmpty();
            const QString text = xml.readElementText();
            messages[context][source] = finished ? text : QString();
        }
    }
    return !xml.hasError();
}

// Count of pixels that are not fully transparent.
int InkedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

} // namespace

class tst_KzVellumResources : public QObject
{
    Q_OBJECT

private slots:
    void picturesHaveTheirSizes_data();
    void picturesHaveTheirSizes();
    void everyPictureTheSourcesNameIsEmbedded();
    void everyMarkedTextHasAFinishedTranslation();
};

void tst_KzVellumResources::picturesHaveTheirSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("window icon") << ":/Resources/KzVellum.png" << QSize(128, 128);
    QTest::newRow("title logo") << ":/Resources/Resources/app.png" << QSize(26, 26);
    const char* const buttons[] = { "08", "09", "09-2", "010" };
    for (const char* b : buttons) {
        QTest::newRow(b) << QString(":/Resources/%1.png").arg(b) << QSize(25, 20);
        QTest::newRow(qPrintable(QString(b) + "p")) << QString(":/Resources/%1p.png").arg(b) << QSize(25, 20);
    }
    QTest::newRow("back") << ":/Resources/13.png" << QSize(20, 20);
    for (const char* mode : { "024", "025", "026", "027" }) {
        QTest::newRow(mode) << QString(":/Resources/%1.png").arg(mode) << QSize(24, 24);
        QTest::newRow(qPrintable(QString(mode) + "p")) << QString(":/Resources/%1p.png").arg(mode) << QSize(24, 24);
    }
    QTest::newRow("edit panel") << ":/Resources/05.png" << QSize(180, 200);
    QTest::newRow("wide edit panel") << ":/Resources/05-2.png" << QSize(340, 200);
    for (const char* arrow : { "up00", "up00p", "down01", "down01p" })
        QTest::newRow(arrow) << QString(":/Resources/%1.png").arg(arrow) << QSize(9, 5);
    QTest::newRow("layer panel back") << ":/Resources/002.png" << QSize(50, 20);
    QTest::newRow("layer panel back, pressed") << ":/Resources/002p.png" << QSize(50, 20);
    for (const char* quarter : { "00", "00p", "01", "01p", "02", "02p", "03", "03p" })
        QTest::newRow(quarter) << QString(":/Resources/%1.png").arg(quarter) << QSize(40, 40);
    for (const char* strip : { "Setting00", "Setting00p", "Setting01", "Setting01p", "Setting00-2",
                               "Setting00-2p", "Setting01-2", "Setting01-2p" })
        QTest::newRow(strip) << QString(":/Resources/%1.png").arg(strip) << QSize(16, 96);
    for (const char* printer : { "1111", "2222", "3333", "4444", "5555", "6666" })
        QTest::newRow(printer) << QString(":/Resources/%1.png").arg(printer) << QSize(120, 120);
}

void tst_KzVellumResources::picturesHaveTheirSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + " is missing"));
    QCOMPARE(image.size(), size);
    QVERIFY2(image.hasAlphaChannel(), "pictures are drawn on a transparent ground");
    // Something is drawn, and not a filled rectangle.
    const int inked = InkedPixels(image);
    QVERIFY(inked > size.width() * size.height() / 50);
    QVERIFY(path.endsWith("app.png") || path.endsWith("KzVellum.png") || inked < size.width() * size.height());
}

// Any ":/Resources/....png" written in the program's code or forms must be
// embedded; a missing one would silently show nothing.
void tst_KzVellumResources::everyPictureTheSourcesNameIsEmbedded()
{
    const QRegularExpression name(":/Resources/[^\"')\\s<>]+\\.png");
    QSet<QString> named;
    QDirIterator it(kSourceDir + "/app", { "*.cpp", "*.h", "*.ui" }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto m = name.globalMatch(text); m.hasNext();)
            named.insert(m.next().captured(0));
    }
    QVERIFY2(named.size() >= 11, "the window names at least its own eleven pictures");
    for (const QString& path : named)
        QVERIFY2(QFile::exists(path), qPrintable(path + " is named but not embedded"));
}

// Runs lupdate over the program's sources and forms: every text it finds
// marked for translation must have a finished English text in the shipped
// file, in the same context.
void tst_KzVellumResources::everyMarkedTextHasAFinishedTranslation()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString extracted = dir.filePath("extracted.ts");
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(KZ_LUPDATE, { "-silent", "-locations", "none", "-no-obsolete", kSourceDir + "/app",
                                "-ts", extracted });
    QVERIFY2(lupdate.waitForFinished(60000), "lupdate did not finish");
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAll().constData());

    Messages found, shipped;
    QVERIFY(ReadTs(extracted, found));
    QVERIFY(ReadTs(kShippedTs, shipped));
    QVERIFY2(found.contains("KzVellumClass") && found.contains("KzVellum"), "lupdate saw the window");
    for (auto c = found.cbegin(); c != found.cend(); ++c) {
        for (auto s = c.value().cbegin(); s != c.value().cend(); ++s) {
            const QString where = c.key() + " / " + s.key();
            QVERIFY2(shipped.value(c.key()).contains(s.key()), qPrintable("no translation for " + where));
            QVERIFY2(!shipped.value(c.key()).value(s.key()).isEmpty(),
                     qPrintable("unfinished translation for " + where));
        }
    }
}

QTEST_MAIN(tst_KzVellumResources)
#include "tst_KzVellumResources.moc"
