#pragma once
// Class identity of the Atom objects. The extension store is keyed by class,
// the kind maps hold classes, and a class answers the qualified XML name of its
// element; C++ has no class objects to ask, so each class has one ADClass
// describing it, made by AD_CLASS in the class body and AD_DEFINE_CLASS beside
// its code.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>

class ADObject;
struct ADDeclarations;

// What a class answers of itself. Unset (null) URI, prefix, local name and
// service version are inherited from the superclass, as class methods are.
struct ADClassTraits {
  const char* uri = nullptr;
  const char* prefix = nullptr;
  const char* localName = nullptr;
  const char* standardKind = nullptr;        // kind category term, not inherited
  const char* kindAttributeValue = nullptr;  // gd "kind" attribute value, not inherited
  const char* serviceVersion = nullptr;
};

struct ADClass {
  const char* name;
  const ADClass* superclass;  // null only for ADObject
  std::shared_ptr<ADObject> (*make)();
  ADClassTraits traits;

  bool isKindOf(const ADClass& other) const;
  const char* elementURI() const;
  const char* elementPrefix() const;
  const char* elementLocalName() const;
  const char* defaultServiceVersion() const;
  // The local name alone when the URI is none or Atom's, else "prefix:local".
  const std::string& qualifiedName() const;

  // Classes found by name (the service document's root class). Registering is
  // part of each family's start-up registration.
  static void registerClassName(const ADClass& cls);
  static const ADClass* named(std::string_view name);

  // Built once from the first object of the class (ADObject::declarations).
  mutable std::atomic<const ADDeclarations*> declarations{nullptr};
  // Made at the first qualifiedName().
  mutable std::atomic<const std::string*> qualifiedNameMade{nullptr};
};

// In the class body of every Atom class.
#define AD_CLASS(Cls)                                                                            \
 public:                                                                                          \
  static const ADClass& adClass();                                                                \
  const ADClass& classInfo() const override { return adClass(); }                                 \
  std::shared_ptr<ADObject> copy() const override { return std::make_shared<Cls>(*this); }        \
  std::size_t objectSize() const override { return sizeof(Cls); }                                 \
                                                                                                  \
 public:

// Beside the class's code: AD_DEFINE_CLASS(ADEmail, ADObject, .uri = ..., .localName = "email").
#define AD_DEFINE_CLASS(Cls, Super, ...)                                                          \
  const ADClass& Cls::adClass() {                                                                 \
    static const ADClass cls{#Cls, &Super::adClass(),                                             \
                             [] { return std::shared_ptr<ADObject>(std::make_shared<Cls>()); },   \
                             ADClassTraits{__VA_ARGS__}};                                         \
    return cls;                                                                                   \
  }
