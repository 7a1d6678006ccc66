#pragma once
// Whether a card may be typed into the window in front, and the cue the user gets when it is not.

#include <cstdint>
#include <optional>
#include <string>

namespace wedge {

// What is known of the window that would receive the keys.
struct ForegroundTarget {
  bool ours = false;                       // a window of this program (its settings, its menu)
  std::optional<std::uint32_t> integrity;  // its process's integrity level (a RID), when known
  bool window = true;                      // false: no window is in front at all
};

enum class TypingVerdict {
  Type,
  OwnWindow,        // the card would tick boxes of our own settings window: not typed
  HigherIntegrity,  // Windows drops injected keys aimed at a more privileged program, silently
};

// The verdict for a card aimed at `target` from a process of integrity `own`. A program in front
// whose level cannot be read (Windows refuses to open it: it runs elevated, or as another user)
// counts as more privileged: its keys would be dropped without a word, and a card the user hears
// refused is swiped again, one silently lost is not. Only our own level unknown lets it through.
TypingVerdict JudgeTarget(const ForegroundTarget& target, std::optional<std::uint32_t> own);

// What a typing rule kept from being typed, for the shop's IT (the event log's entries).
enum class TypingTrouble {
  RuleWrong,      // the rule for the program in front cannot be read
  FieldMissing,   // the card lacks a field its template names
  WindowChanged,  // another window came in front before or while the card was typed
  PasteFailed,    // a pasted card, or the clipboard's earlier text, did not arrive whole
  NoTimer,        // Windows gave no timer to pace the card with
  KindRefused,    // the rule takes other kinds of card ("what" names the kind)
};

// What an ID card swiped into a program that checks an age shows.
enum class IdVerdict { OldEnough, UnderAge, Expired };

// The notice's words, read at a glance ("ID: 21 or over"); never anything of the card.
std::wstring IdNotice(IdVerdict verdict, unsigned min_age);

// A short, unobtrusive signal that a swiped card was not typed, and what IT should hear of.
class UserCue {
 public:
  virtual ~UserCue() = default;
  virtual void CardNotTyped() = 0;
  // `program` is the rule's program name, `what` a few words; never anything of a card.
  virtual void Trouble(TypingTrouble /*trouble*/, const std::wstring& /*program*/,
                       const std::wstring& /*what*/) {}
  // The rule for the program in front read fine, or it has none: a wrong rule's notice goes.
  virtual void RuleReadFine() {}
  // An ID card was swiped into a program whose rule checks `min_age`: the verdict, shown and
  // sounded at once, whether or not the card is typed.
  virtual void IdChecked(IdVerdict /*verdict*/, unsigned /*min_age*/) {}
};

}  // namespace wedge
