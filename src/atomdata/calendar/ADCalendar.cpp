#include "atomdata/calendar/ADCalendar.h"

#include <algorithm>

#include "atomdata/ADUtilities.h"

#define CAL_KIND(value) .kindAttributeValue = value, .serviceVersion = kADCalendarServiceVersion
#define MESSAGE_KIND .standardKind = kADCalendarKindMessage, .serviceVersion = kADCalendarServiceVersion

AD_DEFINE_CLASS(ADEntryCalendar, ADEntryBase, CAL_KIND("calendar#calendar"))
AD_DEFINE_CLASS(ADEntryEvent, ADEntryBase, .serviceVersion = kADCalendarServiceVersion)
AD_DEFINE_CLASS(ADEntryCalendarEvent, ADEntryEvent, CAL_KIND("calendar#event"))
AD_DEFINE_CLASS(ADEntryCalendarSettings, ADEntryBase, CAL_KIND("calendar#settings"))
AD_DEFINE_CLASS(ADEntryMessage, ADEntryBase, MESSAGE_KIND)
AD_DEFINE_CLASS(ADFeedCalendar, ADFeedBase, CAL_KIND("calendar#calendarFeed"))
AD_DEFINE_CLASS(ADFeedEvent, ADFeedBase, .serviceVersion = kADCalendarServiceVersion)
AD_DEFINE_CLASS(ADFeedCalendarEvent, ADFeedEvent, CAL_KIND("calendar#eventFeed"))
AD_DEFINE_CLASS(ADFeedCalendarSettings, ADFeedBase, CAL_KIND("calendar#settingFeed"))
AD_DEFINE_CLASS(ADFeedMessage, ADFeedBase, MESSAGE_KIND)

namespace {

// A flag element that stands only when the value differs from the default.
template <typename T>
bool flagOfChild(const ADObject& holder, bool defaultValue) {
  auto child = holder.objectFor<T>();
  return child ? child->boolValue() : defaultValue;
}

template <typename T>
void setFlagOfChild(ADObject& holder, bool value, bool defaultValue) {
  holder.setObject(value == defaultValue ? nullptr : ADBoolValueConstruct::boolValueWithBool<T>(value), T::adClass());
}

}  // namespace

// --- Calendar entry ---

ADNamespaces ADEntryCalendar::calendarNamespaces() {
  ADNamespaces namespaces = ADEntryCalendarEvent::calendarEventNamespaces();
  for (const auto& [prefix, uri] : ADGeo::geoNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

std::shared_ptr<ADEntryCalendar> ADEntryCalendar::calendarEntry() {
  return ADObjectWithNamespaces<ADEntryCalendar>(calendarNamespaces());
}

void ADEntryCalendar::registerClasses() {
  for (const ADClass* cls : {&ADEntryCalendar::adClass(), &ADEntryCalendarEvent::adClass(),
                             &ADEntryCalendarSettings::adClass(), &ADEntryMessage::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedCalendar::adClass(), &ADFeedCalendarEvent::adClass(),
                             &ADFeedCalendarSettings::adClass(), &ADFeedMessage::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

void ADEntryCalendar::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADAccessLevelProperty::adClass(), &ADColorProperty::adClass(), &ADHiddenProperty::adClass(),
                  &ADOverrideNameProperty::adClass(), &ADSelectedProperty::adClass(), &ADTimeZoneProperty::adClass(),
                  &ADTimesCleanedProperty::adClass(), &ADWhen::adClass(), &ADWhere::adClass()});
}

bool ADEntryCalendar::isHidden() const { return flagOfChild<ADHiddenProperty>(*this, false); }
void ADEntryCalendar::setIsHidden(bool v) { setFlagOfChild<ADHiddenProperty>(*this, v, false); }
bool ADEntryCalendar::isSelected() const { return flagOfChild<ADSelectedProperty>(*this, false); }
void ADEntryCalendar::setIsSelected(bool v) { setFlagOfChild<ADSelectedProperty>(*this, v, false); }

// --- Event entry ---

void ADEntryEvent::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADRecurrenceException::adClass(), &ADReminder::adClass(), &ADRecurrence::adClass(),
                  &ADWhere::adClass(), &ADEventStatus::adClass(), &ADVisibility::adClass(),
                  &ADTransparency::adClass(), &ADWho::adClass(), &ADWhen::adClass(), &ADOriginalEvent::adClass(),
                  &ADComment::adClass()});
  addExtensionDeclarationForParentClass(ADWhen::adClass(), ADReminder::adClass());
}

void ADEntryEvent::setRecurrence(std::shared_ptr<ADRecurrence> recurrence) {
  const bool had = this->recurrence() != nullptr;
  std::vector<std::shared_ptr<ADWhen>> whens = times();
  std::shared_ptr<ADWhen> first = whens.empty() ? nullptr : whens.front();
  if (had && !recurrence) {
    // Dropped when there is no time to keep them on.
    if (first) ad_calendar::setReminders(*first, recurrenceReminders());
    setRecurrenceReminders({});
  } else if (!had && recurrence && first) {
    setRecurrenceReminders(ad_calendar::reminders(*first));
    ad_calendar::setReminders(*first, {});
  }
  setObject(std::move(recurrence), ADRecurrence::adClass());
}

std::vector<std::shared_ptr<ADReminder>> ADEntryEvent::nonRecurrenceReminders() const {
  std::vector<std::shared_ptr<ADWhen>> whens = times();
  return whens.empty() ? std::vector<std::shared_ptr<ADReminder>>{} : ad_calendar::reminders(*whens.front());
}

void ADEntryEvent::setNonRecurrenceReminders(const std::vector<std::shared_ptr<ADReminder>>& v) {
  std::vector<std::shared_ptr<ADWhen>> whens = times();
  if (!whens.empty()) ad_calendar::setReminders(*whens.front(), v);
}

void ADEntryEvent::addNonRecurrenceReminder(std::shared_ptr<ADReminder> v) {
  std::vector<std::shared_ptr<ADWhen>> whens = times();
  if (!whens.empty()) ad_calendar::addReminder(*whens.front(), std::move(v));
}

std::vector<std::shared_ptr<ADReminder>> ADEntryEvent::reminders() const {
  return recurrence() ? recurrenceReminders() : nonRecurrenceReminders();
}

void ADEntryEvent::setReminders(const std::vector<std::shared_ptr<ADReminder>>& v) {
  if (recurrence()) {
    setRecurrenceReminders(v);
  } else {
    setNonRecurrenceReminders(v);
  }
}

void ADEntryEvent::addReminder(std::shared_ptr<ADReminder> v) {
  if (recurrence()) {
    addRecurrenceReminder(std::move(v));
  } else {
    addNonRecurrenceReminder(std::move(v));
  }
}

std::optional<std::string> ADEntryEvent::suffixAfterPoundSign(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const std::size_t pound = text->rfind('#');
  if (pound == std::string::npos) return std::nullopt;
  return text->substr(pound + 1);
}

// --- Calendar event entry ---

ADNamespaces ADEntryCalendarEvent::calendarEventNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceGCalPrefix] = kADNamespaceGCal;
  return namespaces;
}

std::shared_ptr<ADEntryCalendarEvent> ADEntryCalendarEvent::calendarEvent() {
  return ADObjectWithNamespaces<ADEntryCalendarEvent>(ADEntryCalendar::calendarNamespaces());
}

void ADEntryCalendarEvent::addExtensionDeclarations() {
  ADEntryEvent::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(),
      {&ADSendEventNotifications::adClass(), &ADPrivateCopyProperty::adClass(), &ADQuickAddProperty::adClass(),
       &ADExtendedProperty::adClass(), &ADSyncEventProperty::adClass(), &ADSequenceProperty::adClass(),
       &ADICalUIDProperty::adClass(), &ADGuestsCanModifyProperty::adClass(),
       &ADGuestsCanInviteOthersProperty::adClass(), &ADGuestsCanSeeGuestsProperty::adClass(),
       &ADAnyoneCanAddSelfProperty::adClass(), &ADSuppressReplyNotificationsProperty::adClass()});
  addExtensionDeclarationForParentClass(ADWho::adClass(),
                                        {&ADResourceProperty::adClass(), &ADAdditionalGuests::adClass()});
  addExtensionDeclarationForParentClass(ADLink::adClass(), ADWebContent::adClass());
  ADGeo::addGeoExtensionDeclarationsToObject(*this, adClass());
}

bool ADEntryCalendarEvent::shouldSendEventNotifications() const {
  return flagOfChild<ADSendEventNotifications>(*this, false);
}
void ADEntryCalendarEvent::setShouldSendEventNotifications(bool v) {
  setObject(ADBoolValueConstruct::boolValueWithBool<ADSendEventNotifications>(v), ADSendEventNotifications::adClass());
}

#define CALENDAR_FLAG(getter, Setter, Cls, defaultValue)                                                   \
  bool ADEntryCalendarEvent::getter() const { return flagOfChild<Cls>(*this, defaultValue); }              \
  void ADEntryCalendarEvent::set##Setter(bool v) { setFlagOfChild<Cls>(*this, v, defaultValue); }
CALENDAR_FLAG(isPrivateCopy, IsPrivateCopy, ADPrivateCopyProperty, false)
CALENDAR_FLAG(isQuickAdd, IsQuickAdd, ADQuickAddProperty, false)
CALENDAR_FLAG(isSyncEvent, IsSyncEvent, ADSyncEventProperty, false)
CALENDAR_FLAG(canGuestsModify, CanGuestsModify, ADGuestsCanModifyProperty, false)
CALENDAR_FLAG(canAnyoneAddSelf, CanAnyoneAddSelf, ADAnyoneCanAddSelfProperty, false)
CALENDAR_FLAG(canGuestsInviteOthers, CanGuestsInviteOthers, ADGuestsCanInviteOthersProperty, true)
CALENDAR_FLAG(canGuestsSeeGuests, CanGuestsSeeGuests, ADGuestsCanSeeGuestsProperty, true)
#undef CALENDAR_FLAG

std::optional<int> ADEntryCalendarEvent::sequenceNumber() const {
  auto s = objectFor<ADSequenceProperty>();
  return s ? s->intNumberValue() : std::nullopt;
}

void ADEntryCalendarEvent::setSequenceNumber(std::optional<int> v) {
  setObject(ADValueConstruct::valueWithNumber<ADSequenceProperty>(v), ADSequenceProperty::adClass());
}

std::shared_ptr<ADWebContent> ADEntryCalendarEvent::webContent() const {
  std::shared_ptr<ADLink> link = webContentLink();
  return link ? link->objectFor<ADWebContent>() : nullptr;
}

// --- Settings and messages ---

void ADEntryCalendarSettings::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADCalendarSettingsProperty::adClass());
}

std::shared_ptr<ADEntryMessage> ADEntryMessage::message() {
  return ADObjectWithNamespaces<ADEntryMessage>(ADEntryBase::baseADNamespaces());
}

void ADEntryMessage::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADWhen::adClass(), &ADRating::adClass(), &ADGeoPt::adClass(), &ADWho::adClass()});
}

// --- Feeds ---

std::shared_ptr<ADFeedCalendar> ADFeedCalendar::calendarFeed() {
  return ADObjectWithNamespaces<ADFeedCalendar>(ADEntryCalendar::calendarNamespaces());
}

fd::Expected<std::shared_ptr<ADFeedCalendar>> ADFeedCalendar::calendarFeedWithXMLData(std::string_view data) {
  return ADFeedWithXMLData<ADFeedCalendar>(data);
}

fd::Expected<std::shared_ptr<ADFeedEvent>> ADFeedEvent::eventFeedWithXMLData(std::string_view data) {
  return ADFeedWithXMLData<ADFeedEvent>(data);
}

void ADFeedEvent::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADWhere::adClass());
}

std::shared_ptr<ADFeedCalendarEvent> ADFeedCalendarEvent::calendarEventFeed() {
  return ADObjectWithNamespaces<ADFeedCalendarEvent>(ADEntryCalendar::calendarNamespaces());
}

fd::Expected<std::shared_ptr<ADFeedCalendarEvent>> ADFeedCalendarEvent::calendarEventFeedWithXMLData(
    std::string_view data) {
  return ADFeedWithXMLData<ADFeedCalendarEvent>(data);
}

void ADFeedCalendarEvent::addExtensionDeclarations() {
  ADFeedEvent::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(),
                                        {&ADTimeZoneProperty::adClass(), &ADTimesCleanedProperty::adClass()});
}

std::shared_ptr<ADFeedMessage> ADFeedMessage::messageFeed() {
  return ADObjectWithNamespaces<ADFeedMessage>(ADEntryBase::baseADNamespaces());
}

fd::Expected<std::shared_ptr<ADFeedMessage>> ADFeedMessage::messageFeedWithXMLData(std::string_view data) {
  return ADFeedWithXMLData<ADFeedMessage>(data);
}

// --- Query and service ---

void ADQueryCalendar::setCurrentTimeZoneName(const std::optional<std::string>& name) {
  std::optional<std::string> written = name;
  if (written) std::replace(written->begin(), written->end(), ' ', '_');
  addCustomParameterWithName("ctz", written);
}

std::string ADServiceCalendar::calendarFeedURLForUsername(const std::string& username) {
  return std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(username);
}

std::string ADServiceCalendar::settingsFeedURLForUsername(const std::string& username) {
  return calendarFeedURLForUsername(username) + "/settings";
}
