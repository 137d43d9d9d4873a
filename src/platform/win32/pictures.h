// Pictures embedded as resources, decoded by the platform's own codecs (WIC).
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace ost::win {

// A decoded picture: a top-down 32-bit DIB section of premultiplied BGRA (alpha 0 where the
// picture is transparent), ready for BitBlt or AlphaBlend.
struct Picture {
    UniqueGdiObject bitmap;
    int width = 0;
    int height = 0;
    explicit operator bool() const { return static_cast<bool>(bitmap); }
    HBITMAP Handle() const { return static_cast<HBITMAP>(bitmap.get()); }
};

// Decodes the RCDATA resource `id` of `module`. COM must be initialised on the calling thread.
// Returns an empty Picture when the resource is missing or cannot be decoded.
Picture LoadPictureResource(HMODULE module, int id);

// Draws `picture` with its top-left corner at (x, y) of `dc`, blending by its alpha.
void DrawPicture(HDC dc, const Picture& picture, int x, int y);

}  // namespace ost::win
