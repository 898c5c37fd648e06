// The engine tests' project, site and watcher.
#include "tests/engine/engine_fixture.h"

#include "desktop/resources/string_table.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

void CVQRunWatcher::ShowMessage(const std::string& text, VQIcon) {
    std::lock_guard lock(m_lock);
    m_messages.push_back(text);
}

VQAnswer CVQRunWatcher::Ask(const std::string& text, bool, VQAnswer) {
    std::lock_guard lock(m_lock);
    m_questions.push_back(text);
    return answer;
}

int CVQRunWatcher::ChooseDownloadType(int offered, int preselected) {
    std::lock_guard lock(m_lock);
    offeredTypes = offered;
    return chosenType ? chosenType : preselected;
}

void CVQRunWatcher::StatusText(const std::string& text) {
    std::lock_guard lock(m_lock);
    m_statuses.push_back(text);
}

void CVQRunWatcher::WorkerRow(int worker, const CVQWorkerRow& row) {
    {
        std::lock_guard lock(m_lock);
        m_rows.push_back({worker, row.status, row.address});
    }
    if (onRow)
        onRow(worker, row);
}

void CVQRunWatcher::LogLine(const std::string& line) {
    std::lock_guard lock(m_lock);
    m_log.push_back(line);
}

std::vector<std::string> CVQRunWatcher::Questions() const {
    std::lock_guard lock(m_lock);
    return m_questions;
}

std::vector<std::string> CVQRunWatcher::Statuses() const {
    std::lock_guard lock(m_lock);
    return m_statuses;
}

std::vector<CVQRunWatcher::Row> CVQRunWatcher::Rows() const {
    std::lock_guard lock(m_lock);
    return m_rows;
}

std::string CVQRunWatcher::LastStatus() const {
    std::lock_guard lock(m_lock);
    return m_statuses.empty() ? std::string() : m_statuses.back();
}

std::map<int, int> CVQRunWatcher::DoneByWorker() const {
    const std::string done = VQText(IDS_ENGINE_ROW_DONE);
    std::map<int, int> count;
    for (const Row& row : Rows())
        if (row.status == done)
            ++count[row.worker];
    return count;
}

int CVQRunWatcher::Done() const {
    int total = 0;
    for (const auto& [worker, count] : DoneByWorker())
        total += count;
    return total;
}

EngineTest::EngineTest() : m_doc(m_options) {
    m_options.lastFilesDir = m_dir.File("downloads");
    m_options.autoSave = false;
    m_options.noPacing = true;
    m_doc.SetObserver(&m_user);
    m_doc.NewProject();
    m_doc.SetUserPresent(false);
    CVQPrjSettings& s = m_doc.Settings();
    s.projectDir = m_dir.File("save") + "/";
    s.title = "Site";
    s.threads = 3;
    // A 16-thread pool: enough for every connection the tests open at once.
    m_server.Raw().new_task_queue = [] { return new httplib::ThreadPool(16); };
    // With a file name the log and the project stay out of the save directory.
    EXPECT_TRUE(m_doc.Save(m_dir.File("site.vqp")));
    m_engine = std::make_unique<CVQDownloadEngine>(m_doc, FastOptions());
}

EngineTest::~EngineTest() {
    m_engine.reset();
    m_server.Stop();
}

CVQEngineOptions EngineTest::FastOptions() {
    CVQEngineOptions options;
    options.workerStaggerMs = 10;
    options.pollMs = 20;
    options.stopPollMs = 10;
    options.countdownSeconds = 0;
    return options;
}

std::string EngineTest::Page(const std::vector<std::string>& links) {
    std::string html = "<html><head><title>t</title></head><body>\n";
    for (const std::string& link : links) {
        const bool page = link.ends_with(".htm") || link.ends_with("/");
        html +=
            page ? "<a href=\"" + link + "\">" + link + "</a>\n" : "<img src=\"" + link + "\">\n";
    }
    return html + "</body></html>\n";
}

void EngineTest::Serve(const std::string& path, const std::string& body, const std::string& type) {
    m_server.Content(path, body, type);
}

void EngineTest::ServeSlowly(const std::string& path, std::atomic<bool>& sending) {
    constexpr std::size_t kSize = 1 << 20;
    m_server.Get(path, [&sending](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            kSize, "application/zip",
            [&sending](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                sending = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                const std::string chunk(4096, 's');
                return sink.write(chunk.data(), std::min<std::size_t>(4096, kSize - offset));
            });
    });
}

void EngineTest::ServeSite(int pages, int delayMs) {
    for (int k = 0; k < pages; ++k) {
        std::vector<std::string> links;
        for (int c : {2 * k + 1, 2 * k + 2})
            if (c < pages)
                links.push_back("p" + std::to_string(c) + ".htm");
        links.push_back("img/" + std::to_string(k) + ".gif");
        const std::string page = Page(links);
        const std::string picture = "GIF89a picture " + std::to_string(k) + std::string(300, 'x');
        const auto serve = [this, delayMs, k](std::string body, std::string type) {
            return [this, delayMs, k, body = std::move(body),
                    type = std::move(type)](const httplib::Request&, httplib::Response& res) {
                const int wait = k == m_slowPage ? m_slowMs.load() : delayMs;
                if (wait)
                    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
                res.set_content(body, type);
            };
        };
        m_server.Get("/p" + std::to_string(k) + "\\.htm", serve(page, "text/html"));
        m_server.Get("/img/" + std::to_string(k) + "\\.gif", serve(picture, "image/gif"));
    }
}

CVQStartRequest EngineTest::Unattended(int type) {
    CVQStartRequest request;
    request.type = type;
    request.unattended = true;
    return request;
}

void EngineTest::Start(const CVQStartRequest& request) {
    ASSERT_TRUE(m_engine->Start(request));
}

void EngineTest::Run(int type) {
    Start(Unattended(type));
    m_engine->WaitUntilEnded();
}

void EngineTest::WaitFor(const std::atomic<bool>& flag) {
    while (!flag)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

CVQDocNode* EngineTest::Node(const std::string& path) const {
    return m_doc.Tree().FindByAddress(m_server.Url(path));
}

std::string EngineTest::SavePath(const std::string& relative) const {
    return m_doc.SaveDirInUse() + relative;
}

std::map<std::string, std::string> EngineTest::Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(it->path(), folder).string()] = bytes.str();
    }
    return files;
}

std::string EngineTest::LogText() {
    std::ifstream in(m_doc.Log().Path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
