// The fixed texts of the two commands: page markers, cleaning pairs and status
// texts, in code page 936. Written here in UTF-8 for the reader and converted
// once, on first use.
#pragma once

#include "text/text.h"

namespace vellumara {

struct Phrases {
  // search reply
  Text blockStart, blockEnd;          // one search result
  Text nameStart, nameEnd;
  Text addressStart, addressEnd;
  Text introStart, introEnd;
  Text authorStart, authorEnd;
  Text noIntro;
  // book, catalogue and chapter pages
  Text warning;
  Text areaStart, areaEnd;            // the catalogue link's surroundings
  Text catalogueStart, catalogueEnd;  // the catalogue link itself
  Text entryStart, entryEnd;          // one catalogue entry
  Text chapterStart, chapterEnd;      // the chapter text
  Text chapterFailed;                 // stands in for a chapter that could not be had
  // status texts
  Text searching, searchDone, searchNoReply, searchHttpError, searchBroken;
  Text badBook, found1, found2, parsing1, parsing2, working1, working2, done1, done2;
  Text selectFirst, bookPageFailed, catalogueMissing1, catalogueMissing2, catalogueFailed;
  Text noChapters1, noChapters2, badFileName, writeFailed1, writeFailed2;
  Text partlyDone1, partlyDone2, partlyDone3;
};

// ScrapePhrases: the texts, built on the first call (thread-safe).
[[nodiscard]] const Phrases& ScrapePhrases();

}  // namespace vellumara
