#include <windows.h>

#include <vector>

#include "shell/app_icon.h"

namespace shell {
namespace {

// Scales a coordinate of the 32-pixel design to the icon's size.
int At(int design, int size) { return MulDiv(design, size, 32); }

void Fill(HDC dc, int size, int left, int top, int right, int bottom, COLORREF colour) {
  RECT r{At(left, size), At(top, size), At(right, size), At(bottom, size)};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// The card drawn in code, for programs without the icon resource (tests and tools).
HICON DrawAppIcon(int size) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  ReleaseDC(nullptr, screen);
  HICON icon = nullptr;
  if (dc && colour && mask) {
    // The mask: white is transparent, black is the card.
    HGDIOBJ old = SelectObject(dc, mask);
    Fill(dc, size, 0, 0, 32, 32, RGB(255, 255, 255));
    Fill(dc, size, 1, 6, 31, 27, RGB(0, 0, 0));
    // The colour image: a dark-edged blue card, a black stripe, two lines of embossing.
    SelectObject(dc, colour);
    Fill(dc, size, 0, 0, 32, 32, RGB(0, 0, 0));
    Fill(dc, size, 1, 6, 31, 27, RGB(0, 0, 128));
    Fill(dc, size, 2, 7, 30, 26, RGB(0, 0, 255));
    Fill(dc, size, 2, 10, 30, 15, RGB(0, 0, 0));
    Fill(dc, size, 5, 18, 21, 20, RGB(255, 255, 255));
    Fill(dc, size, 5, 22, 14, 24, RGB(192, 192, 192));
    Fill(dc, size, 23, 18, 28, 23, RGB(255, 255, 0));
    SelectObject(dc, old);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = colour;
    icon = CreateIconIndirect(&info);  // copies both bitmaps
  }
  if (mask) DeleteObject(mask);
  if (colour) DeleteObject(colour);
  if (dc) DeleteDC(dc);
  return icon;
}

// A copy of `icon` in greys, a little lighter, as a disabled image is; what is transparent stays
// so (fully transparent black, in icons with and without an alpha channel).
HICON GreyedCopy(HICON icon, int size) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return nullptr;
  HICON greyed = nullptr;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<std::size_t>(size) * size);
  HDC screen = GetDC(nullptr);
  if (info.hbmColor && GetDIBits(screen, info.hbmColor, 0, size, pixels.data(), &bi, DIB_RGB_COLORS) == size) {
    for (DWORD& p : pixels) {
      if (p == 0) continue;
      const DWORD red = p >> 16 & 0xFF, green = p >> 8 & 0xFF, blue = p & 0xFF;  // 0xAARRGGBB
      const DWORD y = (red * 30 + green * 59 + blue * 11) / 100;
      const DWORD grey = 96 + y * 5 / 8;
      p = (p & 0xFF000000u) | grey << 16 | grey << 8 | grey;
    }
    if (SetDIBits(screen, info.hbmColor, 0, size, pixels.data(), &bi, DIB_RGB_COLORS) == size) {
      greyed = CreateIconIndirect(&info);  // copies both bitmaps
    }
  }
  ReleaseDC(nullptr, screen);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return greyed;
}

}  // namespace

HICON CreateAppIcon(int size, bool greyed) {
  HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                             IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (!icon) icon = DrawAppIcon(size);
  if (!greyed || !icon) return icon;
  HICON grey = GreyedCopy(icon, size);
  DestroyIcon(icon);
  return grey;
}

}  // namespace shell
