#pragma once
// What the model did to a project on its own that the user must hear of: a
// project's list it would not write (it would not be read again) or that the
// disk refused, a project's background it mended at start, and projects it
// listed again at start because the preferences named none of them (and the
// folders it could not list). The model only says it; the application tells
// it in words, over whatever is on screen.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Expected.h"

struct ProjectNotice {
  enum class Kind {
    ListNotSaved,        // `reason` says why; the list on disk is the last one saved
    ListNotWritten,      // the disk refused the list, `reason` in words; the list on disk is the last one saved
    BackgroundRestored,  // the project's copy of `background` was taken again from the backgrounds
    BackgroundDropped,   // `background` has no picture left anywhere: the project now has none
    ProjectsListedAgain,  // the `count` project folders found are listed again (`project`: the first of them),
                          // those in `unlisted` left out
    FoldersLeftUnlisted,  // the folders in `unlisted` stay out of the projects listed again from an unreadable
                          // file, or out of a list made afresh
  };
  // What the preferences held where the project list belongs, for
  // ProjectsListedAgain (Absent: names of projects none of which has a folder).
  enum class StoredList { Missing, Text, Dictionary, OtherValue, Empty, Unusable, Absent };
  // A folder of the projects folder that no list can name: its name as shown
  // (what a list cannot keep as U+FFFD) and why, in words.
  struct UnlistedFolder {
    std::string shown;
    std::string reason;
  };
  Kind kind = Kind::ListNotSaved;
  std::string project;
  std::string background;
  std::string reason;
  int error = 0;  // the system's error number of a write the disk refused
  StoredList storedList = StoredList::Missing;
  std::size_t count = 0;
  // The first few folders left unlisted, and how many there are in all.
  std::vector<UnlistedFolder> unlisted{};
  std::size_t unlistedCount = 0;
};

// Every notice goes to the handler on the thread that made it; notices made
// before a handler was set (at start) go to it when it is set. An empty
// handler keeps them for later.
void tellProjectNotice(const ProjectNotice& notice);
void setProjectNoticeHandler(std::function<void(const ProjectNotice&)> handler);
// The notices no handler has taken yet (tests).
std::vector<ProjectNotice> takeProjectNotices();

// Why a file of the program's own was not written, as the user can act on it
// and with nothing the user never sees (no path, no stored name, no system
// message): "the disk is full", "<folder> cannot be written" for a folder
// that refuses writes, the file there kept from writing because it could not
// be read, or the failure's own words when it carries no error number and
// no path.
std::string notWrittenInWords(const fd::Failure& failure, std::string_view folder = "the projects folder");
// Whether making room on the disk lets a write refused with that error
// number through.
bool roomMendsIt(int error);
