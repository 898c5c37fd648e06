#include "desktop/net/cookie_store.h"
#include "desktop/net/transfer.h"
#include "tests/support/http_test_server.h"
#include "tests/support/test_certificate.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct RecordingHandler : CVQTransferHandler {
    VQBodyAction action = VQBodyAction::kReceive;
    CVQPacing pacing;
    std::atomic<int> interrupt{static_cast<int>(VQInterrupt::kNone)};
    std::vector<int> statuses;
    CVQResponseHeaders headers;
    std::string body;
    std::vector<std::size_t> chunks;
    bool failWrites = false;

    VQBodyAction OnResponse(const CVQResponseHeaders& h) override {
        statuses.push_back(h.Status());
        headers = h;
        return action;
    }
    bool OnBody(const char* data, std::size_t length) override {
        body.append(data, length);
        chunks.push_back(length);
        return !failWrites;
    }
    VQInterrupt Interrupt() override { return static_cast<VQInterrupt>(interrupt.load()); }
    CVQPacing Pacing() override { return pacing; }
};

// Sends `total` bytes of "x", a piece every `every`, until the client goes away.
void SlowBody(httplib::Response& res, std::size_t total, std::size_t piece,
              std::chrono::milliseconds every) {
    res.set_content_provider(
        total, "application/octet-stream",
        [piece, every](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::this_thread::sleep_for(every);
            const std::string data(std::min(piece, length), 'x');
            (void)offset;
            return sink.write(data.data(), data.size());
        });
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Content("/a.txt", "alpha", "text/plain");
        server.Content("/b.txt", "bravo", "text/plain");
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(transfer.Open(setup));
    }

    CVQTransferResult Get(const std::string& path, RecordingHandler& handler) {
        CVQTransferRequest request;
        request.url = server.Url(path);
        return transfer.Perform(request, handler);
    }

    CVQTestHttpServer server;
    CVQTransferSetup setup;
    CVQTransfer transfer;
};

TEST_F(TransferTest, RequestsOfOneSessionShareTheirConnection) {
    RecordingHandler first, second;
    const CVQTransferResult a = Get("/a.txt", first);
    const CVQTransferResult b = Get("/b.txt", second);
    EXPECT_EQ(a.end, CVQTransferResult::kDone);
    EXPECT_EQ(b.end, CVQTransferResult::kDone);
    EXPECT_EQ(first.body, "alpha");
    EXPECT_EQ(second.body, "bravo");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remotePort, requests[1].remotePort);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/4.0");
}

TEST_F(TransferTest, AnIgnoredShortAnswerIsDrainedAndKeepsTheConnection) {
    server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(std::string(2000, 'n'), "text/html");
    });
    RecordingHandler ignored, next;
    ignored.action = VQBodyAction::kIgnore;
    const CVQTransferResult a = Get("/missing", ignored);
    EXPECT_EQ(a.end, CVQTransferResult::kDone);
    EXPECT_EQ(a.status, 404);
    EXPECT_EQ(ignored.statuses, std::vector<int>{404});
    EXPECT_TRUE(ignored.body.empty());
    Get("/a.txt", next);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remotePort, requests[1].remotePort);
}

TEST_F(TransferTest, BodyComesInChunksOfThePacingLengthWithItsPause) {
    server.Content("/big", std::string(25000, 'b'), "application/octet-stream");
    RecordingHandler handler;
    handler.pacing = {4096, 20};
    const Clock::time_point start = Clock::now();
    const CVQTransferResult result = Get("/big", handler);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(result.end, CVQTransferResult::kDone);
    EXPECT_EQ(result.bodyBytes, 25000u);
    EXPECT_EQ(handler.body.size(), 25000u);
    for (std::size_t chunk : handler.chunks)
        EXPECT_LE(chunk, 4096u);
    EXPECT_GE(handler.chunks.size(), 7u);
    EXPECT_GE(elapsed, handler.chunks.size() * 20ms);
}

TEST_F(TransferTest, StopAndSkipEndASlowTransferPromptly) {
    server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        SlowBody(res, 10'000'000, 100, 20ms);
    });
    struct Case {
        VQInterrupt request;
        CVQTransferResult::End end;
    } const cases[] = {{VQInterrupt::kStop, CVQTransferResult::kStopped},
                       {VQInterrupt::kSkip, CVQTransferResult::kSkipped}};
    for (const Case& c : cases) {
        RecordingHandler handler;
        std::atomic<Clock::time_point> requestedAt{};
        std::thread stopper([&] {
            std::this_thread::sleep_for(300ms);
            requestedAt = Clock::now();
            handler.interrupt = static_cast<int>(c.request);
        });
        const CVQTransferResult result = Get("/slow", handler);
        const auto reaction = Clock::now() - requestedAt.load();
        stopper.join();
        EXPECT_EQ(result.end, c.end);
        EXPECT_GT(handler.body.size(), 0u);
        EXPECT_LT(reaction, 250ms)
            << std::chrono::duration_cast<std::chrono::milliseconds>(reaction).count();
    }
}

TEST_F(TransferTest, StopEndsAWaitForTheAnswer) {
    std::atomic<bool> release{false};
    server.Get("/late", [&](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 300 && !release; ++i)
            std::this_thread::sleep_for(10ms);
        res.set_content("late", "text/plain");
    });
    RecordingHandler handler;
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        handler.interrupt = static_cast<int>(VQInterrupt::kStop);
    });
    const Clock::time_point start = Clock::now();
    const CVQTransferResult result = Get("/late", handler);
    const auto elapsed = Clock::now() - start;
    stopper.join();
    release = true;
    EXPECT_EQ(result.end, CVQTransferResult::kStopped);
    EXPECT_FALSE(result.answered);
    EXPECT_LT(elapsed, 450ms);
}

TEST_F(TransferTest, FailuresAreTold) {
    server.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(10000, "application/octet-stream",
                                 [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset >= 4000)
                                         return false; // the connection breaks
                                     const std::string data(4000, 'c');
                                     return sink.write(data.data(), data.size());
                                 });
    });
    RecordingHandler cut;
    const CVQTransferResult broken = Get("/cut", cut);
    EXPECT_EQ(broken.end, CVQTransferResult::kFailed);
    EXPECT_TRUE(broken.answered);
    EXPECT_EQ(broken.bodyBytes, 4000u);
    EXPECT_NE(broken.curlCode, 0);

    RecordingHandler full;
    full.failWrites = true;
    EXPECT_EQ(Get("/a.txt", full).end, CVQTransferResult::kWriteFailed);

    // The handle speaks http, https and ftp only, whatever address it is given.
    RecordingHandler local;
    CVQTransferRequest request;
    request.url = "file:///etc/hostname";
    const CVQTransferResult refused = transfer.Perform(request, local);
    EXPECT_EQ(refused.end, CVQTransferResult::kFailed);
    EXPECT_TRUE(local.body.empty());

    const int port = server.Port();
    server.Stop();
    RecordingHandler nobody;
    request.url = "http://127.0.0.1:" + std::to_string(port) + "/a.txt";
    const CVQTransferResult unreachable = transfer.Perform(request, nobody);
    EXPECT_EQ(unreachable.end, CVQTransferResult::kFailed);
    EXPECT_FALSE(unreachable.answered);
}

TEST_F(TransferTest, CredentialsAnswerTheServersChallengeOnly) {
    server.Get("/private", [](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Authorization") != "Basic am9lOnNlY3JldA==") {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"vq\"");
            res.set_content("no", "text/plain");
            return;
        }
        res.set_content("yes", "text/plain");
    });
    RecordingHandler handler;
    CVQTransferRequest request;
    request.url = server.Url("/private");
    request.userName = "joe";
    request.password = "secret";
    EXPECT_EQ(transfer.Perform(request, handler).end, CVQTransferResult::kDone);
    EXPECT_EQ(handler.statuses, std::vector<int>{200}); // the challenge round is not shown
    EXPECT_EQ(handler.body, "yes");
    EXPECT_FALSE(server.Requests().front().HasHeader("Authorization"));

    RecordingHandler anonymous;
    request.userName.clear();
    EXPECT_EQ(transfer.Perform(request, anonymous).end, CVQTransferResult::kDone);
    EXPECT_EQ(anonymous.statuses, std::vector<int>{401});
}

TEST_F(TransferTest, PostSendsTheFormBody) {
    server.Post("/form", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("posted", "text/plain");
    });
    RecordingHandler handler;
    CVQTransferRequest request;
    request.url = server.Url("/form");
    request.method = CVQTransferRequest::kPost;
    request.postBody = "a=1&b=" + std::string(3000, 'z'); // long enough to tempt "Expect"
    request.referrer = server.Url("/page.htm");
    EXPECT_EQ(transfer.Perform(request, handler).end, CVQTransferResult::kDone);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, request.postBody);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].Header("Referer"), request.referrer);
    EXPECT_FALSE(requests[0].HasHeader("Expect"));
}

TEST(TransferPacing, ChunkAndPauseOfTheSpeedLevel) {
    struct Case {
        int level;
        bool noPacing;
        std::size_t chunk;
        int pauseMs;
    } const cases[] = {
        {1, false, 1024, 190}, {0, false, 1024, 190}, {5, false, 5120, 110}, {10, false, 10240, 10},
        {10, true, 10240, 0},  {9, true, 9216, 30},   {12, true, 10240, 0},
    };
    for (const Case& c : cases) {
        const CVQPacing pacing = vq::PacingForSpeedLevel(c.level, c.noPacing);
        EXPECT_EQ(pacing.chunkLength, c.chunk) << c.level;
        EXPECT_EQ(pacing.pauseMs, c.pauseMs) << c.level;
    }
}

TEST(TransferCookies, ACookieSetInOneSessionIsSentByAnother) {
    CVQTestHttpServer server;
    server.Get("/set", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "visit=42; Path=/");
        res.set_content("set", "text/plain");
    });
    server.Content("/page", "page", "text/plain");
    ASSERT_TRUE(server.Start());
    CVQCookieStore store;
    CVQTransferSetup setup;
    setup.cookies = &store;
    CVQTransfer first, second, alone;
    ASSERT_TRUE(first.Open(setup));
    ASSERT_TRUE(second.Open(setup));
    ASSERT_TRUE(alone.Open(CVQTransferSetup{}));
    RecordingHandler h1, h2, h3;
    CVQTransferRequest request;
    request.url = server.Url("/set");
    first.Perform(request, h1);
    request.url = server.Url("/page");
    second.Perform(request, h2);
    alone.Perform(request, h3);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].Header("Cookie"), "visit=42");
    EXPECT_FALSE(requests[2].HasHeader("Cookie"));
}

TEST(TransferProxy, NamedEnvironmentAndDirect) {
    CVQTestHttpServer proxy;
    proxy.AnswerEverything("via proxy");
    ASSERT_TRUE(proxy.Start());
    const std::string proxyText = "127.0.0.1:" + std::to_string(proxy.Port());
    const std::string host = "127.0.0.1:" + std::to_string(CVQTestHttpServer::UnusedPort());
    const std::string address = "http://" + host + "/page.htm";
    ::setenv("http_proxy", ("http://" + proxyText).c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");

    CVQTransferSetup named;
    named.proxyMode = CVQTransferSetup::kNamedProxy;
    named.proxy = proxyText;
    named.proxyUser = "pu";
    named.proxyPassword = "pp";
    CVQTransferSetup environment;
    environment.proxyMode = CVQTransferSetup::kEnvironment;
    for (const CVQTransferSetup& setup : {named, environment}) {
        CVQTransfer transfer;
        ASSERT_TRUE(transfer.Open(setup));
        RecordingHandler handler;
        CVQTransferRequest request;
        request.url = address;
        EXPECT_EQ(transfer.Perform(request, handler).end, CVQTransferResult::kDone);
        EXPECT_EQ(handler.body, "via proxy");
    }
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, address);
    EXPECT_EQ(requests[0].Header("Host"), host);

    // Direct access ignores the environment's proxy: nothing listens at the address itself.
    CVQTransfer direct;
    ASSERT_TRUE(direct.Open(CVQTransferSetup{}));
    RecordingHandler handler;
    CVQTransferRequest request;
    request.url = address;
    EXPECT_EQ(direct.Perform(request, handler).end, CVQTransferResult::kFailed);
    EXPECT_EQ(proxy.Requests().size(), 2u);
    ::unsetenv("http_proxy");
}

TEST(TransferTls, TheTestCertificateIsTrustedThroughSslCertFileOnly) {
    CVQTestCertificate certificate;
    ASSERT_TRUE(certificate.Valid());
    CVQTestHttpServer server(certificate.CertFile(), certificate.KeyFile());
    server.Content("/s.txt", "secure", "text/plain");
    ASSERT_TRUE(server.Start());
    CVQTransferRequest request;
    request.url = server.Url("/s.txt"); // 127.0.0.1 is not the certificate's name

    ::unsetenv("SSL_CERT_FILE");
    CVQTransfer untrusted;
    ASSERT_TRUE(untrusted.Open(CVQTransferSetup{}));
    RecordingHandler refused;
    EXPECT_EQ(untrusted.Perform(request, refused).end, CVQTransferResult::kFailed);
    EXPECT_TRUE(refused.body.empty());

    ::setenv("SSL_CERT_FILE", certificate.CertFile().c_str(), 1);
    CVQTransfer trusted;
    ASSERT_TRUE(trusted.Open(CVQTransferSetup{}));
    RecordingHandler handler;
    EXPECT_EQ(trusted.Perform(request, handler).end, CVQTransferResult::kDone);
    EXPECT_EQ(handler.body, "secure");
    ::unsetenv("SSL_CERT_FILE");
}

} // namespace
