// Fuzz target for Atom document parsing: arbitrary bytes as a response body.
// Parsing must never crash; whatever parses must write out as a document that
// parses again, as the same class, into an equal object, and a copy of it must
// be equal too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "atomdata/ADEntryBase.h"
#include "atomdata/ADFamilies.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_feed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (ADRegisterServiceFamilies(), true);
  (void)registered;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(bytes);
  if (!parsed) {
    check(!parsed.error().empty(), "a refusal without a message");
    return 0;
  }
  const ADObject& object = **parsed;
  check(object.isEqual(*object.copy()), "a copy that differs");
  const std::string written = object.XMLDocumentString();
  fd::Expected<ADObjectPtr> again = ADObjectWithXMLData(written, &object.classInfo());
  check(again.ok(), "a written document that does not parse");
  check(&(*again)->classInfo() == &object.classInfo(), "a written document that parses into another class");
  check(object.isEqual(**again), "a written document that parses into an unequal object");
  return 0;
}
