#include "KzConfigureData.h"
#include "KzMachineFileCheck.h"
#include "KzSliceFileCheck.h"
#include "KzVellum.h"

#include <QApplication>
#include <QDir>

#include <climits>
#include <cstring>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The program finds "Configure/" and "Engine/" relative to the working folder,
// and the core library reads "Configure/basic.xml" while it loads, before
// main() runs. Functions in an executable's pre-initialisation array run
// before the initialisers of any library it links, so the program makes its
// own folder the working folder there: started from a desktop launcher or from
// a shell elsewhere, it still finds its files. Only the program does this;
// test programs keep the working folder they are started in.
void EnterProgramFolder(int, char**, char**)
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return;
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        return;
    *(slash == path ? slash + 1 : slash) = '\0';
    // On failure the program stays where it was started; main() logs the
    // folder it works in.
    const int result = chdir(path);
    static_cast<void>(result);
}

__attribute__((section(".preinit_array"), used)) void (*const kEnterProgramFolder)(int, char**, char**) =
    &EnterProgramFolder;

} // namespace

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // Compiling a large model's display lists makes Mesa allocate and free
    // blocks of a few hundred kB to a few MB per list; by default glibc maps
    // each afresh and trims the heap after it, so every list pays for new
    // zeroed pages. Kept on the heap and reused, opening a model is faster.
    // Process-wide policy, so the program sets it, once, before its window.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    QApplication app(argc, argv);
    int result = 0;
    {
        // The window goes before the application object.
        KzVellum window(nullptr);
        window.show();
        qInfo("KzVellum: working folder %s, machine %s", qPrintable(QDir::currentPath()),
              qPrintable(KzConfigureData::GetInstance()->GetCurrentMachineName()));
        KzMachineFileCheck::ReportAtStart(&window);
        KzSliceFileCheck::CheckAndReport(&window);
        result = app.exec();
    }
    return result;
}
