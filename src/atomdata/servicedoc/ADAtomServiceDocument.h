#pragma once
// An AtomPub service document: workspaces, and in each the collections that
// accept new entries, with their titles, accepted media ranges and category
// sets. Parsed from any document whose root is app "service"; a category
// document on its own (root app "categories") parses into a category group.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADEntryBase.h"

class ADAtomAccept : public ADValueElementConstruct { AD_CLASS(ADAtomAccept) };

class ADAtomCategoryGroup : public ADObject {
  AD_CLASS(ADAtomCategoryGroup)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::optional<std::string> scheme() const { return stringValueForAttribute("scheme"); }
  void setScheme(const std::optional<std::string>& v) { setStringValue(v, "scheme"); }
  // True only for a "fixed" of "yes", ignoring case; false removes the attribute.
  bool isFixed() const;
  void setIsFixed(bool fixed);
  std::vector<std::shared_ptr<ADCategory>> categories() const { return objectsFor<ADCategory>(); }
  void setCategories(const std::vector<std::shared_ptr<ADCategory>>& c) { setObjects(c, ADCategory::adClass()); }
};

class ADAtomCollection : public ADObject {
  AD_CLASS(ADAtomCollection)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::shared_ptr<ADTextConstruct> title() const { return objectFor<ADTextConstruct>(ADAtomTitle::adClass()); }
  void setTitle(std::shared_ptr<ADTextConstruct> t) { setObject(std::move(t), ADAtomTitle::adClass()); }
  std::shared_ptr<ADAtomCategoryGroup> categoryGroup() const { return objectFor<ADAtomCategoryGroup>(); }
  void setCategoryGroup(std::shared_ptr<ADAtomCategoryGroup> g) { setObject(std::move(g), ADAtomCategoryGroup::adClass()); }
  // nullopt when the collection has no accept children.
  std::optional<std::vector<std::string>> serviceAcceptStrings() const;
  void setServiceAcceptStrings(const std::vector<std::string>& accepts);
};

class ADAtomWorkspace : public ADObject {
  AD_CLASS(ADAtomWorkspace)
  void addExtensionDeclarations() override;
  std::shared_ptr<ADTextConstruct> title() const { return objectFor<ADTextConstruct>(ADAtomTitle::adClass()); }
  void setTitle(std::shared_ptr<ADTextConstruct> t) { setObject(std::move(t), ADAtomTitle::adClass()); }
  std::vector<std::shared_ptr<ADAtomCollection>> collections() const { return objectsFor<ADAtomCollection>(); }
  void setCollections(const std::vector<std::shared_ptr<ADAtomCollection>>& c) { setObjects(c, ADAtomCollection::adClass()); }
  std::shared_ptr<ADAtomCollection> primaryCollection() const { return objectFor<ADAtomCollection>(); }
};

class ADAtomServiceDocument : public ADObject {
  AD_CLASS(ADAtomServiceDocument)
  // The classes found by name for a "service" root and an app "categories" root.
  static void registerClasses();
  void addExtensionDeclarations() override;
  std::vector<std::shared_ptr<ADAtomWorkspace>> workspaces() const { return objectsFor<ADAtomWorkspace>(); }
  void setWorkspaces(const std::vector<std::shared_ptr<ADAtomWorkspace>>& w) { setObjects(w, ADAtomWorkspace::adClass()); }
  std::shared_ptr<ADAtomWorkspace> primaryWorkspace() const { return objectFor<ADAtomWorkspace>(); }
};
