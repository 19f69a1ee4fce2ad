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
// The host must be started and outlive the server. Requests are served on a
// pool of threads; the event stream keeps one thread per client.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/dev/dev_host.h"

namespace zel::host {

struct DevServerOptions {
  std::string address = "127.0.0.1";
  int port = 0;  // 0: any free port
  // Where swagger-ui-dist's files are; without them /docs lists the routes plainly.
  std::string swaggerUiDirectory;
  std::size_t maxBodyBytes = 16u << 20;
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
