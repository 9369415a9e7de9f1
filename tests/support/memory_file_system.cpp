// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/memory_file_system.h"

#include "log/line_reader.h"

namespace kestrin::test {

namespace {

class MemoryTextStream final : public TextStream {
  public:
    MemoryTextStream(MemoryFileSystem& fs, std::string name, bool forWriting)
        : fs_(fs), name_(std::move(name)), forWriting_(forWriting) {
        ++fs_.openStreams;
    }
    ~MemoryTextStream() override {
        if (open_) --fs_.openStreams;
    }

    Status write(std::string_view text) override {
        if (!open_ || !forWriting_) return Status::FromErrno(EBADF);
        std::string& content = fs_.files[name_];
        if (text.size() > fs_.writeLimit || content.size() > fs_.writeLimit - text.size())
            return Status::FromErrno(ENOSPC);
        content.append(text);
        return Status::Ok();
    }
    Status writeline() override { return write("\r\n"); }
    Status flush() override {
        if (!open_) return Status::FromErrno(EBADF);
        fs_.handedOver[name_] = fs_.files[name_];
        return Status::Ok();
    }
    Status sync() override { return open_ && fs_.syncFailure ? *fs_.syncFailure : flush(); }
    Status Close() override {
        if (Status s = flush(); !s.ok()) return s;
        open_ = false;
        --fs_.openStreams;
        return fs_.closeFailure.value_or(Status::Ok());
    }

    // The whole content is one line unless it holds a line feed.
    Status readline(std::string& line) override {
        if (!open_ || forWriting_) return Status::FromErrno(EBADF);
        if (fs_.readFailure) return *fs_.readFailure;
        const std::string& content = fs_.files[name_];
        if (content.empty()) return Status::Failure(ErrorKind::ReadPastEnd, "past end of file");
        std::string_view first(content);
        first = first.substr(0, first.find('\n'));
        if (first.ends_with('\r')) first.remove_suffix(1);
        if (first.size() > LineReader::kMaxLineBytes)
            return Status::Failure(ErrorKind::LineTooLong, "too long");
        line.assign(first);
        return Status::Ok();
    }

  private:
    MemoryFileSystem& fs_;
    std::string name_;
    bool forWriting_;
    bool open_ = true;
};

}  // namespace

Status MemoryFileSystem::CreateTextFile(const std::string& name,
                                        std::unique_ptr<TextStream>& stream) {
    if (createFailure) return *createFailure;
    files[name].clear();
    stream = std::make_unique<MemoryTextStream>(*this, name, true);
    return Status::Ok();
}

Status MemoryFileSystem::OpenTextFile(const std::string& name,
                                      std::unique_ptr<TextStream>& stream) {
    if (openFailure) return *openFailure;
    if (!files.contains(name)) return Status::FromErrno(ENOENT);
    stream = std::make_unique<MemoryTextStream>(*this, name, false);
    ++readersOpened;
    return Status::Ok();
}

Status MemoryFileSystem::inspect(const std::string& name, FileEntry& entry) {
    entry = FileEntry{};
    if (!files.contains(name)) return Status::Ok();
    entry.kind = FileEntry::Kind::Regular;
    entry.empty = files.at(name).empty();
    if (const auto time = modified.find(name); time != modified.end())
        entry.modified = time->second;
    return Status::Ok();
}

Status MemoryFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    if (renameFailure) return *renameFailure;
    if (!files.contains(from)) return Status::FromErrno(ENOENT);
    if (files.contains(to)) return Status::FromErrno(EEXIST);
    files[to] = std::move(files[from]);
    files.erase(from);
    return Status::Ok();
}

}  // namespace kestrin::test
