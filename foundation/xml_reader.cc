#include "foundation/xml_reader.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>
#include <cstring>
#include <fstream>

#include "foundation/error.h"
#include "foundation/user_messages.h"

// The entity-expansion limits are declared only for builds with DTD support, which the
// system's expat has; declaring them here lets the reader set them explicitly rather
// than trust the library's defaults.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

namespace fernweave {
namespace {

constexpr char kMalformedMessage[] =
    "Fernweave was unable to parse this file. It may be damaged, or you may need a newer "
    "version of Fernweave.  The XML parser said:";
constexpr char kPlacardTitle[] = "Reading XML...";
// Inputs above this size show the progress display.
constexpr uint64_t kPlacardThreshold = 65536;
// An entity may expand to at most this many times the bytes of the document around it,
// checked once expansions pass kExpansionThreshold bytes.
constexpr float kMaxAmplification = 100.0f;
constexpr unsigned long long kExpansionThreshold = 8ull << 20;
constexpr size_t kProbeBytes = 4096;

}  // namespace

// The expat handlers. Exceptions must not unwind through expat's C frames: a handler
// that throws stops the parser and the exception is rethrown once expat has returned.
struct XMLReaderCallbacks {
  template <typename Call>
  static void Guard(void* data, Call call) {
    auto* reader = static_cast<XMLReader*>(data);
    if (reader->pending_exception_ || reader->too_deep_ || reader->declined_) {
      return;
    }
    try {
      call(reader);
    } catch (...) {
      reader->pending_exception_ = std::current_exception();
      XML_StopParser(reader->parser_, XML_FALSE);
    }
  }

  static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    Guard(data, [&](XMLReader* reader) { reader->StartElement(name, attributes); });
  }
  static void XMLCALL End(void* data, const XML_Char* name) {
    Guard(data, [&](XMLReader* reader) { reader->EndElement(name); });
  }
  static void XMLCALL Chars(void* data, const XML_Char* chars, int length) {
    Guard(data, [&](XMLReader* reader) { reader->CharData(chars, length); });
  }
  // A file in an encoding expat does not know itself ("macintosh", "windows-1252",
  // ...): any single-byte encoding ICU converts is given to expat as a table of the
  // character each byte stands for. Bytes the encoding leaves unmapped are malformed.
  static int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (U_FAILURE(status)) {
      return XML_STATUS_ERROR;
    }
    bool single_byte = ucnv_getMinCharSize(converter) == 1 && ucnv_getMaxCharSize(converter) == 1;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    for (int byte = 0; byte < 256 && single_byte && U_SUCCESS(status); ++byte) {
      const char in = static_cast<char>(byte);
      UChar out[4];
      UErrorCode one = U_ZERO_ERROR;
      ucnv_reset(converter);
      const int32_t length = ucnv_toUChars(converter, out, 4, &in, 1, &one);
      info->map[byte] = U_SUCCESS(one) && length == 1 && !U16_IS_SURROGATE(out[0]) ? out[0] : -1;
    }
    ucnv_close(converter);
    if (!single_byte || U_FAILURE(status)) {
      return XML_STATUS_ERROR;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
  }
};

XMLReader::~XMLReader() {
  Dispose();
}

bool XMLReader::Parse(const std::filesystem::path& file) {
  try {
    std::error_code code;
    uint64_t size = std::filesystem::file_size(file, code);
    std::ifstream in(file, std::ios::binary);
    if (code || !in) {
      error_ = "cannot open the file";
      return false;
    }
    return Parse(in, size);
  } catch (const std::exception& e) {
    DeletePlacard();
    error_ = e.what();
    return false;
  }
}

void XMLReader::StopParser() {
  if (stop_request_ != nullptr) {
    stop_request_->store(true);
  } else {
    XML_StopParser(parser_, XML_FALSE);
  }
}

bool XMLReader::Parse(std::istream& in, uint64_t size) {
  if (parse_ahead_) {
    return ParseAhead(in, size);
  }
  Reset();
  if (size > kPlacardThreshold) {
    placard_ = MakeProgress();
    placard_->Begin(kPlacardTitle, static_cast<long>(size / kBlockSize));
  }
  bool parsed = true;
  bool read_failed = false;
  bool final_sent = false;
  uint64_t remaining = size;
  try {
    while (remaining > 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, remaining));
      void* buffer = XML_GetBuffer(parser_, static_cast<int>(want));
      if (buffer == nullptr) {
        throw Error(error_code::kMemF, "no memory for the XML read buffer");
      }
      in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(want));
      size_t got = static_cast<size_t>(in.gcount());
      // A stream that stops short without reaching its end failed to read; parsing
      // what arrived would hand a truncated tree to the client.
      if (in.bad() || (got < want && !in.eof())) {
        read_failed = true;
        break;
      }
      remaining -= got;
      final_sent = got < want || remaining == 0;
      if (placard_) {
        placard_->Bump();
      }
      if (XML_ParseBuffer(parser_, static_cast<int>(got), final_sent) != XML_STATUS_OK) {
        RethrowPending();
        RecordParseError();
        parsed = false;
        break;
      }
      if (final_sent) {
        break;
      }
    }
    // An empty input still needs its final block, so expat reports the missing root.
    if (parsed && !read_failed && !final_sent) {
      parsed = ParseBlock(nullptr, 0, true);
    }
  } catch (...) {
    DeletePlacard();
    throw;
  }
  DeletePlacard();
  if (read_failed) {
    error_ = "the file could not be read to its end";
    return false;
  }
  if (!parsed) {
    HandleErrors(!declined_);
    return false;
  }
  return root_ != nullptr && Finish();
}

namespace {

// The parse on a second thread. The parsing thread reads the input in blocks, runs
// expat with handlers that only write down what they are handed, and passes the
// records on in batches of a 256th of the input (32 to 256 KiB, so that what waits
// between the threads stays small beside the document); the reading thread takes the
// batches in turn and replays them to its own handlers. A batch holds, in order:
//   'S' name NUL (attribute-name NUL value NUL)* NUL    an element starts
//   'T' length (4 bytes) characters                     character data
//   'E'                                                 an element ends
// XML text cannot hold NUL, so names and values end at the first one.
class ReadAhead {
 public:
  static constexpr size_t kLeastBatch = 32 * 1024;
  static constexpr size_t kLargestBatch = 256 * 1024;
  static constexpr size_t kBatchesAhead = 3;

  struct Batch {
    std::string records;
    long blocks = 0;  // input blocks parsed into it, for the progress display
  };
  // How the parse ended, once Next has answered null.
  struct Outcome {
    bool parsed = true;
    bool read_failed = false;
    bool too_deep = false;
    std::string error;
    long line = 0;
  };

  // Takes the parser, which must have no handlers of its own.
  ReadAhead(XML_Parser parser, std::istream& in, uint64_t size, const std::atomic<bool>& stop)
      : parser_(parser),
        in_(in),
        size_(size),
        batch_bytes_(static_cast<size_t>(std::clamp<uint64_t>(size / 256, kLeastBatch, kLargestBatch))),
        stop_(stop) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, Start, End);
    XML_SetCharacterDataHandler(parser_, Chars);
    thread_ = std::thread([this] { Run(); });
  }
  // Stops the parsing thread if it still runs, and waits for it.
  ~ReadAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Gives back the batch replayed (null at first) and waits for the next one; null
  // when the parse has ended and every batch was handed over.
  Batch* Next(Batch* done) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (done != nullptr) {
      done->records.clear();
      done->blocks = 0;
      spare_.push_back(std::move(*done));
      full_.pop_front();
    }
    changed_.notify_all();
    changed_.wait(lock, [this] { return !full_.empty() || finished_; });
    return full_.empty() ? nullptr : &full_.front();
  }
  const Outcome& outcome() const { return outcome_; }

 private:
  static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<ReadAhead*>(data);
    // Deeper nesting makes the input malformed: stopped here, with the line it is on.
    if (++self->depth_ > XMLReader::kMaxDepth) {
      self->outcome_.too_deep = true;
      XML_StopParser(self->parser_, XML_FALSE);
      return;
    }
    std::string& out = self->current_.records;
    out.push_back('S');
    out.append(name).push_back('\0');
    for (; attributes[0] != nullptr && attributes[1] != nullptr; attributes += 2) {
      out.append(attributes[0]).push_back('\0');
      out.append(attributes[1]).push_back('\0');
    }
    out.push_back('\0');
  }
  static void XMLCALL End(void* data, const XML_Char*) {
    auto* self = static_cast<ReadAhead*>(data);
    --self->depth_;
    self->current_.records.push_back('E');
  }
  static void XMLCALL Chars(void* data, const XML_Char* chars, int length) {
    std::string& out = static_cast<ReadAhead*>(data)->current_.records;
    const auto count = static_cast<uint32_t>(length);
    out.push_back('T');
    out.append(reinterpret_cast<const char*>(&count), sizeof count);
    out.append(chars, static_cast<size_t>(length));
  }

  // The parsing thread: the block loop of XMLReader::Parse.
  void Run() {
    uint64_t remaining = size_;
    bool final_sent = false;
    while (remaining > 0 && !Quitting()) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(XMLReader::kBlockSize, remaining));
      void* buffer = XML_GetBuffer(parser_, static_cast<int>(want));
      if (buffer == nullptr) {
        outcome_.parsed = false;
        outcome_.error = "no memory for the XML read buffer";
        break;
      }
      in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(want));
      const size_t got = static_cast<size_t>(in_.gcount());
      if (in_.bad() || (got < want && !in_.eof())) {
        outcome_.read_failed = true;
        break;
      }
      remaining -= got;
      final_sent = got < want || remaining == 0;
      ++current_.blocks;
      if (XML_ParseBuffer(parser_, static_cast<int>(got), final_sent) != XML_STATUS_OK) {
        RecordError();
        break;
      }
      if (current_.records.size() >= batch_bytes_ && !HandOver()) {
        break;
      }
      if (final_sent) {
        break;
      }
    }
    // An empty input still needs its final block, so expat reports the missing root.
    if (outcome_.parsed && !outcome_.read_failed && !final_sent && !Quitting() &&
        XML_Parse(parser_, nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
      RecordError();
    }
    HandOver();
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

  void RecordError() {
    outcome_.parsed = false;
    outcome_.error = XML_ErrorString(XML_GetErrorCode(parser_));
    outcome_.line = static_cast<long>(XML_GetCurrentLineNumber(parser_));
  }

  // Passes the batch filled so far on, waiting while enough are ahead; false when the
  // reading thread asked the parse to stop.
  bool HandOver() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return full_.size() < kBatchesAhead || quit_; });
    if (quit_) {
      return false;
    }
    if (!current_.records.empty() || current_.blocks > 0) {
      full_.push_back(std::move(current_));
      changed_.notify_all();
    }
    if (spare_.empty()) {
      current_ = Batch{};
      current_.records.reserve(batch_bytes_ + XMLReader::kBlockSize);
    } else {
      current_ = std::move(spare_.back());
      spare_.pop_back();
    }
    return true;
  }

  bool Quitting() {
    if (stop_.load(std::memory_order_relaxed)) {
      return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return quit_;
  }

  XML_Parser parser_;
  std::istream& in_;
  const uint64_t size_;
  const size_t batch_bytes_;
  const std::atomic<bool>& stop_;
  // Parsing thread only.
  Batch current_;
  int depth_ = 0;
  Outcome outcome_;
  // Shared, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> full_;
  std::vector<Batch> spare_;
  bool finished_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace

bool XMLReader::ParseAhead(std::istream& in, uint64_t size) {
  Reset();
  if (size > kPlacardThreshold) {
    placard_ = MakeProgress();
    placard_->Begin(kPlacardTitle, static_cast<long>(size / kBlockSize));
  }
  std::atomic<bool> stop{false};
  stop_request_ = &stop;
  std::optional<ReadAhead::Outcome> outcome;
  try {
    ReadAhead ahead(parser_, in, size, stop);
    std::vector<const char*> attributes;
    ReadAhead::Batch* batch = nullptr;
    while (!stop.load() && (batch = ahead.Next(batch)) != nullptr) {
      const char* p = batch->records.data();
      const char* end = p + batch->records.size();
      while (p < end && !stop.load(std::memory_order_relaxed)) {
        const char kind = *p++;
        if (kind == 'S') {
          const char* name = p;
          p += std::strlen(p) + 1;
          attributes.clear();
          while (*p != '\0') {
            attributes.push_back(p);
            p += std::strlen(p) + 1;
            attributes.push_back(p);
            p += std::strlen(p) + 1;
          }
          ++p;
          attributes.push_back(nullptr);
          StartElement(name, attributes.data());
        } else if (kind == 'T') {
          uint32_t count = 0;
          std::memcpy(&count, p, sizeof count);
          p += sizeof count;
          CharData(p, static_cast<int>(count));
          p += count;
        } else {
          EndElement(nullptr);
        }
      }
      for (long i = 0; placard_ && i < batch->blocks; ++i) {
        placard_->Bump();
      }
    }
    if (!stop.load()) {
      outcome = ahead.outcome();
    }
  } catch (...) {
    stop_request_ = nullptr;
    DeletePlacard();
    throw;
  }
  stop_request_ = nullptr;
  DeletePlacard();
  if (outcome && outcome->read_failed) {
    error_ = "the file could not be read to its end";
    return false;
  }
  if (!outcome || !outcome->parsed) {
    // Stopped by a handler (the client declined, or nesting too deep found here), or
    // the input is malformed.
    too_deep_ = too_deep_ || (outcome && outcome->too_deep);
    if (declined_) {
      error_.clear();
      error_line_ = 0;
    } else {
      error_ = too_deep_ ? "elements are nested more than " + std::to_string(kMaxDepth) + " deep"
                         : outcome->error;
      error_line_ = outcome ? outcome->line : 0;
    }
    HandleErrors(!declined_);
    return false;
  }
  return root_ != nullptr && Finish();
}

bool XMLReader::Parse(const std::string& text) {
  Reset();
  if (!ParseText(text)) {
    HandleErrors(false);
    if (declined_) {
      return false;
    }
    std::string zapped = Zap(text);
    // A retry can only help when the text had ill-formed bytes to replace.
    if (zapped == text) {
      return false;
    }
    Reset();
    if (!ParseText(zapped)) {
      HandleErrors(false);
      return false;
    }
  }
  return root_ != nullptr && Finish();
}

bool XMLReader::ParseText(const std::string& text) {
  size_t offset = 0;
  do {
    size_t length = std::min(kBlockSize, text.size() - offset);
    bool is_final = offset + length == text.size();
    if (!ParseBlock(text.data() + offset, length, is_final)) {
      return false;
    }
    offset += length;
  } while (offset < text.size());
  return true;
}

bool XMLReader::ParseBlock(const char* data, size_t length, bool is_final) {
  if (XML_Parse(parser_, data, static_cast<int>(length), is_final) == XML_STATUS_OK) {
    return true;
  }
  RethrowPending();
  RecordParseError();
  return false;
}

void XMLReader::RecordParseError() {
  if (declined_) {
    // Not an error of the input: the client declined it and says why itself.
    error_.clear();
    error_line_ = 0;
    return;
  }
  error_ = too_deep_ ? "elements are nested more than " + std::to_string(kMaxDepth) + " deep"
                     : XML_ErrorString(XML_GetErrorCode(parser_));
  error_line_ = static_cast<long>(XML_GetCurrentLineNumber(parser_));
}

void XMLReader::RethrowPending() {
  if (pending_exception_) {
    std::exception_ptr pending = pending_exception_;
    pending_exception_ = nullptr;
    std::rethrow_exception(pending);
  }
}

std::string XMLReader::ProbeXML(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  Reset();
  std::string kind;
  try {
    // Block by block until the root element starts: comments, processing
    // instructions and a document type declaration may come first, at any length.
    char buffer[kProbeBytes];
    while (root_ == nullptr && in) {
      in.read(buffer, sizeof buffer);
      const size_t got = static_cast<size_t>(in.gcount());
      if (got == 0 || !ParseBlock(buffer, got, false)) {
        break;
      }
    }
    if (root_ != nullptr) {
      kind = root_->Kind();
    }
  } catch (...) {
    Dispose();
    throw;
  }
  Dispose();
  return kind;
}

void XMLReader::HandleErrors(bool show) {
  if (show) {
    Warn(kMalformedMessage + error_ + " (line " + std::to_string(error_line_) + ")");
  }
}

std::unique_ptr<XMLItem> XMLReader::Release() {
  current_ = nullptr;
  return std::move(root_);
}

void XMLReader::Initialize() {
  if (parser_ != nullptr) {
    return;
  }
  parser_ = XML_ParserCreateNS(nullptr, '*');
  if (parser_ == nullptr) {
    throw Error(error_code::kMemF, "cannot create the XML parser");
  }
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, XMLReaderCallbacks::Start, XMLReaderCallbacks::End);
  XML_SetCharacterDataHandler(parser_, XMLReaderCallbacks::Chars);
  Secure(parser_);
  depth_ = 0;
  too_deep_ = false;
  declined_ = false;
  error_.clear();
  error_line_ = 0;
  pending_exception_ = nullptr;
}

void XMLReader::Secure(XML_ParserStruct* parser) {
  XML_SetUnknownEncodingHandler(parser, XMLReaderCallbacks::UnknownEncoding, nullptr);
  // Never read anything outside the input: no external DTD subset, no parameter
  // entities, and (no external-entity handler being set) no external entities.
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kMaxAmplification);
  XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kExpansionThreshold);
}

void XMLReader::Dispose() {
  if (parser_ != nullptr) {
    XML_ParserFree(parser_);
    parser_ = nullptr;
  }
  DeletePlacard();
  root_.reset();
  spare_items_.clear();
  current_ = nullptr;
  depth_ = 0;
}

void XMLReader::Reset() {
  Dispose();
  Initialize();
}

long XMLReader::GetPos() const {
  return parser_ != nullptr ? static_cast<long>(XML_GetCurrentByteIndex(parser_)) : -1;
}

std::string XMLReader::Zap(const std::string& text) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    if (static_cast<unsigned char>(out[i]) < 0x80) {
      ++i;
      continue;
    }
    Utf8Step step = DecodeUtf8(out, i);
    bool surrogate = step.code_point >= 0xD800 && step.code_point <= 0xDFFF;
    if (step.code_point == Utf8Step::kIllFormed || surrogate) {
      std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i), step.length, '_');
    }
    i += step.length;
  }
  return out;
}

void XMLReader::StartElement(const char* name, const char** attributes) {
  if (++depth_ > kMaxDepth) {
    // Refuse the input rather than build a tree its clients might walk recursively.
    too_deep_ = true;
    StopParser();
    return;
  }
  // With namespace processing the name arrives as "URI*local".
  const char* star = std::strchr(name, '*');
  const std::string_view kind = star != nullptr ? std::string_view(star + 1) : std::string_view(name);
  const std::string_view name_space =
      star != nullptr ? std::string_view(name, static_cast<size_t>(star - name)) : std::string_view();
  std::unique_ptr<XMLItem> item;
  if (spare_items_.empty()) {
    item = std::make_unique<XMLItem>(std::string(kind), std::string(name_space));
  } else {
    item = std::move(spare_items_.back());
    spare_items_.pop_back();
    item->Reuse(kind, name_space);
  }
  item->SetAttributes(attributes);
  if (!ElementStarting(current_, *item)) {
    declined_ = true;
    StopParser();
    return;
  }
  if (current_ != nullptr) {
    current_ = current_->AddChild(std::move(item));
  } else {
    Require(root_ == nullptr, "XMLReader: a second root element");
    root_ = std::move(item);
    current_ = root_.get();
  }
}

void XMLReader::EndElement(const char*) {
  --depth_;
  if (current_ != nullptr) {
    XMLItem* parent = current_->Parent();
    if (ElementEnded(*current_) && parent != nullptr) {
      // The element ending is always its parent's last child. A few freed items are
      // kept for the elements to come, unless they hold elements of their own or a
      // long text made them large.
      std::unique_ptr<XMLItem> done = parent->DetachLastChild();
      if (spare_items_.size() < kSpareItems && done->Son() == nullptr &&
          done->UnicodeText().capacity() <= kSpareTextRoom) {
        spare_items_.push_back(std::move(done));
      }
    } else {
      current_->Compact();
    }
    current_ = parent;
  }
}

bool XMLReader::ElementStarting(XMLItem*, XMLItem&) {
  return true;
}

bool XMLReader::ElementEnded(XMLItem&) {
  return false;
}

void XMLReader::CharData(const char* chars, int length) {
  if (current_ != nullptr) {
    current_->AddText(chars, static_cast<size_t>(length));
  }
}

bool XMLReader::Finish(XMLClient& client) {
  if (root_ == nullptr) {
    return false;
  }
  client.ReadXML(root_.get());
  return true;
}

void XMLReader::DeletePlacard() {
  if (placard_) {
    placard_->End();
    placard_.reset();
  }
}

}  // namespace fernweave
