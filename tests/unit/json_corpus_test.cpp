// Feeds the JSONTestSuite parsing corpus to the bridge dispatcher: as whole requests
// (none may crash or be taken) and as the argument of a registered command (the
// dispatcher's parser must accept exactly the texts that must be accepted).
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/bridge_router.h"
#include "fakes.h"

namespace {

struct CorpusFile {
  std::string name;
  std::string text;
};

std::vector<CorpusFile> ReadCorpus(const std::string& dir) {
  std::vector<CorpusFile> files;
  DIR* d = opendir(dir.c_str());
  if (!d)
    return files;
  while (dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() < 6 || name.compare(name.size() - 5, 5, ".json") != 0)
      continue;
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    files.push_back({name, text.str()});
  }
  closedir(d);
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  return files;
}

class JsonCorpusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = ReadCorpus(std::string(LUMIO_CORPORA_DIR) + "/json-parsing");
    if (files_.empty())
      GTEST_SKIP() << "no corpus at " << LUMIO_CORPORA_DIR;
    RegisterBridgeCommand(table_, "Probe",
                          [this](auto&, auto&, int64_t, auto&, bool, auto& callback) {
                            ++runs_;
                            ReplyEmptyObject(callback);
                          });
  }
  bool Dispatch(const std::string& request) {
    return DispatchBridgeQuery(table_, browser_, browser_->main_frame(), 1, request,
                               false, std::make_shared<FakeRouterCallback>());
  }

  std::vector<CorpusFile> files_;
  BridgeCommandTable table_;
  int runs_ = 0;
  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
};

TEST_F(JsonCorpusTest, NoCorpusFileIsTakenAsARequest) {
  // Holds because no file names a command: were one to contain a "command" member,
  // this test would need to say which ones are expected to be taken.
  for (const CorpusFile& file : files_)
    ASSERT_EQ(std::string::npos, file.text.find("\"command\"")) << file.name;
  for (const CorpusFile& file : files_)
    EXPECT_FALSE(Dispatch(file.text)) << file.name;
  EXPECT_EQ(0, runs_);
}

TEST_F(JsonCorpusTest, ArgumentsParseExactlyWhenTheCorpusSaysTheyMust) {
  int accepted = 0, rejected = 0;
  for (const CorpusFile& file : files_) {
    const bool taken = Dispatch(R"({"command":"Probe","arg":)" + file.text + "}");
    if (file.name[0] == 'y') {
      EXPECT_TRUE(taken) << file.name;
      ++accepted;
    } else if (file.name[0] == 'n') {
      EXPECT_FALSE(taken) << file.name;
      ++rejected;
    }
  }
  // The whole corpus was seen, not just a few files.
  EXPECT_GT(accepted, 90);
  EXPECT_GT(rejected, 150);
}

}  // namespace
