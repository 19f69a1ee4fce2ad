// How the server frames what a handler answers: the status line, the
// headers the handler gave less any framing of its own (the server frames
// the body, whatever the handler's headers say), and the body or, for HEAD
// and the statuses that have none, its length or nothing. Streams are framed
// by hand (streamHead, and StreamQueue's chunks): their chunks follow as
// they come.
//
//   AnswerMessage message;
//   int status = frameAnswer(std::move(response), isHead, keepAlive, message);
//
// Pure functions. Only http_session.cpp includes this header (it needs
// Beast, which the library keeps to itself).
#pragma once

#include <string>

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

using AnswerMessage = boost::beast::http::response<boost::beast::http::string_body>;

// Fills message from response and returns the status it carries (500 for
// one HTTP has no place for). keepAlive is cleared for a 1xx, which is no
// final answer; the message says whether the connection stays.
int frameAnswer(HttpResponse response, bool headRequest, bool& keepAlive, AnswerMessage& message);

// The head of a stream's answer: chunked, and the connection closes after.
std::string streamHead(const HttpResponse& first);

}  // namespace zel::host::internal
