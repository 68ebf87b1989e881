// msimg32's AlphaBlend and GradientFill, resolved once at run time, and the library's own
// replacements; exported so that tests can drive the fallbacks directly.
#pragma once

#include <windows.h>

#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu::render_detail {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

struct BlendApi {
  AlphaBlendFn alpha_blend;      // never null: the platform's or OwnAlphaBlend
  GradientFillFn gradient_fill;  // null when missing: gradients are drawn in bands
};

// Looked up in "msimg32.dll" on first use (thread-safe), then reused for the process.
ZENTU_API const BlendApi& PlatformBlendApi();

// AlphaBlend's replacement: stretches the source into a 32-bit DIB of the destination size
// and mixes each pixel with w = source alpha × constant alpha / 255² (source alpha taken
// as 255 without AC_SRC_ALPHA); the written alpha byte is 0. 1, or 0 when a DC or bitmap
// cannot be made.
ZENTU_API BOOL WINAPI OwnAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source,
                                    int src_x, int src_y, int src_width, int src_height,
                                    BLENDFUNCTION blend);

// MRender::DrawGradient with the given functions.
ZENTU_API void DrawGradientWith(const BlendApi& api, HDC dc, const CRect& rect, DWORD first,
                                DWORD second, bool vertical, int steps);

}  // namespace Zentu::render_detail
