// Writing behind the writer. `WriteBehind` gives a document writer an output stream
// whose bytes a second thread passes on to the real target stream, so that forming the
// next part of a file overlaps with the system taking the last one (a file write copies
// every byte once more, which is a good part of a save).
//
// Only the thread of the WriteBehind touches the target until Finish returns; the
// caller must not use the target meanwhile. The caller may also leave texts to be
// expanded by the thread (a document's note texts, escaped): the thread reads them,
// so they must stay unchanged until Finish returns. Bytes reach the target in exactly
// the order they were written. Memory stays bounded: at most `max_blocks` blocks wait
// for the target, and the writer waits when they are all taken.

#ifndef FERNWEAVE_PERSIST_WRITE_BEHIND_H_
#define FERNWEAVE_PERSIST_WRITE_BEHIND_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace fernweave {

class WriteBehind : private std::streambuf {
 public:
  static constexpr size_t kBlockSize = 1 << 18;
  static constexpr size_t kMaxBlocks = 4;

  // How a text left to the thread becomes bytes: appended to `out`.
  using Expander = void (*)(std::string* out, std::string_view text);

  // A text left to the thread: what `expand` makes of it goes in before byte `at` of
  // the block it is handed with.
  struct Deferred {
    size_t at;
    std::string_view text;
  };

  // `target` must outlive this object. `expand` may be null when no text is left to
  // the thread.
  explicit WriteBehind(std::ostream& target, Expander expand = nullptr,
                       size_t block_size = kBlockSize, size_t max_blocks = kMaxBlocks);
  // Finishes when Finish was not called, ignoring the outcome.
  ~WriteBehind() override;

  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // The stream to write to. Flushing it hands over what is buffered.
  std::ostream& stream() { return stream_; }

  // Hands over `*block` whole, after everything written before it, and leaves in
  // `*block` an empty string (with capacity to spare) for the caller to fill next. Spares
  // the copy into the stream's buffer for callers that form bytes in strings. With
  // `deferred`, its texts (in order of `at`) are expanded into the block by the thread,
  // and `*deferred` is left empty.
  // REQUIRES: every `at` is at most block->size(); with texts, an expander was given.
  void Hand(std::string* block, std::vector<Deferred>* deferred = nullptr);

  // Hands over what is buffered, waits until the thread has written everything, and
  // flushes the target. Returns true when every write succeeded and the target is
  // still good. Rethrows what writing to the target threw. Call once.
  bool Finish();

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Queues the put area's bytes, if any, and starts a fresh one.
  void HandBuffered();
  struct Block {
    std::string bytes;
    std::vector<Deferred> deferred;
  };

  // Queues one block; waits while the queue is full.
  void Queue(Block block);
  // A spare block with room for block_size_ bytes.
  Block TakeSpare();
  // Writes one block, its texts expanded, to the target unless an earlier write failed;
  // records a failure. `assembly` holds the expanded block.
  void WriteBlock(Block* block, std::string* assembly);
  // Keeps a written block for reuse.
  void Recycle(Block block);
  // The thread: writes queued blocks until Finish closes the queue.
  void Run();

  std::ostream& target_;
  const Expander expand_;
  const size_t block_size_;
  const size_t max_blocks_;
  std::ostream stream_;
  // The stream's put area; its bytes are copied into a block when handed over.
  std::vector<char> buffer_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> queue_;   // blocks waiting for the target, oldest first
  std::vector<Block> spare_;  // written blocks, kept for reuse
  bool closing_ = false;
  bool failed_ = false;
  // Set by the thread, read after it ended.
  std::exception_ptr thrown_;
  bool finished_ = false;
  // Not joinable when no thread could be started: blocks are then written at once.
  std::thread thread_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_WRITE_BEHIND_H_
