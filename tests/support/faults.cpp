// Preloaded into the program by run cases (`fault ...`): system calls that
// fail or are followed by a signal, as CXL2XHTML_FAULTS says, each word one
// of:
//   close-unnamed         every close() of a file without a name (a page
//                         written aside) fails with EIO after closing it,
//                         as a network file system may report a write it
//                         could not complete;
//   read:NAME:K           the K-th read() of the file whose path ends in
//                         NAME fails with EIO (K "end": the read that finds
//                         the end);
//   raise:SIG:CALL:K      right after the K-th CALL (link, linkat, unlink,
//                         fsync), signal SIG is raised: an interruption at
//                         that very moment, whatever the machine's speed.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* faults() {
    const char* text = std::getenv("CXL2XHTML_FAULTS");
    return text == nullptr ? "" : text;
}

// The path behind `fd`.
bool pathOf(int fd, char* path, std::size_t size) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, size - 1);
    path[length > 0 ? length : 0] = '\0';
    return length > 0;
}

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Counts calls of `call` and raises what a "raise" word asks after the
// count it names.
void afterCall(const char* call) {
    static int counts[8];
    static const char* const kCalls[] = {"link", "linkat", "unlink", "fsync"};
    int which = 0;
    while (std::strcmp(kCalls[which], call) != 0) ++which;
    const int count = ++counts[which];
    char pattern[64];
    for (const char* at = std::strstr(faults(), "raise:"); at != nullptr; at = std::strstr(at + 1, "raise:")) {
        int signal = 0;
        int k = 0;
        std::snprintf(pattern, sizeof pattern, "raise:%%d:%s:%%d", call);
        if (std::sscanf(at, pattern, &signal, &k) == 2 && k == count) raise(signal);
    }
}

}  // namespace

extern "C" int close(int fd) {
    char path[4096];
    const bool unnamed = std::strstr(faults(), "close-unnamed") != nullptr && pathOf(fd, path, sizeof path) &&
                         std::strstr(path, "(deleted)") != nullptr;
    const int result = real<int (*)(int)>("close")(fd);
    if (!unnamed || result != 0) return result;
    errno = EIO;
    return -1;
}

extern "C" ssize_t read(int fd, void* into, size_t size) {
    const ssize_t got = real<ssize_t (*)(int, void*, size_t)>("read")(fd, into, size);
    const char* word = std::strstr(faults(), "read:");
    char path[4096];
    if (word == nullptr || !pathOf(fd, path, sizeof path)) return got;
    char name[256] = {};
    char which[16] = {};
    if (std::sscanf(word, "read:%255[^:]:%15s", name, which) != 2) return got;
    const std::size_t pathLength = std::strlen(path);
    const std::size_t nameLength = std::strlen(name);
    if (pathLength < nameLength || std::strcmp(path + pathLength - nameLength, name) != 0) return got;
    static int reads = 0;
    ++reads;
    static bool failed = false;
    const bool fail = std::strcmp(which, "end") == 0 ? got == 0 && !failed : std::atoi(which) == reads;
    if (!fail) return got;
    failed = true;
    errno = EIO;
    return -1;
}

extern "C" int link(const char* from, const char* to) {
    const int result = real<int (*)(const char*, const char*)>("link")(from, to);
    afterCall("link");
    return result;
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    const int result = real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFolder, from, toFolder, to, flags);
    afterCall("linkat");
    return result;
}

extern "C" int unlink(const char* path) {
    const int result = real<int (*)(const char*)>("unlink")(path);
    afterCall("unlink");
    return result;
}

extern "C" int fsync(int fd) {
    const int result = real<int (*)(int)>("fsync")(fd);
    afterCall("fsync");
    return result;
}
