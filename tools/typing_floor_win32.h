#pragma once
// The floor of typing a text into another process: one bare SendInput call of Unicode key
// records, with no layout work at all. Under Wine the receiving box sets the pace, so no keystroke
// output can beat it by much; the benchmarks measure against it in the same run.

#include <windows.h>

#include <string>
#include <vector>

namespace typing_floor {

// The benchmarks' three-track card, test card data only: its tracks without sentinels.
inline const std::wstring kTrack1 =
    L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000000";
inline const std::wstring kTrack2 = L"4111111111111111=29121010000000000000";
inline const std::wstring kTrack3 =
    L"011234567890123445=724724100000000000030300020040400099010=00000000000000000000000000000000";

// Key-down and key-up records for each character of `typed`; "\n" is typed as Enter.
std::vector<INPUT> UnicodeRecords(const std::wstring& typed);

// Types the records in one SendInput call; true when every record was taken.
bool TypeBare(std::vector<INPUT>& records);

// The p-th quantile (0 to 1) of the samples, the nearest rank; 0 when there are none.
double Percentile(std::vector<double> samples, double p);

}  // namespace typing_floor
