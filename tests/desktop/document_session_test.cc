// The window's logic without a display: the document session (title, undo texts, save,
// revert, the closing question), the selection across the panes and the commands.

#include "desktop/document_session.h"

#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "desktop/document_commands.h"
#include "desktop/window_layout.h"
#include "desktop/window_services.h"
#include "export/export_record.h"
#include "model/config.h"
#include "model/document_records.h"
#include "model/hypertext.h"
#include "model/node_actions.h"
#include "model/node.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;
using test::ChildNames;
using test::CollectingMessages;
using test::ScratchFolder;

// A saved document holding the outline, opened in a fresh session.
std::unique_ptr<DocumentSession> SavedSession(const ScratchFolder& folder,
                                              std::string_view outline,
                                              const std::string& name = "plan.skep") {
  auto maker = DocumentSession::CreateNew();
  test::AddOutline(maker->hypertext(), outline);
  EXPECT_TRUE(maker->SaveAs(folder / name));
  maker.reset();
  return DocumentSession::Open(folder / name);
}

TEST(DocumentSessionTest, TitleUndoTextsAndCloseQuestionFollowTheDocument) {
  ScratchFolder folder;
  auto session = SavedSession(folder, "Beds\n  North\n  South\nTasks");
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->Title(), "plan.skep");
  EXPECT_EQ(session->UndoItemText(), "Undo");
  EXPECT_FALSE(session->NeedsCloseQuestion());

  session->selection().Select(At(session->hypertext(), "Beds/North"));
  ASSERT_TRUE(DeleteSelected(*session));
  EXPECT_EQ(session->Title(), "*plan.skep");
  EXPECT_EQ(session->UndoItemText(), "Undo Delete");
  EXPECT_EQ(session->RedoItemText(), "Redo");
  EXPECT_EQ(session->selection().Primary()->Name(), "South");
  EXPECT_EQ(session->CloseQuestion(),
            "Do you want to save the changes you made in the document \u201cplan\u201d?\n\n"
            "Your changes will be lost if you don't save them.");

  session->Undo();
  EXPECT_EQ(ChildNames(At(session->hypertext(), "Beds")), "North South");
  EXPECT_EQ(session->UndoItemText(), "Undo");
  EXPECT_EQ(session->RedoItemText(), "Redo Delete");

  EXPECT_EQ(session->Save(), DocumentSession::SaveOutcome::kSaved);
  EXPECT_EQ(session->Title(), "plan.skep");
  EXPECT_FALSE(session->NeedsCloseQuestion());
}

TEST(DocumentSessionTest, NewDocumentAsksForAFileThenSavesInPlace) {
  ScratchFolder folder;
  auto session = DocumentSession::CreateNew();
  ASSERT_NE(NewNote(*session), nullptr);
  EXPECT_EQ(session->Save(), DocumentSession::SaveOutcome::kNeedsFile);
  EXPECT_FALSE(session->CanRevert());
  ASSERT_TRUE(session->SaveAs(folder / "fresh.skep"));
  EXPECT_EQ(session->Title(), "fresh.skep");
  NewNote(*session);
  EXPECT_EQ(session->Save(), DocumentSession::SaveOutcome::kSaved);
  auto reopened = DocumentSession::Open(folder / "fresh.skep");
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->hypertext()->Root()->ChildCount(), 2u);
}

TEST(DocumentSessionTest, TheWindowReopensAsItWasLeft) {
  ScratchFolder folder;
  auto session = SavedSession(folder, "Beds\n  North");
  EXPECT_FALSE(session->saved_layout().has_value());
  // A saved window of another kind stays in the file beside the window's own.
  session->hypertext()->Records().Windows().push_back({"outline", 0, "", {{"x", "3"}}});
  session->selection().ShowMap(At(session->hypertext(), "Beds"));
  session->SetLayoutSource(
      [] { return WindowLayout{.width = 900, .height = 600, .outline_width = 200,
                               .map_width = 450, .zoom = 7}; });
  ASSERT_EQ(session->Save(), DocumentSession::SaveOutcome::kSaved);
  ASSERT_EQ(session->Save(), DocumentSession::SaveOutcome::kSaved);  // still one record

  auto reopened = DocumentSession::Open(folder / "plan.skep");
  ASSERT_NE(reopened, nullptr);
  Hypertext* ht = reopened->hypertext();
  ASSERT_TRUE(reopened->saved_layout().has_value());
  const WindowLayout& layout = *reopened->saved_layout();
  EXPECT_EQ(std::tie(layout.width, layout.height, layout.outline_width, layout.map_width,
                     layout.zoom),
            std::make_tuple(900, 600, 200, 450, 7));
  EXPECT_EQ(reopened->selection().MapContainer(), At(ht, "Beds"));
  ASSERT_EQ(ht->Records().Windows().size(), 2u);
  EXPECT_EQ(ht->Records().Windows()[1].type, "outline");

  // Damaged numbers keep the defaults; a container that is gone shows the root's map.
  WindowRecord& record = ht->Records().Windows()[0];
  record.id = 0;
  record.state = {{"bounds", "-2147483648,0,2147483647,500"}, {"scale", "0"},
                  {"split", "200,"}};
  Node* container = At(ht, "Beds");
  const std::optional<WindowLayout> damaged = ReadWindowLayout(*ht, &container);
  ASSERT_TRUE(damaged.has_value());
  EXPECT_EQ(container, nullptr);
  EXPECT_EQ(std::tie(damaged->width, damaged->height, damaged->outline_width, damaged->zoom),
            std::make_tuple(0, 500, 0, 5));
}

TEST(DocumentSessionTest, FailedSaveKeepsTheDocumentModifiedAndSaysWhy) {
  ScratchFolder folder;
  auto session = SavedSession(folder, "A");
  NewNote(*session);
  std::filesystem::remove(folder / "plan.skep");
  CollectingMessages messages;
  EXPECT_EQ(session->Save(), DocumentSession::SaveOutcome::kFailed);
  EXPECT_TRUE(session->IsModified());
  EXPECT_EQ(session->Title(), "*plan.skep");
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0],
            "Unable to save: the file has moved or been renamed; use SaveAs instead.");
  // The idle task is not left paused by the failure.
  EXPECT_FALSE(session->idle().busy());
}

TEST(DocumentSessionTest, RevertReplacesTheModelAndTheWindowStartsOver) {
  ScratchFolder folder;
  auto session = SavedSession(folder, "Beds\n  North");
  // An agent that gathers every note named North, so the idle task has real work on
  // the new model after the revert.
  Node* agent = session->hypertext()->MakeNode(Hypertext::NoteKind::kAgent, "Finder", nullptr,
                                               nullptr, 0, 0);
  agent->Set("AgentQuery", "$Name==\"North\"");
  ASSERT_EQ(session->Save(), DocumentSession::SaveOutcome::kSaved);

  session->selection().Select(At(session->hypertext(), "Beds/North"));
  ASSERT_TRUE(DeleteSelected(*session));
  int replaced = 0;
  session->SetReplacedListener([&] { ++replaced; });
  ASSERT_TRUE(session->CanRevert());
  ASSERT_TRUE(session->Revert());
  EXPECT_EQ(replaced, 1);
  EXPECT_FALSE(session->IsModified());
  EXPECT_EQ(session->selection().Primary(), nullptr);
  EXPECT_EQ(session->selection().MapContainer(), session->hypertext()->Root());
  EXPECT_EQ(ChildNames(At(session->hypertext(), "Beds")), "North");
  // The idle task serves the new model: a full update gathers the alias there.
  UpdateAgentsNow(*session);
  EXPECT_EQ(ChildNames(At(session->hypertext(), "Finder")), "North");

  // A file that has gone cannot be read back: the open model stays, and still works.
  NewNote(*session);
  std::filesystem::remove(folder / "plan.skep");
  CollectingMessages messages;
  EXPECT_FALSE(session->Revert());
  EXPECT_TRUE(session->IsModified());
  EXPECT_EQ(session->hypertext()->Root()->ChildCount(), 3u);
  session->Idle();
}

TEST(WindowSelectionTest, FollowsTheMapAndForgetsNotesThatLeave) {
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Beds\n  North\n    Tomato\n  South\nTasks");
  WindowSelection& selection = session->selection();

  selection.Select(At(ht, "Beds/North/Tomato"));
  EXPECT_EQ(selection.MapContainer(), At(ht, "Beds/North"));
  selection.Select(At(ht, "Tasks"));
  EXPECT_EQ(selection.MapContainer(), ht->Root());
  // Toggle adds only notes of the map shown, and takes a selected one out.
  selection.Toggle(At(ht, "Beds"));
  selection.Toggle(At(ht, "Beds/South"));
  EXPECT_EQ(selection.Selected().size(), 2u);
  EXPECT_EQ(selection.Primary(), At(ht, "Beds"));
  selection.Toggle(At(ht, "Beds"));
  EXPECT_EQ(selection.Primary(), At(ht, "Tasks"));

  // Going up shows the parent's map with the container selected.
  selection.ShowMap(At(ht, "Beds/North"));
  EXPECT_TRUE(selection.GoUp());
  EXPECT_EQ(selection.MapContainer(), At(ht, "Beds"));
  EXPECT_EQ(selection.Primary(), At(ht, "Beds/North"));

  // Undoing a move that took the selected note elsewhere brings the map along.
  Node* south = At(ht, "Beds/South");
  selection.Select(south);
  ht->PostAction(std::make_unique<NodeMoveAction>(south, At(ht, "Tasks"), nullptr));
  selection.Select(south);
  EXPECT_EQ(selection.MapContainer(), At(ht, "Tasks"));
  session->Undo();
  EXPECT_EQ(selection.MapContainer(), At(ht, "Beds"));
  EXPECT_EQ(selection.Primary(), south);

  // The map's container is deleted: the map falls back to the root and the deleted
  // note is no longer selected.
  selection.ShowMap(At(ht, "Beds/North"));
  Node* north = At(ht, "Beds/North");
  selection.Select(At(ht, "Beds/North/Tomato"));
  ht->AttemptToDelete(north);
  EXPECT_EQ(selection.MapContainer(), ht->Root());
  EXPECT_EQ(selection.Primary(), nullptr);
  EXPECT_TRUE(selection.Selected().empty());
}

TEST(DocumentCommandsTest, StatesFollowTheSelectionAndTheDocument) {
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Beds\n  North\n  South");
  struct Case {
    const char* selected;  // null: nothing
    bool editable;
    CommandState want;
  };
  // Indent needs an elder sibling; outdent needs a parent below the root.
  const Case cases[] = {
      {nullptr, true, {.new_note = true}},
      {"Beds", true,
       {.new_note = true, .delete_note = true, .make_alias = true, .duplicate = true}},
      {"Beds/North", true,
       {.new_note = true, .delete_note = true, .make_alias = true, .duplicate = true,
        .outdent = true, .go_up = true}},
      {"Beds/South", true,
       {.new_note = true, .delete_note = true, .make_alias = true, .duplicate = true,
        .indent = true, .outdent = true, .go_up = true}},
      {"Beds/South", false, {.go_up = true}},
  };
  for (const Case& c : cases) {
    ht->SetCanEdit(c.editable);
    session->selection().ShowMap(ht->Root());
    if (c.selected != nullptr) {
      session->selection().Select(At(ht, c.selected));
    }
    const CommandState got = CommandStateOf(*session);
    EXPECT_EQ(got.new_note, c.want.new_note) << c.selected;
    EXPECT_EQ(got.delete_note, c.want.delete_note) << c.selected;
    EXPECT_EQ(got.make_alias, c.want.make_alias) << c.selected;
    EXPECT_EQ(got.duplicate, c.want.duplicate) << c.selected;
    EXPECT_EQ(got.indent, c.want.indent) << c.selected;
    EXPECT_EQ(got.outdent, c.want.outdent) << c.selected;
    EXPECT_EQ(got.explode, c.want.explode) << c.selected;
    EXPECT_EQ(got.go_up, c.want.go_up) << c.selected;
  }
  ht->SetCanEdit(true);
  At(ht, "Beds")->SetText("One. Two.");
  session->selection().Select(At(ht, "Beds"));
  EXPECT_TRUE(CommandStateOf(*session).explode);
}

TEST(DocumentCommandsTest, NewNoteAliasFindAndExplodeSelectWhatTheyMade) {
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Beds\n  North\n  South");
  session->selection().Select(At(ht, "Beds/North"));
  Node* made = NewNote(*session);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->ElderBrother(), At(ht, "Beds/North"));
  EXPECT_EQ(session->selection().Primary(), made);

  session->selection().Select(At(ht, "Beds/South"));
  Node* alias = MakeAliasOfSelected(*session);
  ASSERT_NE(alias, nullptr);
  EXPECT_TRUE(alias->IsAlias());
  EXPECT_EQ(alias->Father(), At(ht, "Beds"));
  EXPECT_EQ(session->selection().Primary(), alias);
  EXPECT_EQ(session->UndoItemText(), "Undo Make Alias");
  // Undoing the alias leaves nothing selected rather than a hidden note.
  session->Undo();
  EXPECT_EQ(session->selection().Primary(), nullptr);

  const FindOutcome bad = Find(*session, "$Name==");
  EXPECT_FALSE(bad.valid);
  EXPECT_FALSE(bad.error.empty());
  const FindOutcome found = Find(*session, "$Name==\"North\" | $Name==\"South\"");
  ASSERT_TRUE(found.valid) << found.error;
  ASSERT_EQ(found.matches.size(), 2u);
  EXPECT_EQ(found.matches[0]->Name(), "North");
  EXPECT_EQ(found.matches[1]->Name(), "South");

  // The dialog hands the delimiter over as typed: "\n" is a paragraph break.
  At(ht, "Beds/South")->SetText("Sun here.\nShade there.\nWet corner.");
  session->selection().Select(At(ht, "Beds/South"));
  ExplodeSettings settings;
  settings.delimiter = "\\n";
  settings.skip_delimiter = true;
  Node* exploded = ExplodeSelected(*session, settings);
  ASSERT_NE(exploded, nullptr);
  EXPECT_EQ(ChildNames(exploded), "Sun here. Shade there. Wet corner.");
  EXPECT_EQ(session->selection().Primary(), exploded);
}

TEST(DocumentCommandsTest, DuplicateIndentAndOutdentAreUndoableAndKeepTheNoteSelected) {
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Beds\n  North\n  South\n  West");
  Node* south = At(ht, "Beds/South");
  south->SetText("Sunny.");
  session->selection().Select(south);

  ASSERT_TRUE(IndentSelected(*session));
  EXPECT_EQ(south->Father(), At(ht, "Beds/North"));
  EXPECT_EQ(session->selection().Primary(), south);
  EXPECT_EQ(session->selection().MapContainer(), At(ht, "Beds/North"));
  EXPECT_EQ(session->UndoItemText(), "Undo Move");
  // Out again: directly after the note it was in, not at the end.
  ASSERT_TRUE(OutdentSelected(*session));
  EXPECT_EQ(ChildNames(At(ht, "Beds")), "North South West");
  session->Undo();
  EXPECT_EQ(south->Father(), At(ht, "Beds/North"));
  // The top level cannot be left: the root is no one's child.
  session->selection().Select(At(ht, "Beds"));
  EXPECT_FALSE(OutdentSelected(*session));
  EXPECT_FALSE(IndentSelected(*session));

  session->selection().Select(south);
  Node* copy = DuplicateSelected(*session);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->ElderBrother(), south);
  EXPECT_EQ(copy->GetText(), "Sunny.");
  EXPECT_EQ(session->selection().Primary(), copy);
  session->Undo();
  EXPECT_EQ(session->selection().Primary(), nullptr);
  EXPECT_EQ(ChildNames(At(ht, "Beds/North")), "South");
}

TEST(DocumentCommandsTest, ExportWritesTheFolderOrSaysWhyNot) {
  ScratchFolder folder;
  auto session = SavedSession(folder, "A");
  ScopedConfigFolder config(std::filesystem::path(FW_SOURCE_DIR) / "config");
  CollectingMessages messages;
  ASSERT_TRUE(ExportDocument(*session, folder / "site"));
  EXPECT_TRUE(messages.messages().empty());
  std::string names;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "site")) {
    if (entry.path().filename() != ExportRecord::kFileName) {
      names += entry.path().filename().string() + " ";
    }
  }
  EXPECT_EQ(names, "A.html ");
  // A file where the folder should be: nothing is written and the window says so.
  test::WriteFile(folder / "blocked", "x");
  EXPECT_FALSE(ExportDocument(*session, folder / "blocked"));
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(test::ReadFile(folder / "blocked"), "x");

  // Cancel pressed once the bar shows: the run stops between pages and says so, and
  // the next export starts afresh.
  test::AddOutline(session->hypertext(), "B\nC\nD");
  struct CancellingBar : ProgressSink {
    DocumentSession* session;
    void ShowProgress(const std::string&, double) override { session->RequestCancel(); }
    void HideProgress() override {}
  } bar;
  bar.session = session.get();
  WindowProgressFactory factory(&bar);
  ProgressFactory* previous = SetProgressFactory(&factory);
  EXPECT_FALSE(ExportDocument(*session, folder / "cut"));
  SetProgressFactory(previous);
  EXPECT_EQ(messages.messages().back(),
            "The export was cancelled; the pages written so far are complete.");
  EXPECT_FALSE(std::filesystem::exists(folder / "cut" / "D.html"));
  EXPECT_TRUE(ExportDocument(*session, folder / "whole"));
  EXPECT_TRUE(std::filesystem::exists(folder / "whole" / "D.html"));
}

TEST(WindowServicesTest, ProgressReachesTheBarAtMostEveryHundredthOfTheWay) {
  struct Bar : ProgressSink {
    void ShowProgress(const std::string& title, double fraction) override {
      ++shows;
      last_title = title;
      last = fraction;
    }
    void HideProgress() override { ++hides; }
    int shows = 0;
    int hides = 0;
    std::string last_title;
    double last = 0;
  } bar;
  WindowProgressFactory factory(&bar);
  {
    std::unique_ptr<Progress> progress = factory.Make();
    progress->Begin("Saving plan.skep", 10000);
    for (int i = 0; i < 10000; ++i) {
      progress->Bump();
    }
    // A display dropped without End still takes its bar away.
  }
  EXPECT_EQ(bar.shows, 101);
  EXPECT_EQ(bar.last_title, "Saving plan.skep");
  EXPECT_DOUBLE_EQ(bar.last, 1.0);
  EXPECT_EQ(bar.hides, 1);
}

}  // namespace
}  // namespace fernweave
