#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/raii_win32.h"
#include "settings/typing_rules.h"
#include "shell/dialog_template_win32.h"
#include "shell/rules_window.h"
#include "shell/window_text_win32.h"
#include "wedge/send_input_keys.h"

namespace shell {
namespace {

constexpr wchar_t kTitle[] = L"Typing rules";

// The rules window's controls.
enum : WORD { kIntro = 100, kListLabel, kList, kAdd, kChange, kRemove };
// A rule's dialog box's controls.
enum : WORD {
  kPick = 200, kWindows, kByName, kFileName, kEvery, kReadyLabel, kReady, kCardsLabel, kTyped,
  kNever, kKeysLabel, kLayout, kUnicode, kPaste, kDelayLabel, kDelay, kDelayUnit, kEnterLabel,
  kEnterDelay, kEnterUnit, kKindsLabel, kBank, kId, kOwn, kMask, kAge, kMinAge, kTemplateLabel,
  kTemplate, kFieldLabel, kField, kInsert, kPreviewLabel, kPreview, kPreviewNote,
};

constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kFirstRadio = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kNumber = ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP;
constexpr DWORD kListStyle = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;

std::vector<DialogItem> RulesItems() {
  return {
      {L"STATIC", L"", kIntro, kLabel, 7, 7, 326, 18},
      {L"STATIC", L"&Rules in force:", kListLabel, kLabel, 7, 28, 160, 9},
      {WC_LISTVIEWW, L"", kList, kListStyle | WS_GROUP, 7, 39, 326, 110},
      {L"BUTTON", L"&Add...", kAdd, kButton | WS_GROUP, 7, 155, 60, 14},
      {L"BUTTON", L"&Change...", kChange, BS_DEFPUSHBUTTON | WS_TABSTOP, 71, 155, 60, 14},
      {L"BUTTON", L"R&emove", kRemove, kButton, 135, 155, 60, 14},
      {L"BUTTON", L"Close", IDCANCEL, kButton, 273, 155, 60, 14},
  };
}

std::vector<DialogItem> RuleItems() {
  return {
      // The program's three choices are separated by their list and box: each is a group of its
      // own, checked and unchecked by the dialog itself.
      {L"BUTTON", L"A program with a &window open now:", kPick, BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, 7, 7, 200, 10},
      {WC_LISTVIEWW, L"", kWindows, kListStyle | WS_GROUP, 17, 19, 326, 62},
      {L"BUTTON", L"A program by its &file name:", kByName, BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, 7, 87, 120, 10},
      {L"EDIT", L"", kFileName, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 130, 85, 130, 12},
      {L"BUTTON", L"E&very other program", kEvery, BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, 7, 101, 200, 10},
      {L"STATIC", L"Start from a &ready rule:", kReadyLabel, kLabel, 7, 117, 95, 9},
      {WC_COMBOBOXW, L"", kReady, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 105, 115, 238, 120},
      {L"STATIC", L"Cards are:", kCardsLabel, kLabel, 7, 135, 90, 9},
      {L"BUTTON", L"&typed", kTyped, kFirstRadio, 105, 134, 60, 10},
      {L"BUTTON", L"&never typed", kNever, kRadio, 170, 134, 80, 10},
      {L"STATIC", L"Keys:", kKeysLabel, kLabel, 7, 149, 90, 9},
      {L"BUTTON", L"as the keyboard &layout types them", kLayout, kFirstRadio, 105, 148, 200, 10},
      {L"BUTTON", L"as Unicode c&haracters", kUnicode, kRadio, 105, 160, 200, 10},
      {L"BUTTON", L"&pasted through the clipboard", kPaste, kRadio, 105, 172, 200, 10},
      {L"STATIC", L"Pa&use between keys:", kDelayLabel, kLabel, 7, 189, 95, 9},
      {L"EDIT", L"", kDelay, kNumber, 105, 187, 40, 12},
      {L"STATIC", L"ms (0 to 1000)", kDelayUnit, kLabel, 150, 189, 100, 9},
      {L"STATIC", L"Pause after &Enter:", kEnterLabel, kLabel, 7, 205, 95, 9},
      {L"EDIT", L"", kEnterDelay, kNumber, 105, 203, 40, 12},
      {L"STATIC", L"ms (0 to 5000)", kEnterUnit, kLabel, 150, 205, 100, 9},
      {L"STATIC", L"Kinds of card:", kKindsLabel, kLabel, 7, 221, 95, 9},
      {L"BUTTON", L"pa&yment", kBank, kCheck | WS_GROUP, 105, 220, 60, 10},
      {L"BUTTON", L"&ID", kId, kCheck, 170, 220, 40, 10},
      {L"BUTTON", L"the shop's &own", kOwn, kCheck, 215, 220, 100, 10},
      {L"BUTTON", L"Mas&k payment card numbers: the first six and last four digits only", kMask,
       kCheck, 7, 235, 330, 10},
      {L"BUTTON", L"Check ID cards for a&ge:", kAge, kCheck, 7, 250, 95, 10},
      {L"EDIT", L"", kMinAge, kNumber, 105, 248, 30, 12},
      {L"STATIC", L"Te&mplate:", kTemplateLabel, kLabel, 7, 268, 95, 9},
      {L"EDIT", L"", kTemplate, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 105, 266, 238, 12},
      {L"STATIC", L"Fiel&d:", kFieldLabel, kLabel, 7, 284, 95, 9},
      {WC_COMBOBOXW, L"", kField, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 105, 282, 170, 200},
      {L"BUTTON", L"In&sert", kInsert, kButton, 283, 281, 60, 14},
      {L"STATIC", L"Preview:", kPreviewLabel, kLabel, 7, 302, 95, 9},
      // A box, not a label: a long track has nowhere to break, and a box breaks it anyway.
      {L"EDIT", L"", kPreview, ES_MULTILINE | ES_READONLY, 105, 302, 238, 36},
      {L"STATIC", L"", kPreviewNote, SS_LEFT | SS_NOPREFIX, 105, 340, 238, 9},
      {L"BUTTON", L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 225, 356, 56, 14},
      {L"BUTTON", L"Cancel", IDCANCEL, kButton, 287, 356, 56, 14},
  };
}

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// Adds a row of two texts; its index.
int AddRow(HWND list, const std::wstring& first, const std::wstring& second, int image = -1) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<wchar_t*>(first.c_str());
  item.iImage = image;
  const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  LVITEMW sub{};
  sub.iSubItem = 1;
  sub.pszText = const_cast<wchar_t*>(second.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  return row;
}

int SelectedRow(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// A list's columns share its width: `share` of it to the first.
void FitColumns(HWND list, int share_percent) {
  RECT r{};
  GetClientRect(list, &r);
  const int first = (r.right - GetSystemMetrics(SM_CXVSCROLL)) * share_percent / 100;
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, first);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, r.right - GetSystemMetrics(SM_CXVSCROLL) - first);
}

// A program with a window open now, as the picker lists it.
struct OpenWindow {
  std::wstring title, program;
  HICON icon = nullptr;
};

// Adds `window` to the picker's list (an std::vector<OpenWindow>) when it is a visible, titled
// top-level window of another program not listed yet.
BOOL CALLBACK AddOpenWindow(HWND window, LPARAM param) {
  auto& list = *reinterpret_cast<std::vector<OpenWindow>*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (!IsWindowVisible(window) || pid == GetCurrentProcessId() ||
      (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) || GetWindow(window, GW_OWNER)) {
    return TRUE;
  }
  OpenWindow open;
  open.title = WindowText(window);
  open.program = wedge::ProgramFileOf(reinterpret_cast<UINT_PTR>(window));
  if (open.title.empty() || open.program.empty()) return TRUE;
  for (const OpenWindow& other : list) {
    if (wedge::SameProgram(other.program, open.program)) return TRUE;
  }
  DWORD_PTR icon = 0;
  SendMessageTimeoutW(window, WM_GETICON, ICON_SMALL2, 0, SMTO_ABORTIFHUNG, 200, &icon);
  if (!icon) icon = static_cast<DWORD_PTR>(GetClassLongPtrW(window, GCLP_HICONSM));
  open.icon = reinterpret_cast<HICON>(icon);
  list.push_back(std::move(open));
  return TRUE;
}

// The programs with a window open now, one row a program, in the order of their windows on the
// screen.
std::vector<OpenWindow> OpenWindows() {
  std::vector<OpenWindow> found;
  EnumWindows(&AddOpenWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

unsigned NumberIn(HWND dialog, int id) {
  BOOL ok = FALSE;
  const UINT n = GetDlgItemInt(dialog, id, &ok, FALSE);
  return ok ? n : 0;
}

// A rule's dialog box: to add one (no draft given) or change one. Its result is the draft to
// store, or nothing when it was cancelled.
class RuleDialog {
 public:
  RuleDialog(std::optional<RuleDraft> editing, Framing framing)
      : editing_(std::move(editing)), framing_(framing) {}

  std::optional<RuleDraft> Run(HWND parent) {
    const std::vector<std::uint8_t> dialog = MakeDialogTemplate(
        editing_ ? L"Change a typing rule" : L"Add a typing rule",
        DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 350, 377, RuleItems());
    const INT_PTR ok = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                               reinterpret_cast<const DLGTEMPLATE*>(dialog.data()),
                                               parent, &RuleDialog::Proc, reinterpret_cast<LPARAM>(this));
    if (ok != IDOK) return std::nullopt;
    return result_;
  }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lp);
    auto* self = reinterpret_cast<RuleDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
      case WM_INITDIALOG: return self->OnInit(dialog);
      case WM_COMMAND: self->OnCommand(LOWORD(wp), HIWORD(wp)); return TRUE;
      case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lp)->code == LVN_ITEMCHANGED) self->ProgramPicked();
        return TRUE;
      case WM_DESTROY: self->images_.reset(); return FALSE;
      default: return FALSE;
    }
  }

  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  void ChooseProgram(int choice) {
    for (int id : {kPick, kByName, kEvery}) CheckDlgButton(dialog_, id, id == choice ? BST_CHECKED : BST_UNCHECKED);
  }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

  BOOL OnInit(HWND dialog) {
    dialog_ = dialog;
    HWND windows = Item(kWindows);
    SendMessageW(windows, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumn(windows, 0, L"Window", 100);
    AddColumn(windows, 1, L"Program", 100);
    FitColumns(windows, 65);
    if (!editing_) {
      const int size = GetSystemMetrics(SM_CXSMICON);
      images_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 8));
      SendMessageW(windows, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.get()));
      open_ = OpenWindows();
      for (const OpenWindow& open : open_) {
        const int image = open.icon ? ImageList_ReplaceIcon(images_.get(), -1, open.icon) : -1;
        AddRow(windows, open.title, open.program, image);
      }
    }
    SendDlgItemMessageW(dialog, kReady, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"(none)"));
    for (const ReadyRule& ready : kReadyRules) {
      const std::wstring text = std::wstring(ready.name) + L" (" + ready.program + L": " + ready.data + L")";
      SendDlgItemMessageW(dialog, kReady, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageW(dialog, kReady, CB_SETCURSEL, 0, 0);
    for (int f = 1; f < wedge::kCardFields; ++f) {
      const std::wstring field = std::wstring(L"{") + wedge::FieldName(static_cast<wedge::CardField>(f)) + L"}";
      SendDlgItemMessageW(dialog, kField, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(field.c_str()));
    }
    for (const wchar_t* key : {L"{Card}", L"{Tab}", L"{Enter}"}) {
      SendDlgItemMessageW(dialog, kField, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(key));
    }
    SendDlgItemMessageW(dialog, kField, CB_SETCURSEL, 0, 0);

    RuleDraft draft;
    if (editing_) {
      draft = *editing_;
      ChooseProgram(draft.program == L"*" ? kEvery : kByName);
      SetDlgItemTextW(dialog, kFileName, draft.program == L"*" ? L"" : draft.program.c_str());
      for (int id : {kPick, kWindows, kByName, kFileName, kEvery}) EnableWindow(Item(id), FALSE);
    } else {
      ChooseProgram(open_.empty() ? kByName : kPick);
      if (!open_.empty()) SelectRow(windows, 0);
    }
    Show(draft);
    // The first control to use: the program when adding, else the first setting.
    SetFocus(editing_ ? Item(kReady) : open_.empty() ? Item(kFileName) : windows);
    return FALSE;
  }

  // The controls as a draft says, and its preview.
  void Show(const RuleDraft& d) {
    showing_ = true;
    CheckRadioButton(dialog_, kTyped, kNever, d.type ? kTyped : kNever);
    CheckRadioButton(dialog_, kLayout, kPaste,
                     d.keys == wedge::KeysMode::Unicode ? kUnicode
                     : d.keys == wedge::KeysMode::Paste ? kPaste
                                                        : kLayout);
    SetDlgItemInt(dialog_, kDelay, d.delay_ms, FALSE);
    SetDlgItemInt(dialog_, kEnterDelay, d.enter_delay_ms, FALSE);
    CheckDlgButton(dialog_, kBank, (d.kinds & 1u) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog_, kId, (d.kinds & 2u) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog_, kOwn, (d.kinds & 4u) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog_, kMask, d.mask ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog_, kAge, d.min_age ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog_, kMinAge, d.min_age.value_or(21), FALSE);
    SetDlgItemTextW(dialog_, kTemplate, d.form.c_str());
    showing_ = false;
    Update();
  }

  // The program the dialog's controls name; empty when none is chosen.
  std::wstring Program() const {
    if (editing_) return editing_->program;
    if (Checked(kEvery)) return L"*";
    if (Checked(kByName)) return WindowText(Item(kFileName));
    const int row = SelectedRow(Item(kWindows));
    return row >= 0 && row < static_cast<int>(open_.size()) ? open_[static_cast<std::size_t>(row)].program
                                                              : std::wstring();
  }

  RuleDraft Draft() const {
    RuleDraft d;
    d.program = Program();
    d.type = Checked(kTyped);
    d.keys = Checked(kUnicode) ? wedge::KeysMode::Unicode
             : Checked(kPaste) ? wedge::KeysMode::Paste
                               : wedge::KeysMode::Layout;
    d.delay_ms = NumberIn(dialog_, kDelay);
    d.enter_delay_ms = NumberIn(dialog_, kEnterDelay);
    d.kinds = (Checked(kBank) ? 1u : 0u) | (Checked(kId) ? 2u : 0u) | (Checked(kOwn) ? 4u : 0u);
    d.mask = Checked(kMask);
    if (Checked(kAge)) d.min_age = NumberIn(dialog_, kMinAge);
    d.form = WindowText(Item(kTemplate));
    return d;
  }

  void Update() {
    if (showing_) return;
    EnableWindow(Item(kMinAge), Checked(kAge));
    const Preview preview = PreviewOf(Draft(), framing_);
    SetDlgItemTextW(dialog_, kPreview, preview.typed.c_str());
    SetDlgItemTextW(dialog_, kPreviewNote, preview.note.c_str());
  }

  void ProgramPicked() {
    if (!editing_ && SelectedRow(Item(kWindows)) >= 0) ChooseProgram(kPick);
  }

  void OnCommand(WORD id, WORD code) {
    switch (id) {
      case IDOK: Finish(); return;
      case IDCANCEL: EndDialog(dialog_, IDCANCEL); return;
      case kReady:
        if (code == CBN_SELCHANGE) StartFrom(static_cast<int>(SendDlgItemMessageW(dialog_, kReady, CB_GETCURSEL, 0, 0)));
        return;
      case kInsert: InsertField(); return;
      case kFileName:
        if (code == EN_CHANGE && !editing_ && !showing_ && GetFocus() == Item(kFileName)) {
          ChooseProgram(kByName);
        }
        break;
      case kPick:
      case kByName:
      case kEvery:
        if (code == BN_CLICKED && !editing_) ChooseProgram(id);
        break;
      default: break;
    }
    if (code == BN_CLICKED || code == EN_CHANGE) Update();
  }

  void StartFrom(int choice) {
    if (choice <= 0 || choice > static_cast<int>(std::size(kReadyRules))) return;
    const ReadyRule& ready = kReadyRules[choice - 1];
    std::wstring fault;
    std::optional<RuleDraft> draft = DraftOf(wedge::StoredRule{ready.program, ready.data}, fault);
    if (!draft) return;
    if (!editing_) {
      SetDlgItemTextW(dialog_, kFileName, ready.program);
      ChooseProgram(kByName);
    }
    Show(*draft);
  }

  void InsertField() {
    HWND field = Item(kField);
    const int choice = static_cast<int>(SendMessageW(field, CB_GETCURSEL, 0, 0));
    if (choice < 0) return;
    std::wstring text(static_cast<std::size_t>(SendMessageW(field, CB_GETLBTEXTLEN, choice, 0)) + 1, L'\0');
    SendMessageW(field, CB_GETLBTEXT, choice, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(wcslen(text.c_str()));
    HWND form = Item(kTemplate);
    SetFocus(form);
    SendMessageW(form, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  }

  // Closes with the draft, once it can be stored; otherwise says what is wrong.
  void Finish() {
    RuleDraft draft = Draft();
    std::wstring problem;
    const std::wstring& program = draft.program;
    if (program.empty()) {
      problem = L"Choose the program the rule is for: one with a window open, or type its file name.";
    } else if (program.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos && program != L"*") {
      problem = L"Type the program's file name only, such as pos.exe, without its folder.";
    } else if (draft.kinds == 0) {
      problem = L"Tick at least one kind of card, or choose \"never typed\".";
    } else {
      const wedge::RuleRead read = wedge::ParseTypingRule(TextOf(draft));
      if (!read.rule) problem = L"This rule cannot be stored: " + read.fault + L".";
    }
    if (!problem.empty()) {
      MessageBoxW(dialog_, problem.c_str(), kTitle, MB_OK | MB_ICONWARNING);
      return;
    }
    result_ = std::move(draft);
    EndDialog(dialog_, IDOK);
  }

  platform::Unique<HIMAGELIST, ImageList_Destroy> images_;
  std::optional<RuleDraft> editing_;
  Framing framing_;
  std::vector<OpenWindow> open_;
  HWND dialog_ = nullptr;
  bool showing_ = false;
  std::optional<RuleDraft> result_;
};

}  // namespace

struct RulesWindow::Impl {
  explicit Impl(std::function<Framing()> f) : framing(std::move(f)) {}

  std::function<Framing()> framing;
  HWND dialog = nullptr;
  bool by_policy = false;
  std::vector<wedge::StoredRule> rules;  // as listed

  static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lp);
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (msg) {
      case WM_INITDIALOG: {
        self->dialog = dialog;
        HWND list = self->List();
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        AddColumn(list, 0, L"Program", 100);
        AddColumn(list, 1, L"What happens", 100);
        FitColumns(list, 30);
        self->Fill();
        return TRUE;  // the focus goes to the list, the first control in tab order
      }
      case WM_COMMAND:
        switch (LOWORD(wp)) {
          case IDCANCEL: DestroyWindow(dialog); break;
          case kAdd: self->Add(); break;
          case kChange: self->Change(); break;
          case kRemove: self->Remove(); break;
          default: break;
        }
        return TRUE;
      case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr->idFrom == kList && hdr->code == NM_DBLCLK) self->Change();
        if (hdr->idFrom == kList && hdr->code == LVN_ITEMCHANGED) self->EnableButtons();
        return TRUE;
      }
      case WM_DESTROY: self->dialog = nullptr; return FALSE;
      default: return FALSE;
    }
  }

  HWND List() const { return GetDlgItem(dialog, kList); }

  // The rules as they stand now: the policy's, read only, or the user's own.
  void Fill(const std::wstring& select = L"") {
    by_policy = settings::TypingRulesByPolicy();
    rules = by_policy ? settings::ReadTypingRules() : settings::ReadUserTypingRules();
    std::stable_sort(rules.begin(), rules.end(), [](const wedge::StoredRule& a, const wedge::StoredRule& b) {
      return (a.program == L"*") < (b.program == L"*");  // "Every other program" last
    });
    SetDlgItemTextW(dialog, kIntro,
                    by_policy ? L"The shop's IT manages these rules by Group Policy: they are shown here, "
                                L"and cannot be changed on this till."
                              : L"How cards are typed into each program. A program without a rule "
                                L"gets cards as the settings window says.");
    HWND list = List();
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int selected = rules.empty() ? -1 : 0;
    for (const wedge::StoredRule& rule : rules) {
      const int row = AddRow(list, ProgramLabel(rule.program), Describe(rule));
      if (!select.empty() && wedge::SameProgram(rule.program, select)) selected = row;
    }
    if (selected >= 0) SelectRow(list, selected);
    EnableWindow(GetDlgItem(dialog, kAdd), !by_policy);
    EnableButtons();
  }

  void EnableButtons() {
    const bool one = SelectedRow(List()) >= 0;
    EnableWindow(GetDlgItem(dialog, kChange), !by_policy && one);
    EnableWindow(GetDlgItem(dialog, kRemove), !by_policy && one);
  }

  const wedge::StoredRule* Selected() const {
    const int row = SelectedRow(List());
    return row >= 0 && row < static_cast<int>(rules.size()) ? &rules[static_cast<std::size_t>(row)] : nullptr;
  }

  void Say(const std::wstring& text) { MessageBoxW(dialog, text.c_str(), kTitle, MB_OK | MB_ICONWARNING); }

  void Add() {
    if (by_policy) return;
    std::optional<RuleDraft> draft = RuleDialog(std::nullopt, framing()).Run(dialog);
    if (!draft) return;
    for (const wedge::StoredRule& rule : rules) {
      if (!wedge::SameProgram(rule.program, draft->program)) continue;
      const std::wstring ask = L"There is a rule for " + ProgramLabel(rule.program) + L" already. Replace it?";
      if (MessageBoxW(dialog, ask.c_str(), kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
      if (rule.program != draft->program) settings::RemoveUserTypingRule(rule.program);
    }
    Store(*draft);
  }

  void Change() {
    const wedge::StoredRule* rule = Selected();
    if (by_policy || !rule) return;
    std::wstring fault;
    std::optional<RuleDraft> draft = DraftOf(*rule, fault);
    if (!draft) {  // opened with what is wrong put right where it can be: the defaults
      draft = RuleDraft{};
      draft->program = rule->program;
    }
    const RuleDraft before = *draft;
    std::optional<RuleDraft> after = RuleDialog(draft, framing()).Run(dialog);
    // Unchanged, a rule written by hand stays exactly as it was written.
    if (!after || (*after == before && fault.empty())) return;
    Store(*after);
  }

  void Remove() {
    const wedge::StoredRule* rule = Selected();
    if (by_policy || !rule) return;
    const std::wstring program = rule->program;
    const std::wstring ask = L"Remove the rule for " + ProgramLabel(program) + L"?";
    if (MessageBoxW(dialog, ask.c_str(), kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (!settings::RemoveUserTypingRule(program)) Say(L"The rule could not be removed.");
    Fill();
    SetFocus(List());
  }

  void Store(const RuleDraft& draft) {
    if (!settings::WriteUserTypingRule(draft.program, TextOf(draft))) Say(L"The rule could not be stored.");
    Fill(draft.program);
    SetFocus(List());
  }
};

RulesWindow::RulesWindow(std::function<Framing()> framing) : impl_(std::make_unique<Impl>(std::move(framing))) {}

RulesWindow::~RulesWindow() { Close(); }

void RulesWindow::Show() {
  if (impl_->dialog) {
    ShowWindow(impl_->dialog, SW_RESTORE);
    SetForegroundWindow(impl_->dialog);
    return;
  }
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);  // the list's class; a failure shows as no window
  const std::vector<std::uint8_t> dialog =
      MakeDialogTemplate(kTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER, 340, 176,
                         RulesItems());
  HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), nullptr,
                                           &Impl::Proc, reinterpret_cast<LPARAM>(impl_.get()));
  if (!window) return;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
}

void RulesWindow::Close() {
  if (impl_->dialog) DestroyWindow(impl_->dialog);
}

HWND RulesWindow::hwnd() const { return impl_->dialog; }

}  // namespace shell
