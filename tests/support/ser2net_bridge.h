#pragma once
// A serial-to-Ethernet converter for tests: Debian's ser2net serving a device path (the
// simulator's pseudo-terminal) on a free loopback TCP port, raw or as telnet with the RFC 2217
// COM-port option, from a configuration written for the run; stopped by its PID.

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/free_port.h"

namespace kovrix::test {

class Ser2netBridge {
 public:
  enum class Mode { Raw, Rfc2217 };

  /// Answers the ser2net program, or an empty text when it is not installed.
  static std::string Program() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
      if (::access(path, X_OK) == 0) return path;
    }
    return {};
  }
  /// The message a test skips with when ser2net is missing.
  static constexpr const char* kMissing = "ser2net is not installed (Debian package ser2net): converter tests skipped";

  Ser2netBridge() = default;
  Ser2netBridge(const Ser2netBridge&) = delete;
  Ser2netBridge& operator=(const Ser2netBridge&) = delete;
  ~Ser2netBridge() { Stop(); }

  /// Serves the device on a free loopback port at the line speed (the speed a raw port keeps;
  /// over RFC 2217 the host sets its own); false when ser2net did not come up (why() tells).
  /// charDelay false sends what the line brings at once, without ser2net's default gathering
  /// wait of at least 1 ms.
  bool Start(const std::string& device, Mode mode, int baud = 115200, bool charDelay = true) {
    Stop();
    mode_ = mode;
    charDelay_ = charDelay;
    char tmpl[] = "/tmp/kovrix-ser2net-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return Fail("no temporary directory");
    dir_ = tmpl;
    // A port that was free a moment ago can be taken meanwhile: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
      port_ = FreePort();
      if (port_ <= 0) return Fail("no free loopback port");
      WriteConfig(device, baud);
      if (Launch()) return true;
      Stop(false);
    }
    return false;
  }

  /// Ends ser2net (SIGTERM, then SIGKILL) and removes its files.
  void Stop(bool removeFiles = true) {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      if (!Reap(2000)) {
        ::kill(pid_, SIGKILL);
        Reap(2000);
      }
      pid_ = -1;
    }
    if (removeFiles && !dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
      dir_.clear();
    }
  }

  /// Freezes ser2net (SIGSTOP), as a converter that hangs: what is sent meanwhile waits in its
  /// buffers and reaches the device late, at Thaw.
  void Freeze() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
  }
  void Thaw() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
  }
  /// Kills ser2net at once (SIGKILL): the connection is cut wherever the bytes were.
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Reap(2000);
      pid_ = -1;
    }
  }
  /// Starts ser2net again on the same port, with the same configuration.
  bool Restart() {
    Kill();
    return Launch();
  }

  /// Answers the port name a host opens: "tcp://127.0.0.1:N" or "rfc2217://127.0.0.1:N".
  std::string PortName() const {
    return std::string(mode_ == Mode::Raw ? "tcp://" : "rfc2217://") + "127.0.0.1:" + std::to_string(port_);
  }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  const std::string& why() const { return why_; }

 private:
  bool Fail(const std::string& why) {
    why_ = why;
    return false;
  }

  void WriteConfig(const std::string& device, int baud) const {
    std::ofstream out(dir_ + "/ser2net.yaml", std::ios::trunc);
    out << "%YAML 1.1\n---\n"
        << "connection: &kovrix\n"
        << "  accepter: " << (mode_ == Mode::Raw ? "" : "telnet(rfc2217),") << "tcp,127.0.0.1," << port_ << "\n"
        << "  connector: serialdev," << device << "," << baud << "n81,local\n"
        << "  options:\n"
        << "    kickolduser: true\n"
        << "    chardelay: " << (charDelay_ ? "true" : "false") << "\n";
  }

  // Starts ser2net in the foreground and waits until it listens on the port (read from the
  // kernel's socket table, so that no probe connection opens the device).
  bool Launch() {
    const std::string program = Program();
    if (program.empty()) return Fail(kMissing);
    const std::string config = dir_ + "/ser2net.yaml", pidFile = dir_ + "/ser2net.pid", log = dir_ + "/ser2net.log";
    pid_ = ::fork();
    if (pid_ < 0) return Fail("cannot fork");
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) {
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
      }
      ::execl(program.c_str(), program.c_str(), "-c", config.c_str(), "-n", "-P", pidFile.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Listening()) return true;
      if (Reap(0)) {
        pid_ = -1;
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return Fail("ser2net ended: " + text.str());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Fail("ser2net did not listen on 127.0.0.1:" + std::to_string(port_));
  }

  bool Listening() const {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port_);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
      // "sl local_address rem_address st": a listening socket has state 0A.
      std::istringstream fields(line);
      std::string slot, address, remote, state;
      fields >> slot >> address >> remote >> state;
      if (address == local && state == "0A") return true;
    }
    return false;
  }

  // Answers whether ser2net has ended, waiting up to ms for it.
  bool Reap(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_ || done < 0) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  Mode mode_ = Mode::Raw;
  bool charDelay_ = true;
  std::string dir_;
  std::string why_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace kovrix::test
