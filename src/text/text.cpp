// Byte text primitives. Every scan walks character by character: a byte
// 0x80..0xFF and the byte after it form one character, so nothing ever matches
// at a second byte.
#include "text/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vellumara {

namespace {

using Size = std::size_t;

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Length in bytes of the character that starts at index i. A lead byte with
// nothing after it is the incomplete final character: its length is 1, and
// CharIsIncomplete tells the walks to stop there.
Size CharLength(std::string_view text, Size i) {
  return (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

bool CharIsIncomplete(std::string_view text, Size i) {
  return IsLeadByte(text[i]) && i + 1 == text.size();
}

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// Compares sub with the bytes of text at index i; the caller makes sure they fit.
bool MatchesAt(std::string_view text, Size i, std::string_view sub, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(text.data() + i, sub.data(), sub.size()) == 0;
  for (Size k = 0; k < sub.size(); ++k) {
    if (FoldAscii(static_cast<unsigned char>(text[i + k])) !=
        FoldAscii(static_cast<unsigned char>(sub[k])))
      return false;
  }
  return true;
}

bool IsIdeographicSpace(std::string_view text, Size i) {
  return static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

// Length of the space at index i (1 or 2), or 0 when no space starts there.
Size SpaceLength(std::string_view text, Size i) {
  if (text[i] == ' ') return 1;
  if (IsIdeographicSpace(text, i)) return 2;
  return 0;
}

// Index (0-based) where a scan beginning at the optional 1-based start begins.
Size StartIndex(std::optional<int> start) {
  if (!start || *start <= 1) return 0;
  return static_cast<Size>(*start) - 1;
}

}  // namespace

// --- TextList ------------------------------------------------------------------

const Text& TextList::Item(int i) const {
  const int count = Count();
  if (i < 1) {
    std::fprintf(stderr, "fatal: TextList index %d is below 1 (the list has %d elements)\n", i,
                 count);
    std::fflush(stderr);
    std::abort();
  }
  if (i > count) {
    std::fprintf(stderr, "fatal: TextList index %d is above the count %d\n", i, count);
    std::fflush(stderr);
    std::abort();
  }
  return items_[static_cast<Size>(i) - 1];
}

// --- Text inspection and slicing -------------------------------------------

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

Text TextLeft(std::string_view text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<Size>(n)));
}

Text TextRight(std::string_view text, int n) {
  if (n <= 0) return {};
  const Size k = static_cast<Size>(n);
  if (k >= text.size()) return Text(text);
  return Text(text.substr(text.size() - k));
}

Text TextMid(std::string_view text, int start, int n) {
  if (start < 1 || n <= 0 || static_cast<Size>(start) > text.size()) return {};
  return Text(text.substr(static_cast<Size>(start) - 1, static_cast<Size>(n)));
}

int FindText(std::string_view text, std::string_view sub, std::optional<int> start,
             bool ignoreCase) {
  const Size length = text.size();
  const Size begin = StartIndex(start);
  if (begin >= length) return -1;
  if (sub.empty()) return 1;
  const Size m = sub.size();
  if (m > length) return -1;
  const Size last = length - m;  // last index from which sub still fits
  const unsigned char first = static_cast<unsigned char>(sub[0]);
  const unsigned char firstFolded = FoldAscii(first);
  for (Size i = begin; i <= last;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool candidate = ignoreCase ? FoldAscii(c) == firstFolded : c == first;
    if (candidate && MatchesAt(text, i, sub, ignoreCase)) return static_cast<int>(i + 1);
    if (CharIsIncomplete(text, i)) break;
    i += CharLength(text, i);
  }
  return -1;
}

int FindTextReverse(std::string_view text, std::string_view sub, std::optional<int> start,
                    bool ignoreCase) {
  const Size length = text.size();
  Size window = length;
  if (start) {
    if (*start <= 1) {
      window = 0;
    } else if (static_cast<Size>(*start) - 1 <= length) {
      window = static_cast<Size>(*start) - 1;
    }
  }
  if (sub.empty()) return window > 0 ? 1 : -1;
  const Size m = sub.size();
  if (m > window) return -1;
  const Size last = window - m;  // an occurrence at a later index would end past the window
  int found = -1;
  for (Size i = 0; i <= last;) {
    if (MatchesAt(text, i, sub, ignoreCase)) found = static_cast<int>(i + 1);
    if (CharIsIncomplete(text, i)) break;
    i += CharLength(text, i);
  }
  return found;
}

int CompareText(std::string_view a, std::string_view b) {
  const int r = a.compare(b);  // char_traits<char> compares as unsigned bytes
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// --- Text building and transformation --------------------------------------

Text ConcatText(std::initializer_list<std::string_view> parts) {
  Size total = 0;
  for (std::string_view part : parts) total += part.size();
  Text result;
  result.reserve(total);
  for (std::string_view part : parts) result.append(part);
  return result;
}

Text ReplaceSubtext(std::string_view text, std::string_view find,
                    std::optional<std::string_view> replacement, std::optional<int> start,
                    std::optional<int> count, bool caseSensitive) {
  const Size length = text.size();
  const Size m = find.size();
  const Size begin = StartIndex(start);
  if (length == 0 || m == 0 || begin >= length || (count && *count == 0)) return Text(text);
  const std::string_view with = replacement.value_or(std::string_view());
  // A negative count means no limit; `left` counts down the replacements allowed.
  const bool limited = count && *count > 0;
  int left = limited ? *count : 0;

  Text out;
  out.reserve(length);
  const bool fold = !caseSensitive;
  const unsigned char firstFolded = FoldAscii(static_cast<unsigned char>(find[0]));
  const unsigned char first = static_cast<unsigned char>(find[0]);
  // Unmatched characters are copied in runs: [run, i) is still to be copied.
  Size run = 0;
  Size i = begin;
  while (i < length && length - i >= m) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool candidate = fold ? FoldAscii(c) == firstFolded : c == first;
    if (candidate && MatchesAt(text, i, find, fold)) {
      out.append(text.substr(run, i - run));
      out.append(with);
      i += m;
      run = i;
      if (limited && --left == 0) break;
      continue;
    }
    if (CharIsIncomplete(text, i)) {
      out.append(text.substr(run, i - run));
      run = length;  // the incomplete final character is dropped
      break;
    }
    i += CharLength(text, i);
  }
  out.append(text.substr(run));
  return out;
}

TextList SplitText(std::string_view text, std::string_view delimiter) {
  TextList list;
  if (text.empty()) return list;
  if (delimiter.empty()) {
    list.Append(text);
    return list;
  }
  const Size length = text.size();
  const Size d = delimiter.size();
  Size segment = 0;
  Size i = 0;
  while (i < length && length - i >= d) {
    if (MatchesAt(text, i, delimiter, false)) {
      list.Append(text.substr(segment, i - segment));
      i += d;
      segment = i;
      continue;
    }
    if (CharIsIncomplete(text, i)) break;
    i += CharLength(text, i);
  }
  if (segment < length) list.Append(text.substr(segment));
  return list;
}

Text TrimSpaces(std::string_view text) {
  const Size length = text.size();
  Size i = 0;
  while (i < length) {
    const Size space = SpaceLength(text, i);
    if (space == 0) break;
    i += space;
  }
  const Size first = i;
  Size end = length;        // where the result ends
  bool inRun = false;       // inside a run of spaces that may be the final one
  while (i < length) {
    const Size space = SpaceLength(text, i);
    if (space > 0) {
      if (!inRun) end = i;
      inRun = true;
      i += space;
      continue;
    }
    inRun = false;
    if (CharIsIncomplete(text, i)) {
      end = i;  // the incomplete final character is dropped
      break;
    }
    i += CharLength(text, i);
    end = i;
  }
  if (end <= first) return {};
  return Text(text.substr(first, end - first));
}

Text RemoveAllSpaces(std::string_view text) {
  const Size length = text.size();
  Text out;
  out.reserve(length);
  for (Size i = 0; i < length;) {
    const Size space = SpaceLength(text, i);
    if (space > 0) {
      i += space;
      continue;
    }
    if (CharIsIncomplete(text, i)) break;
    const Size n = CharLength(text, i);
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

Text ToLowerCase(std::string_view text) {
  Text out(text);
  for (Size i = 0; i < out.size();) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 0x20);
    i += CharLength(out, i);
  }
  return out;
}

std::int32_t TextToInt(std::string_view text) {
  // Reads one character at a time, full-width forms taken as their ASCII
  // counterparts; a double-byte character without one reads as 0x80 (no digit,
  // no sign, no space).
  Size i = 0;
  const auto next = [&text, &i]() -> int {
    if (i >= text.size()) return -1;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      return c;
    }
    if (i + 1 >= text.size()) {
      ++i;
      return 0x80;
    }
    const unsigned char second = static_cast<unsigned char>(text[i + 1]);
    i += 2;
    if (c == 0xA3 && second >= 0xA1 && second <= 0xFE) return second - 0x80;
    if (c == 0xA1 && second == 0xA1) return ' ';
    return 0x80;
  };
  int c = next();
  while (c == ' ' || (c >= 0x09 && c <= 0x0D)) c = next();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = next();
  }
  std::uint32_t value = 0;  // unsigned: the wrap-around is intended
  while (c >= '0' && c <= '9') {
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
    c = next();
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

Text BlankText(int n) {
  if (n < 1) return {};
  return Text(static_cast<Size>(n), ' ');
}

Text CharFromCode(int code) {
  const char c = static_cast<char>(code & 0xFF);
  if (c == '\0') return {};
  return Text(1, c);
}

// --- Bytes -------------------------------------------------------------------

int BytesLength(const Bytes& bytes) { return static_cast<int>(bytes.size()); }

Bytes BlankBytes(int n) {
  if (n < 1) return {};
  return Bytes(static_cast<Size>(n), 0);
}

Bytes BytesLeft(const Bytes& bytes, int n) {
  if (n <= 0) return {};
  const Size k = std::min(static_cast<Size>(n), bytes.size());
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(k));
}

Bytes ConcatBytes(std::initializer_list<const Bytes*> parts) {
  Size total = 0;
  for (const Bytes* part : parts) {
    if (part) total += part->size();
  }
  Bytes result;
  result.reserve(total);
  for (const Bytes* part : parts) {
    if (part) result.insert(result.end(), part->begin(), part->end());
  }
  return result;
}

bool BytesEqual(const Bytes& a, const Bytes& b) { return a == b; }

Text BytesToText(const Bytes& bytes) {
  if (bytes.empty()) return {};
  const char* data = reinterpret_cast<const char*>(bytes.data());
  const void* nul = std::memchr(data, '\0', bytes.size());
  const Size n = nul ? static_cast<Size>(static_cast<const char*>(nul) - data) : bytes.size();
  return Text(data, n);
}

Bytes TextToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// --- Lists ---------------------------------------------------------------------

int TextListCount(const TextList& list) { return list.Count(); }

const Text& TextListItem(const TextList& list, int i) { return list.Item(i); }

void TextListAppend(TextList& list, std::string_view text) { list.Append(text); }

void TextListClear(TextList& list) { list.Clear(); }

// --- Integers --------------------------------------------------------------------

std::int32_t BitOr(std::initializer_list<std::int32_t> values) {
  std::uint32_t result = 0;
  for (std::int32_t v : values) result |= static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>(result);
}

std::int32_t TruncateToInteger(double x) {
  // Only whole values in range arrive; the rest is clamped rather than left
  // undefined.
  if (std::isnan(x)) return 0;
  constexpr double kMax = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<std::int32_t>::min());
  if (x >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (x <= kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

}  // namespace vellumara
