#include "plugin/idle_ticker.h"

#include <algorithm>

#include "plugin/ombrix.h"

namespace ombrix {

void IdleTicker::Join(Ombrix& instance) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  instances_.push_back(&instance);
  clock_.Start();
}

void IdleTicker::Leave(Ombrix& instance) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  instances_.erase(std::remove(instances_.begin(), instances_.end(), &instance), instances_.end());
  if (instances_.empty()) clock_.Stop();
}

std::size_t IdleTicker::Instances() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return instances_.size();
}

void IdleTicker::Tick() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  // By position, reading the list afresh each time: a step may add or remove
  // an instance.
  for (std::size_t i = 0; i < instances_.size(); ++i) instances_[i]->OnIdle();
}

}  // namespace ombrix
