#include "persist/write_behind.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace fernweave {

WriteBehind::WriteBehind(std::ostream& target, Expander expand, size_t block_size,
                         size_t max_blocks)
    : target_(target),
      expand_(expand),
      block_size_(std::max<size_t>(block_size, 1)),
      max_blocks_(std::max<size_t>(max_blocks, 1)),
      stream_(this),
      buffer_(block_size_) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  try {
    thread_ = std::thread(&WriteBehind::Run, this);
  } catch (const std::system_error&) {
    // No thread to be had: every block is written at once instead.
  }
}

WriteBehind::~WriteBehind() {
  if (!finished_) {
    try {
      Finish();
    } catch (...) {
      // The outcome was not asked for; the target's state tells what became of it.
    }
  }
}

void WriteBehind::Hand(std::string* block, std::vector<Deferred>* deferred) {
  HandBuffered();
  if (block->empty() && (deferred == nullptr || deferred->empty())) {
    return;
  }
  Block spare = TakeSpare();
  Block full;
  full.bytes = std::move(*block);
  *block = std::move(spare.bytes);
  if (deferred != nullptr) {
    full.deferred = std::move(*deferred);
    *deferred = std::move(spare.deferred);
  }
  Queue(std::move(full));
}

bool WriteBehind::Finish() {
  if (finished_) {
    return false;
  }
  HandBuffered();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
  finished_ = true;
  if (thrown_ != nullptr) {
    std::rethrow_exception(thrown_);
  }
  if (failed_) {
    return false;
  }
  target_.flush();
  return static_cast<bool>(target_);
}

WriteBehind::int_type WriteBehind::overflow(int_type ch) {
  HandBuffered();
  if (!traits_type::eq_int_type(ch, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
  }
  return traits_type::not_eof(ch);
}

std::streamsize WriteBehind::xsputn(const char* s, std::streamsize n) {
  std::streamsize left = n;
  while (left > 0) {
    if (pptr() == epptr()) {
      HandBuffered();
    }
    const std::streamsize room = epptr() - pptr();
    const std::streamsize take = std::min(room, left);
    std::memcpy(pptr(), s, static_cast<size_t>(take));
    pbump(static_cast<int>(take));
    s += take;
    left -= take;
  }
  return n;
}

int WriteBehind::sync() {
  HandBuffered();
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_ ? -1 : 0;
}

void WriteBehind::HandBuffered() {
  if (pptr() == pbase()) {
    return;
  }
  Block block = TakeSpare();
  block.bytes.assign(pbase(), pptr());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  Queue(std::move(block));
}

void WriteBehind::Queue(Block block) {
  if (!thread_.joinable()) {
    std::string assembly;
    WriteBlock(&block, &assembly);
    Recycle(std::move(block));
    return;
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < max_blocks_; });
    queue_.push_back(std::move(block));
  }
  changed_.notify_all();
}

WriteBehind::Block WriteBehind::TakeSpare() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (spare_.empty()) {
    Block fresh;
    fresh.bytes.reserve(block_size_);
    return fresh;
  }
  Block block = std::move(spare_.back());
  spare_.pop_back();
  return block;
}

void WriteBehind::WriteBlock(Block* block, std::string* assembly) {
  bool failed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failed = failed_;
  }
  // After a failure the rest is dropped: the target holds an incomplete file either
  // way, and the writer learns of it from Finish.
  bool ok = true;
  if (!failed) {
    try {
      std::string_view bytes = block->bytes;
      if (!block->deferred.empty()) {
        // The texts go in between the block's bytes.
        assembly->clear();
        size_t at = 0;
        for (const Deferred& d : block->deferred) {
          assembly->append(bytes.substr(at, d.at - at));
          expand_(assembly, d.text);
          at = d.at;
        }
        assembly->append(bytes.substr(at));
        bytes = *assembly;
      }
      target_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      ok = static_cast<bool>(target_);
    } catch (...) {
      thrown_ = std::current_exception();
      ok = false;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  failed_ = failed_ || !ok;
}

void WriteBehind::Recycle(Block block) {
  block.bytes.clear();
  block.deferred.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  if (spare_.size() < max_blocks_ + 2) {
    spare_.push_back(std::move(block));
  }
}

void WriteBehind::Run() {
  std::string assembly;
  while (true) {
    Block block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (queue_.empty()) {
        return;
      }
      block = std::move(queue_.front());
      queue_.pop_front();
    }
    changed_.notify_all();
    WriteBlock(&block, &assembly);
    Recycle(std::move(block));
  }
}

}  // namespace fernweave
