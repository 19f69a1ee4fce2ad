// Everything a plugin needs for the common case, in one include: the plugin
// base and the entry macro, route declaration with its outcomes and call
// information, binding values, the message formatter and logging.
//
//   #include "plugin/sdk.h"
//   class Notes : public zel::PluginBase { ... };   // plugin/plugin_base.h, api/route_declarer.h
//   ZEL_PLUGIN_ENTRY(Notes)                          // plugin/entry.h
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
