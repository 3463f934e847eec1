#include "batch/check_problems.h"

#include <cinttypes>
#include <cstdio>

#include "batch/text_format.h"
#include "job/name_text.h"
#include "platform/translation.h"

namespace kel {

namespace {

std::string Hex32(uint64_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08" PRIx32, static_cast<uint32_t>(v));
  return text;
}

// What the reader found, in this run's language.
std::string FindingText(const ArchiveFinding& f) {
  using P = ArchiveProblem;
  const std::string recorded = std::to_string(f.recorded), actual = std::to_string(f.actual);
  switch (f.kind) {
    case P::kUnreadable:
      return Format(_("cannot be read (%s)"), {f.text});
    case P::kNoEndRecord:
      return _("no end record at the end of the file (cut short, added to, or not a zip)");
    case P::kEndRecordDisk:
      return _("the end record names a disk other than 0");
    case P::kEndRecordCounts:
      return _("the end record's two entry counts differ");
    case P::kNoZip64End:
      return _("the Zip64 end record is missing");
    case P::kZip64EndPlace:
      return _("the Zip64 end record is not where its locator says");
    case P::kZip64EndBroken:
      return _("the Zip64 end record is damaged");
    case P::kZip64EndDiffers:
      return _("the end record and the Zip64 end record disagree");
    case P::kEntryCount:
      return Format(_("holds %s entries instead of one"), {actual});
    case P::kDirectoryPlace:
      return _("the central directory's place or size is wrong");
    case P::kDirectorySize:
      return _("the central directory's size is wrong");
    case P::kNoCentralRecord:
      return _("the central directory record is missing");
    case P::kCentralLength:
      return _("the central directory record's length is wrong");
    case P::kMethod:
      return Format(_("the compression method is %s, not deflate"), {actual});
    case P::kCentralDisk:
      return _("the central directory record names a disk other than 0");
    case P::kZip64ExtraShort:
      return _("the Zip64 extra field is too short");
    case P::kCentralExtraBroken:
      return _("the central directory record's extra fields are damaged");
    case P::kNoZip64Extra:
      return _("the Zip64 extra field is missing");
    case P::kLocalOffset:
      return _("the local header is not at the start of the file");
    case P::kNoLocalHeader:
      return _("the local header is missing");
    case P::kLocalExtra:
      return _("the local header's extra field is wrong");
    case P::kDataLength:
      return _("the compressed data's length does not match the records");
    case P::kDataShort:
      return _("the compressed data ends too early");
    case P::kInflate:
      return Format(_("the compressed data cannot be inflated (%s)"), {f.text});
    case P::kEntryName:
      return _("the entry's name is not the one written");
    case P::kFlags:
      return Format(_("the general-purpose flags are wrong (%s)"), {actual});
    case P::kUtf8Mark:
      return _("the entry's name is marked UTF-8 but is not");
    case P::kLocalName:
      return _("the local header's name differs from the central directory record's");
    case P::kLocalDiffers:
      return _("the local header differs from the central directory record");
    case P::kLocalSizes:
      return _("the local header's sizes differ from the central directory record's");
    case P::kTrailingData:
      return _("data follows the end of the compressed data");
    case P::kCrc:
      // TRANSLATORS: CRC-32 values as 8 hexadecimal digits.
      return Format(_("CRC-32 does not match (recorded %s, actual data %s)"),
                    {Hex32(f.recorded), Hex32(f.actual)});
    case P::kSize:
      return Format(_("the inflated size does not match the records (recorded %s, actual %s)"),
                    {recorded, actual});
    case P::kSourceSize:
      return Format(_("the size differs from the source's (source %s, archive %s)"),
                    {recorded, actual});
    case P::kUnneededZip64:
      return _("a Zip64 record where no value needs one");
  }
  return "";
}

std::string Text(const Problem& p) {
  using K = CheckProblem;
  const std::string text = EscapedName(p.text), other = EscapedName(p.other);
  switch (p.kind) {
    case K::kIndexByteOrderMark:
      return _("starts with a byte-order mark");
    case K::kIndexLfLineEnd:
      return _("the line ends in LF, not CR LF (the first such line)");
    case K::kIndexNoLineEnd:
      return _("the last line has no line end");
    case K::kIndexEmptyLine:
      return _("empty line");
    case K::kIndexLongLine:
      return _("the line is longer than 1024 bytes");
    case K::kIndexNoTab:
      return _("no TAB between the archive name and the base name");
    case K::kIndexBadArchiveName:
      return Format(_("%s is not an archive name"), {text});
    case K::kIndexDuplicate:
      return Format(_("%1$s is listed already on line %2$s"), {text, std::to_string(p.number)});
    case K::kArchiveMissing:
      return _("the archive is missing");
    case K::kArchiveCaseDiffers:
      return Format(_("the archive is there as %s, in other case"), {text});
    case K::kArchiveStray:
      return Format(_("%s is not listed in files.txt"), {text});
    case K::kArchiveLink:
      return _("a symbolic link stands where the archive should be (not followed)");
    case K::kArchiveNotFile:
      return _("something other than a regular file stands where the archive should be");
    case K::kArchiveUnreadable:
      return Format(_("the archive cannot be read (%s)"), {text});
    case K::kLeftoverTemporary:
      return _("left behind by a run that did not finish");
    case K::kArchiveDamaged:
      return FindingText(p.finding);
    case K::kEntryBaseName:
      return Format(_("the entry %s does not have the base name of files.txt"), {text});
    case K::kEntryExtension:
      return Format(_("the entry %s does not give the archive name's extension field"), {text});
    case K::kFileWithoutArchive:
      return _("the file has no archive");
    case K::kArchiveWithoutFile:
      return Format(_("no file %s in the source folder"), {text});
    case K::kFileInTwoArchives:
      return Format(_("the file %1$s is in archive %2$s already"), {text, other});
    case K::kFileDiffers:
      return Format(_("the file %1$s differs from the entry from byte %2$s"),
                    {text, std::to_string(p.number)});
    case K::kFileSize:
      return Format(_("the file %1$s has %2$s bytes, the entry %3$s"),
                    {text, std::to_string(p.number), std::to_string(p.other_number)});
    case K::kFileUnreadable:
      return Format(_("the file %1$s cannot be read (%2$s)"), {text, other});
    case K::kFileTime:
      return Format(_("the entry's time differs from the file %1$s's by %2$s seconds"),
                    {text, std::to_string(p.number)});
    case K::kNotShortName:
      return Format(_("%s is not an 8.3 name"), {text});
    case K::kNotIso9660:
      return Format(_("%s holds characters that ISO 9660 level 1 does not allow"), {text});
  }
  return "";
}

}  // namespace

bool IsWarning(const Problem& p) {
  switch (p.kind) {
    case CheckProblem::kArchiveCaseDiffers:
    case CheckProblem::kFileTime:
    case CheckProblem::kNotIso9660:
      return true;
    case CheckProblem::kArchiveDamaged:
      return IsWarning(p.finding.kind);
    default:
      return false;
  }
}

std::string ProblemLine(const Problem& p) {
  std::string line = EscapedName(p.subject);
  if (p.line > 0) line += Format(_(" line %s"), {std::to_string(p.line)});
  line += ": ";
  if (IsWarning(p)) line += _("warning: ");
  return line + Text(p);
}

std::string SummaryLabel(const Problem& p) {
  using K = CheckProblem;
  switch (p.kind) {
    case K::kIndexByteOrderMark:
    case K::kIndexLfLineEnd:
    case K::kIndexNoLineEnd:
    case K::kIndexEmptyLine:
    case K::kIndexLongLine:
    case K::kIndexNoTab:
    case K::kIndexBadArchiveName:
    case K::kIndexDuplicate:
      return _("faults in files.txt");
    case K::kArchiveMissing:
      return _("missing archives");
    case K::kArchiveCaseDiffers:
      return _("archive names in other case");
    case K::kArchiveStray:
      return _("archives not in files.txt");
    case K::kArchiveLink:
    case K::kArchiveNotFile:
      return _("links or other non-files at an archive's name");
    case K::kArchiveUnreadable:
    case K::kFileUnreadable:
      return _("files that cannot be read");
    case K::kLeftoverTemporary:
      return _("leftover temporaries");
    case K::kArchiveDamaged:
      return IsWarning(p) ? _("unneeded Zip64 records") : _("damaged archives");
    case K::kEntryBaseName:
    case K::kEntryExtension:
      return _("entries named unlike files.txt");
    case K::kFileWithoutArchive:
      return _("files without an archive");
    case K::kArchiveWithoutFile:
      return _("archives without a file");
    case K::kFileInTwoArchives:
      return _("files in two archives");
    case K::kFileDiffers:
    case K::kFileSize:
      return _("files that differ from their entry");
    case K::kFileTime:
      return _("times that differ");
    case K::kNotShortName:
      return _("names that are not 8.3");
    case K::kNotIso9660:
      return _("names that ISO 9660 level 1 refuses");
  }
  return "";
}

}  // namespace kel
