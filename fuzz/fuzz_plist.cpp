// Fuzz target for property lists, as fast as the readers themselves: the
// bytes are read as a list in memory, and what a list builds must stay within
// the budget the reader charged it against; every list read must be written
// within the file bound and read again to the same text. A dictionary then
// stands as a project's Project.plist and is read as the project list's card
// reads it (nothing moved, nothing written back), and the project's frames
// must keep their invariants. The model and its sandbox are made once for the whole run:
// making them for every input, with their flushed writes and a leak check
// after each, held the target to a few inputs a second. The budget is scaled
// down to 1 MB, so that the lists at its edge, where shared objects multiply
// (a few bytes of references standing for the whole budget), are read in
// milliseconds rather than seconds, and the file bound with it, so that lists
// whose written form would pass it are within a fuzzer's reach.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSandbox.h"
#include "model/ProjectDataModel.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"

namespace fs = std::filesystem;

namespace {

void check(bool condition, const std::string& what) { fuzz_support::check(condition, "fuzz_plist", what); }

// What the value holds, counted as the reader charges it (each value, each
// dictionary entry beside it, each byte of text and data): the reader's
// charge before it built must not have been less.
std::uint64_t built(const fd::Value& v) {
  std::uint64_t total = fd::plistcheck::kValueCost;
  if (const std::string* s = v.string()) total += s->size();
  if (const fd::Data* d = v.data()) total += d->size();
  if (const fd::Array* a = v.array())
    for (const fd::Value& item : *a) total += built(item);
  if (const fd::Dictionary* d = v.dictionary())
    for (const auto& [key, item] : *d) total += fd::plistcheck::kEntryCost + key.size() + built(item);
  return total;
}

constexpr std::uint64_t kFuzzBudget = std::uint64_t{1} << 20;
// A quarter of the budget, as the program's own bounds are.
constexpr std::uint64_t kFuzzFileBound = kFuzzBudget / 4;

constexpr const char* kProject = "Fuzzed";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool scaled = [] {
    fuzz_support::sandbox();
    fd::plistcheck::setBuildBudgetForTesting(kFuzzBudget);
    fd::plistcheck::setFileBoundForTesting(kFuzzFileBound);
    return true;
  }();
  (void)scaled;
  const fd::Data bytes(data, data + size);
  const fd::Expected<fd::Value> read = fd::parsePropertyList(bytes);
  if (!read) {
    check(!read.error().empty(), "a list is refused without a reason");
    return 0;
  }
  const std::uint64_t size_built = built(*read);
  check(size_built <= fd::plistcheck::buildBudget(),
        "a list built " + std::to_string(size_built) + " bytes, past the budget it was charged against");
  const std::string text = fd::serializePropertyListXML(*read);
  check(text.size() <= kFuzzFileBound, "a list read is written past the file bound");
  const fd::Expected<fd::Value> again = fd::parsePropertyList(fd::Data(text.begin(), text.end()));
  check(again.ok(), "a list read does not read back once written: " + again.error());
  check(fd::serializePropertyListXML(*again) == text, "a list written, read and written again differs");
  if (!read->isDictionary()) return 0;

  const fs::path folder = fd::paths::library() / "Projects" / kProject;
  fs::create_directories(folder);
  {
    std::ofstream out(folder / "Project.plist", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::shared_ptr<ProjectDataModel> shown = ProjectDataModel::initToShowWithProjectName(kProject);
  check(shown != nullptr, "a project's list is not shown");
  const std::optional<std::string> broken = shown->frames().brokenInvariant();
  check(!broken, "a project read from its list breaks an invariant: " + broken.value_or(""));
  check(fs::exists(folder / "Project.plist"), "showing a project moved its list");
  return 0;
}
