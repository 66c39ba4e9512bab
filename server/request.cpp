#include "server/request.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "driver/codepage.h"
#include "driver/commands.h"
#include "driver/frame.h"

namespace kovrix::server {
namespace {

using nlohmann::json;

constexpr std::int64_t kMaxArticleCode = 99999999999999;
constexpr std::size_t kMaxPasswordBytes = 16;
constexpr double kMaxAmount = 99999999.99;

std::string At(const std::string& array, std::size_t i, const char* key = nullptr) {
  std::string f = array + "[" + std::to_string(i) + "]";
  if (key) f += std::string(".") + key;
  return f;
}

const json* Find(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

const json& Require(const json& object, const char* key, const std::string& field) {
  const json* v = Find(object, key);
  if (!v) throw BadRequest(field + " is missing");
  return *v;
}

void RequireObject(const json& value, const std::string& field) {
  if (!value.is_object()) throw BadRequest(field + " is not an object");
}

// An integer given as a JSON integer or as a text of digits.
std::int64_t ReadInteger(const json& value, const std::string& field, std::int64_t min, std::int64_t max) {
  std::int64_t n = 0;
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(max))
      throw BadRequest(field + " is outside " + std::to_string(min) + ".." + std::to_string(max));
    n = value.get<std::int64_t>();
  } else if (value.is_string()) {
    const std::string& t = value.get_ref<const std::string&>();
    const std::size_t digitsFrom = (!t.empty() && t[0] == '-') ? 1 : 0;
    if (t.size() == digitsFrom || t.size() > 18 || t.find_first_not_of("0123456789", digitsFrom) != std::string::npos)
      throw BadRequest(field + " is not an integer");
    n = std::strtoll(t.c_str(), nullptr, 10);
  } else {
    throw BadRequest(field + " is not an integer");
  }
  if (n < min || n > max)
    throw BadRequest(field + " is outside " + std::to_string(min) + ".." + std::to_string(max));
  return n;
}

int ReadInt(const json& value, const std::string& field, int min, int max) {
  return static_cast<int>(ReadInteger(value, field, min, max));
}

std::string ReadPasswordField(const json& object) {
  const json* v = Find(object, "password");
  if (!v) return kDefaultPassword;
  const std::string p = ReadText(*v, "password", kMaxPasswordBytes);
  if (p.empty()) throw BadRequest("password is empty");
  return p;
}

std::optional<double> ReadOptionalDecimal(const json& object, const char* key, const std::string& field) {
  const json* v = Find(object, key);
  if (!v) return std::nullopt;
  return ReadDecimal(*v, field, 2);
}

// The add-article command carries password; code; name; price; tax group; department.
std::size_t ArticleDataSize(const std::string& password, const Item& item) {
  return password.size() + 1 + ArticulLine(item.code, item.name, item.price, item.taxGroup, item.department).size();
}

Item ReadItem(const json& value, const std::string& field, const std::string& password) {
  RequireObject(value, field);
  Item item;
  item.code = ReadInteger(Require(value, "code", field + ".code"), field + ".code", 1, kMaxArticleCode);
  item.name = ReadText(Require(value, "name", field + ".name"), field + ".name", kMaxFrameData);
  if (item.name.empty()) throw BadRequest(field + ".name is empty");
  item.price = ReadDecimal(Require(value, "price", field + ".price"), field + ".price", 2);
  if (item.price < 0) throw BadRequest(field + ".price is negative");
  item.taxGroup = ReadInt(Require(value, "taxGroup", field + ".taxGroup"), field + ".taxGroup", 0, 99);
  if (const json* d = Find(value, "department")) item.department = ReadInt(*d, field + ".department", 0, 99);
  item.quantity = ReadDecimal(Require(value, "quantity", field + ".quantity"), field + ".quantity", 3);
  if (item.quantity <= 0) throw BadRequest(field + ".quantity is not above zero");
  item.discountPercent = ReadOptionalDecimal(value, "discountPercent", field + ".discountPercent");
  item.discountAmount = ReadOptionalDecimal(value, "discountAmount", field + ".discountAmount");
  if (ArticleDataSize(password, item) > kMaxFrameData) throw BadRequest(field + ".name is too long for one frame");
  return item;
}

std::vector<std::string> ReadLines(const json& object, const char* key, const std::string& password, bool required) {
  std::vector<std::string> lines;
  const json* v = Find(object, key);
  if (!v) {
    if (required) throw BadRequest(std::string(key) + " is missing");
    return lines;
  }
  if (!v->is_array()) throw BadRequest(std::string(key) + " is not an array");
  // The print-text command carries password; text.
  const std::size_t room = kMaxFrameData - password.size() - 2;
  for (std::size_t i = 0; i < v->size(); ++i) lines.push_back(ReadText((*v)[i], At(key, i), room));
  return lines;
}

}  // namespace

void CheckNesting(const std::string& text, std::size_t limit) {
  std::size_t depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit)
        throw BadRequest("the body nests arrays and objects deeper than " + std::to_string(limit) + " levels");
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
}

// The nesting is checked on the text before parsing: the parsed tree is then shallow enough for
// everything that walks it afterwards (the readers, the fingerprint of an Idempotency-Key).
json ParseBody(const std::string& body) {
  CheckNesting(body, kMaxNesting);
  json parsed = json::parse(body, nullptr, false);
  if (parsed.is_discarded()) throw BadRequest("the body is not valid JSON");
  if (!parsed.is_object()) throw BadRequest("the body is not a JSON object");
  return parsed;
}

double ReadDecimal(const json& value, const std::string& field, int decimals) {
  double v = 0;
  if (value.is_number()) {
    v = value.get<double>();
    const double scaled = v * std::pow(10.0, decimals);
    if (!std::isfinite(v) || std::fabs(scaled - std::round(scaled)) > 1e-6 * std::max(1.0, std::fabs(scaled)))
      throw BadRequest(field + " has more than " + std::to_string(decimals) + " decimals");
  } else if (value.is_string()) {
    const std::string& t = value.get_ref<const std::string&>();
    std::size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    const std::size_t intFrom = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    const std::size_t intDigits = i - intFrom;
    std::size_t fracDigits = 0;
    if (i < t.size() && t[i] == '.') {
      ++i;
      const std::size_t fracFrom = i;
      while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
      fracDigits = i - fracFrom;
    }
    if (i != t.size() || intDigits == 0 || intDigits > 12) throw BadRequest(field + " is not a number");
    if (fracDigits > static_cast<std::size_t>(decimals))
      throw BadRequest(field + " has more than " + std::to_string(decimals) + " decimals");
    v = std::strtod(t.c_str(), nullptr);
  } else {
    throw BadRequest(field + " is not a number");
  }
  if (std::fabs(v) > kMaxAmount) throw BadRequest(field + " is too large");
  return v;
}

std::string ReadText(const json& value, const std::string& field, std::size_t maxBytes) {
  if (!value.is_string()) throw BadRequest(field + " is not a text");
  const std::string& utf8 = value.get_ref<const std::string&>();
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F) throw BadRequest(field + " contains a control character");
    if (c == ';') throw BadRequest(field + " contains ';', the registrator's field separator");
  }
  std::string cp = Utf8ToCp1251(utf8);
  // A character the code page lacks would print as '?': refuse it instead.
  if (Cp1251ToUtf8(cp) != utf8) throw BadRequest(field + " has characters the registrator cannot print");
  if (cp.size() > maxBytes) throw BadRequest(field + " is too long for one frame");
  return cp;
}

Receipt ReadReceipt(const json& body) {
  Receipt r;
  r.password = ReadPasswordField(body);
  if (const json* v = Find(body, "operator")) r.operatorNumber = ReadInt(*v, "operator", 1, 99);
  if (const json* v = Find(body, "return")) {
    if (!v->is_boolean()) throw BadRequest("return is not true or false");
    r.isReturn = v->get<bool>();
  }
  const json& items = Require(body, "items", "items");
  if (!items.is_array()) throw BadRequest("items is not an array");
  if (items.empty()) throw BadRequest("items is empty");
  for (std::size_t i = 0; i < items.size(); ++i) r.items.push_back(ReadItem(items[i], At("items", i), r.password));
  r.comments = ReadLines(body, "comments", r.password, false);
  r.discountPercent = ReadOptionalDecimal(body, "discountPercent", "discountPercent");
  r.discountAmount = ReadOptionalDecimal(body, "discountAmount", "discountAmount");
  // The registrator takes one discount on the subtotal: a second one would be refused after the
  // receipt was printed up to there.
  if (r.discountPercent && r.discountAmount)
    throw BadRequest("discountPercent and discountAmount are both given: the subtotal takes one discount");
  const json& payments = Require(body, "payments", "payments");
  if (!payments.is_array()) throw BadRequest("payments is not an array");
  if (payments.empty()) throw BadRequest("payments is empty");
  for (std::size_t i = 0; i < payments.size(); ++i) {
    const std::string field = At("payments", i);
    RequireObject(payments[i], field);
    Payment p;
    p.type = ReadInt(Require(payments[i], "type", field + ".type"), field + ".type", 0, 9);
    p.amount = ReadDecimal(Require(payments[i], "amount", field + ".amount"), field + ".amount", 2);
    if (p.amount <= 0) throw BadRequest(field + ".amount is not above zero");
    r.payments.push_back(p);
  }
  return r;
}

NonFiscal ReadNonFiscal(const json& body) {
  NonFiscal n;
  n.password = ReadPasswordField(body);
  n.lines = ReadLines(body, "lines", n.password, true);
  return n;
}

Cash ReadCash(const json& body) {
  Cash c;
  c.password = ReadPasswordField(body);
  if (const json* v = Find(body, "operator")) c.operatorNumber = ReadInt(*v, "operator", 1, 99);
  c.amount = ReadDecimal(Require(body, "amount", "amount"), "amount", 2);
  if (c.amount == 0) throw BadRequest("amount is zero");
  return c;
}

RawCommand ReadRawCommand(const json& body) {
  const json& code = Require(body, "command", "command");
  if (!code.is_string()) throw BadRequest("command is not a text of two hexadecimal digits");
  const std::string& t = code.get_ref<const std::string&>();
  char* end = nullptr;
  const long n = std::strtol(t.c_str(), &end, 16);
  if (t.size() != 2 || *end != '\0' || !std::isxdigit(static_cast<unsigned char>(t[0])))
    throw BadRequest("command is not a text of two hexadecimal digits");
  // A reply whose command byte is below 20h cannot be framed.
  if (n < 0x20) throw BadRequest("command is below 20: its reply cannot be framed");
  RawCommand r;
  r.code = static_cast<int>(n);
  if (const json* d = Find(body, "data")) {
    if (!d->is_string()) throw BadRequest("data is not a text");
    const std::string& utf8 = d->get_ref<const std::string&>();
    // Bytes below 20h are the link's own framing bytes; inside the data they would break the frame.
    // DEL is refused with them, as in every other text the service sends.
    for (unsigned char c : utf8)
      if (c < 0x20 || c == 0x7F) throw BadRequest("data contains a control character (00h-1Fh or 7Fh)");
    r.data = Utf8ToCp1251(utf8);
    if (Cp1251ToUtf8(r.data) != utf8) throw BadRequest("data has characters outside the registrator's code page");
    if (r.data.size() > kMaxFrameData)
      throw BadRequest("data is " + std::to_string(r.data.size()) + " bytes, one frame carries at most " +
                       std::to_string(kMaxFrameData));
  }
  return r;
}

std::string ReadPassword(const json& body) { return ReadPasswordField(body); }

}  // namespace kovrix::server
