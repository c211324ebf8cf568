#include "desk/AlbumViewCell.h"

#include "desk/VTImageCache.h"

AlbumViewCell::AlbumViewCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::CellStyle::Default, reuseIdentifier) {
  for (int i = 0; i < 3; ++i) {
    imageViewAry_[i] = std::make_shared<ui::ImageView>(ui::Rect{19.0f * i + 2, 3, 16, 11});
    imageViewAry_[i]->setUserInteractionEnabled(false);
    contentView()->addSubview(imageViewAry_[i]);
    btnAry_[i] = ui::Button::make(ui::ButtonType::Custom, {58.0f * i + 4, 6, 50, 50});
    // Shapes and stamps are drawn far larger than a grid cell: each is shown
    // whole, fitted into its button.
    btnAry_[i]->imageView()->setContentMode(ui::ContentMode::ScaleAspectFit);
    btnAry_[i]->addTarget(
        this, [this](ui::Control* sender, const ui::Event*) { btnClick(static_cast<ui::Button*>(sender)); },
        ui::TouchUpInside);
    contentView()->addSubview(btnAry_[i]);
  }
}

std::shared_ptr<AlbumViewCell> AlbumViewCell::initWithStyle(const std::string& reuseIdentifier) {
  return std::make_shared<AlbumViewCell>(reuseIdentifier);
}

void AlbumViewCell::setButtonImageAndTag(const std::vector<std::string>& names, int row, float width,
                                         const std::filesystem::path& path, bool isLocal) {
  const float w3 = width / 3;
  for (int i = 0; i < 3; ++i) {
    const float fi = static_cast<float>(i);
    ui::ImageView& frame = *imageViewAry_[i];
    ui::Button& button = *btnAry_[i];
    frame.setImage(VTImageCache::imageNamed("stamp_borderIn.png"));
    frame.setFrame({8 * fi + 2 + fi * (w3 - 10), 4.5f, w3 - 3, w3 - 3});
    if (isLocal) button.setFrame({8 * fi + 4 + fi * (w3 - 5), 14, w3 - 20, w3 - 20});
    else button.setFrame({8 * fi + fi * (w3 - 6), 3, w3 - 6, w3 - 6});
    frame.setTag(3 * row + i);
    button.setTag(3 * row + i);
    const bool shown = static_cast<std::size_t>(i) < names.size();
    frame.setHidden(!shown);
    button.setHidden(!shown);
    if (!shown) continue;
    button.setImage(isLocal ? VTImageCache::imageNamed(names[i]) : ui::Picture::fromFile(path / names[i]));
  }
}

void AlbumViewCell::btnClick(ui::Button* button) {
  if (delegate_) delegate_->btnClick(button, this);
}
