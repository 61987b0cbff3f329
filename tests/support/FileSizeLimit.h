#pragma once

#include <sys/resource.h>

// A full disk without a disk: while an object lives, no file of this process may grow past
// the given size, so a write beyond it fails with EFBIG the way it would with ENOSPC. Works as
// root too, where permissions never fail and a small tmpfs may not be mountable. SIGXFSZ is
// ignored meanwhile, or the first refused write would end the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
