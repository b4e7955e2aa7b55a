// Naive reference walks of the text routines, written the slow and obvious
// way, for the random-input tests to compare against. Positions are 1-based,
// -1 is "not found"; a byte 0x80..0xFF starts a two-byte character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumara::ref {

using Str = std::string;
using View = std::string_view;

inline bool Lead(char c) { return static_cast<unsigned char>(c) >= 0x80; }
inline int Len(View t) { return static_cast<int>(t.size()); }
inline unsigned char At(View t, int p) { return static_cast<unsigned char>(t[p - 1]); }

// The character start after the one at p; Len + 1 when the walk ends there.
inline int NextStart(View t, int p) {
  if (Lead(t[p - 1])) return p == Len(t) ? Len(t) + 1 : p + 2;
  return p + 1;
}

inline unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; }

// sub at position p (enough bytes must remain).
inline bool MatchAt(View t, int p, View sub, bool ignoreCase) {
  for (int k = 0; k < Len(sub); ++k) {
    unsigned char a = At(t, p + k);
    unsigned char b = static_cast<unsigned char>(sub[k]);
    if (ignoreCase) {
      a = Fold(a);
      b = Fold(b);
    }
    if (a != b) return false;
  }
  return true;
}

inline Str Left(View t, int n) {
  if (n <= 0) return {};
  if (n >= Len(t)) return Str(t);
  return Str(t.substr(0, n));
}

inline Str Right(View t, int n) {
  if (n <= 0) return {};
  if (n >= Len(t)) return Str(t);
  return Str(t.substr(t.size() - n));
}

inline Str Mid(View t, int start, int n) {
  if (start < 1 || start > Len(t) || n <= 0) return {};
  const std::int64_t room = static_cast<std::int64_t>(Len(t)) - start + 1;
  return Str(t.substr(start - 1, static_cast<std::size_t>(n < room ? n : room)));
}

inline int Find(View t, View sub, std::optional<int> start, bool ignoreCase) {
  const int L = Len(t);
  const int M = Len(sub);
  int begin = 1;
  if (start && *start > 1) {
    if (*start > L) return -1;
    begin = *start;
  }
  if (L == 0) return -1;
  if (M == 0) return 1;
  for (int p = begin; p <= L; p = NextStart(t, p)) {
    if (L - p + 1 >= M && MatchAt(t, p, sub, ignoreCase)) return p;
  }
  return -1;
}

inline int FindReverse(View t, View sub, std::optional<int> start, bool ignoreCase) {
  const int L = Len(t);
  const int M = Len(sub);
  int window = L;
  if (start) {
    if (*start <= 1) {
      window = 0;
    } else if (*start - 1 <= L) {
      window = *start - 1;
    }
  }
  if (M == 0) return window > 0 ? 1 : -1;
  int last = -1;
  for (int p = 1; p <= L; p = NextStart(t, p)) {
    if (p + M - 1 <= window && MatchAt(t, p, sub, ignoreCase)) last = p;
  }
  return last;
}

inline Str Replace(View t, View find, View replacement, std::optional<int> start,
                   std::optional<int> count, bool caseSensitive) {
  const int L = Len(t);
  const int M = Len(find);
  if (L == 0 || M == 0 || (start && *start > L) || (count && *count == 0)) return Str(t);
  const int begin = (start && *start > 1) ? *start : 1;
  const bool limited = count && *count > 0;
  int left = limited ? *count : 0;
  Str out(t.substr(0, begin - 1));
  int p = begin;
  while (p <= L) {
    if (L - p + 1 < M) break;  // the rest is copied below
    if (MatchAt(t, p, find, !caseSensitive)) {
      out += replacement;
      p += M;
      if (limited && --left == 0) break;
      continue;
    }
    if (Lead(t[p - 1])) {
      if (p == L) return out;  // an incomplete last character goes
      out += t.substr(p - 1, 2);
      p += 2;
    } else {
      out += t[p - 1];
      p += 1;
    }
  }
  if (p <= L) out += t.substr(p - 1);
  return out;
}

inline std::vector<Str> Split(View t, View delimiter) {
  std::vector<Str> pieces;
  if (t.empty()) return pieces;
  if (delimiter.empty()) return {Str(t)};
  const int L = Len(t);
  const int D = Len(delimiter);
  int segment = 1;
  int p = 1;
  while (p <= L) {
    if (L - p + 1 >= D && MatchAt(t, p, delimiter, false)) {
      pieces.emplace_back(t.substr(segment - 1, p - segment));
      p += D;
      segment = p;
      continue;
    }
    p = NextStart(t, p);
  }
  if (segment <= L) pieces.emplace_back(t.substr(segment - 1));
  return pieces;
}

inline Str Join(const std::vector<Str>& pieces, View delimiter) {
  Str out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i) out += delimiter;
    out += pieces[i];
  }
  return out;
}

// Length of the space at p: 1 for 0x20, 2 for 0xA1 0xA1, else 0.
inline int SpaceAt(View t, int p) {
  if (t[p - 1] == ' ') return 1;
  if (At(t, p) == 0xA1 && p < Len(t) && At(t, p + 1) == 0xA1) return 2;
  return 0;
}

// TrimSpaces leaves an incomplete last character out; whether that character
// still ends a run of trailing spaces is open, so both readings are given.
inline std::pair<Str, Str> TrimBoth(View t) {
  const int L = Len(t);
  int p = 1;
  while (p <= L && SpaceAt(t, p)) p += SpaceAt(t, p);
  const int begin = p;
  int run = -1;
  bool incomplete = false;
  while (p <= L) {
    if (const int s = SpaceAt(t, p)) {
      if (run == -1) run = p;
      p += s;
      continue;
    }
    if (Lead(t[p - 1]) && p == L) {
      incomplete = true;
      break;
    }
    run = -1;
    p = NextStart(t, p);
  }
  const int endAll = incomplete ? L : L + 1;
  const int endIgnoring = run != -1 ? run : endAll;  // the cut byte ignored
  const int endStopping = incomplete ? L : endIgnoring;  // the cut byte ends the run
  return {Str(t.substr(begin - 1, endIgnoring - begin)),
          Str(t.substr(begin - 1, endStopping - begin))};
}

inline bool TrimMatches(View result, View t) {
  const auto [a, b] = TrimBoth(t);
  return result == a || result == b;
}

inline Str RemoveSpaces(View t) {
  Str out;
  const int L = Len(t);
  for (int p = 1; p <= L;) {
    if (const int s = SpaceAt(t, p)) {
      p += s;
      continue;
    }
    if (Lead(t[p - 1])) {
      if (p == L) break;
      out += t.substr(p - 1, 2);
      p += 2;
    } else {
      out += t[p - 1];
      ++p;
    }
  }
  return out;
}

inline Str Lower(View t) {
  Str out(t);
  for (int p = 1; p <= Len(t); p = NextStart(t, p)) {
    if (!Lead(t[p - 1])) out[p - 1] = static_cast<char>(Fold(At(t, p)));
  }
  return out;
}

inline std::int32_t ToInt(View t) {
  // Each character as the ASCII byte it stands for; -1 for any other
  // double-byte character.
  std::vector<int> codes;
  for (int p = 1; p <= Len(t); p = NextStart(t, p)) {
    const unsigned char c = At(t, p);
    if (!Lead(t[p - 1])) {
      codes.push_back(c);
    } else if (p == Len(t)) {
      codes.push_back(-1);
    } else {
      const unsigned char x = At(t, p + 1);
      if (c == 0xA3 && x >= 0xA1 && x <= 0xFE) {
        codes.push_back(x - 0x80);
      } else if (c == 0xA1 && x == 0xA1) {
        codes.push_back(' ');
      } else {
        codes.push_back(-1);
      }
    }
  }
  std::size_t i = 0;
  while (i < codes.size() && ((codes[i] >= 0x09 && codes[i] <= 0x0D) || codes[i] == ' ')) ++i;
  bool negative = false;
  if (i < codes.size() && (codes[i] == '+' || codes[i] == '-')) negative = codes[i++] == '-';
  std::uint32_t value = 0;
  while (i < codes.size() && codes[i] >= '0' && codes[i] <= '9') {
    value = value * 10u + static_cast<std::uint32_t>(codes[i++] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

inline int Compare(View a, View b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ----- marker routines, from the walks above --------------------------------

inline const Str kQuote = "#\xd2\xfd\xba\xc5";

inline Str Between(View t, View startMarker, View endMarker, std::optional<int> startPos,
                   bool ignoreCase) {
  const Str sm = Replace(startMarker, kQuote, "\"", std::nullopt, std::nullopt, true);
  const Str em = Replace(endMarker, kQuote, "\"", std::nullopt, std::nullopt, true);
  int s = Find(t, sm, startPos, ignoreCase);
  if (s != -1) s += Len(sm);
  const int e = Find(t, em, s, ignoreCase);
  if (s == -1 || e == -1) return {};
  return Mid(t, s, e - s);
}

struct Extracted {
  std::vector<Str> items;
  long pumps = 0;
};

struct ExtractArgs {
  bool matchCase = false;
  int maxLength = 0;
  Str prefix;
  Str suffix;
  bool keepStartMarker = false;
  bool keepEndMarker = false;
  int startPos = 0;
};

// Only for markers with which the walk is known to end: a non-empty start
// marker, and a non-empty end marker whenever prefix or suffix is given.
inline Extracted ExtractAll(View t, View sm, View em, const ExtractArgs& a) {
  Extracted out;
  int pos = a.startPos;
  for (;;) {
    const int f = Find(t, sm, pos, !a.matchCase);
    if (f == -1) break;
    const int after = f + Len(sm);
    const int g = Find(t, em, after, !a.matchCase);
    if (g == -1) break;
    Str item = TrimBoth(Mid(t, after, g - after)).first;
    item = a.prefix + item + a.suffix;
    if (!item.empty()) {
      if (a.keepStartMarker) item = Str(sm) + item;
      if (a.keepEndMarker) item += em;
      if (a.maxLength != 0) {
        if (Len(item) < a.maxLength) out.items.push_back(item);
        ++out.pumps;
      } else {
        out.items.push_back(item);
      }
      pos = g;
    } else {
      pos = after;
    }
    out.pumps += 3;
  }
  return out;
}

inline Str Pairs(View t, std::optional<int> count, std::optional<int> startPos, bool matchCase,
                 const std::vector<std::pair<Str, Str>>& pairs) {
  const int from = (!startPos || *startPos == 0) ? 1 : *startPos;
  Str out(t);
  for (const auto& [find, replacement] : pairs) {
    out = Replace(out, find, replacement, from, count, matchCase);
  }
  return out;
}

}  // namespace vellumara::ref
