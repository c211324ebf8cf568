#pragma once
// The sound picker: lists the sound files the user put into Documents,
// previews a tapped one on a loop, and hands the chosen one to its delegate
// (the frame manager's sound track). While listing it records, for every sound
// it has not seen, how many frames it lasts at the project's speed: the most
// a tag of that sound may span.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/ClipPlayer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

class ZTSelectedAudioViewcontroller;

class SelectedAudioDelegate {
 public:
  virtual ~SelectedAudioDelegate() = default;
  // name: the row's text (the file name without its extension).
  virtual void selectedAudioViewController(ZTSelectedAudioViewcontroller&, const std::string& /*name*/,
                                           const std::filesystem::path& /*path*/) {}
  virtual void selectedAudioViewControllerDidCancel(ZTSelectedAudioViewcontroller&) {}
};

class ZTSelectedAudioViewcontroller : public ui::ViewController,
                                      public ui::TableViewDataSource,
                                      public ui::TableViewDelegate {
 public:
  static std::shared_ptr<ZTSelectedAudioViewcontroller> initWithStyle();
  ~ZTSelectedAudioViewcontroller() override;

  void setAudioSelectedDelegate(SelectedAudioDelegate* d) { delegate_ = d; }
  ui::TableView* tableView() const { return table_.get(); }

  // The listed files, full paths, sorted by the names the rows show (built
  // on first use).
  const std::vector<std::filesystem::path>& audioPathArray();
  void playAudioWithAudioPath(const std::filesystem::path& path);
  // The preview now looping, if any.
  const std::shared_ptr<media::ClipPlayer>& player() const { return player_; }
  void ok();
  void cancel();

  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, ui::IndexPath indexPath) override;
  void didSelectRow(ui::TableView&, ui::IndexPath indexPath) override;

  void loadView() override;

 private:
  ZTSelectedAudioViewcontroller() = default;
  void stopPreview();

  std::optional<std::vector<std::filesystem::path>> audioPaths_;
  std::shared_ptr<media::ClipPlayer> player_;
  std::shared_ptr<ui::TableView> table_;
  SelectedAudioDelegate* delegate_ = nullptr;
};
