#include "desk/sound/AudioRecorderManager.h"

#include "platform/media/AudioSession.h"

AudioRecorderManager& AudioRecorderManager::sharedManager() {
  // Never destroyed: its recorder and players must not reach a sound output
  // the end of the process has already taken down.
  static AudioRecorderManager* manager = new AudioRecorderManager;
  return *manager;
}

std::optional<fd::Error> AudioRecorderManager::prepareToRecordFile(const std::filesystem::path& file) {
  completeRecording();
  auto recorder = media::Recorder::prepare(file);
  if (!recorder) return fd::Error{kErrorDomain, -1, "Could not prepare recording", recorder.error()};
  recorder_ = std::move(*recorder);
  return std::nullopt;
}

bool AudioRecorderManager::record() {
  media::AudioSession::shared().setCategory(media::SessionCategory::Record);
  return recorder_ && recorder_->record();
}

bool AudioRecorderManager::recordForDuration(double seconds) {
  media::AudioSession::shared().setCategory(media::SessionCategory::Record);
  return recorder_ && recorder_->recordForDuration(seconds);
}

void AudioRecorderManager::pause() {
  if (recorder_) recorder_->pause();
}

void AudioRecorderManager::stop() {
  media::AudioSession::shared().setCategory(media::SessionCategory::SoloAmbient);
  if (recorder_) recorder_->stop();
}

void AudioRecorderManager::setHandlers(std::function<void()> ended,
                                       std::function<void(const media::RecordingOutcome&)> finished) {
  if (!recorder_) return;
  recorder_->setEndHandler(std::move(ended));
  recorder_->setFinishHandler(std::move(finished));
}

bool AudioRecorderManager::waitUntilWritten(double seconds) { return !recorder_ || recorder_->waitUntilWritten(seconds); }

void AudioRecorderManager::setMeteringEnabled(bool enabled) {
  if (recorder_) recorder_->setMeteringEnabled(enabled);
}

float AudioRecorderManager::averagePower() {
  if (!recorder_ || !recorder_->meteringEnabled()) return 0;
  recorder_->updateMeters();
  return recorder_->averagePower();
}

float AudioRecorderManager::peakPower() {
  if (!recorder_ || !recorder_->meteringEnabled()) return 0;
  recorder_->updateMeters();
  return recorder_->peakPower();
}

void AudioRecorderManager::completeRecording() {
  if (recorder_ && recorder_->isRecording()) recorder_->stop();
  media::AudioSession::shared().setCategory(media::SessionCategory::Ambient);
  recorder_.reset();
}

bool AudioRecorderManager::isRecording() const { return recorder_ && recorder_->isRecording(); }

double AudioRecorderManager::currentTime() const { return recorder_ ? recorder_->currentTime() : 0; }

std::string AudioRecorderManager::fileUrl() const {
  if (!recorder_) return {};
  return "file://" + std::filesystem::absolute(recorder_->url()).string();
}

void AudioRecorderManager::interruptionEnded() { record(); }
