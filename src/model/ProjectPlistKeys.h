#pragma once
// The file name and top-level keys of a project's property list. Stored
// projects and packages depend on their spelling, misspellings included.
namespace projectplist {

inline constexpr const char* kFileName = "Project.plist";

inline constexpr const char* kVersionKey = "Version";
inline constexpr const char* kFrameLayCountKey = "FrameLayCount";
inline constexpr const char* kAnimationSpeedKey = "AnimationSpeed";
inline constexpr const char* kImagesArrayKey = "ImagesArray";
inline constexpr const char* kTemporarysArrayKey = "temporarysArray";
inline constexpr const char* kLaysDictionaryKey = "LaysDictionary";
inline constexpr const char* kAudioNameKey = "AudioName";
inline constexpr const char* kBackgroundNameKey = "BackgroundName";
inline constexpr const char* kBackgroundTypeKey = "BackgroundType";
// Only while the background's copies are not under their usual names.
inline constexpr const char* kBackgroundCopyKey = "BackgroundCopy";
inline constexpr const char* kIsBackgroundOpenKey = "isBackgroundOpen";
inline constexpr const char* kDescriptionKey = "Description";
inline constexpr const char* kProjectDataVersionKey = "ProjectDataVersion";
inline constexpr const char* kDataTypeKey = "DataType";
inline constexpr const char* kSoundTagViewPointsKey = "SoundTagViewPoints";
inline constexpr const char* kSoundNameArrayKey = "SoundNameArray";
inline constexpr const char* kSoundTagViewFrameKey = "soundTagViewFrame";

}  // namespace projectplist
