// Writing an output file without ever leaving a damaged one: the bytes go to
// a temporary file in the destination's folder, which is renamed over the
// destination only when everything was written and closed. On any failure
// the temporary file is removed and the old destination stays as it was.
#pragma once

#include <cstdio>
#include <string>

namespace tools {

class OutputFile {
public:
    explicit OutputFile(std::string path) : path_(std::move(path)) {}
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file. False, with `error` set to the system's
    // reason, when it cannot be created.
    bool open(std::string& error);
    std::FILE* stream() const { return stream_; }
    // Writes bytes; a failure is remembered with its reason for commit().
    void write(const void* bytes, size_t count);
    // Marks the output as failed for a reason found by the caller.
    void fail(const std::string& reason);
    // Closes the temporary file and renames it into place. False, with
    // `error` set, when any step failed; the temporary file is then gone.
    bool commit(std::string& error);

private:
    void discard();

    std::string path_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    std::string failure_;
};

// True when both paths name one existing file, also through links.
bool same_file(const std::string& a, const std::string& b);

// Reads a whole file into `bytes`. False, with `error` set, when it cannot.
bool read_whole_file(const std::string& path, std::string& bytes, std::string& error);

}  // namespace tools
