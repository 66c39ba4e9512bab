#pragma once
// What the service does with the registrator, one operation per endpoint, each a whole exchange:
// it takes the port (lock, open, frame sequence shared with kovrix-cli), sends its commands and
// lets the port go again. Answers carry the HTTP status and the JSON body. Not thread-safe: the
// caller runs one operation at a time.

#include <string>

#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "server/request.h"

namespace kovrix::server {

struct Answer {
  int status = 200;
  nlohmann::ordered_json body;
};

class Service {
 public:
  /// The port, speed, repeat count and session log come from the options.
  explicit Service(cli::Options device) : device_(std::move(device)) {}

  /// Diagnostic information: model, version, serial, fiscalised, status bytes, status word.
  Answer DeviceInfo();
  /// Prints a whole fiscal receipt; on any refusal after opening it, annuls it.
  Answer PrintReceipt(const Receipt& receipt);
  /// Prints a non-fiscal receipt; on a refusal after opening it, closes it.
  Answer PrintNonFiscal(const NonFiscal& request);
  /// Cash in (positive amount) or out (negative).
  Answer CashInOut(const Cash& request);
  /// Daily report: 1 for X, 0 for Z.
  Answer Report(const std::string& password, int type);
  /// One raw exchange, answered with the command-line client's JSON object.
  Answer Raw(const RawCommand& command);

 private:
  cli::Options device_;
};

}  // namespace kovrix::server
