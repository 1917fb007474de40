#pragma once
// Inside the hex document (not installed): opening a file for reading
// without ever blocking, what a file looked like when it was read (to notice
// another program changing it later), and a file read in pages through a
// bounded cache.
//
// Files are read with pread and never mapped: another program that cuts a
// mapped file short kills the process that maps it on its next access; a
// pread of the missing part only comes back short.
#include <QString>
#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

// A file's identity and state at one moment.
struct THexFileStamp
{
    bool Valid = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    bool SameFile(const THexFileStamp& other) const
    {
        return Valid && other.Valid && Device == other.Device && Inode == other.Inode;
    }
};

THexFileStamp HexStampOfFd(int fd);
// The bytes the file holds now: a regular file's size, a block device's
// capacity (stat gives 0 for it); -1 when it cannot be told.
qint64 HexFileSize(int fd);
// Follows symbolic links; not Valid when the path names nothing.
THexFileStamp HexStampOfPath(const QString& path);

struct THexOpened
{
    int Fd = -1;          // open for reading, blocking reads; -1 on failure
    qint64 Size = 0;
    bool BlockDevice = false;
    THexFileStamp Stamp;
    QString Error;        // why it was refused, for the user
};

// Opens a regular file or a block device for reading. Pipes, sockets,
// character devices and folders are refused at once: a pipe without a writer
// would block the open (and every read) for good. A block device's size is
// the device's, not the 0 that stat gives.
THexOpened HexOpenForReading(const QString& path);

// A file read in pages of a fixed size, the least recently used page giving
// way when the cache is full. The file's size is the one it had when opened;
// bytes the file no longer holds (another program shortened it) read as 0
// and are reported.
class THexFileSource
{
public:
    // Takes over `fd` and closes it when destroyed.
    THexFileSource(int fd, qint64 size, qint64 pageSize, qint64 cacheSize);
    ~THexFileSource();
    THexFileSource(const THexFileSource&) = delete;
    THexFileSource& operator=(const THexFileSource&) = delete;

    int Fd() const { return FFd; }
    qint64 Size() const { return FSize; }
    qint64 PageSize() const { return FPageSize; }

    // Copies `length` bytes from `offset` (inside the size) through the
    // cache. False when some of them could not be read (they read as 0).
    bool Read(qint64 offset, unsigned char* out, qint64 length);
    // Reads straight from the file, leaving the cache alone (for long runs
    // of bytes read once, as a search does). False as Read.
    bool ReadDirect(qint64 offset, unsigned char* out, qint64 length) const;
    // Forgets every cached page and takes a new size (the file was written).
    void Reset(qint64 size);
    // Gives up the file without closing it; the caller closes it.
    int TakeFd();

private:
    struct TPage
    {
        qint64 Index = -1;
        qint64 Valid = 0;  // bytes of the page that were read
        quint64 Used = 0;  // clock of the last use
        std::unique_ptr<unsigned char[]> Bytes;
    };
    TPage& Page(qint64 index);

    int FFd;
    qint64 FSize;
    qint64 FPageSize;
    std::vector<TPage> FPages;
    std::unordered_map<qint64, size_t> FIndex;
    quint64 FClock = 0;
    size_t FLast = 0; // the page used last, tried first
};

// Reads `length` bytes at `offset` of `fd`, retrying short reads; returns
// the bytes read (fewer at the end of the file or on an error).
qint64 HexPread(int fd, qint64 offset, unsigned char* out, qint64 length);

// Closes `fd` on a helper thread. Closing the last descriptor of a file that
// was replaced or removed makes the kernel drop its cached pages and free its
// blocks, which for a file of gigabytes takes a good part of a second.
void HexCloseLater(int fd);
