// The zone search on a table of queries: what each finds first, in what
// order, and that no text typed breaks it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tz/zone_search.h"

namespace {

// Zones with their rules as the shipped file has them, and one that a later
// zone data file might bring (the search table does not know it).
const char* const kZones[][2] = {
    {"Africa/Abidjan", "GMT0"},
    {"Africa/Johannesburg", "SAST-2"},
    {"America/Chicago", "CST6CDT,M3.2.0,M11.1.0"},
    {"America/Los_Angeles", "PST8PDT,M3.2.0,M11.1.0"},
    {"America/New_York", "EST5EDT,M3.2.0,M11.1.0"},
    {"America/Sao_Paulo", "UTCMinusThree3"},
    {"Asia/Ho_Chi_Minh", "UTCPlusSeven-7"},
    {"Asia/Kolkata", "IST-5:30"},
    {"Asia/Riyadh", "UTCPlusThree-3"},
    {"Asia/Shanghai", "CST-8"},
    {"Asia/Tokyo", "JST-9"},
    {"Australia/Sydney", "AEST-10AEDT,M10.1.0,M4.1.0/3"},
    {"Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"},
    {"Europe/Brussels", "CET-1CEST,M3.5.0,M10.5.0/3"},
    {"Europe/Istanbul", "UTCPlusThree-3"},
    {"Europe/Kyiv", "EET-2EEST,M3.5.0/3,M10.5.0/4"},
    {"Europe/Luxembourg", "CET-1CEST,M3.5.0,M10.5.0/3"},
    {"Mars/Olympus_Mons", "MTC0"},
    {"UTC", "UTC0"},
};

class ZoneSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& zone : kZones) {
      entries_.push_back(ZoneEntry{const_cast<char*>(zone[0]), const_cast<char*>(zone[1]), nullptr});
    }
    for (size_t i = 0; i + 1 < entries_.size(); ++i) entries_[i].next = &entries_[i + 1];
  }

  std::string Find(const char* query) {
    const ZoneEntry* found[kMaxZoneMatches];
    const int n = SearchZones(query, &entries_[0], found, kMaxZoneMatches);
    std::string names;
    for (int i = 0; i < n; ++i) names += std::string(i ? " " : "") + found[i]->name;
    return names;
  }

  std::vector<ZoneEntry> entries_;
};

TEST_F(ZoneSearchTest, FindsByEveryKindOfName) {
  const char* const cases[][2] = {
      // Identifier and city, any word's beginning, any case.
      {"new york", "America/New_York"},
      {"YORK", "America/New_York"},
      {"ho chi", "Asia/Ho_Chi_Minh"},
      {"asia/ho_chi_minh", "Asia/Ho_Chi_Minh"},
      {"ork", ""},
      // Countries of the IANA tables, accents folded (code page 1252).
      {"germany", "Europe/Berlin"},
      {"united states", "America/Chicago America/Los_Angeles America/New_York"},
      {"c\xF4te d'ivoire", "Africa/Abidjan"},
      {"s\xE3o paulo", "America/Sao_Paulo"},
      // Abbreviations of the rule.
      {"jst", "Asia/Tokyo"},
      {"aest", "Australia/Sydney"},
      {"pdt", "America/Los_Angeles"},
      // Older names kept as links, and large cities no zone is named after.
      {"calcutta", "Asia/Kolkata"},
      {"saigon", "Asia/Ho_Chi_Minh"},
      {"kiev", "Europe/Kyiv"},
      {"Mumbai", "Asia/Kolkata"},
      {"bangalore", "Asia/Kolkata"},
      {"san francisco", "America/Los_Angeles"},
      {"beijing", "Asia/Shanghai"},
      // Best first: an exact city, an exact country; a word's beginning of a
      // zone's city, then of another name (San Antonio, San Francisco,
      // Saigon, Sanaa, Sapporo), then an abbreviation (SAST).
      {"luxembourg", "Europe/Luxembourg Europe/Brussels"},
      {"sa", "America/Sao_Paulo America/Chicago America/Los_Angeles Asia/Ho_Chi_Minh Asia/Riyadh "
             "Asia/Tokyo Africa/Johannesburg"},
      {"ist", "Europe/Istanbul Asia/Kolkata"},
      // A zone the table does not know: by identifier and abbreviation only.
      {"olympus", "Mars/Olympus_Mons"},
      {"mtc", "Mars/Olympus_Mons"},
      {"mars", "Mars/Olympus_Mons"},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c[0]), c[1]) << c[0];
}

TEST_F(ZoneSearchTest, AnyTextTypedIsSafe) {
  const std::string all = Find("");
  EXPECT_EQ(all.substr(0, 14), "Africa/Abidjan");
  EXPECT_EQ(Find("*"), all);
  EXPECT_EQ(Find("  ?? "), all);
  EXPECT_EQ(Find(std::string(500, 'a').c_str()), "");
  EXPECT_EQ(Find("\xFF\xFE\x81\x01"), "");
  EXPECT_EQ(Find("new*york"), "America/New_York");
  EXPECT_EQ(ZoneMatchRank(nullptr, "UTC", "UTC0"), ZoneMatchRank("", "UTC", "UTC0"));
  EXPECT_EQ(ZoneMatchRank("utc", nullptr, nullptr), kNoZoneMatch);
  const ZoneEntry* one[1];
  EXPECT_EQ(SearchZones("united states", &entries_[0], one, 1), 1);
  EXPECT_STREQ(one[0]->name, "America/Chicago");
}

}  // namespace
