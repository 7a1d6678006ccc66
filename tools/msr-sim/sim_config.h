#pragma once
// Fault injection and journalling of the simulated reader, read from a configuration whose
// lines are (one each, blanks around "=" not allowed):
//   journal=<file>              append every call received to <file>
//   result=<dispid>,<code>[,<ext>]  refuse the call or property set <dispid> with these codes
//   failget=<dispid>            a read of property <dispid> fails outright
//   nodevice                    Open finds no device (ResultCode 109)
//   noclassinfo                 no IProvideClassInfo2: clients must enumerate connection points
//   nodefaultsource             class information whose coclass names no default source, and no
//                               default source IID: clients must enumerate connection points
//   nocreate                    creating the control fails
//   failinvoke                  every dispatch call fails outright
//   selffree                    the reader does not hold itself while it raises an event; a
//                               client that lets it go from inside the event ends the process
//                               (exit code kFreedInEventExitCode), as a real control would crash
//   post=<message>[,<wparam>]   while raising the next event, posts <message> to the client's
//                               captioned windows on its thread (e.g. post=16 for WM_CLOSE)
//   helper=<dll>                Open loads <dll> by its bare name, as a service object loads its
//                               own DLLs, and fails with OposENoservice (104) when it cannot
//   openwait=<ms>               Open runs the message loop for <ms> before it returns, as a control
//                               waiting for its device does (dispatching WM_QUIT too)
//   releasewait=<ms>            letting the reader go (its events' Unadvise) runs the message loop
//                               for <ms>, as an out-of-process control's teardown does; journals
//                               "teardown 0" before and "returned 0" after
//   health                      MSRLib.MSR answers the names CheckHealth and State (51 and 52),
//                               which it otherwise does not
//   vtablepoint                 with nodefaultsource: a connection point enumerated first whose
//                               interface the control's type library describes as a vtable one
//   power                       the reader reports power (CapPowerReporting standard): with
//                               PowerNotify on, it raises StatusUpdateEvent on "power=off|on"
//   decodedata=0|1, parsedecodedata=0|1, transmitsentinels=0|1
//                               the starting values of these properties (1, 1 and 0 unless given):
//                               tracks raw or decoded, fields parsed or empty, sentinels sent or not
//   cardtype=<text>|none        OPOS.MSR reports CardType <text> (may be empty) for every card
//                               instead of the card's own kind; "none": it does not know the name
//   encrypt[=<algorithm>]       OPOS.MSR reports CapDataEncryption 3 and DataEncryptionAlgorithm 2
//                               (or <algorithm>, decimal or 0x hexadecimal); above 1 it encrypts:
//                               masked tracks, encrypted blocks and a key serial number
//   binaryconversion=0|1|2      the starting value of BinaryConversion (0 unless given)
// The swipe command may also send "raise=2", "raise=3" or "raise=5" to a running reader, which
// then raises its DirectIO, Error or StatusUpdate event, and "power=off" or "power=on": the device
// is unplugged, or plugged in again but dead until the reader is closed and opened.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace msr_sim {

// The exit code of a process that let the reader go from inside the reader's own event.
inline constexpr unsigned kFreedInEventExitCode = 0xDEAD;

struct SimConfig {
  std::wstring journal;
  std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> results;
  std::set<std::int32_t> failing_gets;
  bool no_device = false;
  bool no_class_info = false;
  bool no_default_source = false;
  bool no_create = false;
  bool fail_invoke = false;
  bool self_free = false;
  std::wstring helper_dll;
  unsigned open_wait_ms = 0;
  unsigned release_wait_ms = 0;
  bool msrlib_health = false;
  bool vtable_point = false;
  bool power_reporting = false;
  bool decode_data = true, parse_decode_data = true, transmit_sentinels = false;
  std::optional<std::wstring> card_type;  // none: the card's own kind
  bool card_type_unknown = false;
  std::int32_t encryption = 0;            // 0: not capable; else DataEncryptionAlgorithm
  std::int32_t binary_conversion = 0;
  unsigned post_message = 0;  // 0: none
  std::uintptr_t post_wparam = 0;

  // Applies one line; false when it is not understood.
  bool Apply(const std::wstring& line);
};

}  // namespace msr_sim
