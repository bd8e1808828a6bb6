// The costs that every page request and every bridge query pay: a pack lookup, a
// bridge dispatch and the page-event text.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "bridge/bridge_commands.h"
#include "bridge/bridge_router.h"
#include "bridge/json_to_text.h"
#include "bridge/page_event.h"
#include "engine/client.h"
#include "resources/scheme_handler_factory.h"
#include "resources/zip_archive.h"
#include "test_zip.h"

namespace {

class AppFrame : public engine::Frame {
 public:
  std::string GetName() const override { return {}; }
  std::string GetURL() const override { return "app://lumio/index.html"; }
  std::string GetSecurityOrigin() const override { return "app://lumio"; }
  bool IsMain() const override { return true; }
  void ExecuteJavaScript(const std::string&, const std::string&, int) override {}
};

class NullCallback : public engine::MessageRouter::Callback {
 public:
  void Success(const std::string& response) override {
    benchmark::DoNotOptimize(response);
  }
  void Failure(int, const std::string& message) override {
    benchmark::DoNotOptimize(message);
  }
};

// A pack shaped like a web application's: 300 files of 1 KiB to 300 KiB.
std::shared_ptr<ZipArchive> MakePack() {
  std::vector<TestZipEntry> files;
  for (int i = 0; i < 300; ++i) {
    files.push_back({"js/module" + std::to_string(i) + ".js",
                     std::string(1024 * (1 + i), static_cast<char>('a' + i % 26))});
  }
  const std::string bytes = MakeTestZip(files);
  auto pack = std::make_shared<ZipArchive>();
  pack->LoadBuffer(bytes.data(), bytes.size());
  return pack;
}

// Loading a pack of 50 MiB of generated source text in files of 512 KiB, which
// deflate shrinks about as much as real scripts: what start-up pays for a large
// web application.
void BM_LoadLargePack(benchmark::State& state) {
  const char* const words[] = {"function", "return", "const", "value",   "index",
                               "length",   "this",   "data",  "element", "=>",
                               "{",        "}",      "(",     ")",       ";",
                               "if",       "else",   "await"};
  uint32_t seed = 50;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  std::vector<TestZipEntry> files;
  size_t total = 0;
  for (int part = 0; total < 50u * 1024 * 1024; ++part) {
    std::string text;
    while (text.size() < 512 * 1024) {
      for (int w = 0; w < 12; ++w) {
        text += words[(next() >> 8) % (sizeof(words) / sizeof(words[0]))];
        text += ' ';
      }
      text += std::to_string(next()) + ";\n";
    }
    total += text.size();
    files.push_back({"js/part" + std::to_string(part) + ".js", std::move(text)});
  }
  const std::string bytes = MakeTestZip(files);
  for (auto _ : state) {
    ZipArchive pack;
    benchmark::DoNotOptimize(pack.LoadBuffer(bytes.data(), bytes.size()));
  }
  state.counters["packed_MiB"] = bytes.size() / 1048576.0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
BENCHMARK(BM_LoadLargePack)->Unit(benchmark::kMillisecond);

void BM_PackRequestHit(benchmark::State& state) {
  OrbitZipArchiveSchemeHandlerFactory factory(MakePack());
  const engine::URLRequest request("app://lumio/js/Module150.js?v=3");
  for (auto _ : state)
    benchmark::DoNotOptimize(factory.Create(nullptr, nullptr, "app", request));
}
BENCHMARK(BM_PackRequestHit);

void BM_PackRequestMiss(benchmark::State& state) {
  OrbitZipArchiveSchemeHandlerFactory factory(MakePack());
  const engine::URLRequest request("app://lumio/js/missing.js");
  for (auto _ : state)
    benchmark::DoNotOptimize(factory.Create(nullptr, nullptr, "app", request));
}
BENCHMARK(BM_PackRequestMiss);

// "BenchEcho": answers "{}" without reading anything.
void RegisterEchoCommand(BridgeCommandTable& table) {
  RegisterBridgeCommand(table, "BenchEcho",
                        [](const auto&, const auto&, int64_t, const auto&, bool,
                           const std::shared_ptr<OrbitBridgeCommandCallback>& cb) {
                          ReplyEmptyObject(cb);
                        });
}

void BM_DispatchBridgeQuery(benchmark::State& state) {
  BridgeCommandTable commands;
  RegisterEchoCommand(commands);
  auto frame = std::make_shared<AppFrame>();
  auto callback = std::make_shared<NullCallback>();
  const std::string request =
      R"({"command":"BenchEcho","title":"Hello","unreadCount":3})";
  for (auto _ : state)
    benchmark::DoNotOptimize(
        DispatchBridgeQuery(commands, nullptr, frame, 1, request, false, callback));
}
BENCHMARK(BM_DispatchBridgeQuery);

// The tray and window services of a real command, doing nothing.
class NullServices : public WindowService, public TrayService {
 public:
  void Show() override {}
  void Hide() override {}
  void Minimize() override {}
  void Flash() override {}
  void Unflash() override {}
  void SetTopmost(bool) override {}
  void SetAlpha(int value) override { benchmark::DoNotOptimize(value); }
  MainWindowState GetState() override { return kMainWindowStateVisible; }
  void Notify(const std::string& title, const std::string& text, int32_t count) override {
    benchmark::DoNotOptimize(title);
  }
  void UpdateMenu(const std::vector<TrayMenuItem>& items) override {
    benchmark::DoNotOptimize(items.data());
  }
  void ClearBadge() override {}
  void RemoveDeliveredNotifications() override {}
};

// A registered command with arguments, end to end: parse, read the members,
// call the service, answer.
void BM_DispatchCommandWithArguments(benchmark::State& state) {
  BridgeCommandTable commands;
  auto services = std::make_shared<NullServices>();
  BridgeServices table;
  table.window = services;
  table.tray = services;
  RegisterBridgeCommands(commands, table);
  auto frame = std::make_shared<AppFrame>();
  auto callback = std::make_shared<NullCallback>();
  const std::string request =
      state.range(0) == 0 ? R"({"command":"OrbitMainBrowserSetAlpha","value":200})"
                          : R"({"command":"OrbitTrayIconUpdateMenu","items":[)"
                            R"({"id":1,"label":"Open","enabled":true},)"
                            R"({"id":2,"label":"Do not disturb","enabled":false},)"
                            R"({"id":3,"label":"Quit","enabled":true}]})";
  for (auto _ : state)
    benchmark::DoNotOptimize(
        DispatchBridgeQuery(commands, nullptr, frame, 1, request, false, callback));
  state.SetLabel(state.range(0) == 0 ? "SetAlpha" : "TrayIconUpdateMenu, 3 items");
}
BENCHMARK(BM_DispatchCommandWithArguments)->Arg(0)->Arg(1);

// The cost per megabyte of a large request, all of it on the UI thread: one long
// string member (the cheapest text to parse), or an array of small numbers (about
// the dearest). The command answers without reading the member.
void BM_DispatchLargeRequest(benchmark::State& state) {
  BridgeCommandTable commands;
  RegisterEchoCommand(commands);
  auto frame = std::make_shared<AppFrame>();
  auto callback = std::make_shared<NullCallback>();
  // In KiB; the largest stays just inside the limit.
  const size_t size = static_cast<size_t>(state.range(1)) << 10;
  std::string request = R"({"command":"BenchEcho","data":)";
  if (state.range(0) == 0) {
    request += '"';
    request.append(size, 'x');
    request += '"';
  } else {
    request += "[0";
    while (request.size() < size)
      request += ",12";
    request += ']';
  }
  request += '}';
  for (auto _ : state) {
    if (!DispatchBridgeQuery(commands, nullptr, frame, 1, request, false, callback))
      state.SkipWithError("not taken");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * request.size()));
  state.SetLabel(state.range(0) == 0 ? "string" : "array of numbers");
}
BENCHMARK(BM_DispatchLargeRequest)
    ->ArgsProduct({{0, 1}, {1024, 4096, 10239}})
    ->Unit(benchmark::kMillisecond);

void BM_PageEventText(benchmark::State& state) {
  rapidjson::Document payload(rapidjson::kObjectType);
  payload.AddMember("url", "app://lumio/index.html#/conversations/1234?filter=\"unread\"",
                    payload.GetAllocator());
  for (auto _ : state)
    benchmark::DoNotOptimize(PageEventText("OrbitBrowserOnAddressChange", payload));
}
BENCHMARK(BM_PageEventText);

}  // namespace
