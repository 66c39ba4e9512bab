#pragma once
// Reading the JSON bodies of the service's requests into plain records. Every check happens here,
// before anything reaches the registrator: a body that fails one gets a message naming the field
// (items[1].price) and nothing is sent.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/commands.h"

namespace kovrix::server {

/// Thrown by the readers below: the message names the field and what is wrong with it.
struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Item {
  std::int64_t code = 0;
  std::string name;  // cp1251
  double price = 0;
  int taxGroup = 0;
  int department = 1;
  double quantity = 0;
  std::optional<double> discountPercent;  // negative = discount, positive = markup
  std::optional<double> discountAmount;
};

struct Payment {
  int type = 0;
  double amount = 0;
};

struct Receipt {
  int operatorNumber = 1;
  std::string password = kDefaultPassword;  // cp1251
  bool isReturn = false;
  std::vector<Item> items;
  std::vector<std::string> comments;  // cp1251
  std::optional<double> discountPercent;  // on the subtotal
  std::optional<double> discountAmount;
  std::vector<Payment> payments;
};

struct NonFiscal {
  std::string password = kDefaultPassword;
  std::vector<std::string> lines;  // cp1251
};

struct Cash {
  std::string password = kDefaultPassword;
  int operatorNumber = 1;
  double amount = 0;  // negative = cash out
};

struct RawCommand {
  int code = 0;
  std::string data;  // cp1251
};

/// The deepest nesting of arrays and objects a body may have.
inline constexpr std::size_t kMaxNesting = 32;

/// Checks on the raw text, without recursion, that arrays and objects nest at most limit deep;
/// BadRequest otherwise.
void CheckNesting(const std::string& text, std::size_t limit);

/// Parses a request body; BadRequest for malformed JSON, nesting deeper than kMaxNesting or a
/// body that is not an object.
nlohmann::json ParseBody(const std::string& body);

/// Reads an amount given as a JSON string ("12.50") or number with at most `decimals` decimals;
/// BadRequest naming `field` otherwise.
double ReadDecimal(const nlohmann::json& value, const std::string& field, int decimals);

/// Reads a text for the registrator: UTF-8 that the registrator's code page can show, no control
/// characters and no ';' (the field separator), at most maxBytes bytes; answers it in cp1251.
std::string ReadText(const nlohmann::json& value, const std::string& field, std::size_t maxBytes);

Receipt ReadReceipt(const nlohmann::json& body);
NonFiscal ReadNonFiscal(const nlohmann::json& body);
Cash ReadCash(const nlohmann::json& body);
RawCommand ReadRawCommand(const nlohmann::json& body);
/// Reads the optional "password" of a report request.
std::string ReadPassword(const nlohmann::json& body);

}  // namespace kovrix::server
