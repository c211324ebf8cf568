#pragma once
// Settings and hand-over state the screens share beyond the project itself:
// palette and current colour, brush presets, the desk's page and picker flags,
// per-sound frame limits and the community login record. Only the colour
// index, the frame limits and the login record outlive the process.
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"

class AudioPlayer;  // the desk's queue player
namespace media {
class ClipPlayer;  // the platform's clip player
}

struct BrushPreset {
  int size = 32;
  float opacity = 1.0f;
  bool operator==(const BrushPreset&) const = default;
};

class ExtendDataModel {
 public:
  static constexpr int kPaletteSize = 44;
  static constexpr int kBrushPresetCount = 8;

  ExtendDataModel();

  // --- persisted
  void saveData();             // ColorIndex, then synchronize
  void saveLimitFramesDict();  // <Library>/limit/limitFrames.plist
  void saveLumistoInfo();      // <Library>/lumisto/lumisto.plist
  static std::filesystem::path limitFramesPath();
  static std::filesystem::path lumistoPath();

  // --- palette and colour
  const std::array<gfx::Color, kPaletteSize>& colors() const { return colors_; }
  int cuColorIndex() const { return cuColorIndex_; }
  void setCuColorIndex(int index) { cuColorIndex_ = index; }
  gfx::Color cuColor() const;

  // --- brushes
  std::optional<BrushPreset> dicWithBrushMark(int n) const;
  void setDicWithBrushMark(int n, int size, float opacity);
  const std::vector<BrushPreset>& brushSetting() const { return brushSetting_; }
  float brushSize() const { return brushSize_; }
  void setBrushSize(float s) { brushSize_ = s; }

  // --- desk state
  int curPage() const { return curPage_; }
  void setCurPage(int p) { curPage_ = p; }
  bool isBackground() const { return isBackground_; }
  void setIsBackground(bool b) { isBackground_ = b; }
  const std::optional<std::string>& backgroundName() const { return backgroundName_; }
  void setBackgroundName(std::optional<std::string> n) { backgroundName_ = std::move(n); }
  bool showRenameView() const { return showRenameView_; }
  void setShowRenameView(bool b) { showRenameView_ = b; }
  bool isDrawing() const { return isDrawing_; }
  void setIsDrawing(bool b) { isDrawing_ = b; }
  bool isOpicaty() const { return isOpicaty_; }
  void setIsOpicaty(bool b) { isOpicaty_ = b; }
  bool isSize() const { return isSize_; }
  void setIsSize(bool b) { isSize_ = b; }
  bool isBrush() const { return isBrush_; }
  void setIsBrush(bool b) { isBrush_ = b; }
  bool isTVOut() const { return isTVOut_; }
  void setIsTVOut(bool b) { isTVOut_ = b; }
  // The clips the players hand over while they sound, so a screen that
  // closes can silence them; holding one neither starts nor stops it.
  const std::shared_ptr<AudioPlayer>& player() const { return player_; }
  void setPlayer(std::shared_ptr<AudioPlayer> p) { player_ = std::move(p); }
  const std::shared_ptr<media::ClipPlayer>& avAudio() const { return avAudio_; }
  void setAvAudio(std::shared_ptr<media::ClipPlayer> p) { avAudio_ = std::move(p); }

  // --- frame limits: sound file name -> frames
  std::map<std::string, int>& limitFramesDict() { return limitFramesDict_; }
  void setLimitFramesDict(std::map<std::string, int> d) { limitFramesDict_ = std::move(d); }

  // --- hand-over values
  bool isPackage() const { return isPackage_; }
  void setIsPackage(bool b) { isPackage_ = b; }
  const std::optional<std::string>& pdfName() const { return pdfName_; }
  void setPdfName(std::optional<std::string> n) { pdfName_ = std::move(n); }
  const std::optional<std::string>& vedioID() const { return vedioID_; }
  void setVedioID(std::optional<std::string> n) { vedioID_ = std::move(n); }

  // --- community login (kept in plain text, as the stored record has it)
  const std::string& lumistoUserName() const { return lumistoUserName_; }
  void setLumistoUserName(std::string s) { lumistoUserName_ = std::move(s); }
  const std::string& lumistoPassword() const { return lumistoPassword_; }
  void setLumistoPassword(std::string s) { lumistoPassword_ = std::move(s); }
  bool isLoginLumisto() const { return isLoginLumisto_; }
  void setIsLoginLumisto(bool b) { isLoginLumisto_ = b; }
  bool isLogined() const { return isLogined_; }
  void setIsLogined(bool b) { isLogined_ = b; }
  bool isCancelLoad() const { return isCancelLoad_; }
  void setIsCancelLoad(bool b) { isCancelLoad_ = b; }

  // Tall-screen layouts: the main screen's bounds are exactly 320 x 568.
  bool isIphone5ScreenSize() const;

 private:
  void readLimitFrames();
  void readLumisto();

  int curPage_ = 1;
  std::array<gfx::Color, kPaletteSize> colors_{};
  bool isBackground_ = false;
  std::optional<std::string> backgroundName_;
  bool showRenameView_ = false;
  std::vector<BrushPreset> brushSetting_;
  bool isDrawing_ = false;
  bool isOpicaty_ = false;
  bool isSize_ = false;
  bool isBrush_ = false;
  int cuColorIndex_ = 0;
  std::shared_ptr<AudioPlayer> player_;
  bool isTVOut_ = false;
  std::shared_ptr<media::ClipPlayer> avAudio_;
  std::map<std::string, int> limitFramesDict_;
  bool isPackage_ = false;
  std::optional<std::string> pdfName_;
  std::optional<std::string> vedioID_;
  std::string lumistoUserName_;
  std::string lumistoPassword_;
  bool isLoginLumisto_ = false;
  bool isLogined_ = false;
  bool isCancelLoad_ = false;
  float brushSize_ = 32.0f;
};
