// Package export and import of a 300-frame project (1200 PNGs), timed against
// Debian's zip -r -P and unzip -P on the same folder. Peak memory is reported
// as peak_rss_MB (ru_maxrss of this process, which never sees the children's);
// cpu_s is the processor time one run took over all its threads (for zip and
// unzip, the child's), which the wall time hides on a busy machine.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/LongProject.h"
#include "model/PackageZipOperator.h"
#include "model/ProjectDataModel.h"
#include "model/StagingFolder.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 300;
constexpr const char* kProject = "Bench";

double peakRssMB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Processor time of all this process's threads, in seconds: on a shared
// machine the wall time says how many cores were free, this what the work cost.
double cpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time of finished child processes (zip, unzip), in seconds.
double childCpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// A drawn-looking layer: a few strokes on transparency, different per seed.
fd::Data layerPng(int w, int h, int seed) {
  gfx::Context c(w, h);
  c.setLineWidth(6.0f + static_cast<float>(seed % 5));
  for (int s = 0; s < 12; ++s) {
    c.setStrokeColor(gfx::Color::rgba8(static_cast<std::uint8_t>(seed * 40 + s * 17), static_cast<std::uint8_t>(s * 23),
                                       static_cast<std::uint8_t>(200 - s * 9)));
    std::vector<gfx::Point> line;
    for (int k = 0; k < 8; ++k) {
      line.push_back({static_cast<float>((seed * 97 + s * 61 + k * 83) % w), static_cast<float>((seed * 53 + s * 37 + k * 71) % h)});
    }
    c.strokePolyline(line);
  }
  return *gfx::encodePNG(c.makeImage());
}

void writeFile(const fs::path& p, const fd::Data& bytes) { fd::files::writeFileAtomically(p, bytes); }

struct Fixture {
  testing_support::ScopedSandbox sandbox;
  std::shared_ptr<ProjectDataModel> project;
  fs::path folder;

  Fixture() {
    folder = fd::paths::library() / "Projects" / kProject;
    fs::create_directories(folder);
    std::vector<fd::Data> layers, snapshots, icons;
    for (int i = 0; i < 8; ++i) {
      layers.push_back(layerPng(768, 576, i));
      snapshots.push_back(layerPng(384, 288, i + 8));
      icons.push_back(layerPng(216, 162, i + 16));
    }
    fd::Array frames;
    fd::Dictionary lays;
    for (int f = 1; f <= kFrames; ++f) {
      const std::string a = "A" + std::to_string(f), b = "B" + std::to_string(f), icon = "I" + std::to_string(f);
      writeFile(folder / (a + ".png"), layers[f % 8]);
      writeFile(folder / (b + ".png"), layers[(f + 3) % 8]);
      writeFile(folder / (icon + "Snapshot.png"), snapshots[f % 8]);
      writeFile(folder / (icon + "Icon.png"), icons[f % 8]);
      frames.push_back(fd::Dictionary{{"LaysArray", fd::Array{a, b}}, {"IconName", icon}});
      lays[a] = fd::Dictionary{{"LayPosition", 1}, {"RefPageArray", fd::Array{f}}};
      lays[b] = fd::Dictionary{{"LayPosition", 2}, {"RefPageArray", fd::Array{f}}, {"isLayOpen", true}};
    }
    (void)fd::writePropertyList(folder / "Project.plist",
                          fd::Dictionary{{"Version", 104}, {"FrameLayCount", 2}, {"AnimationSpeed", 0.25},
                                         {"ImagesArray", frames}, {"temporarysArray", fd::Array{}},
                                         {"LaysDictionary", lays}, {"ProjectDataVersion", 100}, {"DataType", 2}});
    project = ProjectDataModel::initWithProjectName(kProject);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

fs::path currentPackage() { return fd::paths::documents() / (std::string(kProject) + ".zt2"); }

void ensurePackage() {
  if (!fs::exists(currentPackage())) ZipOperator().exportAndIsUpgradeVersion(*fixture().project, true);
}

void BM_ExportCurrentFormat(benchmark::State& state) {
  Fixture& f = fixture();
  const double cpuBefore = cpuSeconds();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(currentPackage());
    state.ResumeTiming();
    if (!ZipOperator().exportAndIsUpgradeVersion(*f.project, true)) state.SkipWithError("export failed");
  }
  state.counters["package_MB"] = static_cast<double>(fs::file_size(currentPackage())) / (1 << 20);
  state.counters["peak_rss_MB"] = peakRssMB();
  state.counters["cpu_s"] = (cpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

void BM_ZipCommand(benchmark::State& state) {
  Fixture& f = fixture();
  const fs::path out = fd::paths::temporary() / "by-zip.zip";
  const std::string command = "cd " + quoted(f.folder) + " && /usr/bin/zip -q -r -P " + ZipOperator::kPackagePassword +
                              " " + quoted(out) + " . >/dev/null 2>&1";
  const double cpuBefore = childCpuSeconds();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(out);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("zip failed");
  }
  state.counters["cpu_s"] = (childCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

void BM_ImportCurrentFormat(benchmark::State& state) {
  fixture();
  ensurePackage();
  const fs::path target = fd::paths::library() / "Projects" / "Imported";
  const double cpuBefore = cpuSeconds();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(target);
    state.ResumeTiming();
    if (!ZipOperator().import(kProject, target, true)) state.SkipWithError("import failed");
  }
  state.counters["peak_rss_MB"] = peakRssMB();
  state.counters["cpu_s"] = (cpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

void BM_UnzipCommand(benchmark::State& state) {
  fixture();
  ensurePackage();
  const fs::path out = fd::paths::temporary() / "by-unzip";
  const std::string command = "/usr/bin/unzip -q -o -P " + std::string(ZipOperator::kPackagePassword) + " " +
                              quoted(currentPackage()) + " -d " + quoted(out) + " >/dev/null 2>&1";
  const double cpuBefore = childCpuSeconds();
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(out);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("unzip failed");
  }
  state.counters["cpu_s"] = (childCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

void BM_ExportOlderFormat(benchmark::State& state) {
  Fixture& f = fixture();
  const fs::path package = fd::paths::documents() / (std::string(kProject) + ".zt");
  const double cpuBefore = cpuSeconds();
  for (auto _ : state) {
    state.PauseTiming();
    for (const auto& name : ZipOperator::packageNames(false)) fs::remove(fd::paths::documents() / (name + ".zt"));
    fs::remove(currentPackage());
    state.ResumeTiming();
    if (!ZipOperator().exportAndIsUpgradeVersion(*f.project, false)) state.SkipWithError("export failed");
  }
  state.counters["peak_rss_MB"] = peakRssMB();
  state.counters["cpu_s"] = (cpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
}

// A long project's packages in both formats: a project of range(0) frames of
// tiny pages (four files a frame), exported, listed by unzip -l (untimed) and
// imported again whole. At 17,000 frames it holds 68,001 files, more than a
// zip's 16-bit count; each format's export and import times are counters.
void BM_LongProjectRoundTrip(benchmark::State& state) {
  fixture();
  const int frames = static_cast<int>(state.range(0));
  const fs::path projects = fd::paths::library() / "Projects";
  const fs::path folder = projects / "Long", imported = projects / "LongImported";
  if (!model_test::writeLongProject(folder, frames, 0)) {
    state.SkipWithError("the project could not be written");
    return;
  }
  const auto project = ProjectDataModel::initWithProjectName("Long");
  const std::size_t files = 4 * static_cast<std::size_t>(frames) + 1;
  const auto since = [](std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  double exportSeconds[2] = {}, importSeconds[2] = {};
  for (auto _ : state) {
    for (const bool isUpgrade : {true, false}) {
      state.PauseTiming();
      fs::remove_all(imported);
      fs::remove(fd::paths::documents() / (std::string("Long.") + (isUpgrade ? "zt2" : "zt")));
      state.ResumeTiming();
      ZipOperator op;
      auto start = std::chrono::steady_clock::now();
      if (!op.exportAndIsUpgradeVersion(*project, isUpgrade)) {
        state.SkipWithError(("export refused: " + op.lastError()).c_str());
        return;
      }
      exportSeconds[isUpgrade] += since(start);
      state.PauseTiming();
      const bool listed = std::system(("/usr/bin/unzip -l " + quoted(op.lastPackagePath()) + " >/dev/null 2>&1").c_str()) == 0;
      state.ResumeTiming();
      if (!listed) {
        state.SkipWithError("unzip -l cannot list the package");
        return;
      }
      start = std::chrono::steady_clock::now();
      if (!op.import("Long", imported, isUpgrade)) {
        state.SkipWithError(("import refused: " + op.lastError()).c_str());
        return;
      }
      importSeconds[isUpgrade] += since(start);
      if (fd::files::subpaths(imported).size() != files) {
        state.SkipWithError("the import is not whole");
        return;
      }
    }
  }
  const auto perRun = [&](double seconds) { return seconds / static_cast<double>(state.iterations()); };
  state.counters["zt2_export_s"] = perRun(exportSeconds[1]);
  state.counters["zt2_import_s"] = perRun(importSeconds[1]);
  state.counters["zt_export_s"] = perRun(exportSeconds[0]);
  state.counters["zt_import_s"] = perRun(importSeconds[0]);
  state.counters["peak_rss_MB"] = peakRssMB();
  fs::remove_all(folder);
  fs::remove_all(imported);
}

// Hostile packages written record by record: `names` directory records of
// stored files. With `sharedZeros` bytes, every record points at the one
// local header, whose entry is that many zeros deflated (the records on one
// stream an import once inflated each in full); without, each record has an
// empty entry of its own. Past 65,534 records the 64-bit end records give
// the count.
void writeHostilePackage(const fs::path& path, const std::vector<std::string>& names, std::size_t sharedZeros) {
  std::vector<unsigned char> out, directory;
  const auto put = [](std::vector<unsigned char>& into, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) into.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  std::vector<unsigned char> stream;
  std::uint32_t crc = 0;
  if (sharedZeros > 0) {
    const std::vector<std::uint8_t> zeros(sharedZeros, 0);
    crc = ziptest::crcOf(zeros);
    stream = ziptest::rawDeflate(zeros);
  }
  const int method = sharedZeros > 0 ? Z_DEFLATED : 0;
  const auto header = [&](std::vector<unsigned char>& into, bool record, const std::string& name, std::uint64_t at) {
    put(into, record ? 0x02014b50 : 0x04034b50, 4);
    if (record) put(into, 20, 2);
    put(into, 20, 2), put(into, 0, 2), put(into, method, 2), put(into, 0, 4), put(into, crc, 4);
    put(into, stream.size(), 4), put(into, sharedZeros, 4), put(into, name.size(), 2), put(into, 0, 2);
    if (record) put(into, 0, 2), put(into, 0, 2), put(into, 0, 2), put(into, 0, 4), put(into, at, 4);
    into.insert(into.end(), name.begin(), name.end());
  };
  for (const std::string& name : names) {
    if (sharedZeros > 0 && !out.empty()) {
      header(directory, true, name, 0);
      continue;
    }
    header(directory, true, name, out.size());
    header(out, false, name, 0);
    out.insert(out.end(), stream.begin(), stream.end());
  }
  const std::uint64_t directoryAt = out.size(), count = names.size();
  out.insert(out.end(), directory.begin(), directory.end());
  if (count >= 0xFFFF) {
    const std::uint64_t wideAt = out.size();
    put(out, 0x06064b50, 4), put(out, 44, 8), put(out, 45, 2), put(out, 45, 2), put(out, 0, 4), put(out, 0, 4);
    put(out, count, 8), put(out, count, 8), put(out, directory.size(), 8), put(out, directoryAt, 8);
    put(out, 0x07064b50, 4), put(out, 0, 4), put(out, wideAt, 8), put(out, 1, 4);
  }
  const std::uint64_t shortCount = std::min<std::uint64_t>(count, 0xFFFF);
  put(out, 0x06054b50, 4), put(out, 0, 2), put(out, 0, 2), put(out, shortCount, 2), put(out, shortCount, 2);
  put(out, directory.size(), 4), put(out, directoryAt, 4), put(out, 0, 2);
  fs::create_directories(path.parent_path());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(out.data(), 1, out.size(), file);
  std::fclose(file);
}

// Each refused from its directory, in a time that grows with the package's
// size: state.range(0) records on one stream of 1 MiB of zeros (10,000 held
// an import 86.5 s), or as many empty entries and no project list (1,000,001
// were unpacked whole, 8 minutes, before "it holds no project").
void refuseHostilePackage(benchmark::State& state, bool shared) {
  fixture();
  const auto records = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> names;
  if (shared) names.emplace_back("Project.plist");
  while (names.size() < records) names.push_back("f" + std::to_string(names.size()) + ".png");
  const std::string name = shared ? "Overlapping" : "NoList";
  const fs::path package = fd::paths::documents() / (name + ".zt2");
  writeHostilePackage(package, names, shared ? std::size_t{1} << 20 : 0);
  const PackageFailure expected = shared ? PackageFailure::Archive : PackageFailure::NotAProject;
  for (auto _ : state) {
    ZipOperator op;
    if (op.import(name, fd::paths::library() / "Projects" / name, true) || op.lastFailure() != expected)
      state.SkipWithError(("not refused from its directory: " + op.lastError()).c_str());
  }
  staging::waitForEmptying();
  state.counters["package_MB"] = static_cast<double>(fs::file_size(package)) / (1 << 20);
  state.counters["peak_rss_MB"] = peakRssMB();
  fs::remove(package);
}

void BM_ImportOverlappingPackage(benchmark::State& state) { refuseHostilePackage(state, true); }
void BM_ImportPackageWithoutProjectList(benchmark::State& state) { refuseHostilePackage(state, false); }

}  // namespace

BENCHMARK(BM_ExportCurrentFormat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ZipCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportCurrentFormat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_UnzipCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportOlderFormat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_LongProjectRoundTrip)->Arg(5001)->Arg(17000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

BENCHMARK(BM_ImportOverlappingPackage)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportPackageWithoutProjectList)
    ->Arg(100000)
    ->Arg(1000001)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK_MAIN();
