#pragma once
// The value constructs every family builds its small elements from: a value in
// an attribute or in the text, a name-value pair, a boolean, and Atom's text
// construct.
#include <optional>
#include <string>

#include "atomdata/ADObject.h"

// The value lives in the attribute named by attributeName() ("value"), or in
// the text when that is nullopt.
class ADValueConstruct : public ADObject {
  AD_CLASS(ADValueConstruct)
  virtual std::optional<std::string> attributeName() const { return std::string("value"); }
  void addParseDeclarations() override;

  std::optional<std::string> stringValue() const;
  void setStringValue(const std::optional<std::string>& value);
  std::optional<int> intNumberValue() const;
  std::optional<long long> longLongNumberValue() const;
  std::optional<double> doubleValue() const;
  void setDoubleValue(std::optional<double> value);
  std::optional<ADDateTime> dateTimeValue() const;
  bool boolValue() const;  // true only for "true", ignoring case
  std::optional<bool> boolNumberValue() const;

  // New elements of class T; nullopt gives null.
  template <typename T>
  static std::shared_ptr<T> valueWithString(const std::optional<std::string>& value) {
    if (!value) return nullptr;
    auto object = std::make_shared<T>();
    object->setStringValue(value);
    return object;
  }
  template <typename T>
  static std::shared_ptr<T> valueWithNumber(std::optional<double> value) {
    if (!value) return nullptr;
    auto object = std::make_shared<T>();
    object->setDoubleValue(value);
    return object;
  }
  template <typename T>
  static std::shared_ptr<T> valueWithInt(int value) {
    return valueWithString<T>(std::to_string(value));
  }
  template <typename T>
  static std::shared_ptr<T> valueWithBool(bool value) {
    return valueWithString<T>(std::string(value ? "true" : "false"));
  }
  template <typename T>
  static std::shared_ptr<T> valueWithDateTime(const std::optional<ADDateTime>& value) {
    return value ? valueWithString<T>(value->RFC3339String()) : nullptr;
  }

  // Plain strings over a single child of class T, as the families expose them.
  template <typename T>
  static std::optional<std::string> stringValueOfChild(const ADObject& holder) {
    auto child = holder.objectFor<T>();
    return child ? child->stringValue() : std::nullopt;
  }
  // nullopt removes the child; any string, even "", stores one.
  template <typename T>
  static void setChildWithString(ADObject& holder, const std::optional<std::string>& value) {
    holder.setObject(valueWithString<T>(value), T::adClass());
  }
  // Only a string with a length stores a child.
  template <typename T>
  static void setChildWithNonEmptyString(ADObject& holder, const std::optional<std::string>& value) {
    holder.setObject(value && !value->empty() ? valueWithString<T>(value) : nullptr, T::adClass());
  }
};

// The value in the element's text.
class ADValueElementConstruct : public ADValueConstruct {
  AD_CLASS(ADValueElementConstruct)
  std::optional<std::string> attributeName() const override { return std::nullopt; }
};

// A value plus a name in the attribute named by nameAttributeName() ("name").
class ADNameValueConstruct : public ADValueConstruct {
  AD_CLASS(ADNameValueConstruct)
  virtual std::string nameAttributeName() const { return "name"; }
  void addParseDeclarations() override;
  std::optional<std::string> name() const { return stringValueForAttribute(nameAttributeName()); }
  void setName(const std::optional<std::string>& name) { ADObject::setStringValue(name, nameAttributeName()); }
};

// "true" or "false" in the "value" attribute.
class ADBoolValueConstruct : public ADValueConstruct {
  AD_CLASS(ADBoolValueConstruct)
  template <typename T>
  static std::shared_ptr<T> boolValueWithBool(bool value) {
    return valueWithBool<T>(value);
  }
};

// Atom's text construct: text with "type" and "xml:lang".
class ADTextConstruct : public ADObject {
  AD_CLASS(ADTextConstruct)
  void addParseDeclarations() override;
  template <typename T>
  static std::shared_ptr<T> textConstructWithString(const std::optional<std::string>& text) {
    if (!text) return nullptr;
    auto object = std::make_shared<T>();
    object->setStringValue(text);
    return object;
  }
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& text) { setContentStringValue(text); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& type) { ADObject::setStringValue(type, "type"); }
  std::optional<std::string> lang() const { return stringValueForAttribute("xml:lang"); }
  void setLang(const std::optional<std::string>& lang) { ADObject::setStringValue(lang, "xml:lang"); }
};

// Accessors the families put on entries, feeds and elements over a single
// value child of class Cls, in the type the family reads and writes it; a
// nullopt value removes the child.
#define AD_STRING_CHILD(Cls, get, Set)                                                                        \
  std::optional<std::string> get() const { return ADValueConstruct::stringValueOfChild<Cls>(*this); }      \
  void set##Set(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<Cls>(*this, v); }
#define AD_INT_CHILD(Cls, get, Set)                                                                       \
  std::optional<int> get() const {                                                                      \
    auto c = objectFor<Cls>();                                                                          \
    return c ? c->intNumberValue() : std::nullopt;                                                      \
  }                                                                                                     \
  void set##Set(std::optional<int> v) {                                                                 \
    setObject(v ? ADValueConstruct::valueWithInt<Cls>(*v) : nullptr, Cls::adClass());                   \
  }
#define AD_LONGLONG_CHILD(Cls, get, Set)                                                                   \
  std::optional<long long> get() const {                                                                 \
    auto c = objectFor<Cls>();                                                                           \
    return c ? c->longLongNumberValue() : std::nullopt;                                                  \
  }                                                                                                      \
  void set##Set(std::optional<long long> v) {                                                            \
    setObject(v ? ADValueConstruct::valueWithString<Cls>(std::to_string(*v)) : nullptr, Cls::adClass()); \
  }
#define AD_BOOL_CHILD(Cls, get, Set)                                                                  \
  std::optional<bool> get() const {                                                                 \
    auto c = objectFor<Cls>();                                                                      \
    return c ? c->boolNumberValue() : std::nullopt;                                                 \
  }                                                                                                 \
  void set##Set(std::optional<bool> v) {                                                            \
    setObject(v ? ADValueConstruct::valueWithBool<Cls>(*v) : nullptr, Cls::adClass());             \
  }
#define AD_DATETIME_CHILD(Cls, get, Set)                                                                  \
  std::optional<ADDateTime> get() const {                                                               \
    auto c = objectFor<Cls>();                                                                          \
    return c ? c->dateTimeValue() : std::nullopt;                                                       \
  }                                                                                                     \
  void set##Set(const std::optional<ADDateTime>& v) {                                                   \
    setObject(ADValueConstruct::valueWithDateTime<Cls>(v), Cls::adClass());                             \
  }
// A single element object, and a repeated one (list, setter, add form).
#define AD_OBJECT_CHILD(Cls, get, Set)                                    \
  std::shared_ptr<Cls> get() const { return objectFor<Cls>(); }         \
  void set##Set(std::shared_ptr<Cls> v) { setObject(std::move(v), Cls::adClass()); }
#define AD_OBJECT_CHILDREN(Cls, list, List, One)                                                     \
  std::vector<std::shared_ptr<Cls>> list() const { return objectsFor<Cls>(); }                     \
  void set##List(const std::vector<std::shared_ptr<Cls>>& v) { setObjects(v, Cls::adClass()); }    \
  void add##One(std::shared_ptr<Cls> v) { addObject(std::move(v), Cls::adClass()); }
