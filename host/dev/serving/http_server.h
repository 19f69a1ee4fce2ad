// HttpServer: the HTTP/1.1 server under zel-host serve. It runs on a user's
// machine beside a browser that visits other sites, so every client may be
// hostile, and none may end the process, make it hold memory without bound
// or keep other clients from being answered:
//
//   - one thread reads and writes every connection without blocking; a
//     client that sends slowly or reads slowly holds no thread;
//   - a request head must arrive whole within a deadline and within a count
//     of headers and a size; a body (chunked ones too, with their framing)
//     within a size and a deadline, getting bytes all along and at a pace
//     that brings it in by then, and all bodies being read at once within a
//     budget; refusals of a body that is still
//     arriving drain it without keeping it, so that the client reads the
//     answer;
//   - a body is framed by Content-Length or by chunked as the last transfer
//     coding, never otherwise, so that no body is read as a request;
//   - HEAD is answered as GET without the body; 1xx, 204 and 304 answers
//     carry no body;
//   - the handlers' work runs on a pool of worker threads, only once the
//     whole request is in memory;
//   - long-lived answers (server-sent events) are polled on the server's
//     thread and capped in number.
//
//   HttpServer server(limits, handlers);
//   if (!server.bind("127.0.0.1", 0)) return fail(server.error());
//   std::thread serving([&] { server.run(); });
//   ...
//   server.stop();   // from any thread; run() returns
//
// The handlers are called on the server's thread (screen, openStream) or on
// a worker (answer, log) and must outlive the server.
// Each connection is an HttpSession (internal/http_session.h, internal to the server).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::host {

// HTTP names (headers, hosts, media types) compare without regard to ASCII case.
std::string lowerCaseAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

struct HttpRequest {
  std::string method;
  std::string target;                                        // exactly as sent
  std::vector<std::pair<std::string, std::string>> headers;  // names as sent
  std::string body;

  // The first header of that name, whatever its case; none when absent.
  const std::string* header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// A long-lived answer: the server polls it now and then, and sends what it
// gives as it comes.
class HttpStream {
 public:
  virtual ~HttpStream() = default;
  // Appends the text that is ready, never waiting; false once the stream has
  // ended (what was appended is still sent).
  virtual bool poll(std::string& text) = 0;
};

struct HttpLimits {
  std::size_t maxBodyBytes = 16u << 20;
  // The request line and header fields; also what the read buffer holds at
  // most besides one read (kReadChunk, 16 KiB), so a chunk-size line or a
  // trailer section larger than this is refused as well.
  std::size_t maxHeadBytes = 64u << 10;
  std::size_t maxHeaderCount = 100;
  // Every byte of a chunked body that is not data: chunk-size lines with
  // their extensions, the line ends after the data, the trailer section.
  std::size_t maxChunkFramingBytes = 256u << 10;
  // What all bodies being read hold in memory at once. A body holds what
  // its text holds (what it has received, grown by doubling up to its
  // Content-Length), never what it announces; a body whose next bytes would
  // pass the budget is answered 503.
  std::size_t bodyBudgetBytes = 64u << 20;
  std::chrono::milliseconds headDeadline{10'000};  // also how long a kept-alive connection idles
  std::chrono::milliseconds bodyDeadline{60'000};
  // A body that gets no byte for this long gives its share of the budget
  // back and is answered 408. So does one that falls behind the pace rule:
  // a body whose share is S must have received, at T after it began,
  //   S x (T - bodyStallDeadline) / bodyDeadline
  // bytes (framing of a chunked one included), so that a start within the
  // stall deadline is never cut, and bodies that trickle a byte now and
  // then cannot hold the budget until the body deadline.
  std::chrono::milliseconds bodyStallDeadline{5'000};
  std::chrono::milliseconds writeDeadline{30'000};
  std::size_t maxStreams = 32;
  // A stream is not polled while its connection has more than this unsent:
  // a client that stops reading leaves the events with the stream's source.
  std::size_t maxUnsentStreamBytes = 1u << 20;
  // At the cap, a new connection takes the place of the one that has waited
  // longest (since its last byte or its last answer) for a request head or a
  // body, or for a refused body to end; with none such, it is closed at once.
  std::size_t maxConnections = 128;
  unsigned workerThreads = 8;
};

struct HttpHandlers {
  // From the head alone, before any body is read: a refusal, or none to go on.
  std::function<std::optional<HttpResponse>(const HttpRequest& head)> screen;
  // A stream for a request that asks for one, given its answer's status and
  // headers to send first; none: an ordinary request.
  std::function<std::unique_ptr<HttpStream>(const HttpRequest& head, HttpResponse& answer)>
      openStream;
  // Whether a request (its head) asks for a stream; asked before openStream,
  // so that a request over the cap is refused without opening one.
  std::function<bool(const HttpRequest& head)> wantsStream;
  // The answer to a whole request, on a worker thread.
  std::function<HttpResponse(HttpRequest& request)> answer;
  // The server's own refusals, as the handlers' answers look.
  std::function<HttpResponse(int status, std::string_view text)> refusal;
  // Once a request has been answered (streams excepted).
  std::function<void(const HttpRequest& request, int status,
                     std::chrono::steady_clock::duration elapsed)>
      log;
};

class HttpServer {
 public:
  HttpServer(HttpLimits limits, HttpHandlers handlers);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on address:port (0: any free port), alone: a port that another
  // server holds is an error. False with the reason in error(). 127.0.0.1
  // brings [::1] on the same port with it, so that no other program can
  // answer there for "localhost"; where [::1] does not exist (no IPv6) the
  // server listens on 127.0.0.1 alone and servesIpv6Loopback() says so.
  bool bind(const std::string& address, int port);
  int port() const;
  bool servesIpv6Loopback() const;
  const std::string& error() const;

  // Serves on this thread until stop().
  void run();
  // Closes every connection and ends run(); safe from any thread, and twice.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::host
