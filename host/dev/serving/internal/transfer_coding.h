// How a request's head says its body is framed, screened before a byte of
// the body is read: chunked as the last coding, once, or Content-Length
// alone. A Transfer-Encoding that ends otherwise leaves the body's end to
// guesswork, and what one server reads as a body another reads as a request.
//
//   if (std::optional<HeadRefusal> refused = checkTransferEncoding(head))
//     return refuse(refused->status, refused->text);
//
// A pure function of the head; the session that reads it owns both.
#pragma once

#include <optional>
#include <string>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

struct HeadRefusal {
  int status = 400;
  std::string text;
};

// None when the head has no Transfer-Encoding, or one whose only coding is
// chunked; else 400 (chunked not last, or twice) or 501 (another coding),
// with every Transfer-Encoding value shown as sent.
std::optional<HeadRefusal> checkTransferEncoding(const HttpRequest& head);

}  // namespace zel::host::internal
