// THexDocument: saving. A save is planned as a list of ops (bytes from
// memory, from the added bytes, or from the source file, each to its place
// in the new file), written in steps so that long saves can run in slices,
// and finished by syncing and renaming the new file over the target.
#include "Hexdocument.h"

#include "Hexdocstate.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bytes handed to WriteBlock at a time, and copied by the kernel at a time.
const qint64 kWriteBlock = 1 << 20;
const qint64 kCopyBlock = 8 << 20;
const qint64 kPageAlign = 4096;
// The most bytes a save in place keeps to put back after a failure.
const qint64 kBackupLimit = 64 << 20;

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

void SyncFolder(const QString& file)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

const QString kSourceLost = QStringLiteral(
    "The file was shortened or replaced by another program: bytes that were to be saved can no longer be "
    "read from it. Nothing was saved.");

} // namespace

int THexDocument::Save(const QString& path, qint64 length)
{
    if (Busy())
        return frBusy;
    const int prepared = PrepareSave(path, length);
    if (prepared != frOk)
        return prepared;
    while (!SaveStep(kCopyBlock)) {
    }
    const int failure = D->Save->Failure;
    if (failure != frOk) {
        AbortSave();
        return failure;
    }
    return FinishSave();
}

bool THexDocument::StartSave(const QString& path, qint64 length)
{
    if (Busy())
        return false;
    const int prepared = PrepareSave(path, length);
    if (prepared != frOk) {
        // Reported from the event loop, as every result of StartSave is.
        QMetaObject::invokeMethod(this, [this, prepared] { emit SaveFinished(prepared); }, Qt::QueuedConnection);
        return true;
    }
    D->Job = TState::jSave;
    D->Timer->start(0);
    return true;
}

int THexDocument::PrepareSave(const QString& path, qint64 length)
{
    TState& d = *D;
    const qint64 size = d.Size();
    auto save = std::make_unique<TSave>();
    TSave& s = *save;
    s.Length = (length < 0 || length > size) ? size : length;

    // A symbolic link stays a link: its target receives the bytes.
    s.Path = path;
    const QFileInfo info(path);
    s.Target = info.isSymLink() ? info.symLinkTarget() : path;
    const QByteArray target = QFile::encodeName(s.Target);
    struct stat st;
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            d.Error = QStringLiteral("It is a folder.");
            return frCannotOpen;
        }
        if (!S_ISREG(st.st_mode)) {
            d.Error = QStringLiteral("Only a regular file can be saved to.");
            return frCannotOpen;
        }
        if (::access(target.constData(), W_OK) != 0) {
            d.Error = SystemError(errno);
            return frCannotOpen;
        }
        s.TargetExists = true;
        s.Mode = st.st_mode & 07777;
        s.Owner = st.st_uid;
        s.Group = st.st_gid;
        s.OldSize = qint64(st.st_size);
    } else if (errno != ENOENT) {
        d.Error = SystemError(errno);
        return frCannotOpen;
    } else {
        s.Mode = NewFileMode();
    }

    // The file read from must still hold every byte a piece takes from it.
    qint64 needed = 0;
    bool shifted = false;
    if (d.Source) {
        for (const THexPiece& piece : d.Pieces.Pieces()) {
            if (!piece.Added && piece.Start < s.Length) {
                needed = qMax(needed, piece.From + qMin(piece.Length, s.Length - piece.Start));
                shifted = shifted || piece.From != piece.Start;
            }
        }
        if (HexFileSize(d.Source->Fd()) < needed) {
            d.Error = kSourceLost;
            return frSourceLost;
        }
    }
    // The saved file takes the place of the one read from: what the log
    // still needs of that one is read now, before anything is written.
    KeepLogThroughSave(&s.KeepUndo, &s.KeepRedo);

    // The new file goes beside the target under a short name of its own, so
    // a target name at the length limit still has room for it.
    QByteArray name = QFile::encodeName(QFileInfo(s.Target).absolutePath()) + "/.hexsave-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // Only a folder that takes no new files leaves the file itself to
        // write to; a full disk or any other failure must not risk it.
        if (s.TargetExists && (error == EACCES || error == EROFS || error == EPERM))
            return PrepareInPlace(std::move(save));
        d.Error = SystemError(error);
        return frCannotOpen;
    }
    s.Temporary = QFile::decodeName(name);
    s.Fd = fd;
    D->Save = std::move(save);

    bool cloned = false;
#ifdef FICLONE
    // Where the file system shares blocks, the new file starts as the old
    // one and only what differs is written. Not once bytes were inserted or
    // deleted before the end: the copy skips the holes of the file's moved
    // bytes, and the clone would show the old bytes there instead of zeros.
    if (d.Source && s.Length > 0 && !shifted && ::ioctl(fd, FICLONE, d.Source->Fd()) == 0) {
        if (HexFileSize(fd) < needed) {
            AbortSave();
            d.Error = kSourceLost;
            return frSourceLost;
        }
        cloned = true;
    }
#endif
    // The new file's size first: what is never written stays a hole.
    if (::ftruncate(fd, off_t(s.Length)) != 0) {
        d.Error = SystemError(errno);
        AbortSave();
        return frWriteShort;
    }
    PlanOps(cloned);
    return frOk;
}

int THexDocument::PrepareInPlace(std::unique_ptr<TSave> save)
{
    TState& d = *D;
    TSave& s = *save;
    const int fd = ::open(QFile::encodeName(s.Target).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        d.Error = SystemError(errno);
        return frCannotOpen;
    }
    s.Fd = fd;
    s.InPlace = true;
    D->Save = std::move(save);
    // Saving the file read from: only what changed is written over it, and
    // only while every unchanged byte sits at its own place in it.
    const bool ownFile = d.Source && HexStampOfFd(fd).SameFile(HexStampOfFd(d.Source->Fd()));
    if (ownFile) {
        for (const THexPiece& piece : d.Pieces.Pieces()) {
            if (!piece.Added && piece.From != piece.Start && piece.Start < s.Length) {
                AbortSave();
                d.Error = QStringLiteral("The folder takes no new files, and the file cannot be rewritten in place.");
                return frCannotOpen;
            }
        }
    }
    PlanOps(ownFile);

    // Keep what will be overwritten or cut off, to put it back on failure.
    std::vector<std::pair<qint64, qint64>> ranges;
    for (const THexSaveOp& op : s.Ops)
        if (op.Dest < s.OldSize)
            ranges.emplace_back(op.Dest, qMin(op.Length, s.OldSize - op.Dest));
    if (s.Length < s.OldSize)
        ranges.emplace_back(s.Length, s.OldSize - s.Length);
    qint64 total = 0;
    for (const auto& range : ranges)
        total += range.second;
    if (total > kBackupLimit) {
        AbortSave();
        d.Error = QStringLiteral("The folder takes no new files, and the file is too large to be rewritten in "
                                 "place safely.");
        return frCannotOpen;
    }
    for (const auto& range : ranges) {
        QByteArray old(range.second, Qt::Uninitialized);
        if (HexPread(fd, range.first, reinterpret_cast<unsigned char*>(old.data()), range.second) != range.second) {
            AbortSave(); // what cannot be read cannot be put back
            d.Error = QStringLiteral("The file cannot be read back, so it is not rewritten in place.");
            return frCannotOpen;
        }
        s.Backup.emplace_back(range.first, old);
    }
    return frOk;
}

void THexDocument::PlanOps(bool skipUnchanged)
{
    TState& d = *D;
    TSave& s = *d.Save;
    s.Ops.clear();
    if (!d.Source) {
        if (s.Length > 0)
            s.Ops.push_back(THexSaveOp{THexSaveOp::Memory, 0, s.Length, 0});
    } else {
        for (const THexPiece& piece : d.Pieces.Pieces()) {
            if (piece.Start >= s.Length)
                break;
            const qint64 length = qMin(piece.Length, s.Length - piece.Start);
            // Bytes already at their place: in a clone, or in the file
            // itself when it is written in place.
            if (skipUnchanged && !piece.Added && piece.From == piece.Start)
                continue;
            s.Ops.push_back(THexSaveOp{piece.Added ? THexSaveOp::Added : THexSaveOp::Source, piece.Start, length,
                                       piece.From});
        }
    }
    s.Total = 0;
    for (const THexSaveOp& op : s.Ops)
        s.Total += op.Length;
    s.Out.open(s.Fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
}

bool THexDocument::WriteOut(qint64 at, const unsigned char* bytes, qint64 length)
{
    TSave& s = *D->Save;
    if (!s.Out.seek(at))
        return false;
    while (length > 0) {
        const qint64 n = WriteBlock(s.Out, reinterpret_cast<const char*>(bytes), qMin(length, kWriteBlock));
        if (n <= 0)
            return false;
        bytes += n;
        length -= n;
    }
    return true;
}

int THexDocument::CopySource(qint64 from, qint64 to, qint64 length)
{
    TSave& s = *D->Save;
    const int in = D->Source->Fd();
    const qint64 end = from + length;
    qint64 pos = from;
    while (pos < end) {
        // Holes of the file stay holes: only its data are copied.
        off_t data = ::lseek(in, off_t(pos), SEEK_DATA);
        off_t hole = end;
        if (data < 0) {
            if (errno != ENXIO) {
                data = off_t(pos); // no hole map here: copy everything
            } else {
                // Nothing but a hole from here to the file's end; the file
                // must still reach the end of the range.
                return HexFileSize(in) >= end ? frOk : frSourceLost;
            }
        } else {
            hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0)
                hole = end;
        }
        if (data >= end)
            return HexFileSize(in) >= end ? frOk : frSourceLost;
        const qint64 stop = qMin<qint64>(hole, end);
        // The kernel copies where it can; bytes that pass through here go
        // out through WriteBlock like every other written byte.
        loff_t src = data;
        loff_t dst = to + (data - from);
        // Bytes that moved by other than whole pages (an insert or delete
        // before them) go faster through a buffer than through the
        // kernel's page-by-page copy.
        bool kernel = (to - from) % kPageAlign == 0;
        while (src < stop) {
            if (kernel) {
                const ssize_t n = ::copy_file_range(in, &src, s.Fd, &dst, size_t(stop - src), 0);
                if (n > 0)
                    continue;
                if (n == 0)
                    return frSourceLost; // the file ended early
                if (errno == EINTR)
                    continue;
                if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP
                    && errno != EBADF) {
                    D->Error = SystemError(errno);
                    return frWriteShort;
                }
                kernel = false;
            }
            s.Buffer.resize(size_t(kWriteBlock));
            unsigned char* buffer = s.Buffer.data();
            const qint64 n = qMin<qint64>(stop - src, kWriteBlock);
            if (HexPread(in, src, buffer, n) != n)
                return frSourceLost;
            if (!WriteOut(dst, buffer, n))
                return frWriteShort;
            src += n;
            dst += n;
        }
        pos = stop;
    }
    return frOk;
}

bool THexDocument::SaveStep(qint64 budget)
{
    TState& d = *D;
    TSave& s = *d.Save;
    while (s.Op < s.Ops.size() && budget > 0) {
        const THexSaveOp& op = s.Ops[s.Op];
        int result = frOk;
        qint64 n = qMin(op.Length - s.OpDone, budget);
        if (op.Kind == THexSaveOp::Source) {
            n = qMin(n, kCopyBlock);
            result = CopySource(op.From + s.OpDone, op.Dest + s.OpDone, n);
        } else {
            n = qMin(n, kWriteBlock);
            const unsigned char* bytes = op.Kind == THexSaveOp::Memory ? d.Memory : d.Pieces.AddedBytes();
            if (!WriteOut(op.Dest + s.OpDone, bytes + op.From + s.OpDone, n))
                result = frWriteShort;
        }
        if (result != frOk) {
            if (result == frSourceLost)
                d.Error = kSourceLost;
            else if (d.Error.isEmpty())
                d.Error = QStringLiteral("Not every byte could be written (is the disk full?).");
            s.Failure = result;
            return true;
        }
        s.OpDone += n;
        s.Done += n;
        budget -= n;
        if (s.OpDone == op.Length) {
            ++s.Op;
            s.OpDone = 0;
        }
    }
    return s.Op >= s.Ops.size();
}

int THexDocument::FinishSave()
{
    TState& d = *D;
    TSave& s = *d.Save;
    if (s.InPlace) {
        if ((s.Length != s.OldSize && ::ftruncate(s.Fd, off_t(s.Length)) != 0) || ::fsync(s.Fd) != 0) {
            d.Error = SystemError(errno);
            AbortSave();
            return frWriteShort;
        }
    } else {
        // The bytes reach the disk before the name does: after a crash the
        // name holds the old file or the whole new one.
        if (::fsync(s.Fd) != 0) {
            d.Error = SystemError(errno);
            AbortSave();
            return frWriteShort;
        }
        ::fchmod(s.Fd, s.Mode);
        // The owner and group of the file replaced, where we may give them;
        // otherwise at least its group, or the new file stays ours.
        if (s.TargetExists && (s.Owner != ::geteuid() || s.Group != ::getegid())) {
            if (::fchown(s.Fd, s.Owner, s.Group) != 0) {
                const int group = ::fchown(s.Fd, uid_t(-1), s.Group);
                Q_UNUSED(group);
            }
        }
        const QByteArray from = QFile::encodeName(s.Temporary);
        if (::rename(from.constData(), QFile::encodeName(s.Target).constData()) != 0) {
            d.Error = SystemError(errno);
            AbortSave();
            return frWriteShort;
        }
        SyncFolder(s.Target);
    }
    // From now on the document reads from the file it saved.
    const unsigned revision = d.Log.Revision;
    s.Out.close();
    const int fd = s.Fd;
    s.Fd = -1;
    const THexFileStamp stamp = HexStampOfFd(fd);
    if (d.Source) {
        // The file read so far may be the version just replaced. The log's
        // steps whose old bytes were not kept go with it; the added bytes
        // stay while the log refers to them.
        d.Log.Keep(s.KeepUndo, s.KeepRedo);
        HexCloseLater(d.Source->TakeFd());
        d.Source.reset(new THexFileSource(fd, s.Length, d.PageSize, d.CacheSize));
        d.Pieces.Reset(s.Length, d.LogHoldsRanges());
    } else {
        ::close(fd);
    }
    d.Path = s.Path;
    d.ReadOnly = false; // a device saved to a file: the file can be written
    d.Stamp = stamp;
    d.Reported = 0;
    d.ReadFault = false;
    d.Error.clear();
    d.Save.reset();
    MarkSavePoint();
    if (d.Log.Revision != revision)
        emit ChangeLogUpdated();
    return frOk;
}

void THexDocument::AbortSave()
{
    TState& d = *D;
    if (!d.Save)
        return;
    TSave& s = *d.Save;
    s.Out.close();
    if (s.Fd >= 0) {
        if (s.InPlace) {
            // Put back what was overwritten, straight to the file.
            for (const auto& [at, old] : s.Backup) {
                const auto* bytes = reinterpret_cast<const unsigned char*>(old.constData());
                qint64 done = 0;
                while (done < old.size()) {
                    const ssize_t n = ::pwrite(s.Fd, bytes + done, size_t(old.size() - done), off_t(at + done));
                    if (n <= 0 && errno != EINTR)
                        break;
                    done += qMax<ssize_t>(n, 0);
                }
            }
            // Nothing more can be done when even this fails; the error
            // that stopped the save is the one to report.
            const int cut = ::ftruncate(s.Fd, off_t(s.OldSize));
            Q_UNUSED(cut);
            ::fsync(s.Fd);
        }
        ::close(s.Fd);
    }
    if (!s.Temporary.isEmpty())
        ::unlink(QFile::encodeName(s.Temporary).constData());
    d.Save.reset();
}
