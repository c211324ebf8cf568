#pragma once
// One row of the stamp tool's grid: three picture buttons, each on a frame.
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TableView.h"

class AlbumViewCell;
class DownLoadItem;

class AlbumViewCellDelegate {
 public:
  virtual ~AlbumViewCellDelegate() = default;
  virtual void btnClick(ui::Button* button, AlbumViewCell* cell) = 0;
};

class AlbumViewCell : public ui::TableViewCell {
 public:
  static constexpr const char* kReuseIdentifier = "Cell";
  explicit AlbumViewCell(const std::string& reuseIdentifier = kReuseIdentifier);
  static std::shared_ptr<AlbumViewCell> initWithStyle(const std::string& reuseIdentifier);

  // names: the row's pictures (up to three); the buttons get tags 3 x row + i.
  // isLocal: built-in pictures from the named-image cache, else files of path.
  void setButtonImageAndTag(const std::vector<std::string>& names, int row, float width,
                            const std::filesystem::path& path, bool isLocal);
  void btnClick(ui::Button* button);

  const std::array<std::shared_ptr<ui::Button>, 3>& btnAry() const { return btnAry_; }
  const std::array<std::shared_ptr<ui::ImageView>, 3>& imageViewAry() const { return imageViewAry_; }
  AlbumViewCellDelegate* albumViewCellDelegate() const { return delegate_; }
  void setAlbumViewCellDelegate(AlbumViewCellDelegate* d) { delegate_ = d; }
  int rowIndex() const { return rowIndex_; }
  void setRowIndex(int r) { rowIndex_ = r; }

 private:
  std::array<std::shared_ptr<ui::Button>, 3> btnAry_;
  std::array<std::shared_ptr<ui::ImageView>, 3> imageViewAry_;
  AlbumViewCellDelegate* delegate_ = nullptr;
  int rowIndex_ = 0;
};
