#include "host/dev/serving/dev_server.h"

#include <chrono>
#include <new>
#include <thread>

#include "host/calling/route_match.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/documents/openapi_document.h"
#include "host/dev/hosting/messages.h"
#include "host/dev/serving/http_server.h"
#include "host/dev/serving/internal/event_stream.h"
#include "host/dev/serving/internal/request_guard.h"
#include "host/dev/serving/internal/static_folder.h"
#include "host/dev/serving/messages.h"

namespace zel::host {

using internal::contentTypeOfFile;
using internal::eventPostName;
using internal::EventStream;
using internal::GuardRefusal;
using internal::RequestGuard;
using internal::StaticFolder;

namespace {

constexpr const char* kJson = "application/json";

// The API browser's pages load nothing but their own origin's files; the
// inline styles are Swagger UI's own, its icons data: URIs.
constexpr const char* kDocsPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; font-src 'self' data:; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

bool isSafeHeaderText(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos;
}

// Headers of a plugin reply that the bridge sets itself, or that would
// break the HTTP framing.
bool isFramingHeader(const std::string& lowerName) {
  return lowerName == "content-length" || lowerName == "content-type" ||
         lowerName == "transfer-encoding" || lowerName == "connection" || lowerName.empty() ||
         lowerName.find(':') != std::string::npos;
}

// The server's refusals come here too, some from where an exception was
// caught: should memory run out writing the text, a fixed one says so.
HttpResponse errorAnswer(int status, std::string_view text) {
  HttpResponse response;
  response.status = status;
  response.contentType = kJson;
  try {
    response.body = toJson(HostValue::makeStructure(
        {{"error", HostValue::makeString(text)}, {"status", HostValue::makeSigned(status)}}));
  } catch (const std::bad_alloc&) {
    response.body = R"({"error":")" + std::string(messages::kOutOfMemoryBare) + R"(","status":)" +
                    std::to_string(status) + "}";
  }
  return response;
}

HttpResponse jsonAnswer(std::string body, int status = 200) {
  HttpResponse response;
  response.status = status;
  response.contentType = kJson;
  response.body = std::move(body);
  return response;
}

// The raw request target: path and query exactly as sent (percent escapes
// kept; the plugin decodes them), without a fragment.
std::string rawTarget(const HttpRequest& request) {
  return request.target.substr(0, request.target.find('#'));
}

// Memory ran out answering the request; what it held is freed by now.
HttpResponse outOfMemoryAnswer(const HttpRequest& request) {
  std::string text;
  try {
    std::string target = rawTarget(request);
    text = fillTemplate(messages::kOutOfMemory, {request.method, pathWithoutQuery(target)});
  } catch (const std::bad_alloc&) {
    text = messages::kOutOfMemoryBare;
  }
  return errorAnswer(500, text);
}

void addDocsHeaders(HttpResponse& response) {
  response.headers.emplace_back("Content-Security-Policy", kDocsPolicy);
  response.headers.emplace_back("X-Frame-Options", "DENY");
  response.headers.emplace_back("Referrer-Policy", "no-referrer");
}

// Swagger UI's start, a file of its own so that the page needs no inline script.
constexpr const char* kDocsScript = R"(window.ui = SwaggerUIBundle({
  url: "/openapi.json",
  dom_id: "#swagger-ui",
  deepLinking: true,
  tryItOutEnabled: true,
  docExpansion: "list",
  presets: [SwaggerUIBundle.presets.apis],
  layout: "BaseLayout"
});
)";

std::string htmlText(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '&':
        escaped += "&amp;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string docsPage(bool haveSwaggerUi, const ApiCatalog& catalog, const std::string& name) {
  std::string title = htmlText(name);
  if (haveSwaggerUi) {
    return R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>)" + title +
           R"( API</title>
<link rel="stylesheet" href="/docs/assets/swagger-ui.css">
</head>
<body>
<div id="swagger-ui"></div>
<script src="/docs/assets/swagger-ui-bundle.js"></script>
<script src="/docs/start.js"></script>
</body>
</html>
)";
  }
  // Without the browser's files: the routes as a plain list.
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                     title + " API</title></head><body><h1>" + title +
                     " API</h1><p>The API browser is not installed (scripts/setup installs "
                     "swagger-ui-dist). The description: <a href=\"/openapi.json\">"
                     "/openapi.json</a>.</p><ul>\n";
  for (const FunctionInfo& function : catalog.functions) {
    std::string method(methodName(function.method));
    page += "<li><code>" + htmlText(method + " " + function.urlTemplate) + "</code></li>\n";
  }
  return page + "</ul></body></html>\n";
}

}  // namespace

struct DevServer::Impl {
  Impl(DevHost& host, DevServerOptions options)
      : host_(host),
        options_(std::move(options)),
        swaggerUi_(options_.swaggerUiDirectory),
        haveSwaggerUi_(swaggerUi_.holds("swagger-ui-bundle.js")),
        server_(options_.limits, handlers()) {}

  HttpHandlers handlers();
  std::optional<HttpResponse> screen(const HttpRequest& head) const;
  HttpResponse answer(HttpRequest& request);
  HttpResponse handleCall(HttpRequest& request);
  HttpResponse handleEventPost(HttpRequest& request, std::string_view name);

  DevHost& host_;
  DevServerOptions options_;
  StaticFolder swaggerUi_;
  bool haveSwaggerUi_;
  std::optional<RequestGuard> guard_;  // once the port is known
  HttpServer server_;
  std::thread thread_;
};

HttpHandlers DevServer::Impl::handlers() {
  HttpHandlers handlers;
  handlers.screen = [this](const HttpRequest& head) { return screen(head); };
  handlers.wantsStream = [](const HttpRequest& head) {
    return head.method == "GET" && pathWithoutQuery(head.target) == "/events";
  };
  handlers.openStream = [this](const HttpRequest&, HttpResponse& first) {
    first.contentType = "text/event-stream";
    first.headers.emplace_back("Cache-Control", "no-cache");
    return std::make_unique<EventStream>(host_.events().listen());
  };
  // Running out of memory ends the request, never the server.
  handlers.answer = [this](HttpRequest& request) {
    try {
      return answer(request);
    } catch (const std::bad_alloc&) {
      return outOfMemoryAnswer(request);
    }
  };
  handlers.refusal = errorAnswer;
  handlers.log = [this](const HttpRequest& request, int status,
                        std::chrono::steady_clock::duration elapsed) {
    host_.logRequest(request.method, rawTarget(request), static_cast<std::uint32_t>(status),
                     elapsed);
  };
  return handlers;
}

std::optional<HttpResponse> DevServer::Impl::screen(const HttpRequest& head) const {
  if (guard_) {
    if (std::optional<GuardRefusal> refused = guard_->check(head)) {
      return errorAnswer(refused->status, refused->text);
    }
  }
  // Long targets are refused before the routes' patterns see them.
  if (head.target.size() > options_.maxTargetBytes) {
    return errorAnswer(
        414, fillTemplate(messages::kTargetTooLong, {std::to_string(options_.maxTargetBytes)}));
  }
  return std::nullopt;
}

HttpResponse DevServer::Impl::answer(HttpRequest& request) {
  std::string_view path = pathWithoutQuery(request.target);
  bool reads = request.method == "GET" || request.method == "HEAD";
  if (reads && path == "/openapi.json") {
    // Made on every request: a reload may have brought other routes.
    ApiSnapshot api = host_.apiSnapshot();
    ApiDocumentInfo info{api.shortName, api.pluginVersion};
    return jsonAnswer(toJson(openApiDocument(api.catalog, info), JsonStyle::Indented));
  }
  if (reads && (path == "/docs" || path == "/docs/")) {
    ApiSnapshot api = host_.apiSnapshot();
    HttpResponse page;
    page.contentType = "text/html; charset=utf-8";
    page.body = docsPage(haveSwaggerUi_, api.catalog, api.shortName);
    addDocsHeaders(page);
    return page;
  }
  if (reads && haveSwaggerUi_ && path == "/docs/start.js") {
    HttpResponse script;
    script.contentType = std::string(contentTypeOfFile("start.js"));
    script.body = kDocsScript;
    addDocsHeaders(script);
    return script;
  }
  constexpr std::string_view kAssets = "/docs/assets/";
  if (reads && haveSwaggerUi_ && path.substr(0, kAssets.size()) == kAssets) {
    if (std::optional<HttpResponse> file = swaggerUi_.serve(path.substr(kAssets.size()))) {
      addDocsHeaders(*file);
      return std::move(*file);
    }
  }
  if (request.method == "POST") {
    std::string_view event = eventPostName(request.target);
    if (!event.empty()) return handleEventPost(request, event);
  }
  return handleCall(request);
}

HttpResponse DevServer::Impl::handleCall(HttpRequest& request) {
  CallRequest call;
  call.method = methodCode(request.method);
  if (call.method == kMethodNone) {
    call.method = kMethodCustom;
    call.customMethod = request.method;
  }
  call.path = rawTarget(request);
  for (auto& [name, value] : request.headers)
    call.headers.emplace_back(lowerCaseAscii(name), value);
  if (const std::string* type = request.header("Content-Type")) call.contentType = *type;
  if (!request.body.empty()) call.body = std::move(request.body);

  bool otherMethods = false;
  std::optional<CallReply> called = host_.routeAndCall(std::move(call), &otherMethods);
  if (!called) {
    std::string target = rawTarget(request);
    std::string_view path = pathWithoutQuery(target);
    if (otherMethods) {
      return errorAnswer(405, fillTemplate(messages::kMethodNotAllowed, {request.method, path}));
    }
    return errorAnswer(404, fillTemplate(messages::kNoFunction, {request.method, path}));
  }

  CallReply& reply = *called;
  int status = static_cast<int>(effectiveStatus(reply));
  if (reply.reply.error || reply.streamFailed) {
    std::string text = reply.reply.error.value_or(std::string(messages::kStreamFailed));
    return errorAnswer(status, text);
  }
  HttpResponse response = jsonAnswer(toJson(replyValue(reply)), status);
  for (const auto& [name, value] : reply.reply.headers) {
    std::string lower = lowerCaseAscii(name);
    if (isFramingHeader(lower) || !isSafeHeaderText(name) || !isSafeHeaderText(value)) continue;
    response.headers.emplace_back(name, value);
  }
  return response;
}

HttpResponse DevServer::Impl::handleEventPost(HttpRequest& request, std::string_view name) {
  HostValue payload;
  if (!request.body.empty()) {
    std::string error;
    std::optional<HostValue> parsed = parseJson(request.body, error);
    if (!parsed) {
      return errorAnswer(400, fillTemplate(messages::kBadEventPayload, {name, error}));
    }
    payload = std::move(*parsed);
  }
  std::size_t delivered = host_.deliverEvent(name, payload);
  return jsonAnswer(toJson(HostValue::makeStructure(
      {{"event", HostValue::makeString(name)},
       {"delivered", HostValue::makeUnsigned(static_cast<std::uint64_t>(delivered))}})));
}

DevServer::DevServer(DevHost& host, DevServerOptions options)
    : impl_(std::make_unique<Impl>(host, std::move(options))) {}

DevServer::~DevServer() {
  stop();
}

bool DevServer::bind() {
  Impl& impl = *impl_;
  if (!impl.server_.bind(impl.options_.address, impl.options_.port)) return false;
  // localhost and [::1] are our names only while we hold [::1] too.
  impl.guard_.emplace(impl.server_.port(), impl.options_.allowedHosts,
                      impl.server_.servesIpv6Loopback());
  return true;
}

int DevServer::port() const {
  return impl_->server_.port();
}

std::string DevServer::url() const {
  return "http://" + impl_->options_.address + ":" + std::to_string(port());
}

const std::string& DevServer::error() const {
  return impl_->server_.error();
}

void DevServer::run() {
  impl_->server_.run();
}

void DevServer::start() {
  impl_->thread_ = std::thread([this] { run(); });
}

void DevServer::stop() {
  impl_->host_.events().closeAll();
  impl_->server_.stop();
  if (impl_->thread_.joinable()) impl_->thread_.join();
}

}  // namespace zel::host
