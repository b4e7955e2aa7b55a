// The program's surroundings: the directory it runs from and whole-file writes.
//
//   Text path = ConcatText(RunDirectory(), "/", name, ".txt");
//   if (!WriteWholeFile(path, {TextToBytes(book)})) ...
#pragma once

#include <initializer_list>
#include <string_view>

#include "text/text.h"

namespace vellumara {

// RunDirectory: absolute path of the directory holding the running executable,
// without a trailing separator ("/" for an executable in the root). Taken once,
// on first use, from /proc/self/exe (or the platform's equivalent).
[[nodiscard]] const Text& RunDirectory();

// WriteWholeFile: replaces the file at `path` with the buffers, in order,
// skipping empty ones. False for an empty path, a missing directory, no access
// or a failed write. The data goes to a temporary file in the same directory
// that is renamed over the target, so the target holds either its old content
// or the whole new content, never a mix; a failed write leaves no temporary
// file behind. `path` is taken as the file system's own bytes.
[[nodiscard]] bool WriteWholeFile(std::string_view path, std::initializer_list<const Bytes*> data);
[[nodiscard]] bool WriteWholeFile(std::string_view path, const Bytes& data);
// The same for a text's bytes, without first copying them into Bytes.
[[nodiscard]] bool WriteWholeFile(std::string_view path, std::string_view text);

// ExitProcessNow: ends the process with `status` at once, without running
// destructors of other threads' objects. Waits for a WriteWholeFile in
// progress to finish first, so no temporary file is left behind.
[[noreturn]] void ExitProcessNow(int status);

}  // namespace vellumara
