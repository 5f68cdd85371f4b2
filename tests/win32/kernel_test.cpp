// The kernel wrappers: global memory blocks and file reading.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/win32/win32_handles.h"

namespace {

// Both kinds start zeroed and are known by their address; a fixed block's
// handle is its address.
TEST(GlobalMemory, BlocksAreZeroedAndKnownByAddress) {
    for (const auto& [flags, size] : {std::pair{PF_MEM_MOVEABLE, 1064}, {PF_MEM_FIXED, 4096}}) {
        const PfMem block = pf_mem_alloc(flags | PF_MEM_ZEROINIT, static_cast<size_t>(size));
        ASSERT_NE(block, nullptr) << flags;
        auto* p = static_cast<uint8_t*>(pf_mem_lock(block));
        ASSERT_NE(p, nullptr);
        if (flags == PF_MEM_FIXED) {
            EXPECT_EQ(static_cast<void*>(p), static_cast<void*>(block));
        }
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p), static_cast<size_t>(size)),
                  std::string(static_cast<size_t>(size), '\0'));
        EXPECT_EQ(pf_mem_handle(p), block);
        pf_mem_unlock(block);
        pf_mem_free(pf_mem_handle(p));
    }
}

TEST(Files, ReadSeekFromEitherEndCloseAndMissingFiles) {
    char dir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
    const std::string path = std::string(dir) + "gx_win32_test_" +
                             std::to_string(GetCurrentProcessId()) + ".bin";
    const HANDLE w = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                 nullptr);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(w, "0123456789", 10, &written, nullptr);
    CloseHandle(w);
    ASSERT_EQ(written, 10u);

    const PfFile f = pf_file_open_read(path.c_str());
    ASSERT_NE(f, nullptr);
    char buf[16] = {};
    uint32_t got = 99;
    const auto read = [&](uint32_t bytes) {
        pf_file_read(f, buf, bytes, &got);
        return std::string(buf, got);
    };
    EXPECT_EQ(read(4), "0123");
    pf_file_seek(f, -3, PF_SEEK_END);
    EXPECT_EQ(read(8), "789");  // only three remain
    EXPECT_EQ(read(8), "");
    pf_file_seek(f, 2, PF_SEEK_BEGIN);
    EXPECT_EQ(read(3), "234");
    pf_file_close(f);
    EXPECT_TRUE(DeleteFileA(path.c_str()));  // closed: the file can be deleted at once
    EXPECT_EQ(pf_file_open_read((path + ".missing").c_str()), nullptr);
}

}  // namespace
