// Conversions between the Windows handle types and the library's opaque
// platform handles, for the Windows program's entry and window procedure.
//
// On this backend every platform handle is the Windows handle itself, so a
// conversion is only a change of type.
#pragma once

/// \file platform/win32/win32_handles.h
/// \brief The Windows backend (gx::win32): its handles are the Windows handles.
///
/// A program gives the library its window's context with
/// `gx_set_dc(pf_from_hdc(GetDC(window)))` and presents in its paint handler.

#include <windows.h>

#include "platform/platform.h"

/// A Windows device context as the library's handle.
/// \param dc The Windows handle.
/// \return The same handle as a #PfDC.
inline PfDC pf_from_hdc(HDC dc) { return reinterpret_cast<PfDC>(dc); }
/// The library's device context handle as the Windows handle.
/// \param dc The library's handle.
/// \return The same handle as a Windows HDC.
inline HDC hdc_from_pf(PfDC dc) { return reinterpret_cast<HDC>(dc); }

/// A Windows palette as the library's handle.
/// \param palette The Windows handle.
/// \return The same handle as a #PfPalette.
inline PfPalette pf_from_hpalette(HPALETTE palette) { return reinterpret_cast<PfPalette>(palette); }
/// The library's palette handle as the Windows handle.
/// \param palette The library's handle.
/// \return The same handle as a Windows HPALETTE.
inline HPALETTE hpalette_from_pf(PfPalette palette) { return reinterpret_cast<HPALETTE>(palette); }

/// A Windows bitmap as the library's handle.
/// \param bitmap The Windows handle.
/// \return The same handle as a #PfBitmap.
inline PfBitmap pf_from_hbitmap(HBITMAP bitmap) { return reinterpret_cast<PfBitmap>(bitmap); }
/// The library's bitmap handle as the Windows handle.
/// \param bitmap The library's handle.
/// \return The same handle as a Windows HBITMAP.
inline HBITMAP hbitmap_from_pf(PfBitmap bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }

/// A Windows object as the library's handle.
/// \param object The Windows handle.
/// \return The same handle as a #PfObject.
inline PfObject pf_from_hgdiobj(HGDIOBJ object) { return reinterpret_cast<PfObject>(object); }
/// The library's object handle as the Windows handle.
/// \param object The library's handle.
/// \return The same handle as a Windows HGDIOBJ.
inline HGDIOBJ hgdiobj_from_pf(PfObject object) { return reinterpret_cast<HGDIOBJ>(object); }

/// A Windows memory block as the library's handle.
/// \param block The Windows handle.
/// \return The same handle as a #PfMem.
inline PfMem pf_from_hglobal(HGLOBAL block) { return reinterpret_cast<PfMem>(block); }
/// The library's memory block handle as the Windows handle.
/// \param block The library's handle.
/// \return The same handle as a Windows HGLOBAL.
inline HGLOBAL hglobal_from_pf(PfMem block) { return reinterpret_cast<HGLOBAL>(block); }

/// A Windows file as the library's handle.
/// \param file The Windows handle.
/// \return The same handle as a #PfFile.
inline PfFile pf_from_hfile(HANDLE file) { return reinterpret_cast<PfFile>(file); }
/// The library's file handle as the Windows handle.
/// \param file The library's handle.
/// \return The same handle as a Windows HANDLE.
inline HANDLE hfile_from_pf(PfFile file) { return reinterpret_cast<HANDLE>(file); }

/// A Windows module as the library's handle.
/// \param module The Windows handle.
/// \return The same handle as a #PfModule.
inline PfModule pf_from_hmodule(HMODULE module) { return reinterpret_cast<PfModule>(module); }
/// The library's module handle as the Windows handle.
/// \param module The library's handle.
/// \return The same handle as a Windows HMODULE.
inline HMODULE hmodule_from_pf(PfModule module) { return reinterpret_cast<HMODULE>(module); }
