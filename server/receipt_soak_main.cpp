// kovrix-server-soak: fiscal receipts over HTTP to the service, whose registrator is the
// simulator with faults aimed at the receipts' commands; then what the service answered against
// what the registrator printed. Exits 1 when a receipt stayed open, was printed twice or had its
// outcome misreported, or an unknown outcome did not resolve; 2 on bad arguments; 3 when the
// simulator or the service cannot start.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/receipt_soak.h"

namespace {

bool ParseInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kovrix-server-soak [--receipts N] [--seed S] [--fault-rate P] [--repeats R] [--kill-rate K]\n"
               "                          [--kill-each-step]\n"
               "  N fiscal receipts (default 200), S the seed of the workload and fault choices (default 1),\n"
               "  P the share of receipts that meet a fault, 0 to 1 (default 0.6), R the link's repeat\n"
               "  count (default 1), K the share of receipts during which the service, then run as a\n"
               "  process of its own, is killed with SIGKILL and started again (default 0); with\n"
               "  --kill-each-step every receipt loses the reply of one of its steps in turn and the\n"
               "  service is killed right after, its registrator under a stable name that is missing at\n"
               "  the first start and points at another device file after every kill\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The service side of a soak with kills (the soak runs itself so).
  if (argc >= 2 && std::string(argv[1]) == "--serve") return kovrix::server::soak::Serve(argc - 2, argv + 2);
  kovrix::server::soak::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--kill-each-step") {
      options.killEachStep = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    bool ok = false;
    int n = 0;
    if (name == "--receipts") {
      ok = ParseInt(value, 1, 1000000, options.receipts);
    } else if (name == "--seed") {
      ok = ParseInt(value, 0, 2147483647, n);
      options.seed = static_cast<unsigned>(n);
    } else if (name == "--fault-rate") {
      char* end = nullptr;
      options.faultRate = std::strtod(value, &end);
      ok = end != value && *end == '\0' && options.faultRate >= 0.0 && options.faultRate <= 1.0;
    } else if (name == "--kill-rate") {
      char* end = nullptr;
      options.killRate = std::strtod(value, &end);
      ok = end != value && *end == '\0' && options.killRate >= 0.0 && options.killRate <= 1.0;
    } else if (name == "--repeats") {
      ok = ParseInt(value, 0, 10, options.repeats);
    }
    if (!ok) return Usage();
  }
  kovrix::server::soak::Figures figures;
  if (!kovrix::server::soak::Run(options, figures, stderr)) return 3;
  kovrix::server::soak::Print(options, figures, stdout);
  const bool passed = kovrix::server::soak::Passed(figures);
  std::printf("%s\n", passed ? "passed" : "FAILED");
  return passed ? 0 : 1;
}
