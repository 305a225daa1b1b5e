#include <gtest/gtest.h>

#include <quorvel/paths.h>

#include "test_support.h"

namespace quorvel {
namespace {

using test::permissions;
using test::ScopedEnv;
using test::TempDir;
using test::TempHome;
using test::writeText;

TEST(Paths, EverythingLiesInTheSupportFolderNamedByTheEnvironment) {
  TempHome home;
  EXPECT_EQ(Paths::support(), home.path());
  EXPECT_EQ(Paths::models(), home.path() / "models");
  EXPECT_EQ(Paths::documents(), home.path() / "documents");
  EXPECT_EQ(Paths::logs(), home.path() / "logs");
  EXPECT_EQ(Paths::indexFile(), home.path() / "index.json");
  EXPECT_EQ(Paths::historyFile(), home.path() / "history.jsonl");
  EXPECT_EQ(Paths::statsFile(), home.path() / "stats.json");
}

TEST(Paths, SupportFolderFallsBackToTheXdgDataFolderThenHome) {
  ScopedEnv noHome("QUORVEL_HOME", std::nullopt);
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(Paths::support(), fs::path("/srv/data/Quorvel"));
  }
  ScopedEnv home("HOME", "/home/desk");
  {
    // A relative XDG folder is invalid and ignored.
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(Paths::support(), fs::path("/home/desk/.local/share/Quorvel"));
  }
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(Paths::support(), fs::path("/home/desk/.local/share/Quorvel"));
}

TEST(Paths, EnsureCreatesPrivateFoldersAndSurvivesObstacles) {
  TempHome home;
  Paths::ensure();
  for (const char* sub : {"", "models", "documents", "logs"}) {
    EXPECT_TRUE(fs::is_directory(home.path() / sub)) << sub;
    EXPECT_EQ(permissions(home.path() / sub), 0700u) << sub;
  }
  Paths::ensure();  // twice is harmless
  EXPECT_TRUE(fs::is_directory(home.path() / "logs"));

  TempHome other;
  writeText(other.path() / "models", "a file in the way");
  Paths::ensure();
  EXPECT_TRUE(fs::is_regular_file(other.path() / "models"));
  EXPECT_TRUE(fs::is_directory(other.path() / "documents"));
  EXPECT_TRUE(fs::is_directory(other.path() / "logs"));
}

TEST(Paths, EnsureCreatesMissingParentsPrivately) {
  TempDir dir;
  ScopedEnv home("QUORVEL_HOME", (dir / "a/b/support").string());
  Paths::ensure();
  EXPECT_TRUE(fs::is_directory(dir / "a/b/support/documents"));
  EXPECT_EQ(permissions(dir / "a"), 0700u);
}

class ResourcesTest : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv noResources{"QUORVEL_RESOURCES", std::nullopt};
  fs::path program(const std::string& rel) {
    writeText(dir / rel, "#!/bin/sh\n");
    return dir / rel;
  }
};

TEST_F(ResourcesTest, InstalledDataFolderComesFirst) {
  fs::path exe = program("prefix/bin/quorvel-cli");
  fs::create_directories(dir / "prefix/share/quorvel/templates");
  fs::create_directories(dir / "prefix/bin/templates");  // nearer, but the installed folder wins
  ScopedEnv env("QUORVEL_RESOURCES", (dir / "elsewhere").string());
  EXPECT_EQ(Paths::resourcesFor(exe), dir / "prefix/share/quorvel");
}

TEST_F(ResourcesTest, EnvironmentComesBeforeTheUpwardWalk) {
  fs::path exe = program("tree/bin/quorvel-cli");
  fs::create_directories(dir / "tree/templates");
  ScopedEnv env("QUORVEL_RESOURCES", "/not/checked/to/exist");
  EXPECT_EQ(Paths::resourcesFor(exe), fs::path("/not/checked/to/exist"));
}

TEST_F(ResourcesTest, WalkLooksAtTheProgramFolderAndFourParents) {
  fs::create_directories(dir / "r/templates");
  EXPECT_EQ(Paths::resourcesFor(program("r/quorvel-cli")), dir / "r");
  EXPECT_EQ(Paths::resourcesFor(program("r/1/2/3/4/quorvel-cli")), dir / "r");
  // Five levels below is too far: the working directory is the answer.
  EXPECT_EQ(Paths::resourcesFor(program("r/1/2/3/4/5/quorvel-cli")), fs::current_path());
}

TEST_F(ResourcesTest, WalkStartsFromTheResolvedProgram) {
  fs::create_directories(dir / "real/templates");
  fs::path exe = program("real/bin/quorvel-cli");
  fs::create_directories(dir / "links/a/b/c/d/e");
  fs::create_symlink(exe, dir / "links/a/b/c/d/e/quorvel-cli");
  EXPECT_EQ(Paths::resourcesFor(dir / "links/a/b/c/d/e/quorvel-cli"), dir / "real");
}

class LlamaServerTest : public ::testing::Test {
 protected:
  TempHome home;
  TempDir res;
  TempDir pathDir;
  TempDir bundled;
  ScopedEnv path{"PATH", pathDir.path().string()};

  std::optional<fs::path> found() { return Paths::llamaServerIn(res.path(), bundled.path()); }

  fs::path place(const fs::path& p, bool executable = true) {
    writeText(p, "#!/bin/sh\nexit 0\n");
    fs::permissions(p, executable ? fs::perms::owner_all : (fs::perms::owner_read | fs::perms::owner_write));
    return p;
  }
};

TEST_F(LlamaServerTest, NoneWhenNothingIsFound) { EXPECT_FALSE(found().has_value()); }

TEST(BundledEngine, LiesBesideTheProgramsPrefixAfterLinksAreResolved) {
  TempDir dir;
  fs::create_directories(dir / "usr/bin");
  writeText(dir / "usr/bin/quorvel-cli", "");
  fs::create_directories(dir / "elsewhere");
  fs::create_symlink(dir / "usr/bin/quorvel-cli", dir / "elsewhere/quorvel-cli");
  EXPECT_EQ(Paths::bundledEngineFor(dir / "usr/bin/quorvel-cli"), dir / "usr/lib/quorvel/llama");
  EXPECT_EQ(Paths::bundledEngineFor(dir / "elsewhere/quorvel-cli"), dir / "usr/lib/quorvel/llama");
}

TEST_F(LlamaServerTest, CandidatesInOrder) {
  place(pathDir / "llama-server");
  EXPECT_EQ(found(), pathDir / "llama-server");
  place(home.path() / "engine/llama-server");
  EXPECT_EQ(found(), home.path() / "engine/llama-server");
  place(res / "vendor/linux-x64/llama-server");
  EXPECT_EQ(found(), res / "vendor/linux-x64/llama-server");
  // The server installed with Quorvel wins over everything but the
  // resources' own.
  place(bundled / "llama-server");
  EXPECT_EQ(found(), bundled / "llama-server");
  place(res / "llama/llama-server");
  EXPECT_EQ(found(), res / "llama/llama-server");
}

TEST_F(LlamaServerTest, CandidateWithoutExecutePermissionIsSkipped) {
  place(res / "llama/llama-server", /*executable=*/false);
  place(home.path() / "engine/llama-server");
  EXPECT_EQ(found(), home.path() / "engine/llama-server");
  // A folder of that name is not a program either.
  fs::create_directories(res / "vendor/x/llama-server");
  EXPECT_EQ(found(), home.path() / "engine/llama-server");
}

TEST_F(LlamaServerTest, VendorEntriesWithoutAProgramAreIgnored) {
  fs::create_directories(res / "vendor/empty");
  writeText(res / "vendor/readme.txt", "not a folder");
  place(res / "vendor/.hidden/llama-server");
  EXPECT_EQ(found(), res / "vendor/.hidden/llama-server");
}

TEST_F(LlamaServerTest, EmptyPathEntriesAreNotTheWorkingDirectory) {
  TempDir cwd;
  place(cwd / "llama-server");
  fs::path before = fs::current_path();
  fs::current_path(cwd.path());
  ScopedEnv p("PATH", ":/nonexistent:");
  auto server = found();
  fs::current_path(before);
  EXPECT_FALSE(server.has_value());
}

}  // namespace
}  // namespace quorvel
