#include "tests/support/document_dump.h"

#include <sstream>
#include <string>

#include "model/attribute.h"
#include "model/content.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/link_type.h"
#include "model/orvex.h"
#include "model/props.h"

namespace fernweave::test {
namespace {

std::string Escaped(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20) {
      out += "\\x" + std::to_string(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Id(const Node* n) {
  return n == nullptr ? "-" : std::to_string(n->GetID().id()) + "/" + n->Creator();
}

}  // namespace

std::string DumpDocument(const Hypertext& doc) {
  std::ostringstream os;
  for (const Node* n = doc.Root(); n != nullptr; n = n->Next()) {
    int depth = 0;
    for (const Node* f = n->Father(); f != nullptr; f = f->Father()) {
      ++depth;
    }
    os << std::string(depth * 2, ' ') << n->XMLKind() << ' ' << Id(n);
    if (n->IsAlias()) {
      os << " of " << Id(n->GetOriginal());
    }
    os << '\n';
    for (const PropertyMap::Entry& e : n->Properties().entries()) {
      os << std::string(depth * 2 + 2, ' ') << e.attribute->Name() << '='
         << Escaped(e.value->AsXML()) << '\n';
    }
    if (!n->IsAlias()) {
      const Content* c = n->GetContent();
      if (c->HasText()) {
        os << "  text=" << Escaped(c->text()) << '\n';
      }
      for (const StyleRun& r : c->style_runs()) {
        os << "  run " << r.start << ' ' << r.font << ' ' << r.size << ' ' << r.bold << r.italic
           << r.underline << ' ' << r.color.ToHex() << ' ' << r.line_height << ' ' << r.ascent
           << '\n';
      }
      for (const StruckSpan& s : c->struck_spans()) {
        os << "  strike " << s.start << '+' << s.length << '\n';
      }
      for (const TextPicture& p : c->pictures()) {
        os << "  picture " << p.position << ' ' << p.frame.left << ',' << p.frame.top << ','
           << p.frame.right << ',' << p.frame.bottom << ' ' << p.compressed << ' '
           << Escaped(p.bytes) << '\n';
      }
      if (!c->rtf().empty()) {
        os << "  rtf=" << Escaped(c->rtf()) << '\n';
      }
      if (!c->script().empty()) {
        os << "  script=" << Escaped(c->script()) << '\n';
      }
      if (!c->picture().empty()) {
        os << "  own picture=" << Escaped(c->picture()) << '\n';
      }
    }
    if (n->GetPrototype() != nullptr) {
      os << "  prototype " << Id(n->GetPrototype()) << '\n';
    }
  }
  for (Link* l : doc.Links().All()) {
    os << "link [" << l->Name() << "] " << Id(l->SourceNode()) << ' ' << l->GetSourceStart() << '+'
       << l->GetSourceLength() << " -> " << Id(l->DestNode()) << ' ' << l->GetDestStart() << '+'
       << l->GetDestLength() << " style " << l->GetStyleImmediate().AsInt() << " url " << l->URL()
       << " title " << l->Title() << " target " << l->Target() << " class " << l->GetCSSClass()
       << '\n';
  }
  if (const LinkTypes* types = doc.GetLinkTypes()) {
    for (size_t i = 0; i < types->size(); ++i) {
      const LinkType& t = types->at(i);
      os << "linkType " << t.name << " [" << t.label << "] " << t.color.ToHex() << ' '
         << t.color_string << ' ' << t.visible << t.show_label << t.required << ' '
         << t.style.AsInt() << '\n';
    }
  }
  if (const auto* orvex = dynamic_cast<const Orvex*>(&doc)) {
    for (const ColorTable::Entry& e : orvex->Colors().Entries()) {
      os << "color " << e.name << ' ' << e.color.ToHex() << '\n';
    }
  }
  for (const Stamp& s : doc.Records().Stamps()) {
    os << "stamp " << s.name << ' ' << s.attribute << ' ' << Escaped(s.action) << '\n';
  }
  for (const Macro& m : doc.Records().Macros()) {
    os << "macro " << m.name << ' ' << Escaped(m.text) << '\n';
  }
  for (const auto& [index, value] : doc.Preferences().IndexedEntries()) {
    os << "pref " << index << ' ' << Escaped(value->AsXML()) << '\n';
  }
  for (const auto& [key, value] : doc.Preferences().KeyedEntries()) {
    os << "pref " << key << ' ' << Escaped(value->AsXML()) << '\n';
  }
  for (const WindowRecord& w : doc.Records().Windows()) {
    os << "window " << w.type << ' ' << w.id << '/' << w.creator;
    for (const auto& [k, v] : w.state) {
      os << ' ' << k << '=' << v;
    }
    os << '\n';
  }
  for (const Attribute* a : doc.Properties().All()) {
    if (a->IsUserAttribute()) {
      os << "attribute " << a->Name() << ' ' << ToCode(a->GetType()) << ' '
         << a->GetTheDefaultValue()->AsXML() << ' ' << a->IsEditable() << a->VisibleInEditor()
         << a->IsSequential() << a->CanInherit() << '\n';
    }
  }
  return os.str();
}

}  // namespace fernweave::test
