// The kernel wrappers: global memory blocks and file reading.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/win32/win32_handles.h"

namespace {

// Both kinds start zeroed and are known by their address; a fixed block's
// handle is its address.
TEST(GlobalMemory, BlocksAreZeroedAndKnownByAddress) {
    for (const auto& [flags, size] :
         {std::pair{PF_MEM_MOVEABLE, 1064}, std::pair{PF_MEM_FIXED, 4096}}) {
        SCOPED_TRACE(flags);
        const PfMem block = pf_mem_alloc(flags | PF_MEM_ZEROINIT, static_cast<size_t>(size));
        ASSERT_NE(block, nullptr);
        auto* p = static_cast<uint8_t*>(pf_mem_lock(block));
        ASSERT_NE(p, nullptr);
        if (flags == PF_MEM_FIXED) {
            EXPECT_EQ(static_cast<void*>(p), static_cast<void*>(block));
        }
        for (int i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << i;
        EXPECT_EQ(pf_mem_handle(p), block);
        pf_mem_unlock(block);
        pf_mem_free(pf_mem_handle(p));
    }
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
        path_ = std::string(dir) + "gx_win32_test_" + std::to_string(GetCurrentProcessId()) +
                ".bin";
        const HANDLE f = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                     nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, "0123456789", 10, &written, nullptr);
        CloseHandle(f);
        ASSERT_EQ(written, 10u);
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }
    std::string path_;
};

TEST_F(Files, ReadSeekFromEitherEndCloseAndMissingFiles) {
    const PfFile f = pf_file_open_read(path_.c_str());
    ASSERT_NE(f, nullptr);
    char buf[16] = {};
    uint32_t got = 99;
    pf_file_read(f, buf, 4, &got);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    pf_file_seek(f, -3, PF_SEEK_END);
    pf_file_read(f, buf, 8, &got);  // only three remain
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buf, 3), "789");
    pf_file_read(f, buf, 8, &got);
    EXPECT_EQ(got, 0u);
    pf_file_seek(f, 2, PF_SEEK_BEGIN);
    pf_file_read(f, buf, 3, &got);
    EXPECT_EQ(std::string(buf, got), "234");
    pf_file_close(f);
    // Closed: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileA(path_.c_str()));
    EXPECT_EQ(pf_file_open_read((path_ + ".missing").c_str()), nullptr);
}

}  // namespace
