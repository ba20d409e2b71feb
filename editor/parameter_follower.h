#pragma once
// A control that shows a parameter: on every idle tick it compares the
// parameter with what it last drew and repaints when the host (automation, a
// restored state) changed it.
namespace tonal_panel {

class ParameterFollower {
 public:
  virtual ~ParameterFollower() = default;
  virtual void FollowParameter() = 0;
};

}  // namespace tonal_panel
