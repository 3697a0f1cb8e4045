#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>


#include "MakeTempFolder.h"
#include "base/Cp1251.h"
#include "model/DataStore.h"

namespace {

// Loads a book and checks the count the loader reports against the store's own count.
struct Loaded {
    bool ok;
    int count;
};

Loaded Load(CDataStore& store, const std::string& bytes) {
    const bool ok = store.LoadAddressBookFromBytes(bytes);
    return {ok, store.objectCount};
}

TEST(AddressBook, QuotedFieldsFollowTheTerminalsQuoteRules) {
    CDataStore store("/nonexistent");
    // A comma inside quotes is text; an empty quoted last field is allowed.
    const std::string bus = W("12,\"Автобус, 5\",x,\"\"\r\n");
    // A doubled quote is one quote character.
    const std::string doubled = "\"1\"\"2\",N,x,y\r\n";
    // The byte after a closing quote is taken as the separator, whatever it is.
    const std::string skipped = "\"12\"x\"N\",x,y\r\n";
    // A quote that is never closed runs to the end of the line.
    const std::string unclosed = "5,Car,x,\"open\r\n";
    const Loaded r = Load(store, bus + doubled + skipped + unclosed);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.count, 4);

    EXPECT_EQ(store.Object(0).id, "12");
    EXPECT_EQ(store.Object(0).name, W("Автобус, 5"));
    EXPECT_EQ(store.Object(0).alarmMark, "");

    EXPECT_EQ(store.Object(1).id, "1\"2");
    EXPECT_EQ(store.Object(1).name, "N");
    EXPECT_EQ(store.Object(1).alarmMark, "y");

    EXPECT_EQ(store.Object(2).id, "12");
    EXPECT_EQ(store.Object(2).name, "N");
    EXPECT_EQ(store.Object(2).alarmMark, "y");

    EXPECT_EQ(store.Object(3).alarmMark, "open");
}

TEST(AddressBook, SpacesAndEmptyFieldsAreKept) {
    CDataStore store("/nonexistent");
    ASSERT_TRUE(store.LoadAddressBookFromBytes(" 7 , Truck ,,\r\n"));
    ASSERT_EQ(store.objectCount, 1);
    EXPECT_EQ(store.Object(0).id, " 7 ");
    EXPECT_EQ(store.Object(0).name, " Truck ");
    EXPECT_EQ(store.Object(0).alarmMark, "");
    EXPECT_EQ(store.FindObjectByNumber(7), 0);
}

TEST(AddressBook, ABadLineStopsTheLoadAndLeavesNoObjectBehind) {
    const std::string good = "1,A,x,y\r\n2,B,x,y\r\n";
    const char* bad[] = {
        "3,C,x\r\n",         // three fields
        "3,C,x,y,z\r\n",     // five fields
        "1,A\r\n",           // three bytes
        "3,C,x,\"y\"z\r\n",  // a closing quote followed by more text opens a fifth field
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        CDataStore store("/nonexistent");
        const Loaded r = Load(store, good + line + "4,D,x,y\r\n");
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.count, 2);
        EXPECT_EQ(store.FindObjectByNumber(3), -1);
        EXPECT_EQ(store.FindObjectByNumber(4), -1);
        // The next appended object must land right after the accepted ones: nothing of the
        // rejected line may sit in between.
        ASSERT_TRUE(store.ParseAddressBookLine("9,Z,x,w"));
        EXPECT_EQ(store.Object(2).id, "9");
        EXPECT_EQ(store.Object(2).name, "Z");
    }
}

TEST(AddressBook, LineEnds) {
    CDataStore store("/nonexistent");
    // The last line without CR is lost.
    Loaded r = Load(store, "1,A,x,y\r\n2,B,x,y");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.count, 1);
    // A single line without a line end loads nothing.
    r = Load(store, "1,A,x,y");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.count, 0);
    r = Load(store, "");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.count, 0);
    // LF is dropped wherever it stands; a bare CR ends a line as well.
    r = Load(store, "1,A\n,x,y\r2,B,x,y\n\r");
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(store.Object(0).name, "A");
    EXPECT_EQ(store.Object(1).alarmMark, "y");
}

TEST(AddressBook, BlankLinesAreSkipped) {
    CDataStore store("/nonexistent");
    const Loaded r = Load(store, "\r\n1,A,x,y\r\n\r\n\r\n2,B,x,y\r\n");
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(store.Object(0).id, "1");
    EXPECT_EQ(store.Object(1).id, "2");
}

TEST(AddressBook, DuplicateNumbersGiveTwoObjectsAndLookupsFindTheFirst) {
    CDataStore store("/nonexistent");
    ASSERT_TRUE(
        store.LoadAddressBookFromBytes("7,First,x,y\r\n0007,Second,x,y\r\n7,Third,x,y\r\n"));
    ASSERT_EQ(store.objectCount, 3);
    EXPECT_EQ(store.FindObjectByNumber(7), 0);
    EXPECT_EQ(store.FindObjectById("0007"), 1);
}

TEST(AddressBook, SelectionFollowsTheSavedIdsAndNewObjectsStartWithDefaults) {
    CDataStore store("/nonexistent");
    store.selectedIdsText = "|12||7|";
    ASSERT_TRUE(store.LoadAddressBookFromBytes("12,A,x,y\r\n1,B,x,y\r\n7,C,x,y\r\n123,D,x,y\r\n"));
    ASSERT_EQ(store.objectCount, 4);
    EXPECT_EQ(store.Object(0).selected, 1);
    EXPECT_EQ(store.Object(1).selected, 0);
    EXPECT_EQ(store.Object(2).selected, 1);
    EXPECT_EQ(store.Object(3).selected, 0);

    // Only a text between two bars counts; a number with a bar in it is searched as text.
    CDataStore other("/nonexistent");
    other.selectedIdsText = "12|7|a|b|";
    ASSERT_TRUE(
        other.LoadAddressBookFromBytes("12,A,x,y\r\n7,B,x,y\r\n\"a|b\",C,x,y\r\n\"\",D,x,y\r\n"));
    ASSERT_EQ(other.objectCount, 4);
    EXPECT_EQ((std::vector<int>{other.Object(0).selected, other.Object(1).selected,
                                other.Object(2).selected, other.Object(3).selected}),
              (std::vector<int>{0, 1, 1, 0}));

    const ObjectRecord& o = store.Object(3);
    EXPECT_EQ(o.currentZone, -1);
    EXPECT_EQ(o.rowState, -1);
    EXPECT_EQ(o.currentZoneName, "---");
    EXPECT_EQ(o.lastZoneName, "---");
    EXPECT_EQ(o.lastEventText, "---");
    EXPECT_TRUE(o.lastMessageTime.IsNever());
    EXPECT_TRUE(o.firstTimeout.IsNever());
    EXPECT_EQ(o.zoneAssignment.count, 0);
    EXPECT_EQ(o.history.visitCount, 0);
}

TEST(AddressBook, LoadFromFileReplacesTheObjects) {
    const std::filesystem::path dir = MakeTempFolder("sentrel-ab");
    ASSERT_FALSE(dir.empty());
    const std::string path = (dir / "AddrBook.txt").string();
    {
        std::ofstream f(path, std::ios::binary);
        f << "1,A,x,y\r\n2,B,x,y\r\n";
    }
    CDataStore store(dir.string());
    ASSERT_TRUE(store.LoadAddressBookFromBytes("5,E,x,y\r\n6,F,x,y\r\n7,G,x,y\r\n"));
    EXPECT_TRUE(store.LoadAddressBook(path));
    ASSERT_EQ(store.objectCount, 2);
    EXPECT_EQ(store.Object(1).name, "B");
    // A missing file leaves no objects at all.
    EXPECT_FALSE(store.LoadAddressBook((dir / "missing.txt").string()));
    EXPECT_EQ(store.objectCount, 0);
    EXPECT_EQ(store.FindObjectByNumber(1), -1);
    std::filesystem::remove_all(dir);
}

TEST(AddressBook, RandomBooksNeverBreakTheStore) {
    // Lines made of the bytes that drive the parser, plus a few plain ones.
    const char alphabet[] = {'"', ',', '\r', '\n', 'a', '1', ' ', '\0'};
    std::mt19937 rng(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int length = static_cast<int>(rng() % 80);
        for (int k = 0; k < length; ++k)
            bytes += alphabet[rng() % sizeof(alphabet)];
        CDataStore store("/nonexistent");
        const bool ok = store.LoadAddressBookFromBytes(bytes);
        int crs = 0;
        for (char c : bytes)
            crs += c == '\r';
        ASSERT_LE(store.objectCount, crs);
        if (ok) {
            ASSERT_GT(store.objectCount, 0);
        }
        // The store stays usable: every counted object can be read and a new one appended
        // right behind them.
        for (int i = 0; i < store.objectCount; ++i)
            (void)store.Object(i).Number();
        ASSERT_TRUE(store.ParseAddressBookLine("9,Z,x,w"));
        ASSERT_EQ(store.Object(store.objectCount).id, "9");
    }
}

}  // namespace
