#include "platform/media/AudioSession.h"

namespace media {

AudioSession& AudioSession::shared() {
  static AudioSession session;
  return session;
}

}  // namespace media
