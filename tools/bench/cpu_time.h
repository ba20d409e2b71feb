#pragma once
// CPU time of this process and of the calling thread, in seconds, for the
// benchmarks that measure shares of a core.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <time.h>
#endif

namespace ombrix {

#ifdef _WIN32
namespace cpu_time_detail {
// User plus kernel time from GetProcessTimes / GetThreadTimes (100 ns units).
inline double Seconds(const FILETIME& kernel, const FILETIME& user) {
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return 1e-7 * (ticks(kernel) + ticks(user));
}
}  // namespace cpu_time_detail

inline double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return cpu_time_detail::Seconds(kernel, user);
}

inline double ThisThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return cpu_time_detail::Seconds(kernel, user);
}
#else

inline double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double ThisThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

#endif

}  // namespace ombrix
