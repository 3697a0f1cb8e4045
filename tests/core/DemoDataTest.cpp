// The committed demo files must keep loading with the core, and the demo's plan must
// keep matching them: ./demo.sh should never break silently.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "../../tools/demo/DemoPlan.h"
#include "../../tools/wavgen/WavSynth.h"
#include "MakeTempFolder.h"
#include "base/Cp1251.h"
#include "model/DataStore.h"
#include "platform/FileSystem.h"
#include "zones/ZoneMap.h"

namespace {

std::string DemoFile(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "demo" / name)
        .lexically_normal()
        .string();
}

std::string Bytes(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(FileSystem::ReadWholeFile(path, bytes)) << path;
    return bytes;
}

// Every line ends with CR LF, the last one included, and no CR or LF stands alone.
void ExpectCrLfLines(const std::string& bytes) {
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] == '\r') {
            EXPECT_TRUE(k + 1 < bytes.size() && bytes[k + 1] == '\n') << "lone CR at " << k;
        }
        if (bytes[k] == '\n') {
            EXPECT_TRUE(k > 0 && bytes[k - 1] == '\r') << "lone LF at " << k;
        }
    }
}

// Windows-1251 text, not UTF-8: Cyrillic letters are single bytes 0xC0..0xFF, and a
// UTF-8 lead byte 0xD0/0xD1 followed by a continuation byte would be two letters "Рђ".
void ExpectCp1251(const std::string& bytes) {
    bool cyrillic = false;
    for (std::size_t k = 0; k + 1 < bytes.size(); ++k) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        const auto next = static_cast<unsigned char>(bytes[k + 1]);
        cyrillic = cyrillic || b >= 0xC0;
        EXPECT_FALSE((b == 0xD0 || b == 0xD1) && next >= 0x80 && next < 0xC0)
            << "UTF-8 sequence at " << k;
    }
    EXPECT_TRUE(cyrillic);
}

class DemoData : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(zones.Load(DemoFile("maps.mrk")));
        ASSERT_TRUE(store.LoadAddressBook(DemoFile("AddrBook.txt")));
    }
    CZoneMap zones;
    CDataStore store{""};
};

uint32_t U32At(const std::string& b, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
uint16_t U16At(const std::string& b, std::size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

TEST_F(DemoData, AddressBookIsFifteenVehiclesInWindows1251) {
    const std::string bytes = Bytes(DemoFile("AddrBook.txt"));
    ExpectCrLfLines(bytes);
    ExpectCp1251(bytes);
    EXPECT_EQ(store.objectCount, 15);
    // The quoted name keeps its comma.
    const int bus = store.FindObjectByNumber(71);
    ASSERT_GE(bus, 0);
    EXPECT_EQ(store.Object(bus).name, W("Автобус ЛиАЗ, маршрут 50"));
    EXPECT_EQ(store.Object(bus).alarmMark, W("Тревожная кнопка"));
    std::set<int> numbers;
    for (int i = 0; i < store.objectCount; ++i)
        numbers.insert(store.Object(i).Number());
    EXPECT_EQ(numbers.size(), 15u) << "object numbers must be distinct";
}

TEST_F(DemoData, ZoneFileHasCirclesPolygonsAndNestedZones) {
    const std::string bytes = Bytes(DemoFile("maps.mrk"));
    ExpectCrLfLines(bytes);
    ExpectCp1251(bytes);
    int circles = 0, polygons = 0;
    for (const ZoneRecord& z : zones.Zones()) {
        (z.kind == Circle ? circles : polygons) += 1;
        EXPECT_GT(z.areaSquareMetres, 0) << Cp1251::ToUtf8(z.name);
        // Yekaterinburg and its airport.
        EXPECT_NEAR(z.latitude, 56.82, 0.12) << Cp1251::ToUtf8(z.name);
        EXPECT_NEAR(z.longitude, 60.65, 0.2) << Cp1251::ToUtf8(z.name);
    }
    EXPECT_GE(circles, 4);
    EXPECT_GE(polygons, 6);
    // A circle without a suffix is the 300 m default.
    const int station = zones.FindZoneByName(W("АЗС на Бебеля"));
    ASSERT_GE(station, 0);
    EXPECT_EQ(zones.Zone(station).radiusMetres, 300);
    // Nested: the depot inside the plant grounds, the dam inside the truck ban.
    const int depot = zones.FindZoneByName(W("Автобаза №1 Уралмаш"));
    ASSERT_GE(depot, 0);
    EXPECT_EQ(zones.FindZoneAt(zones.Zone(depot).latitude, zones.Zone(depot).longitude), depot);
    const int plant = zones.FindZoneByName(W("Промзона Уралмаш"));
    ASSERT_GE(plant, 0);
    EXPECT_TRUE(zones.Zone(plant).polygon.Contains(zones.Zone(depot).latitude,
                                                   zones.Zone(depot).longitude));
    const int dam = zones.FindZoneByName(W("Плотинка"));
    const int centre = zones.FindZoneByName(W("Центр - запрет для грузовых"));
    ASSERT_GE(dam, 0);
    ASSERT_GE(centre, 0);
    EXPECT_TRUE(
        zones.Zone(centre).polygon.Contains(zones.Zone(dam).latitude, zones.Zone(dam).longitude));
    EXPECT_EQ(zones.FindZoneAt(zones.Zone(dam).latitude, zones.Zone(dam).longitude), dam);
}

// The plan applies to the committed files, and what sentrel-demo-setup writes from it
// reads back the same.
TEST_F(DemoData, PlanNamesExistingVehiclesAndZonesAndSurvivesTheDataFiles) {
    std::string error;
    ASSERT_TRUE(DemoPlan::Apply(store, zones, error)) << error;

    const std::string folder = MakeTempFolder("sentrel-demo");
    ASSERT_FALSE(folder.empty());
    store.dataFolder = folder;
    ASSERT_TRUE(store.SaveState());
    ASSERT_TRUE(store.SaveZoneAssignments(zones));

    CDataStore loaded(folder);
    ASSERT_TRUE(loaded.LoadAddressBook(DemoFile("AddrBook.txt")));
    loaded.LoadState();
    ASSERT_TRUE(loaded.LoadZoneAssignments(zones));
    std::filesystem::remove_all(folder);

    for (const DemoPlan::Vehicle& v : DemoPlan::Vehicles()) {
        SCOPED_TRACE(v.number);
        const int i = loaded.FindObjectByNumber(v.number);
        ASSERT_GE(i, 0);
        const ObjectRecord& o = loaded.Object(i);
        EXPECT_EQ(o.alertSettings, DemoPlan::FlagsOf(v.profile));
        EXPECT_EQ(FormatHms(o.firstTimeout), "00:00:25");
        EXPECT_EQ(FormatHms(o.secondTimeout), "00:00:50");
        ASSERT_EQ(o.zoneAssignment.count,
                  static_cast<int32_t>(v.destinations.size() + v.forbidden.size()));
        for (const char* name : v.destinations)
            EXPECT_EQ(o.zoneAssignment.CheckZone(zones.FindZoneByName(W(name)), Destination), 1)
                << name;
        for (const char* name : v.forbidden)
            EXPECT_EQ(o.zoneAssignment.CheckZone(zones.FindZoneByName(W(name)), Forbidden), 1)
                << name;
    }
}

// Each of the four alerts has a vehicle that sounds it and shows it, and the vehicle the
// feed silences exists.
TEST(DemoPlanTest, EveryAlertKindIsHeardAndSeen) {
    bool alarm = false, powerOn = false, destination = false, forbidden = false;
    bool quiet = false;
    for (const DemoPlan::Vehicle& v : DemoPlan::Vehicles()) {
        const AlertSettings a = DemoPlan::FlagsOf(v.profile);
        alarm = alarm || (a.alarmAlert() && a.alarmSound() && a.alarmPopup());
        powerOn = powerOn || (a.powerOnAlert() && a.powerOnSound() && a.powerOnPopup());
        destination = destination || (a.destinationAlert() && a.destinationSound() &&
                                      a.destinationPopup() && a.destinationArrival() &&
                                      a.destinationDeparture() && !v.destinations.empty());
        forbidden = forbidden || (a.forbiddenAlert() && a.forbiddenSound() && a.forbiddenPopup() &&
                                  a.forbiddenArrival() && !v.forbidden.empty());
        quiet = quiet || v.number == DemoPlan::kQuietVehicle;
    }
    EXPECT_TRUE(alarm);
    EXPECT_TRUE(powerOn);
    EXPECT_TRUE(destination);
    EXPECT_TRUE(forbidden);
    EXPECT_TRUE(quiet);
    EXPECT_LT(DemoPlan::kQuietAfterSeconds + DemoPlan::kSecondTimeoutSeconds, 120);
}

// The header fields as the RIFF/WAVE format lays them out, for every demo sound.
TEST(WavSynthTest, SoundsAreMonoSixteenBitPcmOfAboutASecond) {
    std::set<std::string> distinct;
    for (const WavSynth::NamedSound& sound : WavSynth::kSounds) {
        SCOPED_TRACE(sound.fileName);
        const std::string b = WavSynth::EncodeWav(sound.make(22050), 22050);
        ASSERT_GT(b.size(), 44u);
        EXPECT_EQ(b.substr(0, 4), "RIFF");
        EXPECT_EQ(U32At(b, 4), b.size() - 8);
        EXPECT_EQ(b.substr(8, 4), "WAVE");
        EXPECT_EQ(b.substr(12, 4), "fmt ");
        EXPECT_EQ(U32At(b, 16), 16u);
        EXPECT_EQ(U16At(b, 20), 1);  // PCM
        EXPECT_EQ(U16At(b, 22), 1);  // mono
        EXPECT_EQ(U32At(b, 24), 22050u);
        EXPECT_EQ(U32At(b, 28), 44100u);
        EXPECT_EQ(U16At(b, 32), 2);
        EXPECT_EQ(U16At(b, 34), 16);
        EXPECT_EQ(b.substr(36, 4), "data");
        EXPECT_EQ(U32At(b, 40), b.size() - 44);
        const double seconds = (b.size() - 44) / 44100.0;
        EXPECT_GE(seconds, 1.0);
        EXPECT_LE(seconds, 1.5);
        // Audible, not clipped, and starting and ending at rest (no click).
        int peak = 0;
        for (std::size_t k = 44; k + 1 < b.size(); k += 2)
            peak = std::max(peak, std::abs(static_cast<int16_t>(U16At(b, k))));
        EXPECT_GT(peak, 8000);
        EXPECT_LT(peak, 32767);
        EXPECT_EQ(U16At(b, 44), 0);
        EXPECT_EQ(U16At(b, b.size() - 2), 0);
        distinct.insert(b);
    }
    EXPECT_EQ(distinct.size(), 4u);
}
