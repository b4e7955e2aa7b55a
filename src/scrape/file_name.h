// Making a file name out of a book name that came from a web page.
//
//   std::optional<std::string> file = BookFileName(name);  // "名字.txt" in UTF-8
//   if (!file) ...                                         // nothing usable left
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace vellumara {

// SafeBookName: name with path separators, control characters and the
// characters Windows forbids (\ / : * ? " < > |) replaced by "_" (character by
// character, so the second byte of a double-byte character is never touched),
// trailing dots and spaces trimmed, and "_" put after a name Windows reserves
// (CON, PRN, AUX, NUL, COM1..9, LPT1..9, also before an extension). Still code
// page 936.
[[nodiscard]] Text SafeBookName(std::string_view name);

// BookFileName: the file name, in the file system's encoding (UTF-8), for the
// book called name: SafeBookName + ".txt", shortened on a character boundary to
// fit in 255 bytes. std::nullopt when nothing usable is left (empty, "." or "..").
[[nodiscard]] std::optional<std::string> BookFileName(std::string_view name);

}  // namespace vellumara
