// Fuzz target: the service's request reader. The input is an HTTP request as a client sends it,
// head and body; the head is framed as a connection frames it (Content-Length, Transfer-Encoding,
// Expect, an empty Idempotency-Key), the Host, Content-Type and Authorization values met in it go
// through the rules every request passes, and the body goes through every endpoint's reader.
// Properties: a refusal is a known status; a framed body is within the limit; a body is either
// refused with BadRequest (nothing else may escape) or read into a record that holds no byte
// the registrator's frame cannot carry, no nesting past the bound, and a subtotal with at most
// one discount.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "server/connection.h"
#include "server/http_service.h"
#include "server/request.h"

namespace {

using namespace kovrix::server;
using nlohmann::json;

constexpr std::size_t kMaxBody = 4096;

bool Printable(const std::string& cp1251, bool separatorAllowed) {
  for (unsigned char c : cp1251) {
    if (c < 0x20 || c == 0x7F) return false;
    if (!separatorAllowed && c == ';') return false;
  }
  return true;
}

// The depth of a parsed tree, walked with a stack of its own.
std::size_t Depth(const json& root) {
  std::size_t deepest = 0;
  std::vector<std::pair<const json*, std::size_t>> stack{{&root, 1}};
  while (!stack.empty()) {
    const auto [node, depth] = stack.back();
    stack.pop_back();
    if (!node->is_structured()) continue;
    deepest = std::max(deepest, depth);
    for (const auto& child : *node) stack.emplace_back(&child, depth + 1);
  }
  return deepest;
}

void ReadBody(const std::string& body) {
  json parsed;
  try {
    parsed = ParseBody(body);
  } catch (const BadRequest&) {
    return;
  }
  FUZZ_CHECK(parsed.is_object());
  FUZZ_CHECK(Depth(parsed) <= kMaxNesting);
  try {
    const Receipt r = ReadReceipt(parsed);
    FUZZ_CHECK(!r.items.empty() && !r.payments.empty());
    FUZZ_CHECK(!(r.discountPercent && r.discountAmount));
    FUZZ_CHECK(Printable(r.password, false));
    for (const Item& item : r.items) FUZZ_CHECK(!item.name.empty() && Printable(item.name, false));
    for (const std::string& line : r.comments) FUZZ_CHECK(Printable(line, false));
  } catch (const BadRequest&) {
  }
  try {
    for (const std::string& line : ReadNonFiscal(parsed).lines) FUZZ_CHECK(Printable(line, false));
  } catch (const BadRequest&) {
  }
  try {
    FUZZ_CHECK(ReadCash(parsed).amount != 0);
  } catch (const BadRequest&) {
  }
  try {
    const RawCommand c = ReadRawCommand(parsed);
    FUZZ_CHECK(c.code >= 0x20 && c.code <= 0xFF);
    FUZZ_CHECK(Printable(c.data, true));
  } catch (const BadRequest&) {
  }
  try {
    FUZZ_CHECK(!ReadPassword(parsed).empty());
  } catch (const BadRequest&) {
  }
}

std::string_view Value(std::string_view head, std::string_view name) {
  for (std::size_t from = 0; from < head.size();) {
    std::size_t end = head.find("\r\n", from);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = head.substr(from, end - from);
    if (line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == ':') {
      std::string_view v = line.substr(name.size() + 1);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      return v;
    }
    from = end + 2;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t headEnd = input.find("\r\n\r\n");
  if (headEnd == std::string::npos) {
    ReadBody(input);
    return 0;
  }
  const std::string_view head = std::string_view(input).substr(0, headEnd);
  const FramedHead framed = FrameHead(head, kMaxBody);
  FUZZ_CHECK(framed.status == 0 || framed.status == 400 || framed.status == 411 || framed.status == 413);
  FUZZ_CHECK(framed.status != 0 || framed.bodyLength <= kMaxBody);
  FUZZ_CHECK(framed.status == 0 || !framed.message.empty());

  const std::string host(Value(head, "Host"));
  if (HostAllowed(host, "127.0.0.1")) FUZZ_CHECK(!host.empty());
  if (!host.empty() && HostAllowed(host, "127.0.0.1") && host.find("127.0.0.1") != 0 && host.find("[") != 0)
    FUZZ_CHECK(IsLoopback(host.substr(0, host.find(':'))));
  IsJsonContentType(std::string(Value(head, "Content-Type")));
  FUZZ_CHECK(!BearerMatches(std::string(Value(head, "Authorization")), "t0ken") ||
             Value(head, "Authorization").size() >= 12);

  if (framed.status != 0) return 0;
  ReadBody(input.substr(headEnd + 4, framed.bodyLength));
  return 0;
}
