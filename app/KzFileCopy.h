#ifndef KZFILECOPY_H
#define KZFILECOPY_H

#include <QByteArray>
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
// Before the rename the synced copy is read back and compared, by a 128-bit
// checksum, with the bytes written: a card that returns other bytes than it was given
// (worn or fake flash) keeps its old file. The read goes past the system's
// page cache where the file system lets it (see ReadBack).
//
// The temporary files are named ".<name>.kzvellum-XXXXXX" and are locked while
// they are written. One whose save was killed (a crash, a pulled plug) is
// unlocked; the next save into its folder removes it. Files of other programs,
// and the temporary file of a save still running in another instance, are
// left alone.
class KzFileCopy
{
public:
    enum Result {
        ResultCopied,
        ResultFailed,           // not written (cannot read, cannot write, full)
        ResultReadBackDiffers,  // written, but read back other bytes, or none
    };
    // What the read-back compared.
    enum ReadBack {
        ReadBackNone,           // no check (asked for none, or nothing written)
        ReadBackFromDevice,     // the bytes the device returned
        ReadBackFromCache,      // the file system's own copy: the page cache
                                // could not be dropped (memory file systems),
                                // or a layer below keeps one (FUSE, network)
    };

    // Copies and, with bCheck, reads back before the rename; *pReadBack tells
    // how the check went.
    static Result Copy(const QString& source, const QString& target, ReadBack* pReadBack = nullptr,
                       bool bCheck = true);
    // Copy() with its check; true when copied.
    static bool CopyReplacing(const QString& source, const QString& target);

    // Whether a file name is one of this program's temporary files.
    static bool IsTemporaryName(const QString& name);

private:
    explicit KzFileCopy(const QString& target);
    ~KzFileCopy();

    Result Run(QFile& input, bool bCheck);
    void RemoveStaleTemporaries() const;
    bool CreateTemporary();
    bool Fill(QFile& input, bool bChecksum);
    bool ReadBackMatches();
    bool Commit();

    QString m_strFinalPath;   // the file replaced: the target, its links followed
    QString m_strFolder;
    QByteArray m_strTemporary;
    int m_nWriteFd;
    int m_nLockFd;            // holds the lock until the rename is done
    bool m_bKeepMode;
    mode_t m_nMode;
    qint64 m_nWritten;
    QByteArray m_strWrittenChecksum;  // of the bytes handed to write()
    ReadBack m_nReadBack;
};

#endif // KZFILECOPY_H
