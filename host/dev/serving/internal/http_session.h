// One connection of HttpServer (http_server.h), from accept to close, as the
// server sees it, and what the connections of one server share. The server
// owns the shared state and the listening sockets; each connection owns
// itself (it lives while an operation of it is pending) and enters itself in
// the shared list, through which the server evicts or closes it.
//
// A connection reads its socket itself and hands the bytes to Beast's
// parser, so that it sees every byte as it arrives: its read buffer has a
// maximum, a body that stops getting bytes or falls behind its pace is cut
// off, the head and the chunk framing are counted across reads, and
// eviction knows which connection has waited longest. Its steps: read a
// head, screen it, read a body under the budget, have a worker answer, write
// the answer framed as HTTP says, then read the next head, drain a refused
// body, or stream (session.h, one unit a step).
//
// Only http_server.cpp and the session's units include this header (it
// needs Boost.Asio, which the library keeps to itself).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <mutex>
#include <string_view>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

// What the server asks of an open connection, on the server's thread.
class HttpConnection {
 public:
  virtual ~HttpConnection() = default;
  // Ends the connection at once (the server stops, or makes room).
  virtual void closeNow() = 0;
  // Waiting for a request head or a body, or draining a refused body: it may
  // be closed to make room, its request being lost at worst.
  virtual bool evictable() const = 0;
  // Since when it has waited: its last byte received or answer sent.
  virtual std::chrono::steady_clock::time_point lastActivity() const = 0;
};

// Shared by the connections of one server, which outlives them.
struct HttpServerShared {
  HttpServerShared(HttpLimits limits, HttpHandlers handlers);

  // The server's own refusal, never throwing.
  HttpResponse refusal(int status, std::string_view text) const;

  const HttpLimits limits;
  const HttpHandlers handlers;

  // Every open connection, for stop() and eviction; declared before what
  // may hold them.
  std::mutex sessionsMutex;
  std::list<HttpConnection*> sessions;
  std::condition_variable sessionsEnded;

  boost::asio::thread_pool workers;
  // Counted on the server's thread; a connection that ends while the server
  // stops may give its share back from the stopping thread.
  std::atomic<std::size_t> streams{0};
  std::atomic<std::size_t> bodyReserved{0};
  std::atomic<bool> stopping{false};
};

// Serves a connection just accepted until it ends.
void startSession(HttpServerShared& server, boost::asio::ip::tcp::socket socket);

}  // namespace zel::host::internal
