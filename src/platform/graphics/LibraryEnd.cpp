#include "platform/graphics/LibraryEnd.h"

#include <glib.h>

#include <cstdio>
#include <optional>

#include "platform/foundation/ProcessMemory.h"

namespace gfx {

namespace {

void onFatalError(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
  // Written without allocating: the memory may be what ran out. Before
  // GLib's own message, whose handler ends the process.
  if (const std::optional<std::uint64_t> ceiling = fd::addressSpaceCeiling())
    std::fprintf(stderr,
                 "flipdesk: ends, as a library it uses cannot go on: its address-space limit of %llu MiB (ulimit -v)\n"
                 "leaves no room for what it was doing. Raise the limit and start it again.\n",
                 static_cast<unsigned long long>(*ceiling >> 20));
  else
    std::fprintf(stderr, "flipdesk: ends, as a library it uses cannot go on.\n");
  g_log_default_handler(domain, level, message, nullptr);
}

}  // namespace

void tellWhenGLibEndsTheProcess() {
  g_log_set_handler("GLib", static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                    onFatalError, nullptr);
}

}  // namespace gfx
