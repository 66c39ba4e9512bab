#include "server/metrics.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kovrix::server {
namespace {

std::string Escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

// The shortest text that reads back as the same double; counts stay plain integers.
std::string Number(double v) {
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  if (std::isnan(v)) return "NaN";
  char buf[40];
  if (v == std::floor(v) && std::fabs(v) < 9.007199254740992e15) {
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  return std::string(buf, end);
}

std::string Bound(double le) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", le);
  return buf;
}

}  // namespace

void Exposition::Family(const std::string& name, const char* type, const std::string& help) {
  text_ += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void Exposition::Sample(const std::string& name, const Labels& labels, double value) {
  text_ += name;
  if (!labels.empty()) {
    text_ += '{';
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (i > 0) text_ += ',';
      text_ += labels[i].first + "=\"" + Escaped(labels[i].second) + '"';
    }
    text_ += '}';
  }
  text_ += ' ' + Number(value) + '\n';
}

void Histogram::Observe(double seconds) {
  for (std::size_t i = 0; i < kExchangeBuckets.size(); ++i) {
    if (seconds <= kExchangeBuckets[i]) {
      ++counts[i];
      break;
    }
  }
  ++count;
  sum += seconds;
}

void Histogram::Write(Exposition& out, const std::string& name, const Labels& labels) const {
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i <= kExchangeBuckets.size(); ++i) {
    Labels withBound = labels;
    if (i < kExchangeBuckets.size()) {
      cumulative += counts[i];
      withBound.emplace_back("le", Bound(kExchangeBuckets[i]));
    } else {
      withBound.emplace_back("le", "+Inf");
    }
    out.Sample(name + "_bucket", withBound, static_cast<double>(i < kExchangeBuckets.size() ? cumulative : count));
  }
  out.Sample(name + "_sum", labels, sum);
  out.Sample(name + "_count", labels, static_cast<double>(count));
}

void StatusCounts::Add(int status) {
  std::lock_guard lock(mutex_);
  ++counts_[status];
}

std::map<int, std::uint64_t> StatusCounts::Take() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

const char* ReceiptOutcome(const Answer& answer) {
  if (answer.status == 200) return "printed";
  const auto& body = answer.body;
  const std::string outcome = body.contains("outcome") && body["outcome"].is_string() ? body["outcome"].get<std::string>() : "";
  if (outcome == "annulled" || outcome == "closed") return "annulled";
  if (body.value("annulled", false) || body.value("closed", false)) return "annulled";
  if (answer.status == 504 || outcome == "unknown" || outcome == "open" || outcome == "finished elsewhere") return "unknown";
  return "refused";
}

}  // namespace kovrix::server
