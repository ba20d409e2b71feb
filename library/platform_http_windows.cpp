// The Windows side of platform_http.h, on WinHTTP: the system's proxy
// settings and certificate store, TLS through Schannel.
#include <windows.h>
// windows.h first: WinHTTP's header needs its types.
#include <winhttp.h>

#include <memory>
#include <string>

#include "library/platform_http.h"

namespace kestrune::updates {
namespace {

constexpr DWORD kMaxHostCharacters = 256;
constexpr DWORD kMaxPathCharacters = 2048;

struct InternetCloser {
  void operator()(HINTERNET handle) const { ::WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

struct Address {
  std::wstring host;
  std::wstring path;  // with the query
  INTERNET_PORT port = 0;
  bool secure = false;
};

bool CrackAddress(const std::wstring& url, Address& address) {
  wchar_t host[kMaxHostCharacters + 1] = {};
  wchar_t path[kMaxPathCharacters + 1] = {};
  wchar_t extra[kMaxPathCharacters + 1] = {};
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kMaxHostCharacters + 1;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kMaxPathCharacters + 1;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = kMaxPathCharacters + 1;
  if (!::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (parts.dwHostNameLength == 0) return false;
  address.host.assign(host, parts.dwHostNameLength);
  address.path.assign(path, parts.dwUrlPathLength);
  address.path.append(extra, parts.dwExtraInfoLength);
  if (address.path.empty()) address.path = L"/";
  address.port = parts.nPort;
  address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

Internet OpenSession(DWORD timeoutMs) {
  Internet session(::WinHttpOpen(L"Kestrune plug-in", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    session.reset(::WinHttpOpen(L"Kestrune plug-in", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!session) return session;
  const int ms = static_cast<int>(timeoutMs);
  if (!::WinHttpSetTimeouts(session.get(), ms, ms, ms, ms)) session.reset();
  return session;
}

bool SetOption(HINTERNET handle, DWORD option, DWORD value) {
  return ::WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// Reads the body while data is available; false when it fails or would
// pass kMaxHttpBodyBytes.
bool ReadBody(HINTERNET request, std::string& body) {
  for (;;) {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) return false;
    if (available == 0) return true;
    if (body.size() + available > kMaxHttpBodyBytes) return false;
    const std::size_t start = body.size();
    body.resize(start + available);
    DWORD read = 0;
    if (!::WinHttpReadData(request, body.data() + start, available, &read)) return false;
    body.resize(start + read);
    if (read == 0) return true;
  }
}

}  // namespace

HttpResult HttpGet(const std::string& url, int timeoutSeconds) {
  HttpResult result;
  Address address;
  if (!CrackAddress(WideFromUtf8(url), address)) return result;
  const DWORD timeoutMs = static_cast<DWORD>(timeoutSeconds < 1 ? 1 : timeoutSeconds) * 1000;
  Internet session = OpenSession(timeoutMs);
  if (!session) return result;
  Internet connection(::WinHttpConnect(session.get(), address.host.c_str(), address.port, 0));
  if (!connection) return result;
  Internet request(::WinHttpOpenRequest(connection.get(), L"GET", address.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, address.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return result;
  // The wait for the response head has a time-out of its own (90 s unless set).
  if (!SetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, timeoutMs) ||
      !SetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER) ||
      !SetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)) {
    return result;
  }
  static constexpr wchar_t kAccept[] = L"Accept: application/json\r\n";
  if (!::WinHttpSendRequest(request.get(), kAccept, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr)) {
    return result;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
      status == 0) {
    return result;
  }
  // A Content-Length beyond the limit ends the exchange before any body is read.
  DWORD announced = 0;
  size = sizeof announced;
  if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX) &&
      announced > kMaxHttpBodyBytes) {
    return result;
  }
  std::string body;
  if (!ReadBody(request.get(), body)) return result;

  DWORD retryAfter = 0;
  size = sizeof retryAfter;
  if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_RETRY_AFTER | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &retryAfter, &size, WINHTTP_NO_HEADER_INDEX) &&
      retryAfter >= 1 && retryAfter <= 3600) {
    result.retryAfter = static_cast<std::int32_t>(retryAfter);
  }
  result.status = static_cast<std::int32_t>(status);
  result.body = std::move(body);
  return result;
}

}  // namespace kestrune::updates
