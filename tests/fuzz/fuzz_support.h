// Shared pieces of the random-input tests: a small seeded generator, texts
// biased toward the bytes the parsers care about, and fault reporting that
// names the seed, the input number and every argument in hex.
//
//   FuzzRun run("FindText", 0x5eed0001, 200000);
//   long i = 0;
//   for (; run.More(i); ++i) {
//     Rng rng = run.InputRng(i);
//     Text text = kTextPieces.Text(rng, 40);
//     ...
//     run.Expect(ok, i, "result inside the text",
//                [&] { return Args().Add("text", text).str(); });
//   }
//   run.Finish(i);   // prints and records the number of inputs
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumara::fuzz {

// The sanitizer builds run the same inputs, only fewer of them.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kSanitizerDivisor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int kSanitizerDivisor = 4;
#else
inline constexpr int kSanitizerDivisor = 1;
#endif
#else
inline constexpr int kSanitizerDivisor = 1;
#endif

// splitmix64: cheap to seed, so every input gets its own stream and can be
// regenerated from the run's seed and its number alone.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in lo..hi, both included.
  int Range(int lo, int hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
    return static_cast<int>(lo + static_cast<std::int64_t>(Next() % span));
  }
  bool Chance(int percent) { return Range(0, 99) < percent; }

 private:
  std::uint64_t state_;
};

// A weighted set of pieces that texts are glued together from.
class Pieces {
 public:
  struct Piece {
    int weight;
    std::string bytes;  // empty: one random byte from lo..hi
    int lo = 0;
    int hi = 0;
  };

  Pieces(std::initializer_list<Piece> pieces) : pieces_(pieces) {
    for (const Piece& p : pieces_) total_ += p.weight;
  }

  std::string One(Rng& rng) const {
    int pick = rng.Range(0, total_ - 1);
    for (const Piece& p : pieces_) {
      if (pick < p.weight) {
        if (!p.bytes.empty()) return p.bytes;
        return std::string(1, static_cast<char>(rng.Range(p.lo, p.hi)));
      }
      pick -= p.weight;
    }
    return {};
  }

  // Pieces glued together until the text is about `maxLength` bytes at most
  // (the last piece may run over by a few bytes); often short, sometimes empty.
  std::string Text(Rng& rng, int maxLength) const {
    const int target = rng.Chance(10) ? 0 : rng.Range(0, rng.Chance(70) ? maxLength / 3 : maxLength);
    std::string out;
    while (static_cast<int>(out.size()) < target) out += One(rng);
    return out;
  }

 private:
  std::vector<Piece> pieces_;
  int total_ = 0;
};

// A marker quote token as the pages write it: "#" and the two-character word.
inline const std::string kQuoteToken = "#\xd2\xfd\xba\xc5";

// Bytes every parser meets: double-byte lead bytes, separators, both kinds of
// space, line breaks, pieces of markers and of addresses. No NUL: Text has none.
inline const Pieces kTextPieces{
    {4, "", 0x80, 0xFF},           // a lead byte; whatever follows is its second byte
    {3, "", 0x01, 0x7F},           // any single-byte character
    {3, "", 'A', 'Z'},
    {3, "", 'a', 'z'},
    {2, "", '0', '9'},
    {2, "\""}, {2, ":"}, {2, ";"}, {2, "="}, {2, "/"}, {2, "."}, {1, "?"}, {1, ","},
    {3, " "},
    {2, "\xa1\xa1"},               // ideographic space
    {1, "\xb0\xa1"},               // an ordinary double-byte character
    {1, "\xb0" "A"},               // a second byte that looks like a letter
    {1, "\xa3\xb1"},               // full-width digit one
    {2, "\r\n"},
    {1, kQuoteToken},
    {1, "#"},
    {1, "http://"},
    {1, "https://"},
    {1, "HTTP://"},
    {1, "=deleted"},
};

// A position or count from -5 to length + 5, now and then one at the ends of
// the integer range.
inline int RandomPosition(Rng& rng, int length) {
  if (rng.Chance(3)) {
    static constexpr int kFar[] = {INT_MIN, INT_MIN + 1, -1000000, 1000000, INT_MAX - 1, INT_MAX};
    return kFar[rng.Range(0, 5)];
  }
  return rng.Range(-5, length + 5);
}

inline std::optional<int> MaybePosition(Rng& rng, int length) {
  if (rng.Chance(25)) return std::nullopt;
  return RandomPosition(rng, length);
}

inline std::optional<bool> MaybeBool(Rng& rng) {
  const int pick = rng.Range(0, 2);
  if (pick == 0) return std::nullopt;
  return pick == 1;
}

// A search text: most often a piece of `text` itself, so that matches happen,
// cut at any byte (also in the middle of a character).
inline std::string SearchText(Rng& rng, std::string_view text, const Pieces& pieces) {
  const int pick = rng.Range(0, 99);
  if (pick < 50 && !text.empty()) {
    const int from = rng.Range(0, static_cast<int>(text.size()) - 1);
    const int n = rng.Range(1, std::min<int>(6, static_cast<int>(text.size()) - from));
    return std::string(text.substr(from, n));
  }
  if (pick < 85) {
    std::string out;
    const int n = rng.Range(1, 3);
    for (int k = 0; k < n; ++k) out += pieces.One(rng);
    return out;
  }
  if (pick < 95) return pieces.One(rng);
  return {};
}

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  out += "\" [";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += kDigits[static_cast<unsigned char>(bytes[i]) >> 4];
    out += kDigits[static_cast<unsigned char>(bytes[i]) & 15];
  }
  out += "]";
  return out;
}

inline std::string Show(std::string_view bytes) { return Hex(bytes); }
inline std::string Show(int value) { return std::to_string(value); }
inline std::string Show(bool value) { return value ? "true" : "false"; }
template <typename T>
std::string Show(const std::optional<T>& value) {
  return value ? Show(*value) : std::string("(left out)");
}
template <typename T>
std::string Show(const std::vector<T>& values) {
  std::string out = "{";
  for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + Show(values[i]);
  return out + "}";
}

// Builds "name=value, name=value" for a fault message.
class Args {
 public:
  template <typename T>
  Args& Add(const char* name, const T& value) {
    if (!text_.empty()) text_ += ",\n    ";
    text_ += name;
    text_ += " = ";
    text_ += Show(value);
    return *this;
  }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// One run of a random-input test: its seed, its number of inputs and the
// faults found. Stops after a handful of faults so one bug does not flood the log.
class FuzzRun {
 public:
  FuzzRun(std::string name, std::uint64_t seed, long inputs)
      : name_(std::move(name)), seed_(seed), requested_(inputs), inputs_(Scaled(inputs)) {}

  // The input stream for input number i: the same on every run and machine.
  Rng InputRng(long i) const { return Rng(seed_ ^ (0x2545f4914f6cdd1dULL * (i + 1))); }

  bool More(long i) const { return i < inputs_ && faults_ < kMaxFaults; }

  // Records a fault when ok is false; describe() lists the arguments.
  template <typename Describe>
  bool Expect(bool ok, long i, std::string_view what, Describe describe) {
    if (ok) return true;
    ++faults_;
    ADD_FAILURE() << name_ << ": " << what << "\n  seed 0x" << std::hex << seed_ << std::dec
                  << ", input " << i << "\n  " << describe();
    return false;
  }

  // Prints and records how many inputs ran.
  void Finish(long ran) const {
    std::cout << "[fuzz] " << name_ << ": " << ran << " inputs, seed 0x" << std::hex << seed_
              << std::dec;
    if (inputs_ != requested_) std::cout << " (" << requested_ << " asked for, scaled)";
    std::cout << "\n";
    ::testing::Test::RecordProperty("inputs", static_cast<int>(ran));
  }

  long inputs() const { return inputs_; }
  std::uint64_t seed() const { return seed_; }

 private:
  static constexpr int kMaxFaults = 5;

  // VELLUMARA_FUZZ_SCALE multiplies the number of inputs, for a longer soak.
  static long Scaled(long inputs) {
    long n = inputs / kSanitizerDivisor;
    if (const char* scale = std::getenv("VELLUMARA_FUZZ_SCALE")) {
      const double factor = std::atof(scale);
      if (factor > 0) n = static_cast<long>(n * factor);
    }
    return n < 1 ? 1 : n;
  }

  std::string name_;
  std::uint64_t seed_;
  long requested_;
  long inputs_;
  int faults_ = 0;
};

}  // namespace vellumara::fuzz
