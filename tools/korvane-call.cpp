// korvane-call: a small host for korvanelib. It loads the library at run time, resolves an
// export by name, calls it with a text, a number and a buffer, and prints the result value and
// the buffer's text.
#include <korvanelib.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/library.hpp"

namespace {

constexpr const char* kExportNames[] = {
#include "export_names.inc"
};

constexpr const char* kUsage =
    "usage: korvane-call [--lib PATH] EXPORT [--text TEXT | --null-text] [--number N]\n"
    "                    [--buffer TEXT | --null-buffer]\n"
    "       korvane-call [--lib PATH] --file CALLS   (one call a line; - reads standard input)\n"
    "       korvane-call [--lib PATH] --list\n"
    "       korvane-call [--lib PATH] --version\n"
    "Prints the result value, then the buffer's text. The library defaults to the one beside\n"
    "this program. In a file of calls the buffer carries over from one call to the next.\n";

class UsageError {
 public:
  explicit UsageError(std::string message) : message_(std::move(message)) {}
  [[nodiscard]] const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// One call: which export, and its arguments.
struct Call {
  std::string name;
  std::optional<std::string> text = std::string();
  double number = 0.0;
  std::optional<std::string> buffer;  // starting text; nothing keeps the current buffer
  bool null_buffer = false;
};

// A number as the library reads numbers: decimal or "0x" hexadecimal, inf, nan; the whole
// argument must be the number.
double parse_number(const std::string& word) {
  std::string_view digits = word;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  auto format = std::chars_format::general;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    format = std::chars_format::hex;
    digits.remove_prefix(2);
  }
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, format);
  if (digits.empty() || digits.front() == '-' || digits.front() == '+' || error != std::errc() ||
      end != digits.data() + digits.size()) {
    throw UsageError("not a number: '" + word + "'");
  }
  return negative ? -value : value;
}

Call parse_call(const std::vector<std::string>& words) {
  Call call;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= words.size()) {
        throw UsageError(word + " needs a value");
      }
      return words[++i];
    };
    if (word == "--text") {
      call.text = value();
    } else if (word == "--null-text") {
      call.text.reset();
    } else if (word == "--number") {
      call.number = parse_number(value());
    } else if (word == "--buffer") {
      call.buffer = value();
      call.null_buffer = false;
    } else if (word == "--null-buffer") {
      call.null_buffer = true;
    } else if (word.rfind("--", 0) == 0 || !call.name.empty()) {
      throw UsageError("unexpected argument '" + word + "'");
    } else {
      call.name = word;
    }
  }
  if (call.name.empty()) {
    throw UsageError("no export named");
  }
  return call;
}

// Splits a line of a calls file into words: blanks separate, "..." and '...' quote, and a
// backslash inside double quotes escapes the next character.
std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
      ++i;
    }
    if (i >= line.size() || line[i] == '#') {
      return words;
    }
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      const char c = line[i++];
      if (c == '"' || c == '\'') {
        while (i < line.size() && line[i] != c) {
          if (c == '"' && line[i] == '\\' && i + 1 < line.size()) {
            ++i;
          }
          word += line[i++];
        }
        if (i >= line.size()) {
          throw UsageError("unterminated quote");
        }
        ++i;
      } else {
        word += c;
      }
    }
    words.push_back(std::move(word));
  }
}

class Host {
 public:
  explicit Host(const korvane::host::Library& library)
      : library_(library), buffer_(KORVANE_BUFFER_CAPACITY, '\0') {}

  void run(const Call& call) {
    const korvane_script_function function = library_.find(call.name.c_str());
    if (function == nullptr) {
      throw UsageError("the library has no export '" + call.name + "'");
    }
    if (call.buffer) {
      // The starting text, cut to what the library may use of the buffer.
      const std::size_t length = std::min(call.buffer->size(), buffer_.size() - 1);
      std::memcpy(buffer_.data(), call.buffer->data(), length);
      buffer_[length] = '\0';
    }
    const float result = function(call.text ? call.text->c_str() : nullptr, call.number,
                                  call.null_buffer ? nullptr : buffer_.data(), 0);
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, result).ptr;
    std::cout << "result: " << std::string_view(digits, static_cast<std::size_t>(end - digits))
              << "\nbuffer: " << buffer_.data() << '\n'
              << std::flush;
  }

 private:
  const korvane::host::Library& library_;
  std::vector<char> buffer_;
};

void run_file(Host& host, std::istream& in) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    try {
      const std::vector<std::string> words = split_words(line);
      if (!words.empty()) {
        host.run(parse_call(words));
      }
    } catch (const UsageError& error) {
      throw UsageError("line " + std::to_string(number) + ": " + error.message());
    }
  }
}

int run(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string library_path = korvane::host::library_beside_program();
  std::optional<std::string> calls_file;
  bool list = false;
  bool version = false;
  std::vector<std::string> call_words;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const bool has_value = i + 1 < words.size();
    if (words[i] == "--help" || words[i] == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (words[i] == "--lib" || words[i] == "--file") {
      if (!has_value) {
        throw UsageError(words[i] + " needs a value");
      }
      (words[i] == "--lib" ? library_path : calls_file.emplace()) = words[i + 1];
      ++i;
    } else if (words[i] == "--list") {
      list = true;
    } else if (words[i] == "--version") {
      version = true;
    } else {
      call_words.push_back(words[i]);
    }
  }
  if (!list && !version && !calls_file && call_words.empty()) {
    throw UsageError("nothing to call (see --help)");
  }

  std::string error;
  const auto library = korvane::host::Library::open(library_path, error);
  if (!library) {
    throw UsageError(error);
  }
  if (version) {
    // The tool's own version, and the one the loaded library answers.
    const korvane_script_function library_version = library->find("Version");
    if (library_version == nullptr) {
      throw UsageError("the library has no export 'Version'");
    }
    char digits[32];
    const float answer = library_version(nullptr, 0.0, nullptr, 0);
    const auto end = std::to_chars(digits, digits + sizeof digits, answer).ptr;
    std::cout << "korvane-call " << KORVANE_VERSION_TEXT << "\nlibrary " << library_path << ' '
              << std::string_view(digits, static_cast<std::size_t>(end - digits)) << '\n';
    return 0;
  }
  if (list) {
    for (const char* name : kExportNames) {
      if (library->find(name) != nullptr) {
        std::cout << name << '\n';
      }
    }
    return 0;
  }
  Host host(*library);
  if (calls_file) {
    if (*calls_file == "-") {
      run_file(host, std::cin);
    } else {
      std::ifstream in(*calls_file, std::ios::binary);
      if (!in) {
        throw UsageError("cannot read " + *calls_file);
      }
      run_file(host, in);
    }
  }
  if (!call_words.empty()) {
    host.run(parse_call(call_words));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const UsageError& error) {
    std::cerr << "korvane-call: " << error.message() << '\n';
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "korvane-call: " << error.what() << '\n';
    return 1;
  }
}
