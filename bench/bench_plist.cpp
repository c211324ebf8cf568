// Property lists of 100,000 elements: a Project.plist whose sound list holds
// 100,000 numbers, and one of 100,000 frame records (each a dictionary with a
// two-layer list), in the XML and the binary form. Reading through the
// program's reader and writing the XML text are timed beside a plain libplist
// parse of the same bytes (goal: each at most 2x that parse), and a plain
// libplist write of the same list for comparison.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>
#include <string>

#include "platform/foundation/PropertyList.h"

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

}  // namespace

BENCHMARK_MAIN();
