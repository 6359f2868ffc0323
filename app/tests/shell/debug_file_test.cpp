// The start-up file "debug.txt": created when absent, and never at the cost of a user's file.
#include "shell/debug_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vantra::shell {

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(DebugFile, CreatesOnlyWhatIsAbsentAndFollowsNoLink) {
  const fs::path dir = fs::path(::testing::TempDir()) / "debug-file";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path notes = dir / "notes.txt";
  struct Case {
    const char* why;
    void (*prepare)(const fs::path& debug, const fs::path& notes);
  };
  const Case cases[] = {
      {"an existing file",
       [](const fs::path& debug, const fs::path&) { std::ofstream(debug) << "user data\n"; }},
      {"a link to a user's file",
       [](const fs::path& debug, const fs::path& notes) {
         std::ofstream(notes) << "user data\n";
         fs::create_symlink(notes, debug);
       }},
      {"a link to nothing yet",
       [](const fs::path& debug, const fs::path& notes) { fs::create_symlink(notes, debug); }},
  };
  for (const Case& c : cases) {
    const fs::path debug = dir / "debug.txt";
    c.prepare(debug, notes);
    const bool notesExisted = fs::exists(notes);
    { const DebugFile file(debug.string()); }
    if (fs::is_symlink(debug)) {
      EXPECT_EQ(fs::read_symlink(debug), notes) << c.why;
      EXPECT_EQ(fs::exists(notes), notesExisted) << c.why << ": nothing created through it";
      if (notesExisted) {
        EXPECT_EQ(Contents(notes), "user data\n") << c.why;
      }
    } else {
      EXPECT_EQ(Contents(debug), "user data\n") << c.why;
    }
    fs::remove(debug);
    fs::remove(notes);
  }

  { const DebugFile file((dir / "debug.txt").string()); }
  EXPECT_TRUE(fs::is_regular_file(dir / "debug.txt")) << "created when absent";
  EXPECT_EQ(fs::file_size(dir / "debug.txt"), 0u);
  fs::remove_all(dir);
}

}  // namespace

}  // namespace vantra::shell
