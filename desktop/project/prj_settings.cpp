// Defaults, start addresses and the validation of stored values of a project's settings.
#include "desktop/project/prj_settings.h"

#include "desktop/project/program_options.h"
#include "desktop/resources/string_table.h"
#include "platform/user_dirs.h"

CVQPrjSettings::CVQPrjSettings() {
    for (std::size_t i = 0; i < vq::kFileGroupCount; ++i)
        fileExt[i] = vq::DefaultExtList(vq::kFileGroupOrder[i], true);
}

void CVQPrjSettings::Reset(const CVQProgramOptions& options) {
    Reset(options, vq::DocumentsDirectory());
}

void CVQPrjSettings::Reset(const CVQProgramOptions& options, std::string_view documentsDir) {
    *this = CVQPrjSettings();
    projectDir = vq::DefaultSaveDirectory(options.lastFilesDir, documentsDir);
    copyPrTo = options.copyPrTo;
    copyPrDirName = options.lastCopyDir;
    storageName = options.storageName;
    readerDrive = options.readerDrive.empty() ? '\0' : options.readerDrive.front();
}

bool CVQPrjSettings::AddStartUrl(std::string_view url, std::string* message) {
    if (startUrl.size() == 1 && startUrl.front().empty()) {
        startUrl.front() = url;
        return true;
    }
    if (startUrl.size() >= kMaxStartUrls) {
        if (message)
            *message = VQFormat(IDS_TOO_MANY_URLS, static_cast<int>(kMaxStartUrls));
        return false;
    }
    startUrl.emplace_back(url);
    return true;
}

std::vector<std::string> CVQPrjSettings::DownloadUrls() const {
    if (singleUrl && !startUrl.empty())
        return {startUrl.front()};
    return startUrl;
}

CVQCustomArray* CVQPrjSettings::ExtList(int groupBit) {
    const int index = vq::FileGroupIndex(groupBit);
    return index < 0 ? nullptr : &fileExt[static_cast<std::size_t>(index)];
}

const CVQCustomArray* CVQPrjSettings::ExtList(int groupBit) const {
    return const_cast<CVQPrjSettings*>(this)->ExtList(groupBit);
}

namespace vq {

std::string DirectoryWithSlash(std::string_view path) {
    std::string dir(path);
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

std::string DefaultSaveDirectory(std::string_view lastFilesDir, std::string_view documentsDir) {
    if (!lastFilesDir.empty())
        return DirectoryWithSlash(lastFilesDir);
    return DirectoryWithSlash(documentsDir) + "My Downloads/";
}

bool IsValidTimeout(long long stored) {
    return stored >= 10 && stored <= 600;
}
bool IsValidRetries(long long stored) {
    return stored >= 0 && stored <= 100;
}
bool IsValidFlag(long long stored) {
    return stored == 0 || stored == 1;
}
bool IsValidAgentType(long long stored) {
    return stored >= 0 && stored <= 9;
}
bool IsValidRunState(long long stored) {
    return stored >= 0 && stored <= 4;
}

int ProtocolFromStored(long long stored) {
    return stored >= 1 && stored <= 15 ? static_cast<int>(stored) : 15;
}

int LevelFromStored(unsigned storedWord) {
    return storedWord == 0xFFFF ? 0 : static_cast<int>(storedWord);
}

int TreeUpdateFromStored(int stored) {
    return stored == 3 ? 2 : stored;
}

} // namespace vq
