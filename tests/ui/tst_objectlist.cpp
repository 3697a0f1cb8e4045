#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QPainter>
#include <QtTest>

#include "app/Icons.h"
#include "objectlist/CellDelegate.h"
#include "objectlist/ObjectListCtrl.h"
#include "objectlist/ObjectListModel.h"
#include "objectlist/RowColouring.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kPaleYellow = 0xF0F0AA;
constexpr uint32_t kDarkRed = 0xC00000;

// A main list with the given column ids as columns, `rows` rows.
void Build(CObjectListCtrl& list, const std::vector<int32_t>& ids, int rows) {
    for (int32_t id : ids) {
        list.InsertColumn(QString::number(id), 40);
    }
    for (int i = 0; i < rows; ++i) {
        list.InsertRow(i);
    }
}

std::vector<int32_t> AllIds() {
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
}

QString ShotsDir() {
    return qEnvironmentVariable("SENTREL_SHOTS_DIR");
}

}  // namespace

class TestObjectList : public QObject {
    Q_OBJECT
private slots:
    void modelPassesTheTester();
    void rowsColumnsAndCells();
    void columnsCarryTheirCellStyles();
    void rowColouringForEachState();
    void removingZoneColumnLeavesOthersUnchanged();
    void selectionIsWhiteOnNavyKeepingTheFont();
    void selectedRowPixels();
    void operatorResizeIsReportedProgrammaticIsNot();
    void headerClickReportsPosition();
    void tooltipComesFromProvider();
    void manyRowsUpdateInOneAnnouncement();
    void listImagesAreDistinct();
};

void TestObjectList::modelPassesTheTester() {
    CObjectListCtrl list;
    QAbstractItemModelTester tester(list.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    Build(list, AllIds(), 5);
    list.SetCell(2, 6, QStringLiteral("12 - Truck"), 0);
    list.SetRowStyle(1, 0x31);
    list.DeleteRow(0);
    list.InsertRow(100);
    list.DeleteColumn(0);
    list.InsertColumn(QStringLiteral("x"), 20);
    list.FlushChanges();
    list.DeleteAllRows();
    list.DeleteAllColumns();
    QCOMPARE(list.RowCount(), 0);
    QCOMPARE(list.ColumnCount(), 0);
}

void TestObjectList::rowsColumnsAndCells() {
    CObjectListCtrl list;
    list.SetImageList(Icons::ListIcons());
    QCOMPARE(list.InsertColumn(QStringLiteral("Объект"), 150), 0);
    QCOMPARE(list.InsertColumn(QStringLiteral("Район"), 80), 1);
    QCOMPARE(list.ColumnWidths(), (std::vector<int>{150, 80}));
    QCOMPARE(list.Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Район"));

    QCOMPARE(list.InsertRow(0), 0);
    QCOMPARE(list.InsertRow(-5), 1);  // out of range: appended
    QCOMPARE(list.InsertRow(0), 0);
    QCOMPARE(list.RowCount(), 3);

    list.SetCellText(1, 0, QStringLiteral("7 - Bus"));
    list.SetCellImage(1, 1, Icons::kAlarm1);
    list.SetCell(2, 0, QStringLiteral("12 - Truck"), Icons::kSensorOn);
    list.SetCellText(9, 0, QStringLiteral("ignored"));
    list.SetCellText(0, 9, QStringLiteral("ignored"));
    QCOMPARE(list.CellText(1, 0), QStringLiteral("7 - Bus"));
    QCOMPARE(list.CellImage(1, 1), int(Icons::kAlarm1));
    QCOMPARE(list.CellImage(0, 0), -1);
    const QModelIndex withImage = list.Model()->index(2, 0);
    QCOMPARE(withImage.data(Qt::DisplayRole).toString(), QStringLiteral("12 - Truck"));
    QVERIFY(withImage.data(Qt::DecorationRole).canConvert<QIcon>());
    QVERIFY(!list.Model()->index(0, 0).data(Qt::DecorationRole).isValid());

    // Deleting the first column moves the second into its place, cells included.
    QVERIFY(list.DeleteColumn(0));
    QCOMPARE(list.ColumnCount(), 1);
    QCOMPARE(list.CellImage(1, 0), int(Icons::kAlarm1));
    QCOMPARE(list.ColumnWidth(0), 80);

    QVERIFY(list.DeleteRow(0));
    QVERIFY(!list.DeleteRow(7));
    QCOMPARE(list.CellImage(0, 0), int(Icons::kAlarm1));

    list.SelectRow(0);
    list.SelectRow(1);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{0, 1}));
    list.SelectRow(0, false);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{1}));
}

void TestObjectList::columnsCarryTheirCellStyles() {
    CObjectListCtrl list;
    Build(list, {6, 7}, 2);
    list.SetCellTextColour(0, 1, 0x123456);
    list.SetCellStyle(0, 1, 0x12);
    // A column added later starts with empty styles in every row.
    list.InsertColumn(QStringLiteral("new"), 30);
    QCOMPARE(list.GetCellStyle(0, 2), CellStyle{});
    QCOMPARE(list.GetCellStyle(1, 2), CellStyle{});
    // Removing the first column moves the styles with their cells.
    list.DeleteColumn(0);
    QCOMPARE(list.GetCellStyle(0, 0), (CellStyle{0x12, 0x123456, 0}));
    QCOMPARE(list.PaintStyle(0, 0).textColour, 0x123456u);
    QVERIFY(list.PaintStyle(0, 0).font.italic);

    // Column styles take part in the choice.
    list.SetColumnTextColour(1, 0x00AA00);
    list.SetColumnStyle(1, 0x10);
    QCOMPARE(list.PaintStyle(1, 1).textColour, 0x00AA00u);
    list.SetRowTextColour(1, 0xAA0000);
    list.SetRowStyle(1, 0x10);
    QCOMPARE(list.PaintStyle(1, 1).textColour, 0xAA0000u);
}

void TestObjectList::rowColouringForEachState() {
    CObjectListCtrl list;
    Build(list, AllIds(), 1);
    const RowColourColumns columns = RowColourColumns::FromColumnIds(AllIds());
    QCOMPARE(columns.zoneColumn, 7);
    QCOMPARE(columns.iconColumns[3], 3);

    struct Case {
        int state;
        uint32_t back;  // of columns 6..11
        uint32_t text;
        bool zoneItalic;
    };
    const Case cases[] = {
        {0, kWhite, kBlack, false},
        {kRowNoZone, kWhite, kBlack, true},
        {kRowStaleStamp, kWhite, kDarkRed, false},
        {kRowSilent, kPaleYellow, kBlack, false},
        {kRowSilent | kRowStaleStamp | kRowNoZone, kPaleYellow, kDarkRed, true},
        {0, kWhite, kBlack, false},  // back to normal after all of it
    };
    for (const Case& c : cases) {
        ApplyRowColouring(list, 0, c.state, columns);
        for (int column = 0; column < 12; ++column) {
            const ResolvedCellStyle style = list.PaintStyle(0, column);
            const QByteArray where = QByteArray("state ") + QByteArray::number(c.state) +
                                     " column " + QByteArray::number(column);
            if (column <= 5) {
                QVERIFY2(style.textColour == kBlack && style.backColour == kWhite, where);
                QVERIFY2(!style.font.italic, where);
            } else {
                QVERIFY2(style.textColour == c.text, where);
                QVERIFY2(style.backColour == c.back, where);
                QVERIFY2(style.font.italic == (column == 7 && c.zoneItalic), where);
            }
        }
    }
    QCOMPARE(list.GetRowStyle(0).flags, 0x30u);
    QCOMPARE(list.GetCellStyle(0, 7).flags, 0x30u);
    ApplyRowColouring(list, 0, kRowNoZone, columns);
    QCOMPARE(list.GetCellStyle(0, 7).flags, 0x32u);
    QCOMPARE(list.GetCellStyle(0, 2).flags, 0x30u);
}

void TestObjectList::removingZoneColumnLeavesOthersUnchanged() {
    const std::vector<int32_t> withZone = {0, 1, 6, 7, 8, 9};
    const std::vector<int32_t> withoutZone = {0, 1, 6, 8, 9};
    CObjectListCtrl a;
    CObjectListCtrl b;
    Build(a, withZone, 1);
    Build(b, withoutZone, 1);
    const RowColourColumns ca = RowColourColumns::FromColumnIds(withZone);
    const RowColourColumns cb = RowColourColumns::FromColumnIds(withoutZone);
    QCOMPARE(cb.zoneColumn, -1);
    for (int state = 0; state < 8; ++state) {
        ApplyRowColouring(a, 0, state, ca);
        ApplyRowColouring(b, 0, state, cb);
        for (size_t i = 0, j = 0; i < withZone.size(); ++i) {
            if (withZone[i] == 7) {
                continue;
            }
            QCOMPARE(b.PaintStyle(0, static_cast<int>(j)), a.PaintStyle(0, static_cast<int>(i)));
            ++j;
        }
    }
}

void TestObjectList::selectionIsWhiteOnNavyKeepingTheFont() {
    CObjectListCtrl list;
    Build(list, AllIds(), 2);
    ApplyRowColouring(list, 0, kRowSilent | kRowStaleStamp | kRowNoZone,
                      RowColourColumns::FromColumnIds(AllIds()));
    list.SetCellStyle(0, 6, 0x01);  // bold object name

    QStyleOptionViewItem base;
    base.initFrom(&list);
    base.state |= QStyle::State_Selected | QStyle::State_HasFocus;
    const QModelIndex zone = list.Model()->index(0, 7);
    const QModelIndex object = list.Model()->index(0, 6);
    QStyleOptionViewItem opt = list.Delegate()->PaintOption(base, zone);
    QVERIFY(!(opt.state & QStyle::State_Selected));
    QCOMPARE(opt.backgroundBrush.color(), QColor(0, 0, 128));
    QCOMPARE(opt.palette.color(QPalette::Text), QColor(255, 255, 255));
    QVERIFY(opt.font.italic());
    opt = list.Delegate()->PaintOption(base, object);
    QVERIFY(opt.font.bold());
    QCOMPARE(opt.palette.color(QPalette::Text), QColor(255, 255, 255));

    // Not selected: the cell's own colours again.
    base.state &= ~QStyle::State_Selected;
    opt = list.Delegate()->PaintOption(base, zone);
    QCOMPARE(opt.backgroundBrush.color(), QColor(240, 240, 170));
    QCOMPARE(opt.palette.color(QPalette::Text), QColor(192, 0, 0));

    // Other selection colours can be set.
    list.SetSelectionBackColour(0x008000);
    base.state |= QStyle::State_Selected;
    opt = list.Delegate()->PaintOption(base, zone);
    QCOMPARE(opt.backgroundBrush.color(), QColor(0, 128, 0));
}

void TestObjectList::selectedRowPixels() {
    CObjectListCtrl list;
    list.SetImageList(Icons::ListIcons());
    list.resize(900, 260);
    const std::vector<int32_t> ids = AllIds();
    const QStringList headers = {"",
                                 "1",
                                 "2",
                                 "3",
                                 "4",
                                 "5",
                                 "Объект",
                                 "Район",
                                 "Время нахождения",
                                 "Последнее сообщение",
                                 "Скорость, км/ч",
                                 "Путь, км"};
    for (size_t i = 0; i < ids.size(); ++i) {
        list.InsertColumn(headers[static_cast<int>(i)], i >= 1 && i <= 5 ? 18 : 90);
    }
    const RowColourColumns columns = RowColourColumns::FromColumnIds(ids);
    const int states[] = {
        0, kRowNoZone, kRowStaleStamp, kRowSilent, kRowSilent | kRowStaleStamp | kRowNoZone, 0};
    const char* names[] = {"0001 - В зоне", "0002 - Вне зон",   "0003 - Старая метка",
                           "0004 - Молчит", "0005 - Всё сразу", "0006 - Выделен"};
    const int eventIcons[] = {Icons::kNone,
                              Icons::kPowerOn1,
                              Icons::kArrivedForbidden,
                              Icons::kLeftDestination,
                              Icons::kAlarm1,
                              Icons::kArrivedDestination};
    for (int row = 0; row < 6; ++row) {
        list.InsertRow(row);
        list.SetCell(row, 0, QString(), eventIcons[row]);
        for (int sensor = 1; sensor <= 5; ++sensor) {
            list.SetCell(row, sensor, QString(),
                         (row + sensor) % 2 ? Icons::kSensorOn : Icons::kSensorOff);
        }
        list.SetCellText(row, 6, QString::fromUtf8(names[row]));
        list.SetCellText(row, 7, (states[row] & kRowNoZone) ? "---" : "Склад");
        list.SetCellText(row, 8, "0:12:00");
        list.SetCellText(row, 9, "07.Dec.2024 - 10:00:00");
        list.SetCellText(row, 10, "54");
        list.SetCellText(row, 11, "12.50");
        ApplyRowColouring(list, row, states[row], columns);
    }
    list.SelectRow(5);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.FlushChanges();
    const QImage shot = list.grab().toImage();
    if (!ShotsDir().isEmpty()) {
        QDir().mkpath(ShotsDir());
        shot.save(ShotsDir() + "/objectlist.png");
    }
    const QImage viewport = list.viewport()->grab().toImage();
    auto pixelLeftOf = [&](int row, int column) {
        const QRect cell = list.visualRect(list.Model()->index(row, column));
        // Near the cell's right edge, away from the text.
        return viewport.pixelColor(cell.right() - 3, cell.center().y());
    };
    QCOMPARE(pixelLeftOf(5, 6), QColor(0, 0, 128));      // selected: navy
    QCOMPARE(pixelLeftOf(3, 6), QColor(240, 240, 170));  // silent: pale yellow
    QCOMPARE(pixelLeftOf(3, 7), QColor(240, 240, 170));
    QCOMPARE(pixelLeftOf(0, 6), QColor(255, 255, 255));
}

void TestObjectList::operatorResizeIsReportedProgrammaticIsNot() {
    CObjectListCtrl list;
    Build(list, {6, 7}, 1);
    QSignalSpy changed(&list, &CObjectListCtrl::columnLayoutChanged);
    list.SetColumnWidth(0, 120);
    list.InsertColumn(QStringLiteral("x"), 55);
    QCOMPARE(changed.count(), 0);
    // What a drag of the border does.
    list.horizontalHeader()->resizeSection(1, 99);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(list.ColumnWidths(), (std::vector<int>{120, 99, 55}));
}

void TestObjectList::headerClickReportsPosition() {
    CObjectListCtrl list;
    Build(list, {6, 7, 8}, 2);
    list.resize(400, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clicked(&list, &CObjectListCtrl::headerClicked);
    QHeaderView* header = list.horizontalHeader();
    const int x = header->sectionViewportPosition(1) + header->sectionSize(1) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 1);
    // The list does not sort by itself.
    QCOMPARE(list.CellText(0, 0), QString());
}

void TestObjectList::tooltipComesFromProvider() {
    CObjectListCtrl list;
    Build(list, {6}, 3);
    QVERIFY(!list.Model()->index(1, 0).data(Qt::ToolTipRole).isValid());
    list.SetTooltipProvider(
        [](int row) { return row == 1 ? QStringLiteral("Объект 7\nСкорость 54") : QString(); });
    QCOMPARE(list.Model()->index(1, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Объект 7\nСкорость 54"));
    QVERIFY(!list.Model()->index(2, 0).data(Qt::ToolTipRole).isValid());
}

void TestObjectList::manyRowsUpdateInOneAnnouncement() {
    CObjectListCtrl list;
    Build(list, AllIds(), 5000);
    QSignalSpy changed(list.Model(), &QAbstractItemModel::dataChanged);
    QElapsedTimer timer;
    timer.start();
    for (int pass = 0; pass < 2; ++pass) {
        for (int row = 0; row < 5000; ++row) {
            for (int column = 6; column < 12; ++column) {
                list.SetCellText(row, column,
                                 QStringLiteral("%1 / %2 / %3").arg(pass).arg(row).arg(column));
            }
            for (int column = 0; column < 6; ++column) {
                list.SetCellImage(row, column, (row + pass) % 2 ? 7 : 8);
            }
        }
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = timer.elapsed();
    // One announcement per pass, however many cells changed.
    QCOMPARE(changed.count(), 2);
    QVERIFY2(elapsed < 3000, QByteArray::number(elapsed));
    QCOMPARE(list.CellText(4999, 11), QStringLiteral("1 / 4999 / 11"));

    // Explicit grouping announces at its end, also without the event loop.
    changed.clear();
    list.BeginUpdate();
    list.SetCellText(10, 6, QStringLiteral("a"));
    list.SetCellText(20, 6, QStringLiteral("b"));
    QCOMPARE(changed.count(), 0);
    list.EndUpdate();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 10);
    QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 20);

    // Writing the same text again announces nothing.
    changed.clear();
    list.SetCellText(10, 6, QStringLiteral("a"));
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 0);
}

void TestObjectList::listImagesAreDistinct() {
    QList<QImage> images;
    for (int i = 0; i < Icons::kListImageCount; ++i) {
        const QImage image = Icons::ListPixmap(i).toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        images.append(image);
    }
    // Image 0 is empty; every other one has something to see and differs from the rest.
    bool anyPainted = false;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            anyPainted = anyPainted || qAlpha(images[0].pixel(x, y)) != 0;
        }
    }
    QVERIFY(!anyPainted);
    for (int i = 1; i < images.size(); ++i) {
        for (int j = 0; j < i; ++j) {
            QVERIFY2(images[i] != images[j],
                     QByteArray::number(i) + " vs " + QByteArray::number(j));
        }
    }
    QVERIFY(!Icons::AppIcon().isNull());
    QVERIFY(Icons::ObjectShownIcon().pixmap(16).toImage() !=
            Icons::ObjectHiddenIcon().pixmap(16).toImage());

    if (!ShotsDir().isEmpty()) {
        // A sheet of every picture at eight times its size, for a look by eye.
        QImage sheet(16 * 8 * 8, 16 * 8 * 2 + 8, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        QList<QPixmap> all;
        for (int i = 0; i < Icons::kListImageCount; ++i) {
            all.append(Icons::ListPixmap(i));
        }
        all.append(Icons::AppPixmap(16));
        all.append(Icons::ObjectShownIcon().pixmap(16));
        all.append(Icons::ObjectHiddenIcon().pixmap(16));
        for (int i = 0; i < all.size(); ++i) {
            painter.drawPixmap(QRect((i % 8) * 128, (i / 8) * 136, 128, 128), all[i]);
        }
        painter.end();
        QDir().mkpath(ShotsDir());
        sheet.save(ShotsDir() + "/icons.png");
    }
}

QTEST_MAIN(TestObjectList)
#include "tst_objectlist.moc"
