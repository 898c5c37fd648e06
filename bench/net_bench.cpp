// The client against a plain libcurl loop over the same loopback files: 2,000 small files with
// one session (without pacing, with the pacing of speed level 10) and one large file. Prints
// files per second and MB per second.
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <curl/curl.h>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmallFiles = 2000;
constexpr std::size_t kSmallSize = 2048;

std::size_t LargeSize() {
    const char* mb = std::getenv("VQ_BENCH_LARGE_MB");
    return static_cast<std::size_t>(mb ? std::atol(mb) : 200) * 1024 * 1024;
}

// Wall-clock time of a run, and the processor time of the calling thread alone (the client's
// own cost, without the loopback server's threads).
struct Timing {
    double wall = 0;
    double cpu = 0;
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class Stopwatch {
public:
    Timing Elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - m_start).count(),
                ThreadCpuSeconds() - m_cpu};
    }

private:
    Clock::time_point m_start = Clock::now();
    double m_cpu = ThreadCpuSeconds();
};

void ServeFiles(CVQTestHttpServer& server) {
    static const std::string small(kSmallSize, 's');
    server.Get(R"(/small/(\d+)\.bin)", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(small, "application/octet-stream");
    });
    server.Get("/large.bin", [](const httplib::Request&, httplib::Response& res) {
        static const std::string block(64 * 1024, 'l');
        res.set_content_provider(LargeSize(), "application/octet-stream",
                                 [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                     return sink.write(block.data(),
                                                       std::min(length, block.size()));
                                 });
    });
}

// Every run writes into a folder of its own, emptied afterwards: files written over again cost
// the file system more with every round and would blur the comparison.
class RunFolder {
public:
    explicit RunFolder(const CVQTempDir& dir) : m_path(dir.File("run")) {
        std::filesystem::create_directories(m_path);
    }
    ~RunFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The client as a worker uses it: one session, one Download per address.
Timing ClientRun(CVQDoc& project, const std::string& base, const std::string& folder, int files,
                 bool large) {
    CVQInet inet;
    if (!inet.OpenSession(project, false))
        return {};
    const Stopwatch watch;
    for (int i = 0; i < files; ++i) {
        std::string address =
            large ? base + "/large.bin" : base + "/small/" + std::to_string(i) + ".bin";
        std::string local = folder + (large ? "/large.bin" : "/" + std::to_string(i) + ".bin");
        bool canRetry = false, interrupted = false;
        int group = 0, contentClass = 0;
        if (!inet.Download(address, local, 0, project, true, canRetry, interrupted, 0, "", group,
                           contentClass, 0, nullptr))
            std::fprintf(stderr, "failed: %s\n", address.c_str());
    }
    const Timing timing = watch.Elapsed();
    inet.CloseSession(false);
    return timing;
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

// What a plain loop does: one reused easy handle, each body into its own file.
Timing PlainRun(const std::string& base, const std::string& folder, int files, bool large) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    const Stopwatch watch;
    for (int i = 0; i < files; ++i) {
        const std::string address =
            large ? base + "/large.bin" : base + "/small/" + std::to_string(i) + ".bin";
        const std::string local =
            folder + (large ? "/plain-large.bin" : "/plain-" + std::to_string(i) + ".bin");
        std::FILE* file = std::fopen(local.c_str(), "wb");
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        if (curl_easy_perform(curl) != CURLE_OK)
            std::fprintf(stderr, "failed: %s\n", address.c_str());
        std::fclose(file);
    }
    const Timing timing = watch.Elapsed();
    curl_easy_cleanup(curl);
    return timing;
}

} // namespace

int main() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CVQTestHttpServer server;
    ServeFiles(server);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start the loopback server\n");
        return 1;
    }
    CVQTempDir dir;
    const std::string base = server.Url("");
    CVQProgramOptions options;
    options.connType = 0;
    CVQDoc project(options);
    project.Settings().Reset(options, dir.Path());
    project.Settings().uMethod = 1; // always transfer: every round fetches every file
    project.Log().SetPath(dir.File("bench.log"));

    // Rounds are taken in turns, and the best of each contender counts, so that a busy moment
    // of the shared machine does not decide the comparison.
    constexpr int kRounds = 15;
    Timing plain{1e30, 1e30}, unpaced{1e30, 1e30};
    const auto keepBest = [](Timing& best, const Timing& run) {
        best.wall = std::min(best.wall, run.wall);
        best.cpu = std::min(best.cpu, run.cpu);
    };
    options.noPacing = true;
    for (int i = 0; i < kRounds; ++i) {
        keepBest(plain, PlainRun(base, RunFolder(dir).Path(), kSmallFiles, false));
        keepBest(unpaced, ClientRun(project, base, RunFolder(dir).Path(), kSmallFiles, false));
    }
    options.noPacing = false;
    const Timing paced = ClientRun(project, base, RunFolder(dir).Path(), kSmallFiles, false);
    const auto perFile = [](const Timing& t) { return t.cpu / kSmallFiles * 1e6; };
    std::printf("%d files of %zu bytes, one session (best of %d rounds)\n", kSmallFiles, kSmallSize,
                kRounds);
    std::printf("  plain libcurl loop       %8.0f files/s  %5.1f us of its thread per file\n",
                kSmallFiles / plain.wall, perFile(plain));
    std::printf("  client, NoPacing         %8.0f files/s  %5.1f us of its thread per file"
                "  (%.0f%% of the plain loop's rate)\n",
                kSmallFiles / unpaced.wall, perFile(unpaced), 100 * plain.wall / unpaced.wall);
    std::printf("  client, level 10 pacing  %8.0f files/s  (one round)\n",
                kSmallFiles / paced.wall);

    const double mb = static_cast<double>(LargeSize()) / (1024 * 1024);
    Timing plainLarge{1e30, 1e30}, clientLarge{1e30, 1e30};
    options.noPacing = true;
    for (int i = 0; i < 3; ++i) {
        keepBest(plainLarge, PlainRun(base, RunFolder(dir).Path(), 1, true));
        keepBest(clientLarge, ClientRun(project, base, RunFolder(dir).Path(), 1, true));
    }
    std::printf("one file of %.0f MB (best of 3 rounds)\n", mb);
    std::printf("  plain libcurl loop       %8.0f MB/s  %5.2f s of its thread\n",
                mb / plainLarge.wall, plainLarge.cpu);
    std::printf("  client, NoPacing         %8.0f MB/s  %5.2f s of its thread"
                "  (%.0f%% of the plain loop's rate)\n",
                mb / clientLarge.wall, clientLarge.cpu, 100 * plainLarge.wall / clientLarge.wall);
    return 0;
}
