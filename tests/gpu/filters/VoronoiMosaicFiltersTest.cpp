// The Voronoi map against a brute-force nearest seed, the consumer colouring
// regions by a map, the mosaic against a CPU mosaic of a gradient, the
// settings that leave nothing to draw, and the three classes made from a
// pipeline configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/voronoi/GPUVoronoiFilters.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"

using gpuref::Colour;

namespace {

// --- seeds, encoded as the map format stores them

struct Seed {
  int x, y;
  bool operator<(const Seed& o) const { return x != o.x ? x < o.x : y < o.y; }
};

void encodeSeed(std::uint8_t* p, Seed s) {
  p[0] = static_cast<std::uint8_t>(s.x % 256);
  p[1] = static_cast<std::uint8_t>(s.y % 256);
  p[2] = static_cast<std::uint8_t>((s.y / 256) * 8 + s.x / 256);
  p[3] = 255;
}
Seed decodeSeed(const std::uint8_t* p) { return {p[0] + (p[2] % 8) * 256, p[1] + (p[2] / 8) * 256}; }

// Transparent but for the seeds.
gfx::Image seedPicture(int side, const std::vector<Seed>& seeds) {
  gfx::Image picture(side, side);
  for (const Seed& s : seeds) encodeSeed(picture.pixel(s.x, s.y), s);
  return picture;
}

std::vector<Seed> randomSeeds(int side, int count, unsigned key) {
  std::mt19937 random(key);
  std::uniform_int_distribution<int> at(0, side - 1);
  std::set<Seed> unique;
  while (static_cast<int>(unique.size()) < count) unique.insert({at(random), at(random)});
  return {unique.begin(), unique.end()};
}

long long squaredDistance(int x, int y, Seed s) {
  const long long dx = x - s.x, dy = y - s.y;
  return dx * dx + dy * dy;
}

// The nearest seed's squared distance from every pixel centre, by trying all.
std::vector<long long> nearestDistances(int side, const std::vector<Seed>& seeds) {
  std::vector<long long> best(static_cast<std::size_t>(side) * side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      long long d = -1;
      for (const Seed& s : seeds) {
        const long long e = squaredDistance(x, y, s);
        if (d < 0 || e < d) d = e;
      }
      best[static_cast<std::size_t>(y) * side + x] = d;
    }
  return best;
}

gfx::Image floodMap(const gfx::Image& seeds, const std::shared_ptr<GPUJFAVoroniFilter>& filter) {
  return stocktest::runPicture(seeds, filter);
}

std::shared_ptr<GPUJFAVoroniFilter> voronoi(int side) {
  auto filter = std::make_shared<GPUJFAVoroniFilter>();
  EXPECT_TRUE(filter->setSizeInPixels({static_cast<float>(side), static_cast<float>(side)}).ok());
  return filter;
}

// How a map differs from the brute-force answer. Jump flooding may hand a
// pixel a seed that is not its nearest when the nearest one's region is cut
// off from it at some step; this is rare and the seed it keeps is nearly as
// close. Equally near seeds are both right.
struct MapCheck {
  int notASeed = 0;       // no seed, or a position that is no seed
  int fartherSeed = 0;    // a real seed, but not a nearest one
  double worstExcess = 0;  // pixels further than the nearest seed is
};

MapCheck checkMap(const gfx::Image& map, const std::vector<Seed>& seeds) {
  const int side = map.pixelWidth();
  const std::set<Seed> known(seeds.begin(), seeds.end());
  const std::vector<long long> nearest = nearestDistances(side, seeds);
  MapCheck check;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const std::uint8_t* p = map.pixel(x, y);
      const Seed s = decodeSeed(p);
      if (p[3] != 255 || !known.count(s)) {
        ++check.notASeed;
        continue;
      }
      const long long d = squaredDistance(x, y, s), best = nearest[static_cast<std::size_t>(y) * side + x];
      if (d > best) {
        ++check.fartherSeed;
        check.worstExcess = std::max(check.worstExcess, std::sqrt(double(d)) - std::sqrt(double(best)));
      }
    }
  return check;
}

// Jump flooding's known slips: a pixel whose nearest seed's region is cut
// off from it at every step keeps a seed a little further away. With the
// repeated first step and the closing half step these are rare: at most 1
// pixel in 10000 (at least one allowed), never more than a pixel further.
void expectNearlyNearest(const MapCheck& check, int side) {
  EXPECT_EQ(check.notASeed, 0);
  EXPECT_LE(check.fartherSeed, std::max(1, side * side / 10000));
  EXPECT_LE(check.worstExcess, 1.0);
}

// The flood worked pass by pass on the CPU: a first pass at half the map,
// then steps of half the map down to one pixel. Each pixel keeps the nearest
// of its own seed and those of its eight neighbours a step away (clamped to
// the edge), visited top-right, top, top-left, bottom-right, bottom,
// bottom-left, left, right; only a strictly nearer one replaces it. Holds
// seed indices, -1 for none; this is the map before the closing half step.
std::vector<int> floodBeforeTheHalfStep(int side, const std::vector<Seed>& seeds) {
  std::vector<int> map(static_cast<std::size_t>(side) * side, -1);
  for (std::size_t i = 0; i < seeds.size(); ++i) map[static_cast<std::size_t>(seeds[i].y) * side + seeds[i].x] = int(i);
  constexpr int kOrder[8][2] = {{1, -1}, {0, -1}, {-1, -1}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {1, 0}};
  auto pass = [&](int step) {
    std::vector<int> next(map.size());
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        int result = map[static_cast<std::size_t>(y) * side + x];
        long long best = result < 0 ? -1 : squaredDistance(x, y, seeds[result]);
        for (const auto& o : kOrder) {
          const int nx = std::clamp(x + o[0] * step, 0, side - 1), ny = std::clamp(y + o[1] * step, 0, side - 1);
          const int candidate = map[static_cast<std::size_t>(ny) * side + nx];
          if (candidate < 0) continue;
          const long long d = squaredDistance(x, y, seeds[candidate]);
          if (best < 0 || d < best) {
            best = d;
            result = candidate;
          }
        }
        next[static_cast<std::size_t>(y) * side + x] = result;
      }
    map = std::move(next);
  };
  pass(side / 2);
  for (int step = side / 2; step >= 1; step /= 2) pass(step);
  return map;
}

}  // namespace

// 256 and 1024 give an even number of halving passes, 512 an odd one: the
// last pass lands in the filter's own framebuffer either way, at full size,
// and a target reads the same picture that a capture does. Seeds beyond
// 255 carry high bits in blue; every position decodes exactly.
TEST(JumpFloodingVoronoi, MatchesTheNearestSeedAtEveryPassCount) {
  struct Size {
    int side, seeds;
    unsigned passes;
  };
  for (const Size& size : {Size{256, 40, 8}, Size{512, 120, 9}, Size{1024, 30, 10}}) {
    SCOPED_TRACE(size.side);
    const std::vector<Seed> seeds = randomSeeds(size.side, size.seeds, 7u + size.side);
    auto filter = voronoi(size.side);
    auto target = std::make_shared<GPUFilter>();
    filter->addTarget(target);
    const gfx::Image map = floodMap(seedPicture(size.side, seeds), filter);
    const gfx::Image seen = target->newCGImageFromCurrentlyProcessedOutput();
    ASSERT_EQ(seen.pixelWidth(), size.side);
    ASSERT_EQ(seen.pixelHeight(), size.side);
    EXPECT_EQ(filter->numPasses(), size.passes);
    const MapCheck check = checkMap(seen, seeds);
    expectNearlyNearest(check, size.side);
    // Above 1000 pixels the pipeline frees a filter's output once its
    // targets have read it; below, the capture is still there.
    if (size.side < 1000) {
      EXPECT_EQ(gpuref::compare(map, seen, 0, 0).badPixels, 0) << "the capture shows another pass than the target";
    }
  }
}

// Every pass at its step, in order, into a full-size framebuffer: the map
// is the CPU's pass by pass. The closing half step reads texel edges, where
// a GPU may round to either texel; there a pixel may also have taken a
// nearer seed from a direct neighbour.
TEST(JumpFloodingVoronoi, FollowsTheFloodPassByPass) {
  for (int side : {128, 512}) {
    SCOPED_TRACE(side);
    const std::vector<Seed> seeds = randomSeeds(side, side / 2, 21u + side);
    const gfx::Image map = floodMap(seedPicture(side, seeds), voronoi(side));
    const std::vector<int> before = floodBeforeTheHalfStep(side, seeds);
    std::map<Seed, int> index;
    for (std::size_t i = 0; i < seeds.size(); ++i) index[seeds[i]] = int(i);
    int unexplained = 0, changedByTheHalfStep = 0;
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const auto found = index.find(decodeSeed(map.pixel(x, y)));
        const int own = before[static_cast<std::size_t>(y) * side + x];
        if (found == index.end()) {
          ++unexplained;
          continue;
        }
        if (found->second == own) continue;
        bool fromNeighbour = false;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = std::clamp(x + dx, 0, side - 1), ny = std::clamp(y + dy, 0, side - 1);
            fromNeighbour = fromNeighbour || before[static_cast<std::size_t>(ny) * side + nx] == found->second;
          }
        if (fromNeighbour && squaredDistance(x, y, seeds[found->second]) < squaredDistance(x, y, seeds[own])) {
          ++changedByTheHalfStep;
        } else {
          ++unexplained;
        }
      }
    EXPECT_EQ(unexplained, 0);
    EXPECT_LE(changedByTheHalfStep, side * side / 1000);
  }
}

TEST(JumpFloodingVoronoi, FarSeedsReachEveryPixelAndHalfTransparentSamplesAreNoSeeds) {
  // One seed in a corner: the opposite corner is further from it than the
  // map is wide, and still takes it.
  {
    const gfx::Image map = floodMap(seedPicture(256, {{0, 0}}), voronoi(256));
    const MapCheck check = checkMap(map, {{0, 0}});
    EXPECT_EQ(check.notASeed, 0);
    EXPECT_EQ(check.fartherSeed, 0);
  }
  // A sample with alpha below 1 that names a position between the seeds is
  // spread by no neighbour; it keeps its own pixel only.
  {
    const std::vector<Seed> seeds = {{10, 10}, {100, 120}};
    gfx::Image picture = seedPicture(128, seeds);
    encodeSeed(picture.pixel(60, 60), {60, 60});
    picture.pixel(60, 60)[3] = 128;
    const gfx::Image map = floodMap(picture, voronoi(128));
    int taken = 0;
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 128; ++x) {
        if (x == 60 && y == 60) continue;
        const Seed s = decodeSeed(map.pixel(x, y));
        if (s.x == 60 && s.y == 60) ++taken;
      }
    EXPECT_EQ(taken, 0);
  }
  // A seed in the last pixel of a 2048 map, as far as the format reaches.
  {
    const std::vector<Seed> seeds = {{2047, 2047}, {5, 2000}, {1500, 3}};
    const gfx::Image map = floodMap(seedPicture(2048, seeds), voronoi(2048));
    EXPECT_EQ(checkMap(map, seeds).notASeed, 0);
    const Seed corner = decodeSeed(map.pixel(2047, 2047));
    EXPECT_EQ(corner.x, 2047);
    EXPECT_EQ(corner.y, 2047);
  }
}

TEST(JumpFloodingVoronoi, PassCountsFollowTheNextPowerOfTwo) {
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({512, 512}), 512u);
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({300, 200}), 512u);
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({3, 257}), 512u);
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({1, 1}), 1u);
  // No side at all: no wrap to zero, no passes.
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({0, 0}), 1u);
  EXPECT_EQ(GPUJFAVoroniFilter::nextPowerOfTwo({0.5f, 0}), 1u);

  // A 300 x 200 picture with no good size: nine passes would be made, but
  // the picture is handed on unchanged.
  const gfx::Image photo = gpuref::loadPicture("gpu_cat.png");
  gfx::Image picture(300, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) std::copy_n(photo.pixel(x % 150, y % 100), 4, picture.pixel(x, y));
  auto filter = std::make_shared<GPUJFAVoroniFilter>();
  const gfx::Image out = floodMap(picture, filter);
  EXPECT_EQ(filter->numPasses(), 9u);
  EXPECT_EQ(gpuref::compare(out, picture, 0, 0).badPixels, 0);
}

TEST(JumpFloodingVoronoi, MapSizesThatCannotBeDecodedAreRefusedAndChangeNothing) {
  EXPECT_TRUE(voroniMapSizeStatus({1, 1}).ok());
  EXPECT_TRUE(voroniMapSizeStatus({2048, 2048}).ok());
  EXPECT_EQ(voroniMapSizeStatus({256, 128}).error(), "Voroni point texture must be square");
  EXPECT_EQ(voroniMapSizeStatus({300, 300}).error(),
            "Voroni point texture must be a power of 2.  Texture size: 300.000000, 300.000000");
  EXPECT_EQ(voroniMapSizeStatus({0, 0}).error(),
            "Voroni point texture must be a power of 2.  Texture size: 0.000000, 0.000000");
  EXPECT_FALSE(voroniMapSizeStatus({256.5f, 256.5f}).ok());
  EXPECT_FALSE(voroniMapSizeStatus({-4, -4}).ok());
  EXPECT_FALSE(voroniMapSizeStatus({NAN, NAN}).ok());
  EXPECT_EQ(voroniMapSizeStatus({4096, 4096}).error(), "Voroni point texture must be at most 2048 pixels a side");

  // The refusal is logged; the size is kept as given.
  auto filter = std::make_shared<GPUJFAVoroniFilter>();
  testing::internal::CaptureStderr();
  const fd::Status status = filter->setSizeInPixels({256, 128});
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(status.ok());
  EXPECT_NE(log.find("Voroni point texture must be square"), std::string::npos) << log;
  EXPECT_EQ(filter->sizeInPixels(), (gfx::Size{256, 128}));

  // Never given a good size, the seeds come back as they went in.
  const std::vector<Seed> seeds = {{3, 4}, {40, 50}};
  const gfx::Image picture = seedPicture(64, seeds);
  EXPECT_EQ(gpuref::compare(floodMap(picture, filter), picture, 0, 0).badPixels, 0);

  // A good size, then a bad one: the good one still decodes.
  auto kept = voronoi(64);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(kept->setSizeInPixels({48, 48}).ok());
  testing::internal::GetCapturedStderr();
  expectNearlyNearest(checkMap(floodMap(picture, kept), seeds), 64);
}

namespace {

// A colourful picture to colour regions from: no two neighbours alike.
gfx::Image palette(int side) {
  gfx::Image picture(side, side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      std::uint8_t* p = picture.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x * 7 + y);
      p[1] = static_cast<std::uint8_t>(y * 5 + x * 3);
      p[2] = static_cast<std::uint8_t>((x ^ y) * 3);
      p[3] = 255;
    }
  return picture;
}

// The nearest seeds, drawn on the CPU in the map format (the first of equals).
gfx::Image cpuMap(int side, const std::vector<Seed>& seeds) {
  gfx::Image map(side, side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const Seed* best = &seeds.front();
      for (const Seed& s : seeds)
        if (squaredDistance(x, y, s) < squaredDistance(x, y, *best)) best = &s;
      encodeSeed(map.pixel(x, y), *best);
    }
  return map;
}

gfx::Image consume(const std::shared_ptr<GPUVoroniConsumerFilter>& consumer, const std::shared_ptr<GPUOutput>& image,
                   const std::shared_ptr<GPUOutput>& map) {
  image->addTarget(consumer);
  map->addTarget(consumer);
  if (auto* picture = dynamic_cast<GPUPicture*>(image.get())) picture->processImage();
  if (auto* picture = dynamic_cast<GPUPicture*>(map.get())) picture->processImage();
  gputest::drainProcessingQueue();
  return consumer->newCGImageFromCurrentlyProcessedOutput();
}

}  // namespace

TEST(VoronoiConsumer, ColoursEachRegionWithThePictureAtItsSeed) {
  const int side = 256;
  const std::vector<Seed> seeds = randomSeeds(side, 50, 11);
  const gfx::Image colours = palette(side);
  const gfx::Image map = cpuMap(side, seeds);

  auto consumer = std::make_shared<GPUVoroniConsumerFilter>();
  ASSERT_TRUE(consumer->setSizeInPixels({side, side}).ok());
  const gfx::Image out = consume(consumer, std::make_shared<GPUPicture>(colours), std::make_shared<GPUPicture>(map));
  gfx::Image expected(side, side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const Seed s = decodeSeed(map.pixel(x, y));
      std::copy_n(colours.pixel(s.x, s.y), 4, expected.pixel(x, y));
    }
  const auto result = gpuref::compare(out, expected, 0, 0);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;

  // Without a good map size the picture is handed on unchanged.
  auto unsized = std::make_shared<GPUVoroniConsumerFilter>();
  const gfx::Image plain =
      consume(unsized, std::make_shared<GPUPicture>(colours), std::make_shared<GPUPicture>(map));
  EXPECT_EQ(gpuref::compare(plain, colours, 0, 0).badPixels, 0);
}

// Seeds flooded on the GPU, then a photo of another size coloured by the
// map: each pixel shows the photo at its map pixel's seed.
TEST(VoronoiConsumer, ColoursAPhotoByAFloodedMap) {
  const int side = 256;
  const std::vector<Seed> seeds = randomSeeds(side, 30, 5);
  auto seedSource = std::make_shared<GPUPicture>(seedPicture(side, seeds));
  auto flood = voronoi(side);
  seedSource->addTarget(flood);
  auto consumer = std::make_shared<GPUVoroniConsumerFilter>();
  ASSERT_TRUE(consumer->setSizeInPixels({side, side}).ok());
  const gfx::Image photo = gpuref::loadPicture("gpu_cat.png");
  auto photoSource = std::make_shared<GPUPicture>(photo);
  photoSource->addTarget(consumer);
  photoSource->processImage();
  flood->addTarget(consumer);
  seedSource->processImage();
  gputest::drainProcessingQueue();
  const gfx::Image out = consumer->newCGImageFromCurrentlyProcessedOutput();
  ASSERT_EQ(out.pixelWidth(), photo.pixelWidth());
  ASSERT_EQ(out.pixelHeight(), photo.pixelHeight());

  // The map is read at each pixel's nearest texel; the photo at the seed's
  // centre, filtered as the GPU filters.
  const gfx::Image uploaded = gpuref::uploaded(photo);
  const std::vector<long long> nearest = nearestDistances(side, seeds);
  int wrongRegion = 0, wrongColour = 0;
  for (int y = 0; y < out.pixelHeight(); ++y)
    for (int x = 0; x < out.pixelWidth(); ++x) {
      const int mx = static_cast<int>((x + 0.5f) / out.pixelWidth() * side);
      const int my = static_cast<int>((y + 0.5f) / out.pixelHeight() * side);
      int matches = 0;
      for (const Seed& s : seeds) {
        if (squaredDistance(mx, my, s) != nearest[static_cast<std::size_t>(my) * side + mx]) continue;
        const Colour c = gpuref::sampleLinear(uploaded, (s.x + 0.5f) / side, (s.y + 0.5f) / side);
        bool same = true;
        for (int k = 0; k < 4; ++k) same = same && std::abs(out.pixel(x, y)[k] - std::lround(c[k] * 255)) <= 2;
        matches += same ? 1 : 0;
      }
      if (matches == 0) ++wrongRegion;
      if (out.pixel(x, y)[3] != 255) ++wrongColour;
    }
  EXPECT_LE(wrongRegion, out.pixelWidth() * out.pixelHeight() / 500);
  EXPECT_EQ(wrongColour, 0);
}

namespace {

constexpr int kMosaicSide = 512;
constexpr float kTile = 0.125f;  // 64 pixels of the image and of the atlas

// A gradient stepped by display tile (of `tile` pixels): the 2 x 2 texels
// around each tile's top-left corner are alike, so the colour a tile takes
// is exact. Blocks run from the middle of one tile to the middle of the next.
gfx::Image steppedGradient(int tile, const std::function<std::array<std::uint8_t, 3>(int column, int row)>& colour) {
  gfx::Image picture(kMosaicSide, kMosaicSide);
  for (int y = 0; y < kMosaicSide; ++y)
    for (int x = 0; x < kMosaicSide; ++x) {
      const auto c = colour((x + tile / 2) / tile, (y + tile / 2) / tile);
      std::uint8_t* p = picture.pixel(x, y);
      p[0] = c[0];
      p[1] = c[1];
      p[2] = c[2];
      p[3] = 255;
    }
  return picture;
}

struct MosaicSettings {
  gfx::Size inputTileSize{kTile, kTile};
  gfx::Size displayTileSize{kTile, kTile};
  float numTiles = 64;
  bool colorOn = true;
};

double glslMod(double x, double y) { return x - y * std::floor(x / y); }

// The mosaic worked from its description in doubles: the darkest level
// (lum 1, one past the last tile) is held on the last tile.
gfx::Image cpuMosaic(const gfx::Image& image, const gfx::Image& atlas, const MosaicSettings& m, int* nearJump) {
  const gfx::Image base = gpuref::uploaded(image);
  return gpuref::filter(base, 0, [&](const gpuref::Sampler& in, float s, float t) {
    const double xy[2] = {s - glslMod(s, m.displayTileSize.width), t - glslMod(t, m.displayTileSize.height)};
    const Colour colour = in(static_cast<float>(xy[0]), static_cast<float>(xy[1]));
    const double lum = 1.0 - (colour[0] * 0.299 + colour[1] * 0.587 + colour[2] * 0.114);
    const double stepsize = 1.0 / m.numTiles;
    double lumStep = std::round((lum - glslMod(lum, stepsize)) / stepsize);
    // Exactly white and exactly black are no jump: they are the ends.
    const double fraction = lum * m.numTiles - std::floor(lum * m.numTiles);
    if (lum > 1e-6 && lum < 1 - 1e-6 && (fraction < 1e-3 || fraction > 1 - 1e-3)) ++*nearJump;
    lumStep = std::min(lumStep, m.numTiles - 1.0);
    const double rowStep = 1.0 / m.inputTileSize.width;
    const double start[2] = {glslMod(lumStep, rowStep) * m.inputTileSize.width,
                             std::floor(lumStep / rowStep) * m.inputTileSize.height};
    const Colour tile = gpuref::sampleLinear(
        atlas, static_cast<float>(start[0] + (s - xy[0]) * (m.inputTileSize.width / m.displayTileSize.width)),
        static_cast<float>(start[1] + (t - xy[1]) * (m.inputTileSize.height / m.displayTileSize.height)));
    if (!m.colorOn) return tile;
    return Colour{tile[0] * colour[0], tile[1] * colour[1], tile[2] * colour[2], tile[3] * colour[3]};
  });
}

std::shared_ptr<GPUMosaicFilter> mosaic(const MosaicSettings& m) {
  auto filter = std::make_shared<GPUMosaicFilter>();
  filter->setInputTileSize(m.inputTileSize);
  filter->setDisplayTileSize(m.displayTileSize);
  filter->setNumTiles(m.numTiles);
  filter->setColorOn(m.colorOn);
  return filter;
}

gfx::Image runMosaic(const std::shared_ptr<GPUMosaicFilter>& filter, const gfx::Image& image) {
  return stocktest::runPicture(image, filter);
}

gfx::Image drawnTileSet() {
  auto atlas = gfx::readImage(fd::paths::resource("mosaic_tiles.png"));
  return atlas ? *atlas : gfx::Image{};
}

// Grey levels in the middle of each tile's band, one tile per block, so the
// blocks use every tile; white is the first tile, black the last.
gfx::Image greyRamp(int tilesPerSide) {
  const int levels = tilesPerSide * tilesPerSide;
  return steppedGradient(kMosaicSide / tilesPerSide, [=](int column, int row) {
    const int tile = (row % tilesPerSide) * tilesPerSide + column % tilesPerSide;
    int v = static_cast<int>(std::lround((1.0 - (tile + 0.5) / levels) * 255));
    if (tile == 0) v = 255;
    if (tile == levels - 1) v = 0;
    const auto g = static_cast<std::uint8_t>(v);
    return std::array<std::uint8_t, 3>{g, g, g};
  });
}

gfx::Image colourRamp() {
  return steppedGradient(64, [](int column, int row) {
    return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(column * 31), static_cast<std::uint8_t>(row * 29),
                                       static_cast<std::uint8_t>(255 - (column + row) * 13)};
  });
}

void expectMosaic(const MosaicSettings& settings, const gfx::Image& image, const gfx::Image& atlas,
                  const std::shared_ptr<GPUMosaicFilter>& filter) {
  const gfx::Image out = runMosaic(filter, image);
  int nearJump = 0;
  const gfx::Image expected = cpuMosaic(image, atlas, settings, &nearJump);
  EXPECT_EQ(nearJump, 0) << "the picture puts tiles on a jump between levels";
  const auto result = gpuref::compare(out, expected, 2, 2);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad << " (largest difference " << result.maxDifference << ")";
}

}  // namespace

TEST(Mosaic, MatchesACpuMosaicOfAGradientWithTheDrawnTileSet) {
  const gfx::Image atlas = drawnTileSet();
  ASSERT_EQ(atlas.pixelWidth(), 512);
  ASSERT_EQ(atlas.pixelHeight(), 512);
  for (bool colorOn : {true, false}) {
    SCOPED_TRACE(colorOn ? "tinted" : "tiles in their own colours");
    MosaicSettings settings;
    settings.colorOn = colorOn;
    for (const gfx::Image& image : {greyRamp(8), colourRamp()}) {
      auto filter = mosaic(settings);
      ASSERT_TRUE(filter->setTileSet("mosaic_tiles").ok());
      expectMosaic(settings, image, atlas, filter);
    }
  }
  // Sixteen tiles of an atlas of four by four drawn here, on display tiles
  // of the same size, untinted so that black shows its tile: the last one.
  MosaicSettings sixteen;
  sixteen.colorOn = false;
  sixteen.inputTileSize = {0.25f, 0.25f};
  sixteen.displayTileSize = {0.25f, 0.25f};
  sixteen.numTiles = 16;
  gfx::Image quarters(512, 512);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      std::uint8_t* p = quarters.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x / 2);
      p[1] = static_cast<std::uint8_t>(y / 2);
      p[2] = static_cast<std::uint8_t>((x / 128 + 4 * (y / 128)) * 16);
      p[3] = 255;
    }
  auto filter = mosaic(sixteen);
  filter->setTileSetImage(quarters);
  expectMosaic(sixteen, greyRamp(4), quarters, filter);
}

TEST(Mosaic, SettingsThatLeaveNoTilesHandTheImageOnUnchanged) {
  const gfx::Image image = colourRamp();
  auto unchanged = [&](const std::shared_ptr<GPUMosaicFilter>& filter) {
    const gfx::Image out = runMosaic(filter, image);
    return gpuref::compare(out, image, 0, 0).badPixels == 0;
  };
  auto withTiles = [](MosaicSettings m) {
    auto filter = mosaic(m);
    EXPECT_TRUE(filter->setTileSet("mosaic_tiles.png").ok());
    return filter;
  };
  MosaicSettings zeroDisplay;
  zeroDisplay.displayTileSize = {0, 0};
  EXPECT_TRUE(unchanged(withTiles(zeroDisplay)));
  MosaicSettings flatDisplay;
  flatDisplay.displayTileSize = {0.1f, 0};
  EXPECT_TRUE(unchanged(withTiles(flatDisplay)));
  MosaicSettings zeroInput;
  zeroInput.inputTileSize = {0, 0.1f};
  EXPECT_TRUE(unchanged(withTiles(zeroInput)));
  for (float count : {0.0f, -3.0f, 0.5f}) {
    MosaicSettings noTiles;
    noTiles.numTiles = count;
    EXPECT_TRUE(unchanged(withTiles(noTiles))) << count;
  }
  // Sizes are clamped to 0..1: a negative height is a zero one.
  auto clamped = withTiles(MosaicSettings{});
  clamped->setInputTileSize({1.5f, -0.2f});
  EXPECT_EQ(clamped->inputTileSize(), (gfx::Size{1.0f, 0.0f}));
  EXPECT_TRUE(unchanged(clamped));
  // No tile set at all.
  auto bare = mosaic(MosaicSettings{});
  EXPECT_FALSE(bare->hasTileSet());
  EXPECT_TRUE(unchanged(bare));
}

TEST(Mosaic, AMissingTileSetIsAFailureAndKeepsTheAtlasInUse) {
  auto bare = std::make_shared<GPUMosaicFilter>();
  const fd::Status missing = bare->setTileSet("no_such_tiles");
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error().find("no_such_tiles"), std::string::npos) << missing.error();
  EXPECT_FALSE(bare->hasTileSet());

  const gfx::Image atlas = drawnTileSet();
  MosaicSettings settings;
  auto filter = mosaic(settings);
  ASSERT_TRUE(filter->setTileSet("mosaic_tiles").ok());
  EXPECT_FALSE(filter->setTileSet("no_such_tiles").ok());
  EXPECT_TRUE(filter->hasTileSet());
  expectMosaic(settings, greyRamp(8), atlas, filter);

  // A configuration's tile set that cannot be read is logged.
  testing::internal::CaptureStderr();
  filter->loadTileSet("no_such_tiles");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no_such_tiles"), std::string::npos);
}

TEST(Mosaic, TheImageDecidesTheOutputWhicheverInputCameFirst) {
  // The image attached before the tile set still lands on the image's input.
  const gfx::Image image = stocktest::solid(300, 200, {200, 120, 40, 255});
  auto source = std::make_shared<GPUPicture>(image);
  auto filter = std::make_shared<GPUMosaicFilter>();
  source->addTarget(filter);
  ASSERT_TRUE(filter->setTileSet("mosaic_tiles").ok());
  source->processImage();
  gputest::drainProcessingQueue();
  const gfx::Image out = filter->newCGImageFromCurrentlyProcessedOutput();
  EXPECT_EQ(out.pixelWidth(), 300);
  EXPECT_EQ(out.pixelHeight(), 200);
  // Defaults: 64 tiles, tinted. The colour's darkness (lum 0.47) picks
  // tile 30, a black dot on paper: the paper shows the colour, the dot black.
  int brightest = 0, darkest = 255;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      const std::uint8_t* p = out.pixel(x, y);
      if (p[0] >= brightest) {
        brightest = p[0];
        EXPECT_NEAR(p[1], p[0] * 120 / 200, 3);
        EXPECT_NEAR(p[2], p[0] * 40 / 200, 3);
      }
      darkest = std::min<int>(darkest, p[0]);
    }
  EXPECT_GE(brightest, 150) << "no paper";
  EXPECT_LE(darkest, 50) << "no ink";
  EXPECT_FLOAT_EQ(filter->numTiles(), 64);
  EXPECT_EQ(filter->displayTileSize(), (gfx::Size{0.025f, 0.025f}));
  EXPECT_EQ(filter->inputTileSize(), (gfx::Size{0.125f, 0.125f}));
  EXPECT_TRUE(filter->colorOn());
}

TEST(VoronoiMosaicRegistry, EachClassIsMadeFromAConfigurationWithItsMessages) {
  GPUFilterRegistry::registerCoreFilters();
  fd::Array entries;
  entries.push_back(fd::Value(fd::Dictionary{
      {"FilterName", fd::Value("GPUJFAVoroniFilter")},
      {"Attributes", fd::Value(fd::Dictionary{{"setSizeInPixels:", fd::Value("CGPoint(128, 128)")}})}}));
  const std::vector<Seed> seeds = randomSeeds(128, 12, 3);
  auto input = std::make_shared<GPUPicture>(seedPicture(128, seeds));
  auto output = std::make_shared<gputest::RecordingTarget>();
  auto pipeline =
      GPUFilterPipeline::withConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}), input, output);
  ASSERT_TRUE(pipeline.ok()) << pipeline.error();
  auto* flood = dynamic_cast<GPUJFAVoroniFilter*>((*pipeline)->filters().at(0).get());
  ASSERT_NE(flood, nullptr);
  EXPECT_EQ(flood->sizeInPixels(), (gfx::Size{128, 128}));
  input->processImage();
  gputest::drainProcessingQueue();
  const MapCheck check = checkMap((*pipeline)->currentFilteredFrame(), seeds);
  EXPECT_EQ(check.notASeed, 0);
  EXPECT_EQ(check.fartherSeed, 0);

  fd::Array others;
  others.push_back(fd::Value(fd::Dictionary{
      {"FilterName", fd::Value("GPUVoroniConsumerFilter")},
      {"Attributes", fd::Value(fd::Dictionary{{"setSizeInPixels:", fd::Value("CGPoint(512, 512)")}})}}));
  others.push_back(fd::Value(fd::Dictionary{
      {"FilterName", fd::Value("GPUMosaicFilter")},
      {"Attributes", fd::Value(fd::Dictionary{{"setInputTileSize:", fd::Value("CGPoint(0.25, 0.5)")},
                                              {"setDisplayTileSize:", fd::Value("CGPoint(0.05, 0.04)")},
                                              {"setNumTiles:", fd::Value("float(16)")},
                                              {"setColorOn:", fd::Value("float(0)")},
                                              {"setTileSet:", fd::Value("NSString(mosaic_tiles)")}})}}));
  auto filters = GPUFilterPipeline::parseConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(others)}}));
  ASSERT_TRUE(filters.ok()) << filters.error();
  auto* consumer = dynamic_cast<GPUVoroniConsumerFilter*>(filters->at(0).get());
  ASSERT_NE(consumer, nullptr);
  EXPECT_NE(consumer->filterProgram(), nullptr);
  EXPECT_EQ(consumer->sizeInPixels(), (gfx::Size{512, 512}));
  auto* tiles = dynamic_cast<GPUMosaicFilter*>(filters->at(1).get());
  ASSERT_NE(tiles, nullptr);
  EXPECT_NE(tiles->filterProgram(), nullptr);
  EXPECT_EQ(tiles->inputTileSize(), (gfx::Size{0.25f, 0.5f}));
  EXPECT_EQ(tiles->displayTileSize(), (gfx::Size{0.05f, 0.04f}));
  EXPECT_FLOAT_EQ(tiles->numTiles(), 16);
  EXPECT_FALSE(tiles->colorOn());
  EXPECT_TRUE(tiles->hasTileSet());
}

// A configuration's tile set is a picture among the program's resources: a
// picture elsewhere on the disk, named by absolute path or through "..", is
// refused with words and the configuration makes no filter. A picture the
// program hands over itself still serves.
TEST(Mosaic, AConfigurationReadsNoTileSetOutsideTheResources) {
  GPUFilterRegistry::registerCoreFilters();
  const auto outside = std::filesystem::temp_directory_path() / "flipdesk-outside-tiles.png";
  ASSERT_TRUE(gfx::writePNG(outside, drawnTileSet()));
  const std::string up = "../../../../../../../.." + outside.string();
  for (const std::string& name : {outside.string(), up, (outside.parent_path() / outside.stem()).string()}) {
    fd::Array entries{fd::Value(fd::Dictionary{
        {"FilterName", fd::Value("GPUMosaicFilter")},
        {"Attributes", fd::Value(fd::Dictionary{{"setTileSet:", fd::Value("NSString(" + name + ")")}})}})};
    auto filters = GPUFilterPipeline::parseConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}));
    ASSERT_FALSE(filters) << name;
    EXPECT_NE(filters.error().find("refuses the tile set"), std::string::npos) << filters.error();

    auto filter = std::make_shared<GPUMosaicFilter>();
    const fd::Status set = filter->setTileSet(name);
    EXPECT_FALSE(set.ok()) << name;
    EXPECT_NE(set.error().find("program's resources"), std::string::npos) << set.error();
    EXPECT_FALSE(filter->hasTileSet());
  }
  auto byCode = std::make_shared<GPUMosaicFilter>();
  auto picture = gfx::readImage(outside);
  ASSERT_TRUE(picture);
  byCode->setTileSetImage(*picture);
  EXPECT_TRUE(byCode->hasTileSet());
  std::filesystem::remove(outside);
}
