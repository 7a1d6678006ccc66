#include "shell/dialog_template_win32.h"

namespace shell {
namespace {

// Appends the bytes of POD `value`.
template <typename T>
void Put(std::vector<std::uint8_t>& out, const T& value) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof value);
}

void PutText(std::vector<std::uint8_t>& out, const wchar_t* text) {
  for (const wchar_t* c = text; *c; ++c) Put<WORD>(out, static_cast<WORD>(*c));
  Put<WORD>(out, 0);
}

void Align(std::vector<std::uint8_t>& out, std::size_t to) {
  while (out.size() % to) out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> MakeDialogTemplate(const wchar_t* caption, DWORD style, short cx, short cy,
                                             const std::vector<DialogItem>& items) {
  std::vector<std::uint8_t> out;
  // DLGTEMPLATEEX, field by field: it has no declaration in the headers.
  Put<WORD>(out, 1);       // dlgVer
  Put<WORD>(out, 0xFFFF);  // signature
  Put<DWORD>(out, 0);      // helpID
  Put<DWORD>(out, WS_EX_CONTROLPARENT);
  Put<DWORD>(out, style | DS_SHELLFONT | DS_SETFONT);
  Put<WORD>(out, static_cast<WORD>(items.size()));
  Put<short>(out, 0);
  Put<short>(out, 0);
  Put<short>(out, cx);
  Put<short>(out, cy);
  Put<WORD>(out, 0);  // no menu
  Put<WORD>(out, 0);  // the standard dialog class
  PutText(out, caption);
  Put<WORD>(out, 8);    // point size
  Put<WORD>(out, 400);  // weight
  Put<BYTE>(out, 0);    // italic
  Put<BYTE>(out, DEFAULT_CHARSET);
  PutText(out, L"MS Shell Dlg");
  for (const DialogItem& item : items) {
    Align(out, 4);
    Put<DWORD>(out, 0);  // helpID
    Put<DWORD>(out, 0);  // exStyle
    Put<DWORD>(out, item.style | WS_CHILD | WS_VISIBLE);
    Put<short>(out, item.x);
    Put<short>(out, item.y);
    Put<short>(out, item.cx);
    Put<short>(out, item.cy);
    Put<DWORD>(out, item.id);
    PutText(out, item.window_class);
    PutText(out, item.text);
    Put<WORD>(out, 0);  // no creation data
  }
  return out;
}

}  // namespace shell
