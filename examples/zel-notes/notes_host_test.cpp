// The plugin's own test, with the SDK's GoogleTest fixture: each test loads
// the built library afresh under the SDK's recording host, as the platform's
// host does. Run as notes_host_test PLUGIN_LIBRARY.
#include <algorithm>

#include "host/fakes/plugin_test.h"

namespace notes {
namespace {

using zel::host::PluginReply;

class NotesTest : public zel::host::PluginTest {};

TEST_F(NotesTest, LoadsAsZelNotes) {
  EXPECT_EQ(plugin().library().entryName(), "load_zel_notes");
  EXPECT_EQ(plugin().shortName(), "zel-notes");
}

TEST_F(NotesTest, LogsARegionOrLocaleChange) {
  EXPECT_TRUE(std::ranges::any_of(host().activeSubscriptions(), [](const auto& subscription) {
    return subscription.eventName == "OnRegionLocaleChanged";
  }));
  EXPECT_EQ(host().deliverEvent("OnRegionLocaleChanged", zel::host::HostValue::makeNone()), 1u);
  ASSERT_FALSE(host().logs().empty());
  EXPECT_EQ(host().logs().back().text, "Region or locale changed; 0 notes kept");
}

TEST_F(NotesTest, AddsANoteAndAnnouncesTheList) {
  PluginReply added = post("/zel-notes/v1/notes", R"({"title": "Ferry", "text": "noon"})");
  ASSERT_FALSE(added.error) << *added.error;
  EXPECT_EQ(added.json(), R"({"id": 1, "text": "noon", "title": "Ferry"})");
  EXPECT_EQ(host().logs().back().text, "Note 1 added");

  const auto events = host().sentEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].name, "OnJsonApiEvent_zel-notes_v1_notes");
  EXPECT_EQ(events[1].name, "OnJsonApiEvent");
  EXPECT_EQ(events[0].payload.find("eventType")->bytes, "Update");

  EXPECT_EQ(get("/zel-notes/v1/search?text=noo").body.elements.size(), 1u);
  EXPECT_EQ(post("/zel-notes/v1/notes", R"({"text": "no title"})").status, 400u);
}

TEST_F(NotesTest, CountsTheMapsOfTheGameData) {
  host().answer(zel::kMethodGet, "/zel-game-data/assets/v1/maps.json",
                zel::host::ScriptedResponse::withStreamedText(R"([{"id": 1}, {"id": 2}])"));
  EXPECT_EQ(get("/zel-notes/v1/maps/count").json(), "2");

  host().answer(zel::kMethodGet, "/zel-game-data/assets/v1/maps.json",
                zel::host::ScriptedResponse::withError("Not here", 404));
  PluginReply failed = get("/zel-notes/v1/maps/count");
  EXPECT_EQ(failed.status, 502u);
  EXPECT_EQ(failed.error,
            "Game data unavailable: Error response for GET "
            "/zel-game-data/assets/v1/maps.json: Not here");
}

}  // namespace
}  // namespace notes

int main(int argc, char** argv) {
  return zel::host::runPluginTests(argc, argv);
}
