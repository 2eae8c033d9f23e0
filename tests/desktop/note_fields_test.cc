// The note pane's translation of text and looks between the editor and the model, and
// its typed entry of key attributes.

#include "desktop/note_fields.h"

#include <gtest/gtest.h>

#include "desktop/document_session.h"
#include "model/config.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

StyleRun MakeRun(int32_t start, bool bold, uint16_t red = 0) {
  StyleRun run;
  run.start = start;
  run.font = "Helvetica";
  run.size = 12;
  run.bold = bold;
  run.color = PColor(red, 0, 0);
  return run;
}

// "a😀b\rcd": the emoji takes two UTF-16 units but one character of the editor.
Content Styled() {
  Content content("a\xF0\x9F\x98\x80" "b\rcd");
  content.style_runs() = {MakeRun(0, false), MakeRun(1, true, 0xffff), MakeRun(4, false)};
  return content;
}

TEST(NoteFieldsTest, EditorTextCountsCharactersAndBreaksLinesWithLineFeeds) {
  const EditorText shown = EditorTextOf(Styled());
  EXPECT_EQ(shown.text, "a\xF0\x9F\x98\x80" "b\ncd");
  EXPECT_TRUE(shown.editable);
  const std::vector<TextLook> want = {{0, 1, 0, false, false},
                                      {1, 3, 1, true, false},
                                      {3, 6, 2, false, false}};
  EXPECT_EQ(shown.looks, want);

  Content with_picture("x");
  with_picture.pictures().push_back(TextPicture{});
  EXPECT_FALSE(EditorTextOf(with_picture).editable);
}

TEST(NoteFieldsTest, UnchangedLooksRoundTripAndEditsKeepEachRunsFontAndColour) {
  const Content original = Styled();
  const EditorText shown = EditorTextOf(original);
  const Content same = ContentFromEditor(original, shown.text, shown.looks);
  EXPECT_EQ(same.text(), original.text());
  EXPECT_EQ(same.style_runs(), original.style_runs());

  // Two characters typed before the emoji (they take the first run's look) and the
  // last word made italic.
  std::vector<TextLook> looks = {{0, 3, 0, false, false},
                                 {3, 5, 1, true, false},
                                 {5, 6, 2, false, false},
                                 {6, 8, 2, false, true}};
  const Content edited =
      ContentFromEditor(original, "axy\xF0\x9F\x98\x80" "b\ncd", looks);
  EXPECT_EQ(edited.text(), "axy\xF0\x9F\x98\x80" "b\rcd");
  std::vector<StyleRun> want = {MakeRun(0, false), MakeRun(3, true, 0xffff), MakeRun(6, false),
                                MakeRun(7, false)};
  want[3].italic = true;
  EXPECT_EQ(edited.style_runs(), want);

  // Plain text with no looks at all stays without runs; a bold word in plain text gets
  // plain runs around it.
  EXPECT_TRUE(ContentFromEditor(Content("plain"), "plain", {}).style_runs().empty());
  const Content bolded = ContentFromEditor(Content("one two"), "one two", {{4, 7, -1, true}});
  ASSERT_EQ(bolded.style_runs().size(), 2u);
  EXPECT_EQ(bolded.style_runs()[0].start, 0);
  EXPECT_FALSE(bolded.style_runs()[0].bold);
  EXPECT_EQ(bolded.style_runs()[1].start, 4);
  EXPECT_TRUE(bolded.style_runs()[1].bold);
}

TEST(NoteFieldsTest, StoringTextGoesToTheOriginalAndMarksTheDocument) {
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Soil");
  Node* soil = test::At(ht, "Soil");
  session->selection().Select(soil);
  ht->SetModified(false);
  StoreEditorText(soil, "Clay.\nAdd compost.", {});
  EXPECT_EQ(soil->GetText(), "Clay.\rAdd compost.");
  EXPECT_TRUE(ht->IsModified());
}

TEST(NoteFieldsTest, KeyAttributesParseByTheirTypeAndInvalidEntriesStoreNothing) {
  test::PinnedClock clock("2009-05-04T10:17:33");
  // Colour names come from the configuration's colour table.
  ScopedConfigFolder config(FW_SOURCE_DIR "/config");
  auto session = DocumentSession::CreateNew();
  Hypertext* ht = session->hypertext();
  test::AddOutline(ht, "Task");
  Node* task = test::At(ht, "Task");
  task->Set("KeyAttributes", "Checked;DueDate;Width;Color;Created;Nonesuch");
  const std::vector<KeyAttribute> keys = KeyAttributesOf(task);
  std::vector<std::string> names;
  for (const KeyAttribute& key : keys) {
    names.push_back(key.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Checked", "DueDate", "Width", "Color", "Created"}));

  struct Case {
    const char* attribute;
    const char* typed;
    bool stored;
    const char* shown_or_error;
  };
  const Case cases[] = {
      {"Width", "1,200.5", true, "1200.5"},
      {"Width", "wide", false, "not a number: wide"},
      {"DueDate", "not a date at all", false, "not a date: not a date at all"},
      {"Color", "bright red", true, "bright red"},
      {"Color", "#12345", false, "not a colour: #12345"},
      {"Created", "2001-01-01", false, "Created cannot be changed"},
      {"Checked", "true", true, "true"},
  };
  for (const Case& c : cases) {
    const AttributeEntry entry = StoreAttributeText(task, ht->GetAttribute(c.attribute), c.typed);
    EXPECT_EQ(entry.stored, c.stored) << c.attribute << " " << c.typed;
    EXPECT_EQ(entry.stored ? entry.shown : entry.error, c.shown_or_error)
        << c.attribute << " " << c.typed;
  }
  // An invalid entry left the value that was there.
  EXPECT_EQ(task->GetString("Width"), "1200.5");
  // A date the parser understands is stored as what it understood.
  const AttributeEntry due = StoreAttributeText(task, ht->GetAttribute("DueDate"), "tomorrow 9am");
  ASSERT_TRUE(due.stored) << due.error;
  EXPECT_NE(task->GetString("DueDate"), "never");
  // Empty text goes back to the default.
  EXPECT_TRUE(StoreAttributeText(task, ht->GetAttribute("Width"), "").stored);
  EXPECT_TRUE(task->UsesDefault(ht->GetAttribute("Width")));
  // The colour button shows what a stored colour name stands for.
  const std::vector<KeyAttribute> after = KeyAttributesOf(task);
  ASSERT_TRUE(after[3].color.has_value());
  EXPECT_EQ(after[3].color->ToHex(), "#ff3030");
  EXPECT_FALSE(after[2].color.has_value());
}

}  // namespace
}  // namespace fernweave
