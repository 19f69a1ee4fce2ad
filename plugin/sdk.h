// Everything a plugin needs for the common case, in one include: the plugin
// base and the entry macro, route declaration with its outcomes and call
// information, binding values, the message formatter and logging.
//
//   #include "plugin/sdk.h"
//
//   class Notes : public zel::PluginBase {
//     void registerApi() override {
//       zel::RouteDeclarer routes(*this);
//       routes.declare(zel::HttpMethod::Get, "/zel-notes/v1/notes/{id}", &Notes::note)
//           .pathArgument("id", "The note's id");
//     }
//     zel::Outcome<Note> note(std::int64_t id);
//   };
//   ZEL_PLUGIN_ENTRY(Notes)
//
// Owns nothing; the headers it gathers say who owns what.
#pragma once

#include "api/call_info.h"
#include "api/call_result.h"
#include "api/outcome.h"
#include "api/route_declarer.h"
#include "binding/convert_native.h"
#include "binding/value.h"
#include "diagnostics/format.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_tags.h"
#include "diagnostics/logger.h"
#include "plugin/entry.h"
#include "plugin/plugin_base.h"
