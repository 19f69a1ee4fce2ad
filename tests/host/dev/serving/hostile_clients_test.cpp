// zel-host serve against hostile clients, as its own process. It listens on
// a developer's machine beside a browser that visits other sites, so a page
// may aim requests at it (a rebound DNS name, a cross-site POST), and any
// local program may flood it or trickle bytes at it. None of them may change
// the catalogue, end the process, make it keep memory, or keep other clients
// from being answered. The clients speak raw HTTP over POSIX sockets, so that
// they can send what no HTTP library would.
#if !defined(_WIN32)

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

#include <mutex>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/conversions/text_template.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/serving/http_server.h"
#include "host/dev/serving/messages.h"
#include "host/host_value.h"
#include "tests/host/dev/served_child.h"

namespace zel::host {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::ServedChild;
using Clock = std::chrono::steady_clock;

// A normal request must be answered this fast whatever else is going on.
constexpr auto kPromptly = 1s;
// How long one send or receive of a raw client may block.
constexpr auto kIoTimeout = 2s;
// Caps every loop of the raw clients, besides their deadlines.
constexpr int kMaxRounds = 100000;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreedMemoryQuarantined = true;
#elif defined(__has_feature)
constexpr bool kFreedMemoryQuarantined = __has_feature(address_sanitizer);
#else
constexpr bool kFreedMemoryQuarantined = false;
#endif
// The event streams the server serves at once, and its connections.
constexpr int kMaxStreams = 32;
constexpr int kMaxConnections = 128;
// How far the resident memory may stay above where it was before a flood.
constexpr long kMemorySlackKib = 8 * 1024;

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// The start of a message template up to its first placeholder: what every
// filling of it contains.
std::string fixedStart(std::string_view pattern) {
  return std::string(pattern.substr(0, pattern.find('%')));
}

long long millisecondsOf(Clock::duration duration) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// Enough of a raw exchange for a failure message, with control bytes
// written as \xNN: the test's own output must not steer a terminal either.
std::string shown(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < 600; ++i) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if ((byte < 0x20 && byte != '\n' && byte != '\r') || byte == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      text += escaped;
    } else {
      text += static_cast<char>(byte);
    }
  }
  return bytes.size() <= 600 ? text : text + "...";
}

// A client socket to 127.0.0.1:port. Every send and receive gives up after
// kIoTimeout and every loop after a count and a deadline, so that a server
// that stops answering fails a case instead of hanging the suite.
class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) return;
    timeval timeout{};
    timeout.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(kIoTimeout).count();
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RawClient() {
    if (fd_ >= 0) close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Whether the server has closed (or reset) the connection, as seen so far.
  bool closed() const { return closed_; }
  // Whether it was reset rather than closed after what it sent.
  bool reset() const { return reset_; }
  const std::string& received() const { return received_; }

  // Sends every byte; false once the server stops reading (a send times
  // out) or has closed the connection.
  bool send(std::string_view bytes) {
    std::size_t sent = 0;
    auto deadline = Clock::now() + 10s;
    for (int round = 0; connected() && sent < bytes.size() && round < kMaxRounds; ++round) {
      if (Clock::now() > deadline) return false;
      ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (errno == EPIPE || errno == ECONNRESET) closed_ = true;
        return false;
      }
      sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
  }

  // Whether the server has answered something or closed: a sender stops then.
  bool readable() const {
    if (!connected()) return true;
    pollfd ready{fd_, POLLIN, 0};
    return poll(&ready, 1, 0) > 0;
  }

  // Reads until done(received()) holds, the server closes or patience runs
  // out (at least one look at the socket, so a patience of 0 reads what is
  // there); done(received()) at the end.
  template <typename Done>
  bool readUntil(Done done, Clock::duration patience) {
    auto deadline = Clock::now() + patience;
    char buffer[64 * 1024];
    for (int round = 0; connected() && !closed_ && !done(received_) && round < kMaxRounds;
         ++round) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd ready{fd_, POLLIN, 0};
      int count = poll(&ready, 1, static_cast<int>(std::clamp(left, 0ms, 250ms).count()));
      if (count > 0) {
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
          received_.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
          reset_ = n < 0 && errno == ECONNRESET;
          closed_ = true;
        }
      } else if (count < 0 && errno != EINTR) {
        break;
      }
      if (Clock::now() >= deadline) break;
    }
    return done(received_);
  }

  // Whether the server closes the connection within patience.
  bool closesWithin(Clock::duration patience) {
    readUntil([](const std::string&) { return false; }, patience);
    return closed_;
  }

 private:
  int fd_ = -1;
  bool closed_ = false;
  bool reset_ = false;
  std::string received_;
};

bool hasWholeHead(const std::string& bytes) {
  return bytes.find("\r\n\r\n") != std::string::npos;
}

struct RawReply {
  int status = 0;                                            // 0: no whole reply head arrived
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;                                          // chunked bodies decoded
  std::string raw;

  std::string header(std::string_view lowerName) const {
    for (const auto& [name, value] : headers) {
      if (name == lowerName) return value;
    }
    return {};
  }
};

RawReply parseReply(const std::string& raw) {
  RawReply reply;
  reply.raw = raw;
  std::size_t headEnd = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos || headEnd < 12) return reply;
  reply.status = std::atoi(raw.substr(9, 3).c_str());
  for (std::size_t at = raw.find("\r\n") + 2; at < headEnd;) {
    std::size_t end = raw.find("\r\n", at);
    std::string line = raw.substr(at, end - at);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::size_t value = line.find_first_not_of(" \t", colon + 1);
      reply.headers.emplace_back(lowerCase(line.substr(0, colon)),
                                 value == std::string::npos ? "" : line.substr(value));
    }
    at = end + 2;
  }
  std::string rest = raw.substr(headEnd + 4);
  if (lowerCase(reply.header("transfer-encoding")) != "chunked") {
    // A reply the server sends next on the same connection may have come in
    // the same read: the body ends where its length says.
    const std::string length = reply.header("content-length");
    if (!length.empty()) rest.resize(std::min<std::size_t>(rest.size(), std::stoul(length)));
    reply.body = std::move(rest);
    return reply;
  }
  for (std::size_t at = 0, round = 0; at < rest.size() && round < rest.size(); ++round) {
    std::size_t lineEnd = rest.find("\r\n", at);
    if (lineEnd == std::string::npos) break;
    std::size_t size = std::strtoul(rest.substr(at, lineEnd - at).c_str(), nullptr, 16);
    if (size == 0) break;
    reply.body += rest.substr(lineEnd + 2, size);
    at = lineEnd + 2 + size + 2;
  }
  return reply;
}

// A reply whose body has arrived as its head says (a reply without a
// length ends when the server closes).
bool isWholeReply(const std::string& raw) {
  if (!hasWholeHead(raw)) return false;
  RawReply reply = parseReply(raw);
  if (lowerCase(reply.header("transfer-encoding")) == "chunked") {
    return raw.size() >= 5 && raw.compare(raw.size() - 5, 5, "0\r\n\r\n") == 0;
  }
  std::string length = reply.header("content-length");
  return !length.empty() && reply.body.size() >= std::strtoul(length.c_str(), nullptr, 10);
}

// Request text: the request line ("GET /x") and header lines, each ended.
std::string httpRequest(std::string_view line, const std::vector<std::string>& headers,
                        std::string_view body = {}) {
  std::string text = std::string(line) + " HTTP/1.1\r\n";
  for (const std::string& header : headers) text += header + "\r\n";
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return text + "\r\n" + std::string(body);
}

// Sends the request and reads one reply.
RawReply exchange(int port, const std::string& request, Clock::duration patience = 3s) {
  RawClient client(port);
  client.send(request);
  client.readUntil(isWholeReply, patience);
  return parseReply(client.received());
}

// Every refusal has the same form: {"error": TEXT, "status": N} as JSON.
void expectRefusal(const RawReply& reply, int status, const std::string& errorPart) {
  EXPECT_EQ(reply.status, status) << shown(reply.raw);
  EXPECT_THAT(reply.header("content-type"), StartsWith("application/json")) << shown(reply.raw);
  std::string error;
  std::optional<HostValue> body = parseJson(reply.body, error);
  ASSERT_TRUE(body) << error << "\n" << shown(reply.raw);
  const HostValue* text = body->find("error");
  const HostValue* code = body->find("status");
  ASSERT_TRUE(text != nullptr && code != nullptr) << shown(reply.raw);
  EXPECT_THAT(text->bytes, HasSubstr(errorPart));
  EXPECT_EQ(code->signedValue, status);
}

// A field of /proc/PID/status ("Name", "VmRSS"), trimmed; empty when absent.
std::string processStatus(int pid, std::string_view name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  for (int round = 0; round < 200 && std::getline(status, line); ++round) {
    if (line.rfind(std::string(name) + ":", 0) != 0) continue;
    std::size_t value = line.find_first_not_of(" \t", name.size() + 1);
    return value == std::string::npos ? "" : line.substr(value);
  }
  return {};
}

long residentKib(int pid) {
  std::string text = processStatus(pid, "VmRSS");
  return text.empty() ? -1 : std::atol(text.c_str());
}

// Whether a normal request is answered 200 within patience.
bool answersMaps(int port, Clock::duration patience) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(patience);
  client.set_read_timeout(patience);
  client.set_write_timeout(patience);
  httplib::Result maps = client.Get("/zel-maps/v1/maps");
  return maps && maps->status == 200;
}

std::string serveCommand(const std::string& options) {
  return std::string(ZEL_HOST_PROGRAM) + " serve --port 0 --game-data " + ZEL_GAME_DATA_DIR +
         (options.empty() ? "" : " " + options);
}

// The checks below read the server's /proc entry and send it signals: they
// would prove nothing about the shell that runs it.
void expectIsTheServer(const ServedChild& child) {
  EXPECT_EQ(processStatus(child.pid(), "Name"), "zel-host") << "pid " << child.pid();
}

// One server for the suite, started afresh when a case left it dead or
// unable to answer (that case has failed already; the next ones are judged
// on their own).
class HostileClientsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { restartServer(); }
  static void TearDownTestSuite() { stopServer(); }

  void SetUp() override {
    if (server_ == nullptr || !answersMaps(port(), 2s)) restartServer();
    ASSERT_TRUE(server_ != nullptr && server_->port() > 0);
  }

  static int port() { return server_->port(); }
  static int pid() { return server_->pid(); }
  static std::string ownHost() { return "127.0.0.1:" + std::to_string(port()); }
  // A port that nothing here serves.
  static int otherPort() { return port() == 65535 ? port() - 1 : port() + 1; }

  // After every case: the process lives and answers a normal request promptly.
  static void expectStillServing() {
    EXPECT_EQ(kill(pid(), 0), 0) << "the server ended";
    auto started = Clock::now();
    EXPECT_TRUE(answersMaps(port(), kPromptly)) << "GET /zel-maps/v1/maps was not answered 200";
    EXPECT_LT(millisecondsOf(Clock::now() - started), millisecondsOf(kPromptly));
  }

  static void restartServer() {
    stopServer();
    server_ = std::make_unique<ServedChild>();
    ASSERT_TRUE(server_->start(serveCommand(""))) << server_->output();
    expectIsTheServer(*server_);
  }

  static void stopServer() {
    if (server_ == nullptr) return;
    // A server that no longer answers may not stop on SIGTERM either.
    if (server_->pid() > 0 && kill(server_->pid(), 0) == 0 && !answersMaps(port(), 2s)) {
      kill(server_->pid(), SIGKILL);
    }
    server_.reset();
  }

  static inline std::unique_ptr<ServedChild> server_;
};

TEST_F(HostileClientsTest, OnlyTheServedHostNamesAreAnswered) {
  std::string own = std::to_string(port());
  std::string served = "127.0.0.1:" + own + ", localhost:" + own + " and [::1]:" + own;
  struct Row {
    int line;
    const char* request;
    const char* host;  // %1: the served port, %2: another one; null: no Host header
    const char* more;  // further header lines
    int status;
    std::string_view message;  // filled with the Host as sent and the served names
  };
  const Row rows[] = {
      {__LINE__, "GET /zel-maps/v1/map/3", "evil.example", "", 421, messages::kForeignHost},
      {__LINE__, "GET /zel-maps/v1/map/3", "127.0.0.1:%2", "", 421, messages::kForeignHost},
      {__LINE__, "GET /zel-maps/v1/map/3", "127.0.0.1", "", 421, messages::kForeignHost},
      {__LINE__, "GET /zel-maps/v1/map/3", "localhost.evil.example:%1", "", 421,
       messages::kForeignHost},
      {__LINE__, "GET /zel-maps/v1/map/3", nullptr, "", 400, messages::kNoHost},
      // Refused from the head alone: the body it announces never comes.
      {__LINE__, "POST /zel-maps/v1/map", "evil.example",
       "Content-Type: application/json\r\nContent-Length: 1000000", 421, messages::kForeignHost},
      {__LINE__, "GET /zel-maps/v1/map/3", "127.0.0.1:%1", "", 200, {}},
      {__LINE__, "GET /zel-maps/v1/map/3", "localhost:%1", "", 200, {}},
      {__LINE__, "GET /zel-maps/v1/map/3", "LOCALHOST:%1", "", 200, {}},
      {__LINE__, "GET /zel-maps/v1/map/3", "[::1]:%1", "", 200, {}},
  };
  for (const Row& row : rows) {
    std::string host =
        row.host == nullptr
            ? ""
            : fillTemplate(row.host, {std::to_string(port()), std::to_string(otherPort())});
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": Host " << host);
    std::vector<std::string> headers;
    if (row.host != nullptr) headers.push_back("Host: " + host);
    if (*row.more != '\0') headers.push_back(row.more);
    headers.push_back("Connection: close");
    RawReply reply = exchange(port(), httpRequest(row.request, headers));
    if (row.message.empty()) {
      EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
    } else {
      expectRefusal(reply, row.status, fillTemplate(row.message, {host, served}));
    }
    expectStillServing();
  }
}

TEST_F(HostileClientsTest, ForeignOriginsMayOnlyReadAndEventsMustBeJson) {
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(5s);
  auto keptName = [&] {
    httplib::Result variant = client.Get("/zel-maps/v2/map/77/RELAY");
    return variant && variant->status == 200 &&
           variant->body.find("\"name\":\"Kept\"") != std::string::npos;
  };
  httplib::Result posted = client.Post(
      "/zel-maps/v1/map", R"({"id": 77, "name": "Kept", "gameMode": "RELAY"})", "application/json");
  ASSERT_TRUE(posted);
  ASSERT_EQ(posted->status, 200) << posted->body;
  ASSERT_TRUE(keptName());

  std::string ownOrigin = "http://" + ownHost();
  std::string otherOrigin = "http://127.0.0.1:" + std::to_string(otherPort());
  std::string event = "POST /events/OnRegionLocaleChanged";
  struct Row {
    int line;
    std::string request;
    std::string origin;  // empty: none
    const char* contentType;
    std::string body;
    int status;
    std::string message;
  };
  const Row refused[] = {
      {__LINE__, event, "http://evil.example", "text/plain", "{}", 403,
       fillTemplate(messages::kForeignOrigin, {"http://evil.example"})},
      {__LINE__, event, "http://evil.example", "application/json", "{}", 403,
       fillTemplate(messages::kForeignOrigin, {"http://evil.example"})},
      {__LINE__, event, "null", "application/json", "{}", 403,
       fillTemplate(messages::kForeignOrigin, {"null"})},
      {__LINE__, event, otherOrigin, "application/json", "{}", 403,
       fillTemplate(messages::kForeignOrigin, {otherOrigin})},
      {__LINE__, "POST /zel-maps/v1/map", "http://evil.example", "application/json",
       R"({"id": 77, "name": "Changed", "gameMode": "RELAY"})", 403,
       fillTemplate(messages::kForeignOrigin, {"http://evil.example"})},
      {__LINE__, "DELETE /zel-maps/v1/map/77", "http://evil.example", "", "", 403,
       fillTemplate(messages::kForeignOrigin, {"http://evil.example"})},
      // What a page may send without asking first: a form's or text's type.
      {__LINE__, event, "", "text/plain", "{}", 415,
       fillTemplate(messages::kEventNotJson, {"OnRegionLocaleChanged"})},
      {__LINE__, event, "", "application/x-www-form-urlencoded", "{}", 415,
       fillTemplate(messages::kEventNotJson, {"OnRegionLocaleChanged"})},
      {__LINE__, event, "", "", "{}", 415,
       fillTemplate(messages::kEventNotJson, {"OnRegionLocaleChanged"})},
  };
  auto send = [&](const Row& row) {
    std::vector<std::string> headers = {"Host: " + ownHost(), "Connection: close"};
    if (!row.origin.empty()) headers.push_back("Origin: " + row.origin);
    if (*row.contentType != '\0')
      headers.push_back(std::string("Content-Type: ") + row.contentType);
    return exchange(port(), httpRequest(row.request, headers, row.body));
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.request << " from "
                                    << row.origin << " as " << row.contentType);
    expectRefusal(send(row), row.status, row.message);
    // A reload would have dropped the posted variant, a POST renamed it.
    EXPECT_TRUE(keptName());
    expectStillServing();
  }

  const Row answered[] = {
      {__LINE__, "GET /zel-maps/v1/maps", "http://evil.example", "", "", 200, ""},
      {__LINE__, event, ownOrigin, "application/json; charset=utf-8", "{}", 200, ""},
      {__LINE__, event, "http://localhost:" + std::to_string(port()), "application/json", "{}", 200,
       ""},
      {__LINE__, event, "http://[::1]:" + std::to_string(port()), "application/json", "{}", 200,
       ""},
  };
  for (const Row& row : answered) {
    SCOPED_TRACE(testing::Message()
                 << "line " << row.line << ": " << row.request << " from " << row.origin);
    EXPECT_EQ(send(row).status, row.status);
    expectStillServing();
  }
  // The server's own pages did reload the catalogue: the checks above could fail.
  EXPECT_FALSE(keptName());
}

TEST_F(HostileClientsTest, APostWithoutABodyIsAnsweredAtOnce) {
  struct Row {
    int line;
    const char* request;
    const char* more;  // further header lines
    int lowest;
    int highest;
  };
  const Row rows[] = {
      // The plugin refuses the missing variant itself.
      {__LINE__, "POST /zel-maps/v1/map", "Connection: close", 400, 499},
      {__LINE__, "POST /events/OnRegionLocaleChanged",
       "Content-Type: application/json\r\nConnection: close", 200, 200},
      // Kept alive: the end of the connection cannot end the body either.
      {__LINE__, "POST /events/Nothing", "Content-Type: application/json", 200, 200},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.request);
    auto started = Clock::now();
    RawReply reply =
        exchange(port(), httpRequest(row.request, {"Host: " + ownHost(), row.more}), 3s);
    EXPECT_LT(millisecondsOf(Clock::now() - started), millisecondsOf(kPromptly));
    EXPECT_GE(reply.status, row.lowest) << shown(reply.raw);
    EXPECT_LE(reply.status, row.highest) << shown(reply.raw);
    expectStillServing();
  }
}

TEST_F(HostileClientsTest, AnOversizedHeadIsRefusedAndItsConnectionClosed) {
  struct Row {
    int line;
    int headers;  // besides Host
    std::size_t valueBytes;
    int status;
  };
  const Row rows[] = {
      {__LINE__, 99, 8, 200},     // 100 headers with Host
      {__LINE__, 100, 8, 431},    // 101
      {__LINE__, 90, 600, 200},   // about 55 KiB
      {__LINE__, 90, 800, 431},   // about 73 KiB
      {__LINE__, 1, 70000, 431},  // one header line over 64 KiB
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.headers << " headers of "
                                    << row.valueBytes << " bytes");
    std::vector<std::string> headers = {"Host: " + ownHost()};
    for (int i = 0; i < row.headers; ++i) {
      headers.push_back("X-Pad-" + std::to_string(i) + ": " + std::string(row.valueBytes, 'v'));
    }
    RawClient client(port());
    client.send(httpRequest("GET /zel-maps/v1/maps", headers));
    client.readUntil(isWholeReply, 3s);
    RawReply reply = parseReply(client.received());
    if (row.status == 200) {
      EXPECT_EQ(reply.status, 200) << shown(reply.raw);
    } else {
      expectRefusal(reply, row.status, fixedStart(messages::kHeadTooLarge));
      EXPECT_TRUE(client.closesWithin(2s)) << "the connection stayed open";
    }
    expectStillServing();
  }
}

TEST_F(HostileClientsTest, FloodsAreRefusedAndTheirMemoryGivenBack) {
  ASSERT_TRUE(answersMaps(port(), kPromptly));
  long before = residentKib(pid());
  ASSERT_GT(before, 0);
  std::string chunk(64 * 1024, ' ');
  std::string floodHeaders;
  for (int i = 0; i < 1000; ++i) floodHeaders += "X-Flood: 1\r\n";
  struct Row {
    int line;
    std::string what;
    std::string head;
    std::string piece;  // sent rounds times after the head, then the tail
    int rounds;
    std::string tail;
    int status;
    std::string message;
  };
  const Row rows[] = {
      {__LINE__, "100,000 nested arrays",
       "POST /events/X HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nContent-Length: 100000\r\nConnection: "
           "close\r\n\r\n",
       std::string(100000, '['), 1, "", 400, fillTemplate(messages::kBadEventPayload, {"X", ""})},
      {__LINE__, "a declared length of 17 MiB",
       "POST /events/x HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nContent-Length: 17825792\r\nConnection: "
           "close\r\n\r\n",
       chunk, 272, "", 413, std::string(messages::kBodyTooLarge)},
      {__LINE__, "a chunked body of 64 MiB",
       "POST /events/x HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\nConnection: "
           "close\r\n\r\n",
       "10000\r\n" + chunk + "\r\n", 1024, "0\r\n\r\n", 413, std::string(messages::kBodyTooLarge)},
      // The framing of a chunked body is bounded apart from its data: 1 MiB
      // of chunk extensions in many lines or in one, and of trailers; the
      // last two never end, so that only a bound on what is kept answers.
      {__LINE__, "1 MiB of chunk extensions, 1 KiB a chunk",
       "POST /events/x HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\nConnection: "
           "close\r\n\r\n",
       "1;e=" + std::string(1020, 'e') + "\r\n \r\n", 1024, "0\r\n\r\n", 413,
       fixedStart(messages::kChunkFramingTooLarge)},
      {__LINE__, "a chunk extension of 1 MiB",
       "POST /events/x HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\nConnection: "
           "close\r\n\r\n1;e=",
       std::string(1024, 'e'), 1024, "", 413, fixedStart(messages::kChunkFramingTooLarge)},
      {__LINE__, "1 MiB of trailers",
       "POST /events/x HTTP/1.1\r\nHost: " + ownHost() +
           "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\nConnection: "
           "close\r\n\r\n2\r\n{}\r\n0\r\n",
       "X-Trailer: " + std::string(1010, 't') + "\r\n", 1024, "", 413,
       fixedStart(messages::kChunkFramingTooLarge)},
      {__LINE__, "200,000 headers",
       "GET /zel-maps/v1/maps HTTP/1.1\r\nHost: " + ownHost() + "\r\nConnection: close\r\n",
       floodHeaders, 200, "\r\n", 431, fixedStart(messages::kHeadTooLarge)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.what);
    RawClient client(port());
    // The server may answer and close long before the flood is over.
    bool sending = client.send(row.head);
    auto deadline = Clock::now() + 30s;
    for (int round = 0; sending && round < row.rounds && Clock::now() < deadline; ++round) {
      if (client.readable()) break;
      sending = client.send(row.piece);
    }
    if (sending && !client.readable()) client.send(row.tail);
    client.readUntil(isWholeReply, 5s);
    expectRefusal(parseReply(client.received()), row.status, row.message);
    expectStillServing();
    // AddressSanitizer keeps freed memory in quarantine: only other builds
    // can tell whether it was given back.
    if (kFreedMemoryQuarantined) continue;
    long after = residentKib(pid());
    for (int round = 0; round < 30 && after > before + kMemorySlackKib; ++round) {
      std::this_thread::sleep_for(100ms);
      after = residentKib(pid());
    }
    EXPECT_LE(after, before + kMemorySlackKib) << "resident KiB before the floods: " << before;
  }
}

TEST_F(HostileClientsTest, SlowClientsAreCutOffAndHoldUpNoOneElse) {
  // Eight trickle one byte of a header every 2 s; one sends half a head and
  // then nothing. All of them together, so that the case takes one head
  // deadline.
  constexpr int kTricklers = 8;
  constexpr auto kTrickleEvery = 2s;
  std::string started = "GET /zel-maps/v1/maps HTTP/1.1\r\nHost: " + ownHost() + "\r\nX-Slow: ";
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i <= kTricklers; ++i) {
    slow.push_back(std::make_unique<RawClient>(port()));
    ASSERT_TRUE(slow.back()->send(started));
  }
  auto begun = Clock::now();
  auto deadline = begun + 16s;

  // Normal requests meanwhile, on a thread of their own: (status, time taken).
  std::atomic<bool> done{false};
  std::vector<std::pair<int, Clock::duration>> probes;
  std::thread prober([&] {
    for (int round = 0; round < 100 && !done && Clock::now() < deadline; ++round) {
      auto sent = Clock::now();
      httplib::Client client("127.0.0.1", port());
      client.set_connection_timeout(kPromptly);
      client.set_read_timeout(kPromptly);
      httplib::Result maps = client.Get("/zel-maps/v1/maps");
      probes.emplace_back(maps ? maps->status : 0, Clock::now() - sent);
      std::this_thread::sleep_for(500ms);
    }
  });

  std::vector<std::optional<Clock::duration>> cutOff(slow.size());
  auto nextByte = begun + kTrickleEvery;
  for (int round = 0; round < 1000 && Clock::now() < deadline; ++round) {
    bool allCut = true;
    for (std::size_t i = 0; i < slow.size(); ++i) {
      if (cutOff[i]) continue;
      slow[i]->readUntil([](const std::string&) { return false; }, 0ms);
      if (slow[i]->closed()) {
        cutOff[i] = Clock::now() - begun;
      } else {
        allCut = false;
      }
    }
    if (allCut) break;
    if (Clock::now() >= nextByte) {
      for (std::size_t i = 0; i < kTricklers; ++i) {
        if (!cutOff[i] && !slow[i]->send("a")) cutOff[i] = Clock::now() - begun;
      }
      nextByte += kTrickleEvery;
    }
    std::this_thread::sleep_for(50ms);
  }
  done = true;
  prober.join();

  for (std::size_t i = 0; i < slow.size(); ++i) {
    SCOPED_TRACE(testing::Message() << (i < kTricklers ? "trickler " : "stalled head ") << i);
    if (!cutOff[i]) {
      ADD_FAILURE() << "still open after 16 s";
      continue;
    }
    EXPECT_GE(millisecondsOf(*cutOff[i]), 8000);
    EXPECT_LE(millisecondsOf(*cutOff[i]), 13000);
    // A client that is still listening hears why.
    if (!slow[i]->received().empty()) {
      expectRefusal(parseReply(slow[i]->received()), 408,
                    fillTemplate(messages::kHeadTimedOut, {"10"}));
    }
  }
  EXPECT_GE(probes.size(), 5u);
  for (const auto& [status, took] : probes) {
    EXPECT_EQ(status, 200);
    EXPECT_LT(millisecondsOf(took), millisecondsOf(kPromptly));
  }
  expectStillServing();
}

TEST_F(HostileClientsTest, IdleConnectionsBeyondTheCapMakeRoomForNewOnes) {
  // More connections than the server keeps, each sending nothing.
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < kMaxConnections + 20; ++i)
    idle.push_back(std::make_unique<RawClient>(port()));
  expectStillServing();
  idle.clear();
  expectStillServing();
}

TEST_F(HostileClientsTest, EventStreamsAreCappedAndLeaveRoomForRequests) {
  constexpr int kOpened = kMaxStreams + 8;
  std::string request =
      httpRequest("GET /events", {"Host: " + ownHost(), "Accept: text/event-stream"});
  std::vector<std::unique_ptr<RawClient>> streams;
  for (int i = 0; i < kOpened; ++i) {
    SCOPED_TRACE(testing::Message() << "stream " << i);
    RawClient& stream = *streams.emplace_back(std::make_unique<RawClient>(port()));
    if (!stream.send(request) || !stream.readUntil(hasWholeHead, 2s)) {
      ADD_FAILURE() << "no answer within 2 s; the rest are not opened";
      break;
    }
    if (i < kMaxStreams) {
      RawReply reply = parseReply(stream.received());
      EXPECT_EQ(reply.status, 200) << shown(reply.raw);
      EXPECT_THAT(reply.header("content-type"), StartsWith("text/event-stream"));
    } else {
      stream.readUntil(isWholeReply, 2s);
      expectRefusal(parseReply(stream.received()), 503,
                    fillTemplate(messages::kTooManyStreams, {std::to_string(kMaxStreams)}));
    }
  }
  expectStillServing();

  // The served streams are live: a change of the catalogue reaches the first
  // and the last of them.
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(kPromptly);
  httplib::Result posted =
      client.Post("/zel-maps/v1/map", R"({"id": 78, "name": "Streamed", "gameMode": "RELAY"})",
                  "application/json");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 200);
  for (int i : {0, kMaxStreams - 1}) {
    if (static_cast<std::size_t>(i) >= streams.size()) break;
    EXPECT_TRUE(streams[i]->readUntil(
        [](const std::string& text) {
          return text.find("OnJsonApiEvent_zel-maps_v1_maps") != std::string::npos;
        },
        2s))
        << "stream " << i << ": " << shown(streams[i]->received());
  }
  streams.clear();
  expectStillServing();
}

TEST_F(HostileClientsTest, TheApiBrowserIsServedWithProtectiveHeaders) {
  // The browser's files are staged only where scripts/setup installed them.
  fs::path swaggerUi =
      fs::path(ZEL_HOST_PROGRAM).parent_path() / ".." / "share" / "zel-sdk" / "swagger-ui";
  struct Row {
    int line;
    const char* target;
    const char* asset;  // the file it needs; null: none
    int status;
    const char* header;
    const char* value;  // null: any
  };
  const Row rows[] = {
      {__LINE__, "/docs", nullptr, 200, "content-security-policy", nullptr},
      {__LINE__, "/docs", nullptr, 200, "x-frame-options", nullptr},
      {__LINE__, "/docs/assets/swagger-ui-bundle.js", "swagger-ui-bundle.js", 200,
       "x-content-type-options", "nosniff"},
      {__LINE__, "/docs/assets/swagger-ui.css", "swagger-ui.css", 200, "x-content-type-options",
       "nosniff"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.target);
    if (row.asset != nullptr && !fs::exists(swaggerUi / row.asset)) continue;
    RawReply reply = exchange(port(), httpRequest(std::string("GET ") + row.target,
                                                  {"Host: " + ownHost(), "Connection: close"}));
    EXPECT_EQ(reply.status, row.status);
    std::string value = reply.header(row.header);
    EXPECT_FALSE(value.empty()) << "no " << row.header;
    if (row.value != nullptr) {
      EXPECT_EQ(lowerCase(value), row.value);
    }
  }

  // A NUL in the path must not end the file name early.
  RawReply truncated = exchange(port(), httpRequest("GET /docs/assets/swagger-ui-bundle.js%00.html",
                                                    {"Host: " + ownHost(), "Connection: close"}));
  EXPECT_EQ(truncated.status, 404) << shown(truncated.raw);
  EXPECT_THAT(truncated.header("content-type"), testing::Not(HasSubstr("html")));
  expectStillServing();
}

TEST_F(HostileClientsTest, ASecondServerOnTheSamePortFails) {
  ServedChild second;
  // Bounded: a second server that does take the port would serve forever.
  bool serving = second.start("timeout 30 " + std::string(ZEL_HOST_PROGRAM) + " serve --port " +
                              std::to_string(port()) + " --game-data " + ZEL_GAME_DATA_DIR);
  EXPECT_FALSE(serving) << second.output();
  int status = second.stop();
  EXPECT_NE(status, 0) << second.output();
  EXPECT_THAT(second.output(), HasSubstr(std::string(messages::kAddressInUse)));
  EXPECT_THAT(second.output(), HasSubstr(std::to_string(port())));
  expectStillServing();
}

TEST_F(HostileClientsTest, TheRequestLogCarriesNoControlCharacters) {
  ServedChild verbose;
  ASSERT_TRUE(verbose.start(serveCommand("--verbose"))) << verbose.output();
  std::string host = "127.0.0.1:" + std::to_string(verbose.port());
  // A terminal would obey these: recolour, retitle, ring.
  const char* targets[] = {"/zel-maps/v1/map/\x1b[31m3", "/\x1b]0;owned\x07", "/\x7f\x08\x08"};
  for (std::size_t i = 0; i < std::size(targets); ++i) {
    SCOPED_TRACE(testing::Message() << "target " << i);
    std::string target = targets[i];
    RawReply reply = exchange(verbose.port(),
                              httpRequest("GET " + target, {"Host: " + host, "Connection: close"}));
    EXPECT_NE(reply.status, 0) << "no answer";
  }
  EXPECT_EQ(exchange(verbose.port(),
                     httpRequest("GET /zel-maps/v1/maps", {"Host: " + host, "Connection: close"}))
                .status,
            200);
  std::this_thread::sleep_for(200ms);  // the log line follows the answer
  verbose.stop();
  const std::string& log = verbose.output();
  EXPECT_THAT(log, HasSubstr("GET /zel-maps/v1/maps -> 200 ("));
  for (char control : {'\x1b', '\x07', '\x08', '\x7f'}) {
    std::size_t found = log.find(control);
    EXPECT_EQ(found, std::string::npos) << "byte " << static_cast<int>(control) << " in\n"
                                        << shown(log.substr(found < 200 ? 0 : found - 200, 400));
  }
}

TEST_F(HostileClientsTest, AllowedHostsAreAnsweredAsTheirOwn) {
  ServedChild allowing;
  ASSERT_TRUE(
      allowing.start(serveCommand("--allow-host dev.example.test --allow-host other.test:9000")))
      << allowing.output();
  std::string served = std::to_string(allowing.port());
  struct Row {
    int line;
    const char* host;    // %1: the served port
    const char* origin;  // null: a GET without one; else a JSON event POST from it
    int status;
  };
  // How names match is the guard's own test; here, that the options reach it.
  const Row rows[] = {
      {__LINE__, "dev.example.test:1234", nullptr, 200},
      {__LINE__, "other.test:9001", nullptr, 421},
      {__LINE__, "localhost:%1", nullptr, 200},
      {__LINE__, "dev.example.test:1234", "https://dev.example.test", 200},
      {__LINE__, "other.test:9000", "http://other.test:9001", 403},
  };
  for (const Row& row : rows) {
    std::string host = fillTemplate(row.host, {served});
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": Host " << host << ", Origin "
                                    << (row.origin ? row.origin : "none"));
    std::string request =
        row.origin == nullptr
            ? httpRequest("GET /zel-maps/v1/map/3", {"Host: " + host, "Connection: close"})
            : httpRequest("POST /events/Nothing",
                          {"Host: " + host, std::string("Origin: ") + row.origin,
                           "Content-Type: application/json", "Connection: close"},
                          "{}");
    RawReply reply = exchange(allowing.port(), request);
    EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
  }
  EXPECT_TRUE(answersMaps(allowing.port(), kPromptly));
  EXPECT_EQ(allowing.stop(), 0) << allowing.output();
}

// ---- an HttpServer of the tests' own, with small limits, in this process

constexpr std::string_view kStatusBody = "a body that must not be sent";

// Answers by path: /status/N answers N with a body (which 1xx, 204 and 304
// must not carry), /echo answers how many body bytes came with which method,
// GET /stream is a stream that gives 64 KiB at every poll (streamed() counts
// them); every answer is logged as "METHOD TARGET -> STATUS".
class SmallServer {
 public:
  explicit SmallServer(HttpLimits limits) : server_(limits, handlers()) {
    if (server_.bind("127.0.0.1", 0)) serving_ = std::thread([this] { server_.run(); });
  }
  ~SmallServer() {
    server_.stop();
    if (serving_.joinable()) serving_.join();
  }

  int port() const { return server_.port(); }
  bool servesIpv6Loopback() const { return server_.servesIpv6Loopback(); }
  std::string host() const { return "Host: 127.0.0.1:" + std::to_string(port()); }
  std::vector<std::string> logged() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::size_t streamed() const { return *streamed_; }

 private:
  class EndlessStream : public HttpStream {
   public:
    explicit EndlessStream(std::shared_ptr<std::atomic<std::size_t>> given)
        : given_(std::move(given)) {}
    bool poll(std::string& text) override {
      text.append(64u << 10, 'e');
      *given_ += 64u << 10;
      return true;
    }

   private:
    std::shared_ptr<std::atomic<std::size_t>> given_;
  };

  HttpHandlers handlers() {
    HttpHandlers handlers;
    handlers.wantsStream = [](const HttpRequest& head) { return head.target == "/stream"; };
    handlers.openStream = [this](const HttpRequest&, HttpResponse& first) {
      first.contentType = "text/plain";
      return std::make_unique<EndlessStream>(streamed_);
    };
    handlers.answer = [](HttpRequest& request) {
      HttpResponse response;
      response.contentType = "text/plain";
      if (request.target.rfind("/status/", 0) == 0) {
        response.status = std::atoi(request.target.c_str() + 8);
        response.body = kStatusBody;
        // Framing is the server's: a handler's own is dropped.
        response.headers.emplace_back("Content-Length", "1");
      } else {
        response.body = std::to_string(request.body.size()) + " bytes by " + request.method;
      }
      return response;
    };
    handlers.log = [this](const HttpRequest& request, int status, Clock::duration) {
      std::lock_guard lock(mutex_);
      log_.push_back(request.method + " " + request.target + " -> " + std::to_string(status));
    };
    return handlers;
  }

  std::mutex mutex_;
  std::vector<std::string> log_;
  std::shared_ptr<std::atomic<std::size_t>> streamed_ =
      std::make_shared<std::atomic<std::size_t>>(0);
  HttpServer server_;
  std::thread serving_;
};

HttpLimits smallLimits() {
  HttpLimits limits;
  limits.maxBodyBytes = 64u << 10;
  limits.bodyBudgetBytes = 256u << 10;
  limits.maxChunkFramingBytes = 16u << 10;
  limits.headDeadline = 2s;
  limits.bodyDeadline = 10s;
  limits.bodyStallDeadline = 500ms;
  limits.writeDeadline = 2s;
  limits.maxConnections = 8;
  limits.workerThreads = 2;
  return limits;
}

// The replies in raw, one after another; a reply to HEAD (heads[i]) and a
// 1xx, 204 or 304 end with their head.
std::vector<RawReply> splitReplies(const std::string& raw, const std::vector<bool>& heads = {}) {
  std::vector<RawReply> replies;
  std::size_t at = 0;
  for (std::size_t i = 0; i < 64 && at < raw.size(); ++i) {
    std::size_t headEnd = raw.find("\r\n\r\n", at);
    if (headEnd == std::string::npos) break;
    RawReply head = parseReply(raw.substr(at, headEnd + 4 - at));
    std::size_t end = headEnd + 4;
    bool bodiless = (i < heads.size() && heads[i]) || head.status < 200 || head.status == 204 ||
                    head.status == 304;
    if (!bodiless) end += std::strtoul(head.header("content-length").c_str(), nullptr, 10);
    replies.push_back(parseReply(raw.substr(at, end - at)));
    at = end;
  }
  return replies;
}

std::string chunkedPost(const std::string& host, std::string_view target) {
  return "POST " + std::string(target) + " HTTP/1.1\r\n" + host +
         "\r\nTransfer-Encoding: chunked\r\n\r\n";
}

TEST(SmallServerTest, BodiesUpToTheLimitGivenAreTakenAndNoMore) {
  // Above the parser's own default of 1 MiB: the server must hand its limit on.
  HttpLimits limits = smallLimits();
  limits.maxBodyBytes = 3u << 20;
  limits.bodyBudgetBytes = 8u << 20;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  const std::size_t kLimit = limits.maxBodyBytes;
  struct Row {
    int line;
    std::size_t bytes;
    bool chunked;
    int status;
  };
  const Row rows[] = {
      {__LINE__, 2u << 20, false, 200},   {__LINE__, kLimit, false, 200},
      {__LINE__, kLimit + 1, false, 413}, {__LINE__, 2u << 20, true, 200},
      {__LINE__, kLimit, true, 200},      {__LINE__, kLimit + 1, true, 413},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.bytes << " bytes"
                                    << (row.chunked ? ", chunked" : ""));
    RawClient client(server.port());
    std::string body(row.bytes, 'b');
    if (row.chunked) {
      // Pieces of 64 KiB and the rest.
      std::string request = chunkedPost(server.host(), "/echo");
      for (std::size_t at = 0; at < body.size(); at += 65536) {
        std::size_t size = std::min<std::size_t>(65536, body.size() - at);
        char line[20];
        std::snprintf(line, sizeof line, "%zx\r\n", size);
        request += line + body.substr(at, size) + "\r\n";
      }
      client.send(request + "0\r\n\r\n");
    } else {
      client.send(httpRequest("POST /echo", {server.host()}, body));
    }
    client.readUntil(isWholeReply, 5s);
    RawReply reply = parseReply(client.received());
    EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
    if (row.status == 200) {
      EXPECT_EQ(reply.body, std::to_string(row.bytes) + " bytes by POST");
    }
  }
}

TEST(SmallServerTest, ABodyHoldsOfTheBudgetWhatItHasReceived) {
  // Budget for four bodies of the largest size; a stall deadline that the
  // probes never reach.
  HttpLimits limits = smallLimits();
  limits.bodyStallDeadline = 2s;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  const std::size_t kLargest = limits.maxBodyBytes;
  struct Row {
    int line;
    int bodies;         // connections that start a body
    bool chunked;       // or a Content-Length of the largest body
    std::size_t first;  // bytes of data each sends before the probes
    bool leave;         // then the clients go, or send the rest
    int mostTaken;      // of the bodies, answered 200 at most, the rest 503
  };
  const Row rows[] = {
      // Announced beyond the budget, nothing sent: they hold nothing.
      {__LINE__, 4, true, 1, false, 4},
      {__LINE__, 6, false, 0, false, 4},
      // Bodies that took the whole budget and went: it comes back.
      {__LINE__, 4, false, 48u << 10, true, 0},
  };
  auto chunk = [](std::size_t bytes) {
    char line[20];
    std::snprintf(line, sizeof line, "%zx\r\n", bytes);
    return line + std::string(bytes, 'c') + "\r\n";
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::string head = row.chunked
                           ? chunkedPost(server.host(), "/echo")
                           : "POST /echo HTTP/1.1\r\n" + server.host() +
                                 "\r\nContent-Length: " + std::to_string(kLargest) + "\r\n\r\n";
    std::string first = row.first == 0 ? std::string()
                        : row.chunked  ? chunk(row.first)
                                       : std::string(row.first, 'c');
    std::vector<std::unique_ptr<RawClient>> open;
    for (int i = 0; i < row.bodies; ++i) {
      open.push_back(std::make_unique<RawClient>(server.port()));
      ASSERT_TRUE(open.back()->send(head + first));
    }
    std::this_thread::sleep_for(100ms);
    if (row.leave) {
      open.clear();
      std::this_thread::sleep_for(100ms);
    }
    // Answered at once, while the bodies are still open.
    const std::string probes[] = {
        httpRequest("POST /echo", {server.host()}, "tiny"),
        chunkedPost(server.host(), "/echo") + "0\r\n\r\n",
        httpRequest("GET /echo", {server.host()}),
    };
    for (const std::string& probe : probes) {
      RawReply reply = exchange(server.port(), probe);
      EXPECT_EQ(reply.status, 200) << shown(reply.raw);
    }
    // The rest of each body but its end, so that none is answered (and
    // gives its share back) before all have grown: those whose bytes would
    // pass the budget are refused, so that no more are taken than it holds.
    int taken = 0;
    for (auto& client : open) {
      if (!row.chunked) client->send(std::string(kLargest - row.first - 1, 'c'));
    }
    std::this_thread::sleep_for(100ms);
    for (auto& client : open) client->send(row.chunked ? "0\r\n\r\n" : "c");
    for (auto& client : open) {
      client->readUntil(isWholeReply, 3s);
      RawReply reply = parseReply(client->received());
      if (reply.status == 200) {
        ++taken;
        continue;
      }
      EXPECT_EQ(reply.status, 503) << shown(reply.raw);
      EXPECT_THAT(reply.body, HasSubstr(std::string(messages::kServerBusy)));
    }
    EXPECT_LE(taken, row.mostTaken);
    if (!row.leave) {
      EXPECT_GE(taken, 1);
    }
    open.clear();
    std::this_thread::sleep_for(100ms);
  }
  // Every share came back: the budget takes four of the largest bodies.
  std::vector<std::unique_ptr<RawClient>> full;
  for (int i = 0; i < 4; ++i) {
    full.push_back(std::make_unique<RawClient>(server.port()));
    ASSERT_TRUE(
        full.back()->send(httpRequest("POST /echo", {server.host()}, std::string(kLargest, 'f'))));
  }
  for (auto& client : full) {
    client->readUntil(isWholeReply, 3s);
    RawReply reply = parseReply(client->received());
    EXPECT_EQ(reply.status, 200) << shown(reply.raw);
  }
}

TEST(SmallServerTest, ConnectionsEndQuietlyAfterTheHeadDeadline) {
  HttpLimits limits = smallLimits();
  limits.headDeadline = 600ms;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  struct Row {
    int line;
    std::string first;  // what the client sends and has answered
    std::string then;   // sent afterwards
    int status;         // the answer to then at the deadline; 0: none, a clean close
  };
  const Row rows[] = {
      {__LINE__, httpRequest("GET /echo", {server.host()}), "", 0},
      {__LINE__, "", "", 0},
      {__LINE__, httpRequest("GET /echo", {server.host()}), "GET /echo HTTP/1.1\r\n", 408},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    RawClient client(server.port());
    if (!row.first.empty()) {
      client.send(row.first);
      ASSERT_TRUE(client.readUntil(isWholeReply, 2s));
    }
    std::size_t answered = client.received().size();
    client.send(row.then);
    auto waiting = Clock::now();
    // Open until the deadline, closed soon after.
    EXPECT_FALSE(client.closesWithin(300ms)) << "closed long before the deadline";
    EXPECT_TRUE(client.closesWithin(2s)) << "still open well after the deadline";
    EXPECT_LT(millisecondsOf(Clock::now() - waiting), 1600);
    EXPECT_FALSE(client.reset()) << "reset instead of closed";
    std::string after = client.received().substr(answered);
    if (row.status == 0) {
      EXPECT_EQ(after, "") << "an idle connection ends without an answer";
    } else {
      EXPECT_EQ(parseReply(after).status, row.status) << shown(after);
    }
  }
}

TEST(SmallServerTest, AnswersWithoutABodyAreFramedAsSuch) {
  SmallServer server(smallLimits());
  ASSERT_GT(server.port(), 0);
  std::string host = server.host();
  struct Row {
    int line;
    std::vector<std::string> requests;  // sent at once, pipelined
    std::vector<int> statuses;
    std::vector<std::string> bodies;
    std::vector<std::string> logged;  // the server's log of them, in order
  };
  const Row rows[] = {
      {__LINE__,
       {httpRequest("GET /status/204", {host}), httpRequest("GET /echo", {host})},
       {204, 200},
       {"", "0 bytes by GET"},
       {"GET /status/204 -> 204", "GET /echo -> 200"}},
      {__LINE__,
       {httpRequest("GET /status/304", {host}), httpRequest("POST /echo", {host}, "abc")},
       {304, 200},
       {"", "3 bytes by POST"},
       {"GET /status/304 -> 304", "POST /echo -> 200"}},
      // HEAD gets GET's answer, Content-Length too, without its body.
      {__LINE__,
       {httpRequest("HEAD /echo", {host}), httpRequest("GET /echo", {host})},
       {200, 200},
       {"", "0 bytes by GET"},
       {"HEAD /echo -> 200", "GET /echo -> 200"}},
      {__LINE__,
       {httpRequest("HEAD /status/204", {host}), httpRequest("HEAD /status/200", {host}),
        httpRequest("GET /echo", {host})},
       {204, 200, 200},
       {"", "", "0 bytes by GET"},
       {"HEAD /status/204 -> 204", "HEAD /status/200 -> 200", "GET /echo -> 200"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::size_t logged = server.logged().size();
    std::string requests;
    std::vector<bool> heads;
    for (const std::string& request : row.requests) {
      requests += request;
      heads.push_back(request.rfind("HEAD", 0) == 0);
    }
    RawClient client(server.port());
    client.send(requests);
    client.readUntil(
        [&](const std::string& raw) {
          std::vector<RawReply> replies = splitReplies(raw, heads);
          return !replies.empty() && replies.size() == row.statuses.size() &&
                 (replies.back().status == 204 || replies.back().status == 304 || heads.back() ||
                  isWholeReply(replies.back().raw));
        },
        3s);
    // Nothing follows the last answer: a body that should not be there would.
    client.readUntil([](const std::string&) { return false; }, 200ms);
    std::vector<RawReply> replies = splitReplies(client.received(), heads);
    ASSERT_EQ(replies.size(), row.statuses.size()) << shown(client.received());
    std::size_t total = 0;
    for (std::size_t i = 0; i < replies.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "reply " << i);
      total += replies[i].raw.size();
      EXPECT_EQ(replies[i].status, row.statuses[i]) << shown(replies[i].raw);
      EXPECT_EQ(replies[i].body, row.bodies[i]);
      int status = replies[i].status;
      bool bodiless = status < 200 || status == 204 || status == 304;
      if (bodiless) {
        EXPECT_EQ(replies[i].header("content-length"), "");
        EXPECT_EQ(replies[i].header("transfer-encoding"), "");
      } else if (heads[i]) {
        // What GET would send.
        std::string length = row.requests[i].find("/status/") != std::string::npos
                                 ? std::to_string(kStatusBody.size())
                                 : std::to_string(std::string_view("0 bytes by GET").size());
        EXPECT_EQ(replies[i].header("content-length"), length);
      }
    }
    EXPECT_EQ(total, client.received().size()) << shown(client.received());
    std::vector<std::string> log = server.logged();
    for (int round = 0; round < 20 && log.size() < logged + row.logged.size(); ++round) {
      std::this_thread::sleep_for(50ms);
      log = server.logged();
    }
    EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(logged), log.end()),
              row.logged);
  }
}

TEST(SmallServerTest, ABodyIsFramedByChunkedLastOrNotAtAll) {
  SmallServer server(smallLimits());
  ASSERT_GT(server.port(), 0);
  // What follows the head: a chunked body, and a request that a server that
  // did not read it as a body would run next.
  std::string smuggled =
      "5\r\nhello\r\n0\r\n\r\n" + httpRequest("GET /status/202", {server.host()});
  struct Row {
    int line;
    std::string codings;  // the Transfer-Encoding header lines' values, joined by '|'
    int status;
    std::string message;
  };
  const Row rows[] = {
      {__LINE__, "gzip", 400, std::string(fixedStart(messages::kBadTransferEncoding))},
      {__LINE__, "xchunked", 400, std::string(fixedStart(messages::kBadTransferEncoding))},
      {__LINE__, "chunked, gzip", 400, std::string(fixedStart(messages::kBadTransferEncoding))},
      {__LINE__, "chunked|identity", 400, ""},
      {__LINE__, "gzip, chunked", 501, std::string(fixedStart(messages::kUnknownTransferCoding))},
      {__LINE__, "gzip|chunked", 501, std::string(fixedStart(messages::kUnknownTransferCoding))},
      {__LINE__, "Chunked", 200, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.codings);
    std::string head = "POST /echo HTTP/1.1\r\n" + server.host() + "\r\n";
    std::string codings = row.codings;
    for (std::size_t bar; (bar = codings.find('|')) != std::string::npos;) {
      head += "Transfer-Encoding: " + codings.substr(0, bar) + "\r\n";
      codings = codings.substr(bar + 1);
    }
    head += "Transfer-Encoding: " + codings + "\r\n\r\n";
    std::size_t logged = server.logged().size();
    RawClient client(server.port());
    client.send(head + smuggled);
    client.readUntil(isWholeReply, 3s);
    RawReply reply = parseReply(client.received());
    EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
    if (row.status == 200) {
      EXPECT_EQ(reply.body, "5 bytes by POST");
      continue;
    }
    if (!row.message.empty()) {
      EXPECT_THAT(reply.body, HasSubstr(row.message));
    }
    EXPECT_TRUE(client.closesWithin(2s)) << "the connection stayed open";
    std::vector<std::string> log = server.logged();
    for (std::size_t i = logged; i < log.size(); ++i) {
      EXPECT_THAT(log[i], testing::Not(HasSubstr("/status/202"))) << "the body ran as a request";
    }
  }
}

TEST(SmallServerTest, StalledBodiesHoldNeitherTheBudgetNorTheConnections) {
  HttpLimits limits = smallLimits();  // four bodies of 64 KiB, eight connections
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  struct Row {
    int line;
    int stalling;        // connections that announce a body
    std::size_t length;  // its Content-Length
    std::string sent;    // of it, before they stall
    std::string probe;   // a request that must be answered meanwhile
    int status;          // within 2 s, after their stall deadline
  };
  const Row rows[] = {
      // Bodies that announce the whole budget and send nothing: a POST is taken.
      {__LINE__, 4, limits.maxBodyBytes, "", httpRequest("POST /echo", {server.host()}, "tiny"),
       200},
      // The connections: one of those waiting for a body makes room.
      {__LINE__, 8, 1000, "x", httpRequest("GET /echo", {server.host()}), 200},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::string announced = "POST /echo HTTP/1.1\r\n" + server.host() +
                            "\r\nContent-Length: " + std::to_string(row.length) + "\r\n\r\n";
    std::vector<std::unique_ptr<RawClient>> stalling;
    for (int i = 0; i < row.stalling; ++i) {
      stalling.push_back(std::make_unique<RawClient>(server.port()));
      ASSERT_TRUE(stalling.back()->send(announced + row.sent));
    }
    std::this_thread::sleep_for(100ms);
    auto sent = Clock::now();
    RawReply reply;
    for (int round = 0; round < 20 && reply.status != row.status; ++round) {
      reply = exchange(server.port(), row.probe, 1s);
      if (reply.status != row.status) std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
    EXPECT_LT(millisecondsOf(Clock::now() - sent), 2000);
    // A stalled body that was not closed to make room hears why.
    for (auto& client : stalling) {
      client->readUntil(isWholeReply, 2s);
      if (client->received().empty()) continue;
      RawReply refused = parseReply(client->received());
      EXPECT_EQ(refused.status, 408) << shown(refused.raw);
      EXPECT_THAT(refused.body, HasSubstr(fixedStart(messages::kBodyStalled)));
    }
  }
}

TEST(SmallServerTest, BodiesThatFallBehindTheirPaceAreCut) {
  // Pace: a body's share in 4 s, after a grace of 500 ms.
  HttpLimits limits = smallLimits();  // four bodies of 64 KiB
  limits.bodyDeadline = 4s;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  struct Row {
    int line;
    int senders;
    bool chunked;
    std::size_t length;     // its Content-Length, or the data of a chunked one
    Clock::duration pause;  // before the first piece
    std::size_t piece;      // bytes sent at each interval
    Clock::duration interval;
    int status;
    std::string_view message;  // what a refusal says
  };
  const Row rows[] = {
      // Budget hogs, a byte more often than the stall deadline: cut after the grace.
      {__LINE__, 4, false, limits.maxBodyBytes, 0ms, 1, 300ms, 408, messages::kBodyTooSlow},
      {__LINE__, 4, true, limits.maxBodyBytes, 0ms, 1, 300ms, 408, messages::kBodyTooSlow},
      // Slow but on pace for its own length (not for the largest body), and
      // silent for most of the grace: taken.
      {__LINE__, 1, false, 16u << 10, 300ms, 1u << 10, 100ms, 200, {}},
  };
  auto piece = [](const Row& row, std::size_t bytes) {
    if (!row.chunked) return std::string(bytes, 'p');
    char line[20];
    std::snprintf(line, sizeof line, "%zx\r\n", bytes);
    return line + std::string(bytes, 'p') + "\r\n";
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    std::string head = row.chunked
                           ? chunkedPost(server.host(), "/echo")
                           : "POST /echo HTTP/1.1\r\n" + server.host() +
                                 "\r\nContent-Length: " + std::to_string(row.length) + "\r\n\r\n";
    std::vector<std::unique_ptr<RawClient>> senders;
    std::vector<std::size_t> sent;
    for (int i = 0; i < row.senders; ++i) {
      senders.push_back(std::make_unique<RawClient>(server.port()));
      ASSERT_TRUE(senders.back()->send(head));
      sent.push_back(0);
    }
    auto started = Clock::now();
    std::this_thread::sleep_for(row.pause);
    // They send while a normal POST is tried now and then; none may take
    // the whole body deadline.
    Clock::time_point accepted{};
    for (int round = 0; round < 100 && Clock::now() < started + 3s; ++round) {
      bool sending = false;
      for (int i = 0; i < row.senders; ++i) {
        if (senders[i]->readable() || sent[i] >= row.length) continue;
        std::size_t bytes = std::min(row.piece, row.length - sent[i]);
        sent[i] += bytes;
        std::string text = piece(row, bytes);
        if (row.chunked && sent[i] == row.length) text += "0\r\n\r\n";
        senders[i]->send(text);
        sending = true;
      }
      if (accepted == Clock::time_point{} &&
          exchange(server.port(), httpRequest("POST /echo", {server.host()}, "tiny"), 300ms)
                  .status == 200) {
        accepted = Clock::now();
      }
      if (!sending && accepted != Clock::time_point{}) break;
      std::this_thread::sleep_for(row.interval);
    }
    EXPECT_NE(accepted, Clock::time_point{}) << "a normal POST was never taken";
    EXPECT_LT(millisecondsOf(accepted - started), 1500);
    for (int i = 0; i < row.senders; ++i) {
      senders[i]->readUntil(isWholeReply, 2s);
      RawReply reply = parseReply(senders[i]->received());
      EXPECT_EQ(reply.status, row.status) << shown(reply.raw);
      if (row.status == 200) {
        EXPECT_EQ(reply.body, std::to_string(row.length) + " bytes by POST");
      } else {
        EXPECT_THAT(reply.body, HasSubstr(fixedStart(row.message)));
      }
    }
  }
}

TEST(SmallServerTest, NewClientsAreAnsweredWhileStallingOnesReconnect) {
  HttpLimits limits = smallLimits();
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  std::string stall =
      "POST /echo HTTP/1.1\r\n" + server.host() + "\r\nContent-Length: 1000\r\n\r\nx";
  std::atomic<bool> done{false};
  // Twice the connections the server keeps, each reconnecting once cut off.
  std::thread stallers([&] {
    std::vector<std::unique_ptr<RawClient>> clients;
    auto deadline = Clock::now() + 10s;
    for (int round = 0; round < 10000 && !done && Clock::now() < deadline; ++round) {
      for (auto& client : clients) {
        client->readUntil([](const std::string&) { return false; }, 0ms);
        if (client->closed()) client.reset();
      }
      clients.erase(std::remove(clients.begin(), clients.end(), nullptr), clients.end());
      while (clients.size() < 2 * limits.maxConnections) {
        clients.push_back(std::make_unique<RawClient>(server.port()));
        clients.back()->send(stall);
      }
      std::this_thread::sleep_for(20ms);
    }
  });
  std::this_thread::sleep_for(300ms);
  for (int probe = 0; probe < 8; ++probe) {
    SCOPED_TRACE(testing::Message() << "probe " << probe);
    auto sent = Clock::now();
    RawReply reply;
    for (int round = 0; round < 8 && reply.status != 200 && Clock::now() < sent + 2s; ++round) {
      reply = exchange(server.port(), httpRequest("GET /echo", {server.host()}), 500ms);
    }
    EXPECT_EQ(reply.status, 200) << shown(reply.raw);
    EXPECT_LT(millisecondsOf(Clock::now() - sent), 2000);
    std::this_thread::sleep_for(200ms);
  }
  done = true;
  stallers.join();
}

TEST(SmallServerTest, TheConnectionThatHasWaitedLongestMakesRoom) {
  HttpLimits limits = smallLimits();
  limits.maxConnections = 4;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  std::string request = httpRequest("GET /echo", {server.host()});
  auto ask = [&](RawClient& client) {
    std::size_t before = client.received().size();
    client.send(request);
    client.readUntil([&](const std::string& raw) { return isWholeReply(raw.substr(before)); }, 2s);
    return parseReply(client.received().substr(before)).status;
  };
  // The busy one connects first, then three that only wait, one after another.
  RawClient busy(server.port());
  ASSERT_EQ(ask(busy), 200);
  std::vector<std::unique_ptr<RawClient>> waiting;
  for (int i = 0; i < 3; ++i) {
    std::this_thread::sleep_for(50ms);
    waiting.push_back(std::make_unique<RawClient>(server.port()));
  }
  // Each newcomer takes the place of the longest-waiting: the first idle
  // one, then the second, never the busy one, which asks again meanwhile.
  std::vector<std::unique_ptr<RawClient>> newcomers;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(testing::Message() << "newcomer " << i);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(ask(busy), 200);
    std::this_thread::sleep_for(50ms);
    // Kept open, so that the next newcomer finds the cap reached too.
    RawClient& newcomer = *newcomers.emplace_back(std::make_unique<RawClient>(server.port()));
    EXPECT_EQ(ask(newcomer), 200);
    EXPECT_TRUE(waiting[i]->closesWithin(500ms)) << "the longest-waiting connection stayed";
    EXPECT_FALSE(waiting[2]->closesWithin(0ms)) << "the latest waiting connection was closed";
    EXPECT_FALSE(busy.closesWithin(0ms)) << "the busy connection was closed";
  }
  EXPECT_EQ(ask(busy), 200);
}

TEST(SmallServerTest, ItListensOnBothLoopbackAddresses) {
  SmallServer server(smallLimits());
  ASSERT_GT(server.port(), 0);
  int fd = socket(AF_INET6, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  address.sin6_port = htons(static_cast<std::uint16_t>(server.port()));
  bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  if (!server.servesIpv6Loopback()) {
    // No IPv6 here: nothing else can listen on [::1] either.
    EXPECT_FALSE(connected);
    GTEST_SKIP() << "no [::1] on this machine";
  }
  EXPECT_TRUE(connected) << "nothing listens on [::1]:" << server.port();

  // A port whose [::1] another program holds is not taken.
  int other = socket(AF_INET6, SOCK_STREAM, 0);
  ASSERT_GE(other, 0);
  address.sin6_port = 0;
  int on = 1;
  setsockopt(other, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  ASSERT_EQ(bind(other, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(other, 1), 0);
  socklen_t length = sizeof address;
  getsockname(other, reinterpret_cast<sockaddr*>(&address), &length);
  int taken = ntohs(address.sin6_port);
  HttpServer second(smallLimits(), HttpHandlers{});
  EXPECT_FALSE(second.bind("127.0.0.1", taken));
  EXPECT_THAT(second.error(), HasSubstr(std::string(messages::kAddressInUse)));
  close(other);
}

TEST(SmallServerTest, AStreamIsNotPolledWhileItsClientLeavesTooMuchUnread) {
  HttpLimits limits = smallLimits();
  limits.maxUnsentStreamBytes = 256u << 10;
  limits.writeDeadline = 10s;
  SmallServer server(limits);
  ASSERT_GT(server.port(), 0);
  RawClient client(server.port());
  client.send(httpRequest("GET /stream", {server.host()}));
  ASSERT_TRUE(client.readUntil(hasWholeHead, 2s)) << shown(client.received());
  // The client reads no more: what the sockets hold on the way (a few MiB
  // at most) and the unsent maximum is all that may be polled.
  constexpr std::size_t kSockets = 12u << 20;
  std::this_thread::sleep_for(1s);
  std::size_t polled = server.streamed();
  EXPECT_LT(polled, kSockets + limits.maxUnsentStreamBytes);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(server.streamed(), polled) << "polled on while nothing was read";
  // Reading again, the stream goes on.
  EXPECT_TRUE(client.readUntil(
      [&](const std::string& raw) { return raw.size() > polled + (1u << 20); }, 5s));
  EXPECT_GT(server.streamed(), polled);
}

}  // namespace
}  // namespace zel::host

#endif
