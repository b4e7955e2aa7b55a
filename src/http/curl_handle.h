// Owned libcurl handles, and the process-wide easy handles that exchanges
// borrow, so that connections (and the process cookie store) outlive a call.
//
//   CurlLease lease = CurlLease::Borrow(true);   // the cookie-store handle
//   if (lease) curl_easy_perform(lease.get());
//
// An easy handle is only ever used by the thread holding its lease. Private to
// src/http.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace vellumara::internal {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
// An easy handle; closed when the holder goes.
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
// A header list; freed when the holder goes. Empty (null) is the empty list.
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// CurlListAppend: appends a copy of line; false (list unchanged) when out of
// memory.
[[nodiscard]] bool CurlListAppend(CurlList& list, const char* line);

// A borrowed easy handle with default options. Given back when the lease
// ends: reset to defaults, its live connections and cookies kept.
class CurlLease {
 public:
  // Borrow: with useCookieStore the one handle whose cookie engine holds the
  // process-wide cookie store (waits while another thread has it); otherwise
  // an idle plain handle without a cookie engine, or a new one. An empty lease
  // when no handle could be made. The lease must end on the thread that
  // borrowed it.
  [[nodiscard]] static CurlLease Borrow(bool useCookieStore);

  CurlLease() = default;
  CurlLease(CurlLease&& other) noexcept;
  CurlLease& operator=(CurlLease&& other) noexcept;
  CurlLease(const CurlLease&) = delete;
  CurlLease& operator=(const CurlLease&) = delete;
  ~CurlLease();

  [[nodiscard]] CURL* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void GiveBack() noexcept;

  CURL* handle_ = nullptr;
  CurlEasy plain_;                          // set for a plain handle; back to the idle set
  std::unique_lock<std::mutex> storeLock_;  // held while the cookie-store handle is lent
};

}  // namespace vellumara::internal
