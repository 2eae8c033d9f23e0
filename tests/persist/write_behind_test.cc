// Writing behind the writer: bytes reach the target whole and in order however they
// were handed over, a target that fails or throws is reported, and a whole document
// written this way is the same as before and fails cleanly on a failing stream.

#include "persist/write_behind.h"

#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "persist/orvex_writer.h"
#include "tests/support/document_generator.h"

namespace fernweave {
namespace {

// Takes `limit` bytes, then refuses everything.
class LimitedBuffer : public std::streambuf {
 public:
  explicit LimitedBuffer(size_t limit) : limit_(limit) {}
  const std::string& taken() const { return taken_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const size_t take = std::min(static_cast<size_t>(n), limit_ - taken_.size());
    taken_.append(s, take);
    return static_cast<std::streamsize>(take);
  }
  int_type overflow(int_type ch) override {
    if (taken_.size() >= limit_) {
      return traits_type::eof();
    }
    taken_.push_back(traits_type::to_char_type(ch));
    return ch;
  }

 private:
  size_t limit_;
  std::string taken_;
};

// What the tests leave to the thread: the text in brackets.
void Bracket(std::string* out, std::string_view text) {
  out->push_back('[');
  out->append(text);
  out->push_back(']');
}

TEST(WriteBehindTest, BytesArriveInOrderHoweverTheyAreHandedOver) {
  std::mt19937 rng(3);
  // Tiny blocks and a short queue make the writer wait on the thread again and again.
  for (size_t block_size : {size_t{1}, size_t{7}, size_t{4096}}) {
    for (size_t max_blocks : {size_t{1}, size_t{3}}) {
      std::ostringstream target;
      std::string expected;
      {
        WriteBehind behind(target, &Bracket, block_size, max_blocks);
        std::string block;
        std::vector<WriteBehind::Deferred> deferred;
        const std::string texts[] = {"t", "", std::string(300, 'x')};
        for (int i = 0; i < 2000; ++i) {
          const std::string piece = std::to_string(i) + (i % 5 == 0 ? "\n" : ",");
          expected += piece;
          switch (rng() % 5) {
            case 0:
              behind.stream() << piece;
              break;
            case 1:
              behind.stream().put(piece[0]);
              behind.stream().write(piece.data() + 1,
                                    static_cast<std::streamsize>(piece.size() - 1));
              break;
            case 2:
              block += piece;
              behind.Hand(&block);
              ASSERT_TRUE(block.empty());
              break;
            case 3: {
              // Texts left to the thread: at the start, inside (every other time) and
              // at the end of a block, then a block of nothing but a text.
              const std::string& text = texts[static_cast<size_t>(i) % std::size(texts)];
              const std::string bracketed = "[" + text + "]";
              expected.resize(expected.size() - piece.size());
              expected += bracketed + piece.substr(0, 1) + (i % 2 == 0 ? bracketed : "") +
                          piece.substr(1) + bracketed + bracketed;
              block += piece;
              deferred.push_back({0, text});
              if (i % 2 == 0) {
                deferred.push_back({1, text});
              }
              deferred.push_back({block.size(), text});
              behind.Hand(&block, &deferred);
              ASSERT_TRUE(block.empty());
              ASSERT_TRUE(deferred.empty());
              deferred.push_back({0, text});
              behind.Hand(&block, &deferred);
              break;
            }
            default:
              behind.stream() << piece;
              behind.stream().flush();
          }
        }
        ASSERT_TRUE(behind.Finish());
        EXPECT_FALSE(behind.Finish()) << "a second Finish has nothing to report";
      }
      EXPECT_EQ(target.str(), expected) << block_size << " " << max_blocks;
    }
  }
}

TEST(WriteBehindTest, FinishesWhenDestroyed) {
  std::ostringstream target;
  {
    WriteBehind behind(target, nullptr, 16, 2);
    behind.stream() << std::string(1000, 'x') << "end";
  }
  EXPECT_EQ(target.str(), std::string(1000, 'x') + "end");
}

TEST(WriteBehindTest, AFailingTargetIsReported) {
  // The whole output is about 3,800 bytes.
  for (size_t limit : {size_t{0}, size_t{5}, size_t{100}, size_t{3000}}) {
    LimitedBuffer buffer(limit);
    std::ostream target(&buffer);
    WriteBehind behind(target, nullptr, 64, 2);
    std::string block;
    for (int i = 0; i < 200; ++i) {
      block = "block " + std::to_string(i) + ";";
      behind.Hand(&block);
      behind.stream() << "direct " << i << ";";
    }
    EXPECT_FALSE(behind.Finish()) << limit;
    EXPECT_LE(buffer.taken().size(), limit);
    EXPECT_EQ(buffer.taken().rfind("block 0;", 0), limit >= 8 ? 0u : std::string::npos);
  }
}

TEST(WriteBehindTest, WhatTheTargetThrowsReachesTheWriter) {
  LimitedBuffer buffer(10);
  std::ostream target(&buffer);
  target.exceptions(std::ios::badbit);
  WriteBehind behind(target, nullptr, 8, 2);
  behind.stream() << std::string(100, 'y');
  EXPECT_THROW(behind.Finish(), std::ios_base::failure);
}

TEST(WriteBehindTest, DocumentWrittenWholeOrReportedAsFailed) {
  test::GeneratorOptions options;
  options.notes = 400;
  options.seed = 4;
  auto doc = test::GenerateDocument(options);
  const std::string whole = OrvexWriter::WriteToString(*doc);
  ASSERT_GT(whole.size(), size_t{300000});
  EXPECT_EQ(OrvexWriter::WriteToString(*doc), whole) << "the same bytes every time";
  // A stream that gives out at the start, inside the first block, at a block's edge
  // and near the end.
  for (size_t limit :
       {size_t{0}, size_t{1}, size_t{70000}, size_t{1} << 16, size_t{1} << 18, whole.size() - 1}) {
    LimitedBuffer buffer(limit);
    std::ostream os(&buffer);
    OrvexWriter writer(*doc);
    EXPECT_FALSE(writer.Write(os)) << limit;
    EXPECT_EQ(buffer.taken(), whole.substr(0, buffer.taken().size())) << limit;
  }
  // Exactly enough room.
  LimitedBuffer buffer(whole.size());
  std::ostream os(&buffer);
  OrvexWriter writer(*doc);
  EXPECT_TRUE(writer.Write(os));
  EXPECT_EQ(buffer.taken(), whole);
}

}  // namespace
}  // namespace fernweave
