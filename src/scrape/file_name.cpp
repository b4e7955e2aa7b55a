#include "scrape/file_name.h"

#include <array>
#include <cctype>

#include "text/codepage.h"

namespace vellumara {
namespace {

constexpr std::size_t kMaxFileNameBytes = 255;
constexpr std::string_view kExtension = ".txt";

bool Forbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' ||
         c == '"' || c == '<' || c == '>' || c == '|';
}

// Length of the character starting at i: two bytes for a lead byte with a byte
// after it, one otherwise.
std::size_t CharLength(std::string_view s, std::size_t i) {
  return (static_cast<unsigned char>(s[i]) >= 0x80 && i + 1 < s.size()) ? 2 : 1;
}

// A real double-byte character: a lead byte 0x81..0xFE and a second byte
// 0x40..0xFE. Anything else in a name is replaced rather than trusted to the
// conversion, which could turn a stray second byte back into a separator.
bool ValidPair(std::string_view s, std::size_t i) {
  auto lead = static_cast<unsigned char>(s[i]);
  auto second = static_cast<unsigned char>(s[i + 1]);
  return lead >= 0x81 && lead <= 0xFE && second >= 0x40 && second <= 0xFE;
}

void TrimTrailingDotsAndSpaces(Text& s) {
  while (!s.empty() && (s.back() == '.' || s.back() == ' ')) s.pop_back();
}

bool IsReservedStem(std::string_view stem) {
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  auto upper = [](std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  };
  // Windows also ignores trailing spaces before the extension.
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string u = upper(stem);
  for (std::string_view r : kPlain) {
    if (u == r) return true;
  }
  return u.size() == 4 && (u.starts_with("COM") || u.starts_with("LPT")) && u[3] >= '1' &&
         u[3] <= '9';
}

}  // namespace

Text SafeBookName(std::string_view name) {
  Text out;
  out.reserve(name.size() + 1);
  for (std::size_t i = 0; i < name.size();) {
    std::size_t n = CharLength(name, i);
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (n == 2 && !ValidPair(name, i)) n = 1;
    if (n == 1 && c >= 0x80) {
      out += '_';  // a lead byte without a proper second byte is no character
    } else if (n == 1 && Forbidden(c)) {
      out += '_';
    } else {
      out.append(name.substr(i, n));
    }
    i += n;
  }
  TrimTrailingDotsAndSpaces(out);
  std::size_t dot = out.find('.');
  std::size_t stemEnd = dot == Text::npos ? out.size() : dot;
  if (IsReservedStem(std::string_view(out).substr(0, stemEnd))) out.insert(stemEnd, "_");
  return out;
}

std::optional<std::string> BookFileName(std::string_view name) {
  Text safe = SafeBookName(name);
  std::string utf8 = GbkToUtf8(safe);
  // Shorten a character at a time until the UTF-8 name fits.
  while (!safe.empty() && utf8.size() + kExtension.size() > kMaxFileNameBytes) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < safe.size(); i += CharLength(safe, i)) last = i;
    safe.erase(last);
    TrimTrailingDotsAndSpaces(safe);
    utf8 = GbkToUtf8(safe);
  }
  if (safe.empty() || safe == "." || safe == "..") return std::nullopt;
  // A character the conversion could not map comes out as '?'.
  for (char& c : utf8) {
    if (Forbidden(static_cast<unsigned char>(c))) c = '_';
  }
  return utf8 + std::string(kExtension);
}

}  // namespace vellumara
