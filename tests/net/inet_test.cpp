#include "desktop/net/inet.h"
#include "desktop/net/response_check.h"
#include "desktop/project/doc.h"
#include "desktop/project/link_rules.h"
#include "tests/support/ftp_test_server.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificate.h"
#include "tests/support/test_files.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vq::test::ReadFile;
using vq::test::WriteFile;

constexpr const char* kLastModifiedText = "Sun, 06 Nov 1994 08:49:37 GMT";
constexpr std::int64_t kLastModified = 784111777;

// The byte at position i of the generated bodies.
char PatternByte(std::size_t i) {
    return static_cast<char>('a' + i % 26);
}

std::string Pattern(std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i)
        out += PatternByte(i);
    return out;
}

void SetModificationTime(const std::string& path, std::int64_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::int64_t ModificationTime(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mtim.tv_sec : -1;
}

class RowRecorder : public CVQDocObserver {
public:
    void ShowMessage(const std::string&, VQIcon) override {}
    VQAnswer Ask(const std::string&, bool, VQAnswer preselected) override { return preselected; }
    void WorkerRow(int, const CVQWorkerRow& row) override {
        std::lock_guard lock(m_lock);
        m_rows.push_back(row);
    }
    void Progress(int, const std::string& percent, std::size_t) override {
        std::lock_guard lock(m_lock);
        m_progress.push_back(percent);
    }
    std::vector<CVQWorkerRow> Rows() {
        std::lock_guard lock(m_lock);
        return m_rows;
    }
    std::vector<std::string> ProgressTexts() {
        std::lock_guard lock(m_lock);
        return m_progress;
    }

private:
    std::mutex m_lock;
    std::vector<CVQWorkerRow> m_rows;
    std::vector<std::string> m_progress;
};

class FixedRules : public CVQLinkRules {
public:
    explicit FixedRules(bool accept) : m_accept(accept) {}
    bool AcceptFoundLink(CVQDoc&, CVQDocNode&) override { return m_accept; }
    bool WouldBeConverted(const CVQDoc&, const CVQDocNode&) override { return false; }

private:
    bool m_accept;
};

struct Outcome {
    bool ok = false;
    bool canRetry = false;
    bool interrupted = false;
    bool resume = false;
    int group = -1;
    int contentClass = -1;
    std::string address;
    std::string localPath;
};

class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.Settings().Reset(options, dir.Path());
        doc.Settings().projectDir = dir.File("site/");
        doc.SettingsChanged();
        ASSERT_TRUE(doc.ExpandSaveDirectory(false));
        doc.Log().SetPath(dir.File("project.log"));
        doc.SetObserver(&rows);
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(inet.OpenSession(doc, false));
    }

    Outcome Fetch(const std::string& address, const std::string& localPath, bool resume = false,
                  std::uint64_t knownSize = 0, CVQDocNode* node = nullptr) {
        Outcome out;
        out.address = address;
        out.localPath = localPath;
        out.resume = resume;
        out.ok =
            inet.Download(out.address, out.localPath, 0, doc, true, out.canRetry, out.interrupted,
                          knownSize, "", out.group, out.contentClass, 0, node, &out.resume);
        return out;
    }

    std::string Local(const std::string& name) const { return dir.File("site/" + name); }
    std::string Log() const { return ReadFile(dir.File("project.log")); }

    CVQTempDir dir;
    CVQProgramOptions options;
    CVQDoc doc{options};
    RowRecorder rows;
    CVQTestHttpServer server;
    CVQInet inet;
};

TEST_F(InetTest, AnAnswerWithoutLengthIsCompleteOnlyWhenItEndsProperly) {
    server.Get("/chunked.bin", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= 3000) {
                    sink.done();
                    return true;
                }
                const std::string data = Pattern(offset, offset + 1000);
                return sink.write(data.data(), data.size());
            });
    });
    server.Get("/broken.bin", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= 2000)
                    return false; // the connection breaks
                const std::string data = Pattern(offset, offset + 1000);
                return sink.write(data.data(), data.size());
            });
    });
    const Outcome whole = Fetch(server.Url("/chunked.bin"), Local("chunked.bin"));
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(inet.Size(), 3000u);
    EXPECT_EQ(ReadFile(whole.localPath), Pattern(0, 3000));
    for (const std::string& percent : rows.ProgressTexts())
        EXPECT_EQ(percent, ""); // no size, no percentage
    EXPECT_EQ(rows.Rows().back().sizeText, "unknown");

    const Outcome broken = Fetch(server.Url("/broken.bin"), Local("broken.bin"));
    EXPECT_FALSE(broken.ok);
    EXPECT_TRUE(broken.canRetry);
    EXPECT_TRUE(broken.resume);
    EXPECT_EQ(ReadFile(broken.localPath), Pattern(0, 2000)); // kept for the next attempt
    EXPECT_NE(Log().find(" Warning: the file '" + server.Url("/broken.bin") +
                         "' may be downloaded incompletely.\r\n"),
              std::string::npos);
}

TEST_F(InetTest, UpdateMethodsAndModificationTimes) {
    server.Content("/lm.bin", "0123456789", "application/octet-stream", kLastModifiedText);
    struct Case {
        const char* name;
        int method;
        int localOffset; // seconds between the stored file and Last-Modified; none: no file
        std::uint64_t knownSize;
        bool transferred;
        std::size_t requests;
    } const cases[] = {
        {"when changed, same time", 0, 0, 0, false, 1},
        {"when changed, 1 s later", 0, 1, 0, false, 1},
        {"when changed, 1 s earlier", 0, -1, 0, false, 1},
        {"when changed, 2 s later", 0, 2, 0, true, 1},
        {"when changed, tree knows another size", 0, 0, 11, true, 1},
        {"when changed, tree knows the size", 0, 0, 10, false, 1},
        {"always", 1, 0, 0, true, 1},
        {"never", 2, 0, 0, false, 0},
        {"never, no file yet", 2, INT32_MIN, 0, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.Settings().uMethod = c.method;
        const std::string path = Local("lm.bin");
        std::filesystem::remove(path);
        if (c.localOffset != INT32_MIN) {
            WriteFile(path, "XXXXXXXXXX");
            SetModificationTime(path, kLastModified + c.localOffset);
        }
        server.ClearRequests();
        const Outcome out = Fetch(server.Url("/lm.bin"), path, false, c.knownSize);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(server.CountRequests("/lm.bin"), c.requests);
        EXPECT_EQ(ReadFile(path), c.transferred ? "0123456789" : "XXXXXXXXXX");
        EXPECT_EQ(inet.Disposition(), c.transferred ? kDispTransferred : kDispDone);
        EXPECT_EQ(inet.Size(), 10u);
        if (c.transferred) {
            EXPECT_EQ(ModificationTime(path), kLastModified);
        }
        if (c.requests == 1 && !c.transferred) {
            EXPECT_EQ(rows.Rows().back().status, "Unchanged");
        }
    }
}

TEST_F(InetTest, RedirectsAreFollowedToTheTenthStep) {
    // /s<n> answers with a redirect to /s<n+1> until n reaches its last step.
    const auto chain = [this](const std::string& prefix, int steps) {
        server.Get(prefix + R"((\d+))",
                   [prefix, steps](const httplib::Request& req, httplib::Response& res) {
                       const int n = std::stoi(req.matches[1]);
                       if (n < steps)
                           res.set_redirect(prefix + std::to_string(n + 1), 301);
                       else
                           res.set_content("final", "text/plain");
                   });
    };
    chain("/ten", 10);
    chain("/eleven", 11);

    const Outcome ten = Fetch(server.Url("/ten0"), Local("ten.txt"));
    EXPECT_TRUE(ten.ok);
    EXPECT_EQ(ten.address, server.Url("/ten10"));
    EXPECT_EQ(ReadFile(ten.localPath), "final"); // under the local path of the first address

    const Outcome eleven = Fetch(server.Url("/eleven0"), Local("eleven.txt"));
    EXPECT_FALSE(eleven.ok);
    EXPECT_FALSE(eleven.canRetry);
    EXPECT_EQ(inet.ErrorCode(), 301);
    EXPECT_NE(Log().find(" Error (HTTP code 301) - '" + server.Url("/eleven10") + "'\r\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(eleven.localPath));
}

TEST_F(InetTest, TemporaryRedirectsFollowTheOption) {
    server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/target.txt", 302);
    });
    server.Content("/target.txt", "target", "text/plain");
    for (const bool redirect : {true, false}) {
        SCOPED_TRACE(redirect);
        CVQProgramOptions changed = options;
        changed.redirect = redirect;
        CVQDoc project(changed);
        project.Settings() = doc.Settings();
        project.SettingsChanged();
        project.Log().SetPath(dir.File("project.log"));
        CVQInet client;
        ASSERT_TRUE(client.OpenSession(project, false));
        std::string address = server.Url("/moved");
        std::string path = Local(redirect ? "on.txt" : "off.txt");
        bool canRetry = true, interrupted = false;
        int group = 0, contentClass = 0;
        const bool ok = client.Download(address, path, 0, project, false, canRetry, interrupted, 0,
                                        "", group, contentClass, 0, nullptr);
        EXPECT_EQ(ok, redirect);
        EXPECT_FALSE(canRetry);
        EXPECT_EQ(ReadFile(path), redirect ? "target" : "");
        // A redirect that is not followed cannot be retried, so it is logged even though the
        // caller asked only for failures that cannot go away.
        EXPECT_EQ(Log().find(" Error (HTTP code 302) - '" + server.Url("/moved") + "'") !=
                      std::string::npos,
                  !redirect);
    }
}

TEST_F(InetTest, RedirectTargetsThatAreRefused) {
    const std::string secret = dir.File("secret.txt");
    WriteFile(secret, "the user's own file");
    server.Get("/to-file", [secret](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("file://" + secret, 302);
    });
    server.Get("/to-FILE", [secret](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("FILE://" + secret, 301);
    });
    server.Get("/to-elsewhere", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/elsewhere.txt", 301);
    });
    server.Content("/elsewhere.txt", "elsewhere", "text/plain");
    FixedRules refuse(false);
    struct Case {
        const char* path;
        std::string target;
        CVQLinkRules* rules;
    } const cases[] = {
        {"/to-file", "file://" + secret, nullptr},
        {"/to-FILE", "FILE://" + secret, nullptr},
        {"/to-elsewhere", server.Url("/elsewhere.txt"), &refuse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        doc.SetLinkRules(c.rules);
        const Outcome out = Fetch(server.Url(c.path), Local("refused.txt"));
        EXPECT_FALSE(out.ok);
        EXPECT_FALSE(out.canRetry);
        EXPECT_EQ(inet.ErrorCode(), -3);
        EXPECT_NE(Log().find(" Error ('Url wasn't downloaded') - '" + c.target + "'\r\n"),
                  std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(out.localPath));
    }
    doc.SetLinkRules(nullptr);
    EXPECT_EQ(server.CountRequests("/elsewhere.txt"), 0u);
}

TEST_F(InetTest, ARedirectToAnAddressAnotherNodeHoldsTransfersNothing) {
    server.Get("/old.htm", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/new.htm", 301);
    });
    server.Content("/new.htm", "<html>new</html>", "text/html");
    CVQDocNode* root = doc.Tree().CreateRoot("t");
    CVQDocNode* other = doc.Tree().AddPage(root);
    doc.Tree().SetAddress(other, server.Url("/new.htm"));
    const Outcome out = Fetch(server.Url("/old.htm"), Local("old.htm"));
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.address, server.Url("/new.htm"));
    EXPECT_EQ(server.CountRequests("/new.htm"), 0u);
    EXPECT_FALSE(std::filesystem::exists(out.localPath));
}

TEST_F(InetTest, FormSubmissionsArePosted) {
    server.Post("/form", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html>thanks</html>", "text/html");
    });
    struct Case {
        const char* address;
        const char* target;
        const char* body;
    } const cases[] = {
        {"/form?vqlogin.a=1?vqpost.b=2", "/form?vqlogin.a=1", "b=2"}, // the post marker wins
        {"/form?vqlogin.user=joe&pw=x", "/form", "user=joe&pw=x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        server.ClearRequests();
        const std::string path = Local("form.htm");
        WriteFile(path, "part");
        const Outcome out = Fetch(server.Url(c.address), path, true); // never continued
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(ReadFile(path), "<html>thanks</html>");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].target, c.target);
        EXPECT_EQ(requests[0].body, c.body);
        EXPECT_FALSE(requests[0].HasHeader("Range"));
    }
}

TEST_F(InetTest, ResumingAPartialFile) {
    server.Content("/206.bin", "ABCDEFGHIJ", "application/octet-stream");
    server.Get("/200.bin", [](const httplib::Request& req, httplib::Response& res) {
        CVQTestHttpServer::IgnoreRange(req);
        res.status = 200;
        res.set_content("ABCDEFGHIJ", "application/octet-stream");
    });
    struct Case {
        const char* path;
        const char* partial;
        const char* range; // the Range header that must arrive; empty: none
    } const cases[] = {
        {"/206.bin", "ABCD", "bytes=4-"},
        {"/200.bin", "ABCD", "bytes=4-"}, // the whole file comes back and replaces the part
        {"/206.bin", "", ""},             // an empty file asks for everything
        {"/206.bin", "ABCDEFGHIJ", ""},   // 416: nothing left to continue, so all again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " after '" + c.partial + "'");
        server.ClearRequests();
        const std::string local = Local("resume.bin");
        WriteFile(local, c.partial);
        const Outcome out = Fetch(server.Url(c.path), local, true);
        EXPECT_TRUE(out.ok);
        EXPECT_FALSE(out.resume);
        EXPECT_EQ(ReadFile(local), "ABCDEFGHIJ");
        EXPECT_EQ(inet.Size(), 10u);
        ASSERT_FALSE(server.Requests().empty());
        EXPECT_EQ(server.Requests().back().Header("Range"), c.range);
    }
}

TEST_F(InetTest, ACutTransferIsIncompleteAndResumesToTheRightBytes) {
    std::atomic<bool> cut{true};
    server.Get("/cut.bin", [&cut](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            10000, "application/octet-stream",
            [&cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (cut && offset >= 4000)
                    return false;
                const std::size_t piece = std::min<std::size_t>(length, 1000);
                const std::string data = Pattern(offset, offset + piece);
                return sink.write(data.data(), data.size());
            });
    });
    const std::string local = Local("cut.bin");
    const Outcome first = Fetch(server.Url("/cut.bin"), local);
    EXPECT_FALSE(first.ok);
    EXPECT_TRUE(first.canRetry);
    EXPECT_FALSE(first.interrupted);
    EXPECT_TRUE(first.resume);
    EXPECT_EQ(inet.Size(), 40u); // the percentage received
    EXPECT_EQ(ReadFile(local), Pattern(0, 4000));
    EXPECT_NE(Log().find("may be downloaded incompletely"), std::string::npos);

    cut = false;
    const Outcome second = Fetch(server.Url("/cut.bin"), local, true);
    EXPECT_TRUE(second.ok);
    EXPECT_FALSE(second.resume);
    EXPECT_EQ(inet.Size(), 10000u);
    EXPECT_EQ(ReadFile(local), Pattern(0, 10000));
    EXPECT_EQ(server.Requests().back().Header("Range"), "bytes=4000-");
}

TEST_F(InetTest, StopAndSkipEndASlowTransfer) {
    server.Get("/slow.bin", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1'000'000, "application/octet-stream",
                                 [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(20ms);
                                     const std::string data = Pattern(offset, offset + 200);
                                     return sink.write(data.data(), data.size());
                                 });
    });
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stop" : "skip");
        doc.Run().stopRequest = false;
        std::atomic<std::int64_t> requestedAt{0};
        std::thread user([&] {
            std::this_thread::sleep_for(300ms);
            requestedAt = Clock::now().time_since_epoch().count();
            if (stop)
                doc.Run().stopRequest = true;
            else
                doc.Run().RequestSkip(0);
        });
        const Outcome out = Fetch(server.Url("/slow.bin"), Local("slow.bin"));
        const auto reaction = Clock::now() - Clock::time_point(Clock::duration(requestedAt.load()));
        user.join();
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.interrupted, stop);
        EXPECT_FALSE(out.canRetry);
        EXPECT_TRUE(out.resume);
        EXPECT_LT(inet.Size(), 100u);
        EXPECT_LT(reaction, 250ms);
        EXPECT_GT(ReadFile(out.localPath).size(), 0u);
    }
    doc.Run().stopRequest = false;
}

TEST_F(InetTest, WriteFailures) {
    server.Content("/w.bin", std::string(50000, 'w'), "application/octet-stream");
    // A full disk stops the whole project.
    const Outcome full = Fetch(server.Url("/w.bin"), "/dev/full");
    EXPECT_FALSE(full.ok);
    EXPECT_TRUE(full.interrupted);
    EXPECT_TRUE(doc.Run().stopRequest);
    EXPECT_NE(Log().find("The disk is full !\r\n"), std::string::npos);
    doc.Run().stopRequest = false;

    // A file that cannot be written fails alone.
    const std::string blocked = Local("blocked.bin");
    std::filesystem::create_directories(blocked);
    const Outcome denied = Fetch(server.Url("/w.bin"), blocked);
    EXPECT_FALSE(denied.ok);
    EXPECT_FALSE(denied.canRetry);
    EXPECT_FALSE(doc.Run().stopRequest);
    EXPECT_EQ(inet.ErrorCode(), -8);
    EXPECT_NE(Log().find(" Error ('The file could not be accessed') - '" + blocked + "'\r\n"),
              std::string::npos);
}

TEST_F(InetTest, SizeLimitsPerExtensionAndPerProject) {
    server.Get(R"(/size/(\d+)\.(\w+))", [](const httplib::Request& req, httplib::Response& res) {
        const std::string type = req.matches[2] == "htm" ? "text/html" : "application/octet-stream";
        res.set_content(std::string(std::stoul(req.matches[1]), 's'), type);
    });
    CVQPrjSettings& s = doc.Settings();
    s.limMaxFs = 1;
    s.maxMaxFs = 1000;
    s.limMinFs = 1;
    s.maxMinFs = 100;
    CVQFileExt* zip = vq::FindExt(*s.ExtList(vq::kGroupArchive), "zip");
    zip->limitMax = 1;
    zip->maxSize = 5000;
    struct Case {
        const char* name;
        bool ok;
        int skipReason;
        const char* logLine; // with the address in front of it
    } const cases[] = {
        {"1500.gif", false, 4, " (size 1.5 KB) exceeds the limit"},
        {"50.gif", false, 5, " (size 50 bytes) is too small"},
        {"500.gif", true, 0, nullptr},
        {"4000.zip", true, 0, nullptr}, // the extension's own maximum replaces the project's
        {"50.zip", true, 0, nullptr},   // and the project's minimum does not apply
        {"6000.zip", false, 4, " (size 5.9 KB) exceeds the limit"},
        {"5000.htm", true, 0, nullptr}, // pages are judged after their download
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = server.Url(std::string("/size/") + c.name);
        const Outcome out = Fetch(address, Local(c.name));
        EXPECT_EQ(out.ok, c.ok);
        EXPECT_EQ(inet.SkipReason(), c.skipReason);
        EXPECT_EQ(inet.Disposition(), c.ok ? kDispTransferred : kDispRefused);
        EXPECT_EQ(std::filesystem::exists(out.localPath), c.ok);
        if (c.logLine) {
            EXPECT_NE(Log().find(" File '" + address + "'" + c.logLine + "\r\n"),
                      std::string::npos);
        }
        EXPECT_FALSE(out.canRetry);
    }
}

TEST_F(InetTest, PreviewTransfersPagesOnly) {
    server.Content("/p.htm", "<html></html>", "text/html");
    server.Content("/p.gif", "GIF89a", "image/gif");
    doc.Run().preview = true;
    const Outcome picture = Fetch(server.Url("/p.gif"), Local("p.gif"));
    EXPECT_TRUE(picture.ok);
    EXPECT_EQ(inet.Disposition(), kDispDone);
    EXPECT_EQ(picture.group, vq::kGroupImage);
    EXPECT_FALSE(std::filesystem::exists(picture.localPath));
    const Outcome page = Fetch(server.Url("/p.htm"), Local("p.htm"));
    EXPECT_TRUE(page.ok);
    EXPECT_EQ(inet.Disposition(), kDispTransferred);
    EXPECT_EQ(ReadFile(page.localPath), "<html></html>");
    EXPECT_EQ(Log(), "");
    doc.Run().preview = false;
}

TEST_F(InetTest, TheAnswersTypeGivesGroupClassAndName) {
    server.Content("/get.php", "%PDF-1.4", "application/pdf");
    server.Get("/attachment", [](const httplib::Request&, httplib::Response& res) {
        // Without a body: the test server gives every body a Content-Type.
        res.set_header("Content-Disposition", "attachment; filename=\"../../up/report.zip\"");
    });
    const Outcome pdf = Fetch(server.Url("/get.php"), Local("get.php"));
    EXPECT_TRUE(pdf.ok);
    EXPECT_EQ(pdf.group, vq::kGroupDocument);
    EXPECT_EQ(pdf.contentClass, 1);
    EXPECT_EQ(pdf.localPath, Local("get.pdf"));
    EXPECT_EQ(ReadFile(Local("get.pdf")), "%PDF-1.4");
    EXPECT_EQ(doc.Settings().renamedFiles, 1);

    const Outcome zip = Fetch(server.Url("/attachment"), Local("attachment/default.htm"));
    EXPECT_TRUE(zip.ok);
    EXPECT_EQ(zip.group, vq::kGroupArchive);
    EXPECT_EQ(zip.localPath, Local("attachment/default.zip"));
    EXPECT_NE(Log().find("reduced to 'report.zip'"), std::string::npos);
}

TEST_F(InetTest, StatusHandling) {
    server.Get("/gone", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    server.Get("/busy", [](const httplib::Request&, httplib::Response& res) { res.status = 503; });
    const std::string path = Local("status.htm");
    WriteFile(path, "kept");

    const Outcome gone = Fetch(server.Url("/gone"), path);
    EXPECT_FALSE(gone.ok);
    EXPECT_FALSE(gone.canRetry);
    EXPECT_EQ(inet.HttpStatus(), 404);
    EXPECT_EQ(ReadFile(path), "kept"); // a 404 leaves the stored file alone

    std::string address = server.Url("/busy");
    std::string local = path;
    bool canRetry = false, interrupted = false;
    int group = 0, contentClass = 0;
    EXPECT_FALSE(inet.Download(address, local, 0, doc, false, canRetry, interrupted, 0, "", group,
                               contentClass, 0, nullptr));
    EXPECT_TRUE(canRetry);
    EXPECT_EQ(Log().find("HTTP code 503"), std::string::npos); // retryable, not reported
    EXPECT_NE(Log().find(" Error (HTTP code 404) - '" + server.Url("/gone") + "'\r\n"),
              std::string::npos);

    // No answer at all: no status of an earlier address is left behind.
    const int port = server.Port();
    server.Stop();
    const Outcome unreachable = Fetch("http://127.0.0.1:" + std::to_string(port) + "/x", path);
    EXPECT_FALSE(unreachable.ok);
    EXPECT_TRUE(unreachable.canRetry);
    EXPECT_EQ(inet.HttpStatus(), 0);
    EXPECT_NE(Log().find(" Error ('7') - 'http://127.0.0.1:"), std::string::npos);
}

TEST_F(InetTest, AgentIdentification) {
    server.Content("/a.txt", "a", "text/plain");
    struct Case {
        int type;
        const char* agent;
    } const cases[] = {{0, "Velloquin v5.0"}, {1, "Anonymous"}, {9, "Mozilla/4.0"}};
    for (const Case& c : cases) {
        doc.Settings().agentType = c.type;
        CVQInet client;
        ASSERT_TRUE(client.OpenSession(doc, false));
        server.ClearRequests();
        std::string address = server.Url("/a.txt");
        std::string local = Local("a.txt");
        bool canRetry = false, interrupted = false;
        int group = 0, contentClass = 0;
        client.Download(address, local, 0, doc, true, canRetry, interrupted, 0, "http://ref/",
                        group, contentClass, 0, nullptr);
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_EQ(server.Requests()[0].Header("User-Agent"), c.agent);
        EXPECT_EQ(server.Requests()[0].Header("Referer"), "http://ref/");
    }
}

TEST_F(InetTest, ConnectionSettingsOfTheOptionsAndTheProject) {
    CVQTestHttpServer proxy;
    proxy.AnswerEverything("via proxy");
    ASSERT_TRUE(proxy.Start());
    const std::string environmentProxy = "http://127.0.0.1:" + std::to_string(proxy.Port());
    const std::string unreachable =
        "http://127.0.0.1:" + std::to_string(CVQTestHttpServer::UnusedPort()) + "/p.txt";
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    struct Case {
        int connType;
        bool useProxy;
        bool environment; // http_proxy names the test proxy
        bool viaProxy;
    } const cases[] = {
        {0, true, false, true},
        {2, false, true, true},  // the system's settings: the environment's proxy
        {2, true, false, false}, // ... and not the named one
        {0, false, true, false}, // direct access ignores the environment
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.connType) + (c.useProxy ? " named" : "") +
                     (c.environment ? " environment" : ""));
        CVQProgramOptions changed = options;
        changed.connType = c.connType;
        changed.useProxy = c.useProxy;
        changed.proxyAddress = "127.0.0.1";
        changed.proxyPort = proxy.Port();
        if (c.environment)
            ::setenv("http_proxy", environmentProxy.c_str(), 1);
        else
            ::unsetenv("http_proxy");
        CVQDoc project(changed);
        project.Settings() = doc.Settings();
        project.Settings().timeout = 10;
        CVQInet client;
        ASSERT_TRUE(client.OpenSession(project, false));
        proxy.ClearRequests();
        std::string address = unreachable;
        std::string local = Local("proxied.txt");
        bool canRetry = false, interrupted = false;
        int group = 0, contentClass = 0;
        EXPECT_EQ(client.Download(address, local, 0, project, true, canRetry, interrupted, 0, "",
                                  group, contentClass, 0, nullptr),
                  c.viaProxy);
        EXPECT_EQ(proxy.Requests().size(), c.viaProxy ? 1u : 0u);
    }
    ::unsetenv("http_proxy");

    // The project's credentials answer the server's challenge.
    server.Get("/private.txt", [](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Authorization") != "Basic am9lOnNlY3JldA==") {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"vq\"");
            return;
        }
        res.set_content("private", "text/plain");
    });
    EXPECT_FALSE(Fetch(server.Url("/private.txt"), Local("private.txt")).ok);
    doc.Settings().userId = "joe";
    doc.Settings().password = "secret";
    const Outcome allowed = Fetch(server.Url("/private.txt"), Local("private.txt"));
    EXPECT_TRUE(allowed.ok);
    EXPECT_EQ(ReadFile(allowed.localPath), "private");
}

TEST_F(InetTest, SmallRequests) {
    server.Content("/page.htm", "<html>page</html>", "text/html");
    server.Content("/pic", "PNG", "image/png");
    server.Content("/feed", "<rss/>", "application/rss+xml");
    server.Get("/named", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Disposition", "attachment; filename=clip.mpg");
    });
    server.Get("/hop", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/pic", 302);
    });
    server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<html>not here</html>", "text/html");
    });

    std::string text;
    EXPECT_TRUE(inet.FetchToString(server.Url("/page.htm"), doc, text));
    EXPECT_EQ(text, "<html>page</html>");
    EXPECT_FALSE(inet.FetchToString(server.Url("/missing"), doc, text));
    EXPECT_EQ(text, "");

    std::string file;
    std::uint64_t bytes = 0;
    ASSERT_TRUE(inet.FetchToFile(server.Url("/page.htm"), doc, file, bytes));
    EXPECT_EQ(bytes, 17u);
    EXPECT_EQ(std::filesystem::path(file).filename().string().substr(0, 2), "vq");
    EXPECT_EQ(ReadFile(file), "<html>page</html>");
    std::filesystem::remove(file);
    EXPECT_FALSE(inet.FetchToFile(server.Url("/missing"), doc, file, bytes));

    struct Probe {
        const char* path;
        int group;
        int contentClass;
    } const probes[] = {{"/pic", vq::kGroupImage, 0},
                        {"/feed", vq::kGroupHtml, 1},
                        {"/named", vq::kGroupVideo, 0},
                        {"/hop", vq::kGroupImage, 0},
                        {"/missing", vq::kGroupHtml, 0}}; // the status is not looked at
    for (const Probe& p : probes) {
        int contentClass = -1;
        EXPECT_EQ(inet.ProbeContentKind(server.Url(p.path), doc, contentClass), p.group) << p.path;
        EXPECT_EQ(contentClass, p.contentClass) << p.path;
    }
    CVQInet noSession; // the small requests open a session of their own when there is none
    int contentClass = -1;
    EXPECT_EQ(noSession.ProbeContentKind(server.Url("/pic"), doc, contentClass), vq::kGroupImage);
    EXPECT_EQ(noSession.ProbeContentKind("ftp://127.0.0.1/x", doc, contentClass), 0);
}

TEST_F(InetTest, HttpsWithTheTestCertificate) {
    CVQTestCertificate certificate;
    ASSERT_TRUE(certificate.Valid());
    CVQTestHttpServer secure(certificate.CertFile(), certificate.KeyFile());
    secure.Content("/s.htm", "<html>secure</html>", "text/html");
    ASSERT_TRUE(secure.Start());
    ::setenv("SSL_CERT_FILE", certificate.CertFile().c_str(), 1);
    CVQInet client;
    ASSERT_TRUE(client.OpenSession(doc, false));
    ::unsetenv("SSL_CERT_FILE");
    std::string address = secure.Url("/s.htm");
    std::string local = Local("s.htm");
    bool canRetry = false, interrupted = false;
    int group = 0, contentClass = 0;
    EXPECT_TRUE(client.Download(address, local, 0, doc, true, canRetry, interrupted, 0, "", group,
                                contentClass, 0, nullptr));
    EXPECT_EQ(ReadFile(local), "<html>secure</html>");
}

TEST_F(InetTest, FileAddressesAreCopied) {
    const std::string source = dir.File("source dir/page.htm");
    std::filesystem::create_directories(dir.File("source dir"));
    WriteFile(source, "<html>local</html>");
    SetModificationTime(source, kLastModified);

    const Outcome copy = Fetch("file://" + dir.Path() + "/source%20dir/page.htm", Local("c/p.htm"));
    EXPECT_TRUE(copy.ok);
    EXPECT_EQ(copy.group, vq::kGroupHtml);
    EXPECT_EQ(ReadFile(copy.localPath), "<html>local</html>");
    EXPECT_EQ(ModificationTime(copy.localPath), kLastModified);
    EXPECT_EQ(inet.Size(), 18u);

    EXPECT_TRUE(Fetch("file://" + source, source).ok); // the file itself

    const Outcome missing = Fetch("file://" + dir.File("none.htm"), Local("none.htm"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(inet.ErrorCode(), -1);
    EXPECT_NE(Log().find(" Error ('File not found') - '" + dir.File("none.htm") + "'\r\n"),
              std::string::npos);

    const Outcome foreign = Fetch("file://otherhost/share/a.htm", Local("a.htm"));
    EXPECT_FALSE(foreign.ok);
    EXPECT_EQ(inet.ErrorCode(), -2);
}

class InetFtpTest : public InetTest {
protected:
    void SetUp() override {
        InetTest::SetUp();
        std::filesystem::create_directories(root.File("pub/sub"));
        WriteFile(root.File("pub/a.bin"), "0123456789");
        WriteFile(root.File("pub/b&c.txt"), "x");
        SetModificationTime(root.File("pub/a.bin"), kLastModified);
        ASSERT_TRUE(ftp.Start());
    }

    CVQTempDir root;
    CVQTestFtpServer ftp{root.Path(), "joe", "secret"};
};

TEST_F(InetFtpTest, FilesListingsAndTheUserNameRule) {
    const Outcome file = Fetch(ftp.Url("/pub/a.bin"), Local("ftp/a.bin"));
    EXPECT_TRUE(file.ok);
    EXPECT_EQ(ReadFile(file.localPath), "0123456789");
    EXPECT_EQ(ModificationTime(file.localPath), kLastModified);
    EXPECT_EQ(file.group, 0);

    // Unchanged on the next run: same size and time.
    EXPECT_TRUE(Fetch(ftp.Url("/pub/a.bin"), Local("ftp/a.bin")).ok);
    EXPECT_EQ(inet.Disposition(), kDispDone);

    const Outcome listing = Fetch(ftp.Url("/pub/"), Local("ftp/pub/default.htm"));
    EXPECT_TRUE(listing.ok);
    EXPECT_EQ(listing.group, vq::kGroupHtml);
    const std::string page = ReadFile(listing.localPath);
    EXPECT_NE(page.find("<a href=\"a.bin\">a.bin</a><br>\r\n"), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"b&amp;c.txt\">b&amp;c.txt</a><br>\r\n"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"sub/\">sub/</a><br>\r\n"), std::string::npos);
    EXPECT_EQ(page.substr(0, 8), "<html>\r\n");
    EXPECT_EQ(page.substr(page.size() - 7), "</html>");
    EXPECT_EQ(inet.Size(), page.size());

    const Outcome missing = Fetch(ftp.Url("/pub/none.bin"), Local("ftp/none.bin"));
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.canRetry);

    // With credentials, the user's name in the path stands for the login folder.
    doc.Settings().userId = "joe";
    doc.Settings().password = "secret";
    const Outcome own = Fetch(ftp.Url("/joe/pub/a.bin"), Local("ftp/joe.bin"));
    EXPECT_TRUE(own.ok);
    EXPECT_EQ(ReadFile(own.localPath), "0123456789");
}

TEST_F(InetFtpTest, AnFtpTransferIsContinued) {
    const std::string local = Local("ftp/part.bin");
    std::filesystem::create_directories(Local("ftp"));
    WriteFile(local, "0123");
    const Outcome out = Fetch(ftp.Url("/pub/a.bin"), local, true);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(ReadFile(local), "0123456789");
    EXPECT_EQ(inet.Size(), 10u);
}

} // namespace
