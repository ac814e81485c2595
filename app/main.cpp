#include "KzVellum.h"

#include <QApplication>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // Compiling the display lists of a large mesh makes Mesa allocate and free
    // buffers of a few hundred kB to a few MB per list. By default glibc maps
    // each of them afresh and trims the heap after it, so every list pays for
    // new zeroed pages again. Serving them from the heap and keeping up to
    // 64 MiB of freed memory for reuse makes opening a model markedly faster
    // and frame times steadier. Done here, once, before anything allocates:
    // it is the program's policy, not the libraries'.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    QApplication app(argc, argv);
    int result = 0;
    {
        // The window goes before the application object.
        KzVellum window(nullptr);
        window.show();
        result = app.exec();
    }
    return result;
}
