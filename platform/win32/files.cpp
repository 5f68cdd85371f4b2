// Reading files with the kernel's file handles.
#include "platform/win32/win32_handles.h"

static_assert(PF_SEEK_BEGIN == FILE_BEGIN);
static_assert(PF_SEEK_END == FILE_END);

PfFile pf_file_open_read(const char* name) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : pf_from_hfile(file);
}

void pf_file_read(PfFile file, void* to, uint32_t bytes, uint32_t* transferred) {
    DWORD count = 0;
    ReadFile(hfile_from_pf(file), to, bytes, &count, nullptr);
    *transferred = count;
}

void pf_file_seek(PfFile file, int32_t offset, int32_t origin) {
    SetFilePointer(hfile_from_pf(file), offset, nullptr, static_cast<DWORD>(origin));
}

void pf_file_close(PfFile file) { CloseHandle(hfile_from_pf(file)); }
