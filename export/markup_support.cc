#include "export/markup_support.h"

#include <cctype>

#include "export/entities.h"
#include "export/export_template.h"
#include "model/node.h"

namespace fernweave {

std::string AnchorText(std::string_view text, const Node* node, const ExportTemplate* t) {
  const bool entities = (node == nullptr || node->GetBoolean("HTMLEntities")) &&
                        (t == nullptr || t->UseEntities());
  return entities ? EncodeQuotes(EntityFilter(text, false, true)) : EncodeAttribute(text);
}

std::string OpenAnchor(std::string_view url) {
  return "<a href=\"" + EncodeAttribute(url) + "\"";
}

std::string_view TrimmedText(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0) {
    s.remove_prefix(1);
  }
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace fernweave
