// Rules of the undo/redo history on its own, without a control.
#include "Changelog.h"

#include <QtTest>

class TestChangeLog : public QObject
{
    Q_OBJECT

private slots:
    void mergesOnlyUnsealedSameOffsetSameKind_data();
    void mergesOnlyUnsealedSameOffsetSameKind();
    void fullUndoStackDropsOldestBeforeMerging();
    void depthAndStateIds();
};

void TestChangeLog::mergesOnlyUnsealedSameOffsetSameKind_data()
{
    QTest::addColumn<int>("secondKind");
    QTest::addColumn<int>("secondOffset");
    QTest::addColumn<bool>("sealBetween");
    QTest::addColumn<int>("expectedCount");

    QTest::newRow("same byte, unsealed: merged") << 0 << 7 << false << 1;
    QTest::newRow("same byte, sealed: new entry") << 0 << 7 << true << 2;
    QTest::newRow("other offset: new entry") << 0 << 8 << false << 2;
    QTest::newRow("word over byte entry: new entry") << 1 << 7 << false << 2;
}

void TestChangeLog::mergesOnlyUnsealedSameOffsetSameKind()
{
    QFETCH(int, secondKind);
    QFETCH(int, secondOffset);
    QFETCH(bool, sealBetween);
    QFETCH(int, expectedCount);

    TChangeLog log;
    log.AddChange(0, 7, 0x10, 0x40);
    log.RedoCount = 3; // a merge must not touch the redo stack
    if (sealBetween)
        log.Seal();
    log.AddChange(secondKind, secondOffset, 0x40, 0x41);

    QCOMPARE(log.UndoCount, expectedCount);
    if (expectedCount == 1) {
        QCOMPARE(log.UndoEntries[0].OldValue, 0x10u);
        QCOMPARE(log.UndoEntries[0].NewValue, 0x41u);
        QCOMPARE(log.RedoCount, 3);
    } else {
        QCOMPARE(log.UndoEntries[1].Kind, secondKind);
        QCOMPARE(log.UndoEntries[1].Offset, secondOffset);
        QCOMPARE(log.UndoEntries[1].Flags, 0);
        QCOMPARE(log.RedoCount, 0);
    }
}

void TestChangeLog::fullUndoStackDropsOldestBeforeMerging()
{
    TChangeLog log;
    for (int i = 0; i <= TChangeLog::Capacity; ++i) // 1025 changes
        log.AddChange(0, i, 0, 1);
    QCOMPARE(log.UndoCount, 1024);
    QCOMPARE(log.UndoEntries[0].Offset, 1);
    QCOMPARE(log.UndoEntries[1023].Offset, 1024);

    // The drop happens even when the change then merges into the newest
    // entry, so a full stack shrinks by one.
    log.AddChange(0, 1024, 1, 2);
    QCOMPARE(log.UndoCount, 1023);
    QCOMPARE(log.UndoEntries[1022].Offset, 1024);
    QCOMPARE(log.UndoEntries[1022].NewValue, 2u);
}

// A depth of 0 keeps everything; a smaller depth drops the oldest undo and
// the farthest redo entries. A state keeps its identity when undo or redo
// leads back to it, also once the entries under it were dropped.
void TestChangeLog::depthAndStateIds()
{
    TChangeLog log;
    log.SetDepth(0);
    for (int i = 0; i < 3000; ++i)
        log.AddChange(0, i, 0, 1);
    QCOMPARE(log.UndoCount, 3000);
    const unsigned long long edited = log.StateId();
    TChangeEntry e;
    for (int i = 0; i < 10; ++i)
        QVERIFY(log.TakeUndo(e));
    const unsigned long long undone = log.StateId();
    QVERIFY(undone != edited);

    log.SetDepth(5);
    QCOMPARE(log.UndoCount, 5);
    QCOMPARE(log.UndoEntries.front().Offset, 2985);
    QCOMPARE(log.RedoCount, 5);
    QCOMPARE(log.RedoEntries.back().Offset, 2990); // the next to redo stays
    QCOMPARE(log.StateId(), undone);
    while (log.TakeUndo(e))
        ;
    const unsigned long long bottom = log.StateId();
    QCOMPARE(log.RedoCount, 5); // full: the undone entries were not taken
    log.Clear();
    QCOMPARE(log.StateId(), bottom); // the bytes did not change
    log.AddChange(1, 7, 0, 1, 2);
    QVERIFY(log.StateId() != bottom);
}

QTEST_APPLESS_MAIN(TestChangeLog)
#include "tst_changelog.moc"
