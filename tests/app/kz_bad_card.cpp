// A card that returns other bytes than it was given, for the read-back check
// of a save: preloaded into a test program (after the sanitizer runtime in the
// sanitizer build), it flips one bit of the first byte that each pread() hands
// back from this program's temporary save files (".<name>.kzvellum-XXXXXX")
// while kz_bad_card_set(1) is in force. The write, the sync and every other
// read are the system's own.
#include <atomic>
#include <dlfcn.h>
#include <cstdio>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

extern "C" {

namespace {
std::atomic<int> s_on(0);
std::atomic<int> s_count(0);
}

void kz_bad_card_set(int on)
{
    s_on = on;
}

// How many reads were altered since the last call.
int kz_bad_card_count(void)
{
    return s_count.exchange(0);
}

static bool IsSaveInProgress(int fd)
{
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    const char* name = std::strrchr(path, '/');
    return name && name[1] == '.' && std::strstr(name, ".kzvellum-") != nullptr;
}

static ssize_t Spoil(int fd, void* buffer, ssize_t n)
{
    if (s_on && n > 0 && IsSaveInProgress(fd)) {
        static_cast<unsigned char*>(buffer)[0] ^= 0x20;
        ++s_count;
    }
    return n;
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static ssize_t (*real)(int, void*, size_t, off_t);
    if (!real)
        real = reinterpret_cast<ssize_t (*)(int, void*, size_t, off_t)>(dlsym(RTLD_NEXT, "pread"));
    return Spoil(fd, buffer, real(fd, buffer, count, offset));
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset)
{
    static ssize_t (*real)(int, void*, size_t, off64_t);
    if (!real)
        real = reinterpret_cast<ssize_t (*)(int, void*, size_t, off64_t)>(dlsym(RTLD_NEXT, "pread64"));
    return Spoil(fd, buffer, real(fd, buffer, count, offset));
}

} // extern "C"
