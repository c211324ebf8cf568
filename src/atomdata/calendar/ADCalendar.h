#pragma once
// The calendar family: the user's calendars, events with their times, places,
// participants, reminders and recurrences, settings, and messages. Calendars
// mark their kind with a gd kind attribute; only messages use a category.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADGeo.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/calendar/ADCalendarElements.h"

inline constexpr const char kADCalendarServiceVersion[] = "2.1";
inline constexpr const char kADCalendarKindMessage[] = AD_SCHEMA_ROOT "/g/2005#message";
inline constexpr const char kADCalendarLinkRelWebContent[] = AD_SCHEMA_ROOT "/gCal/2005/webContent";

// The time zone and cleaning count that calendars and event feeds share.
#define AD_CALENDAR_TIME_ZONE_ACCESSORS                                                                  \
  std::shared_ptr<ADTimeZoneProperty> timeZoneName() const { return objectFor<ADTimeZoneProperty>(); }  \
  void setTimeZoneName(std::shared_ptr<ADTimeZoneProperty> v) { setObject(std::move(v), ADTimeZoneProperty::adClass()); } \
  std::optional<int> timesCleaned() const {                                                             \
    auto t = objectFor<ADTimesCleanedProperty>();                                                       \
    return t ? t->intNumberValue() : std::nullopt;                                                      \
  }                                                                                                     \
  void setTimesCleaned(std::optional<int> v) {                                                          \
    setObject(ADValueConstruct::valueWithNumber<ADTimesCleanedProperty>(v), ADTimesCleanedProperty::adClass()); \
  }

// A repeated child of class Type: list, set and add.
#define AD_CALENDAR_LIST(Type, list, List, One)                                                  \
  std::vector<std::shared_ptr<Type>> list() const { return objectsFor<Type>(); }                 \
  void set##List(const std::vector<std::shared_ptr<Type>>& v) { setObjects(v, Type::adClass()); } \
  void add##One(std::shared_ptr<Type> v) { addObject(std::move(v), Type::adClass()); }
// A single child of class Type.
#define AD_CALENDAR_ONE(Type, one, One)                               \
  std::shared_ptr<Type> one() const { return objectFor<Type>(); }     \
  void set##One(std::shared_ptr<Type> v) { setObject(std::move(v), Type::adClass()); }

class ADEntryCalendar : public ADEntryBase {
  AD_CLASS(ADEntryCalendar)
  // The base namespaces, "gCal", then geo, georss and gml.
  static ADNamespaces calendarNamespaces();
  static std::shared_ptr<ADEntryCalendar> calendarEntry();
  // Enters every calendar entry and feed class that names a kind.
  static void registerClasses();
  void addExtensionDeclarations() override;
  AD_CALENDAR_ONE(ADColorProperty, color, Color)
  AD_CALENDAR_ONE(ADAccessLevelProperty, accessLevel, AccessLevel)
  AD_CALENDAR_ONE(ADOverrideNameProperty, overrideName, OverrideName)
  AD_CALENDAR_TIME_ZONE_ACCESSORS
  // Absent reads false; false removes the element.
  bool isHidden() const;
  void setIsHidden(bool v);
  bool isSelected() const;
  void setIsSelected(bool v);
  AD_CALENDAR_LIST(ADWhen, whens, Whens, When)
  AD_CALENDAR_LIST(ADWhere, locations, Locations, Location)
};

class ADEntryEvent : public ADEntryBase {
  AD_CLASS(ADEntryEvent)
  void addExtensionDeclarations() override;
  AD_CALENDAR_ONE(ADEventStatus, eventStatus, EventStatus)
  AD_CALENDAR_ONE(ADTransparency, transparency, Transparency)
  AD_CALENDAR_ONE(ADVisibility, visibility, Visibility)
  AD_CALENDAR_ONE(ADOriginalEvent, originalEvent, OriginalEvent)
  AD_CALENDAR_ONE(ADComment, comment, Comment)
  AD_CALENDAR_LIST(ADRecurrenceException, recurrenceExceptions, RecurrenceExceptions, RecurrenceException)
  AD_CALENDAR_LIST(ADWhen, times, Times, Time)
  AD_CALENDAR_LIST(ADWho, participants, Participants, Participant)
  AD_CALENDAR_LIST(ADWhere, locations, Locations, Location)

  std::shared_ptr<ADRecurrence> recurrence() const { return objectFor<ADRecurrence>(); }
  // Moves the reminders between the entry and its first time when the event
  // gains or loses its recurrence.
  void setRecurrence(std::shared_ptr<ADRecurrence> recurrence);

  // A recurring event keeps its reminders itself; any other on its first time.
  AD_CALENDAR_LIST(ADReminder, recurrenceReminders, RecurrenceReminders, RecurrenceReminder)
  std::vector<std::shared_ptr<ADReminder>> nonRecurrenceReminders() const;
  // Ignored for an event without a time.
  void setNonRecurrenceReminders(const std::vector<std::shared_ptr<ADReminder>>& v);
  void addNonRecurrenceReminder(std::shared_ptr<ADReminder> v);
  std::vector<std::shared_ptr<ADReminder>> reminders() const;
  void setReminders(const std::vector<std::shared_ptr<ADReminder>>& v);
  void addReminder(std::shared_ptr<ADReminder> v);

  // The part after the last "#"; nullopt when there is none.
  static std::optional<std::string> suffixAfterPoundSign(const std::optional<std::string>& text);
};

class ADEntryCalendarEvent : public ADEntryEvent {
  AD_CLASS(ADEntryCalendarEvent)
  // The calendar namespaces without the geo ones.
  static ADNamespaces calendarEventNamespaces();
  static std::shared_ptr<ADEntryCalendarEvent> calendarEvent();
  void addExtensionDeclarations() override;
  // Always stored, whatever the value.
  bool shouldSendEventNotifications() const;
  void setShouldSendEventNotifications(bool v);
  // Absent reads false; false removes the element.
  bool isPrivateCopy() const;
  void setIsPrivateCopy(bool v);
  bool isQuickAdd() const;
  void setIsQuickAdd(bool v);
  bool isSyncEvent() const;
  void setIsSyncEvent(bool v);
  bool canGuestsModify() const;
  void setCanGuestsModify(bool v);
  bool canAnyoneAddSelf() const;
  void setCanAnyoneAddSelf(bool v);
  // Absent reads true; true removes the element.
  bool canGuestsInviteOthers() const;
  void setCanGuestsInviteOthers(bool v);
  bool canGuestsSeeGuests() const;
  void setCanGuestsSeeGuests(bool v);
  std::optional<std::string> iCalUID() const { return ADValueConstruct::stringValueOfChild<ADICalUIDProperty>(*this); }
  void setICalUID(const std::optional<std::string>& v) { ADValueConstruct::setChildWithNonEmptyString<ADICalUIDProperty>(*this, v); }
  std::optional<int> sequenceNumber() const;
  void setSequenceNumber(std::optional<int> v);
  std::optional<std::string> suppressReplyNotificationTypes() const {
    return ADValueConstruct::stringValueOfChild<ADSuppressReplyNotificationsProperty>(*this);
  }
  void setSuppressReplyNotificationTypes(const std::optional<std::string>& v) {
    ADValueConstruct::setChildWithString<ADSuppressReplyNotificationsProperty>(*this, v);
  }
  AD_CALENDAR_LIST(ADExtendedProperty, extendedProperties, ExtendedProperties, ExtendedProperty)
  std::shared_ptr<ADGeo> geoLocation() const { return ADGeo::geoLocationForObject(*this); }
  void setGeoLocation(std::shared_ptr<ADGeo> geo) { ADGeo::setGeoLocation(std::move(geo), *this); }
  std::shared_ptr<ADLink> webContentLink() const { return linkWithRelAttributeValue(kADCalendarLinkRelWebContent); }
  std::shared_ptr<ADWebContent> webContent() const;
};

class ADEntryCalendarSettings : public ADEntryBase {
  AD_CLASS(ADEntryCalendarSettings)
  void addExtensionDeclarations() override;
  AD_CALENDAR_ONE(ADCalendarSettingsProperty, settingsProperty, SettingsProperty)
};

class ADEntryMessage : public ADEntryBase {
  AD_CLASS(ADEntryMessage)
  static std::shared_ptr<ADEntryMessage> message();
  void addExtensionDeclarations() override;
  AD_CALENDAR_ONE(ADRating, rating, Rating)
  AD_CALENDAR_ONE(ADWhen, time, Time)
  AD_CALENDAR_ONE(ADGeoPt, geoPt, GeoPt)
  AD_CALENDAR_LIST(ADWho, participants, Participants, Participant)
};

class ADFeedCalendar : public ADFeedBase {
  AD_CLASS(ADFeedCalendar)
  static std::shared_ptr<ADFeedCalendar> calendarFeed();
  static fd::Expected<std::shared_ptr<ADFeedCalendar>> calendarFeedWithXMLData(std::string_view data);
  const ADClass* classForEntries() const override { return &ADEntryCalendar::adClass(); }
};

class ADFeedEvent : public ADFeedBase {
  AD_CLASS(ADFeedEvent)
  static fd::Expected<std::shared_ptr<ADFeedEvent>> eventFeedWithXMLData(std::string_view data);
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntryEvent::adClass(); }
  AD_CALENDAR_LIST(ADWhere, wheres, Wheres, Where)
};

class ADFeedCalendarEvent : public ADFeedEvent {
  AD_CLASS(ADFeedCalendarEvent)
  static std::shared_ptr<ADFeedCalendarEvent> calendarEventFeed();
  static fd::Expected<std::shared_ptr<ADFeedCalendarEvent>> calendarEventFeedWithXMLData(std::string_view data);
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntryCalendarEvent::adClass(); }
  AD_CALENDAR_TIME_ZONE_ACCESSORS
};

class ADFeedCalendarSettings : public ADFeedBase {
  AD_CLASS(ADFeedCalendarSettings)
};

class ADFeedMessage : public ADFeedBase {
  AD_CLASS(ADFeedMessage)
  static std::shared_ptr<ADFeedMessage> messageFeed();
  static fd::Expected<std::shared_ptr<ADFeedMessage>> messageFeedWithXMLData(std::string_view data);
  const ADClass* classForEntries() const override { return &ADEntryMessage::adClass(); }
};

#undef AD_CALENDAR_ONE
#undef AD_CALENDAR_LIST
#undef AD_CALENDAR_TIME_ZONE_ACCESSORS

class ADQueryCalendar : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryCalendar> calendarQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryCalendar>(std::move(url));
  }
#define AD_CALENDAR_DATE(getter, Setter, parameter)                                                     \
  std::optional<ADDateTime> getter() const { return dateTimeForParameterWithName(parameter); }          \
  void set##Setter(const std::optional<ADDateTime>& v) { addCustomParameterWithNameDateTime(parameter, v); }
#define AD_CALENDAR_FLAG(getter, Setter, parameter, defaultValue)                                       \
  bool getter() const { return boolValueForParameterWithName(parameter, defaultValue); }                \
  void set##Setter(bool v) { addCustomParameterWithNameBoolValueDefaultValue(parameter, v, defaultValue); }
  AD_CALENDAR_DATE(minimumStartTime, MinimumStartTime, "start-min")
  AD_CALENDAR_DATE(maximumStartTime, MaximumStartTime, "start-max")
  AD_CALENDAR_DATE(recurrenceExpansionStartTime, RecurrenceExpansionStartTime, "recurrence-expansion-start")
  AD_CALENDAR_DATE(recurrenceExpansionEndTime, RecurrenceExpansionEndTime, "recurrence-expansion-end")
  AD_CALENDAR_FLAG(shouldQueryAllFutureEvents, ShouldQueryAllFutureEvents, "futureevents", false)
  AD_CALENDAR_FLAG(shouldExpandRecurrentEvents, ShouldExpandRecurrentEvents, "singleevents", false)
  AD_CALENDAR_FLAG(shouldShowInlineComments, ShouldShowInlineComments, "showinlinecomments", true)
  AD_CALENDAR_FLAG(shouldShowHiddenEvents, ShouldShowHiddenEvents, "showhidden", false)
#undef AD_CALENDAR_FLAG
#undef AD_CALENDAR_DATE
  std::optional<std::string> currentTimeZoneName() const { return valueForParameterWithName("ctz"); }
  // Blanks become "_", as zone names are written.
  void setCurrentTimeZoneName(const std::optional<std::string>& name);
};

class ADServiceCalendar : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://calendar.flipdesk.net/calendar/feeds/";
  static constexpr const char kAuthorizationScope[] = "http://calendar.flipdesk.net/calendar/feeds/";
  std::string serviceID() const override { return "cl"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string authorizationScope() const override { return kAuthorizationScope; }
  std::string defaultServiceVersion() const override { return kADCalendarServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADEntryCalendar::calendarNamespaces(); }
  // Root, then the percent-encoded user name.
  static std::string calendarFeedURLForUsername(const std::string& username);
  // Root, the percent-encoded user name, then "/settings".
  static std::string settingsFeedURLForUsername(const std::string& username);
  std::shared_ptr<ADServiceTicket> fetchCalendarFeedForUsername(const std::string& username,
                                                                ADServiceCompletion completion) {
    return fetchFeedWithURL(calendarFeedURLForUsername(username), std::move(completion));
  }
};
