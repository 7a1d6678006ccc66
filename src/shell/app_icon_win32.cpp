#include <windows.h>

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

}  // namespace

HICON CreateAppIcon(int size) {
  if (auto icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                IMAGE_ICON, size, size, LR_DEFAULTCOLOR))) {
    return icon;
  }
  return DrawAppIcon(size);
}

}  // namespace shell
