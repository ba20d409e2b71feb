// The Windows side of platform_threads.h: a semaphore object for the wake
// signal, and SetThreadDescription (Windows 10 1607 and later, looked up at
// run time) for thread names.
#include <windows.h>

#include <algorithm>
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

struct WakeSignal::Semaphore {
  HANDLE handle;
};

WakeSignal::WakeSignal() : semaphore_(std::make_unique<Semaphore>()) {
  semaphore_->handle = ::CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
}

WakeSignal::~WakeSignal() {
  if (semaphore_->handle != nullptr) ::CloseHandle(semaphore_->handle);
}

void WakeSignal::Wake() {
  if (semaphore_->handle != nullptr) ::ReleaseSemaphore(semaphore_->handle, 1, nullptr);
}

void WakeSignal::Raise() {
  raised_.store(true);
  Wake();
}

bool WakeSignal::WaitUntil(std::chrono::steady_clock::time_point wakeUp) {
  if (raised_.load()) return true;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeUp - std::chrono::steady_clock::now());
  if (left.count() > 0) {
    const DWORD timeout = static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), 0x7ffffffe));
    if (semaphore_->handle == nullptr)
      ::Sleep(timeout);
    else
      ::WaitForSingleObject(semaphore_->handle, timeout);
  }
  return raised_.load();
}

}  // namespace ombrix::platform
