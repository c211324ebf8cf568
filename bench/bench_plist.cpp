// Property lists of 100,000 elements: a Project.plist whose sound list holds
// 100,000 numbers, and one of 100,000 frame records (each a dictionary with a
// two-layer list), in the XML and the binary form. Reading through the
// program's reader and writing the XML text are timed beside a plain libplist
// parse of the same bytes (goal: each at most 2x that parse), and a plain
// libplist write of the same list for comparison.
//
// What the check that a list read could be written and read again costs: each
// read above timed with the check and, in turn, without it (the reader
// alone), and the check a save makes beside making the text it writes
// (goal: a read within 1.05x of the same read without the check, the save's
// check within 5% of making the text). The two are timed alternately in one
// run so that a shared machine's drift falls on both: check_ratio is the
// time with the check over the time without.
//
// Lists at the bounds: a binary list of 19 KB whose shared objects would
// build 32 GB once copied out, refused (time, and peak memory, peak_MB: what
// the process's resident memory grew by at most while it was read), and a
// valid XML list of 63.9 MB of small elements read whole, its peak memory
// beside the file's size (peak_per_file), against a plain libplist parse of
// the same bytes (goal: no more than 4 times the file; libplist's tree of
// nodes took 25 times).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <plist/plist.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "support/PeakMemory.h"

namespace {

constexpr int kElements = 100000;

enum Shape { kSoundList = 0, kFrameRecords = 1 };
enum Form { kXML = 0, kBinary = 1 };

fd::Value project(Shape shape) {
  fd::Array list;
  list.reserve(kElements);
  for (int i = 0; i < kElements; ++i) {
    if (shape == kSoundList) {
      list.emplace_back(49.0 + (i % 331) * 0.5);
    } else {
      const std::string id = std::to_string(20260101000000000LL + 3 * i);
      list.emplace_back(fd::Dictionary{{"IconName", fd::Value(id)},
                                       {"LaysArray", fd::Value(fd::Array{fd::Value(id + "1"), fd::Value(id + "2")})}});
    }
  }
  return fd::Value(fd::Dictionary{{"Version", fd::Value(104)},
                                  {shape == kSoundList ? "SoundTagViewPoints" : "ImagesArray", fd::Value(std::move(list))}});
}

const fd::Data& bytesOf(Shape shape, Form form) {
  static fd::Data made[2][2];
  fd::Data& bytes = made[shape][form];
  if (bytes.empty()) {
    const std::string xml = fd::serializePropertyListXML(project(shape));
    if (form == kXML) {
      bytes.assign(xml.begin(), xml.end());
    } else {
      plist_t root = nullptr;
      plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &root);
      char* bin = nullptr;
      std::uint32_t length = 0;
      plist_to_bin(root, &bin, &length);
      plist_free(root);
      bytes.assign(bin, bin + length);
      std::free(bin);
    }
  }
  return bytes;
}

void label(benchmark::State& state, const fd::Data& bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.SetLabel(std::string(state.range(0) == kSoundList ? "sound list" : "frame records") +
                 (state.range(1) == kXML ? ", XML" : ", binary"));
}

void BM_PlainLibplistParse(benchmark::State& state) {
  const fd::Data& bytes = bytesOf(Shape(state.range(0)), Form(state.range(1)));
  const char* text = reinterpret_cast<const char*>(bytes.data());
  for (auto _ : state) {
    plist_t root = nullptr;
    if (state.range(1) == kXML)
      plist_from_xml(text, static_cast<std::uint32_t>(bytes.size()), &root);
    else
      plist_from_bin(text, static_cast<std::uint32_t>(bytes.size()), &root);
    if (!root) {
      state.SkipWithError("libplist did not parse the file");
      return;
    }
    plist_free(root);
  }
  label(state, bytes);
}
BENCHMARK(BM_PlainLibplistParse)->ArgsProduct({{kSoundList, kFrameRecords}, {kXML, kBinary}})->Unit(benchmark::kMillisecond);

void BM_ReadPropertyList(benchmark::State& state) {
  const fd::Data& bytes = bytesOf(Shape(state.range(0)), Form(state.range(1)));
  for (auto _ : state) {
    fd::Expected<fd::Value> value = fd::parsePropertyList(bytes);
    if (!value) {
      state.SkipWithError(value.error().c_str());
      return;
    }
    benchmark::DoNotOptimize(value);
  }
  label(state, bytes);
}
BENCHMARK(BM_ReadPropertyList)->ArgsProduct({{kSoundList, kFrameRecords}, {kXML, kBinary}})->Unit(benchmark::kMillisecond);

void BM_WritePropertyListXML(benchmark::State& state) {
  const fd::Value value = project(Shape(state.range(0)));
  const fd::Data& bytes = bytesOf(Shape(state.range(0)), kXML);
  for (auto _ : state) {
    std::string text = fd::serializePropertyListXML(value);
    benchmark::DoNotOptimize(text);
  }
  label(state, bytes);
}
BENCHMARK(BM_WritePropertyListXML)->ArgsProduct({{kSoundList, kFrameRecords}, {kXML}})->Unit(benchmark::kMillisecond);

// For comparison: libplist writing the same list from its own nodes.
void BM_PlainLibplistWriteXML(benchmark::State& state) {
  const fd::Data& bytes = bytesOf(Shape(state.range(0)), kXML);
  plist_t root = nullptr;
  plist_from_xml(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
  for (auto _ : state) {
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    benchmark::DoNotOptimize(xml);
    plist_to_xml_free(xml);
  }
  plist_free(root);
  label(state, bytes);
}
BENCHMARK(BM_PlainLibplistWriteXML)->ArgsProduct({{kSoundList, kFrameRecords}, {kXML}})->Unit(benchmark::kMillisecond);

// --- what the check costs

// `checked` timed as the iteration, `plain` beside it in turn.
void timeAlternately(benchmark::State& state, const std::function<void()>& checked, const std::function<void()>& plain) {
  using Clock = std::chrono::steady_clock;
  double withCheck = 0, without = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    checked();
    const auto middle = Clock::now();
    plain();
    const auto end = Clock::now();
    const double taken = std::chrono::duration<double>(middle - start).count();
    withCheck += taken;
    without += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(taken);
  }
  state.counters["check_ratio"] = without > 0 ? withCheck / without : 0;
}

// The reader alone: what a read does before the check.
fd::Expected<fd::Value> readWithoutTheCheck(const fd::Data& bytes, Form form) {
  if (form == kXML) return fd::plistcheck::readXML(bytes);
  if (fd::Status checked = fd::plistcheck::checkBinary(bytes); !checked) return checked.failure();
  return fd::plistcheck::readCheckedBinary(bytes);
}

void BM_ReadCheckCost(benchmark::State& state) {
  const Form form = Form(state.range(1));
  const fd::Data& bytes = bytesOf(Shape(state.range(0)), form);
  const auto read = [&](const std::function<fd::Expected<fd::Value>()>& reader) {
    fd::Expected<fd::Value> value = reader();
    if (!value) state.SkipWithError(value.error().c_str());
    benchmark::DoNotOptimize(value);
  };
  timeAlternately(
      state, [&] { read([&] { return fd::parsePropertyList(bytes); }); },
      [&] { read([&] { return readWithoutTheCheck(bytes, form); }); });
  label(state, bytes);
}
BENCHMARK(BM_ReadCheckCost)
    ->ArgsProduct({{kSoundList, kFrameRecords}, {kXML, kBinary}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SaveCheckCost(benchmark::State& state) {
  const fd::Value value = project(Shape(state.range(0)));
  timeAlternately(
      state,
      [&] {
        fd::Expected<std::string> text = fd::plistcheck::storableText(value);
        if (!text) state.SkipWithError(text.error().c_str());
        benchmark::DoNotOptimize(text);
      },
      [&] {
        std::string text = fd::serializePropertyListXML(value);
        benchmark::DoNotOptimize(text);
      });
  label(state, bytesOf(Shape(state.range(0)), kXML));
}
BENCHMARK(BM_SaveCheckCost)->ArgsProduct({{kSoundList, kFrameRecords}, {kXML}})->UseManualTime()->Unit(benchmark::kMillisecond);

// --- lists at the bounds

using testing_support::peakGrowthMB;

// 1,000 references to an array of 2,000 references to one 16 KB data, with
// references of one byte: 19 KB.
const fd::Data& sharedReferenceList() {
  static const fd::Data bytes = [] {
    fd::Data out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::size_t> offsets;
    const auto withCount = [&](std::uint8_t marker, std::uint32_t n) {
      out.push_back(marker | 0x0F);
      out.push_back(0x12);
      for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
    };
    offsets.push_back(out.size());
    withCount(0x40, 16384);
    for (int i = 0; i < 16384; ++i) out.push_back(static_cast<std::uint8_t>(i));
    offsets.push_back(out.size());
    withCount(0xA0, 2000);
    out.insert(out.end(), 2000, 0);  // the data
    offsets.push_back(out.size());
    withCount(0xA0, 1000);
    out.insert(out.end(), 1000, 1);  // the inner array
    const std::size_t table = out.size();
    for (std::size_t offset : offsets) {
      out.push_back(static_cast<std::uint8_t>(offset >> 8));
      out.push_back(static_cast<std::uint8_t>(offset));
    }
    const std::uint8_t trailer[32] = {0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 2,
                                      0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(table >> 8),
                                      static_cast<std::uint8_t>(table)};
    out.insert(out.end(), trailer, trailer + 32);
    return out;
  }();
  return bytes;
}

void BM_RefuseSharedReferenceList(benchmark::State& state) {
  const fd::Data& bytes = sharedReferenceList();
  for (auto _ : state) {
    fd::Expected<fd::Value> value = fd::parsePropertyList(bytes);
    if (value) {
      state.SkipWithError("the list was read");
      return;
    }
    benchmark::DoNotOptimize(value);
  }
  state.counters["file_KB"] = static_cast<double>(bytes.size()) / 1e3;
  state.counters["peak_MB"] = peakGrowthMB([&] { benchmark::DoNotOptimize(fd::parsePropertyList(bytes)); });
}
BENCHMARK(BM_RefuseSharedReferenceList)->Unit(benchmark::kMicrosecond);

// 63.9 MB of lines of one small element each in one array.
fd::Data longXMLList(const std::function<std::string(std::size_t)>& element) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
  for (std::size_t i = 0; xml.size() < 67000000; ++i) xml += "\t" + element(i) + "\n";
  xml += "</array>\n</plist>\n";
  return fd::Data(xml.begin(), xml.end());
}

// Numbers: 2.9 million elements, read.
const fd::Data& longXMLList() {
  static const fd::Data bytes =
      longXMLList([](std::size_t i) { return "<integer>" + std::to_string(i % 10000) + "</integer>"; });
  return bytes;
}

// Flags: 7.4 million elements, 415 MB of values, past the budget. Read with
// libplist and then made values, as lists once were, they took 1.6 GB.
void BM_RefuseLongXMLListOfFlags(benchmark::State& state) {
  static const fd::Data bytes = longXMLList([](std::size_t) { return std::string("<true/>"); });
  const auto refuse = [&] {
    fd::Expected<fd::Value> value = fd::parsePropertyList(bytes);
    if (value) state.SkipWithError("the list was read");
    benchmark::DoNotOptimize(value);
  };
  for (auto _ : state) refuse();
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
  state.counters["peak_MB"] = peakGrowthMB(refuse);
}
BENCHMARK(BM_RefuseLongXMLListOfFlags)->Unit(benchmark::kMillisecond);

void labelLongList(benchmark::State& state, const fd::Data& bytes, const std::function<void()>& readOnce) {
  const double peak = peakGrowthMB(readOnce);
  const double file = static_cast<double>(bytes.size()) / (1 << 20);
  state.counters["file_MB"] = file;
  state.counters["peak_MB"] = peak;
  state.counters["peak_per_file"] = peak / file;
}

void BM_ReadLongXMLList(benchmark::State& state) {
  const fd::Data& bytes = longXMLList();
  const auto read = [&] {
    fd::Expected<fd::Value> value = fd::parsePropertyList(bytes);
    if (!value) state.SkipWithError(value.error().c_str());
    benchmark::DoNotOptimize(value);
  };
  for (auto _ : state) read();
  labelLongList(state, bytes, read);
}
BENCHMARK(BM_ReadLongXMLList)->Unit(benchmark::kMillisecond);

void BM_PlainLibplistParseLongXML(benchmark::State& state) {
  const fd::Data& bytes = longXMLList();
  const auto parse = [&] {
    plist_t root = nullptr;
    plist_from_xml(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
    if (!root) state.SkipWithError("libplist did not parse the list");
    plist_free(root);
  };
  for (auto _ : state) parse();
  labelLongList(state, bytes, parse);
}
BENCHMARK(BM_PlainLibplistParseLongXML)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
