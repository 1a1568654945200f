// Copied files as the Linux desktop offers them: a text/uri-list, one URI a line.
#pragma once

#include <string>
#include <string_view>

#include "frame/buffer.hpp"

namespace korvane {

// The local path that the URI `uri` names, percent-decoded, into `path`. False (and `path`
// of no use) for anything that is not a local file URI: another scheme, a remote host, an
// empty path, or a path that would hold a NUL or a line feed.
// Accepted forms: file:///p, file://localhost/p and file:/p (scheme and host in any case);
// a query or fragment is dropped; a '%' not followed by two hex digits stands for itself.
bool file_uri_path(std::string_view uri, std::string& path);

// Appends the path of every local file URI in `uri_list` to `out`, each followed by a line
// feed, in the list's order. Lines end with CR LF or LF; empty lines, comment lines ('#') and
// URIs that name no local file are skipped. Returns the number of paths appended (a path cut at
// the buffer's capacity counts); stops once the buffer is full.
std::size_t append_uri_list_paths(std::string_view uri_list, BufferWriter& out);

}  // namespace korvane
