// Small pieces the code families share: writing a note's name into a link the system
// makes, and reading a quote-trimmed argument.

#ifndef FERNWEAVE_EXPORT_MARKUP_SUPPORT_H_
#define FERNWEAVE_EXPORT_MARKUP_SUPPORT_H_

#include <string>
#include <string_view>

namespace fernweave {

class ExportTemplate;
class Node;

// Text the system places between the tags of a link it writes: entity-filtered with
// markup quoted when the page uses entities, else with "&", "<", ">" and quotes
// escaped. A note's name can therefore never open markup of its own there.
std::string AnchorText(std::string_view text, const Node* node, const ExportTemplate* t);
// `<a href="url"` with the URL escaped for the attribute (the caller closes the tag).
std::string OpenAnchor(std::string_view url);
// The text with blanks at both ends removed.
std::string_view TrimmedText(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_MARKUP_SUPPORT_H_
