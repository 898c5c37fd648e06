// What the handlers of one page need to know of the page and its project.
#pragma once

#include <string>

struct CVQScanOptions {
    bool htmlForms = false;  // VQ_HTMLFORMS: submit forms once per choice of their list
    bool htmlLogin = false;  // VQ_HTMLLOGIN: fill in login forms
    std::string userId;      // VQ_USER_ID
    std::string password;    // VQ_PASSWORD
    std::string pageAddress; // the page's own address
};
