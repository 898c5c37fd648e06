// Where the answer of one Download goes: the status and response check on its headers, the local
// file it is written to, the progress notices, and the project's stop and skip requests.
#pragma once

#include "desktop/net/file_writer.h"
#include "desktop/net/response_check.h"
#include "desktop/net/transfer.h"

#include <cstdint>
#include <optional>
#include <string>

class CVQDoc;

class CVQDownloadSink : public CVQTransferHandler {
public:
    // resumeRequested: the local file is kept and continued; knownSize as the contents tree has it.
    CVQDownloadSink(CVQDoc& project, int worker, std::string address, std::string localPath,
                    bool resumeRequested, std::uint64_t knownSize);

    // FTP: the response check was made before the request, from the file's size and time; the
    // file is opened when its first byte (or, for an empty file, its end) arrives.
    void UsePreparedCheck(const CVQResponseVerdict& verdict, std::optional<std::uint64_t> size,
                          std::optional<std::int64_t> lastModified);

    VQBodyAction OnResponse(const CVQResponseHeaders& headers) override;
    bool OnBody(const char* data, std::size_t length) override;
    VQInterrupt Interrupt() override;
    CVQPacing Pacing() override;

    // After the transfer.
    const CVQResponseHeaders& Headers() const { return m_headers; }
    // 200, or 206 in answer to a resumed request: the answer goes on to the response check.
    bool StatusAccepted() const { return m_accepted; }
    // A 206 whose range does not begin where the local file ends.
    bool RangeMismatch() const { return m_rangeMismatch; }
    bool Checked() const { return m_checked; }
    const CVQResponseVerdict& Verdict() const { return m_verdict; }
    // The local file could not be made: the code and the path or directory to log.
    std::optional<int> OpenError() const { return m_openError; }
    const std::string& OpenErrorSubject() const { return m_openErrorSubject; }
    bool FileOpened() const { return m_fileOpened; }
    bool WriteFailed() const { return m_writeFailed; }
    bool DiskFull() const { return m_diskFull; }
    // The whole file's size when known (0 otherwise) and the bytes the local file now holds.
    std::uint64_t Size() const { return m_size; }
    std::uint64_t Received() const { return m_received; }
    const std::optional<std::int64_t>& LastModified() const { return m_lastModified; }
    // Closes the local file; false when its last bytes could not be written out.
    bool CloseFile();

private:
    VQBodyAction OpenFile();
    void ShowRow(int statusId, const std::string& progress = {});

    CVQDoc& m_project;
    int m_worker;
    std::string m_address;
    std::string m_localPath;
    bool m_resumeRequested;
    std::uint64_t m_knownSize;

    bool m_prepared = false;
    CVQResponseHeaders m_headers;
    bool m_accepted = false;
    bool m_rangeMismatch = false;
    bool m_checked = false;
    CVQResponseVerdict m_verdict;
    std::optional<int> m_openError;
    std::string m_openErrorSubject;
    CVQFileWriter m_file;
    bool m_fileOpened = false;
    bool m_writeFailed = false;
    bool m_diskFull = false;
    std::uint64_t m_size = 0;
    std::uint64_t m_received = 0;
    std::optional<std::int64_t> m_lastModified;
    int m_shownPercent = -1;
    std::string m_percentText; // formatted again only when the percentage changes
};

namespace vq {

// What the response check needs of the project's running download.
CVQCheckContext CheckContextOf(const CVQDoc& project, std::uint64_t knownSize, bool resumed);

// The size as a worker's row shows it: "unknown" for 0.
std::string RowSizeText(std::uint64_t size);

} // namespace vq
