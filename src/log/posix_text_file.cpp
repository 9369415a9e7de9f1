// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "log/line_reader.h"
#include "log/readable_file.h"
#include "log/text_file.h"

namespace kestrin {

namespace {

// What a stream does once it has been closed, or with the wrong mode.
constexpr int kUnusableStream = EBADF;
// Written text collects in a buffer of this size; it is handed to the
// operating system when full, on flush and on Close.
constexpr std::size_t kWriteBufferBytes = 64 * 1024;

class PosixTextStream final : public TextStream {
  public:
    enum class Mode { Write, Read };

    PosixTextStream(int fd, Mode mode) : fd_(fd), mode_(mode) {
        if (mode == Mode::Write) buffer_.reserve(kWriteBufferBytes);
        if (mode == Mode::Read) reader_.Adopt(fd);
    }
    // Whoever cares whether the file was written closes it first and is told.
    ~PosixTextStream() override { (void)Close(); }

    PosixTextStream(const PosixTextStream&) = delete;
    PosixTextStream& operator=(const PosixTextStream&) = delete;

    // The text collects in the buffer; when the buffer has no room for it
    // the buffer is handed over first, and a text the buffer cannot hold
    // goes straight through.
    Status write(std::string_view text) override {
        if (Status usable = usableFor(Mode::Write); !usable.ok()) return usable;
        if (text.size() > kWriteBufferBytes - buffer_.size()) {
            if (Status handed = handOver(); !handed.ok()) return handed;
            if (text.size() >= kWriteBufferBytes) return writeAll(text);
        }
        buffer_.append(text);
        return Status::Ok();
    }

    Status writeline() override { return write("\r\n"); }

    Status flush() override {
        if (fd_ < 0) return Status::FromErrno(kUnusableStream);
        if (mode_ == Mode::Read) return Status::Ok();
        return handOver();
    }

    Status readline(std::string& line) override;

    Status sync() override {
        if (fd_ < 0) return Status::FromErrno(kUnusableStream);
        if (mode_ == Mode::Read) return Status::Ok();
        if (Status handed = handOver(); !handed.ok()) return handed;
        if (::fdatasync(fd_) != 0) return Status::FromErrno(errno);
        return Status::Ok();
    }

    Status Close() override {
        if (fd_ < 0) return Status::FromErrno(kUnusableStream);
        if (mode_ == Mode::Read) {
            fd_ = -1;
            return reader_.Close();
        }
        Status result = handOver();
        // The descriptor is released whatever close reports; retrying after
        // EINTR could close a descriptor opened meanwhile by someone else.
        if (::close(fd_) != 0 && result.ok()) result = Status::FromErrno(errno);
        fd_ = -1;
        std::string().swap(buffer_);
        return result;
    }

  private:
    Status usableFor(Mode wanted) const {
        if (fd_ < 0 || mode_ != wanted) return Status::FromErrno(kUnusableStream);
        // Once the system refused data the file's end is uncertain: nothing
        // more is appended, so the file keeps every line handed over before.
        if (!broken_.ok()) return broken_;
        return Status::Ok();
    }

    // Hands everything buffered to the operating system.
    Status handOver() {
        Status result = writeAll(buffer_);
        buffer_.clear();
        return result;
    }

    Status writeAll(std::string_view bytes) {
        if (!broken_.ok()) return broken_;
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                broken_ = Status::FromErrno(errno);
                break;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return broken_;
    }

    int fd_;
    Mode mode_;
    Status broken_;
    std::string buffer_;  // written text not yet handed over
    LineReader reader_;   // a stream for reading: owns the descriptor
};

Status PosixTextStream::readline(std::string& line) {
    if (Status usable = usableFor(Mode::Read); !usable.ok()) return usable;
    line.clear();
    std::string_view next;
    bool tooLong = false;
    if (!reader_.Next(next, tooLong)) {
        if (!reader_.failure().ok()) return reader_.failure();
        return Status::Failure(ErrorKind::ReadPastEnd, "input past end of file");
    }
    if (tooLong) {
        return Status::Failure(
            ErrorKind::LineTooLong,
            "line longer than " + std::to_string(LineReader::kMaxLineBytes) + " bytes");
    }
    line.assign(next);
    return Status::Ok();
}

}  // namespace

namespace {

// Opens without waiting (a FIFO with no peer would block the window for
// ever), refuses what `acceptable` does not take, then makes the
// descriptor blocking again for plain reads and writes.
// Keeps the open descriptor `fd` when it is no folder and `acceptable` takes
// its kind; otherwise closes it and says why.
Status KeepIfAcceptable(int& fd, bool (*acceptable)(mode_t)) {
    if (fd < 0) return Status::FromErrno(errno);
    struct stat info {};
    Status status;
    if (::fstat(fd, &info) != 0) {
        status = Status::FromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {
        status = Status::FromErrno(EISDIR);
    } else if (!acceptable(info.st_mode)) {
        status = Status::FromErrno(EINVAL);
        status.reason = "not a regular file";
    }
    if (!status.ok()) {
        ::close(fd);
        fd = -1;
    }
    return status;
}

Status OpenWithoutWaiting(const std::string& name, int flags, bool (*acceptable)(mode_t), int& fd) {
    fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (Status status = KeepIfAcceptable(fd, acceptable); !status.ok()) return status;
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) return Status::Ok();
    const Status failed = Status::FromErrno(errno);
    ::close(fd);
    fd = -1;
    return failed;
}

// A log may go to a device (a printer, /dev/full), never to a pipe that can stall.
bool WritableKind(mode_t mode) { return !S_ISFIFO(mode) && !S_ISSOCK(mode); }
bool ReadableKind(mode_t mode) { return S_ISREG(mode); }
// A stream is read as it comes: anything but a folder.
bool AnyKind(mode_t) { return true; }

}  // namespace

Status PosixFileSystem::CreateTextFile(const std::string& name,
                                       std::unique_ptr<TextStream>& stream) {
    int fd = -1;
    if (Status status = OpenWithoutWaiting(name, O_WRONLY | O_CREAT | O_TRUNC, WritableKind, fd);
        !status.ok())
        return status;
    stream = std::make_unique<PosixTextStream>(fd, PosixTextStream::Mode::Write);
    return Status::Ok();
}

Status OpenReadableFile(const std::string& name, int& fd) {
    return OpenWithoutWaiting(name, O_RDONLY, ReadableKind, fd);
}

Status OpenReadableStream(const std::string& name, int& fd) {
    fd = name == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                     : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    return KeepIfAcceptable(fd, AnyKind);
}

Status PosixFileSystem::OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) {
    int fd = -1;
    if (Status status = OpenReadableFile(name, fd); !status.ok()) return status;
    stream = std::make_unique<PosixTextStream>(fd, PosixTextStream::Mode::Read);
    return Status::Ok();
}

}  // namespace kestrin

namespace kestrin {

Status PosixFileSystem::inspect(const std::string& name, FileEntry& entry) {
    entry = FileEntry{};
    struct stat info {};
    if (::lstat(name.c_str(), &info) != 0) {
        return errno == ENOENT ? Status::Ok() : Status::FromErrno(errno);
    }
    entry.kind = S_ISREG(info.st_mode)   ? FileEntry::Kind::Regular
                 : S_ISLNK(info.st_mode) ? FileEntry::Kind::SymbolicLink
                                         : FileEntry::Kind::Other;
    entry.modified = info.st_mtime;
    entry.empty = S_ISREG(info.st_mode) && info.st_size == 0;
    return Status::Ok();
}

Status PosixFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Status::Ok();
    if (errno != EINVAL && errno != ENOSYS) return Status::FromErrno(errno);
    // A file system that cannot rename without replacing: a second name,
    // which link refuses when it is taken, then the old name goes. Should
    // the old name stay, the new one goes again, so that the file is never
    // left with both (writing to one would change the other).
    if (::link(from.c_str(), to.c_str()) != 0) return Status::FromErrno(errno);
    if (::unlink(from.c_str()) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        return Status::FromErrno(err);
    }
    return Status::Ok();
}

Status CreateNewFile(const std::string& name, std::string_view content) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Status::FromErrno(errno);
    Status status;
    for (std::size_t done = 0; status.ok() && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0)
            status = Status::FromErrno(EIO);
        else if (errno != EINTR)
            status = Status::FromErrno(errno);
    }
    if (status.ok() && ::fsync(fd) != 0) status = Status::FromErrno(errno);
    if (::close(fd) != 0 && status.ok()) status = Status::FromErrno(errno);
    // The file is this call's own: a part of the content is no use to anyone.
    if (!status.ok()) ::unlink(name.c_str());
    return status;
}

}  // namespace kestrin
