// Saving a G-code file as the program saves it to the card, timed:
//   kz_card_bench generate <file> <megabytes>   writes a G-code of that size
//   kz_card_bench save <source> <target> checked|unchecked
// prints "<seconds> <read-back>" for one save over the target (it replaces
// the file the previous run left), the read-back being what the check
// compared: device, cache or none.
#include "KzFileCopy.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

// Moves and extrusions along a zig-zag, one layer after another: the mix of
// lines a slicer writes.
bool Generate(const char* path, qint64 megabytes)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 size = megabytes << 20;
    QByteArray chunk;
    double e = 0;
    for (int layer = 0; file.size() < size; ++layer) {
        chunk = ";LAYER:" + QByteArray::number(layer) + "\nG0 F7200 X10 Y10 Z" + QByteArray::number(0.2 * (layer + 1), 'f', 2) + "\n";
        for (int i = 0; i < 2000; ++i) {
            e += 0.03321;
            chunk += "G1 F1800 X" + QByteArray::number(10 + (i % 2) * 180.0 + i * 0.013, 'f', 3) + " Y"
                     + QByteArray::number(10 + i * 0.09, 'f', 3) + " E" + QByteArray::number(e, 'f', 5) + "\n";
        }
        if (file.write(chunk) != chunk.size())
            return false;
    }
    return file.resize(size);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "generate") == 0)
        return Generate(argv[2], QByteArray(argv[3]).toLongLong()) ? 0 : 1;
    if (argc != 5 || std::strcmp(argv[1], "save") != 0) {
        std::fprintf(stderr, "usage: kz_card_bench generate <file> <MB> | save <source> <target> checked|unchecked\n");
        return 2;
    }
    const bool checked = std::strcmp(argv[4], "checked") == 0;
    KzFileCopy::ReadBack readBack = KzFileCopy::ReadBackNone;
    QElapsedTimer timer;
    timer.start();
    const KzFileCopy::Result result = KzFileCopy::Copy(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                                       &readBack, checked);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (result != KzFileCopy::ResultCopied)
        return 1;
    const char* const names[] = { "none", "device", "cache" };
    std::printf("%.3f %s\n", seconds, names[readBack]);
    return 0;
}
