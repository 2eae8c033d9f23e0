// `XMLReader` runs the expat parser over a file, a stream or a string and builds the
// whole tree of `XMLItem`s; its client then walks the tree (see XMLClient and
// Finish). Input is parsed in 32768-byte blocks, so only the tree is held in memory.
//
// The reader never loads external entities or DTDs, keeps expat's protection against
// entity-expansion bombs on, and refuses elements nested more than kMaxDepth deep.

#ifndef FERNWEAVE_FOUNDATION_XML_READER_H_
#define FERNWEAVE_FOUNDATION_XML_READER_H_

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "foundation/progress.h"
#include "foundation/xml_item.h"

struct XML_ParserStruct;

namespace fernweave {

// What a reader hands its tree to.
class XMLClient {
 public:
  virtual ~XMLClient() = default;
  // Receives the root of the parsed tree; the reader keeps ownership.
  virtual void ReadXML(XMLItem* root) = 0;
};

class XMLReader {
 public:
  // Elements nested deeper than this make the input malformed.
  static constexpr int kMaxDepth = 10000;
  // Input is handed to the parser in blocks of this size.
  static constexpr size_t kBlockSize = 32768;
  // How many freed items are kept for reuse, and the most text room one may keep.
  static constexpr size_t kSpareItems = 64;
  static constexpr size_t kSpareTextRoom = 4096;

  XMLReader() = default;
  // Calls Dispose.
  virtual ~XMLReader();

  XMLReader(const XMLReader&) = delete;
  XMLReader& operator=(const XMLReader&) = delete;

  // Parses the file. False when it cannot be opened or read, on malformed XML (after
  // showing the malformed-file message), when Finish declines, or when an exception
  // escaped.
  virtual bool Parse(const std::filesystem::path& file);
  // Parses up to `size` bytes of the stream, in blocks; the last block is always
  // flagged as the end of input, so a document cut short is malformed. Shows a
  // "Reading XML..." progress display when size exceeds 64 KiB. A read error fails the
  // parse without a message (the caller reports file errors). Malformed XML shows the
  // malformed-file message. Otherwise the result of Finish(), or false without a root.
  virtual bool Parse(std::istream& in, uint64_t size);
  // Parses the whole text, silently. When that fails the text is parsed once more with
  // the bytes that are not well-formed UTF-8 replaced by '_' (see Zap); false when that
  // fails too. Otherwise the result of Finish().
  virtual bool Parse(const std::string& text);

  // The local name of the root element of the file, read up to the root's start tag
  // (however long the comments and declarations before it); empty when the file ends
  // or turns malformed first. Discards any tree held.
  virtual std::string ProbeXML(const std::filesystem::path& file);

  // After a failed parse: when show is true, warns "Fernweave was unable to parse this
  // file. ... The XML parser said:" with the parser's error and line.
  virtual void HandleErrors(bool show);

  // Hands the root to the caller, who then owns it (the reader forgets it); null when
  // there is none.
  virtual std::unique_ptr<XMLItem> Release();

  // Creates the parser unless one exists. Throws Error("memF") when expat cannot.
  virtual void Initialize();
  // Frees the parser, removes the progress display, deletes the tree unless released.
  virtual void Dispose();
  // Dispose, then Initialize.
  virtual void Reset();

  // The parser's current byte index; -1 without a parser.
  virtual long GetPos() const;

  // The text with every byte that is part of an ill-formed UTF-8 sequence replaced by
  // '_'; well-formed characters, ASCII or not, are kept.
  static std::string Zap(const std::string& text);

  // The root of the tree built so far; null before the first element. Still owned by
  // the reader unless released.
  XMLItem* root() const { return root_.get(); }
  // The error text of the last failed parse; empty after a success.
  const std::string& error() const { return error_; }

 protected:
  // Tree building, called from the expat handlers.
  virtual void StartElement(const char* name, const char** attributes);
  virtual void EndElement(const char* name);
  virtual void CharData(const char* chars, int length);

  // Called as each element starts, its attributes read, before it joins the tree;
  // parent is null for the root. Returning false stops the parse, which then fails
  // without the malformed-file message (the client says why). A client that builds
  // as the file arrives reads the tree's earlier parts here.
  virtual bool ElementStarting(XMLItem* parent, XMLItem& item);
  // Called as each element ends, its content complete. Returning true frees the
  // element and everything below it at once; the root always stays.
  virtual bool ElementEnded(XMLItem& item);

  // Called after a successful parse with a root; the result is the parse's result.
  // The base class accepts every tree.
  virtual bool Finish() { return true; }
  // Hands the root to the client and returns true.
  virtual bool Finish(XMLClient& client);

  virtual void DeletePlacard();
  // Has Parse(std::istream&, ...) parse the input on a second thread while this one
  // runs the handlers, the elements handed over in batches: for a client whose
  // handlers do real work (building a document), the parser's time is mostly saved.
  // The handlers still run on the calling thread, in the same order.
  void ParseOnSecondThread(bool on) { parse_ahead_ = on; }

 private:
  friend struct XMLReaderCallbacks;

  // Feeds one block to expat. False on a parse error (error_ then says why).
  bool ParseBlock(const char* data, size_t length, bool is_final);
  // Feeds the text in blocks, the last flagged final.
  bool ParseText(const std::string& text);
  // The parser's error text and line for the malformed-file message.
  void RecordParseError();
  // Rethrows an exception a handler caught inside expat.
  void RethrowPending();
  // Parse(std::istream&, ...) with the parsing on a second thread.
  bool ParseAhead(std::istream& in, uint64_t size);
  // Sets the parser's protections: no external entities or DTDs, the entity-expansion
  // limits, and single-byte encodings read through ICU.
  static void Secure(XML_ParserStruct* parser);
  // Stops the parse from inside a handler.
  void StopParser();

  XML_ParserStruct* parser_ = nullptr;
  // The item that receives character data and new children; null outside the root.
  XMLItem* current_ = nullptr;
  // The first element started, owned until released.
  std::unique_ptr<XMLItem> root_;
  // Items of elements already used and freed, kept to hold the next elements: a large
  // file has a million elements, most of them read and let go at once.
  std::vector<std::unique_ptr<XMLItem>> spare_items_;
  // Elements open at the moment.
  int depth_ = 0;
  bool too_deep_ = false;
  // ElementStarting declined: the parse stopped at the client's wish.
  bool declined_ = false;
  bool parse_ahead_ = false;
  // While a parse runs on a second thread: raised to stop it.
  std::atomic<bool>* stop_request_ = nullptr;
  std::unique_ptr<Progress> placard_;
  std::string error_;
  long error_line_ = 0;
  std::exception_ptr pending_exception_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_XML_READER_H_
