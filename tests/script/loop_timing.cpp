// Measures a 10,000-iteration While loop with an Oper and an If in its body, no device
// commands, run through the whole engine from a real file. Prints the time; not a test.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "fake_device_host.h"
#include "monitor/script/runner.h"

int main() {
  const std::string path = "/tmp/kovrix_script_loop_timing.txt";
  std::ofstream(path, std::ios::binary) << "%DeclareBeg v_\n%New i\n%New odd\n%New n\n%DeclareEnd\n"
                                           "%Set v_i=\"0\"\n%Set v_n=\"0\"\n"
                                           "%While (v_i < 10000)\n"
                                           "%Oper(v_i, 2, 4, v_odd)\n"
                                           "%If (v_odd == 1)\n%Then\n%Oper(v_n, 1, 0, v_n)\n%Else\n%EndIf\n"
                                           "%Oper(v_i, 1, 0, v_i)\n"
                                           "%EndWhile\n%Print v_n\n";
  kovrix::test::FakeDeviceHost host;
  kovrix::script::ScriptRunner runner(host);
  const auto start = std::chrono::steady_clock::now();
  const auto end = runner.Run(path);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::remove(path.c_str());
  const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
  std::printf("10,000-iteration While loop: %.1f ms (%s, %s)\n", ms,
              end == kovrix::script::RunEnd::EndOfFile ? "reached the end of the file" : "ended early",
              host.traces.empty() ? "no output" : host.traces.back().c_str());
  return end == kovrix::script::RunEnd::EndOfFile ? 0 : 1;
}
