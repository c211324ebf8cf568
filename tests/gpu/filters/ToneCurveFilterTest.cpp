// The tone curve: its spline preparation against an independently solved
// natural spline, the filter on real pictures through its lookup, and curve
// files of every shape a reader meets, sound or not.
#include <gtest/gtest.h>

#include <fstream>

#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/filters/StockFilterCase.h"
#include "gpu/filters/tonecurve/GPUACVFile.h"
#include "gpu/filters/tonecurve/GPUToneCurveFilter.h"

using namespace stocktest;
using Points = GPUToneCurveFilter::Points;

namespace {

// A natural cubic spline through points on 0..255, solved as one dense
// system (the unknowns are the second derivatives), evaluated at x.
double referenceSpline(const std::vector<std::array<double, 2>>& p, double x) {
  const std::size_t n = p.size();
  std::vector<std::vector<double>> m(n, std::vector<double>(n + 1, 0.0));
  m[0][0] = 1;
  m[n - 1][n - 1] = 1;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double h0 = p[i][0] - p[i - 1][0], h1 = p[i + 1][0] - p[i][0];
    m[i][i - 1] = h0 / 6;
    m[i][i] = (h0 + h1) / 3;
    m[i][i + 1] = h1 / 6;
    m[i][n] = (p[i + 1][1] - p[i][1]) / h1 - (p[i][1] - p[i - 1][1]) / h0;
  }
  for (std::size_t col = 0; col < n; ++col) {
    for (std::size_t row = col + 1; row < n; ++row) {
      const double k = m[row][col] / m[col][col];
      for (std::size_t j = col; j <= n; ++j) m[row][j] -= k * m[col][j];
    }
  }
  std::vector<double> d(n);
  for (std::size_t row = n; row-- > 0;) {
    double v = m[row][n];
    for (std::size_t j = row + 1; j < n; ++j) v -= m[row][j] * d[j];
    d[row] = v / m[row][row];
  }
  std::size_t k = 0;
  while (k + 2 < n && x >= p[k + 1][0]) ++k;
  const double h = p[k + 1][0] - p[k][0], t = (x - p[k][0]) / h, a = 1 - t;
  return a * p[k][1] + t * p[k + 1][1] + h * h / 6 * ((a * a * a - a) * d[k] + (t * t * t - t) * d[k + 1]);
}

// The level each input level becomes, for control points from x = 0 to 1.
std::array<double, 256> referenceLevels(const Points& points) {
  std::vector<std::array<double, 2>> p;
  for (auto q : points) p.push_back({q.x * 255.0, q.y * 255.0});
  std::sort(p.begin(), p.end());
  std::array<double, 256> out{};
  for (int i = 0; i < 256; ++i) out[i] = i == 255 ? p.back()[1] : std::clamp(referenceSpline(p, i), 0.0, 255.0);
  return out;
}

// The 256 x 1 lookup as a picture: level i of each channel through its curve
// and the composite.
gfx::Image referenceLookup(const Points& composite, const Points& red, const Points& green, const Points& blue) {
  const auto c = referenceLevels(composite), r = referenceLevels(red), g = referenceLevels(green),
             b = referenceLevels(blue);
  gfx::Image table(256, 1);
  for (int i = 0; i < 256; ++i) {
    auto level = [&](double channel) { return static_cast<std::uint8_t>(std::clamp(channel + c[i] - i, 0.0, 255.0)); };
    table.pixel(i, 0)[0] = level(r[i]);
    table.pixel(i, 0)[1] = level(g[i]);
    table.pixel(i, 0)[2] = level(b[i]);
    table.pixel(i, 0)[3] = 255;
  }
  return table;
}

gpuref::Shader throughLookup(gfx::Image table) {
  return [table](const Sampler& in, float s, float t) {
    const Colour c = in(s, t);
    return Colour{gpuref::sampleLinear(table, c[0], 0.5f)[0], gpuref::sampleLinear(table, c[1], 0.5f)[1],
                  gpuref::sampleLinear(table, c[2], 0.5f)[2], c[3]};
  };
}

const Points kIdentity = {{0, 0}, {0.5f, 0.5f}, {1, 1}};
const Points kSCurve = {{0, 0}, {0.25f, 0.15f}, {0.75f, 0.85f}, {1, 1}};
const Points kLift = {{0, 0.1f}, {0.4f, 0.55f}, {1, 0.95f}};
const Points kDarken = {{0, 0}, {0.6f, 0.4f}, {1, 1}};

std::vector<std::uint8_t> curveFileBytes(std::int16_t version, const std::vector<std::vector<std::array<int, 2>>>& curves,
                                         int declaredCurves = -1) {
  std::vector<std::uint8_t> b;
  auto put = [&](int v) {
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    b.push_back(static_cast<std::uint8_t>(v & 0xff));
  };
  put(version);
  put(declaredCurves >= 0 ? declaredCurves : static_cast<int>(curves.size()));
  for (const auto& curve : curves) {
    put(static_cast<int>(curve.size()));
    for (auto [output, input] : curve) {
      put(output);
      put(input);
    }
  }
  return b;
}

std::filesystem::path writeTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const auto path = std::filesystem::temp_directory_path() / ("flipdesk-tonecurve-" + std::to_string(::getpid()) + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<Case> toneCurveCases() {
  std::vector<Case> cases;
  cases.push_back({"Identity", [] { return std::make_shared<GPUToneCurveFilter>(); },
                   throughLookup(referenceLookup(kIdentity, kIdentity, kIdentity, kIdentity)), 4, {}});
  cases.push_back({"CompositeS",
                   [] {
                     auto f = std::make_shared<GPUToneCurveFilter>();
                     f->setRgbCompositeControlPoints(kSCurve);
                     return std::static_pointer_cast<GPUFilter>(f);
                   },
                   throughLookup(referenceLookup(kSCurve, kIdentity, kIdentity, kIdentity)), 4, {}});
  cases.push_back({"ChannelsAndComposite",
                   [] {
                     auto f = std::make_shared<GPUToneCurveFilter>();
                     f->setRedControlPoints(kLift);
                     f->setBlueControlPoints(kDarken);
                     f->setRgbCompositeControlPoints(kSCurve);
                     return std::static_pointer_cast<GPUFilter>(f);
                   },
                   throughLookup(referenceLookup(kSCurve, kLift, kIdentity, kDarken)), 4, {}});
  return cases;
}

class ToneCurve : public ::testing::TestWithParam<Case> {};
TEST_P(ToneCurve, MatchesTheSplineOnRealPictures) { expectMatchesReference(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Stock, ToneCurve, ::testing::ValuesIn(toneCurveCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace

TEST(ToneCurvePreparation, IdentityIsZeroOffsetsAndOrderDoesNotMatter) {
  const auto identity = GPUToneCurveFilter::getPreparedSplineCurve(kIdentity);
  ASSERT_EQ(identity.size(), 256u);
  for (float v : identity) EXPECT_NEAR(v, 0.0f, 1e-4f);
  const auto shuffled = GPUToneCurveFilter::getPreparedSplineCurve({kSCurve[2], kSCurve[0], kSCurve[3], kSCurve[1]});
  EXPECT_EQ(shuffled, GPUToneCurveFilter::getPreparedSplineCurve(kSCurve));
  EXPECT_TRUE(GPUToneCurveFilter::getPreparedSplineCurve({}).empty());
}

TEST(ToneCurvePreparation, CurvesThatStartLateOrEndEarlyClampToBlackAndWhite) {
  // From level 51: 0..51 become black, later levels take the offset of the
  // level below (here 0, on the identity line).
  const auto late = GPUToneCurveFilter::getPreparedSplineCurve({{0.2f, 0.2f}, {1, 1}});
  ASSERT_GE(late.size(), 256u);
  for (int i = 0; i <= 51; ++i) EXPECT_FLOAT_EQ(i + late[i], 0.0f) << i;
  for (int i = 52; i < 256; ++i) EXPECT_NEAR(late[i], 0.0f, 1e-3f) << i;
  // Up to level 204: from there on white.
  const auto early = GPUToneCurveFilter::getPreparedSplineCurve({{0, 0}, {0.8f, 0.8f}});
  ASSERT_EQ(early.size(), 256u);
  for (int i = 204; i < 256; ++i) EXPECT_FLOAT_EQ(i + early[i], 255.0f) << i;
  EXPECT_NEAR(100 + early[100], 100.0f, 1e-3f);
}

TEST(ToneCurvePreparation, SplineAgreesWithADenseSolveAndClipsOvershoot) {
  const Points wild = {{0, 0}, {0.1f, 0.9f}, {0.2f, 0.05f}, {1, 1}};  // overshoots both ends of the scale
  const auto prepared = GPUToneCurveFilter::getPreparedSplineCurve(wild);
  ASSERT_EQ(prepared.size(), 256u);
  const auto expected = referenceLevels(wild);
  for (int i = 0; i < 256; ++i) {
    EXPECT_NEAR(i + prepared[i], expected[i], 1e-2) << i;
    EXPECT_GE(i + prepared[i], 0.0f);
    EXPECT_LE(i + prepared[i], 255.0f);
  }
}

TEST(ToneCurvePreparation, RepeatedLevelsAndSinglePointsHaveDefinedCurves) {
  // Two points at one x: the later one stands, no division by zero.
  const auto repeated = GPUToneCurveFilter::getPreparedSplineCurve({{0, 0}, {0.5f, 0.2f}, {0.5f, 0.6f}, {1, 1}});
  EXPECT_EQ(repeated, GPUToneCurveFilter::getPreparedSplineCurve({{0, 0}, {0.5f, 0.6f}, {1, 1}}));
  for (float v : repeated) EXPECT_TRUE(std::isfinite(v));
  // One point: every level becomes that point's level.
  const auto flat = GPUToneCurveFilter::getPreparedSplineCurve({{0.5f, 0.3f}});
  ASSERT_EQ(flat.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_FLOAT_EQ(i + flat[i], 76.5f);
  // Composite and channel offsets add and are clipped once more.
  const auto up = GPUToneCurveFilter::getPreparedSplineCurve({{0, 0.5f}, {1, 1}});
  const auto bytes = GPUToneCurveFilter::lookupBytes(up, up, up, up);
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(bytes[4 * 200 + 2], 255);
  EXPECT_EQ(bytes[4 * 0 + 2], 255);  // 0 + 127.5 + 127.5
  EXPECT_TRUE(GPUToneCurveFilter::lookupBytes(up, {}, up, up).empty());
}

TEST(CurveFile, FourIdentityCurvesReadAsUnitPoints) {
  const std::vector<std::array<int, 2>> line = {{0, 0}, {255, 255}};
  auto file = GPUACVFile::withBytes(curveFileBytes(1, {line, line, line, line}));
  ASSERT_TRUE(file) << file.error();
  EXPECT_EQ(file->version(), 1);
  EXPECT_EQ(file->totalCurves(), 4);
  for (const auto* points : {&file->rgbCompositeCurvePoints(), &file->redCurvePoints(), &file->greenCurvePoints(),
                             &file->blueCurvePoints()}) {
    ASSERT_EQ(points->size(), 2u);
    EXPECT_EQ((*points)[0], (gfx::Point{0, 0}));
    EXPECT_FLOAT_EQ((*points)[1].x, 1.0f);
    EXPECT_FLOAT_EQ((*points)[1].y, 1.0f);
  }
}

TEST(CurveFile, PointsAreOutputThenInputAndExtraCurvesAreIgnored) {
  const std::vector<std::array<int, 2>> line = {{0, 0}, {255, 255}};
  auto file = GPUACVFile::withBytes(curveFileBytes(4, {{{51, 0}, {255, 102}}, line, line, line, line}));
  ASSERT_TRUE(file) << file.error();
  EXPECT_EQ(file->totalCurves(), 5);
  EXPECT_FLOAT_EQ(file->rgbCompositeCurvePoints()[0].y, 0.2f);
  EXPECT_FLOAT_EQ(file->rgbCompositeCurvePoints()[1].x, 0.4f);
}

TEST(CurveFile, ShortCorruptOrHostileFilesAreClearFailures) {
  const std::vector<std::array<int, 2>> line = {{0, 0}, {255, 255}};
  const auto good = curveFileBytes(1, {line, line, line, line});
  EXPECT_FALSE(GPUACVFile::withBytes(std::vector<std::uint8_t>{}));
  EXPECT_FALSE(GPUACVFile::withBytes(std::vector<std::uint8_t>{0, 1, 0}));
  // Cut anywhere inside the curves.
  for (std::size_t cut = 4; cut < good.size(); ++cut) {
    auto result = GPUACVFile::withBytes(std::span(good.data(), cut));
    EXPECT_FALSE(result) << "cut at " << cut;
  }
  // A count of points far beyond the file's end.
  auto huge = curveFileBytes(1, {line});
  huge[4] = 0x7f;
  huge[5] = 0xff;
  EXPECT_NE(GPUACVFile::withBytes(huge).error().find("points"), std::string::npos);
  // More curves declared than present, a negative curve count, a level off the scale.
  EXPECT_FALSE(GPUACVFile::withBytes(curveFileBytes(1, {line}, 30000)));
  EXPECT_FALSE(GPUACVFile::withBytes(curveFileBytes(1, {}, 0xffff)));
  EXPECT_FALSE(GPUACVFile::withBytes(curveFileBytes(1, {{{300, 0}}})));
  EXPECT_FALSE(GPUACVFile::withBytes(curveFileBytes(1, {{{0, -2}}})));
  // A negative point count is an empty curve, as it always was.
  auto negative = curveFileBytes(1, {{}, line});
  negative[4] = 0xff;
  negative[5] = 0xfe;
  auto read = GPUACVFile::withBytes(negative);
  ASSERT_TRUE(read) << read.error();
  EXPECT_TRUE(read->rgbCompositeCurvePoints().empty());
  EXPECT_EQ(read->redCurvePoints().size(), 2u);
}

TEST(CurveFile, FilterReadsFilesAndKeepsIdentityForMissingCurves) {
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  // Only a composite curve, darkening to half: red, green and blue stay identity.
  const auto path = writeTemp("half.acv", curveFileBytes(1, {{{0, 0}, {128, 255}}}));
  auto filter = std::make_shared<GPUToneCurveFilter>(path);
  const Points half = {{0, 0}, {1, 128.0f / 255.0f}};
  const gfx::Image expected =
      gpuref::filter(gpuref::uploaded(cat), 0, throughLookup(referenceLookup(half, kIdentity, kIdentity, kIdentity)));
  const auto result = gpuref::compare(runPicture(cat, filter), expected, 4, 4);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  EXPECT_EQ(filter->redControlPoints(), kIdentity);
  std::filesystem::remove(path);

  // A missing file: the failure names it; a filter made from it outputs
  // transparent black.
  const auto missing = std::filesystem::temp_directory_path() / "flipdesk-no-such-curve.acv";
  auto existing = std::make_shared<GPUToneCurveFilter>();
  auto status = existing->setPointsWithACVURL(missing);
  ASSERT_FALSE(status);
  EXPECT_NE(status.error().find("Failed to open file"), std::string::npos);
  EXPECT_EQ(existing->rgbCompositeControlPoints(), kIdentity);
  // A bundle resource is looked for as "<name>.acv" among the resources.
  auto named = existing->setPointsWithACV("no-such-curve");
  ASSERT_FALSE(named);
  EXPECT_NE(named.error().find("no-such-curve.acv"), std::string::npos);
  auto broken = std::make_shared<GPUToneCurveFilter>(missing);
  const gfx::Image out = runPicture(cat, broken);
  EXPECT_EQ(out.pixel(10, 10)[0], 0);
  EXPECT_EQ(out.pixel(10, 10)[2], 0);
}

// A configuration names curve files among the program's resources only: one
// written outside them (by anyone) is refused, by absolute path or by "..",
// with words naming it, and the configuration makes no filter. A path the
// program itself gives still reads.
TEST(CurveFile, AConfigurationReadsNoCurveFileOutsideTheResources) {
  GPUFilterRegistry::registerCoreFilters();
  const auto outside = writeTemp("flipdesk-outside-curve.acv", curveFileBytes(1, {{{0, 0}, {128, 255}}}));
  const std::string stem = (outside.parent_path() / outside.stem()).string();
  const std::string up = "../../../../../../../.." + stem;
  for (const std::string& name : {stem, up}) {
    fd::Array entries{fd::Value(fd::Dictionary{
        {"FilterName", fd::Value("GPUToneCurveFilter")},
        {"Attributes", fd::Value(fd::Dictionary{{"setPointsWithACV:", fd::Value("NSString(" + name + ")")}})}})};
    auto filters = GPUFilterPipeline::parseConfiguration(fd::Value(fd::Dictionary{{"Filters", fd::Value(entries)}}));
    ASSERT_FALSE(filters) << name;
    EXPECT_NE(filters.error().find("refuses the curve file"), std::string::npos) << filters.error();
    EXPECT_NE(filters.error().find(name), std::string::npos) << filters.error();

    auto filter = std::make_shared<GPUToneCurveFilter>();
    auto named = filter->setPointsWithACV(name);
    ASSERT_FALSE(named) << name;
    EXPECT_NE(named.error().find("program's resources"), std::string::npos) << named.error();
    EXPECT_EQ(filter->rgbCompositeControlPoints(), kIdentity);
  }
  auto byCode = std::make_shared<GPUToneCurveFilter>();
  EXPECT_TRUE(byCode->setPointsWithACVURL(outside));
  EXPECT_NE(byCode->rgbCompositeControlPoints(), kIdentity);
  std::filesystem::remove(outside);
}
