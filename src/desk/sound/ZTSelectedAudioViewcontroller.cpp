#include "desk/sound/ZTSelectedAudioViewcontroller.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "desk/sound/UnplayableSounds.h"
#include "model/Timeline.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioSession.h"
#include "platform/ui/NavigationController.h"

namespace {

namespace fs = std::filesystem;

bool isListedSound(const fs::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext == ".CAF" || ext == ".AIF" || ext == ".WAV";
}

}  // namespace

std::shared_ptr<ZTSelectedAudioViewcontroller> ZTSelectedAudioViewcontroller::initWithStyle() {
  std::shared_ptr<ZTSelectedAudioViewcontroller> c(new ZTSelectedAudioViewcontroller());
  std::weak_ptr<ZTSelectedAudioViewcontroller> weak = c;
  c->navigationItem().setLeftBarButtonItem(
      std::make_shared<ui::BarButtonItem>(fd::Localized("Cancel"), ui::BarButtonStyle::Plain, [weak] {
        if (auto self = weak.lock()) self->cancel();
      }));
  return c;
}

ZTSelectedAudioViewcontroller::~ZTSelectedAudioViewcontroller() { stopPreview(); }

void ZTSelectedAudioViewcontroller::loadView() {
  table_ = std::make_shared<ui::TableView>(ui::Rect{0, 0, 320, 480});
  table_->setAutoresizingMask(ui::FlexibleWidth | ui::FlexibleHeight);
  table_->setDataSource(this);
  table_->setTableDelegate(this);
  setView(table_);
}

const std::vector<fs::path>& ZTSelectedAudioViewcontroller::audioPathArray() {
  if (audioPaths_) return *audioPaths_;
  audioPaths_.emplace();
  const fs::path documents = fd::paths::documents();
  auto& model = ZTDataModel::sharedInstance();
  auto& limits = model.extendDataModel().limitFramesDict();
  const auto& project = model.prjDataModel();
  const float speed = project ? project->animationSpeed() : timeline::kNewProjectSpeed;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(documents, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) || !isListedSound(it->path())) continue;
    audioPaths_->push_back(it->path());
    const std::string key = it->path().lexically_relative(documents).string();
    // A limit of 0 was recorded for a sound that could not be read then; it
    // is measured again, as a format read since may now tell its length.
    if (auto known = limits.find(key); known != limits.end() && known->second != 0) continue;
    // The header alone: no sound is decoded while the list is built. A sound
    // that cannot be played counts as lasting nothing.
    const fd::Expected<double> duration = media::soundDuration(it->path());
    limits[key] = duration ? static_cast<int>(std::trunc(*duration / (timeline::kFrameSeconds / speed))) : 0;
  }
  // By the names the rows show, whatever order the folder walk found them in.
  auto nameKey = [](const fs::path& p) {
    std::string name = p.stem().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::make_pair(name, p.string());
  };
  std::sort(audioPaths_->begin(), audioPaths_->end(),
            [&](const fs::path& a, const fs::path& b) { return nameKey(a) < nameKey(b); });
  return *audioPaths_;
}

int ZTSelectedAudioViewcontroller::numberOfRows(ui::TableView&, int) {
  return static_cast<int>(audioPathArray().size());
}

std::shared_ptr<ui::TableViewCell> ZTSelectedAudioViewcontroller::cellForRow(ui::TableView& tv, ui::IndexPath ip) {
  auto cell = tv.dequeueReusableCell("Cell");
  if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::CellStyle::Default, "Cell");
  const auto& paths = audioPathArray();
  if (ip.row >= 0 && ip.row < static_cast<int>(paths.size()))
    cell->textLabel()->setText(paths[static_cast<std::size_t>(ip.row)].stem().string());
  return cell;
}

void ZTSelectedAudioViewcontroller::didSelectRow(ui::TableView&, ui::IndexPath ip) {
  std::weak_ptr<ZTSelectedAudioViewcontroller> weak =
      std::static_pointer_cast<ZTSelectedAudioViewcontroller>(shared_from_this());
  navigationItem().setRightBarButtonItem(
      std::make_shared<ui::BarButtonItem>(fd::Localized("OK"), ui::BarButtonStyle::Plain, [weak] {
        if (auto self = weak.lock()) self->ok();
      }));
  const auto& paths = audioPathArray();
  if (ip.row >= 0 && ip.row < static_cast<int>(paths.size())) playAudioWithAudioPath(paths[static_cast<std::size_t>(ip.row)]);
}

void ZTSelectedAudioViewcontroller::stopPreview() {
  if (player_) player_->stop();
  player_.reset();
}

void ZTSelectedAudioViewcontroller::playAudioWithAudioPath(const fs::path& path) {
  stopPreview();
  media::AudioSession::shared().setCategory(media::SessionCategory::Playback);
  // Decoded on a thread of its own; the preview sounds once it is read, and a
  // sound that cannot be played is told in words.
  std::weak_ptr<ZTSelectedAudioViewcontroller> weak =
      std::static_pointer_cast<ZTSelectedAudioViewcontroller>(shared_from_this());
  player_ = media::ClipPlayer::load(path, [weak, path](const fd::Status& loaded) {
    if (loaded) return;
    if (auto self = weak.lock(); self && self->player_ && self->player_->file() == path) self->stopPreview();
    showUnplayableSoundAlert(loaded.error());
  });
  player_->setVolume(1.0f);
  player_->setNumberOfLoops(-1);
  player_->play();
}

void ZTSelectedAudioViewcontroller::ok() {
  stopPreview();
  const auto selected = table_ ? table_->indexPathForSelectedRow() : std::nullopt;
  const auto& paths = audioPathArray();
  if (delegate_ && selected && selected->row >= 0 && selected->row < static_cast<int>(paths.size())) {
    auto* cell = table_->cellForRow(*selected);
    const std::string name = cell ? cell->textLabel()->text() : paths[static_cast<std::size_t>(selected->row)].stem().string();
    delegate_->selectedAudioViewController(*this, name, paths[static_cast<std::size_t>(selected->row)]);
  }
  dismissViewController(true);
}

void ZTSelectedAudioViewcontroller::cancel() {
  stopPreview();
  if (delegate_) delegate_->selectedAudioViewControllerDidCancel(*this);
  dismissViewController(true);
}
