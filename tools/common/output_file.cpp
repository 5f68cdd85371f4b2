#include "tools/common/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace tools {
namespace {

namespace fs = std::filesystem;

std::string system_reason() { return std::strerror(errno); }

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(std::string& error) {
#ifdef SIGXFSZ
    // Past a file-size limit a write should fail with a reason, not end
    // the process with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const fs::path destination(path_);
    const fs::path folder = destination.has_parent_path() ? destination.parent_path()
                                                          : fs::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 100 && stream_ == nullptr; ++attempt) {
        std::string name(1, '.');  // hidden, and named after the file it will become
        name += destination.filename().string();
        name += ".tmp";
        name += std::to_string(random() % 1000000);
        const fs::path candidate = folder / name;
        std::error_code ignored;
        if (fs::exists(candidate, ignored)) continue;
        temporary_ = candidate.string();
        stream_ = std::fopen(temporary_.c_str(), "wb");
        if (stream_ == nullptr) {
            error = "cannot create a file in " + folder.string() + ": " + system_reason();
            temporary_.clear();
            return false;
        }
    }
    if (stream_ == nullptr) {
        error = "cannot find a free temporary name in " + folder.string();
        return false;
    }
    return true;
}

void OutputFile::write(const void* bytes, size_t count) {
    if (!failure_.empty() || stream_ == nullptr) return;
    if (count != 0 && std::fwrite(bytes, 1, count, stream_) != count) failure_ = system_reason();
}

void OutputFile::fail(const std::string& reason) {
    if (failure_.empty()) failure_ = reason;
}

bool OutputFile::commit(std::string& error) {
    if (stream_ == nullptr) {
        error = "the file was never opened";
        return false;
    }
    if (failure_.empty() && std::fflush(stream_) != 0) failure_ = system_reason();
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (failure_.empty() && closed != 0) failure_ = system_reason();
    if (failure_.empty()) {
        std::error_code code;
        fs::rename(temporary_, path_, code);
        if (!code) {
            temporary_.clear();
            return true;
        }
        failure_ = code.message();
    }
    error = failure_;
    discard();
    return false;
}

void OutputFile::discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
    }
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code code;
    const bool same = fs::equivalent(a, b, code);
    return !code && same;
}

bool read_whole_file(const std::string& path, std::string& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = system_reason();
        return false;
    }
    bytes.clear();
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, got);
    const bool ok = std::ferror(f) == 0;
    if (!ok) error = system_reason();
    std::fclose(f);
    return ok;
}

}  // namespace tools
