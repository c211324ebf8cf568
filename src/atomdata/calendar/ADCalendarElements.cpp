#include "atomdata/calendar/ADCalendarElements.h"

#define GCAL(name) .uri = kADNamespaceGCal, .prefix = kADNamespaceGCalPrefix, .localName = name
#define GD(name) .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix, .localName = name

AD_DEFINE_CLASS(ADCalendarSettingsProperty, ADNameValueConstruct, GCAL("settingsProperty"))
AD_DEFINE_CLASS(ADHiddenProperty, ADBoolValueConstruct, GCAL("hidden"))
AD_DEFINE_CLASS(ADSelectedProperty, ADBoolValueConstruct, GCAL("selected"))
AD_DEFINE_CLASS(ADAccessLevelProperty, ADValueConstruct, GCAL("accesslevel"))
AD_DEFINE_CLASS(ADOverrideNameProperty, ADValueConstruct, GCAL("overridename"))
AD_DEFINE_CLASS(ADTimesCleanedProperty, ADValueConstruct, GCAL("timesCleaned"))
AD_DEFINE_CLASS(ADTimeZoneProperty, ADValueConstruct, GCAL("timezone"))
AD_DEFINE_CLASS(ADColorProperty, ADValueConstruct, GCAL("color"))
AD_DEFINE_CLASS(ADAdditionalGuests, ADValueConstruct, GCAL("additionalGuests"))
AD_DEFINE_CLASS(ADSendEventNotifications, ADBoolValueConstruct, GCAL("sendEventNotifications"))
AD_DEFINE_CLASS(ADPrivateCopyProperty, ADBoolValueConstruct, GCAL("privateCopy"))
AD_DEFINE_CLASS(ADQuickAddProperty, ADBoolValueConstruct, GCAL("quickadd"))
AD_DEFINE_CLASS(ADResourceProperty, ADBoolValueConstruct, GCAL("resource"))
AD_DEFINE_CLASS(ADSyncEventProperty, ADBoolValueConstruct, GCAL("syncEvent"))
AD_DEFINE_CLASS(ADSequenceProperty, ADValueConstruct, GCAL("sequence"))
AD_DEFINE_CLASS(ADICalUIDProperty, ADValueConstruct, GCAL("uid"))
AD_DEFINE_CLASS(ADGuestsCanModifyProperty, ADBoolValueConstruct, GCAL("guestsCanModify"))
AD_DEFINE_CLASS(ADGuestsCanInviteOthersProperty, ADBoolValueConstruct, GCAL("guestsCanInviteOthers"))
AD_DEFINE_CLASS(ADGuestsCanSeeGuestsProperty, ADBoolValueConstruct, GCAL("guestsCanSeeGuests"))
AD_DEFINE_CLASS(ADAnyoneCanAddSelfProperty, ADBoolValueConstruct, GCAL("anyoneCanAddSelf"))
AD_DEFINE_CLASS(ADSuppressReplyNotificationsProperty, ADValueConstruct, GCAL("suppressReplyNotifications"))
AD_DEFINE_CLASS(ADWebContentGadgetPref, ADExtendedProperty, GCAL("webContentGadgetPref"))
AD_DEFINE_CLASS(ADWebContent, ADObject, GCAL("webContent"))
AD_DEFINE_CLASS(ADEventStatus, ADValueConstruct, GD("eventStatus"))
AD_DEFINE_CLASS(ADVisibility, ADValueConstruct, GD("visibility"))
AD_DEFINE_CLASS(ADTransparency, ADValueConstruct, GD("transparency"))
AD_DEFINE_CLASS(ADRecurrence, ADObject, GD("recurrence"))
AD_DEFINE_CLASS(ADRecurrenceException, ADObject, GD("recurrenceException"))
AD_DEFINE_CLASS(ADReminder, ADObject, GD("reminder"))
AD_DEFINE_CLASS(ADOriginalEvent, ADObject, GD("originalEvent"))

// --- Web content ---

void ADWebContent::addParseDeclarations() { addLocalAttributeDeclarations({"url", "width", "height", "display"}); }

void ADWebContent::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADWebContentGadgetPref::adClass());
}

std::shared_ptr<ADWebContent> ADWebContent::webContentWithURL(const std::optional<std::string>& url, int width,
                                                              int height) {
  auto w = std::make_shared<ADWebContent>();
  w->setURLString(url);
  w->setWidth(width);
  w->setHeight(height);
  return w;
}

std::map<std::string, std::string> ADWebContent::gadgetPreferenceDictionary() const {
  std::map<std::string, std::string> dictionary;
  for (const auto& pref : gadgetPreferences())
    if (std::optional<std::string> name = pref->name()) dictionary[*name] = pref->value().value_or("");
  return dictionary;
}

// --- Recurrence, reminder, original event ---

std::shared_ptr<ADRecurrence> ADRecurrence::recurrenceWithString(const std::optional<std::string>& text) {
  auto r = std::make_shared<ADRecurrence>();
  r->setStringValue(text);
  return r;
}

void ADReminder::addParseDeclarations() {
  addLocalAttributeDeclarations({"days", "hours", "minutes", "method", "absoluteTime"});
}

void ADOriginalEvent::addParseDeclarations() { addLocalAttributeDeclarations({"id", "href"}); }

void ADOriginalEvent::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADWhen::adClass());
}

std::shared_ptr<ADOriginalEvent> ADOriginalEvent::originalEventWithID(const std::optional<std::string>& originalID,
                                                                      const std::optional<std::string>& href,
                                                                      std::shared_ptr<ADWhen> originalStartTime) {
  auto e = std::make_shared<ADOriginalEvent>();
  e->setOriginalID(originalID);
  e->setHref(href);
  e->setOriginalStartTime(std::move(originalStartTime));
  return e;
}

// --- Recurrence exception ---

ADRecurrenceException::ADRecurrenceException(const ADRecurrenceException& other)
    : ADObject(other),
      isSpecialized(other.isSpecialized),
      entryLink(other.entryLink ? std::static_pointer_cast<ADEntryLink>(other.entryLink->copy()) : nullptr),
      originalEvent(other.originalEvent ? std::static_pointer_cast<ADOriginalEvent>(other.originalEvent->copy())
                                        : nullptr) {}

std::shared_ptr<ADRecurrenceException> ADRecurrenceException::recurrenceExceptionWithEntryLink(
    std::shared_ptr<ADEntryLink> entryLink, std::shared_ptr<ADOriginalEvent> originalEvent, bool isSpecialized) {
  auto e = std::make_shared<ADRecurrenceException>();
  e->entryLink = std::move(entryLink);
  e->originalEvent = std::move(originalEvent);
  e->isSpecialized = isSpecialized;
  return e;
}

void ADRecurrenceException::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  isSpecialized = boolForAttributeName("specialized", element);
  entryLink = std::dynamic_pointer_cast<ADEntryLink>(
      objectForChildOfElement(element, "gd:entryLink", kADNamespaceGD, &ADEntryLink::adClass()));
  originalEvent = std::dynamic_pointer_cast<ADOriginalEvent>(
      objectForChildOfElement(element, "gd:originalEvent", kADNamespaceGD, &ADOriginalEvent::adClass()));
}

ADXMLNode ADRecurrenceException::XMLElement() const {
  ADXMLNode node = XMLElementWithExtensionsAndDefaultName(std::string("gd:recurrenceException"));
  if (isSpecialized) addToElement(node.get(), std::string("true"), "specialized");
  if (entryLink) xmlAddChild(node.get(), entryLink->XMLElement().release());
  if (originalEvent) xmlAddChild(node.get(), originalEvent->XMLElement().release());
  return node;
}

bool ADRecurrenceException::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  const auto& o = static_cast<const ADRecurrenceException&>(other);
  return BoolsEqual(isSpecialized, o.isSpecialized) && ObjectsEqualOrBothNil(entryLink, o.entryLink) &&
         ObjectsEqualOrBothNil(originalEvent, o.originalEvent);
}

// --- Additions to who, when and link ---

namespace ad_calendar {

std::vector<std::shared_ptr<ADResourceProperty>> resourceProperties(const ADWho& who) {
  return who.objectsFor<ADResourceProperty>();
}
void setResourceProperties(ADWho& who, const std::vector<std::shared_ptr<ADResourceProperty>>& v) {
  who.setObjects(v, ADResourceProperty::adClass());
}
void addResourceProperty(ADWho& who, std::shared_ptr<ADResourceProperty> v) {
  who.addObject(std::move(v), ADResourceProperty::adClass());
}
std::optional<int> numberOfAdditionalGuests(const ADWho& who) {
  auto guests = who.objectFor<ADAdditionalGuests>();
  return guests ? guests->intNumberValue() : std::nullopt;
}
void setNumberOfAdditionalGuests(ADWho& who, std::optional<int> number) {
  who.setObject(ADValueConstruct::valueWithNumber<ADAdditionalGuests>(number), ADAdditionalGuests::adClass());
}
std::vector<std::shared_ptr<ADReminder>> reminders(const ADWhen& when) { return when.objectsFor<ADReminder>(); }
void setReminders(ADWhen& when, const std::vector<std::shared_ptr<ADReminder>>& v) {
  when.setObjects(v, ADReminder::adClass());
}
void addReminder(ADWhen& when, std::shared_ptr<ADReminder> v) { when.addObject(std::move(v), ADReminder::adClass()); }
std::vector<std::shared_ptr<ADWebContent>> webContents(const ADLink& link) { return link.objectsFor<ADWebContent>(); }
void setWebContents(ADLink& link, const std::vector<std::shared_ptr<ADWebContent>>& v) {
  link.setObjects(v, ADWebContent::adClass());
}
void addWebContent(ADLink& link, std::shared_ptr<ADWebContent> v) {
  link.addObject(std::move(v), ADWebContent::adClass());
}

}  // namespace ad_calendar
