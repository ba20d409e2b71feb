#include "loopback_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace ombrix::test {
namespace {

// The few socket calls that differ between Winsock and POSIX.
#ifdef _WIN32
using Socket = SOCKET;
constexpr int kNoSignal = 0;
constexpr int kShutBoth = SD_BOTH;
Socket OpenListeningSocket() {
  static WSADATA data;
  static const int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) return INVALID_SOCKET;
  return ::socket(AF_INET, SOCK_STREAM, 0);
}
Socket AcceptOne(Socket listener) { return ::accept(listener, nullptr, nullptr); }
int PollReadable(Socket socket, int timeoutMs) {
  WSAPOLLFD entry{socket, POLLRDNORM, 0};
  return ::WSAPoll(&entry, 1, timeoutMs);
}
void CloseSocket(Socket socket) { ::closesocket(socket); }
void SetSendTimeout(Socket socket) {
  const DWORD ms = 2000;
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}
int LastSocketError() { return ::WSAGetLastError(); }
bool Interrupted() { return false; }
#else
using Socket = int;
constexpr Socket INVALID_SOCKET = -1;
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
Socket OpenListeningSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
Socket AcceptOne(Socket listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
int PollReadable(Socket socket, int timeoutMs) {
  pollfd entry{socket, POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs);
}
void CloseSocket(Socket socket) { ::close(socket); }
void SetSendTimeout(Socket socket) {
  timeval sendTimeout{2, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
}
int LastSocketError() { return errno; }
bool Interrupted() { return errno == EINTR; }
#endif

constexpr std::size_t kMaxRequestHeadBytes = 16384;
constexpr auto kRequestReadTimeout = std::chrono::seconds(5);

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string ReasonFor(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

// Reads the request head (up to the blank line) within the time limit.
bool ReadRequestHead(Socket connection, std::string& head) {
  const auto deadline = std::chrono::steady_clock::now() + kRequestReadTimeout;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (head.size() > kMaxRequestHeadBytes) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int ready = PollReadable(connection, static_cast<int>(left.count()));
    if (ready < 0 && Interrupted()) continue;
    if (ready <= 0) return false;
    const auto got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got < 0 && Interrupted()) continue;
    if (got <= 0) return false;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  head.resize(head.find("\r\n\r\n"));
  return true;
}

HttpRequestRecord ParseRequestHead(std::string_view head) {
  HttpRequestRecord request;
  std::size_t lineEnd = head.find("\r\n");
  std::string_view line = head.substr(0, lineEnd);
  const std::size_t first = line.find(' ');
  const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second != std::string_view::npos) {
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, second - first - 1);
    request.version = line.substr(second + 1);
  }
  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    line = head.substr(start, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1))));
  }
  return request;
}

bool SendAll(Socket connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
    const auto sent = ::send(connection, bytes.data(), chunk, kNoSignal);
    if (sent < 0 && Interrupted()) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

int HttpRequestRecord::CountHeader(std::string_view name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(),
                                        [&](const auto& header) { return EqualsIgnoringCase(header.first, name); }));
}

std::string HttpRequestRecord::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoringCase(key, name)) return value;
  }
  return {};
}

CannedResponse Respond(int status, std::string body) {
  CannedResponse response;
  response.status = status;
  response.reason = ReasonFor(status);
  response.body = std::move(body);
  return response;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, std::chrono::milliseconds lifetime, int maxRequests)
    : handler_(std::move(handler)), deadline_(std::chrono::steady_clock::now() + lifetime), maxRequests_(maxRequests) {
  const Socket listener = OpenListeningSocket();
  if (listener == INVALID_SOCKET) throw std::system_error(LastSocketError(), std::generic_category(), "socket");
  listener_ = static_cast<std::intptr_t>(listener);
#ifndef _WIN32
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // ephemeral
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = LastSocketError();
    CloseSocket(listener);
    listener_ = -1;
    throw std::system_error(error, std::generic_category(), "bind/listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() { Stop(); }

void LoopbackHttpServer::Stop() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listener_ != -1) {
    CloseSocket(static_cast<Socket>(listener_));
    listener_ = -1;
  }
}

std::string LoopbackHttpServer::Url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

int LoopbackHttpServer::RequestCount() const {
  std::lock_guard guard(mutex_);
  return static_cast<int>(requests_.size());
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const {
  std::lock_guard guard(mutex_);
  return requests_;
}

bool LoopbackHttpServer::WaitForStop(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, duration, [this] { return stopping_; });
}

void LoopbackHttpServer::Serve() {
  for (;;) {
    if (std::chrono::steady_clock::now() >= deadline_ || RequestCount() >= maxRequests_) return;
    {
      std::lock_guard guard(mutex_);
      if (stopping_) return;
    }
    const Socket listener = static_cast<Socket>(listener_);
    if (PollReadable(listener, 20) <= 0) continue;
    const Socket connection = AcceptOne(listener);
    if (connection == INVALID_SOCKET) continue;
    SetSendTimeout(connection);
    HandleConnection(static_cast<std::intptr_t>(connection));
    CloseSocket(connection);
  }
}

void LoopbackHttpServer::HandleConnection(std::intptr_t socket) {
  const auto connection = static_cast<Socket>(socket);
  std::string head;
  if (!ReadRequestHead(connection, head)) return;
  HttpRequestRecord request = ParseRequestHead(head);
  {
    std::lock_guard guard(mutex_);
    requests_.push_back(request);
  }
  const CannedResponse response = handler_(request);
  if (response.delayBeforeResponse.count() > 0 && WaitForStop(response.delayBeforeResponse)) return;

  std::string text = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  for (const auto& [name, value] : response.headers) text += name + ": " + value + "\r\n";
  if (response.sendContentLength) text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  text += "Connection: close\r\n\r\n";
  text += response.body;
  if (!SendAll(connection, text)) return;
  if (response.holdOpenAfterBody.count() > 0) WaitForStop(response.holdOpenAfterBody);
  ::shutdown(connection, kShutBoth);
}

}  // namespace ombrix::test
