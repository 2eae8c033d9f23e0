// The names under which a document's preferences are stored in the `preferences`
// element of a document file, and the named preferences other parts of the system
// read. A numbered preference (the default of a built-in preference attribute, such
// as the document's `Creator` at 1) is stored under its attribute's name; a named
// preference under its own key.

#ifndef FERNWEAVE_PERSIST_DOCUMENT_PREFERENCE_KEYS_H_
#define FERNWEAVE_PERSIST_DOCUMENT_PREFERENCE_KEYS_H_

#include <string_view>

#include "model/attribute_type.h"

namespace fernweave {

class DocumentPreferences;
class Value;

namespace prefkeys {

// Named preferences (the HTML template itself and its extension are the numbered
// preferences of `HTMLExportTemplate` (6) and `HTMLExportExtension` (9)).
inline constexpr char kProse[] = "Prose";  // boolean: export text as prose paragraphs
inline constexpr char kExportHost[] = "ExportHost";
inline constexpr char kHTMLTemplateFolder[] = "HTMLTemplateFolder";
inline constexpr char kUpdateAgentsAutomatically[] = "UpdateAgentsAutomatically";  // boolean
inline constexpr char kFollowTextLinks[] = "FollowTextLinks";                      // boolean
inline constexpr int kHTMLExportTemplate = 6;
inline constexpr int kHTMLExportExtension = 9;

// The key of a numbered preference; empty for an index without one.
std::string_view KeyForIndex(int index);
// The index stored under a key; 0 when the key is not a numbered preference.
int IndexForKey(std::string_view key);
// The type a preference's value is read with: the numbered preference's attribute
// type, boolean for the boolean named keys, text for everything else.
AttributeType TypeForKey(std::string_view key);
// True when the key can be written as an XML element name.
bool IsStorableKey(std::string_view key);

// The boolean named preferences, false when unset.
bool GetFlag(const DocumentPreferences& prefs, std::string_view key);

}  // namespace prefkeys
}  // namespace fernweave

#endif  // FERNWEAVE_PERSIST_DOCUMENT_PREFERENCE_KEYS_H_
