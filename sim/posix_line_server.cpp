#include "sim/line_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace kovrix::sim {

namespace {

constexpr int kPollMs = 100;

template <class Fd>
void CloseFd(Fd& fd) {
  if (fd >= 0) ::close(static_cast<int>(fd));
  fd = -1;
}

}  // namespace

LineServer::~LineServer() { stop(); }

bool LineServer::start() {
  if (running()) return true;
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
  // Raw from the start, so that nothing is echoed or translated before a host sets the line up.
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
  }
  char name[256];
  // The master is watched edge-triggered: with no host holding the slave open it reports the
  // hang-up once rather than at every look, and a host that opens the line again wakes the server
  // with its first bytes (a pause between looks would delay every request after a reopen).
  events_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event onMaster{};
  onMaster.events = EPOLLIN | EPOLLET;
  onMaster.data.fd = master;
  if (ptsname_r(master, name, sizeof name) != 0 || events_ < 0 || pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0 ||
      epoll_ctl(events_, EPOLL_CTL_ADD, master, &onMaster) != 0) {
    ::close(master);
    ::close(slave);
    CloseFd(events_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
    return false;
  }
  epoll_event onWake{};
  onWake.events = EPOLLIN;
  onWake.data.fd = wake_[0];
  epoll_ctl(events_, EPOLL_CTL_ADD, wake_[0], &onWake);
  // The server keeps no slave descriptor: it would keep the line from hanging up and would
  // keep a host's exclusive-use flag alive after the host closed it.
  ::close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  master_ = master;
  slavePath_ = name;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool LineServer::startTcp(const std::string& host, int port) {
  if (running()) return true;
  if (port < 0 || port > 65535) return false;
  sockaddr_storage address{};
  socklen_t length = 0;
  const bool v6 = host.find(':') != std::string::npos;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&address);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET6, host.c_str(), &a->sin6_addr) != 1) return false;
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&address);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &a->sin_addr) != 1) return false;
    length = sizeof *a;
  }
  const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  const int bound = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  listen_ = fd;
  slavePath_ = "tcp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(bound);
  stop_ = false;
  thread_ = std::thread([this] { RunTcp(); });
  return true;
}

void LineServer::stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
    thread_.join();
  }
  CloseFd(master_);
  CloseFd(conn_);
  CloseFd(listen_);
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
  CloseFd(events_);
}

bool LineServer::Write(std::string_view bytes) {
  std::size_t done = 0;
  const int out = static_cast<int>(listen_ >= 0 ? conn_ : master_);
  if (out < 0) return false;
  while (done < bytes.size() && !Stopping()) {
    // Over TCP a host gone mid-reply must not end the program with SIGPIPE.
    const ssize_t n = listen_ >= 0 ? ::send(out, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                   : ::write(out, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{out, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;
      continue;
    }
    return false;
  }
  return done == bytes.size();
}

bool LineServer::SleepUntil(SteadyTime deadline) {
  using namespace std::chrono;
  while (!Stopping()) {
    const auto left = deadline - steady_clock::now();
    if (left <= nanoseconds(0)) return true;
    if (left > milliseconds(20)) {
      // Long waits watch the stop request; the last stretch sleeps precisely.
      pollfd p{wake_[0], POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(duration_cast<milliseconds>(left).count()) - 10);
      continue;
    }
    const auto ns = duration_cast<nanoseconds>(deadline.time_since_epoch()).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
  }
  return false;
}

int LineServer::HostBaud() const {
  // The master side answers the line settings of the slave side, where the host set them.
  if (listen_ >= 0) return -1;
  termios tio{};
  if (master_ < 0 || tcgetattr(master_, &tio) != 0) return 0;
  static const std::pair<speed_t, int> kRates[] = {
      {B50, 50},       {B75, 75},       {B110, 110},       {B134, 134},       {B150, 150},     {B200, 200},
      {B300, 300},     {B600, 600},     {B1200, 1200},     {B1800, 1800},     {B2400, 2400},   {B4800, 4800},
      {B9600, 9600},   {B19200, 19200}, {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
      {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  const speed_t speed = cfgetospeed(&tio);
  for (const auto& [code, baud] : kRates) {
    if (code == speed) return baud;
  }
  return 0;
}

void LineServer::Run() {
  // The default timer slack (50 us) would lengthen every paced wait; a line at 115200 baud
  // moves a byte in 87 us.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  bool hungUp = false;
  char buffer[4096];
  while (!Stopping()) {
    epoll_event ready[2];
    const int n = epoll_wait(events_, ready, 2, kPollMs);
    if (Stopping()) break;
    if (n < 0 && errno != EINTR) break;
    if (n <= 0) {
      OnIdle(std::chrono::steady_clock::now());
      continue;
    }
    bool onMaster = false;
    for (int i = 0; i < n; ++i) onMaster = onMaster || ready[i].data.fd == master_;
    if (!onMaster) continue;
    // An edge is told once: read everything there is. The read that ends it tells whether a
    // host holds the line (nothing more yet) or none does (EIO).
    while (!Stopping()) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        hungUp = false;
        OnReceive(std::string_view(buffer, static_cast<std::size_t>(got)), std::chrono::steady_clock::now());
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno != EAGAIN && !hungUp) {
        OnHangUp();
        ++hangUps_;
        hungUp = true;
      }
      break;
    }
  }
}

void LineServer::RunTcp() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  char buffer[4096];
  while (!Stopping()) {
    pollfd fds[3] = {{static_cast<int>(listen_), POLLIN, 0}, {wake_[0], POLLIN, 0}, {static_cast<int>(conn_), POLLIN, 0}};
    const int n = ::poll(fds, conn_ >= 0 ? 3 : 2, kPollMs);
    if (Stopping()) break;
    if (n < 0 && errno != EINTR) break;
    if (n <= 0) {
      OnIdle(std::chrono::steady_clock::now());
      continue;
    }
    // The held connection first: a host that closes its line and opens it again at once brings
    // its hang-up and its new connection in the same turn, and the new one must not be refused
    // for a line that is already free.
    if (conn_ >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) ReadHeld(buffer, sizeof buffer);
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept4(static_cast<int>(listen_), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      // A held connection whose host has gone (its end seen only now) frees the line.
      if (fd >= 0 && conn_ >= 0) {
        char probe;
        const ssize_t peeked = ::recv(static_cast<int>(conn_), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EINTR)) ReadHeld(buffer, sizeof buffer);
      }
      if (fd >= 0 && conn_ >= 0) {
        ::close(fd);  // the line is held by another host
      } else if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        conn_ = fd;
      }
    }
  }
}

void LineServer::ReadHeld(char* buffer, std::size_t size) {
  const ssize_t got = ::read(static_cast<int>(conn_), buffer, size);
  if (got > 0) {
    OnReceive(std::string_view(buffer, static_cast<std::size_t>(got)), std::chrono::steady_clock::now());
  } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
    CloseFd(conn_);
    OnHangUp();
    ++hangUps_;
  }
}

bool ReplaceSymlink(const std::string& target, const std::string& linkPath) {
  struct stat st{};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return false;
    if (::unlink(linkPath.c_str()) != 0) return false;
  }
  return ::symlink(target.c_str(), linkPath.c_str()) == 0;
}

void RemoveSymlink(const std::string& linkPath) {
  struct stat st{};
  if (lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(linkPath.c_str());
}

}  // namespace kovrix::sim
