#include "desktop/net/transfer.h"
#include "tests/support/ftp_test_server.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Collect : CVQTransferHandler {
    int answers = 0;
    std::string body;
    VQBodyAction OnResponse(const CVQResponseHeaders&) override {
        ++answers;
        return VQBodyAction::kReceive;
    }
    bool OnBody(const char* data, std::size_t length) override {
        body.append(data, length);
        return true;
    }
};

class FtpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root.File("pub/sub"));
        std::ofstream(root.File("pub/a.bin")) << "0123456789";
        std::ofstream(root.File("pub/empty.txt"));
        // 2001-09-09 01:46:40 UTC
        const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, root.File("pub/a.bin").c_str(), times, 0);
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(transfer.Open(CVQTransferSetup{}));
    }

    CVQTempDir root;
    CVQTestFtpServer server{root.Path(), "joe", "secret"};
    CVQTransfer transfer;
};

TEST_F(FtpTransferTest, FileInfoBodyResumeAndListing) {
    CVQTransferRequest request;
    request.url = server.Url("/pub/a.bin");
    request.method = CVQTransferRequest::kInfoOnly;
    Collect info;
    const CVQTransferResult facts = transfer.Perform(request, info);
    EXPECT_EQ(facts.end, CVQTransferResult::kDone);
    EXPECT_EQ(facts.infoSize, 10u);
    EXPECT_EQ(facts.infoFileTime, 1000000000);
    EXPECT_EQ(info.answers, 0);

    request.method = CVQTransferRequest::kGet;
    request.userName = "joe";
    request.password = "secret";
    Collect whole;
    EXPECT_EQ(transfer.Perform(request, whole).end, CVQTransferResult::kDone);
    EXPECT_EQ(whole.body, "0123456789");

    request.resumeFrom = 4;
    Collect rest;
    EXPECT_EQ(transfer.Perform(request, rest).end, CVQTransferResult::kDone);
    EXPECT_EQ(rest.body, "456789");

    request.resumeFrom = 0;
    request.url = server.Url("/pub/empty.txt");
    Collect empty;
    EXPECT_EQ(transfer.Perform(request, empty).end, CVQTransferResult::kDone);
    EXPECT_EQ(empty.answers, 1); // told at the end, so that the empty file is still made

    request.url = server.Url("/pub/");
    request.ftpMachineListing = true;
    Collect listing;
    EXPECT_EQ(transfer.Perform(request, listing).end, CVQTransferResult::kDone);
    EXPECT_NE(listing.body.find("type=dir"), std::string::npos) << listing.body;
    EXPECT_NE(listing.body.find("; a.bin"), std::string::npos) << listing.body;

    request.url = server.Url("/pub/none.bin");
    request.ftpMachineListing = false;
    Collect missing;
    const CVQTransferResult notThere = transfer.Perform(request, missing);
    EXPECT_EQ(notThere.end, CVQTransferResult::kFailed);
    EXPECT_EQ(missing.answers, 0);
}

} // namespace
