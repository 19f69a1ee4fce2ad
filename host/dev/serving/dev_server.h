// DevServer: zel-host serve. Serves every function of the hosted plugin over
// HTTP on a local address: method and path select the function, headers
// (names lower-cased), query and body go into the HostRequest, and the reply
// comes back as JSON with the response's status ({"error": text, "status": n}
// for errors). Besides the plugin's routes:
//
//   GET  /openapi.json   the OpenAPI 3.1 description
//   GET  /docs           an API browser (Swagger UI) where every route can be tried
//   GET  /events         every event the plugin publishes, as server-sent events
//   POST /events/NAME    delivers the JSON body as event NAME to the plugin
//
//   DevServer server(host, {.port = 0, .swaggerUiDirectory = dir});
//   if (!server.bind()) return fail(server.error());
//   server.start();                       // or run() to serve on this thread
//   httpGet(server.url() + "/zel-maps/v2/maps");
//   server.stop();
//
// Every request first passes the request guard (internal/request_guard.h: the Host,
// the Origin, an event's content type) and the HTTP server's limits
// (http_server.h). The host must be started and outlive the server. Calls
// run on the server's pool of workers; event streams hold no thread. A
// request whose answer runs out of memory is answered 500 with the error
// (the server goes on); an event client whose unread events pass
// kMaxListenerBacklogBytes is closed (internal/event_stream.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/dev/hosting/dev_host.h"
#include "host/dev/serving/http_server.h"

namespace zel::host {

struct DevServerOptions {
  std::string address = "127.0.0.1";
  int port = 0;  // 0: any free port
  // Where swagger-ui-dist's files are; without them /docs lists the routes plainly.
  std::string swaggerUiDirectory;
  // Hosts besides the loopback names that may be named in the Host header
  // (a proxy's): "NAME" for any port, or "NAME:PORT".
  std::vector<std::string> allowedHosts;
  HttpLimits limits;
  std::size_t maxTargetBytes = 2048;
};

class DevServer {
 public:
  DevServer(DevHost& host, DevServerOptions options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  // Binds the listening socket; false with the reason in error().
  bool bind();
  int port() const;
  // "http://ADDRESS:PORT".
  std::string url() const;
  const std::string& error() const;

  // Serves until stop(), on this thread.
  void run();
  // Serves on a thread of its own.
  void start();
  // Ends the event streams and stops serving; waits for a started thread.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::host
