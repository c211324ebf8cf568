#pragma once
// A scrolling list of rows in sections: heights from the delegate (or one row
// height), cells made by the data source and reused by identifier as they
// scroll out, reload, and selection by tap or by the program.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

namespace ui {

struct IndexPath {
  int section = 0, row = 0;
  bool operator==(const IndexPath&) const = default;
  auto operator<=>(const IndexPath&) const = default;
};

enum class CellStyle { Default, Subtitle };
enum class CellSelectionStyle { None, Blue, Gray };

class TableViewCell : public View {
 public:
  explicit TableViewCell(CellStyle style = CellStyle::Default, std::string reuseIdentifier = {});

  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  View* contentView() { return content_.get(); }
  Label* textLabel() { return text_.get(); }
  Label* detailTextLabel() { return detail_.get(); }
  ImageView* imageView() { return image_.get(); }

  CellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(CellSelectionStyle s) { selectionStyle_ = s; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected, bool animated = false);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted, bool animated = false);
  // Before the cell comes back from the reuse pool.
  virtual void prepareForReuse();

  void layoutSubviews() override;

 private:
  friend class TableView;
  void updateLook();
  std::string reuseIdentifier_;
  CellStyle style_;
  CellSelectionStyle selectionStyle_ = CellSelectionStyle::Blue;
  bool selected_ = false, highlighted_ = false;
  std::shared_ptr<View> selectedBackground_, content_, separator_;
  std::shared_ptr<Label> text_, detail_;
  std::shared_ptr<ImageView> image_;
};

class TableView;

class TableViewDataSource : public DelegateLife {
 public:
  virtual ~TableViewDataSource() = default;
  virtual int numberOfSections(TableView&) { return 1; }
  virtual int numberOfRows(TableView&, int section) = 0;
  virtual std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath indexPath) = 0;
};

class TableViewDelegate : public ScrollViewDelegate {
 public:
  // nullopt: the delegate does not answer, the table's rowHeight applies.
  virtual std::optional<float> heightForRow(TableView&, IndexPath) { return std::nullopt; }
  // Returning nullopt refuses the selection.
  virtual std::optional<IndexPath> willSelectRow(TableView&, IndexPath ip) { return ip; }
  virtual void didSelectRow(TableView&, IndexPath) {}
  virtual void didDeselectRow(TableView&, IndexPath) {}
  virtual void willDisplayCell(TableView&, TableViewCell&, IndexPath) {}
};

enum class ScrollPosition { None, Top, Middle, Bottom };
enum class SeparatorStyle { None, SingleLine };

class TableView : public ScrollView {
 public:
  explicit TableView(const Rect& frame = {});

  TableViewDataSource* dataSource() const { return dataSource_.get(); }
  void setDataSource(TableViewDataSource* ds) { dataSource_ = ds; }
  TableViewDelegate* tableDelegate() const { return tableDelegate_.get(); }
  // Also the scroll delegate.
  void setTableDelegate(TableViewDelegate* d);

  float rowHeight() const { return rowHeight_; }
  void setRowHeight(float h);
  SeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(SeparatorStyle s);
  Color separatorColor() const { return separatorColor_; }
  void setSeparatorColor(const Color& c);
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool on) { allowsSelection_ = on; }

  // Asks the data source again; visible cells go back to the reuse pool.
  void reloadData();
  int numberOfSections() const { return static_cast<int>(sections_.size()); }
  int numberOfRows(int section) const;
  Rect rectForRow(IndexPath ip) const;
  std::optional<IndexPath> indexPathForRowAtPoint(Point p) const;  // content coordinates
  // The cell on screen for the row, else nullptr.
  TableViewCell* cellForRow(IndexPath ip) const;
  std::vector<TableViewCell*> visibleCells() const;
  std::vector<IndexPath> indexPathsForVisibleRows() const;

  // A cell waiting for reuse with that identifier, or nullptr.
  std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);
  std::size_t reusePoolSize() const;

  std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
  // By program: no delegate calls, as on the phone.
  void selectRow(std::optional<IndexPath> ip, bool animated = false, ScrollPosition position = ScrollPosition::None);
  void deselectRow(IndexPath ip, bool animated = false);
  void scrollToRow(IndexPath ip, ScrollPosition position, bool animated = false);

  void layoutSubviews() override;
  void touchesBegan(const TouchSet& touches, const Event& event) override;
  void touchesEnded(const TouchSet& touches, const Event& event) override;
  void touchesCancelled(const TouchSet& touches, const Event& event) override;

 protected:
  void didScroll() override { tile(); }

 private:
  void computeGeometry();
  void tile();
  void enqueue(const IndexPath& ip);

  DelegateRef<TableViewDataSource> dataSource_;
  DelegateRef<TableViewDelegate> tableDelegate_;
  float rowHeight_ = 44;
  SeparatorStyle separatorStyle_ = SeparatorStyle::SingleLine;
  Color separatorColor_ = Color::white(0.88f);
  bool allowsSelection_ = true;
  bool loaded_ = false;
  // Row tops and heights per section, in content coordinates.
  struct Section {
    std::vector<float> tops, heights;
  };
  std::vector<Section> sections_;
  std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
  std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> pool_;
  std::optional<IndexPath> selected_;
  std::optional<IndexPath> pressed_;
};

}  // namespace ui
