#pragma once
// Filters that work with positions packed into colours or with a tile atlas:
// a Voronoi map of seed points grown by jump flooding, an image coloured by
// such a map, and a mosaic that draws each tile of an image with the atlas
// tile matching its darkness. The Voronoi class names (and their log
// messages) keep the spelling "Voroni" that configurations use.
//
// Seeds: a pixel with alpha 1 is a seed and holds its own pixel position as
// bytes: red = x mod 256, green = y mod 256, blue = (y / 256) * 8 + x / 256.
// A map is therefore square, a power of two and at most 2048 pixels a side.
// A decoded position is the centre of the seed's pixel.
#include <memory>
#include <string>

#include "gpu/GPUPicture.h"
#include "gpu/GPUTwoInputFilter.h"
#include "platform/foundation/Expected.h"

// A two-input filter that hands one of its inputs on unchanged when its
// settings give it nothing else to draw (never a division by zero or NaN).
class GPUTwoInputFallbackFilter : public GPUTwoInputFilter {
 protected:
  GPUTwoInputFallbackFilter(const std::string& vertexShader, const std::string& fragmentShader);
  // On the processing queue: the texture copied into the filter's framebuffer.
  void renderInputUnchanged(const GPUQuad& vertices, const GPUQuad& textureCoordinates, GLuint texture);

 private:
  GLProgram* passThroughProgram_ = nullptr;
  GLint passThroughInputUniform_ = -1;
};

// The largest side a seed map may have: the blue byte holds 3 bits of x.
inline constexpr int kVoroniMaximumMapSide = 2048;

// Whether a map of the size can be decoded: square, a power of two, at most
// kVoroniMaximumMapSide; the failure names what is wrong.
fd::Status voroniMapSizeStatus(gfx::Size size);

// What both Voronoi filters share: the map size that decodes positions. Until
// a good size has been accepted the filter hands its first input on unchanged.
class GPUVoroniMapFilter : public GPUTwoInputFallbackFilter {
 public:
  // Stores the size; a good one is sent to the shader, a bad one is logged
  // and returned and leaves the shader's size as it was.
  fd::Status setSizeInPixels(gfx::Size size);
  // The same for a configuration, which sends the size as a point.
  void setSizeInPixelsPoint(gfx::Point size) { (void)setSizeInPixels({size.x, size.y}); }
  gfx::Size sizeInPixels() const { return sizeInPixels_; }
  ~GPUVoroniMapFilter() override;

 protected:
  GPUVoroniMapFilter(const std::string& vertexShader, const std::string& fragmentShader);
  // Processing queue only.
  bool hasMapSize() const { return hasMapSize_; }

 private:
  GLint sizeUniform_ = -1;
  gfx::Size sizeInPixels_;
  bool hasMapSize_ = false;
};

// The Voronoi map of the seed picture (first input): every pixel takes the
// colour of the nearest seed, found by jump flooding. After a first pass at
// half the picture, numPasses + 1 passes halve the step from 1/2 of the
// picture down to half a pixel. The passes alternate between two full-size
// framebuffers so that the last lands in the filter's own, which targets and
// capture read. The second input is not read and not waited for.
class GPUJFAVoroniFilter : public GPUVoroniMapFilter {
 public:
  GPUJFAVoroniFilter();
  ~GPUJFAVoroniFilter() override;

  // The power of two at or above the larger side (1 for sides below 1).
  static unsigned nextPowerOfTwo(gfx::Size size);
  // log2 of nextPowerOfTwo of the framebuffer size, set when it is made.
  unsigned numPasses() const { return numPasses_; }

  void createFilterFBOofSize(gfx::Size size) override;
  void destroyFilterFBO() override;
  void deleteOutputTexture() override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;

 private:
  void floodPass(const GPUQuad& vertices, const GPUQuad& textureCoordinates, GLuint source, float step,
                 bool intoOwnFramebuffer);

  glx::TextureHandle secondFilterOutputTexture_;
  glx::FramebufferHandle secondFilterFramebuffer_;
  GLint sampleStepUniform_ = -1;
  unsigned numPasses_ = 0;
};

// Colours the first input by a Voronoi map (second input): each pixel shows
// the first input at the position of the seed its map pixel names.
class GPUVoroniConsumerFilter : public GPUVoroniMapFilter {
 public:
  GPUVoroniConsumerFilter();
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
};

// Replaces each display tile of the image by the atlas tile picked by the
// tile's darkness (its top-left sample), tinted by that sample while colorOn
// is set. The atlas is the first input, loaded by setTileSet; the image is
// always the second input and decides the output size. Without an atlas, or
// with a zero tile size or fewer than one tile, the image is handed on
// unchanged.
class GPUMosaicFilter : public GPUTwoInputFallbackFilter {
 public:
  GPUMosaicFilter();
  ~GPUMosaicFilter() override;

  // Each component clamped to 0..1.
  void setInputTileSize(gfx::Size size);
  void setDisplayTileSize(gfx::Size size);
  void setNumTiles(float count);
  void setColorOn(bool on);
  gfx::Size inputTileSize() const { return inputTileSize_; }
  gfx::Size displayTileSize() const { return displayTileSize_; }
  float numTiles() const { return numTiles_; }
  bool colorOn() const { return colorOn_; }

  // The atlas from the bundle picture of that name (".png" is assumed when
  // the name has no extension); a picture that cannot be read, or a name
  // leading out of the resources, is the failure, and the atlas in use stays.
  fd::Status setTileSet(const std::string& name);
  // The picture a tile-set name stands for, or why the name is refused.
  static fd::Expected<std::filesystem::path> tileSetFileNamed(const std::string& name);
  // The atlas from a picture already in memory.
  void setTileSetImage(const gfx::Image& atlas);
  bool hasTileSet() const { return pic_ != nullptr; }

  // For a configuration: sizes come as points, the flag as a number, and a
  // tile set that cannot be read is logged.
  void setInputTileSizePoint(gfx::Point size) { setInputTileSize({size.x, size.y}); }
  void setDisplayTileSizePoint(gfx::Point size) { setDisplayTileSize({size.x, size.y}); }
  void setColorOnNumber(float on) { setColorOn(on != 0.0f); }
  void loadTileSet(const std::string& name);

  // The image comes in at index 1 whatever the order of attaching.
  int nextAvailableTextureIndex() const override { return 1; }
  void setInputSize(gfx::Size size, int textureIndex) override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;

 private:
  // The settings the draw reads, updated on the processing queue in order
  // with the uniforms.
  struct DrawSettings {
    gfx::Size inputTileSize{0.125f, 0.125f};
    gfx::Size displayTileSize{0.025f, 0.025f};
    float numTiles = 64;
  };
  void updateDrawSettings();
  bool drawsTiles() const;

  GLint inputTileSizeUniform_ = -1, numTilesUniform_ = -1, displayTileSizeUniform_ = -1, colorOnUniform_ = -1;
  std::shared_ptr<GPUPicture> pic_;
  gfx::Size inputTileSize_{0.125f, 0.125f};
  float numTiles_ = 64;
  gfx::Size displayTileSize_{0.025f, 0.025f};
  bool colorOn_ = true;
  DrawSettings drawSettings_;  // processing queue only
};

void registerVoronoiFilters();
