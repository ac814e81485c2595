// The embedded resources: every picture the program names exists at the size
// it is shown at, every text marked for translation has its English, and no
// text the user reads bypasses the translation.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

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

// The arguments (%1, %2, ...) a text takes.
QStringList Arguments(const QString& text)
{
    static const QRegularExpression argument(QStringLiteral("%\\d"));
    QStringList found;
    for (auto m = argument.globalMatch(text); m.hasNext();)
        found << m.next().captured(0);
    found.sort();
    return found;
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

// A string literal of the program's C++ sources with the calls around it,
// innermost first: the name before each open parenthesis ("" for a bare one,
// "{" for a brace).
struct KzLiteral
{
    QString file;
    int line;
    QString text;
    QStringList calls;
};

QString CallNameBefore(const QString& s, int open)
{
    int i = open - 1;
    while (i >= 0 && s.at(i).isSpace())
        --i;
    if (i >= 0 && s.at(i) == QLatin1Char('>')) {   // name<T>(
        int depth = 0;
        for (; i >= 0; --i) {
            depth += s.at(i) == QLatin1Char('>') ? 1 : s.at(i) == QLatin1Char('<') ? -1 : 0;
            if (depth == 0)
                break;
        }
        --i;
    }
    const int end = i + 1;
    while (i >= 0 && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('_')))
        --i;
    return s.mid(i + 1, end - i - 1);
}

// The text of a literal with its common escapes undone.
QString Unescaped(const QString& raw)
{
    QString text;
    for (int i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != QLatin1Char('\\') || i + 1 == raw.size()) {
            text += raw.at(i);
            continue;
        }
        const QChar c = raw.at(++i);
        text += c == QLatin1Char('n') ? QLatin1Char('\n') : c == QLatin1Char('t') ? QLatin1Char('\t') : c;
    }
    return text;
}

// Enough of C++ to find literals: comments, character literals and raw
// strings are skipped, brackets are followed.
QVector<KzLiteral> Literals(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString s = QString::fromUtf8(file.readAll());
    QVector<KzLiteral> found;
    QStringList stack;
    int line = 1;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        const QStringRef next = s.midRef(i, 2);
        if (c == QLatin1Char('\n')) {
            ++line;
        } else if (next == QLatin1String("//")) {
            i = s.indexOf(QLatin1Char('\n'), i) - 1;
            if (i < 0)
                break;
        } else if (next == QLatin1String("/*")) {
            const int end = s.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                break;
            line += s.midRef(i, end - i).count(QLatin1Char('\n'));
            i = end + 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            if (c == QLatin1Char('"') && i > 0 && s.at(i - 1) == QLatin1Char('R')) {
                const int open = s.indexOf(QLatin1Char('('), i);
                const QString close = QLatin1Char(')') + s.mid(i + 1, open - i - 1) + QLatin1Char('"');
                const int end = s.indexOf(close, open);
                if (open < 0 || end < 0)
                    break;
                line += s.midRef(i, end - i).count(QLatin1Char('\n'));
                i = end + close.size() - 1;
                continue;
            }
            int j = i + 1;
            while (j < s.size() && s.at(j) != c)
                j += s.at(j) == QLatin1Char('\\') ? 2 : 1;
            if (c == QLatin1Char('"')) {
                QStringList calls = stack;
                std::reverse(calls.begin(), calls.end());
                found.push_back({ QFileInfo(path).fileName(), line, Unescaped(s.mid(i + 1, j - i - 1)), calls });
            }
            i = j;
        } else if (c == QLatin1Char('(')) {
            stack << CallNameBefore(s, i);
        } else if (c == QLatin1Char('{')) {
            stack << QStringLiteral("{");
        } else if ((c == QLatin1Char(')') || c == QLatin1Char('}')) && !stack.isEmpty()) {
            stack.removeLast();
        }
    }
    return found;
}

const QSet<QString> kTranslators = { "tr", "translate", "QT_TR_NOOP", "QT_TRANSLATE_NOOP", "QT_TRANSLATE_NOOP3",
                                     "QT_TR_N_NOOP", "qtTrId" };
// Calls that hand their argument on unchanged.
const QSet<QString> kWrappers = { "", "{", "QString", "QStringLiteral", "QLatin1String", "QStringView",
                                  "fromUtf8", "fromLatin1", "fromLocal8Bit", "QByteArray" };
// Calls that put their text arguments in front of the user.
const QSet<QString> kShowers = {
    "setText", "setToolTip", "setStatusTip", "setWhatsThis", "setWindowTitle", "setPlaceholderText",
    "setItemText", "addItem", "addItems", "insertItem", "setTitle", "setLabelText", "setTabText",
    "setSpecialValueText", "showMessage", "information", "warning", "critical", "question", "about",
    "getOpenFileName", "getOpenFileNames", "getSaveFileName", "getExistingDirectory", "QMessageBox",
    "QPushButton", "QLabel", "QCheckBox", "QRadioButton", "QGroupBox", "QAction", "slot_SetTipContext",
    "signal_ShowTipContext", "ShowTipText",
};
// Texts the check lets pass, each for its reason.
const QMap<QString, QString> kExempt = {
    { QString::fromUtf8("微软雅黑"), "a font family, matched against the installed fonts, never shown" },
    { "English", "the language box names each language in that language" },
    { QString::fromUtf8("简体中文"), "the language box names each language in that language" },
};
// Property and attribute names of forms whose texts are shown.
const QSet<QString> kFormTexts = { "text", "toolTip", "statusTip", "whatsThis", "windowTitle", "placeholderText",
                                   "title", "specialValueText", "accessibleName", "accessibleDescription" };

bool HasChinese(const QString& text)
{
    static const QRegularExpression han(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return han.match(text).hasMatch();
}

// Whether a text shown as it is reads as words: tags, entities, arguments
// (%1) and file patterns (*.stl) are no words.
bool ReadsAsWords(const QString& text)
{
    static const QRegularExpression noWords(QStringLiteral("<[^>]*>|&\\w+;|%\\d|\\*\\.[\\w*]+"));
    static const QRegularExpression letter(QStringLiteral("\\p{L}"));
    return QString(text).remove(noWords).contains(letter);
}

// Why a literal of the sources bypasses the translation, or "" when it does not.
QString Bypass(const KzLiteral& literal)
{
    if (kExempt.contains(literal.text))
        return QString();
    QString call;
    for (const QString& c : literal.calls) {
        if (!kWrappers.contains(c)) {
            call = c;
            break;
        }
    }
    if (kTranslators.contains(call))
        return QString();
    if (HasChinese(literal.text))
        return "a Chinese text outside tr()";
    if (kShowers.contains(call) && ReadsAsWords(literal.text))
        return "shown by " + call + "() untranslated";
    return QString();
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
    void noShownTextBypassesTheTranslation();
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
// file, in the same context, taking the same arguments.
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
            const QString english = shipped.value(c.key()).value(s.key());
            QVERIFY2(!english.isEmpty(), qPrintable("unfinished translation for " + where));
            // An argument the English leaves out would drop a file name or a reason.
            QVERIFY2(Arguments(english) == Arguments(s.key()),
                     qPrintable("the English of " + where + " takes other arguments"));
        }
    }
}

// Every text the program shows goes through the translation. In the C++
// sources a literal is flagged when it holds Chinese outside tr() (or
// translate(), QT_TR_NOOP(), QT_TRANSLATE_NOOP()), or when it reads as words
// and goes straight (through QString wrappers only) into a call that shows
// it: setText(), a message box, a file dialog's caption, a tip, a button or
// label constructor. In the forms, a text property marked notr="true" that
// reads as words, or Chinese in any notr text but a style sheet, is flagged.
// Not caught: an untranslated Latin text kept in a variable before it is
// shown. Texts let through on purpose are in kExempt, with their reasons.
void tst_KzVellumResources::noShownTextBypassesTheTranslation()
{
    QStringList bypasses;
    int translated = 0, shown = 0;
    QDirIterator sources(kSourceDir + "/app", { "*.cpp", "*.h" }, QDir::Files, QDirIterator::Subdirectories);
    while (sources.hasNext()) {
        for (const KzLiteral& literal : Literals(sources.next())) {
            translated += kTranslators.contains(literal.calls.value(0)) ? 1 : 0;
            for (const QString& call : literal.calls)
                shown += kShowers.contains(call) ? 1 : 0;
            const QString why = Bypass(literal);
            if (!why.isEmpty())
                bypasses << QString("%1:%2 \"%3\": %4").arg(literal.file).arg(literal.line).arg(literal.text, why);
        }
    }
    // The scan reads the sources as they are written: it sees the texts that
    // are translated, and the calls that show them.
    QVERIFY2(translated > 50 && shown > 20, qPrintable(QString("%1 texts translated, %2 shown").arg(translated).arg(shown)));

    QDirIterator forms(kSourceDir + "/app", { "*.ui" }, QDir::Files, QDirIterator::Subdirectories);
    int formsRead = 0;
    while (forms.hasNext()) {
        QFile file(forms.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        ++formsRead;
        QXmlStreamReader xml(&file);
        QString property;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("property") || xml.name() == QLatin1String("attribute")) {
                property = xml.attributes().value("name").toString();
            } else if (xml.name() == QLatin1String("string") && xml.attributes().value("notr") == QLatin1String("true")) {
                const int line = int(xml.lineNumber());
                const QString text = xml.readElementText();
                if ((kFormTexts.contains(property) && ReadsAsWords(text) && !kExempt.contains(text))
                    || (HasChinese(text) && property != QLatin1String("styleSheet")))
                    bypasses << QString("%1:%2 \"%3\": %4 marked notr").arg(QFileInfo(file).fileName()).arg(line).arg(text, property);
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(file.fileName()));
    }
    QVERIFY(formsRead >= 5);
    QVERIFY2(bypasses.isEmpty(), qPrintable("\n" + bypasses.join('\n')));
}

QTEST_MAIN(tst_KzVellumResources)
#include "tst_KzVellumResources.moc"
