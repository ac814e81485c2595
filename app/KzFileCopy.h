#ifndef KZFILECOPY_H
#define KZFILECOPY_H

#include <QString>

// Copies a file so that the target is either the old file or the whole new
// one, never a torn mix: the copy goes to a hidden temporary file in the
// target's folder, is flushed to the device and checked for its size, and
// only then renamed over the target. A full or pulled card thus keeps the
// file it had, and no temporary file is left behind on any failure.
class KzFileCopy
{
public:
    static bool CopyReplacing(const QString& source, const QString& target);
};

#endif // KZFILECOPY_H
