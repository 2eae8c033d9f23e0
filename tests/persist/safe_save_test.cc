#include "persist/safe_save.h"

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "persist/hypertext_doc.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::FileFault;
using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

ContentsWriter Writes(const std::string& bytes) {
  return [bytes](std::ostream& os) {
    os << bytes;
    return true;
  };
}

// Bytes big enough to need many write(2) calls.
std::string Big(char fill, size_t size = 300000) {
  std::string bytes(size, fill);
  for (size_t i = 0; i < size; i += 97) {
    bytes[i] = '\n';
  }
  return bytes;
}

// A document holding "old" in a folder of its own.
class SafeSaveTest : public ::testing::Test {
 protected:
  SafeSaveTest() { WriteFile(doc_, "old"); }

  ScratchFolder dir_;
  const std::filesystem::path doc_ = dir_ / "notes.skep";
};

// Each operation of the save failing in turn: the document keeps its old bytes and no
// temporary file stays behind, except when the volume refuses the replacement, where
// the complete new contents are kept in the temporary the message names. A folder
// sync failing comes after the replacement: it is reported, yet the document is new.
TEST_F(SafeSaveTest, AFailureAtAnyStepKeepsTheOldDocument) {
  struct Case {
    FileOp op;
    int error;
    int occurrence;
    bool temp_kept;
    bool replaced = false;
  } cases[] = {
      {FileOp::kCheckDocument, EACCES, 1, false},
      {FileOp::kCreateTemp, EACCES, 1, false},
      {FileOp::kChmodTemp, EPERM, 1, false},
      {FileOp::kWrite, ENOSPC, 1, false},
      {FileOp::kWrite, EIO, 3, false},
      {FileOp::kSyncTemp, EIO, 1, false},
      {FileOp::kCloseTemp, EIO, 1, false},
      {FileOp::kRename, EXDEV, 1, false},
      {FileOp::kRename, EPERM, 1, true},
      {FileOp::kSyncFolder, EIO, 1, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FileOpName(c.op)) + " errno " + std::to_string(c.error));
    ScratchFolder dir;
    const auto doc = dir / "notes.skep";
    WriteFile(doc, "old contents");
    SaveResult result;
    {
      FileFault fault(c.op, c.error, c.occurrence);
      result = SafeSave(doc, Writes(Big('n')));
    }
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.op, c.op);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.temp_kept, c.temp_kept);
    EXPECT_EQ(ReadFile(doc), c.replaced ? Big('n') : "old contents");
    if (c.temp_kept) {
      EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"Skep temp.fwv", "notes.skep"}));
      EXPECT_EQ(ReadFile(result.temp), Big('n'));
    } else {
      EXPECT_EQ(dir.Entries(), std::vector<std::string>{"notes.skep"});
    }
  }
}

TEST_F(SafeSaveTest, TheOperationsComeInOrder) {
  FileFault watch(FileOp::kRemoveTemp, 0);
  ASSERT_TRUE(SafeSave(doc_, Writes("new")).ok);
  EXPECT_EQ(watch.seen(), (std::vector<std::string>{"check", "create", "chown", "chmod", "write",
                                                    "fsync", "close", "rename", "fsync folder"}));
}

TEST_F(SafeSaveTest, AWriterThatFailsLeavesTheDocumentAlone) {
  const SaveResult result = SafeSave(doc_, [](std::ostream& os) {
    os << "half a document";
    return false;
  });
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.op, FileOp::kWrite);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(ReadFile(doc_), "old");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"notes.skep"});
}

TEST_F(SafeSaveTest, SomeoneElsesTemporaryFilesAreNeverTouched) {
  const auto elsewhere = dir_ / "elsewhere";
  WriteFile(dir_ / "Skep temp.fwv", "a leftover of another program");
  WriteFile(elsewhere, "must not change");
  // A symbolic link in the second slot must not be followed either.
  std::filesystem::create_symlink(elsewhere, dir_ / "Skep temp 2.fwv");
  ASSERT_TRUE(SafeSave(doc_, Writes("new")).ok);
  EXPECT_EQ(ReadFile(doc_), "new");
  EXPECT_EQ(ReadFile(dir_ / "Skep temp.fwv"), "a leftover of another program");
  EXPECT_EQ(ReadFile(elsewhere), "must not change");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "Skep temp 2.fwv"));
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"Skep temp 2.fwv", "Skep temp.fwv",
                                                      "elsewhere", "notes.skep"}));
}

// Saved twice, the document keeps its permission bits and the second contents, and no
// temporary file stays behind.
TEST_F(SafeSaveTest, SavingTwiceKeepsThePermissionBitsAndOnlyTheDocument) {
  ASSERT_EQ(::chmod(doc_.c_str(), 0640), 0);
  ASSERT_TRUE(SafeSave(doc_, Writes("first")).ok);
  ASSERT_TRUE(SafeSave(doc_, Writes(Big('b'))).ok);
  EXPECT_EQ(ReadFile(doc_), Big('b'));
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"notes.skep"});
  struct stat st;
  ASSERT_EQ(::stat(doc_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A document in a shared folder, saved by another member of its group.
TEST_F(SafeSaveTest, TheDocumentKeepsItsOwnerAndGroup) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "giving a file to another owner needs root";
  }
  ASSERT_EQ(::chown(doc_.c_str(), 1000, 2000), 0);
  ASSERT_EQ(::chmod(doc_.c_str(), 0660), 0);
  const SaveResult result = SafeSave(doc_, Writes("new"));
  EXPECT_TRUE(result.ok && result.owner_kept && result.group_kept);
  struct stat st;
  ASSERT_EQ(::stat(doc_.c_str(), &st), 0);
  EXPECT_EQ(std::make_tuple(st.st_uid, st.st_gid, st.st_mode & 07777),
            std::make_tuple(1000u, 2000u, 0660u));
}

TEST_F(SafeSaveTest, ASymbolicLinkToTheDocumentStaysALink) {
  std::filesystem::create_directory(dir_ / "real");
  const auto real = dir_ / "real" / "notes.skep";
  const auto link = dir_ / "link.skep";
  WriteFile(real, "old");
  std::filesystem::create_symlink(real, link);
  ASSERT_TRUE(SafeSave(link, Writes("new")).ok);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "new");
}

TEST_F(SafeSaveTest, AMissingDocumentIsReportedUnlessSavingAsANewFile) {
  const auto doc = dir_ / "gone.skep";
  const SaveResult result = SafeSave(doc, Writes("new"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.op, FileOp::kCheckDocument);
  EXPECT_EQ(result.error, ENOENT);
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"notes.skep"});

  SafeSaveOptions as_new;
  as_new.require_existing = false;
  ASSERT_TRUE(SafeSave(doc, Writes("new"), as_new).ok);
  EXPECT_EQ(ReadFile(doc), "new");
}

TEST_F(SafeSaveTest, EachFailureHasItsMessage) {
  struct Case {
    FileOp op;
    int error;
    bool temp_kept;
    std::string message;
  } cases[] = {
      {FileOp::kCheckDocument, ENOENT, false,
       "Unable to save: the file has moved or been renamed; use SaveAs instead."},
      {FileOp::kCheckDocument, EACCES, false, "Unable to save: the file was locked."},
      {FileOp::kCheckDocument, EROFS, false, "Unable to save:  that volume is locked."},
      {FileOp::kCreateTemp, EACCES, false,
       "Unable to save:  you don't have permission to write in that folder."},
      {FileOp::kCreateTemp, EROFS, false, "Unable to save:  that volume is locked."},
      {FileOp::kCreateTemp, EMFILE, false,
       "Unable to save: you may be out of memory or disk space."},
      {FileOp::kWrite, ENOSPC, false,
       "Unable to save: you may have a disk error, or be out of space."},
      {FileOp::kWrite, EFBIG, false,
       "Unable to save: you may have a disk error, or be out of space."},
      {FileOp::kWrite, 0, false, "Unable to save: you may have a disk error, or be out of space."},
      {FileOp::kSyncTemp, EIO, false, "Unable to save:  a disk error occurred."},
      {FileOp::kRename, EPERM, true,
       "Unable to save:  that volume won't allow writing; a Fernweave Temp file has been created"},
      {FileOp::kRename, EXDEV, false,
       "Unable to save: you may be out of memory or disk space. (" + std::to_string(EXDEV) + ")"},
  };
  for (const Case& c : cases) {
    SaveResult result;
    result.ok = false;
    result.op = c.op;
    result.error = c.error;
    result.temp_kept = c.temp_kept;
    EXPECT_EQ(HypertextDoc::SaveFailureMessage(HypertextDoc::SaveFailureCode(result)), c.message)
        << FileOpName(c.op) << " errno " << c.error;
  }
}

}  // namespace
}  // namespace fernweave
