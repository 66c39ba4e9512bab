// kovrix-soak: state-changing commands through the driver to the simulated registrator while
// its fault plan spoils a share of the frames; then the host's reports against the device's
// tape. Exits 1 when a command ran twice, when one reported done never ran, or when the till
// disagrees with the tape; 2 on bad arguments; 3 when the simulator cannot be served.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/soak.h"

namespace {

bool ParseInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseRate(const char* text, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v >= 0.0 && v <= 0.5)) return false;
  out = v;
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kovrix-soak [--commands N] [--seed S] [--fault-rate P] [--repeats R] [--usb] [--retry]\n"
               "  N counted commands (text lines of non-fiscal receipts, cash in and out; default 300),\n"
               "  S the seed of the fault and workload choices (default 1), P the share of frames that\n"
               "  meet a line fault, 0 to 0.5 (default 0.05), R the link's repeat count (default 1);\n"
               "  --usb repeats silent exchanges too, as the link does over the USB port;\n"
               "  --retry sends a command reported failed once more in a new frame, as an operator would\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kovrix::soak::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--usb" || name == "--retry") {
      (name == "--usb" ? options.usb : options.retry) = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    int seed = 0;
    bool ok = false;
    if (name == "--commands") {
      ok = ParseInt(value, 1, 1000000, options.commands);
    } else if (name == "--seed") {
      ok = ParseInt(value, 0, 2147483647, seed);
      options.seed = static_cast<unsigned>(seed);
    } else if (name == "--fault-rate") {
      ok = ParseRate(value, options.faultRate);
    } else if (name == "--repeats") {
      ok = ParseInt(value, 0, 10, options.repeats);
    }
    if (!ok) return Usage();
  }
  kovrix::soak::Figures figures;
  if (!kovrix::soak::Run(options, figures, stderr)) return 3;
  kovrix::soak::Print(options, figures, stdout);
  const auto& t = figures.tally;
  bool failed = t.doubleExecutions > 0 || t.lossesReportedOk > 0;
  if (figures.tillDevice != figures.tillExpected) {
    std::printf("the device's till disagrees with the cash movements on its tape\n");
    failed = true;
  }
  std::printf("%s\n", failed ? "FAILED" : "passed");
  return failed ? 1 : 0;
}
