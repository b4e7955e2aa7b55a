// The TXT export: the selected book becomes one code page 936 text file.
//
//   ExportReport report = ExportBook(address, name, controls.编辑框2);
//
// Runs on the export worker's thread; every window access goes through the
// window operations.
#pragma once

#include <string>

#include "scrape/site.h"
#include "shell/window_ops.h"
#include "text/text.h"

namespace vellumara {

// What one export came to.
struct ExportReport {
  bool written = false;   // the file holds the book
  int chapters = 0;       // catalogue entries
  int failedChapters = 0; // entries whose text could not be had
  std::string path;       // the file written, in the file system's encoding
};

// ExportBook: fetches the book page at address, its catalogue and every chapter
// one after another, collects "name\r\n\r\n" and per chapter "\r\n\r\n" + title +
// "\r\n\r\n" + cleaned text in buffer (emptied first), and writes the buffer to
// <output directory>/<name>.txt. Shows its progress and its outcome with
// SetStatus. A chapter that fails after its retries keeps its header and a
// placeholder line. Nothing is written when the book is refused, its page or
// catalogue cannot be had, the catalogue lists no chapter, or the name leaves no
// usable file name.
ExportReport ExportBook(const Text& address, const Text& name, Control* buffer,
                        const SiteSettings& settings = {});

}  // namespace vellumara
