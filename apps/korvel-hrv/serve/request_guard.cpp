// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/request_guard.h"

#include <cstdint>
#include <random>

namespace korvel_hrv {

namespace {

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// The value of cookie `name` in a Cookie header; empty when absent.
std::string cookie_value(const std::string& header, const std::string& name) {
  std::size_t at = 0;
  while (at < header.size()) {
    while (at < header.size() && (header[at] == ' ' || header[at] == ';')) ++at;
    const std::size_t end = header.find(';', at);
    const std::string pair = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const std::size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.compare(0, eq, name) == 0) return pair.substr(eq + 1);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

}  // namespace

RequestGuard::RequestGuard(std::string token, int port) : token_(std::move(token)), port_(port) {}

std::string RequestGuard::make_token() {
  std::random_device source;  // the system's random source (getrandom on Linux)
  static const char digits[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 8; ++i) {
    const std::uint32_t word = source();
    for (int b = 0; b < 8; ++b) token += digits[(word >> (4 * b)) & 0xF];
  }
  return token;
}

bool RequestGuard::matches(const std::string& candidate) const {
  // Compared in full whatever differs, so that timing tells nothing about the token.
  if (candidate.size() != token_.size()) return false;
  unsigned char differs = 0;
  for (std::size_t i = 0; i < token_.size(); ++i) differs |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
  return differs == 0;
}

std::string RequestGuard::cookie_name() const { return "korvel_hrv_" + std::to_string(port_); }

std::string RequestGuard::cookie() const {
  return cookie_name() + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

bool RequestGuard::token_in_query(const RequestFacts& request) const {
  return request.token_query && matches(*request.token_query);
}

std::optional<Refusal> RequestGuard::check(const RequestFacts& request) const {
  const std::string port = std::string(":").append(std::to_string(port_));  // appended: GCC 12 -O3 misreports +
  const std::string host = lower(request.host);
  if (host != "127.0.0.1" + port && host != "localhost" + port)
    return Refusal{403, "the Host header names another server (\"" + request.host + "\"); open the address the server printed"};
  if (request.origin && *request.origin != "http://127.0.0.1" + port && *request.origin != "http://localhost" + port)
    return Refusal{403, "requests from another site (\"" + *request.origin + "\") are refused"};
  if (request.fetch_site && *request.fetch_site != "same-origin" && *request.fetch_site != "none")
    return Refusal{403, "requests from another site are refused"};
  const bool token = (request.token_header && matches(*request.token_header)) || token_in_query(request) ||
                     (request.cookie && matches(cookie_value(*request.cookie, cookie_name())));
  if (!token) return Refusal{403, "the request lacks this server's token; open the address the server printed"};
  if (request.method != "GET" && request.method != "POST")
    return Refusal{405, "only GET and POST are answered"};
  if (request.method == "POST" &&
      lower(request.content_type.value_or("")).rfind("application/json", 0) != 0)
    return Refusal{415, "a POST carries a JSON body (Content-Type: application/json)"};
  return std::nullopt;
}

}  // namespace korvel_hrv
