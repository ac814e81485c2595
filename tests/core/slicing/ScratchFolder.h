#ifndef SCRATCHFOLDER_H
#define SCRATCHFOLDER_H

#include "KzDataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A temporary folder that is the data folder while the object lives (its
// "Configure/" and "Engine/" are the program's), and the working folder, so
// that a test writes them by relative paths.
class ScratchFolder
{
public:
    ScratchFolder() : m_strOldCurrent(QDir::currentPath()), m_strOldData(KzDataFolder::GetPath())
    {
        if (m_folder.isValid()) {
            QDir::setCurrent(m_folder.path());
            KzDataFolder::Use(m_folder.path());
        }
    }
    ~ScratchFolder()
    {
        QDir::setCurrent(m_strOldCurrent);
        KzDataFolder::Use(m_strOldData);
    }

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
    QString m_strOldData;
    QTemporaryDir m_folder;
};

#endif // SCRATCHFOLDER_H
