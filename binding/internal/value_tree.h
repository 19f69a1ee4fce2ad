// The walks over whole value trees: teardown and deep copy. Both run in a
// loop without recursion, so a tree of any depth is safe.
//
//   releasePayload(kind, payload, context);        // frees everything below
//   DetachedNode copy(context);                    // built apart from the target
//   copyTree(copy.node(), source, context);        // then installed with take()
//
// Records come from the context's cell pools, arrays and texts from
// zel::memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/value.h"
#include "binding/value_records.h"

namespace zel::binding::internal {

// Frees what a payload of `kind` holds, the whole subtree included. The
// context may be null only for payloads that hold no storage.
void releasePayload(std::uint8_t kind, NodeAccess::Payload payload, ValueContext* context) noexcept;

// The same for the root of a standalone value, then deletes `context` (which
// may be null). Nothing but this tree refers to the context's texts, so each
// is freed as its count reaches zero without being taken out of the intern
// table one by one; the table goes with the context.
void releaseRootAndContext(std::uint8_t kind, NodeAccess::Payload payload,
                           ValueContext* context) noexcept;

// Copies `source` into `target`, an empty node whose context is `context`.
// Texts are interned in `context` (just counted again when the source lives
// in the same context). Throws std::bad_alloc when memory is exhausted, leaving
// `target` a consistent partial copy for the caller to release.
void copyTree(ValueNode& target, const ValueNode& source, ValueContext* context);

// A node of no tree: the shared empty node, or a local under construction.
struct LooseNode final : ValueNode {
  constexpr LooseNode() noexcept = default;
};

// An empty node in local storage whose content is released unless taken.
class DetachedNode {
 public:
  explicit DetachedNode(ValueContext* context) noexcept { NodeAccess::context(node_) = context; }
  DetachedNode(const DetachedNode&) = delete;
  DetachedNode& operator=(const DetachedNode&) = delete;
  ~DetachedNode() {
    ValueNode& held = node();
    releasePayload(NodeAccess::kind(held), NodeAccess::payload(held), NodeAccess::context(held));
  }

  [[nodiscard]] ValueNode& node() noexcept { return node_; }

  // Moves the content into `target`, which must be empty, and empties this.
  void moveInto(ValueNode& target) noexcept {
    ValueNode& held = node();
    NodeAccess::kind(target) = NodeAccess::kind(held);
    NodeAccess::payload(target) = NodeAccess::payload(held);
    NodeAccess::kind(held) = 0;
    NodeAccess::payload(held).raw = 0;
  }

 private:
  LooseNode node_;
};

// New records, built completely before they are handed out.
[[nodiscard]] ArrayRecord* newArrayRecord(ValueContext& context);
[[nodiscard]] ArrayRecord* newBlobRecord(ValueContext& context, const void* bytes,
                                         std::size_t count);
[[nodiscard]] EnumRecord* newEnumRecord(ValueContext& context, std::int32_t number,
                                        std::uint32_t typeId);
// Grows the array of a collection (nodes) or structure (fields) to at least
// `capacity` entries of `entryBytes` each.
void growArray(ArrayRecord& record, std::size_t capacity, std::size_t entryBytes);

}  // namespace zel::binding::internal
