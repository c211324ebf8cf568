#pragma once
// The calendar family's elements: the gCal properties of calendars and
// events, web content on links, and the gd event elements only calendars use
// (recurrence and its exceptions, reminders, original event, status,
// visibility, transparency).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceGCal[] = AD_SCHEMA_ROOT "/gCal/2005";
inline constexpr const char kADNamespaceGCalPrefix[] = "gCal";

class ADCalendarSettingsProperty : public ADNameValueConstruct {
  AD_CLASS(ADCalendarSettingsProperty)
  std::optional<std::string> value() const { return stringValue(); }
  void setValue(const std::optional<std::string>& v) { setStringValue(v); }
};
class ADHiddenProperty : public ADBoolValueConstruct { AD_CLASS(ADHiddenProperty) };
class ADSelectedProperty : public ADBoolValueConstruct { AD_CLASS(ADSelectedProperty) };
class ADAccessLevelProperty : public ADValueConstruct { AD_CLASS(ADAccessLevelProperty) };
class ADOverrideNameProperty : public ADValueConstruct { AD_CLASS(ADOverrideNameProperty) };
class ADTimesCleanedProperty : public ADValueConstruct { AD_CLASS(ADTimesCleanedProperty) };
class ADTimeZoneProperty : public ADValueConstruct { AD_CLASS(ADTimeZoneProperty) };
class ADColorProperty : public ADValueConstruct { AD_CLASS(ADColorProperty) };
class ADAdditionalGuests : public ADValueConstruct { AD_CLASS(ADAdditionalGuests) };
class ADSendEventNotifications : public ADBoolValueConstruct { AD_CLASS(ADSendEventNotifications) };
class ADPrivateCopyProperty : public ADBoolValueConstruct { AD_CLASS(ADPrivateCopyProperty) };
class ADQuickAddProperty : public ADBoolValueConstruct { AD_CLASS(ADQuickAddProperty) };
class ADResourceProperty : public ADBoolValueConstruct { AD_CLASS(ADResourceProperty) };
class ADSyncEventProperty : public ADBoolValueConstruct { AD_CLASS(ADSyncEventProperty) };
class ADSequenceProperty : public ADValueConstruct { AD_CLASS(ADSequenceProperty) };
class ADICalUIDProperty : public ADValueConstruct { AD_CLASS(ADICalUIDProperty) };
class ADGuestsCanModifyProperty : public ADBoolValueConstruct { AD_CLASS(ADGuestsCanModifyProperty) };
class ADGuestsCanInviteOthersProperty : public ADBoolValueConstruct { AD_CLASS(ADGuestsCanInviteOthersProperty) };
class ADGuestsCanSeeGuestsProperty : public ADBoolValueConstruct { AD_CLASS(ADGuestsCanSeeGuestsProperty) };
class ADAnyoneCanAddSelfProperty : public ADBoolValueConstruct { AD_CLASS(ADAnyoneCanAddSelfProperty) };
class ADSuppressReplyNotificationsProperty : public ADValueConstruct {
  AD_CLASS(ADSuppressReplyNotificationsProperty)
  std::optional<std::string> attributeName() const override { return std::string("methods"); }
};
class ADEventStatus : public ADValueConstruct { AD_CLASS(ADEventStatus) };
class ADVisibility : public ADValueConstruct { AD_CLASS(ADVisibility) };
class ADTransparency : public ADValueConstruct { AD_CLASS(ADTransparency) };

class ADWebContentGadgetPref : public ADExtendedProperty { AD_CLASS(ADWebContentGadgetPref) };

class ADWebContent : public ADObject {
  AD_CLASS(ADWebContent)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADWebContent> webContentWithURL(const std::optional<std::string>& url, int width, int height);
  std::optional<std::string> URLString() const { return stringValueForAttribute("url"); }
  void setURLString(const std::optional<std::string>& v) { setStringValue(v, "url"); }
  std::optional<int> width() const { return intNumberForAttribute("width"); }
  void setWidth(std::optional<int> v) { setNumberValue(v, "width"); }
  std::optional<int> height() const { return intNumberForAttribute("height"); }
  void setHeight(std::optional<int> v) { setNumberValue(v, "height"); }
  std::optional<std::string> display() const { return stringValueForAttribute("display"); }
  void setDisplay(const std::optional<std::string>& v) { setStringValue(v, "display"); }
  std::vector<std::shared_ptr<ADWebContentGadgetPref>> gadgetPreferences() const {
    return objectsFor<ADWebContentGadgetPref>();
  }
  void setGadgetPreferences(const std::vector<std::shared_ptr<ADWebContentGadgetPref>>& v) {
    setObjects(v, ADWebContentGadgetPref::adClass());
  }
  void addGadgetPreference(std::shared_ptr<ADWebContentGadgetPref> v) {
    addObject(std::move(v), ADWebContentGadgetPref::adClass());
  }
  // Name to value in list order, a later name replacing an earlier one; a
  // preference without a name is left out, one without a value maps to "".
  std::map<std::string, std::string> gadgetPreferenceDictionary() const;
};

// The recurrence rule text, kept verbatim.
class ADRecurrence : public ADObject {
  AD_CLASS(ADRecurrence)
  void addParseDeclarations() override { addContentValueDeclaration(); }
  static std::shared_ptr<ADRecurrence> recurrenceWithString(const std::optional<std::string>& text);
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

class ADReminder : public ADObject {
  AD_CLASS(ADReminder)
  void addParseDeclarations() override;
  static std::shared_ptr<ADReminder> reminder() { return std::make_shared<ADReminder>(); }
  std::optional<std::string> days() const { return stringValueForAttribute("days"); }
  void setDays(const std::optional<std::string>& v) { setStringValue(v, "days"); }
  std::optional<std::string> hours() const { return stringValueForAttribute("hours"); }
  void setHours(const std::optional<std::string>& v) { setStringValue(v, "hours"); }
  std::optional<std::string> minutes() const { return stringValueForAttribute("minutes"); }
  void setMinutes(const std::optional<std::string>& v) { setStringValue(v, "minutes"); }
  std::optional<std::string> method() const { return stringValueForAttribute("method"); }
  void setMethod(const std::optional<std::string>& v) { setStringValue(v, "method"); }
  std::optional<ADDateTime> absoluteTime() const { return dateTimeForAttribute("absoluteTime"); }
  void setAbsoluteTime(const std::optional<ADDateTime>& v) { setDateTimeValue(v, "absoluteTime"); }
};

class ADOriginalEvent : public ADObject {
  AD_CLASS(ADOriginalEvent)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADOriginalEvent> originalEventWithID(const std::optional<std::string>& originalID,
                                                              const std::optional<std::string>& href,
                                                              std::shared_ptr<ADWhen> originalStartTime);
  std::optional<std::string> originalID() const { return stringValueForAttribute("id"); }
  void setOriginalID(const std::optional<std::string>& v) { setStringValue(v, "id"); }
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::shared_ptr<ADWhen> originalStartTime() const { return objectFor<ADWhen>(); }
  void setOriginalStartTime(std::shared_ptr<ADWhen> v) { setObject(std::move(v), ADWhen::adClass()); }
};

// Keeps its flag and its two children in fields.
class ADRecurrenceException : public ADObject {
  AD_CLASS(ADRecurrenceException)
  ADRecurrenceException() = default;
  ADRecurrenceException(const ADRecurrenceException& other);
  static std::shared_ptr<ADRecurrenceException> recurrenceExceptionWithEntryLink(
      std::shared_ptr<ADEntryLink> entryLink, std::shared_ptr<ADOriginalEvent> originalEvent, bool isSpecialized);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  bool isSpecialized = false;
  std::shared_ptr<ADEntryLink> entryLink;
  std::shared_ptr<ADOriginalEvent> originalEvent;
};

// What the calendar adds to the shared gd who and when and to Atom links.
namespace ad_calendar {
std::vector<std::shared_ptr<ADResourceProperty>> resourceProperties(const ADWho& who);
void setResourceProperties(ADWho& who, const std::vector<std::shared_ptr<ADResourceProperty>>& v);
void addResourceProperty(ADWho& who, std::shared_ptr<ADResourceProperty> v);
std::optional<int> numberOfAdditionalGuests(const ADWho& who);
void setNumberOfAdditionalGuests(ADWho& who, std::optional<int> number);
std::vector<std::shared_ptr<ADReminder>> reminders(const ADWhen& when);
void setReminders(ADWhen& when, const std::vector<std::shared_ptr<ADReminder>>& v);
void addReminder(ADWhen& when, std::shared_ptr<ADReminder> v);
std::vector<std::shared_ptr<ADWebContent>> webContents(const ADLink& link);
void setWebContents(ADLink& link, const std::vector<std::shared_ptr<ADWebContent>>& v);
void addWebContent(ADLink& link, std::shared_ptr<ADWebContent> v);
}  // namespace ad_calendar
