// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/work_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/status.h"
#include "log/full_path.h"

namespace kestrin {

namespace {

constexpr std::string_view kDocumentsKey = "XDG_DOCUMENTS_DIR=";
constexpr char kFolderName[] = "/Kestrin";
// user-dirs.dirs holds a dozen short lines; more than this is no such file.
constexpr std::streamsize kMaxUserDirsBytes = 64 * 1024;

// The value of a line XDG_DOCUMENTS_DIR="...", its shell escapes undone, with
// $HOME at its start replaced; nothing for a value that is neither under
// $HOME nor absolute, which xdg-user-dirs does not write.
std::optional<std::string> DocumentsValue(std::string_view line, const std::string& home) {
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with(kDocumentsKey)) return std::nullopt;
    line.remove_prefix(kDocumentsKey.size());
    if (!line.starts_with('"')) return std::nullopt;
    std::string value;
    bool closed = false;
    for (std::size_t i = 1; i < line.size() && !closed; ++i) {
        if (line[i] == '"') {
            closed = true;
        } else {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            value += line[i];
        }
    }
    if (!closed) return std::nullopt;
    constexpr std::string_view kHome = "$HOME";
    if (value.starts_with(kHome) && (value.size() == kHome.size() || value[kHome.size()] == '/'))
        return home + value.substr(kHome.size());
    if (value.starts_with('/')) return value;
    return std::nullopt;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

// The working directory as a full path, for messages.
std::string WorkingDirectory() {
    std::string here = FullPath(".");
    if (here.size() > 2 && here.ends_with("/.")) here.resize(here.size() - 2);
    return here;
}

std::string ReadUserDirs(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string folder = config && *config == '/' ? config : home + "/.config";
    std::ifstream file(folder + "/user-dirs.dirs", std::ios::binary);
    std::string text(kMaxUserDirsBytes, '\0');
    file.read(text.data(), kMaxUserDirsBytes);
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

}  // namespace

std::string DesktopWorkFolder(const std::string& home, std::string_view userDirs,
                              const char* variable) {
    std::string documents = variable && *variable == '/' ? variable : home;
    while (!userDirs.empty()) {
        const std::size_t end = std::min(userDirs.find('\n'), userDirs.size());
        if (auto value = DocumentsValue(userDirs.substr(0, end), home)) documents = *value;
        userDirs.remove_prefix(std::min(end + 1, userDirs.size()));
    }
    while (documents.size() > 1 && documents.ends_with('/')) documents.pop_back();
    if (documents == "/") documents.clear();
    return documents + kFolderName;
}

std::string EnterDesktopWorkFolder() {
    const std::string home = HomeFolder();
    if (home.empty())
        return "Kestrin found no home folder. Its files go to " + WorkingDirectory() + ".";
    const std::string folder =
        DesktopWorkFolder(home, ReadUserDirs(home), std::getenv("XDG_DOCUMENTS_DIR"));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    Status status = error ? Status::FromErrno(error.value()) : Status::Ok();
    if (status.ok() && ::chdir(folder.c_str()) != 0) status = Status::FromErrno(errno);
    if (status.ok()) return "";
    return "Kestrin cannot work in the folder " + folder + ": " + status.reason +
           ".\r\n\r\nIts files go to " + WorkingDirectory() + " instead.";
}

}  // namespace kestrin
