// The user guide: the build puts it beside the program, its links lead
// somewhere, and every picture it shows is either there or listed as still
// to be taken.
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kShipped = QStringLiteral(KZ_OUTPUT_DIR "/Help");
const QString kSource = QStringLiteral(KZ_SOURCE_DIR "/Help");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_KzHelp : public QObject
{
    Q_OBJECT

private slots:
    void shippedBesideTheProgram();
    void linksAndPicturesResolve();
};

void tst_KzHelp::shippedBesideTheProgram()
{
    const QByteArray page = ReadAll(kShipped + "/index.html");
    QVERIFY2(!page.isEmpty(), "the build copies Help/index.html beside the program");
    QCOMPARE(page, ReadAll(kSource + "/index.html"));
}

void tst_KzHelp::linksAndPicturesResolve()
{
    const QByteArray page = ReadAll(kShipped + "/index.html");
    QXmlStreamReader xml(page);
    QSet<QString> ids;
    QStringList anchors, pictures;
    int figures = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.hasAttribute("id"))
            ids.insert(a.value("id").toString());
        if (xml.name() == QLatin1String("a"))
            anchors.append(a.value("href").toString());
        if (xml.name() == QLatin1String("img")) {
            QVERIFY2(!a.value("alt").isEmpty(), "every picture has a text for when it is missing");
            pictures.append(a.value("src").toString());
        }
        figures += xml.name() == QLatin1String("figure");
    }
    QVERIFY2(!xml.hasError(), qPrintable(QString("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString())));
    QVERIFY(anchors.size() >= 10);
    for (const QString& href : anchors) {
        QVERIFY2(href.startsWith('#'), qPrintable(href + ": the guide links only within itself"));
        QVERIFY2(ids.contains(href.mid(1)), qPrintable(href + " leads nowhere"));
    }
    QCOMPARE(pictures.size(), figures);
    const QString missing = QString::fromUtf8(ReadAll(kShipped + "/images/README.txt"));
    for (const QString& src : pictures) {
        QVERIFY2(QRegularExpression("^images/[a-z0-9-]+\\.png$").match(src).hasMatch(), qPrintable(src));
        const QString name = src.mid(QStringLiteral("images/").size());
        const bool bListed = QRegularExpression("^" + QRegularExpression::escape(name) + "\\s", QRegularExpression::MultilineOption)
                                 .match(missing).hasMatch();
        QVERIFY2(QFile::exists(kShipped + "/" + src) != bListed,
                 qPrintable(src + (bListed ? " is there but still listed as missing" : " is neither there nor listed as missing")));
    }
}

QTEST_GUILESS_MAIN(tst_KzHelp)
#include "tst_KzHelp.moc"
