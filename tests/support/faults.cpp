// Preloaded by run cases (`fault WORD`): system calls that fail, or what
// follows them, as the words of CXL2XHTML_FAULTS say:
//   close-unnamed     closing an unnamed page fails with EIO, as on NFS;
//   fsync-fails       every flush to the disk fails with EIO;
//   read:NAME:K       the K-th read of the file whose path ends in NAME
//                     fails with EIO (K "end": the read that finds its end);
//   raise:SIG:CALL:K  signal SIG right after the K-th CALL (link, linkat,
//                     unlink, fsync, renameat2, or flush1: a flush of
//                     standard output),
//                     an interruption at that very moment on any machine;
//   take:NAME:CALL:K  another program creates NAME right after the K-th CALL;
//   no-unnamed-files, no-renameat2  the file system cannot make unnamed files (O_TMPFILE), or rename without replacing;
//   strdup:TEXT       every copy of TEXT fails, as when memory runs out;
//   new:BYTES         every array of BYTES bytes that C++ allocates fails so.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace {

const char* faults() { return std::getenv("CXL2XHTML_FAULTS") != nullptr ? std::getenv("CXL2XHTML_FAULTS") : ""; }

// What follows `name` (such as "new:") in the words, or null.
const char* valueOf(const char* name) { return std::strstr(faults(), name) != nullptr ? std::strstr(faults(), name) + std::strlen(name) : nullptr; }

std::string_view pathOf(int fd, char (&path)[4096]) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return {path, static_cast<std::size_t>(length > 0 ? length : 0)};
}

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Counts the calls of `call` and does what a word names for this count;
// gives back the call's result, and its errno as it was.
int after(const char* call, int result) {
    const int error = errno;
    static int counts[6];
    static const char* const kCalls[] = {"link", "linkat", "unlink", "fsync", "flush1", "renameat2"};
    int which = 0;
    while (std::strcmp(kCalls[which], call) != 0) ++which;
    const int count = ++counts[which];
    char words[4096], *rest = nullptr;
    std::snprintf(words, sizeof words, "%s", faults());
    for (char* word = strtok_r(words, " ", &rest); word != nullptr; word = strtok_r(nullptr, " ", &rest)) {
        char action[8] = {}, what[256] = {}, when[16] = {};
        int k = 0;
        if (std::sscanf(word, "%7[a-z]:%255[^:]:%15[^:]:%d", action, what, when, &k) != 4 || std::strcmp(when, call) != 0 || k != count) continue;
        if (std::strcmp(action, "raise") == 0) raise(std::atoi(what));
        const int fd = std::strcmp(action, "take") == 0 ? real<int (*)(const char*, int, ...)>("open")(what, O_WRONLY | O_CREAT | O_EXCL, 0644) : -1;
        if (fd >= 0) real<ssize_t (*)(int, const void*, size_t)>("write")(fd, "someone else's", 14), close(fd);
    }
    errno = error;
    return result;
}

}  // namespace

extern "C" int close(int fd) {
    char path[4096];
    const bool unnamed = std::strstr(faults(), "close-unnamed") != nullptr && pathOf(fd, path).ends_with("(deleted)");
    const int result = real<int (*)(int)>("close")(fd);
    return !unnamed || result != 0 ? result : (errno = EIO, -1);
}

extern "C" int open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const auto mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    if ((flags & O_TMPFILE) == O_TMPFILE && std::strstr(faults(), "no-unnamed-files") != nullptr) return errno = EOPNOTSUPP, -1;
    return real<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

extern "C" ssize_t read(int fd, void* into, size_t size) {
    const ssize_t got = real<ssize_t (*)(int, void*, size_t)>("read")(fd, into, size);
    char name[256] = {}, which[16] = {}, path[4096];
    const char* word = std::strstr(faults(), "read:");
    if (word == nullptr || std::sscanf(word, "read:%255[^:]:%15s", name, which) != 2 || !pathOf(fd, path).ends_with(name)) {
        return got;
    }
    static int reads = 0;
    static bool failed = false;
    if (failed || (std::strcmp(which, "end") == 0 ? got != 0 : std::atoi(which) != ++reads)) return got;
    failed = true;
    return errno = EIO, -1;
}

extern "C" int fflush(FILE* stream) {
    const int result = real<int (*)(FILE*)>("fflush")(stream);
    return stream == stdout ? after("flush1", result) : result;
}

extern "C" int fsync(int fd) {
    return after("fsync", std::strstr(faults(), "fsync-fails") != nullptr ? (errno = EIO, -1) : real<int (*)(int)>("fsync")(fd));
}

extern "C" int link(const char* from, const char* to) {
    return after("link", real<int (*)(const char*, const char*)>("link")(from, to));
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    return after("linkat", real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFolder, from, toFolder, to, flags));
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    return after("renameat2", std::strstr(faults(), "no-renameat2") != nullptr ? (errno = EINVAL, -1) : real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromFolder, from, toFolder, to, flags));
}

extern "C" int unlink(const char* path) {
    return after("unlink", real<int (*)(const char*)>("unlink")(path));
}

extern "C" char* strdup(const char* text) {
    const char* copied = valueOf("strdup:");
    return copied != nullptr && std::string_view(copied, std::strcspn(copied, " ")) == text ? (errno = ENOMEM, nullptr) : real<char* (*)(const char*)>("strdup")(text);
}

void* operator new[](std::size_t size) {
    if (valueOf("new:") != nullptr && std::strtoull(valueOf("new:"), nullptr, 10) == size) throw std::bad_alloc();
    return real<void* (*)(std::size_t)>("_Znam")(size);
}
