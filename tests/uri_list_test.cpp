// The file list's URI decoding, linked directly (no display or clipboard tool needed).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/uri_list.hpp"

namespace korvane {
namespace {

TEST(FileUriPath, DecodesLocalFileUris) {
  const struct {
    const char* uri;
    const char* path;
  } cases[] = {
      {"file:///tmp/a%20b", "/tmp/a b"},       {"FILE://LocalHost/x", "/x"},
      {"file:/single/slash", "/single/slash"}, {"file:///p%2fq%2Fr", "/p/q/r"},
      {"file:///odd%zz%4", "/odd%zz%4"},       {"file:///q?query#fragment", "/q"},
      {"file:///%C3%A9", "/\xC3\xA9"},
  };
  for (const auto& c : cases) {
    std::string path = "stale";
    EXPECT_TRUE(file_uri_path(c.uri, path)) << c.uri;
    EXPECT_EQ(path, c.path) << c.uri;
  }
}

TEST(FileUriPath, RefusesWhatNamesNoLocalFile) {
  for (const char* uri :
       {"", "file:", "file://", "file://host/x", "http://localhost/x", "files:///x",
        "file:relative", "file:///nul%00byte", "file:///line%0Afeed", "/plain/path"}) {
    std::string path;
    EXPECT_FALSE(file_uri_path(uri, path)) << uri;
  }
}

TEST(AppendUriListPaths, OnePathALineInOrder) {
  std::vector<char> buffer(kBufferCapacity, '\0');
  buffer[0] = '>';
  auto out = BufferWriter::append(buffer.data());
  ASSERT_TRUE(out);
  const std::size_t count = append_uri_list_paths(
      "#comment\r\nfile:///a\r\n\r\nmailto:x@y\nfile:///b%20c\nfile:///last", *out);
  EXPECT_EQ(count, 3U);
  EXPECT_STREQ(buffer.data(), ">/a\n/b c\n/last\n");
}

TEST(AppendUriListPaths, StopsAtTheCapacity) {
  std::vector<char> buffer(kBufferCapacity + 8, '#');
  auto out = BufferWriter::overwrite(buffer.data());
  std::string list;
  for (std::size_t i = 0; i < kBufferCapacity; ++i) {
    list += "file:///0123456789\r\n";
  }
  append_uri_list_paths(list, out);
  EXPECT_TRUE(out.full());
  EXPECT_EQ(buffer[kBufferCapacity - 1], '\0');
  EXPECT_EQ(std::string(buffer.data() + kBufferCapacity, 8), "########");
}

}  // namespace
}  // namespace korvane
