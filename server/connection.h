#pragma once
// The service's own reading of HTTP connections, under the HTTP library's routing. The library
// reads a request a line at a time with a time-out per read, waits for a request body until the
// connection closes when no Content-Length is given, and loses requests that a client sends
// before the previous answer; here a connection's bytes are read by the service instead: the
// whole request (head and body) within a bounded time, its length taken from Content-Length
// alone (none = no body), pipelined requests kept for the next turn, idle connections closed
// soon. Each request then reaches the library's routing from memory, whole.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include <httplib.h>

namespace kovrix::server {

struct ConnectionLimits {
  std::chrono::milliseconds request{5000};  // the whole request, from its first byte
  std::chrono::milliseconds idle{2000};     // waiting for the next request of a connection
  std::chrono::milliseconds write{5000};    // the whole answer
  std::size_t maxHead = 16 * 1024;          // request line and headers
  std::size_t maxBody = 1 << 20;
  std::size_t requestsPerConnection = 100;
  // Connections served at once. Only one request at a time reaches the registrator, so the rest
  // only read and answer: many workers cost little, and slow clients cannot take them all.
  std::size_t workers = 128;
};

/// What the head of a request says about its framing.
struct FramedHead {
  int status = 0;  // 0 when the request can be read; otherwise the status of the refusal
  std::string message;
  std::size_t bodyLength = 0;
  bool expectContinue = false;
  bool emptyIdempotencyKey = false;  // the header is given with nothing in it
};

/// Answers what is wrong with one line of a request head (without its CR LF), empty when
/// nothing: the request line is METHOD SP TARGET SP HTTP/1.x; a header line is a token name
/// right before its colon (no blank, control byte or separator in it, no blank at the start,
/// which would be obsolete line folding) and a value without control bytes other than tab.
std::string HeadLineProblem(std::string_view line, bool requestLine);

/// Checks a request head line by line while its bytes arrive, so that a malformed line is
/// refused as soon as it is whole, not after the rest of the head or a time-out: every line ends
/// with CR LF (a bare LF or CR is refused) and passes HeadLineProblem.
class HeadChecker {
 public:
  enum class State { Incomplete, Malformed, Whole };
  /// Checks the lines of bytes (the connection's buffer, from the request's first byte) that
  /// were not checked yet.
  State Check(std::string_view bytes);
  /// Where the blank line that ends the head starts (when Whole).
  std::size_t headEnd() const { return headEnd_; }
  /// Why the head is malformed (when Malformed).
  const std::string& problem() const { return problem_; }

 private:
  std::size_t checked_ = 0;  // the bytes of whole lines checked already
  std::size_t lines_ = 0;
  std::size_t headEnd_ = 0;
  std::string problem_;
};

/// Reads the head of a request (from the request line up to, not including, the blank line):
/// every line must pass HeadLineProblem and end with CR LF (else 400); Content-Length must be
/// one decimal number (several equal ones are one), at most maxBody (else 413); a missing one
/// means no body; Transfer-Encoding is refused (411); Host given twice is 400.
FramedHead FrameHead(std::string_view head, std::size_t maxBody);

/// An HTTP server whose connections are read under ConnectionLimits.
class BoundedServer : public httplib::Server {
 public:
  explicit BoundedServer(const ConnectionLimits& limits);

  /// Lets many connections wait to be accepted (the library asks for 5): a burst of clients
  /// then queues instead of being turned away. Call after binding.
  void WidenBacklog();

 protected:
  bool process_and_close_socket(socket_t sock) override;

 private:
  ConnectionLimits limits_;
};

}  // namespace kovrix::server
