#include "shell/reader_owner.h"

#include <algorithm>
#include <utility>

namespace shell {

// Counts the program as inside the reader for as long as it lives; the last one to go hands
// over whatever work waited meanwhile.
class ReaderOwner::Inside {
 public:
  explicit Inside(ReaderOwner& owner) : owner_(owner) { ++owner_.depth_; }
  ~Inside() {
    if (--owner_.depth_ == 0) owner_.Leave();
  }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;

 private:
  ReaderOwner& owner_;
};

// The control as the session and the card handler see it: each call counted as being inside it.
class ReaderOwner::Counted : public reader::ReaderDispatch {
 public:
  explicit Counted(ReaderOwner& owner) : owner_(owner) {}

  bool Call(reader::DispId id, const std::vector<reader::DispValue>& args) override {
    const Inside inside(owner_);
    return Reachable() && owner_.control_->Call(id, args);
  }
  bool Put(reader::DispId id, const reader::DispValue& value) override {
    const Inside inside(owner_);
    return Reachable() && owner_.control_->Put(id, value);
  }
  bool Get(reader::DispId id, reader::DispValue& result) override {
    const Inside inside(owner_);
    return Reachable() && owner_.control_->Get(id, result);
  }
  bool FixedNumbers() const override {
    return !owner_.control_ || owner_.control_->FixedNumbers();
  }

 private:
  // A start goes no further once the program has been told to end (while its Open waited, say):
  // the rest of the sequence fails, and the stop closes what was opened.
  bool Reachable() const { return owner_.control_ && !(owner_.starting_ && owner_.stopping_); }

  ReaderOwner& owner_;
};

ReaderOwner::ReaderOwner(ReaderHost& host, wedge::CardForm& form, wedge::KeystrokeOutput& keys,
                         std::function<void()> do_events, const wedge::Ending& ending,
                         wedge::UserCue* cue)
    : host_(host),
      counted_(std::make_unique<Counted>(*this)),
      handler_(*counted_, form, keys, std::move(do_events), ending, cue) {}

ReaderOwner::~ReaderOwner() {
  if (control_) control_->Release();
}

void ReaderOwner::Start() { Request(Work::Reconnect); }

void ReaderOwner::Reconnect() { Request(Work::Reconnect); }

void ReaderOwner::DeviceAnnounced(DeviceNews news) {
  if (stopping_) return;
  const std::uint64_t now = host_.NowMs();
  if (!burst_.any) burst_.first_ms = now;
  burst_.any = true;
  switch (news) {
    case DeviceNews::Arrived:
      burst_.arrived = true;
      if (removed_since_start_) arrived_after_removal_ = true;
      break;
    case DeviceNews::Removed:
      burst_.removed = true;
      removed_since_start_ = true;
      break;
    case DeviceNews::NodesChanged: break;
    case DeviceNews::Resumed: burst_.resumed = true; break;
  }
  // Each announcement puts the look off again, but a device that keeps announcing itself (a flaky
  // hub, a phone charging on and off) must not put it off for ever.
  const std::uint64_t cap = burst_.first_ms + kBurstMaxMs;
  const std::uint64_t left = cap > now ? cap - now : 0;
  host_.SetQuietTimer(static_cast<unsigned>(std::min<std::uint64_t>(kQuietMs, left)));
}

void ReaderOwner::Stop() { Request(Work::Stop); }

void ReaderOwner::Finish() {
  if (stopping_ && !stopped_ && depth_ == 0) Do(Work::Stop);
  LetGo();
}

void ReaderOwner::RunWaitingWork() {
  if (depth_ > 0 || waiting_ == Work::None) return;
  Do(std::exchange(waiting_, Work::None));
}

void ReaderOwner::QuietTimeElapsed() {
  if (!burst_.any) return;
  // Merged with any burst a look still waiting for the reader has not taken yet.
  checking_.any = true;
  checking_.arrived |= burst_.arrived;
  checking_.removed |= burst_.removed;
  checking_.resumed |= burst_.resumed;
  if (!checking_.first_ms) checking_.first_ms = burst_.first_ms;
  burst_ = Burst{};
  Request(Work::Check);
}

void ReaderOwner::Request(Work work) {
  if (stopped_ || (stopping_ && work != Work::Stop)) return;
  if (work == Work::Stop) stopping_ = true;
  work = std::max(work, std::exchange(waiting_, Work::None));
  if (depth_ > 0) {
    waiting_ = work;
    return;
  }
  Do(work);
}

void ReaderOwner::Leave() {
  if (waiting_ != Work::None) host_.WorkWaiting();
}

void ReaderOwner::Do(Work work) {
  switch (work) {
    case Work::None: return;
    case Work::Check: DoCheck(); return;
    case Work::Reconnect:
      // The first start creates the control; later ones let the old one go first.
      if (started_once_) StopAndRelease();
      if (stopping_) return;  // told to end while the old control was let go
      DoStart();
      return;
    case Work::Stop:
      stopped_ = true;
      StopAndRelease();
      return;
  }
}

void ReaderOwner::DoStart() {
  {
    const Inside inside(*this);
    started_once_ = true;
    starting_ = true;
    power_lost_ = false;
    removed_since_start_ = arrived_after_removal_ = false;
    checking_ = Burst{};  // a look that waited behind this start has nothing left to look at
    // Made afresh: the reader's software may have been installed, or a policy changed, since.
    control_ = host_.CreateControl(*this);
    session_.Start(*counted_);
    handler_.SetSentinelsTransmitted(session_.sentinels_transmitted());
    starting_ = false;
  }
  // The program began to end while the reader started; or the reader reported itself off
  // during the start, which stands.
  if (stopping_ || power_lost_) return;
  SetHealth(reader::AssessReader(control_->HasControl(), control_->EventsConnected(), session_,
                                 control_->HasControl() ? control_->ProgId() : control_->Tried()));
}

void ReaderOwner::StopAndRelease() {
  if (!control_) return;
  const Inside inside(*this);
  // A reconnect closes only what was opened; the program's end runs the whole stop sequence.
  if (session_.opened() || stopped_) session_.Stop(*counted_);
  LetGo();
}

// Unadvising and the last reference may run the control's teardown, which may pump messages:
// the program counts as inside the reader until it has gone.
void ReaderOwner::LetGo() {
  if (!control_) return;
  const Inside inside(*this);
  control_->Release();
  control_.reset();
}

void ReaderOwner::DoCheck() {
  const Burst burst = std::exchange(checking_, Burst{});
  if (!burst.any) return;
  // Announcements that began while, or just after, a start made for a burst are most likely
  // its own: a reader found broken then is not started again in a loop.
  const bool echo = burst_start_ended_ && burst.first_ms < *burst_start_ended_ + kQuietMs;
  if (!health_.ready) {
    // Only removals bring nothing new to find.
    const bool news = burst.arrived || burst.resumed || !burst.removed;
    if (news && !(echo && health_.state == reader::ReaderState::NotWorking)) {
      Request(Work::Reconnect);
    }
    return;
  }
  reader::ReaderCheck check;
  {
    const Inside inside(*this);
    check = session_.Check(*counted_);
  }
  if (stopping_) return;
  if (check == reader::ReaderCheck::Broken) {
    // With devices only removed the reader is most likely unplugged: its arrival starts it.
    const bool only_removed = burst.removed && !burst.arrived && !burst.resumed;
    if (echo || only_removed) {
      NotWorking();
    } else {
      ReconnectForBurst(true);
    }
    return;
  }
  if (check == reader::ReaderCheck::Unknown && (arrived_after_removal_ || burst.resumed)) {
    ReconnectForBurst(false);
  }
}

// One start for a burst; a reader found broken that is still broken after it is reported as
// not working.
void ReaderOwner::ReconnectForBurst(bool broken) {
  Request(Work::Reconnect);
  if (busy() || stopping_) return;  // done later, from the message loop
  burst_start_ended_ = host_.NowMs();
  if (!broken || !health_.ready) return;
  reader::ReaderCheck check;
  {
    const Inside inside(*this);
    check = session_.Check(*counted_);
  }
  if (check == reader::ReaderCheck::Broken && !stopping_) NotWorking();
}

void ReaderOwner::NotWorking() {
  reader::ReaderHealth broken;
  broken.state = reader::ReaderState::NotWorking;
  broken.control = health_.control;
  broken.problem = L"card reader not working";
  SetHealth(std::move(broken));
}

void ReaderOwner::SetHealth(reader::ReaderHealth health) {
  const bool changed = health.ready != health_.ready || health.problem != health_.problem ||
                       health.name != health_.name || !health_reported_;
  health_ = std::move(health);
  health_reported_ = true;
  if (changed) host_.HealthChanged(health_);
}

void ReaderOwner::OnDataEvent(std::int32_t status) {
  const Inside inside(*this);
  handler_.MSR1_DataEvent(status);
}

void ReaderOwner::OnErrorEvent(std::int32_t result, std::int32_t extended, std::int32_t locus) {
  const Inside inside(*this);
  handler_.MSR1_ErrorEvent(result, extended, locus);
}

void ReaderOwner::OnStatusUpdateEvent(std::int32_t data) {
  const Inside inside(*this);
  if (stopping_ || !session_.power_reported()) return;
  if (data == reader::kPowerOnline) {
    // Back: most service objects need Close and Open before the device works again.
    if (std::exchange(power_lost_, false)) Request(Work::Reconnect);
    return;
  }
  if (!reader::IsPowerLost(data)) return;
  power_lost_ = true;
  reader::ReaderHealth lost;
  lost.state = reader::ReaderState::PowerLost;
  lost.control = health_.control;
  lost.problem = data == reader::kPowerOffline ? L"card reader offline"
                                               : L"card reader unplugged or switched off";
  SetHealth(std::move(lost));
}

}  // namespace shell
