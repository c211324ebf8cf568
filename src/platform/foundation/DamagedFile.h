#pragma once
// Files the program keeps its own state in are never written over when they
// cannot be read: such a file is moved aside next to itself, under its name
// followed by ".damaged-" and a time stamp (and a number, when that name is
// taken), and reported, so that the program can start afresh and still tell
// the user which file it was and where it went. A file that cannot be moved
// (its folder refuses) stays where it is and no write replaces it until it
// can be. The only copy of a user's file is never destroyed.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd {

struct DamagedFileReport {
  enum class Kind {
    Project,      // a project's Project.plist; `name` is the project's name
    Preferences,  // the user-defaults store
    Settings,     // another settings file of the program
    Picture,      // a picture a page or the background is drawn on; `name` says which, as a sentence's subject
  };
  Kind kind = Kind::Settings;
  std::string name;
  std::filesystem::path file;    // where it was
  std::filesystem::path keptAs;  // where it is now; empty when it could not be moved
  std::string reason;            // why it could not be read
  std::string notMoved;          // why it could not be moved, when it could not
};

inline constexpr const char* kDamagedSuffix = ".damaged-";

// Reads a property list whose root must be of the kind given (a dictionary
// or an array). A missing file is a null value. A file that is there but
// cannot be read as such (cut short, empty, garbled, another kind of list,
// larger than kMaxPropertyListBytes, which is refused unread, building more
// than kMaxPropertyListBuildBytes, refused before it builds, or one whose
// written form would pass either) is moved aside and reported, and the
// answer is a failure naming the reason.
Expected<Value> readStoredList(const std::filesystem::path& file, Value::Type root, DamagedFileReport::Kind kind,
                               const std::string& name = {});
Expected<Value> readStoredDictionary(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                     const std::string& name = {});

// The same checks for a reader that only shows what it reads: a file that
// cannot be read is left where it is and nobody is told (a file too large is
// answered at once, by its size).
Expected<Value> peekStoredList(const std::filesystem::path& file, Value::Type root);
Expected<Value> peekStoredDictionary(const std::filesystem::path& file);

// Moves the file to "<name>.damaged-<time stamp>" beside it, or to the first
// free "<name>.damaged-<time stamp>-<n>" (never over another file), and
// reports it. When no name can be had the file stays, every write to it fails
// (files::holdFromWriting) and each such write first tries the move again;
// the move that succeeds then is reported too.
DamagedFileReport setAsideDamagedFile(const std::filesystem::path& file, DamagedFileReport::Kind kind,
                                      const std::string& name, const std::string& reason);

// Reports again a file set aside earlier (report.keptAs), when the user asks
// for it once more.
void reportDamagedFile(const DamagedFileReport& report);
// The newest set-aside copy of the file, if any is beside it.
std::optional<std::filesystem::path> newestDamagedCopy(const std::filesystem::path& file);

// Who tells the user: every report goes to the handler on the thread that
// made it; reports made before a handler was set go to it when it is set. An
// empty handler keeps the reports for later.
void setDamagedFileHandler(std::function<void(const DamagedFileReport&)> handler);
// The reports no handler has taken yet (tests).
std::vector<DamagedFileReport> takeDamagedFileReports();

}  // namespace fd
