// The texture image: which file the program reads, and what the user is
// told when it cannot be used.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char default_texture_name[] = "CUBE.PCX";

// CUBE.PCX in the working folder; when there is none there but there is
// one in `program_folder` (the folder of the running program, may be
// empty), that one.
std::string default_texture_path(const std::string& program_folder);

// What to tell the user after reading `path` gave `result`: empty for 0,
// otherwise one sentence naming the file and the reason in plain words.
std::string texture_problem(const std::string& path, int32_t result);

// How the cube looks after that result (one sentence).
std::string texture_fallback(int32_t result);
