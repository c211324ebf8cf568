#include <gtest/gtest.h>

#include "atomdata/ADFamilies.h"
#include "atomdata/contacts/ADContacts.h"
#include "atomdata/servicedoc/ADAtomServiceDocument.h"

// An entry class known only by its gd kind attribute value.
class ADEntryMarkedForTest : public ADEntryBase {
  AD_CLASS(ADEntryMarkedForTest)
};
AD_DEFINE_CLASS(ADEntryMarkedForTest, ADEntryBase, .kindAttributeValue = "test#marked")

namespace {

class ADFamiliesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ADRegisterServiceFamilies(); }

  template <typename T>
  static std::shared_ptr<T> parse(const std::string& xml) {
    fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml);
    EXPECT_TRUE(parsed.ok()) << parsed.error();
    if (!parsed) return nullptr;
    auto object = std::dynamic_pointer_cast<T>(*parsed);
    EXPECT_TRUE(object) << "parsed as " << (*parsed)->classInfo().name;
    return object;
  }

  // Written (with the family's namespaces when it declares none), parsed again
  // as its own class, and equal to what was written.
  template <typename T>
  static std::shared_ptr<T> roundTrip(T& object) {
    if (object.namespaces().empty()) object.setNamespaces(ADContactConstants::contactNamespaces());
    fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(object.XMLDocumentString(), &object.classInfo());
    EXPECT_TRUE(parsed.ok()) << parsed.error();
    if (!parsed) return nullptr;
    auto again = std::dynamic_pointer_cast<T>(*parsed);
    EXPECT_TRUE(again);
    if (again) {
      EXPECT_TRUE(object.isEqual(*again)) << object.XMLDocumentString() << "\n" << again->XMLDocumentString();
    }
    return again;
  }
};

const std::string kContactFeed = R"(<?xml version="1.0"?>
<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
      xmlns:gContact="http://schemas.flipdesk.net/contact/2008">
  <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/contact/2008#contact"/>
  <title>Ann's Contacts</title>
  <gd:where valueString="Berlin"/>
  <entry gd:etag="&quot;Q3k&quot;">
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/contact/2008#contact"/>
    <title>Elizabeth Bennet</title>
    <gd:name><gd:givenName yomi="e">Elizabeth</gd:givenName><gd:familyName>Bennet</gd:familyName><gd:namePrefix>Ms</gd:namePrefix></gd:name>
    <gd:email rel="http://schemas.flipdesk.net/g/2005#work" primary="true" address="liz@gmail.test"/>
    <gd:email label="home" address="liz@example.test"/>
    <gd:phoneNumber rel="http://schemas.flipdesk.net/g/2005#work" uri="tel:+1-206-555-1212">(206)555-1212</gd:phoneNumber>
    <gd:structuredPostalAddress rel="http://schemas.flipdesk.net/g/2005#work" primary="true">
      <gd:city>Mountain View</gd:city><gd:street>1600 Amphitheatre Pkwy</gd:street>
      <gd:country code="US">United States</gd:country><gd:postcode>94043</gd:postcode>
    </gd:structuredPostalAddress>
    <gd:organization rel="http://schemas.flipdesk.net/g/2005#work"><gd:orgName yomi="y">Example Corp</gd:orgName><gd:orgTitle>Tech Writer</gd:orgTitle></gd:organization>
    <gd:extendedProperty name="pet" value="hamster"/>
    <gd:extendedProperty name="keys"><a>1</a><b>2</b></gd:extendedProperty>
    <gContact:birthday when="--03-15"/>
    <gContact:nickname>Lizzy</gContact:nickname>
    <gContact:yomiName>Erizabesu</gContact:yomiName>
    <gContact:groupMembershipInfo deleted="false" href="http://h/groups/friends"/>
    <gContact:userDefinedField key="shoe" value="38"/>
    <gContact:event rel="anniversary"><gd:when startTime="2000-06-01"/></gContact:event>
    <gContact:website href="http://liz.example.test" rel="blog" primary="true"/>
    <gContact:unheardOf>kept</gContact:unheardOf>
  </entry>
  <entry>
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/contact/2008#contact"/>
    <title>Jane</title>
    <gContact:groupMembershipInfo href="http://h/groups/family"/>
  </entry>
</feed>)";

}  // namespace

TEST_F(ADFamiliesTest, ARegisteredFeedKindParsesIntoTheFamilyClasses) {
  auto feed = parse<ADFeedContact>(kContactFeed);
  ASSERT_TRUE(feed);
  ASSERT_EQ(feed->entries().size(), 2u);
  auto liz = std::dynamic_pointer_cast<ADEntryContact>(feed->entries()[0]);
  ASSERT_TRUE(liz);
  EXPECT_EQ(feed->objectFor<ADWhere>()->stringValue(), "Berlin");

  ASSERT_TRUE(liz->name());
  EXPECT_EQ(liz->name()->givenName()->stringValue(), "Elizabeth");
  EXPECT_EQ(liz->name()->givenName()->yomi(), "e");
  EXPECT_EQ(liz->name()->familyName()->stringValue(), "Bennet");
  EXPECT_EQ(liz->name()->namePrefix(), "Ms");
  ASSERT_EQ(liz->emailAddresses().size(), 2u);
  EXPECT_EQ(liz->primaryEmailAddress()->address(), "liz@gmail.test");
  EXPECT_EQ(liz->phoneNumbers()[0]->stringValue(), "(206)555-1212");
  EXPECT_EQ(liz->phoneNumbers()[0]->URI(), "tel:+1-206-555-1212");
  auto address = liz->structuredPostalAddresses().at(0);
  EXPECT_EQ(address->city(), "Mountain View");
  EXPECT_EQ(address->countryName(), "United States");
  EXPECT_EQ(address->countryCode(), "US");
  EXPECT_TRUE(address->isPrimary());
  EXPECT_EQ(liz->organizations()[0]->orgName(), "Example Corp");
  EXPECT_EQ(liz->organizations()[0]->orgNameYomi(), "y");
  EXPECT_EQ(liz->organizations()[0]->orgTitle(), "Tech Writer");
  EXPECT_EQ(liz->extendedPropertyForName("pet")->value(), "hamster");
  EXPECT_EQ(liz->extendedPropertyForName("keys")->XMLValueForKey("b"), "2");
  EXPECT_EQ(liz->nickname(), "Lizzy");
  EXPECT_EQ(liz->yomi(), "Erizabesu");
  EXPECT_EQ(liz->userDefinedFields()[0]->key(), "shoe");
  EXPECT_EQ(liz->events()[0]->when()->startTime()->RFC3339String(), "2000-06-01");
  EXPECT_EQ(liz->primaryWebsiteLink()->href(), "http://liz.example.test");

  // A year-less birthday reads as 1804 and writes back without the year.
  ASSERT_TRUE(liz->birthdayDate());
  EXPECT_EQ(liz->birthdayDate()->RFC3339String(), "1804-03-15T12:00:00Z");
  liz->setBirthdayWithDate(liz->birthdayDate());
  EXPECT_EQ(liz->birthday(), "--03-15");
  liz->setBirthday(std::string("1990-03-15"));
  EXPECT_EQ(liz->birthdayDate()->RFC3339String(), "1990-03-15T12:00:00Z");

  EXPECT_EQ(feed->entriesWithGroupHref("http://h/groups/family").size(), 1u);
  EXPECT_EQ(feed->entriesWithGroupHref("http://h/groups/friends").at(0), liz);
  EXPECT_TRUE(feed->entriesWithGroupHref("http://h/none").empty());

  auto again = roundTrip(*feed);
  ASSERT_TRUE(again);
  EXPECT_NE(again->XMLDocumentString().find(">kept</gContact:unheardOf>"), std::string::npos);
}

TEST_F(ADFamiliesTest, KindsPickClassesAndUnregisteredKindsFallBack) {
  // An entry document of a registered kind, alone.
  auto group = parse<ADEntryContactGroup>(R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:gContact="http://schemas.flipdesk.net/contact/2008">
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/contact/2008#group"/>
    <title>Friends</title><gContact:systemGroup id="Friends"/></entry>)");
  ASSERT_TRUE(group);
  EXPECT_EQ(group->systemGroup()->identifier(), "Friends");

  // A kind nobody registered, or a registered term under another scheme.
  auto plain = parse<ADFeedBase>(R"(<feed xmlns="http://www.w3.org/2005/Atom">
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://example.test/unknown#kind"/>
    <entry><category scheme="http://other.test/scheme" term="http://schemas.flipdesk.net/contact/2008#contact"/></entry></feed>)");
  ASSERT_TRUE(plain);
  EXPECT_EQ(&plain->classInfo(), &ADFeedBase::adClass());
  ASSERT_EQ(plain->entries().size(), 1u);
  EXPECT_EQ(&plain->entries()[0]->classInfo(), &ADEntryBase::adClass());

  // A group feed builds group entries whatever their categories say.
  auto groups = parse<ADFeedContactGroup>(R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gContact="http://schemas.flipdesk.net/contact/2008">
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/contact/2008#group"/>
    <entry><title>No kind</title><gContact:systemGroup id="Coworkers"/></entry></feed>)");
  ASSERT_TRUE(groups);
  ASSERT_TRUE(groups->entryForSystemGroupID("Coworkers"));
  EXPECT_FALSE(groups->entryForSystemGroupID("Family"));
}

TEST_F(ADFamiliesTest, AKindAttributeAloneFindsItsClass) {
  // Registered the way a family marked by a gd kind attribute registers.
  ADEntryBase::registerEntryClass(ADEntryMarkedForTest::adClass());
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(
      R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005" gd:kind="test#marked"/>)");
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(&(*parsed)->classInfo(), &ADEntryMarkedForTest::adClass());
  EXPECT_EQ(std::static_pointer_cast<ADEntryBase>(*parsed)->kind(), "test#marked");
}

TEST_F(ADFamiliesTest, ContactAccessorsFollowThePattern) {
  auto liz = ADEntryContact::contactEntryWithFullNameString(std::string("Elizabeth Bennet"));
  EXPECT_EQ(liz->namespaces(), ADContactConstants::contactNamespaces());
  EXPECT_EQ(liz->name()->fullName()->stringValue(), "Elizabeth Bennet");

  liz->setNickname(std::string("Lizzy"));
  liz->setNickname(std::string(""));
  EXPECT_FALSE(liz->objectForExtensionClass(ADContactNickname::adClass()));
  liz->setTitleWithString(std::string(""));
  EXPECT_FALSE(liz->title());
  liz->setPriority(std::nullopt);
  ASSERT_TRUE(liz->objectForExtensionClass(ADContactPriority::adClass()));
  EXPECT_FALSE(liz->priority());

  // Primary selection among repeated children.
  auto a = ADEmail::emailWithLabel(std::string("a"), std::string("a@x"));
  auto b = ADEmail::emailWithLabel(std::string("b"), std::string("b@x"));
  auto c = ADEmail::emailWithLabel(std::string("c"), std::string("c@x"));
  liz->setEmailAddresses({a, b, c});
  liz->setPrimaryEmailAddress(ADEmail::emailWithLabel(std::string("b"), std::string("b@x")));
  EXPECT_EQ(liz->emailAddresses().size(), 3u);
  EXPECT_FALSE(a->isPrimary());
  EXPECT_TRUE(b->isPrimary());
  EXPECT_EQ(liz->primaryEmailAddress(), b);
  auto d = ADEmail::emailWithLabel(std::string("d"), std::string("d@x"));
  liz->setPrimaryEmailAddress(d);
  ASSERT_EQ(liz->emailAddresses().size(), 4u);
  EXPECT_FALSE(b->isPrimary());
  EXPECT_EQ(liz->primaryEmailAddress(), d);
  liz->setPrimaryEmailAddress(nullptr);
  EXPECT_FALSE(liz->primaryEmailAddress());

  // Every plain string removes its element for "", and keeps it otherwise.
  using Setter = void (ADEntryContactBase::*)(const std::optional<std::string>&);
  using Getter = std::optional<std::string> (ADEntryContactBase::*)() const;
  const std::pair<Getter, Setter> strings[] = {
      {&ADEntryContactBase::billingInformation, &ADEntryContactBase::setBillingInformation},
      {&ADEntryContactBase::directoryServer, &ADEntryContactBase::setDirectoryServer},
      {&ADEntryContactBase::initials, &ADEntryContactBase::setInitials},
      {&ADEntryContactBase::maidenName, &ADEntryContactBase::setMaidenName},
      {&ADEntryContactBase::mileage, &ADEntryContactBase::setMileage},
      {&ADEntryContactBase::shortName, &ADEntryContactBase::setShortName},
      {&ADEntryContactBase::subject, &ADEntryContactBase::setSubject},
      {&ADEntryContactBase::gender, &ADEntryContactBase::setGender}};
  for (const auto& [get, set] : strings) {
    ((*liz).*set)(std::string("v"));
    EXPECT_EQ(((*liz).*get)(), "v");
    ((*liz).*set)(std::string(""));
    EXPECT_FALSE(((*liz).*get)());
  }
  liz->setGender(std::string("female"));
  EXPECT_NE(liz->XMLDocumentString().find("<gContact:gender value=\"female\"/>"), std::string::npos);

  auto work = ADIM::IMWithProtocol(std::string("xmpp"), std::nullopt, std::nullopt, std::string("w@x"));
  liz->addIMAddress(work);
  liz->setPrimaryIMAddress(work);
  EXPECT_EQ(liz->primaryIMAddress(), work);
  liz->removeIMAddress(*ADIM::IMWithProtocol(std::string("xmpp"), std::nullopt, std::nullopt, std::string("w@x")));
  EXPECT_TRUE(liz->IMAddresses().empty());
  liz->addHobby(ADValueConstruct::valueWithString<ADContactHobby>(std::string("chess")));
  liz->addJot(ADContactJot::jotWithRel(std::string("home"), std::string("note")));
  liz->addLanguage(ADContactLanguage::languageWithCode(std::string("fr"), std::nullopt));
  liz->addRelation(ADContactRelation::relationWithRel(std::string("sister"), std::nullopt, std::string("Jane")));
  liz->addExternalID(ADContactExternalID::externalIDWithRel(std::string("account"), std::nullopt, std::string("42")));
  liz->addCalendarLink(ADContactLink::linkWithRel<ADContactCalendarLink>(std::string("work"), std::nullopt, std::string("http://c")));

  auto member = ADGroupMembershipInfo::groupMembershipInfoWithHref(std::string("http://h/g/1"));
  liz->addGroupMembershipInfo(member);
  EXPECT_EQ(liz->groupMembershipInfoWithHref("http://h/g/1"), member);
  EXPECT_FALSE(liz->groupMembershipInfoWithHref("http://h/g/2"));
  member->setIsDeleted(false);
  EXPECT_FALSE(member->stringValueForAttribute("deleted"));

  roundTrip(*liz);
}

TEST_F(ADFamiliesTest, ContactServiceURLsAndVersions) {
  EXPECT_EQ(ADServiceContact::contactFeedURLForUserID("ann/../x?y#z@h"),
            std::string(ADServiceContact::kRootURLString) + "contacts/ann%2F..%2Fx%3Fy%23z%40h/full");
  EXPECT_EQ(ADServiceContact::contactFeedURLForPropertyName("x"),
            std::string(ADServiceContact::kRootURLString) + "contacts/default/property-x");
  EXPECT_EQ(ADServiceContact::contactFeedURLForUserID("ann", "thin"),
            std::string(ADServiceContact::kRootURLString) + "contacts/ann/thin");
  EXPECT_EQ(ADServiceContact::contactGroupFeedURLForPropertyName("x"),
            std::string(ADServiceContact::kRootURLString) + "groups/default/property-x");
  EXPECT_EQ(ADServiceContact::contactGroupFeedURLForPropertyName("a/b"),
            std::string(ADServiceContact::kRootURLString) + "groups/default/property-a%2Fb");
  auto query = ADQueryContact::contactQueryForUserID("ann@example.test");
  query->setGroupIdentifier(std::string("http://h/g?1"));
  EXPECT_EQ(query->URL(), std::string(ADServiceContact::kRootURLString) +
                              "contacts/ann%40example.test/full?group=http%3A%2F%2Fh%2Fg%3F1");
  EXPECT_EQ(ADContactConstants::coreProtocolVersionForServiceVersion("3.0"), "2.0");
  EXPECT_EQ(ADContactConstants::coreProtocolVersionForServiceVersion("2.0"), "2.0");
  EXPECT_EQ(ADContactConstants::coreProtocolVersionForServiceVersion("1.0"), "1.0");
  ADServiceContact service;
  EXPECT_EQ(service.serviceVersion(), "3.0");
  EXPECT_EQ(ADEntryContact::adClass().defaultServiceVersion(), std::string("3.0"));
  EXPECT_EQ(ADFeedContactGroup::adClass().defaultServiceVersion(), std::string("1.0"));
  ADEntryBase bare;
  service.addNamespacesIfNoneToObject(bare);
  EXPECT_EQ(bare.namespaces().at("gContact"), kADNamespaceContact);
}

// --- gd element kinds ---

TEST_F(ADFamiliesTest, PrimaryFlagsAreLeftOutOfEqualityAndDefaultsUnwritten) {
  auto a = ADEmail::emailWithLabel(std::string("work"), std::string("a@x"));
  auto b = std::static_pointer_cast<ADEmail>(a->copy());
  b->setIsPrimary(true);
  EXPECT_TRUE(a->isEqual(*b));
  b->setIsPrimary(false);
  EXPECT_EQ(b->XMLDocumentString().find("primary"), std::string::npos);
  auto im = ADIM::IMWithProtocol(std::string("xmpp"), std::nullopt, std::string("chat"), std::string("a@x"));
  roundTrip(*im);
}

TEST_F(ADFamiliesTest, StructuredAddressesShareOneCountryChild) {
  auto address = ADStructuredPostalAddress::structuredPostalAddress();
  address->setCountryName(std::string("Deutschland"));
  address->setCountryCode(std::string("DE"));
  ASSERT_EQ(address->objectsForExtensionClass(ADPostalAddressCountry::adClass()).size(), 1u);
  EXPECT_EQ(address->countryName(), "Deutschland");
  EXPECT_EQ(address->countryCode(), "DE");

  auto codeOnly = ADStructuredPostalAddress::structuredPostalAddress();
  codeOnly->setCountryCode(std::string("FR"));
  EXPECT_EQ(codeOnly->countryCode(), "FR");
  EXPECT_EQ(codeOnly->countryName().value_or(""), "");
  codeOnly->setStreet(std::string(""));
  EXPECT_TRUE(codeOnly->objectForExtensionClass(ADPostalAddressStreet::adClass()));
  codeOnly->setStreet(std::nullopt);
  EXPECT_FALSE(codeOnly->objectForExtensionClass(ADPostalAddressStreet::adClass()));
  address->setPOBox(std::string("12"));
  roundTrip(*address);
}

TEST_F(ADFamiliesTest, OrganisationAndNamePartsTreatBlanksAsThePartsSay) {
  auto org = ADOrganization::organizationWithName(std::string("Acme"));
  org->setOrgName(std::string("   "));
  ASSERT_TRUE(org->objectForExtensionClass(ADOrganizationName::adClass()));
  EXPECT_FALSE(org->orgName());
  org->setOrgTitle(std::string("  \n"));
  EXPECT_FALSE(org->objectForExtensionClass(ADOrgTitle::adClass()));
  org->setOrgTitle(std::string(" Boss "));
  EXPECT_EQ(org->orgTitle(), " Boss ");
  org->setOrgNameYomi(std::string("akume"));
  org->setWhere(ADWhere::whereWithString(std::string("HQ")));
  roundTrip(*org);

  auto name = ADName::nameWithPrefix(std::string("Dr"), std::string("Ann"), std::nullopt, std::string("Lee"), std::string(""));
  EXPECT_FALSE(name->nameSuffix());
  name->setFamilyNameWithString(std::string(""));
  EXPECT_FALSE(name->familyName());
  EXPECT_FALSE(ADNameElement::nameElementWithString<ADNameFamily>(std::string("")));
  // A part of another class is converted, keeping its text and yomi.
  auto given = ADNameElement::nameElementWithString<ADNameGiven>(std::string("Ann"));
  given->setYomi(std::string("an"));
  name->setFullName(given.get());
  EXPECT_EQ(&name->fullName()->classInfo(), &ADNameFull::adClass());
  EXPECT_EQ(name->fullName()->yomi(), "an");
  given->setYomi(std::string(""));
  EXPECT_FALSE(given->yomi());
  roundTrip(*name);
}

TEST_F(ADFamiliesTest, ExtendedPropertiesKeepTheirXMLAndEmptyDefaultNamespace) {
  auto property = ADExtendedProperty::propertyWithName(std::string("n"), std::nullopt);
  EXPECT_EQ(property->namespaces().at(""), "");
  EXPECT_NE(property->XMLDocumentString().find("xmlns=\"\""), std::string::npos);
  property->setXMLValue(std::string("1"), "x");
  property->setXMLValue(std::string("2"), "y");
  EXPECT_EQ(property->XMLValueForKey("y"), "2");
  auto again = roundTrip(*property);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->namespaces().size(), 1u);
  property->setXMLValue(std::nullopt, "x");
  property->setXMLValue(std::nullopt, "y");
  EXPECT_TRUE(property->XMLValues().empty());
  EXPECT_FALSE(property->XMLValuesDictionary());
}

TEST_F(ADFamiliesTest, GeoPointsMoneyAndEmbeddedEntries) {
  auto point = ADGeoPt::geoPtWithLabel(std::string("peak"), 47.5, -122.25, std::nullopt,
                                       ADDateTime::dateTimeWithRFC3339String("2010-01-01T00:00:00Z"));
  const std::string xml = point->XMLDocumentString();
  EXPECT_EQ(xml.find("elev"), std::string::npos);
  EXPECT_NE(xml.find("lat=\"47.5\""), std::string::npos);
  auto other = ADGeoPt::geoPtWithLabel(std::string("peak"), 47.50, -122.25, std::nullopt, point->time);
  EXPECT_TRUE(point->isEqual(*other));
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(
      "<gd:geoPt xmlns:gd=\"http://schemas.flipdesk.net/g/2005\" lat=\"47.5\" lon=\"-122.25\" label=\"peak\" time=\"2010-01-01T00:00:00Z\"/>",
      &ADGeoPt::adClass());
  ASSERT_TRUE(parsed.ok());
  EXPECT_TRUE(point->isEqual(**parsed));

  auto money = ADMoney::moneyWithAmount(12.5, std::string("EUR"));
  EXPECT_EQ(money->stringValueForAttribute("amount"), "12.5");
  EXPECT_EQ(money->amount(), 12.5);

  auto inner = std::make_shared<ADEntryContact>();
  inner->setTitleWithString(std::string("Inside"));
  auto link = ADEntryLink::entryLinkWithHref(std::string("http://h/e"), true);
  link->entry = inner;
  auto who = ADWho::whoWithRel(std::string("organizer"), std::string("Ann"), std::string("a@x"));
  who->setEntryLink(link);
  who->setAttendeeStatus(ADValueConstruct::valueWithString<ADAttendeeStatus>(std::string("accepted")));
  auto copy = std::static_pointer_cast<ADWho>(who->copy());
  EXPECT_NE(copy->entryLink()->entry, inner);
  EXPECT_TRUE(copy->isEqual(*who));
  auto entry = std::make_shared<ADEntryBase>();
  entry->setNamespaces(ADContactConstants::contactNamespaces());
  fd::Expected<ADObjectPtr> back = ADObjectWithXMLData(
      "<gd:who xmlns:gd=\"http://schemas.flipdesk.net/g/2005\" xmlns=\"http://www.w3.org/2005/Atom\" rel=\"organizer\" valueString=\"Ann\" email=\"a@x\">"
      "<gd:attendeeStatus value=\"accepted\"/><gd:entryLink href=\"http://h/e\" readOnly=\"true\"><entry>"
      "<category scheme=\"http://schemas.flipdesk.net/g/2005#kind\" term=\"http://schemas.flipdesk.net/contact/2008#contact\"/>"
      "<title>Inside</title></entry></gd:entryLink></gd:who>",
      &ADWho::adClass());
  ASSERT_TRUE(back.ok()) << back.error();
  auto parsedWho = std::static_pointer_cast<ADWho>(*back);
  ASSERT_TRUE(parsedWho->entryLink() && parsedWho->entryLink()->entry);
  // The embedded entry's class comes from the kind maps.
  EXPECT_EQ(&parsedWho->entryLink()->entry->classInfo(), &ADEntryContact::adClass());
  EXPECT_EQ(parsedWho->entryLink()->entry->title()->stringValue(), "Inside");
  EXPECT_EQ(parsedWho->stringValue(), "Ann");
  EXPECT_EQ(parsedWho->attendeeStatus()->stringValue(), "accepted");
}

// --- The service document ---

TEST_F(ADFamiliesTest, ServiceDocumentsParseByTheirRootName) {
  auto doc = parse<ADAtomServiceDocument>(R"(<service xmlns="http://www.w3.org/2007/app" xmlns:atom="http://www.w3.org/2005/Atom">
    <workspace><atom:title>Main Site</atom:title>
      <collection href="http://example.test/blog/main"><atom:title>My Blog Entries</atom:title>
        <categories href="http://example.test/cats/forMain.cats"/></collection>
      <collection href="http://example.test/blog/pic"><atom:title>Pictures</atom:title>
        <accept>image/png</accept><accept>image/jpeg</accept>
        <categories fixed="YES" scheme="http://example.test/cats"><atom:category term="animal"/><atom:category term="vegetable"/></categories>
      </collection>
    </workspace>
  </service>)");
  ASSERT_TRUE(doc);
  auto workspace = doc->primaryWorkspace();
  ASSERT_TRUE(workspace);
  EXPECT_EQ(workspace->title()->stringValue(), "Main Site");
  ASSERT_EQ(workspace->collections().size(), 2u);
  EXPECT_EQ(workspace->primaryCollection()->href(), "http://example.test/blog/main");
  EXPECT_FALSE(workspace->primaryCollection()->serviceAcceptStrings());
  EXPECT_FALSE(workspace->primaryCollection()->categoryGroup()->isFixed());
  auto pictures = workspace->collections()[1];
  EXPECT_EQ(pictures->serviceAcceptStrings(), (std::vector<std::string>{"image/png", "image/jpeg"}));
  EXPECT_TRUE(pictures->categoryGroup()->isFixed());
  EXPECT_EQ(pictures->categoryGroup()->categories().size(), 2u);
  roundTrip(*doc);

  pictures->setServiceAcceptStrings({});
  EXPECT_FALSE(pictures->serviceAcceptStrings());
  pictures->categoryGroup()->setIsFixed(false);
  EXPECT_FALSE(pictures->categoryGroup()->stringValueForAttribute("fixed"));
  pictures->categoryGroup()->setStringValue(std::string("no"), "fixed");
  EXPECT_FALSE(pictures->categoryGroup()->isFixed());

  auto empty = parse<ADAtomServiceDocument>("<service xmlns=\"http://www.w3.org/2007/app\"/>");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->primaryWorkspace());
  EXPECT_EQ(ADAtomServiceDocument::adClass().defaultServiceVersion(), std::string("2.0"));
}

// A category document (what a collection's categories "href" points at) on its own.
TEST_F(ADFamiliesTest, ACategoryDocumentParsesIntoACategoryGroup) {
  auto group = parse<ADAtomCategoryGroup>(R"(<app:categories xmlns:app="http://www.w3.org/2007/app"
      xmlns:atom="http://www.w3.org/2005/Atom" fixed="yes" scheme="http://example.test/cats">
    <atom:category term="animal"/><atom:category term="vegetable" label="Greens"/></app:categories>)");
  ASSERT_TRUE(group);
  EXPECT_TRUE(group->isFixed());
  EXPECT_EQ(group->scheme(), "http://example.test/cats");
  ASSERT_EQ(group->categories().size(), 2u);
  EXPECT_EQ(group->categories()[1]->term(), "vegetable");
  EXPECT_EQ(group->categories()[1]->label(), "Greens");
  roundTrip(*group);

  // Only the AtomPub element is a category document.
  fd::Expected<ADObjectPtr> other = ADObjectWithXMLData("<categories xmlns=\"http://example.test/other\"/>");
  EXPECT_FALSE(other);
}
