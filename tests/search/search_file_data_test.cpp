#include "search/search_file_data.h"

#include <gtest/gtest.h>

#include "platform/file_info.h"
#include "search/search_test_tree.h"

namespace kel {
namespace {

using test::ScopedTimeZone;

constexpr TDateTime kSentinel = -12345.0;

double DayFraction(int hour, int minute, int second) {
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0) / 86400000.0;
}

struct timespec At(time_t seconds, long nanoseconds = 0) { return {seconds, nanoseconds}; }

TEST(FileTimeToDateTime, ConvertsInsideTheMsDosRange) {
  ScopedTimeZone utc("UTC");
  TDateTime value = kSentinel;
  ASSERT_TRUE(FileTimeToDateTime(At(946684800), value));  // 2000-01-01 00:00:00
  EXPECT_DOUBLE_EQ(value, 36526.0);
  // The first and the last value the MS-DOS form can hold.
  ASSERT_TRUE(FileTimeToDateTime(At(315532800), value));  // 1980-01-01 00:00:00
  EXPECT_DOUBLE_EQ(value, 29221.0);
  ASSERT_TRUE(FileTimeToDateTime(At(4354819198), value));  // 2107-12-31 23:59:58
  EXPECT_DOUBLE_EQ(value, 75971.0 + DayFraction(23, 59, 58));
  ASSERT_TRUE(FileTimeToDateTime(At(951804000), value));  // 2000-02-29 06:00:00, a leap day
  EXPECT_DOUBLE_EQ(value, 36585.0 + DayFraction(6, 0, 0));
}

TEST(FileTimeToDateTime, KeepsTwoSecondStepsAndDropsFractions) {
  ScopedTimeZone utc("UTC");
  TDateTime value = kSentinel;
  // 2000-01-01 12:34:57.9 becomes 12:34:56: the odd second and the fraction are dropped.
  ASSERT_TRUE(FileTimeToDateTime(At(946730097, 900000000), value));
  EXPECT_DOUBLE_EQ(value, 36526.0 + DayFraction(12, 34, 56));
}

TEST(FileTimeToDateTime, RefusesTimesOutsideTheRangeAndLeavesTheValue) {
  ScopedTimeZone utc("UTC");
  TDateTime value = kSentinel;
  EXPECT_FALSE(FileTimeToDateTime(At(0), value));           // 1970
  EXPECT_FALSE(FileTimeToDateTime(At(315532799), value));   // one second before 1980
  EXPECT_FALSE(FileTimeToDateTime(At(4354819200), value));  // 2108-01-01
  EXPECT_FALSE(FileTimeToDateTime(At(-86400), value));      // before the Unix epoch
  EXPECT_EQ(value, kSentinel);
}

TEST(FileTimeToDateTime, ChecksTheRangeInLocalTime) {
  // 1979-12-31 15:00 UTC is already 1980 in Tokyo, and 1980-01-01 05:00 UTC is still 1979 in
  // New York: the range applies to the local time, as it is stored.
  TDateTime value = kSentinel;
  {
    ScopedTimeZone tokyo("JST-9");
    ASSERT_TRUE(FileTimeToDateTime(At(315500400), value));
    EXPECT_DOUBLE_EQ(value, 29221.0);
  }
  {
    ScopedTimeZone new_york("EST5");
    value = kSentinel;
    EXPECT_FALSE(FileTimeToDateTime(At(315532800 + 4 * 3600), value));
    EXPECT_EQ(value, kSentinel);
  }
}

FindRecord FileRecord() {
  FindRecord record;
  record.long_name = "Report 2024.docx";
  record.attributes = kAttrArchive;
  record.size_low = 1234;
  record.creation_time = At(946684800);
  record.last_write_time = At(946684800 + 86400);
  record.last_access_time = At(946684800 + 2 * 86400);
  return record;
}

TEST(FillSearchFileData, FillsNamesSizeAndTimes) {
  ScopedTimeZone utc("UTC");
  const TSearchFileData data = FillSearchFileData(FileRecord());
  EXPECT_EQ(data.FileName, "Report 2024.docx");
  EXPECT_EQ(data.ShortName, "Report 2024.docx");  // no alternate name: the long one
  EXPECT_EQ(data.Size, 1234);
  EXPECT_TRUE(data.CreationTimeValid);
  EXPECT_DOUBLE_EQ(data.CreationTime, 36526.0);
  EXPECT_TRUE(data.LastWriteTimeValid);
  EXPECT_DOUBLE_EQ(data.LastWriteTime, 36527.0);
  EXPECT_TRUE(data.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(data.LastAccessTime, 36528.0);
}

TEST(FillSearchFileData, UsesAnAlternateNameWhenThereIsOne) {
  FindRecord record = FileRecord();
  record.alternate_name = "REPORT~1.DOC";
  EXPECT_EQ(FillSearchFileData(record).ShortName, "REPORT~1.DOC");
}

TEST(FillSearchFileData, JoinsTheSizeWordsUnsigned) {
  FindRecord record = FileRecord();
  record.size_high = 1;
  record.size_low = 0xFFFFFFFFu;  // would turn negative if taken as signed
  EXPECT_EQ(FillSearchFileData(record).Size, 0x1FFFFFFFFLL);
  record.size_high = 0x7FFFFFFFu;
  record.size_low = 0x80000000u;
  EXPECT_EQ(FillSearchFileData(record).Size, 0x7FFFFFFF80000000LL);
}

TEST(FillSearchFileData, ABadOrMissingTimeClearsOnlyItsOwnFlag) {
  ScopedTimeZone utc("UTC");
  FindRecord record = FileRecord();
  record.creation_time.reset();      // no birth time on this file system
  record.last_write_time = At(0);    // 1970: outside the MS-DOS range
  const TSearchFileData data = FillSearchFileData(record);
  EXPECT_FALSE(data.CreationTimeValid);
  EXPECT_FALSE(data.LastWriteTimeValid);
  EXPECT_TRUE(data.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(data.LastAccessTime, 36528.0);
}

TEST(FillSearchFileData, MapsEachAttributeBitToItsOwnFlag) {
  struct Case {
    uint32_t bit;
    bool TSearchFileData::*flag;
  };
  const Case cases[] = {{kAttrDirectory, &TSearchFileData::IsDirectory},
                        {kAttrReadOnly, &TSearchFileData::IsReadOnly},
                        {kAttrHidden, &TSearchFileData::IsHidden},
                        {kAttrSystem, &TSearchFileData::IsSystem},
                        {kAttrArchive, &TSearchFileData::IsArchive}};
  for (const Case& c : cases) {
    FindRecord record = FileRecord();
    record.attributes = c.bit;
    const TSearchFileData data = FillSearchFileData(record);
    for (const Case& other : cases) {
      EXPECT_EQ(data.*(other.flag), other.bit == c.bit) << "bit " << c.bit << " other " << other.bit;
    }
  }
  FindRecord everything = FileRecord();
  everything.attributes = 0xFFFFFFFFu;  // the volume-label bit among them
  EXPECT_FALSE(FillSearchFileData(everything).IsVolumeId);
}

TEST(IsSubDirectory, TakesDirectoriesButNotTheirDotEntries) {
  FindRecord record;
  record.attributes = kAttrDirectory;
  for (const char* name : {"sub", "...", ".hidden", ".x"}) {
    record.long_name = name;
    EXPECT_TRUE(IsSubDirectory(record)) << name;
  }
  for (const char* name : {".", ".."}) {
    record.long_name = name;
    EXPECT_FALSE(IsSubDirectory(record)) << name;
  }
  record.long_name = "file.txt";
  record.attributes = kAttrArchive | kAttrHidden | kAttrReadOnly;
  EXPECT_FALSE(IsSubDirectory(record));
}

}  // namespace
}  // namespace kel
