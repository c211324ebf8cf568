#include "platform/foundation/DamagedFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/Reports.h"
#include "platform/foundation/TimestampId.h"

namespace fd {

namespace {

ReportChannel<DamagedFileReport>& reports() {
  // Never destroyed: a report may come while the process ends.
  static auto* r = new ReportChannel<DamagedFileReport>;
  return *r;
}

void deliver(const DamagedFileReport& report) { reports().deliver(report); }

// Numbered names tried after the time stamp's own: a folder holding more
// kept copies of one file from one millisecond is not the program's doing.
constexpr int kNumberedNames = 1000;

// Moves the file to the first free name for a kept copy; where it went, or
// why it could not go.
Expected<std::filesystem::path> moveAside(const std::filesystem::path& file) {
  std::filesystem::path base = file;
  base += kDamagedSuffix + timestampId();
  for (int n = 1; n <= kNumberedNames; ++n) {
    std::filesystem::path aside = base;
    if (n > 1) aside += "-" + std::to_string(n);
    const int error = files::renameToFreeName(file, aside);
    if (error == 0) return aside;
    if (error != EEXIST) return fail(std::strerror(error));
  }
  return fail("every name for a kept copy is taken");
}

bool gone(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found;
}

}  // namespace

DamagedFileReport setAsideDamagedFile(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                      const std::string& name, const std::string& reason) {
  DamagedFileReport report{kind, name, file, {}, reason, {}};
  Expected<std::filesystem::path> aside = moveAside(file);
  if (aside) {
    report.keptAs = *aside;
    Log("%s cannot be read (%s); kept as %s", file.c_str(), reason.c_str(), report.keptAs.c_str());
    deliver(report);
    return report;
  }
  report.notMoved = aside.error();
  Log("%s cannot be read (%s) and could not be moved aside (%s); it is not written over", file.c_str(),
      reason.c_str(), report.notMoved.c_str());
  // Whatever the program would write there waits until the file is kept.
  files::holdFromWriting(file, "the file there cannot be read and could not be moved aside (" + report.notMoved + ")",
                         [report] {
                           if (gone(report.file)) return true;
                           Expected<std::filesystem::path> later = moveAside(report.file);
                           if (!later) return false;
                           DamagedFileReport kept = report;
                           kept.keptAs = *later;
                           kept.notMoved.clear();
                           Log("%s is kept as %s", kept.file.c_str(), kept.keptAs.c_str());
                           deliver(kept);
                           return true;
                         });
  deliver(report);
  return report;
}

Expected<Value> peekStoredList(const std::filesystem::path& file, Value::Type root) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return Value();
  const Expected<Data> bytes = files::readFile(file, plistcheck::fileBound());
  if (!bytes) return bytes.failure();
  Expected<Value> stored = parsePropertyList(*bytes);
  if (stored && stored->type() != root)
    return fail(root == Value::Type::Array ? "it holds no list" : "it holds no dictionary");
  return stored;
}

Expected<Value> peekStoredDictionary(const std::filesystem::path& file) {
  return peekStoredList(file, Value::Type::Dictionary);
}

Expected<Value> readStoredList(const std::filesystem::path& file, Value::Type root, DamagedFileReport::Kind kind,
                               const std::string& name) {
  Expected<Value> stored = peekStoredList(file, root);
  if (!stored) setAsideDamagedFile(file, kind, name, stored.error());
  return stored;
}

Expected<Value> readStoredDictionary(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                     const std::string& name) {
  return readStoredList(file, Value::Type::Dictionary, kind, name);
}

void reportDamagedFile(const DamagedFileReport& report) { deliver(report); }

std::optional<std::filesystem::path> newestDamagedCopy(const std::filesystem::path& file) {
  // Time stamps of one width, then the number of a name taken in the same
  // millisecond (none is the first).
  const std::string prefix = file.filename().string() + kDamagedSuffix;
  std::optional<std::filesystem::path> newest;
  std::pair<std::string, long> newestKey;
  for (const std::string& name : files::contentsOfDirectory(file.parent_path())) {
    if (!name.starts_with(prefix)) continue;
    const std::string rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    std::pair<std::string, long> key{rest.substr(0, dash), 1};
    if (dash != std::string::npos) key.second = std::strtol(rest.c_str() + dash + 1, nullptr, 10);
    if (!newest || key > newestKey) {
      newest = file.parent_path() / name;
      newestKey = std::move(key);
    }
  }
  return newest;
}

void setDamagedFileHandler(std::function<void(const DamagedFileReport&)> handler) {
  reports().setHandler(std::move(handler));
}

std::vector<DamagedFileReport> takeDamagedFileReports() { return reports().take(); }

}  // namespace fd
