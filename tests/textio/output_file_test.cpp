// Atomic replacement of result files: complete and new, or as they were.
#include "textio/output_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/program_runner.h"

namespace {

using test_support::entry_count;
using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

TEST(OutputFile, CommitReplacesTheOldFileWithCrLfRecords) {
  ScratchDir dir;
  const std::string path = dir.path + "/out.txt";
  write_file(path, "old contents that are longer than the new ones\n");
  textio::OutputFile file;
  ASSERT_TRUE(textio::open_output(file, path, 20));
  textio::write_record(file, "one");
  textio::write_record(file, "two");
  EXPECT_EQ(read_file(path), "old contents that are longer than the new ones\n");  // untouched until commit
  ASSERT_TRUE(textio::commit_output(file));
  EXPECT_EQ(read_file(path), "one\r\ntwo\r\n");
  EXPECT_EQ(entry_count(dir.path), 1u);
}

TEST(OutputFile, AnUncommittedFileLeavesNoTraceAndTheOldFileIntact) {
  ScratchDir dir;
  const std::string path = dir.path + "/out.txt";
  write_file(path, "old\r\n");
  {
    textio::OutputFile file;
    ASSERT_TRUE(textio::open_output(file, path, 20));
    for (int i = 0; i < 100000; ++i) textio::write_record(file, "a record long enough to pass the buffer");
  }
  EXPECT_EQ(read_file(path), "old\r\n");
  EXPECT_EQ(entry_count(dir.path), 1u);
}

TEST(OutputFile, FailuresAreReportedWithTheSystemsReason) {
  ScratchDir dir;
  textio::OutputFile missing_dir;
  EXPECT_FALSE(textio::open_output(missing_dir, dir.path + "/no/such/out.txt", 20));
  EXPECT_EQ(textio::describe_output_error(missing_dir),
            "cannot write file " + dir.path + "/no/such/out.txt, unit 20: No such file or directory");

  const std::string target = dir.path + "/taken";
  std::filesystem::create_directory(target);
  textio::OutputFile onto_dir;
  ASSERT_TRUE(textio::open_output(onto_dir, target, 21));
  textio::write_record(onto_dir, "x");
  EXPECT_FALSE(textio::commit_output(onto_dir));
  EXPECT_EQ(textio::describe_output_error(onto_dir), "cannot write file " + target + ", unit 21: Is a directory");
  EXPECT_EQ(entry_count(dir.path), 1u);  // the temporary file is gone
}

// A leftover temporary file is cleared only when no run holds its lock; the
// process id in its name decides nothing, as runs elsewhere may share the folder.
TEST(OutputFile, OnlyUnlockedLeftoversAreCleared) {
  ScratchDir dir;
  const pid_t gone = fork();  // a process id that no longer runs
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string locked = dir.path + "/.out.txt.tmp" + std::to_string(gone) + "-0";
  const std::string unlocked = dir.path + "/.out.txt.tmp1-0";  // process 1 always runs
  write_file(locked, "being written");
  write_file(unlocked, "left by a killed run");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t holder = fork();  // another run, still writing its temporary file
  if (holder == 0) {
    close(release[1]);  // so that the parent's close ends the wait below
    const int fd = open(locked.c_str(), O_RDONLY);
    char byte = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
    if (write(ready[1], &byte, 1) != 1 || read(release[0], &byte, 1) < 0) _exit(1);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  textio::OutputFile file;
  ASSERT_TRUE(textio::open_output(file, dir.path + "/out.txt", 20));
  textio::write_record(file, "new");
  ASSERT_TRUE(textio::commit_output(file));
  close(release[1]);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(read_file(locked), "being written");
  EXPECT_FALSE(test_support::file_exists(unlocked));
  EXPECT_EQ(read_file(dir.path + "/out.txt"), "new\r\n");
  for (int fd : {ready[0], ready[1], release[0]}) close(fd);
}

}  // namespace
