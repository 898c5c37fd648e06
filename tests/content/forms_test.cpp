#include "desktop/content/form_handler.h"
#include "desktop/content/tag_table.h"
#include "tests/content/scan_support.h"

#include <gtest/gtest.h>

namespace {

using Links = std::vector<std::string>;

CVQScanOptions Options(bool forms, bool login) {
    CVQScanOptions options;
    options.htmlForms = forms;
    options.htmlLogin = login;
    options.userId = "joe user";
    options.password = "p&ss=1";
    options.pageAddress = "http://o.com/dir/page.htm?x=1";
    return options;
}

// The form's own links, without those of the tags inside it.
Links FormLinks(std::string_view html, const CVQScanOptions& options) {
    const CVQPageScanResult result = ScanPage(html, options);
    Links links;
    for (const CVQRecordedLink& link : result.sink.links)
        if (link.row == kRowForm)
            links.push_back(link.text);
    return links;
}

const char* const kSelectForm =
    R"h(<form action="show.php" onsubmit="check('chk.htm')">
<select name="page" onchange="this.form.submit()">
<option value="a b.htm">First</option>
<option>Second choice</option>
<option value="x/y">Third
</select><input type=submit></form>)h";

TEST(Forms, ActionAndEvents) {
    const struct {
        const char* form;
        Links links;
    } cases[] = {
        {R"h(<form action="find.cgi" method=get></form>)h", {"find.cgi", "find.cgi"}},
        {R"h(<form action="post.cgi" method="Post"></form>)h", {"post.cgi"}},
        // A POST form without action goes to its own page.
        {R"h(<form method=POST></form>)h", {"http://o.com/dir/page.htm"}},
        {R"h(<form></form>)h", {}},
        {R"h(<form action=f.cgi onreset="undo('r.htm')"></form>)h",
         {"f.cgi", "r.htm", "f.cgi", "r.htm"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormLinks(c.form, Options(false, false)), c.links) << c.form;
}

TEST(Forms, SubmittedOncePerChoiceOfItsList) {
    EXPECT_EQ(FormLinks(kSelectForm, Options(true, false)),
              (Links{"show.php", "chk.htm", "a b.htm", "show.php?page=a+b%2Ehtm",
                     "show.php?page=Second+choice", "show.php?page=x%2Fy", "chk.htm"}));
    // As a POST request, marked for the client.
    std::string post = kSelectForm;
    post.replace(post.find("<form"), 5, "<form method=post");
    const Links links = FormLinks(post, Options(true, false));
    EXPECT_EQ(links.at(2), "show.php?vqpost.page=a+b%2Ehtm");
    // Off: the action alone.
    EXPECT_EQ(FormLinks(kSelectForm, Options(false, false)),
              (Links{"show.php", "chk.htm", "show.php", "chk.htm"}));
}

TEST(Forms, FormWithATextInputIsNotSubmittedThroughItsList) {
    std::string form = kSelectForm;
    form.replace(form.find("<input type=submit>"), 19, "<input type=TEXT name=q>");
    EXPECT_EQ(FormLinks(form, Options(true, false)),
              (Links{"show.php", "chk.htm", "show.php", "chk.htm"}));
}

TEST(Forms, LoginFormIsFilledFromTheProject) {
    const char* form = R"h(<form method="post" action="login.php">
<input type="hidden" name="from" value="home page">
<input type="text" name="user" value="">
<input type="password" name="pass">
<input type="checkbox" name="keep" value="1">
<input type="submit" name="go" value="Log in"></form>)h";
    EXPECT_EQ(FormLinks(form, Options(false, true)),
              Links{"login.php?vqlogin.from=home+page&user=joe+user&pass=p%26ss%3D1&keep=1"});
    // The user field comes after a password field that comes first; it counts whatever its type.
    EXPECT_EQ(FormLinks(R"h(<form action=in.php><input type=password name=pw>
<input type=email name=mail></form>)h",
                        Options(false, true)),
              (Links{"in.php", "in.php?vqlogin.pw=p%26ss%3D1&mail=joe+user"}));
    // A lone password field is no login form.
    EXPECT_EQ(
        FormLinks("<form action=in.php><input type=password name=pw></form>", Options(false, true)),
        (Links{"in.php", "in.php"}));
}

TEST(Forms, Encoding) {
    EXPECT_EQ(CVQFormHandler::FormEncode("a b+c"), "a+b%2Bc");
    EXPECT_EQ(CVQFormHandler::FormEncode("line1\r\nline2\nx"), "line1%0D%0Aline2%0D%0Ax");
    EXPECT_EQ(CVQFormHandler::FormEncode("$-_.!*'(),/:"), "%24%2D%5F%2E%21%2A%27%28%29%2C%2F%3A");
    EXPECT_EQ(CVQFormHandler::FormEncode("a&b=c%d#e?f"), "a%26b%3Dc%25d%23e%3Ff");
    EXPECT_EQ(CVQFormHandler::FormEncode("R&amp;D caf\xC3\xA9~"), "R%26D+caf%C3%A9~");
}

} // namespace
