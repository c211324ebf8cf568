#pragma once
// The animation timeline: how long a frame shows, the playback speeds, and
// the frame manager's sound timeline on which tags are placed.
namespace timeline {

// Seconds a frame shows at speed 1; at speed s it shows kFrameSeconds / s.
inline constexpr double kFrameSeconds = 0.08;
inline constexpr float kNewProjectSpeed = 0.25f;
// Sound plays only at exactly this speed (a frame every 0.16 s).
inline constexpr float kSoundSpeed = 0.5f;
inline constexpr double kSoundFrameSeconds = kFrameSeconds / kSoundSpeed;

// The sound timeline spreads frames 1..N over kSpanX points from
// kTrackStartX; a tag's start sits at kStartX, its end kEndOffsetX points into
// the frame.
inline constexpr float kTrackStartX = 45.0f;
inline constexpr float kStartX = 49.0f;
inline constexpr float kEndOffsetX = 40.0f;
inline constexpr float kSpanX = 330.0f;
inline constexpr float kEndX = 380.0f;  // the timeline's right end
// A new tag is placed this far right of the slider, and needs more room than
// kMinimumTagWidth.
inline constexpr float kPointerOffsetX = 5.0f;
inline constexpr float kMinimumTagWidth = 20.0f;

}  // namespace timeline
