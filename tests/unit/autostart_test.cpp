// Login items in a temporary autostart folder: which entries count, and what
// registering and unregistering leave on disk.
#include "native/autostart.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_zip.h"

namespace fs = std::filesystem;

namespace {

const AppIdentity kLumio{"Lumio", "0.2.5",           "lumio",
                         "Lumio", "org.lumio.Lumio", "/org/lumio/Lumio"};
const AppIdentity kNotes{"Notes Desk",
                         "1.0.0",
                         "org.example.NotesDesk",
                         "org.example.NotesDesk",
                         "org.example.NotesDesk",
                         "/org/example/NotesDesk"};

class AutostartTest : public ::testing::Test {
 protected:
  AutostartTest() : autostart_(dir_.File("config/autostart")) {}

  // An executable file at |relative| below the temporary folder; its canonical path.
  std::string MakeProgram(const std::string& relative) {
    const std::string path = dir_.File(relative);
    fs::create_directories(fs::path(path).parent_path());
    WriteWholeFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), 0755);
    return fs::canonical(path).string();
  }

  void WriteEntry(const std::string& name, const std::string& text) {
    fs::create_directories(autostart_);
    WriteWholeFile(autostart_ + "/" + name, text);
  }

  static std::string Entry(const std::string& exec, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=X\nExec=" + exec + "\n" + extra;
  }

  // Every name in the autostart folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(autostart_, error), end; !error && it != end;
         it.increment(error)) {
      names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Find(const std::string& program, const std::string& search_path = "") {
    return FindLoginItem(autostart_, program, search_path);
  }

  TestTempDir dir_;
  std::string autostart_;
};

TEST_F(AutostartTest, RegisterWritesOneEntryAndNeverADuplicate) {
  const std::string app = MakeProgram("prefix/bin/lumio-app");
  EXPECT_EQ("", Find(app));
  // The folder does not exist yet.
  ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());
  EXPECT_EQ(AutostartEntryText(app, kLumio),
            ReadWholeFile(autostart_ + "/lumio.desktop"));
  EXPECT_EQ(autostart_ + "/lumio.desktop", Find(app));

  ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());

  // An entry that the user wrote counts as well: no second one next to it.
  ASSERT_TRUE(UnregisterLoginItem(autostart_, app, ""));
  WriteEntry("mine.desktop", Entry(app + " --quiet"));
  ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"mine.desktop"}, Names());
}

TEST_F(AutostartTest, UnregisterWithNoEntryChangesNothing) {
  const std::string app = MakeProgram("bin/lumio-app");
  const std::string other = MakeProgram("bin/other");
  EXPECT_TRUE(UnregisterLoginItem(autostart_, app, ""));
  EXPECT_FALSE(fs::exists(autostart_));

  WriteEntry("other.desktop", Entry(other));
  EXPECT_TRUE(UnregisterLoginItem(autostart_, app, ""));
  EXPECT_EQ(std::vector<std::string>{"other.desktop"}, Names());
  EXPECT_EQ(Entry(other), ReadWholeFile(autostart_ + "/other.desktop"));
}

TEST_F(AutostartTest, RegisterFailsWhereTheFolderCannotBeMade) {
  const std::string app = MakeProgram("bin/lumio-app");
  // A plain file where the folder, or a folder above it, should be.
  fs::create_directories(fs::path(autostart_).parent_path());
  WriteWholeFile(autostart_, "not a folder\n");
  EXPECT_FALSE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_FALSE(RegisterLoginItem(autostart_ + "/below", app, "", kLumio));
  EXPECT_EQ("not a folder\n", ReadWholeFile(autostart_));
  EXPECT_EQ("", Find(app));
  // Nothing counts there, so there is nothing to remove.
  EXPECT_TRUE(UnregisterLoginItem(autostart_, app, ""));
}

TEST_F(AutostartTest, UnregisterRemovesTheFirstMatchOnly) {
  const std::string app = MakeProgram("bin/lumio-app");
  WriteEntry("b.desktop", Entry(app));
  WriteEntry("a.desktop", Entry(app));
  WriteEntry("0-hidden.desktop", Entry(app, "Hidden=true\n"));
  EXPECT_EQ(autostart_ + "/a.desktop", Find(app));
  ASSERT_TRUE(UnregisterLoginItem(autostart_, app, ""));
  EXPECT_EQ((std::vector<std::string>{"0-hidden.desktop", "b.desktop"}), Names());
  EXPECT_EQ(autostart_ + "/b.desktop", Find(app));
}

TEST_F(AutostartTest, EntryOfAMovedOrDeletedCopyDoesNotCount) {
  const std::string old_app = MakeProgram("old/lumio-app");
  ASSERT_TRUE(RegisterLoginItem(autostart_, old_app, "", kLumio));
  fs::rename(dir_.File("old"), dir_.File("new"));
  const std::string moved = fs::canonical(dir_.File("new/lumio-app")).string();
  EXPECT_EQ("", Find(moved));
  EXPECT_EQ("", Find(old_app));

  // Registering the moved copy replaces the entry that starts nothing any more.
  ASSERT_TRUE(RegisterLoginItem(autostart_, moved, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());
  EXPECT_EQ(autostart_ + "/lumio.desktop", Find(moved));

  fs::remove(moved);
  EXPECT_EQ("", Find(moved));
  EXPECT_FALSE(RegisterLoginItem(autostart_, moved, "", kLumio));
}

TEST_F(AutostartTest, EntryOfAnotherLiveCopyDoesNotCountAndStays) {
  const std::string first = MakeProgram("first/lumio-app");
  const std::string second = MakeProgram("second/lumio-app");
  ASSERT_TRUE(RegisterLoginItem(autostart_, first, "", kLumio));
  EXPECT_EQ("", Find(second));

  ASSERT_TRUE(RegisterLoginItem(autostart_, second, "", kLumio));
  EXPECT_EQ((std::vector<std::string>{"lumio-2.desktop", "lumio.desktop"}), Names());
  EXPECT_EQ(autostart_ + "/lumio.desktop", Find(first));
  EXPECT_EQ(autostart_ + "/lumio-2.desktop", Find(second));

  ASSERT_TRUE(UnregisterLoginItem(autostart_, second, ""));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());
}

TEST_F(AutostartTest, HiddenEntryDoesNotCount) {
  const std::string app = MakeProgram("bin/lumio-app");
  WriteEntry("lumio.desktop", Entry(app, "Hidden=true\n"));
  EXPECT_EQ("", Find(app));
  WriteEntry("lumio.desktop", Entry(app, "Hidden = true \n"));
  EXPECT_EQ("", Find(app));
  WriteEntry("lumio.desktop", Entry(app, "Hidden=false\n"));
  EXPECT_EQ(autostart_ + "/lumio.desktop", Find(app));

  // Registering replaces the hidden entry rather than adding one beside it.
  WriteEntry("lumio.desktop", Entry(app, "Hidden=true\n"));
  ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());
  EXPECT_EQ(AutostartEntryText(app, kLumio),
            ReadWholeFile(autostart_ + "/lumio.desktop"));
}

TEST_F(AutostartTest, DisabledEntryDoesNotCountAndRegisterEnablesIt) {
  const std::string app = MakeProgram("bin/lumio-app");
  // What the desktop's startup-applications settings write when the user unticks
  // the program.
  WriteEntry("lumio.desktop", Entry(app, "X-GNOME-Autostart-enabled=false\n"));
  EXPECT_EQ("", Find(app));
  WriteEntry("lumio.desktop", Entry(app, "X-GNOME-Autostart-enabled = false \r\n"));
  EXPECT_EQ("", Find(app));
  WriteEntry("lumio.desktop", Entry(app, "X-GNOME-Autostart-enabled=true\n"));
  EXPECT_EQ(autostart_ + "/lumio.desktop", Find(app));
  fs::remove(autostart_ + "/lumio.desktop");

  // Registering enables the entry where it is and keeps the rest of it.
  const std::string mine =
      Entry(app + " --quiet", "X-GNOME-Autostart-enabled=false\r\nComment=mine\n");
  WriteEntry("mine.desktop", mine);
  ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
  EXPECT_EQ(std::vector<std::string>{"mine.desktop"}, Names());
  EXPECT_EQ(Entry(app + " --quiet", "X-GNOME-Autostart-enabled=true\r\nComment=mine\n"),
            ReadWholeFile(autostart_ + "/mine.desktop"));
  EXPECT_EQ(autostart_ + "/mine.desktop", Find(app));
}

TEST_F(AutostartTest, OnlyTheExecOfDesktopEntryFilesCounts) {
  const std::string app = MakeProgram("bin/lumio-app");
  WriteEntry("lumio.desktop.bak", Entry(app));
  WriteEntry("action.desktop",
             "[Desktop Entry]\nExec=/bin/true\n[Desktop Action run]\nExec=" + app + "\n");
  WriteEntry("comment.desktop", "[Desktop Entry]\n# Exec=" + app + "\nExec=/bin/true\n");
  WriteEntry("argument.desktop", Entry("/bin/sh " + app));
  WriteEntry("locale.desktop", "[Desktop Entry]\nExec[de]=" + app + "\n");
  EXPECT_EQ("", Find(app));

  WriteEntry("spaced.desktop", "[Desktop Entry]\nExec = " + app + " %U\r\n");
  EXPECT_EQ(autostart_ + "/spaced.desktop", Find(app));
}

TEST_F(AutostartTest, ExecIsResolvedToTheCanonicalProgram) {
  const std::string app = MakeProgram("prefix/bin/lumio-app");
  fs::create_symlink(app, dir_.File("link-to-app"));
  WriteEntry("link.desktop", Entry(dir_.File("link-to-app")));
  EXPECT_EQ(autostart_ + "/link.desktop", Find(app));
  fs::remove(autostart_ + "/link.desktop");

  WriteEntry("dots.desktop", Entry(dir_.File("prefix/bin/../bin/./lumio-app")));
  EXPECT_EQ(autostart_ + "/dots.desktop", Find(app));
  fs::remove(autostart_ + "/dots.desktop");

  // A bare name is looked up in the search path, first folder first.
  WriteEntry("bare.desktop", Entry("lumio-app"));
  const std::string bin = dir_.File("prefix/bin");
  EXPECT_EQ(autostart_ + "/bare.desktop", Find(app, "relative:" + bin));
  MakeProgram("shadow/lumio-app");
  EXPECT_EQ("", Find(app, dir_.File("shadow") + ":" + bin));
  EXPECT_EQ("", Find(app, ""));

  // A relative path depends on a working folder the session does not promise.
  WriteEntry("bare.desktop", Entry("bin/lumio-app"));
  EXPECT_EQ("", Find(app, bin));
}

TEST_F(AutostartTest, PathsWithSpecialCharactersSurviveTheExecQuoting) {
  for (const std::string name :
       {"with space", "quote\"d", "single'quote", "dollar$HOME", "back`tick`",
        "back\\slash", "percent%U", "double%%percent", "semi;colon&amp", "tab\there",
        "new\nline"}) {
    SCOPED_TRACE(name);
    const std::string app = MakeProgram(name + "/lumio-app");
    ASSERT_TRUE(RegisterLoginItem(autostart_, app, "", kLumio));
    EXPECT_EQ(autostart_ + "/lumio.desktop", Find(app));
    ASSERT_TRUE(UnregisterLoginItem(autostart_, app, ""));
    EXPECT_EQ(std::vector<std::string>{}, Names());
  }
}

TEST(AutostartExecTest, ProgramIsTheFirstArgumentUnquoted) {
  EXPECT_EQ("/usr/bin/app", ExecProgram("/usr/bin/app"));
  EXPECT_EQ("/usr/bin/app", ExecProgram("  /usr/bin/app --flag %U"));
  EXPECT_EQ("/opt/my app/bin", ExecProgram("\"/opt/my app/bin\" --flag"));
  EXPECT_EQ("/a\"b`c$d\\e", ExecProgram(R"("/a\"b\`c\$d\\e")"));
  EXPECT_EQ("/a%b", ExecProgram("\"/a%%b\""));
  EXPECT_EQ("/a%b", ExecProgram("/a%%b"));
  EXPECT_EQ("", ExecProgram("\"/never/closed"));
  EXPECT_EQ("", ExecProgram(""));
  EXPECT_EQ("", ExecProgram("   "));
}

TEST(AutostartExecTest, StringEscapesComeOffBeforeTheQuoting) {
  // In the file, a quoted backslash is four backslashes and a space may be "\s".
  const DesktopEntry entry =
      ParseDesktopEntry("[Desktop Entry]\nExec=\"/a\\\\\\\\b\\sc\" x\nHidden=false\n");
  EXPECT_EQ("\"/a\\\\b c\" x", entry.exec);
  EXPECT_FALSE(entry.hidden);
  EXPECT_EQ("/a\\b c", ExecProgram(entry.exec));
}

TEST_F(AutostartTest, AnotherApplicationHasEntriesOfItsOwnName) {
  const std::string lumio = MakeProgram("a/bin/lumio-app");
  const std::string notes = MakeProgram("b/bin/notes-desk");
  ASSERT_TRUE(RegisterLoginItem(autostart_, lumio, "", kLumio));
  ASSERT_TRUE(RegisterLoginItem(autostart_, notes, "", kNotes));
  EXPECT_EQ((std::vector<std::string>{"lumio.desktop", "org.example.NotesDesk.desktop"}),
            Names());
  const std::string entry = ReadWholeFile(autostart_ + "/org.example.NotesDesk.desktop");
  EXPECT_NE(std::string::npos, entry.find("\nName=Notes Desk\n"));
  EXPECT_NE(std::string::npos, entry.find("\nIcon=org.example.NotesDesk\n"));
  EXPECT_EQ(autostart_ + "/org.example.NotesDesk.desktop", Find(notes));
  ASSERT_TRUE(UnregisterLoginItem(autostart_, notes, ""));
  EXPECT_EQ(std::vector<std::string>{"lumio.desktop"}, Names());
}

TEST(AutostartEntryTest, EntryIsADesktopEntryThatStartsTheProgram) {
  EXPECT_EQ(
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Lumio\n"
      "Comment=Start Lumio when you log in\n"
      "Exec=\"/opt/Lumio 2/bin/lumio-app\"\n"
      "Icon=lumio\n"
      "Terminal=false\n",
      AutostartEntryText("/opt/Lumio 2/bin/lumio-app", kLumio));
  // Quoting first ("\\" "\$" "%%"), then the string escape doubles each backslash.
  EXPECT_NE(
      std::string::npos,
      AutostartEntryText("/x/\\y$z%", kLumio).find("\nExec=\"/x/\\\\\\\\y\\\\$z%%\"\n"));
}

TEST(AutostartDirectoryTest, BelowTheConfigHome) {
  EXPECT_EQ("/home/u/.config/autostart", AutostartDirectory("/home/u/.config"));
  EXPECT_EQ("/autostart", AutostartDirectory("/"));
  EXPECT_EQ("", AutostartDirectory(""));
}

}  // namespace
