#ifndef SCRATCHFOLDER_H
#define SCRATCHFOLDER_H

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A temporary folder that is the working folder while the object lives, as the
// program's own folder is when it runs: "Configure/" and "Engine/" are looked
// up relative to it.
class ScratchFolder
{
public:
    ScratchFolder() : m_strOldCurrent(QDir::currentPath())
    {
        if (m_folder.isValid())
            QDir::setCurrent(m_folder.path());
    }
    ~ScratchFolder() { QDir::setCurrent(m_strOldCurrent); }

    bool IsValid() const { return m_folder.isValid() && QDir::currentPath() == QDir(m_folder.path()).canonicalPath(); }
    QString Path() const { return m_folder.path(); }
    QString FilePath(const QString &name) const { return m_folder.filePath(name); }

    // Writes a file below the folder, making its folders; a test failure if it cannot.
    static void WriteFile(const QString &path, const QByteArray &content)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

private:
    QString m_strOldCurrent;
    QTemporaryDir m_folder;
};

#endif // SCRATCHFOLDER_H
