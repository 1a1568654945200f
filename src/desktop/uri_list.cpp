#include "desktop/uri_list.hpp"

#include "frame/c_locale.hpp"

namespace korvane {
namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (c_lower(a[i]) != c_lower(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool file_uri_path(std::string_view uri, std::string& path) {
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size() || !equal_ignoring_case(uri.substr(0, kScheme.size()), kScheme)) {
    return false;
  }
  uri.remove_prefix(kScheme.size());
  if (uri.substr(0, 2) == "//") {
    uri.remove_prefix(2);
    const std::size_t slash = uri.find('/');
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && !equal_ignoring_case(host, "localhost")) {
      return false;
    }
    if (slash == std::string_view::npos) {
      return false;
    }
    uri.remove_prefix(slash);
  }
  // The path runs up to a query or a fragment.
  uri = uri.substr(0, uri.find_first_of("?#"));
  if (uri.empty() || uri.front() != '/') {
    return false;
  }
  path.clear();
  path.reserve(uri.size());
  for (std::size_t i = 0; i < uri.size(); ++i) {
    char c = uri[i];
    if (c == '%' && i + 2 < uri.size() && c_hex_value(uri[i + 1]) >= 0 &&
        c_hex_value(uri[i + 2]) >= 0) {
      c = static_cast<char>(c_hex_value(uri[i + 1]) * 16 + c_hex_value(uri[i + 2]));
      i += 2;
    }
    // Neither can stand in a path that is handed on as one line of text.
    if (c == '\0' || c == '\n') {
      return false;
    }
    path += c;
  }
  return true;
}

std::size_t append_uri_list_paths(std::string_view uri_list, BufferWriter& out) {
  std::size_t count = 0;
  std::string path;
  while (!uri_list.empty() && !out.full()) {
    const std::size_t end = uri_list.find('\n');
    std::string_view line = uri_list.substr(0, end);
    uri_list.remove_prefix(end == std::string_view::npos ? uri_list.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (line.empty() || line.front() == '#' || !file_uri_path(line, path)) {
      continue;
    }
    out.write(path);
    out.write("\n");
    ++count;
  }
  return count;
}

}  // namespace korvane
