#include "notes_plugin.h"

#include <utility>

#include "api/route_declarer.h"
#include "diagnostics/format.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_tags.h"
#include "diagnostics/logger.h"
#include "plugin/entry.h"

namespace notes {
namespace {

constexpr const char kNotesUri[] = "/zel-notes/v1/notes";
constexpr const char kMapsDocumentUrl[] = "/zel-game-data/assets/v1/maps.json";
constexpr const char kRegionLocaleChanged[] = "OnRegionLocaleChanged";

bool holds(const Note& note, const std::string& text) {
  return note.title.find(text) != std::string::npos || note.text.find(text) != std::string::npos;
}

}  // namespace

void NotesPlugin::registerApi() {
  registry()
      .registerStruct<Note>("ZelNotesNote")
      .field("id", &Note::id, "Given by the plugin")
      .field("title", &Note::title, "What the note is about")
      .field("text", &Note::text);

  zel::RouteDeclarer routes(*this);
  // The version and the statuses below are what /openapi.json tells of the plugin.
  routes.setPluginVersion("1.1.0");
  routes.declare(zel::HttpMethod::Get, kNotesUri, &NotesPlugin::listNotes);
  routes.declare(zel::HttpMethod::Get, "/zel-notes/v1/notes/{id}", &NotesPlugin::getNote)
      .pathArgument("id", "The note's id")
      .errors({{404, "No note has this id"}});
  // A route that reads the query captures it whole with "{+query}".
  routes.declare(zel::HttpMethod::Get, "/zel-notes/v1/search{+query}", &NotesPlugin::searchNotes)
      .pathArgument("query")
      .queryArgument("text", "The text to look for");
  routes.declare(zel::HttpMethod::Post, kNotesUri, &NotesPlugin::addNote)
      .bodyArgument("note", "The note to add")
      .errors({{400, "The note has no title"}});
  routes.declare(zel::HttpMethod::Get, "/zel-notes/v1/maps/count", &NotesPlugin::countMaps)
      .errors({{502, "The game-data plugin did not answer"}});
}

bool NotesPlugin::start() {
  subscribe<zel::BindingValue>(kRegionLocaleChanged, [this](const zel::BindingValue&) {
    zel::log(zel::kLogOkay, zel::kTagDbg, "Region or locale changed; %1 notes kept",
             listNotes().size());
  });
  return true;
}

std::vector<Note> NotesPlugin::listNotes() {
  std::lock_guard lock(mutex_);
  return notes_;
}

zel::Outcome<Note> NotesPlugin::getNote(std::int64_t id) {
  std::lock_guard lock(mutex_);
  for (const Note& note : notes_) {
    if (note.id == id) return note;
  }
  return zel::notFound(zel::formatPositional("No note with id %1", id));
}

std::vector<Note> NotesPlugin::searchNotes(const zel::BindingValue&, const std::string& text) {
  std::vector<Note> found;
  for (Note& note : listNotes()) {
    if (holds(note, text)) found.push_back(std::move(note));
  }
  return found;
}

zel::Outcome<Note> NotesPlugin::addNote(Note note) {
  if (note.title.empty()) return zel::failure("A note needs a title", 400);
  std::vector<Note> notes;
  {
    std::lock_guard lock(mutex_);
    note.id = nextId_++;
    notes_.push_back(note);
    notes = notes_;
  }
  // Published after the lock is released: the host may call back into us.
  publishResource(zel::PluginResourceEventType::Update, kNotesUri, notes);
  zel::log(zel::kLogOkay, zel::kTagDbg, "Note %1 added", note.id);
  return note;
}

zel::Outcome<std::int64_t> NotesPlugin::countMaps() {
  zel::RequestResult<std::vector<zel::BindingValue>> maps =
      request<std::vector<zel::BindingValue>>(zel::HttpMethod::Get, kMapsDocumentUrl);
  if (maps.failed()) return zel::failure("Game data unavailable: " + maps.error().message, 502);
  return static_cast<std::int64_t>(maps.value().size());
}

}  // namespace notes

// load_zel_notes, named by zel_plugin_library(... NAME zel-notes).
ZEL_PLUGIN_ENTRY(notes::NotesPlugin)
