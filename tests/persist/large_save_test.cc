// A document of many megabytes saved through the whole path a save takes: formed on
// one thread and written by another, written back to disk in steps while it is being
// written, fsynced and renamed. The file must hold exactly the document's bytes, and
// reading it back and saving again must give the same file.

#include <string>

#include <gtest/gtest.h>

#include "persist/orvex_reader.h"
#include "persist/orvex_writer.h"
#include "persist/safe_save.h"
#include "tests/support/document_generator.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

SaveResult Save(const std::filesystem::path& file, const Hypertext& doc) {
  SafeSaveOptions options;
  options.require_existing = false;
  return SafeSave(
      file,
      [&doc](std::ostream& os) {
        OrvexWriter writer(doc);
        return writer.Write(os);
      },
      options);
}

TEST(LargeSaveTest, ManyMegabytesSaveExactlyAndRoundTrip) {
  test::ScopedTimeZone zone("America/New_York");
  test::GeneratorOptions options;
  options.notes = 1500;
  options.text_bytes = 12000;  // past several write-back steps in all
  options.seed = 9;
  auto doc = test::GenerateDocument(options);
  const std::string expected = OrvexWriter::WriteToString(*doc);
  ASSERT_GT(expected.size(), size_t{17} << 20);

  test::ScratchFolder folder;
  // The reader names the root note after the file, as the generator named it.
  const std::filesystem::path file = folder / "generated.skep";
  ASSERT_TRUE(Save(file, *doc).ok);
  const std::string saved = test::ReadFile(file);
  ASSERT_EQ(saved.size(), expected.size());
  ASSERT_TRUE(saved == expected) << "the saved file differs from the document's bytes";

  auto loaded = OrvexReader::ReadDocument(file);
  ASSERT_NE(loaded, nullptr);
  ASSERT_TRUE(Save(file, *loaded).ok);
  const std::string again = test::ReadFile(file);
  if (again != expected) {
    size_t at = 0;
    while (at < again.size() && at < expected.size() && again[at] == expected[at]) {
      ++at;
    }
    FAIL() << "save, load, save changed the file at byte " << at << ": "
           << expected.substr(at > 200 ? at - 200 : 0, 400) << "\n---\n"
           << again.substr(at > 200 ? at - 200 : 0, 400);
  }
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"generated.skep"});
}

}  // namespace
}  // namespace fernweave
