#include "host/dev/serving/internal/answer_framing.h"

#include <exception>

#include <boost/beast/http/status.hpp>

namespace zel::host::internal {

namespace http = boost::beast::http;

int frameAnswer(HttpResponse response, bool headRequest, bool& keepAlive, AnswerMessage& message) {
  try {
    message.result(static_cast<unsigned>(response.status));
  } catch (const std::exception&) {
    message.result(http::status::internal_server_error);
  }
  int status = static_cast<int>(message.result_int());
  // No body, nor framing for one (RFC 9110, 15.2, 15.3.5, 15.4.5); a 1xx
  // is no final answer, so the connection ends after it.
  bool bodiless = status < 200 || status == 204 || status == 304;
  if (status < 200) keepAlive = false;
  message.version(11);
  if (!response.contentType.empty() && !bodiless)
    message.set(http::field::content_type, response.contentType);
  message.set("X-Content-Type-Options", "nosniff");
  for (const auto& [name, value] : response.headers) message.insert(name, value);
  message.erase(http::field::content_length);
  message.erase(http::field::transfer_encoding);
  if (bodiless) {
    // Nothing to add: the answer ends with its head.
  } else if (headRequest) {
    message.content_length(response.body.size());
  } else {
    message.body() = std::move(response.body);
    message.content_length(message.body().size());
  }
  message.keep_alive(keepAlive);
  return status;
}

std::string streamHead(const HttpResponse& first) {
  std::string text =
      "HTTP/1.1 " + std::to_string(first.status) + " " +
      std::string(http::obsolete_reason(http::int_to_status(static_cast<unsigned>(first.status)))) +
      "\r\nContent-Type: " + first.contentType + "\r\nX-Content-Type-Options: nosniff\r\n";
  for (const auto& [name, value] : first.headers) text += name + ": " + value + "\r\n";
  text += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
  return text;
}

}  // namespace zel::host::internal
