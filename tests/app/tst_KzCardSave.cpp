// Saving to the SD card counts only once the card has given back what it was
// given. A card that returns other bytes (kz_bad_card, preloaded into this
// test: it spoils what pread() returns from a save's temporary file) keeps
// its old file, and the balloon says the card may be failing, in English and
// Chinese; the same card reading true gets the sliced G-code and the offer to
// eject it. "Eject after saving" is remembered for the next window.
#include "KzCardWindow.h"
#include "KzConfigureData.h"
#include "KzFakeCard.h"

#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

#include <dlfcn.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_KzCardSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badCardKeepsItsOldFile();
    void ejectAfterSavingIsRemembered();

private:
    QTemporaryDir m_dir;
    KzFakeCard m_card;
    void (*m_pSpoilReads)(int) = nullptr;
    int (*m_pSpoiledReads)() = nullptr;
};

void tst_KzCardSave::initTestCase()
{
    m_pSpoilReads = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "kz_bad_card_set"));
    m_pSpoiledReads = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "kz_bad_card_count"));
    QVERIFY2(m_pSpoilReads && m_pSpoiledReads, "kz_bad_card is not preloaded (LD_PRELOAD, as CTest sets it)");
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(m_dir.filePath("card")));
    QVERIFY(m_card.MountFolder(m_dir.filePath("card")));
    KzCardWindow::Prepare();
}

void tst_KzCardSave::badCardKeepsItsOldFile()
{
    KzCardWindow window;
    QVERIFY(window.OpenAndSlice(m_dir.path(), "bracket"));
    const QString target = m_dir.filePath("card/bracket.gcode");
    const QByteArray old = ";the print saved last week\nG28\n";
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    const QByteArray sliced = ReadAll(KzConfigureData::GetInstance()->GetTmpGcodeFilePath());
    QVERIFY(sliced.contains("G1"));

    // Written and synced, then read back spoiled: the old file stays, no
    // temporary file is left, and there is no card to eject.
    m_pSpoilReads(1);
    window.ClickSaveSD();
    m_pSpoilReads(0);
    QVERIFY2(m_pSpoiledReads() > 0, "the save read its copy back");
    QCOMPARE(ReadAll(target), old);
    QCOMPARE(QDir(m_dir.filePath("card")).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{ "bracket.gcode" });
    QCOMPARE(window.TipTitle(), QString("Save SD card"));
    QVERIFY2(window.TipDetail().contains("returned other data than was written to it: it may be failing")
                 && window.TipDetail().contains("unchanged"),
             qPrintable(window.TipDetail()));
    QVERIFY(!window.EjectCardButton()->isVisible());
    window.Shot("card-read-back-differs");

    window.SetLanguage(0);
    m_pSpoilReads(1);
    window.ClickSaveSD();
    m_pSpoilReads(0);
    QVERIFY(m_pSpoiledReads() > 0);
    QCOMPARE(ReadAll(target), old);
    QVERIFY2(window.TipDetail().contains(QString::fromUtf8("SD卡读回的数据与写入的不同，这张卡可能已损坏")),
             qPrintable(window.TipDetail()));
    window.Shot("card-read-back-differs-zh");
    window.SetLanguage(1);

    // The card reading true: the sliced bytes replace the old file, checked
    // from the card itself (the test's card is a folder on a disk).
    window.ClickSaveSD();
    QCOMPARE(m_pSpoiledReads(), 0);
    QCOMPARE(ReadAll(target), sliced);
    QVERIFY2(window.TipDetail().contains("Read back from the card: it holds exactly the sliced G-code"),
             qPrintable(window.TipDetail()));
    QVERIFY(window.EjectCardButton()->isVisible() && window.EjectCardButton()->isEnabled());
    QCOMPARE(window.EjectCardButton()->text(), QString("Eject card"));
}

// The box starts off; once ticked, the next window starts with it ticked, and
// the other way round.
void tst_KzCardSave::ejectAfterSavingIsRemembered()
{
    const QString settings = m_dir.filePath("config/kzvellum.conf");
    for (bool expected : { false, true, false }) {
        KzCardWindow window(settings);
        window.ShowOnekeyPage();
        QCheckBox* box = window.EjectAfterSaveBox();
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QString("Eject after saving"));
        QCOMPARE(box->isChecked(), expected);
        window.ClickEjectAfterSave();
        QCOMPARE(box->isChecked(), !expected);
    }
}

QTEST_MAIN(tst_KzCardSave)
#include "tst_KzCardSave.moc"
