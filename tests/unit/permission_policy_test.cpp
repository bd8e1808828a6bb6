// Who may use what, the user's remembered answers, and the client that applies both.
#include "client/permission_policy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "client/orbit_client.h"
#include "fakes.h"

namespace {

using engine::Permission;

constexpr Permission kAll[] = {Permission::kNotifications,
                               Permission::kGeolocation,
                               Permission::kCamera,
                               Permission::kMicrophone,
                               Permission::kCameraAndMicrophone,
                               Permission::kScreenCapture,
                               Permission::kPointerLock,
                               Permission::kClipboard,
                               Permission::kFullscreen};
constexpr Permission kDevices[] = {
    Permission::kGeolocation, Permission::kCamera, Permission::kMicrophone,
    Permission::kCameraAndMicrophone, Permission::kScreenCapture};

TEST(PermissionPolicyTest, TheAppGetsNotificationsClipboardAndFullscreenAtOnce) {
  for (bool devices : {false, true}) {
    for (Permission p :
         {Permission::kNotifications, Permission::kClipboard, Permission::kFullscreen})
      EXPECT_EQ(DecidePermission(p, "app://lumio", devices), PermissionAnswer::kGrant);
    EXPECT_EQ(DecidePermission(Permission::kPointerLock, "app://lumio", devices),
              PermissionAnswer::kDeny);
  }
}

TEST(PermissionPolicyTest, DevicesAreAskedOnlyWhenTheAppDeclaresThem) {
  for (Permission p : kDevices) {
    EXPECT_EQ(DecidePermission(p, "app://lumio", false), PermissionAnswer::kDeny)
        << PermissionName(p);
    EXPECT_EQ(DecidePermission(p, "app://lumio", true), PermissionAnswer::kAsk)
        << PermissionName(p);
  }
}

TEST(PermissionPolicyTest, EveryOtherOriginIsDeniedEverything) {
  for (const char* origin :
       {"http://127.0.0.1:8000", "https://lumio", "app://lumio.example", "app://lumio:1",
        "app://other", "null", "", "app://lumio/", "file://"}) {
    for (Permission p : kAll) {
      EXPECT_EQ(DecidePermission(p, origin, true), PermissionAnswer::kDeny)
          << origin << " " << PermissionName(p);
    }
  }
}

class PermissionMemoryTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::TempDir() + "lumio-permissions-" +
            testing::UnitTest::GetInstance()->current_test_info()->name();
    std::remove(path_.c_str());
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void Write(const std::string& text) { std::ofstream(path_) << text; }
  bool Exists() const { return std::ifstream(path_).good(); }

  std::string path_;
};

TEST_F(PermissionMemoryTest, AnswersOutliveTheRunAndResetForgetsThem) {
  {
    PermissionMemory memory(path_);
    EXPECT_EQ(memory.Get("app://lumio", Permission::kCamera), std::nullopt);
    EXPECT_TRUE(memory.Remember("app://lumio", Permission::kCamera, true));
    EXPECT_TRUE(memory.Remember("app://lumio", Permission::kGeolocation, false));
    EXPECT_TRUE(memory.Remember("app://lumio", Permission::kGeolocation, true));
  }
  PermissionMemory again(path_);
  EXPECT_EQ(again.Get("app://lumio", Permission::kCamera), std::optional<bool>(true));
  EXPECT_EQ(again.Get("app://lumio", Permission::kGeolocation),
            std::optional<bool>(true));
  EXPECT_EQ(again.Get("app://lumio", Permission::kMicrophone), std::nullopt);
  EXPECT_EQ(again.Get("http://127.0.0.1", Permission::kCamera), std::nullopt);

  EXPECT_TRUE(again.Reset());
  EXPECT_FALSE(Exists());
  EXPECT_EQ(again.Get("app://lumio", Permission::kCamera), std::nullopt);
  EXPECT_EQ(PermissionMemory(path_).Get("app://lumio", Permission::kCamera),
            std::nullopt);
  // Resetting with nothing remembered is no failure.
  EXPECT_TRUE(PermissionMemory(path_).Reset());
}

TEST_F(PermissionMemoryTest, ADamagedFileYieldsOnlyItsWellFormedLines) {
  Write(
      "app://lumio camera granted\n"
      "app://lumio microphone granted extra\n"
      "app://lumio teleport granted\n"
      "app://lumio location maybe\n"
      "app://lumio screen\n"
      "\n"
      "\x01\xff garbage\n"
      "app://lumio screen denied\n");
  PermissionMemory memory(path_);
  EXPECT_EQ(memory.Get("app://lumio", Permission::kCamera), std::optional<bool>(true));
  EXPECT_EQ(memory.Get("app://lumio", Permission::kMicrophone), std::nullopt);
  EXPECT_EQ(memory.Get("app://lumio", Permission::kGeolocation), std::nullopt);
  EXPECT_EQ(memory.Get("app://lumio", Permission::kScreenCapture),
            std::optional<bool>(false));
}

TEST_F(PermissionMemoryTest, AnOriginThatIsNotOneWordIsNotRemembered) {
  PermissionMemory memory(path_);
  EXPECT_FALSE(
      memory.Remember("app://lumio camera granted\nx", Permission::kCamera, true));
  EXPECT_FALSE(memory.Remember("", Permission::kCamera, true));
  EXPECT_TRUE(memory.Remember("app://lumio", Permission::kCamera, false));
  std::ifstream in(path_);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "app://lumio camera denied\n");
}

class PromptingClient : public OrbitClient {
 public:
  explicit PromptingClient(const BridgeCommandTable& commands)
      : OrbitClient(commands, nullptr) {}

  std::vector<std::function<void(bool)>> prompts;

 protected:
  void OnFirstBrowserCreated(const std::shared_ptr<engine::Browser>& browser) override {}
  void OnLastBrowserClosed() override {}
  void AskPermission(const std::shared_ptr<engine::Browser>& browser,
                     const std::string& origin,
                     engine::Permission permission,
                     std::function<void(bool)> answer) override {
    prompts.push_back(std::move(answer));
  }
};

class RecordingCallback : public engine::PermissionCallback {
 public:
  void Continue(bool granted) override { answers.push_back(granted); }
  std::vector<bool> answers;
};

class ClientPermissionTest : public PermissionMemoryTest {
 protected:
  std::vector<bool> Request(const std::shared_ptr<PromptingClient>& client,
                            const std::string& origin,
                            Permission permission) {
    auto callback = std::make_shared<RecordingCallback>();
    client->GetPermissionHandler()->OnPermissionRequest(nullptr, origin, permission,
                                                        callback);
    callbacks_.push_back(callback);
    return callback->answers;
  }

  BridgeCommandTable table_;
  std::vector<std::shared_ptr<RecordingCallback>> callbacks_;
};

TEST_F(ClientPermissionTest, AnsweredAtOnceExceptThePromptWhichIsAskedOnceAndRemembered) {
  auto client = std::make_shared<PromptingClient>(table_);
  client->ConfigurePermissions(path_, /*app_uses_devices=*/true);
  EXPECT_EQ(Request(client, "app://lumio", Permission::kNotifications),
            std::vector<bool>{true});
  EXPECT_EQ(Request(client, "http://127.0.0.1:1", Permission::kCamera),
            std::vector<bool>{false});
  EXPECT_TRUE(client->prompts.empty());

  // Pending until the user answers.
  EXPECT_EQ(Request(client, "app://lumio", Permission::kCamera), std::vector<bool>{});
  ASSERT_EQ(client->prompts.size(), 1u);
  client->prompts[0](false);
  EXPECT_EQ(callbacks_.back()->answers, std::vector<bool>{false});

  EXPECT_EQ(Request(client, "app://lumio", Permission::kCamera),
            std::vector<bool>{false});
  EXPECT_EQ(client->prompts.size(), 1u);
  // The next run of the program remembers it too, until the answers are reset.
  auto next_run = std::make_shared<PromptingClient>(table_);
  next_run->ConfigurePermissions(path_, true);
  EXPECT_EQ(Request(next_run, "app://lumio", Permission::kCamera),
            std::vector<bool>{false});
  next_run->permission_memory().Reset();
  Request(next_run, "app://lumio", Permission::kCamera);
  EXPECT_EQ(next_run->prompts.size(), 1u);
}

TEST_F(ClientPermissionTest, WithoutTheDeclarationNoPromptAndNoMemoryIsConsulted) {
  Write("app://lumio camera granted\n");
  auto client = std::make_shared<PromptingClient>(table_);
  client->ConfigurePermissions(path_, /*app_uses_devices=*/false);
  EXPECT_EQ(Request(client, "app://lumio", Permission::kCamera),
            std::vector<bool>{false});
  EXPECT_TRUE(client->prompts.empty());
}

}  // namespace
