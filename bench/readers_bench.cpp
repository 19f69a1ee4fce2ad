// Reading one realistic document (a map catalogue of a few MB: records of
// about fifteen mixed fields, nested maps and lists, repeated and unique
// strings) with our JSON, MessagePack and YAML readers, against their peers
// in the same run: RapidJSON's DOM, msgpack-cxx's unpack and yaml-cpp's Load,
// and the floors (RapidJSON's event reader with a do-nothing handler, libyaml
// events only). Each reader builds and drops its whole result per iteration.
// At the end the goal rows (ratios to the peers and floors, drop against
// build, bytes held against RapidJSON's DOM) are printed for scripts/bench.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <yaml.h>

#include <strings.h>
#include <yaml-cpp/yaml.h>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <msgpack.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/goal_table.h"
#include "binding/internal/intern_table.h"
#include "binding/internal/page_pool.h"
#include "formats/internal/yaml_builder.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "host/host_value.h"
#include "memory/memory.h"

namespace {

// --- The generated document -----------------------------------------------------------------

// A plain tree the three encodings are written from.
struct Doc {
  enum class Kind { Null, Bool, Int, Float, Text, List, Map };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0.0;
  bool flag = false;
  std::string text;
  std::vector<Doc> list;
  std::vector<std::pair<std::string, Doc>> map;

  static Doc of(std::int64_t v) {
    Doc d;
    d.kind = Kind::Int;
    d.integer = v;
    return d;
  }
  static Doc of(double v) {
    Doc d;
    d.kind = Kind::Float;
    d.real = v;
    return d;
  }
  static Doc of(bool v) {
    Doc d;
    d.kind = Kind::Bool;
    d.flag = v;
    return d;
  }
  static Doc of(std::string v) {
    Doc d;
    d.kind = Kind::Text;
    d.text = std::move(v);
    return d;
  }
  static Doc of(const char* v) { return of(std::string(v)); }
  static Doc list_() {
    Doc d;
    d.kind = Kind::List;
    return d;
  }
  static Doc map_() {
    Doc d;
    d.kind = Kind::Map;
    return d;
  }
  Doc& add(std::string key, Doc value) {
    map.emplace_back(std::move(key), std::move(value));
    return *this;
  }
  Doc& push(Doc value) {
    list.push_back(std::move(value));
    return *this;
  }
};

// Deterministic pseudo-random numbers, so every run reads the same bytes.
struct Random {
  std::uint32_t state = 12345;
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }
};

Doc catalogue(std::size_t records) {
  static const char* const kModes[] = {"MODE_A", "MODE_B", "MODE_C", "MODE_D", "MODE_E", "MODE_F"};
  static const char* const kMutators[] = {"", "MUTATOR_WINTER", "MUTATOR_HARBOR", "MUTATOR_NIGHT"};
  static const char* const kPlatforms[] = {"EU1", "NA1", "KR1", "BR1", "JP1", "OC1"};
  static const char* const kTags[] = {"ranked",   "draft",  "blind",   "featured",
                                      "rotating", "custom", "training"};
  static const char* const kAssets[] = {"ambient-sound", "icon-active",  "icon-hover",
                                        "icon-defeat",   "icon-victory", "preview-north",
                                        "preview-south", "background"};
  static const char* const kWords[] = {"river",  "forest", "bridge", "tower", "field",
                                       "harbor", "canyon", "valley", "snow",  "desert",
                                       "island", "ridge",  "meadow", "lake"};
  Random random;
  Doc root = Doc::map_();
  Doc list = Doc::list_();
  for (std::size_t i = 0; i < records; ++i) {
    const std::int64_t id = 10 + static_cast<std::int64_t>(i);
    const std::string idText = std::to_string(id);
    const std::string mode = kModes[random.below(6)];
    std::string description;
    for (int w = 0; w < 14; ++w) {
      if (w != 0) description += ' ';
      description += kWords[random.below(14)];
    }
    description += ' ';
    description += std::to_string(random.next());
    Doc assets = Doc::map_();
    for (const char* asset : kAssets) {
      if (random.below(4) == 0) continue;
      std::string path = "zel-game-data/assets/maps/";
      path += mode;
      path += "/img/";
      path += asset;
      path += '-';
      path += idText;
      path += ".png";
      assets.add(asset, Doc::of(std::move(path)));
    }
    Doc tags = Doc::list_();
    for (std::uint32_t t = 0, n = 1 + random.below(4); t < n; ++t)
      tags.push(Doc::of(kTags[random.below(7)]));
    Doc bundles = Doc::map_();
    for (std::uint32_t b = 0, n = random.below(3); b < n; ++b) {
      Doc bundle = Doc::map_();
      bundle.add("fileType", Doc::of("png"))
          .add("size", Doc::of(static_cast<std::int64_t>(random.below(1 << 20))))
          .add("variants",
               Doc::list_().push(Doc::of(std::int64_t{1})).push(Doc::of(std::int64_t{2})));
      bundles.add("bundle" + std::to_string(b), std::move(bundle));
    }
    std::string name = kWords[random.below(14)];
    name += " map ";
    name += idText;
    Doc record = Doc::map_();
    record.add("id", Doc::of(id))
        .add("mapStringId", Doc::of("MAP" + std::to_string(id % 40)))
        .add("name", Doc::of(std::move(name)))
        .add("description", Doc::of(std::move(description)))
        .add("gameMode", Doc::of(mode))
        .add("gameModeName", Doc::of(mode + " name"))
        .add("gameModeShortName", Doc::of(mode))
        .add("gameMutator", Doc::of(kMutators[random.below(4)]))
        .add("platformId", Doc::of(kPlatforms[random.below(6)]))
        .add("isRGM", Doc::of(random.below(5) == 0))
        .add("isDefault", Doc::of(random.below(3) == 0))
        .add("ratio", Doc::of(static_cast<double>(random.below(10000)) / 137.0))
        .add("offset", Doc::of(-static_cast<std::int64_t>(random.below(70000))))
        .add("tags", std::move(tags))
        .add("assets", std::move(assets))
        .add("properties", Doc::map_()
                               .add("bundles", std::move(bundles))
                               .add("hideSelection", Doc::of(random.below(2) == 0))
                               .add("mapType", Doc::of(static_cast<std::int64_t>(random.below(4))))
                               .add("note", Doc()));
    list.push(std::move(record));
  }
  root.add("version", Doc::of("14.3.1")).add("count", Doc::of(static_cast<std::int64_t>(records)));
  root.add("maps", std::move(list));
  return root;
}

// --- Writers for the three encodings ---------------------------------------------------------

void writeJsonText(std::string& out, const std::string& text) {
  out += zel::host::HostValue::makeString(text).toText();
}

void writeJson(std::string& out, const Doc& doc) {
  switch (doc.kind) {
    case Doc::Kind::Null:
      out += "null";
      break;
    case Doc::Kind::Bool:
      out += doc.flag ? "true" : "false";
      break;
    case Doc::Kind::Int:
      out += std::to_string(doc.integer);
      break;
    case Doc::Kind::Float: {
      char n[32];
      std::snprintf(n, sizeof n, "%.17g", doc.real);
      out += n;
      break;
    }
    case Doc::Kind::Text:
      writeJsonText(out, doc.text);
      break;
    case Doc::Kind::List:
      out += '[';
      for (std::size_t i = 0; i < doc.list.size(); ++i) {
        if (i) out += ',';
        writeJson(out, doc.list[i]);
      }
      out += ']';
      break;
    case Doc::Kind::Map:
      out += '{';
      for (std::size_t i = 0; i < doc.map.size(); ++i) {
        if (i) out += ',';
        writeJsonText(out, doc.map[i].first);
        out += ':';
        writeJson(out, doc.map[i].second);
      }
      out += '}';
      break;
  }
}

void putBig(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

void writeMsgpackText(std::string& out, const std::string& text) {
  const std::size_t n = text.size();
  if (n < 32)
    out += static_cast<char>(0xa0 | n);
  else if (n < 256) {
    out += '\xd9';
    putBig(out, n, 1);
  } else if (n < 65536) {
    out += '\xda';
    putBig(out, n, 2);
  } else {
    out += '\xdb';
    putBig(out, n, 4);
  }
  out += text;
}

void writeMsgpackHeader(std::string& out, std::size_t n, unsigned fix, char b16, char b32) {
  if (n < 16)
    out += static_cast<char>(fix | n);
  else if (n < 65536) {
    out += b16;
    putBig(out, n, 2);
  } else {
    out += b32;
    putBig(out, n, 4);
  }
}

void writeMsgpack(std::string& out, const Doc& doc) {
  switch (doc.kind) {
    case Doc::Kind::Null:
      out += '\xc0';
      break;
    case Doc::Kind::Bool:
      out += doc.flag ? '\xc3' : '\xc2';
      break;
    case Doc::Kind::Int:
      if (doc.integer >= 0 && doc.integer < 128)
        out += static_cast<char>(doc.integer);
      else if (doc.integer >= -32 && doc.integer < 0)
        out += static_cast<char>(doc.integer);
      else if (doc.integer >= 0) {
        out += '\xce';
        putBig(out, static_cast<std::uint64_t>(doc.integer), 4);
      } else {
        out += '\xd2';
        putBig(out, static_cast<std::uint32_t>(doc.integer), 4);
      }
      break;
    case Doc::Kind::Float: {
      std::uint64_t bits;
      std::memcpy(&bits, &doc.real, sizeof bits);
      out += '\xcb';
      putBig(out, bits, 8);
      break;
    }
    case Doc::Kind::Text:
      writeMsgpackText(out, doc.text);
      break;
    case Doc::Kind::List:
      writeMsgpackHeader(out, doc.list.size(), 0x90, '\xdc', '\xdd');
      for (const Doc& element : doc.list) writeMsgpack(out, element);
      break;
    case Doc::Kind::Map:
      writeMsgpackHeader(out, doc.map.size(), 0x80, '\xde', '\xdf');
      for (const auto& [key, value] : doc.map) {
        writeMsgpackText(out, key);
        writeMsgpack(out, value);
      }
      break;
  }
}

// Plain where the text cannot be mistaken for anything else, double-quoted otherwise.
void writeYamlText(std::string& out, const std::string& text) {
  bool plain =
      !text.empty() && std::isalpha(static_cast<unsigned char>(text[0])) && text.back() != ' ';
  for (char c : text) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '.' || c == '-' ||
          c == '_' || c == '/'))
      plain = false;
  }
  static const char* const kReserved[] = {"y",  "Y",   "n",    "N",     "yes", "no",
                                          "on", "off", "true", "false", "null"};
  for (const char* word : kReserved) {
    if (strcasecmp(text.c_str(), word) == 0) plain = false;
  }
  if (plain) {
    out += text;
    return;
  }
  writeJsonText(out, text);
}

bool isScalar(const Doc& doc) {
  return doc.kind != Doc::Kind::List && doc.kind != Doc::Kind::Map;
}

void writeYamlScalar(std::string& out, const Doc& doc) {
  if (doc.kind == Doc::Kind::Null)
    out += '~';
  else if (doc.kind == Doc::Kind::Text)
    writeYamlText(out, doc.text);
  else
    writeJson(out, doc);
}

void writeYamlBlock(std::string& out, const Doc& doc, int indent);

// A value after "key:" or "- ": scalars and short scalar lists on the same line.
void writeYamlValue(std::string& out, const Doc& value, int indent) {
  if (isScalar(value)) {
    out += ' ';
    writeYamlScalar(out, value);
    out += '\n';
    return;
  }
  bool flow = value.kind == Doc::Kind::List;
  for (const Doc& element : value.list) flow = flow && isScalar(element);
  if (flow || (value.list.empty() && value.map.empty())) {
    out += value.kind == Doc::Kind::List ? " [" : " {";
    for (std::size_t i = 0; i < value.list.size(); ++i) {
      if (i) out += ", ";
      writeYamlScalar(out, value.list[i]);
    }
    out += value.kind == Doc::Kind::List ? "]\n" : "}\n";
    return;
  }
  out += '\n';
  writeYamlBlock(out, value, indent + 2);
}

void writeYamlBlock(std::string& out, const Doc& doc, int indent) {
  const std::string pad(static_cast<std::size_t>(indent), ' ');
  if (doc.kind == Doc::Kind::Map) {
    for (const auto& [key, value] : doc.map) {
      out += pad;
      writeYamlText(out, key);
      out += ':';
      writeYamlValue(out, value, indent);
    }
  } else {
    for (const Doc& element : doc.list) {
      out += pad;
      out += "-";
      if (element.kind == Doc::Kind::Map && !element.map.empty()) {
        // The first key shares the dash's line.
        std::string nested;
        writeYamlBlock(nested, element, indent + 2);
        out += nested.substr(static_cast<std::size_t>(indent) + 1);
      } else {
        writeYamlValue(out, element, indent);
      }
    }
  }
}

struct Inputs {
  std::string json;
  std::string msgpack;
  std::string yaml;
};

const Inputs& inputs() {
  static const Inputs kInputs = [] {
    const Doc doc = catalogue(4000);
    Inputs in;
    writeJson(in.json, doc);
    writeMsgpack(in.msgpack, doc);
    writeYamlBlock(in.yaml, doc, 0);
    return in;
  }();
  return kInputs;
}

// Our readers must read the whole document, or the timings say nothing.
bool readsWhole(benchmark::State& state, const zel::BindingValue& value) {
  if (!value.ok()) {
    state.SkipWithError(std::string(value.errorMessage()).c_str());
    return false;
  }
  if (value.find("maps").size() != 4000) {
    state.SkipWithError("the value misses records");
    return false;
  }
  return true;
}

// --- JSON ------------------------------------------------------------------------------------

void BM_JsonZel(benchmark::State& state) {
  const std::string& text = inputs().json;
  if (!readsWhole(state, zel::readJson(text.c_str()))) return;
  for (auto _ : state) {
    zel::BindingValue value = zel::readJson(text.c_str());
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_JsonRapidJsonDom(benchmark::State& state) {
  const std::string& text = inputs().json;
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.c_str());
    benchmark::DoNotOptimize(document);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_JsonRapidJsonSaxFloor(benchmark::State& state) {
  const std::string& text = inputs().json;
  for (auto _ : state) {
    rapidjson::Reader reader;
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::StringStream stream(text.c_str());
    benchmark::DoNotOptimize(reader.Parse(stream, handler));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Every text and key of a document interned into one table and released at
// the end: the share of any read that the value model's interning fixes
// (FNV-1a hash, lookup, a counted record per distinct text), before a single
// node is built.
class InternedTexts {
 public:
  InternedTexts() { records_.reserve(1 << 17); }
  InternedTexts(const InternedTexts&) = delete;
  InternedTexts& operator=(const InternedTexts&) = delete;
  ~InternedTexts() {
    for (auto* record : records_) table_.release(record);
  }
  void add(const char* text, std::size_t length) {
    records_.push_back(table_.intern(std::string_view(text, length)));
  }

 private:
  zel::binding::internal::InternTable table_;
  std::vector<zel::binding::internal::StringRecord*> records_;
};

struct InterningJsonHandler
    : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, InterningJsonHandler> {
  InternedTexts* texts;
  bool String(const char* text, rapidjson::SizeType length, bool) {
    texts->add(text, length);
    return true;
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    texts->add(text, length);
    return true;
  }
};

void BM_JsonRapidJsonSaxInternFloor(benchmark::State& state) {
  const std::string& text = inputs().json;
  for (auto _ : state) {
    InternedTexts texts;
    rapidjson::Reader reader;
    InterningJsonHandler handler;
    handler.texts = &texts;
    rapidjson::StringStream stream(text.c_str());
    benchmark::DoNotOptimize(reader.Parse(stream, handler));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// --- MessagePack -----------------------------------------------------------------------------

void BM_MsgpackZel(benchmark::State& state) {
  const std::string& bytes = inputs().msgpack;
  zel::MessagePackReader check(bytes.data(), bytes.size());
  if (!readsWhole(state, check.read())) return;
  for (auto _ : state) {
    zel::MessagePackReader reader(bytes.data(), bytes.size());
    zel::BindingValue value = reader.read();
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_MsgpackCxxUnpack(benchmark::State& state) {
  const std::string& bytes = inputs().msgpack;
  for (auto _ : state) {
    msgpack::object_handle handle = msgpack::unpack(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(handle.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// msgpack-cxx's parser with a visitor that only counts the items (no object
// is built), and the same with every text interned.
struct CountingVisitor : msgpack::null_visitor {
  std::size_t items = 0;
  InternedTexts* texts = nullptr;
  bool visit_nil() { return ++items != 0; }
  bool visit_boolean(bool) { return ++items != 0; }
  bool visit_positive_integer(std::uint64_t) { return ++items != 0; }
  bool visit_negative_integer(std::int64_t) { return ++items != 0; }
  bool visit_float32(float) { return ++items != 0; }
  bool visit_float64(double) { return ++items != 0; }
  bool visit_str(const char* text, std::uint32_t size) {
    if (texts != nullptr) texts->add(text, size);
    return ++items != 0;
  }
  bool visit_bin(const char*, std::uint32_t) { return ++items != 0; }
  bool start_array(std::uint32_t) { return ++items != 0; }
  bool start_map(std::uint32_t) { return ++items != 0; }
  void parse_error(std::size_t, std::size_t) {}
  void insufficient_bytes(std::size_t, std::size_t) {}
};

void visitMsgpack(benchmark::State& state, bool intern) {
  const std::string& bytes = inputs().msgpack;
  for (auto _ : state) {
    std::optional<InternedTexts> texts;
    CountingVisitor visitor;
    if (intern) visitor.texts = &texts.emplace();
    std::size_t offset = 0;
    if (!msgpack::parse(bytes.data(), bytes.size(), offset, visitor)) {
      state.SkipWithError("msgpack::parse failed");
      return;
    }
    benchmark::DoNotOptimize(visitor.items);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_MsgpackCxxVisitFloor(benchmark::State& state) {
  visitMsgpack(state, false);
}

void BM_MsgpackCxxVisitInternFloor(benchmark::State& state) {
  visitMsgpack(state, true);
}

// --- YAML ------------------------------------------------------------------------------------

void BM_YamlZel(benchmark::State& state) {
  const std::string& text = inputs().yaml;
  if (!readsWhole(state, zel::readYaml(text))) return;
  for (auto _ : state) {
    zel::BindingValue value = zel::readYaml(text);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_YamlCppLoad(benchmark::State& state) {
  const std::string& text = inputs().yaml;
  for (auto _ : state) {
    YAML::Node node = YAML::Load(text);
    benchmark::DoNotOptimize(node);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// A libyaml parser over `text`, as our reader sets it up.
inline void startYamlParser(yaml_parser_t& parser, const std::string& text) {
  yaml_parser_initialize(&parser);
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
}

void parseYamlEvents(benchmark::State& state, bool intern) {
  const std::string& text = inputs().yaml;
  for (auto _ : state) {
    std::optional<InternedTexts> texts;
    if (intern) texts.emplace();
    yaml_parser_t parser;
    startYamlParser(parser, text);
    yaml_event_t event;
    while (yaml_parser_parse(&parser, &event) != 0) {
      if (texts && event.type == YAML_SCALAR_EVENT) {
        texts->add(reinterpret_cast<const char*>(event.data.scalar.value),
                   event.data.scalar.length);
      }
      const bool end = event.type == YAML_STREAM_END_EVENT;
      yaml_event_delete(&event);
      if (end) break;
    }
    yaml_parser_delete(&parser);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The YAML builder alone: libyaml's events for the document are parsed
// once and kept, and every iteration builds (and drops) the tree from them.
// Against the events floor, this is the share of a read the builder takes
// by itself, interning included.
class RecordedEvents {
 public:
  RecordedEvents() {
    const std::string& text = inputs().yaml;
    yaml_parser_t parser;
    startYamlParser(parser, text);
    yaml_event_t event;
    while (yaml_parser_parse(&parser, &event) != 0) {
      events_.push_back(event);
      if (event.type == YAML_STREAM_END_EVENT) break;
    }
    yaml_parser_delete(&parser);
  }
  RecordedEvents(const RecordedEvents&) = delete;
  RecordedEvents& operator=(const RecordedEvents&) = delete;
  ~RecordedEvents() {
    for (yaml_event_t& event : events_) yaml_event_delete(&event);
  }
  [[nodiscard]] const std::vector<yaml_event_t>& events() const noexcept { return events_; }

 private:
  std::vector<yaml_event_t> events_;
};

void BM_YamlBuilderAlone(benchmark::State& state) {
  const RecordedEvents recorded;
  for (auto _ : state) {
    zel::BindingValue result;
    zel::formats::internal::YamlBuilder builder(result);
    for (const yaml_event_t& event : recorded.events()) {
      if (!builder.take(event)) {
        state.SkipWithError("the recorded events do not build");
        return;
      }
    }
    builder.releaseShapes();
    benchmark::DoNotOptimize(result);
  }
}

void BM_YamlLibyamlEventsFloor(benchmark::State& state) {
  parseYamlEvents(state, false);
}

void BM_YamlLibyamlEventsInternFloor(benchmark::State& state) {
  parseYamlEvents(state, true);
}

// Building alone and dropping alone, for the share of the drop in a read.
// Each times one half of the work and pauses the clock over the other.
zel::BindingValue readJsonInput() {
  return zel::readJson(inputs().json.c_str());
}
zel::BindingValue readMsgpackInput() {
  zel::MessagePackReader reader(inputs().msgpack.data(), inputs().msgpack.size());
  return reader.read();
}
zel::BindingValue readYamlInput() {
  return zel::readYaml(inputs().yaml);
}

template <zel::BindingValue (*kRead)()>
void BM_BuildOnly(benchmark::State& state) {
  std::optional<zel::BindingValue> value;
  for (auto _ : state) {
    value.emplace(kRead());
    benchmark::DoNotOptimize(*value);
    state.PauseTiming();
    value.reset();
    state.ResumeTiming();
  }
}

template <zel::BindingValue (*kRead)()>
void BM_DropOnly(benchmark::State& state) {
  std::optional<zel::BindingValue> value;
  for (auto _ : state) {
    state.PauseTiming();
    value.emplace(kRead());
    state.ResumeTiming();
    value.reset();
  }
}

BENCHMARK(BM_JsonZel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonRapidJsonDom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonRapidJsonSaxFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonRapidJsonSaxInternFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MsgpackZel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MsgpackCxxUnpack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MsgpackCxxVisitFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MsgpackCxxVisitInternFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlZel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlCppLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlLibyamlEventsFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlLibyamlEventsInternFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlBuilderAlone)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_BuildOnly, readJsonInput)
    ->Name("BM_JsonBuildOnly")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DropOnly, readJsonInput)
    ->Name("BM_JsonDropOnly")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_BuildOnly, readMsgpackInput)
    ->Name("BM_MsgpackBuildOnly")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DropOnly, readMsgpackInput)
    ->Name("BM_MsgpackDropOnly")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_BuildOnly, readYamlInput)
    ->Name("BM_YamlBuildOnly")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DropOnly, readYamlInput)
    ->Name("BM_YamlDropOnly")
    ->Unit(benchmark::kMillisecond);

// Bytes a JSON tree holds against RapidJSON's DOM of the same text: the
// counting allocator's live bytes plus the cell-pool reservations taken
// meanwhile, against the capacity of the document's pool allocator.
void printMemoryRow() {
  namespace bi = zel::binding::internal;
  const std::string& text = inputs().json;
  const std::int64_t liveBefore = zel::memory::liveBytes();
  const std::size_t reservationsBefore = bi::PagePool::instance().reservationCountForTest();
  double ours = 0;
  {
    const zel::BindingValue value = zel::readJson(text.c_str());
    const std::size_t reservations =
        bi::PagePool::instance().reservationCountForTest() - reservationsBefore;
    ours = static_cast<double>(zel::memory::liveBytes() - liveBefore) +
           static_cast<double>(reservations * bi::PagePool::kReservationBytes);
  }
  rapidjson::Document document;
  document.Parse(text.c_str());
  const auto theirs = static_cast<double>(document.GetAllocator().Capacity());
  zel::bench::GoalReporter::printRow("8", "JSON tree bytes", "readJson tree", ours / 1048576.0,
                                     "RapidJSON DOM", theirs / 1048576.0, ours / theirs, 1.5, false,
                                     "MiB");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Inputs& in = inputs();
  std::printf("document: JSON %zu bytes, MessagePack %zu bytes, YAML %zu bytes\n", in.json.size(),
              in.msgpack.size(), in.yaml.size());
  zel::bench::GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.row("1", "JSON read", "BM_JsonZel", "BM_JsonRapidJsonDom", 1.5);
  reporter.row("1", "JSON read (floor)", "BM_JsonZel", "BM_JsonRapidJsonSaxFloor", 0);
  // What interning every text costs before any node is built: the event
  // reader plus interning, against the DOM (its share of the 1.5 allowed).
  reporter.row("1", "JSON: events + interning alone vs DOM", "BM_JsonRapidJsonSaxInternFloor",
               "BM_JsonRapidJsonDom", 0);
  reporter.row("2", "MessagePack read", "BM_MsgpackZel", "BM_MsgpackCxxUnpack", 2.0);
  reporter.row("2", "MessagePack read (visitor floor)", "BM_MsgpackZel", "BM_MsgpackCxxVisitFloor",
               0);
  reporter.row("2", "MessagePack: visit + interning alone vs unpack",
               "BM_MsgpackCxxVisitInternFloor", "BM_MsgpackCxxUnpack", 0);
  reporter.row("2", "MessagePack vs our JSON", "BM_MsgpackZel", "BM_JsonZel", 0.75);
  reporter.row("3", "YAML read (floor)", "BM_YamlZel", "BM_YamlLibyamlEventsFloor", 1.3);
  reporter.row("3", "YAML: events + interning alone vs events", "BM_YamlLibyamlEventsInternFloor",
               "BM_YamlLibyamlEventsFloor", 0);
  reporter.row("3", "YAML: our builder alone on recorded events vs events", "BM_YamlBuilderAlone",
               "BM_YamlLibyamlEventsFloor", 0);
  // At least 7x faster: yaml-cpp's time over ours.
  reporter.row("3", "YAML speed-up over yaml-cpp", "BM_YamlCppLoad", "BM_YamlZel", 7.0, true);
  reporter.row("4", "JSON drop / build", "BM_JsonDropOnly", "BM_JsonBuildOnly", 0.25);
  reporter.row("4", "MessagePack drop / build", "BM_MsgpackDropOnly", "BM_MsgpackBuildOnly", 0.25);
  reporter.row("4", "YAML drop / build", "BM_YamlDropOnly", "BM_YamlBuildOnly", 0.25);
  printMemoryRow();
  benchmark::Shutdown();
  return 0;
}
