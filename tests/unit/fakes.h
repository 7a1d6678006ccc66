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

// Takes each card's calls and hands them on as the output types them: card after card in the
// order they were swiped, each once it has ended, however the calls of cards interleave. Can be
// told to fail calls by their position.
class RecordingKeys : public wedge::KeystrokeOutput {
 public:
  std::vector<std::wstring> sent;                   // the calls of the cards typed, in order
  std::vector<std::vector<std::wstring>> batches;  // ... each card's apart
  std::vector<std::wstring> service_codes;          // each typed card's, as given to the output
  std::set<std::size_t> failing_calls;
  bool wants_fields = false;  // as an output with typing rules stored

  CardId CardSwiped() override {
    cards_.push_back(Card{});
    return first_ + cards_.size() - 1;
  }
  bool SendKeys(CardId card, const std::wstring& keys) override {
    const std::size_t index = calls_++;
    if (failing_calls.count(index)) return false;
    At(card).calls.push_back(keys);
    return true;
  }
  void EndCard(CardId card) override {
    At(card).ended = true;
    while (!cards_.empty() && cards_.front().ended) {
      sent.insert(sent.end(), cards_.front().calls.begin(), cards_.front().calls.end());
      batches.push_back(cards_.front().calls);
      service_codes.push_back(cards_.front().service_code);
      cards_.erase(cards_.begin());
      ++first_;
    }
  }
  bool WantsCardFields(CardId) override { return wants_fields; }
  void CardFields(CardId card, const wedge::CardTexts& texts) override {
    At(card).service_code = texts[wedge::CardField::ServiceCode];
  }
  // Cards swiped and not yet typed.
  std::size_t waiting() const { return cards_.size(); }

 private:
  struct Card {
    std::vector<std::wstring> calls;
    std::wstring service_code;
    bool ended = false;
  };
  Card& At(CardId card) { return cards_.at(card - first_); }

  std::vector<Card> cards_;
  CardId first_ = 1;
  std::size_t calls_ = 0;
};

}  // namespace testing_fakes
