#include "gpu/filters/voronoi/GPUVoronoiFilters.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// The position a seed colour holds, in texture coordinates of a map of
// `size` pixels. Channels are read back as their bytes (a channel times 255,
// rounded), so every position up to the largest map decodes exactly.
constexpr const char* kSeedPositionFunction =
    "uniform highp vec2 size;\n"
    "highp vec2 seedPosition(highp vec4 seed) {\n"
    "  highp vec3 bytes = floor(seed.rgb * 255.0 + 0.5);\n"
    "  highp float x = bytes.r + mod(bytes.b, 8.0) * 256.0;\n"
    "  highp float y = bytes.g + floor(bytes.b / 8.0) * 256.0;\n"
    "  return (vec2(x, y) + 0.5) / size;\n"
    "}\n";

// The 3 x 3 filters' centre and eight neighbours (left is -x, top is -y),
// with one sampleStep for both texel sizes.
std::string floodVertexShader() {
  std::string source = kGPUNearbyTexelSamplingVertexShaderString;
  auto replaceAll = [&source](const std::string& from, const std::string& to) {
    for (std::size_t at = source.find(from); at != std::string::npos; at = source.find(from, at + to.size()))
      source.replace(at, from.size(), to);
  };
  replaceAll("uniform float texelWidth;\nuniform float texelHeight;\n", "uniform float sampleStep;\n");
  replaceAll("texelWidth", "sampleStep");
  replaceAll("texelHeight", "sampleStep");
  return source;
}

// Keeps the nearest seed among the pixel's own and its eight neighbours'.
// A sample is a seed only with alpha exactly 1. A pixel that knows no seed
// yet takes any seed a neighbour knows, however far.
const std::string kFloodShader = nearbyTexelFragmentShader(
    "highp", std::string(kSeedPositionFunction) +
                 "void consider(vec2 at, vec2 here, inout vec4 result, inout float best) {\n"
                 "  vec4 candidate = texture2D(inputImageTexture, at);\n"
                 "  if (candidate.a != 1.0) return;\n"
                 "  vec2 d = seedPosition(candidate) - here;\n"
                 "  float distance = dot(d, d);\n"
                 "  if (distance < best) {\n"
                 "    best = distance;\n"
                 "    result = candidate;\n"
                 "  }\n"
                 "}\n"
                 "void main() {\n"
                 "  vec2 here = textureCoordinate;\n"
                 "  vec4 result = texture2D(inputImageTexture, here);\n"
                 "  float best = 1.0e20;\n"
                 "  if (result.a == 1.0) {\n"
                 "    vec2 d = seedPosition(result) - here;\n"
                 "    best = dot(d, d);\n"
                 "  }\n"
                 "  consider(topRightTextureCoordinate, here, result, best);\n"
                 "  consider(topTextureCoordinate, here, result, best);\n"
                 "  consider(topLeftTextureCoordinate, here, result, best);\n"
                 "  consider(bottomRightTextureCoordinate, here, result, best);\n"
                 "  consider(bottomTextureCoordinate, here, result, best);\n"
                 "  consider(bottomLeftTextureCoordinate, here, result, best);\n"
                 "  consider(leftTextureCoordinate, here, result, best);\n"
                 "  consider(rightTextureCoordinate, here, result, best);\n"
                 "  gl_FragColor = result;\n"
                 "}\n");

const std::string kConsumerShader = std::string(
                                        "precision highp float;\n"
                                        "varying highp vec2 textureCoordinate;\n"
                                        "varying highp vec2 textureCoordinate2;\n"
                                        "uniform sampler2D inputImageTexture;\n"
                                        "uniform sampler2D inputImageTexture2;\n") +
                                    kSeedPositionFunction +
                                    "void main() {\n"
                                    "  highp vec4 seed = texture2D(inputImageTexture2, textureCoordinate2);\n"
                                    "  gl_FragColor = texture2D(inputImageTexture, seedPosition(seed));\n"
                                    "}\n";

// The tile grid lies on the image (second input). The tile index is
// floor(lum * numTiles), the darkest level held on the last tile rather than
// one past it; an atlas row holds the whole tiles that fit across it.
constexpr const char* kMosaicShader =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "uniform vec2 inputTileSize;\n"
    "uniform vec2 displayTileSize;\n"
    "uniform float numTiles;\n"
    "uniform int colorOn;\n"
    "void main() {\n"
    "  vec2 xy = textureCoordinate2 - mod(textureCoordinate2, displayTileSize);\n"
    "  vec4 inputColor = texture2D(inputImageTexture2, xy);\n"
    "  float lum = 1.0 - dot(inputColor, vec4(0.299, 0.587, 0.114, 0.0));\n"
    "  float tile = clamp(floor(lum * numTiles), 0.0, ceil(numTiles) - 1.0);\n"
    "  float perRow = max(floor(1.0 / inputTileSize.x + 0.001), 1.0);\n"
    "  float row = floor((tile + 0.5) / perRow);\n"
    "  vec2 start = vec2(tile - row * perRow, row) * inputTileSize;\n"
    "  vec4 tileColor = texture2D(inputImageTexture,\n"
    "                             start + (textureCoordinate2 - xy) * (inputTileSize / displayTileSize));\n"
    "  gl_FragColor = colorOn == 1 ? tileColor * inputColor : tileColor;\n"
    "}\n";

gfx::Size clampedToUnit(gfx::Size size) {
  auto unit = [](float v) { return v >= 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f); };
  return {unit(size.width), unit(size.height)};
}

// Nearest filtering: a flood pass must read whole seeds, never a blend of two.
void useNearestFiltering(const glx::TextureHandle& texture) {
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

}  // namespace

// --- fallback

GPUTwoInputFallbackFilter::GPUTwoInputFallbackFilter(const std::string& vertexShader,
                                                     const std::string& fragmentShader)
    : GPUTwoInputFilter(vertexShader, fragmentShader) {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    passThroughProgram_ = linkedFilterProgram(std::string(kGPUVertexShaderString),
                                              std::string(kGPUPassthroughFragmentShaderString));
    if (passThroughProgram_ != nullptr) passThroughInputUniform_ = passThroughProgram_->uniformIndex("inputImageTexture");
  });
}

void GPUTwoInputFallbackFilter::renderInputUnchanged(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                     GLuint texture) {
  if (passThroughProgram_ == nullptr) return;
  setFilterFBO();
  activateFilterProgram(passThroughProgram_);
  setClearColor(backgroundColorRed_, backgroundColorGreen_, backgroundColorBlue_, backgroundColorAlpha_);
  drawQuad(passThroughProgram_, vertices, textureCoordinates, texture, passThroughInputUniform_, 2);
}

// --- map size

fd::Status voroniMapSizeStatus(gfx::Size size) {
  if (!(size.width == size.height)) return fd::fail("Voroni point texture must be square");
  const float side = size.width;
  const bool powerOfTwo = side >= 1.0f && side < 2147483648.0f && side == std::floor(side) &&
                          std::has_single_bit(static_cast<unsigned>(side));
  if (!powerOfTwo) {
    char message[128];
    std::snprintf(message, sizeof message, "Voroni point texture must be a power of 2.  Texture size: %f, %f",
                  static_cast<double>(size.width), static_cast<double>(size.height));
    return fd::fail(message);
  }
  if (side > static_cast<float>(kVoroniMaximumMapSide)) {
    return fd::fail("Voroni point texture must be at most " + std::to_string(kVoroniMaximumMapSide) +
                    " pixels a side");
  }
  return {};
}

GPUVoroniMapFilter::GPUVoroniMapFilter(const std::string& vertexShader, const std::string& fragmentShader)
    : GPUTwoInputFallbackFilter(vertexShader, fragmentShader) {
  sizeUniform_ = stockUniformIndex(*this, "size");
}

GPUVoroniMapFilter::~GPUVoroniMapFilter() {
  // A size still queued for the processing queue is set on this filter: it
  // lands while the filter is whole.
  performOnProcessingQueueSync([] {});
}

fd::Status GPUVoroniMapFilter::setSizeInPixels(gfx::Size size) {
  sizeInPixels_ = size;
  fd::Status status = voroniMapSizeStatus(size);
  if (!status) {
    fd::Log("%s", status.error().c_str());
    return status;
  }
  setSize(size, sizeUniform_, filterProgram());
  performOnProcessingQueueAsync([this] { hasMapSize_ = true; });
  return status;
}

// --- jump flooding

GPUJFAVoroniFilter::GPUJFAVoroniFilter() : GPUVoroniMapFilter(floodVertexShader(), kFloodShader) {
  if (filterProgram() == nullptr) fd::Log("nil returned");
  sampleStepUniform_ = stockUniformIndex(*this, "sampleStep");
  disableSecondFrameCheck();
}

GPUJFAVoroniFilter::~GPUJFAVoroniFilter() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    secondFilterFramebuffer_.reset();
    secondFilterOutputTexture_.reset();
  });
}

unsigned GPUJFAVoroniFilter::nextPowerOfTwo(gfx::Size size) {
  const float side = std::max(size.width, size.height);
  if (!(side >= 1.0f)) return 1;
  if (side >= 2147483648.0f) return 2147483648u;
  return std::bit_ceil(static_cast<unsigned>(side));
}

void GPUJFAVoroniFilter::createFilterFBOofSize(gfx::Size size) {
  numPasses_ = static_cast<unsigned>(std::countr_zero(nextPowerOfTwo(size)));
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    attachNewTexture(filterFramebuffer_, outputTexture_, size);
    useNearestFiltering(outputTexture_);
    attachNewTexture(secondFilterFramebuffer_, secondFilterOutputTexture_, size);
    useNearestFiltering(secondFilterOutputTexture_);
    glCheckFramebufferStatus(GL_FRAMEBUFFER);
    notifyTargetsAboutNewOutputTexture();
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

void GPUJFAVoroniFilter::destroyFilterFBO() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    filterFramebuffer_.reset();
    secondFilterFramebuffer_.reset();
  });
}

void GPUJFAVoroniFilter::deleteOutputTexture() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    outputTexture_.reset();
    secondFilterOutputTexture_.reset();
  });
}

void GPUJFAVoroniFilter::floodPass(const GPUQuad& vertices, const GPUQuad& textureCoordinates, GLuint source,
                                   float step, bool intoOwnFramebuffer) {
  bindFramebufferAtFBOSize(intoOwnFramebuffer ? filterFramebuffer_ : secondFilterFramebuffer_);
  GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
  applyStoredUniforms(filterProgram_);
  glUniform1f(sampleStepUniform_, step);
  setClearColor(0, 0, 0, 1);
  // The shader reads no second coordinate; the array only needs to point at
  // something while it is enabled.
  glVertexAttribPointer(filterSecondTextureCoordinateAttribute_, 2, GL_FLOAT, GL_FALSE, 0,
                        textureCoordinates.data());
  drawQuad(filterProgram_, vertices, textureCoordinates, source, filterInputTextureUniform_, 2);
}

void GPUJFAVoroniFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                     GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  if (!hasMapSize()) {
    renderInputUnchanged(vertices, textureCoordinates, sourceTexture);
    return;
  }
  // Makes both framebuffers, and numPasses, when they are missing.
  setFilterFBO();
  if (!secondFilterFramebuffer_) return;
  // numPasses + 2 draws, each into the framebuffer the previous one did not
  // use; the first is placed so that the last lands in the filter's own.
  bool intoOwn = numPasses_ % 2 == 1;
  floodPass(vertices, textureCoordinates, sourceTexture, 0.5f, intoOwn);
  const GPUQuad& upright = textureCoordinatesForRotation(RotationNone);
  for (unsigned k = 1; k <= numPasses_ + 1; ++k) {
    const GLuint previous = intoOwn ? outputTexture_.get() : secondFilterOutputTexture_.get();
    intoOwn = !intoOwn;
    floodPass(vertices, upright, previous, std::ldexp(1.0f, -static_cast<int>(k)), intoOwn);
  }
}

// --- consumer

GPUVoroniConsumerFilter::GPUVoroniConsumerFilter()
    : GPUVoroniMapFilter(kGPUTwoInputTextureVertexShaderString, kConsumerShader) {}

void GPUVoroniConsumerFilter::renderToTextureWithVertices(const GPUQuad& vertices,
                                                          const GPUQuad& textureCoordinates, GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  if (!hasMapSize()) {
    renderInputUnchanged(vertices, textureCoordinates, sourceTexture);
    return;
  }
  GPUTwoInputFilter::renderToTextureWithVertices(vertices, textureCoordinates, sourceTexture);
}

// --- mosaic

GPUMosaicFilter::GPUMosaicFilter()
    : GPUTwoInputFallbackFilter(kGPUTwoInputTextureVertexShaderString, kMosaicShader) {
  inputTileSizeUniform_ = stockUniformIndex(*this, "inputTileSize");
  displayTileSizeUniform_ = stockUniformIndex(*this, "displayTileSize");
  numTilesUniform_ = stockUniformIndex(*this, "numTiles");
  colorOnUniform_ = stockUniformIndex(*this, "colorOn");
  // The atlas is a still sent once; every frame of the image draws with it.
  disableFirstFrameCheck();
  setDisplayTileSize({0.025f, 0.025f});
  setInputTileSize({0.125f, 0.125f});
  setNumTiles(64);
  setColorOn(true);
}

GPUMosaicFilter::~GPUMosaicFilter() {
  // The atlas source holds this filter as a target without owning it: it is
  // told to let go while the filter is still whole, and settings still queued
  // for the processing queue land while it is.
  if (pic_) pic_->removeAllTargets();
  performOnProcessingQueueSync([] {});
}

void GPUMosaicFilter::updateDrawSettings() {
  performOnProcessingQueueAsync([this, settings = DrawSettings{inputTileSize_, displayTileSize_, numTiles_}] {
    drawSettings_ = settings;
  });
}

void GPUMosaicFilter::setInputTileSize(gfx::Size size) {
  inputTileSize_ = clampedToUnit(size);
  setSize(inputTileSize_, inputTileSizeUniform_, filterProgram());
  updateDrawSettings();
}

void GPUMosaicFilter::setDisplayTileSize(gfx::Size size) {
  displayTileSize_ = clampedToUnit(size);
  setSize(displayTileSize_, displayTileSizeUniform_, filterProgram());
  updateDrawSettings();
}

void GPUMosaicFilter::setNumTiles(float count) {
  numTiles_ = count;
  setFloat(count, numTilesUniform_, filterProgram());
  updateDrawSettings();
}

void GPUMosaicFilter::setColorOn(bool on) {
  colorOn_ = on;
  setInteger(on ? 1 : 0, colorOnUniform_, filterProgram());
}

fd::Expected<std::filesystem::path> GPUMosaicFilter::tileSetFileNamed(const std::string& name) {
  return fd::paths::resourceNamed(std::filesystem::path(name).has_extension() ? name : name + ".png");
}

fd::Status GPUMosaicFilter::setTileSet(const std::string& name) {
  auto path = tileSetFileNamed(name);
  if (!path) return fd::fail("the tile set " + path.error());
  auto atlas = gfx::readImage(*path);
  if (!atlas) return fd::fail("the tile set \"" + name + "\" cannot be read: " + atlas.error());
  setTileSetImage(*atlas);
  return {};
}

void GPUMosaicFilter::loadTileSet(const std::string& name) {
  auto status = setTileSet(name);
  if (!status) fd::Log("Mosaic: %s", status.error().c_str());
}

void GPUMosaicFilter::setTileSetImage(const gfx::Image& atlas) {
  if (pic_) pic_->removeAllTargets();
  pic_ = std::make_shared<GPUPicture>(atlas, true);
  // Not owning: the filter owns the picture, so the picture must not own it.
  pic_->addTarget(std::shared_ptr<GPUInput>(std::shared_ptr<GPUInput>(), this), 0);
  pic_->processImage();
}

void GPUMosaicFilter::setInputSize(gfx::Size size, int textureIndex) {
  // The atlas's size says nothing about the output.
  if (textureIndex == 0) return;
  GPUFilter::setInputSize(size, textureIndex);
}

bool GPUMosaicFilter::drawsTiles() const {
  const DrawSettings& s = drawSettings_;
  return filterSourceTexture_ != 0 && s.inputTileSize.width > 0 && s.inputTileSize.height > 0 &&
         s.displayTileSize.width > 0 && s.displayTileSize.height > 0 && s.numTiles >= 1;
}

void GPUMosaicFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                  GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  if (!drawsTiles()) {
    renderInputUnchanged(vertices, textureCoordinatesForRotation(inputRotation2_), filterSourceTexture2_);
    return;
  }
  GPUTwoInputFilter::renderToTextureWithVertices(vertices, textureCoordinates, sourceTexture);
}

// --- registry

void registerVoronoiFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(
      C::of<GPUJFAVoroniFilter>("GPUJFAVoroniFilter").message("setSizeInPixels:", &GPUVoroniMapFilter::setSizeInPixelsPoint));
  r.registerClass(C::of<GPUVoroniConsumerFilter>("GPUVoroniConsumerFilter")
                      .message("setSizeInPixels:", &GPUVoroniMapFilter::setSizeInPixelsPoint));
  using M = GPUMosaicFilter;
  r.registerClass(C::of<M>("GPUMosaicFilter")
                      .message("setInputTileSize:", &M::setInputTileSizePoint)
                      .message("setDisplayTileSize:", &M::setDisplayTileSizePoint)
                      .message("setNumTiles:", &M::setNumTiles)
                      .message("setColorOn:", &M::setColorOnNumber)
                      .message("setTileSet:", &M::loadTileSet, [](const std::string& name) -> fd::Status {
                        if (auto file = M::tileSetFileNamed(name); !file) return fd::fail("refuses the tile set " + file.error());
                        return {};
                      }));
}
