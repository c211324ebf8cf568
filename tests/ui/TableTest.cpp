// Table views: rows and heights, cell reuse as rows scroll out, reload,
// selection by tap and by program; scroll views dragging and paging; a
// navigation controller with its bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"

using namespace ui;

namespace {
class Source : public TableViewDataSource, public TableViewDelegate {
 public:
  int rows = 30;
  int created = 0, asked = 0;
  std::vector<IndexPath> selected;
  std::optional<float> tallRowHeight;
  int numberOfRows(TableView&, int) override { return rows; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& tv, IndexPath ip) override {
    ++asked;
    auto cell = tv.dequeueReusableCell("Cell");
    if (!cell) {
      cell = std::make_shared<TableViewCell>(CellStyle::Default, "Cell");
      ++created;
    }
    cell->textLabel()->setText("row " + std::to_string(ip.row));
    return cell;
  }
  std::optional<float> heightForRow(TableView&, IndexPath ip) override {
    if (ip.row == 0 && tallRowHeight) return tallRowHeight;
    return std::nullopt;
  }
  void didSelectRow(TableView&, IndexPath ip) override { selected.push_back(ip); }
};
}  // namespace

class TableTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    table = std::make_shared<TableView>(Rect{0, 0, 300, 220});
    table->setDataSource(&source);
    table->setTableDelegate(&source);
    rootView()->addSubview(table);
    table->reloadData();
  }
  Source source;
  std::shared_ptr<TableView> table;
};

TEST_F(TableTest, OnlyVisibleRowsHaveCellsAndScrolledOutOnesAreReused) {
  EXPECT_EQ(table->contentSize().height, 30 * 44);
  EXPECT_EQ(table->visibleCells().size(), 5u);  // 220 / 44
  EXPECT_EQ(source.created, 5);
  EXPECT_EQ(table->cellForRow({0, 4})->textLabel()->text(), "row 4");
  EXPECT_EQ(table->cellForRow({0, 5}), nullptr);
  table->setContentOffset({0, 440});
  EXPECT_EQ(table->cellForRow({0, 10})->textLabel()->text(), "row 10");
  EXPECT_EQ(table->cellForRow({0, 0}), nullptr);
  EXPECT_EQ(source.created, 5);  // all five came from the pool
  // A partly shown row counts as visible.
  table->setContentOffset({0, 450});
  EXPECT_EQ(table->visibleCells().size(), 6u);
  EXPECT_EQ(table->indexPathForRowAtPoint({10, 450 + 200}), (IndexPath{0, 14}));
}

TEST_F(TableTest, ReloadAsksAgainAndKeepsTheOffsetInRange) {
  table->setContentOffset({0, 1000});
  source.rows = 3;
  source.tallRowHeight = 100;
  int before = source.asked;
  table->reloadData();
  EXPECT_EQ(table->contentSize().height, 100 + 44 * 2);
  EXPECT_EQ(table->contentOffset().y, 0);
  EXPECT_EQ(table->visibleCells().size(), 3u);
  EXPECT_EQ(source.asked - before, 3);
  EXPECT_EQ(table->rectForRow({0, 1}), (Rect{0, 100, 300, 44}));
  EXPECT_EQ(table->rectForRow({0, 7}), (Rect{}));
  source.rows = 0;
  table->reloadData();
  EXPECT_TRUE(table->visibleCells().empty());
  // Every cell ever made waits in the pool now.
  EXPECT_EQ(table->reusePoolSize(), static_cast<std::size_t>(source.created));
}

TEST_F(TableTest, TapSelectsADragDoesNot) {
  host->tap({50, 44 * 2 + 10});
  EXPECT_EQ(source.selected, (std::vector<IndexPath>{{0, 2}}));
  EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 2}));
  EXPECT_TRUE(table->cellForRow({0, 2})->isSelected());
  host->drag({50, 200}, {50, 100});
  EXPECT_EQ(source.selected.size(), 1u);
  EXPECT_EQ(table->contentOffset().y, 100);
  EXPECT_FALSE(table->isDragging());
  // Selection by program: no delegate call, the old row loses it.
  table->selectRow(IndexPath{0, 4});
  EXPECT_EQ(source.selected.size(), 1u);
  EXPECT_FALSE(table->cellForRow({0, 3}) && table->cellForRow({0, 3})->isSelected());
  table->deselectRow({0, 4});
  EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
}

TEST_F(TableTest, DraggingClampsToTheContent) {
  host->drag({50, 100}, {50, 200});
  EXPECT_EQ(table->contentOffset().y, 0);
  table->setContentOffset({0, table->maxContentOffset().y});
  host->drag({50, 200}, {50, 20});
  EXPECT_EQ(table->contentOffset().y, 30 * 44 - 220);
}

TEST_F(TableTest, PagingSnapsToTheNearestPageAnimated) {
  auto pages = std::make_shared<ScrollView>(Rect{0, 0, 200, 100});
  pages->setContentSize({800, 100});
  pages->setPagingEnabled(true);
  rootView()->addSubview(pages);
  host->drag({150, 50}, {20, 50});  // 130 points: more than half a page
  EXPECT_TRUE(pages->isDecelerating());
  EXPECT_EQ(pages->contentOffset().x, 200);       // the model is already there
  EXPECT_LT(pages->presentation().bounds.x, 200);  // the screen is getting there
  host->advance(ScrollView::kPagingDuration);
  EXPECT_FALSE(pages->isDecelerating());
  EXPECT_EQ(pages->presentation().bounds.x, 200);
  host->drag({150, 50}, {100, 50});  // 50: back to the same page
  host->advance(ScrollView::kPagingDuration);
  EXPECT_EQ(pages->contentOffset().x, 200);
}

TEST_F(TableTest, AButtonInsideAScrollViewLosesADraggingFinger) {
  auto scroll = std::make_shared<ScrollView>(Rect{0, 0, 200, 100});
  scroll->setContentSize({200, 400});
  auto button = Button::make(ButtonType::Custom, {0, 0, 200, 50});
  std::vector<std::string> log;
  button->addTarget(nullptr, [&](Control*, const Event*) { log.push_back("down"); }, TouchDown);
  button->addTarget(nullptr, [&](Control*, const Event*) { log.push_back("cancel"); }, TouchCancel);
  button->addTarget(nullptr, [&](Control*, const Event*) { log.push_back("up"); }, TouchUpInside);
  scroll->addSubview(button);
  rootView()->insertSubview(scroll, 0);
  table->removeFromSuperview();
  host->drag({100, 40}, {100, 10}, 6);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "cancel"}));
  // The drag counts from where the scroll view took the finger over (10
  // points in), so 30 points of finger travel scroll by 20.
  EXPECT_FLOAT_EQ(scroll->contentOffset().y, 20);
  host->tap({100, 20});
  EXPECT_EQ(log.back(), "up");
}

TEST_F(TableTest, NavigationControllerShowsTitleAndBarButtons) {
  auto list = std::make_shared<ViewController>();
  list->setTitle("Sounds");
  int cancelled = 0;
  list->navigationItem().setLeftBarButtonItem(
      std::make_shared<BarButtonItem>("Cancel", BarButtonStyle::Plain, [&] { ++cancelled; }));
  auto nav = std::make_shared<NavigationController>(list);
  root->presentViewController(nav, false);
  NavigationBar* bar = nav->navigationBar();
  EXPECT_EQ(bar->titleLabel()->text(), "Sounds");
  EXPECT_FALSE(bar->leftButton()->isHidden());
  EXPECT_TRUE(bar->rightButton()->isHidden());
  window->layoutIfNeeded();
  Rect lf = bar->leftButton()->convertRectTo(bar->leftButton()->bounds(), nullptr);
  host->tap({lf.x + lf.width / 2, lf.y + lf.height / 2});
  EXPECT_EQ(cancelled, 1);
  // A right button added later shows at once.
  list->navigationItem().setRightBarButtonItem(std::make_shared<BarButtonItem>("OK", BarButtonStyle::Done, [] {}));
  EXPECT_FALSE(bar->rightButton()->isHidden());
  EXPECT_EQ(bar->rightButton()->currentTitle(), "OK");
  auto detail = std::make_shared<ViewController>();
  detail->setTitle("Detail");
  nav->pushViewController(detail, true);
  EXPECT_EQ(bar->titleLabel()->text(), "Detail");
  EXPECT_EQ(detail->navigationController(), nav.get());
  host->advance(NavigationController::kSlideDuration);
  EXPECT_EQ(list->view()->superview(), nullptr);
  EXPECT_EQ(nav->popViewController(false), detail);
  EXPECT_EQ(bar->titleLabel()->text(), "Sounds");
  EXPECT_EQ(nav->popViewController(false), nullptr);
}
