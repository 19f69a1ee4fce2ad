#include "host/dev/hosting/dev_host.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "boundary/log_level_codes.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/hosting/internal/plugin_copy.h"
#include "host/dev/hosting/messages.h"
#include "host/dev/hosting/zel_maps_defaults.h"

namespace zel::host {

using internal::copyForLoading;
using internal::removeLoadedCopy;

namespace {

std::string_view trimLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// A method or target as the client sent it, made safe to print: every byte
// of a control character (C0, DEL, and C1 whether encoded as UTF-8 or sent
// as a lone byte, which an 8-bit terminal takes as a control too) and of an
// invalid UTF-8 sequence is written as \xNN, so that a request cannot move
// the cursor, retitle the window or forge lines of the log. A backslash is
// doubled, so that a client's own text \x1b cannot pass for an escaped byte.
std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    std::size_t length = validUtf8Length(text);
    auto lead = static_cast<unsigned char>(text[0]);
    bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
    if (lead == '\\') {
      out += "\\\\";
    } else if (length == 0 || lead < 0x20 || lead == 0x7F || c1) {
      if (length == 0) length = 1;
      for (std::size_t i = 0; i < length; ++i) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
        out += escaped;
      }
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

std::string_view methodText(std::uint32_t method, const std::optional<std::string>& custom) {
  if (method == kMethodCustom && custom) return *custom;
  return methodName(method);
}

// A reply of a hosted plugin, handed on to the plugin that asked.
ScriptedResponse toScripted(const CallReply& reply) {
  ScriptedResponse answer;
  answer.body = reply.reply.body;
  answer.error = reply.reply.error;
  answer.status = reply.reply.status;
  answer.reason = reply.reply.reason.value_or("");
  answer.headers = reply.reply.headers;
  answer.passThrough = reply.reply.passThrough;
  answer.passThroughCode = reply.reply.passThroughCode;
  if (reply.streamedBody) {
    answer.stream =
        ScriptedStream().chunked(*reply.streamedBody, 4096).sizeHint(reply.streamedBody->size());
  } else if (reply.streamFailed) {
    answer.stream = ScriptedStream().fail();
  }
  return answer;
}

// The host whose plugin lock this thread holds: the plugin's calls back into
// the host during a call (or a swap) must not take the lock again.
thread_local const void* lockHolder = nullptr;

std::vector<MockFolder> mockFolders(const DevHostOptions& options) {
  std::vector<MockFolder> folders;
  for (const MockFolderSpec& spec : options.mocks) folders.emplace_back(spec);
  // After the mocks given: a mock of the game data's own prefix replaces the
  // game-data folder, which is often only the installed default.
  if (!options.gameDataDirectory.empty()) {
    folders.emplace_back(gameDataMock(options.gameDataDirectory));
  }
  // Stable: of two equal prefixes the one given first answers.
  std::stable_sort(folders.begin(), folders.end(), [](const MockFolder& a, const MockFolder& b) {
    return a.prefix().size() > b.prefix().size();
  });
  return folders;
}

}  // namespace

struct DevHost::LoadedPlugin {
  std::unique_ptr<PluginHost> plugin;
  std::filesystem::path copy;
};

// A shared hold of the plugin lock, unless this thread holds it already.
class DevHost::SharedUse {
 public:
  explicit SharedUse(const DevHost& host) {
    if (lockHolder == &host) return;
    lock_ = std::shared_lock(host.pluginMutex_);
    lockHolder = &host;
  }
  ~SharedUse() {
    if (lock_.owns_lock()) lockHolder = nullptr;
  }
  SharedUse(const SharedUse&) = delete;
  SharedUse& operator=(const SharedUse&) = delete;

 private:
  std::shared_lock<std::shared_mutex> lock_;
};

DevHost::DevHost(DevHostOptions options)
    : options_(std::move(options)), mocks_(mockFolders(options_)) {
  api_.addRouter([this](const RecordedRequest& request) { return answerFromMocks(request); });
  api_.addRouter([this](const RecordedRequest& request) { return routeToPlugin(request); });
  api_.onLog([this](std::int32_t level, std::string_view text) {
    // Not under the plugin lock: a plugin thread may log while the plugin
    // is swapped.
    std::string name;
    {
      std::lock_guard lock(logNameMutex_);
      name = logName_;
    }
    // A level without a name shows as its number.
    std::string_view levelName = logLevelCodeName(level);
    std::string shown = levelName.empty() ? std::to_string(level) : std::string(levelName);
    log(shown + " " + name + ": " + std::string(trimLineEnd(text)));
  });
  api_.onEvent([this](const std::string& name, const HostValue& payload) {
    events_.publish(name, toJson(payload));
  });
  api_.onRequest([this](const RecordedRequest& request, const ScriptedResponse& answer,
                        std::chrono::steady_clock::duration elapsed) {
    std::uint32_t status = answer.status != 0 ? answer.status : (answer.error ? 400 : 200);
    logRequest(methodText(request.method, request.customMethod), request.url, status, elapsed);
  });
}

DevHost::~DevHost() {
  stop();
}

bool DevHost::start() {
  std::optional<LoadedPlugin> loaded = loadPlugin(error_);
  if (!loaded) return false;
  std::unique_lock lock(pluginMutex_);
  lockHolder = this;
  plugin_ = std::move(loaded->plugin);
  loadedCopy_ = std::move(loaded->copy);
  bool attached = attachLoaded();
  lockHolder = nullptr;
  return attached;
}

void DevHost::stop() {
  events_.closeAll();
  std::unique_lock lock(pluginMutex_);
  lockHolder = this;
  shutDownAndUnload();
  lockHolder = nullptr;
}

bool DevHost::reload() {
  std::string reason;
  // The new file loads beside the running plugin first: one that does not
  // load changes nothing.
  std::optional<LoadedPlugin> loaded = loadPlugin(reason);
  if (!loaded) {
    error_ = reason;
    reportReload(false, fillTemplate(messages::kReloadFailed, {reason}));
    return false;
  }
  bool attached;
  {
    std::unique_lock lock(pluginMutex_);
    lockHolder = this;
    shutDownAndUnload();
    plugin_ = std::move(loaded->plugin);
    loadedCopy_ = std::move(loaded->copy);
    attached = attachLoaded();
    lockHolder = nullptr;
  }
  if (!attached) {
    reportReload(false, fillTemplate(messages::kAttachFailed, {error_}));
    return false;
  }
  reportReload(true, fillTemplate(messages::kReloaded, {options_.pluginPath}));
  return true;
}

std::optional<DevHost::LoadedPlugin> DevHost::loadPlugin(std::string& error) {
  LoadedPlugin loaded;
  std::string path = options_.pluginPath;
  std::error_code sizeError;
  if (std::filesystem::is_regular_file(path, sizeError) &&
      std::filesystem::file_size(path, sizeError) == 0 && !sizeError) {
    error = fillTemplate(messages::kEmptyPlugin, {path});
    return std::nullopt;
  }
  if (options_.loadCopy) {
    std::optional<std::filesystem::path> copy = copyForLoading(path, error);
    if (!copy) return std::nullopt;
    loaded.copy = *copy;
    path = copy->string();
  }
  loaded.plugin = std::make_unique<PluginHost>(PluginLibrary::open(path));
  bool loadedOk = loaded.plugin->load(options_.version);
  if (loadedOk && !plugin_) {
    // The first plugin's lines carry its name from the start.
    std::lock_guard lock(logNameMutex_);
    logName_ = loaded.plugin->shortName();
  }
  if (!loadedOk) {
    error = loaded.plugin->error();
    loaded.plugin.reset();
    if (!loaded.copy.empty()) removeLoadedCopy(loaded.copy);
    return std::nullopt;
  }
  return loaded;
}

// Under the exclusive lock.
bool DevHost::attachLoaded() {
  api_.expectAttach();
  if (!plugin_->attach(api_.api(), kPluginHandle)) {
    error_ = plugin_->error();
    return false;
  }
  caller_.emplace(plugin_->description());
  std::lock_guard lock(logNameMutex_);
  logName_ = plugin_->shortName();
  return true;
}

// Under the exclusive lock.
void DevHost::shutDownAndUnload() {
  if (caller_) {
    plugin_->shutdown();
    caller_.reset();
  }
  // Its subscriptions' callbacks die with the library.
  api_.forgetSubscriptions(kPluginHandle);
  plugin_.reset();
  if (!loadedCopy_.empty()) removeLoadedCopy(loadedCopy_);
  loadedCopy_.clear();
}

void DevHost::reportReload(bool reloaded, const std::string& text) {
  log(text);
  HostValue payload = HostValue::makeStructure(
      {{"plugin", HostValue::makeString(options_.pluginPath)},
       {"error", reloaded ? HostValue::makeNone() : HostValue::makeString(error_)}});
  events_.publish(std::string(reloaded ? messages::kReloadedEvent : messages::kReloadFailedEvent),
                  toJson(payload));
}

bool DevHost::running() const {
  SharedUse use(*this);
  return caller_.has_value();
}

std::string DevHost::shortName() const {
  SharedUse use(*this);
  return plugin_ ? plugin_->shortName() : std::string();
}

ApiVersion DevHost::pluginVersion() const {
  SharedUse use(*this);
  return plugin_ ? plugin_->pluginVersion() : ApiVersion{};
}

const ApiCatalog& DevHost::catalog() const {
  static const ApiCatalog kEmpty;
  return caller_ ? caller_->catalog() : kEmpty;
}

ApiSnapshot DevHost::apiSnapshot() const {
  SharedUse use(*this);
  ApiSnapshot snapshot;
  if (caller_) snapshot.catalog = caller_->catalog();
  if (plugin_) {
    snapshot.shortName = plugin_->shortName();
    snapshot.pluginVersion = plugin_->pluginVersion().text();
  }
  return snapshot;
}

CallReply DevHost::call(const FunctionInfo& function, CallRequest request) {
  SharedUse use(*this);
  request.requestId = nextRequestId_.fetch_add(1);
  return caller_->call(function, request);
}

std::optional<CallReply> DevHost::routeAndCall(CallRequest request, bool* pathHasOtherMethods) {
  SharedUse use(*this);
  if (!caller_) {
    CallReply reply;
    reply.reply.error = std::string(messages::kNoPlugin);
    reply.reply.status = 503;
    return reply;
  }
  const FunctionInfo* function = caller_->route(request.method, request.path, request.customMethod);
  if (function == nullptr) {
    if (pathHasOtherMethods != nullptr) *pathHasOtherMethods = caller_->anyRouteFits(request.path);
    return std::nullopt;
  }
  return call(*function, std::move(request));
}

std::size_t DevHost::deliverEvent(std::string_view name, const HostValue& payload) {
  SharedUse use(*this);
  return api_.deliverEvent(name, payload);
}

void DevHost::log(std::string_view line) const {
  if (options_.log) {
    options_.log(line);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
}

void DevHost::logRequest(std::string_view method, std::string_view url, std::uint32_t status,
                         std::chrono::steady_clock::duration elapsed) const {
  if (!options_.verbose) return;
  char milliseconds[32];
  std::snprintf(milliseconds, sizeof milliseconds, "%.2f",
                std::chrono::duration<double, std::milli>(elapsed).count());
  log(fillTemplate(messages::kRequestLine,
                   {printable(method), printable(url), std::to_string(status), milliseconds}));
}

std::optional<ScriptedResponse> DevHost::answerFromMocks(const RecordedRequest& request) const {
  for (const MockFolder& mock : mocks_) {
    if (mock.covers(request.url)) return mock.answer(request.method, request.url);
  }
  return std::nullopt;
}

std::optional<ScriptedResponse> DevHost::routeToPlugin(const RecordedRequest& request) {
  SharedUse use(*this);
  if (!caller_) return std::nullopt;
  CallRequest call;
  call.method = request.method;
  call.customMethod = request.customMethod.value_or("");
  call.path = request.url;
  call.headers = request.headers;
  for (const RecordedParameter& parameter : request.parameters) {
    call.arguments.push_back(CallArgument{parameter.name, parameter.value});
  }
  call.contentType = request.contentType;
  call.body = request.body;
  std::optional<CallReply> reply = routeAndCall(std::move(call));
  if (!reply) return std::nullopt;
  return toScripted(*reply);
}

HostValue replyValue(const CallReply& reply) {
  if (!reply.streamedBody) return reply.reply.body;
  std::string ignored;
  std::optional<HostValue> parsed = parseJson(*reply.streamedBody, ignored);
  return parsed ? std::move(*parsed) : HostValue::makeString(*reply.streamedBody);
}

}  // namespace zel::host
