// The Windows side of platform_threads.h: a semaphore object for the stop
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

struct StopSignal::Semaphore {
  HANDLE handle;
};

StopSignal::StopSignal() : semaphore_(std::make_unique<Semaphore>()) {
  semaphore_->handle = ::CreateSemaphoreW(nullptr, 0, 0x7fffffff, nullptr);
}

StopSignal::~StopSignal() {
  if (semaphore_->handle != nullptr) ::CloseHandle(semaphore_->handle);
}

void StopSignal::Raise() {
  raised_.store(true);
  if (semaphore_->handle != nullptr) ::ReleaseSemaphore(semaphore_->handle, 1, nullptr);
}

void StopSignal::Clear() {
  raised_.store(false);
  if (semaphore_->handle == nullptr) return;
  while (::WaitForSingleObject(semaphore_->handle, 0) == WAIT_OBJECT_0) {
  }
}

bool StopSignal::WaitUntil(std::chrono::steady_clock::time_point wakeUp) {
  // A release without a raise (left over from an earlier stop) just waits on.
  while (!raised_.load()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeUp - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const DWORD timeout = static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(left.count(), 0x7ffffffe));
    if (semaphore_->handle == nullptr) {
      ::Sleep(timeout);
      break;
    }
    if (::WaitForSingleObject(semaphore_->handle, timeout) != WAIT_OBJECT_0) break;
  }
  return raised_.load();
}

}  // namespace ombrix::platform
