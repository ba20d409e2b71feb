// The Windows side of platform_threads.h: WaitOnAddress for the wake
// signal, and SetThreadDescription (Windows 10 1607 and later, looked up at
// run time) for thread names.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "library/platform_threads.h"

namespace ombrix::platform {

void NameThisThread(const char* name) {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto setDescription = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (setDescription == nullptr) return;
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
  if (length <= 0) return;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), length);
  setDescription(::GetCurrentThread(), wide.c_str());
}

// A count of wakes that the waiter takes all at once, slept on with
// WaitOnAddress: waking costs no kernel call while nobody sleeps (and under
// wine no trip through its server), unlike a semaphore object.
struct WakeSignal::Semaphore {
  std::atomic<LONG> wakes{0};
  static_assert(sizeof(std::atomic<LONG>) == sizeof(LONG) && std::atomic<LONG>::is_always_lock_free);
  void* Address() { return static_cast<void*>(&wakes); }
};

WakeSignal::WakeSignal() : semaphore_(std::make_unique<Semaphore>()) {}

WakeSignal::~WakeSignal() = default;

void WakeSignal::Wake() {
  semaphore_->wakes.fetch_add(1);
  ::WakeByAddressSingle(semaphore_->Address());
}

void WakeSignal::Raise() {
  raised_.store(true);
  Wake();
}

bool WakeSignal::WaitUntil(std::chrono::steady_clock::time_point wakeUp) {
  while (!raised_.load()) {
    if (semaphore_->wakes.exchange(0) > 0) break;  // woken, now or before the wait
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeUp - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    LONG none = 0;
    const DWORD timeout = static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), 0x7ffffffe));
    ::WaitOnAddress(semaphore_->Address(), &none, sizeof(none), timeout);  // returns at once unless still 0
  }
  return raised_.load();
}

}  // namespace ombrix::platform
