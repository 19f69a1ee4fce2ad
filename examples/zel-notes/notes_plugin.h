// NotesPlugin: the plugin object of zel-notes, a small example of a plugin
// built on the installed SDK. It keeps a list of notes in memory from load to
// shutdown, announces every change of the list with a resource event, logs
// region and locale changes, and asks the game-data plugin how many maps it
// knows.
//
//   GET  /zel-notes/v1/notes                 every note
//   GET  /zel-notes/v1/notes/{id}            one note; 404 when there is none
//   GET  /zel-notes/v1/search?text=...       the notes whose title or text holds text
//   POST /zel-notes/v1/notes                 adds the body's note; 400 without a title
//   GET  /zel-notes/v1/maps/count            the game-data plugin's maps, counted
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "api/outcome.h"
#include "binding/value.h"
#include "plugin/plugin_base.h"

// The plugin's own namespace: the SDK's names are written zel::.
namespace notes {

struct Note {
  std::int64_t id = 0;  // given by the plugin; a posted note's id is ignored
  std::string title;
  std::string text;
};

class NotesPlugin final : public zel::PluginBase {
 public:
  void registerApi() override;
  bool start() override;

  [[nodiscard]] std::vector<Note> listNotes();
  [[nodiscard]] zel::Outcome<Note> getNote(std::int64_t id);
  [[nodiscard]] std::vector<Note> searchNotes(const zel::BindingValue& query,
                                              const std::string& text);
  [[nodiscard]] zel::Outcome<Note> addNote(Note note);
  [[nodiscard]] zel::Outcome<std::int64_t> countMaps();

 private:
  // Guards the notes; never held while the plugin calls the host.
  std::mutex mutex_;
  std::vector<Note> notes_;
  std::int64_t nextId_ = 1;
};

}  // namespace notes
