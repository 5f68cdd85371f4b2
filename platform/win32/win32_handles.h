// Conversions between the Windows handle types and the library's opaque
// platform handles, for the Windows program's entry and window procedure.
//
// On this backend every platform handle is the Windows handle itself, so a
// conversion is only a change of type.
#pragma once

#include <windows.h>

#include "platform/platform.h"

inline PfDC pf_from_hdc(HDC dc) { return reinterpret_cast<PfDC>(dc); }
inline HDC hdc_from_pf(PfDC dc) { return reinterpret_cast<HDC>(dc); }

inline PfPalette pf_from_hpalette(HPALETTE palette) { return reinterpret_cast<PfPalette>(palette); }
inline HPALETTE hpalette_from_pf(PfPalette palette) { return reinterpret_cast<HPALETTE>(palette); }

inline PfBitmap pf_from_hbitmap(HBITMAP bitmap) { return reinterpret_cast<PfBitmap>(bitmap); }
inline HBITMAP hbitmap_from_pf(PfBitmap bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }

inline PfObject pf_from_hgdiobj(HGDIOBJ object) { return reinterpret_cast<PfObject>(object); }
inline HGDIOBJ hgdiobj_from_pf(PfObject object) { return reinterpret_cast<HGDIOBJ>(object); }

inline PfMem pf_from_hglobal(HGLOBAL block) { return reinterpret_cast<PfMem>(block); }
inline HGLOBAL hglobal_from_pf(PfMem block) { return reinterpret_cast<HGLOBAL>(block); }

inline PfFile pf_from_hfile(HANDLE file) { return reinterpret_cast<PfFile>(file); }
inline HANDLE hfile_from_pf(PfFile file) { return reinterpret_cast<HANDLE>(file); }

inline PfModule pf_from_hmodule(HMODULE module) { return reinterpret_cast<PfModule>(module); }
inline HMODULE hmodule_from_pf(PfModule module) { return reinterpret_cast<HMODULE>(module); }
