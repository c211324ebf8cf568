#include "model/ExtendDataModel.h"

#include "model/DeviceScreen.h"

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr const char* kColorIndexKey = "ColorIndex";
constexpr const char* kIsLoginKey = "isLogin";
constexpr const char* kUserNameKey = "userName";
constexpr const char* kPassWordKey = "passWord";

// The palette, index 1 first.
constexpr std::uint32_t kPalette[ExtendDataModel::kPaletteSize] = {
    0xFED7BC, 0xFDABAA, 0xEF9CAE, 0xCF9AB3, 0xC1CFB8, 0xBAFBB4, 0xBEFF92, 0xD2FF80, 0xFFFC85,
    0xFEE38B, 0xFDAE8C, 0xF3886F, 0xDF3760, 0xAF3A77, 0x664487, 0x557886, 0x50B87D, 0x51BC4B,
    0x68C331, 0xC3C431, 0xD78D31, 0xD84132, 0x88100F, 0x43001D, 0x33002B, 0x12092C, 0x0B1E2B,
    0x0B3B29, 0x0D3D13, 0x163E09, 0x3A3D09, 0x442809, 0x430808, 0xFFFFFF, 0xF1F1F1, 0xDADADB,
    0xB3B3B3, 0x909090, 0x6E6E6E, 0x4F4F4F, 0x393939, 0x272727, 0x121212, 0x000000,
};

}  // namespace

ExtendDataModel::ExtendDataModel() : brushSetting_(kBrushPresetCount) {
  for (int i = 0; i < kPaletteSize; ++i) {
    std::uint32_t c = kPalette[i];
    colors_[i] = gfx::Color::rgba8((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
  }
  cuColorIndex_ = static_cast<int>(fd::UserDefaults::standard().integerForKey(kColorIndexKey));
  readLimitFrames();
  readLumisto();
}

std::filesystem::path ExtendDataModel::limitFramesPath() {
  return fd::paths::library() / "limit" / "limitFrames.plist";
}

std::filesystem::path ExtendDataModel::lumistoPath() {
  return fd::paths::library() / "lumisto" / "lumisto.plist";
}

void ExtendDataModel::readLimitFrames() {
  limitFramesDict_.clear();
  // Its writes (and the login record's) are atomic: a kill leaves a temp file
  // beside it, which nothing but this first read can tell from a live one.
  fd::files::removeAtomicWriteLeftoversOf(limitFramesPath());
  fd::Expected<fd::Value> v =
      fd::readStoredDictionary(limitFramesPath(), fd::DamagedFileReport::Kind::Settings, "limitFrames.plist");
  if (!v || !v->isDictionary()) return;
  for (const auto& [name, frames] : *v->dictionary()) {
    if (frames.isNumber() || frames.isString()) limitFramesDict_[name] = frames.intValue();
  }
}

void ExtendDataModel::readLumisto() {
  fd::files::removeAtomicWriteLeftoversOf(lumistoPath());
  const fd::Expected<fd::Value> v =
      fd::readStoredDictionary(lumistoPath(), fd::DamagedFileReport::Kind::Settings, "lumisto.plist");
  isLoginLumisto_ = v && (*v)[kIsLoginKey].boolValue();
  lumistoUserName_ = isLoginLumisto_ ? (*v)[kUserNameKey].stringValue() : "";
  lumistoPassword_ = isLoginLumisto_ ? (*v)[kPassWordKey].stringValue() : "";
  isLogined_ = false;
}

gfx::Color ExtendDataModel::cuColor() const {
  if (cuColorIndex_ >= 1 && cuColorIndex_ <= kPaletteSize) return colors_[cuColorIndex_ - 1];
  return gfx::Color::black();
}

std::optional<BrushPreset> ExtendDataModel::dicWithBrushMark(int n) const {
  if (n < 0 || n >= kBrushPresetCount) return std::nullopt;
  return brushSetting_[n];
}

void ExtendDataModel::setDicWithBrushMark(int n, int size, float opacity) {
  if (n < 0 || n >= kBrushPresetCount) return;
  brushSetting_[n] = BrushPreset{size, opacity};
}

void ExtendDataModel::saveData() {
  fd::UserDefaults& defaults = fd::UserDefaults::standard();
  defaults.setObject(kColorIndexKey, fd::Value(cuColorIndex_));
  defaults.synchronize();
}

void ExtendDataModel::saveLimitFramesDict() {
  fd::files::createDirectory(limitFramesPath().parent_path());
  fd::Dictionary d;
  for (const auto& [name, frames] : limitFramesDict_) d[name] = fd::Value(frames);
  (void)fd::writePropertyList(limitFramesPath(), fd::Value(std::move(d)));
}

void ExtendDataModel::saveLumistoInfo() {
  fd::files::createDirectory(lumistoPath().parent_path());
  fd::Dictionary d{{kIsLoginKey, fd::Value(isLoginLumisto_)}};
  if (isLoginLumisto_) {
    d[kUserNameKey] = fd::Value(lumistoUserName_);
    d[kPassWordKey] = fd::Value(lumistoPassword_);
  }
  (void)fd::writePropertyList(lumistoPath(), fd::Value(std::move(d)));
}

bool ExtendDataModel::isIphone5ScreenSize() const {
  return DeviceScreen::boundsWidth() == 320.0f && DeviceScreen::boundsHeight() == 568.0f;
}
