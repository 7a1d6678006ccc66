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

}  // namespace

HICON CreateAppIcon(int size, bool greyed) {
  // Greyed: each colour as its grey (luminance) and a little lighter, as a disabled image is.
  auto tone = [greyed](COLORREF c) {
    if (!greyed) return c;
    const int y = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
    const int grey = 96 + y * 5 / 8;
    return RGB(grey, grey, grey);
  };
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
    Fill(dc, size, 0, 0, 32, 32, RGB(0, 0, 0));  // black where the mask is white: transparent
    Fill(dc, size, 1, 6, 31, 27, tone(RGB(0, 0, 128)));
    Fill(dc, size, 2, 7, 30, 26, tone(RGB(0, 0, 255)));
    Fill(dc, size, 2, 10, 30, 15, tone(RGB(0, 0, 0)));
    Fill(dc, size, 5, 18, 21, 20, tone(RGB(255, 255, 255)));
    Fill(dc, size, 5, 22, 14, 24, tone(RGB(192, 192, 192)));
    Fill(dc, size, 23, 18, 28, 23, tone(RGB(255, 255, 0)));
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

}  // namespace shell
