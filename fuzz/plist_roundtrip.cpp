// A hand tool beside the property-list fuzz target: reads every file of a
// folder as a list, as the program reads one it keeps, and puts the
// program's XML of each (NAME.plist) or why it was refused (NAME.refused)
// in another folder, for fuzz/plist_crosscheck.py to hold against another
// reader.
//   plist_roundtrip IN_FOLDER OUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyList.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: plist_roundtrip IN_FOLDER OUT_FOLDER\n");
    return 2;
  }
  const fs::path out(argv[2]);
  fs::create_directories(out);
  int read = 0, refused = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(argv[1])) {
    if (!entry.is_regular_file()) continue;
    const fd::Expected<fd::Value> value = fd::readPropertyList(entry.path());
    const std::string name = entry.path().stem().string();
    std::ofstream file(out / (name + (value ? ".plist" : ".refused")), std::ios::binary);
    if (value) {
      file << fd::serializePropertyListXML(*value);
      ++read;
    } else {
      file << value.error();
      ++refused;
    }
  }
  std::printf("%d read, %d refused\n", read, refused);
  return 0;
}
