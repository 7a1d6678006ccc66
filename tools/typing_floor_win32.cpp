#include "typing_floor_win32.h"

#include <algorithm>

namespace typing_floor {

std::vector<INPUT> UnicodeRecords(const std::wstring& typed) {
  std::vector<INPUT> inputs;
  for (wchar_t c : typed) {
    for (bool up : {false, true}) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      if (c == L'\n') {
        in.ki.wVk = VK_RETURN;
        in.ki.wScan = 0x1C;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      } else {
        in.ki.wScan = c;
        in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      }
      inputs.push_back(in);
    }
  }
  return inputs;
}

bool TypeBare(std::vector<INPUT>& records) {
  return SendInput(static_cast<UINT>(records.size()), records.data(), sizeof(INPUT)) == records.size();
}

double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[i];
}

}  // namespace typing_floor
