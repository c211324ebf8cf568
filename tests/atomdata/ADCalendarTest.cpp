#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/calendar/ADCalendar.h"

using namespace ad_test;

namespace {

#define NS_ATTRS                                                                                 \
  R"( xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005")"        \
  R"( xmlns:gCal="http://schemas.flipdesk.net/gCal/2005" xmlns:georss="http://www.georss.org/georss")"

const std::string kCalendars = "<feed" NS_ATTRS R"( gd:kind="calendar#calendarFeed">
  <entry gd:kind="calendar#calendar">
    <title>Work</title>
    <gCal:accesslevel value="owner"/>
    <gCal:color value="#2952A3"/>
    <gCal:hidden value="true"/>
    <gCal:overridename value="Job"/>
    <gCal:selected value="true"/>
    <gCal:timezone value="Europe/Berlin"/>
    <gCal:timesCleaned value="1"/>
    <gd:where valueString="Berlin"/>
    <gd:when startTime="2009-01-01"/>
  </entry>
</feed>)";

const std::string kEvents = "<feed" NS_ATTRS R"( gd:kind="calendar#eventFeed">
  <gCal:timezone value="Europe/Berlin"/>
  <gCal:timesCleaned value="2"/>
  <gd:where valueString="Office"/>
  <entry gd:kind="calendar#event">
    <title>Standup</title>
    <link rel="http://schemas.flipdesk.net/gCal/2005/webContent" href="http://c.test/i.png" type="image/png">
      <gCal:webContent url="http://c.test/w" width="300" height="200" display="chip">
        <gCal:webContentGadgetPref name="color" value="red"/>
        <gCal:webContentGadgetPref name="size" value="2"/>
        <gCal:webContentGadgetPref name="color" value="blue"/>
      </gCal:webContent>
    </link>
    <gd:eventStatus value="http://schemas.flipdesk.net/g/2005#event.confirmed"/>
    <gd:visibility value="http://schemas.flipdesk.net/g/2005#event.default"/>
    <gd:transparency value="http://schemas.flipdesk.net/g/2005#event.opaque"/>
    <gd:when startTime="2009-06-01T09:00:00Z" endTime="2009-06-01T09:15:00Z">
      <gd:reminder minutes="10" method="alert"/>
      <gd:reminder hours="1" method="email" absoluteTime="2009-06-01T08:00:00Z"/>
    </gd:when>
    <gd:when startTime="2009-06-02T09:00:00Z"><gd:reminder days="1"/></gd:when>
    <gd:where valueString="Room 1"/>
    <gd:who rel="http://schemas.flipdesk.net/g/2005#event.organizer" valueString="Ann" email="ann@c.test">
      <gd:attendeeStatus value="http://schemas.flipdesk.net/g/2005#event.accepted"/>
      <gCal:resource value="false"/>
      <gCal:additionalGuests value="2"/>
    </gd:who>
    <gd:originalEvent id="orig1" href="http://c.test/orig1"><gd:when startTime="2009-05-01T09:00:00Z"/></gd:originalEvent>
    <gd:recurrenceException specialized="true">
      <gd:entryLink href="http://c.test/e/1"><entry><title>Moved</title></entry></gd:entryLink>
      <gd:originalEvent id="orig2" href="http://c.test/orig2"/>
    </gd:recurrenceException>
    <gd:comments><gd:feedLink href="http://c.test/comments"/></gd:comments>
    <gCal:sendEventNotifications value="false"/>
    <gCal:privateCopy value="true"/>
    <gCal:quickadd value="true"/>
    <gCal:syncEvent value="true"/>
    <gCal:guestsCanModify value="true"/>
    <gCal:guestsCanSeeGuests value="false"/>
    <gCal:anyoneCanAddSelf value="true"/>
    <gCal:sequence value="3"/>
    <gCal:uid value="abc@c.test"/>
    <gCal:suppressReplyNotifications methods="email,sms"/>
    <gd:extendedProperty name="x" value="y"/>
    <georss:point>52.5 13.25</georss:point>
  </entry>
</feed>)";

const std::string kSettings = "<feed" NS_ATTRS R"( gd:kind="calendar#settingFeed">
  <entry gd:kind="calendar#settings"><gCal:settingsProperty name="format24HourTime" value="false"/></entry>
</feed>)";

const std::string kMessages = "<feed" NS_ATTRS R"(>
  <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/g/2005#message"/>
  <entry>
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/g/2005#message"/>
    <title>Invitation</title>
    <gd:when startTime="2009-06-01T09:00:00Z"/>
    <gd:rating value="4" min="1" max="5"/>
    <gd:geoPt lat="52.5" lon="13.25" label="Berlin"/>
    <gd:who rel="http://schemas.flipdesk.net/g/2005#message.from" email="bob@c.test"/>
    <gd:who rel="http://schemas.flipdesk.net/g/2005#message.to" email="ann@c.test"/>
  </entry>
</feed>)";

class ADCalendarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerFamilies(); }
};

// The attribute of a single gCal or gd value element, as text.
template <typename T>
Text valueOf(const ADObject& holder) {
  auto child = holder.objectFor<T>();
  return child ? child->stringValue() : std::nullopt;
}

}  // namespace

TEST_F(ADCalendarTest, CalendarsParseByTheirKindAttribute) {
  auto feed = parse<ADFeedCalendar>(kCalendars);
  ASSERT_TRUE(feed);
  auto calendar = std::dynamic_pointer_cast<ADEntryCalendar>(feed->entries().at(0));
  ASSERT_TRUE(calendar);
  roundTrip(*feed, ADEntryCalendar::calendarNamespaces());
  EXPECT_EQ(calendar->locations().at(0)->stringValue(), "Berlin");
  EXPECT_EQ(text(calendar->whens().at(0)->startTime()), "2009-01-01");

  checkAccessors<ADEntryCalendar>(*calendar, {
      {"access", [](auto& e) { return e.accessLevel()->stringValue(); },
       [](auto& e, const Text& v) { e.setAccessLevel(ADValueConstruct::valueWithString<ADAccessLevelProperty>(v)); },
       "owner", "read"},
      {"color", [](auto& e) { return e.color()->stringValue(); },
       [](auto& e, const Text& v) { e.setColor(ADValueConstruct::valueWithString<ADColorProperty>(v)); }, "#2952A3",
       "#000000"},
      {"override", [](auto& e) { return valueOf<ADOverrideNameProperty>(e); },
       [](auto& e, const Text& v) { e.setOverrideName(ADValueConstruct::valueWithString<ADOverrideNameProperty>(v)); },
       "Job", std::nullopt},
      {"zone", [](auto& e) { return e.timeZoneName()->stringValue(); },
       [](auto& e, const Text& v) { e.setTimeZoneName(ADValueConstruct::valueWithString<ADTimeZoneProperty>(v)); },
       "Europe/Berlin", "Asia/Tokyo"},
      {"cleaned", [](auto& e) { return text(e.timesCleaned()); },
       [](auto& e, const Text& v) { e.setTimesCleaned(number(v)); }, "1", "7"},
      {"hidden", [](auto& e) { return text(e.isHidden()); }, [](auto& e, const Text& v) { e.setIsHidden(flag(v)); },
       "true", "false"},
      {"selected", [](auto& e) { return text(e.isSelected()); },
       [](auto& e, const Text& v) { e.setIsSelected(flag(v)); }, "true", "false"},
  });
  // False flags are no elements at all.
  EXPECT_FALSE(calendar->objectForExtensionClass(ADHiddenProperty::adClass()));
  EXPECT_FALSE(calendar->objectForExtensionClass(ADSelectedProperty::adClass()));
  calendar->setIsHidden(true);
  EXPECT_EQ(valueOf<ADHiddenProperty>(*calendar), "true");
  roundTrip(*calendar, ADEntryCalendar::calendarNamespaces());

  auto made = ADEntryCalendar::calendarEntry();
  EXPECT_EQ(made->namespaces().at("gCal"), kADNamespaceGCal);
  EXPECT_EQ(made->namespaces().at("georss"), "http://www.georss.org/georss");
  EXPECT_EQ(ADEntryCalendarEvent::calendarEventNamespaces().count("georss"), 0u);
  EXPECT_EQ(ADEntryCalendarEvent::calendarEventNamespaces().at("gCal"), kADNamespaceGCal);
  auto parsed = ADFeedCalendar::calendarFeedWithXMLData(kCalendars);
  ASSERT_TRUE(parsed.ok());
  EXPECT_TRUE(std::dynamic_pointer_cast<ADEntryCalendar>((*parsed)->entries().at(0)));
}

TEST_F(ADCalendarTest, EventsReadEveryChildTheyDeclare) {
  auto feed = parse<ADFeedCalendarEvent>(kEvents);
  ASSERT_TRUE(feed);
  auto event = std::dynamic_pointer_cast<ADEntryCalendarEvent>(feed->entries().at(0));
  ASSERT_TRUE(event);
  roundTrip(*feed, ADEntryCalendar::calendarNamespaces());
  EXPECT_EQ(feed->wheres().at(0)->stringValue(), "Office");

  // Children declared under shared elements.
  ADWho& who = *event->participants().at(0);
  EXPECT_EQ(who.attendeeStatus()->stringValue(), AD_SCHEMA_ROOT "/g/2005#event.accepted");
  EXPECT_EQ(ad_calendar::numberOfAdditionalGuests(who), 2);
  ASSERT_EQ(ad_calendar::resourceProperties(who).size(), 1u);
  EXPECT_FALSE(ad_calendar::resourceProperties(who)[0]->boolValue());
  ASSERT_TRUE(event->webContent());
  ADWebContent& web = *event->webContent();
  EXPECT_EQ(event->webContentLink()->href(), "http://c.test/i.png");
  EXPECT_EQ(web.gadgetPreferenceDictionary(),
            (std::map<std::string, std::string>{{"color", "blue"}, {"size", "2"}}));
  ADReminder& reminder = *event->reminders().at(1);
  EXPECT_EQ(text(reminder.absoluteTime()), "2009-06-01T08:00:00Z");
  EXPECT_EQ(event->originalEvent()->originalID(), "orig1");
  EXPECT_EQ(text(event->originalEvent()->originalStartTime()->startTime()), "2009-05-01T09:00:00Z");
  ADRecurrenceException& exception = *event->recurrenceExceptions().at(0);
  EXPECT_TRUE(exception.isSpecialized);
  EXPECT_EQ(exception.entryLink->entry->title()->stringValue(), "Moved");
  EXPECT_EQ(exception.originalEvent->href(), "http://c.test/orig2");
  EXPECT_EQ(event->comment()->feedLink()->href(), "http://c.test/comments");
  EXPECT_EQ(event->extendedProperties().at(0)->value(), "y");
  ASSERT_TRUE(event->geoLocation());
  EXPECT_EQ(event->geoLocation()->latitude, 52.5);

  checkAccessors<ADEntryCalendarEvent>(*event, {
      {"status", [](auto& e) { return e.eventStatus()->stringValue(); },
       [](auto& e, const Text& v) { e.setEventStatus(ADValueConstruct::valueWithString<ADEventStatus>(v)); },
       AD_SCHEMA_ROOT "/g/2005#event.confirmed", AD_SCHEMA_ROOT "/g/2005#event.canceled"},
      {"visibility", [](auto& e) { return e.visibility()->stringValue(); },
       [](auto& e, const Text& v) { e.setVisibility(ADValueConstruct::valueWithString<ADVisibility>(v)); },
       AD_SCHEMA_ROOT "/g/2005#event.default", AD_SCHEMA_ROOT "/g/2005#event.private"},
      {"transparency", [](auto& e) { return valueOf<ADTransparency>(e); },
       [](auto& e, const Text& v) { e.setTransparency(ADValueConstruct::valueWithString<ADTransparency>(v)); },
       AD_SCHEMA_ROOT "/g/2005#event.opaque", std::nullopt},
      {"notify", [](auto& e) { return text(e.shouldSendEventNotifications()); },
       [](auto& e, const Text& v) { e.setShouldSendEventNotifications(flag(v)); }, "false", "true"},
      {"private copy", [](auto& e) { return text(e.isPrivateCopy()); },
       [](auto& e, const Text& v) { e.setIsPrivateCopy(flag(v)); }, "true", "false"},
      {"quick add", [](auto& e) { return text(e.isQuickAdd()); }, [](auto& e, const Text& v) { e.setIsQuickAdd(flag(v)); },
       "true", "false"},
      {"sync", [](auto& e) { return text(e.isSyncEvent()); }, [](auto& e, const Text& v) { e.setIsSyncEvent(flag(v)); },
       "true", "false"},
      {"guests modify", [](auto& e) { return text(e.canGuestsModify()); },
       [](auto& e, const Text& v) { e.setCanGuestsModify(flag(v)); }, "true", "false"},
      {"anyone adds", [](auto& e) { return text(e.canAnyoneAddSelf()); },
       [](auto& e, const Text& v) { e.setCanAnyoneAddSelf(flag(v)); }, "true", "false"},
      {"guests invite", [](auto& e) { return text(e.canGuestsInviteOthers()); },
       [](auto& e, const Text& v) { e.setCanGuestsInviteOthers(flag(v)); }, "true", "false"},
      {"guests see", [](auto& e) { return text(e.canGuestsSeeGuests()); },
       [](auto& e, const Text& v) { e.setCanGuestsSeeGuests(flag(v)); }, "false", "true"},
      {"uid", [](auto& e) { return e.iCalUID(); }, [](auto& e, const Text& v) { e.setICalUID(v); }, "abc@c.test",
       "def@c.test"},
      {"sequence", [](auto& e) { return text(e.sequenceNumber()); },
       [](auto& e, const Text& v) { e.setSequenceNumber(number(v)); }, "3", "4"},
      {"suppress", [](auto& e) { return e.suppressReplyNotificationTypes(); },
       [](auto& e, const Text& v) { e.setSuppressReplyNotificationTypes(v); }, "email,sms", "sms"},
      {"additional guests", [](auto& e) { return text(ad_calendar::numberOfAdditionalGuests(*e.participants().at(0))); },
       [](auto& e, const Text& v) { ad_calendar::setNumberOfAdditionalGuests(*e.participants().at(0), number(v)); },
       "2", std::nullopt},
      {"web display", [](auto& e) { return e.webContent()->display(); },
       [](auto& e, const Text& v) { e.webContent()->setDisplay(v); }, "chip", "inline"},
      {"web size", [](auto& e) { return text(e.webContent()->width()); },
       [](auto& e, const Text& v) { e.webContent()->setWidth(number(v)); }, "300", "320"},
      {"reminder method", [](auto& e) { return e.reminders().at(0)->method(); },
       [](auto& e, const Text& v) { e.reminders().at(0)->setMethod(v); }, "alert", "sms"},
      {"original href", [](auto& e) { return e.originalEvent()->href(); },
       [](auto& e, const Text& v) { e.originalEvent()->setHref(v); }, "http://c.test/orig1", "http://c.test/o"},
  });
  // Flags at their default are no elements; "send notifications" always stands.
  EXPECT_FALSE(event->objectForExtensionClass(ADGuestsCanSeeGuestsProperty::adClass()));
  EXPECT_EQ(valueOf<ADGuestsCanInviteOthersProperty>(*event), "false");
  event->setCanGuestsInviteOthers(true);
  EXPECT_FALSE(event->objectForExtensionClass(ADGuestsCanInviteOthersProperty::adClass()));
  EXPECT_FALSE(event->objectForExtensionClass(ADPrivateCopyProperty::adClass()));
  event->setShouldSendEventNotifications(false);
  EXPECT_EQ(valueOf<ADSendEventNotifications>(*event), "false");
  event->setICalUID(std::string(""));
  EXPECT_FALSE(event->objectForExtensionClass(ADICalUIDProperty::adClass()));
  EXPECT_FALSE(ad_calendar::numberOfAdditionalGuests(*event->participants().at(0)));
  roundTrip(*event, ADEntryCalendar::calendarNamespaces());
  roundTrip(*feed, ADEntryCalendar::calendarNamespaces());

  checkAccessors<ADFeedCalendarEvent>(*feed, {
      {"zone", [](auto& f) { return f.timeZoneName()->stringValue(); },
       [](auto& f, const Text& v) { f.setTimeZoneName(ADValueConstruct::valueWithString<ADTimeZoneProperty>(v)); },
       "Europe/Berlin", "UTC"},
      {"cleaned", [](auto& f) { return text(f.timesCleaned()); },
       [](auto& f, const Text& v) { f.setTimesCleaned(number(v)); }, "2", std::nullopt},
  });
}

TEST_F(ADCalendarTest, RemindersFollowTheRecurrence) {
  auto event = ADEntryCalendarEvent::calendarEvent();
  EXPECT_TRUE(event->reminders().empty());
  event->addReminder(ADReminder::reminder());  // no time: ignored
  EXPECT_TRUE(event->reminders().empty());

  auto first = ADWhen::whenWithStartTime(ADDateTime::dateTimeWithRFC3339String("2009-06-01T09:00:00Z"), std::nullopt);
  auto second = ADWhen::whenWithStartTime(ADDateTime::dateTimeWithRFC3339String("2009-06-02T09:00:00Z"), std::nullopt);
  event->setTimes({first, second});
  auto tenMinutes = ADReminder::reminder();
  tenMinutes->setMinutes(std::string("10"));
  auto oneHour = ADReminder::reminder();
  oneHour->setHours(std::string("1"));
  event->setReminders({tenMinutes});
  event->addReminder(oneHour);
  // Only the first of two times holds them.
  EXPECT_EQ(ad_calendar::reminders(*first).size(), 2u);
  EXPECT_TRUE(ad_calendar::reminders(*second).empty());
  EXPECT_TRUE(event->recurrenceReminders().empty());

  // Gaining a recurrence moves them onto the entry, losing it moves them back.
  event->setRecurrence(ADRecurrence::recurrenceWithString(std::string("DTSTART:20090601T090000Z\nRRULE:FREQ=DAILY")));
  EXPECT_TRUE(ad_calendar::reminders(*first).empty());
  ASSERT_EQ(event->recurrenceReminders().size(), 2u);
  EXPECT_EQ(event->reminders().at(1)->hours(), "1");
  event->setRecurrence(ADRecurrence::recurrenceWithString(std::string("RRULE:FREQ=WEEKLY")));
  EXPECT_EQ(event->recurrenceReminders().size(), 2u);
  auto again = roundTrip(*event, {});
  ASSERT_TRUE(again);
  EXPECT_EQ(again->recurrence()->stringValue(), "RRULE:FREQ=WEEKLY");
  event->setRecurrence(nullptr);
  EXPECT_TRUE(event->recurrenceReminders().empty());
  EXPECT_EQ(ad_calendar::reminders(*first).size(), 2u);
  EXPECT_EQ(event->reminders().size(), 2u);

  // Without a time to return to, they are dropped with the recurrence.
  ADEntryEvent bare;
  bare.setRecurrence(ADRecurrence::recurrenceWithString(std::string("RRULE:FREQ=DAILY")));
  bare.addReminder(ADReminder::reminder());
  EXPECT_EQ(bare.recurrenceReminders().size(), 1u);
  bare.setRecurrence(nullptr);
  EXPECT_TRUE(bare.reminders().empty());
  EXPECT_FALSE(bare.objectForExtensionClass(ADReminder::adClass()));
}

TEST_F(ADCalendarTest, RecurrenceExceptionsKeepTheirFields) {
  auto plain = ADRecurrenceException::recurrenceExceptionWithEntryLink(
      ADEntryLink::entryLinkWithHref(std::string("http://c.test/e"), false),
      ADOriginalEvent::originalEventWithID(std::string("o"), std::nullopt, nullptr), false);
  const std::string written = plain->XMLDocumentString();
  EXPECT_EQ(written.find("specialized"), std::string::npos) << written;
  auto copy = std::static_pointer_cast<ADRecurrenceException>(plain->copy());
  EXPECT_TRUE(copy->isEqual(*plain));
  copy->originalEvent->setOriginalID(std::string("p"));
  EXPECT_EQ(plain->originalEvent->originalID(), "o");
  EXPECT_FALSE(copy->isEqual(*plain));
  copy = std::static_pointer_cast<ADRecurrenceException>(plain->copy());
  copy->isSpecialized = true;
  EXPECT_FALSE(copy->isEqual(*plain));
  copy->entryLink = nullptr;
  copy->isSpecialized = false;
  EXPECT_FALSE(copy->isEqual(*plain));

  EXPECT_EQ(ADEntryEvent::suffixAfterPoundSign(std::string("a#b#c")), "c");
  EXPECT_FALSE(ADEntryEvent::suffixAfterPoundSign(std::string("abc")));
  EXPECT_FALSE(ADEntryEvent::suffixAfterPoundSign(std::nullopt));

  auto web = ADWebContent::webContentWithURL(std::string("http://c.test/w"), 10, 20);
  EXPECT_EQ(web->height(), 20);
  auto pref = std::make_shared<ADWebContentGadgetPref>();
  pref->setValue(std::string("no name"));
  web->addGadgetPreference(pref);
  EXPECT_TRUE(web->gadgetPreferenceDictionary().empty());
}

TEST_F(ADCalendarTest, SettingsAndMessagesAndWhatRegistersNothing) {
  auto settings = parse<ADFeedCalendarSettings>(kSettings);
  ASSERT_TRUE(settings);
  auto setting = std::dynamic_pointer_cast<ADEntryCalendarSettings>(settings->entries().at(0));
  ASSERT_TRUE(setting);
  checkAccessors<ADEntryCalendarSettings>(*setting, {
      {"name", [](auto& e) { return e.settingsProperty()->name(); },
       [](auto& e, const Text& v) { e.settingsProperty()->setName(v); }, "format24HourTime", "weekStart"},
      {"value", [](auto& e) { return e.settingsProperty()->value(); },
       [](auto& e, const Text& v) { e.settingsProperty()->setValue(v); }, "false", "1"},
  });
  roundTrip(*settings, ADEntryCalendar::calendarNamespaces());

  auto messages = parse<ADFeedMessage>(kMessages);
  ASSERT_TRUE(messages);
  auto message = std::dynamic_pointer_cast<ADEntryMessage>(messages->entries().at(0));
  ASSERT_TRUE(message);
  roundTrip(*messages, ADEntryBase::baseADNamespaces());
  checkAccessors<ADEntryMessage>(*message, {
      {"time", [](auto& e) { return text(e.time()->startTime()); },
       [](auto& e, const Text& v) { e.setTime(ADWhen::whenWithStartTime(date(v), std::nullopt)); },
       "2009-06-01T09:00:00Z", "2010-01-01T00:00:00Z"},
      {"rating", [](auto& e) { return text(e.rating()->value()); },
       [](auto& e, const Text& v) { e.setRating(ADRating::ratingWithValue(*number(v), 5, 1)); }, "4", "2"},
      {"geo", [](auto& e) { return e.geoPt()->label; },
       [](auto& e, const Text& v) { e.setGeoPt(ADGeoPt::geoPtWithLabel(v, 1.0, 2.0, std::nullopt, std::nullopt)); },
       "Berlin", "Home"},
      {"from", [](auto& e) { return e.participants().at(0)->email(); },
       [](auto& e, const Text& v) { e.participants().at(0)->setEmail(v); }, "bob@c.test", "eve@c.test"},
  });
  EXPECT_EQ(message->participants().size(), 2u);
  roundTrip(*message, ADEntryBase::baseADNamespaces());
  EXPECT_EQ(ADEntryMessage::message()->namespaces(), ADEntryBase::baseADNamespaces());
  EXPECT_EQ(ADFeedMessage::messageFeed()->namespaces(), ADEntryBase::baseADNamespaces());
  ASSERT_TRUE(ADFeedMessage::messageFeedWithXMLData(kMessages).ok());

  // The plain event classes name no kind; their feed still builds plain events.
  for (const ADClass* cls : {&ADEntryEvent::adClass(), &ADFeedEvent::adClass()}) {
    EXPECT_FALSE(cls->traits.standardKind);
    EXPECT_FALSE(cls->traits.kindAttributeValue);
    EXPECT_EQ(cls->defaultServiceVersion(), std::string("2.1"));
  }
  auto events = ADFeedEvent::eventFeedWithXMLData(R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry/></feed>)");
  ASSERT_TRUE(events.ok());
  EXPECT_EQ(&(*events)->entries().at(0)->classInfo(), &ADEntryEvent::adClass());
  auto plain = parse<ADFeedBase>(R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry/></feed>)");
  ASSERT_TRUE(plain);
  EXPECT_EQ(&plain->classInfo(), &ADFeedBase::adClass());
  EXPECT_EQ(&plain->entries().at(0)->classInfo(), &ADEntryBase::adClass());
  auto eventFeed = ADFeedCalendarEvent::calendarEventFeedWithXMLData(kEvents);
  ASSERT_TRUE(eventFeed.ok());
  EXPECT_TRUE(std::dynamic_pointer_cast<ADEntryCalendarEvent>((*eventFeed)->entries().at(0)));
  EXPECT_EQ(ADFeedCalendarEvent::calendarEventFeed()->namespaces(), ADEntryCalendar::calendarNamespaces());
  EXPECT_EQ(ADFeedCalendar::calendarFeed()->namespaces(), ADEntryCalendar::calendarNamespaces());
}

TEST_F(ADCalendarTest, QueriesAndServiceURLs) {
  auto query = ADQueryCalendar::calendarQueryWithFeedURL("https://c.test/feeds/ann/private/full");
  EXPECT_TRUE(query->shouldShowInlineComments());
  query->setShouldShowInlineComments(true);
  EXPECT_EQ(query->URL(), "https://c.test/feeds/ann/private/full");
  query->setCurrentTimeZoneName(std::string("America/New York"));
  EXPECT_EQ(query->currentTimeZoneName(), "America/New_York");
  checkAccessors<ADQueryCalendar>(*query, {
      {"start min", [](auto& q) { return text(q.minimumStartTime()); },
       [](auto& q, const Text& v) { q.setMinimumStartTime(date(v)); }, std::nullopt, "2009-06-01T00:00:00Z"},
      {"start max", [](auto& q) { return text(q.maximumStartTime()); },
       [](auto& q, const Text& v) { q.setMaximumStartTime(date(v)); }, std::nullopt, "2009-07-01T00:00:00Z"},
      {"expansion start", [](auto& q) { return text(q.recurrenceExpansionStartTime()); },
       [](auto& q, const Text& v) { q.setRecurrenceExpansionStartTime(date(v)); }, std::nullopt, "2009-06-01"},
      {"expansion end", [](auto& q) { return text(q.recurrenceExpansionEndTime()); },
       [](auto& q, const Text& v) { q.setRecurrenceExpansionEndTime(date(v)); }, std::nullopt, "2009-06-30"},
      {"future", [](auto& q) { return text(q.shouldQueryAllFutureEvents()); },
       [](auto& q, const Text& v) { q.setShouldQueryAllFutureEvents(flag(v)); }, "false", "true"},
      {"single", [](auto& q) { return text(q.shouldExpandRecurrentEvents()); },
       [](auto& q, const Text& v) { q.setShouldExpandRecurrentEvents(flag(v)); }, "false", "true"},
      {"comments", [](auto& q) { return text(q.shouldShowInlineComments()); },
       [](auto& q, const Text& v) { q.setShouldShowInlineComments(flag(v)); }, "true", "false"},
      {"hidden", [](auto& q) { return text(q.shouldShowHiddenEvents()); },
       [](auto& q, const Text& v) { q.setShouldShowHiddenEvents(flag(v)); }, "false", "true"},
  });
  EXPECT_EQ(query->URL(),
            "https://c.test/feeds/ann/private/full?ctz=America%2FNew_York&futureevents=true"
            "&recurrence-expansion-end=2009-06-30&recurrence-expansion-start=2009-06-01&showhidden=true"
            "&showinlinecomments=false&singleevents=true&start-max=2009-07-01T00%3A00%3A00Z"
            "&start-min=2009-06-01T00%3A00%3A00Z");

  ADServiceCalendar service;
  EXPECT_EQ(service.serviceID(), "cl");
  EXPECT_EQ(service.defaultServiceVersion(), "2.1");
  EXPECT_EQ(service.standardServiceNamespaces(), ADEntryCalendar::calendarNamespaces());
  const std::string root = ADServiceCalendar::kRootURLString;
  EXPECT_EQ(root.rfind("https://", 0), 0u);
  EXPECT_EQ(service.authorizationScope(), "http://" + root.substr(8));
  EXPECT_EQ(ADServiceCalendar::calendarFeedURLForUsername("ann@c.test/x"), root + "ann%40c.test%2Fx");
  EXPECT_EQ(ADServiceCalendar::settingsFeedURLForUsername("ann#1"), root + "ann%231/settings");
}
