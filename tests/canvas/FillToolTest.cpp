// The flood-fill tool: queue, main-thread delivery, positions and entry points.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "canvas/FillTool.h"
#include "canvas/FillToolWalk.h"
#include "platform/foundation/RunLoop.h"
#include "support/Sandbox.h"

namespace {

using testing_support::SandboxTest;

struct Recorder : FillToolDelegate {
  int dataCalls = 0, imageCalls = 0, fillDataCalls = 0;
  std::vector<std::uint32_t> words;
  gfx::Size size;
  gfx::Image picture;
  bool onMain = true;
  void fillToolDidFinishedWithImageData(const FillImageData& r) override {
    ++dataCalls;
    onMain = onMain && fd::isMainThread();
    size = r.size;
    words.resize(static_cast<std::size_t>(r.size.width * r.size.height));
    std::memcpy(words.data(), r.bytes, words.size() * 4);
  }
  void fillToolDidFinishdWithImage(const gfx::Image& i) override {
    ++imageCalls;
    picture = i;
  }
  void fillToolDidFinishedWithFillData(const gfx::Image& i) override {
    ++fillDataCalls;
    picture = i;
  }
  std::size_t count(std::uint32_t c) const {
    std::size_t n = 0;
    for (auto w : words) n += (w == c);
    return n;
  }
};

// Runs the main loop until the tool has no fill pending (or a few seconds
// pass, which fails the test).
bool pumpUntilIdle(const FillTool& tool) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (tool.hasPendingFill()) {
    fd::RunLoop::main().runUntilIdle();
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  fd::RunLoop::main().runUntilIdle();
  return true;
}

// A pixel block (rows bottom-up) with a horizontal black line across block
// row `lineRow`.
std::vector<std::uint32_t> splitBlock(int w, int h, int lineRow) {
  std::vector<std::uint32_t> block(static_cast<std::size_t>(w) * h, 0u);
  for (int x = 0; x < w; ++x) block[lineRow * w + x] = fill::packRGBA(0, 0, 0, 255);
  return block;
}

const std::uint8_t* bytes(const std::vector<std::uint32_t>& v) { return reinterpret_cast<const std::uint8_t*>(v.data()); }

class FillToolTest : public SandboxTest {};

TEST_F(FillToolTest, TransactTypesSetTheWorkingSize) {
  struct Case {
    int type;
    float model;
    int w, h;
  };
  const Case cases[] = {{0, 4, 320, 240}, {1, 3, 426, 320}, {2, 2, 640, 480},
                        {3, 1.5f, 853, 640}, {4, 1, 1280, 960}, {9, 2, 640, 480}, {-1, 2, 640, 480}};
  for (const Case& c : cases) {
    FillTool tool(c.type, {1280, 960}, nullptr);
    EXPECT_EQ(tool.model(), c.model) << c.type;
    EXPECT_EQ(tool.transactWidth(), c.w) << c.type;
    EXPECT_EQ(tool.transactHeight(), c.h) << c.type;
    EXPECT_EQ(tool.extentBord(), 40);
  }
  FillTool plain;
  EXPECT_EQ(plain.imageSize(), (gfx::Size{1280, 960}));
  EXPECT_EQ(plain.transactWidth(), 640);
  auto made = FillTool::createWithExtendBord(4, 0, nullptr);
  EXPECT_FALSE(made->enableExtentBord());
}

TEST_F(FillToolTest, EmptyPageIsFilledWholeAtEveryType) {
  for (int type : {0, 1, 2, 3, 4, 7}) {
    Recorder r;
    FillTool tool(type, {1280, 960}, 10, &r);
    std::vector<std::uint32_t> page(1280 * 960, 0u);
    ASSERT_TRUE(tool.setImageData(bytes(page), {1280, 960}));
    tool.setFillColorWithRed(0, 0, 1, 1);
    ASSERT_TRUE(tool.fillImageDataWithPosition({600, 400}));
    ASSERT_TRUE(pumpUntilIdle(tool));
    ASSERT_EQ(r.dataCalls, 1) << type;
    EXPECT_TRUE(r.onMain);
    EXPECT_EQ(r.size, (gfx::Size{float(tool.transactWidth()), float(tool.transactHeight())}));
    EXPECT_EQ(r.count(fill::packRGBA(0, 0, 255, 255)), r.words.size()) << type;
  }
}

TEST_F(FillToolTest, TopOfTheOutputIsTheLastRowOfTheBlock) {
  const int W = 64, H = 48;
  Recorder r;
  FillTool tool(4, {W, H}, 10, &r);
  // The line lies in block row 40, i.e. 7 rows below the top of the picture.
  auto page = splitBlock(W, H, 40);
  tool.setImageData(bytes(page), {W, H});
  tool.setFillColorWithRed(1, 0, 0, 1);
  tool.fillImageDataWithPosition({5.5f, 2.5f});  // near the top
  ASSERT_TRUE(pumpUntilIdle(tool));
  const std::uint32_t red = fill::packRGBA(255, 0, 0, 255);
  EXPECT_EQ(r.count(red), static_cast<std::size_t>(W) * 8) << "the seven rows above the line and the line";
  EXPECT_EQ(r.words[(H - 1) * W], red) << "top-left pixel";
  EXPECT_EQ(r.words[0], 0u) << "bottom-left pixel untouched";
}

TEST_F(FillToolTest, PositionMapsRowsFromTheBottom) {
  FillTool tool(4, {64, 48}, 10, nullptr);
  auto q = tool.positionWithPoint({0, 0});
  EXPECT_EQ(q.x, 0);
  EXPECT_EQ(q.y, 47) << "the top row of the output is working row H - 1";
  q = tool.positionWithPoint({63.9f, 47.9f});
  EXPECT_EQ(q.x, 63);
  EXPECT_EQ(q.y, 0);
  q = tool.positionWithPoint({10, 48});
  EXPECT_EQ(q.y, -1) << "below the page is outside";
  q = tool.positionWithPoint({-0.5f, 10});
  EXPECT_EQ(q.x, -1) << "left of the page is outside";
  FillTool half(2, {64, 48}, 10, nullptr);
  q = half.positionWithPoint({10, 0});
  EXPECT_EQ(q.x, 5);
  EXPECT_EQ(q.y, 23);
}

TEST_F(FillToolTest, FillColourIsPremultipliedAndRounded) {
  FillTool tool(4, {8, 8}, 10, nullptr);
  tool.setFillColorWithRed(1.0f, 0.5f, 0.0f, 0.5f);
  EXPECT_EQ(tool.setterColor(), fill::packRGBA(128, 64, 0, 128));
  tool.setFillColorWithRed(254.0f / 255, 1.0f / 255, 0, 1);
  EXPECT_EQ(tool.setterColor(), fill::packRGBA(254, 1, 0, 255)) << "palette colours survive exactly";
}

TEST_F(FillToolTest, SeedOutsideDeliversTheUnchangedLayer) {
  Recorder r;
  FillTool tool(4, {16, 16}, 10, &r);
  std::vector<std::uint32_t> page(16 * 16, 0u);
  tool.setImageData(bytes(page), {16, 16});
  tool.setFillColorWithRed(1, 0, 0, 1);
  tool.fillImageDataWithPosition({-3, 4});
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.dataCalls, 1);
  EXPECT_EQ(r.count(0u), r.words.size());
}

TEST_F(FillToolTest, TapsWhilePendingAreIgnored) {
  Recorder r;
  FillTool tool(4, {768, 576}, 10, &r);
  std::vector<std::uint32_t> page(768 * 576, 0u);
  tool.setImageData(bytes(page), {768, 576});
  tool.setFillColorWithRed(0, 1, 0, 1);
  ASSERT_TRUE(tool.fillImageDataWithPosition({10, 10}));
  // Until the main loop has taken the result, the tool refuses new work.
  EXPECT_TRUE(tool.hasPendingFill());
  EXPECT_FALSE(tool.fillImageDataWithPosition({20, 20}));
  EXPECT_FALSE(tool.setImageData(bytes(page), {768, 576}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.dataCalls, 1);
  EXPECT_TRUE(tool.setImageData(bytes(page), {768, 576}));
  EXPECT_TRUE(tool.fillImageDataWithPosition({20, 20}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.dataCalls, 2);
}

TEST_F(FillToolTest, CancelledResultIsDropped) {
  Recorder r;
  FillTool tool(4, {32, 32}, 10, &r);
  std::vector<std::uint32_t> page(32 * 32, 0u);
  tool.setImageData(bytes(page), {32, 32});
  tool.setFillColorWithRed(0, 1, 0, 1);
  tool.fillImageDataWithPosition({1, 1});
  tool.cancelPendingFill();
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.dataCalls, 0);
  // The tool is usable again afterwards.
  tool.setImageData(bytes(page), {32, 32});
  EXPECT_TRUE(tool.fillImageDataWithPosition({1, 1}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.dataCalls, 1);
}

TEST_F(FillToolTest, ResultAfterTheToolIsGoneIsDropped) {
  Recorder r;
  {
    FillTool tool(4, {768, 576}, 10, &r);
    std::vector<std::uint32_t> page(768 * 576, 0u);
    tool.setImageData(bytes(page), {768, 576});
    tool.setFillColorWithRed(0, 1, 0, 1);
    tool.fillImageDataWithPosition({1, 1});
  }
  for (int i = 0; i < 200; ++i) {
    fd::RunLoop::main().runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(r.dataCalls, 0);
}

TEST_F(FillToolTest, LaterFillsAddToTheOutputUntilNewInput) {
  Recorder r;
  FillTool tool(4, {20, 1}, 0, &r);
  std::vector<std::uint32_t> page(20, 0u);
  page[10] = fill::packRGBA(0, 0, 0, 255);
  tool.setImageData(bytes(page), {20, 1});
  tool.setFillColorWithRed(1, 0, 0, 1);
  tool.fillImageDataWithPosition({2, 0});
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.count(fill::packRGBA(255, 0, 0, 255)), 11u);
  tool.fillImageDataWithPosition({15, 0});
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.count(fill::packRGBA(255, 0, 0, 255)), 20u);
  tool.setImageData(bytes(page), {20, 1});
  EXPECT_EQ(tool.fillImage().pixel(0, 0)[3], 0) << "new input clears the output layer";
}

TEST_F(FillToolTest, PictureEntryPointsKeepTheRightWayUp) {
  // A top-down picture, straight alpha: its top 4 rows are cut off by a line.
  gfx::Image picture(32, 16);
  for (int x = 0; x < 32; ++x) {
    std::uint8_t* p = picture.pixel(x, 4);
    p[0] = p[1] = p[2] = 0;
    p[3] = 255;
  }
  Recorder r;
  FillTool tool(4, {32, 16}, 10, &r);
  ASSERT_TRUE(tool.fillImageWithImage(picture, 0, 0, 1, 1, {3, 1}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  ASSERT_EQ(r.imageCalls, 1);
  ASSERT_EQ(r.picture.pixelWidth(), 32);
  ASSERT_EQ(r.picture.pixelHeight(), 16);
  auto isBlue = [](const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 255 && p[3] == 255; };
  EXPECT_TRUE(isBlue(r.picture.pixel(0, 0)));
  EXPECT_TRUE(isBlue(r.picture.pixel(31, 4))) << "the line is the rim";
  EXPECT_EQ(r.picture.pixel(0, 10)[3], 0) << "below the line stays transparent";

  // The output layer alone, through the third entry point.
  tool.setImage(&picture);
  tool.setFillColorWithRed(1, 0, 0, 1);
  ASSERT_TRUE(tool.fillDataWithPosition({3, 12}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  ASSERT_EQ(r.fillDataCalls, 1);
  EXPECT_EQ(r.picture.pixel(0, 0)[3], 0);
  EXPECT_EQ(r.picture.pixel(0, 12)[0], 255);
  EXPECT_EQ(r.picture.pixel(0, 4)[0], 255) << "the line again as rim";
}

TEST_F(FillToolTest, FillDataWithImageAnswersWithTheComposedPicture) {
  gfx::Image picture(16, 8);
  for (int x = 0; x < 16; ++x) picture.pixel(x, 5)[3] = 255;
  Recorder r;
  FillTool tool(4, {16, 8}, 10, &r);
  ASSERT_TRUE(tool.fillDataWithImage(picture, 0, 1, 0, 1, {2, 1}));
  ASSERT_TRUE(pumpUntilIdle(tool));
  EXPECT_EQ(r.imageCalls, 1);
  EXPECT_EQ(r.fillDataCalls, 0);
  EXPECT_EQ(r.picture.pixel(3, 0)[1], 255);
  EXPECT_EQ(r.picture.pixel(3, 7)[3], 0) << "below the line is not filled";
}

}  // namespace
