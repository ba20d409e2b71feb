#include "library/platform_http.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace kestrune::updates {
namespace {

constexpr std::size_t kMaxHostCharacters = 256;
constexpr std::size_t kMaxPathCharacters = 2048;

bool GlobalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlFree>;

// Checks the address as WinHttpCrackUrl would see it: http or https, a host
// name of at most 256 characters and a path of at most 2048.
bool AddressIsUsable(const std::string& url) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parts(curl_url(), &curl_url_cleanup);
  if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
  auto part = [&](CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(parts.get(), which, &text, 0) != CURLUE_OK) text = nullptr;
    return CurlText(text);
  };
  const CurlText scheme = part(CURLUPART_SCHEME);
  const CurlText host = part(CURLUPART_HOST);
  const CurlText path = part(CURLUPART_PATH);
  if (!scheme || !host || !path) return false;
  const std::string schemeText(scheme.get());
  if (schemeText != "http" && schemeText != "https") return false;
  return std::char_traits<char>::length(host.get()) <= kMaxHostCharacters &&
         std::char_traits<char>::length(path.get()) <= kMaxPathCharacters;
}

struct Transfer {
  std::string body;
  bool tooLarge = false;
};

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer->body.size() + bytes > kMaxHttpBodyBytes) {
    transfer->tooLarge = true;
    return 0;  // anything but bytes aborts the transfer at once
  }
  transfer->body.append(data, bytes);
  return bytes;
}

}  // namespace

HttpResult HttpGet(const std::string& url, int timeoutSeconds) {
  HttpResult result;
  if (!GlobalInit() || !AddressIsUsable(url)) return result;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) return result;
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
      curl_slist_append(nullptr, "Accept: application/json"), &curl_slist_free_all);
  if (!headers) return result;

  // 0 would mean "no time-out" to libcurl, so at least one second.
  const long timeoutMs = static_cast<long>(timeoutSeconds < 1 ? 1 : timeoutSeconds) * 1000L;
  Transfer transfer;
  CURL* h = curl.get();
  bool ok = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
#if LIBCURL_VERSION_NUM >= 0x075500
            curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
#else
            curl_easy_setopt(h, CURLOPT_PROTOCOLS, long{CURLPROTO_HTTP | CURLPROTO_HTTPS}) == CURLE_OK &&
#endif
            curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_USERAGENT, "Kestrune plug-in") == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{kMaxHttpBodyBytes}) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CollectBody) == CURLE_OK &&
            curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
  // No cookie engine is switched on (no CURLOPT_COOKIEFILE / COOKIEJAR), so
  // no cookie is stored or sent.
  if (!ok || curl_easy_perform(h) != CURLE_OK || transfer.tooLarge) return result;

  long status = 0;
  if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status <= 0) return result;
  curl_off_t retryAfter = 0;
  if (curl_easy_getinfo(h, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter >= 1 &&
      retryAfter <= 3600) {
    result.retryAfter = static_cast<std::int32_t>(retryAfter);
  }
  result.status = static_cast<std::int32_t>(status);
  result.body = std::move(transfer.body);
  return result;
}

}  // namespace kestrune::updates
