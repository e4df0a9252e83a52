// The output buffer of a file channel: records of any length, across the point where the
// buffer goes to the file, reach the file whole and in order; an existing file ends with the
// records written, whether it held more or fewer bytes, and also when a failed write stops the
// run.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
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

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory under /tmp, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/kelvara4-buffer-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) std::abort();
    path_ = made;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace

TEST(FileChannelBuffer, WritesRecordsOfEveryLengthWholeAndInOrder) {
  ScratchDir dir;
  const std::string path = dir.file("records.dat");
  // Lengths around the buffer size (16 KiB with the line end) and around four times that, far
  // beyond it, and runs of short records across many buffer boundaries.
  std::vector<size_t> lengths = {0,     1,     79,    16381, 16382,  16383, 16384,
                                 65533, 65534, 65535, 65536, 300000, 5,     0};
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
}

TEST(FileChannelBuffer, RewrittenFileHoldsExactlyTheNewRecords) {
  ScratchDir dir;
  const std::string path = dir.file("rewritten.dat");
  // Old contents longer than, as long as and shorter than the new records, with and without
  // whole buffers of them.
  const std::string record(998, 'n');  // 1000 bytes with the line end
  for (const size_t oldSize :
       {size_t{0}, size_t{10}, size_t{5000}, size_t{5001}, size_t{4999}, size_t{300000}}) {
    SCOPED_TRACE(oldSize);
    writeFile(path, std::string(oldSize, 'o'));
    FileChannel channel;
    openForOutput(channel, 5, path);
    for (int k = 0; k < 5; ++k) writeRecord(channel, record);
    closeChannel(channel);
    std::string expected;
    for (int k = 0; k < 5; ++k) expected += record + "\r\n";
    EXPECT_TRUE(expected == readFile(path));
  }
}

TEST(FileChannelBufferDeathTest, FailedWriteLeavesOnlyNewBytesInTheFile) {
  ScratchDir dir;
  const std::string path = dir.file("failed.dat");
  writeFile(path, std::string(300000, 'o'));
  const std::string record(998, 'n');
  FileChannel channel;
  channel.failOnWrite = 60;
  EXPECT_EXIT(
      {
        openForOutput(channel, 5, path);
        for (int k = 0; k < 60; ++k) writeRecord(channel, record);
      },
      testing::ExitedWithCode(1), "cannot write file");
  // Some whole records reached the file before the failure, and nothing of the old content
  // follows them.
  const std::string written = readFile(path);
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), 60000u);
  EXPECT_EQ(0u, written.size() % 1000);
  EXPECT_EQ(std::string::npos, written.find('o'));
}

// A stop while the first records after the cut are still in the buffer leaves the file cut
// off where writing began, whichever way the run stops: the old content is gone and the
// records are lost with the buffer.
TEST(FileChannelBufferDeathTest, StopBeforeRecordsReachTheFileLeavesItCutOff) {
  ScratchDir dir;
  const std::string path = dir.file("stopped.dat");
  const std::string oldContent = "kept\r\n" + std::string(300000, 'o');
  struct Stop {
    const char* name;
    void (*stop)();
  };
  const Stop stops[] = {
      {"stopRun", [] { stopRun("stopped"); }},
      {"stopOnIoFailure", [] { stopOnIoFailure(consoleChannel(), "write", ENOSPC); }},
  };
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.name);
    writeFile(path, oldContent);
    FileChannel channel;
    EXPECT_EXIT(
        {
          ASSERT_EQ(IoStatus::Ok, openExisting(channel, 5, path, /*wantStatus=*/false));
          std::string first;
          ASSERT_EQ(IoStatus::Ok, readRecord(channel, first));
          writeRecord(channel, "new");
          stop.stop();
        },
        testing::ExitedWithCode(1), "kelvara4: ");
    EXPECT_EQ("kept\r\n", readFile(path));
  }
  // A stop at the first write itself comes before the cut: the file is untouched.
  writeFile(path, oldContent);
  FileChannel channel;
  channel.failOnWrite = 1;
  EXPECT_EXIT(
      {
        openForOutput(channel, 5, path);
        writeRecord(channel, "new");
      },
      testing::ExitedWithCode(1), "cannot write file");
  EXPECT_TRUE(oldContent == readFile(path));
}
