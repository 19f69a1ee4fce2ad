// The host's names for the records a plugin describes its API with: the
// 90-byte function record (a 61-byte function description followed by the
// routing data), its argument-location and text-list nodes, and the argument,
// type, field, enumerator and event descriptions. They are the library's own
// boundary layouts (boundary/description_records.h), read through these names.
//
//   const auto* record = static_cast<const FunctionRecordView*>(words.functions);
//   FunctionCallbackView callback = record->callback;   // called with (response, request)
//
// The plugin owns every record and text until it is unloaded; the host only reads.
#pragma once

#include "boundary/description_records.h"

namespace zel::host {

using ArgumentDescriptionView = ArgumentDescription;
using FunctionDescriptionView = FunctionDescription;
using FunctionCallbackView = FunctionCallback;
using LocationNodeView = ArgumentLocationNode;
using TextListNodeView = TextListNode;
using FunctionRecordView = FunctionRecord;
using FieldDescriptionView = FieldDescription;
using EnumeratorDescriptionView = EnumeratorDescription;
using TypeDescriptionView = TypeDescription;
using EventDescriptionView = EventDescription;

}  // namespace zel::host
