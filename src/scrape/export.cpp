#include "scrape/export.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "http/request.h"
#include "scrape/file_name.h"
#include "scrape/phrases.h"
#include "text/events.h"
#include "text/files.h"
#include "text/markers.h"

namespace vellumara {
namespace {

struct Page {
  Text text;
  bool ok = false;
};

// RepairBrokenCharacters: text with every lead byte that is followed by a byte
// below 0x40, or by nothing, replaced by '?'. No second byte lies below 0x40,
// and most markers begin with such bytes ('<', '\'', '"'): a stray lead byte
// would otherwise pair with a marker's first byte and hide it from every
// search. Anything that could be a character stays as it is.
Text RepairBrokenCharacters(Text text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) continue;
    auto second = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (second >= 0x40) {
      ++i;
    } else {
      text[i] = '?';
    }
  }
  return text;
}

// SitePath: whether path, cut from a page, names a page of the site itself: it
// is put right after the site's address, so anything but "/..." could carry
// the request to another host ("@other/", ".other.example/", "//other/").
bool SitePath(std::string_view path) { return path.starts_with('/') && !path.starts_with("//"); }

// FetchPage: the page at address as text. A transient failure (no connection,
// time-out, 408, 429, 5xx) is tried again after a growing pause, or after the
// server's Retry-After when that is short.
Page FetchPage(const Text& address, const SiteSettings& settings) {
  for (int attempt = 1;; ++attempt) {
    HttpOutcome outcome;
    Bytes body = HttpRequest(address, {}, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr, {},
                             &outcome, settings.limits);
    bool ok = outcome.error.empty() && outcome.status >= 200 && outcome.status < 300;
    if (ok) return {RepairBrokenCharacters(BytesToText(body)), true};
    if (!outcome.transient || attempt >= settings.pageTries) return {};
    int pauseMs = settings.firstRetryPauseMs << std::min(attempt - 1, 10);
    if (outcome.retryAfterSeconds >= 0 && outcome.retryAfterSeconds <= settings.maxRetryAfterSeconds) {
      pauseMs = std::max(pauseMs, outcome.retryAfterSeconds * 1000);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  }
}

Text OutputDirectory(const SiteSettings& settings) {
  return settings.outputDirectory.empty() ? RunDirectory() : settings.outputDirectory;
}

}  // namespace

ExportReport ExportBook(const Text& address, const Text& name, Control* buffer,
                        const SiteSettings& settings) {
  const Phrases& p = ScrapePhrases();
  ExportReport report;
  // Each file holds its own book only.
  EditClear(buffer);

  Page book = FetchPage(address, settings);
  if (!book.ok) {
    SetStatus(p.bookPageFailed);
    return report;
  }
  if (FindText(book.text, p.warning) != -1) {
    SetStatus(p.badBook);
    return report;
  }
  SetStatus(ConcatText(p.found1, name, p.found2));
  PumpEvents();

  Text area = TextBetween(book.text, p.areaStart, p.areaEnd);
  Text cataloguePath = TextBetween(area, p.catalogueStart, p.catalogueEnd);
  if (!SitePath(cataloguePath)) {
    SetStatus(ConcatText(p.catalogueMissing1, name, p.catalogueMissing2));
    return report;
  }
  Page catalogue = FetchPage(ConcatText(settings.siteBase, cataloguePath), settings);
  if (!catalogue.ok) {
    SetStatus(p.catalogueFailed);
    return report;
  }
  SetStatus(ConcatText(p.parsing1, name, p.parsing2));

  // The added quote closes each title, so the title markers can cut on it.
  TextList entries;
  ExtractAllBetween(catalogue.text, p.entryStart, p.entryEnd, entries, {.suffix = Text("'")});
  const int count = TextListCount(entries);
  report.chapters = count;
  if (count == 0) {
    SetStatus(ConcatText(p.noChapters1, name, p.noChapters2));
    return report;
  }
  std::optional<std::string> fileName = BookFileName(name);
  if (!fileName) {
    SetStatus(p.badFileName);
    return report;
  }

  EditAppendText(buffer, ConcatText(name, "\r\n\r\n"));
  ProgressShow(0, count);
  // A site that stops answering would otherwise cost every remaining chapter
  // its tries and time-outs: hours for a long book.
  int failuresInARow = 0;
  for (int i = 1; i <= count; ++i) {
    PumpEvents();
    const Text& entry = TextListItem(entries, i);
    Text chapterPath = TextBetween(entry, "'", "'>");
    Text title = TextBetween(entry, "'>", "'");
    SetStatus(ConcatText(p.working1, title, p.working2));

    // The header and the text go into the buffer in one call: each call waits
    // for the window's thread, and the hidden buffer shows nothing in between.
    Page chapter;
    bool siteGone = failuresInARow >= settings.maxFailuresInARow;
    if (SitePath(chapterPath) && !siteGone) {
      chapter = FetchPage(ConcatText(settings.siteBase, chapterPath), settings);
    }
    // Cut the chapter text out of the page; a page without both markers counts
    // as a chapter that could not be had.
    int from = chapter.ok ? FindText(chapter.text, p.chapterStart) : -1;
    if (from != -1) from += TextLength(p.chapterStart);
    int end = from == -1 ? -1 : FindText(chapter.text, p.chapterEnd, from);
    Text header = ConcatText("\r\n\r\n", title, "\r\n\r\n");
    if (end != -1) {
      Text text = TextMid(chapter.text, from, end - from);
      EditAppendText(buffer, ConcatText(header, ReplacePairs(text, {}, {}, {}, "&nbsp;", " ",
                                                             "<br />", "\r\n", "\r\n\r\n", "\r\n")));
      failuresInARow = 0;
    } else {
      ++report.failedChapters;
      ++failuresInARow;
      EditAppendText(buffer, ConcatText(header, p.chapterFailed));
    }
    ProgressShow(i, count);
  }

  report.path = ConcatText(OutputDirectory(settings), "/", *fileName);
  // A whole book: write the buffer's text as it is, without another copy.
  report.written = WriteWholeFile(report.path, std::string_view(EditGetText(buffer)));
  ProgressShow(0, 0);
  if (!report.written) {
    SetStatus(ConcatText(p.writeFailed1, name, p.writeFailed2));
  } else if (report.failedChapters == 0) {
    SetStatus(ConcatText(p.done1, name, p.done2));
  } else {
    SetStatus(ConcatText(p.partlyDone1, name, p.partlyDone2,
                         std::to_string(report.failedChapters), p.partlyDone3));
  }
  return report;
}

}  // namespace vellumara
