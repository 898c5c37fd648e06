#include "desktop/shell/command_line.h"

#include "desktop/address/text_util.h"

namespace {

// Sets the flag a switch names; false when the token is no switch.
bool ApplySwitch(CVQCommandLine& line, std::string_view token) {
    struct Switch {
        std::string_view name;
        bool CVQCommandLine::*flag;
    };
    static constexpr Switch kSwitches[] = {
        {"-D", &CVQCommandLine::download},     {"-E", &CVQCommandLine::exit},
        {"-DISC", &CVQCommandLine::disconnect}, {"-SHUT", &CVQCommandLine::shutdown},
        {"-CONV", &CVQCommandLine::convert},
    };
    for (const Switch& s : kSwitches) {
        if (vq::EqualsIgnoreCase(token, s.name)) {
            line.*s.flag = true;
            return true;
        }
    }
    return false;
}

void TakeFileName(CVQCommandLine& line, std::string_view name, std::string_view base) {
    if (line.projectPath.empty() && !name.empty())
        line.projectPath = CVQCommandLine::ResolvePath(name, base);
}

} // namespace

CVQCommandLine CVQCommandLine::Parse(std::string_view text, std::string_view base) {
    CVQCommandLine line;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            TakeFileName(line, text.substr(i + 1, end - i - 1), base);
            i = close == std::string_view::npos ? text.size() : close + 1;
            continue;
        }
        std::size_t end = text.find(' ', i);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view token = text.substr(i, end - i);
        if (!ApplySwitch(line, token))
            TakeFileName(line, token, base);
        i = end;
    }
    return line;
}

CVQCommandLine CVQCommandLine::Parse(const std::vector<std::string>& args, std::string_view base) {
    CVQCommandLine line;
    for (const std::string& arg : args)
        if (!ApplySwitch(line, arg))
            TakeFileName(line, arg, base);
    return line;
}

std::string CVQCommandLine::ResolvePath(std::string_view path, std::string_view base) {
    if (base.empty() || path.empty() || path.front() == '/')
        return std::string(path);
    std::size_t ups = 0;
    std::size_t afterLast = 0;
    for (std::size_t pos = path.find(".."); pos != std::string_view::npos;
         pos = path.find("..", pos + 2)) {
        ++ups;
        afterLast = pos + 2;
    }
    std::string folder(base);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (ups == 0)
        return folder + "/" + std::string(path);
    for (std::size_t n = 0; n < ups; ++n) {
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : slash);
    }
    std::string rest(path.substr(afterLast));
    if (!rest.empty() && rest.front() != '/')
        rest.insert(rest.begin(), '/');
    return folder + rest;
}
