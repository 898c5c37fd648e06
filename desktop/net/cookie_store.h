// The cookies of one download run, shared by the sessions of all its workers: a page that sets a
// cookie in one worker is sent with it by every other.
#pragma once

#include <memory>

class CVQCookieStore {
public:
    CVQCookieStore();
    ~CVQCookieStore();
    CVQCookieStore(const CVQCookieStore&) = delete;
    CVQCookieStore& operator=(const CVQCookieStore&) = delete;

    // The libcurl share handle the sessions attach (a CURLSH*); null when it could not be made.
    // The store must outlive every session that uses it.
    void* Handle() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
