#pragma once
// The CPU time this process has used so far (user and system), for the benches that set the
// host's work beside the wall-clock time of an exchange.

#include <sys/resource.h>

namespace kovrix::sim {

inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace kovrix::sim
