#pragma once
// A control that follows what it shows: on every idle tick it compares what
// it would draw now (a parameter, a reading, a label) with what it drew last
// and repaints only when that changed.
namespace tonal_panel {

class TickFollower {
 public:
  virtual ~TickFollower() = default;
  virtual void Follow() = 0;
};

}  // namespace tonal_panel
