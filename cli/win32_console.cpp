// On Windows the narrow arguments and the console use the ANSI code page; the tool works in
// UTF-8, so the arguments are taken from the wide command line and the console is switched to
// UTF-8. Output goes out in binary mode: the same bytes as on Linux, whether to the console, a
// pipe or a file.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/console.h"

namespace kovrix::cli {

const char kPortUsage[] = "port name (COM3, com12, \\\\.\\COM12)";
const char kSequenceStoreUsage[] = "%LOCALAPPDATA%\\kovrix";

namespace {

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(n - 1));
  return utf8;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
  }
  if (argc < 1 || argv == nullptr) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace kovrix::cli
