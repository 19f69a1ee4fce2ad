#include "host/dev/serving/http_server.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/error.hpp>

#include "host/conversions/text_template.h"
#include "host/dev/serving/internal/http_session.h"
#include "host/dev/serving/messages.h"

namespace zel::host {

namespace asio = boost::asio;
namespace beast = boost::beast;
using internal::HttpConnection;
using internal::HttpServerShared;
using internal::startSession;
using tcp = asio::ip::tcp;

std::string lowerCaseAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

const std::string* HttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return &value;
  }
  return nullptr;
}

struct HttpServer::Impl {
  Impl(HttpLimits limits, HttpHandlers handlers) : shared_(limits, std::move(handlers)) {}

  void accept(tcp::acceptor& acceptor);
  // Opens and binds one listening socket; the error, if any.
  beast::error_code listen(tcp::acceptor& acceptor, const tcp::endpoint& endpoint);

  // Declared before the I/O context, whose handlers hold the sessions.
  HttpServerShared shared_;
  asio::io_context io_{1};
  tcp::acceptor acceptor_{io_};
  tcp::acceptor acceptorV6_{io_};  // [::1] beside 127.0.0.1
  int port_ = -1;
  std::string error_;
  std::atomic<bool> running_{false};
};

void HttpServer::Impl::accept(tcp::acceptor& acceptor) {
  acceptor.async_accept([this, &acceptor](beast::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor.is_open()) return;
    if (!error) {
      bool room = !shared_.stopping;
      {
        // At the cap, the connection that has waited longest (for a head,
        // a body, or a refused body to end) makes room: idle or stalling
        // connections cannot lock others out, and busy ones are kept.
        std::lock_guard lock(shared_.sessionsMutex);
        if (room && shared_.sessions.size() >= shared_.limits.maxConnections) {
          HttpConnection* longest = nullptr;
          for (HttpConnection* session : shared_.sessions) {
            if (session->evictable() &&
                (longest == nullptr || session->lastActivity() < longest->lastActivity())) {
              longest = session;
            }
          }
          if (longest != nullptr) {
            longest->closeNow();
          } else {
            room = false;
          }
        }
      }
      if (room) {
        startSession(shared_, std::move(socket));
      } else {
        beast::error_code ignored;
        socket.close(ignored);
      }
    }
    accept(acceptor);
  });
}

beast::error_code HttpServer::Impl::listen(tcp::acceptor& acceptor, const tcp::endpoint& endpoint) {
  beast::error_code error;
  acceptor.open(endpoint.protocol(), error);
  if (error) return error;
#if defined(_WIN32)
  // Windows lets a second socket bind a port in use unless the first one
  // asks for it alone.
  using ExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
  acceptor.set_option(ExclusiveAddressUse(true), error);
#else
  // On Linux this only lets a restart take the port over from connections
  // still closing; a port that another socket listens on stays refused.
  acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
  if (endpoint.address().is_v6()) acceptor.set_option(asio::ip::v6_only(true), error);
  acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    beast::error_code ignored;
    acceptor.close(ignored);
  }
  return error;
}

HttpServer::HttpServer(HttpLimits limits, HttpHandlers handlers)
    : impl_(std::make_unique<Impl>(limits, std::move(handlers))) {}

HttpServer::~HttpServer() {
  stop();
}

bool HttpServer::bind(const std::string& address, int port) {
  Impl& impl = *impl_;
  beast::error_code error;
  auto fail = [&](const std::string& where, std::string_view reason) {
    beast::error_code ignored;
    impl.acceptor_.close(ignored);
    impl.acceptorV6_.close(ignored);
    impl.error_ = fillTemplate(messages::kCannotListen, {where, std::to_string(port), reason});
    impl.port_ = -1;
    return false;
  };
  auto reason = [](beast::error_code error) {
    return error == asio::error::address_in_use ? std::string(messages::kAddressInUse)
                                                : error.message();
  };
  asio::ip::address ip = asio::ip::make_address(address, error);
  if (error) return fail(address, error.message());
  bool withV6 = ip == asio::ip::address_v4::loopback();
  // Any free port: one free on both addresses, after a few tries.
  constexpr int kPortTries = 16;
  for (int attempt = 0; attempt < kPortTries; ++attempt) {
    error = impl.listen(impl.acceptor_, tcp::endpoint(ip, static_cast<unsigned short>(port)));
    if (error) return fail(address, reason(error));
    impl.port_ = impl.acceptor_.local_endpoint(error).port();
    if (error) return fail(address, error.message());
    if (!withV6) return true;
    error = impl.listen(impl.acceptorV6_, tcp::endpoint(asio::ip::address_v6::loopback(),
                                                        static_cast<unsigned short>(impl.port_)));
    if (!error) return true;
    if (error != asio::error::address_in_use) return true;  // no IPv6 here: 127.0.0.1 alone
    if (port != 0) return fail("::1", reason(error));
    beast::error_code ignored;
    impl.acceptor_.close(ignored);
  }
  return fail("::1", reason(error));
}

int HttpServer::port() const {
  return impl_->port_;
}

bool HttpServer::servesIpv6Loopback() const {
  return impl_->acceptorV6_.is_open();
}

const std::string& HttpServer::error() const {
  return impl_->error_;
}

void HttpServer::run() {
  Impl& impl = *impl_;
  if (impl.shared_.stopping || !impl.acceptor_.is_open()) return;
  auto work = asio::make_work_guard(impl.io_);
  asio::dispatch(impl.io_, [&impl] {
    impl.accept(impl.acceptor_);
    if (impl.acceptorV6_.is_open()) impl.accept(impl.acceptorV6_);
  });
  impl.running_ = true;
  // A handler that throws (an allocation that fails) loses its own
  // connection, never the server.
  while (!impl.io_.stopped()) {
    try {
      impl.io_.run();
    } catch (...) {
    }
  }
  impl.running_ = false;
}

void HttpServer::stop() {
  Impl& impl = *impl_;
  if (impl.shared_.stopping.exchange(true)) return;
  asio::post(impl.io_, [&impl] {
    beast::error_code ignored;
    impl.acceptor_.close(ignored);
    impl.acceptorV6_.close(ignored);
    std::lock_guard lock(impl.shared_.sessionsMutex);
    for (HttpConnection* session : impl.shared_.sessions) session->closeNow();
  });
  if (impl.running_) {
    // The closed connections end on the server's thread; a second at most.
    std::unique_lock lock(impl.shared_.sessionsMutex);
    impl.shared_.sessionsEnded.wait_for(lock, std::chrono::seconds(1),
                                        [&impl] { return impl.shared_.sessions.empty(); });
  }
  impl.io_.stop();
  impl.shared_.workers.stop();
  impl.shared_.workers.join();
}

}  // namespace zel::host
