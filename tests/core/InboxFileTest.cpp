#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/InboxFile.h"

namespace {

void PutLE(std::string& bytes, std::size_t at, uint64_t value, int size) {
    for (int k = 0; k < size; ++k)
        bytes[at + static_cast<std::size_t>(k)] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

void PutDouble(std::string& bytes, std::size_t at, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLE(bytes, at, bits, 8);
}

// One record laid out by hand from the field table: gaps filled with marker bytes so
// that they can be seen to travel with the header.
std::string HandMadeRecord(int32_t number, uint32_t flags, uint32_t textLength,
                           const std::string& text) {
    std::string bytes(80, '\0');
    for (std::size_t at : {4u, 5u, 6u, 7u, 16u, 23u, 36u, 39u, 56u, 63u, 72u, 75u})
        bytes[at] = static_cast<char>(0xA0 + at);
    PutLE(bytes, 0, static_cast<uint32_t>(number), 4);
    PutDouble(bytes, 8, 46362.375);  // 6 Dec 2026 09:00 (message time)
    PutDouble(bytes, 24, 46362.5);   // 6 Dec 2026 12:00 (receipt)
    PutLE(bytes, 32, flags, 4);
    PutDouble(bytes, 40, 37.5);   // longitude
    PutDouble(bytes, 48, 55.25);  // latitude
    PutDouble(bytes, 64, 57.9);   // speed
    PutLE(bytes, 76, textLength, 4);
    return bytes + text;
}

std::vector<InboxRecord> ReadAll(const std::string& bytes) {
    std::vector<InboxRecord> records;
    ReadInboxRecords(bytes, [&](const InboxRecord& r) {
        records.push_back(r);
        return true;
    });
    return records;
}

}  // namespace

TEST(InboxFileTest, NameRules) {
    EXPECT_TRUE(IsInboxFileName("/in/05123000.007"));
    EXPECT_TRUE(IsInboxFileName("/in/05123000.1234"));
    EXPECT_TRUE(IsInboxFileName("05123000.007"));
    EXPECT_TRUE(IsInboxFileName("/in/31246060.007"));  // 24 and 60 are accepted
    EXPECT_TRUE(IsInboxFileName("/in/00000000.abc"));
    EXPECT_TRUE(IsInboxFileName("/in/ab123000.007"));  // a pair without digits counts as 0
    EXPECT_FALSE(IsInboxFileName("/in/05123000.07"));  // two-character extension
    EXPECT_FALSE(IsInboxFileName("/in/05123000.12345"));
    EXPECT_FALSE(IsInboxFileName("/in/0512300.007"));   // seven-character base name
    EXPECT_FALSE(IsInboxFileName("/in/32000000.007"));  // day 32
    EXPECT_FALSE(IsInboxFileName("/in/05250000.007"));  // hour 25
    EXPECT_FALSE(IsInboxFileName("/in/05126100.007"));  // minute 61
    EXPECT_FALSE(IsInboxFileName("/in/05123061.007"));  // second 61
    EXPECT_FALSE(IsInboxFileName("/in/05-13000.007"));  // hour -1
    EXPECT_FALSE(IsInboxFileName("/in/a.b.05123000.007"));
    EXPECT_FALSE(IsInboxFileName("/in.d/0512300007"));  // the only dot is the folder's
    EXPECT_FALSE(IsInboxFileName("/in/~sentrel-feed-42.tmp"));

    EXPECT_EQ(SplitFileName("/in/a.b.05123000.007", false), "a.b.05123000");
    EXPECT_EQ(SplitFileName("/in/a.b.05123000.007", true), "007");
    EXPECT_EQ(SplitFileName("/in.d/file", false), "");
    EXPECT_EQ(SplitFileName("/in.d/file", true), "");
    EXPECT_EQ(SplitFileName("name.", true), "");
    EXPECT_EQ(SplitFileName("name.", false), "name");
}

TEST(InboxFileTest, HeaderFieldsAndEncodingFollowTheLayout) {
    const std::string text = "Test";
    const std::string bytes = HandMadeRecord(12, 0x80000004u, 4, text);
    const std::vector<InboxRecord> records = ReadAll(bytes);
    ASSERT_EQ(records.size(), 1u);
    const InboxRecordHeader& h = records[0].header;
    EXPECT_EQ(h.objectNumber, 12);
    EXPECT_EQ(h.messageTime.date, 46362.375);
    EXPECT_EQ(h.receiveTime.date, 46362.5);
    EXPECT_EQ(h.flags, 0x80000004u);
    EXPECT_EQ(h.longitude, 37.5);
    EXPECT_EQ(h.latitude, 55.25);
    EXPECT_EQ(h.speed, 57.9);
    EXPECT_EQ(h.textLength, 4);
    EXPECT_EQ(records[0].text, text);
    EXPECT_EQ(std::string(h.raw.begin(), h.raw.end()), bytes.substr(0, 80));

    // Encoding the decoded header gives the same bytes back, gaps included.
    EXPECT_EQ(EncodeInboxRecord(h, text), bytes);
}

TEST(InboxFileTest, ReadingStopsWhereTheFileSays) {
    const std::string a = HandMadeRecord(1, 0x4, 2, "AA");
    const std::string b = HandMadeRecord(2, 0x4, 3, "BBB");
    const std::string last = HandMadeRecord(3, 0x80000004u, 1, "C");

    // Records in order; the reader does not need the last-record flag.
    auto records = ReadAll(a + b);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "AA");
    EXPECT_EQ(records[1].header.objectNumber, 2);

    // A record flagged as the last ends the file.
    records = ReadAll(last + a);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].header.objectNumber, 3);

    // A text running past the end loses that record; earlier ones stand.
    records = ReadAll(a + HandMadeRecord(2, 0x4, 10, "short"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].header.objectNumber, 1);

    // A negative length counts as more than remains.
    records = ReadAll(HandMadeRecord(2, 0x4, 0xFFFFFFFFu, "x") + a);
    EXPECT_TRUE(records.empty());

    // Fewer than 80 bytes: nothing; a torn second header is ignored.
    EXPECT_TRUE(ReadAll(a.substr(0, 79)).empty());
    EXPECT_EQ(ReadAll(a + b.substr(0, 50)).size(), 1u);

    // The callback can stop the reading.
    int seen = 0;
    ReadInboxRecords(a + b, [&](const InboxRecord&) {
        ++seen;
        return false;
    });
    EXPECT_EQ(seen, 1);
}

// A file is complete once a whole record flagged as the last is there: records that end
// on a boundary without it may be followed by more from a terminal writing them one by
// one.
TEST(InboxFileTest, CompleteOnlyWithAWholeRecordFlaggedAsTheLast) {
    const std::string a = HandMadeRecord(1, 0x4, 2, "AA");
    const std::string b = HandMadeRecord(2, 0x2, 0, "");
    const std::string last = HandMadeRecord(3, 0x80000004u, 1, "C");

    EXPECT_TRUE(IsCompleteInboxFile(last));
    EXPECT_TRUE(IsCompleteInboxFile(a + b + last));
    EXPECT_TRUE(IsCompleteInboxFile(a + last + b.substr(0, 30)));  // what follows is not read

    EXPECT_FALSE(IsCompleteInboxFile(""));
    EXPECT_FALSE(IsCompleteInboxFile(a));
    EXPECT_FALSE(IsCompleteInboxFile(a + b));
    EXPECT_FALSE(IsCompleteInboxFile(a + last.substr(0, 80)));  // its text not there yet
    EXPECT_FALSE(IsCompleteInboxFile(a + last.substr(0, 79)));
    EXPECT_FALSE(IsCompleteInboxFile(HandMadeRecord(3, 0x80000004u, 0xFFFFFFFFu, "C")));
}

TEST(InboxFileTest, OverlongTextIsCutAndTheNextRecordIsStillRead) {
    const std::string longText(2000, 'x');
    const std::string next = HandMadeRecord(7, 0x4, 2, "OK");
    const auto records = ReadAll(HandMadeRecord(5, 0x4, 2000, longText) + next);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text.size(), 1031u);
    EXPECT_EQ(records[0].header.textLength, 2000);
    EXPECT_EQ(records[1].header.objectNumber, 7);
    EXPECT_EQ(records[1].text, "OK");
}

TEST(InboxFileTest, TruncationSaturates) {
    EXPECT_EQ(TruncateTowardZero(57.9), 57);
    EXPECT_EQ(TruncateTowardZero(-3.7), -3);
    EXPECT_EQ(TruncateTowardZero(1e300), 2147483647);
    EXPECT_EQ(TruncateTowardZero(-1e300), -2147483647 - 1);
    EXPECT_EQ(TruncateTowardZero(std::nan("")), 0);
}
