// Byte text: the three value types every routine of the program is written in,
// and their primitives.
//
//   Text page = BytesToText(body);
//   int p = FindText(page, "nr1\">", std::nullopt, false);
//   Text rest = TextMid(page, p, TextLength(page));
//
// Position rules, for every routine in this header:
//  - `Text` is code page 936 (GBK) bytes without NUL; lengths count bytes.
//  - Positions are 1-based byte positions; -1 means "not found".
//  - A byte 0x80..0xFF starts a double-byte character and the byte after it is
//    that character's second byte, whatever its value. The scanning routines
//    (FindText, FindTextReverse, ReplaceSubtext, SplitText, TrimSpaces,
//    RemoveAllSpaces, ToLowerCase) walk character by character from where they
//    begin and never match at a second byte. The slicing routines (TextLeft,
//    TextRight, TextMid) count plain bytes and may cut a character in two.
//  - A marker whose first byte is below 0x40 can never be mistaken for the
//    second byte of a GBK character (second bytes lie in 0x40..0xFE).
//  - Ignoring case folds the ASCII letters only, byte by byte, without locale.
//  - A space is 0x20 or the ideographic space 0xA1 0xA1; tab, CR, LF are not.
//  - Nothing here throws or reports an error: out-of-range positions and counts
//    give -1, an empty value or a clamped count. The one fatal fault is reading
//    a TextList outside 1..count.
//  - An optional argument is a std::optional: std::nullopt means "left out".
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumara {

// Code page 936 bytes, no NUL. Absent and empty are one value.
using Text = std::string;

// A byte buffer that may hold NUL bytes; carries no encoding.
using Bytes = std::vector<unsigned char>;

// An ordered list of Text, numbered 1..TextListCount. The list owns copies.
class TextList {
 public:
  TextList() = default;
  TextList(std::initializer_list<Text> items) : items_(items) {}

  [[nodiscard]] int Count() const { return static_cast<int>(items_.size()); }
  // Item: element i (1-based); outside 1..Count() the program stops.
  [[nodiscard]] const Text& Item(int i) const;
  void Append(std::string_view text) { items_.emplace_back(text); }
  void Clear() { items_.clear(); }

  friend bool operator==(const TextList&, const TextList&) = default;

 private:
  std::vector<Text> items_;
};

// --- Text inspection and slicing -------------------------------------------

// TextLength: the number of bytes; 0 for the empty text.
[[nodiscard]] int TextLength(std::string_view text);
// TextLeft: the first n bytes; empty for n <= 0, the whole text for n >= length.
[[nodiscard]] Text TextLeft(std::string_view text, int n);
// TextRight: the last n bytes; empty for n <= 0, the whole text for n >= length.
[[nodiscard]] Text TextRight(std::string_view text, int n);
// TextMid: the n bytes from position start, stopping at the end of the text.
// Empty when start < 1 (not moved to 1), start > length or n <= 0.
[[nodiscard]] Text TextMid(std::string_view text, int start, int n);
// FindText: position of the first occurrence of sub at or after start (left
// out or <= 1: from the first byte), or -1. The walk begins exactly at start,
// taken as a character start. An empty sub gives 1 when the searched region
// holds a byte, else -1.
[[nodiscard]] int FindText(std::string_view text, std::string_view sub,
                           std::optional<int> start = std::nullopt, bool ignoreCase = false);
// FindTextReverse: position of the last occurrence of sub that lies wholly
// before position start (left out: anywhere), or -1. start <= 1 gives -1.
[[nodiscard]] int FindTextReverse(std::string_view text, std::string_view sub,
                                  std::optional<int> start = std::nullopt,
                                  bool ignoreCase = false);
// CompareText: -1, 0 or 1 by unsigned bytes; a prefix is the smaller.
[[nodiscard]] int CompareText(std::string_view a, std::string_view b);

// --- Text building and transformation --------------------------------------

// ConcatText: the parts one after the other, allocated once.
[[nodiscard]] Text ConcatText(std::initializer_list<std::string_view> parts);
template <typename... Parts>
[[nodiscard]] Text ConcatText(const Parts&... parts) {
  return ConcatText({std::string_view(parts)...});
}
// ReplaceSubtext: left-to-right, non-overlapping replacement of find from
// position start (left out or <= 1: from 1). replacement left out deletes;
// count left out or negative: no limit, 0: nothing. Replaced output is not
// scanned again. An incomplete final character reached without a match is
// dropped. L = 0, M = 0, start > L or count = 0 give the text unchanged.
[[nodiscard]] Text ReplaceSubtext(std::string_view text, std::string_view find,
                                  std::optional<std::string_view> replacement = std::nullopt,
                                  std::optional<int> start = std::nullopt,
                                  std::optional<int> count = std::nullopt,
                                  bool caseSensitive = true);
// SplitText: the pieces between occurrences of delimiter (exact case). The
// empty text gives an empty list; an empty delimiter a list of the whole text;
// a delimiter at the end gives no empty last piece.
[[nodiscard]] TextList SplitText(std::string_view text, std::string_view delimiter);
// TrimSpaces: the text without leading and trailing spaces (0x20, 0xA1 0xA1).
// An incomplete final character is dropped.
[[nodiscard]] Text TrimSpaces(std::string_view text);
// RemoveAllSpaces: the text without any space. An incomplete final character
// is dropped.
[[nodiscard]] Text RemoveAllSpaces(std::string_view text);
// ToLowerCase: A..Z at character starts made small; second bytes untouched.
[[nodiscard]] Text ToLowerCase(std::string_view text);
// TextToInt: the decimal integer at the start, after whitespace (0x09..0x0D,
// 0x20) and an optional sign; full-width digits, signs and the ideographic
// space count as their ASCII forms. 32-bit wrap-around, no overflow check.
// 0 when there are no leading digits.
[[nodiscard]] std::int32_t TextToInt(std::string_view text);
// BlankText: n ASCII spaces; empty for n < 1.
[[nodiscard]] Text BlankText(int n);
// CharFromCode: the one byte code; empty for code 0.
[[nodiscard]] Text CharFromCode(int code);

// --- Bytes -------------------------------------------------------------------

// BytesLength: the number of bytes.
[[nodiscard]] int BytesLength(const Bytes& bytes);
// BlankBytes: n zero bytes; empty for n < 1.
[[nodiscard]] Bytes BlankBytes(int n);
// BytesLeft: the first n bytes, n clamped to 0..length.
[[nodiscard]] Bytes BytesLeft(const Bytes& bytes, int n);
// ConcatBytes: the buffers one after the other, allocated once.
[[nodiscard]] Bytes ConcatBytes(std::initializer_list<const Bytes*> parts);
template <typename... Parts>
[[nodiscard]] Bytes ConcatBytes(const Parts&... parts) {
  return ConcatBytes({&parts...});
}
// BytesEqual: same length and same bytes.
[[nodiscard]] bool BytesEqual(const Bytes& a, const Bytes& b);
// BytesToText: the bytes before the first NUL (all of them when none).
[[nodiscard]] Text BytesToText(const Bytes& bytes);
// TextToBytes: the bytes of the text, no terminator.
[[nodiscard]] Bytes TextToBytes(std::string_view text);

// --- Lists ---------------------------------------------------------------------

// TextListCount: the number of elements.
[[nodiscard]] int TextListCount(const TextList& list);
// TextListItem: element i, 1-based; outside 1..count the program stops with a
// message that says whether i was below 1 or above the count.
[[nodiscard]] const Text& TextListItem(const TextList& list, int i);
// TextListAppend: appends a copy of text as the new last element.
void TextListAppend(TextList& list, std::string_view text);
// TextListClear: removes every element.
void TextListClear(TextList& list);

// --- Integers --------------------------------------------------------------------

// BitOr: the bitwise OR of the values.
[[nodiscard]] std::int32_t BitOr(std::initializer_list<std::int32_t> values);
// TruncateToInteger: x truncated toward zero.
[[nodiscard]] std::int32_t TruncateToInteger(double x);

}  // namespace vellumara
