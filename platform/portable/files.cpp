// Files for reading, on stdio.
#include <cstdio>

#include "platform/portable/portable.h"

PfFile pf_file_open_read(const char* name) {
    if (name == nullptr) return nullptr;
    return reinterpret_cast<PfFile>(std::fopen(name, "rb"));
}

void pf_file_read(PfFile file, void* to, uint32_t bytes, uint32_t* transferred) {
    size_t got = 0;
    if (file != nullptr && to != nullptr)
        got = std::fread(to, 1, bytes, reinterpret_cast<std::FILE*>(file));
    if (transferred != nullptr) *transferred = static_cast<uint32_t>(got);
}

void pf_file_seek(PfFile file, int32_t offset, int32_t origin) {
    if (file == nullptr) return;
    std::fseek(reinterpret_cast<std::FILE*>(file), offset,
               origin == PF_SEEK_END ? SEEK_END : SEEK_SET);
}

void pf_file_close(PfFile file) {
    if (file != nullptr) std::fclose(reinterpret_cast<std::FILE*>(file));
}
