#pragma once
// Test doubles of the reader's dispatch surface and of the keystroke output.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reader/dispatch.h"
#include "wedge/keystroke_output.h"

namespace testing_fakes {

// A reader control that answers from a property map, journals every call in order and fails the
// calls it is told to fail.
class FakeReader : public reader::ReaderDispatch {
 public:
  struct Entry {
    char kind;  // 'C' call, 'P' put, 'G' get
    reader::DispId id;
    std::vector<reader::DispValue> args;
  };

  std::map<reader::DispId, reader::DispValue> props;
  std::set<reader::DispId> failing;
  std::vector<Entry> journal;
  std::function<void(reader::DispId)> on_get;  // runs before a get is answered
  std::function<void(const Entry&)> on_call;   // runs after a call or put is journalled

  // Loads a card: the five fields and the three tracks.
  void Card(const std::wstring& t1, const std::wstring& t2, const std::wstring& t3,
            const std::wstring& first = L"", const std::wstring& account = L"") {
    using reader::DispId;
    props[DispId::Track1Data] = t1;
    props[DispId::Track2Data] = t2;
    props[DispId::Track3Data] = t3;
    props[DispId::FirstName] = first;
    props[DispId::MiddleInitial] = std::wstring();
    props[DispId::Surname] = std::wstring();
    props[DispId::ExpirationDate] = std::wstring();
    props[DispId::AccountNumber] = account;
  }

  bool Call(reader::DispId id, const std::vector<reader::DispValue>& args) override {
    journal.push_back({'C', id, args});
    if (on_call) on_call(journal.back());
    return !failing.count(id);
  }
  bool Put(reader::DispId id, const reader::DispValue& value) override {
    journal.push_back({'P', id, {value}});
    if (on_call) on_call(journal.back());
    if (failing.count(id)) return false;
    props[id] = value;
    return true;
  }
  bool Get(reader::DispId id, reader::DispValue& result) override {
    journal.push_back({'G', id, {}});
    if (on_get) on_get(id);
    if (failing.count(id)) return false;
    auto it = props.find(id);
    result = it == props.end() ? reader::DispValue{} : it->second;
    return true;
  }

  int Count(char kind, reader::DispId id) const {
    int n = 0;
    for (const Entry& e : journal) n += (e.kind == kind && e.id == id);
    return n;
  }
};

// Records every SendKeys call, and the calls of each card as one batch; can be told to fail calls
// by their position.
class RecordingKeys : public wedge::KeystrokeOutput {
 public:
  std::vector<std::wstring> sent;
  std::set<std::size_t> failing_calls;
  std::vector<std::vector<std::wstring>> batches;  // the calls made between BeginCard and EndCard
  int nesting = 0;                                  // BeginCard calls not yet ended
  int max_nesting = 0;

  bool SendKeys(const std::wstring& keys) override {
    const std::size_t index = calls++;
    if (failing_calls.count(index)) return false;
    sent.push_back(keys);
    if (nesting > 0) batches.back().push_back(keys);
    return true;
  }
  void BeginCard() override {
    if (++nesting > max_nesting) max_nesting = nesting;
    batches.emplace_back();
  }
  void EndCard() override { --nesting; }
  bool WantsCardFields() override { return wants_fields; }
  void CardFields(const wedge::CardTexts& texts) override {
    service_codes.push_back(texts[wedge::CardField::ServiceCode]);
  }

  bool wants_fields = false;               // as an output with typing rules stored
  std::vector<std::wstring> service_codes;  // each card's, as given to the output

  std::size_t calls = 0;
};

}  // namespace testing_fakes
