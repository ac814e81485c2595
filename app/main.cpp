#include "KzVellum.h"

#include <QApplication>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // Compiling a large model's display lists makes Mesa allocate and free
    // blocks of a few hundred kB to a few MB per list; by default glibc maps
    // each afresh and trims the heap after it, so every list pays for new
    // zeroed pages. Kept on the heap and reused, opening a model is faster.
    // Process-wide policy: set once by the program, before anything allocates.
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
