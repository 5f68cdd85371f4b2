// cube-render: renders the cube program's picture without a window.
//
// It runs the program's own start-up in the current directory (reading
// ./CUBE.PCX or the --texture image), then idle turns of the program's frame
// step with the keys of a script held down, and writes the virtual buffer as
// it stands at the end.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/scene.h"
#include "app/shell.h"
#include "app/texture.h"
#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "gfx/version.h"
#include "platform/headless/headless.h"
#include "tools/common/command_line.h"
#include "tools/common/output_file.h"

#if TOOL_HAS_PNG
#include <png.h>
#endif

namespace {

constexpr int EXIT_FAILURE_TO_RUN = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;

// Turns per group, and in all.
constexpr unsigned long long MOST_TURNS = 1000000000ULL;
constexpr unsigned long long MOST_TOTAL_TURNS = 10000000000ULL;

// Runs longer than this show their progress, refreshed at this interval.
constexpr auto PROGRESS_AFTER = std::chrono::seconds(2);
constexpr auto PROGRESS_EVERY = std::chrono::milliseconds(500);

constexpr char USAGE[] =
    "usage: cube-render [--keys SCRIPT] [--flags N] [--bpp 16|24|32]\n"
    "                   [--texture FILE] [--allow-missing-texture] --out FILE\n"
    "\n"
    "Renders the cube program's picture without a window. The program's start-up\n"
    "runs in the current directory and reads the textures from ./CUBE.PCX (or\n"
    "--texture FILE); then the program's frame step runs once per turn with the\n"
    "keys of SCRIPT held down, and the 640 x 480 picture is written as it stands\n"
    "after the last turn.\n"
    "\n"
    "  --keys SCRIPT  groups separated by spaces, each KEYS or KEYS*N: N turns\n"
    "                 (1 to 1000000000, default 1) with exactly those keys held;\n"
    "                 at most 10000000000 turns in all. KEYS is key names\n"
    "                 joined by '+', or 'none'. Names (scan codes):\n"
    "                   kpminus (74)  move away       kpplus (78)  move nearer\n"
    "                   left (75)  right (77)  up (72)  down (80)   move\n"
    "                   x (45)  y (21)  z (44)         turn about an axis\n"
    "                   lshift (42)  rshift (54)       turn the other way\n"
    "                 Without --keys: one turn with no key (the first frame).\n"
    "                 Example: --keys \"x*10 lshift+y*5 none\"\n"
    "  --flags N      render flags set after start-up in place of 13\n"
    "                 (1 perspective, 4 depth buffer, 8 near-plane clipping)\n"
    "  --bpp B        bits per pixel of the buffer: 16 (default), 24 or 32\n"
    "  --texture FILE the PCX image the textures are cut from (default CUBE.PCX)\n"
    "  --allow-missing-texture\n"
    "                 when the image cannot be used, say so and render the cube\n"
    "                 without (or with partial) textures instead of stopping\n"
    "  --out FILE     FILE.png: 8-bit RGB picture (5-6-5 widened by bit\n"
    "                 replication); FILE.raw: the buffer's bytes, top row first,\n"
    "                 640 pixels a row, B/8 bytes a pixel in the buffer's own\n"
    "                 format (16: 5-6-5 little-endian; 24: blue, green, red;\n"
    "                 32: 0x00RRGGBB little-endian). The ending may be in any\n"
    "                 letter case. The file is written beside its place and\n"
    "                 renamed into place when complete.\n"
    "  -h, --help     this text\n"
    "  --version      the version\n"
    "\n"
    "Options take their value as '--bpp 24' or '--bpp=24', each at most once.\n"
    "A turn that draws takes a few milliseconds; runs longer than two seconds\n"
    "show their progress on stderr, and Ctrl-C stops a run without writing.\n"
    "\n"
    "Exit status: 0 written; 1 the texture cannot be used (without\n"
    "--allow-missing-texture) or the picture cannot be written; 2 usage error;\n"
    "130 stopped by Ctrl-C.\n";

struct KeyName {
    const char* name;
    uint32_t scan_code;
};

constexpr KeyName KEY_NAMES[] = {
    {"kpminus", KEY_PAD_MINUS},
    {"kpplus", KEY_PAD_PLUS},
    {"left", KEY_LEFT},
    {"right", KEY_RIGHT},
    {"up", KEY_UP},
    {"down", KEY_DOWN},
    {"x", KEY_X},
    {"y", KEY_Y},
    {"z", KEY_Z},
    {"lshift", KEY_LEFT_SHIFT},
    {"rshift", KEY_RIGHT_SHIFT},
};

// Turns of the frame step with one set of keys held.
struct Group {
    std::vector<uint32_t> keys;
    unsigned long long turns = 1;
};

struct Options {
    std::vector<Group> script;
    bool set_flags = false;
    uint32_t flags = 0;
    int32_t bpp = 16;
    std::string out;
    bool png = false;
    std::string texture = default_texture_name;
    bool allow_missing_texture = false;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "cube-render: %s\n", message.c_str());
    std::exit(EXIT_FAILURE_TO_RUN);
}

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "cube-render: %s\nTry 'cube-render --help'.\n", message.c_str());
    std::exit(EXIT_USAGE);
}

// A whole decimal number from lo to hi, or false.
bool parse_number(const std::string& text, unsigned long long lo, unsigned long long hi,
                  unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v < lo || v > hi) return false;
    *value = v;
    return true;
}

Group parse_group(const std::string& text) {
    Group group;
    std::string keys = text;
    const size_t star = text.find('*');
    if (star != std::string::npos) {
        keys = text.substr(0, star);
        unsigned long long turns = 0;
        if (!parse_number(text.substr(star + 1), 1, MOST_TURNS, &turns)) {
            usage_error("bad turn count in '" + text +
                        "': N must be a whole number from 1 to 1000000000");
        }
        group.turns = turns;
    }
    if (keys == "none") return group;
    size_t start = 0;
    for (;;) {
        const size_t plus = keys.find('+', start);
        const std::string name = keys.substr(start, plus - start);
        bool known = false;
        for (const KeyName& k : KEY_NAMES) {
            if (name == k.name) {
                group.keys.push_back(k.scan_code);
                known = true;
            }
        }
        if (!known) {
            usage_error("unknown key '" + name + "' in '" + text +
                        "' (keys: kpminus kpplus left right up down x y z lshift rshift, or none)");
        }
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return group;
}

std::vector<Group> parse_script(const std::string& script) {
    std::vector<Group> groups;
    size_t pos = 0;
    const char* space = " \t\r\n";
    while ((pos = script.find_first_not_of(space, pos)) != std::string::npos) {
        const size_t end = script.find_first_of(space, pos);
        groups.push_back(parse_group(script.substr(pos, end - pos)));
        pos = end;
    }
    if (groups.empty()) usage_error("the key script is empty");
    unsigned long long total = 0;
    for (const Group& g : groups)
        total += g.turns;  // far from overflowing: each group is at most 2^30
    if (total > MOST_TOTAL_TURNS)
        usage_error("the key script has more than 10000000000 turns in all");
    return groups;
}

Options parse_options(int argc, char** argv) {
    tools::CommandLine line;
    std::string error;
    if (!line.parse(argc, argv,
                    {{"--help", false},
                     {"--version", false},
                     {"--keys", true},
                     {"--flags", true},
                     {"--bpp", true},
                     {"--out", true},
                     {"--texture", true},
                     {"--allow-missing-texture", false}},
                    error)) {
        usage_error(error);
    }
    if (line.has("--help")) {
        std::fputs(USAGE, stdout);
        std::exit(0);
    }
    if (line.has("--version")) {
        std::printf("cube-render %s\n", GX_VERSION);
        std::exit(0);
    }
    if (!line.operands().empty()) usage_error("unknown argument '" + line.operands().front() + "'");
    Options options;
    if (line.has("--keys")) {
        options.script = parse_script(line.value("--keys"));
    } else {
        options.script.push_back(Group{});
    }
    if (line.has("--flags")) {
        unsigned long long flags = 0;
        if (!parse_number(line.value("--flags"), 0, UINT32_MAX, &flags)) {
            usage_error("--flags needs a whole number from 0 to 4294967295");
        }
        options.flags = static_cast<uint32_t>(flags);
        options.set_flags = true;
    }
    const std::string bpp = line.value("--bpp", "16");
    if (bpp != "16" && bpp != "24" && bpp != "32") usage_error("--bpp must be 16, 24 or 32");
    options.bpp = static_cast<int32_t>(std::atoi(bpp.c_str()));
    options.texture = line.value("--texture", default_texture_name);
    if (options.texture.empty()) usage_error("--texture needs a file name");
    options.allow_missing_texture = line.has("--allow-missing-texture");
    options.out = line.value("--out");
    if (options.out.empty()) usage_error("--out FILE is required");
    if (tools::has_extension(options.out, ".png")) {
        options.png = true;
    } else if (!tools::has_extension(options.out, ".raw")) {
        usage_error("the output file must end in .png or .raw");
    }
    if (options.out == options.texture || tools::same_file(options.out, options.texture)) {
        usage_error("the output file is the texture image, which would be overwritten");
    }
    return options;
}

// The buffer's row y (0 at the top) in memory.
const uint8_t* buffer_row(int32_t y) { return gx_pixel_address(0, y, 1); }

void write_raw(tools::OutputFile& out, const Options& options) {
    const size_t row_bytes = static_cast<size_t>(BUFFER_WIDTH) *
                             static_cast<size_t>(options.bpp / 8);
    for (int32_t y = 0; y < BUFFER_HEIGHT; ++y) out.write(buffer_row(y), row_bytes);
}

#if TOOL_HAS_PNG
// One pixel of the buffer as 8-bit red, green and blue.
void pixel_rgb(const uint8_t* p, int32_t bpp, uint8_t* rgb) {
    if (bpp == 16) {
        const uint32_t v = static_cast<uint32_t>(p[0] | (p[1] << 8));
        const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
        rgb[1] = static_cast<uint8_t>(g << 2 | g >> 4);
        rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
    } else {
        // 24 and 32 bits both start with blue, green, red.
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
    }
}

// libpng reports errors by a long jump back here; the row buffer lives
// outside the jump so nothing is skipped over.
bool png_rows(png_structp png, png_infop info, std::FILE* file, const Options& options,
              uint8_t* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, BUFFER_WIDTH, BUFFER_HEIGHT, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int32_t bytes = options.bpp / 8;
    for (int32_t y = 0; y < BUFFER_HEIGHT; ++y) {
        const uint8_t* source = buffer_row(y);
        for (int32_t x = 0; x < BUFFER_WIDTH; ++x)
            pixel_rgb(source + x * bytes, options.bpp, row + x * 3);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

void write_png(tools::OutputFile& out, const Options& options) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    static uint8_t row[BUFFER_WIDTH * 3];
    errno = 0;
    if (info == nullptr || !png_rows(png, info, out.stream(), options, row)) {
        out.fail(errno != 0 ? std::strerror(errno) : "the PNG writer failed");
    }
    if (png != nullptr) png_destroy_write_struct(&png, info == nullptr ? nullptr : &info);
}
#else
void write_png(tools::OutputFile& out, const Options&) {
    out.fail("this build has no PNG support (libpng was not found); write .raw");
}
#endif

// Holds exactly the keys of a group. All keys are released first: both
// Shift keys give one virtual key, so releasing one after pressing the
// other would release both.
void hold_keys(const Group& group) {
    for (const KeyName& k : KEY_NAMES) headless_set_scan_key(k.scan_code, false);
    for (uint32_t code : group.keys) headless_set_scan_key(code, true);
}

volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int) { interrupted = 1; }

// Progress on stderr for runs longer than PROGRESS_AFTER: turns done of all,
// and the time left at the pace so far.
class Progress {
public:
    explicit Progress(unsigned long long total)
        : total_(total), start_(Clock::now()), next_(start_ + PROGRESS_AFTER) {}

    void turn_done(unsigned long long done) {
        if ((done & 15) != 0 && done != total_) return;  // look at the clock now and then
        const Clock::time_point now = Clock::now();
        if (now < next_) return;
        next_ = now + PROGRESS_EVERY;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double left = elapsed / static_cast<double>(done) *
                            static_cast<double>(total_ - done);
        std::fprintf(stderr, "\rcube-render: turn %llu of %llu, about %s left   ", done, total_,
                     duration_text(left).c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    void finish() {
        if (shown_) std::fputc('\n', stderr);
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;

    static std::string duration_text(double seconds) {
        char text[64];
        if (seconds < 120) {
            std::snprintf(text, sizeof text, "%.0f s", seconds);
        } else if (seconds < 7200) {
            std::snprintf(text, sizeof text, "%.0f min", seconds / 60);
        } else {
            std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
        }
        return text;
    }

    unsigned long long total_;
    Clock::time_point start_;
    Clock::time_point next_;
    bool shown_ = false;
};

// Runs the script's turns. False when Ctrl-C stopped it.
bool run_script(const Options& options) {
    unsigned long long total = 0;
    for (const Group& group : options.script) total += group.turns;
    Progress progress(total);
    unsigned long long done = 0;
    for (const Group& group : options.script) {
        hold_keys(group);
        for (unsigned long long turn = 0; turn < group.turns; ++turn) {
            if (interrupted) {
                progress.finish();
                std::fprintf(stderr,
                             "cube-render: stopped after %llu of %llu turns; nothing was written\n",
                             done, total);
                return false;
            }
            frame_step();
            progress.turn_done(++done);
        }
    }
    progress.finish();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    std::signal(SIGINT, on_interrupt);

    // At 24 and 32 bits a texture cut from the buffer holds 3 bytes a texel.
    static uint8_t textures[FACE_COUNT][TEXTURE_SIZE * TEXTURE_SIZE * 3];
    const int32_t face_bytes = TEXTURE_SIZE * TEXTURE_SIZE * (options.bpp == 16 ? 2 : 3);

    PfDC window = headless_window_dc(BUFFER_WIDTH, BUFFER_HEIGHT);
    app_texture_path = options.texture.c_str();
    app_start_up_with(window, options.bpp, textures[0], face_bytes);
    const std::string problem = texture_problem(options.texture, app_texture_result);
    if (!problem.empty()) {
        if (!options.allow_missing_texture) {
            std::fprintf(
                stderr,
                "cube-render: %s Nothing was rendered (--allow-missing-texture renders anyway).\n",
                problem.c_str());
            app_tear_down();
            pf_delete_dc(window);
            return EXIT_FAILURE_TO_RUN;
        }
        std::fprintf(stderr, "cube-render: warning: %s %s\n", problem.c_str(),
                     texture_fallback(app_texture_result).c_str());
    }
    app_size(BUFFER_WIDTH, BUFFER_HEIGHT);
    if (options.set_flags) gx_3d_render_flags(options.flags);

    const bool finished = run_script(options);
    int status = finished ? 0 : EXIT_INTERRUPTED;
    if (finished) {
        if (gx_state.active_buffer < 0) fail("the virtual buffer could not be created");
        tools::OutputFile out(options.out);
        std::string error;
        if (out.open(error)) {
            if (options.png) {
                write_png(out, options);
            } else {
                write_raw(out, options);
            }
            if (out.commit(error)) error.clear();
        }
        if (!error.empty()) {
            std::fprintf(stderr, "cube-render: cannot write %s: %s\n", options.out.c_str(),
                         error.c_str());
            status = EXIT_FAILURE_TO_RUN;
        }
    }

    app_tear_down();
    pf_delete_dc(window);
    return status;
}
