#pragma once
// SHA-256 (FIPS 180-4), written out here so that the service needs no cryptography library for
// the one digest it takes: a fixed-length name for a client's Idempotency-Key and a short
// fingerprint of the request it came with.

#include <array>
#include <cstdint>
#include <string>

namespace kovrix::server {

/// Answers the 32-byte SHA-256 digest of the bytes.
std::array<std::uint8_t, 32> Sha256(const std::string& bytes);

/// Answers the digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace kovrix::server
