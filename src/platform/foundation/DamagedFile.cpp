#include "platform/foundation/DamagedFile.h"

#include <mutex>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/TimestampId.h"

namespace fd {

namespace {

struct Reports {
  std::mutex m;
  std::function<void(const DamagedFileReport&)> handler;
  std::vector<DamagedFileReport> pending;
};

Reports& reports() {
  static Reports* r = new Reports;  // never destroyed: a report may come while the process ends
  return *r;
}

void deliver(const DamagedFileReport& report) {
  Reports& r = reports();
  std::function<void(const DamagedFileReport&)> handler;
  {
    std::lock_guard lock(r.m);
    if (!r.handler) {
      r.pending.push_back(report);
      return;
    }
    handler = r.handler;
  }
  handler(report);
}

}  // namespace

DamagedFileReport setAsideDamagedFile(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                      const std::string& name, const std::string& reason) {
  DamagedFileReport report{kind, name, file, {}, reason};
  // Ids never repeat within the process, and a name already taken by an
  // earlier run is skipped: the move never replaces a file.
  for (int attempt = 0; attempt < 5 && report.keptAs.empty(); ++attempt) {
    std::filesystem::path aside = file;
    aside += kDamagedSuffix + timestampId();
    if (files::moveItem(file, aside)) report.keptAs = aside;
  }
  if (report.keptAs.empty())
    Log("%s cannot be read (%s) and could not be moved aside", file.c_str(), reason.c_str());
  else
    Log("%s cannot be read (%s); kept as %s", file.c_str(), reason.c_str(), report.keptAs.c_str());
  deliver(report);
  return report;
}

Expected<Value> peekStoredDictionary(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return Value();
  std::optional<Data> bytes = files::readFile(file);
  if (!bytes) return fail("the file cannot be opened");
  Expected<Value> stored = parsePropertyList(*bytes);
  if (stored && !stored->isDictionary()) return fail("it holds no dictionary");
  return stored;
}

Expected<Value> readStoredDictionary(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                     const std::string& name) {
  Expected<Value> stored = peekStoredDictionary(file);
  if (!stored) setAsideDamagedFile(file, kind, name, stored.error());
  return stored;
}

void reportDamagedFile(const DamagedFileReport& report) { deliver(report); }

std::optional<std::filesystem::path> newestDamagedCopy(const std::filesystem::path& file) {
  // Time stamps of one width: the last name in order is the newest.
  const std::string prefix = file.filename().string() + kDamagedSuffix;
  std::optional<std::filesystem::path> newest;
  for (const std::string& name : files::contentsOfDirectory(file.parent_path()))
    if (name.starts_with(prefix)) newest = file.parent_path() / name;
  return newest;
}

void setDamagedFileHandler(std::function<void(const DamagedFileReport&)> handler) {
  Reports& r = reports();
  std::vector<DamagedFileReport> waiting;
  {
    std::lock_guard lock(r.m);
    r.handler = handler;
    if (handler) waiting.swap(r.pending);
  }
  for (const DamagedFileReport& report : waiting) handler(report);
}

std::vector<DamagedFileReport> takeDamagedFileReports() {
  Reports& r = reports();
  std::lock_guard lock(r.m);
  return std::exchange(r.pending, {});
}

}  // namespace fd
