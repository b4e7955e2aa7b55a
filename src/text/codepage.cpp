// UTF-8 <-> code page 936 over glibc iconv. Each run of convertible text goes
// through one iconv call; only the bytes iconv stops at are handled here.
#include "text/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace vellumara {

namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(cd);
}

// One converter per thread and direction, opened on first use: iconv_open
// costs far more than converting a table cell. The handle is reset before use.
iconv_t Converter(IconvHandle& slot, const char* to, const char* from) {
  if (!slot) slot = OpenIconv(to, from);
  if (!slot) return nullptr;
  iconv(slot.get(), nullptr, nullptr, nullptr, nullptr);
  return slot.get();
}

// Length of the well-formed UTF-8 character at p (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when the bytes there are not one.
std::size_t Utf8CharLength(const unsigned char* p, std::size_t left) {
  const auto cont = [&](std::size_t i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
    return i < left && p[i] >= lo && p[i] <= hi;
  };
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return cont(1) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
    const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
    return cont(1, lo, hi) && cont(2) ? 3 : 0;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
    return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

// How many input bytes one '?' stands for when iconv stops at p.
using SkipRule = std::size_t (*)(const unsigned char* p, std::size_t left);

std::size_t SkipUtf8(const unsigned char* p, std::size_t left) {
  // A whole character that code page 936 lacks, or one byte of bad UTF-8.
  const std::size_t n = Utf8CharLength(p, left);
  return n > 0 ? n : 1;
}

std::size_t SkipGbk(const unsigned char* p, std::size_t left) {
  // A lead byte with a byte of the second-byte range after it is one
  // (unmapped) character; a lead byte before anything else is cut short, and
  // the byte after it is kept so a line break survives.
  if (p[0] >= 0x80 && left >= 2 && p[1] >= 0x40 && p[1] <= 0xFE) return 2;
  return 1;
}

// Converts `in` with cd; every stretch iconv refuses becomes one '?'.
std::string Convert(iconv_t cd, std::string_view in, std::size_t estimate, SkipRule skip) {
  std::string out;
  out.resize(estimate + 16);
  char* src = const_cast<char*>(in.data());  // iconv's signature; it only reads
  std::size_t srcLeft = in.size();
  std::size_t produced = 0;
  const auto grow = [&out] { out.resize(out.size() * 2); };
  while (srcLeft > 0) {
    char* dst = out.data() + produced;
    std::size_t dstLeft = out.size() - produced;
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    produced = out.size() - dstLeft;
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut off by the end of the input.
    if (produced == out.size()) grow();
    out[produced++] = '?';
    const std::size_t n =
        std::min(skip(reinterpret_cast<const unsigned char*>(src), srcLeft), srcLeft);
    src += n;
    srcLeft -= n;
  }
  out.resize(produced);
  return out;
}

// Without a converter (no gconv modules installed) ASCII still gets through.
std::string AsciiOnly(std::string_view in, SkipRule skip) {
  std::string out;
  out.reserve(in.size());
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  std::size_t left = in.size();
  while (left > 0) {
    if (p[0] < 0x80) {
      out.push_back(static_cast<char>(p[0]));
      ++p;
      --left;
      continue;
    }
    const std::size_t n = std::min(skip(p, left), left);
    out.push_back('?');
    p += n;
    left -= n;
  }
  return out;
}

}  // namespace

Text Utf8ToGbk(std::string_view data) {
  if (data.empty()) return {};
  // The result is read as a Text, which ends at the first NUL byte.
  const auto* nul = static_cast<const char*>(std::memchr(data.data(), '\0', data.size()));
  if (nul) data = data.substr(0, static_cast<std::size_t>(nul - data.data()));
  if (data.empty()) return {};
  thread_local IconvHandle slot;
  iconv_t cd = Converter(slot, "CP936", "UTF-8");
  if (!cd) return AsciiOnly(data, SkipUtf8);
  // Code page 936 never needs more bytes than UTF-8 for the same text.
  return Convert(cd, data, data.size(), SkipUtf8);
}

Text Utf8ToGbk(const Bytes& data) {
  return Utf8ToGbk(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::string GbkToUtf8(std::string_view text) {
  if (text.empty()) return {};
  thread_local IconvHandle slot;
  iconv_t cd = Converter(slot, "UTF-8", "CP936");
  if (!cd) return AsciiOnly(text, SkipGbk);
  // Two GBK bytes become three UTF-8 bytes; Convert grows the buffer for the
  // rare single bytes that become three.
  return Convert(cd, text, text.size() + text.size() / 2, SkipGbk);
}

}  // namespace vellumara
