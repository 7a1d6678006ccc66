#pragma once
// Whether the program has begun to end: the exit command, log-off, Windows shutting down or a task
// manager. One state, begun once by the program's owner and asked by everything that handles a
// card; once it has begun no card is typed any more and nothing of a card is kept.

namespace wedge {

class Ending {
 public:
  bool begun() const { return begun_; }
  void Begin() { begun_ = true; }

 private:
  bool begun_ = false;
};

}  // namespace wedge
