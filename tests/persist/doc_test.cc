#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/progress.h"
#include "model/action.h"
#include "model/change.h"
#include "model/orvex.h"
#include "persist/orvex_doc.h"
#include "persist/orvex_reader.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::FileFault;
using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

class DocTest : public ::testing::Test {
 protected:
  // A saved document holding the outline, attached to dir_/name.
  std::unique_ptr<OrvexDoc> Saved(const std::string& outline,
                                  const std::string& name = "notes.skep") {
    std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create();
    test::AddOutline(doc->GetHypertext(), outline);
    EXPECT_TRUE(doc->SaveAs(dir_ / name));
    return doc;
  }

  std::string Outline(const OrvexDoc& doc) { return test::Dump(doc.GetHypertext()->Root()); }

  // Renames the note at `path` as an edit in a window does, marking the note modified.
  void Rename(OrvexDoc* doc, const std::string& path, const std::string& name) {
    Node* note = test::At(doc->GetHypertext(), path);
    ASSERT_NE(note, nullptr) << path;
    note->SetName(name);
    note->HasBeenModified();
  }

  test::CollectingMessages messages_;
  ScratchFolder dir_;
};

TEST_F(DocTest, UntitledNamesCountTheDocumentsAndTheSaveQuestionDropsTheExtension) {
  HypertextDoc::sDocumentCount = 0;
  std::unique_ptr<OrvexDoc> first = OrvexDoc::Create();
  std::unique_ptr<OrvexDoc> second = OrvexDoc::Create();
  EXPECT_EQ(first->Name(), "untitled");
  EXPECT_EQ(second->Name(), "untitled 2");
  EXPECT_FALSE(second->HasFile());
  std::unique_ptr<OrvexDoc> doc = Saved("A", "Garden plan.skep");
  EXPECT_EQ(doc->NameForSaveQuestion(), "Garden plan");
  ASSERT_TRUE(doc->SaveAs(dir_ / "old.fwv"));
  EXPECT_EQ(doc->NameForSaveQuestion(), "old");
}

TEST_F(DocTest, AChangeSetsTheFlagAndSavingClearsItForTheObserver) {
  std::unique_ptr<OrvexDoc> doc = Saved("A\n  B\nC");
  EXPECT_FALSE(doc->IsModified());
  std::vector<bool> seen;
  doc->SetModifiedObserver([&seen](bool modified) { seen.push_back(modified); });
  Rename(doc.get(), "A", "D");
  EXPECT_TRUE(doc->IsModified());
  doc->SetModified(true);  // unchanged: the observer hears nothing
  ASSERT_TRUE(doc->DoSave());
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ(seen, std::vector<bool>{false});
  std::unique_ptr<OrvexDoc> again = OrvexDoc::Create(dir_ / "notes.skep");
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->HasFile());
  EXPECT_FALSE(again->IsModified());
  EXPECT_EQ(Outline(*again), "D\n  B\nC\n");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"notes.skep"});
}

TEST_F(DocTest, SavingAMovedFileReportsItAndKeepsTheChanges) {
  std::unique_ptr<OrvexDoc> doc = Saved("A");
  std::filesystem::rename(dir_ / "notes.skep", dir_ / "elsewhere.skep");
  Rename(doc.get(), "A", "B");
  EXPECT_FALSE(doc->DoSave());
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(messages_.messages(),
            std::vector<std::string>{
                "Unable to save: the file has moved or been renamed; use SaveAs instead."});
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"elsewhere.skep"});
}

TEST_F(DocTest, AFailedWriteKeepsTheFileByteForByteAndTheDocumentModified) {
  std::unique_ptr<OrvexDoc> doc = Saved("A\nB");
  const std::string before = ReadFile(dir_ / "notes.skep");
  test::At(doc->GetHypertext(), "A")->SetText(std::string(200000, 'x'));
  doc->SetModified(true);
  {
    FileFault disk_full(FileOp::kWrite, ENOSPC, 2);
    EXPECT_FALSE(doc->DoSave());
  }
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(ReadFile(dir_ / "notes.skep"), before);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"notes.skep"});
  EXPECT_EQ(
      messages_.messages(),
      std::vector<std::string>{"Unable to save: you may have a disk error, or be out of space."});
}

TEST_F(DocTest, ALockedFileOpensAsUntitled) {
  Saved("A");
  OpenOutcome outcome;
  std::unique_ptr<OrvexDoc> doc;
  {
    FileFault locked(FileOp::kCheckDocument, EACCES);
    doc = OrvexDoc::Create(dir_ / "notes.skep", &outcome);
  }
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(outcome.locked);
  EXPECT_FALSE(doc->HasFile());
  EXPECT_EQ(Outline(*doc), "A\n");
  EXPECT_EQ(messages_.messages(),
            std::vector<std::string>{"notes.skep is locked. It will be opened as Untitled."});
}

TEST_F(DocTest, FilesThatCannotBeOpenedOpenNothing) {
  WriteFile(dir_ / "broken.skep", "<?xml version=\"1.0\"?><fernweave version=\"2\"><item");
  WriteFile(dir_ / "colors.xml", "<?xml version=\"1.0\"?>\n<colors>\n</colors>\n");
  WriteFile(dir_ / "newer.skep",
            "<?xml version=\"1.0\"?>\n<fernweave version=\"3\" revision=\"1\">\n</fernweave>\n");
  struct Case {
    std::string name;
    OpenOutcome::Kind kind;
    std::string message;  // empty: the parser's own words
  } cases[] = {
      {"missing.skep", OpenOutcome::Kind::kUnreadable,
       "Couldn't open missing.skep: no such file or directory."},
      {"broken.skep", OpenOutcome::Kind::kMalformed, ""},
      {"colors.xml", OpenOutcome::Kind::kColorScheme, kColorSchemeMessage},
      {"newer.skep", OpenOutcome::Kind::kNewerVersion, kNewerVersionMessage},
  };
  for (const Case& c : cases) {
    messages_.Clear();
    OpenOutcome outcome;
    EXPECT_EQ(OrvexDoc::Create(dir_ / c.name, &outcome), nullptr) << c.name;
    EXPECT_EQ(outcome.kind, c.kind) << c.name;
    ASSERT_EQ(messages_.messages().size(), 1u) << c.name;
    if (!c.message.empty()) {
      EXPECT_EQ(messages_.messages()[0], c.message) << c.name;
    }
  }
}

TEST_F(DocTest, AnyOtherFileIsReadAsPlainTextIntoAnUntitledDocument) {
  WriteFile(dir_ / "list.txt", "\xEF\xBB\xBFone\r\ntwo\nthree \xE2\x80\x94 done");
  OpenOutcome outcome;
  std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create(dir_ / "list.txt", &outcome);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(outcome.kind, OpenOutcome::Kind::kImported);
  EXPECT_FALSE(doc->HasFile());
  Node* note = test::At(doc->GetHypertext(), "list");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->GetText(), "one\rtwo\rthree \xE2\x80\x94 done");
}

TEST_F(DocTest, PlainTextThatIsNotUTF8IsReadAsMacRoman) {
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"caf\x8E", "caf\xC3\xA9"},  // 0x8E is é
      {"a\rb\r\nc\n", "a\rb\rc\r"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlainTextToNoteText(c.bytes), c.text) << c.bytes;
  }
}

TEST_F(DocTest, SaveAsWritesTheNewFileBeforeRemovingAnything) {
  std::unique_ptr<OrvexDoc> doc = Saved("A");
  WriteFile(dir_ / "other.skep", "someone's other document");
  {
    FileFault fails(FileOp::kWrite, EIO);
    EXPECT_FALSE(doc->SaveAs(dir_ / "other.skep"));
  }
  EXPECT_EQ(ReadFile(dir_ / "other.skep"), "someone's other document");
  EXPECT_EQ(doc->File(), dir_ / "notes.skep");
  ASSERT_TRUE(doc->SaveAs(dir_ / "other.skep"));
  EXPECT_EQ(doc->File(), dir_ / "other.skep");
  EXPECT_EQ(ReadFile(dir_ / "other.skep"), ReadFile(dir_ / "notes.skep"));
}

// An action that notes when the undo history lets it go.
class FinalizeRecorder : public LAction {
 public:
  explicit FinalizeRecorder(bool* finalized) : LAction(0), finalized_(finalized) {}
  void Finalize() override { *finalized_ = true; }

 protected:
  void RedoSelf() override {}
  void UndoSelf() override {}

 private:
  bool* finalized_;
};

// Reverting also lets go of the last action, as the undo history is replaced.
TEST_F(DocTest, RevertReplacesTheDocumentOnlyWhenTheFileReads) {
  std::unique_ptr<OrvexDoc> doc = Saved("A\nB");
  Rename(doc.get(), "A", "Changed");
  bool finalized = false;
  ASSERT_TRUE(doc->GetHypertext()->PostAction(std::make_unique<FinalizeRecorder>(&finalized)));
  ASSERT_TRUE(doc->DoRevert());
  EXPECT_TRUE(finalized);
  EXPECT_EQ(Outline(*doc), "A\nB\n");
  EXPECT_FALSE(doc->IsModified());

  Rename(doc.get(), "B", "Kept");
  WriteFile(dir_ / "notes.skep", "<?xml version=\"1.0\"?><fernweave version=\"2\"><item");
  EXPECT_FALSE(doc->DoRevert());
  EXPECT_EQ(Outline(*doc), "A\nKept\n");
  EXPECT_TRUE(doc->IsModified());
  EXPECT_FALSE(doc->IsReverting());
  // A file that is no document any more: the revert says why it did nothing.
  messages_.Clear();
  WriteFile(dir_ / "notes.skep", "plain words");
  EXPECT_FALSE(doc->DoRevert());
  EXPECT_EQ(messages_.messages(),
            std::vector<std::string>{
                "Couldn't revert to notes.skep: it is no longer a Fernweave document."});
  // A document whose root follows a long comment, in Mac OS Roman, is a document.
  WriteFile(dir_ / "notes.skep", "<?xml version=\"1.0\" encoding=\"macintosh\"?><!--" +
                                     std::string(300, 'c') + "--><fernweave><item><item><attribute "
                                     "name=\"Name\">Caf\x8E</attribute></item></item></fernweave>");
  EXPECT_TRUE(doc->DoRevert());
  EXPECT_EQ(Outline(*doc), "Caf\xC3\xA9\n");
}

TEST_F(DocTest, ASaveThatCannotKeepTheOwnerSaysSo) {
  std::unique_ptr<OrvexDoc> doc = Saved("A");
  FileFault refused(FileOp::kChownTemp, EPERM);
  EXPECT_TRUE(doc->DoSave());
  EXPECT_EQ(messages_.messages(),
            std::vector<std::string>{"notes.skep was saved, but its owner and group could not "
                                     "be kept: it now belongs to you, and others who shared it "
                                     "may no longer be able to open it."});
}

// Stands for the views recording their state into the document as a save begins: the
// change it makes is held back by the save and delivered as the save ends, and must
// not leave the saved document marked modified.
class RecordingStateProgress : public ProgressFactory {
 public:
  explicit RecordingStateProgress(Node* note) : note_(note) {
    previous_ = SetProgressFactory(this);
  }
  ~RecordingStateProgress() override { SetProgressFactory(previous_); }
  std::unique_ptr<Progress> Make() override {
    if (made_) {
      return std::make_unique<NullProgress>();
    }
    made_ = true;
    class Recording : public NullProgress {
     public:
      explicit Recording(Node* note) : note_(note) {}
      void Begin(const std::string&, long) override {
        note_->GetHypertext()->MakeNode("recorded", nullptr, note_, 0, 0);
      }

     private:
      Node* note_;
    };
    return std::make_unique<Recording>(note_);
  }

 private:
  Node* note_;
  ProgressFactory* previous_;
  bool made_ = false;
};

TEST_F(DocTest, TheFlagIsClearedAfterTheHeldChangesAreDelivered) {
  std::unique_ptr<OrvexDoc> doc = Saved("A");
  test::RecordingView view(doc->GetHypertext());
  {
    RecordingStateProgress progress(test::At(doc->GetHypertext(), "A"));
    ASSERT_TRUE(doc->DoSave());
  }
  EXPECT_FALSE(view.log().empty());
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ(Outline(*OrvexDoc::Create(dir_ / "notes.skep")), "A\nrecorded\n");
}

TEST_F(DocTest, ClosingDiscardsTheLastAction) {
  std::unique_ptr<OrvexDoc> doc = Saved("A");
  bool finalized = false;
  ASSERT_TRUE(doc->GetHypertext()->PostAction(std::make_unique<FinalizeRecorder>(&finalized)));
  doc.reset();
  EXPECT_TRUE(finalized);
}

}  // namespace
}  // namespace fernweave
