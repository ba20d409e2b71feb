#pragma once
// One HTTP(S) GET for the update feed. A Windows build implements the same
// contract on WinHTTP; this one uses libcurl.
#include <cstdint>
#include <string>

namespace kestrune::updates {

// Response bodies larger than this are refused.
inline constexpr std::size_t kMaxHttpBodyBytes = 65536;

struct HttpResult {
  std::int32_t status = 0;      // the HTTP status code; 0 when the exchange failed in any way
  std::string body;             // the response body; empty on failure
  std::int32_t retryAfter = 0;  // seconds from a Retry-After header between 1 and 3600, else 0
};

// GETs url (http or https) with the user agent "Kestrune plug-in" and the
// single extra header "Accept: application/json". Redirects are not followed
// (a 3xx comes back as it is), no cookies are kept, TLS certificates and host
// names are verified, proxies come from the usual environment variables.
// Resolving and connecting, and the whole exchange, each end after
// timeoutSeconds. A body of more than kMaxHttpBodyBytes aborts the transfer
// as soon as it is seen (or announced) and gives status 0 with an empty body.
// Safe to call from any thread; never throws.
HttpResult HttpGet(const std::string& url, int timeoutSeconds);

}  // namespace kestrune::updates
