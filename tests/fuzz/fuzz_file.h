// The loaders read files by path: each input is written into one in-memory
// file (memfd) and handed over as /proc/self/fd/N, so fuzzing touches no disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline const char* FuzzFile(const uint8_t* data, size_t size) {
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = memfd_create("fuzz-input", 0);
        if (fd < 0) std::abort();
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0 || (size && pwrite(fd, data, size, 0) != ssize_t(size))) std::abort();
    return path;
}
