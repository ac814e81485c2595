#ifndef KZFILECOPY_H
#define KZFILECOPY_H

#include <QString>

#include <sys/types.h>

class QFile;

// Copies a file so that the target is either the old file or the whole new
// one, never a torn mix: the copy goes to a hidden temporary file in the
// target's folder, is flushed to the device and checked for its size, and
// only then renamed over the target. A full or pulled card thus keeps the
// file it had, and no temporary file is left behind on any failure.
//
// A symbolic link at the target stays a link: the file it leads to is the one
// replaced. A file that is replaced keeps its permissions.
//
// The temporary files are named ".<name>.kzvellum-XXXXXX" and are locked while
// they are written. One whose save was killed (a crash, a pulled plug) is
// unlocked; the next save into its folder removes it. Files of other programs,
// and the temporary file of a save still running in another instance, are
// left alone.
class KzFileCopy
{
public:
    static bool CopyReplacing(const QString& source, const QString& target);

    // Whether a file name is one of this program's temporary files.
    static bool IsTemporaryName(const QString& name);

private:
    explicit KzFileCopy(const QString& target);
    ~KzFileCopy();

    bool Run(QFile& input);
    void RemoveStaleTemporaries() const;
    bool CreateTemporary();
    bool Fill(QFile& input);
    bool Commit();

    QString m_strFinalPath;   // the file replaced: the target, its links followed
    QString m_strFolder;
    QByteArray m_strTemporary;
    int m_nWriteFd;
    int m_nLockFd;            // holds the lock until the rename is done
    bool m_bKeepMode;
    mode_t m_nMode;
};

#endif // KZFILECOPY_H
