#include "app/texture.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "gfx/gfx.h"

namespace {

namespace fs = std::filesystem;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A file in the same folder whose name differs from the path's only in
// letter case, or empty.
std::string other_case_of(const fs::path& path) {
    std::error_code code;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string wanted = lower(path.filename().string());
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (lower(name) == wanted && name != path.filename().string()) return name;
    }
    return "";
}

std::string cannot_open_reason(const std::string& path) {
    std::error_code code;
    const fs::path p(path);
    if (fs::is_directory(p, code)) return "it is a folder, not a file";
    if (!fs::exists(p, code)) {
        const std::string other = other_case_of(p);
        if (!other.empty())
            return "there is no such file (there is '" + other +
                   "', but names differ in letter case here: rename it or name it with --texture)";
        return "there is no such file";
    }
    errno = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return "it cannot be opened";
    }
    return std::string("it cannot be opened: ") + std::strerror(errno);
}

std::string not_pcx_reason(const std::string& path) {
    std::error_code code;
    if (fs::is_directory(path, code)) return "it is a folder, not a file";
    const auto size = fs::file_size(path, code);
    if (!code && size == 0) return "the file is empty";
    if (!code && size < 128) return "the file is too short to be a PCX image";
    return "it is not a PCX image";
}

}  // namespace

std::string default_texture_path(const std::string& program_folder) {
    std::error_code code;
    if (fs::exists(default_texture_name, code) || program_folder.empty())
        return default_texture_name;
    const fs::path beside = fs::path(program_folder) / default_texture_name;
    return fs::is_regular_file(beside, code) ? beside.string() : default_texture_name;
}

std::string texture_problem(const std::string& path, int32_t result) {
    std::string reason;
    switch (result) {
        case GX_PCX_OK: return "";
        case GX_PCX_CANNOT_OPEN: reason = cannot_open_reason(path); break;
        case GX_PCX_NOT_PCX: reason = not_pcx_reason(path); break;
        case GX_PCX_NO_CONVERTER:
            reason =
                "its header describes no image that can be read (planes, bits per pixel or size)";
            break;
        case GX_PCX_NO_MEMORY: reason = "there is not enough memory to read it"; break;
        case GX_PCX_TRUNCATED: return "the texture image '" + path + "' ends before its last row.";
        default: reason = "reading it failed with result " + std::to_string(result); break;
    }
    return "cannot use the texture image '" + path + "': " + reason + ".";
}

std::string texture_fallback(int32_t result) {
    return result == GX_PCX_TRUNCATED ? "The cube shows the part that was read."
                                      : "The cube is drawn without textures.";
}
