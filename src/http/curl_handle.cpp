#include "http/curl_handle.h"

#include <utility>
#include <vector>

namespace vellumara::internal {

namespace {

// Plain handles kept for reuse beyond this many are closed.
constexpr std::size_t kMaxIdleHandles = 4;

struct HandlePool {
  HandlePool() { idle.reserve(kMaxIdleHandles); }  // giving back never allocates

  std::mutex storeMutex;  // held for a whole exchange on the store handle
  CurlEasy storeHandle;   // made at first use, under storeMutex
  std::mutex idleMutex;
  std::vector<CurlEasy> idle;
};

HandlePool& Pool() {
  // Never destroyed: an export worker may still be in an exchange while the
  // process ends, and must not find its handle closed under it.
  static HandlePool* const pool = new HandlePool;
  return *pool;
}

}  // namespace

bool CurlListAppend(CurlList& list, const char* line) {
  curl_slist* grown = curl_slist_append(list.get(), line);
  if (grown == nullptr) return false;
  // curl_slist_append hands back the head, which is the old one unless the
  // list was empty
  (void)list.release();
  list.reset(grown);
  return true;
}

CurlLease CurlLease::Borrow(bool useCookieStore) {
  HandlePool& pool = Pool();
  CurlLease lease;
  if (useCookieStore) {
    std::unique_lock<std::mutex> lock(pool.storeMutex);
    if (!pool.storeHandle) {
      pool.storeHandle.reset(curl_easy_init());
      if (!pool.storeHandle) return lease;
      // Handing the engine a cookie switches it on; this one has expired, so
      // the store starts empty. The cookies live in this handle only, never
      // on disk, and a reset keeps the engine and its cookies. (The usual
      // empty cookie file name is lost, unfreed, by the reset.)
      curl_easy_setopt(pool.storeHandle.get(), CURLOPT_COOKIELIST,
                       "Set-Cookie: vellumara=; expires=Thu, 01 Jan 1970 00:00:01 GMT");
    }
    lease.handle_ = pool.storeHandle.get();
    lease.storeLock_ = std::move(lock);
    return lease;
  }
  {
    std::lock_guard<std::mutex> lock(pool.idleMutex);
    if (!pool.idle.empty()) {
      lease.plain_ = std::move(pool.idle.back());
      pool.idle.pop_back();
    }
  }
  if (!lease.plain_) lease.plain_.reset(curl_easy_init());
  lease.handle_ = lease.plain_.get();
  return lease;
}

CurlLease::CurlLease(CurlLease&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      plain_(std::move(other.plain_)),
      storeLock_(std::move(other.storeLock_)) {}

CurlLease& CurlLease::operator=(CurlLease&& other) noexcept {
  if (this != &other) {
    GiveBack();
    handle_ = std::exchange(other.handle_, nullptr);
    plain_ = std::move(other.plain_);
    storeLock_ = std::move(other.storeLock_);
  }
  return *this;
}

CurlLease::~CurlLease() { GiveBack(); }

void CurlLease::GiveBack() noexcept {
  if (handle_ == nullptr) return;
  // drops every option (and with them our pointers into the caller's
  // buffers); keeps live connections, the DNS cache and the cookies
  curl_easy_reset(handle_);
  handle_ = nullptr;
  if (plain_) {
    HandlePool& pool = Pool();
    std::unique_lock<std::mutex> lock(pool.idleMutex);
    if (pool.idle.size() < kMaxIdleHandles) {
      pool.idle.push_back(std::move(plain_));
    } else {
      lock.unlock();
      plain_.reset();
    }
  }
  if (storeLock_.owns_lock()) storeLock_.unlock();
}

}  // namespace vellumara::internal
