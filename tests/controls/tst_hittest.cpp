#include "Hittest.h"

#include <QtTest>

#include <memory>

// One band or cell to add: kind 'r' = GetRow(a, b, create), 'c' = add cell
// {a, b, c, d} to the band got last, 'x' = clear the band got last.
struct THitStep
{
    char Kind;
    int A, B, C, D;
};
using THitSteps = QList<THitStep>;
Q_DECLARE_METATYPE(THitStep)

class THitTestTest : public QObject
{
    Q_OBJECT

private slots:
    void Find_data();
    void Find();
    void GetRowWithoutCreateLeavesListUnchanged();
    void Grows_data();
    void Grows();
};

void THitTestTest::Find_data()
{
    QTest::addColumn<THitSteps>("steps");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("value"); // -1: none
    QTest::addColumn<int>("tag");

    const THitSteps twoCells{{'r', 10, 19, 1, 0}, {'c', 0, 9, 100, 0}, {'c', 10, 19, 101, 1}};
    QTest::newRow("empty list") << THitSteps{} << QPoint(0, 0) << -1 << 0;
    QTest::newRow("first cell") << twoCells << QPoint(5, 12) << 100 << 0;
    QTest::newRow("cell right bound inclusive") << twoCells << QPoint(9, 12) << 100 << 0;
    QTest::newRow("cell left bound inclusive") << twoCells << QPoint(10, 12) << 101 << 1;
    QTest::newRow("band top inclusive") << twoCells << QPoint(5, 10) << 100 << 0;
    QTest::newRow("band bottom inclusive") << twoCells << QPoint(5, 19) << 100 << 0;
    QTest::newRow("above the band") << twoCells << QPoint(5, 9) << -1 << 0;
    QTest::newRow("below the band") << twoCells << QPoint(5, 20) << -1 << 0;
    QTest::newRow("right of every cell") << twoCells << QPoint(20, 12) << -1 << 0;
    QTest::newRow("later cell wins")
        << THitSteps{{'r', 0, 9, 1, 0}, {'c', 0, 20, 1, 0}, {'c', 5, 8, 2, 0}, {'c', 30, 40, 3, 0}} << QPoint(6, 0)
        << 2 << 0;
    QTest::newRow("later band wins")
        << THitSteps{{'r', 0, 20, 1, 0}, {'c', 0, 9, 1, 0}, {'r', 10, 29, 1, 0}, {'c', 0, 9, 2, 0}} << QPoint(3, 15)
        << 2 << 0;
    QTest::newRow("later band wins even without a cell at x")
        << THitSteps{{'r', 0, 20, 1, 0}, {'c', 0, 9, 1, 0}, {'r', 10, 29, 1, 0}, {'c', 50, 60, 2, 0}}
        << QPoint(3, 15) << -1 << 0;
    QTest::newRow("earlier band still serves its own rows")
        << THitSteps{{'r', 0, 20, 1, 0}, {'c', 0, 9, 1, 0}, {'r', 10, 29, 1, 0}, {'c', 50, 60, 2, 0}}
        << QPoint(3, 5) << 1 << 0;
    QTest::newRow("cleared band finds nothing") << twoCells + THitSteps{{'x', 0, 0, 0, 0}} << QPoint(5, 12) << -1 << 0;
    QTest::newRow("cleared band refilled")
        << twoCells + THitSteps{{'x', 0, 0, 0, 0}, {'c', 0, 9, 7, 1}} << QPoint(5, 12) << 7 << 1;
    QTest::newRow("band got again is the same band")
        << twoCells + THitSteps{{'r', 10, 19, 1, 0}, {'c', 0, 9, 8, 0}} << QPoint(5, 12) << 8 << 0;
    QTest::newRow("reversed interval never contains")
        << THitSteps{{'r', 0, 9, 1, 0}, {'c', 9, 0, 1, 0}} << QPoint(5, 5) << -1 << 0;
    QTest::newRow("negative coordinates")
        << THitSteps{{'r', -20, -10, 1, 0}, {'c', -5, -1, 4, 0}} << QPoint(-1, -20) << 4 << 0;
}

void THitTestTest::Find()
{
    QFETCH(THitSteps, steps);
    QFETCH(QPoint, point);
    QFETCH(int, value);
    QFETCH(int, tag);

    auto list = std::make_unique<THitList>();
    HitListClear(list.get());
    THitRow* row = nullptr;
    for (const THitStep& s : steps) {
        if (s.Kind == 'r')
            row = HitListGetRow(list.get(), s.A, s.B, s.C);
        else if (s.Kind == 'c')
            HitRowAdd(row, s.A, s.B, s.C, s.D);
        else
            HitRowClear(row);
    }
    const THitCell* cell = HitListFind(list.get(), point.x(), point.y());
    if (value < 0) {
        QVERIFY(!cell);
        return;
    }
    QVERIFY(cell);
    QCOMPARE(cell->Value, value);
    QCOMPARE(cell->Tag, tag);
}

void THitTestTest::GetRowWithoutCreateLeavesListUnchanged()
{
    auto list = std::make_unique<THitList>();
    HitRowAdd(HitListGetRow(list.get(), 0, 9, 1), 0, 5, 1, 0);
    QVERIFY(!HitListGetRow(list.get(), 10, 19, 0));
    QCOMPARE(list->Count, 1);
    HitListClear(list.get());
    QCOMPARE(list->Count, 0);
    QVERIFY(!HitListGetRow(list.get(), 0, 9, 0));
    QVERIFY(!HitListFind(list.get(), 2, 2));
}

void THitTestTest::Grows_data()
{
    QTest::addColumn<int>("bands");
    QTest::addColumn<int>("cells");
    QTest::newRow("many bands") << 300 << 2;
    QTest::newRow("many cells") << 2 << 300;
    QTest::newRow("both") << 200 << 200;
}

// However many bands and cells are added, every one is kept and found, and
// refilling an emptied table keeps finding what was added last. A band got
// before many others were added can still be filled (as a painter fills the
// band of the row it paints), and a cell carries a 64-bit value.
void THitTestTest::Grows()
{
    QFETCH(int, bands);
    QFETCH(int, cells);
    auto list = std::make_unique<THitList>();
    for (int round = 0; round < 2; ++round) {
        HitListClear(list.get());
        THitRow* first = nullptr;
        for (int b = 0; b < bands; ++b) {
            THitRow* row = HitListGetRow(list.get(), b * 10, b * 10 + 9, 1);
            QVERIFY(row);
            if (b == 0)
                first = row;
            for (int c = 0; c < cells; ++c)
                HitRowAdd(row, c * 2, c * 2 + 1, round * 100000 + b * 1000 + c, round);
            QCOMPARE(row->Count, cells);
        }
        QCOMPARE(list->Count, bands);
        const qint64 far = (qint64(round) + 1) << 40;
        HitRowAdd(first, -10, -5, far, 7);
        const THitCell* late = HitListFind(list.get(), -7, 5);
        QVERIFY(late && late->Value == far && late->Tag == 7);
        for (const QPoint& bc : {QPoint(0, 0), QPoint(cells - 1, bands - 1), QPoint(cells / 2, bands / 2)}) {
            const THitCell* cell = HitListFind(list.get(), bc.x() * 2 + 1, bc.y() * 10 + 9);
            QVERIFY(cell);
            QCOMPARE(cell->Value, round * 100000 + bc.y() * 1000 + bc.x());
        }
        QVERIFY(!HitListFind(list.get(), cells * 2, 0));
        QVERIFY(!HitListFind(list.get(), 0, bands * 10));
    }
}

QTEST_MAIN(THitTestTest)
#include "tst_hittest.moc"
