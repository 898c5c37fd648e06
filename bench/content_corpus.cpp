// Deterministic page generator for the content benchmarks.
#include "bench/content_corpus.h"

#include <array>
#include <cstdint>

namespace vqbench {

namespace {

class Rng {
public:
    std::uint32_t Next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(m_state >> 33);
    }
    std::size_t Below(std::size_t n) { return Next() % n; }

private:
    std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

constexpr std::array<const char*, 24> kWords = {
    "the",     "offline", "browser", "copies",  "a",        "site",   "with",    "every",
    "page",    "and",     "image",   "so",      "that",     "links",  "keep",    "working",
    "request", "server",  "project", "options", "download", "stored", "address", "function"};

void Words(std::string& out, Rng& rng, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out += kWords[rng.Below(kWords.size())];
        out += (rng.Below(12) == 0) ? ".\n" : " ";
    }
}

std::string Number(Rng& rng, std::size_t range) {
    return std::to_string(rng.Below(range));
}

void Head(std::string& out, Rng& rng) {
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>Reference manual - chapter " +
           Number(rng, 100) +
           "</title>\n"
           "<link rel=\"stylesheet\" href=\"/static/css/site.css\">\n"
           "<link rel=\"icon\" href=\"/favicon.ico\">\n"
           "<script src=\"/static/js/jquery.min.js\"></script>\n"
           "<script src=\"/static/js/site.js\"></script>\n</head>\n<body class=\"docs\">\n";
}

void Navigation(std::string& out, Rng& rng, std::size_t items) {
    out += "<nav id=\"side\"><ul class=\"toc\">\n";
    for (std::size_t i = 0; i < items; ++i) {
        const std::string n = Number(rng, 5000);
        out += "<li class=\"toc-item\"><a href=\"/docs/chapter" + n +
               "/index.html\" title=\"Chapter " + n + "\">Chapter " + n + "</a></li>\n";
    }
    out += "</ul></nav>\n";
}

void DocumentationSection(std::string& out, Rng& rng) {
    const std::string n = Number(rng, 100000);
    out += "<h2 id=\"s" + n + "\">Section " + n + "</h2>\n<p>";
    Words(out, rng, 40);
    out += "see <a href=\"../api/class" + Number(rng, 3000) + ".html#m" + Number(rng, 40) +
           "\">the class</a> and ";
    Words(out, rng, 35);
    out += "<code>Download(address, path)</code> ";
    Words(out, rng, 30);
    out += "</p>\n<pre class=\"code\">for (int i = 0; i &lt; n; ++i)\n    Fetch(list[i]);\n</pre>\n"
           "<table class=\"params\"><tr><th>Name</th><th>Meaning</th></tr>\n";
    for (int row = 0; row < 4; ++row) {
        out += "<tr><td>param" + Number(rng, 50) + "</td><td>";
        Words(out, rng, 12);
        out += "</td></tr>\n";
    }
    out += "</table>\n<p><img src=\"images/figure" + Number(rng, 500) +
           ".png\" alt=\"figure\" width=\"480\" height=\"320\"></p>\n";
}

void LinkDenseBlock(std::string& out, Rng& rng) {
    const std::string n = Number(rng, 1000000);
    out += "<li><a href=\"/wiki/Article_" + n + "\" title=\"Article " + n + "\">Article " + n +
           "</a> <img src=\"/thumbs/" + n + ".jpg\" alt=\"\" width=\"60\" height=\"40\"></li>\n";
}

void Script(std::string& out, Rng& rng, std::size_t bytes) {
    out += "<script type=\"text/javascript\">\n";
    const std::size_t end = out.size() + bytes;
    while (out.size() < end) {
        const std::string n = Number(rng, 10000);
        out += "function handler" + n + "(event) {\n  var node = document.getElementById('item" +
               n +
               "');\n  if (node && node.className == \"open\") { node.style.display = 'none'; }\n"
               "  var url = \"/api/v1/items/\" + " +
               n +
               " + \".json\";\n"
               "  loadImage('img/icons/i" +
               n + ".png', function (x) { return x + 1; });\n}\n";
    }
    out += "</script>\n";
}

void Style(std::string& out, Rng& rng, std::size_t bytes) {
    out += "<style>\n";
    const std::size_t end = out.size() + bytes;
    while (out.size() < end) {
        const std::string n = Number(rng, 10000);
        out += ".box" + n +
               " { margin: 0 auto; padding: 4px 8px; color: #333; background: url(img/bg" + n +
               ".gif) no-repeat; font-family: \"Helvetica Neue\", Arial; }\n";
    }
    out += "</style>\n";
}

void Paragraphs(std::string& out, Rng& rng, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out += "<p>";
        Words(out, rng, 50);
        out += "<a href=\"/news/story" + Number(rng, 20000) + ".html\">more</a></p>\n";
    }
}

} // namespace

const char* PageKindName(PageKind kind) {
    switch (kind) {
    case PageKind::Documentation:
        return "documentation";
    case PageKind::LinkDense:
        return "link-dense";
    case PageKind::ScriptsAndStyles:
        return "scripts-styles";
    case PageKind::Typical:
        return "typical";
    }
    return "";
}

std::string MakePage(PageKind kind, std::size_t targetBytes) {
    Rng rng;
    std::string out;
    out.reserve(targetBytes + 4096);
    Head(out, rng);
    switch (kind) {
    case PageKind::Documentation:
        Navigation(out, rng, 40);
        while (out.size() < targetBytes)
            DocumentationSection(out, rng);
        break;
    case PageKind::LinkDense:
        out += "<ul class=\"index\">\n";
        while (out.size() < targetBytes)
            LinkDenseBlock(out, rng);
        out += "</ul>\n";
        break;
    case PageKind::ScriptsAndStyles:
        Style(out, rng, targetBytes / 4);
        Paragraphs(out, rng, 10);
        Script(out, rng, targetBytes - out.size());
        break;
    case PageKind::Typical:
        Navigation(out, rng, 30);
        Style(out, rng, targetBytes / 20);
        while (out.size() < targetBytes * 8 / 10) {
            Paragraphs(out, rng, 4);
            out += "<div class=\"teaser\" onclick=\"location='/news/t" + Number(rng, 900) +
                   ".html'\"><img src=\"/img/t" + Number(rng, 900) + ".jpg\" alt=\"\"></div>\n";
        }
        Script(out, rng, targetBytes / 10);
        break;
    }
    out += "<footer><a href=\"/about.html\">About</a> <a href=\"mailto:web@example.com\">Mail</a>"
           "</footer>\n</body>\n</html>\n";
    return out;
}

} // namespace vqbench
