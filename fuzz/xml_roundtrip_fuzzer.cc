// Arbitrary bytes as an attribute value and as element text through XMLWriter must
// parse back as the same text, less the characters the writer removes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz/fuzz_support.h"

#include "foundation/xml_item.h"
#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"

using fernweave::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 20000) {
    return 0;
  }
  fernweave::fuzz::Silence();
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first half is the attribute value, the second the element text.
  const std::string value = input.substr(0, size / 2);
  const std::string text = input.substr(size / 2);

  fernweave::XMLWriter writer;
  std::ostringstream os;
  writer.XMLHeader(os);
  writer.Open(os, "item");
  writer.Put(os, "value", value);
  writer.Put(os, "stripped", writer.StripControlCharacters(value));
  writer.EndTag(os, /*in_line=*/true);
  os << fernweave::XMLWriter::ToXML(text, true);
  writer.Close(os, "item");
  const std::string xml = os.str();

  // The stream entry point has no retry, so a writer fault cannot hide behind Zap.
  fernweave::XMLReader reader;
  std::istringstream in(xml);
  Check(reader.Parse(in, xml.size()));
  const fernweave::XMLItem* root = reader.root();
  const std::string clean_value = fernweave::XMLWriter::CleanText(value);
  const std::string clean_text = fernweave::XMLWriter::CleanText(text);
  Check(root->Get("value") == clean_value);
  Check(root->UnicodeText() == clean_text);
  Check(root->Get("stripped") == writer.StripControlCharacters(value));
  Check(root->Text() == fernweave::XMLItem::inputConverter().FromUnicode(clean_text));
  // Cleaning is idempotent, and a clean text is written as it was cleaned.
  Check(fernweave::XMLWriter::CleanText(clean_text) == clean_text);
  Check(fernweave::XMLWriter::CleanText(fernweave::XMLWriter::ToXML(text, true)) ==
        fernweave::XMLWriter::ToXML(text, true));
  return 0;
}
