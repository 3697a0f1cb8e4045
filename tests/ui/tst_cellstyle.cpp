#include <QtTest>

#include "objectlist/CellStyle.h"

namespace {

constexpr uint32_t kListText = 0x000000;
constexpr uint32_t kListBack = 0xFFFFFF;

CellStyle Style(uint32_t flags, uint32_t text = 0, uint32_t back = 0) {
    return CellStyle{flags, text, back};
}

ResolvedCellStyle Resolve(const CellStyle& cell, const CellStyle& row, const CellStyle& column,
                          FontAttributes listFont = {}) {
    return ResolveCellStyle(cell, row, &column, kListText, kListBack, listFont);
}

}  // namespace

class TestCellStyle : public QObject {
    Q_OBJECT
private slots:
    void coloursFallFromCellToRowToColumnToList();
    void textAndBackgroundAreChosenIndependently();
    void hideColumnBitOnCellOrRow();
    void hideRowBitOnCellOrColumn();
    void fontsMergeColumnThenRowThenCell();
    void fontOfHiddenLevelDoesNotCount();
    void singleFontDiffersFromBoldListFont();
};

void TestCellStyle::coloursFallFromCellToRowToColumnToList() {
    const CellStyle column = Style(0x30, 0x000011, 0x0000AA);
    const CellStyle row = Style(0x30, 0x001100, 0x00AA00);
    const CellStyle cell = Style(0x30, 0x110000, 0xAA0000);

    ResolvedCellStyle r = Resolve(cell, row, column);
    QCOMPARE(r.textColour, 0x110000u);
    QCOMPARE(r.backColour, 0xAA0000u);

    r = Resolve(Style(0), row, column);
    QCOMPARE(r.textColour, 0x001100u);
    QCOMPARE(r.backColour, 0x00AA00u);

    r = Resolve(Style(0), Style(0), column);
    QCOMPARE(r.textColour, 0x000011u);
    QCOMPARE(r.backColour, 0x0000AAu);

    // Colours without their bit are ignored.
    r = Resolve(Style(0, 0x123456, 0x654321), Style(0, 1, 2), Style(0, 3, 4));
    QCOMPARE(r.textColour, kListText);
    QCOMPARE(r.backColour, kListBack);
    QVERIFY(!r.ownFont);

    // No column style at all (a list without column styles).
    r = ResolveCellStyle(Style(0), row, nullptr, kListText, kListBack, {});
    QCOMPARE(r.textColour, 0x001100u);
}

void TestCellStyle::textAndBackgroundAreChosenIndependently() {
    // The cell gives only the text colour, the row only the background.
    const ResolvedCellStyle r =
        Resolve(Style(0x10, 0xC00000, 0x111111), Style(0x20, 0x222222, 0xF0F0AA), Style(0));
    QCOMPARE(r.textColour, 0xC00000u);
    QCOMPARE(r.backColour, 0xF0F0AAu);
}

void TestCellStyle::hideColumnBitOnCellOrRow() {
    const CellStyle column = Style(0x30 | 0x01, 0x0000FF, 0x00FFFF);
    // 0x40 on the cell: the column neither colours nor bolds it.
    ResolvedCellStyle r = Resolve(Style(0x40), Style(0), column);
    QCOMPARE(r.textColour, kListText);
    QCOMPARE(r.backColour, kListBack);
    QVERIFY(!r.font.bold);
    // 0x40 on the row: same for every cell of the row.
    r = Resolve(Style(0), Style(0x40), column);
    QCOMPARE(r.textColour, kListText);
    QVERIFY(!r.font.bold);
    // Without the bit the column counts.
    r = Resolve(Style(0), Style(0), column);
    QCOMPARE(r.textColour, 0x0000FFu);
    QVERIFY(r.font.bold);
}

void TestCellStyle::hideRowBitOnCellOrColumn() {
    const CellStyle row = Style(0x30 | 0x02, 0xC00000, 0xF0F0AA);
    const CellStyle column = Style(0x10, 0x0000FF, 0);
    // 0x80 on the cell: the row does not count, the column does.
    ResolvedCellStyle r = Resolve(Style(0x80), row, column);
    QCOMPARE(r.textColour, 0x0000FFu);
    QCOMPARE(r.backColour, kListBack);
    QVERIFY(!r.font.italic);
    // 0x80 on the column hides the row for the whole column.
    r = Resolve(Style(0), row, Style(0x80 | 0x10, 0x0000FF, 0));
    QCOMPARE(r.textColour, 0x0000FFu);
    QCOMPARE(r.backColour, kListBack);
    QVERIFY(!r.font.italic);
    // Both levels hidden: only the cell and the list are left.
    r = Resolve(Style(0x80 | 0x40), row, column);
    QCOMPARE(r.textColour, kListText);
    QCOMPARE(r.backColour, kListBack);
}

void TestCellStyle::fontsMergeColumnThenRowThenCell() {
    ResolvedCellStyle r = Resolve(Style(0x04), Style(0x01), Style(0x02));
    QVERIFY(r.ownFont);
    QVERIFY(r.font.bold);
    QVERIFY(r.font.italic);
    QVERIFY(r.font.underline);
    QVERIFY(!r.font.strikeOut);

    // A level without font bits gives no font; colours alone leave the list's font.
    r = Resolve(Style(0x30, 1, 2), Style(0x30, 3, 4), Style(0));
    QVERIFY(!r.ownFont);
    QCOMPARE(r.font, FontAttributes{});

    // The zone cell of a row outside every zone: italic on top of the row's colours.
    r = Resolve(Style(0x32, 0xC00000, 0xFFFFFF), Style(0x30, 0xC00000, 0xFFFFFF), Style(0));
    QVERIFY(r.font.italic);
    QVERIFY(!r.font.bold);
    QCOMPARE(r.textColour, 0xC00000u);

    r = Resolve(Style(0x08), Style(0), Style(0));
    QVERIFY(r.font.strikeOut);
}

void TestCellStyle::fontOfHiddenLevelDoesNotCount() {
    const ResolvedCellStyle r = Resolve(Style(0x80), Style(0x01), Style(0x02));
    QVERIFY(!r.font.bold);
    QVERIFY(r.font.italic);
}

void TestCellStyle::singleFontDiffersFromBoldListFont() {
    // On a bold list, a level asking for italic only has a font of weight 400: the level
    // font is used as it is, so the text is italic and not bold.
    FontAttributes boldList;
    boldList.bold = true;
    ResolvedCellStyle r = Resolve(Style(0x02), Style(0), Style(0), boldList);
    QVERIFY(r.font.italic);
    QVERIFY(!r.font.bold);
    // No level with font bits: the list's font unchanged.
    r = Resolve(Style(0x30), Style(0), Style(0), boldList);
    QVERIFY(r.font.bold);
    QVERIFY(!r.ownFont);
}

QTEST_APPLESS_MAIN(TestCellStyle)
#include "tst_cellstyle.moc"
