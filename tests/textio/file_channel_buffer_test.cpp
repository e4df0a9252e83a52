// The output buffer of a file channel: records of any length, across the point where the
// buffer goes to the file, reach the file whole and in order.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "textio/file_channel.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(FileChannelBuffer, WritesRecordsOfEveryLengthWholeAndInOrder) {
  char pattern[] = "/tmp/kelvara4-buffer-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  ASSERT_NE(nullptr, made);
  const std::string path = std::string(made) + "/records.dat";
  // Lengths around the buffer size (64 KiB with the line end), far beyond it, and runs of
  // short records that fill the buffer exactly and one byte past it.
  std::vector<size_t> lengths = {0, 1, 79, 65534, 65533, 65535, 65536, 300000, 5, 0};
  for (int k = 0; k < 2000; ++k) lengths.push_back(78);
  for (int k = 0; k < 1000; ++k) lengths.push_back(static_cast<size_t>(k % 97));
  std::string expected;
  FileChannel channel;
  openForOutput(channel, 5, path);
  for (size_t i = 0; i < lengths.size(); ++i) {
    const std::string record(lengths[i], static_cast<char>('a' + i % 26));
    writeRecord(channel, record);
    expected += record + "\r\n";
  }
  closeChannel(channel);
  EXPECT_EQ(expected.size(), readFile(path).size());
  EXPECT_TRUE(expected == readFile(path));
  // Writing again after reading the file from the start replaces it the same way.
  ASSERT_EQ(IoStatus::Ok, openExisting(channel, 5, path, /*wantStatus=*/false));
  std::string first;
  ASSERT_EQ(IoStatus::Ok, readRecord(channel, first));
  EXPECT_EQ("", first);
  writeRecord(channel, std::string(70000, 'z'));
  closeChannel(channel);
  EXPECT_TRUE("\r\n" + std::string(70000, 'z') + "\r\n" == readFile(path));
  std::error_code ignored;
  std::filesystem::remove_all(made, ignored);
}
