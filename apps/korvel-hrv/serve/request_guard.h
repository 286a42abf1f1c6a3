// SPDX-License-Identifier: MIT
// Who may talk to the local server. It listens on the loopback address only, and every
// request must also:
//   - carry the session's token: in the address printed at start (?token=), which the
//     first page load exchanges for a cookie (HttpOnly, SameSite=Strict, named after the
//     port so that servers on other ports keep theirs), or in the X-Korvel-Token header;
//   - name this server in Host (127.0.0.1:PORT or localhost:PORT), so that a page of
//     another site whose name was rebound to 127.0.0.1 is refused;
//   - come from this server's own pages: an Origin, when sent, must be this server's, and
//     a Sec-Fetch-Site, when sent, same-origin or none (a typed address);
//   - change things only by POST with a JSON body, which a foreign form cannot send.
#pragma once

#include <optional>
#include <string>

namespace korvel_hrv {

struct RequestFacts {
  std::string method;  // "GET", "POST", ...
  std::string host;    // the Host header
  std::optional<std::string> origin;
  std::optional<std::string> fetch_site;  // Sec-Fetch-Site
  std::optional<std::string> cookie;      // the Cookie header
  std::optional<std::string> token_header;
  std::optional<std::string> token_query;
  std::optional<std::string> content_type;
};

struct Refusal {
  int status;  // 403, 405 or 415
  std::string reason;
};

class RequestGuard {
 public:
  RequestGuard(std::string token, int port);

  // A fresh token: 32 random bytes from the system's source, as hex.
  static std::string make_token();

  // Why the request is refused, or nothing when it may go on.
  std::optional<Refusal> check(const RequestFacts& request) const;
  // Whether the token came in the query (a first page load, to be answered with the cookie).
  bool token_in_query(const RequestFacts& request) const;
  // The Set-Cookie value that carries the token from then on.
  std::string cookie() const;
  const std::string& token() const noexcept { return token_; }
  int port() const noexcept { return port_; }

 private:
  bool matches(const std::string& candidate) const;
  std::string cookie_name() const;

  std::string token_;
  int port_;
};

}  // namespace korvel_hrv
