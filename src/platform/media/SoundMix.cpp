#include "platform/media/SoundMix.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <unordered_set>

namespace media {

namespace {

constexpr std::size_t kBlock = 16384;
// Files left out by the limits are named in one message; past these few, counted.
constexpr std::size_t kNamedLeftOut = 5;

std::string quoted(const std::filesystem::path& file) { return "\"" + file.filename().string() + "\""; }

std::string mixMinutes() { return std::to_string(static_cast<int>(kMaxSoundSeconds / 60)) + " minutes"; }

std::string leftOutByLimits(const std::vector<std::filesystem::path>& files) {
  const std::size_t named = std::min(files.size(), kNamedLeftOut);
  std::string names;
  for (std::size_t k = 0; k < named; ++k) {
    if (k > 0) names += k + 1 == named && files.size() == named ? " and " : ", ";
    names += quoted(files[k]);
  }
  if (const std::size_t more = files.size() - named; more > 0)
    names += " and " + std::to_string(more) + (more == 1 ? " other sound" : " other sounds");
  return names + (files.size() == 1 ? " is left out: the sounds mixed before it are" : " are left out: the sounds mixed before them are") +
         " as much as is mixed at one time";
}

// The clips of one file, by their places in the mix's list.
struct FileClips {
  std::filesystem::path file;
  std::vector<std::size_t> clips;
  // Where the first of them starts, in samples.
  std::size_t earliest = 0;
  bool leftOutByLimits = false;
};

// A file's sound at the mix's rate, as far as its earliest clip reaches into
// the mix.
struct Decoded {
  std::vector<float> samples;
  // The sound goes on past what was read.
  bool more = false;
  // The reading stopped at the limit of decoded samples.
  bool stopped = false;
  // Why the reading broke off before the end, when it did.
  std::string error;
};

Decoded decode(SoundReader& reader, std::size_t needed, std::int64_t budget) {
  Decoded d;
  if (auto seconds = reader.headerSeconds())
    d.samples.reserve(std::min(needed, static_cast<std::size_t>(*seconds * kRecordingSampleRate) + 1));
  // File samples per mix sample: reads are kept short near the limit, so that
  // it is passed by one of the reader's fills at most.
  const double cost = static_cast<double>(reader.fileSampleRate()) * reader.fileChannels() / kRecordingSampleRate;
  while (d.samples.size() < needed) {
    const std::int64_t left = budget - reader.samplesDecoded();
    if (left <= 0) {
      d.stopped = true;
      return d;
    }
    const auto affordable = static_cast<std::size_t>(std::max(1.0, std::ceil(static_cast<double>(left) / cost)));
    const std::size_t had = d.samples.size();
    const std::size_t want = std::min({kBlock, needed - had, affordable});
    d.samples.resize(had + want);
    auto got = reader.read(d.samples.data() + had, want);
    d.samples.resize(had + (got ? *got : 0));
    if (!got) {
      d.error = got.error();
      return d;
    }
    if (*got == 0) return d;
  }
  // One sample more tells whether the sound goes on past the mix; a failure
  // there lies past it too, and means that it does.
  float next = 0;
  auto got = reader.read(&next, 1);
  d.more = !got || *got > 0;
  return d;
}

}  // namespace

MixOutcome mixClipsToCaf(const std::vector<MixClip>& clips, const std::filesystem::path& output, std::string* error,
                         const MixLimits& limits) {
  MixOutcome outcome;
  const auto longest = static_cast<std::size_t>(kMaxSoundSeconds * kRecordingSampleRate);
  auto startOf = [&](const MixClip& clip) {
    const double at = clip.offsetSeconds > 0 ? clip.offsetSeconds * kRecordingSampleRate : 0.0;  // also NaN
    return at < static_cast<double>(longest) ? static_cast<std::size_t>(std::lround(at)) : longest;
  };
  std::vector<float> mix;
  bool any = false;
  try {
    // What befell each clip, told in the clips' order once the mix is made.
    std::vector<std::string> told(clips.size());
    // Each file once, in the order of its first clip.
    std::vector<FileClips> files;
    std::map<std::filesystem::path, std::size_t> fileOf;
    for (std::size_t i = 0; i < clips.size(); ++i) {
      const std::size_t start = startOf(clips[i]);
      if (start >= longest) {
        told[i] = quoted(clips[i].file) + " starts after the first " + mixMinutes() + " of the mix and is left out";
        continue;
      }
      const auto [at, added] = fileOf.try_emplace(clips[i].file.lexically_normal(), files.size());
      if (added) files.push_back(FileClips{clips[i].file, {}, start});
      FileClips& f = files[at->second];
      f.clips.push_back(i);
      f.earliest = std::min(f.earliest, start);
    }
    // The headers' lengths size the mix once.
    std::size_t expected = 0;
    const auto opened = static_cast<std::size_t>(std::max(limits.files, 0));
    for (std::size_t k = 0; k < files.size() && k < opened; ++k) {
      if (auto seconds = soundDuration(files[k].file))
        expected = std::max(expected, files[k].earliest + static_cast<std::size_t>(*seconds * kRecordingSampleRate));
    }
    mix.reserve(std::min(expected, longest));

    for (FileClips& f : files) {
      if (outcome.filesRead >= limits.files || outcome.samplesDecoded >= limits.decodedSamples ||
          outcome.samplesAdded >= limits.addedSamples) {
        f.leftOutByLimits = true;
        continue;
      }
      ++outcome.filesRead;
      auto reader = SoundReader::open(f.file, kRecordingSampleRate);
      if (!reader) {
        for (std::size_t i : f.clips) told[i] = reader.error();
        continue;
      }
      any = true;
      const Decoded d = decode(**reader, longest - f.earliest, limits.decodedSamples - outcome.samplesDecoded);
      outcome.samplesDecoded += (*reader)->samplesDecoded();
      for (std::size_t i : f.clips) {
        const std::size_t start = startOf(clips[i]);
        const std::size_t room = longest - start;
        const std::size_t whole = std::min(d.samples.size(), room);
        const auto allowed = static_cast<std::size_t>(
            std::clamp<std::int64_t>(limits.addedSamples - outcome.samplesAdded, 0, static_cast<std::int64_t>(whole)));
        if (allowed == 0 && whole > 0) {
          f.leftOutByLimits = true;
          continue;
        }
        // A clip read to its end, however short, stretches the mix to its start.
        if ((allowed > 0 || d.error.empty()) && mix.size() < start + allowed) mix.resize(start + allowed, 0.0f);
        for (std::size_t k = 0; k < allowed; ++k) mix[start + k] += d.samples[k];
        outcome.samplesAdded += static_cast<std::int64_t>(allowed);
        if (allowed < whole || (d.stopped && whole < room)) {
          told[i] = quoted(f.file) + " is cut short: the sounds mixed up to there are as much as is mixed at one time";
        } else if (!d.error.empty() && whole < room) {
          told[i] = d.error;
        } else if (d.samples.size() > room || (d.samples.size() == room && d.more)) {
          told[i] = quoted(f.file) + " is cut where the mix reaches " + mixMinutes();
        }
      }
    }

    std::unordered_set<std::string> said;
    for (std::string& message : told) {
      if (!message.empty() && said.insert(message).second) outcome.problems.push_back(std::move(message));
    }
    std::vector<std::filesystem::path> overLimits;
    for (const FileClips& f : files)
      if (f.leftOutByLimits) overLimits.push_back(f.file);
    if (!overLimits.empty()) outcome.problems.push_back(leftOutByLimits(overLimits));
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = "not enough memory to mix the sounds";
    return outcome;
  }
  if (!any) {
    if (error != nullptr) *error = "no readable clip";
    return outcome;
  }
  outcome.written = writeMonoCaf(output, mix, kRecordingSampleRate, error);
  return outcome;
}

}  // namespace media
