#pragma once
// Inside the hex document (not installed): the changes over a file as a
// piece table. The document's bytes are a sequence of pieces, each a run of
// bytes taken either from the file (the source) or from the added bytes, a
// buffer that holds every byte that was written and never shrinks while the
// document lives. Memory therefore grows with the bytes written, not with
// the file.
//
// Overwriting turns the file's bytes in the range into a piece of added
// bytes; overwriting added bytes again writes over them where they are (each
// added byte belongs to exactly one piece), so typing over the same byte
// twice costs nothing more. Neighbouring pieces that continue each other
// (the next byte of the same store) merge, so a run of typed bytes is one
// piece.
//
// The same table holds inserted and removed ranges: a piece's Start is its
// place in the document and From its place in its store, which need not be
// equal; an insert is a new added piece with the Starts after it moved on, a
// removal drops a range of pieces. Every walk over the table (reading,
// saving) goes through Start and From and assumes nothing else.
#include <QtGlobal>

#include <vector>

struct THexPiece
{
    qint64 Start;  // offset in the document
    qint64 Length; // > 0
    qint64 From;   // offset in its store: the file, or the added bytes
    bool Added;    // true: from the added bytes
};

// One edit of a splice: at Offset (in the document as it is before the
// splice), Remove bytes go and the pieces of Insert (each Start counted from
// the edit's offset, one after another) come in.
struct THexSplice
{
    qint64 Offset;
    qint64 Remove;
    std::vector<THexPiece> Insert;
};

class THexPieces
{
public:
    // One piece of the file's first `size` bytes (none when size is 0), and
    // no added bytes, unless `keepAdded`: bytes the change log still refers
    // to stay where they are.
    void Reset(qint64 size, bool keepAdded = false);

    qint64 Size() const { return FSize; }
    const std::vector<THexPiece>& Pieces() const { return FPieces; }
    const unsigned char* AddedBytes() const { return FAdded.data(); }
    qint64 AddedSize() const { return qint64(FAdded.size()); }
    // Every byte is the file's byte at its own offset.
    bool Pristine() const;

    // The index of the piece holding `offset` (0 <= offset < Size()).
    size_t IndexAt(qint64 offset) const;

    // Writes `length` bytes from `offset`; the range must lie inside.
    void Overwrite(qint64 offset, const unsigned char* bytes, qint64 length);

    // Appends `length` bytes to the added bytes and returns them as pieces
    // (one, Start 0; none for no bytes). They belong to no piece of the
    // document until a splice puts them in.
    std::vector<THexPiece> AddBytes(const unsigned char* bytes, qint64 length);
    // Applies the edits, sorted by offset, not overlapping and inside the
    // document, in one pass over the table; `removed` (when given) receives
    // the pieces each edit took out, Start counted from its offset. Pieces
    // that continue each other merge. Inserting pieces of the added bytes
    // that the table holds already is the caller's to avoid: an overwrite
    // writes added bytes where they are.
    void Splice(const std::vector<THexSplice>& edits, std::vector<std::vector<THexPiece>>* removed = nullptr);

private:
    // Makes a piece start at `offset` (splitting the one holding it) and
    // returns its index; Size() gives the number of pieces.
    size_t SplitAt(qint64 offset);
    // Merges neighbours that continue each other, from `first` to `last`.
    void MergeAround(size_t first, size_t last);

    std::vector<THexPiece> FPieces;
    std::vector<unsigned char> FAdded;
    qint64 FSize = 0;
};
