// The rasterizer's fast paths in force: one table, holding the plain
// routines until gx_simd_select picks a level, when each vector level's
// files, from the lowest to the chosen one, write in what they do faster.
//
// A new level plugs in here: a file per routine group (run_kernels_*.cpp,
// run_setup_*.cpp) defining the hook below for the level, and one line in
// select_fast_paths (fast_paths.cpp).
#pragma once

#include <cstdint>

#include "gfx/raster/run_kernels.h"
#include "gfx/raster/run_setup.h"

namespace gx_raster {

struct FastPaths {
    // Kernels for exact runs; null: the exact loop draws every run itself.
    const RunKernels* kernels;
    // The depth pre-test of a span's leading runs (plain: runs_hidden).
    HiddenTest hidden;
    // The set-up of a span's runs (plain: setup_runs).
    RunSetup setup;
    // The set-up of many spans' runs at once; null: span by span with `setup`.
    BatchSetup batch_setup;
};

// The routines in force, set by gx_simd_select (through select_fast_paths).
extern FastPaths active_fast_paths;
void select_fast_paths(int32_t level);

// Each level's hooks: write in the level's routines. They do nothing in a
// build without the level (the file is compiled for it only on x86).
void sse2_run_kernels(FastPaths& paths);
void sse2_run_setup(FastPaths& paths);
void avx2_run_kernels(FastPaths& paths);
void avx2_batch_setup(FastPaths& paths);
void avx512_run_kernels(FastPaths& paths);

}  // namespace gx_raster
