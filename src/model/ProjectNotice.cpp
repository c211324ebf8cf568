#include "model/ProjectNotice.h"

#include <cerrno>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Reports.h"

namespace {

fd::ReportChannel<ProjectNotice>& notices() {
  // Never destroyed: a save may be refused while the process ends.
  static auto* n = new fd::ReportChannel<ProjectNotice>;
  return *n;
}

}  // namespace

void tellProjectNotice(const ProjectNotice& notice) { notices().deliver(notice); }

void setProjectNoticeHandler(std::function<void(const ProjectNotice&)> handler) {
  notices().setHandler(std::move(handler));
}

std::vector<ProjectNotice> takeProjectNotices() { return notices().take(); }

std::string notWrittenInWords(const fd::Failure& failure, std::string_view folder) {
  switch (failure.error) {
    // A folder mounted to be read only, or one the user may not write to:
    // the place is what the user mends, not the disk.
    case EROFS:
    case EACCES:
    case EPERM: return std::string(folder) + " cannot be written";
    case fd::files::kHeldFromWriting: return "the file it replaces cannot be read and could not be moved aside";
    default: break;
  }
  if (const char* words = fd::files::describeWriteError(failure.error)) return words;
  // The program's own words carry no error number and name no file; a
  // message that does is the system's, which the user never reads.
  if (failure.error == 0 && failure.message.find('/') == std::string::npos && !failure.message.starts_with("cannot "))
    return failure.message;
  return "its files could not be written";
}

bool roomMendsIt(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }
