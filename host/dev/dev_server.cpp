#include "host/dev/dev_server.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <httplib.h>

#include "host/dev/api_document.h"
#include "host/dev/json_value.h"
#include "host/dev/messages.h"
#include "host/method_names.h"
#include "host/route_match.h"
#include "host/text_template.h"

namespace zel::host {

namespace {

constexpr const char* kJson = "application/json";
constexpr auto kEventWait = std::chrono::milliseconds(250);
// A comment line now and then keeps idle event streams open through proxies.
constexpr auto kKeepAliveEvery = std::chrono::seconds(15);

// When the request being served on this thread arrived: cpp-httplib serves
// each request on one thread from its first handler to its logger.
thread_local std::chrono::steady_clock::time_point requestStart;

// Headers that cpp-httplib adds to a request itself; not the client's.
bool isServerHeader(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

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

std::string errorJson(std::string_view text, int status) {
  return toJson(HostValue::makeStructure(
      {{"error", HostValue::makeString(text)}, {"status", HostValue::makeSigned(status)}}));
}

void answerError(httplib::Response& response, int status, std::string_view text) {
  response.status = status;
  response.set_content(errorJson(text, status), kJson);
}

// The raw request target: path and query exactly as sent (percent escapes
// kept; the plugin decodes them), without a fragment.
std::string rawTarget(const httplib::Request& request) {
  std::string target = request.target.empty() ? request.path : request.target;
  return target.substr(0, target.find('#'));
}

std::string docsPage(bool haveSwaggerUi, const ApiCatalog& catalog, const std::string& title) {
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
<script>
window.ui = SwaggerUIBundle({
  url: "/openapi.json",
  dom_id: "#swagger-ui",
  deepLinking: true,
  tryItOutEnabled: true,
  docExpansion: "list",
  presets: [SwaggerUIBundle.presets.apis],
  layout: "BaseLayout"
});
</script>
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
    page += "<li><code>" + method + " " + function.urlTemplate + "</code></li>\n";
  }
  return page + "</ul></body></html>\n";
}

}  // namespace

struct DevServer::Impl {
  Impl(DevHost& host, DevServerOptions options) : host_(host), options_(std::move(options)) {}

  void install();
  void handleCall(const httplib::Request& request, httplib::Response& response);
  void handleEventPost(const httplib::Request& request, httplib::Response& response);
  void handleEventStream(httplib::Response& response);

  DevHost& host_;
  DevServerOptions options_;
  httplib::Server server_;
  int port_ = -1;
  std::string error_;
  bool haveSwaggerUi_ = false;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
};

void DevServer::Impl::install() {
  haveSwaggerUi_ = !options_.swaggerUiDirectory.empty() &&
                   std::filesystem::exists(std::filesystem::path(options_.swaggerUiDirectory) /
                                           "swagger-ui-bundle.js");
  if (haveSwaggerUi_) server_.set_mount_point("/docs/assets", options_.swaggerUiDirectory);

  server_.set_payload_max_length(options_.maxBodyBytes);
  // A body over the limit is still read (and dropped) before the refusal
  // goes out; slow senders get time for that.
  server_.set_read_timeout(std::chrono::seconds(30));
  // Every refusal of cpp-httplib itself (bad request line, body too large...)
  // answers in the same JSON form as the plugin's errors.
  server_.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        std::string text = response.status == 413
                               ? std::string(messages::kBodyTooLarge)
                               : fillTemplate(messages::kHttpRefused,
                                              {std::to_string(response.status),
                                               httplib::detail::status_message(response.status)});
        response.set_content(errorJson(text, response.status), kJson);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server_.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string text = "unknown";
        try {
          if (error) std::rethrow_exception(error);
        } catch (const std::exception& exception) {
          text = exception.what();
        } catch (...) {
        }
        answerError(response, 500, fillTemplate(messages::kBridgeFailed, {text}));
      });
  // Long targets are refused before the routes' patterns see them.
  server_.set_pre_routing_handler([this](const httplib::Request& request,
                                         httplib::Response& response) {
    requestStart = std::chrono::steady_clock::now();
    if (request.target.size() <= options_.maxTargetBytes) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    answerError(response, 414,
                fillTemplate(messages::kTargetTooLong, {std::to_string(options_.maxTargetBytes)}));
    return httplib::Server::HandlerResponse::Handled;
  });
  server_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
    if (request.path == "/events" && request.method == "GET") return;
    host_.logRequest(request.method, rawTarget(request),
                     static_cast<std::uint32_t>(response.status),
                     std::chrono::steady_clock::now() - requestStart);
  });

  // Both made on every request: a reload may have brought other routes.
  server_.Get("/openapi.json", [this](const httplib::Request&, httplib::Response& response) {
    ApiSnapshot api = host_.apiSnapshot();
    ApiDocumentInfo info{api.shortName, api.pluginVersion};
    response.set_content(toJson(openApiDocument(api.catalog, info), JsonStyle::Indented), kJson);
  });
  server_.Get("/docs/?", [this](const httplib::Request&, httplib::Response& response) {
    ApiSnapshot api = host_.apiSnapshot();
    response.set_content(docsPage(haveSwaggerUi_, api.catalog, api.shortName),
                         "text/html; charset=utf-8");
  });
  server_.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    handleEventStream(response);
  });
  server_.Post("/events/([^/]+)",
               [this](const httplib::Request& request, httplib::Response& response) {
                 handleEventPost(request, response);
               });
  auto call = [this](const httplib::Request& request, httplib::Response& response) {
    handleCall(request, response);
  };
  server_.Get(".*", call);
  server_.Post(".*", call);
  server_.Put(".*", call);
  server_.Patch(".*", call);
  server_.Delete(".*", call);
  server_.Options(".*", call);
}

void DevServer::Impl::handleCall(const httplib::Request& request, httplib::Response& response) {
  CallRequest call;
  call.method = methodCode(request.method);
  if (call.method == 0) {
    call.method = kMethodCustom;
    call.customMethod = request.method;
  }
  call.path = rawTarget(request);
  for (const auto& [name, value] : request.headers) {
    if (isServerHeader(name)) continue;
    call.headers.emplace_back(lowerCase(name), value);
  }
  if (request.has_header("Content-Type"))
    call.contentType = request.get_header_value("Content-Type");
  if (!request.body.empty()) call.body = request.body;

  bool otherMethods = false;
  std::optional<CallReply> called = host_.routeAndCall(std::move(call), &otherMethods);
  if (!called) {
    std::string target = rawTarget(request);
    std::string_view path = pathWithoutQuery(target);
    if (otherMethods) {
      answerError(response, 405, fillTemplate(messages::kMethodNotAllowed, {request.method, path}));
    } else {
      answerError(response, 404, fillTemplate(messages::kNoFunction, {request.method, path}));
    }
    return;
  }

  CallReply& reply = *called;
  int status = static_cast<int>(effectiveStatus(reply));
  if (reply.reply.error || reply.streamFailed) {
    std::string text = reply.reply.error.value_or(std::string(messages::kStreamFailed));
    answerError(response, status, text);
    return;
  }
  for (const auto& [name, value] : reply.reply.headers) {
    std::string lower = lowerCase(name);
    if (isFramingHeader(lower) || !isSafeHeaderText(name) || !isSafeHeaderText(value)) continue;
    response.set_header(name, value);
  }
  response.status = status;
  response.set_content(toJson(replyValue(reply)), kJson);
}

void DevServer::Impl::handleEventPost(const httplib::Request& request,
                                      httplib::Response& response) {
  std::string name = request.matches[1];
  HostValue payload;
  if (!request.body.empty()) {
    std::string error;
    std::optional<HostValue> parsed = parseJson(request.body, error);
    if (!parsed) {
      answerError(response, 400, fillTemplate(messages::kBadEventPayload, {name, error}));
      return;
    }
    payload = std::move(*parsed);
  }
  std::size_t delivered = host_.deliverEvent(name, payload);
  response.set_content(
      toJson(HostValue::makeStructure(
          {{"event", HostValue::makeString(name)},
           {"delivered", HostValue::makeUnsigned(static_cast<std::uint64_t>(delivered))}})),
      kJson);
}

void DevServer::Impl::handleEventStream(httplib::Response& response) {
  std::shared_ptr<EventListener> listener = host_.events().listen();
  response.set_header("Cache-Control", "no-cache");
  auto lastWrite = std::make_shared<std::chrono::steady_clock::time_point>();
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, listener, lastWrite](std::size_t offset, httplib::DataSink& sink) {
        auto write = [&](const std::string& text) {
          *lastWrite = std::chrono::steady_clock::now();
          return sink.write(text.data(), text.size());
        };
        // The first comment tells the client that it is subscribed.
        if (offset == 0 && !write(": zel-host events\n\n")) return false;
        PublishedEvent event;
        if (listener->next(event, kEventWait)) {
          return write("id: " + std::to_string(event.sequence) + "\nevent: " +
                       toValidUtf8(event.name) + "\ndata: " + event.payloadJson + "\n\n");
        }
        if (listener->closed() || stopping_) {
          sink.done();
          return true;
        }
        if (!sink.is_writable()) return false;
        if (std::chrono::steady_clock::now() - *lastWrite > kKeepAliveEvery) {
          return write(": keep-alive\n\n");
        }
        return true;
      });
}

DevServer::DevServer(DevHost& host, DevServerOptions options)
    : impl_(std::make_unique<Impl>(host, std::move(options))) {
  impl_->install();
}

DevServer::~DevServer() {
  stop();
}

bool DevServer::bind() {
  Impl& impl = *impl_;
  if (impl.options_.port == 0) {
    impl.port_ = impl.server_.bind_to_any_port(impl.options_.address);
  } else if (impl.server_.bind_to_port(impl.options_.address, impl.options_.port)) {
    impl.port_ = impl.options_.port;
  } else {
    impl.port_ = -1;
  }
  if (impl.port_ < 0) {
    impl.error_ = fillTemplate(messages::kCannotListen,
                               {impl.options_.address, std::to_string(impl.options_.port)});
    return false;
  }
  return true;
}

int DevServer::port() const {
  return impl_->port_;
}

std::string DevServer::url() const {
  return "http://" + impl_->options_.address + ":" + std::to_string(impl_->port_);
}

const std::string& DevServer::error() const {
  return impl_->error_;
}

void DevServer::run() {
  impl_->server_.listen_after_bind();
}

void DevServer::start() {
  impl_->thread_ = std::thread([this] { run(); });
  // Serving has begun once the server says so (or the thread gave up).
  for (int i = 0; i < 500 && !impl_->server_.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void DevServer::stop() {
  impl_->stopping_ = true;
  impl_->host_.events().closeAll();
  impl_->server_.stop();
  if (impl_->thread_.joinable()) impl_->thread_.join();
}

}  // namespace zel::host
