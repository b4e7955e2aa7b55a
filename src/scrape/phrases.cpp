#include "scrape/phrases.h"

#include "text/codepage.h"

namespace vellumara {
namespace {

Phrases MakePhrases() {
  auto g = [](std::string_view utf8) { return Utf8ToGbk(utf8); };
  Phrases p;
  p.blockStart = "result-game-item-detail";
  p.blockEnd = g("更新状态：</span>");
  p.addressStart = "href=\"";
  p.addressEnd = "\"title";
  p.nameStart = "title=\"";
  p.nameEnd = "\"class";
  p.introStart = "result-game-item-desc\">";
  p.introEnd = "</p>";
  p.authorStart = g("作者：</span><span>");
  p.authorEnd = "</span></p>";
  p.noIntro = g("暂无简介");

  p.warning = "Warning";
  p.areaStart = g("开始阅读</a></span>");
  p.areaEnd = g(">查看目录");
  p.catalogueStart = "<a href=\"";
  p.catalogueEnd = "\"";
  p.entryStart = "<li><a href=";
  p.entryEnd = "<span></span></a></li>";
  p.chapterStart = "nr1\">";
  p.chapterEnd = "</div>";
  p.chapterFailed = g("（本章获取失败）");

  p.searching = g("正在搜索中.");
  p.searchDone = g("搜索完成!");
  p.searchNoReply = g("搜索失败!无法连接搜索服务器");
  p.searchHttpError = g("搜索失败!搜索服务器返回错误 ");
  p.searchBroken = g("搜索失败!搜索结果接收不完整");

  p.badBook = g("该书籍有错误!请更换书籍");
  p.found1 = g("已查找到");
  p.found2 = g("的所有章节,请等待程序处理");
  p.parsing1 = g("程序正在解析");
  p.parsing2 = g("的所有章节,请耐心等待");
  p.working1 = g("正在处理 《");
  p.working2 = g("》");
  p.done1 = g("书籍:");
  p.done2 = g("的所有章节已生成TXT文本在程序目录下");

  p.selectFirst = g("请先在搜索结果中选择一本书籍");
  p.bookPageFailed = g("无法获取书籍页面,请稍后重试");
  p.catalogueMissing1 = g("书籍页面中找不到");
  p.catalogueMissing2 = g("的章节目录");
  p.catalogueFailed = g("无法获取章节目录,请稍后重试");
  p.noChapters1 = g("章节目录中没有");
  p.noChapters2 = g("的任何章节,未生成TXT文本");
  p.badFileName = g("书名不能用作文件名,未生成TXT文本");
  p.writeFailed1 = g("书籍:");
  p.writeFailed2 = g("的TXT文本无法写入程序目录");
  p.partlyDone1 = g("书籍:");
  p.partlyDone2 = g("已生成TXT文本在程序目录下,其中");
  p.partlyDone3 = g("章获取失败");
  return p;
}

}  // namespace

const Phrases& ScrapePhrases() {
  static const Phrases phrases = MakePhrases();
  return phrases;
}

}  // namespace vellumara
