// A libcurl share of cookies (and host-name look-ups) with one lock per kind of shared data.
#include "desktop/net/cookie_store.h"

#include "desktop/net/transfer.h"

#include <array>
#include <curl/curl.h>
#include <mutex>

struct CVQCookieStore::Impl {
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<Impl*>(self)->locks[static_cast<std::size_t>(data)].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<Impl*>(self)->locks[static_cast<std::size_t>(data)].unlock();
    }
};

CVQCookieStore::CVQCookieStore() : m_impl(std::make_unique<Impl>()) {
    vq::InitNetworkLibrary();
    CURLSH* share = curl_share_init();
    if (!share)
        return;
    const bool ready =
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &Impl::Lock) == CURLSHE_OK &&
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &Impl::Unlock) == CURLSHE_OK &&
        curl_share_setopt(share, CURLSHOPT_USERDATA, m_impl.get()) == CURLSHE_OK &&
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK &&
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK;
    if (!ready) {
        curl_share_cleanup(share);
        return;
    }
    m_impl->share = share;
}

CVQCookieStore::~CVQCookieStore() {
    if (m_impl->share)
        curl_share_cleanup(m_impl->share);
}

void* CVQCookieStore::Handle() const {
    return m_impl->share;
}
