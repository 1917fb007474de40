#include "Hexsource.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

THexFileStamp StampOf(const struct stat& st)
{
    THexFileStamp stamp;
    stamp.Valid = true;
    stamp.Device = quint64(st.st_dev);
    stamp.Inode = quint64(st.st_ino);
    stamp.Size = qint64(st.st_size);
    stamp.ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

QString KindRefused(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder.");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a pipe (FIFO): its bytes exist only as another program writes them, "
                              "so it cannot be shown or edited as a file.");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a file.");
    if (S_ISCHR(mode))
        return QStringLiteral("It is a character device, which has no fixed size to show.");
    return QStringLiteral("It is not a regular file or a disk.");
}

} // namespace

THexFileStamp HexStampOfFd(int fd)
{
    struct stat st;
    return fd >= 0 && ::fstat(fd, &st) == 0 ? StampOf(st) : THexFileStamp();
}

qint64 HexFileSize(int fd)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return -1;
    if (!S_ISBLK(st.st_mode))
        return qint64(st.st_size);
    unsigned long long bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0)
        return qint64(bytes);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end < 0 ? -1 : qint64(end);
}

THexFileStamp HexStampOfPath(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? StampOf(st) : THexFileStamp();
}

THexOpened HexOpenForReading(const QString& path)
{
    THexOpened result;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        result.Error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        result.Error = KindRefused(st.st_mode);
        return result;
    }
    // O_NONBLOCK: should a pipe take the file's place after the look above,
    // the open still returns at once (and the second look refuses it).
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.Error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    if (::fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))) {
        result.Error = KindRefused(st.st_mode);
        ::close(fd);
        return result;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    result.Stamp = StampOf(st);
    result.Size = qint64(st.st_size);
    if (S_ISBLK(st.st_mode)) {
        result.BlockDevice = true;
        result.Size = HexFileSize(fd);
        if (result.Size < 0) {
            result.Error = QStringLiteral("The size of the device cannot be read.");
            ::close(fd);
            return result;
        }
    }
    result.Fd = fd;
    return result;
}

qint64 HexPread(int fd, qint64 offset, unsigned char* out, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

void HexCloseLater(int fd)
{
    if (fd < 0)
        return;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error&) {
        ::close(fd); // no thread to be had: close it here
    }
}

// ---------------------------------------------------------------------------

THexFileSource::THexFileSource(int fd, qint64 size, qint64 pageSize, qint64 cacheSize)
    : FFd(fd), FSize(size), FPageSize(qMax<qint64>(pageSize, 1))
{
    // Two pages at least: a read that crosses a page boundary keeps both.
    const qint64 pages = qBound(qint64(2), cacheSize / FPageSize, qint64(1 << 16));
    FPages.resize(size_t(pages));
    FIndex.reserve(size_t(pages));
}

THexFileSource::~THexFileSource()
{
    if (FFd >= 0)
        ::close(FFd);
}

int THexFileSource::TakeFd()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void THexFileSource::Reset(qint64 size)
{
    FSize = size;
    FIndex.clear();
    for (TPage& page : FPages) {
        page.Index = -1;
        page.Valid = 0;
    }
}

THexFileSource::TPage& THexFileSource::Page(qint64 index)
{
    ++FClock;
    TPage& last = FPages[FLast];
    if (last.Index == index) {
        last.Used = FClock;
        return last;
    }
    const auto found = FIndex.find(index);
    if (found != FIndex.end()) {
        FLast = found->second;
        FPages[FLast].Used = FClock;
        return FPages[FLast];
    }
    // The least recently used slot (an empty one first) takes the page.
    size_t victim = 0;
    for (size_t i = 0; i < FPages.size(); ++i) {
        if (FPages[i].Index < 0) {
            victim = i;
            break;
        }
        if (FPages[i].Used < FPages[victim].Used)
            victim = i;
    }
    TPage& page = FPages[victim];
    if (page.Index >= 0)
        FIndex.erase(page.Index);
    if (!page.Bytes)
        page.Bytes.reset(new unsigned char[size_t(FPageSize)]);
    const qint64 start = index * FPageSize;
    const qint64 want = qMin(FPageSize, FSize - start);
    page.Index = index;
    page.Valid = want > 0 ? HexPread(FFd, start, page.Bytes.get(), want) : 0;
    page.Used = FClock;
    FIndex.emplace(index, victim);
    FLast = victim;
    return page;
}

bool THexFileSource::Read(qint64 offset, unsigned char* out, qint64 length)
{
    bool whole = true;
    while (length > 0) {
        const qint64 index = offset / FPageSize;
        const qint64 within = offset - index * FPageSize;
        const qint64 n = qMin(length, FPageSize - within);
        const TPage& page = Page(index);
        const qint64 valid = qBound(qint64(0), page.Valid - within, n);
        if (valid > 0)
            std::memcpy(out, page.Bytes.get() + within, size_t(valid));
        if (valid < n) {
            std::memset(out + valid, 0, size_t(n - valid));
            whole = false;
        }
        out += n;
        offset += n;
        length -= n;
    }
    return whole;
}

bool THexFileSource::ReadDirect(qint64 offset, unsigned char* out, qint64 length) const
{
    const qint64 got = HexPread(FFd, offset, out, length);
    if (got < length) {
        std::memset(out + got, 0, size_t(length - got));
        return false;
    }
    return true;
}
