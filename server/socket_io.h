#pragma once
// The socket calls of the service's own connection handling that differ between the systems and
// that the driver's socket calls (driver/socket_io.h: waiting, reading and writing without
// blocking) do not cover: accepting and readying a connection, waiting on many sockets at once,
// waking that wait from another thread, and closing. The rest (framing, limits, refusals, lanes)
// is the same everywhere.

#include <cstddef>
#include <string>
#include <vector>

#include <httplib.h>

namespace kovrix::server {

/// Readies an accepted connection: answers go out without delay, and no call on it blocks.
void PrepareConnection(socket_t sock);

/// Makes the listening socket's accept return at once when nobody waits to be accepted.
void PrepareListening(socket_t sock);

enum class Accepted { Connection, Nobody, OutOfDescriptors, Failed };
/// Accepts one waiting connection without blocking; its client's numeric address goes to address.
Accepted AcceptConnection(socket_t listening, socket_t& sock, std::string& address);

/// Closes the sending direction only: the peer reads the end of the answer.
void ShutdownSending(socket_t sock);

/// Shuts both directions and closes the socket.
void CloseConnection(socket_t sock);

/// Lets up to the system's most connections wait to be accepted on a listening socket.
void WidenListenBacklog(socket_t sock);

/// Raises the process's limit of open descriptors as far as the system lets it (no-op where there
/// is none to raise): each connection held open costs one.
void RaiseDescriptorLimit();

/// One socket of a wait on many: what is asked for and what came.
struct Watched {
  socket_t sock = INVALID_SOCKET;
  bool read = false;
  bool write = false;
  bool readable = false;  // data, the peer's end or an error: a read says which
  bool writable = false;
};

/// Waits up to ms (0: just looks) until one of the sockets is ready as asked, and marks each.
void WaitAny(std::vector<Watched>& sockets, int ms);

/// Wakes a WaitAny of another thread: its socket is watched for reading with the rest.
class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;
  /// The socket to watch for reading.
  socket_t handle() const { return read_; }
  /// Makes handle() readable (from any thread).
  void Wake();
  /// Takes the wake-ups that came, so that handle() is quiet again.
  void Drain();

 private:
  socket_t read_ = INVALID_SOCKET;
  socket_t write_ = INVALID_SOCKET;
};

}  // namespace kovrix::server
