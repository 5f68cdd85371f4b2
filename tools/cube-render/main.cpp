// cube-render: renders the cube program's picture without a window.
//
// It runs the program's own start-up in the current directory (reading
// ./CUBE.PCX), then idle turns of the program's frame step with the keys of
// a script held down, and writes the virtual buffer as it stands at the end.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/scene.h"
#include "app/shell.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"

#if CUBE_RENDER_PNG
#include <png.h>
#endif

namespace {

constexpr char usage_text[] =
    "usage: cube-render [--keys SCRIPT] [--flags N] [--bpp 16|24|32] --out FILE\n"
    "\n"
    "Renders the cube program's picture without a window. The program's start-up\n"
    "runs in the current directory, so ./CUBE.PCX supplies the textures; then the\n"
    "program's frame step runs once per turn with the keys of SCRIPT held down,\n"
    "and the 640 x 480 picture is written as it stands after the last turn.\n"
    "\n"
    "  --keys SCRIPT  groups separated by spaces, each KEYS or KEYS*N: N turns\n"
    "                 (N >= 1, default 1) with exactly those keys held. KEYS is\n"
    "                 key names joined by '+', or 'none'. Names (scan codes):\n"
    "                   kpminus (74)  move away       kpplus (78)  move nearer\n"
    "                   left (75)  right (77)  up (72)  down (80)   move\n"
    "                   x (45)  y (21)  z (44)         turn about an axis\n"
    "                   lshift (42)  rshift (54)       turn the other way\n"
    "                 Without --keys: one turn with no key (the first frame).\n"
    "                 Example: --keys \"x*10 lshift+y*5 none\"\n"
    "  --flags N      render flags set after start-up in place of 13\n"
    "                 (1 perspective, 4 depth buffer, 8 near-plane clipping)\n"
    "  --bpp B        bits per pixel of the buffer: 16 (default), 24 or 32\n"
    "  --out FILE     FILE.png: 8-bit RGB picture (5-6-5 widened by bit\n"
    "                 replication); FILE.raw: the buffer's bytes, top row first,\n"
    "                 640 pixels a row, B/8 bytes a pixel in the buffer's own\n"
    "                 format (16: 5-6-5 little-endian; 24: blue, green, red;\n"
    "                 32: 0x00RRGGBB little-endian)\n"
    "  --help         this text\n";

struct KeyName {
    const char* name;
    uint32_t scan_code;
};

constexpr KeyName key_names[] = {
    {"kpminus", KEY_PAD_MINUS}, {"kpplus", KEY_PAD_PLUS}, {"left", KEY_LEFT},
    {"right", KEY_RIGHT},       {"up", KEY_UP},           {"down", KEY_DOWN},
    {"x", KEY_X},               {"y", KEY_Y},             {"z", KEY_Z},
    {"lshift", KEY_LEFT_SHIFT}, {"rshift", KEY_RIGHT_SHIFT},
};

// Turns of the frame step with one set of keys held.
struct Group {
    std::vector<uint32_t> keys;
    long turns = 1;
};

struct Options {
    std::vector<Group> script;
    bool set_flags = false;
    uint32_t flags = 0;
    int32_t bpp = 16;
    std::string out;
    bool png = false;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "cube-render: %s\n", message.c_str());
    std::exit(1);
}

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "cube-render: %s\nTry 'cube-render --help'.\n", message.c_str());
    std::exit(2);
}

bool ends_with(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
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
        if (!parse_number(text.substr(star + 1), 1, 1000000000, &turns)) {
            usage_error("bad turn count in '" + text + "': N must be a whole number from 1");
        }
        group.turns = static_cast<long>(turns);
    }
    if (keys == "none") return group;
    size_t start = 0;
    for (;;) {
        const size_t plus = keys.find('+', start);
        const std::string name = keys.substr(start, plus - start);
        bool known = false;
        for (const KeyName& k : key_names) {
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
    return groups;
}

Options parse_options(int argc, char** argv) {
    Options options;
    bool have_keys = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage_text, stdout);
            std::exit(0);
        }
        if (arg != "--keys" && arg != "--flags" && arg != "--bpp" && arg != "--out") {
            usage_error("unknown argument '" + arg + "'");
        }
        if (i + 1 >= argc) usage_error(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--keys") {
            options.script = parse_script(value);
            have_keys = true;
        } else if (arg == "--flags") {
            unsigned long long flags = 0;
            if (!parse_number(value, 0, UINT32_MAX, &flags)) {
                usage_error("--flags needs a whole number from 0 to 4294967295");
            }
            options.flags = static_cast<uint32_t>(flags);
            options.set_flags = true;
        } else if (arg == "--bpp") {
            if (value != "16" && value != "24" && value != "32") usage_error("--bpp must be 16, 24 or 32");
            options.bpp = static_cast<int32_t>(std::atoi(value.c_str()));
        } else {
            options.out = value;
        }
    }
    if (options.out.empty()) usage_error("--out FILE is required");
    if (ends_with(options.out, ".png")) {
        options.png = true;
    } else if (!ends_with(options.out, ".raw")) {
        usage_error("the output file must end in .png or .raw");
    }
    if (!have_keys) options.script.push_back(Group{});
    return options;
}

// The buffer's row y (0 at the top) in memory.
const uint8_t* buffer_row(int32_t y) {
    return gx_state.active_pixels +
           static_cast<ptrdiff_t>(gx_state.active_max_y - y) * gx_state.active_pitch;
}

void write_raw(const Options& options) {
    FILE* file = std::fopen(options.out.c_str(), "wb");
    if (file == nullptr) fail("cannot write " + options.out + ": " + std::strerror(errno));
    const size_t row_bytes = static_cast<size_t>(BUFFER_WIDTH) * static_cast<size_t>(options.bpp / 8);
    bool ok = true;
    for (int32_t y = 0; y < BUFFER_HEIGHT && ok; ++y) {
        ok = std::fwrite(buffer_row(y), 1, row_bytes, file) == row_bytes;
    }
    if (std::fclose(file) != 0) ok = false;
    if (!ok) fail("cannot write " + options.out);
}

#if CUBE_RENDER_PNG
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

void write_png(const Options& options) {
    FILE* file = std::fopen(options.out.c_str(), "wb");
    if (file == nullptr) fail("cannot write " + options.out + ": " + std::strerror(errno));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr) fail("cannot start the PNG writer");
    // The row buffer lives outside the jump so nothing is skipped over.
    static uint8_t row[BUFFER_WIDTH * 3];
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        fail("cannot write " + options.out);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, BUFFER_WIDTH, BUFFER_HEIGHT, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int32_t bytes = options.bpp / 8;
    for (int32_t y = 0; y < BUFFER_HEIGHT; ++y) {
        const uint8_t* source = buffer_row(y);
        for (int32_t x = 0; x < BUFFER_WIDTH; ++x) pixel_rgb(source + x * bytes, options.bpp, row + x * 3);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) fail("cannot write " + options.out);
}
#else
void write_png(const Options&) { fail("this build has no PNG support (libpng was not found); write .raw"); }
#endif

// Holds exactly the keys of a group. All keys are released first: both
// Shift keys give one virtual key, so releasing one after pressing the
// other would release both.
void hold_keys(const Group& group) {
    for (const KeyName& k : key_names) headless_set_scan_key(k.scan_code, false);
    for (uint32_t code : group.keys) headless_set_scan_key(code, true);
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);

    if (FILE* probe = std::fopen("CUBE.PCX", "rb")) {
        std::fclose(probe);
    } else {
        std::fprintf(stderr,
                     "cube-render: warning: ./CUBE.PCX cannot be read; the textures are cut "
                     "from an empty buffer\n");
    }

    // At 24 and 32 bits a texture cut from the buffer holds 3 bytes a texel.
    static uint8_t textures[FACE_COUNT][TEXTURE_SIZE * TEXTURE_SIZE * 3];
    const int32_t face_bytes = TEXTURE_SIZE * TEXTURE_SIZE * (options.bpp == 16 ? 2 : 3);

    PfDC window = headless_window_dc(BUFFER_WIDTH, BUFFER_HEIGHT);
    app_start_up_with(window, options.bpp, textures[0], face_bytes);
    app_size(BUFFER_WIDTH, BUFFER_HEIGHT);
    if (options.set_flags) gx_3d_render_flags(options.flags);

    for (const Group& group : options.script) {
        hold_keys(group);
        for (long turn = 0; turn < group.turns; ++turn) frame_step();
    }

    if (gx_state.active_buffer < 0) fail("the virtual buffer could not be created");
    if (options.png) {
        write_png(options);
    } else {
        write_raw(options);
    }

    app_tear_down();
    pf_delete_dc(window);
    return 0;
}
