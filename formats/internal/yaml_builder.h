// The consumer of libyaml's parse events that builds one BindingValue: the
// stack of open slots, the anchors with the steps that reach their nodes, the
// pending mapping key, and the bounds on nesting and on what aliases copy.
//
//   YamlBuilder builder(result, text.size());
//   while (parse(&event) && builder.take(event)) ...;   // builder.error() on false
//
// The builder writes into the value it is given (the caller owns it). It keeps
// pointers only to open containers of that tree, which stay valid because a
// container is only written to while it is the innermost open one. Anchored
// nodes are remembered by their path from the root (nodes move as their
// containers grow) and looked up when an alias copies them.
//
// An open mapping keeps its fields in the order the keys arrive, keyed
// through the read's key shapes, and is put into key order when it ends; a
// repeated key reaches the field it already has. A mapping that grows past
// kArrivalOrderFields is put into key order at once and finds its keys by
// search from then on. The shapes hold references into the tree's context:
// releaseShapes() must run before the tree is replaced or dropped.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/key_shapes.h"
#include "binding/value.h"
#include "formats/reader_limits.h"

namespace zel::formats::internal {

class YamlBuilder {
 public:
  // `inputBytes`, the size of the text parsed, sets the byte budget of alias
  // copies (formats::maxAliasExpansionBytes); 0 when unknown leaves its floor.
  explicit YamlBuilder(BindingValue& result, std::size_t inputBytes = 0);

  // Takes one event; false once the read has failed, with the message in error().
  [[nodiscard]] bool take(const yaml_event_t& event);
  [[nodiscard]] const std::string& error() const noexcept { return error_; }
  // Drops the key shapes' references; the read takes no event after it.
  void releaseShapes() noexcept { shapes_.release(); }

 private:
  // What an anchor names: the step that reaches an anchored node, or the
  // text of an anchored mapping key. `open` while the anchored container is
  // being read.
  struct Anchor {
    std::size_t step = 0;
    std::string keyText;
    bool isKey = false;
    bool open = false;
  };
  // One step from a parent step (or the root) to an element or a field. Steps
  // are recorded only for the paths of anchors and shared by every anchor
  // below them, so an anchor costs one number however deep it lies.
  struct Step {
    std::size_t parent;
    std::size_t index;  // of an element
    std::string key;    // of a field
    bool isField;
  };
  // One open slot: the node, the anchor of the container it holds (if any),
  // how it is reached from the slot below (an element index, or its field's
  // key record), its recorded step once an anchor needed it, and for an open
  // mapping, how its keys are found. A slot is pushed for every value of a
  // document, so it is built in place, member by member.
  struct Slot {
    Slot(ValueNode* held, const binding::internal::StringRecord* fieldKey, std::size_t element,
         std::size_t recorded) noexcept
        : node(held),
          anchor(nullptr),
          key(fieldKey),
          index(element),
          step(recorded),
          keyOrder(false),
          cursor() {}

    ValueNode* node;
    Anchor* anchor;
    const binding::internal::StringRecord* key;  // null for an element or the root
    std::size_t index;
    std::size_t step;
    bool keyOrder;  // an open mapping already in key order (field() finds its keys)
    binding::internal::ShapeCursor cursor;  // of an open mapping in arrival order
  };
  // Where the event stands, 1-based, for the messages.
  struct Position {
    std::size_t line;
    std::size_t column;
  };

  void pushElement(ValueNode& collection);
  void pushField();
  // Finds or appends the field of `key` in the innermost open mapping; it
  // becomes the slot of the next event.
  void enterKey(std::string_view key);

  bool takeKey(const yaml_event_t& event, Position at);
  bool takeScalar(ValueNode& slot, const yaml_event_t& event, Position at);
  bool openContainer(ValueNode& slot, const yaml_char_t* anchor, bool isMapping, Position at);
  void closeContainer();
  bool takeAlias(ValueNode& slot, bool awaitingKey, const yaml_event_t& event, Position at);

  // Takes `nodes` nodes, `keyTextBytes` bytes of copied key text and
  // `copiedBytes` bytes of text in all (the key text included) from what
  // aliases may still produce; false (with the message of the first bound
  // passed) when one is exhausted. Runs before anything is copied.
  bool chargeAlias(std::size_t nodes, std::size_t keyTextBytes, std::size_t copiedBytes,
                   const char* name, Position at);
  // Enters an anchor; null (and the duplicate message) when the name is taken.
  Anchor* addAnchor(const yaml_char_t* name, Position at);
  // The recorded step of the innermost open slot, recording it (and the
  // slots below it) first where needed.
  std::size_t currentStep();
  // The node a recorded step reaches, or the shared empty node when the tree
  // no longer has one there; `open` tells whether it is still being read.
  [[nodiscard]] const ValueNode& resolve(std::size_t step, bool& open);
  // Puts every mapping of `copy` into key order: a copy of an open node
  // takes the arrival order of the mappings still being read.
  void putInKeyOrder(ValueNode& copy);
  // What a copy of the tree under a node costs: its nodes, the bytes of its
  // strings, keys and blobs, and the number of nested containers it holds.
  struct Cost {
    std::size_t nodes;
    std::size_t bytes;
    std::size_t height;
  };
  // The cost of copying `source`; the count stops once the nodes pass
  // `nodeLimit` or the bytes pass `byteLimit`, which is over as well.
  Cost measure(const ValueNode& source, std::size_t nodeLimit, std::size_t byteLimit);

  bool fail(std::string message);

  BindingValue& result_;
  std::vector<Slot> slots_;
  binding::internal::KeyShapes shapes_;
  std::vector<Step> steps_;
  std::vector<std::size_t> chain_;
  std::unordered_map<std::string, Anchor> anchors_;
  // The field of the key just read, filled by the next event.
  Field* pendingField_ = nullptr;
  unsigned documents_ = 0;
  std::size_t depth_ = 0;  // open containers
  std::size_t aliasNodesLeft_ = kMaxAliasNodes;
  std::size_t aliasTextLeft_ = kMaxAliasTextBytes;
  std::size_t aliasBytesBudget_;
  std::size_t aliasBytesLeft_;
  std::vector<std::pair<const ValueNode*, std::size_t>> walk_;
  std::vector<ValueNode*> copies_;
  std::string error_;
};

}  // namespace zel::formats::internal
