#include "search/search_file_data.h"

#include <gtest/gtest.h>

#include "platform/file_info.h"
#include "search/search_test_tree.h"

namespace kel {
namespace {

using test::ScopedTimeZone;

constexpr TDateTime kUntouched = -1.0;

double Day(int days, int hour = 0, int minute = 0, int second = 0) {
  return days + (hour * 3600000.0 + minute * 60000.0 + second * 1000.0) / 86400000.0;
}

struct timespec At(time_t seconds, long nanoseconds = 0) {
  return {seconds, nanoseconds};
}

TEST(FileTimeToDateTime, ConvertsTheMsDosRangeInTwoSecondSteps) {
  ScopedTimeZone utc("UTC");
  TDateTime value = kUntouched;
  ASSERT_TRUE(FileTimeToDateTime(At(315532800), value));  // 1980-01-01 00:00:00
  EXPECT_DOUBLE_EQ(value, Day(29221));
  ASSERT_TRUE(FileTimeToDateTime(At(4354819199), value));  // 2107-12-31 23:59:59
  EXPECT_DOUBLE_EQ(value, Day(75971, 23, 59, 58));
  ASSERT_TRUE(FileTimeToDateTime(At(951825297, 900000000), value));  // 2000-02-29 11:54:57.9
  EXPECT_DOUBLE_EQ(value, Day(36585, 11, 54, 56));

  value = kUntouched;
  for (time_t outside : {time_t{0}, time_t{315532799}, time_t{4354819200}, time_t{-86400}}) {
    EXPECT_FALSE(FileTimeToDateTime(At(outside), value)) << outside;
  }
  EXPECT_EQ(value, kUntouched);
}

TEST(FileTimeToDateTime, ChecksTheRangeInLocalTime) {
  TDateTime value = kUntouched;
  {
    ScopedTimeZone tokyo("JST-9");  // 1979-12-31 15:00 UTC is already 1980 here
    ASSERT_TRUE(FileTimeToDateTime(At(315500400), value));
    EXPECT_DOUBLE_EQ(value, Day(29221));
  }
  ScopedTimeZone new_york("EST5");  // 1980-01-01 04:00 UTC is still 1979 here
  value = kUntouched;
  EXPECT_FALSE(FileTimeToDateTime(At(315532800 + 4 * 3600), value));
  EXPECT_EQ(value, kUntouched);
}

FindRecord FileRecord() {
  FindRecord record;
  record.long_name = "Report 2024.docx";
  record.attributes = kAttrArchive;
  record.creation_time = At(946684800);  // 2000-01-01
  record.last_write_time = At(946684800 + 86400);
  record.last_access_time = At(946684800 + 2 * 86400);
  return record;
}

TEST(FillSearchFileData, FillsNamesAndTimesAndClearsOnlyTheFlagOfABadTime) {
  ScopedTimeZone utc("UTC");
  FindRecord record = FileRecord();
  TSearchFileData data = FillSearchFileData(record);
  EXPECT_EQ(data.FileName, "Report 2024.docx");
  EXPECT_EQ(data.ShortName, "Report 2024.docx");  // no alternate name: the long one
  EXPECT_TRUE(data.CreationTimeValid && data.LastWriteTimeValid && data.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(data.CreationTime, Day(36526));
  EXPECT_DOUBLE_EQ(data.LastWriteTime, Day(36527));
  EXPECT_DOUBLE_EQ(data.LastAccessTime, Day(36528));

  record.alternate_name = "REPORT~1.DOC";
  record.creation_time.reset();    // no birth time on this file system
  record.last_write_time = At(0);  // 1970: outside the MS-DOS range
  data = FillSearchFileData(record);
  EXPECT_EQ(data.ShortName, "REPORT~1.DOC");
  EXPECT_FALSE(data.CreationTimeValid);
  EXPECT_FALSE(data.LastWriteTimeValid);
  EXPECT_TRUE(data.LastAccessTimeValid);
  EXPECT_DOUBLE_EQ(data.LastAccessTime, Day(36528));

  // Times in the write time's second, whatever their fraction, have its value or its refusal.
  for (const time_t write : {time_t{946684800 + 86400}, time_t{0}}) {
    record.last_write_time = At(write);
    record.creation_time = record.last_access_time = At(write, 999999999);
    data = FillSearchFileData(record);
    EXPECT_EQ(data.CreationTimeValid, write != 0);
    EXPECT_EQ(data.LastAccessTimeValid, write != 0);
    if (write != 0) {
      EXPECT_DOUBLE_EQ(data.LastAccessTime, Day(36527));
    }
  }
}

TEST(FillSearchFileData, JoinsTheSizeWordsUnsigned) {
  FindRecord record = FileRecord();
  record.size_high = 1;
  record.size_low = 0xFFFFFFFFu;  // negative if taken as signed
  EXPECT_EQ(FillSearchFileData(record).Size, 0x1FFFFFFFFLL);
  record.size_high = 0x7FFFFFFFu;
  record.size_low = 0x80000000u;
  EXPECT_EQ(FillSearchFileData(record).Size, 0x7FFFFFFF80000000LL);
}

TEST(FillSearchFileData, MapsEachAttributeBitToItsOwnFlag) {
  const std::pair<uint32_t, bool TSearchFileData::*> flags[] = {
      {kAttrDirectory, &TSearchFileData::IsDirectory},
      {kAttrReadOnly, &TSearchFileData::IsReadOnly},
      {kAttrHidden, &TSearchFileData::IsHidden},
      {kAttrSystem, &TSearchFileData::IsSystem},
      {kAttrArchive, &TSearchFileData::IsArchive}};
  FindRecord record = FileRecord();
  for (const auto& [bit, flag] : flags) {
    record.attributes = bit;
    const TSearchFileData data = FillSearchFileData(record);
    for (const auto& [other_bit, other_flag] : flags) {
      EXPECT_EQ(data.*other_flag, other_bit == bit) << bit << " " << other_bit;
    }
  }
  record.attributes = 0xFFFFFFFFu;  // the volume-label bit among them
  EXPECT_FALSE(FillSearchFileData(record).IsVolumeId);
}

TEST(IsSubDirectory, TakesDirectoriesButNotTheirDotEntries) {
  FindRecord record;
  record.attributes = kAttrDirectory | kAttrHidden;
  for (const char* name : {"sub", "...", ".x"}) {
    record.long_name = name;
    EXPECT_TRUE(IsSubDirectory(record)) << name;
  }
  for (const char* name : {".", ".."}) {
    record.long_name = name;
    EXPECT_FALSE(IsSubDirectory(record)) << name;
  }
  record.long_name = "file";
  record.attributes = kAttrArchive | kAttrHidden | kAttrReadOnly | kAttrSystem;
  EXPECT_FALSE(IsSubDirectory(record));
}

}  // namespace
}  // namespace kel
