// Kept apart from the recogniser so that recognising strokes needs nothing of
// the notification machinery.
#include "canvas/shape/Unitily.h"
#include "platform/foundation/NotificationCenter.h"

void Unitily::postShape(const fd::Value& shape) {
  fd::Dictionary info;
  info[kShapePointsKey] = shape;
  fd::NotificationCenter::defaultCenter().post(kNeedDrawShapeNotification, nullptr, fd::Value(std::move(info)));
}
