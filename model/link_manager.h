// The document's links: one ordered list (a link's index is its priority) plus two
// indexes, by source and by destination. The manager owns every link it holds.
// Hidden links (see `Link::IsHidden`) stay in the list and the indexes, so undoing
// a deletion brings them back unchanged; the filtered lists leave them out on request.

#ifndef FERNWEAVE_MODEL_LINK_MANAGER_H_
#define FERNWEAVE_MODEL_LINK_MANAGER_H_

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/link.h"

namespace fernweave {

class Hypertext;
class Linked;
class Node;

// A list of links (not owned) in priority order, with filters that make new lists.
class LinkBundle {
 public:
  LinkBundle() = default;
  explicit LinkBundle(std::vector<Link*> links) : links_(std::move(links)) {}

  LinkBundle OmitHidden() const;
  LinkBundle OmitPrototypes() const;
  LinkBundle OmitWebLinks() const;
  // The first link of each source.
  LinkBundle WithUniqueSources() const;
  // Index of the link, or -1.
  int IndexOf(const Link* link) const;
  void Add(Link* link) { links_.push_back(link); }
  void Insert(Link* link, size_t index);
  void Remove(const Link* link);
  // "source name -> dest name [type]" per link, one a line; with spans, the source
  // span follows as "@start+length".
  std::string ToString(bool span) const;

  size_t size() const { return links_.size(); }
  bool empty() const { return links_.empty(); }
  Link* operator[](size_t i) const { return links_[i]; }
  auto begin() const { return links_.begin(); }
  auto end() const { return links_.end(); }

 private:
  std::vector<Link*> links_;
};

// Chooses one of several text links for the reader; the interface installs one.
class LinkPicker {
 public:
  virtual ~LinkPicker() = default;
  // One of the candidates, or null when the reader declines.
  virtual Link* Pick(const LinkBundle& candidates) = 0;
};

class LinkManager {
 public:
  explicit LinkManager(Hypertext* hypertext) : hypertext_(hypertext) {}
  LinkManager(const LinkManager&) = delete;
  LinkManager& operator=(const LinkManager&) = delete;
  // Destroys the links without reporting anything.
  ~LinkManager();

  // Appends the link, indexes it, reports the links facet on both endpoint notes and
  // calls the document's LinkAdded. Returns the link. Null is "asrt".
  Link* Add(std::unique_ptr<Link> link);
  // Places the link at priority index (clamped to the end). Null is "asrt".
  Link* Insert(std::unique_ptr<Link> link, size_t index);
  // Places the link just before `before` (at the end when before is not held).
  Link* InsertBefore(std::unique_ptr<Link> link, const Link* before);
  // Calls the document's LinkRemoved, reports the links facet on each endpoint note
  // still in the document, and hands the link back to the caller. Null when the
  // link is not held.
  std::unique_ptr<Link> Remove(Link* link);
  // Destroys every link to or from the note.
  void DestroyLinksOf(const Node* note);
  // The same for every note of a set, in one walk over the links.
  void DestroyLinksOf(const std::unordered_set<const Node*>& notes);
  void Clear();

  // Priority of the link, or -1.
  int PriorityOf(const Link* link) const;
  Link* Get(size_t index) const { return index < links_.size() ? links_[index].get() : nullptr; }
  size_t size() const { return links_.size(); }
  bool Has(const Link* link) const { return PriorityOf(link) >= 0; }
  LinkBundle All() const;

  // Filtered lists, each in priority order.
  LinkBundle ListLinks(const Linked* l, bool omit_hidden) const;  // from or to
  LinkBundle ListLinksFrom(const Linked* l) const;
  LinkBundle ListLinksTo(const Linked* l) const;
  LinkBundle ListTextLinksFrom(const Linked* l) const;
  LinkBundle ListTextLinksTo(const Linked* l) const;
  // Links that are neither text links nor web links.
  LinkBundle ListBasicLinksFrom(const Linked* l) const;
  LinkBundle ListBasicLinksTo(const Linked* l) const;
  LinkBundle ListWebLinksFrom(const Linked* l) const;
  LinkBundle HiddenLinks() const;
  // Links between consecutive notes of the path, in either direction.
  LinkBundle LinksOnPath(const std::vector<Node*>& path, bool omit_hidden) const;

  // The interface that chooses among several text links; not owned, may be null.
  void SetPicker(LinkPicker* picker) { picker_ = picker; }
  LinkPicker* Picker() const { return picker_; }

 private:
  void Index(Link* link);
  void Unindex(Link* link);
  LinkBundle Sorted(std::vector<Link*> links) const;
  void Report(Link* link) const;

  Hypertext* hypertext_;
  std::vector<std::unique_ptr<Link>> links_;
  std::multimap<const Linked*, Link*> by_source_;
  std::multimap<const Linked*, Link*> by_dest_;
  LinkPicker* picker_ = nullptr;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_LINK_MANAGER_H_
