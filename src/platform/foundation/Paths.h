#pragma once
// The sandbox: one root holding Library/ (Projects, Background, Audio,
// Preferences, Caches), Documents/ and tmp/, as the phone's sandbox has them.
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/foundation/Expected.h"

namespace fd::paths {

// $FLIPDESK_HOME, else $XDG_DATA_HOME/flipdesk, else ~/.local/share/flipdesk.
std::filesystem::path home();
// Tests point the sandbox at a folder of their own; an empty path returns to
// the environment's choice.
void setHomeOverride(const std::filesystem::path& root);

std::filesystem::path library();      // <home>/Library
std::filesystem::path documents();    // <home>/Documents
std::filesystem::path temporary();    // <home>/tmp
std::filesystem::path caches();       // <home>/Library/Caches
std::filesystem::path preferences();  // <home>/Library/Preferences
// <home>/Documents/Pictures: the folder that plays the photo library and album.
std::filesystem::path photoLibrary();
// Folders of the program's own inside Documents (the album): never a project
// of the old layout, whatever their name.
bool isOwnDocumentsFolder(const std::string& name);

// Creates the root and its standard folders; false when that fails.
bool ensureSandbox();
// The same, the failure saying which folder could not be made and why in
// words ("Library/Projects: read-only file system"; the reason alone when the
// root itself could not be), with the system's error number.
Status makeSandbox();
// Whether a file can be made in each standard folder (an unnamed one, gone
// as it is closed, so that nothing is added): a data folder that cannot be
// written would take the user's drawing and keep none of it. The failure
// says as makeSandbox's does. A test's write fault
// (files::setWriteFaultForTesting) answered for a folder's path stands for
// the system's refusal.
Status sandboxWritable();
// Holds the root for this process until it ends, so that two runs of the
// program never work in one sandbox at once, each writing over the other's
// lists and pages: a lock on the root folder, let go by the kernel however
// the process ends. False when another process holds it already; a file
// system that cannot lock is used without.
bool holdSandbox();

// The bundle's resource folder: $FLIPDESK_RESOURCES, else the build's folder.
std::filesystem::path resources();
// Tests point the resources at a folder of their own without changing the
// environment, which other threads (the GL driver's) read at any time; an
// empty path returns to the environment's choice.
void setResourcesOverride(const std::filesystem::path& folder);
std::filesystem::path resource(const std::string& name);
// The largest text resource read (shader sources, string tables): the
// program's own are a few kilobytes, and a folder put in their place by
// $FLIPDESK_RESOURCES cannot make a start read more.
inline constexpr std::uintmax_t kMaxResourceTextBytes = std::uintmax_t{4} << 20;
// A resource named by data (a configuration, a stored file) rather than by the
// program: a relative name that stays inside the resource folder. An absolute
// path, a ".." part, or a link leading out of the folder is refused in words.
Expected<std::filesystem::path> resourceNamed(const std::string& name);

}  // namespace fd::paths
