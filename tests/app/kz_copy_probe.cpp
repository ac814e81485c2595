// Saves one file as the program does, so that a test can kill a save in the
// middle: kz_copy_probe <source> <target>.
#include "KzFileCopy.h"

#include <QString>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    return KzFileCopy::CopyReplacing(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
