#include "shell/settings_layout_win32.h"

#include <algorithm>
#include <cwchar>

namespace shell {
namespace {

// Kept between a framed control and its frame's edge, and between a frame that grows and the
// next frame or the window's edge to its right.
constexpr int kFrameInsetTwips = 60;
constexpr int kFrameGapTwips = 120;

int Index(Ctl id) { return static_cast<int>(id); }

bool HasCheckMark(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::OptionButton;
}

// The check mark's width at `dpi`, as the system sizes it.
int CheckMarkWidth(UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const Fn for_dpi = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  if (for_dpi) return for_dpi(SM_CXMENUCHECK, dpi);
  HDC screen = GetDC(nullptr);
  const int screen_dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return MulDiv(GetSystemMetrics(SM_CXMENUCHECK), static_cast<int>(dpi), screen_dpi > 0 ? screen_dpi : 96);
}

class Placer {
 public:
  Placer(HDC dc, UINT dpi) : dc_(dc), dpi_(static_cast<int>(dpi)) {
    GetTextMetricsW(dc, &tm_);
    // Buttons leave half a digit between the mark and the text; an average character is more,
    // and a pixel either side holds the focus rectangle.
    label_extra_ = CheckMarkWidth(dpi) + tm_.tmAveCharWidth + 2;
  }

  std::array<ControlPlace, kControlCount> Place() {
    for (const ControlDesign& design : kControls) PlaceAsDesigned(design);
    for (const ControlDesign& design : kControls) {
      if (design.kind == ControlKind::Frame) WidenFrame(design);
    }
    for (const ControlDesign& design : kControls) {
      if (HasCheckMark(design.kind) && design.container != Ctl::None) FitCaption(design);
    }
    return places_;
  }

 private:
  int Px(int twips) const { return MulDiv(twips, dpi_, 1440); }
  RECT& Rect(Ctl id) { return places_[Index(id)].rect; }

  int TextWidth(const wchar_t* text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text, static_cast<int>(std::wcslen(text)), &size);
    return size.cx;
  }

  void PlaceAsDesigned(const ControlDesign& design) {
    int left = design.pos.left;
    int top = design.pos.top;
    if (design.container != Ctl::None) {
      left += Design(design.container).pos.left;
      top += Design(design.container).pos.top;
    }
    const int x = Px(left);
    const int y = Px(top);
    const int height = Px(design.pos.height);
    const bool two_lines = height >= 2 * (tm_.tmHeight - tm_.tmInternalLeading);
    places_[Index(design.id)] = {{x, y, x + Px(design.pos.width), y + height},
                                 HasCheckMark(design.kind) && two_lines};
  }

  // The width a frame's one-line captions need, shared by the frames of its column, up to the
  // room beside it.
  void WidenFrame(const ControlDesign& frame) {
    int width = 0;
    for (const ControlDesign& other : kControls) {
      if (other.kind == ControlKind::Frame && other.pos.left == frame.pos.left &&
          other.pos.width == frame.pos.width) {
        width = std::max(width, NeededWidth(other));
      }
    }
    RECT& rect = Rect(frame.id);
    const int limit = Px(RightLimitTwips(frame) - kFrameGapTwips) - rect.left;
    const int designed = rect.right - rect.left;
    rect.right = rect.left + std::max(designed, std::min(width, limit));
  }

  int NeededWidth(const ControlDesign& frame) const {
    int width = Px(frame.pos.width);
    for (const ControlDesign& member : kControls) {
      if (member.container != frame.id || !HasCheckMark(member.kind) ||
          places_[Index(member.id)].multiline) {
        continue;
      }
      width = std::max(width, Px(member.pos.left) + label_extra_ + TextWidth(member.caption) +
                                  Px(kFrameInsetTwips));
    }
    return width;
  }

  // The left edge of the nearest frame to the right on the same rows, or the window's edge.
  static int RightLimitTwips(const ControlDesign& frame) {
    int limit = kClientWidthTwips;
    const Twips& f = frame.pos;
    for (const ControlDesign& other : kControls) {
      const Twips& o = other.pos;
      if (other.kind == ControlKind::Frame && o.left > f.left && o.top < f.top + f.height &&
          f.top < o.top + o.height) {
        limit = std::min(limit, o.left);
      }
    }
    return limit;
  }

  void FitCaption(const ControlDesign& design) {
    const RECT& frame = Rect(design.container);
    ControlPlace& place = places_[Index(design.id)];
    RECT& rect = place.rect;
    const int inset = Px(kFrameInsetTwips);
    const int designed = rect.right - rect.left;
    const int room = frame.right - inset - rect.left;
    const int width = std::max(designed, std::min(label_extra_ + TextWidth(design.caption), room));
    rect.right = rect.left + width;
    if (!place.multiline) return;
    RECT text{0, 0, std::max(1, width - label_extra_), 0};
    DrawTextW(dc_, design.caption, -1, &text, DT_CALCRECT | DT_WORDBREAK);
    const int bottom = std::min<int>(rect.top + text.bottom, frame.bottom - inset);
    rect.bottom = std::max<int>(rect.bottom, bottom);
  }

  HDC dc_;
  int dpi_;
  TEXTMETRICW tm_{};
  int label_extra_ = 0;
  std::array<ControlPlace, kControlCount> places_{};
};

}  // namespace

std::array<ControlPlace, kControlCount> PlaceControls(HDC dc, UINT dpi) {
  return Placer(dc, dpi).Place();
}

}  // namespace shell
