#pragma once
// The one owner of the card reader's life: the control, its session, its card handler and its
// health, and the rule that keeps a control alive while it runs the program's code.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "reader/dispatch.h"
#include "reader/reader_health.h"
#include "reader/reader_session.h"
#include "wedge/card_event.h"

namespace shell {

// What the owner needs of the program around it.
class ReaderHost {
 public:
  virtual ~ReaderHost() = default;
  // A new control, its events going to `events`; a control that could not be made answers
  // every call with a failure.
  virtual std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents& events) = 0;
  // Work waits for the reader's call or event to return: call RunWaitingWork from the message
  // loop, later.
  virtual void WorkWaiting() = 0;
  // Call QuietTimeElapsed once, `ms` from now (one timer: a new one replaces the old).
  virtual void SetQuietTimer(unsigned ms) = 0;
  virtual std::uint64_t NowMs() = 0;
  // The reader became ready, or not ready, or not ready for another reason.
  virtual void HealthChanged(const reader::ReaderHealth& health) = 0;
};

// What Windows announced about the PC's devices.
enum class DeviceNews {
  Arrived,       // a device interface or port arrived
  Removed,       // one was removed
  NodesChanged,  // something in the device tree changed, without saying what
  Resumed,       // the PC woke from sleep
};

// Owns the reader. Nothing stops, releases or restarts it while the program is inside one of its
// calls (a control may run the message loop while it waits) or inside one of its events: such a
// request is done once the call or event has returned, and requests made meanwhile are merged
// into the strongest of them (a stop over a reconnect over a check).
class ReaderOwner : public reader::ReaderEvents {
 public:
  // Devices are announced in bursts: the reader is looked at once they have been quiet this long,
  static constexpr unsigned kQuietMs = 3000;
  // or this long after the burst's first announcement, whichever comes first.
  static constexpr unsigned kBurstMaxMs = 10000;

  ReaderOwner(ReaderHost& host, wedge::CardForm& form, wedge::KeystrokeOutput& keys,
              std::function<void()> do_events, const wedge::Ending& ending, wedge::UserCue* cue);
  ~ReaderOwner() override;
  ReaderOwner(const ReaderOwner&) = delete;
  ReaderOwner& operator=(const ReaderOwner&) = delete;

  // Creates the control and runs the start sequence.
  void Start();
  // The stop sequence (when the reader was opened), the control let go, the start sequence.
  void Reconnect();
  // A device came or went, or the PC woke up. Once the announcements have been quiet for
  // kQuietMs, or kBurstMaxMs after the burst began, the burst gives at most one look and one
  // start (later announcements begin a new burst): a reader that is not ready is started again
  // (unless devices were only removed); one thought ready is checked and started again only
  // when the check says it is broken, or, for a control that cannot tell, when a device was
  // removed since it started and one has arrived after that, or the PC woke up.
  // A reader found broken again right after such a start is reported not working instead.
  void DeviceAnnounced(DeviceNews news);
  // The program ends (its ending has begun: no card is handled any more): the reader is stopped
  // and let go (once it may be) and nothing starts it again.
  void Stop();
  // Whatever a stop left undone because the program was inside the reader; then the control is
  // freed. For the end of the message loop, where no call or event of the reader is on the stack.
  void Finish();

  void RunWaitingWork();
  void QuietTimeElapsed();

  // True while the program is inside a call to the reader or one of its events.
  bool busy() const { return depth_ > 0; }
  const reader::ReaderHealth& health() const { return health_; }

  // reader::ReaderEvents
  void OnDataEvent(std::int32_t status) override;
  void OnErrorEvent(std::int32_t result, std::int32_t extended, std::int32_t locus) override;
  void OnStatusUpdateEvent(std::int32_t data) override;

 private:
  enum class Work { None, Check, Reconnect, Stop };  // weakest first
  class Inside;
  class Counted;

  void Request(Work work);
  void Do(Work work);
  void DoStart();
  void DoCheck();
  void ReconnectForBurst(bool broken);
  void NotWorking();
  void StopAndRelease();
  void LetGo();
  void SetHealth(reader::ReaderHealth health);
  void Leave();

  ReaderHost& host_;
  std::unique_ptr<reader::ReaderControl> control_;
  std::unique_ptr<Counted> counted_;  // the control, with every call counted as being inside it
  reader::ReaderSession session_;
  wedge::CardEventHandler handler_;
  reader::ReaderHealth health_;
  int depth_ = 0;
  Work waiting_ = Work::None;
  bool stopping_ = false;
  bool stopped_ = false;
  bool starting_ = false;            // inside the start sequence
  bool power_lost_ = false;          // reported off or offline since the last start
  bool health_reported_ = false;
  bool started_once_ = false;
  // The announcements since the quiet timer was last armed, and since the last start.
  struct Burst {
    bool any = false, arrived = false, removed = false, resumed = false;
    std::uint64_t first_ms = 0;
  };
  Burst burst_, checking_;
  bool removed_since_start_ = false;
  bool arrived_after_removal_ = false;
  std::optional<std::uint64_t> burst_start_ended_;  // when a start made for a burst ended
};

}  // namespace shell
