// The compositor's pictures: a small view tree (picture, stretched picture,
// label, button, turned view, clipped child, custom drawing) rendered headless
// matches the committed reference; GL views composite their presented pixels
// under transform, alpha and clipping, and two can be live at once.
#include <gtest/gtest.h>

#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "UiTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/gl/Context.h"
#include "platform/gl/Handles.h"
#include "platform/ui/GLView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

using namespace ui;

namespace {

gfx::Image gradient(int w, int h) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(255 * x / (w - 1));
      p[1] = static_cast<std::uint8_t>(255 * y / (h - 1));
      p[2] = 160;
      p[3] = 255;
    }
  return img;
}

// A frame with a dark border one pixel wide and a light middle: stretching
// keeps the border thin.
gfx::Image framed(int w, int h) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool edge = x < 3 || y < 3 || x >= w - 3 || y >= h - 3;
      std::uint8_t* p = img.pixel(x, y);
      p[0] = edge ? 30 : 250, p[1] = edge ? 90 : 240, p[2] = edge ? 40 : 200, p[3] = 255;
    }
  return img;
}

class Disc : public View {
 public:
  using View::View;
  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const Rect& r) override {
    gfx::Path p;
    p.addEllipse(r);
    ctx.setFillColor({0.1f, 0.3f, 0.9f, 1});
    ctx.fillPath(p);
  }
};

std::shared_ptr<View> buildTree() {
  auto root = std::make_shared<View>(Rect{0, 0, 240, 160});
  root->setBackgroundColor({0.92f, 0.92f, 0.9f, 1});
  auto image = std::make_shared<ImageView>(Picture(gradient(32, 32)));
  image->setFrame({8, 8, 64, 48});
  root->addSubview(image);
  auto stretched = std::make_shared<ImageView>(Picture(framed(12, 12)).stretchable(5, 5));
  stretched->setFrame({8, 64, 100, 30});
  root->addSubview(stretched);
  auto label = std::make_shared<Label>(Rect{80, 8, 150, 24});
  label->setText("Onion Skin 12");
  label->setFont({"DejaVu Sans", 14, true});
  label->setTextColor({0.2f, 0.2f, 0.5f, 1});
  root->addSubview(label);
  auto button = Button::make(ButtonType::Custom, {120, 40, 100, 30});
  button->setBackgroundImage(Picture(framed(12, 12)).stretchable(5, 5));
  button->setTitle("Player");
  button->setTitleColor(Color{0.6f, 0.1f, 0.1f, 1});
  root->addSubview(button);
  auto turned = std::make_shared<View>(Rect{150, 100, 60, 20});
  turned->setBackgroundColor({0.9f, 0.2f, 0.1f, 1});
  turned->setAlpha(0.7f);
  turned->setTransform(AffineTransform::makeRotation(-std::numbers::pi_v<float> / 12));
  root->addSubview(turned);
  auto clip = std::make_shared<View>(Rect{30, 110, 60, 40});
  clip->setClipsToBounds(true);
  clip->setBackgroundColor({1, 1, 1, 1});
  auto disc = std::make_shared<Disc>(Rect{20, 10, 60, 60});  // runs past the clip
  clip->addSubview(disc);
  root->addSubview(clip);
  return root;
}

// Share of pixels whose largest channel difference exceeds `tolerance`.
double differingShare(const gfx::Image& a, const gfx::Image& b, int tolerance) {
  int over = 0;
  for (int y = 0; y < a.pixelHeight(); ++y)
    for (int x = 0; x < a.pixelWidth(); ++x)
      for (int c = 0; c < 4; ++c)
        if (std::abs(int(a.pixel(x, y)[c]) - int(b.pixel(x, y)[c])) > tolerance) {
          ++over;
          break;
        }
  return double(over) / (a.pixelWidth() * a.pixelHeight());
}

}  // namespace

class PictureTest : public ui_test::UiTest {};

TEST_F(PictureTest, ViewTreeMatchesTheReferencePicture) {
  auto tree = buildTree();
  gfx::Image picture = tree->renderToImage(2);
  ASSERT_EQ(picture.pixelWidth(), 480);
  ASSERT_EQ(picture.pixelHeight(), 320);
  std::filesystem::path ref = std::filesystem::path(FLIPDESK_TEST_DATA) / "ui_reference.png";
  if (const char* out = std::getenv("FLIPDESK_WRITE_UI_REFERENCE")) {
    ASSERT_TRUE(gfx::writePNG(out, picture));
    GTEST_SKIP() << "reference written to " << out;
  }
  auto expected = gfx::readPNG(ref);
  ASSERT_TRUE(expected.ok()) << expected.error();
  ASSERT_EQ(expected->pixelWidth(), picture.pixelWidth());
  ASSERT_EQ(expected->pixelHeight(), picture.pixelHeight());
  EXPECT_LT(differingShare(picture, *expected, 24), 0.002);
}

TEST_F(PictureTest, ClippingTransformsAndAlphaShowInThePixels) {
  auto tree = buildTree();
  gfx::Image p = tree->renderToImage(1);
  auto at = [&](int x, int y) { return p.pixel(x, y); };
  // Inside the clip the disc is blue; just below the clip it is cut away.
  EXPECT_GT(at(60, 140)[2], 200);
  EXPECT_LT(at(60, 140)[0], 60);
  EXPECT_GT(at(60, 155)[0], 200);  // background, not disc
  // The turned, faded bar: red over the light background.
  std::uint8_t* bar = at(180, 110);
  EXPECT_GT(bar[0], 200);
  EXPECT_LT(bar[1], 120);
  EXPECT_GT(bar[1], 50);  // 70% red over light grey lets some through
  // Stretched frame: border stays 3 pixels, the middle is light.
  EXPECT_LT(at(9, 79)[0], 60);
  EXPECT_GT(at(12, 79)[0], 200);
  EXPECT_LT(at(106, 79)[0], 60);
  // Hidden views are not drawn.
  tree->subviews()[4]->setHidden(true);
  EXPECT_GT(tree->renderToImage(1).pixel(180, 110)[1], 200);
}

TEST_F(PictureTest, GlViewsCompositeTheirPresentedPixels) {
  auto make = [](int w, int h, std::uint8_t r, std::uint8_t g) {
    gfx::Image img(w, h);
    for (int i = 0; i < w * h; ++i) {
      std::uint8_t* px = img.pixels() + 4 * i;
      px[0] = r, px[1] = g, px[2] = 0, px[3] = 255;
    }
    img.setPremultiplied(true);
    return img;
  };
  auto first = std::make_shared<GLView>(Rect{10, 10, 100, 60}, 1.0f);
  auto second = std::make_shared<GLView>(Rect{200, 100, 100, 60}, 1.0f);
  rootView()->setBackgroundColor(Color::white(1));
  rootView()->addSubview(first);
  rootView()->addSubview(second);
  // Nothing presented yet: the view shows what is behind it.
  gfx::Image before = host->screenshot();
  EXPECT_EQ(before.pixel(50, 40)[0], 255);
  first->layer().setPresentHandler([&](const gfx::Image& img) { first->present(img); });
  first->present(make(100, 60, 255, 0));
  second->present(make(100, 60, 0, 255));
  second->setAlpha(0.5f);
  second->setTransform(AffineTransform::makeScale(0.5f, 0.5f));
  gfx::Image shot = host->screenshot();
  EXPECT_EQ(shot.pixel(50, 40)[0], 255);
  EXPECT_EQ(shot.pixel(50, 40)[1], 0);
  // Scaled about its centre (250, 130) to 50 x 30; half transparent over white.
  EXPECT_NEAR(shot.pixel(250, 130)[0], 128, 2);
  EXPECT_EQ(shot.pixel(250, 130)[1], 255);
  EXPECT_EQ(shot.pixel(210, 105)[0], 255);  // outside the scaled view
  // A clipping parent cuts the GL content.
  auto clip = std::make_shared<View>(Rect{0, 0, 60, 60});
  clip->setClipsToBounds(true);
  rootView()->addSubview(clip);
  clip->addSubview(first);
  shot = host->screenshot();
  EXPECT_EQ(shot.pixel(50, 40)[1], 0);
  EXPECT_EQ(shot.pixel(80, 40)[1], 255);
  EXPECT_EQ(first->presentCount(), 1u);
  EXPECT_EQ(second->presentCount(), 1u);
}

namespace {

// Counts the whole-picture reads of a view that reads its layer itself.
class OnDemandView : public ui_test::OwnContextGLView {
 public:
  explicit OnDemandView(const Rect& frame) : OwnContextGLView(frame) {}
  void paint(float r, float g, float b) { paintAll(r, g, b); }
  int reads = 0;

 protected:
  std::optional<gfx::Image> readPresentedPicture() override {
    ++reads;
    return readWhole();
  }
};

}  // namespace

TEST_F(PictureTest, GlViewsThatReadOnDemandReadOncePerComposition) {
  auto view = std::make_shared<OnDemandView>(Rect{10, 10, 40, 30});
  rootView()->addSubview(view);
  for (int i = 0; i < 5; ++i) view->paint(1, 0, 0);
  EXPECT_EQ(view->presentCount(), 5u);
  EXPECT_EQ(view->reads, 0) << "nothing read while nothing is shown";
  gfx::Image shot = host->screenshot();
  EXPECT_EQ(view->reads, 1);
  EXPECT_EQ(shot.pixel(20, 20)[0], 255);
  shot = host->screenshot();
  EXPECT_EQ(view->reads, 1) << "no new present: the picture is kept";
  view->paint(0, 0, 1);
  shot = host->screenshot();
  EXPECT_EQ(view->reads, 2);
  EXPECT_EQ(shot.pixel(20, 20)[2], 255);
  EXPECT_EQ(shot.pixel(20, 20)[0], 0);
}

TEST_F(PictureTest, CurlTransitionPeelsTheOldPictureAway) {
  auto container = std::make_shared<View>(Rect{0, 0, 200, 100});
  container->setBackgroundColor({1, 0, 0, 1});
  rootView()->addSubview(container);
  auto page = std::make_shared<View>(container->bounds());  // the new page
  page->setBackgroundColor({0, 0, 1, 1});
  Animations::begin("curl");
  Animations::setDuration(0.6);
  Animations::setCurve(AnimationCurve::Linear);
  Animations::setTransition(AnimationTransition::CurlUp, container.get());
  container->addSubview(page);
  Animations::commit();
  host->advance(0.3);
  gfx::Image mid = host->screenshot();
  EXPECT_GT(mid.pixel(100, 10)[0], 200);  // top: still the old page
  EXPECT_GT(mid.pixel(100, 95)[2], 200);  // bottom: the new page shows
  EXPECT_LT(mid.pixel(100, 95)[0], 50);
  host->advance(0.3);
  gfx::Image end = host->screenshot();
  EXPECT_GT(end.pixel(100, 10)[2], 200);
  EXPECT_FALSE(Animator::shared().isTransitioning(container.get()));
}

TEST_F(PictureTest, APhotoBeyondTheReadersLimitsOpensScaledDown) {
  // 4200 x 4000 is just over the default pixel limit; grey with a white right half.
  const int w = 4200, h = 4000;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(w, 255);
  std::fill(row.begin(), row.begin() + w / 2, 100);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  const fd::Data bytes(out, out + size);
  std::free(out);
  const auto path = fd::paths::documents() / "photo.jpg";
  ASSERT_TRUE(fd::files::writeFileAtomically(path, bytes));

  EXPECT_FALSE(gfx::readImage(path)) << "beyond the default limits";
  const ui::Picture photo = ui::Picture::fromFile(path);
  ASSERT_FALSE(photo.empty());
  EXPECT_EQ(photo.image()->pixelWidth(), w / 2);
  EXPECT_EQ(photo.image()->pixelHeight(), h / 2);
  EXPECT_NEAR(photo.image()->pixel(w / 8, h / 4)[0], 100, 3);
  EXPECT_NEAR(photo.image()->pixel(3 * w / 8, h / 4)[0], 255, 3);
}
