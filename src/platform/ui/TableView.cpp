#include "platform/ui/TableView.h"

#include <algorithm>

namespace ui {

namespace {
constexpr Color kSelectionColor[] = {{}, {0.02f, 0.45f, 0.93f, 1}, {0.7f, 0.7f, 0.7f, 1}};
}

// --- cell

TableViewCell::TableViewCell(CellStyle style, std::string reuseIdentifier)
    : View(Rect{0, 0, 320, 44}), reuseIdentifier_(std::move(reuseIdentifier)), style_(style) {
  setBackgroundColor(Color::white(1));
  selectedBackground_ = std::make_shared<View>();
  selectedBackground_->setHidden(true);
  selectedBackground_->setUserInteractionEnabled(false);
  content_ = std::make_shared<View>();
  image_ = std::make_shared<ImageView>();
  image_->setContentMode(ContentMode::Center);
  text_ = std::make_shared<Label>();
  Font f;
  f.size = 18;
  f.bold = true;
  text_->setFont(f);
  text_->setHighlightedTextColor(Color::white(1));
  detail_ = std::make_shared<Label>();
  Font d;
  d.size = 14;
  detail_->setFont(d);
  detail_->setTextColor(Color::white(0.5f));
  detail_->setHighlightedTextColor(Color::white(1));
  separator_ = std::make_shared<View>();
  separator_->setUserInteractionEnabled(false);
  addSubview(selectedBackground_);
  addSubview(content_);
  content_->addSubview(image_);
  content_->addSubview(text_);
  if (style == CellStyle::Subtitle) content_->addSubview(detail_);
  addSubview(separator_);
}

void TableViewCell::setSelected(bool selected, bool) {
  selected_ = selected;
  updateLook();
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
  highlighted_ = highlighted;
  updateLook();
}

void TableViewCell::updateLook() {
  bool on = (selected_ || highlighted_) && selectionStyle_ != CellSelectionStyle::None;
  selectedBackground_->setHidden(!on);
  selectedBackground_->setBackgroundColor(kSelectionColor[static_cast<int>(selectionStyle_)]);
  text_->setHighlighted(on);
  detail_->setHighlighted(on);
  image_->setHighlighted(on);
}

void TableViewCell::prepareForReuse() {
  selected_ = highlighted_ = false;
  updateLook();
}

void TableViewCell::layoutSubviews() {
  Rect b = bounds();
  selectedBackground_->setFrame(b);
  content_->setFrame(b);
  separator_->setFrame({0, b.height - 1, b.width, 1});
  float x = 10;
  Size is = image_->image().size();
  if (is.width > 0) {
    image_->setFrame({x, (b.height - is.height) / 2, is.width, is.height});
    x += is.width + 10;
  } else {
    image_->setFrame({});
  }
  if (style_ == CellStyle::Subtitle) {
    text_->setFrame({x, 2, b.width - x - 10, b.height * 0.55f});
    detail_->setFrame({x, b.height * 0.55f, b.width - x - 10, b.height * 0.4f});
  } else {
    text_->setFrame({x, 0, b.width - x - 10, b.height - 1});
  }
}

// --- table

TableView::TableView(const Rect& frame) : ScrollView(frame) { setBackgroundColor(Color::white(1)); }

void TableView::setTableDelegate(TableViewDelegate* d) {
  tableDelegate_ = d;
  setDelegate(d);
}

void TableView::setRowHeight(float h) {
  rowHeight_ = h;
  if (loaded_) reloadData();
}

void TableView::setSeparatorStyle(SeparatorStyle s) {
  separatorStyle_ = s;
  setNeedsLayout();
}

void TableView::setSeparatorColor(const Color& c) {
  separatorColor_ = c;
  setNeedsLayout();
}

int TableView::numberOfRows(int section) const {
  if (section < 0 || section >= numberOfSections()) return 0;
  return static_cast<int>(sections_[section].heights.size());
}

void TableView::computeGeometry() {
  sections_.clear();
  if (!dataSource_) return;
  int nsec = std::max(0, dataSource_->numberOfSections(*this));
  float y = 0;
  for (int s = 0; s < nsec; ++s) {
    Section sec;
    int rows = std::max(0, dataSource_->numberOfRows(*this, s));
    for (int r = 0; r < rows; ++r) {
      float h = rowHeight_;
      if (tableDelegate_)
        if (auto answer = tableDelegate_->heightForRow(*this, {s, r})) h = *answer;
      sec.tops.push_back(y);
      sec.heights.push_back(h);
      y += h;
    }
    sections_.push_back(std::move(sec));
  }
  setContentSize({bounds().width, y});
}

void TableView::enqueue(const IndexPath& ip) {
  auto it = visible_.find(ip);
  if (it == visible_.end()) return;
  std::shared_ptr<TableViewCell> cell = it->second;
  visible_.erase(it);
  cell->removeFromSuperview();
  if (!cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(cell);
}

void TableView::reloadData() {
  loaded_ = true;
  std::vector<IndexPath> shown;
  for (auto& [ip, cell] : visible_) shown.push_back(ip);
  for (auto& ip : shown) enqueue(ip);
  computeGeometry();
  if (selected_ && (selected_->section >= numberOfSections() || selected_->row >= numberOfRows(selected_->section)))
    selected_.reset();
  Point off = contentOffset();
  Point m = maxContentOffset();
  if (off.y > m.y) setContentOffset({off.x, m.y});
  tile();
}

Rect TableView::rectForRow(IndexPath ip) const {
  if (ip.section < 0 || ip.section >= numberOfSections() || ip.row < 0 || ip.row >= numberOfRows(ip.section))
    return {};
  const Section& s = sections_[ip.section];
  return {0, s.tops[ip.row], bounds().width, s.heights[ip.row]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) const {
  for (int s = 0; s < numberOfSections(); ++s) {
    const Section& sec = sections_[s];
    auto it = std::upper_bound(sec.tops.begin(), sec.tops.end(), p.y);
    if (it == sec.tops.begin()) continue;
    int r = static_cast<int>(it - sec.tops.begin()) - 1;
    if (p.y < sec.tops[r] + sec.heights[r] && p.x >= 0 && p.x < bounds().width) return IndexPath{s, r};
  }
  return std::nullopt;
}

TableViewCell* TableView::cellForRow(IndexPath ip) const {
  auto it = visible_.find(ip);
  return it == visible_.end() ? nullptr : it->second.get();
}

std::vector<TableViewCell*> TableView::visibleCells() const {
  std::vector<TableViewCell*> out;
  for (auto& [ip, c] : visible_) out.push_back(c.get());
  return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
  std::vector<IndexPath> out;
  for (auto& [ip, c] : visible_) out.push_back(ip);
  return out;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier) {
  auto it = pool_.find(identifier);
  if (it == pool_.end() || it->second.empty()) return nullptr;
  std::shared_ptr<TableViewCell> cell = it->second.back();
  it->second.pop_back();
  cell->prepareForReuse();
  return cell;
}

std::size_t TableView::reusePoolSize() const {
  std::size_t n = 0;
  for (auto& [k, v] : pool_) n += v.size();
  return n;
}

void TableView::tile() {
  if (!loaded_ || !dataSource_) return;
  Rect b = bounds();
  float top = b.y, bottom = b.y + b.height;
  // Rows that left the visible band go to the pool first, so that the rows
  // coming in can reuse them.
  std::vector<IndexPath> gone;
  for (auto& [ip, cell] : visible_) {
    Rect r = rectForRow(ip);
    if (r.height <= 0 || r.y + r.height <= top || r.y >= bottom) gone.push_back(ip);
  }
  for (auto& ip : gone) enqueue(ip);
  for (int s = 0; s < numberOfSections(); ++s) {
    const Section& sec = sections_[s];
    for (int r = 0; r < static_cast<int>(sec.tops.size()); ++r) {
      if (sec.tops[r] + sec.heights[r] <= top) continue;
      if (sec.tops[r] >= bottom) break;
      IndexPath ip{s, r};
      if (sec.heights[r] <= 0 || visible_.count(ip)) continue;
      std::shared_ptr<TableViewCell> cell = dataSource_->cellForRow(*this, ip);
      if (!cell) continue;
      cell->setFrame({0, sec.tops[r], b.width, sec.heights[r]});
      cell->selected_ = selected_ == ip;
      cell->updateLook();
      cell->separator_->setHidden(separatorStyle_ == SeparatorStyle::None);
      cell->separator_->setBackgroundColor(separatorColor_);
      if (tableDelegate_) tableDelegate_->willDisplayCell(*this, *cell, ip);
      insertSubview(cell, 0);
      visible_[ip] = cell;
    }
  }
}

void TableView::layoutSubviews() {
  if (!loaded_ && dataSource_) {
    reloadData();
    return;
  }
  for (auto& [ip, cell] : visible_) {
    cell->setFrame(rectForRow(ip));
    cell->separator_->setHidden(separatorStyle_ == SeparatorStyle::None);
    cell->separator_->setBackgroundColor(separatorColor_);
  }
  tile();
}

void TableView::selectRow(std::optional<IndexPath> ip, bool animated, ScrollPosition position) {
  if (selected_)
    if (TableViewCell* c = cellForRow(*selected_)) c->setSelected(false, animated);
  selected_ = ip;
  if (!ip) return;
  if (TableViewCell* c = cellForRow(*ip)) c->setSelected(true, animated);
  if (position != ScrollPosition::None) scrollToRow(*ip, position, animated);
}

void TableView::deselectRow(IndexPath ip, bool animated) {
  if (TableViewCell* c = cellForRow(ip)) c->setSelected(false, animated);
  if (selected_ == ip) selected_.reset();
}

void TableView::scrollToRow(IndexPath ip, ScrollPosition position, bool animated) {
  Rect r = rectForRow(ip);
  Rect b = bounds();
  float y = b.y;
  switch (position) {
    case ScrollPosition::Top: y = r.y; break;
    case ScrollPosition::Middle: y = r.y + r.height / 2 - b.height / 2; break;
    case ScrollPosition::Bottom: y = r.y + r.height - b.height; break;
    case ScrollPosition::None:
      if (r.y < b.y) y = r.y;
      else if (r.y + r.height > b.y + b.height) y = r.y + r.height - b.height;
      break;
  }
  y = std::clamp(y, 0.0f, maxContentOffset().y);
  setContentOffset({b.x, y}, animated);
}

void TableView::touchesBegan(const TouchSet& touches, const Event& event) {
  ScrollView::touchesBegan(touches, event);
  if (!allowsSelection_ || touches.empty()) return;
  pressed_ = indexPathForRowAtPoint(touches.front()->locationInView(this));
  if (pressed_)
    if (TableViewCell* c = cellForRow(*pressed_)) c->setHighlighted(true);
}

void TableView::touchesEnded(const TouchSet& touches, const Event& event) {
  bool dragged = trackedTouchDragged();
  ScrollView::touchesEnded(touches, event);
  std::optional<IndexPath> pressed = pressed_;
  pressed_.reset();
  if (!pressed) return;
  if (TableViewCell* c = cellForRow(*pressed)) c->setHighlighted(false);
  if (dragged || touches.empty()) return;
  std::optional<IndexPath> at = indexPathForRowAtPoint(touches.front()->locationInView(this));
  if (at != pressed) return;
  std::optional<IndexPath> target = *at;
  if (tableDelegate_) target = tableDelegate_->willSelectRow(*this, *at);
  if (!target) return;
  if (selected_ && selected_ != target) {
    IndexPath old = *selected_;
    deselectRow(old);
    if (tableDelegate_) tableDelegate_->didDeselectRow(*this, old);
  }
  selectRow(target);
  if (tableDelegate_) tableDelegate_->didSelectRow(*this, *target);
}

void TableView::touchesCancelled(const TouchSet& touches, const Event& event) {
  ScrollView::touchesCancelled(touches, event);
  if (pressed_)
    if (TableViewCell* c = cellForRow(*pressed_)) c->setHighlighted(false);
  pressed_.reset();
}

}  // namespace ui
