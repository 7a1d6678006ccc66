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
    return owner_.control_ && owner_.control_->Call(id, args);
  }
  bool Put(reader::DispId id, const reader::DispValue& value) override {
    const Inside inside(owner_);
    return owner_.control_ && owner_.control_->Put(id, value);
  }
  bool Get(reader::DispId id, reader::DispValue& result) override {
    const Inside inside(owner_);
    return owner_.control_ && owner_.control_->Get(id, result);
  }
  bool FixedNumbers() const override {
    return !owner_.control_ || owner_.control_->FixedNumbers();
  }

 private:
  ReaderOwner& owner_;
};

ReaderOwner::ReaderOwner(ReaderHost& host, wedge::CardForm& form, wedge::KeystrokeOutput& keys,
                         std::function<void()> do_events, wedge::UserCue* cue)
    : host_(host),
      counted_(std::make_unique<Counted>(*this)),
      handler_(*counted_, form, keys, std::move(do_events), cue) {}

ReaderOwner::~ReaderOwner() {
  if (control_) control_->Release();
}

void ReaderOwner::Start() { Request(Work::Reconnect); }

void ReaderOwner::Reconnect() { Request(Work::Reconnect); }

void ReaderOwner::DevicesChanged() { Request(Work::Check); }

void ReaderOwner::Stop() {
  // At once, even inside a card: its keys are not typed, nor those of cards waiting.
  handler_.StopHandling();
  Request(Work::Stop);
}

void ReaderOwner::Finish() {
  if (stopping_ && !stopped_ && depth_ == 0) Do(Work::Stop);
  if (control_) control_->Release();
  control_.reset();
}

void ReaderOwner::RunWaitingWork() {
  if (depth_ > 0 || waiting_ == Work::None) return;
  Do(std::exchange(waiting_, Work::None));
}

void ReaderOwner::RetryTimerElapsed() {
  if (!std::exchange(retry_armed_, false)) return;
  Request(Work::Reconnect);
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
    retry_armed_ = false;
    power_lost_ = false;
    last_start_ = host_.NowMs();
    // Made afresh: the reader's software may have been installed, or a policy changed, since.
    control_ = host_.CreateControl(*this);
    session_.Start(*counted_);
    handler_.SetSentinelsTransmitted(session_.sentinels_transmitted());
  }
  if (stopping_) return;  // the program began to end while the reader started
  SetHealth(reader::AssessReader(control_->HasControl(), control_->EventsConnected(), session_,
                                 control_->HasControl() ? control_->ProgId() : control_->Tried()));
}

void ReaderOwner::StopAndRelease() {
  if (!control_) return;
  {
    const Inside inside(*this);
    // A reconnect closes only what was opened; the program's end runs the whole stop sequence.
    if (session_.opened() || stopped_) session_.Stop(*counted_);
  }
  control_->Release();
  control_.reset();
}

void ReaderOwner::DoCheck() {
  if (!health_.ready) {
    ReconnectAfterQuietTime();
    return;
  }
  reader::ReaderCheck check;
  {
    const Inside inside(*this);
    check = session_.Check(*counted_);
  }
  if (check == reader::ReaderCheck::Broken) Request(Work::Reconnect);
  if (check == reader::ReaderCheck::Unknown) ReconnectAfterQuietTime();
}

void ReaderOwner::ReconnectAfterQuietTime() {
  const std::uint64_t since = host_.NowMs() - last_start_;
  if (since >= kQuietMs) {
    Request(Work::Reconnect);
    return;
  }
  // A device just plugged in may need a moment: one try once the quiet time is over.
  retry_armed_ = true;
  host_.SetRetryTimer(static_cast<unsigned>(kQuietMs - since));
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
