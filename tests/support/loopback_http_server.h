#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for tests that need a real peer. It
// listens on an ephemeral port, serves one connection at a time on its own
// thread (one request per connection, then "Connection: close"), answers
// every request with what the handler returns, and records the requests.
//
// It is bounded: it stops by itself after `lifetime` or after `maxRequests`
// requests, whichever comes first, and the destructor stops it at once.
//
//   LoopbackHttpServer server([](const HttpRequestRecord&) {
//     CannedResponse r; r.body = R"({"ombrix":{"version":"0.5.0","page":"/p"}})"; return r;
//   });
//   HttpGet(server.Url("/updates.json"), 8);
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace ombrix::test {

struct HttpRequestRecord {
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent

  // How often a header occurs, and the value of its first occurrence
  // (names compared without regard to ASCII case).
  int CountHeader(std::string_view name) const;
  std::string Header(std::string_view name) const;
};

struct CannedResponse {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool sendContentLength = true;                     // false: the body ends when the connection closes
  std::chrono::milliseconds delayBeforeResponse{0};  // wait before answering (time-out tests)
  std::chrono::milliseconds holdOpenAfterBody{0};    // keep the connection open after the body
};

class LoopbackHttpServer {
 public:
  using Handler = std::function<CannedResponse(const HttpRequestRecord&)>;

  explicit LoopbackHttpServer(Handler handler, std::chrono::milliseconds lifetime = std::chrono::seconds(60),
                              int maxRequests = 200);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by target.
  std::string Url(std::string_view target = "/") const;

  int RequestCount() const;
  std::vector<HttpRequestRecord> Requests() const;

  // Ends the serving thread (interrupting any delay or hold) and joins it.
  void Stop();

 private:
  void Serve();
  void HandleConnection(std::intptr_t connection);
  // Waits up to duration; true when the server is stopping.
  bool WaitForStop(std::chrono::milliseconds duration);

  Handler handler_;
  std::chrono::steady_clock::time_point deadline_;
  int maxRequests_;
  std::intptr_t listener_ = -1;  // a socket (a SOCKET handle on Windows)
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;                    // guarded by mutex_
  std::vector<HttpRequestRecord> requests_;  // guarded by mutex_
  std::thread thread_;
};

// A response with this status and body and the usual reason text.
CannedResponse Respond(int status, std::string body);

}  // namespace ombrix::test
