// Route selection: exact paths, patterns, methods and the choice among
// several matching routes.
#include "api/internal/compiled_route.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "api/route_declarer.h"
#include "binding/registry_access.h"
#include "binding/type_descriptor.h"
#include "binding/type_registry.h"

namespace zel {
namespace {

using api::internal::CompiledRoute;
using api::internal::matchRoutes;
using api::internal::PathArguments;
using api::internal::RequestContext;
using api::internal::RouteDescriptor;
using api::internal::RouteTable;

class RouteSelection : public testing::Test {
 protected:
  // Declares a function taking one text per placeholder name given.
  RouteDescriptor& declare(HttpMethod method, const char* urlTemplate) {
    FunctionBuilder built =
        routes_.declare(method, urlTemplate, [](const BindingValue&, const BindingValue&) {});
    return *binding::internal::RegistryAccess::attachment<RouteTable>(registry_).find(
        built.function());
  }

  bool select(std::vector<const RouteDescriptor*> routes, HttpMethod method, std::string_view path,
              std::string_view customMethod = {}, bool ignoreMethod = false) {
    std::vector<CompiledRoute> compiled;
    for (const RouteDescriptor* route : routes) compiled.push_back(CompiledRoute::of(*route));
    request_ = RequestContext{};
    request_.method = method;
    request_.path = path;
    request_.customMethod = customMethod;
    return matchRoutes(request_, compiled, ignoreMethod);
  }

  TypeRegistry registry_;
  RouteDeclarer<> routes_{registry_, {}};
  RequestContext request_;
};

TEST_F(RouteSelection, ExactPathsCompareEveryByte) {
  const RouteDescriptor& maps = declare(HttpMethod::Get, "/zel-maps/v1/maps");
  EXPECT_EQ(maps.exactPath(), "/zel-maps/v1/maps");
  EXPECT_EQ(maps.pattern(), nullptr);
  // Until it is given a template, a route is matched against its function's name.
  const RouteDescriptor bare(maps.function(), nullptr);
  EXPECT_EQ(bare.exactPath(), maps.function().name());
  const struct {
    int line;
    const char* path;
    bool selected;
  } rows[] = {
      {__LINE__, "/zel-maps/v1/maps", true},
      {__LINE__, "/zel-maps/v1/maps/", false},
      {__LINE__, "/zel-maps/v1/maps?x=1", false},
      {__LINE__, "/ZEL-maps/v1/maps", false},
      {__LINE__, "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(select({&maps}, HttpMethod::Get, row.path), row.selected);
    if (row.selected) {
      EXPECT_EQ(request_.descriptor, &maps);
      EXPECT_EQ(request_.function, &maps.function());
      EXPECT_TRUE(request_.pathArguments.empty());
    }
  }
}

TEST_F(RouteSelection, MethodsMustAgreeUnlessTheRouteAcceptsAny) {
  const RouteDescriptor& get = declare(HttpMethod::Get, "/m/{x}");
  const RouteDescriptor& any = declare(HttpMethod::None, "/any/{x}");
  RouteDescriptor& purge = declare(HttpMethod::Custom, "/purge/{x}");
  purge.setMethod(HttpMethod::Custom, "PURGE");
  const struct {
    int line;
    const RouteDescriptor* route;
    HttpMethod method;
    const char* custom;
    bool ignoreMethod;
    bool selected;
  } rows[] = {
      {__LINE__, &get, HttpMethod::Get, "", false, true},
      {__LINE__, &get, HttpMethod::Post, "", false, false},
      {__LINE__, &get, HttpMethod::Post, "", true, true},
      {__LINE__, &get, HttpMethod::None, "", false, false},
      {__LINE__, &any, HttpMethod::Delete, "", false, true},
      {__LINE__, &any, HttpMethod::Custom, "WHATEVER", false, true},
      {__LINE__, &purge, HttpMethod::Custom, "PURGE", false, true},
      {__LINE__, &purge, HttpMethod::Custom, "FETCH", false, false},
      {__LINE__, &purge, HttpMethod::Custom, "purge", false, false},
      {__LINE__, &purge, HttpMethod::Get, "", false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const char* path = row.route == &get ? "/m/1" : row.route == &any ? "/any/1" : "/purge/1";
    EXPECT_EQ(select({row.route}, row.method, path, row.custom, row.ignoreMethod), row.selected);
  }
}

TEST_F(RouteSelection, TheRouteWithTheShortestCapturesWinsAndTiesKeepTheFirst) {
  const RouteDescriptor& plain = declare(HttpMethod::Get, "/s/{a}");        // "abcde": 5
  const RouteDescriptor& wide = declare(HttpMethod::Get, "/s/{+rest}");     // "abcde": 5
  const RouteDescriptor& split = declare(HttpMethod::Get, "/s/ab{+tail}");  // "cde": 3
  const RouteDescriptor& same = declare(HttpMethod::Get, "/s/{x}{y}");      // "abcde" + "": 5
  const RouteDescriptor& exact = declare(HttpMethod::Get, "/s/abcde");

  EXPECT_TRUE(select({&wide, &split}, HttpMethod::Get, "/s/abcde"));
  EXPECT_EQ(request_.descriptor, &split);
  EXPECT_EQ(request_.pathArguments.at("tail"), "cde");

  EXPECT_TRUE(select({&wide, &same}, HttpMethod::Get, "/s/abcde"));
  EXPECT_EQ(request_.descriptor, &wide);
  EXPECT_TRUE(select({&same, &wide}, HttpMethod::Get, "/s/abcde"));
  EXPECT_EQ(request_.descriptor, &same);

  // A match without captures is the shortest there can be, and ends the walk.
  EXPECT_TRUE(select({&plain, &exact, &split}, HttpMethod::Get, "/s/abcde"));
  EXPECT_EQ(request_.descriptor, &exact);
  EXPECT_TRUE(request_.pathArguments.empty());

  // Routes whose method does not fit are passed over.
  EXPECT_TRUE(select({&split, &wide}, HttpMethod::Post, "/s/abcde", {}, true));
  EXPECT_FALSE(select({&split, &wide}, HttpMethod::Post, "/s/abcde"));
}

TEST_F(RouteSelection, AnEmptyTemplateIsMatchedAsTheFunctionsName) {
  RouteDescriptor& route = declare(HttpMethod::Get, "/named");
  route.setUrlTemplate("");
  EXPECT_EQ(route.exactPath(), "GetNamed");
  EXPECT_TRUE(select({&route}, HttpMethod::Get, "GetNamed"));
  EXPECT_FALSE(select({&route}, HttpMethod::Get, "/named"));

  const CompiledRoute fresh = CompiledRoute::compile(route.function(), route, "/x/{id}");
  PathArguments arguments;
  EXPECT_TRUE(fresh.matchPath("/x/7", arguments));
  EXPECT_EQ(arguments.at("id"), "7");
}

TEST_F(RouteSelection, CallsShareTheRoutesCompiledPatternAcrossThreads) {
  const RouteDescriptor& route = declare(HttpMethod::Get, "/zel-maps/v2/map/{id}/{gameMode}");
  const CompiledRoute first = CompiledRoute::of(route);
  EXPECT_EQ(first.pattern().get(), route.pattern().get());

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&route, &wrong, t] {
      for (int i = 0; i < 500; ++i) {
        const std::string id = std::to_string(t * 1000 + i);
        const std::string path = "/zel-maps/v2/map/" + id + "/MODE_" + std::to_string(t);
        RequestContext request;
        request.method = HttpMethod::Get;
        request.path = path;
        const CompiledRoute compiled = CompiledRoute::of(route);
        if (!matchRoutes(request, {&compiled, 1}, false) || request.pathArguments["id"] != id ||
            request.pathArguments["gameMode"] != "MODE_" + std::to_string(t)) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace zel
