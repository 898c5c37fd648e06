// Forms: the action as a link, the submissions a form makes through its list of choices, and
// the filled-in login of a form with a password field.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_test.h"
#include "desktop/content/scan_options.h"
#include "desktop/content/string_scanner.h"

#include <string>
#include <string_view>
#include <vector>

class CVQFormHandler {
public:
    // Marks of the submissions that the client turns into POST requests.
    static constexpr std::string_view kPostMark = "?vqpost.";
    static constexpr std::string_view kLoginMark = "?vqlogin.";
    // Longer names, types and values of a login form's fields are cut.
    static constexpr std::size_t kMaxFieldLength = 127;
    // Longer choices of a list are skipped.
    static constexpr std::size_t kMaxChoiceLength = 1039;

    CVQFormHandler(const CVQStringScanner& scanner, const CVQLinkTest& test,
                   const CVQScanOptions& options)
        : m_scanner(scanner), m_test(test), m_options(options) {}

    // The links of a form's text ("<FORM" ... "/FORM>").
    void Handle(std::string_view form, CVQLinkList& out) const;

    // Form data encoding: a line break becomes "%0D%0A", a blank "+", and every character
    // other than a letter, a digit or "~" its "%" and two upper-case hexadecimal digits.
    // Character references are decoded first, so that the server gets the text a browser sends.
    static std::string FormEncode(std::string_view text);

private:
    struct Field {
        std::string name;
        std::string type;
        std::string value;
    };

    std::vector<Field> Inputs(std::string_view form) const;
    bool SelectSubmissions(std::string_view form, const std::string& action, bool post,
                           CVQLinkList& out) const;
    bool LoginSubmission(std::string_view form, const std::string& action, CVQLinkList& out) const;

    const CVQStringScanner& m_scanner;
    const CVQLinkTest& m_test;
    const CVQScanOptions& m_options;
};
