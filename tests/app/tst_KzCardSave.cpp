// Saving to the SD card counts only once the card has given back what it was
// given. A card that returns other bytes (kz_bad_card, preloaded into this
// test: it spoils what pread() returns from a save's temporary file) keeps
// its old file, and the balloon says the card may be failing, in English and
// Chinese; the same card reading true gets the sliced G-code and the offer to
// eject it. "Save data" to a file of the user's choice is checked the same
// way. "Eject after saving" is remembered for the next window.
#include "KzCardWindow.h"
#include "KzConfigureData.h"
#include "KzFakeCard.h"
#include "KzVellum.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <dlfcn.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Answers the save dialog with a name, a question whether to replace the
// file with Yes, and keeps the text of any other message box.
class KzSaveAnswers : public QObject
{
public:
    explicit KzSaveAnswers(const QString& name) : m_strName(name)
    {
        connect(&m_timer, &QTimer::timeout, this, &KzSaveAnswers::Poll);
        m_timer.start(20);
    }
    QStringList m_listBoxTexts;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("kzAnswered").toBool())
            return;
        modal->setProperty("kzAnswered", true);
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(m_strName);
            QAbstractButton* save = dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Save);
            QTimer::singleShot(0, save, [save] { save->click(); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                yes->click();
                return;
            }
            m_listBoxTexts << box->text();
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
    }

    QString m_strName;
    QTimer m_timer;
};

} // namespace

class tst_KzCardSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_pWindow.reset(); }
    void badCardKeepsItsOldFile();
    void saveDataIsCheckedToo();
    void ejectAfterSavingIsRemembered();

private:
    std::unique_ptr<KzCardWindow> m_pWindow;
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
    m_pWindow.reset(new KzCardWindow);
    // The balloon below the slice panel, as on a maximised window.
    m_pWindow->Window()->resize(1280, 1000);
    QVERIFY(m_pWindow->OpenAndSlice(m_dir.path(), "bracket"));
}

void tst_KzCardSave::badCardKeepsItsOldFile()
{
    KzCardWindow& window = *m_pWindow;
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

// A file on a disk that gives back other bytes: the old file stays and the
// box says why.
void tst_KzCardSave::saveDataIsCheckedToo()
{
    const QString target = m_dir.filePath("chosen.gcode");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old\n") == 4);
    file.close();
    QPushButton* saveData = m_pWindow->Window()->findChild<QPushButton*>("pushButton_SaveData");
    {
        KzSaveAnswers answers(target);
        m_pSpoilReads(1);
        QTest::mouseClick(saveData, Qt::LeftButton);
        m_pSpoilReads(0);
        QVERIFY(m_pSpoiledReads() > 0);
        QCOMPARE(answers.m_listBoxTexts, QStringList{ "Save failed: the file read back differs from what was written, "
                                                      "so the disk may be failing. The old file is unchanged." });
    }
    QCOMPARE(ReadAll(target), QByteArray("old\n"));
    KzSaveAnswers answers(target);
    QTest::mouseClick(saveData, Qt::LeftButton);
    QCOMPARE(answers.m_listBoxTexts, QStringList{ "Save succeed" });
    QCOMPARE(ReadAll(target), ReadAll(KzConfigureData::GetInstance()->GetTmpGcodeFilePath()));
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
