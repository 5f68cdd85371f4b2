// The quarter-wave cosine table behind gx_cos_sin: one entry per tenth of a
// degree from 0 to 90 degrees, each the double nearest to the true cosine.
#pragma once

inline constexpr int GX_COS_TABLE_SIZE = 901;

extern const double gx_cos_table[GX_COS_TABLE_SIZE];
