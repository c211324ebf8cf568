// Feeds of each further service family parsed into the family's objects
// through the kind maps: 2,000 entries of the family's own shape, beside a bare
// libxml2 parse of the same bytes (BM_BareLibxml2Parse/<family>).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <string>

#include "atomdata/ADEntryBase.h"
#include "atomdata/ADFamilies.h"

namespace {

constexpr int kEntries = 2000;
#define ROOT "http://schemas.flipdesk.net"

struct Family {
  const char* name;
  const char* namespaces;
  const char* feedKind;   // the feed's kind category term
  const char* entryBody;  // one entry's children
};

constexpr Family kFamilies[] = {
    {"photos", "xmlns:gphoto=\"" ROOT "/photos/2007\" xmlns:exif=\"" ROOT "/photos/exif/2007\"", ROOT "/photos/2007#album",
     "<category scheme=\"" ROOT "/g/2005#kind\" term=\"" ROOT "/photos/2007#photo\"/><title>p.jpg</title>"
     "<gphoto:id>1</gphoto:id><gphoto:width>4000</gphoto:width><gphoto:height>3000</gphoto:height>"
     "<gphoto:timestamp>1234567</gphoto:timestamp><exif:tags><exif:make>Acme</exif:make><exif:iso>100</exif:iso></exif:tags>"},
    {"spreadsheet", "xmlns:gs=\"" ROOT "/spreadsheets/2006\"", ROOT "/spreadsheets/2006#cell",
     "<title>A1</title><gs:cell row=\"1\" col=\"1\" inputValue=\"=B1*2\" numericValue=\"4.0\">4</gs:cell>"},
    {"documents", "xmlns:docs=\"" ROOT "/docs/2007\"", ROOT "/docs/2007#item",
     "<category scheme=\"" ROOT "/g/2005#kind\" term=\"" ROOT "/docs/2007#document\"/><title>Notes</title>"
     "<gd:lastViewed>2010-01-02T03:04:05Z</gd:lastViewed><gd:quotaBytesUsed>1024</gd:quotaBytesUsed>"
     "<link rel=\"" ROOT "/docs/2007#parent\" href=\"http://d.test/f\"/>"},
    {"webmaster", "xmlns:wt=\"" ROOT "/webmasters/tools/2007\"", ROOT "/webmasters/tools/2007#crawl_issue_entry",
     "<category scheme=\"" ROOT "/g/2005#kind\" term=\"" ROOT "/webmasters/tools/2007#crawl_issue_entry\"/>"
     "<wt:crawl-type>web</wt:crawl-type><wt:issue-type>404</wt:issue-type><wt:url>http://s.test/x</wt:url>"
     "<wt:linked-from>http://s.test/a</wt:linked-from>"},
    {"finance", "xmlns:gf=\"" ROOT "/finance/2007\"", ROOT "/finance/2007#position",
     "<gf:positionData shares=\"12.5\" gainPercentage=\"0.25\"><gf:gain><gd:money amount=\"10.5\" currencyCode=\"USD\"/>"
     "</gf:gain></gf:positionData><gf:symbol symbol=\"ACME\" exchange=\"NYSE\" fullName=\"Acme\"/>"},
    {"maps", "", ROOT "/maps/2008#feature",
     "<title>Pier</title><content type=\"application/vnd.google-earth.kml+xml\"><Placemark "
     "xmlns=\"http://www.opengis.net/kml/2.2\"><name>Pier</name><Point><coordinates>1,2</coordinates></Point></Placemark>"
     "</content><gd:customProperty name=\"colour\">red</gd:customProperty>"},
    {"health", "xmlns:ccr=\"urn:astm-org:CCR\"", ROOT "/health/kinds#register",
     "<category scheme=\"" ROOT "/g/2005#kind\" term=\"" ROOT "/health/kinds#register\"/><ccr:ContinuityOfCareRecord>"
     "<ccr:Body><ccr:Medications><ccr:Medication><ccr:Text>Aspirin</ccr:Text></ccr:Medication></ccr:Medications>"
     "</ccr:Body></ccr:ContinuityOfCareRecord>"},
};

std::string feedDocument(const Family& f) {
  std::string s = std::string("<?xml version=\"1.0\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:gd=\"" ROOT
                              "/g/2005\" ") + f.namespaces + "><category scheme=\"" ROOT "/g/2005#kind\" term=\"" +
                  f.feedKind + "\"/><title>Bench</title>\n";
  for (int i = 0; i < kEntries; ++i) s += std::string("<entry><id>tag:bench,") + std::to_string(i) + "</id>" + f.entryBody + "</entry>\n";
  return s + "</feed>\n";
}

void BM_ParseFamilyFeed(benchmark::State& state) {
  ADRegisterServiceFamilies();
  const Family& family = kFamilies[state.range(0)];
  const std::string doc = feedDocument(family);
  state.SetLabel(family.name);
  for (auto _ : state) {
    fd::Expected<ADObjectPtr> feed = ADObjectWithXMLData(doc);
    if (!feed || static_cast<ADFeedBase&>(**feed).entries().size() != kEntries ||
        std::string((*feed)->classInfo().name) == "ADFeedBase") {
      state.SkipWithError("the feed did not parse into the family");
      return;
    }
    benchmark::DoNotOptimize(feed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseFamilyFeed)->DenseRange(0, std::size(kFamilies) - 1)->Unit(benchmark::kMillisecond);

void BM_BareLibxml2Parse(benchmark::State& state) {
  const Family& family = kFamilies[state.range(0)];
  const std::string doc = feedDocument(family);
  state.SetLabel(family.name);
  for (auto _ : state) {
    xmlDocPtr parsed = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), nullptr, nullptr, XML_PARSE_NONET);
    benchmark::DoNotOptimize(parsed);
    xmlFreeDoc(parsed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_BareLibxml2Parse)->DenseRange(0, std::size(kFamilies) - 1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
