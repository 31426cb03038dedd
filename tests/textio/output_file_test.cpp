// Atomic replacement of result files: complete and new, or as they were.
#include "textio/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/program_runner.h"

namespace {

using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

std::size_t entries(const std::string& dir) {
  return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{});
}

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
  EXPECT_EQ(entries(dir.path), 1u);
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
  EXPECT_EQ(entries(dir.path), 1u);
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
  EXPECT_EQ(entries(dir.path), 1u);  // the temporary file is gone
}

}  // namespace
