#pragma once
// The simulator's line: a server on the master side of a pseudo-terminal, in its own thread: hosts open the slave
// path through an ordinary serial line. Or on a loopback TCP port that hosts reach as the
// network port "tcp://127.0.0.1:PORT": one host at a time, as a serial line held for exclusive
// use (a second connection is closed at once). Windows has no pseudo-terminals: there start()
// serves on a free loopback TCP port. Derived classes get the received bytes and write back;
// they must call stop() in their destructor, before their members go.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace kovrix::sim {

using SteadyTime = std::chrono::steady_clock::time_point;

class LineServer {
 public:
  LineServer() = default;
  LineServer(const LineServer&) = delete;
  LineServer& operator=(const LineServer&) = delete;
  virtual ~LineServer();

  /// Opens a pseudo-terminal and starts serving; false when no pseudo-terminal can be opened.
  /// On Windows: startTcp("127.0.0.1", 0).
  bool start();
  /// Listens on a loopback TCP port (0: any free one) and starts serving; false when the address
  /// cannot be bound. host is a numeric loopback address ("127.0.0.1" or "::1").
  bool startTcp(const std::string& host, int port);
  /// Stops serving and closes the pseudo-terminal (the slave path disappears).
  void stop();
  bool running() const { return thread_.joinable(); }
  /// Answers the path hosts open, such as /dev/pts/3 or tcp://127.0.0.1:40123 (empty before start).
  const std::string& slavePath() const { return slavePath_; }
  /// Answers how many times the server saw the host let go of the line.
  long hangUps() const { return hangUps_.load(); }
  /// Answers the baud rate the host's side of the line is set to (see HostBaud); tests read what a
  /// converter between host and line has set.
  int hostBaud() const { return HostBaud(); }

 protected:
  /// Called in the server thread with bytes read from the line and the time they were read.
  virtual void OnReceive(std::string_view bytes, SteadyTime at) = 0;
  /// Called once when no host holds the line open any more.
  virtual void OnHangUp() {}
  /// Called when the line has been quiet for a while.
  virtual void OnIdle(SteadyTime) {}

  /// Writes all bytes to the line; false when the line refused them.
  bool Write(std::string_view bytes);
  /// Sleeps until the deadline; answers false at once when the server is stopping.
  bool SleepUntil(SteadyTime deadline);
  bool Stopping() const { return stop_.load(); }
  /// Answers the baud rate the host has set on its side of the line (0 when it cannot be read,
  /// -1 over TCP, where the line has no speed).
  int HostBaud() const;

 private:
  void Run();
  void RunTcp();
  /// Reads what the TCP host sent on the held connection; its end frees the line.
  void ReadHeld(char* buffer, std::size_t size);

  int master_ = -1;
  // The listening socket and the connected host over TCP (-1: none); wide enough for a Windows
  // socket handle.
  std::intptr_t listen_ = -1;
  std::intptr_t conn_ = -1;
  int wake_[2] = {-1, -1};
  int events_ = -1;  // the pseudo-terminal's event queue (Linux epoll)
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<long> hangUps_{0};
  std::string slavePath_;
};

/// Creates or replaces the symbolic link linkPath -> target; a path that exists and is not a
/// symbolic link is left alone and false answered.
bool ReplaceSymlink(const std::string& target, const std::string& linkPath);

/// Removes linkPath when it is a symbolic link.
void RemoveSymlink(const std::string& linkPath);

}  // namespace kovrix::sim
