#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/command.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "tests/support/command_runner.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::CommandRun;
using test::FileFault;
using test::ReadFile;
using test::RunFernweave;
using test::WriteFile;

// Records every OnAdd the creation of a note runs.
class RecordingOnAdd : public OnAddRunner {
 public:
  RecordingOnAdd() { previous_ = Install(this); }
  ~RecordingOnAdd() override { Install(previous_); }
  void RunOnAdd(Node* container, Node* note) override {
    log_.push_back(container->Name() + "<-" + note->Name());
  }
  const std::vector<std::string>& log() const { return log_; }

 private:
  std::vector<std::string> log_;
  OnAddRunner* previous_;
};

class DocumentCommandsTest : public ::testing::Test {
 protected:
  DocumentCommandsTest() { setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1); }
  ~DocumentCommandsTest() override { unsetenv("FERNWEAVE_NOW"); }

  std::string File(const std::string& name = "garden.skep") { return (dir_ / name).string(); }

  // Runs each command in turn, expecting its status and output.
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  void RunSteps(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      const CommandRun run = RunFernweave(step.args);
      EXPECT_EQ(run.status, step.status) << test::JoinedArgs(step.args);
      EXPECT_EQ(run.out, step.out) << test::JoinedArgs(step.args);
    }
  }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::CollectingMessages messages_;
  test::ScratchFolder dir_;
};

TEST_F(DocumentCommandsTest, PrintsTheDateAsReadAndNamesAnUnknownCommand) {
  test::ScopedIcuLocale locale("en_US");
  RunSteps({
      {{"date", "tomorrow 9:30 pm"}, kExitOk, "2009-05-05T21:30:00-04:00\n"},
      {{"date", "Monday"}, kExitOk, "2009-05-11T10:17:00-04:00\n"},
      {{"date", "2009-05-03T09:05:07", "--format", "W, MM d, y h:mm"},
       kExitOk,
       "Sunday, May 3, 2009 09:05\n"},
      {{"date", "Jan 15, 2009 8:00 am"}, kExitOk, "2009-01-15T08:00:00-05:00\n"},
      {{"date", "May 3, 2009 at 5:30:00 PM EDT"}, kExitOk, "2009-05-03T17:30:00-04:00\n"},
      {{"date", "never"}, kExitOk, "never\n"},
      {{"date", "never", "--format", "y"}, kExitOk, "never\n"},
      {{"date", "today", "--format", ""}, kExitOk, "\n"},
      {{"date", "Sept 3, 2009"}, kExitFalse, ""},
      {{"date"}, kExitUsage, ""},
      {{"bogus", "x"}, kExitUsage, ""},
  });
  EXPECT_EQ(
      messages_.messages(),
      (std::vector<std::string>{"not a date: Sept 3, 2009",
                                "unknown command 'bogus'; run 'fernweave --help' for the list"}));
}

TEST_F(DocumentCommandsTest, BuildAndReadADocument) {
  const std::string f = File();
  RecordingOnAdd on_add;
  RunSteps({
      {{"new", f}, kExitOk, ""},
      {{"attr", f, "Sun", "--type", "string", "--default", "full"}, kExitOk, ""},
      {{"attr", f, "Spread", "--type", "number"}, kExitOk, ""},
      {{"attr", f}, kExitOk, "Spread\tnumber\t0\nSun\tstring\tfull\n"},
  });
  ASSERT_EQ(RunFernweave({"add", f, "/Beds/North/Tomato", "--text", "Red\rround"}).status, kExitOk);
  ASSERT_FALSE(on_add.log().empty());
  EXPECT_EQ(on_add.log().back(), "North<-Tomato");  // the container's OnAdd runs
  ASSERT_EQ(RunFernweave({"add", f, "Beds/North/Basil", "--set", "Sun=half", "--set", "Spread=30"})
                .status,
            kExitOk);
  ASSERT_EQ(RunFernweave({"add", f, "/Beds/South"}).status, kExitOk);
  RunSteps({
      {{"tree", f}, kExitOk, "Beds\n  North\n    Tomato\n    Basil\n  South\n"},
      {{"tree", f, "/Beds/North", "--attr", "Sun", "--attr", "$Spread"},
       kExitOk,
       "Tomato Sun=full Spread=0\nBasil Sun=half Spread=30\n"},
      {{"get", f, "/Beds/North/Tomato", "Text", "Sun"}, kExitOk, "Red\nround\nfull\n"},
      {{"set", f, "/Beds/North/Tomato", "Sun=shade", "Spread=120.5"}, kExitOk, ""},
      {{"get", f, "Tomato", "Sun", "Spread"}, kExitOk, "shade\n120.5\n"},
      {{"reset", f, "Tomato", "Sun"}, kExitOk, ""},
      {{"get", f, "Tomato", "Sun"}, kExitOk, "full\n"},
      {{"mv", f, "/Beds/North/Basil", "/Beds/South"}, kExitOk, ""},
      {{"link", f, "/Beds/South/Basil", "/Beds/North/Tomato", "--type", "companion"}, kExitOk, ""},
      {{"link", f, "/Beds/North/Tomato", "--web", "https://example.com/tomato", "--anchor",
        "round"},
       kExitOk,
       ""},
  });
  EXPECT_EQ(RunFernweave({"alias", f, "/Beds/North/Tomato", "/Beds/South"}).status, kExitOk);
  RunSteps({
      {{"tree", f}, kExitOk, "Beds\n  North\n    Tomato\n  South\n    Basil\n    Tomato\n"},
      {{"info", f},
       kExitOk,
       "notes: 5\naliases: 1\nagents: 0\nlinks: 2\nuser attributes: 2\nversion: 2\n"
       "revision: 8\n"},
      {{"rm", f, "/Beds/South/Basil"}, kExitOk, ""},
      {{"tree", f, "/Beds/South"}, kExitOk, "Tomato\n"},
  });
  EXPECT_EQ(messages_.messages(), std::vector<std::string>{}) << messages_.messages()[0];
}

TEST_F(DocumentCommandsTest, NotesByIdAndTheirIds) {
  const std::string f = File();
  ASSERT_EQ(RunFernweave({"new", f}).status, kExitOk);
  const CommandRun added = RunFernweave({"add", f, "/Ideas"});
  ASSERT_EQ(added.status, kExitOk);
  const std::string id = added.out.substr(0, added.out.size() - 1);
  RunSteps({
      {{"get", f, "#" + id, "Name"}, kExitOk, "Ideas\n"},
      {{"tree", f, "--ids"}, kExitOk, "Ideas #" + id + "\n"},
      {{"get", f, "#" + id + "x", "Name"}, kExitFalse, ""},
      {{"get", f, "#", "Name"}, kExitFalse, ""},
  });
  const CommandRun alias = RunFernweave({"alias", f, "#" + id});
  ASSERT_EQ(alias.status, kExitOk);
  EXPECT_NE(alias.out, added.out);
  RunSteps({{{"get", f, "#" + alias.out.substr(0, alias.out.size() - 1), "IsAlias", "Name"},
             kExitOk,
             "true\nIdeas\n"}});
}

TEST_F(DocumentCommandsTest, ListsAsJson) {
  const std::string f = File();
  ASSERT_EQ(RunFernweave({"new", f}).status, kExitOk);
  ASSERT_EQ(RunFernweave({"attr", f, "Rank", "--type", "number", "--sequential"}).status, kExitOk);
  ASSERT_EQ(RunFernweave({"add", f, "/A/B"}).status, kExitOk);

  const nlohmann::json tree = nlohmann::json::parse(RunFernweave({"--json", "tree", f}).out);
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_EQ(tree[0]["name"], "A");
  EXPECT_EQ(tree[0]["depth"], 0);
  EXPECT_EQ(tree[1]["name"], "B");
  EXPECT_EQ(tree[1]["depth"], 1);

  const nlohmann::json attrs = nlohmann::json::parse(RunFernweave({"--json", "attr", f}).out);
  ASSERT_EQ(attrs.size(), 1u);
  EXPECT_EQ(attrs[0]["name"], "Rank");
  EXPECT_EQ(attrs[0]["type"], "number");
  EXPECT_EQ(attrs[0]["sequential"], true);

  const nlohmann::json got =
      nlohmann::json::parse(RunFernweave({"--json", "get", f, "/A/B", "Name"}).out);
  EXPECT_EQ(got, nlohmann::json::parse(R"([{"attribute":"Name","value":"B"}])"));
  const nlohmann::json info = nlohmann::json::parse(RunFernweave({"--json", "info", f}).out);
  EXPECT_EQ(info["notes"], 2);
  EXPECT_EQ(info["user attributes"], 1);
}

// Files that cannot be used exit 3 with a message, and nothing is written.
TEST_F(DocumentCommandsTest, UnusableFilesExitThreeAndStayAsTheyWere) {
  const std::string malformed = File("malformed.skep");
  const std::string newer = File("newer.skep");
  const std::string text = File("notes.txt");
  WriteFile(malformed, "<?xml version=\"1.0\"?><fernweave version=\"2\"><item ID=");
  WriteFile(newer,
            "<?xml version=\"1.0\"?>\n<fernweave version=\"3\" revision=\"0\">\n</fernweave>\n");
  WriteFile(text, "just some text\n");
  const std::vector<std::vector<std::string>> commands = {
      {"info", File("missing.skep")},
      {"tree", File("missing.skep")},
      {"info", malformed},
      {"set", malformed, "#1", "Name=x"},
      {"add", newer, "/A"},
      {"tree", newer},
      {"add", text, "/A"},
      {"new", malformed},
  };
  for (const std::vector<std::string>& args : commands) {
    messages_.Clear();
    const CommandRun run = RunFernweave(args);
    EXPECT_EQ(run.status, kExitFile) << test::JoinedArgs(args);
    EXPECT_EQ(run.out, "") << test::JoinedArgs(args);
    EXPECT_FALSE(messages_.messages().empty()) << test::JoinedArgs(args);
  }
  EXPECT_EQ(ReadFile(malformed), "<?xml version=\"1.0\"?><fernweave version=\"2\"><item ID=");
  EXPECT_EQ(ReadFile(text), "just some text\n");
  EXPECT_FALSE(std::filesystem::exists(File("missing.skep")));
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{"malformed.skep", "newer.skep", "notes.txt"}));
}

// A command the document refuses changes nothing on disk.
TEST_F(DocumentCommandsTest, RefusedChangesWriteNothing) {
  const std::string f = File();
  ASSERT_EQ(RunFernweave({"new", f}).status, kExitOk);
  ASSERT_EQ(RunFernweave({"add", f, "/A/B"}).status, kExitOk);
  const std::string before = ReadFile(f);
  std::string deep;  // a container path as deep as a note may lie
  for (size_t i = 0; i < Hypertext::kMaxNoteDepth; ++i) {
    deep += "/n";
  }
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"set", f, "/A", "NoSuchThing=1"}, kExitFalse, "no attribute NoSuchThing"},
      {{"set", f, "/A", "Name"}, kExitFalse, "expected ATTRIBUTE=VALUE: Name"},
      {{"set", f, "/Nowhere", "Name=x"}, kExitFalse, "no note /Nowhere"},
      {{"mv", f, "/A", "/A/B"}, kExitFalse, "cannot move /A into /A/B"},
      {{"rm", f, "/"}, kExitFalse, "cannot delete /"},
      {{"link", f, "/A"}, kExitUsage, "link needs a destination note or --web URL"},
      {{"link", f, "/A", "/A/B", "--anchor", "absent"}, kExitFalse, "no text absent in /A"},
      {{"add", f, "/A/B/"}, kExitOk, ""},  // a trailing slash is dropped: another B in A
      {{"attr", f, "Name", "--type", "string"},
       kExitFalse,
       "cannot declare Name: the name is taken or not valid"},
      {{"attr", f, "Mood"}, kExitUsage, "attr needs --type to declare Mood"},
      {{"add", f, "/A/C", "--prototype", "Nobody"}, kExitFalse, "no prototype Nobody"},
      {{"set", f, "/A", "Name=Z", "Alias=1"}, kExitUsage, "cannot change Alias: it is read-only"},
      {{"add", f, "/A/D", "--set", "Created=1"}, kExitUsage, "cannot change Created: it is read-only"},
      {{"reset", f, "/A", "Modified"}, kExitUsage, "cannot change Modified: it is read-only"},
      {{"link", f, "/A", "/A", "--type", "prototype"}, kExitFalse, "cannot make /A the prototype of /A"},
      {{"attr", f, "When", "--type", "date", "--sequential"}, kExitUsage,
       "--sequential numbers notes: it needs --type number"},
      {{"set", f, "/A/B", "Container=/A/B/New"}, kExitFalse, "cannot move B into /A/B/New"},
      {{"add", f, deep + "/x"}, kExitFalse,
       "cannot add a note inside " + deep + ": notes may lie at most 9996 levels deep"},
  };
  for (const Case& c : cases) {
    messages_.Clear();
    const std::string was = ReadFile(f);
    const CommandRun run = RunFernweave(c.args);
    EXPECT_EQ(run.status, c.status) << test::JoinedArgs(c.args);
    if (c.status != kExitOk) {
      EXPECT_EQ(ReadFile(f), was) << test::JoinedArgs(c.args);
      ASSERT_EQ(messages_.messages().size(), 1u) << test::JoinedArgs(c.args);
      EXPECT_EQ(messages_.messages()[0], c.message) << test::JoinedArgs(c.args);
    }
  }
  EXPECT_NE(ReadFile(f), before);
  RunSteps({{{"tree", f}, kExitOk, "A\n  B\n  B\n"}});
}

// Each edit is the user's: it stamps `Modified` on the note it changes.
TEST_F(DocumentCommandsTest, EditsStampModifiedAndCreatorIsSaved) {
  const std::string f = File();
  ASSERT_EQ(RunFernweave({"new", f}).status, kExitOk);
  ASSERT_EQ(RunFernweave({"add", f, "/A/B"}).status, kExitOk);
  const std::vector<std::pair<std::vector<std::string>, std::string>> edits = {
      {{"set", f, "/A/B", "Color=red"}, "/A/B"},
      {{"reset", f, "/A/B", "Color"}, "/A/B"},
      {{"mv", f, "/A/B", "/"}, "/B"},
  };
  int hour = 0;
  for (const auto& [args, note] : edits) {
    setenv("FERNWEAVE_NOW", ("2009-06-01T0" + std::to_string(++hour) + ":00:00").c_str(), 1);
    ASSERT_EQ(RunFernweave(args).status, kExitOk) << args[0];
    EXPECT_NE(RunFernweave({"get", f, note, "Modified"}).out.find(std::to_string(hour) + ":00"),
              std::string::npos)
        << args[0];
  }
  // The creator is half of the identity: written, it is saved.
  RunSteps({{{"set", f, "/B", "Creator=bob"}, kExitOk, ""},
            {{"get", f, "/B", "Creator"}, kExitOk, "bob\n"}});
}

TEST_F(DocumentCommandsTest, AFailedSaveExitsThreeAndKeepsTheFile) {
  const std::string f = File();
  ASSERT_EQ(RunFernweave({"new", f}).status, kExitOk);
  ASSERT_EQ(RunFernweave({"add", f, "/A"}).status, kExitOk);
  const std::string before = ReadFile(f);
  {
    FileFault full(FileOp::kWrite, ENOSPC);
    EXPECT_EQ(RunFernweave({"set", f, "/A", "Name=B"}).status, kExitFile);
  }
  EXPECT_EQ(ReadFile(f), before);
  EXPECT_EQ(messages_.messages().back(),
            "Unable to save: you may have a disk error, or be out of space.");
  {
    // Locked: the document opens Untitled and the change is refused before it is made.
    FileFault locked(FileOp::kCheckDocument, EACCES);
    messages_.Clear();
    EXPECT_EQ(RunFernweave({"set", f, "/A", "Name=B"}).status, kExitFile);
  }
  EXPECT_EQ(ReadFile(f), before);
  EXPECT_EQ(
      messages_.messages(),
      (std::vector<std::string>{"garden.skep is locked. It will be opened as Untitled.",
                                f + " opened as Untitled; the change cannot be saved in place."}));
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"garden.skep"});
}

}  // namespace
}  // namespace fernweave
