#include "model/ProjectNotice.h"

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
