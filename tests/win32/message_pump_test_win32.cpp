#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "shell/message_pump.h"

namespace {

// A message-only window that records the user messages it receives.
class RecordingWindow {
 public:
  RecordingWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanPumpTestWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, this);
  }
  ~RecordingWindow() { DestroyWindow(hwnd_); }
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  std::vector<WPARAM> seen;
  int depth = 0, deepest = 0;  // handlers of yielding messages on the stack

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_APP) {
      self->seen.push_back(wp);
      if (wp >= 99) {  // a handler that yields in mid-run
        self->deepest = std::max(self->deepest, ++self->depth);
        shell::DoEvents();
        --self->depth;
      }
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  HWND hwnd_ = nullptr;
};

TEST(MessagePump, DispatchesEveryPendingMessageInOrderThenReturns) {
  RecordingWindow window;
  ASSERT_NE(window.hwnd(), nullptr);
  for (WPARAM i = 1; i <= 3; ++i) PostMessageW(window.hwnd(), WM_APP, i, 0);
  shell::DoEvents();
  EXPECT_EQ(window.seen, (std::vector<WPARAM>{1, 2, 3}));
  shell::DoEvents();  // nothing pending: returns at once
  EXPECT_EQ(window.seen.size(), 3u);
}

TEST(MessagePump, RunsEventsNestedInsideAYieldingHandler) {
  RecordingWindow window;
  PostMessageW(window.hwnd(), WM_APP, 99, 0);
  PostMessageW(window.hwnd(), WM_APP, 7, 0);
  shell::DoEvents();
  EXPECT_EQ(window.seen, (std::vector<WPARAM>{99, 7}));
}

// Every handler of a flood of messages yields: they would nest one inside the other until the
// stack ran out. Past the bound they wait for an outer yield, and all are still handled, in order.
TEST(MessagePump, AFloodOfYieldingHandlersNestsOnlySoDeep) {
  RecordingWindow window;
  constexpr WPARAM kFlood = 5000;
  for (WPARAM i = 0; i < kFlood; ++i) PostMessageW(window.hwnd(), WM_APP, 100 + i, 0);
  shell::DoEvents();
  EXPECT_LE(window.deepest, shell::kMaxYieldDepth);
  ASSERT_EQ(window.seen.size(), kFlood);
  for (WPARAM i = 0; i < kFlood; ++i) ASSERT_EQ(window.seen[i], 100 + i);
}

TEST(MessagePump, LeavesAQuitRequestForTheMainLoop) {
  RecordingWindow window;
  PostQuitMessage(3);
  shell::DoEvents();
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
